#include "board/position.h"

#include <algorithm>
#include <array>
#include <climits>
#include <cstddef>
#include <cstring>

#include "board/zobrist.h"
#include "eval/evalbase.h"
#include "movegen/attack.h"

namespace {

constexpr std::size_t HISTORY_CAPACITY = 256;

using Placement::clock_step;
using Placement::put_piece;
using Placement::shift_piece;
using Placement::take_piece;

// Both en-passant terms of a state change; nearly always both squares are
// unset, so one test skips the two table reads.
inline std::uint64_t ep_terms(int old_ep, int new_ep) {
  if (old_ep == NO_SQUARE && new_ep == NO_SQUARE) [[likely]]
    return 0;
  return (old_ep == NO_SQUARE ? 0 : Zobrist::ep_file[file_of(old_ep)]) ^
         (new_ep == NO_SQUARE ? 0 : Zobrist::ep_file[file_of(new_ep)]);
}

// The rook's squares for a castling move of `color` whose king lands on
// `king_to`: kingside when the king goes to the g-file square, else queenside.
struct RookHop {
  int from, to;
};
inline RookHop castling_rook(Color color, int king_to) {
  const int base = color == WHITE ? SQ_A1 : SQ_A8;
  return king_to == base + 6 ? RookHop{base + 7, base + 5} : RookHop{base, base + 3};
}

// The saved state is copied as one block (Placement::save_state), so every
// field must stand at the same distance from castling_rights in both records.
#define QV_STATE_FIELD_MATCHES(field)                                 \
  (offsetof(Position, field) - offsetof(Position, castling_rights) == \
   offsetof(Position::Undo, field) - offsetof(Position::Undo, castling_rights))
static_assert(QV_STATE_FIELD_MATCHES(ep_square) && QV_STATE_FIELD_MATCHES(halfmove_clock) &&
                  QV_STATE_FIELD_MATCHES(fullmove_number) &&
                  QV_STATE_FIELD_MATCHES(plies_since_null) && QV_STATE_FIELD_MATCHES(mg_sum) &&
                  QV_STATE_FIELD_MATCHES(eg_sum) && QV_STATE_FIELD_MATCHES(phase_sum) &&
                  QV_STATE_FIELD_MATCHES(side),
              "Position and Position::Undo must lay out the saved state alike");
#undef QV_STATE_FIELD_MATCHES

// Placement edits the current position rather than reaching a new one: the
// last history entry is the current position's key, so it follows the key
// instead of growing the history.
inline void sync_after_placement(Position& p, std::uint64_t terms) {
  p.key ^= terms;
  p.occupied = p.color_bb[WHITE] | p.color_bb[BLACK];
  if (!p.key_history.empty()) p.key_history.back() = p.key;
}

}  // namespace

Position::Position()
    : piece_bb{},
      board{},
      piece_count{},
      king_square{NO_SQUARE, NO_SQUARE},
      color_bb{},
      occupied(0),
      pinned{},
      pin_ray{},
      key(0),
      pawn_key(0),
      non_pawn_key(0),
      castling_rights(0),
      ep_square(NO_SQUARE),
      halfmove_clock(0),
      fullmove_number(1),
      plies_since_null(0),
      mg_sum(0),
      eg_sum(0),
      phase_sum(0),
      side(WHITE) {
  clear();
}

void Position::clear() {
  std::fill(std::begin(piece_bb), std::end(piece_bb), Bitboard(0));
  std::fill(std::begin(board), std::end(board), NO_PIECE);
  std::fill(std::begin(piece_count), std::end(piece_count), 0);
  king_square[WHITE] = king_square[BLACK] = NO_SQUARE;
  color_bb[WHITE] = color_bb[BLACK] = occupied = 0;
  side = WHITE;
  castling_rights = 0;
  ep_square = NO_SQUARE;
  halfmove_clock = 0;
  fullmove_number = 1;
  plies_since_null = 0;
  mg_sum = eg_sum = phase_sum = 0;
  pinned[WHITE] = pinned[BLACK] = 0;
  std::fill(std::begin(pin_ray), std::end(pin_ray), Bitboard(0));
  key = Zobrist::compute_key(*this);
  pawn_key = Zobrist::compute_pawn_key(*this);
  non_pawn_key = Zobrist::compute_non_pawn_key(*this);
  key_history.clear();
  if (key_history.capacity() < HISTORY_CAPACITY) {
    std::vector<std::uint64_t> fresh;
    fresh.reserve(HISTORY_CAPACITY);
    key_history.swap(fresh);
  }
  key_history.push_back(key);
}

