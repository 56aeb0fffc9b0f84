// The position and diagnostic commands through the real binary.
#include <gtest/gtest.h>

#include "e2e/engine_process.h"

namespace {

TEST(Commands, PositionPerftDisplayAndEval) {
  EngineProcess engine;
  engine.send("position startpos moves e2e4 e7e5 g1f3");
  engine.send("d");
  std::vector<std::string> lines = engine.sync();
  ASSERT_EQ(lines.size(), 11u);
  EXPECT_EQ(lines[0],
            "info string fen rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2");
  EXPECT_EQ(lines[1], "info string");
  EXPECT_EQ(lines[2], "8 r n b q k b n r ");
  EXPECT_EQ(lines[10], "  a b c d e f g h");

  engine.send("perft 2");
  EXPECT_EQ(engine.read_line(), "perft nodes=779 captures=39 enpassant=0 castles=0 promotions=0");

  engine.send("eval");
  const auto eval = engine.read_line();
  ASSERT_TRUE(eval.has_value());
  EXPECT_EQ(eval->rfind("eval cp ", 0), 0u);
  engine.send("evaltrace");
  const std::vector<std::string> trace = engine.read_until("evaltrace full " + eval->substr(8));
  EXPECT_EQ(trace.size(), 13u);

  engine.send("position startpos moves e2e5");
  EXPECT_EQ(engine.read_line(), "info string illegal move in position command");
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
