#include <algorithm>
#include <initializer_list>

#include "board/position.h"
#include "movegen/attack.h"

void Position::compute_pins(Color c) {
  pinned[c] = 0;
  const int king = king_square[c];
  if (king == NO_SQUARE) return;
  const Color them = ~c;
  const Bitboard own = color_bb[c];
  // With our own pieces taken off, each ray runs to the first enemy piece.
  const Bitboard see_through = occupied & ~own;
  const Bitboard queens = pieces(them, QUEEN);
  const Bitboard straight =
      PEXT::rook_attacks_pext(king, see_through) & (pieces(them, ROOK) | queens);
  const Bitboard diagonal =
      PEXT::bishop_attacks_pext(king, see_through) & (pieces(them, BISHOP) | queens);
  for (Bitboard candidates : {straight, diagonal}) {
    while (candidates) {
      const int pinner = pop_lsb(candidates);
      const Bitboard line = Attack::between(pinner, king);
      const Bitboard blockers = line & own;
      if (blockers && !more_than_one(blockers)) {
        pinned[c] |= blockers;
        pin_ray[lsb(blockers)] = line | square_bb(king) | square_bb(pinner);
      }
    }
  }
}

Bitboard Position::check_block_mask(Color c) const {
  if (!in_check(c)) return ALL_SQUARES;
  const Bitboard checkers = checker_mask(c);
  if (more_than_one(checkers)) return 0;
  // Only the enemy king could be "attacking" without being a checker, which a
  // legal position never has; answering with the empty set is then the safe
  // reading (no non-king move helps).
  if (!checkers) return 0;
  const int checker = lsb(checkers);
  const int type = piece_type(board[checker]);
  const Bitboard line =
      type == PAWN || type == KNIGHT ? 0 : Attack::between(checker, king_square[c]);
  return square_bb(checker) | line;
}

bool Position::is_move_legal(unsigned move) const {
  Position after = *this;
  after.make_move(move);
  return !after.in_check(side);
}

int Position::repetition_count() const {
  if (key_history.empty()) return 0;
  return int(std::count(key_history.begin(), key_history.end(), key_history.back()));
}

bool Position::is_threefold_repetition() const { return repetition_count() >= 3; }

bool Position::has_non_pawn_material(Color c) const {
  const int* count = piece_count + c * 6;
  return count[KNIGHT] + count[BISHOP] + count[ROOK] + count[QUEEN] > 0;
}

bool Position::has_insufficient_material() const {
  const auto count = [this](Color c, int type) { return piece_count[make_piece(c, type)]; };
  for (const Color c : {WHITE, BLACK})
    if (count(c, PAWN) || count(c, ROOK) || count(c, QUEEN)) return false;

  const int white_minors = count(WHITE, KNIGHT) + count(WHITE, BISHOP);
  const int black_minors = count(BLACK, KNIGHT) + count(BLACK, BISHOP);
  if (white_minors + black_minors == 0) return true;
  if (white_minors <= 1 && (black_minors == 0 || (white_minors == 0 && black_minors <= 1)))
    return true;

  // Bishop against bishop is a draw only with both on the same square colour.
  if (count(WHITE, BISHOP) != 1 || count(BLACK, BISHOP) != 1 || count(WHITE, KNIGHT) ||
      count(BLACK, KNIGHT))
    return false;
  const auto colour_of = [](int square) { return (file_of(square) + rank_of(square)) & 1; };
  return colour_of(lsb(pieces(WHITE, BISHOP))) == colour_of(lsb(pieces(BLACK, BISHOP)));
}
