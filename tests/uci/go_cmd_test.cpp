// The "go" command: reading its words, the search limits it sets, the "info"
// line format, and the search thread's output around checkmate, stalemate,
// "stop" and cancellation.
#include <gtest/gtest.h>

#include "board/fen.h"
#include "movegen/movegen.h"
#include "uci/engine_fixture.h"

namespace {

constexpr const char* STALEMATE_FEN = "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1";
constexpr const char* CHECKMATE_FEN = "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1";
constexpr const char* MATE_IN_ONE_FEN = "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1";
constexpr int MAX = 2147483647;

TimeMan::UciLimits read(const std::string& words) {
  std::istringstream stream(words);
  return read_go_words(stream);
}

TEST(GoCommand, ReadsItsWords) {
  struct Case {
    const char* words;
    TimeMan::UciLimits expected;
  };
  const Case cases[] = {
      {"", {}},
      {"wtime 1000 btime 2000 winc 10 binc 20 movestogo 30",
       {.wtime = 1000, .btime = 2000, .winc = 10, .binc = 20, .movestogo = 30}},
      {"depth 5 wtime 1000", {.depth = 5, .wtime = 1000}},
      {"nodes 10000", {.nodes = 10000}},
      {"nodes 18446744073709551615", {.nodes = 18446744073709551615ull}},
      {"movetime 250 infinite", {.movetime = 250, .infinite = true}},
      {"ponder wtime 500 btime 600", {.wtime = 500, .btime = 600}},
      {"searchmoves e2e4 d2d4 mate 3 depth 2", {.depth = 2}},
      {"WTIME 500 Infinite", {}},
      // A value that is not a number is read as 0 and ends the reading.
      {"wtime x btime 500", {.wtime = 0}},
      {"wtime", {}},
      {"wtime 2147483647 btime 2147483647 winc 2147483647 binc 2147483647",
       {.wtime = MAX, .btime = MAX, .winc = MAX, .binc = MAX}},
      // Out of range: the largest value, and nothing after it is read.
      {"wtime 99999999999 btime 5", {.wtime = MAX}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    const TimeMan::UciLimits got = read(c.words);
    EXPECT_EQ(got.depth, c.expected.depth);
    EXPECT_EQ(got.nodes, c.expected.nodes);
    EXPECT_EQ(got.movetime, c.expected.movetime);
    EXPECT_EQ(got.wtime, c.expected.wtime);
    EXPECT_EQ(got.btime, c.expected.btime);
    EXPECT_EQ(got.winc, c.expected.winc);
    EXPECT_EQ(got.binc, c.expected.binc);
    EXPECT_EQ(got.movestogo, c.expected.movestogo);
    EXPECT_EQ(got.infinite, c.expected.infinite);
  }
}

TEST(GoCommand, SearchLimits) {
  struct Case {
    const char* words;
    int depth;
    std::uint64_t nodes;
    bool infinite, timed;
    int soft_ms, hard_ms;
  };
  const Case cases[] = {
      {"", 64, 0, false, false, 0, 0},
      {"infinite", 0, 0, true, false, 0, 0},
      {"depth 5 wtime 1000", 5, 0, false, true, 60, 90},
      {"nodes 10000", 0, 10000, false, false, 0, 0},
      {"movetime 100", 0, 0, false, true, 70, 70},
      {"btime 1000", 64, 0, false, false, 0, 0},
      {"wtime x", 0, 0, false, true, 0, 0},
      {"depth -3", -3, 0, false, false, 0, 0},
  };
  Position start;
  std::string error;
  ASSERT_TRUE(fen::parse_fen(fen::START_FEN, start, error));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.words);
    const TimeMan::UciLimits go = read(c.words);
    const Search::SearchLimits limits =
        search_limits_for(go, TimeMan::compute_budget(start, go, TimeMan::Options{}), 3);
    EXPECT_EQ(limits.depth, c.depth);
    EXPECT_EQ(limits.nodes, c.nodes);
    EXPECT_EQ(limits.infinite, c.infinite);
    EXPECT_EQ(limits.multipv, 3);
    EXPECT_EQ(limits.has_soft_limit, c.timed);
    EXPECT_EQ(limits.has_hard_limit, c.timed);
    EXPECT_EQ(limits.soft_ms, c.soft_ms);
    EXPECT_EQ(limits.hard_ms, c.hard_ms);
  }
}

