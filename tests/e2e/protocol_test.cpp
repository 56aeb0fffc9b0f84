// Drives the real engine binary over pipes: identification, synchronisation,
// command-word matching, end of input and hostile input.
#include <gtest/gtest.h>

#include <random>

#include "e2e/engine_process.h"
#include "e2e/uci_output.h"

namespace {

const std::vector<std::string>& UCI_BLOCK = UciOutput::IDENTIFICATION;

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

// Garbage is ignored silently; only a line too long to be read whole and the
// bad FEN are reported, one line each.
TEST(Protocol, HostileInputIsIgnoredAndOnlyFallbacksAreReported) {
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
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "info string ignored an input line of more than 16777216 bytes");
  EXPECT_EQ(lines[1].rfind("info string bad fen: ", 0), 0u);
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

}  // namespace
