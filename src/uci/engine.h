// The UCI front end: one UciEngine reads commands line by line, dispatches
// them on their first word, owns the current game position and the search
// thread, and serialises every line written to standard output.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "board/position.h"
#include "eval/pawnhash.h"
#include "uci/timeman.h"

// Sets `position` to the standard start position; false with `error` filled
// if that fails.
bool load_start_position(Position& position, std::string& error);

class UciEngine {
 public:
  // Output goes to `out` (standard output in the program, a string stream in
  // tests). Initialises the attack tables and loads the start position.
  explicit UciEngine(std::ostream& out);
  ~UciEngine();
  UciEngine(const UciEngine&) = delete;
  UciEngine& operator=(const UciEngine&) = delete;

  // Reads commands until "quit" or the end of input.
  void run(std::istream& in);
  // Handles one command line; returns false when the loop should end.
  bool handle_line(const std::string& line);

  // Writes one line under the output lock and flushes it.
  void send_line(const std::string& text);
  // The same, but only while `generation` is still the current search
  // generation; the check and the write happen under one hold of the lock, so
  // a cancelled search can never print after its cancellation.
  bool send_line_if_current(std::uint64_t generation, const std::string& text);

  // Ends a running search without any further output from it.
  void cancel_search_and_wait();
  // Starts `work` on the search thread with a fresh generation number, after
  // silently cancelling any previous search. `work` prints through
  // send_line_if_current with the number it is given.
  void start_search_thread(std::function<void(std::uint64_t generation)> work);
  bool search_thread_exists() const { return search_thread.joinable(); }

  const Position& current_position() const { return position; }
  int hash_size_mb() const { return hash_mb; }
  int multipv_lines() const { return multipv; }
  const TimeMan::Options& time_settings() const { return time_options; }

  std::mutex output_mutex;

 private:
  void handle_uci();
  void handle_position(const std::string& line);
  void handle_setoption(const std::string& line);
  void handle_ucinewgame();
  void handle_stop();
  void handle_perft(std::istringstream& args);
  void handle_d();
  void handle_eval();
  void handle_evaltrace();
  void write_block(const std::string& text);
  // Sizes the search tables for hash_mb; says so in one line when less memory
  // than asked could be had.
  void apply_hash_size();

  std::ostream& out;
  Position position;
  std::thread search_thread;
  std::atomic<std::uint64_t> search_generation{0};
  int hash_mb = 64;
  int multipv = 1;
  TimeMan::Options time_options;
  // The diagnostics evaluate on the main thread while a search may run on the
  // search thread, so they probe a pawn table of their own.
  PawnHash::Table diagnostics_pawn_table;
};
