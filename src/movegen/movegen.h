// Move generation by kind (all, noisy, quiet) in a fixed emission order, with
// check evasion and pin filtering applied while generating, so that only king
// moves, en-passant captures and moves of pinned pieces can still be illegal.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "board/position.h"

namespace MoveGen {

enum GenerationType { GEN_ALL = 0, GEN_NOISY = 1, GEN_QUIETS = 2 };

// Per-position data shared by generation and validation of one node.
struct GenerationContext {
  Color us = WHITE;
  Color them = BLACK;
  int king_square = NO_SQUARE;
  Bitboard occupied = 0;
  Bitboard own = 0;
  Bitboard enemy = 0;
  Bitboard target = ALL_SQUARES;  // evasion mask
  Bitboard pinned = 0;
  Bitboard pin_ray[64];  // set only for pinned squares
  bool in_check = false;
  bool double_check = false;
};

// Caller-owned output of the array generators; moves past capacity are dropped.
struct ArrayMoveSink {
  unsigned* items;
  std::size_t capacity;
  std::size_t count;

  void add(unsigned move) {
    if (count < capacity) items[count++] = move;
  }
};

// A move with its kind: 5 castling, 4 en passant, 3 capture-promotion,
// 2 promotion, 1 capture, 0 quiet.
struct SemanticMove {
  unsigned move;
  std::uint8_t kind;
};

void prepare_generation_context(Position& position, GenerationContext& ctx);

std::size_t generate_pseudo_legal(Position& position, unsigned* moves, std::size_t capacity);
std::size_t generate_pseudo_legal(Position& position, unsigned* moves, std::size_t capacity,
                                  GenerationType type);
std::size_t generate_pseudo_legal(Position& position, unsigned* moves, std::size_t capacity,
                                  GenerationType type, const GenerationContext& ctx);
void generate_pseudo_legal(Position& position, std::vector<unsigned>& moves);
void generate_legal(Position& position, std::vector<unsigned>& moves);
// The legal moves into caller-owned storage, in generation order; moves past
// capacity are dropped. Returns the number written.
std::size_t generate_legal(Position& position, unsigned* moves, std::size_t capacity);

bool is_pseudo_legal(Position& position, unsigned move, const GenerationContext& ctx);
bool is_pseudo_legal(Position& position, unsigned move);

void generate_semantic_pseudo_legal(Position& position, std::vector<SemanticMove>& moves);

}  // namespace MoveGen
