#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/position_fixture.h"

namespace {

Bitboard squares(std::initializer_list<int> list) {
  Bitboard b = 0;
  for (const int s : list) b |= square_bb(s);
  return b;
}

// Square numbers by name, for readable expectations.
constexpr int sq(const char* name) { return make_square(name[0] - 'a', name[1] - '1'); }

TEST(PositionQueries, SquareAttacksByEveryPieceKind) {
  struct Case {
    std::string fen;
    const char* square;
    Color by;
    bool attacked;
  };
  const Case cases[] = {
      // Pawns attack diagonally forward only, without wrapping round the board edge.
      {"4k3/8/8/8/8/8/3P4/4K3 w - - 0 1", "e3", WHITE, true},
      {"4k3/8/8/8/8/8/3P4/4K3 w - - 0 1", "c3", WHITE, true},
      {"4k3/8/8/8/8/8/3P4/4K3 w - - 0 1", "d3", WHITE, false},
      {"4k3/8/8/8/8/8/7P/4K3 w - - 0 1", "a4", WHITE, false},
      {"4k3/8/8/8/8/8/P7/4K3 w - - 0 1", "h2", WHITE, false},
      {"4k3/3p4/8/8/8/8/8/4K3 w - - 0 1", "e6", BLACK, true},
      {"4k3/3p4/8/8/8/8/8/4K3 w - - 0 1", "e8", BLACK, false},
      {"4k3/p7/8/8/8/8/8/4K3 w - - 0 1", "h5", BLACK, false},
      // Knights and kings.
      {"4k3/8/8/8/8/8/8/N3K3 w - - 0 1", "b3", WHITE, true},
      {"4k3/8/8/8/8/8/8/N3K3 w - - 0 1", "h7", WHITE, false},
      {"4k3/8/8/8/8/8/8/4K3 w - - 0 1", "d7", BLACK, true},
      // Sliders stop at the first piece on the ray, whatever its colour.
      {"4k3/8/8/8/8/8/8/R3K3 w - - 0 1", "a8", WHITE, true},
      {"4k3/8/8/8/P7/8/8/R3K3 w - - 0 1", "a8", WHITE, false},
      {"4k3/8/8/8/p7/8/8/R3K3 w - - 0 1", "a4", WHITE, true},
      {"4k3/8/8/8/8/8/8/Q3K3 w - - 0 1", "h8", WHITE, true},
      {"4k3/8/8/8/8/8/8/B3K3 w - - 0 1", "h8", WHITE, true},
      {"4k3/8/8/8/8/8/8/B3K3 w - - 0 1", "a8", WHITE, false},
      {"4k3/8/8/8/3n4/8/8/B3K3 w - - 0 1", "h8", WHITE, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen + " " + c.square);
    const Position p = position_from_fen(c.fen);
    EXPECT_EQ(p.is_square_attacked(sq(c.square), c.by), c.attacked);
  }
}

TEST(PositionQueries, InCheckNeedsADirectAttackOnThePresentKing) {
  // Attacked through an own piece: not in check.
  const Position screened = position_from_fen("4r1k1/8/8/8/8/8/4N3/4K3 w - - 0 1");
  EXPECT_FALSE(screened.in_check(WHITE));
  const Position checked = position_from_fen("4r1k1/8/8/8/8/8/8/4K3 w - - 0 1");
  EXPECT_TRUE(checked.in_check(WHITE));
  EXPECT_FALSE(checked.in_check(BLACK));
  // Without a king there is no check, and no checker either.
  Position kingless = checked;
  kingless.remove_piece_at_square(W_KING, SQ_E1);
  EXPECT_FALSE(kingless.in_check(WHITE));
  EXPECT_EQ(kingless.checker_mask(WHITE), 0u);
  EXPECT_EQ(kingless.check_block_mask(WHITE), ALL_SQUARES);
}

TEST(PositionQueries, CheckersAndTheSquaresThatAnswerACheck) {
  struct Case {
    const char* name;
    std::string fen;
    Color side;
    Bitboard checkers, block;
  };
  const Case cases[] = {
      {"not in check", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, 0, ALL_SQUARES},
      {"knight", "6k1/8/8/8/8/3n4/8/4K3 w - - 0 1", WHITE, squares({sq("d3")}),
       squares({sq("d3")})},
      {"pawn", "6k1/8/8/8/8/8/3p4/4K3 w - - 0 1", WHITE, squares({sq("d2")}), squares({sq("d2")})},
      {"rook", "4r1k1/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, squares({sq("e8")}),
       squares({sq("e2"), sq("e3"), sq("e4"), sq("e5"), sq("e6"), sq("e7"), sq("e8")})},
      {"bishop", "6k1/8/8/b7/8/8/8/4K3 w - - 0 1", WHITE, squares({sq("a5")}),
       squares({sq("a5"), sq("b4"), sq("c3"), sq("d2")})},
      {"adjacent queen", "6k1/8/8/8/8/8/3q4/4K3 w - - 0 1", WHITE, squares({sq("d2")}),
       squares({sq("d2")})},
      {"queen against Black", "4k3/8/8/8/Q7/8/8/4K3 b - - 0 1", BLACK, squares({sq("a4")}),
       squares({sq("a4"), sq("b5"), sq("c6"), sq("d7")})},
      {"double check", "4r1k1/8/8/8/8/3n4/8/4K3 w - - 0 1", WHITE, squares({sq("d3"), sq("e8")}),
       0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Position p = position_from_fen(c.fen);
    EXPECT_EQ(p.checker_mask(c.side), c.checkers);
    EXPECT_EQ(p.check_block_mask(c.side), c.block);
  }
}

TEST(PositionQueries, PinsAndTheirRays) {
  struct Pin {
    const char* square;
    Bitboard ray;
  };
  struct Case {
    const char* name;
    std::string fen;
    Color side;
    std::vector<Pin> pins;
  };
  const Case cases[] = {
      {"queen on a diagonal",
       "4k3/3n4/8/8/Q7/8/8/4K3 b - - 0 1",
       BLACK,
       {{"d7", squares({sq("a4"), sq("b5"), sq("c6"), sq("d7"), sq("e8")})}}},
      {"two own pieces in between", "4k3/3n4/2b5/8/Q7/8/8/4K3 b - - 0 1", BLACK, {}},
      {"enemy piece in between", "4k3/3n4/2P5/8/Q7/8/8/4K3 b - - 0 1", BLACK, {}},
      {"rook and bishop at once",
       "4r1k1/8/8/8/7b/8/4NB2/4K3 w - - 0 1",
       WHITE,
       {{"e2",
         squares({sq("e1"), sq("e2"), sq("e3"), sq("e4"), sq("e5"), sq("e6"), sq("e7"), sq("e8")})},
        {"f2", squares({sq("e1"), sq("f2"), sq("g3"), sq("h4")})}}},
      // A rook on a diagonal or a bishop on a line pins nothing.
      {"wrong slider for the line", "6k1/8/8/8/7r/8/4NB2/4K2b w - - 0 1", WHITE, {}},
      {"no king", "4r1k1/8/8/8/8/8/4N3/4K3 w - - 0 1", WHITE, {}},  // king removed below
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Position p = position_from_fen(c.fen);
    if (std::string(c.name) == "no king") p.remove_piece_at_square(W_KING, SQ_E1);
    p.pinned[c.side] = ALL_SQUARES;  // stale cache must be replaced
    p.compute_pins(c.side);
    Bitboard expected = 0;
    for (const Pin& pin : c.pins) {
      expected |= square_bb(sq(pin.square));
      EXPECT_EQ(p.pin_ray[sq(pin.square)], pin.ray) << pin.square;
    }
    EXPECT_EQ(p.pinned[c.side], expected);
    // The screened king is never in check.
    EXPECT_FALSE(p.in_check(c.side));
  }
}

TEST(PositionQueries, MoveLegalityByMakingTheMove) {
  struct Case {
    const char* name;
    std::string fen;
    unsigned move;
    bool legal;
  };
  const Case cases[] = {
      {"pinned knight leaves the file", "4r1k1/8/8/8/8/8/4N3/4K3 w - - 0 1",
       make_move_value(sq("e2"), sq("c3"), W_KNIGHT), false},
      {"pinned rook slides along the pin", "4r1k1/8/8/8/8/8/4R3/4K3 w - - 0 1",
       make_move_value(sq("e2"), sq("e5"), W_ROOK), true},
      {"king steps into the rook's file", "3r2k1/8/8/8/8/8/8/4K3 w - - 0 1",
       make_move_value(sq("e1"), sq("d1"), W_KING), false},
      {"king steps aside", "3r2k1/8/8/8/8/8/8/4K3 w - - 0 1",
       make_move_value(sq("e1"), sq("f2"), W_KING), true},
      // The en-passant capture empties the rank between king and rook.
      {"en passant exposes the king", "8/8/8/K2pP2r/8/8/8/7k w - d6 0 1",
       make_move_value(sq("e5"), sq("d6"), W_PAWN, 0, MOVE_FLAG_CAPTURE | MOVE_FLAG_EN_PASSANT),
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Position p = position_from_fen(c.fen);
    const Position before = p;
    EXPECT_EQ(p.is_move_legal(c.move), c.legal);
    EXPECT_EQ(p.key, before.key);  // the position itself is untouched
    EXPECT_EQ(p.key_history, before.key_history);
  }
}

TEST(PositionQueries, RepetitionCountsTheCurrentKeyInTheHistory) {
  Position p = position_from_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
  EXPECT_EQ(p.repetition_count(), 1);
  const char* cycle[] = {"g1f3", "g8f6", "f3g1", "f6g8"};
  for (const char* text : cycle) p.make_move(find_legal_move(p, text));
  EXPECT_EQ(p.repetition_count(), 2);
  EXPECT_FALSE(p.is_threefold_repetition());
  for (const char* text : cycle) p.make_move(find_legal_move(p, text));
  EXPECT_EQ(p.repetition_count(), 3);
  EXPECT_TRUE(p.is_threefold_repetition());
  p.make_move(find_legal_move(p, "g1f3"));
  EXPECT_EQ(p.repetition_count(), 3);  // knight on f3 with Black to move: plies 1, 5 and 9
  p.key_history.clear();
  EXPECT_EQ(p.repetition_count(), 0);
}

TEST(PositionQueries, NonPawnMaterial) {
  const Position p = position_from_fen("4k3/pppp4/8/8/8/8/PP6/1N2K3 w - - 0 1");
  EXPECT_TRUE(p.has_non_pawn_material(WHITE));
  EXPECT_FALSE(p.has_non_pawn_material(BLACK));
}

TEST(PositionQueries, InsufficientMaterial) {
  struct Case {
    const char* name;
    std::string board;
    bool insufficient;
  };
  const Case cases[] = {
      {"K v K", "4k3/8/8/8/8/8/8/4K3", true},
      {"KN v K", "4k3/8/8/8/8/8/8/1N2K3", true},
      {"KB v K", "4k3/8/8/8/8/8/8/2B1K3", true},
      {"K v KN", "1n2k3/8/8/8/8/8/8/4K3", true},
      {"K v KB", "2b1k3/8/8/8/8/8/8/4K3", true},
      {"KB v KB both on dark squares", "4kb2/8/8/8/8/8/8/2B1K3", true},   // f8, c1
      {"KB v KB both on light squares", "2b1k3/8/8/8/8/8/8/4KB2", true},  // c8, f1
      {"KB v KB opposite colours", "2b1k3/8/8/8/8/8/8/2B1K3", false},     // c8, c1
      {"KNN v K", "4k3/8/8/8/8/8/8/1N2KN2", false},
      {"K v KNN", "1n2kn2/8/8/8/8/8/8/4K3", false},
      {"KN v KN", "1n2k3/8/8/8/8/8/8/1N2K3", false},
      {"KN v KB", "2b1k3/8/8/8/8/8/8/1N2K3", false},
      {"KBB v K", "4k3/8/8/8/8/8/8/2B1KB2", false},
      {"pawn", "4k3/8/8/8/8/8/P7/4K3", false},
      {"rook", "4k3/8/8/8/8/8/8/R3K3", false},
      {"queen", "3qk3/8/8/8/8/8/8/4K3", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Position p = position_from_fen(c.board + " w - - 0 1");
    EXPECT_EQ(p.has_insufficient_material(), c.insufficient);
  }
}

}  // namespace
