#include "movegen/movegen.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position_fixture.h"
#include "board/position_state.h"

namespace {

using MoveGen::GEN_ALL;
using MoveGen::GEN_NOISY;
using MoveGen::GEN_QUIETS;

std::vector<unsigned> generate(Position& position, MoveGen::GenerationType type) {
  unsigned moves[256];
  const std::size_t count = MoveGen::generate_pseudo_legal(position, moves, 256, type);
  return {moves, moves + count};
}

std::vector<unsigned> legal_moves(Position& position) {
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  return moves;
}

std::vector<std::string> texts(const std::vector<unsigned>& moves) {
  std::vector<std::string> result;
  for (const unsigned move : moves) result.push_back(move_to_uci(move));
  return result;
}

// The reference legality test: make the move and look at the mover's king.
bool leaves_king_safe(Position& position, unsigned move) {
  const Color us = position.side;
  const Position::Undo undo = position.make_move(move);
  const bool safe = !position.in_check(us);
  position.unmake_move(undo);
  return safe;
}

// Positions for the property tests, built once per test program.
const std::vector<Position>& sample_positions() {
  static const std::vector<Position> positions = walk_positions(varied_fens(), 6, 40);
  return positions;
}

TEST(MoveGen, StartPositionOrder) {
  Position position = position_from_fen(fen::START_FEN);
  const std::vector<std::string> expected = {"a2a3", "a2a4", "b2b3", "b2b4", "c2c3", "c2c4", "d2d3",
                                             "d2d4", "e2e3", "e2e4", "f2f3", "f2f4", "g2g3", "g2g4",
                                             "h2h3", "h2h4", "b1a3", "b1c3", "g1f3", "g1h3"};
  EXPECT_EQ(texts(generate(position, GEN_ALL)), expected);
  EXPECT_EQ(texts(legal_moves(position)), expected);
  EXPECT_TRUE(generate(position, GEN_NOISY).empty());
  EXPECT_EQ(generate(position, GEN_QUIETS), generate(position, GEN_ALL));

  // Exact encodings: a single push, a double push and a knight move.
  const std::vector<unsigned> all = generate(position, GEN_ALL);
  EXPECT_EQ(all[0], make_move_value(8, 16, W_PAWN));
  EXPECT_EQ(all[9], 0x20070Cu);  // e2e4
  EXPECT_EQ(all[18], make_move_value(SQ_G1, 21, W_KNIGHT));
}

TEST(MoveGen, PromotionOrderAndKinds) {
  Position position = position_from_fen("r3k3/1P6/8/8/8/8/8/4K3 w - - 0 1");
  const std::vector<unsigned> all = generate(position, GEN_ALL);
  ASSERT_GE(all.size(), 8u);
  const std::vector<std::string> all_texts = texts(all);
  const std::vector<std::string> first_eight(all_texts.begin(), all_texts.begin() + 8);
  EXPECT_EQ(first_eight, (std::vector<std::string>{"b7b8q", "b7b8r", "b7b8b", "b7b8n", "b7a8q",
                                                   "b7a8r", "b7a8b", "b7a8n"}));
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(move_promotion(all[i]), QUEEN - i % 4);
    EXPECT_EQ(move_is_capture(all[i]), i >= 4);
  }
  EXPECT_EQ(all[4], 0x140E31u);  // b7xa8=Q
  const std::vector<unsigned> noisy = generate(position, GEN_NOISY);
  EXPECT_EQ(noisy, std::vector<unsigned>(all.begin(), all.begin() + 8));
  for (const unsigned move : generate(position, GEN_QUIETS)) EXPECT_FALSE(move_is_promotion(move));
}

TEST(MoveGen, SingleCheckByRook) {
  // The rook on h4 checks along the rank: the knight may capture or block,
  // the pawn may block only with its double push (d3 is off the line).
  Position position = position_from_fen("k7/8/8/8/K6r/8/3P2N1/8 w - - 0 1");
  EXPECT_EQ(
      texts(generate(position, GEN_ALL)),
      (std::vector<std::string>{"d2d4", "g2f4", "g2h4", "a4a3", "a4b3", "a4b4", "a4a5", "a4b5"}));
  EXPECT_EQ(texts(legal_moves(position)),
            (std::vector<std::string>{"d2d4", "g2f4", "g2h4", "a4a3", "a4b3", "a4a5", "a4b5"}));
}

