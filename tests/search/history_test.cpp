// The learning tables: the reduction table, the bounded update, the move and
// correction updates with their figures, the parameters and the draw score.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "eval/pawnhash.h"
#include "search/search_fixture.h"
#include "search/tt.h"

using namespace Search;

namespace {

constexpr const char* START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

TEST(SearchTables, LateMoveReductionTable) {
  init_search();
  for (int i = 0; i < 64; ++i) {
    EXPECT_EQ(lmrTable[0][i], 0);
    EXPECT_EQ(lmrTable[1][i], 0);
    EXPECT_EQ(lmrTable[i][0], 0);
    EXPECT_EQ(lmrTable[i][1], 0);
  }
  EXPECT_EQ(lmrTable[2][2], 0);
  EXPECT_EQ(lmrTable[3][3], 1);
  EXPECT_EQ(lmrTable[10][10], 2);
  EXPECT_EQ(lmrTable[63][63], 7);
}

TEST(SearchTables, GravityStaysWithinBounds) {
  struct Case {
    int entry, bonus;
    bool reward;
    int expected;
  };
  const Case cases[] = {
      {0, 160, true, 160},           {0, 160, false, -160},
      {32768, 10000, true, 32768},   {-32768, 10000, false, -32768},
      {16384, 1000, true, 16884},    {-16384, 1000, false, -16884},
      {-32768, 10000, true, -12768},
  };
  for (const Case& c : cases) {
    std::int32_t entry = c.entry;
    apply_gravity(entry, c.bonus, c.reward);
    EXPECT_EQ(entry, c.expected) << c.entry << " " << c.bonus << " " << c.reward;
  }
}

class MoveHeuristics : public ::testing::Test {
 protected:
  void SetUp() override {
    ctx = fresh_context();
    new_game();
    position = position_from_fen(START);
  }
  unsigned move(const char* text) { return find_legal_move(position, text); }
  int history(unsigned m) { return historyHeuristic[history_index(WHITE, m)]; }

