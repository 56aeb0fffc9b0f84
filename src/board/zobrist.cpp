#include "board/zobrist.h"

#include <random>

#include "board/position.h"

namespace Zobrist {

std::uint64_t piece_square[12][64];
std::uint64_t castling[16];
std::uint64_t ep_file[8];
std::uint64_t side_to_move;
bool initialized = false;

namespace {

constexpr std::uint64_t SEED = 0x9E3779B97F4A7C15ULL;

// XOR of piece_square over every pawn (pawns = true) or every other piece,
// in piece-index order and each bitboard from its lowest square up.
std::uint64_t piece_terms(const Position& position, bool pawns) {
  std::uint64_t key = 0;
  for (int piece = 0; piece < 12; ++piece) {
    if ((piece_type(piece) == PAWN) != pawns) continue;
    for (Bitboard b = position.piece_bb[piece]; b;) key ^= piece_square[piece][pop_lsb(b)];
  }
  return key;
}

}  // namespace

void init_zobrist() {
  if (initialized) return;
  // One draw per entry in this exact order; every key value depends on it.
  std::mt19937_64 generator(SEED);
  for (auto& piece : piece_square)
    for (auto& entry : piece) entry = generator();
  for (auto& entry : castling) entry = generator();
  for (auto& entry : ep_file) entry = generator();
  side_to_move = generator();
  initialized = true;
}

std::uint64_t compute_pawn_key(const Position& position) {
  ensure_initialized();
  return piece_terms(position, true);
}

std::uint64_t compute_non_pawn_key(const Position& position) {
  ensure_initialized();
  return piece_terms(position, false);
}

std::uint64_t compute_key(const Position& position) {
  ensure_initialized();
  std::uint64_t key = compute_pawn_key(position) ^ compute_non_pawn_key(position);
  if (position.side == BLACK) key ^= side_to_move;
  key ^= castling[position.castling_rights & 15];
  if (position.ep_square != NO_SQUARE) key ^= ep_file[position.ep_square & 7];
  return key;
}

std::uint64_t compute_rep_key(const Position& position) { return compute_key(position); }

}  // namespace Zobrist
