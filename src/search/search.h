// Public interface of the search module towards the front end: set-up of the
// process-wide search tables, their sizing and reset, the tunable parameters,
// the stop flag, and one whole search of a position. The search knows nothing
// of UCI text: it takes SearchLimits, reports each completed iteration through
// the info callback and returns a SearchResult.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "board/position.h"

namespace Search {

// One-time set-up: transposition table at 64 MB, pawn hash at 8 MB, the
// late-move-reduction table, every learning table zeroed. Safe to call again
// (does nothing then).
void init_search();
// Sizes the transposition table to `mb` megabytes and the pawn hash to an
// eighth of that (at least 1). Returns the transposition-table size actually
// in use, which is smaller than asked when the memory could not be had.
std::uint64_t set_hash_size_mb(std::uint64_t mb);
// The pawn-hash size set_hash_size_mb asks for alongside `mb` megabytes.
std::uint64_t pawn_hash_mb_for(std::uint64_t mb);
// Empties the learning tables, the transposition table and the pawn hash.
void new_game();

// Sets one of the twelve tunable parameters by its exact (case-sensitive)
// name, e.g. "SeeQuietDepth" or "Contempt"; other names are ignored. Any
// 32-bit value is accepted; safe to call while a search runs.
void set_see_param(const std::string& name, int value);

// Process-wide stop flag: raised by the front end (stop, cancellation) and by
// the search itself at its limits; polled by the search at every node. The
// search never lowers it: whoever starts a search clears it first, so a stop
// that arrives before the search begins is not lost.
extern std::atomic<bool> stopSearch;

void request_stop();
void clear_stop();
bool stop_requested();

struct SearchLimits {
  int depth = 0;            // greatest iteration depth; below 1 means 64
  std::uint64_t nodes = 0;  // node limit; 0 = none
  bool infinite = false;    // informational: the search itself ends at its greatest depth
  int multipv = 1;          // principal variations wanted
  bool has_soft_limit = false;
  bool has_hard_limit = false;
  int soft_ms = 0;
  int hard_ms = 0;
};

// One completed iteration (or one line of it with MultiPV).
struct SearchInfo {
  int depth = 0;
  int seldepth = 0;
  int score = 0;
  std::uint64_t nodes = 0;
  int time_ms = 0;
  std::uint64_t nps = 0;
  int hashfull = 0;
  int multipv = 1;  // 1-based line number
  std::vector<unsigned> pv;
};

struct SearchResult {
  int score = 0;
  unsigned best_move = 0;  // 0 when none
  std::vector<unsigned> pv;
  std::uint64_t nodes = 0;
  int depth = 0;  // last completed iteration
  int seldepth = 0;
  int time_ms = 0;
  bool stopped = false;  // ended by the stop flag
};

using InfoCallback = std::function<void(const SearchInfo&)>;

// Searches its own copy of the position by iterative deepening within the
// limits. The callback (may be empty) runs on the calling thread after every
// completed iteration.
SearchResult search_position(Position pos, const SearchLimits& limits, InfoCallback onInfo);

}  // namespace Search
