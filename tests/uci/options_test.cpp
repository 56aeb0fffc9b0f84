// "setoption": splitting, trimming, clamping and fallbacks, as one script of
// commands on one engine, each row with the option values it must leave.
#include <gtest/gtest.h>

#include "search/history.h"
#include "search/tt.h"
#include "uci/engine_fixture.h"

namespace {

// Records the size of each transposition-table request and refuses those
// above 32 MB, so large Hash values are checked without taking the memory.
std::uint64_t lastRequestMb = 0;

std::unique_ptr<TT::Bucket[]> record_and_allow_32_mb(std::size_t count) {
  lastRequestMb = (count * sizeof(TT::Bucket)) >> 20;
  if (lastRequestMb > 32) return nullptr;
  return std::unique_ptr<TT::Bucket[]>(new TT::Bucket[count]());
}

struct OptionStep {
  const char* command;
  int hash_mb;
  std::uint64_t requested_mb;  // 0: the table must not be rebuilt
  int multipv;
  int move_overhead;
  int min_thinking;
  int slow_mover;
  std::vector<std::string> output;
};

const OptionStep OPTION_SCRIPT[] = {
    {"setoption name Hash value 0", 1, 1, 1, 30, 20, 100, {}},
    {"setoption name Hash value 100000",
     4096,
     4096,
     1,
     30,
     20,
     100,
     {"info string could not allocate 4096 MB for the hash table, using 1 MB"}},
    {"setoption name Hash value 8", 8, 8, 1, 30, 20, 100, {}},
    {"setoption name Hash", 8, 8, 1, 30, 20, 100, {}},
    {"setoption name Hash value abc", 8, 8, 1, 30, 20, 100, {}},
    {"setoption name Hash value 32 MB", 32, 32, 1, 30, 20, 100, {}},
    {"setoption name   Hash   value   16  ", 16, 16, 1, 30, 20, 100, {}},
    {"setoption name hash value 4", 16, 0, 1, 30, 20, 100, {}},
    {"setoption Hash value 4", 16, 0, 1, 30, 20, 100, {}},
    {"setoption name value 4", 16, 0, 1, 30, 20, 100, {}},
    {"setoption name MultiPV value 9", 16, 0, 8, 30, 20, 100, {}},
    {"setoption name MultiPV value 0", 16, 0, 1, 30, 20, 100, {}},
    {"setoption name MultiPV value 3", 16, 0, 3, 30, 20, 100, {}},
    {"setoption name MultiPV value abc", 16, 0, 3, 30, 20, 100, {}},
    {"setoption name MultiPV value \t+5x", 16, 0, 5, 30, 20, 100, {}},
    {"setoption name MultiPV value 2147483648", 16, 0, 5, 30, 20, 100, {}},
    {"setoption name MultiPV value 99999999999999999999", 16, 0, 5, 30, 20, 100, {}},
    {"setoption name MultiPV value -2147483648", 16, 0, 1, 30, 20, 100, {}},
    {"setoption name MultiPV value - 4", 16, 0, 1, 30, 20, 100, {}},
    // The name ends where the first "value" starts, blank or not.
    {"setoption name MultiPVvalue 4", 16, 0, 4, 30, 20, 100, {}},
    {"   setoption   name MultiPV value 2   ", 16, 0, 2, 30, 20, 100, {}},
    {"setoption name Slow Mover value 5", 16, 0, 2, 30, 20, 10, {}},
    {"setoption name Slow Mover value 600", 16, 0, 2, 30, 20, 500, {}},
    {"setoption name Slow Mover value 250", 16, 0, 2, 30, 20, 250, {}},
    {"setoption name Move Overhead value -20", 16, 0, 2, 0, 20, 250, {}},
    {"setoption name Move Overhead value 5001", 16, 0, 2, 5000, 20, 250, {}},
    {"setoption name Move  Overhead value 5", 16, 0, 2, 5000, 20, 250, {}},
    {"setoption name Move Overhead value 100", 16, 0, 2, 100, 20, 250, {}},
    {"setoption name Move Overhead value", 16, 0, 2, 100, 20, 250, {}},
    {"setoption name Minimum Thinking Time value 7000", 16, 0, 2, 100, 5000, 250, {}},
    {"setoption name Minimum Thinking Time value x", 16, 0, 2, 100, 5000, 250, {}},
    {"setoption name Minimum Thinking Time value 50", 16, 0, 2, 100, 50, 250, {}},
    {"setoption name NoSuchOption value 1", 16, 0, 2, 100, 50, 250, {}},
};

TEST(SetOption, Script) {
  EngineFixture engine;
  engine.take_output();
  TT::set_allocator(record_and_allow_32_mb);
  for (const OptionStep& step : OPTION_SCRIPT) {
    SCOPED_TRACE(step.command);
    lastRequestMb = 0;
    EXPECT_EQ(engine.command(step.command), step.output);
    EXPECT_EQ(engine.engine.hash_size_mb(), step.hash_mb);
    EXPECT_EQ(lastRequestMb, step.requested_mb);
    EXPECT_EQ(engine.engine.multipv_lines(), step.multipv);
    EXPECT_EQ(engine.engine.time_settings().move_overhead_ms, step.move_overhead);
    EXPECT_EQ(engine.engine.time_settings().min_thinking_ms, step.min_thinking);
    EXPECT_EQ(engine.engine.time_settings().slow_mover, step.slow_mover);
  }
  TT::set_allocator(nullptr);
  TT::init_tt(1);
}

// The twelve search parameters reach the search module by name, unclamped,
// with 0 for a value that is not a number.
TEST(SetOption, SearchParametersPassUnclamped) {
  struct Case {
    const char* name;
    std::atomic<int>* parameter;
    int default_value;
  };
  const Case parameters[] = {
      {"Contempt", &Search::g_contempt, 0},
      {"SeeCaptureMargin", &Search::g_seeCaptureMargin, 32},
      {"SeeCaptureDepth", &Search::g_seeCaptureDepth, 6},
      {"SeeQuietMargin", &Search::g_seeQuietMargin, 40},
      {"SeeQuietDepth", &Search::g_seeQuietDepth, 10},
      {"SeeEndgameGuard", &Search::g_seeEndgameGuard, 0},
      {"SeeCaptHistDiv", &Search::g_seeCaptHistDiv, 512},
      {"SeeQuietHistDiv", &Search::g_seeQuietHistDiv, 512},
      {"CorrPawnWeight", &Search::g_corrPawnWeight, 2},
      {"CorrNonPawnWeight", &Search::g_corrNonPawnWeight, 1},
      {"CorrContWeight", &Search::g_corrContWeight, 1},
      {"CorrWeightScale", &Search::g_corrWeightScale, 2},
  };
  const std::pair<const char*, int> values[] = {
      {"500", 500}, {"-2147483648", -2147483648}, {"x", 0}, {"", 0}, {" 7 8", 7}};
  EngineFixture engine;
  for (const Case& p : parameters) {
    SCOPED_TRACE(p.name);
    for (const auto& [text, expected] : values) {
      EXPECT_TRUE(
          engine.command(std::string("setoption name ") + p.name + " value " + text).empty());
      EXPECT_EQ(p.parameter->load(), expected) << text;
    }
    // Case and spelling matter.
    for (const char* other : {"x value 3", " x value 3", "s value 3"}) {
      engine.command(std::string("setoption name ") + p.name + other);
      EXPECT_EQ(p.parameter->load(), 7) << other;
    }
    engine.command(std::string("setoption name ") + p.name + " value " +
                   std::to_string(p.default_value));
  }
}

TEST(SetOption, UcinewgameKeepsTheOptions) {
  EngineFixture engine;
  engine.command("setoption name MultiPV value 4");
  engine.command("setoption name Slow Mover value 80");
  engine.command("ucinewgame");
  EXPECT_EQ(engine.engine.multipv_lines(), 4);
  EXPECT_EQ(engine.engine.time_settings().slow_mover, 80);
}

}  // namespace
