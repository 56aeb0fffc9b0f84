// Test helpers that build positions from FEN and find moves by their text.
// The attack tables are filled on first use.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/position.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"
#include "movegen/pext.h"

inline void init_attack_tables() {
  static const bool done = [] {
    Attack::init_attacks();
    PEXT::init();
    return true;
  }();
  (void)done;
}

// The position of a FEN that must parse; a parse failure fails the test.
inline Position position_from_fen(const std::string& fen) {
  init_attack_tables();
  Position position;
  std::string error;
  EXPECT_TRUE(position.set_from_fen(fen, error)) << fen << ": " << error;
  return position;
}

// The legal move whose coordinate text is `text`, or MOVE_NONE.
inline unsigned find_legal_move(Position& position, const std::string& text) {
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  for (const unsigned move : moves)
    if (move_to_uci(move) == text) return move;
  return MOVE_NONE;
}
