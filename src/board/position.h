// Position: piece bitboards, mailbox, occupancies, the FEN game state, three
// incrementally kept hash keys (full, pawn, non-pawn), three incrementally
// kept evaluation sums and the key history used for repetition detection.
// A value type: copies are independent and are never shared between threads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/move.h"
#include "board/types.h"

// The keys of the positions of a game, oldest first. A copy gets room for a
// whole search line beyond its entries, so the pushes of make_move never
// reallocate while a copied position is searched.
struct KeyHistory : std::vector<std::uint64_t> {
  static constexpr std::size_t SPARE = 256;

  KeyHistory() = default;
  KeyHistory(const KeyHistory& other) : std::vector<std::uint64_t>() { copy_from(other); }
  KeyHistory& operator=(const KeyHistory& other) {
    if (this != &other) copy_from(other);
    return *this;
  }
  KeyHistory(KeyHistory&&) noexcept = default;
  KeyHistory& operator=(KeyHistory&&) noexcept = default;

 private:
  void copy_from(const KeyHistory& other) {
    reserve(other.size() + SPARE);
    assign(other.begin(), other.end());
  }
};

class Position {
 public:
  // The record make_move / make_null_move return and the matching unmake
  // consumes, in last-in first-out order.
  struct Undo {
    unsigned move = MOVE_NONE;
    int from = NO_SQUARE, to = NO_SQUARE;
    int piece = NO_PIECE;
    int promotion = -1;
    int captured = NO_PIECE;
    int capture_square = NO_SQUARE;
    unsigned castling_rights = 0;
    int ep_square = NO_SQUARE;
    int halfmove_clock = 0;
    int fullmove_number = 1;
    int plies_since_null = 0;
    int mg_sum = 0, eg_sum = 0, phase_sum = 0;
    Color side = WHITE;
    bool is_null = false;
  };

  Bitboard piece_bb[12];
  int board[64];
  int piece_count[12];
  int king_square[2];
  Bitboard color_bb[2];
  Bitboard occupied;
  Bitboard pinned[2];    // pin cache, written only by compute_pins
  Bitboard pin_ray[64];  // pin cache: pinner-to-king line of a pinned square
  std::uint64_t key;
  std::uint64_t pawn_key;
  std::uint64_t non_pawn_key;
  // The game state a move saves in its Undo, in the record's order, so that
  // saving and restoring it are block copies.
  unsigned castling_rights;
  int ep_square;  // set only when a legal en-passant capture exists
  int halfmove_clock;
  int fullmove_number;
  int plies_since_null;
  int mg_sum;
  int eg_sum;
  int phase_sum;
  Color side;
  KeyHistory key_history;  // oldest first; last entry == key

  Position();
  void clear();

  // Placement. Out-of-range squares are ignored; set replaces an occupant.
  void set_piece_at_square(int piece, int square);
  void remove_piece_at_square(int piece, int square);
  // Rebuilds mailbox, counts, occupancies, king squares, sums and keys from
  // the twelve piece bitboards.
  void recompute_occupancies();

  // Inline, in board/make_move.h.
  Undo make_move(unsigned move);
  void unmake_move(const Undo& undo);
  Undo make_null_move();
  void unmake_null_move(const Undo& undo);

  // FEN text in and out (fen.cpp). set_from_fen returns false and replaces
  // error with one message on failure.
  bool set_from_fen(const std::string& fen, std::string& error);
  std::string to_fen() const;
  std::string board_visual() const;

  // Queries (position_queries.cpp; is_square_attacked, attackers_to,
  // in_check and checker_mask inline, in board/position_attacks.h).
  bool is_square_attacked(int square, Color by) const;
  // Pieces of colour `by` attacking `square` through `occupancy`, kings included.
  Bitboard attackers_to(int square, Color by, Bitboard occupancy) const;
  bool in_check(Color c) const;
  void compute_pins(Color c);
  Bitboard checker_mask(Color c) const;
  Bitboard check_block_mask(Color c) const;
  bool is_move_legal(unsigned move) const;
  int repetition_count() const;
  bool is_threefold_repetition() const;
  bool has_non_pawn_material(Color c) const;
  bool has_insufficient_material() const;

  // Defined with the move generator, which it uses.
  bool has_any_legal_move();

  // Piece index for one of "PNBRQKpnbrqk", -1 for any other character.
  static int piece_index_from_char(char c);

  int piece_on(int square) const { return board[square]; }
  Bitboard pieces(Color c, int type) const { return piece_bb[make_piece(c, type)]; }
};

// True if `capturer` has a pawn that can capture en passant on `square`
// without leaving its own king attacked.
bool has_legal_en_passant_capture(const Position& position, int square, Color capturer);

// The definitions of make_move and unmake_move, and of the attack queries.
#include "board/make_move.h"         // IWYU pragma: export
#include "board/position_attacks.h"  // IWYU pragma: export
