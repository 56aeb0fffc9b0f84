// The UCI front end: one UciEngine reads commands line by line, dispatches
// them on their first word, owns the current game position and the search
// thread, and serialises every line written to standard output.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>

#include "board/position.h"
#include "eval/pawnhash.h"
#include "search/search.h"
#include "uci/timeman.h"

// Sets `position` to the standard start position; false with `error` filled
// if that fails.
bool load_start_position(Position& position, std::string& error);

// Reads the words of a "go" command after "go" until the stream fails: the
// clock, increment, moves-to-go, move-time and depth values as signed 32-bit
// numbers, "nodes" as an unsigned 64-bit number, "infinite" as a flag. Other
// words are skipped; a value that is not a number ends the reading.
TimeMan::UciLimits read_go_words(std::istream& words);
// The search limits of one "go": its depth, or 64 when nothing else would end
// the search; its node limit; the time budget; the number of lines.
Search::SearchLimits search_limits_for(const TimeMan::UciLimits& go, const TimeMan::Budget& budget,
                                       int multipv);

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

  // The text of one "info" line: depth, seldepth, multipv, the score in
  // centipawns or moves to mate, nodes, time, nps, hashfull and the line.
  static std::string format_info(const Search::SearchInfo& info);

  const Position& current_position() const { return position; }
  int hash_size_mb() const { return hash_mb; }
  int multipv_lines() const { return multipv; }
  const TimeMan::Options& time_settings() const { return time_options; }

  std::mutex output_mutex;

 private:
  void handle_uci();
  void handle_position(const std::string& line);
  void handle_setoption(const std::string& line);
  void handle_go(std::istringstream& args);
  // The body of the search thread: searches, reports, then prints the one
  // "bestmove" line (after "stop" when the search was infinite).
  void run_search_worker(Position position, Search::SearchLimits limits, std::uint64_t generation);
  // A finished infinite search holds its "bestmove" until "stop" or a
  // cancellation releases it.
  void release_held_search();
  void wait_for_release();
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
  std::mutex release_mutex;
  std::condition_variable release_signal;
  bool search_released = false;  // guarded by release_mutex
  // The diagnostics evaluate on the main thread while a search may run on the
  // search thread, so they probe a pawn table of their own.
  PawnHash::Table diagnostics_pawn_table;
};
