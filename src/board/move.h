// The 32-bit move encoding: from (bits 0-5), to (6-11), moving piece index
// (12-15), promotion type (16-19) and four flags. 0 is "no move".
#pragma once

#include <string>

#include "board/types.h"

constexpr unsigned MOVE_NONE = 0;
constexpr unsigned MOVE_FLAG_CAPTURE = 0x100000;
constexpr unsigned MOVE_FLAG_DOUBLE_PUSH = 0x200000;
constexpr unsigned MOVE_FLAG_EN_PASSANT = 0x400000;
constexpr unsigned MOVE_FLAG_CASTLING = 0x800000;
constexpr unsigned MOVE_PROMOTION_MASK = 0xF0000;

// The four castling moves, encoded as the king's two-square step.
constexpr unsigned MOVE_WHITE_OO = 0x805184;
constexpr unsigned MOVE_WHITE_OOO = 0x805084;
constexpr unsigned MOVE_BLACK_OO = 0x80BFBC;
constexpr unsigned MOVE_BLACK_OOO = 0x80BEBC;

constexpr int move_from(unsigned m) { return int(m & 63); }
constexpr int move_to(unsigned m) { return int((m >> 6) & 63); }
constexpr int move_piece(unsigned m) { return int((m >> 12) & 15); }
constexpr int move_promotion(unsigned m) { return int((m >> 16) & 15); }
constexpr bool move_is_promotion(unsigned m) { return (m & MOVE_PROMOTION_MASK) != 0; }
constexpr bool move_is_capture(unsigned m) { return (m & MOVE_FLAG_CAPTURE) != 0; }
constexpr bool move_is_en_passant(unsigned m) { return (m & MOVE_FLAG_EN_PASSANT) != 0; }
constexpr bool move_is_castling(unsigned m) { return (m & MOVE_FLAG_CASTLING) != 0; }
constexpr bool move_is_double_push(unsigned m) { return (m & MOVE_FLAG_DOUBLE_PUSH) != 0; }

constexpr unsigned make_move_value(int from, int to, int piece, int promotion = 0,
                                   unsigned flags = 0) {
  return unsigned(from) | (unsigned(to) << 6) | (unsigned(piece) << 12) |
         (unsigned(promotion) << 16) | flags;
}

// Coordinate notation: "e2e4", "e7e8q", castling as the king's move, "0000"
// for no move. Flags are not consulted.
std::string move_to_uci(unsigned move);
