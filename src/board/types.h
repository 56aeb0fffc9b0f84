// Squares, colours, pieces, castling bits and the bitboard helpers every
// module shares. All of them are plain integers.
#pragma once

#include <bit>
#include <cstdint>

using Bitboard = std::uint64_t;

// Square: a1 = 0, b1 = 1, ..., h1 = 7, a2 = 8, ..., h8 = 63.
constexpr int NO_SQUARE = -1;
constexpr int SQ_A1 = 0, SQ_B1 = 1, SQ_C1 = 2, SQ_D1 = 3, SQ_E1 = 4, SQ_F1 = 5, SQ_G1 = 6, SQ_H1 = 7;
constexpr int SQ_A8 = 56, SQ_B8 = 57, SQ_C8 = 58, SQ_D8 = 59, SQ_E8 = 60, SQ_F8 = 61, SQ_G8 = 62,
              SQ_H8 = 63;

constexpr int file_of(int square) { return square & 7; }
constexpr int rank_of(int square) { return square >> 3; }
constexpr int make_square(int file, int rank) { return rank * 8 + file; }

enum Color : int { WHITE = 0, BLACK = 1 };
constexpr Color operator~(Color c) { return Color(c ^ 1); }

// Piece types and piece indices (colour * 6 + type).
constexpr int PAWN = 0, KNIGHT = 1, BISHOP = 2, ROOK = 3, QUEEN = 4, KING = 5;
constexpr int NO_PIECE = -1;
constexpr int W_PAWN = 0, W_KNIGHT = 1, W_BISHOP = 2, W_ROOK = 3, W_QUEEN = 4, W_KING = 5;
constexpr int B_PAWN = 6, B_KNIGHT = 7, B_BISHOP = 8, B_ROOK = 9, B_QUEEN = 10, B_KING = 11;

constexpr int piece_type(int piece) { return piece % 6; }
constexpr Color piece_color(int piece) { return Color(piece > 5); }
constexpr int make_piece(Color color, int type) { return color * 6 + type; }

// The letter of a piece: upper case for White, lower case for Black.
constexpr char piece_char(int piece) {
  constexpr char LETTERS[] = "PNBRQKpnbrqk";
  return LETTERS[piece];
}

// Castling-right bits; the set (0 to 15) also indexes the castling keys.
constexpr unsigned CASTLE_WHITE_KINGSIDE = 1;
constexpr unsigned CASTLE_WHITE_QUEENSIDE = 2;
constexpr unsigned CASTLE_BLACK_KINGSIDE = 4;
constexpr unsigned CASTLE_BLACK_QUEENSIDE = 8;

// Bitboard helpers.
constexpr Bitboard ALL_SQUARES = ~Bitboard(0);
constexpr Bitboard FILE_A_BB = 0x0101010101010101ULL;
constexpr Bitboard FILE_H_BB = FILE_A_BB << 7;
constexpr Bitboard RANK_1_BB = 0xFFULL;
constexpr Bitboard RANK_8_BB = RANK_1_BB << 56;

constexpr Bitboard square_bb(int square) { return Bitboard(1) << square; }
constexpr Bitboard file_bb(int file) { return FILE_A_BB << file; }
constexpr Bitboard rank_bb(int rank) { return RANK_1_BB << (8 * rank); }
constexpr int popcount(Bitboard b) { return std::popcount(b); }
constexpr int lsb(Bitboard b) { return std::countr_zero(b); }
constexpr int msb(Bitboard b) { return 63 - std::countl_zero(b); }
constexpr bool more_than_one(Bitboard b) { return (b & (b - 1)) != 0; }
// Returns the lowest square of b and clears it; b must not be empty.
inline int pop_lsb(Bitboard& b) {
  const int square = lsb(b);
  b &= b - 1;
  return square;
}
