// Slider attack tables indexed by the parallel bit extract of the occupancy
// under each square's relevant-occupancy mask. The hardware instruction is
// used when the build target has BMI2; otherwise a software extract with the
// same index order.
#pragma once

#include <cstdint>

#include "board/types.h"

#if defined(__BMI2__)
#include <immintrin.h>
#endif

namespace PEXT {

extern Bitboard rook_masks[64];
extern Bitboard bishop_masks[64];
extern Bitboard rook_attacks[64 * 4096];
extern Bitboard bishop_attacks[64 * 512];

// Fills masks and attack tables; Attack::init_attacks() must run first.
void init();

// Packs the bits of x at the squares of mask into the low bits, in ascending
// square order.
inline std::uint64_t extract_software(std::uint64_t x, std::uint64_t mask) {
  std::uint64_t result = 0;
  for (std::uint64_t bit = 1; mask; bit <<= 1) {
    if (x & mask & -mask) result |= bit;
    mask &= mask - 1;
  }
  return result;
}

// Spreads the low bits of x over the squares of mask (inverse of extract).
inline std::uint64_t deposit_software(std::uint64_t x, std::uint64_t mask) {
  std::uint64_t result = 0;
  for (std::uint64_t bit = 1; mask; bit <<= 1) {
    if (x & bit) result |= mask & -mask;
    mask &= mask - 1;
  }
  return result;
}

inline std::uint64_t extract(std::uint64_t x, std::uint64_t mask) {
#if defined(__BMI2__)
  return _pext_u64(x, mask);
#else
  return extract_software(x, mask);
#endif
}

inline std::uint64_t deposit(std::uint64_t x, std::uint64_t mask) {
#if defined(__BMI2__)
  return _pdep_u64(x, mask);
#else
  return deposit_software(x, mask);
#endif
}

inline Bitboard rook_attacks_pext(int square, unsigned long long occupancy) {
  return rook_attacks[square * 4096 + extract(occupancy, rook_masks[square])];
}

inline Bitboard bishop_attacks_pext(int square, unsigned long long occupancy) {
  return bishop_attacks[square * 512 + extract(occupancy, bishop_masks[square])];
}

inline Bitboard queen_attacks_pext(int square, unsigned long long occupancy) {
  return rook_attacks_pext(square, occupancy) | bishop_attacks_pext(square, occupancy);
}

}  // namespace PEXT
