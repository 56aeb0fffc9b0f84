// The search as a whole: mates, draws, tactical finds, limits, MultiPV, the
// driver's aspiration windows and time budget, and determinism.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <vector>

#include "board/position_state.h"
#include "search/search_fixture.h"

using namespace Search;

namespace {

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
constexpr const char* MIDDLEGAME =
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10";

TEST(SearchResults, TacticalPositionsFindTheKnownMove) {
  struct Case {
    const char* name;
    const char* fen;
    int depth;
    std::vector<const char*> best;
    int score;  // expected exactly, unless 1: then a clear advantage is enough
  };
  const Case cases[] = {
      {"mate in one", "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1", 1, {"d1d8"}, MATE_VALUE - 1},
      {"mate in two",
       "r2qkb1r/pp2nppp/3p4/2pNN1B1/2BnP3/3P4/PPP2PPP/R2bK2R w KQkq - 1 10",
       5,
       {"d5f6"},
       MATE_VALUE - 3},
      {"mate in two, black",
       "6k1/pp4p1/2p5/2bp4/8/P5Pb/1P3rrP/2BRRN1K b - - 0 1",
       5,
       {"g2g1"},
       MATE_VALUE - 3},
      {"mate in three", "r5rk/5p1p/5R2/4B3/8/8/7P/7K w - - 0 1", 7, {"f6a6"}, MATE_VALUE - 5},
      {"mate in three, black",
       "r1b1kb1r/pppp1ppp/5q2/4n3/3KP3/2N3PN/PPP4P/R1BQ1B1R b kq - 0 1",
       7,
       {"f8c5"},
       MATE_VALUE - 5},
      {"mate, not stalemate",
       "7k/8/6K1/5Q2/8/8/8/8 w - - 0 1",
       3,
       {"f5c8", "f5f8"},
       MATE_VALUE - 1},
      {"stalemate resource", "8/8/8/8/8/1qk5/7R/K7 w - - 0 1", 8, {"h2h3", "h2c2"}, 0},
      {"queen won",
       "rnb1kbnr/pppp1ppp/8/4p3/3qP3/5N2/PPPP1PPP/RNBQKB1R w KQkq - 0 3",
       4,
       {"f3d4"},
       1},
      {"en passant wins the race", "8/8/8/8/3pP3/8/8/K5k1 b - e3 0 1", 10, {"d4e3"}, 1},
      {"knight promotion fork", "8/4P1k1/3q4/8/8/8/P7/K7 w - - 0 1", 6, {"e7e8n"}, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const SearchResult result = search_fen(c.fen, c.depth);
    const std::string best = move_to_uci(result.best_move);
    EXPECT_NE(std::find(c.best.begin(), c.best.end(), best), c.best.end()) << best;
    if (c.score == 1)
      EXPECT_GT(result.score, 150);
    else
      EXPECT_EQ(result.score, c.score);
    EXPECT_EQ(result.depth, c.depth);
    ASSERT_FALSE(result.pv.empty());
    EXPECT_EQ(result.pv[0], result.best_move);
  }
}

TEST(SearchResults, RootWithoutLegalMoves) {
  struct Case {
    const char* fen;
    int score;
  };
  for (const Case c : {Case{"3R2k1/5ppp/8/8/8/8/5PPP/6K1 b - - 1 1", -MATE_VALUE},
                       Case{"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", 0}}) {
    int calls = 0;
    const SearchResult result = search_fen(c.fen, 5, 1, [&](const SearchInfo&) { ++calls; });
    EXPECT_EQ(result.score, c.score);
    EXPECT_EQ(result.best_move, MOVE_NONE);
    EXPECT_TRUE(result.pv.empty());
    EXPECT_EQ(result.nodes, 0u);
    EXPECT_EQ(result.depth, 0);
    EXPECT_EQ(calls, 0);
  }
}

TEST(SearchResults, FiftyMoveRuleAndMateOutranksIt) {
  // Every reply reaches the fifty-move limit: a draw unless it mates.
  EXPECT_EQ(search_fen("8/8/3k4/8/8/2QK4/8/8 w - - 99 120", 4).score, 0);
  EXPECT_EQ(search_fen("6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 99 120", 4).score, MATE_VALUE - 1);
}

TEST(SearchResults, ContemptAvoidsOrSeeksTheDraw) {
  ParameterGuard guard;
  // A bare-king draw is worth -contempt to the side at the root.
  set_see_param("Contempt", 30);
  EXPECT_EQ(search_fen("8/8/4k3/8/8/3K4/8/8 w - - 0 1", 3).score, -30);
  set_see_param("Contempt", -30);
  EXPECT_EQ(search_fen("8/8/4k3/8/8/3K4/8/8 w - - 0 1", 3).score, 30);
}

// The draw tests of node entry, driven directly: repetitions inside the
// search line are draws at once, those reaching back before the root need a
// second earlier occurrence; the fifty-move rule yields to checkmate.
TEST(SearchDraws, RepetitionAndFiftyMoveRulesAtNodeEntry) {
  const std::string knights = "g1f3 g8f6 f3g1 f6g8 g1f3";
  struct Case {
    const char* name;
    std::string fen, moves;
    int ply;
    bool draw;
  };
  const Case cases[] = {
      {"repeated after the root", START, knights, 5, true},
      {"repeated at the root", START, knights, 4, false},
      {"once before the root", START, knights, 1, false},
      {"twice before the root", START, knights + " g8f6 f3g1 f6g8 g1f3", 1, true},
      {"root itself", START, "", 0, false},
      {"fifty moves", "8/8/3k4/8/8/2QK4/8/8 w - - 100 120", "", 1, true},
      {"checkmate beats fifty moves", "3R2k1/5ppp/8/8/8/8/5PPP/6K1 b - - 100 120", "", 1, false},
      {"bare kings", "8/8/3k4/8/8/3K4/8/8 w - - 0 1", "", 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto ctx = fresh_context();
    Position position = position_after(c.fen, c.moves);
    int alpha = -INFINITE_SCORE, beta = INFINITE_SCORE, score = 1;
    EXPECT_EQ(enter_node(position, *ctx, alpha, beta, c.ply, false, score), c.draw);
    if (c.draw) {
      EXPECT_EQ(score, draw_score(c.ply));
    }
  }
}

TEST(SearchLimits, DepthAndNodeLimitsAndReports) {
  std::vector<SearchInfo> reports;
  const SearchResult byDepth =
      search_fen(MIDDLEGAME, 6, 1, [&](const SearchInfo& info) { reports.push_back(info); });
  EXPECT_EQ(byDepth.depth, 6);
  EXPECT_FALSE(byDepth.stopped);
  ASSERT_EQ(reports.size(), 6u);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(reports[i].depth, i + 1);
    EXPECT_EQ(reports[i].multipv, 1);
    EXPECT_FALSE(reports[i].pv.empty());
  }
  EXPECT_EQ(reports.back().score, byDepth.score);
  EXPECT_EQ(reports.back().pv, byDepth.pv);

  // The node limit stops the search exactly at the limit once the first
  // iteration is complete.
  Position position = position_from_fen(MIDDLEGAME);
  new_game();
  clear_stop();
  SearchLimits limits;
  limits.nodes = 20000;
  const SearchResult byNodes = search_position(position, limits, nullptr);
  EXPECT_EQ(byNodes.nodes, 20000u);
  EXPECT_TRUE(byNodes.stopped);
  EXPECT_GE(byNodes.depth, 1);
  EXPECT_NE(byNodes.best_move, MOVE_NONE);
}

TEST(SearchLimits, StopRequestedBeforeTheSearchEndsItAfterTheFirstIteration) {
  Position position = position_from_fen(MIDDLEGAME);
  new_game();
  request_stop();
  SearchLimits limits;  // no limit at all: only the stop can end it early
  limits.infinite = true;
  const SearchResult result = search_position(position, limits, nullptr);
  EXPECT_EQ(result.depth, 1);
  EXPECT_TRUE(result.stopped);
  EXPECT_NE(result.best_move, MOVE_NONE);
  clear_stop();
}

TEST(SearchLimits, MultiPvReportsOneLinePerMoveUpToTheMovesThereAre) {
  // Two legal moves, three lines asked for.
  std::vector<SearchInfo> reports;
  const SearchResult result = search_fen("k7/8/8/8/8/8/8/K6r w - - 0 1", 4, 3,
                                         [&](const SearchInfo& info) { reports.push_back(info); });
  ASSERT_EQ(reports.size(), 8u);
  for (std::size_t i = 0; i < reports.size(); ++i) {
    EXPECT_EQ(reports[i].depth, int(i / 2) + 1);
    EXPECT_EQ(reports[i].multipv, int(i % 2) + 1);
  }
  EXPECT_NE(reports[6].pv[0], reports[7].pv[0]);
  EXPECT_EQ(result.best_move, reports[6].pv[0]);

  // Lines come out best first.
  reports.clear();
  search_fen(MIDDLEGAME, 5, 3, [&](const SearchInfo& info) { reports.push_back(info); });
  ASSERT_EQ(reports.size(), 15u);
  EXPECT_GE(reports[12].score, reports[13].score);
  EXPECT_GE(reports[13].score, reports[14].score);
}

TEST(SearchDriver, AspirationWindowSequence) {
  AspirationWindow first(1, 40, true);
  EXPECT_EQ(first.alpha, -INFINITE_SCORE);
  EXPECT_EQ(first.beta, INFINITE_SCORE);

  AspirationWindow w(5, 40, true);
  EXPECT_EQ(w.alpha, 24);
  EXPECT_EQ(w.beta, 56);
  EXPECT_FALSE(w.widen(30));
  const int lows[][2] = {{8, 56}, {-24, 56}, {-88, 56}, {-216, 56}, {-472, 56}, {-984, 56}};
  for (const auto& expected : lows) {
    EXPECT_TRUE(w.widen(w.alpha));
    EXPECT_EQ(w.alpha, expected[0]);
    EXPECT_EQ(w.beta, expected[1]);
  }
  EXPECT_TRUE(w.widen(w.alpha));  // 2008 wide: fully open
  EXPECT_EQ(w.alpha, -INFINITE_SCORE);
  EXPECT_EQ(w.beta, INFINITE_SCORE);

  AspirationWindow high(3, -10, true);
  EXPECT_TRUE(high.widen(100));
  EXPECT_EQ(high.alpha, -26);
  EXPECT_EQ(high.beta, 22);
  EXPECT_FALSE(AspirationWindow(3, 0, false).widen(5000));
}

TEST(SearchDriver, SoftBudgetScaling) {
  SearchLimits limits;
  limits.has_soft_limit = limits.has_hard_limit = true;
  limits.soft_ms = 1000;
  limits.hard_ms = 3000;
  struct Case {
    const char* name;
    int depth, stability;
    unsigned prevBest;
    int score, prevScore, expected;
  };
  const Case cases[] = {
      {"stable for 8 iterations", 12, 8, 1, 0, 0, 700},
      {"unchanged at stability 0", 3, 0, 1, 0, 0, 1000},
      {"best move changed late", 6, 0, 1, 0, 0, 1300},
      {"score drop of 150", 4, 0, 1, -150, 0, 1600},
      {"score drop of 150, depth 5", 5, 0, 1, -150, 0, 1600},
      {"late change and a big drop", 9, 0, 1, -1000, 0, 2080},
      {"stable for 4 iterations", 7, 4, 1, 0, 0, 790},
  };
  for (const Case& c : cases)
    EXPECT_EQ(soft_budget(limits, 1000, c.depth, c.stability, c.prevBest, c.score, c.prevScore),
              c.expected)
        << c.name;
  limits.soft_ms = 2500;
  EXPECT_EQ(soft_budget(limits, 2500, 9, 0, 1, -1000, 0), 3000);  // 2500 x 1.3 x 1.6, capped
  limits.soft_ms = limits.hard_ms = 1000;                         // equal: budget kept
  EXPECT_EQ(soft_budget(limits, 1000, 9, 8, 1, 0, 0), 1000);
  limits.soft_ms = INT_MAX - 1;
  limits.hard_ms = INT_MAX;
  limits.has_hard_limit = false;
  EXPECT_EQ(soft_budget(limits, 0, 9, 0, 1, -1000, 0), INT_MAX);
}

TEST(SearchBehaviour, SameSearchTwiceGivesTheSameResult) {
  const SearchResult a = search_fen(MIDDLEGAME, 7);
  const SearchResult b = search_fen(MIDDLEGAME, 7);
  EXPECT_EQ(a.nodes, b.nodes);
  EXPECT_EQ(a.score, b.score);
  EXPECT_EQ(a.best_move, b.best_move);
  EXPECT_EQ(a.pv, b.pv);
}

TEST(SearchBehaviour, SearchFunctionsRestoreThePosition) {
  for (const char* fen : {START, MIDDLEGAME, "8/4P1k1/3q4/8/8/8/P7/K7 w - - 0 1",
                          "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1"}) {
    SCOPED_TRACE(fen);
    new_game();
    clear_stop();
    auto ctx = fresh_context();
    Position position = position_from_fen(fen);
    const Position before = position;
    negamax(position, *ctx, 6, -INFINITE_SCORE, INFINITE_SCORE, 1);
    expect_same_state(position, before);
    quiescence(position, *ctx, -INFINITE_SCORE, INFINITE_SCORE, 1, 0);
    expect_same_state(position, before);
    EXPECT_GT(ctx->nodes, 0u);
  }
}

}  // namespace
