// Random legal games from many positions (fixed seed): after every make and
// every unmake the incremental keys and evaluation sums must equal their
// from-scratch values, and unwinding must restore every field.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/position_fixture.h"
#include "board/position_state.h"
#include "board/zobrist.h"
#include "eval/evalbase.h"
#include "movegen/perft.h"

namespace {

struct Step {
  Position before;
  Position::Undo undo;
};

TEST(PositionRandom, MakeUnmakeKeepsKeysSumsAndState) {
  std::mt19937_64 rng(0x5EEDF00D);
  std::vector<unsigned> legal;
  int moves_made = 0, null_moves = 0;
  for (const std::string& fen : varied_fens()) {
    SCOPED_TRACE(fen);
    for (int game = 0; game < 12; ++game) {
      Position position = position_from_fen(fen);
      const Position start = position;
      std::vector<Step> steps;
      for (int ply = 0; ply < 80; ++ply) {
        const bool in_check = position.in_check(position.side);
        // Now and then a null move, as the search makes them (never in check).
        if (!in_check && rng() % 8 == 0) {
          steps.push_back({position, position.make_null_move()});
          ++null_moves;
        } else {
          MoveGen::generate_legal(position, legal);
          if (legal.empty()) break;
          const unsigned move = legal[rng() % legal.size()];
          steps.push_back({position, position.make_move(move)});
          ++moves_made;
        }
        expect_consistent(position);
        ASSERT_EQ(position.key_history.size(), steps.size() + 1);
        if (::testing::Test::HasFailure()) return;
      }
      // Unwind the whole game, checking every intermediate state.
      while (!steps.empty()) {
        const Step& step = steps.back();
        if (step.undo.is_null)
          position.unmake_null_move(step.undo);
        else
          position.unmake_move(step.undo);
        expect_same_state(position, step.before);
        expect_consistent(position);
        steps.pop_back();
        if (::testing::Test::HasFailure()) return;
      }
      expect_same_state(position, start);
    }
  }
  EXPECT_GT(moves_made, 10000);
  EXPECT_GT(null_moves, 1000);
}

TEST(PositionRandom, PerftLeavesRandomPositionsUnchanged) {
  for (Position position : walk_positions(varied_fens(), 2, 30, 777)) {
    const Position before = position;
    perft(position, 2);
    expect_same_state(position, before, true);
    if (::testing::Test::HasFailure()) return;
  }
}

}  // namespace
