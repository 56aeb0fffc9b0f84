// The attack queries the generator's legality tests and the search ask at
// every node, defined inline (this header is included by board/position.h)
// so that they compile into their callers: a few table lookups each.
#pragma once

#include "movegen/attack.h"

namespace PositionAttacks {

// Pieces of colour `by` attacking `square` through `occupancy`, kings
// included when asked. One expression without early exits: most calls answer
// "no", which needs every test anyway.
inline Bitboard attackers_of(const Position& p, int square, Color by, Bitboard occupancy,
                             bool with_king) {
  const Bitboard* own = p.piece_bb + by * 6;
  const Bitboard queens = own[QUEEN];
  return (Attack::pawn_attacks(~by, square) & own[PAWN]) |
         (Attack::knightAttacks[square] & own[KNIGHT]) |
         (with_king ? Attack::kingAttacks[square] & own[KING] : 0) |
         (PEXT::bishop_attacks_pext(square, occupancy) & (own[BISHOP] | queens)) |
         (PEXT::rook_attacks_pext(square, occupancy) & (own[ROOK] | queens));
}

}  // namespace PositionAttacks

inline bool Position::is_square_attacked(int square, Color by) const {
  return PositionAttacks::attackers_of(*this, square, by, occupied, true) != 0;
}

inline Bitboard Position::attackers_to(int square, Color by, Bitboard occupancy) const {
  return PositionAttacks::attackers_of(*this, square, by, occupancy, true);
}

inline bool Position::in_check(Color c) const {
  const int king = king_square[c];
  return king != NO_SQUARE && is_square_attacked(king, ~c);
}

inline Bitboard Position::checker_mask(Color c) const {
  const int king = king_square[c];
  if (king == NO_SQUARE) return 0;
  return PositionAttacks::attackers_of(*this, king, ~c, occupied, false);
}
