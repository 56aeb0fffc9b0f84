// Follows the searches of one engine through its output and checks what the
// protocol promises about them: a search prints at most one "bestmove", legal
// in its position ("0000" exactly when it has no legal move) and last of its
// lines; a search that is stopped prints exactly one; "go infinite" prints none
// before its "stop"; a cancelled infinite search prints none at all.
//
// The output is read a window at a time: the lines the search thread printed
// while a run of commands was handled, of which only the last may start,
// stop or cancel a search (the control command). Main-thread lines in the
// window tell where that command took effect, so the search lines are handed
// over split there. In a window that starts a search, the old search's lines
// come before the new one's; a lone "bestmove" that either could have printed
// is given to the one whose position it is legal in, and when it is legal in
// both, the new search is marked as having possibly printed it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"

class SearchLedger {
 public:
  enum class Control { NONE, GO, STOP, CANCEL };

  struct Window {
    // Search-thread lines printed before the control command was handled.
    std::vector<std::string> before;
    // Search-thread lines that may have been printed after that.
    std::vector<std::string> after;
    Control control = Control::NONE;
    // For GO: the position searched, whether the search is infinite, and
    // whether it ends by itself within a short time.
    Position position;
    bool infinite = false;
    bool bounded = false;
  };

  void add(const Window& window);
  // The running search was bounded and has had time to end by itself: its
  // "bestmove" must have come.
  void require_finished();
  // Whether the current search can be waited for: bounded and not infinite,
  // and its bestmove neither seen nor possibly seen.
  bool awaiting_bestmove() const;

  const std::vector<std::string>& errors() const { return errors_; }

  struct Counts {
    std::uint64_t searches = 0, infinite = 0, stopped = 0, cancelled = 0, bestmoves = 0;
  };
  const Counts& counts() const { return counts_; }

 private:
  struct Search {
    int id = 0;
    bool exists = false;
    bool infinite = false;
    bool bounded = false;
    bool stop_sent = false;
    int bestmoves = 0;
    bool maybe_printed = false;  // an ambiguous "bestmove" may have been its own
    std::vector<std::string> legal;
  };

  Search make_search(const Window& window);
  void attribute(Search& search, const std::string& line);
  bool is_legal_reply(const Search& search, const std::string& line) const;
  void start_search(const Window& window);
  void error(const Search& search, const std::string& what, const std::string& line);

  Search current_;
  int next_id_ = 1;
  Counts counts_;
  std::vector<std::string> errors_;
};