TEST(MoveGen, DoubleCheckLeavesOnlyKingMoves) {
  // Knight d3 and rook e8 both check; the castling right is held but unusable.
  Position position = position_from_fen("4r1k1/8/8/8/Q7/3n4/8/4K2R w K - 0 1");
  EXPECT_EQ(texts(generate(position, GEN_ALL)),
            (std::vector<std::string>{"e1d1", "e1f1", "e1d2", "e1e2", "e1f2"}));
  EXPECT_EQ(texts(legal_moves(position)), (std::vector<std::string>{"e1d1", "e1f1", "e1d2"}));
}

TEST(MoveGen, EnPassant) {
  // A legal capture is generated after the other pawn moves, with both flags.
  Position position =
      position_from_fen("rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3");
  const std::vector<unsigned> legal = legal_moves(position);
  const std::vector<std::string> legal_texts = texts(legal);
  const auto at = std::find(legal_texts.begin(), legal_texts.end(), "e5d6");
  ASSERT_NE(at, legal_texts.end());
  EXPECT_EQ(legal[at - legal_texts.begin()], 0x500AE4u);
  EXPECT_EQ(legal_texts[at - legal_texts.begin() - 1], "e5e6");  // push before capture

  // Capturing the checking pawn en passant is allowed although d6 is not on
  // the evasion mask; here it is the only legal move.
  Position only_ep = position_from_fen("7k/8/2p5/Pp1n4/K7/7r/8/8 w - b6 0 1");
  EXPECT_EQ(texts(legal_moves(only_ep)), std::vector<std::string>{"a5b6"});
  EXPECT_TRUE(only_ep.has_any_legal_move());

  // A capture that would open the rank to the rook: the parser drops such a
  // square, so set it by hand to see both layers of the filter.
  Position exposed = position_from_fen("4k3/8/8/KPp4r/8/8/8/8 w - - 0 2");
  exposed.ep_square = 42;  // c6
  const unsigned capture =
      make_move_value(33, 42, W_PAWN, 0, MOVE_FLAG_CAPTURE | MOVE_FLAG_EN_PASSANT);
  const std::vector<unsigned> pseudo = generate(exposed, GEN_ALL);
  EXPECT_NE(std::find(pseudo.begin(), pseudo.end(), capture), pseudo.end());
  const std::vector<unsigned> exposed_legal = legal_moves(exposed);
  EXPECT_EQ(std::find(exposed_legal.begin(), exposed_legal.end(), capture), exposed_legal.end());
  EXPECT_FALSE(MoveGen::is_pseudo_legal(exposed, capture));
}

TEST(MoveGen, CastlingRules) {
  struct Case {
    const char* fen;
    std::vector<std::string> castles;  // in emission order
  };
  const Case cases[] = {
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkq - 0 1", {"e1g1", "e1c1"}},
      {"r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1", {"e8g8", "e8c8"}},
      {"r3k2r/8/8/8/8/8/8/R3K2R w Qk - 0 1", {"e1c1"}},
      {"4k3/8/8/8/8/8/8/RN2K1NR w KQ - 0 1", {}},                // pieces in the way
      {"1r2k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", {"e1g1", "e1c1"}},  // b1 may be attacked
      {"2r1k3/8/8/8/8/8/8/R3K2R w KQ - 0 1", {"e1g1"}},          // c1 attacked
      {"4kr2/8/8/8/8/8/8/R3K2R w KQ - 0 1", {"e1c1"}},           // f1 attacked
      {"4k3/8/8/8/8/8/8/R3K2r w Q - 0 1", {}},                   // in check
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    Position position = position_from_fen(c.fen);
    std::vector<std::string> castles;
    for (const unsigned move : generate(position, GEN_ALL))
      if (move_is_castling(move)) castles.push_back(move_to_uci(move));
    EXPECT_EQ(castles, c.castles);
    for (const unsigned move : {MOVE_WHITE_OO, MOVE_WHITE_OOO, MOVE_BLACK_OO, MOVE_BLACK_OOO})
      EXPECT_EQ(MoveGen::is_pseudo_legal(position, move),
                std::find(castles.begin(), castles.end(), move_to_uci(move)) != castles.end())
          << move_to_uci(move);
  }
}

