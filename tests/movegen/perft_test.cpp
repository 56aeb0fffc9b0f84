#include "movegen/perft.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "board/fen.h"
#include "board/position_fixture.h"
#include "board/position_state.h"

namespace {

constexpr const char* KIWIPETE =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

// Lines of the suite above this many nodes are skipped so that the program
// stays at a few seconds; every position still runs at its smaller depths.
constexpr std::uint64_t NODE_BUDGET = 5'000'000;

void expect_counters(const PerftResult& r, std::uint64_t nodes, std::uint64_t captures,
                     std::uint64_t en_passant, std::uint64_t castles, std::uint64_t promotions) {
  EXPECT_EQ(r.nodes, nodes);
  EXPECT_EQ(r.captures, captures);
  EXPECT_EQ(r.en_passant, en_passant);
  EXPECT_EQ(r.castles, castles);
  EXPECT_EQ(r.promotions, promotions);
}

TEST(Perft, DepthZeroAndNegativeCountOneNode) {
  Position position = position_from_fen(fen::START_FEN);
  for (const int depth : {0, -1, -100}) {
    SCOPED_TRACE(depth);
    expect_counters(perft(position, depth), 1, 0, 0, 0, 0);
  }
}

TEST(Perft, StartPosition) {
  Position position = position_from_fen(fen::START_FEN);
  const std::uint64_t nodes[] = {20, 400, 8902, 197281};
  for (int depth = 1; depth <= 4; ++depth)
    EXPECT_EQ(perft(position, depth).nodes, nodes[depth - 1]);
  expect_counters(perft(position, 3), 8902, 34, 0, 0, 0);
  expect_counters(perft(position, 5), 4865609, 82719, 258, 0, 0);
}

TEST(Perft, Kiwipete) {
  Position position = position_from_fen(KIWIPETE);
  expect_counters(perft(position, 1), 48, 8, 0, 2, 0);
  expect_counters(perft(position, 2), 2039, 351, 1, 91, 0);
}

TEST(Perft, MatePositionsHaveNoLeaves) {
  // Checkmate and stalemate: nothing at any depth of one or more.
  for (const char* text : {"rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3",
                           "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1"}) {
    Position position = position_from_fen(text);
    expect_counters(perft(position, 1), 0, 0, 0, 0, 0);
    expect_counters(perft(position, 3), 0, 0, 0, 0, 0);
    // A huge depth is clamped rather than sized into buffers or the stack.
    expect_counters(perft(position, 2147483647), 0, 0, 0, 0, 0);
    EXPECT_TRUE(perft_divide(position, 2147483647).empty());
  }
}

TEST(Perft, PublicSuiteWithinBudget) {
  const std::vector<PerftSuiteLine> suite = read_perft_suite();
  ASSERT_FALSE(suite.empty());
  std::string last_fen;
  for (const PerftSuiteLine& line : suite) {
    if (line.fen != last_fen) {
      last_fen = line.fen;
      ASSERT_LE(line.nodes, NODE_BUDGET) << "position never runs: " << line.fen;
    }
    if (line.nodes > NODE_BUDGET) continue;
    SCOPED_TRACE(line.fen + " depth " + std::to_string(line.depth));
    Position position = position_from_fen(line.fen);
    expect_counters(perft(position, line.depth), line.nodes, line.captures, line.en_passant,
                    line.castles, line.promotions);
  }
}

TEST(Perft, LeavesThePositionBitForBit) {
  for (const std::string& text : perft_suite_fens()) {
    SCOPED_TRACE(text);
    Position position = position_from_fen(text);
    // A pin cache of another colour and stale rays must come back as well.
    position.compute_pins(~position.side);
    position.pin_ray[17] = 0x1234;
    const Position before = position;
    perft(position, 3);
    expect_same_state(position, before, true);
    perft_divide(position, 2);
    expect_same_state(position, before, true);
  }
}

TEST(Perft, DivideFollowsGenerationOrderAndSumsToPerft) {
  for (const char* text : {fen::START_FEN, KIWIPETE}) {
    SCOPED_TRACE(text);
    Position position = position_from_fen(text);
    std::vector<unsigned> legal;
    MoveGen::generate_legal(position, legal);
    const auto divide = perft_divide(position, 3);
    ASSERT_EQ(divide.size(), legal.size());
    std::uint64_t sum = 0;
    for (std::size_t i = 0; i < divide.size(); ++i) {
      EXPECT_EQ(divide[i].first, move_to_uci(legal[i]));
      sum += divide[i].second;
    }
    EXPECT_EQ(sum, perft(position, 3).nodes);
  }

  // Known split of the start position at depth 2: every first move has 20 replies.
  Position start = position_from_fen(fen::START_FEN);
  for (const auto& [text, nodes] : perft_divide(start, 2)) EXPECT_EQ(nodes, 20u) << text;
  // One ply: each move is a single leaf; below that there is nothing to divide.
  for (const auto& [text, nodes] : perft_divide(start, 1)) EXPECT_EQ(nodes, 1u) << text;
  EXPECT_TRUE(perft_divide(start, 0).empty());
  EXPECT_TRUE(perft_divide(start, -3).empty());
}

// A hand-made board with more legal moves than a real game can have (259):
// perft must still count every one of them, at the last ply and above it.
TEST(Perft, CountsNodesWithMoreMovesThanAnyGame) {
  Position position = position_from_fen("QQQQQQQQ/Q6Q/Q6Q/Q6Q/Q6Q/Q6Q/pp5Q/knQQQQQK w - - 0 1");
  std::vector<unsigned> legal;
  MoveGen::generate_legal(position, legal);
  ASSERT_EQ(legal.size(), 259u);
  std::uint64_t captures = 0;
  for (const unsigned move : legal) captures += move_is_capture(move);
  expect_counters(perft(position, 1), 259, captures, 0, 0, 0);

  // One ply deeper, counted move by move with the growable generator.
  std::uint64_t replies = 0;
  for (const unsigned move : legal) {
    const Position::Undo undo = position.make_move(move);
    std::vector<unsigned> answers;
    MoveGen::generate_legal(position, answers);
    replies += answers.size();
    position.unmake_move(undo);
  }
  const Position before = position;
  EXPECT_EQ(perft(position, 2).nodes, replies);
  EXPECT_EQ(perft_divide(position, 2).size(), 259u);
  expect_same_state(position, before, true);
}

}  // namespace
