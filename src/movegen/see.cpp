// Static exchange evaluation: the balance of the capture sequence a move
// starts on its destination, both sides recapturing with their least valuable
// attacker and free to stop. Bitboards and slider lookups only; pins ignored.
#include <algorithm>

#include "board/position.h"
#include "movegen/attack.h"

namespace Attack {

namespace {

// Exchange values by piece type; the last two entries are padding.
constexpr int LOCAL_PIECE_VALUE[8] = {100, 320, 330, 500, 900, 20000, 0, 0};

constexpr Bitboard BACK_RANKS = RANK_1_BB | RANK_8_BB;
constexpr int PROMOTION_GAIN = 900 - 100;

// What the move itself does before anyone recaptures.
struct FirstCapture {
  int captureSquare;  // differs from the destination only for en passant
  int captured;       // value taken off the capture square (0 if empty)
  int arrivingValue;  // value of the piece now standing on the destination
};

inline FirstCapture first_capture(const Position& position, unsigned move) {
  const int to = move_to(move);
  FirstCapture first{to, 0, LOCAL_PIECE_VALUE[piece_type(move_piece(move))]};
  if (move_is_en_passant(move))
    first.captureSquare = piece_color(move_piece(move)) == WHITE ? to - 8 : to + 8;
  const int victim = position.piece_on(first.captureSquare);
  if (victim != NO_PIECE) first.captured = LOCAL_PIECE_VALUE[piece_type(victim)];
  if (move_is_promotion(move)) {
    first.arrivingValue = LOCAL_PIECE_VALUE[move_promotion(move)];
    first.captured += first.arrivingValue - 100;
  }
  return first;
}

inline Bitboard diagonal_sliders(const Position& p) {
  return p.piece_bb[W_BISHOP] | p.piece_bb[B_BISHOP] | p.piece_bb[W_QUEEN] | p.piece_bb[B_QUEEN];
}

inline Bitboard line_sliders(const Position& p) {
  return p.piece_bb[W_ROOK] | p.piece_bb[B_ROOK] | p.piece_bb[W_QUEEN] | p.piece_bb[B_QUEEN];
}

// Every piece of either colour attacking `square` under `occupancy`.
inline Bitboard attackers_to(const Position& p, int square, Bitboard occupancy) {
  return (pawnAttacksBlack[square] & p.piece_bb[W_PAWN]) |
         (pawnAttacksWhite[square] & p.piece_bb[B_PAWN]) |
         (knightAttacks[square] & (p.piece_bb[W_KNIGHT] | p.piece_bb[B_KNIGHT])) |
         (kingAttacks[square] & (p.piece_bb[W_KING] | p.piece_bb[B_KING])) |
         (PEXT::bishop_attacks_pext(square, occupancy) & diagonal_sliders(p)) |
         (PEXT::rook_attacks_pext(square, occupancy) & line_sliders(p));
}

}  // namespace

int see_gain(const Position& position, unsigned move) {
  if (move == MOVE_NONE || move_is_castling(move)) return 0;

  const int from = move_from(move);
  const int to = move_to(move);
  const FirstCapture first = first_capture(position, move);

  // Every capture removes a piece from a distinct square, so 64 entries suffice
  // whatever the position.
  int gain[64];
  gain[0] = first.captured;
  int onTo = first.arrivingValue;

  // The mover leaves its origin; a piece captured on `to` leaves the board
  // and the arriving piece is not an attacker of its own square.
  Bitboard occupancy = (position.occupied & ~square_bb(from)) ^ square_bb(to);
  if (first.captureSquare != to) occupancy &= ~square_bb(first.captureSquare);
  Bitboard attackers = attackers_to(position, to, occupancy) & occupancy;

  Color side = ~piece_color(move_piece(move));
  if (!(attackers & position.color_bb[side])) return gain[0];

  const bool backRank = (square_bb(to) & BACK_RANKS) != 0;
  int last = 0;
  for (int d = 1;; ++d) {
    const Bitboard own = attackers & position.color_bb[side];
    int type = PAWN;
    Bitboard candidates = 0;
    for (; type <= QUEEN; ++type)
      if ((candidates = own & position.pieces(side, type))) break;

    if (!candidates) {
      // Only the king is left: it may not capture onto a defended square.
      if (attackers & position.color_bb[~side]) {
        last = d - 1;
        break;
      }
      gain[d] = onTo - gain[d - 1];
      last = d;
      break;
    }

    gain[d] = onTo - gain[d - 1];
    occupancy ^= square_bb(lsb(candidates));
    onTo = LOCAL_PIECE_VALUE[type];
    if (type == PAWN && backRank) {
      gain[d] += PROMOTION_GAIN;
      onTo = LOCAL_PIECE_VALUE[QUEEN];
    }

    // X-rays: the capturer may have uncovered a slider behind it.
    if (type == PAWN || type == BISHOP || type == QUEEN)
      attackers |= PEXT::bishop_attacks_pext(to, occupancy) & diagonal_sliders(position);
    if (type == ROOK || type == QUEEN)
      attackers |= PEXT::rook_attacks_pext(to, occupancy) & line_sliders(position);
    attackers &= occupancy;

    side = ~side;
    if (!(attackers & position.color_bb[side])) {
      last = d;
      break;
    }
  }

  // Each side stops as soon as going on would make it worse off.
  int x = gain[last];
  for (int k = last - 1; k >= 0; --k) {
    gain[k] = std::min(gain[k], -x);
    x = gain[k];
  }
  return gain[0];
}

bool see_ge(const Position& position, unsigned move, int threshold) {
  if (move == MOVE_NONE || move_is_castling(move)) return threshold <= 0;

  const FirstCapture first = first_capture(position, move);
  // Even winning the captured piece for nothing falls short.
  if (first.captured < threshold) return false;
  // Even losing the arriving piece (promoted again on a back rank) keeps the
  // threshold.
  const int backRankLoss = (square_bb(move_to(move)) & BACK_RANKS) ? PROMOTION_GAIN : 0;
  if (first.captured - first.arrivingValue - backRankLoss >= threshold) return true;
  return see_gain(position, move) >= threshold;
}

}  // namespace Attack
