// Set-up, sizing and reset of the search tables, and the stop flag.
#include "eval/pawnhash.h"
#include "search/search.h"
#include "search/tt.h"

namespace Search {

std::atomic<bool> stopSearch{false};

namespace {
bool initialised = false;
}

void init_search() {
  if (initialised) return;
  initialised = true;
  TT::init_tt(64);
  PawnHash::init(8);
}

std::uint64_t set_hash_size_mb(std::uint64_t mb) {
  init_search();
  const std::uint64_t in_use = TT::init_tt(mb);
  PawnHash::init(mb < 8 ? 1 : mb / 8);
  return in_use;
}

void new_game() {
  init_search();
  TT::clear_tt();
  PawnHash::clear();
}

void request_stop() { stopSearch.exchange(true); }
void clear_stop() { stopSearch.exchange(false); }
bool stop_requested() { return stopSearch.load(); }

}  // namespace Search
