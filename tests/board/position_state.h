// Test helpers that compare whole positions field by field and read the
// public perft suite, whose positions also serve as varied test boards.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "board/position.h"
#include "board/position_fixture.h"
#include "board/zobrist.h"
#include "eval/evalbase.h"
#include "movegen/movegen.h"

// Every derived field must agree with the twelve piece bitboards, and the keys
// and sums with their from-scratch definitions.
inline void expect_consistent(const Position& p) {
  Bitboard colors[2] = {0, 0};
  int mg = 0, eg = 0, phase = 0;
  for (int piece = 0; piece < 12; ++piece) {
    EXPECT_EQ(p.piece_count[piece], popcount(p.piece_bb[piece])) << "piece " << piece;
    colors[piece_color(piece)] |= p.piece_bb[piece];
    for (Bitboard b = p.piece_bb[piece]; b;) {
      const int square = pop_lsb(b);
      EXPECT_EQ(p.board[square], piece) << "square " << square;
      mg += EvalBase::piece_mg(piece, square);
      eg += EvalBase::piece_eg(piece, square);
      phase += EvalBase::piece_phase(piece);
    }
  }
  const Bitboard empty = ~(colors[WHITE] | colors[BLACK]);
  for (Bitboard b = empty; b;) {
    const int square = pop_lsb(b);
    EXPECT_EQ(p.board[square], NO_PIECE) << "square " << square;
  }
  EXPECT_EQ(p.color_bb[WHITE], colors[WHITE]);
  EXPECT_EQ(p.color_bb[BLACK], colors[BLACK]);
  EXPECT_EQ(p.occupied, colors[WHITE] | colors[BLACK]);
  for (const Color c : {WHITE, BLACK}) {
    const Bitboard kings = p.pieces(c, KING);
    EXPECT_EQ(p.king_square[c], kings ? lsb(kings) : NO_SQUARE);
  }
  EXPECT_EQ(p.mg_sum, mg);
  EXPECT_EQ(p.eg_sum, eg);
  EXPECT_EQ(p.phase_sum, phase);
  EXPECT_EQ(p.key, Zobrist::compute_key(p));
  EXPECT_EQ(p.pawn_key, Zobrist::compute_pawn_key(p));
  EXPECT_EQ(p.non_pawn_key, Zobrist::compute_non_pawn_key(p));
  ASSERT_FALSE(p.key_history.empty());
  EXPECT_EQ(p.key_history.back(), p.key);
}

// Expects every field of `actual` to equal `expected`; the pin cache is
// compared only when asked, since generation refreshes it.
inline void expect_same_state(const Position& actual, const Position& expected,
                              bool with_pin_cache = false) {
  for (int piece = 0; piece < 12; ++piece) {
    EXPECT_EQ(actual.piece_bb[piece], expected.piece_bb[piece]) << "piece_bb " << piece;
    EXPECT_EQ(actual.piece_count[piece], expected.piece_count[piece]) << "piece_count " << piece;
  }
  for (int square = 0; square < 64; ++square)
    EXPECT_EQ(actual.board[square], expected.board[square]) << "board " << square;
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(actual.king_square[c], expected.king_square[c]) << "king_square " << c;
    EXPECT_EQ(actual.color_bb[c], expected.color_bb[c]) << "color_bb " << c;
  }
  EXPECT_EQ(actual.occupied, expected.occupied);
  EXPECT_EQ(actual.side, expected.side);
  EXPECT_EQ(actual.castling_rights, expected.castling_rights);
  EXPECT_EQ(actual.ep_square, expected.ep_square);
  EXPECT_EQ(actual.halfmove_clock, expected.halfmove_clock);
  EXPECT_EQ(actual.fullmove_number, expected.fullmove_number);
  EXPECT_EQ(actual.plies_since_null, expected.plies_since_null);
  EXPECT_EQ(actual.key, expected.key);
  EXPECT_EQ(actual.pawn_key, expected.pawn_key);
  EXPECT_EQ(actual.non_pawn_key, expected.non_pawn_key);
  EXPECT_EQ(actual.mg_sum, expected.mg_sum);
  EXPECT_EQ(actual.eg_sum, expected.eg_sum);
  EXPECT_EQ(actual.phase_sum, expected.phase_sum);
  EXPECT_EQ(actual.key_history, expected.key_history);
  if (with_pin_cache) {
    EXPECT_EQ(actual.pinned[WHITE], expected.pinned[WHITE]);
    EXPECT_EQ(actual.pinned[BLACK], expected.pinned[BLACK]);
    for (int square = 0; square < 64; ++square)
      EXPECT_EQ(actual.pin_ray[square], expected.pin_ray[square]) << "pin_ray " << square;
  }
}

