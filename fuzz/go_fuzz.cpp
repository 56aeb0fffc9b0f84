// The "go" words and what they become. Any text after "go" reads into limits
// without fault, and for either side to move and any time options the budget
// has equal flags, 0 <= soft <= hard, and never more than the clock (or the
// move time) allows; the search limits carry the words' depth, nodes, flag and
// budget as the front end promises.
#include <algorithm>
#include <sstream>
#include <string>

#include "board/fen.h"
#include "harness.h"
#include "uci/engine.h"
#include "uci/timeman.h"

namespace {

using FuzzHarness::require;

// The defaults and the ends of each option's range.
const TimeMan::Options OPTION_SETS[] = {
    {30, 20, 100}, {0, 0, 10}, {5000, 5000, 500}, {0, 5000, 500}, {5000, 0, 10},
};

void require_sound_budget(const TimeMan::UciLimits& go, Color side, const TimeMan::Budget& b) {
  require(b.has_soft_limit == b.has_hard_limit, "soft and hard flags differ");
  if (!b.has_soft_limit) {
    require(b.soft_ms == 0 && b.hard_ms == 0, "limits without their flags");
    return;
  }
  require(!go.infinite, "a time limit for go infinite");
  require(0 <= b.soft_ms && b.soft_ms <= b.hard_ms, "not 0 <= soft <= hard");
  const long long clock = side == WHITE ? go.wtime : go.btime;
  const long long allowed = go.movetime > 0 ? go.movetime : clock;
  require(allowed >= 0, "a time limit without a clock or move time");
  require(b.hard_ms <= std::max(allowed, 1LL), "a hard limit beyond the clock");
}

void require_search_limits(const TimeMan::UciLimits& go, const TimeMan::Budget& b, int multipv) {
  const Search::SearchLimits limits = search_limits_for(go, b, multipv);
  require(limits.nodes == go.nodes && limits.infinite == go.infinite, "nodes or infinite lost");
  require(limits.multipv == multipv, "multipv lost");
  require(limits.has_soft_limit == b.has_soft_limit && limits.has_hard_limit == b.has_hard_limit &&
              limits.soft_ms == b.soft_ms && limits.hard_ms == b.hard_ms,
          "the budget is not passed on");
  const bool unbounded = !b.has_soft_limit && !go.infinite && go.nodes == 0;
  const int depth = go.depth != 0 ? go.depth : unbounded ? 64 : 0;
  require(limits.depth == depth, "the depth limit does not follow the words");
}

}  // namespace

QV_FUZZ_TARGET(go) {
  FuzzHarness::init_tables();
  static const Position sides[2] = {
      [] {
        Position p;
        std::string error;
        fen::parse_fen(fen::START_FEN, p, error);
        return p;
      }(),
      [] {
        Position p;
        std::string error;
        fen::parse_fen("rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1", p, error);
        return p;
      }(),
  };
  std::istringstream words(FuzzHarness::first_line(data, size));
  const TimeMan::UciLimits go = read_go_words(words);
  for (const Position& position : sides)
    for (const TimeMan::Options& options : OPTION_SETS) {
      const TimeMan::Budget budget = TimeMan::compute_budget(position, go, options);
      require_sound_budget(go, position.side, budget);
      require_search_limits(go, budget, 1 + int(size % 8));
    }
  return 0;
}
