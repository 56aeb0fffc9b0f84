// Drives the real engine binary over pipes: identification, synchronisation,
// command-word matching, end of input and hostile input.
#include <gtest/gtest.h>

#include <random>

#include "e2e/engine_process.h"

namespace {

const std::vector<std::string> UCI_BLOCK = {
    "id name Quorvanta 3.4",
    "id author The Quorvanta developers",
    "id country Switzerland",
    "option name Hash type spin default 64 min 1 max 4096",
    "option name MultiPV type spin default 1 min 1 max 8",
    "option name Contempt type spin default 0 min -100 max 100",
    "option name Move Overhead type spin default 30 min 0 max 5000",
    "option name Minimum Thinking Time type spin default 20 min 0 max 5000",
    "option name Slow Mover type spin default 100 min 10 max 500",
    "option name SeeCaptureMargin type spin default 32 min 0 max 200",
    "option name SeeCaptureDepth type spin default 6 min 0 max 12",
    "option name SeeQuietMargin type spin default 40 min 0 max 400",
    "option name SeeQuietDepth type spin default 10 min 0 max 12",
    "option name SeeEndgameGuard type spin default 0 min 0 max 32",
    "option name SeeCaptHistDiv type spin default 512 min 0 max 4096",
    "option name SeeQuietHistDiv type spin default 512 min 0 max 4096",
    "option name CorrPawnWeight type spin default 2 min 0 max 8",
    "option name CorrNonPawnWeight type spin default 1 min 0 max 8",
    "option name CorrContWeight type spin default 1 min 0 max 8",
    "option name CorrWeightScale type spin default 2 min 1 max 8",
    "uciok",
};

TEST(Protocol, UciPrintsTheIdentificationBlockEachTime) {
  EngineProcess engine;
  engine.send("uci");
  EXPECT_EQ(engine.read_until("uciok"), UCI_BLOCK);
  engine.send("uci");
  EXPECT_EQ(engine.read_until("uciok"), UCI_BLOCK);
  EXPECT_TRUE(engine.sync().empty());
}

TEST(Protocol, CommandWordsMatchExactlyAndOnlyAsFirstWord) {
  EngineProcess engine;
  for (const char* ignored : {"UCI", "Uci", "hello uci", "xuci", "uci2", "ISREADY", "", "   ", "\t",
                              "debug on", "register later", "ponderhit"})
    engine.send(ignored);
  EXPECT_TRUE(engine.sync().empty());

  engine.send("   uci");
  EXPECT_EQ(engine.read_until("uciok"), UCI_BLOCK);
  engine.send("isready now please");
  EXPECT_EQ(engine.read_line(), "readyok");
}

TEST(Protocol, CrLfLineEndsAreAccepted) {
  EngineProcess engine;
  engine.send_raw("isready\r\nuci\r\n");
  EXPECT_EQ(engine.read_line(), "readyok");
  EXPECT_EQ(engine.read_until("uciok"), UCI_BLOCK);
}

TEST(Protocol, QuitAndEndOfInputExitWithStatusZero) {
  {
    EngineProcess engine;
    engine.send("quit");
    EXPECT_EQ(engine.wait_exit(), 0);
  }
  {
    EngineProcess engine;
    engine.send("quit now");
    EXPECT_EQ(engine.wait_exit(), 0);
  }
  {
    // A last line without a line feed is still executed.
    EngineProcess engine;
    engine.send_raw("isready");
    engine.close_input();
    EXPECT_EQ(engine.read_line(), "readyok");
    EXPECT_EQ(engine.wait_exit(), 0);
  }
  {
    EngineProcess engine;
    engine.close_input();
    EXPECT_EQ(engine.wait_exit(), 0);
  }
}

TEST(Protocol, HostileInputNeitherCrashesNorPrints) {
  EngineProcess engine;
  std::mt19937 random(12345);
  std::string garbage;
  for (int i = 0; i < 200000; ++i) garbage.push_back(char(random() & 0xFF));
  // Every garbage line starts with '#', so no line can begin with a real
  // command word by chance ("d" alone, for instance, prints the board).
  garbage[0] = '#';
  for (std::size_t i = 0; i + 1 < garbage.size(); ++i)
    if (garbage[i] == '\n') garbage[i + 1] = '#';
  garbage += '\n';
  engine.send_raw(garbage);
  engine.send("");
  engine.send_raw(std::string("uci\0x", 5) + "\n");        // NUL glued to a word
  engine.send_raw(std::string(3 << 20, 'a') + "\n");       // a 3 MB line
  engine.send_raw(std::string(20 << 20, 'b') + " uci\n");  // too long: dropped whole
  engine.send_raw(std::string(1000, '\0') + "\n");
  engine.send("position fen \x01\x02\xff moves \xfe");
  std::vector<std::string> lines = engine.sync();
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].rfind("info string bad fen: ", 0), 0u);
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