  std::unique_ptr<SearchContext> ctx;
  Position position;
};

TEST_F(MoveHeuristics, QuietBonusByDepthAndCutoff) {
  struct Case {
    int depth;
    bool cutoff;
    int expected;
  };
  const Case cases[] = {
      {1, true, 160}, {1, false, 80}, {0, true, 160}, {20, true, 10000}, {20, false, 5000}};
  for (const Case& c : cases) {
    new_game();
    const unsigned m = move("e2e4");
    update_move_heuristics(position, *ctx, 3, WHITE, m, c.depth, c.cutoff, &m, 1);
    EXPECT_EQ(history(m), c.expected) << c.depth << " " << c.cutoff;
    EXPECT_EQ(killerMoves[3][0], c.cutoff ? m : MOVE_NONE);
  }
}

TEST_F(MoveHeuristics, QuietCutoffPenalisesTheOtherTriedQuietsAndKeepsKillers) {
  const unsigned e4 = move("e2e4"), d4 = move("d2d4"), nf3 = move("g1f3");
  const unsigned prev = move("b1c3");  // any move stands in for the previous one
  ctx->stack[1].move = prev;
  killerMoves[2][0] = nf3;
  const unsigned tried[] = {d4, e4, nf3};
  update_move_heuristics(position, *ctx, 2, WHITE, e4, 2, true, tried, 3);
  const int bonus = 32 * 2 * 6;
  EXPECT_EQ(history(e4), bonus);
  EXPECT_EQ(history(d4), -bonus);
  EXPECT_EQ(history(nf3), -bonus);
  EXPECT_EQ(continuationHistory[continuation_index(prev, e4)], bonus);
  EXPECT_EQ(continuationHistory[continuation_index(prev, d4)], -bonus);
  EXPECT_EQ(continuationHistory2[continuation_index(prev, e4)], 0);  // no move two plies back
  EXPECT_EQ(killerMoves[2][0], e4);
  EXPECT_EQ(killerMoves[2][1], nf3);
  EXPECT_EQ(counterMove[WHITE][move_from(prev)][move_to(prev)], e4);

  // The killer already in slot 0 leaves slot 1 alone.
  killerMoves[2][1] = d4;
  update_move_heuristics(position, *ctx, 2, WHITE, e4, 2, true, tried, 3);
  EXPECT_EQ(killerMoves[2][0], e4);
  EXPECT_EQ(killerMoves[2][1], d4);
}

TEST_F(MoveHeuristics, CapturesAndSpecialMoves) {
  // A capture is rewarded in the capture history only on a cutoff; castling
  // changes nothing but the counter move.
  position = position_from_fen("r3k2r/8/8/3p4/4P3/8/8/R3K2R w KQkq - 0 1");
  const unsigned capture = move("e4d5"), castle = move("e1g1");
  const unsigned prev = move("a1a2");
  ctx->stack[3].move = prev;
  const int index = capture_history_index(position, WHITE, capture);
  update_move_heuristics(position, *ctx, 4, WHITE, capture, 20, false, nullptr, 0);
  EXPECT_EQ(captureHistory[index], 0);
  update_move_heuristics(position, *ctx, 4, WHITE, capture, 20, true, nullptr, 0);
  EXPECT_EQ(captureHistory[index], 16 * 20 * 24);
  new_game();
  update_move_heuristics(position, *ctx, 4, WHITE, capture, 30, true, nullptr, 0);
  EXPECT_EQ(captureHistory[index], 9000);  // 16 x 30 x 34 is capped
  EXPECT_EQ(index, ((WHITE * 6 + PAWN) * 64 + move_to(capture)) * 6 + PAWN);

  std::int32_t before[2 * 64 * 64];
  std::memcpy(before, historyHeuristic, sizeof(before));
  update_move_heuristics(position, *ctx, 4, WHITE, castle, 5, true, &castle, 1);
  EXPECT_EQ(std::memcmp(before, historyHeuristic, sizeof(before)), 0);
  EXPECT_EQ(killerMoves[4][0], MOVE_NONE);
  EXPECT_EQ(counterMove[WHITE][move_from(prev)][move_to(prev)], castle);
}

TEST_F(MoveHeuristics, CorrectionUpdateAndCorrectedEval) {
  const int pawnIndex = int(position.pawn_key & (CORRECTION_SIZE - 1));
  update_corr_hist(position, *ctx, 0, SCORE_NONE, 100, 5);
  EXPECT_EQ(pawnCorrHist[WHITE][pawnIndex], 0);

  // A difference of 500 counts as 64; depth 5 gives weight 6.
  update_corr_hist(position, *ctx, 0, 0, 500, 5);
  EXPECT_EQ(pawnCorrHist[WHITE][pawnIndex], 64 * 6);
  EXPECT_EQ(nonPawnCorrHist[WHITE][position.non_pawn_key & (CORRECTION_SIZE - 1)], 64 * 6);
  // (384 * 2 + 384 * 1) / (2 * 256) = 2.
  EXPECT_EQ(corrected_eval(position, *ctx, 0, 10), 12);
}

TEST_F(MoveHeuristics, ExtremeParametersNeverOverflow) {
  ParameterGuard guard;
  pawnCorrHist[WHITE][position.pawn_key & (CORRECTION_SIZE - 1)] = CORRECTION_MAX;
  nonPawnCorrHist[WHITE][position.non_pawn_key & (CORRECTION_SIZE - 1)] = CORRECTION_MAX;
  set_see_param("CorrPawnWeight", INT_MAX);
  set_see_param("CorrNonPawnWeight", INT_MAX);
  set_see_param("CorrWeightScale", 0);  // acts as 1
  EXPECT_EQ(corrected_eval(position, *ctx, 0, 0), EVAL_LIMIT);
  set_see_param("CorrPawnWeight", INT_MIN);
  set_see_param("CorrNonPawnWeight", INT_MIN);
  EXPECT_EQ(corrected_eval(position, *ctx, 0, 0), -EVAL_LIMIT);

  // A whole search with every margin at an extreme stays defined.
  for (const int value : {INT_MIN, INT_MAX}) {
    for (const char* name :
         {"SeeCaptureMargin", "SeeQuietMargin", "SeeCaptureDepth", "SeeQuietDepth",
          "SeeCaptHistDiv", "SeeQuietHistDiv", "SeeEndgameGuard", "CorrContWeight", "Contempt"})
      set_see_param(name, value);
    const SearchResult result =
        search_fen("r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10", 5);
    EXPECT_NE(result.best_move, MOVE_NONE);
  }
}

TEST(SearchParameters, NamesAreCaseSensitiveAndContemptSetsTheDrawScore) {
  ParameterGuard guard;
  set_see_param("seequietdepth", 3);
  set_see_param("SeeQuietDepthX", 3);
  EXPECT_EQ(param(g_seeQuietDepth), 10);
  set_see_param("SeeQuietDepth", 3);
  EXPECT_EQ(param(g_seeQuietDepth), 3);

  EXPECT_EQ(draw_score(3), 0);
  set_see_param("Contempt", 20);
  EXPECT_EQ(draw_score(3), 20);
  EXPECT_EQ(draw_score(4), -20);
  EXPECT_EQ(draw_score(0), -20);  // the root side values a draw at -contempt
  set_see_param("Contempt", INT_MIN);
  EXPECT_EQ(draw_score(1), -EVAL_LIMIT);
  EXPECT_EQ(draw_score(2), EVAL_LIMIT);
  set_see_param("Contempt", INT_MAX);
  EXPECT_EQ(draw_score(1), EVAL_LIMIT);
}

TEST(SearchTables, HashSizeGivesThePawnHashAnEighth) {
  init_search();
  struct Case {
    std::uint64_t mb, pawn_mb;
  };
  for (const Case c : {Case{4, 1}, Case{64, 8}, Case{1, 1}, Case{16, 2}}) {
    EXPECT_EQ(set_hash_size_mb(c.mb), c.mb);
    EXPECT_EQ(TT::size_mb(), c.mb);
    EXPECT_EQ(PawnHash::size_mb(), c.pawn_mb);
  }
  set_hash_size_mb(64);
}

}  // namespace