void Position::set_piece_at_square(int piece, int square) {
  if (square < 0 || square > 63) return;
  std::uint64_t terms = 0;
  if (board[square] != NO_PIECE) terms ^= take_piece<true>(*this, board[square], square);
  // Anything but a piece index only clears the square.
  if (piece >= 0 && piece < 12) terms ^= put_piece<true>(*this, piece, square);
  sync_after_placement(*this, terms);
}

void Position::remove_piece_at_square(int /*piece*/, int square) {
  if (square < 0 || square > 63 || board[square] == NO_PIECE) return;
  sync_after_placement(*this, take_piece<true>(*this, board[square], square));
}

void Position::recompute_occupancies() {
  std::fill(std::begin(board), std::end(board), NO_PIECE);
  color_bb[WHITE] = color_bb[BLACK] = 0;
  king_square[WHITE] = king_square[BLACK] = NO_SQUARE;
  mg_sum = eg_sum = phase_sum = 0;
  for (int piece = 0; piece < 12; ++piece) {
    const Bitboard bb = piece_bb[piece];
    piece_count[piece] = popcount(bb);
    color_bb[piece_color(piece)] |= bb;
    // Several kings of one colour: the highest square wins.
    if (piece_type(piece) == KING && bb) king_square[piece_color(piece)] = msb(bb);
    for (Bitboard b = bb; b;) {
      const int square = pop_lsb(b);
      board[square] = piece;
      mg_sum += EvalBase::piece_mg(piece, square);
      eg_sum += EvalBase::piece_eg(piece, square);
      phase_sum += EvalBase::piece_phase(piece);
    }
  }
  key = Zobrist::compute_key(*this);
  pawn_key = Zobrist::compute_pawn_key(*this);
  non_pawn_key = Zobrist::compute_non_pawn_key(*this);
  sync_after_placement(*this, 0);
}

namespace Placement {

void make_special_move(Position& p, unsigned move, Position::Undo& undo) {
  const int from = move_from(move), to = move_to(move), piece = move_piece(move);
  const Color us = p.side;
  std::uint64_t key = p.key ^ Zobrist::side_to_move;
  if (const int promotion = move_promotion(move)) {
    if (const int captured = p.board[to]; captured != NO_PIECE) {
      undo.captured = captured;
      key ^= take_piece<true>(p, captured, to);
    }
    key ^= take_piece<true>(p, piece, from);
    key ^= put_piece<true>(p, make_piece(us, promotion), to);
    p.halfmove_clock = 0;
  } else if (move & MOVE_FLAG_EN_PASSANT) {
    const int capture_square = us == WHITE ? to - 8 : to + 8;
    undo.capture_square = capture_square;
    key ^= shift_piece<true>(p, piece, from, to);
    if (const int captured = p.board[capture_square]; captured != NO_PIECE) {
      undo.captured = captured;
      key ^= take_piece<true>(p, captured, capture_square);
    }
    p.halfmove_clock = 0;
  } else {
    key ^= shift_piece<true>(p, piece, from, to);
    const RookHop rook = castling_rook(us, to);
    const int own_rook = make_piece(us, ROOK);
    if (p.board[rook.from] == own_rook) key ^= shift_piece<true>(p, own_rook, rook.from, rook.to);
    p.halfmove_clock = clock_step(p.halfmove_clock, 1);
  }
  p.occupied = p.color_bb[WHITE] | p.color_bb[BLACK];
  finish_move(p, move, from, to, piece, undo.captured, undo.capture_square, key);
}

void unmake_special_move(Position& p, const Position::Undo& undo) {
  if (undo.promotion != -1) {
    take_piece<false>(p, p.board[undo.to], undo.to);
    put_piece<false>(p, undo.piece, undo.from);
  } else {
    const Color us = undo.side;
    shift_piece<false>(p, undo.piece, undo.to, undo.from);
    const RookHop rook = castling_rook(us, undo.to);
    const int own_rook = make_piece(us, ROOK);
    if (p.board[rook.to] == own_rook) shift_piece<false>(p, own_rook, rook.to, rook.from);
  }
  if (undo.captured != NO_PIECE) put_piece<false>(p, undo.captured, undo.capture_square);
  p.occupied = p.color_bb[WHITE] | p.color_bb[BLACK];
}

// The en-passant square is recorded only when the capture could really be
// made, so that unusable squares do not split positions in the hash.
std::uint64_t record_en_passant(Position& p, Color us, int from, int to) {
  const int candidate = (from + to) / 2;
  // Most double pushes land beside no enemy pawn: skip the full test.
  if (!(p.pieces(~us, PAWN) & Attack::pawn_attacks(us, candidate)) ||
      !has_legal_en_passant_capture(p, candidate, ~us))
    return 0;
  p.ep_square = candidate;
  return Zobrist::ep_file[file_of(candidate)];
}

}  // namespace Placement

