#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position_fixture.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"

namespace {

// The pseudo-legal move with the given text: exchange evaluation does not
// care whether the mover's king is left attacked.
unsigned find_pseudo_legal_move(Position& position, const std::string& text) {
  std::vector<unsigned> moves;
  MoveGen::generate_pseudo_legal(position, moves);
  for (const unsigned move : moves)
    if (move_to_uci(move) == text) return move;
  return MOVE_NONE;
}

struct SeeCase {
  const char* name;
  const char* fen;
  const char* move;
  int gain;
};

const SeeCase SEE_CASES[] = {
    {"pawn takes undefended knight", "4k3/8/8/3n4/4P3/8/8/4K3 w - - 0 1", "e4d5", 320},
    {"queen takes pawn defended by pawn", "4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1", "d1d5", -800},
    {"rook behind the capturer recaptures through its origin", "3r3r/8/k7/8/8/8/3R4/3RK3 w - - 0 1",
     "d2d8", 500},
    {"bishop behind the capturing pawn", "4k3/8/4p3/3p4/4P3/5B2/8/4K3 w - - 0 1", "e4d5", 100},
    {"pawn takes pawn defended by pawn", "4k3/8/4p3/3p4/4P3/8/8/4K3 w - - 0 1", "e4d5", 0},
    {"queen uncovered behind a recapturing bishop", "7k/1q6/2b5/3p4/5N2/8/8/3R3K w - - 0 1", "f4d5",
     -220},
    {"rook uncovered behind a recapturing rook", "3r3k/3r4/8/3n4/5N2/8/8/3R3K w - - 0 1", "d1d5",
     0},
    {"bishop uncovered behind a recapturing pawn", "7k/6b1/5p2/4n3/8/8/1Q6/4R2K w - - 0 1", "b2e5",
     -580},
    {"king takes pawn defended by pawn", "4k3/8/8/8/3p4/4p3/4K3/8 w - - 0 1", "e2e3", -19900},
    {"king takes undefended pawn", "4k3/8/8/8/8/4p3/4K3/8 w - - 0 1", "e2e3", 100},
    {"defending king recaptures when nothing is left", "4k3/3p4/8/8/8/8/8/3RK3 w - - 0 1", "d1d7",
     -400},
    {"defending king may not recapture onto a defended square",
     "4k3/3p4/8/1B6/8/8/8/3RK3 w - - 0 1", "d1d7", 100},
    {"knight to a square a pawn attacks", "4k3/8/8/8/4p3/8/8/4K1N1 w - - 0 1", "g1f3", -320},
    {"knight to a square attacked by a pawn and defended by one",
     "4k3/8/8/8/4p3/8/6P1/4K1N1 w - - 0 1", "g1f3", -220},
    {"pawn recapture onto the first rank promotes", "4k3/8/8/8/8/2N5/4p3/7K w - - 0 1", "c3d1",
     -1120},
    {"quiet queen promotion on a free square", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8q", 800},
    {"underpromotion to a knight", "4k3/P7/8/8/8/8/8/4K3 w - - 0 1", "a7a8n", 220},
    {"capturing promotion taken back by the king", "1rk5/P7/8/8/8/8/8/4K3 w - - 0 1", "a7b8q", 400},
    {"undefended en passant", "4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 100},
    {"en passant recaptured by a pawn", "4k3/2p5/8/3pP3/8/8/8/4K3 w - d6 0 1", "e5d6", 0},
    {"black en passant", "4k3/8/8/8/3Pp3/8/8/4K3 b - d3 0 1", "e4d3", 100},
    {"black quiet move to a free square", "4k1n1/8/4P3/8/8/8/8/4K3 b - - 0 1", "g8f6", 0},
    {"black knight to a square a pawn attacks", "4k1n1/8/8/4P3/8/8/8/4K3 b - - 0 1", "g8f6", -320},
};

TEST(StaticExchange, GainAndThresholdAgree) {
  for (const SeeCase& c : SEE_CASES) {
    SCOPED_TRACE(c.name);
    Position position = position_from_fen(c.fen);
    const unsigned move = find_pseudo_legal_move(position, c.move);
    ASSERT_NE(move, MOVE_NONE) << c.move;
    EXPECT_EQ(Attack::see_gain(position, move), c.gain);
    EXPECT_TRUE(Attack::see_ge(position, move, c.gain - 1));
    EXPECT_TRUE(Attack::see_ge(position, move, c.gain));
    EXPECT_FALSE(Attack::see_ge(position, move, c.gain + 1));
  }
}

TEST(StaticExchange, NoMoveAndCastlingAreNeutral) {
  Position position = position_from_fen("4k3/8/8/8/8/8/8/4K2R w K - 0 1");
  const unsigned castle = find_pseudo_legal_move(position, "e1g1");
  ASSERT_NE(castle, MOVE_NONE);
  for (const unsigned move : {MOVE_NONE, castle}) {
    EXPECT_EQ(Attack::see_gain(position, move), 0);
    EXPECT_TRUE(Attack::see_ge(position, move, 0));
    EXPECT_TRUE(Attack::see_ge(position, move, -5));
    EXPECT_FALSE(Attack::see_ge(position, move, 1));
  }
}

TEST(StaticExchange, LeavesThePositionUnchanged) {
  Position position = position_from_fen("7k/1q6/2b5/3p4/5N2/8/8/3R3K w - - 0 1");
  const std::string before = fen::to_fen(position);
  const std::uint64_t key = position.key;
  const unsigned move = find_pseudo_legal_move(position, "f4d5");
  Attack::see_gain(position, move);
  Attack::see_ge(position, move, 50);
  EXPECT_EQ(fen::to_fen(position), before);
  EXPECT_EQ(position.key, key);
}

}  // namespace
