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

// Every placement primitive updates bitboards, mailbox, colour occupancy,
// count and king square at once, and gathers its key terms and (on request)
// evaluation terms in a Changes record that the caller applies once: in
// make/unmake the record lives in registers. `occupied` is left to the
// caller too, who rebuilds it once from the colour occupancies. Unmake passes
// Sums = false because it copies the sums back from the undo record.
//
// The key tables are read directly rather than through the Zobrist accessors:
// every Position has run clear(), which filled them, so the accessors' fill
// test would only cost time here.

inline bool is_pawn(int piece) { return piece == W_PAWN || piece == B_PAWN; }
inline bool is_king(int piece) { return piece == W_KING || piece == B_KING; }
// The phase weight of a piece, without the division of piece_type.
inline int phase_of(int piece) { return EvalBase::PHASE_VALUE[piece - 6 * piece_color(piece)]; }

// A piece's key terms go into the full key and into exactly one of the pawn
// and non-pawn keys; a mask per piece index (all ones for a pawn) picks which
// without a branch.
constexpr std::uint64_t PAWN_MASK[12] = {~0ULL, 0, 0, 0, 0, 0, ~0ULL, 0, 0, 0, 0, 0};

struct Changes {
  std::uint64_t keys = 0;       // every piece-square key term toggled
  std::uint64_t pawn_keys = 0;  // the pawns' share of them
  int mg = 0, eg = 0, phase = 0;

  void toggle(int piece, std::uint64_t terms) {
    keys ^= terms;
    pawn_keys ^= terms & PAWN_MASK[piece];
  }
};

// The pawn and non-pawn keys; the full key is the caller's, who adds the
// game-state terms to it.
inline void apply_piece_keys(Position& p, const Changes& c) {
  p.pawn_key ^= c.pawn_keys;
  p.non_pawn_key ^= c.keys ^ c.pawn_keys;
}

inline void apply_sums(Position& p, const Changes& c) {
  p.mg_sum += c.mg;
  p.eg_sum += c.eg;
  p.phase_sum += c.phase;
}

template <bool Sums>
inline void put_piece(Position& p, int piece, int square, Changes& c) {
  const Bitboard bit = square_bb(square);
  p.piece_bb[piece] |= bit;
  p.color_bb[piece_color(piece)] |= bit;
  p.board[square] = piece;
  ++p.piece_count[piece];
  if (is_king(piece)) p.king_square[piece_color(piece)] = square;
  c.toggle(piece, Zobrist::piece_square[piece][square]);
  if constexpr (Sums) {
    c.mg += EvalBase::piece_mg(piece, square);
    c.eg += EvalBase::piece_eg(piece, square);
    c.phase += phase_of(piece);
  }
}

template <bool Sums>
inline void take_piece(Position& p, int piece, int square, Changes& c) {
  const Bitboard bit = square_bb(square);
  p.piece_bb[piece] ^= bit;
  p.color_bb[piece_color(piece)] ^= bit;
  p.board[square] = NO_PIECE;
  --p.piece_count[piece];
  if (is_king(piece)) p.king_square[piece_color(piece)] = NO_SQUARE;
  c.toggle(piece, Zobrist::piece_square[piece][square]);
  if constexpr (Sums) {
    c.mg -= EvalBase::piece_mg(piece, square);
    c.eg -= EvalBase::piece_eg(piece, square);
    c.phase -= phase_of(piece);
  }
}

