// make_move / unmake_move and the placement primitives they are built from.
// Defined inline (this header is included by board/position.h) so that the
// generator's legality tests, perft and the search compile them into their
// move loops: the undo record then stays in the caller's frame and the call
// overhead goes away. The rare kinds of move (promotion, en passant,
// castling) and the en-passant legality test stay out of line in
// position.cpp.
#pragma once

#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "board/zobrist.h"
#include "eval/evalbase.h"

namespace Placement {

// Advances a move counter by 0 or 1. A FEN may start the counters anywhere in
// the 32-bit range, so they stop at the maximum instead of overflowing.
constexpr int clock_step(int value, int by) { return value + (by & int(value != INT_MAX)); }

// One bit per piece index: a shift and a test instead of two comparisons.
constexpr bool is_pawn(int piece) {
  return ((1u << piece) & ((1u << W_PAWN) | (1u << B_PAWN))) != 0;
}
constexpr bool is_king(int piece) {
  return ((1u << piece) & ((1u << W_KING) | (1u << B_KING))) != 0;
}
// The phase weight of a piece, without the division of piece_type.
inline int phase_of(int piece) { return EvalBase::PHASE_VALUE[piece - 6 * piece_color(piece)]; }

// The primitives below update bitboards, mailbox, colour occupancy, count,
// king square, the pawn and non-pawn keys and (with Sums) the evaluation sums
// of the position directly, and return the piece's share of the full key:
// make_move gathers it in a register and stores the key once, unmake_move
// discards it (the key comes back from the history). `occupied` is left to
// the caller. Unmake passes Sums = false because it copies the sums back
// from the undo record.
//
// The key tables are read directly rather than through the Zobrist accessors:
// every Position has run clear(), which filled them, so the accessors' fill
// test would only cost time here.

// A piece's key terms go into the full key and into exactly one of the pawn
// and non-pawn keys, chosen by address so that no branch (which a random mix
// of pawn and piece moves would mispredict) is needed.
inline std::uint64_t toggle_keys(Position& p, int piece, std::uint64_t terms) {
  std::uint64_t* const target = is_pawn(piece) ? &p.pawn_key : &p.non_pawn_key;
  *target ^= terms;
  return terms;
}

// Adds a packed middlegame and endgame change to the two sums.
inline void add_values(Position& p, std::int64_t packed) {
  p.mg_sum += EvalBase::packed_mg(packed);
  p.eg_sum += EvalBase::packed_eg(packed);
}

template <bool Sums>
inline std::uint64_t put_piece(Position& p, int piece, int square) {
  const Bitboard bit = square_bb(square);
  p.piece_bb[piece] |= bit;
  p.color_bb[piece_color(piece)] |= bit;
  p.board[square] = piece;
  ++p.piece_count[piece];
  if (is_king(piece)) p.king_square[piece_color(piece)] = square;
  if constexpr (Sums) {
    add_values(p, EvalBase::piece_mg_eg(piece, square));
    p.phase_sum += phase_of(piece);
  }
  return toggle_keys(p, piece, Zobrist::piece_square[piece][square]);
}

template <bool Sums>
inline std::uint64_t take_piece(Position& p, int piece, int square) {
  const Bitboard bit = square_bb(square);
  p.piece_bb[piece] ^= bit;
  p.color_bb[piece_color(piece)] ^= bit;
  p.board[square] = NO_PIECE;
  --p.piece_count[piece];
  // Only a hand-placed board lets a king be taken.
  if (is_king(piece)) [[unlikely]]
    p.king_square[piece_color(piece)] = NO_SQUARE;
  if constexpr (Sums) {
    add_values(p, -EvalBase::piece_mg_eg(piece, square));
    p.phase_sum -= phase_of(piece);
  }
  return toggle_keys(p, piece, Zobrist::piece_square[piece][square]);
}

// A piece changing squares: count and phase stay as they are.
template <bool Sums>
inline std::uint64_t shift_piece(Position& p, int piece, int from, int to) {
  const Bitboard bits = square_bb(from) | square_bb(to);
  p.piece_bb[piece] ^= bits;
  p.color_bb[piece_color(piece)] ^= bits;
  p.board[from] = NO_PIECE;
  p.board[to] = piece;
  if (is_king(piece)) p.king_square[piece_color(piece)] = to;
  if constexpr (Sums) {
    add_values(p, EvalBase::piece_mg_eg(piece, to) - EvalBase::piece_mg_eg(piece, from));
  }
  return toggle_keys(p, piece,
                     Zobrist::piece_square[piece][from] ^ Zobrist::piece_square[piece][to]);
}

// Rights lost when a piece leaves a square (king anywhere, rook from its
// corner) and when a piece is captured on a square (rook on its corner).
// The capture table is indexed by captured + 1 so that "nothing captured"
// (NO_PIECE) reads a row of zeros.
struct RightsTables {
  unsigned char on_move[12][64] = {};
  unsigned char on_capture[13][64] = {};
};

constexpr RightsTables make_rights_tables() {
  RightsTables t;
  for (int s = 0; s < 64; ++s) {
    t.on_move[W_KING][s] = CASTLE_WHITE_KINGSIDE | CASTLE_WHITE_QUEENSIDE;
    t.on_move[B_KING][s] = CASTLE_BLACK_KINGSIDE | CASTLE_BLACK_QUEENSIDE;
  }
  const struct {
    int rook, square;
    unsigned right;
  } corners[4] = {{W_ROOK, SQ_A1, CASTLE_WHITE_QUEENSIDE},
                  {W_ROOK, SQ_H1, CASTLE_WHITE_KINGSIDE},
                  {B_ROOK, SQ_A8, CASTLE_BLACK_QUEENSIDE},
                  {B_ROOK, SQ_H8, CASTLE_BLACK_KINGSIDE}};
  for (const auto& c : corners) {
    t.on_move[c.rook][c.square] = static_cast<unsigned char>(c.right);
    t.on_capture[c.rook + 1][c.square] = static_cast<unsigned char>(c.right);
  }
  return t;
}

inline constexpr RightsTables RIGHTS_LOST = make_rights_tables();
constexpr Bitboard CORNERS =
    square_bb(SQ_A1) | square_bb(SQ_H1) | square_bb(SQ_A8) | square_bb(SQ_H8);

// Moves that touch more than one square pair or change a piece's kind.
constexpr unsigned SPECIAL_MOVE_BITS =
    MOVE_PROMOTION_MASK | MOVE_FLAG_EN_PASSANT | MOVE_FLAG_CASTLING;

// Everything a move changes after its pieces have moved: castling rights,
// en-passant square, the full key (`key` holds the pieces' share and the
// side term on entry), clocks, side to move and the key history.
inline void finish_move(Position& p, unsigned move, int from, int to, int piece, int captured,
                        int capture_square, std::uint64_t key);

// A promotion, en-passant capture or castling move, made from the undo
// record's first fields onwards (position.cpp).
void make_special_move(Position& p, unsigned move, Position::Undo& undo);
// Undoes the board changes of a promotion or castling move, with the pawn and
// non-pawn keys and `occupied` (position.cpp).
void unmake_special_move(Position& p, const Position::Undo& undo);
// After a double push of the side `us` from `from` to `to`: records the
// en-passant square when a legal capture on it exists and returns its key
// term, else 0 (position.cpp).
std::uint64_t record_en_passant(Position& p, Color us, int from, int to);

// The game state a move overwrites, saved into the undo record and copied
// back by both unmakes. The fields castling_rights to side stand in the same
// order in Position and Undo (position.cpp checks it), so the copies are
// block moves.
constexpr std::size_t STATE_BYTES =
    offsetof(Position, side) + sizeof(Color) - offsetof(Position, castling_rights);

inline void save_state(Position::Undo& undo, const Position& p) {
  std::memcpy(&undo.castling_rights, &p.castling_rights, STATE_BYTES);
}

inline void restore_state(Position& p, const Position::Undo& undo) {
  std::memcpy(&p.castling_rights, &undo.castling_rights, STATE_BYTES);
}

inline void finish_move(Position& p, unsigned move, int from, int to, int piece, int captured,
                        int capture_square, std::uint64_t key) {
  // Rights are lost only through a king move, a move from a corner or a
  // capture on one; every other move (and a position without rights) skips
  // the table reads.
  if (const unsigned old_rights = p.castling_rights;
      old_rights && (is_king(piece) || ((square_bb(from) | square_bb(capture_square)) & CORNERS))) {
    const unsigned new_rights =
        old_rights & ~unsigned(RIGHTS_LOST.on_move[piece][from] |
                               RIGHTS_LOST.on_capture[captured + 1][capture_square]);
    if (new_rights != old_rights) {
      p.castling_rights = new_rights;
      key ^= Zobrist::castling[old_rights] ^ Zobrist::castling[new_rights];
    }
  }

  if (const int old_ep = p.ep_square; old_ep != NO_SQUARE) {
    key ^= Zobrist::ep_file[file_of(old_ep)];
    p.ep_square = NO_SQUARE;
  }
  const Color us = p.side;
  // A pawn move (not a promotion) across two ranks.
  if (is_pawn(piece) && !move_is_promotion(move) && ((rank_of(to) - rank_of(from) + 2) & ~4) == 0)
    key ^= record_en_passant(p, us, from, to);

  p.key = key;
  p.fullmove_number = clock_step(p.fullmove_number, us);
  p.side = ~us;
  ++p.plies_since_null;
  p.key_history.push_back(key);
}

// A move that is neither a promotion, nor en passant, nor castling, with or
// without a piece on the destination: one straight path for each.
template <bool Capture>
inline void make_plain_move(Position& p, unsigned move, int from, int to, int piece, int captured) {
  std::uint64_t key = p.key ^ Zobrist::side_to_move;
  if constexpr (Capture) {
    key ^= take_piece<true>(p, captured, to);
    p.occupied ^= square_bb(from);
  } else {
    p.occupied ^= square_bb(from) | square_bb(to);
  }
  key ^= shift_piece<true>(p, piece, from, to);
  const bool resets = is_pawn(piece) || (move & MOVE_FLAG_CAPTURE);
  p.halfmove_clock = resets ? 0 : clock_step(p.halfmove_clock, 1);
  finish_move(p, move, from, to, piece, captured, to, key);
}

}  // namespace Placement

