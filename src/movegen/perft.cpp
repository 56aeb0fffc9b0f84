// Perft: walks the legal move tree, making and unmaking every move down to
// the last ply so that make/unmake is exercised on every counted move.
#include "movegen/perft.h"

#include "movegen/movegen.h"

namespace {

void add(PerftResult& total, const PerftResult& part) {
  total.nodes += part.nodes;
  total.captures += part.captures;
  total.en_passant += part.en_passant;
  total.castles += part.castles;
  total.promotions += part.promotions;
}

PerftResult perft_recurse(Position& position, int depth) {
  PerftResult result;
  if (depth <= 0) {
    result.nodes = 1;
    return result;
  }
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  for (const unsigned move : moves) {
    const Position::Undo undo = position.make_move(move);
    if (depth == 1) {
      ++result.nodes;
      result.captures += move_is_capture(move);
      result.en_passant += move_is_en_passant(move);
      result.castles += move_is_castling(move);
      result.promotions += move_is_promotion(move);
    } else {
      add(result, perft_recurse(position, depth - 1));
    }
    position.unmake_move(undo);
  }
  return result;
}

}  // namespace

PerftResult perft(Position& position, int depth) { return perft_recurse(position, depth); }

std::vector<std::pair<std::string, std::uint64_t>> perft_divide(Position& position, int depth) {
  std::vector<std::pair<std::string, std::uint64_t>> divide;
  // Below depth 1 there is no move to divide by.
  if (depth < 1) return divide;
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  for (const unsigned move : moves) {
    const Position::Undo undo = position.make_move(move);
    divide.emplace_back(move_to_uci(move), perft_recurse(position, depth - 1).nodes);
    position.unmake_move(undo);
  }
  return divide;
}
