// The engine at the edges of its resources, through the real binary: the
// largest hash, limits far beyond any search, a search deeper than the ply
// ceiling, a game of a thousand moves and lines of megabytes. It keeps
// answering, and every search still ends in one legal bestmove.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "board/fen.h"
#include "board/position_fixture.h"
#include "e2e/engine_process.h"
#include "e2e/uci_output.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"
#include "movegen/pext.h"

namespace {

using std::chrono::milliseconds;

// Knights out and back: a thousand moves are 500 rounds.
std::string knight_rounds(int rounds) {
  std::string moves;
  for (int i = 0; i < rounds; ++i) moves += " g1f3 g8f6 f3g1 f6g8";
  return moves;
}

// The coordinate texts of the legal moves after `moves` from the start
// position, or of the position of `fen`.
std::vector<std::string> legal_moves(const std::string& fen, const std::string& moves = "") {
  Position position = position_from_fen(fen);
  std::vector<unsigned> legal;
  std::istringstream words(moves);
  for (std::string word; words >> word;) {
    MoveGen::generate_legal(position, legal);
    for (const unsigned move : legal)
      if (move_to_uci(move) == word) position.make_move(move);
  }
  MoveGen::generate_legal(position, legal);
  std::vector<std::string> texts;
  for (const unsigned move : legal) texts.push_back(move_to_uci(move));
  return texts;
}

// Reads one search's lines up to its bestmove: info lines, then one legal
// bestmove. Returns the lines.
std::vector<std::string> expect_search(EngineProcess& engine, const std::vector<std::string>& legal,
                                       milliseconds timeout = milliseconds(60000)) {
  std::vector<std::string> search;
  for (;;) {
    const auto line = engine.read_line(timeout);
    if (!line) {
      ADD_FAILURE() << "no bestmove";
      return search;
    }
    search.push_back(*line);
    if (line->rfind("bestmove ", 0) == 0) break;
    EXPECT_TRUE(UciOutput::is_search_info(*line)) << *line;
  }
  const std::string move = search.back().substr(9);
  EXPECT_NE(std::find(legal.begin(), legal.end(), move), legal.end()) << search.back();
  return search;
}

TEST(ResourceLimits, LimitsBeyondAnySearchRunUntilStop) {
  const std::string game = "position startpos moves" + knight_rounds(500);
  struct Case {
    std::string position, go;
  };
  const Case cases[] = {
      {"position startpos", "go depth 2147483647"},
      {"position startpos", "go nodes 18446744073709551615"},
      {"position startpos", "go movetime 2147483647"},
      {"position startpos", "go wtime 2147483647 btime 2147483647 winc 2147483647 binc 2147483647"},
      {game, "go depth 2147483647"},
  };
  const std::vector<std::string> legal = legal_moves(fen::START_FEN);
  EngineProcess engine;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.go);
    engine.send(c.position);
    engine.send(c.go);
    // Still searching a moment later: nothing but info lines so far.
    for (const std::string& line : engine.drain(milliseconds(300)))
      EXPECT_TRUE(UciOutput::is_search_info(line)) << line;
    engine.send("stop");
    expect_search(engine, legal);
    EXPECT_TRUE(engine.sync().empty());
  }
}

TEST(ResourceLimits, DepthsBeyondThePlyCeilingEndByThemselves) {
  const std::string bare_kings = "8/8/8/8/8/8/k7/7K w - - 0 1";
  EngineProcess engine;
  engine.send("position fen " + bare_kings);
  engine.send("go depth 1000");
  const std::vector<std::string> lines = expect_search(engine, legal_moves(bare_kings));
  ASSERT_GE(lines.size(), 2u);
  const std::string& last = lines[lines.size() - 2];
  EXPECT_EQ(last.rfind("info depth 1000 ", 0), 0u) << last;
}

TEST(ResourceLimits, AThousandMoveGameAndLinesOfMegabytes) {
  EngineProcess engine;
  // After a thousand moves without a capture or a pawn move, every piece move
  // is a fifty-move draw at once, and the search settles for one.
  engine.send("position startpos moves" + knight_rounds(500));
  engine.send("go depth 5");
  std::vector<std::string> lines = expect_search(engine, legal_moves(fen::START_FEN));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[lines.size() - 2].find(" score cp 0 "), std::string::npos);

  // A move list of a megabyte; go words padded to two megabytes.
  engine.send("position startpos moves" + knight_rounds(50000) + " e2e4");
  std::string padded = "go";
  for (int i = 0; i < 300000; ++i) padded += " ponder";
  engine.send(padded + " depth 3");
  lines = expect_search(engine, legal_moves(fen::START_FEN, "e2e4"));
  EXPECT_EQ(lines[lines.size() - 2].rfind("info depth 3 ", 0), 0u);

  // A FEN and an option value drowned in blanks and zeros; an isready in blanks.
  engine.send("position fen " + std::string(fen::START_FEN) + std::string(2 << 20, ' ') +
              " moves d2d4");
  engine.send("setoption name Hash value " + std::string(1 << 20, '0') + "16");
  engine.send("isready" + std::string(4 << 20, ' '));
  EXPECT_EQ(engine.read_line(milliseconds(60000)), "readyok");
  engine.send("go depth 2");
  expect_search(engine, legal_moves(fen::START_FEN, "d2d4"));
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
}

// This machine has 24 GiB; building 4 GB of table takes it many seconds, and
// a sanitizer build minutes more (its shadow memory grows with the table)
// without showing anything the small tables do not, so only the plain build
// runs it.
TEST(ResourceLimits, TheLargestHashIsBuiltAndSearched) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  GTEST_SKIP() << "the 4096 MB table is built in the plain build";
#endif
  EngineProcess engine;
  engine.send("setoption name Hash value 4096");
  engine.send("isready");
  EXPECT_EQ(engine.read_line(milliseconds(240000)), "readyok");
  engine.send("go depth 8");
  const std::vector<std::string> lines = expect_search(engine, legal_moves(fen::START_FEN));
  ASSERT_GE(lines.size(), 2u);
  EXPECT_NE(lines[lines.size() - 2].find(" hashfull "), std::string::npos);
  engine.send("setoption name Hash value 1");
  EXPECT_TRUE(engine.sync().empty());
}

}  // namespace
