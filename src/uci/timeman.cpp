#include "uci/timeman.h"

#include <algorithm>
#include <limits>

namespace TimeMan {

namespace {

using i64 = std::int64_t;

// One row of the rest-of-game table, chosen by the clock before the overhead
// is taken off. More time on the clock means larger divisors, so each move
// gets a smaller share; the increment counts at 70, 60 or 50 percent.
struct ClockRow {
  i64 max_clock;  // the row applies up to this clock (inclusive)
  i64 divisor_with_increment;
  i64 divisor_without_increment;
  i64 extra_tenths;      // share of the increment, in tenths
  i64 soft_cap_divisor;  // soft limit at most available / this
  i64 hard_cap_divisor;  // hard limit at most available / this
};

constexpr ClockRow REST_OF_GAME_ROWS[] = {
    {5000, 12, 16, 7, 6, 5},
    {10000, 16, 20, 7, 6, 5},
    {15000, 16, 20, 6, 6, 6},
    {30000, 20, 24, 6, 12, 6},
    {60000, 24, 28, 6, 12, 7},
    {120000, 30, 34, 5, 16, 7},
    {180000, 30, 34, 5, 16, 6},
    {600000, 36, 40, 5, 14, 6},
    {std::numeric_limits<i64>::max(), 38, 42, 5, 1, 6},
};

const ClockRow& row_for_clock(i64 clock) {
  for (const ClockRow& row : REST_OF_GAME_ROWS)
    if (clock <= row.max_clock) return row;
  return REST_OF_GAME_ROWS[std::size(REST_OF_GAME_ROWS) - 1];
}

int clamp_to_int(i64 value) {
  return int(
      std::clamp<i64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

struct Limits {
  i64 soft;
  i64 hard;
};

// movestogo > 0: an equal share of what is left for each move to the control.
Limits moves_to_go_limits(i64 clock, i64 increment, i64 available, i64 movestogo, i64 floor,
                          i64 slow_mover) {
  const i64 per_move = std::max<i64>(available / movestogo, 1);
  i64 extra = 0;
  if (increment > 0)
    extra = clock <= 10000   ? 7 * increment / 10
            : clock <= 60000 ? 6 * increment / 10
                             : increment / 2;
  const i64 hard_divisor = clock <= 10000 ? 5 : clock <= 30000 ? 6 : clock <= 120000 ? 7 : 6;
  const i64 soft = std::min(std::max(floor, (per_move + extra) * slow_mover / 100), available);
  i64 hard = std::min(available / hard_divisor, soft + std::max(soft / 2, extra));
  // Close to the control the hard limit may reach half as much again.
  if (movestogo <= 8) hard = std::max(hard, soft + soft / 2);
  return {soft, hard};
}

Limits rest_of_game_limits(i64 clock, i64 increment, i64 available, i64 floor, i64 slow_mover) {
  const ClockRow& row = row_for_clock(clock);
  i64 extra = 0, share;
  if (increment > 0) {
    extra = row.extra_tenths * increment / 10;
    share = std::max<i64>(1, available / row.divisor_with_increment) + extra;
  } else {
    share = std::max<i64>(1, available / row.divisor_without_increment);
  }
  const i64 soft =
      std::min(std::max(floor, share * slow_mover / 100), available / row.soft_cap_divisor);
  const i64 hard = std::min(soft + std::max(soft / 2, extra), available / row.hard_cap_divisor);
  return {soft, hard};
}

Budget both_limits(i64 soft, i64 hard) {
  return Budget{true, true, clamp_to_int(soft), clamp_to_int(hard)};
}

}  // namespace

Budget compute_budget(const Position& position, const UciLimits& limits, const Options& options) {
  if (limits.infinite) return Budget{};
  const i64 overhead = std::max(options.move_overhead_ms, 0);

  if (limits.movetime > 0) {
    const i64 t = std::max<i64>(i64(limits.movetime) - overhead, 1);
    return both_limits(t, t);
  }

  const bool white = position.side == WHITE;
  const i64 clock = white ? limits.wtime : limits.btime;
  const i64 increment = white ? limits.winc : limits.binc;
  // Only the side to move's clock counts; without it there is no time limit.
  if (clock < 0) return Budget{};

  const i64 available = std::max<i64>(clock - overhead, 1);
  const i64 slow_mover = std::max(options.slow_mover, 10);
  const i64 floor = std::clamp<i64>(options.min_thinking_ms, 0, available);

  const Limits l =
      limits.movestogo > 0
          ? moves_to_go_limits(clock, increment, available, limits.movestogo, floor, slow_mover)
          : rest_of_game_limits(clock, increment, available, floor, slow_mover);
  const i64 hard = std::min(std::max(l.hard, l.soft), available);
  return both_limits(l.soft, hard);
}

}  // namespace TimeMan