// A hand-placed board whose enemy king stands next to the castling king (no
// FEN is accepted with the kings adjacent): the king's square is attacked,
// though not in check by any other piece, so neither castling move exists.
TEST(MoveGen, NoCastlingBesideTheEnemyKing) {
  Position position = position_from_fen("4k3/8/8/8/8/8/8/R3K2R w KQ - 0 1");
  position.remove_piece_at_square(B_KING, SQ_E8);
  position.set_piece_at_square(B_KING, make_square(3, 1));  // d2
  ASSERT_TRUE(position.is_square_attacked(SQ_E1, BLACK));
  for (const unsigned move : generate(position, GEN_ALL)) EXPECT_FALSE(move_is_castling(move));
  // A file further away the king no longer touches e1: castling kingside is
  // back, while queenside still crosses the attacked d1.
  position.remove_piece_at_square(B_KING, make_square(3, 1));
  position.set_piece_at_square(B_KING, make_square(2, 1));  // c2
  std::vector<std::string> castles;
  for (const unsigned move : generate(position, GEN_ALL))
    if (move_is_castling(move)) castles.push_back(move_to_uci(move));
  EXPECT_EQ(castles, std::vector<std::string>{"e1g1"});
}

TEST(MoveGen, IsPseudoLegalRejections) {
  Position start = position_from_fen(fen::START_FEN);
  const unsigned e2e4 = 0x20070C;
  ASSERT_TRUE(MoveGen::is_pseudo_legal(start, e2e4));
  struct Case {
    const char* name;
    unsigned move;
  };
  const Case start_cases[] = {
      {"no move", MOVE_NONE},
      {"wrong piece field", make_move_value(12, 28, W_KNIGHT, 0, MOVE_FLAG_DOUBLE_PUSH)},
      {"piece of the side not to move", make_move_value(52, 36, B_PAWN, 0, MOVE_FLAG_DOUBLE_PUSH)},
      {"empty origin", make_move_value(20, 28, W_PAWN)},
      {"quiet move to an own piece", make_move_value(SQ_B1, 11, W_KNIGHT)},
      {"capture flag on an empty square",
       make_move_value(SQ_G1, 21, W_KNIGHT, 0, MOVE_FLAG_CAPTURE)},
      {"promotion short of the last rank", make_move_value(12, 20, W_PAWN, QUEEN)},
      {"double push without its flag", make_move_value(12, 28, W_PAWN)},
      {"single push with the double-push flag",
       make_move_value(12, 20, W_PAWN, 0, MOVE_FLAG_DOUBLE_PUSH)},
      {"pawn moving sideways", make_move_value(12, 13, W_PAWN)},
      {"knight move off its pattern", make_move_value(SQ_G1, 22, W_KNIGHT)},
      {"bishop through a pawn", make_move_value(SQ_C1, 29, W_BISHOP)},
      {"castling with pieces between", MOVE_WHITE_OO},
      {"en passant without a square",
       make_move_value(12, 21, W_PAWN, 0, MOVE_FLAG_CAPTURE | MOVE_FLAG_EN_PASSANT)},
      {"high bits set", e2e4 | 0x1000000},
  };
  for (const Case& c : start_cases) EXPECT_FALSE(MoveGen::is_pseudo_legal(start, c.move)) << c.name;

  // Captures: the flag must match an enemy piece on the destination.
  Position kiwipete =
      position_from_fen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  const unsigned nxd7 = make_move_value(36, 51, W_KNIGHT, 0, MOVE_FLAG_CAPTURE);  // Nxd7
  ASSERT_TRUE(MoveGen::is_pseudo_legal(kiwipete, nxd7));
  EXPECT_FALSE(MoveGen::is_pseudo_legal(kiwipete, make_move_value(36, 51, W_KNIGHT)))
      << "capture without its flag";
  // Castling through an attacked square: the rook on f8's file.
  Position attacked = position_from_fen("5rk1/8/8/8/8/8/8/4K2R w K - 0 1");
  EXPECT_FALSE(MoveGen::is_pseudo_legal(attacked, MOVE_WHITE_OO));
  // A pinned piece leaving its line, a move ignoring a check.
  Position pinned = position_from_fen("4k3/4r3/8/8/8/8/4N3/4K3 w - - 0 1");
  EXPECT_FALSE(MoveGen::is_pseudo_legal(pinned, make_move_value(12, 29, W_KNIGHT)));
  Position checked = position_from_fen("4k3/8/8/8/8/8/3N4/r3K3 w - - 0 1");
  EXPECT_FALSE(MoveGen::is_pseudo_legal(checked, make_move_value(11, 28, W_KNIGHT)));
  EXPECT_TRUE(MoveGen::is_pseudo_legal(checked, make_move_value(11, 1, W_KNIGHT)));  // Nb1 blocks
}

