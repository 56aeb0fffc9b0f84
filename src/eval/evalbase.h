// Material values, game-phase weights and the piece-square tables of the
// non-pawn pieces, with the three lookups through which Position keeps its
// running evaluation sums. Pawns contribute nothing here: their material and
// square values belong to the pawn-structure entry.
#pragma once

#include <array>
#include <cstdint>

namespace EvalBase {

// Indexed by piece type (pawn, knight, bishop, rook, queen, king).
extern const int MG_VALUE[6];
extern const int EG_VALUE[6];
extern const int PHASE_VALUE[6];
// Centipawns from the owner's point of view. Row = piece type; column = the
// square for a White piece, the rank-mirrored square (square ^ 56) for a
// Black one, so columns 0-7 are always the owner's first rank. The pawn row
// is never read.
extern const int MG_PST[6][64];
extern const int EG_PST[6][64];

// From White's point of view; 0 for pawns. Black pieces read the rank-mirrored
// column (square ^ 56) and are negated. Called by make/unmake: kept inline.
// PIECE_MG / PIECE_EG hold the finished values per piece index and square,
// constant-initialised (no start-up code) from the tables above.
using PieceSquareValues = std::array<std::array<int, 64>, 12>;
extern const PieceSquareValues PIECE_MG;
extern const PieceSquareValues PIECE_EG;
inline int piece_mg(int piece, int square) { return PIECE_MG[piece][square]; }
inline int piece_eg(int piece, int square) { return PIECE_EG[piece][square]; }
// Both values of a piece on a square in one number, eg * 2^32 + mg, so that
// make/unmake move both with one subtraction. A sum or difference of such
// numbers splits back into its two parts exactly while each part stays within
// 32 bits, which every board's sums do by far.
using PackedValues = std::array<std::array<std::int64_t, 64>, 12>;
extern const PackedValues PIECE_MG_EG;
inline std::int64_t piece_mg_eg(int piece, int square) { return PIECE_MG_EG[piece][square]; }
constexpr int packed_mg(std::int64_t packed) { return std::int32_t(std::uint32_t(packed)); }
constexpr int packed_eg(std::int64_t packed) { return int((packed - packed_mg(packed)) >> 32); }
// Phase weight of the piece's type (0 for pawns and kings), unsigned by colour.
inline int piece_phase(int piece) { return PHASE_VALUE[piece % 6]; }

}  // namespace EvalBase