[[gnu::always_inline]] inline Position::Undo Position::make_move(unsigned move) {
  using namespace Placement;
  const int from = move_from(move), to = move_to(move), piece = move_piece(move);

  Undo undo;
  undo.move = move;
  undo.from = from;
  undo.to = to;
  undo.piece = piece;
  undo.promotion = move_is_promotion(move) ? move_promotion(move) : -1;
  undo.captured = NO_PIECE;
  undo.capture_square = to;
  save_state(undo, *this);
  undo.is_null = false;

  if (move & SPECIAL_MOVE_BITS) [[unlikely]] {
    make_special_move(*this, move, undo);
  } else if (const int captured = board[to]; captured == NO_PIECE) {
    make_plain_move<false>(*this, move, from, to, piece, NO_PIECE);
  } else {
    undo.captured = captured;
    make_plain_move<true>(*this, move, from, to, piece, captured);
  }
  return undo;
}

inline void Position::unmake_move(const Undo& undo) {
  using namespace Placement;
  // The full key comes from the history below, so only the pawn and
  // non-pawn keys are restored by the pieces' terms.
  if (!(undo.move & MOVE_FLAG_CASTLING) && undo.promotion == -1) [[likely]] {
    const int from = undo.from, to = undo.to;
    shift_piece<false>(*this, undo.piece, to, from);
    if (const int captured = undo.captured; captured != NO_PIECE) {
      const int capture_square = undo.capture_square;
      put_piece<false>(*this, captured, capture_square);
      occupied ^= square_bb(from) ^ square_bb(to) ^ square_bb(capture_square);
    } else {
      occupied ^= square_bb(from) | square_bb(to);
    }
  } else {
    unmake_special_move(*this, undo);
  }
  restore_state(*this, undo);

  // Below the move's own entry the history holds the key the move was made
  // from; a history too short for that (only after misuse of the history)
  // falls back to the definition.
  if (key_history.size() >= 2) [[likely]] {
    key_history.pop_back();
    key = key_history.back();
  } else {
    key_history.clear();
    key = Zobrist::compute_key(*this);
  }
}