TEST(MoveGen, CapacityTruncatesToThePrefix) {
  Position position = position_from_fen(fen::START_FEN);
  const std::vector<unsigned> all = generate(position, GEN_ALL);
  for (const std::size_t capacity : {0u, 1u, 5u, 19u, 20u, 21u}) {
    unsigned moves[32];
    std::fill(std::begin(moves), std::end(moves), 0xDEADu);
    const std::size_t count = MoveGen::generate_pseudo_legal(position, moves, capacity);
    EXPECT_EQ(count, std::min<std::size_t>(capacity, all.size()));
    EXPECT_TRUE(std::equal(moves, moves + count, all.begin()));
    EXPECT_EQ(moves[count], 0xDEADu) << "wrote past the count";
  }
}

// The array form of legal generation gives the vector form's moves, in the
// same order, cut at the capacity; the en-passant capture that would expose
// the king stays out of both.
TEST(MoveGen, LegalArrayFormMatchesTheVectorForm) {
  for (const char* text :
       {fen::START_FEN, "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
        "8/8/8/K2pP2r/8/8/8/4k3 w - d6 0 1"}) {
    SCOPED_TRACE(text);
    Position position = position_from_fen(text);
    std::vector<unsigned> all;
    MoveGen::generate_legal(position, all);
    for (const std::size_t capacity :
         {std::size_t(0), std::size_t(1), all.size() - 1, all.size(), std::size_t(256)}) {
      unsigned moves[257];
      std::fill(std::begin(moves), std::end(moves), 0xDEADu);
      const std::size_t count = MoveGen::generate_legal(position, moves, capacity);
      EXPECT_EQ(count, std::min(capacity, all.size()));
      EXPECT_TRUE(std::equal(moves, moves + count, all.begin()));
      EXPECT_EQ(moves[count], 0xDEADu) << "wrote past the count";
    }
  }
}

