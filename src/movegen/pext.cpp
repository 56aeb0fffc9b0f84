#include "movegen/pext.h"

#include "movegen/attack.h"

namespace PEXT {

Bitboard rook_masks[64];
Bitboard bishop_masks[64];
Bitboard rook_attacks[64 * 4096];
Bitboard bishop_attacks[64 * 512];

namespace {

constexpr Bitboard EDGE_FILES = FILE_A_BB | FILE_H_BB;
constexpr Bitboard EDGE_RANKS = RANK_1_BB | RANK_8_BB;

// A blocker on the last square of a ray cannot shorten it, so the mask leaves
// out the board edge the ray runs into: rank rays drop files a and h, file
// rays drop ranks 1 and 8.
Bitboard rook_mask(int square) {
  const Bitboard rank_ray = rank_bb(rank_of(square)) & ~EDGE_FILES;
  const Bitboard file_ray = file_bb(file_of(square)) & ~EDGE_RANKS;
  return (rank_ray | file_ray) & ~square_bb(square);
}

// Every diagonal ray ends on some edge square, so dropping the whole rim works.
Bitboard bishop_mask(int square) {
  return Attack::sliding_attacks_bishop(square, 0) & ~(EDGE_FILES | EDGE_RANKS);
}

// Stores the ray-walked attacks for every subset of the mask at the index its
// extract will produce: deposit(j) is the subset whose extract is j.
template <typename RayWalk>
void fill_table(Bitboard* table, int square, Bitboard mask, RayWalk ray_walk) {
  const std::uint64_t subsets = std::uint64_t(1) << popcount(mask);
  for (std::uint64_t j = 0; j < subsets; ++j) table[j] = ray_walk(square, deposit(j, mask));
}

}  // namespace

void init() {
  for (int square = 0; square < 64; ++square) {
    rook_masks[square] = rook_mask(square);
    bishop_masks[square] = bishop_mask(square);
    fill_table(rook_attacks + square * 4096, square, rook_masks[square],
               Attack::sliding_attacks_rook);
    fill_table(bishop_attacks + square * 512, square, bishop_masks[square],
               Attack::sliding_attacks_bishop);
  }
}

}  // namespace PEXT
