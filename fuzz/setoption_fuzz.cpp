// The "setoption" command on any text after the word. It prints nothing but,
// for Hash, the one line about memory it could not have (the fuzzed engine
// runs short of memory); the front end's options stay within their ranges.
#include <string>
#include <vector>

#include "harness.h"

namespace {

using FuzzHarness::require;

}  // namespace

QV_FUZZ_TARGET(setoption) {
  UciEngine& engine = FuzzHarness::engine();
  engine.handle_line("setoption " + FuzzHarness::first_line(data, size));
  const std::vector<std::string> output = FuzzHarness::take_output();
  require(output.size() <= 1, "more than one line for one setoption");
  if (!output.empty())
    require(output[0].rfind("info string could not allocate ", 0) == 0,
            "setoption printed something other than a memory fallback");
  require(1 <= engine.hash_size_mb() && engine.hash_size_mb() <= 4096, "Hash out of range");
  require(1 <= engine.multipv_lines() && engine.multipv_lines() <= 8, "MultiPV out of range");
  const TimeMan::Options& time = engine.time_settings();
  require(0 <= time.move_overhead_ms && time.move_overhead_ms <= 5000,
          "Move Overhead out of range");
  require(0 <= time.min_thinking_ms && time.min_thinking_ms <= 5000,
          "Minimum Thinking Time out of range");
  require(10 <= time.slow_mover && time.slow_mover <= 500, "Slow Mover out of range");
  return 0;
}
