#include "eval/evalbase.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/types.h"

namespace {

using EvalBase::EG_PST;
using EvalBase::MG_PST;

// A table row as the tests name it: piece type and phase.
struct RowRef {
  const char* name;
  int type;
  bool endgame;
};
const int (&row_of(const RowRef& ref))[64] {
  return ref.endgame ? EG_PST[ref.type] : MG_PST[ref.type];
}

TEST(EvalBaseTest, MaterialAndPhaseTables) {
  const int mg[6] = {100, 320, 330, 500, 900, 0};
  const int eg[6] = {120, 300, 320, 520, 900, 0};
  const int phase[6] = {0, 1, 1, 2, 4, 0};
  for (int t = 0; t < 6; ++t) {
    EXPECT_EQ(EvalBase::MG_VALUE[t], mg[t]) << t;
    EXPECT_EQ(EvalBase::EG_VALUE[t], eg[t]) << t;
    EXPECT_EQ(EvalBase::PHASE_VALUE[t], phase[t]) << t;
  }
}

TEST(EvalBaseTest, PrescribedRowsAreExact) {
  struct Case {
    RowRef row;
    int firstColumn;
    int values[8];
  };
  const Case cases[] = {
      {{"king mg", KING, false}, 0, {-29, -33, -41, -52, -52, -41, -33, -29}},
      {{"king mg", KING, false}, 8, {-30, -38, -42, -55, -55, -42, -38, -30}},
      {{"king mg", KING, false}, 16, {-30, -40, -44, -57, -57, -44, -40, -30}},
      {{"king mg", KING, false}, 24, {-29, -40, -43, -56, -56, -43, -40, -29}},
      {{"king mg", KING, false}, 32, {-19, -28, -30, -43, -43, -30, -28, -19}},
      {{"king mg", KING, false}, 40, {-8, -18, -19, -20, -20, -19, -18, -8}},
      {{"king mg", KING, false}, 48, {22, 22, 2, 1, 1, 2, 22, 22}},
      {{"king mg", KING, false}, 56, {22, 32, 12, 1, 1, 12, 32, 22}},
      {{"king eg", KING, true}, 32, {-29, -7, 29, 34, 34, 29, -7, -29}},
      {{"rook mg", ROOK, false}, 48, {9, 14, 14, 15, 15, 14, 14, 9}},
      {{"rook eg", ROOK, true}, 48, {20, 24, 22, 22, 22, 22, 24, 20}},
      {{"rook mg", ROOK, false}, 0, {-10, -4, 0, 8, 8, 0, -4, -10}},
      {{"knight mg", KNIGHT, false}, 0, {-51, -42, -35, -36, -36, -35, -42, -51}},
      {{"knight mg", KNIGHT, false}, 32, {-27, 8, 17, 22, 22, 17, 8, -27}},
      {{"knight eg", KNIGHT, true}, 32, {-7, 18, 29, 33, 33, 29, 18, -7}},
      {{"bishop mg", BISHOP, false}, 40, {-8, 11, 11, 11, 11, 11, 11, -8}},
  };
  for (const Case& c : cases) {
    const auto& row = row_of(c.row);
    for (int i = 0; i < 8; ++i)
      EXPECT_EQ(row[c.firstColumn + i], c.values[i])
          << c.row.name << " column " << c.firstColumn + i;
  }
}

TEST(EvalBaseTest, RowRangesAreExact) {
  struct Case {
    RowRef row;
    int min, max;
  };
  const Case cases[] = {
      {{"knight mg", KNIGHT, false}, -51, 22}, {{"knight eg", KNIGHT, true}, -44, 33},
      {{"bishop mg", BISHOP, false}, -22, 11}, {{"bishop eg", BISHOP, true}, -14, 15},
      {{"rook mg", ROOK, false}, -11, 15},     {{"rook eg", ROOK, true}, -15, 24},
      {{"queen mg", QUEEN, false}, -22, 8},    {{"queen eg", QUEEN, true}, -14, 8},
      {{"king mg", KING, false}, -57, 32},     {{"king eg", KING, true}, -46, 34},
  };
  for (const Case& c : cases) {
    const auto& row = row_of(c.row);
    EXPECT_EQ(*std::min_element(row, row + 64), c.min) << c.row.name;
    EXPECT_EQ(*std::max_element(row, row + 64), c.max) << c.row.name;
  }
}

TEST(EvalBaseTest, RowsAreMirrorSymmetricExceptThreeQueenPairs) {
  for (int type = KNIGHT; type <= KING; ++type) {
    for (bool endgame : {false, true}) {
      const auto& row = row_of({"", type, endgame});
      std::vector<std::array<int, 2>> asymmetric;
      for (int sq = 0; sq < 64; ++sq)
        if (file_of(sq) < 4 && row[sq] != row[sq ^ 7]) asymmetric.push_back({sq, sq ^ 7});
      if (type != QUEEN) {
        EXPECT_TRUE(asymmetric.empty()) << "type " << type << " endgame " << endgame;
        continue;
      }
      const std::vector<std::array<int, 2>> expected = {{32, 39}, {41, 46}, {50, 53}};
      EXPECT_EQ(asymmetric, expected) << "endgame " << endgame;
    }
  }
  // The exact values of the asymmetric queen pairs.
  const int mgPairs[3][2] = {{1, -4}, {8, 3}, {8, 3}};
  const int egPairs[3][2] = {{1, -4}, {7, 2}, {8, 3}};
  const int columns[3][2] = {{32, 39}, {41, 46}, {50, 53}};
  for (int i = 0; i < 3; ++i) {
    for (int side = 0; side < 2; ++side) {
      EXPECT_EQ(MG_PST[QUEEN][columns[i][side]], mgPairs[i][side]);
      EXPECT_EQ(EG_PST[QUEEN][columns[i][side]], egPairs[i][side]);
    }
  }
}

// Orderings that make chess sense; the exact numbers are ours, these shapes
// are what the numbers are for.
TEST(EvalBaseTest, TablesExpressPlacementPreferences) {
  auto sq = [](const char* name) { return make_square(name[0] - 'a', name[1] - '1'); };
  struct Case {
    const char* what;
    RowRef row;
    const char* better;
    const char* worse;
  };
  const Case cases[] = {
      {"knight centre over rim", {"", KNIGHT, false}, "e5", "a5"},
      {"knight developed over home", {"", KNIGHT, false}, "f3", "g1"},
      {"knight centre over corner (eg)", {"", KNIGHT, true}, "d5", "a8"},
      {"bishop fianchetto over home", {"", BISHOP, false}, "g2", "f1"},
      {"bishop long diagonal over edge", {"", BISHOP, false}, "d4", "a4"},
      {"rook seventh over sixth", {"", ROOK, false}, "d7", "d6"},
      {"rook seventh over sixth (eg)", {"", ROOK, true}, "b7", "b6"},
      {"rook central back rank over corner", {"", ROOK, false}, "d1", "a1"},
      {"queen centre over corner", {"", QUEEN, false}, "d4", "h8"},
      {"king castled over centre", {"", KING, false}, "g1", "e1"},
      {"king back rank over advanced", {"", KING, false}, "g1", "g3"},
      {"king centre over corner (eg)", {"", KING, true}, "e4", "h1"},
      {"king centre over edge (eg)", {"", KING, true}, "d5", "d1"},
  };
  for (const Case& c : cases)
    EXPECT_GT(row_of(c.row)[sq(c.better)], row_of(c.row)[sq(c.worse)]) << c.what;
}

TEST(EvalBaseTest, PieceLookupsFoldMaterialAndMirrorBlack) {
  const int e4 = 28, e5 = 36, g1 = 6, g8 = 62;
  EXPECT_EQ(EvalBase::piece_mg(W_KNIGHT, e5), 342);
  EXPECT_EQ(EvalBase::piece_mg(B_KNIGHT, e4), -342);
  EXPECT_EQ(EvalBase::piece_mg(W_KNIGHT, e4), 341);
  EXPECT_EQ(EvalBase::piece_mg(W_KING, g1), -33);
  EXPECT_EQ(EvalBase::piece_mg(W_KING, g8), 32);
  EXPECT_EQ(EvalBase::piece_eg(W_ROOK, 49), 520 + 24);
  EXPECT_EQ(EvalBase::piece_eg(B_ROOK, 49 ^ 56), -(520 + 24));

  for (int sq = 0; sq < 64; ++sq) {
    EXPECT_EQ(EvalBase::piece_mg(W_PAWN, sq), 0);
    EXPECT_EQ(EvalBase::piece_eg(W_PAWN, sq), 0);
    EXPECT_EQ(EvalBase::piece_mg(B_PAWN, sq), 0);
    EXPECT_EQ(EvalBase::piece_eg(B_PAWN, sq), 0);
    for (int type = KNIGHT; type <= KING; ++type) {
      EXPECT_EQ(EvalBase::piece_mg(make_piece(BLACK, type), sq ^ 56),
                -EvalBase::piece_mg(make_piece(WHITE, type), sq));
      EXPECT_EQ(EvalBase::piece_eg(make_piece(BLACK, type), sq ^ 56),
                -EvalBase::piece_eg(make_piece(WHITE, type), sq));
    }
  }

  const int phase[6] = {0, 1, 1, 2, 4, 0};
  for (int piece = 0; piece < 12; ++piece)
    EXPECT_EQ(EvalBase::piece_phase(piece), phase[piece % 6]);
}

// The packed lookup holds both values, and any difference of two entries (a
// piece moving) or sum of many (a whole board) splits back into both parts.
TEST(EvalBaseTest, PackedLookupSplitsIntoBothValues) {
  for (int piece = 0; piece < 12; ++piece) {
    for (int from = 0; from < 64; ++from) {
      const std::int64_t packed = EvalBase::piece_mg_eg(piece, from);
      EXPECT_EQ(EvalBase::packed_mg(packed), EvalBase::piece_mg(piece, from));
      EXPECT_EQ(EvalBase::packed_eg(packed), EvalBase::piece_eg(piece, from));
      for (int to = 0; to < 64; ++to) {
        const std::int64_t delta = EvalBase::piece_mg_eg(piece, to) - packed;
        ASSERT_EQ(EvalBase::packed_mg(delta),
                  EvalBase::piece_mg(piece, to) - EvalBase::piece_mg(piece, from));
        ASSERT_EQ(EvalBase::packed_eg(delta),
                  EvalBase::piece_eg(piece, to) - EvalBase::piece_eg(piece, from));
      }
    }
  }
  // Nine queens of one side on the squares where they score most, against a
  // bare king: far beyond any real board, and still exact.
  std::int64_t total = 0;
  int mg = 0, eg = 0;
  for (int square = 0; square < 9; ++square) {
    total += EvalBase::piece_mg_eg(W_QUEEN, 48 + square % 8);
    mg += EvalBase::piece_mg(W_QUEEN, 48 + square % 8);
    eg += EvalBase::piece_eg(W_QUEEN, 48 + square % 8);
  }
  EXPECT_EQ(EvalBase::packed_mg(total), mg);
  EXPECT_EQ(EvalBase::packed_eg(total), eg);
  EXPECT_EQ(EvalBase::packed_mg(-total), -mg);
  EXPECT_EQ(EvalBase::packed_eg(-total), -eg);
}

// The sums the position keeps from these lookups: equal armies cancel, and
// the full set of pieces is the top of the phase scale.
TEST(EvalBaseTest, StartPositionSums) {
  Position position;
  std::string error;
  ASSERT_TRUE(fen::parse_fen(fen::START_FEN, position, error)) << error;
  EXPECT_EQ(position.mg_sum, 0);
  EXPECT_EQ(position.eg_sum, 0);
  EXPECT_EQ(position.phase_sum, 24);
}

TEST(EvalBaseTest, StartPositionRunningSums) {
  Position position;
  std::string error;
  ASSERT_TRUE(fen::parse_fen(fen::START_FEN, position, error)) << error;
  EXPECT_EQ(position.mg_sum, 0);
  EXPECT_EQ(position.eg_sum, 0);
  EXPECT_EQ(position.phase_sum, 24);
}

}  // namespace
