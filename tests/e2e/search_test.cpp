// Searches through the real binary: cancellation and "stop", "isready" and
// the diagnostics beside a running search, time, depth and node limits,
// MultiPV, mate scores, positions without moves and "go infinite".
#include <gtest/gtest.h>

#include <set>

#include "e2e/engine_process.h"
#include "e2e/uci_lines.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

constexpr const char* MATE_IN_ONE = "position fen 6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
// Black's only move, Kb8, is answered by Rh8 mate.
constexpr const char* MATED_IN_ONE = "position fen k7/8/1K6/8/8/8/8/7R b - - 0 1";
constexpr const char* CHECKMATED = "position fen 7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";
constexpr const char* STALEMATED = "position fen 7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
constexpr const char* MIDDLEGAME =
    "position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8";

// Starts "go infinite" and returns once its first "info" line has arrived,
// so that the search is known to be running.
void start_infinite(EngineProcess& engine) {
  engine.send("go infinite");
  const auto first = engine.read_line();
  ASSERT_TRUE(first.has_value());
  ASSERT_TRUE(is_info_line(*first)) << *first;
}

// The lines of one search up to its "bestmove"; each must be an info line.
std::vector<std::string> read_search(EngineProcess& engine,
                                     milliseconds timeout = milliseconds(20000)) {
  std::vector<std::string> lines;
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
    const auto line = engine.read_line(std::max(left, milliseconds(0)));
    if (!line) {
      ADD_FAILURE() << "no bestmove in time";
      return lines;
    }
    lines.push_back(*line);
    if (starts_with(*line, "bestmove")) {
      EXPECT_TRUE(is_bestmove_line(*line)) << *line;
      return lines;
    }
    EXPECT_TRUE(is_info_line(*line)) << *line;
  }
}

TEST(Search, CommandsThatCancelARunningSearchSilently) {
  struct Case {
    const char* command;
    std::vector<std::string> output;  // the command's own lines
  };
  const Case cases[] = {
      {"position startpos moves e2e4", {}},
      {"ucinewgame", {}},
      {"setoption name Hash value 2", {}},
      {"perft 2", {"perft nodes=400 captures=0 enpassant=0 castles=0 promotions=0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EngineProcess engine;
    start_infinite(engine);
    engine.send(c.command);
    std::vector<std::string> lines = engine.sync();
    // Info lines of the cancelled search may come before the command's own.
    while (!lines.empty() && is_info_line(lines.front())) lines.erase(lines.begin());
    EXPECT_EQ(lines, c.output);
    engine.send("stop");
    EXPECT_TRUE(engine.sync().empty());
  }
}

TEST(Search, QuitAndEndOfInputDuringASearchExitWithoutBestmove) {
  for (const bool quit : {true, false}) {
    SCOPED_TRACE(quit ? "quit" : "end of input");
    EngineProcess engine;
    start_infinite(engine);
    if (quit)
      engine.send("quit");
    else
      engine.close_input();
    EXPECT_EQ(engine.wait_exit(), 0);
    EXPECT_EQ(count_starting_with(engine.drain(), "bestmove"), 0);
  }
}

TEST(Search, GoDuringGoPrintsOnlyTheSecondBestmove) {
  EngineProcess engine;
  start_infinite(engine);
  engine.send("go depth 3");
  const std::vector<std::string> lines = read_search(engine);
  EXPECT_EQ(count_starting_with(lines, "bestmove"), 1);
  engine.send("stop");
  EXPECT_TRUE(engine.sync().empty());
}

TEST(Search, StopPrintsTheBestmoveBeforeTheNextCommandIsAnswered) {
  EngineProcess engine;
  engine.send(MIDDLEGAME);
  start_infinite(engine);
  engine.send("stop");
  const std::vector<std::string> lines = engine.sync();
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(is_bestmove_line(lines.back())) << lines.back();
  EXPECT_EQ(count_starting_with(lines, "bestmove"), 1);
  // A second stop, and a stop after a search that ended by itself, print nothing.
  engine.send("stop");
  EXPECT_TRUE(engine.sync().empty());
  engine.send("go depth 2");
  read_search(engine);
  engine.send("stop");
  EXPECT_TRUE(engine.sync().empty());
}

TEST(Search, IsreadyAndDiagnosticsAnswerBesideARunningSearch) {
  EngineProcess engine;
  engine.send(MIDDLEGAME);
  engine.send("eval");
  const auto eval = engine.read_line();
  ASSERT_TRUE(eval.has_value());
  ASSERT_TRUE(starts_with(*eval, "eval cp "));
  engine.send("evaltrace");
  const std::vector<std::string> trace = engine.sync();
  ASSERT_EQ(trace.size(), 13u);

  start_infinite(engine);
  for (int round = 0; round < 5; ++round) {
    engine.send("eval");
    engine.send("evaltrace");
    std::vector<std::string> lines = engine.sync();  // readyok comes during the search
    lines.erase(std::remove_if(lines.begin(), lines.end(), is_info_line), lines.end());
    ASSERT_EQ(lines.size(), 14u);
    EXPECT_EQ(lines[0], *eval);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end()), trace);
  }
  engine.send("stop");
  const std::vector<std::string> rest = engine.sync();
  EXPECT_EQ(count_starting_with(rest, "bestmove"), 1);
}