TEST(GoCommand, InfoLineFormat) {
  const unsigned e2e4 = make_move_value(12, 28, 0, 0, MOVE_FLAG_DOUBLE_PUSH);
  const unsigned e7e5 = make_move_value(52, 36, 6, 0, MOVE_FLAG_DOUBLE_PUSH);
  struct Case {
    int score;
    std::vector<unsigned> pv;
    const char* expected;
  };
  const Case cases[] = {
      {0,
       {},
       "info depth 7 seldepth 11 multipv 2 score cp 0 nodes 12345 time 67 nps 184253 hashfull 5"},
      {-35,
       {e2e4, e7e5},
       "info depth 7 seldepth 11 multipv 2 score cp -35 nodes 12345 time 67 nps 184253 hashfull 5 "
       "pv e2e4 e7e5"},
      {9899743,
       {e2e4},
       "info depth 7 seldepth 11 multipv 2 score cp 9899743 nodes 12345 time 67 nps 184253 "
       "hashfull 5 pv e2e4"},
      {9899744,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate 128 nodes 12345 time 67 nps 184253 hashfull "
       "5"},
      {9899999,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate 1 nodes 12345 time 67 nps 184253 hashfull 5"},
      {9899998,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate 1 nodes 12345 time 67 nps 184253 hashfull 5"},
      {9899997,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate 2 nodes 12345 time 67 nps 184253 hashfull 5"},
      {9899996,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate 2 nodes 12345 time 67 nps 184253 hashfull 5"},
      {-9899998,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate -1 nodes 12345 time 67 nps 184253 hashfull "
       "5"},
      {-9899744,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate -128 nodes 12345 time 67 nps 184253 hashfull "
       "5"},
      {-9899743,
       {},
       "info depth 7 seldepth 11 multipv 2 score cp -9899743 nodes 12345 time 67 nps 184253 "
       "hashfull 5"},
      {-9900000,
       {},
       "info depth 7 seldepth 11 multipv 2 score mate 0 nodes 12345 time 67 nps 184253 hashfull 5"},
  };
  for (const Case& c : cases) {
    Search::SearchInfo info;
    info.depth = 7;
    info.seldepth = 11;
    info.multipv = 2;
    info.score = c.score;
    info.nodes = 12345;
    info.time_ms = 67;
    info.nps = 184253;
    info.hashfull = 5;
    info.pv = c.pv;
    EXPECT_EQ(UciEngine::format_info(info), c.expected);
  }
  Search::SearchInfo big;
  big.nodes = 18446744073709551615ull;
  big.nps = 18446744073709551615ull;
  big.time_ms = MAX;
  EXPECT_EQ(UciEngine::format_info(big),
            "info depth 0 seldepth 0 multipv 1 score cp 0 nodes 18446744073709551615 time "
            "2147483647 nps 18446744073709551615 hashfull 0");
}

bool is_legal_bestmove(const std::string& line, const std::string& fen_text) {
  Position position;
  std::string error;
  if (!fen::parse_fen(fen_text, position, error)) return false;
  std::vector<unsigned> legal;
  MoveGen::generate_legal(position, legal);
  for (unsigned move : legal)
    if (line == "bestmove " + move_to_uci(move)) return true;
  return false;
}

TEST(EngineGo, PrintsOneLegalBestMove) {
  EngineFixture engine;
  engine.command("position startpos");
  engine.send("go depth 2");
  const std::vector<std::string> lines = engine.wait_for("bestmove");
  ASSERT_FALSE(lines.empty());
  EXPECT_TRUE(is_legal_bestmove(lines.back(), fen::START_FEN)) << lines.back();
  for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    EXPECT_EQ(lines[i].rfind("info depth ", 0), 0u) << lines[i];
  EXPECT_TRUE(engine.command("stop").empty());
  EXPECT_FALSE(engine.engine.search_thread_exists());
}

TEST(EngineGo, CheckmateAndStalemateAnswerWithANullMove) {
  const std::pair<const char*, const char*> cases[] = {
      {CHECKMATE_FEN,
       "info depth 0 seldepth 0 multipv 1 score mate 0 nodes 0 time 0 nps 0 hashfull 0"},
      {STALEMATE_FEN,
       "info depth 0 seldepth 0 multipv 1 score cp 0 nodes 0 time 0 nps 0 hashfull 0"},
  };
  EngineFixture engine;
  for (const auto& [fen_text, info] : cases) {
    SCOPED_TRACE(fen_text);
    engine.command(std::string("position fen ") + fen_text);
    engine.send("go wtime 1000 btime 1000");
    EXPECT_EQ(engine.wait_for("bestmove"), (std::vector<std::string>{info, "bestmove 0000"}));
  }
}

// After "go infinite" the bestmove waits for "stop" even when the search has
// ended by itself (here at its depth limit); a root without moves prints its
// "info" line at once and "bestmove 0000" on "stop".
TEST(EngineGo, InfiniteHoldsTheBestMoveUntilStop) {
  struct Case {
    const char* fen;
    const char* go;
    std::vector<std::string> at_once;  // prefix of the lines before "stop"
  };
  const Case cases[] = {
      {fen::START_FEN, "go infinite depth 1", {}},
      // Ends by itself at depth 64 within milliseconds.
      {MATE_IN_ONE_FEN, "go infinite", {}},
      {CHECKMATE_FEN,
       "go infinite",
       {"info depth 0 seldepth 0 multipv 1 score mate 0 nodes 0 time 0 nps 0 hashfull 0"}},
      {STALEMATE_FEN,
       "go infinite",
       {"info depth 0 seldepth 0 multipv 1 score cp 0 nodes 0 time 0 nps 0 hashfull 0"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.go);
    EngineFixture engine;
    engine.command(std::string("position fen ") + c.fen);
    engine.send(c.go);
    // Long enough for a depth-1 search to end by itself.
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    const std::vector<std::string> before = engine.take_output();
    for (const std::string& line : before) EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    for (std::size_t i = 0; i < c.at_once.size(); ++i) {
      ASSERT_LT(i, before.size());
      EXPECT_EQ(before[i], c.at_once[i]);
    }
    EXPECT_EQ(engine.command("isready"), std::vector<std::string>{"readyok"});
    const std::vector<std::string> after = engine.command("stop");
    ASSERT_EQ(after.size(), 1u);
    if (c.at_once.empty())
      EXPECT_TRUE(is_legal_bestmove(after[0], c.fen)) << after[0];
    else
      EXPECT_EQ(after[0], "bestmove 0000");
    EXPECT_FALSE(engine.engine.search_thread_exists());
  }
}

TEST(EngineGo, AHeldSearchIsCancelledSilently) {
  for (const char* command : {"position startpos", "ucinewgame", "setoption name Hash value 1",
                              "perft 1", "go infinite depth 1", "quit"}) {
    SCOPED_TRACE(command);
    EngineFixture engine;
    engine.command("go infinite depth 1");
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    engine.take_output();
    for (const std::string& line : engine.command(command))
      EXPECT_NE(line.rfind("bestmove", 0), 0u) << line;
    // Only a new search may still print, and only after its own "stop".
    const std::vector<std::string> rest = engine.command("stop");
    const bool new_search = std::string(command).rfind("go", 0) == 0;
    const auto bestmoves = std::count_if(rest.begin(), rest.end(), [](const std::string& line) {
      return line.rfind("bestmove", 0) == 0;
    });
    EXPECT_EQ(bestmoves, new_search ? 1 : 0);
    EXPECT_FALSE(engine.engine.search_thread_exists());
  }
}

}  // namespace

namespace {

// Run under ThreadSanitizer: the diagnostics, "isready" and the search
// parameters are used on the main thread while the real search runs.
TEST(EngineGo, DiagnosticsAndParametersBesideARunningSearch) {
  EngineFixture engine;
  engine.command("position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
  const std::vector<std::string> eval = engine.command("eval");
  const std::vector<std::string> trace = engine.command("evaltrace");
  engine.send("go infinite");
  for (int round = 0; round < 20; ++round) {
    engine.send("eval");
    engine.send("evaltrace");
    engine.send("setoption name Contempt value " + std::to_string(round % 2 * 10));
    engine.send("setoption name SeeQuietMargin value " + std::to_string(40 + round % 2));
    engine.send("isready");
    std::vector<std::string> lines = engine.wait_for("readyok");
    lines.erase(std::remove_if(lines.begin(), lines.end(),
                               [](const std::string& line) { return line.rfind("info ", 0) == 0; }),
                lines.end());
    ASSERT_EQ(lines.size(), 1 + trace.size() + 1);
    EXPECT_EQ(lines[0], eval[0]);
    EXPECT_EQ(std::vector<std::string>(lines.begin() + 1, lines.end() - 1), trace);
  }
  engine.send("stop");
  EXPECT_EQ(engine.wait_for("bestmove").back().rfind("bestmove ", 0), 0u);
  engine.command("setoption name Contempt value 0");
  engine.command("setoption name SeeQuietMargin value 40");
}

}  // namespace
