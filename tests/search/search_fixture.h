// Helpers for the search tests: a search of a FEN from a new game, and a
// fresh search context for driving the internal search functions directly.
#pragma once

#include <memory>
#include <string>

#include "board/position_fixture.h"
#include "search/context.h"
#include "search/history.h"
#include "search/search.h"

// Restores every tunable parameter to its default when the test ends.
struct ParameterGuard {
  ~ParameterGuard() {
    const std::pair<const char*, int> defaults[] = {
        {"SeeCaptureMargin", 32}, {"SeeCaptureDepth", 6}, {"SeeQuietMargin", 40},
        {"SeeQuietDepth", 10},    {"SeeEndgameGuard", 0}, {"SeeCaptHistDiv", 512},
        {"SeeQuietHistDiv", 512}, {"CorrPawnWeight", 2},  {"CorrNonPawnWeight", 1},
        {"CorrContWeight", 1},    {"CorrWeightScale", 2}, {"Contempt", 0},
    };
    for (const auto& [name, value] : defaults) Search::set_see_param(name, value);
  }
};

inline Search::SearchResult search_fen(const std::string& fen, int depth, int multipv = 1,
                                       Search::InfoCallback onInfo = {}) {
  Position position = position_from_fen(fen);
  Search::new_game();
  Search::clear_stop();
  Search::SearchLimits limits;
  limits.depth = depth;
  limits.multipv = multipv;
  return Search::search_position(position, limits, std::move(onInfo));
}

inline std::unique_ptr<Search::SearchContext> fresh_context() {
  init_attack_tables();
  Search::init_search();
  auto ctx = std::make_unique<Search::SearchContext>();
  ctx->start_time = Search::SearchContext::Clock::now();
  return ctx;
}

// The position after playing `moves` (coordinate text, blank-separated) from `fen`.
inline Position position_after(const std::string& fen, const std::string& moves) {
  Position position = position_from_fen(fen);
  std::size_t start = 0;
  while (start < moves.size()) {
    std::size_t end = moves.find(' ', start);
    if (end == std::string::npos) end = moves.size();
    const unsigned move = find_legal_move(position, moves.substr(start, end - start));
    EXPECT_NE(move, MOVE_NONE) << moves.substr(start, end - start);
    if (move == MOVE_NONE) break;
    position.make_move(move);
    start = end + 1;
  }
  return position;
}
