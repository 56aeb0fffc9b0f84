// Random key tables for position hashing, filled once from a fixed seed so
// that keys are identical in every run, and the from-scratch key functions
// that define what the incrementally kept keys must equal.
#pragma once

#include <cstdint>

#include "board/types.h"

class Position;

namespace Zobrist {

void init_zobrist();
std::uint64_t piece_key(int piece, int square);
std::uint64_t pawn_piece_key(Color color, int square);
std::uint64_t castling_key(int rights);
std::uint64_t ep_file_key(int file);
std::uint64_t side_key();

std::uint64_t compute_key(const Position& position);
std::uint64_t compute_rep_key(const Position& position);
std::uint64_t compute_pawn_key(const Position& position);
std::uint64_t compute_non_pawn_key(const Position& position);

}  // namespace Zobrist
