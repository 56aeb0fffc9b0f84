// Random key tables for position hashing, filled once from a fixed seed so
// that keys are identical in every run, and the from-scratch key functions
// that define what the incrementally kept keys must equal.
//
// The accessors fill the tables on first use. They are inline because
// make/unmake call them several times per move: after the first fill each is
// one well-predicted test and one table read.
#pragma once

#include <cstdint>

#include "board/types.h"

class Position;

namespace Zobrist {

// Filled by init_zobrist(); read-only afterwards. Read them through the
// accessors, which guarantee the fill has happened.
extern std::uint64_t piece_square[12][64];
extern std::uint64_t castling[16];
extern std::uint64_t ep_file[8];
extern std::uint64_t side_to_move;
extern bool initialized;

// Fills the tables unless already filled. Not synchronised: the first call
// must happen before a second thread uses the module.
void init_zobrist();

inline void ensure_initialized() {
  if (!initialized) [[unlikely]]
    init_zobrist();
}

inline std::uint64_t piece_key(int piece, int square) {
  ensure_initialized();
  return piece_square[piece][square];
}
inline std::uint64_t pawn_piece_key(Color color, int square) {
  ensure_initialized();
  return piece_square[color * 6][square];
}
inline std::uint64_t castling_key(int rights) {
  ensure_initialized();
  return castling[rights];
}
inline std::uint64_t ep_file_key(int file) {
  ensure_initialized();
  return ep_file[file];
}
inline std::uint64_t side_key() {
  ensure_initialized();
  return side_to_move;
}

// From-scratch keys. The full key covers pieces, the side (when Black is to
// move), the castling set (always, the empty set included) and the
// en-passant file (when set); the pawn key covers pawns only; the non-pawn key
// covers every other piece, kings included.
std::uint64_t compute_key(const Position& position);
std::uint64_t compute_rep_key(const Position& position);
std::uint64_t compute_pawn_key(const Position& position);
std::uint64_t compute_non_pawn_key(const Position& position);

}  // namespace Zobrist
