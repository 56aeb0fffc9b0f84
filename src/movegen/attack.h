// Leaper attack tables (pawn, knight, king), the ray-walking slider
// functions the lookup tables are built from, and static exchange evaluation.
#pragma once

#include "board/types.h"
#include "movegen/pext.h"

class Position;

namespace Attack {

extern Bitboard pawnAttacksWhite[64];
extern Bitboard pawnAttacksBlack[64];
extern Bitboard knightAttacks[64];
extern Bitboard kingAttacks[64];

void init_attacks();

// Slow ray walking; used only to build the lookup tables (and by tests).
Bitboard sliding_attacks_rook(int square, unsigned long long occupancy);
Bitboard sliding_attacks_bishop(int square, unsigned long long occupancy);
Bitboard sliding_attacks_queen(int square, unsigned long long occupancy);

inline Bitboard pawn_attacks(Color c, int square) {
  return c == WHITE ? pawnAttacksWhite[square] : pawnAttacksBlack[square];
}

// Static exchange evaluation (see.cpp).
int see_gain(const Position& position, unsigned move);
bool see_ge(const Position& position, unsigned move, int threshold);

}  // namespace Attack

namespace Attack {

// Squares strictly between two squares on a common line or diagonal; empty
// when they share none. Filled by init_attacks().
extern Bitboard betweenSquares[64][64];
inline Bitboard between(int a, int b) { return betweenSquares[a][b]; }

}  // namespace Attack
