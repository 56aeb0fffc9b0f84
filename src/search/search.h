// Public interface of the search module towards the front end.
#pragma once

#include <atomic>

namespace Search {

// Process-wide stop flag: raised by the front end (stop, cancellation) and by
// the search itself at its limits; polled by the search at every node.
extern std::atomic<bool> stopSearch;

void request_stop();
void clear_stop();
bool stop_requested();

}  // namespace Search
