#include "board/position.h"

#include <algorithm>
#include <array>
#include <climits>

#include "board/zobrist.h"
#include "eval/evalbase.h"
#include "movegen/attack.h"

namespace {

// Advances a move counter by 0 or 1. A FEN may start the counters anywhere in
// the 32-bit range, so they stop at the maximum instead of overflowing.
constexpr int clock_step(int value, int by) { return value + (by & int(value != INT_MAX)); }

constexpr std::size_t HISTORY_CAPACITY = 256;

// Every placement primitive updates bitboards, mailbox, colour occupancy, key
// terms and (on request) the evaluation sums; `occupied` is left to the caller,
// who rebuilds it once from the colour occupancies. Unmake passes
// Sums = false because it copies the sums back from the undo record.
//
// The key tables are read directly rather than through the Zobrist accessors:
// every Position has run clear(), which filled them, so the accessors' fill
// test would only cost time here.

inline bool is_pawn(int piece) { return piece == W_PAWN || piece == B_PAWN; }
inline bool is_king(int piece) { return piece == W_KING || piece == B_KING; }

// A piece's key terms go into the full key and into exactly one of the pawn
// and non-pawn keys; a mask picks which without a branch.
inline void toggle_piece_keys(Position& p, int piece, std::uint64_t terms) {
  const std::uint64_t pawn_mask = std::uint64_t(0) - std::uint64_t(is_pawn(piece));
  p.key ^= terms;
  p.pawn_key ^= terms & pawn_mask;
  p.non_pawn_key ^= terms & ~pawn_mask;
}

template <bool Sums>
inline void put_piece(Position& p, int piece, int square) {
  const Bitboard bit = square_bb(square);
  p.piece_bb[piece] |= bit;
  p.color_bb[piece_color(piece)] |= bit;
  p.board[square] = piece;
  ++p.piece_count[piece];
  if (is_king(piece)) p.king_square[piece_color(piece)] = square;
  toggle_piece_keys(p, piece, Zobrist::piece_square[piece][square]);
  if constexpr (Sums) {
    p.mg_sum += EvalBase::piece_mg(piece, square);
    p.eg_sum += EvalBase::piece_eg(piece, square);
    p.phase_sum += EvalBase::piece_phase(piece);
  }
}

template <bool Sums>
inline void take_piece(Position& p, int piece, int square) {
  const Bitboard bit = square_bb(square);
  p.piece_bb[piece] ^= bit;
  p.color_bb[piece_color(piece)] ^= bit;
  p.board[square] = NO_PIECE;
  --p.piece_count[piece];
  if (is_king(piece)) p.king_square[piece_color(piece)] = NO_SQUARE;
  toggle_piece_keys(p, piece, Zobrist::piece_square[piece][square]);
  if constexpr (Sums) {
    p.mg_sum -= EvalBase::piece_mg(piece, square);
    p.eg_sum -= EvalBase::piece_eg(piece, square);
    p.phase_sum -= EvalBase::piece_phase(piece);
  }
}

// A piece changing squares: count and phase stay as they are.
template <bool Sums>
inline void shift_piece(Position& p, int piece, int from, int to) {
  const Bitboard bits = square_bb(from) | square_bb(to);
  p.piece_bb[piece] ^= bits;
  p.color_bb[piece_color(piece)] ^= bits;
  p.board[from] = NO_PIECE;
  p.board[to] = piece;
  if (is_king(piece)) p.king_square[piece_color(piece)] = to;
  toggle_piece_keys(p, piece,
                    Zobrist::piece_square[piece][from] ^ Zobrist::piece_square[piece][to]);
  if constexpr (Sums) {
    p.mg_sum += EvalBase::piece_mg(piece, to) - EvalBase::piece_mg(piece, from);
    p.eg_sum += EvalBase::piece_eg(piece, to) - EvalBase::piece_eg(piece, from);
  }
}

inline std::uint64_t castling_term(unsigned rights) { return Zobrist::castling[rights]; }

// Both en-passant terms of a state change; nearly always both squares are
// unset, so one test skips the two table reads.
inline std::uint64_t ep_terms(int old_ep, int new_ep) {
  if (old_ep == NO_SQUARE && new_ep == NO_SQUARE) [[likely]]
    return 0;
  return (old_ep == NO_SQUARE ? 0 : Zobrist::ep_file[file_of(old_ep)]) ^
         (new_ep == NO_SQUARE ? 0 : Zobrist::ep_file[file_of(new_ep)]);
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

constexpr RightsTables RIGHTS_LOST = make_rights_tables();

// The rook's squares for a castling move of `color` whose king lands on
// `king_to`: kingside when the king goes to the g-file square, else queenside.
struct RookHop {
  int from, to;
};
inline RookHop castling_rook(Color color, int king_to) {
  const int base = color == WHITE ? SQ_A1 : SQ_A8;
  return king_to == base + 6 ? RookHop{base + 7, base + 5} : RookHop{base, base + 3};
}

// The undo record of a move (or of a null move, with every move field -1):
// the move's fields and the game state it overwrites.
inline Position::Undo undo_record(const Position& p, unsigned move, int from, int to, int piece,
                                  int promotion, int capture_square) {
  return {.move = move,
          .from = from,
          .to = to,
          .piece = piece,
          .promotion = promotion,
          .captured = NO_PIECE,
          .capture_square = capture_square,
          .castling_rights = p.castling_rights,
          .ep_square = p.ep_square,
          .halfmove_clock = p.halfmove_clock,
          .fullmove_number = p.fullmove_number,
          .plies_since_null = p.plies_since_null,
          .mg_sum = p.mg_sum,
          .eg_sum = p.eg_sum,
          .phase_sum = p.phase_sum,
          .side = p.side,
          .is_null = move == MOVE_NONE};
}

// Both unmakes copy the saved game state back instead of recomputing it.
inline void restore_state(Position& p, const Position::Undo& undo) {
  p.castling_rights = undo.castling_rights;
  p.ep_square = undo.ep_square;
  p.halfmove_clock = undo.halfmove_clock;
  p.fullmove_number = undo.fullmove_number;
  p.plies_since_null = undo.plies_since_null;
  p.mg_sum = undo.mg_sum;
  p.eg_sum = undo.eg_sum;
  p.phase_sum = undo.phase_sum;
  p.side = undo.side;
}

// Placement edits the current position rather than reaching a new one: the
// last history entry is the current position's key, so it follows the key
// instead of growing the history.
inline void sync_after_placement(Position& p) {
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
      side(WHITE),
      pinned{},
      pin_ray{},
      castling_rights(0),
      ep_square(NO_SQUARE),
      halfmove_clock(0),
      fullmove_number(1),
      plies_since_null(0),
      key(0),
      pawn_key(0),
      non_pawn_key(0),
      mg_sum(0),
      eg_sum(0),
      phase_sum(0) {
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
  if (board[square] != NO_PIECE) take_piece<true>(*this, board[square], square);
  // Anything but a piece index only clears the square.
  if (piece >= 0 && piece < 12) put_piece<true>(*this, piece, square);
  sync_after_placement(*this);
}

void Position::remove_piece_at_square(int /*piece*/, int square) {
  if (square < 0 || square > 63 || board[square] == NO_PIECE) return;
  take_piece<true>(*this, board[square], square);
  sync_after_placement(*this);
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
  sync_after_placement(*this);
}

Position::Undo Position::make_move(unsigned move) {
  const int from = move_from(move), to = move_to(move), piece = move_piece(move);
  const int promotion = move_promotion(move);
  const Color us = side, them = ~us;

  Undo undo = undo_record(*this, move, from, to, piece, promotion ? promotion : -1, to);

  key ^= Zobrist::side_to_move;

  if (promotion) {
    if (board[to] != NO_PIECE) {
      undo.captured = board[to];
      take_piece<true>(*this, undo.captured, to);
    }
    take_piece<true>(*this, piece, from);
    put_piece<true>(*this, make_piece(us, promotion), to);
    halfmove_clock = 0;
  } else if (move & MOVE_FLAG_EN_PASSANT) {
    const int capture_square = us == WHITE ? to - 8 : to + 8;
    undo.capture_square = capture_square;
    shift_piece<true>(*this, piece, from, to);
    if (board[capture_square] != NO_PIECE) {
      undo.captured = board[capture_square];
      take_piece<true>(*this, undo.captured, capture_square);
    }
    halfmove_clock = 0;
  } else if (move & MOVE_FLAG_CASTLING) {
    shift_piece<true>(*this, piece, from, to);
    const RookHop rook = castling_rook(us, to);
    const int own_rook = make_piece(us, ROOK);
    if (board[rook.from] == own_rook) shift_piece<true>(*this, own_rook, rook.from, rook.to);
    halfmove_clock = clock_step(halfmove_clock, 1);
  } else {
    if (board[to] != NO_PIECE) {
      undo.captured = board[to];
      take_piece<true>(*this, undo.captured, to);
    }
    shift_piece<true>(*this, piece, from, to);
    const bool resets = is_pawn(piece) || (move & MOVE_FLAG_CAPTURE);
    halfmove_clock = resets ? 0 : clock_step(halfmove_clock, 1);
  }
  occupied = color_bb[WHITE] | color_bb[BLACK];

  const unsigned old_rights = castling_rights;
  castling_rights =
      old_rights & ~unsigned(RIGHTS_LOST.on_move[piece][from] |
                             RIGHTS_LOST.on_capture[undo.captured + 1][undo.capture_square]);

  // The en-passant square is recorded only when the capture could really be
  // made, so that unusable squares do not split positions in the hash.
  const int old_ep = ep_square;
  ep_square = NO_SQUARE;
  const int rank_gap = rank_of(to) - rank_of(from);
  if (is_pawn(piece) && !promotion && (rank_gap == 2 || rank_gap == -2)) {
    const int candidate = (from + to) / 2;
    if (has_legal_en_passant_capture(*this, candidate, them)) ep_square = candidate;
  }

  // Equal sets cancel, so the castling terms need no test.
  key ^= castling_term(old_rights) ^ castling_term(castling_rights);
  key ^= ep_terms(old_ep, ep_square);

  fullmove_number = clock_step(fullmove_number, us);
  side = them;
  ++plies_since_null;
  key_history.push_back(key);
  return undo;
}

void Position::unmake_move(const Undo& undo) {
  if (!key_history.empty()) key_history.pop_back();
  key ^= Zobrist::side_to_move ^ ep_terms(ep_square, undo.ep_square);
  key ^= castling_term(castling_rights) ^ castling_term(undo.castling_rights);

  const Color us = undo.side;
  if (undo.promotion != -1) {
    take_piece<false>(*this, board[undo.to], undo.to);
    put_piece<false>(*this, undo.piece, undo.from);
  } else if (undo.move & MOVE_FLAG_CASTLING) {
    shift_piece<false>(*this, undo.piece, undo.to, undo.from);
    const RookHop rook = castling_rook(us, undo.to);
    const int own_rook = make_piece(us, ROOK);
    if (board[rook.to] == own_rook) shift_piece<false>(*this, own_rook, rook.to, rook.from);
  } else {
    shift_piece<false>(*this, undo.piece, undo.to, undo.from);
  }
  if (undo.captured != NO_PIECE) put_piece<false>(*this, undo.captured, undo.capture_square);
  occupied = color_bb[WHITE] | color_bb[BLACK];

  restore_state(*this, undo);
}

Position::Undo Position::make_null_move() {
  const Undo undo = undo_record(*this, MOVE_NONE, NO_SQUARE, NO_SQUARE, NO_PIECE, -1, NO_SQUARE);

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
  restore_state(*this, undo);
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
