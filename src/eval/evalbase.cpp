// Material, phase and piece-square tables, and the per-piece lookup tables
// that Position reads on every placement. Everything here is a compile-time
// constant.
//
// How the square tables are shaped (each row starts at the owner's first rank):
// - knight: strongly central, best on the fifth rank (an outpost reach) and
//   worst in the corners of its own back rank, where it controls two squares;
// - bishop: rewards the long diagonals (fianchetto squares b2/g2, c3/f3, the
//   centre) and the sixth rank, penalises the corners and the edges;
// - rook: small middlegame preference for the central files of the back rank
//   (castled rooks), a clear bonus on the seventh rank in both phases, and
//   passive second/third-rank placement penalised in the endgame;
// - queen: discourages early excursions to the edges and back corners; a few
//   queenside squares (a5, b6, c7) are slightly preferred to their kingside
//   mirrors, where the queen tends to obstruct its own king's defenders;
// - king: the middlegame row is an established tuning kept as it is: its own
//   first rank costs 29 to 52 with the wings (castled squares) 19 to 23 better
//   than the centre, and the two far ranks score positive; in practice both
//   kings stand on their first ranks, so what counts is the wing-over-centre
//   difference, while shelter and king danger are judged by the pawn-shelter
//   and king-safety terms. Endgame values pull the king to the centre, best on
//   the central squares of the fourth to sixth ranks.
#include "eval/evalbase.h"

#include "board/types.h"

