#include <gtest/gtest.h>

#include "board/move.h"

namespace {

TEST(Move, FieldsAndFlagsOfKnownEncodings) {
  struct Case {
    unsigned move;
    int from, to, piece, promotion;
    unsigned flags;
  };
  const Case cases[] = {
      {MOVE_WHITE_OO, SQ_E1, SQ_G1, W_KING, 0, MOVE_FLAG_CASTLING},
      {MOVE_WHITE_OOO, SQ_E1, SQ_C1, W_KING, 0, MOVE_FLAG_CASTLING},
      {MOVE_BLACK_OO, SQ_E8, SQ_G8, B_KING, 0, MOVE_FLAG_CASTLING},
      {MOVE_BLACK_OOO, SQ_E8, SQ_C8, B_KING, 0, MOVE_FLAG_CASTLING},
      {0x20070C, 12, 28, W_PAWN, 0, MOVE_FLAG_DOUBLE_PUSH},                     // e2e4
      {0x140E31, 49, 56, W_PAWN, QUEEN, MOVE_FLAG_CAPTURE},                     // b7xa8=Q
      {0x500AE4, 36, 43, W_PAWN, 0, MOVE_FLAG_CAPTURE | MOVE_FLAG_EN_PASSANT},  // e5xd6 e.p.
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.move);
    EXPECT_EQ(move_from(c.move), c.from);
    EXPECT_EQ(move_to(c.move), c.to);
    EXPECT_EQ(move_piece(c.move), c.piece);
    EXPECT_EQ(move_promotion(c.move), c.promotion);
    EXPECT_EQ(c.move & 0xF00000, c.flags);
    EXPECT_EQ(make_move_value(c.from, c.to, c.piece, c.promotion, c.flags), c.move);
  }
}

TEST(Move, CoordinateText) {
  const std::pair<unsigned, const char*> cases[] = {
      {MOVE_NONE, "0000"},
      {MOVE_WHITE_OO, "e1g1"},
      {MOVE_WHITE_OOO, "e1c1"},
      {MOVE_BLACK_OO, "e8g8"},
      {MOVE_BLACK_OOO, "e8c8"},
      {0x500AE4, "e5d6"},
      {make_move_value(52, 60, W_PAWN, KNIGHT), "e7e8n"},
      {make_move_value(52, 60, W_PAWN, BISHOP), "e7e8b"},
      {make_move_value(52, 60, W_PAWN, ROOK), "e7e8r"},
      {make_move_value(52, 60, W_PAWN, QUEEN), "e7e8q"},
      {make_move_value(52, 60, W_PAWN, 9), "e7e8q"},  // any other value prints as a queen
      {make_move_value(SQ_H8, SQ_A1, B_QUEEN), "h8a1"},
  };
  for (const auto& [move, text] : cases) EXPECT_EQ(move_to_uci(move), text);
}

TEST(Types, PieceHelpers) {
  for (int piece = 0; piece < 12; ++piece) {
    EXPECT_EQ(piece_type(piece), piece % 6);
    EXPECT_EQ(piece_color(piece), piece < 6 ? WHITE : BLACK);
    EXPECT_EQ(make_piece(piece_color(piece), piece_type(piece)), piece);
    EXPECT_EQ(piece_char(piece), "PNBRQKpnbrqk"[piece]);
  }
}

}  // namespace
