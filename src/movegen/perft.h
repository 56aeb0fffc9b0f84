// Move-path enumeration: counts the leaves of the legal move tree to a fixed
// depth and classifies the last-ply moves. Every counted move is made and
// unmade, so this exercises generation and make/unmake end to end.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "board/position.h"

struct PerftResult {
  std::uint64_t nodes = 0;
  std::uint64_t captures = 0;
  std::uint64_t en_passant = 0;
  std::uint64_t castles = 0;
  std::uint64_t promotions = 0;
};

// A negative depth counts as depth 0, a depth above 256 as 256 (no such
// perft can finish). The position is returned unchanged, pin cache included.
PerftResult perft(Position& position, int depth);
// For each legal move in generation order: its coordinate text and the node
// count below it at depth - 1; empty below depth 1.
std::vector<std::pair<std::string, std::uint64_t>> perft_divide(Position& position, int depth);