namespace EvalBase {

constexpr int MG_VALUE[6] = {100, 320, 330, 500, 900, 0};
constexpr int EG_VALUE[6] = {120, 300, 320, 520, 900, 0};
constexpr int PHASE_VALUE[6] = {0, 1, 1, 2, 4, 0};

// clang-format off
constexpr int MG_PST[6][64] = {
  // pawn (never read: pawn values live in the pawn-structure entry)
  {},
  // knight
  { -51, -42, -35, -36, -36, -35, -42, -51,
    -43, -28,  -8,   2,   2,  -8, -28, -43,
    -33,  -2,  12,  10,  10,  12,  -2, -33,
    -30,   4,  15,  21,  21,  15,   4, -30,
    -27,   8,  17,  22,  22,  17,   8, -27,
    -30,   6,  18,  20,  20,  18,   6, -30,
    -38, -15,   2,   6,   6,   2, -15, -38,
    -48, -32, -20, -14, -14, -20, -32, -48 },
  // bishop
  { -18,  -4, -10,  -6,  -6, -10,  -4, -18,
     -4,  10,   4,   4,   4,   4,  10,  -4,
     -6,   4,   8,   6,   6,   8,   4,  -6,
     -8,   4,   6,  10,  10,   6,   4,  -8,
     -8,   6,   6,  10,  10,   6,   6,  -8,
     -8,  11,  11,  11,  11,  11,  11,  -8,
    -12,   0,  -2,  -2,  -2,  -2,   0, -12,
    -22, -10, -12, -10, -10, -12, -10, -22 },
  // rook
  { -10,  -4,   0,   8,   8,   0,  -4, -10,
    -11,  -6,  -4,  -2,  -2,  -4,  -6, -11,
    -11,  -6,  -4,  -2,  -2,  -4,  -6, -11,
    -10,  -6,  -3,   0,   0,  -3,  -6, -10,
     -8,  -4,   0,   2,   2,   0,  -4,  -8,
     -4,   2,   4,   6,   6,   4,   2,  -4,
      9,  14,  14,  15,  15,  14,  14,   9,
      2,   6,   8,  10,  10,   8,   6,   2 },
  // queen
  { -18, -12,  -8,  -2,  -2,  -8, -12, -18,
    -12,  -4,   2,   2,   2,   2,  -4, -12,
     -8,   0,   4,   4,   4,   4,   0,  -8,
     -4,   2,   4,   6,   6,   4,   2,  -4,
      1,   2,   4,   6,   6,   4,   2,  -4,
     -6,   8,   6,   6,   6,   6,   3,  -6,
    -10,   2,   8,   4,   4,   3,   2, -10,
    -22, -14, -10,  -6,  -6, -10, -14, -22 },
  // king
  { -29, -33, -41, -52, -52, -41, -33, -29,
    -30, -38, -42, -55, -55, -42, -38, -30,
    -30, -40, -44, -57, -57, -44, -40, -30,
    -29, -40, -43, -56, -56, -43, -40, -29,
    -19, -28, -30, -43, -43, -30, -28, -19,
     -8, -18, -19, -20, -20, -19, -18,  -8,
     22,  22,   2,   1,   1,   2,  22,  22,
     22,  32,  12,   1,   1,  12,  32,  22 },
};

constexpr int EG_PST[6][64] = {
  // pawn (never read)
  {},
  // knight
  { -44, -30, -20, -14, -14, -20, -30, -44,
    -30, -14,  -2,   4,   4,  -2, -14, -30,
    -20,   2,  14,  20,  20,  14,   2, -20,
    -10,  14,  25,  30,  30,  25,  14, -10,
     -7,  18,  29,  33,  33,  29,  18,  -7,
    -12,  12,  24,  28,  28,  24,  12, -12,
    -24,  -6,   6,  12,  12,   6,  -6, -24,
    -42, -26, -16, -10, -10, -16, -26, -42 },
  // bishop
  { -14,  -8,  -6,  -4,  -4,  -6,  -8, -14,
     -8,  -2,   0,   2,   2,   0,  -2,  -8,
     -6,   2,   6,   8,   8,   6,   2,  -6,
     -4,   4,  10,  15,  15,  10,   4,  -4,
     -4,   4,  10,  15,  15,  10,   4,  -4,
     -6,   2,   8,  10,  10,   8,   2,  -6,
     -8,  -2,   2,   4,   4,   2,  -2,  -8,
    -14,  -8,  -6,  -4,  -4,  -6,  -8, -14 },
  // rook
  {  -6,  -4,  -2,   0,   0,  -2,  -4,  -6,
    -15, -10,  -8,  -6,  -6,  -8, -10, -15,
    -10,  -6,  -4,  -2,  -2,  -4,  -6, -10,
     -4,   0,   2,   4,   4,   2,   0,  -4,
      0,   4,   6,   8,   8,   6,   4,   0,
      6,  10,  12,  12,  12,  12,  10,   6,
     20,  24,  22,  22,  22,  22,  24,  20,
      8,  12,  12,  12,  12,  12,  12,   8 },
  // queen
  { -14, -10,  -8,  -6,  -6,  -8, -10, -14,
    -10,  -4,  -2,   0,   0,  -2,  -4, -10,
     -6,   0,   2,   4,   4,   2,   0,  -6,
     -4,   2,   4,   6,   6,   4,   2,  -4,
      1,   3,   5,   7,   7,   5,   3,  -4,
     -4,   7,   5,   6,   6,   5,   2,  -4,
     -6,   2,   8,   5,   5,   3,   2,  -6,
    -14,  -8,  -6,  -4,  -4,  -6,  -8, -14 },
  // king
  { -46, -30, -20, -14, -14, -20, -30, -46,
    -34, -16,  -4,   2,   2,  -4, -16, -34,
    -30, -10,  10,  18,  18,  10, -10, -30,
    -29,  -8,  22,  30,  30,  22,  -8, -29,
    -29,  -7,  29,  34,  34,  29,  -7, -29,
    -30,  -8,  24,  30,  30,  24,  -8, -30,
    -34, -14,   8,  14,  14,   8, -14, -34,
    -46, -30, -20, -14, -14, -20, -30, -46 },
};
// clang-format on

namespace {

// Folds material and square value into one White-positive number per piece
// index and square; pawns stay 0.
constexpr PieceSquareValues build_piece_values(const int (&value)[6], const int (&pst)[6][64]) {
  PieceSquareValues result{};
  for (int piece = 0; piece < 12; ++piece) {
    const int type = piece % 6;
    if (type == 0) continue;
    const bool black = piece >= 6;
    for (int square = 0; square < 64; ++square) {
      const int column = black ? square ^ 56 : square;
      const int v = pst[type][column] + value[type];
      result[piece][square] = black ? -v : v;
    }
  }
  return result;
}

constexpr PackedValues pack_values(const PieceSquareValues& mg, const PieceSquareValues& eg) {
  PackedValues result{};
  for (int piece = 0; piece < 12; ++piece)
    for (int square = 0; square < 64; ++square)
      result[piece][square] =
          std::int64_t(eg[piece][square]) * (std::int64_t(1) << 32) + mg[piece][square];
  return result;
}

}  // namespace

constexpr PieceSquareValues PIECE_MG = build_piece_values(MG_VALUE, MG_PST);
constexpr PieceSquareValues PIECE_EG = build_piece_values(EG_VALUE, EG_PST);
constexpr PackedValues PIECE_MG_EG = pack_values(PIECE_MG, PIECE_EG);

// The packed form gives back both values of every entry and of their sums.
static_assert(packed_mg(PIECE_MG_EG[W_KNIGHT][SQ_B1]) == PIECE_MG[W_KNIGHT][SQ_B1] &&
              packed_eg(PIECE_MG_EG[W_KNIGHT][SQ_B1]) == PIECE_EG[W_KNIGHT][SQ_B1]);
static_assert(packed_mg(PIECE_MG_EG[B_QUEEN][SQ_D8] - PIECE_MG_EG[B_QUEEN][SQ_A1]) ==
                  PIECE_MG[B_QUEEN][SQ_D8] - PIECE_MG[B_QUEEN][SQ_A1] &&
              packed_eg(PIECE_MG_EG[B_QUEEN][SQ_D8] - PIECE_MG_EG[B_QUEEN][SQ_A1]) ==
                  PIECE_EG[B_QUEEN][SQ_D8] - PIECE_EG[B_QUEEN][SQ_A1]);

}  // namespace EvalBase
