// Time management: turns the clock words of one "go" command and the time
// options into a soft limit (when to stop deepening) and a hard limit (when to
// abort a running iteration), in milliseconds. Pure: keeps no state.
#pragma once

#include <cstdint>

#include "board/position.h"

namespace TimeMan {

// The limits of one "go" command as read from its words.
struct UciLimits {
  int depth = 0;            // 0: none (not read here)
  std::uint64_t nodes = 0;  // 0: none (not read here)
  int movetime = 0;         // fixed time for this move when > 0
  int wtime = -1;           // clock times; negative: not given
  int btime = -1;
  int winc = 0;
  int binc = 0;
  int movestogo = 0;  // 0 or less: the rest of the game
  bool infinite = false;
};

// The engine's time options.
struct Options {
  int move_overhead_ms = 30;  // reserved for communication, taken off every clock
  int min_thinking_ms = 20;   // lower bound of the soft limit
  int slow_mover = 100;       // percentage applied to the base share of time
};

// Both flags are equal: no time limit at all (limits 0), or both limits apply.
struct Budget {
  bool has_soft_limit = false;
  bool has_hard_limit = false;
  int soft_ms = 0;
  int hard_ms = 0;
};

// Reads only the side to move from `position`. Intermediate values are 64-bit
// and the limits never exceed the clock, so any 32-bit clock, increment or
// option value gives a well-defined budget.
Budget compute_budget(const Position& position, const UciLimits& limits, const Options& options);

}  // namespace TimeMan