Position::Undo Position::make_null_move() {
  Undo undo;
  undo.move = MOVE_NONE;
  undo.from = undo.to = undo.capture_square = NO_SQUARE;
  undo.piece = undo.captured = NO_PIECE;
  undo.promotion = -1;
  Placement::save_state(undo, *this);
  undo.is_null = true;

  key ^= ep_terms(ep_square, NO_SQUARE);
  ep_square = NO_SQUARE;
  plies_since_null = 0;
  fullmove_number = clock_step(fullmove_number, side);
  side = ~side;
  key ^= Zobrist::side_to_move;
  key_history.push_back(key);
  return undo;
}

void Position::unmake_null_move(const Undo& undo) {
  if (!key_history.empty()) key_history.pop_back();
  Placement::restore_state(*this, undo);
  // The entry below the null move's is the key it was made from.
  key = key_history.empty() ? Zobrist::compute_key(*this) : key_history.back();
}

bool has_legal_en_passant_capture(const Position& position, int square, Color capturer) {
  if (square < 0 || square > 63) return false;
  const Color victim = ~capturer;
  const int victim_square = capturer == WHITE ? square - 8 : square + 8;
  if (victim_square < 0 || victim_square > 63) return false;
  if (position.board[victim_square] != make_piece(victim, PAWN)) return false;

  // Capturer's pawns that attack the square: read the victim's pawn table
  // from the target square.
  Bitboard candidates = position.pieces(capturer, PAWN) & Attack::pawn_attacks(victim, square);
  if (!candidates) return false;

  const int king = position.king_square[capturer];
  if (king == NO_SQUARE) return true;

  // Enemy pawns other than the captured one do not depend on the capture.
  const Bitboard victim_bit = square_bb(victim_square);
  const Bitboard enemy_pawns = position.pieces(victim, PAWN) & ~victim_bit;
  if (enemy_pawns & Attack::pawn_attacks(capturer, king)) return false;
  const Bitboard steady_attackers =
      (position.pieces(victim, KNIGHT) & Attack::knightAttacks[king]) |
      (position.pieces(victim, KING) & Attack::kingAttacks[king]);
  if (steady_attackers) return false;

  const Bitboard diagonal = position.pieces(victim, BISHOP) | position.pieces(victim, QUEEN);
  const Bitboard straight = position.pieces(victim, ROOK) | position.pieces(victim, QUEEN);
  while (candidates) {
    const int from = pop_lsb(candidates);
    const Bitboard occupancy =
        (position.occupied ^ square_bb(from) ^ victim_bit) | square_bb(square);
    if (!(PEXT::bishop_attacks_pext(king, occupancy) & diagonal) &&
        !(PEXT::rook_attacks_pext(king, occupancy) & straight))
      return true;
  }
  return false;
}

int Position::piece_index_from_char(char c) {
  // Indexed by c - 'B' over 'B'..'r'; every other slot is -1.
  static constexpr auto TABLE = [] {
    std::array<signed char, 49> table{};
    table.fill(-1);
    const char letters[] = "PNBRQKpnbrqk";
    for (int piece = 0; piece < 12; ++piece)
      table[letters[piece] - 'B'] = static_cast<signed char>(piece);
    return table;
  }();
  const unsigned index = static_cast<unsigned char>(c - 'B');
  return index < TABLE.size() ? TABLE[index] : -1;
}