// The search must end within its hard limit; the tolerance allows for a slow
// or loaded machine and for sanitizer builds.
TEST(Search, TimedSearchesEndWithinTheirBudget) {
  struct Case {
    const char* position;
    const char* go;
    int hard_ms;
  };
  const Case cases[] = {
      {"position startpos", "go movetime 300", 270},
      {"position startpos", "go wtime 3000 btime 3000", 277},
      {"position startpos", "go wtime 10000 btime 10000 winc 100 binc 100", 1039},
      {"position startpos", "go wtime 2000 btime 2000 movestogo 4", 738},
      // Black reads its own clock, not White's.
      {"position startpos moves e2e4", "go wtime 100000000 btime 3000", 277},
      {MIDDLEGAME, "go wtime 2147483647 btime 2147483647 winc 2147483647 movetime 200", 170},
  };
  constexpr int TOLERANCE_MS = 1500;
  EngineProcess engine;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.go);
    engine.send(c.position);
    engine.sync();
    const auto start = Clock::now();
    engine.send(c.go);
    const std::vector<std::string> lines = read_search(engine, milliseconds(c.hard_ms + 10000));
    const auto elapsed = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    EXPECT_LE(elapsed, c.hard_ms + TOLERANCE_MS);
    ASSERT_GE(lines.size(), 2u);
    const auto reported = info_number(lines[lines.size() - 2], "time");
    ASSERT_TRUE(reported.has_value());
    EXPECT_LE(*reported, c.hard_ms + TOLERANCE_MS);
  }
}

TEST(Search, DepthAndNodeLimits) {
  EngineProcess engine;
  engine.send(MIDDLEGAME);
  engine.send("go depth 4");
  std::vector<std::string> lines = read_search(engine);
  ASSERT_EQ(lines.size(), 5u);
  for (int depth = 1; depth <= 4; ++depth)
    EXPECT_EQ(info_number(lines[std::size_t(depth - 1)], "depth"), depth);

  engine.send("go nodes 20000");
  lines = read_search(engine);
  lines.pop_back();
  ASSERT_FALSE(lines.empty());
  for (const std::string& line : lines) EXPECT_LE(*info_number(line, "nodes"), 20000) << line;
  // The node limit, not the depth, ended it.
  EXPECT_LT(*info_number(lines.back(), "depth"), 64);
}

