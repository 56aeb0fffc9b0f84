#include "board/zobrist.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "board/position.h"
#include "board/position_fixture.h"

namespace {

// The start position placed piece by piece, independent of FEN parsing.
Position start_position_by_hand() {
  init_attack_tables();
  Position p;
  const int back_rank[8] = {ROOK, KNIGHT, BISHOP, QUEEN, KING, BISHOP, KNIGHT, ROOK};
  for (int file = 0; file < 8; ++file) {
    p.set_piece_at_square(make_piece(WHITE, back_rank[file]), make_square(file, 0));
    p.set_piece_at_square(W_PAWN, make_square(file, 1));
    p.set_piece_at_square(B_PAWN, make_square(file, 6));
    p.set_piece_at_square(make_piece(BLACK, back_rank[file]), make_square(file, 7));
  }
  p.castling_rights = 15;
  p.recompute_occupancies();
  return p;
}

TEST(Zobrist, TableValuesComeFromTheFixedSeedInDrawOrder) {
  Zobrist::init_zobrist();
  EXPECT_EQ(Zobrist::piece_key(W_PAWN, SQ_A1), 0xFC1CAB57D3E7BFF9ULL);
  EXPECT_EQ(Zobrist::castling_key(0), 0xC04CCCB037E9BF4CULL);
  EXPECT_EQ(Zobrist::castling_key(15), 0xDBAF0B75A6760D00ULL);
  EXPECT_EQ(Zobrist::ep_file_key(0), 0xC5AAA14EE38E8767ULL);
  EXPECT_EQ(Zobrist::side_key(), 0xD5120FB09E473306ULL);
  // A second init changes nothing.
  Zobrist::init_zobrist();
  EXPECT_EQ(Zobrist::piece_key(W_PAWN, SQ_A1), 0xFC1CAB57D3E7BFF9ULL);
}

TEST(Zobrist, PawnAccessorReadsThePawnRowOfEachColour) {
  for (int square = 0; square < 64; ++square) {
    EXPECT_EQ(Zobrist::pawn_piece_key(WHITE, square), Zobrist::piece_key(W_PAWN, square));
    EXPECT_EQ(Zobrist::pawn_piece_key(BLACK, square), Zobrist::piece_key(B_PAWN, square));
  }
}

TEST(Zobrist, EmptyBoardCarriesOnlyTheEmptyCastlingSet) {
  const Position p;
  EXPECT_EQ(Zobrist::compute_key(p), 0xC04CCCB037E9BF4CULL);
  EXPECT_EQ(Zobrist::compute_pawn_key(p), 0u);
  EXPECT_EQ(Zobrist::compute_non_pawn_key(p), 0u);
}

TEST(Zobrist, StartPositionKeys) {
  const Position p = start_position_by_hand();
  EXPECT_EQ(Zobrist::compute_key(p), 0x67907E07E21C23F1ULL);
  EXPECT_EQ(Zobrist::compute_pawn_key(p), 0x206A44D64D107497ULL);
  EXPECT_EQ(Zobrist::compute_non_pawn_key(p), 0x9C5531A4097A5A66ULL);
  EXPECT_EQ(Zobrist::compute_rep_key(p), Zobrist::compute_key(p));
  // The incrementally kept keys agree.
  EXPECT_EQ(p.key, 0x67907E07E21C23F1ULL);
  EXPECT_EQ(p.pawn_key, 0x206A44D64D107497ULL);
  EXPECT_EQ(p.non_pawn_key, 0x9C5531A4097A5A66ULL);
}

TEST(Zobrist, EachStateTermEntersOnlyTheFullKey) {
  const Position base = start_position_by_hand();
  const std::uint64_t key = Zobrist::compute_key(base);

  Position black = base;
  black.side = BLACK;
  EXPECT_EQ(Zobrist::compute_key(black), key ^ Zobrist::side_key());

  Position rights = base;
  rights.castling_rights = CASTLE_WHITE_QUEENSIDE | CASTLE_BLACK_KINGSIDE;
  EXPECT_EQ(Zobrist::compute_key(rights),
            key ^ Zobrist::castling_key(15) ^ Zobrist::castling_key(6));

  Position ep = base;
  ep.ep_square = 44;  // e6: file e
  EXPECT_EQ(Zobrist::compute_key(ep), key ^ Zobrist::ep_file_key(4));

  for (const Position* p : {&black, &rights, &ep}) {
    EXPECT_EQ(Zobrist::compute_pawn_key(*p), Zobrist::compute_pawn_key(base));
    EXPECT_EQ(Zobrist::compute_non_pawn_key(*p), Zobrist::compute_non_pawn_key(base));
    EXPECT_EQ(Zobrist::compute_rep_key(*p), Zobrist::compute_key(*p));
  }
}

TEST(Zobrist, PieceTermsSplitBetweenPawnAndNonPawnKeys) {
  Position p;
  p.set_piece_at_square(W_PAWN, 12);
  p.set_piece_at_square(B_PAWN, 52);
  p.set_piece_at_square(W_KING, SQ_E1);
  p.set_piece_at_square(B_KNIGHT, 40);
  const std::uint64_t pawns = Zobrist::piece_key(W_PAWN, 12) ^ Zobrist::piece_key(B_PAWN, 52);
  const std::uint64_t others = Zobrist::piece_key(W_KING, SQ_E1) ^ Zobrist::piece_key(B_KNIGHT, 40);
  EXPECT_EQ(Zobrist::compute_pawn_key(p), pawns);
  EXPECT_EQ(Zobrist::compute_non_pawn_key(p), others);
  EXPECT_EQ(Zobrist::compute_key(p), pawns ^ others ^ Zobrist::castling_key(0));
}

}  // namespace
