#include "movegen/attack.h"

#include <initializer_list>

namespace Attack {

Bitboard pawnAttacksWhite[64];
Bitboard pawnAttacksBlack[64];
Bitboard knightAttacks[64];
Bitboard kingAttacks[64];
Bitboard betweenSquares[64][64];

namespace {

struct Step {
  int file, rank;
};

constexpr Step KNIGHT_STEPS[8] = {{1, 2},   {2, 1},   {2, -1}, {1, -2},
                                  {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}};
constexpr Step KING_STEPS[8] = {{1, 0},  {1, 1},   {0, 1},  {-1, 1},
                                {-1, 0}, {-1, -1}, {0, -1}, {1, -1}};
constexpr Step ROOK_DIRECTIONS[4] = {{0, 1}, {0, -1}, {1, 0}, {-1, 0}};
constexpr Step BISHOP_DIRECTIONS[4] = {{1, 1}, {-1, 1}, {1, -1}, {-1, -1}};

// The square one step away, or NO_SQUARE when the step leaves the board.
// Working on file and rank separately rules out wrapping across an edge.
int step_from(int square, Step step) {
  const int file = file_of(square) + step.file, rank = rank_of(square) + step.rank;
  if (file < 0 || file > 7 || rank < 0 || rank > 7) return NO_SQUARE;
  return make_square(file, rank);
}

Bitboard leaper_attacks(int square, const Step (&steps)[8]) {
  Bitboard attacks = 0;
  for (const Step step : steps)
    if (const int target = step_from(square, step); target != NO_SQUARE)
      attacks |= square_bb(target);
  return attacks;
}

Bitboard pawn_attacks_from(int square, int rank_step) {
  Bitboard attacks = 0;
  for (const int file_step : {-1, 1})
    if (const int target = step_from(square, {file_step, rank_step}); target != NO_SQUARE)
      attacks |= square_bb(target);
  return attacks;
}

// Each ray runs until it has added an occupied square or reaches the edge.
Bitboard ray_attacks(int square, Bitboard occupancy, const Step (&directions)[4]) {
  Bitboard attacks = 0;
  for (const Step direction : directions) {
    for (int s = step_from(square, direction); s != NO_SQUARE; s = step_from(s, direction)) {
      attacks |= square_bb(s);
      if (occupancy & square_bb(s)) break;
    }
  }
  return attacks;
}

}  // namespace

Bitboard sliding_attacks_rook(int square, unsigned long long occupancy) {
  return ray_attacks(square, occupancy, ROOK_DIRECTIONS);
}

Bitboard sliding_attacks_bishop(int square, unsigned long long occupancy) {
  return ray_attacks(square, occupancy, BISHOP_DIRECTIONS);
}

Bitboard sliding_attacks_queen(int square, unsigned long long occupancy) {
  return sliding_attacks_rook(square, occupancy) | sliding_attacks_bishop(square, occupancy);
}

void init_attacks() {
  for (int square = 0; square < 64; ++square) {
    pawnAttacksWhite[square] = pawn_attacks_from(square, 1);
    pawnAttacksBlack[square] = pawn_attacks_from(square, -1);
    knightAttacks[square] = leaper_attacks(square, KNIGHT_STEPS);
    kingAttacks[square] = leaper_attacks(square, KING_STEPS);
  }
  // Two aligned squares each block the other's ray, so the squares both rays
  // reach are exactly those strictly between them. Squares that share no line
  // see each other along neither ray type and get the empty set.
  for (int a = 0; a < 64; ++a) {
    for (int b = 0; b < 64; ++b) {
      const Bitboard blockers = square_bb(a) | square_bb(b);
      Bitboard between = 0;
      if (sliding_attacks_rook(a, 0) & square_bb(b))
        between = sliding_attacks_rook(a, blockers) & sliding_attacks_rook(b, blockers);
      else if (sliding_attacks_bishop(a, 0) & square_bb(b))
        between = sliding_attacks_bishop(a, blockers) & sliding_attacks_bishop(b, blockers);
      betweenSquares[a][b] = between;
    }
  }
}

}  // namespace Attack