TEST(Search, MultiPVReportsDistinctLinesBestFirst) {
  struct Case {
    const char* position;
    int multipv;
    int expected_lines;
  };
  const Case cases[] = {
      {MIDDLEGAME, 3, 3},
      // Only two legal moves (Ka2, g4): two lines.
      {"position fen 1r5k/8/8/8/8/6P1/8/K7 w - - 0 1", 3, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    EngineProcess engine;
    engine.send("setoption name MultiPV value " + std::to_string(c.multipv));
    engine.send(c.position);
    engine.send("go depth 5");
    std::vector<std::string> lines = read_search(engine);
    lines.pop_back();
    ASSERT_EQ(lines.size(), std::size_t(5 * c.expected_lines));
    for (int depth = 1; depth <= 5; ++depth) {
      std::set<std::string> first_moves;
      long long previous_score = 1LL << 40;
      for (int k = 0; k < c.expected_lines; ++k) {
        const std::string& line = lines[std::size_t((depth - 1) * c.expected_lines + k)];
        EXPECT_EQ(info_number(line, "depth"), depth) << line;
        EXPECT_EQ(info_number(line, "multipv"), k + 1) << line;
        ASSERT_FALSE(info_pv(line).empty()) << line;
        first_moves.insert(info_pv(line)[0]);
        const long long score = *info_number(line, "cp");
        EXPECT_LE(score, previous_score) << line;
        previous_score = score;
      }
      EXPECT_EQ(first_moves.size(), std::size_t(c.expected_lines));
    }
  }
}

TEST(Search, MateScores) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {MATE_IN_ONE, "score mate 1 ", "bestmove a1a8"},
      {MATED_IN_ONE, "score mate -1 ", "bestmove a8b8"},
  };
  EngineProcess engine;
  for (const auto& [position, score, bestmove] : cases) {
    SCOPED_TRACE(position);
    engine.send(position);
    engine.send("go depth 4");
    const std::vector<std::string> lines = read_search(engine);
    ASSERT_GE(lines.size(), 2u);
    EXPECT_NE(lines[lines.size() - 2].find(score), std::string::npos) << lines[lines.size() - 2];
    EXPECT_EQ(lines.back(), bestmove);
  }
}

TEST(Search, PositionsWithoutMovesAnswerWithANullMove) {
  const std::pair<const char*, const char*> cases[] = {
      {CHECKMATED,
       "info depth 0 seldepth 0 multipv 1 score mate 0 nodes 0 time 0 nps 0 hashfull 0"},
      {STALEMATED, "info depth 0 seldepth 0 multipv 1 score cp 0 nodes 0 time 0 nps 0 hashfull 0"},
  };
  EngineProcess engine;
  for (const auto& [position, info] : cases) {
    engine.send(position);
    engine.send("go movetime 100");
    EXPECT_EQ(read_search(engine), (std::vector<std::string>{info, "bestmove 0000"}));
  }
}

// After "go infinite" the bestmove waits for "stop", also when the search
// has ended by itself (a mate in one reaches depth 64 within milliseconds)
// and when the root has no move at all.
TEST(Search, GoInfiniteHoldsTheBestmoveUntilStop) {
  struct Case {
    const char* position;
    const char* bestmove;
  };
  const Case cases[] = {{MATE_IN_ONE, "bestmove a1a8"}, {CHECKMATED, "bestmove 0000"}};
  EngineProcess engine;
  // Start-up (the 64 MB table) is over before the timed window opens; it can
  // take longer than the window in a sanitizer build.
  EXPECT_TRUE(engine.sync().empty());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.position);
    engine.send(c.position);
    engine.send("go infinite");
    const std::vector<std::string> before = engine.drain(milliseconds(500));
    ASSERT_FALSE(before.empty());
    for (const std::string& line : before) EXPECT_TRUE(is_info_line(line)) << line;
    EXPECT_TRUE(engine.sync().empty());  // answered, and still no bestmove
    engine.send("stop");
    EXPECT_EQ(engine.sync(), std::vector<std::string>{c.bestmove});
  }
  // Cancelled while held: nothing.
  engine.send(MATE_IN_ONE);
  engine.send("go infinite");
  engine.drain(milliseconds(300));
  engine.send("position startpos");
  engine.send("stop");
  EXPECT_TRUE(engine.sync().empty());
  engine.send("go infinite depth 1");
  engine.drain(milliseconds(300));
  engine.send("quit");
  EXPECT_EQ(engine.wait_exit(), 0);
  EXPECT_EQ(count_starting_with(engine.drain(), "bestmove"), 0);
}

}  // namespace
