#include "board/move.h"

std::string move_to_uci(unsigned move) {
  if (move == MOVE_NONE) return "0000";
  const int from = move_from(move), to = move_to(move);
  std::string text{char('a' + file_of(from)), char('1' + rank_of(from)), char('a' + file_of(to)),
                   char('1' + rank_of(to))};
  if (const int promotion = move_promotion(move)) {
    // Knight, bishop, rook; anything else prints as a queen.
    constexpr char LETTERS[] = "?nbr";
    text += promotion < 4 ? LETTERS[promotion] : 'q';
  }
  return text;
}