TEST(MoveGen, HasAnyLegalMove) {
  struct Case {
    const char* fen;
    bool expected;
  };
  const Case cases[] = {
      {fen::START_FEN, true},
      {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3", false},  // mate
      {"7k/5Q2/6K1/8/8/8/8/8 b - - 0 1", false},                                 // stalemate
      {"7k/8/8/8/8/7p/7P/7K w - - 0 1", true},        // only the king moves
      {"7k/8/2p5/Pp1n4/K7/7r/8/8 w - b6 0 1", true},  // only en passant
      {"8/8/8/8/8/4k3/4r3/r3K3 w - - 0 1", false},    // mate by rook and king
      {"1r6/8/8/8/8/k7/8/K1N4r w - - 0 1", false},    // stalemate: the knight is pinned
  };
  for (const Case& c : cases) {
    Position position = position_from_fen(c.fen);
    EXPECT_EQ(position.has_any_legal_move(), c.expected) << c.fen;
    EXPECT_EQ(!legal_moves(position).empty(), c.expected) << c.fen;
  }
}

// Properties over many positions reached by random walks.

TEST(MoveGen, NoisyAndQuietsPartitionAllInOrder) {
  for (Position position : sample_positions()) {
    const std::vector<unsigned> all = generate(position, GEN_ALL);
    std::vector<unsigned> noisy, quiet;
    for (const unsigned move : all)
      (move_is_capture(move) || move_is_promotion(move) ? noisy : quiet).push_back(move);
    EXPECT_EQ(generate(position, GEN_NOISY), noisy) << position.to_fen();
    EXPECT_EQ(generate(position, GEN_QUIETS), quiet) << position.to_fen();

    // The other forms agree with the array form.
    std::vector<unsigned> vector_form;
    MoveGen::generate_pseudo_legal(position, vector_form);
    EXPECT_EQ(vector_form, all);
    std::vector<MoveGen::SemanticMove> semantic;
    MoveGen::generate_semantic_pseudo_legal(position, semantic);
    ASSERT_EQ(semantic.size(), all.size());
    for (std::size_t i = 0; i < all.size(); ++i) {
      const unsigned m = all[i];
      const int kind = move_is_castling(m)     ? 5
                       : move_is_en_passant(m) ? 4
                       : move_is_promotion(m)  ? (move_is_capture(m) ? 3 : 2)
                       : move_is_capture(m)    ? 1
                                               : 0;
      EXPECT_EQ(semantic[i].move, m);
      EXPECT_EQ(semantic[i].kind, kind);
    }
  }
}

TEST(MoveGen, LegalListIsThePseudoListFilteredByMaking) {
  for (Position position : sample_positions()) {
    SCOPED_TRACE(position.to_fen());
    const Position before = position;
    const std::vector<unsigned> all = generate(position, GEN_ALL);
    std::vector<unsigned> expected;
    for (const unsigned move : all) {
      // Field sanity of every generated move.
      EXPECT_EQ(move >> 24, 0u);
      if (move_is_en_passant(move)) {
        EXPECT_TRUE(move_is_capture(move));
      }
      EXPECT_EQ(move_piece(move), position.board[move_from(move)]);
      if (leaves_king_safe(position, move)) expected.push_back(move);
    }
    EXPECT_EQ(legal_moves(position), expected);
    EXPECT_EQ(position.has_any_legal_move(), !expected.empty());
    expect_same_state(position, before);
  }
}

TEST(MoveGen, IsPseudoLegalAcceptsExactlyTheLegalMoves) {
  // Candidates: this position's moves, other positions' moves (as a stale
  // hash move would be) and single-bit corruptions of them.
  const std::vector<Position>& positions = sample_positions();
  for (std::size_t i = 0; i < positions.size(); i += 3) {
    Position position = positions[i];
    const std::vector<unsigned> legal = legal_moves(position);
    std::vector<unsigned> candidates = generate(position, GEN_ALL);
    for (const std::size_t other : {i + 1, i + 7, i + 50})
      if (other < positions.size()) {
        Position copy = positions[other];
        const std::vector<unsigned> theirs = generate(copy, GEN_ALL);
        candidates.insert(candidates.end(), theirs.begin(), theirs.end());
      }
    const std::size_t base = candidates.size();
    for (std::size_t j = 0; j < base; ++j)
      candidates.push_back(candidates[j] ^ (1u << ((candidates[j] * 2654435761u) >> 27)));

    MoveGen::GenerationContext ctx;
    MoveGen::prepare_generation_context(position, ctx);
    for (const unsigned move : candidates) {
      const bool is_legal = std::find(legal.begin(), legal.end(), move) != legal.end();
      EXPECT_EQ(MoveGen::is_pseudo_legal(position, move, ctx), is_legal)
          << position.to_fen() << " " << std::hex << move;
    }
  }
}

}  // namespace