// A piece changing squares: count and phase stay as they are.
template <bool Sums>
inline void shift_piece(Position& p, int piece, int from, int to, Changes& c) {
  const Bitboard bits = square_bb(from) | square_bb(to);
  p.piece_bb[piece] ^= bits;
  p.color_bb[piece_color(piece)] ^= bits;
  p.board[from] = NO_PIECE;
  p.board[to] = piece;
  if (is_king(piece)) p.king_square[piece_color(piece)] = to;
  c.toggle(piece, Zobrist::piece_square[piece][from] ^ Zobrist::piece_square[piece][to]);
  if constexpr (Sums) {
    c.mg += EvalBase::piece_mg(piece, to) - EvalBase::piece_mg(piece, from);
    c.eg += EvalBase::piece_eg(piece, to) - EvalBase::piece_eg(piece, from);
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
constexpr Bitboard CORNERS =
    square_bb(SQ_A1) | square_bb(SQ_H1) | square_bb(SQ_A8) | square_bb(SQ_H8);

// The rook's squares for a castling move of `color` whose king lands on
// `king_to`: kingside when the king goes to the g-file square, else queenside.
struct RookHop {
  int from, to;
};
inline RookHop castling_rook(Color color, int king_to) {
  const int base = color == WHITE ? SQ_A1 : SQ_A8;
  return king_to == base + 6 ? RookHop{base + 7, base + 5} : RookHop{base, base + 3};
}

// Moves that touch more than one square pair or change a piece's kind.
constexpr unsigned SPECIAL_MOVE_BITS =
    MOVE_PROMOTION_MASK | MOVE_FLAG_EN_PASSANT | MOVE_FLAG_CASTLING;

// What a move removed from the board: the captured piece (or NO_PIECE) and
// the square it stood on.
struct Capture {
  int piece, square;
};

// The rarer board changes of make_move: promotion, en passant and castling,
// with their key and sum changes applied (the full key's included). Kept out
// of line so that the plain-move path stays small.
[[gnu::noinline]] Capture make_special_move(Position& p, unsigned move) {
  const int from = move_from(move), to = move_to(move), piece = move_piece(move);
  const Color us = p.side;
  Capture capture{NO_PIECE, to};
  Changes c;
  if (const int promotion = move_promotion(move)) {
    if (p.board[to] != NO_PIECE) {
      capture.piece = p.board[to];
      take_piece<true>(p, capture.piece, to, c);
    }
    take_piece<true>(p, piece, from, c);
    put_piece<true>(p, make_piece(us, promotion), to, c);
    p.halfmove_clock = 0;
  } else if (move & MOVE_FLAG_EN_PASSANT) {
    capture.square = us == WHITE ? to - 8 : to + 8;
    shift_piece<true>(p, piece, from, to, c);
    if (p.board[capture.square] != NO_PIECE) {
      capture.piece = p.board[capture.square];
      take_piece<true>(p, capture.piece, capture.square, c);
    }
    p.halfmove_clock = 0;
  } else {
    shift_piece<true>(p, piece, from, to, c);
    const RookHop rook = castling_rook(us, to);
    const int own_rook = make_piece(us, ROOK);
    if (p.board[rook.from] == own_rook) shift_piece<true>(p, own_rook, rook.from, rook.to, c);
    p.halfmove_clock = clock_step(p.halfmove_clock, 1);
  }
  p.key ^= c.keys;
  apply_piece_keys(p, c);
  apply_sums(p, c);
  return capture;
}

// Undoes the board changes of a promotion or castling move, with the pawn and
// non-pawn keys (the caller sets the full key).
[[gnu::noinline]] void unmake_special_move(Position& p, const Position::Undo& undo) {
  Changes c;
  if (undo.promotion != -1) {
    take_piece<false>(p, p.board[undo.to], undo.to, c);
    put_piece<false>(p, undo.piece, undo.from, c);
  } else {
    const Color us = undo.side;
    shift_piece<false>(p, undo.piece, undo.to, undo.from, c);
    const RookHop rook = castling_rook(us, undo.to);
    const int own_rook = make_piece(us, ROOK);
    if (p.board[rook.to] == own_rook) shift_piece<false>(p, own_rook, rook.to, rook.from, c);
  }
  if (undo.captured != NO_PIECE) put_piece<false>(p, undo.captured, undo.capture_square, c);
  apply_piece_keys(p, c);
}

// The undo record of a move (or of a null move, with every move field -1):
// the move's fields and the game state it overwrites, written into the
// caller's record (the one it returns, so no copy is made).
inline void fill_undo(Position::Undo& undo, const Position& p, unsigned move, int from, int to,
                      int piece, int promotion) {
  undo.move = move;
  undo.from = from;
  undo.to = to;
  undo.piece = piece;
  undo.promotion = promotion;
  undo.captured = NO_PIECE;
  undo.capture_square = to;
  undo.castling_rights = p.castling_rights;
  undo.ep_square = p.ep_square;
  undo.halfmove_clock = p.halfmove_clock;
  undo.fullmove_number = p.fullmove_number;
  undo.plies_since_null = p.plies_since_null;
  undo.mg_sum = p.mg_sum;
  undo.eg_sum = p.eg_sum;
  undo.phase_sum = p.phase_sum;
  undo.side = p.side;
  undo.is_null = move == MOVE_NONE;
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
inline void sync_after_placement(Position& p, const Changes& c) {
  p.key ^= c.keys;
  apply_piece_keys(p, c);
  apply_sums(p, c);
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
  Changes changes;
  if (board[square] != NO_PIECE) take_piece<true>(*this, board[square], square, changes);
  // Anything but a piece index only clears the square.
  if (piece >= 0 && piece < 12) put_piece<true>(*this, piece, square, changes);
  sync_after_placement(*this, changes);
}

void Position::remove_piece_at_square(int /*piece*/, int square) {
  if (square < 0 || square > 63 || board[square] == NO_PIECE) return;
  Changes changes;
  take_piece<true>(*this, board[square], square, changes);
  sync_after_placement(*this, changes);
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
  sync_after_placement(*this, Changes{});
}

// Without straight-line vectorisation: it would gather the saved fields into
// vector registers to store the undo record, which costs more than the plain
// stores it replaces.
[[gnu::optimize("no-tree-slp-vectorize")]] Position::Undo Position::make_move(unsigned move) {
  const int from = move_from(move), to = move_to(move), piece = move_piece(move);
  const int promotion = move_promotion(move);
  const Color us = side;

  // The record is written first (the capture fields again last) and never
  // read back: the compiler cannot tell it apart from this position's fields,
  // so a store into it between reads of them would force reloads.
  Undo undo;
  fill_undo(undo, *this, move, from, to, piece, promotion ? promotion : -1);
  // Compiler barrier: the fields just saved are read again from memory where
  // needed instead of being kept in registers, and spilled, across the whole
  // move.
  asm volatile("" ::: "memory");

  Capture capture{NO_PIECE, to};
  std::uint64_t new_key;
  if (!(move & SPECIAL_MOVE_BITS)) [[likely]] {
    // Plain move or capture: the key and sum changes gather in registers and
    // are stored once.
    Changes changes;
    if (const int captured = board[to]; captured != NO_PIECE) {
      capture.piece = captured;
      take_piece<true>(*this, captured, to, changes);
    }
    shift_piece<true>(*this, piece, from, to, changes);
    apply_piece_keys(*this, changes);
    apply_sums(*this, changes);
    new_key = key ^ changes.keys;
    const bool resets = is_pawn(piece) || (move & MOVE_FLAG_CAPTURE);
    halfmove_clock = resets ? 0 : clock_step(halfmove_clock, 1);
  } else {
    capture = make_special_move(*this, move);
    new_key = key;
  }
  occupied = color_bb[WHITE] | color_bb[BLACK];
  new_key ^= Zobrist::side_to_move;

  // Rights are lost only through a king move, a move from a corner or a
  // capture on one; every other move (and a position without rights) skips
  // the table reads.
  const Bitboard corner_touched = (square_bb(from) | square_bb(capture.square)) & CORNERS;
  if (const unsigned old_rights = castling_rights;
      old_rights && (is_king(piece) || corner_touched)) {
    const unsigned new_rights =
        old_rights & ~unsigned(RIGHTS_LOST.on_move[piece][from] |
                               RIGHTS_LOST.on_capture[capture.piece + 1][capture.square]);
    if (new_rights != old_rights) {
      castling_rights = new_rights;
      new_key ^= castling_term(old_rights) ^ castling_term(new_rights);
    }
  }

  if (const int old_ep = ep_square; old_ep != NO_SQUARE) {
    new_key ^= Zobrist::ep_file[file_of(old_ep)];
    ep_square = NO_SQUARE;
  }
  // The en-passant square is recorded only when the capture could really be
  // made, so that unusable squares do not split positions in the hash.
  if (is_pawn(piece) && !promotion) {
    const int rank_gap = rank_of(to) - rank_of(from);
    if (rank_gap == 2 || rank_gap == -2) {
      const int candidate = (from + to) / 2;
      // Most double pushes land beside no enemy pawn: skip the full test.
      if ((pieces(~us, PAWN) & Attack::pawn_attacks(us, candidate)) &&
          has_legal_en_passant_capture(*this, candidate, ~us)) {
        ep_square = candidate;
        new_key ^= Zobrist::ep_file[file_of(candidate)];
      }
    }
  }

  key = new_key;
  fullmove_number = clock_step(fullmove_number, us);
  side = ~us;
  ++plies_since_null;
  key_history.push_back(new_key);
  undo.captured = capture.piece;
  undo.capture_square = capture.square;
  return undo;
}

void Position::unmake_move(const Undo& undo) {
  // The full key comes from the history below, so only the pawn and
  // non-pawn keys are restored by the pieces' terms.
  if (!(undo.move & MOVE_FLAG_CASTLING) && undo.promotion == -1) [[likely]] {
    Changes changes;
    shift_piece<false>(*this, undo.piece, undo.to, undo.from, changes);
    if (undo.captured != NO_PIECE)
      put_piece<false>(*this, undo.captured, undo.capture_square, changes);
    apply_piece_keys(*this, changes);
  } else {
    unmake_special_move(*this, undo);
  }
  occupied = color_bb[WHITE] | color_bb[BLACK];
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

Position::Undo Position::make_null_move() {
  Undo undo;
  fill_undo(undo, *this, MOVE_NONE, NO_SQUARE, NO_SQUARE, NO_PIECE, -1);

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
