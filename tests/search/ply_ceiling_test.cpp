// Lines that run into the ply ceiling: the searches near it stay within their
// per-ply tables (checked by the sanitizer builds), report no selective depth
// beyond it, restore the position, and a node at the ceiling is its static
// evaluation (0 for a quiescence node in check).
#include <gtest/gtest.h>

#include "eval/eval.h"
#include "search/search_fixture.h"

namespace {

using Search::PLY_CEILING;

TEST(SearchPlyCeiling, NodesAtAndJustBelowTheCeiling) {
  const char* const fens[] = {
      "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
      "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "4k3/8/8/8/8/8/4q3/4K3 w - - 0 1",  // in check
  };
  for (const char* fen : fens) {
    for (const int ply : {PLY_CEILING - 8, PLY_CEILING - 2, PLY_CEILING - 1, PLY_CEILING}) {
      SCOPED_TRACE(std::string(fen) + " at ply " + std::to_string(ply));
      Search::new_game();
      Search::clear_stop();
      Position position = position_from_fen(fen);
      const std::string before = position.to_fen();
      auto ctx = fresh_context();
      const int score = Search::negamax(position, *ctx, 8, -INFINITE_SCORE, INFINITE_SCORE, ply);
      EXPECT_EQ(position.to_fen(), before);
      EXPECT_LT(std::abs(score), INFINITE_SCORE);
      EXPECT_LE(ctx->seldepth, PLY_CEILING);
      if (ply == PLY_CEILING) {
        EXPECT_EQ(score, evaluate(position));
        EXPECT_EQ(ctx->nodes, 0u);
        const int quiet =
            Search::quiescence(position, *ctx, -INFINITE_SCORE, INFINITE_SCORE, ply, 0);
        EXPECT_EQ(quiet, position.in_check(position.side) ? 0 : evaluate(position));
      } else {
        EXPECT_GT(ctx->nodes, 0u);
      }
    }
  }
}

}  // namespace
