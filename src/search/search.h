// Public interface of the search module towards the front end: set-up of the
// process-wide search tables, their sizing and reset, and the stop flag.
#pragma once

#include <atomic>
#include <cstdint>

namespace Search {

// One-time set-up: transposition table at 64 MB, pawn hash at 8 MB. Safe to
// call again (does nothing then).
void init_search();
// Sizes the transposition table to `mb` megabytes and the pawn hash to an
// eighth of that (at least 1). Returns the transposition-table size actually
// in use, which is smaller than asked when the memory could not be had.
std::uint64_t set_hash_size_mb(std::uint64_t mb);
// Empties the search tables for a new game.
void new_game();

// Process-wide stop flag: raised by the front end (stop, cancellation) and by
// the search itself at its limits; polled by the search at every node.
extern std::atomic<bool> stopSearch;

void request_stop();
void clear_stop();
bool stop_requested();

}  // namespace Search
