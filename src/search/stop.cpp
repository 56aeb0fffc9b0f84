#include "search/search.h"

namespace Search {

std::atomic<bool> stopSearch{false};

void request_stop() { stopSearch.exchange(true); }
void clear_stop() { stopSearch.exchange(false); }
bool stop_requested() { return stopSearch.load(); }

}  // namespace Search
