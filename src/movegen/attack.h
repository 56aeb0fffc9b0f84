// Leaper attack tables (pawn, knight, king), the squares between two aligned
// squares, the ray-walking slider functions the lookup tables are built from,
// and static exchange evaluation. Slider lookups live in movegen/pext.h.
#pragma once

#include "board/types.h"
#include "movegen/pext.h"

class Position;

namespace Attack {

// Filled by init_attacks(); read-only afterwards. A pawn table read from a
// square also gives the squares from which the other colour's pawns attack it.
extern Bitboard pawnAttacksWhite[64];
extern Bitboard pawnAttacksBlack[64];
extern Bitboard knightAttacks[64];
extern Bitboard kingAttacks[64];
// Squares strictly between two squares on a common line or diagonal; empty
// when they share none (or are adjacent or equal).
extern Bitboard betweenSquares[64][64];

// Fills the leaper tables and betweenSquares; runs before PEXT::init().
void init_attacks();

// Slow ray walking; used only to build the lookup tables (and by tests).
// Attack sets include the first blocker on each ray whatever its colour.
Bitboard sliding_attacks_rook(int square, unsigned long long occupancy);
Bitboard sliding_attacks_bishop(int square, unsigned long long occupancy);
Bitboard sliding_attacks_queen(int square, unsigned long long occupancy);

inline Bitboard pawn_attacks(Color c, int square) {
  return c == WHITE ? pawnAttacksWhite[square] : pawnAttacksBlack[square];
}

inline Bitboard between(int a, int b) { return betweenSquares[a][b]; }

// Static exchange evaluation (see.cpp).
int see_gain(const Position& position, unsigned move);
bool see_ge(const Position& position, unsigned move, int threshold);

}  // namespace Attack
