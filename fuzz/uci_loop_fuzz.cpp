// The command loop as a whole: the input is a sequence of command lines run
// one after another against the one engine. Every line the engine prints must
// be well formed, and every "isready" must be answered. Only the commands
// whose cost grows without bound are made small: a perft deeper than 2 runs
// at depth 2.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/uci_output.h"
#include "harness.h"

namespace {

using FuzzHarness::require;

constexpr int MAX_PERFT_DEPTH = 2;

std::string first_word(const std::string& line) {
  std::istringstream words(line);
  std::string word;
  words >> word;
  return word;
}

// The line to run instead of `line`: the same command, kept small.
std::string kept_small(const std::string& line) {
  if (first_word(line) != "perft") return line;
  std::istringstream words(line);
  std::string word;
  int depth = 1;
  words >> word >> depth;
  return depth > MAX_PERFT_DEPTH ? "perft " + std::to_string(MAX_PERFT_DEPTH) : line;
}

void require_well_formed(const std::vector<std::string>& lines) {
  for (const std::string& line : lines)
    require(UciOutput::is_well_formed(line), "a malformed output line");
}

}  // namespace

QV_FUZZ_TARGET(uci_loop) {
  UciEngine& engine = FuzzHarness::engine();
  for (const std::string& line : FuzzHarness::split_lines(data, size)) {
    const bool more = engine.handle_line(kept_small(line));
    const std::vector<std::string> output = FuzzHarness::take_output();
    require_well_formed(output);
    if (first_word(line) == "isready")
      require(std::count(output.begin(), output.end(), "readyok") == 1,
              "isready not answered exactly once");
    if (!more) break;
  }
  // The next input starts from an idle engine.
  engine.cancel_search_and_wait();
  require_well_formed(FuzzHarness::take_output());
  return 0;
}
