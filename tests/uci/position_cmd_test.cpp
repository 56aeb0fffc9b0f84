#include <gtest/gtest.h>

#include "uci/engine_fixture.h"

namespace {

const std::string START = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";
const std::string AFTER_E4_E5 = "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2";
const std::string PROMOTION_FEN = "8/4P3/8/8/8/8/k7/7K w - - 0 1";

TEST(PositionCommand, AcceptedForms) {
  struct Case {
    std::string command;
    std::string fen;
  };
  const Case cases[] = {
      {"position startpos", START},
      {"position startpos moves", START},
      {"position startpos e2e4", START},  // text other than "moves" is ignored
      {"position startposition", START},  // prefix test without a word boundary
      {"   position   startpos   moves   e2e4  e7e5  ", AFTER_E4_E5},
      {"position startpos moves e2e4 e7e5", AFTER_E4_E5},
      {"position fen " + START + " moves e2e4 e7e5", AFTER_E4_E5},
      {"position fen   " + START + "   ", START},
      {"position fen " + PROMOTION_FEN + " moves e7e8n", "4N3/8/8/8/8/8/k7/7K b - - 0 1"},
      {"position fen " + START + " moves", START},  // "moves" with no blank after it ends the FEN
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EngineFixture engine;
    engine.command("position fen 8/8/8/8/8/8/k7/7K w - - 0 1");
    EXPECT_TRUE(engine.command(c.command).empty());
    EXPECT_EQ(engine.fen(), c.fen);
  }
}

TEST(PositionCommand, FailuresPrintOneLineAndKeepThePosition) {
  struct Case {
    std::string command;
    std::string message;
  };
  const Case cases[] = {
      {"position", "info string unsupported position command"},
      {"position    ", "info string unsupported position command"},
      {"position start", "info string unsupported position command"},
      {"position moves e2e4", "info string unsupported position command"},
      {"position fen", "info string bad fen: FEN parse error: empty"},
      {"position fenx", "info string bad fen: FEN parse error: missing side"},
      {"position fen 8/8/8/8/8/8/8/8 w - -",
       "info string bad fen: FEN parse error: expected exactly one white king"},
      {"position startpos moves e2e4 e2e4", "info string illegal move in position command"},
      {"position startpos moves e2e5", "info string illegal move in position command"},
      {"position startpos moves E2E4", "info string illegal move in position command"},
      {"position fen " + PROMOTION_FEN + " moves e7e8Q",
       "info string illegal move in position command"},
      {"position fen " + PROMOTION_FEN + " moves e7e8",
       "info string illegal move in position command"},
      // Fool's mate: no move is legal after the mate.
      {"position startpos moves f2f3 e7e5 g2g4 d8h4 a2a3",
       "info string illegal move in position command"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EngineFixture engine;
    engine.command("position startpos moves e2e4 e7e5");
    EXPECT_EQ(engine.command(c.command), std::vector<std::string>{c.message});
    EXPECT_EQ(engine.fen(), AFTER_E4_E5);
  }
}

TEST(PositionCommand, MovesCarryTheGameHistoryForRepetitions) {
  EngineFixture engine;
  engine.command("position startpos moves g1f3 g8f6 f3g1 f6g8 g1f3 g8f6 f3g1 f6g8");
  EXPECT_EQ(engine.engine.current_position().repetition_count(), 3);
}

}  // namespace

namespace {

// Knights out and back: after n rounds the start position again, with the
// fifty-move counter at 4 n plies and the position seen n + 1 times.
std::string knight_rounds(int rounds) {
  std::string moves;
  for (int i = 0; i < rounds; ++i) moves += " g1f3 g8f6 f3g1 f6g8";
  return moves;
}

TEST(PositionCommand, LongGamesInOneCommand) {
  struct Case {
    int rounds;
    std::string fen;
  };
  const Case cases[] = {
      // A thousand moves.
      {500, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 2000 1001"},
      // A line of a megabyte.
      {50000, "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 200000 100001"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rounds);
    EngineFixture engine;
    const std::string command = "position startpos moves" + knight_rounds(c.rounds);
    EXPECT_TRUE(engine.command(command).empty());
    EXPECT_EQ(engine.fen(), c.fen);
    EXPECT_EQ(engine.engine.current_position().key_history.size(), std::size_t(4 * c.rounds + 1));
    EXPECT_EQ(engine.engine.current_position().repetition_count(), c.rounds + 1);
    // A bad last move still leaves the position as it was.
    EXPECT_EQ(engine.command(command + " e2e5"),
              std::vector<std::string>{"info string illegal move in position command"});
    EXPECT_EQ(engine.fen(), c.fen);
  }
}

}  // namespace
