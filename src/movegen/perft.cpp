// Perft: walks the legal move tree, making and unmaking every move down to
// the last ply so that make/unmake is exercised on every counted move.
#include "movegen/perft.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

#include "movegen/movegen.h"

namespace {

// Perft never stops a line early (no draw rules), so the first-move line of a
// huge depth would recurse, and grow the key history, without end. Beyond
// this depth no perft can finish anyway; clamping keeps a mistyped depth
// from exhausting the stack.
constexpr int MAX_PERFT_DEPTH = 256;

void add(PerftResult& total, const PerftResult& part) {
  total.nodes += part.nodes;
  total.captures += part.captures;
  total.en_passant += part.en_passant;
  total.castles += part.castles;
  total.promotions += part.promotions;
}

// Room for the moves of one ply. Positions from real games have at most 218
// legal moves; a hand-made board (a FEN may hold many queens) can have more,
// and then the node takes its moves from the growable form instead.
constexpr std::size_t PLY_CAPACITY = 256;
using PlyBuffer = std::array<unsigned, PLY_CAPACITY>;

// The last ply: every move is still made, counted and unmade, but nothing is
// generated below it. The classification depends on the move alone, so it
// runs as a second pass over the same list, which the compiler vectorises,
// and the make/unmake loop stays lean.
PerftResult count_last_ply(Position& position, const unsigned* moves, std::size_t count) {
  PerftResult result;
  std::uint64_t nodes = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Position::Undo undo = position.make_move(moves[i]);
    ++nodes;
    position.unmake_move(undo);
  }
  result.nodes = nodes;
  std::uint64_t captures = 0, en_passant = 0, castles = 0, promotions = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const unsigned move = moves[i];
    captures += move_is_capture(move);
    en_passant += move_is_en_passant(move);
    castles += move_is_castling(move);
    promotions += move_is_promotion(move);
  }
  result.captures = captures;
  result.en_passant = en_passant;
  result.castles = castles;
  result.promotions = promotions;
  return result;
}

PerftResult perft_recurse(Position& position, int depth, PlyBuffer* buffers);

// The subtree below a node whose legal moves are in `moves`.
PerftResult perft_moves(Position& position, int depth, PlyBuffer* buffers, const unsigned* moves,
                        std::size_t count) {
  if (depth == 1) return count_last_ply(position, moves, count);
  PerftResult result;
  for (std::size_t i = 0; i < count; ++i) {
    const Position::Undo undo = position.make_move(moves[i]);
    add(result, perft_recurse(position, depth - 1, buffers));
    position.unmake_move(undo);
  }
  return result;
}

// `buffers` holds one move buffer per remaining depth, so that the walk reuses
// them instead of allocating a list at every node.
PerftResult perft_recurse(Position& position, int depth, PlyBuffer* buffers) {
  if (depth <= 0) {
    PerftResult leaf;
    leaf.nodes = 1;
    return leaf;
  }
  unsigned* moves = buffers[depth].data();
  const std::size_t count = MoveGen::generate_legal(position, moves, PLY_CAPACITY);
  if (count == PLY_CAPACITY) [[unlikely]] {
    // Possibly cut off: take every move from the growable form.
    std::vector<unsigned> all;
    MoveGen::generate_legal(position, all);
    return perft_moves(position, depth, buffers, all.data(), all.size());
  }
  return perft_moves(position, depth, buffers, moves, count);
}

// Generation refreshes the pin cache; perft hands the position back bit for
// bit, so the cache is saved and restored around the walk.
class PinCacheGuard {
 public:
  explicit PinCacheGuard(Position& position) : position_(position) {
    std::copy(std::begin(position.pinned), std::end(position.pinned), pinned_);
    std::copy(std::begin(position.pin_ray), std::end(position.pin_ray), pin_ray_);
  }
  ~PinCacheGuard() {
    std::copy(std::begin(pinned_), std::end(pinned_), position_.pinned);
    std::copy(std::begin(pin_ray_), std::end(pin_ray_), position_.pin_ray);
  }
  PinCacheGuard(const PinCacheGuard&) = delete;
  PinCacheGuard& operator=(const PinCacheGuard&) = delete;

 private:
  Position& position_;
  Bitboard pinned_[2];
  Bitboard pin_ray_[64];
};

}  // namespace

PerftResult perft(Position& position, int depth) {
  depth = std::clamp(depth, 0, MAX_PERFT_DEPTH);
  const PinCacheGuard guard(position);
  std::vector<PlyBuffer> buffers(depth + 1);
  return perft_recurse(position, depth, buffers.data());
}

std::vector<std::pair<std::string, std::uint64_t>> perft_divide(Position& position, int depth) {
  std::vector<std::pair<std::string, std::uint64_t>> divide;
  // Below depth 1 there is no move to divide by.
  if (depth < 1) return divide;
  depth = std::min(depth, MAX_PERFT_DEPTH);
  const PinCacheGuard guard(position);
  std::vector<PlyBuffer> buffers(depth + 1);
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  for (const unsigned move : moves) {
    const Position::Undo undo = position.make_move(move);
    divide.emplace_back(move_to_uci(move),
                        perft_recurse(position, depth - 1, buffers.data()).nodes);
    position.unmake_move(undo);
  }
  return divide;
}