// One line of tests/data/perft_suite.txt.
struct PerftSuiteLine {
  std::string fen;
  int depth = 0;
  std::uint64_t nodes = 0, captures = 0, en_passant = 0, castles = 0, promotions = 0;
};

inline std::vector<PerftSuiteLine> read_perft_suite() {
  std::vector<PerftSuiteLine> lines;
  std::ifstream in(std::string(QV_TEST_DATA_DIR) + "/perft_suite.txt");
  EXPECT_TRUE(in.good()) << "cannot open perft_suite.txt";
  for (std::string text; std::getline(in, text);) {
    if (text.empty() || text[0] == '#') continue;
    std::istringstream fields(text);
    PerftSuiteLine line;
    std::string field;
    std::getline(fields, line.fen, ';');
    std::getline(fields, field, ';');
    line.depth = std::stoi(field);
    std::uint64_t* counters[] = {&line.nodes, &line.captures, &line.en_passant, &line.castles,
                                 &line.promotions};
    for (std::uint64_t* counter : counters) {
      std::getline(fields, field, ';');
      *counter = std::stoull(field);
    }
    lines.push_back(line);
  }
  return lines;
}

// The distinct positions of the suite, in file order.
inline std::vector<std::string> perft_suite_fens() {
  std::vector<std::string> fens;
  for (const PerftSuiteLine& line : read_perft_suite())
    if (fens.empty() || fens.back() != line.fen) fens.push_back(line.fen);
  return fens;
}

// The suite's positions and a few more that stress en passant, promotion,
// castling and pins.
inline std::vector<std::string> varied_fens() {
  std::vector<std::string> fens = perft_suite_fens();
  const char* more[] = {
      "rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3",
      "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
      "r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1",
      "r3k2r/1b4bq/8/8/8/8/7B/R3K2R w KQkq - 0 1",
      "7k/8/2p5/Pp1n4/K7/7r/8/8 w - b6 0 1",
      "8/8/1k6/2b5/2pP4/8/5K2/8 b - d3 0 1",
      "3k4/3p4/8/K1P4r/8/8/8/8 b - - 0 1",
      "8/8/4k3/8/2p5/8/B2P2K1/8 w - - 0 1",
      "4k3/8/8/KPp4r/8/8/8/8 w - - 0 2",
  };
  fens.insert(fens.end(), std::begin(more), std::end(more));
  return fens;
}

// Positions reached by random legal walks (fixed seed) of up to `plies` moves
// from each FEN, the start positions included.
inline std::vector<Position> walk_positions(const std::vector<std::string>& fens, int walks,
                                            int plies, unsigned seed = 12345) {
  std::vector<Position> positions;
  std::uint64_t state = seed;
  auto next = [&state] {
    state = state * 6364136223846793005ULL + 1442695040888963407ULL;
    return static_cast<std::size_t>(state >> 33);
  };
  std::vector<unsigned> legal;
  for (const std::string& fen : fens) {
    const Position start = position_from_fen(fen);
    positions.push_back(start);
    for (int walk = 0; walk < walks; ++walk) {
      Position position = start;
      for (int ply = 0; ply < plies; ++ply) {
        MoveGen::generate_legal(position, legal);
        if (legal.empty()) break;
        position.make_move(legal[next() % legal.size()]);
        positions.push_back(position);
      }
    }
  }
  return positions;
}
