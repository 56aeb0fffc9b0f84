// Command handling of the engine object: search-thread cancellation versus
// "stop", and the diagnostic commands.
#include <gtest/gtest.h>

#include <thread>

#include "eval/eval.h"
#include "search/search.h"
#include "search/tt.h"
#include "uci/engine_fixture.h"

namespace {

// Stands in for a search: runs until the stop flag is raised, then reports
// its best move the way a search does, through the generation-checked output.
void start_fake_search(UciEngine& engine) {
  engine.start_search_thread([&engine](std::uint64_t generation) {
    while (!Search::stop_requested()) std::this_thread::yield();
    engine.send_line_if_current(generation, "bestmove e2e4");
  });
}

TEST(EngineSearchThread, StopPrintsTheBestMoveOtherCommandsCancelSilently) {
  struct Case {
    const char* command;
    bool prints_bestmove;
  };
  const Case cases[] = {
      {"stop", true},        {"position startpos", false},
      {"ucinewgame", false}, {"perft 1", false},
      {"quit", false},       {"setoption name Hash value 16", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    EngineFixture engine;
    start_fake_search(engine.engine);
    EXPECT_TRUE(engine.engine.search_thread_exists());
    std::vector<std::string> lines = engine.command(c.command);
    EXPECT_FALSE(engine.engine.search_thread_exists());
    const bool printed = std::find(lines.begin(), lines.end(), "bestmove e2e4") != lines.end();
    EXPECT_EQ(printed, c.prints_bestmove);
  }
}

TEST(EngineSearchThread, NewSearchCancelsTheOldOneAndStopAfterTheEndPrintsNothing) {
  EngineFixture engine;
  start_fake_search(engine.engine);
  start_fake_search(engine.engine);  // the first search must stay silent
  EXPECT_EQ(engine.command("stop"), std::vector<std::string>{"bestmove e2e4"});
  EXPECT_TRUE(engine.command("stop").empty());

  // A search that ended by itself is joined by "stop" without more output.
  engine.engine.start_search_thread(
      [&](std::uint64_t generation) { engine.engine.send_line_if_current(generation, "done"); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(engine.command("stop"), std::vector<std::string>{"done"});
  EXPECT_TRUE(engine.command("stop").empty());
}

TEST(EngineSearchThread, IsreadyAnswersWhileSearching) {
  EngineFixture engine;
  start_fake_search(engine.engine);
  EXPECT_EQ(engine.command("isready"), std::vector<std::string>{"readyok"});
  EXPECT_TRUE(engine.engine.search_thread_exists());
  EXPECT_EQ(engine.command("stop"), std::vector<std::string>{"bestmove e2e4"});
}

TEST(EngineSearchThread, OptionsOtherThanHashAndDiagnosticsLeaveTheSearchRunning) {
  EngineFixture engine;
  start_fake_search(engine.engine);
  for (const char* command :
       {"setoption name MultiPV value 2", "setoption name Slow Mover value 50",
        "setoption name Contempt value 0", "d", "eval", "evaltrace"}) {
    SCOPED_TRACE(command);
    engine.command(command);
    EXPECT_TRUE(engine.engine.search_thread_exists());
  }
  EXPECT_EQ(engine.command("stop"), std::vector<std::string>{"bestmove e2e4"});
}

// The diagnostics evaluate on the main thread while the search thread
// evaluates its own positions; run under ThreadSanitizer this shows that they
// share no cache and no trace state.
TEST(EngineSearchThread, EvalCommandsRunBesideASearchThatEvaluates) {
  EngineFixture engine;
  engine.command("position fen r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8");
  Position searched;
  std::string error;
  ASSERT_TRUE(load_start_position(searched, error));
  engine.engine.start_search_thread([&engine, searched](std::uint64_t generation) mutable {
    long long sum = 0;
    while (!Search::stop_requested())
      sum += evaluate(searched) + evaluate_result(searched, -50, 50).score;
    engine.engine.send_line_if_current(generation, "bestmove e2e4 " + std::to_string(sum != 0));
  });
  PawnHash::Table table;
  PawnHash::init(table, 1);
  const int expected = evaluate(engine.engine.current_position(), table);
  for (int i = 0; i < 50; ++i) {
    const std::vector<std::string> trace = engine.command("evaltrace");
    ASSERT_EQ(trace.size(), 13u);
    EXPECT_EQ(trace.back(), "evaltrace full " + std::to_string(expected));
    EXPECT_EQ(engine.command("eval"),
              std::vector<std::string>{"eval cp " + std::to_string(expected)});
  }
  EXPECT_EQ(engine.command("stop").size(), 1u);
}

TEST(EngineCommands, UcinewgameResetsToTheStartPosition) {
  EngineFixture engine;
  engine.command("position startpos moves e2e4");
  engine.command("ucinewgame");
  EXPECT_EQ(engine.fen(), "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1");
}

TEST(EngineCommands, Perft) {
  const std::pair<const char*, const char*> cases[] = {
      {"perft", "perft nodes=20 captures=0 enpassant=0 castles=0 promotions=0"},
      {"perft 2", "perft nodes=400 captures=0 enpassant=0 castles=0 promotions=0"},
      {"perft 3 extra words", "perft nodes=8902 captures=34 enpassant=0 castles=0 promotions=0"},
      {"perft 0", "perft nodes=1 captures=0 enpassant=0 castles=0 promotions=0"},
      {"perft x", "perft nodes=1 captures=0 enpassant=0 castles=0 promotions=0"},
      {"perft -3", "perft nodes=1 captures=0 enpassant=0 castles=0 promotions=0"},
  };
  EngineFixture engine;
  for (const auto& [command, expected] : cases)
    EXPECT_EQ(engine.command(command), std::vector<std::string>{expected}) << command;
  // Kiwipete: castles and en passant are counted on the last ply.
  engine.command(
      "position fen r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1");
  EXPECT_EQ(engine.command("perft 2"),
            std::vector<std::string>{
                "perft nodes=2039 captures=351 enpassant=1 castles=91 promotions=0"});
}

TEST(EngineCommands, DisplayShowsFenAndBoard) {
  EngineFixture engine;
  engine.command("position startpos moves e2e4");
  const std::vector<std::string> expected = {
      "info string fen rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1",
      "info string",
      "8 r n b q k b n r ",
      "7 p p p p p p p p ",
      "6 . . . . . . . . ",
      "5 . . . . . . . . ",
      "4 . . . . P . . . ",
      "3 . . . . . . . . ",
      "2 P P P P . P P P ",
      "1 R N B Q K B N R ",
      "  a b c d e f g h",
  };
  EXPECT_EQ(engine.command("d"), expected);
}

}  // namespace

namespace {

// Buckets for at most 16 MB; anything larger "cannot be allocated".
std::unique_ptr<TT::Bucket[]> allocate_at_most_16_mb(std::size_t count) {
  if (count * sizeof(TT::Bucket) > (std::size_t(16) << 20)) return nullptr;
  return std::unique_ptr<TT::Bucket[]>(new TT::Bucket[count]());
}

TEST(EngineHash, AnUnavailableHashSizeIsReportedAndTheEngineKeepsWorking) {
  TT::free_tt();
  TT::set_allocator(allocate_at_most_16_mb);
  {
    EngineFixture engine;
    EXPECT_EQ(engine.take_output(),
              std::vector<std::string>{
                  "info string could not allocate 64 MB for the hash table, using 16 MB"});
    EXPECT_EQ(TT::size_mb(), 16u);
    EXPECT_EQ(engine.command("isready"), std::vector<std::string>{"readyok"});
  }
  TT::set_allocator(nullptr);
  TT::init_tt(1);
}

}  // namespace
