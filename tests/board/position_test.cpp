#include "board/position.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "board/position_fixture.h"
#include "board/position_state.h"
#include "board/zobrist.h"
#include "eval/evalbase.h"
#include "movegen/movegen.h"

namespace {

const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string KIWIPETE = "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Makes the legal move `text`, failing the test if it is not legal.
Position::Undo play(Position& p, const std::string& text) {
  const unsigned move = find_legal_move(p, text);
  EXPECT_NE(move, MOVE_NONE) << text;
  return p.make_move(move);
}

void play_all(Position& p, const std::vector<std::string>& texts) {
  for (const std::string& text : texts) play(p, text);
}

TEST(PositionState, ConstructionGivesAnEmptyBoardWithOneHistoryEntry) {
  const Position p;
  expect_consistent(p);
  EXPECT_EQ(p.occupied, 0u);
  EXPECT_EQ(p.side, WHITE);
  EXPECT_EQ(p.ep_square, NO_SQUARE);
  EXPECT_EQ(p.fullmove_number, 1);
  EXPECT_EQ(p.key, Zobrist::castling_key(0));
  EXPECT_EQ(p.pawn_key, 0u);
  EXPECT_EQ(p.non_pawn_key, 0u);
  ASSERT_EQ(p.key_history.size(), 1u);
  EXPECT_GE(p.key_history.capacity(), 256u);
}

TEST(PositionState, ClearResetsEverythingButKeepsHistoryRoom) {
  Position p = position_from_fen(KIWIPETE);
  play_all(p, {"e1g1", "a6e2"});
  p.compute_pins(WHITE);
  p.clear();
  expect_same_state(p, Position());
  EXPECT_EQ(p.pinned[WHITE], 0u);
  EXPECT_EQ(p.pinned[BLACK], 0u);
  for (int square = 0; square < 64; ++square) EXPECT_EQ(p.pin_ray[square], 0u);
  EXPECT_GE(p.key_history.capacity(), 256u);
}

TEST(PositionState, PlacementKeepsEveryDerivedFieldCurrent) {
  Position p;
  p.set_piece_at_square(W_KING, SQ_E1);
  p.set_piece_at_square(B_KING, SQ_E8);
  p.set_piece_at_square(W_PAWN, 12);
  p.set_piece_at_square(B_QUEEN, 35);
  expect_consistent(p);
  EXPECT_EQ(p.king_square[WHITE], SQ_E1);
  EXPECT_EQ(p.phase_sum, 4);

  // Replacing an occupant removes it first; a pawn leaves the non-pawn key alone.
  const std::uint64_t non_pawn_before = p.non_pawn_key;
  p.set_piece_at_square(B_PAWN, 12);
  EXPECT_EQ(p.piece_count[W_PAWN], 0);
  EXPECT_EQ(p.board[12], B_PAWN);
  EXPECT_EQ(p.non_pawn_key, non_pawn_before);
  expect_consistent(p);

  // The piece argument of remove is not consulted; a removed king is absent.
  p.remove_piece_at_square(W_PAWN, 35);
  EXPECT_EQ(p.piece_count[B_QUEEN], 0);
  p.remove_piece_at_square(W_KING, SQ_E1);
  EXPECT_EQ(p.king_square[WHITE], NO_SQUARE);
  expect_consistent(p);

  // Out-of-range squares and empty squares change nothing.
  const Position before = p;
  p.set_piece_at_square(W_ROOK, 64);
  p.set_piece_at_square(W_ROOK, -1);
  p.remove_piece_at_square(W_ROOK, 64);
  p.remove_piece_at_square(W_ROOK, -1);
  p.remove_piece_at_square(W_ROOK, 20);
  expect_same_state(p, before);
}

TEST(PositionState, RecomputeOccupanciesRebuildsFromTheBitboards) {
  const Position reference = position_from_fen(KIWIPETE);
  Position p;
  for (int piece = 0; piece < 12; ++piece) p.piece_bb[piece] = reference.piece_bb[piece];
  p.castling_rights = reference.castling_rights;
  p.recompute_occupancies();
  expect_consistent(p);
  EXPECT_EQ(p.key, reference.key);
  EXPECT_EQ(p.mg_sum, reference.mg_sum);
  // History and game state are left as they were.
  EXPECT_EQ(p.key_history.size(), 1u);

  // Several kings of one colour: the highest square is the king square.
  p.piece_bb[W_KING] |= square_bb(SQ_H1) | square_bb(SQ_A1 + 16);
  p.piece_bb[W_ROOK] &= ~square_bb(SQ_H1);
  p.recompute_occupancies();
  EXPECT_EQ(p.king_square[WHITE], 16);  // a3 is above e1 and h1
  EXPECT_EQ(p.piece_count[W_KING], 3);
}

TEST(PositionMakeMove, RecordsEnPassantOnlyWhenTheCaptureIsLegal) {
  struct Case {
    const char* name;
    std::string fen;
    std::vector<std::string> moves;
    int expected_ep;
  };
  const Case cases[] = {
      {"no pawn can capture", START, {"e2e4"}, NO_SQUARE},
      {"capture available", START, {"e2e4", "a7a6", "e4e5", "d7d5"}, 43},
      // Capturing would open the rank between the black king and the rook.
      {"capturer pinned along the rank", "8/8/8/8/k2p3R/8/4P3/4K3 w - - 0 1", {"e2e4"}, NO_SQUARE},
      // The same, but a second black pawn keeps the rank closed after dxe3.
      {"second pawn keeps the rank shut", "8/8/8/8/k2p1p1R/8/4P3/4K3 w - - 0 1", {"e2e4"}, 20},
      // The double push gives check; taking it en passant answers the check.
      {"capture answers the check", "8/8/8/5k2/3p4/8/4P3/4K3 w - - 0 1", {"e2e4"}, 20},
      // A capturer pinned on a diagonal cannot leave it...
      {"capturer pinned on a diagonal", "7B/8/8/8/3p4/8/4P3/k3K3 w - - 0 1", {"e2e4"}, NO_SQUARE},
      // ...but may capture along it.
      {"capture along the pin line", "k7/8/8/8/3p4/8/4P3/4K1B1 w - - 0 1", {"e2e4"}, 20},
      {"black double push", "4k3/3p4/8/4P3/8/8/8/4K3 b - - 0 1", {"d7d5"}, 43},
      {"bishop pins the white capturer", "4k2b/3p4/8/4P3/8/8/8/K7 b - - 0 1", {"d7d5"}, NO_SQUARE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Position p = position_from_fen(c.fen);
    play_all(p, c.moves);
    EXPECT_EQ(p.ep_square, c.expected_ep);
    expect_consistent(p);
    // With no usable square the key carries no en-passant term at all.
    if (c.expected_ep == NO_SQUARE) {
      Position without = p;
      without.ep_square = NO_SQUARE;
      EXPECT_EQ(p.key, Zobrist::compute_key(without));
    }
  }
}

TEST(PositionMakeMove, EnPassantCaptureRemovesThePawnBehind) {
  Position p = position_from_fen(START);
  play_all(p, {"e2e4", "a7a6", "e4e5", "d7d5"});
  const Position before = p;
  const Position::Undo undo = play(p, "e5d6");
  EXPECT_EQ(undo.captured, B_PAWN);
  EXPECT_EQ(undo.capture_square, 35);  // d5
  EXPECT_EQ(p.board[35], NO_PIECE);
  EXPECT_EQ(p.board[43], W_PAWN);
  EXPECT_EQ(p.halfmove_clock, 0);
  expect_consistent(p);
  p.unmake_move(undo);
  expect_same_state(p, before);
}

TEST(PositionMakeMove, CastlingMovesBothPiecesAndCountsAsQuiet) {
  struct Case {
    std::string fen, move;
    int king_to, rook_from, rook_to;
    unsigned rights_after;
  };
  const std::string both = "r3k2r/8/8/8/8/8/8/R3K2R ";
  const Case cases[] = {
      {both + "w KQkq - 5 9", "e1g1", SQ_G1, SQ_H1, SQ_F1, 12},
      {both + "w KQkq - 5 9", "e1c1", SQ_C1, SQ_A1, SQ_D1, 12},
      {both + "b KQkq - 5 9", "e8g8", SQ_G8, SQ_H8, SQ_F8, 3},
      {both + "b KQkq - 5 9", "e8c8", SQ_C8, SQ_A8, SQ_D8, 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.move);
    Position p = position_from_fen(c.fen);
    const Position before = p;
    const Color us = p.side;
    const Position::Undo undo = play(p, c.move);
    EXPECT_EQ(p.board[c.king_to], make_piece(us, KING));
    EXPECT_EQ(p.board[c.rook_to], make_piece(us, ROOK));
    EXPECT_EQ(p.board[c.rook_from], NO_PIECE);
    EXPECT_EQ(p.king_square[us], c.king_to);
    EXPECT_EQ(p.halfmove_clock, 6);
    EXPECT_EQ(p.castling_rights, c.rights_after);
    expect_consistent(p);
    p.unmake_move(undo);
    expect_same_state(p, before);
  }
}

TEST(PositionMakeMove, CastlingRightsFollowKingAndRookMovesAndCaptures) {
  struct Case {
    std::string fen, move;
    unsigned rights_after;
  };
  const std::string both = "r3k2r/8/8/8/8/8/8/R3K2R ";
  const Case cases[] = {
      {both + "w KQkq - 0 1", "e1e2", 12},
      {both + "w KQkq - 0 1", "a1b1", 13},
      {both + "w KQkq - 0 1", "h1g1", 14},
      {both + "b KQkq - 0 1", "a8b8", 7},
      {both + "b KQkq - 0 1", "h8g8", 11},
      {both + "b KQkq - 0 1", "e8d8", 3},
      // Rook takes rook on the corner: both sides lose that wing.
      {both + "w KQkq - 0 1", "h1h8", 10},
      {both + "b KQkq - 0 1", "a8a1", 5},
      // A promoting pawn that captures the rook on h8 removes Black's kingside right.
      {"r3k2r/6P1/8/8/8/8/8/4K3 w kq - 0 1", "g7h8q", 8},
      {"r3k2r/6P1/8/8/8/8/8/4K3 w kq - 0 1", "g7h8n", 8},
      {both + "w KQkq - 0 1", "a1a7", 13},
      // A move that touches no king or corner rook keeps everything.
      {"r3k2r/8/8/8/8/8/8/R3K1NR w KQkq - 0 1", "g1f3", 15},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen + " " + c.move);
    Position p = position_from_fen(c.fen);
    const Position before = p;
    const Position::Undo undo = play(p, c.move);
    EXPECT_EQ(p.castling_rights, c.rights_after);
    expect_consistent(p);
    p.unmake_move(undo);
    expect_same_state(p, before);
  }
}

TEST(PositionMakeMove, PromotionReplacesThePawnAndRecordsTheUndo) {
  Position p = position_from_fen("r3k2r/6P1/8/8/8/8/8/4K3 w kq - 7 30");
  const Position before = p;
  const Position::Undo undo = play(p, "g7h8q");
  EXPECT_EQ(undo.promotion, QUEEN);
  EXPECT_EQ(undo.captured, B_ROOK);
  EXPECT_EQ(undo.capture_square, SQ_H8);
  EXPECT_EQ(undo.piece, W_PAWN);
  EXPECT_EQ(p.board[SQ_H8], W_QUEEN);
  EXPECT_EQ(p.piece_count[W_PAWN], 0);
  EXPECT_EQ(p.piece_count[W_QUEEN], 1);
  EXPECT_EQ(p.phase_sum, before.phase_sum + 4 - 2);
  EXPECT_EQ(p.halfmove_clock, 0);
  EXPECT_EQ(p.fullmove_number, 30);
  p.unmake_move(undo);
  expect_same_state(p, before);
}

TEST(PositionMakeMove, ClocksSideAndHistory) {
  Position p = position_from_fen("4k3/8/8/8/8/8/4P3/4K1N1 w - - 3 10");
  play(p, "g1f3");  // quiet piece move: clock counts up
  EXPECT_EQ(p.halfmove_clock, 4);
  EXPECT_EQ(p.fullmove_number, 10);
  EXPECT_EQ(p.side, BLACK);
  play(p, "e8d7");
  EXPECT_EQ(p.fullmove_number, 11);
  play(p, "e2e3");  // pawn move: clock resets
  EXPECT_EQ(p.halfmove_clock, 0);
  EXPECT_EQ(p.plies_since_null, 3);
  EXPECT_EQ(p.key_history.size(), 4u);
}

TEST(PositionNullMove, ClearsEnPassantKeepsClockAndUnmakesExactly) {
  Position p = position_from_fen(START);
  play_all(p, {"e2e4", "a7a6", "e4e5", "d7d5", "g1f3"});
  play(p, "a6a5");
  play_all(p, {"f3g1", "d5d4", "c2c4"});  // black d4 can take c3 en passant
  ASSERT_EQ(p.ep_square, 18);
  const Position before = p;

  const Position::Undo undo = p.make_null_move();
  EXPECT_TRUE(undo.is_null);
  EXPECT_EQ(undo.move, MOVE_NONE);
  EXPECT_EQ(undo.from, NO_SQUARE);
  EXPECT_EQ(undo.capture_square, NO_SQUARE);
  EXPECT_EQ(p.ep_square, NO_SQUARE);
  EXPECT_EQ(p.halfmove_clock, before.halfmove_clock);
  EXPECT_EQ(p.plies_since_null, 0);
  EXPECT_EQ(p.side, WHITE);
  EXPECT_EQ(p.fullmove_number, before.fullmove_number + 1);
  EXPECT_EQ(p.key, before.key ^ Zobrist::side_key() ^ Zobrist::ep_file_key(2));
  expect_consistent(p);

  p.unmake_null_move(undo);
  expect_same_state(p, before);
}

TEST(PositionNullMove, UnmakeWithEmptyHistoryComputesTheKey) {
  Position p = position_from_fen(KIWIPETE);
  const std::uint64_t key = p.key;
  const Position::Undo undo = p.make_null_move();
  p.key_history.clear();
  p.unmake_null_move(undo);
  EXPECT_EQ(p.key, key);
}

TEST(PositionPieceLetters, LookupCoversExactlyTheTwelveLetters) {
  const std::string letters = "PNBRQKpnbrqk";
  for (int c = -128; c < 128; ++c) {
    const char ch = static_cast<char>(c);
    const std::size_t at = letters.find(ch);
    const int expected = at != std::string::npos ? int(at) : -1;
    EXPECT_EQ(Position::piece_index_from_char(ch), expected) << c;
  }
  EXPECT_EQ(Position::piece_index_from_char('K'), 5);
  EXPECT_EQ(Position::piece_index_from_char('q'), 10);
  EXPECT_EQ(Position::piece_index_from_char('x'), -1);
  EXPECT_EQ(Position::piece_index_from_char('1'), -1);
}

}  // namespace

// Counters read from a FEN may sit at the top of their range; moving on must
// not overflow them.
TEST(PositionClocks, CountersStopAtTheirMaximum) {
  Position position = position_from_fen("4k3/8/8/8/8/8/8/4K2R b K - 2147483647 2147483647");
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  position.make_move(moves.front());  // a black king move: both counters would step
  EXPECT_EQ(position.halfmove_clock, 2147483647);
  EXPECT_EQ(position.fullmove_number, 2147483647);
  position.make_move(MOVE_WHITE_OO);
  position.make_null_move();  // Black "moves" again
  EXPECT_EQ(position.halfmove_clock, 2147483647);
  EXPECT_EQ(position.fullmove_number, 2147483647);
}
