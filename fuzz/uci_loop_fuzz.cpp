// The command loop as a whole: the input is a sequence of command lines run
// one after another against the one engine. Every line the engine prints must
// be well formed, every "isready" answered once, and the searches must keep
// the protocol's promises (the search ledger of the tests checks them: one
// legal bestmove per search that is not cancelled, none before "stop" after
// "go infinite"). Only the commands whose cost grows without bound are made
// small: a "go" keeps its words but searches at most MAX_NODES nodes, and a
// perft deeper than 2 runs at depth 2.
#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "e2e/search_ledger.h"
#include "e2e/uci_output.h"
#include "harness.h"

namespace {

using FuzzHarness::require;

constexpr int MAX_PERFT_DEPTH = 2;
constexpr std::uint64_t MAX_NODES = 400;

std::string first_word(const std::string& line) {
  std::istringstream words(line);
  std::string word;
  words >> word;
  return word;
}

// The "go" command the engine would read from `line`, with a node limit.
std::string small_go(const TimeMan::UciLimits& go) {
  std::string line = "go";
  const auto add = [&line](const char* word, long long value) {
    line += std::string(" ") + word + " " + std::to_string(value);
  };
  if (go.depth != 0) add("depth", go.depth);
  add("nodes", go.nodes == 0 ? MAX_NODES : std::min(go.nodes, MAX_NODES));
  if (go.movetime != 0) add("movetime", go.movetime);
  if (go.wtime != -1) add("wtime", go.wtime);
  if (go.btime != -1) add("btime", go.btime);
  if (go.winc != 0) add("winc", go.winc);
  if (go.binc != 0) add("binc", go.binc);
  if (go.movestogo != 0) add("movestogo", go.movestogo);
  if (go.infinite) line += " infinite";
  return line;
}

// The line to run instead of `line`: the same command, kept small.
std::string kept_small(const std::string& line, const std::string& word) {
  std::istringstream words(line);
  words >> std::ws;
  std::string skipped;
  words >> skipped;
  if (word == "go") return small_go(read_go_words(words));
  if (word != "perft") return line;
  int depth = 1;
  words >> depth;
  return depth > MAX_PERFT_DEPTH ? "perft " + std::to_string(MAX_PERFT_DEPTH) : line;
}

bool is_search_line(const std::string& line) {
  return line.rfind("info depth ", 0) == 0 || line.rfind("bestmove ", 0) == 0;
}

// Checks one command's output and hands its search lines to the ledger.
void record(SearchLedger& ledger, SearchLedger::Window window,
            const std::vector<std::string>& output) {
  for (const std::string& line : output) {
    require(UciOutput::is_well_formed(line), "a malformed output line");
    require(line.rfind("info string internal error", 0) != 0, "an internal error was reported");
    if (is_search_line(line)) window.after.push_back(line);
  }
  ledger.add(window);
}

}  // namespace

QV_FUZZ_TARGET(uci_loop) {
  UciEngine& engine = FuzzHarness::engine();
  SearchLedger ledger;
  for (const std::string& line : FuzzHarness::split_lines(data, size)) {
    const std::string word = first_word(line);
    const std::string small = kept_small(line, word);
    SearchLedger::Window window;
    window.position = engine.current_position();
    const bool searching = engine.search_thread_exists();
    const bool more = engine.handle_line(small);
    const std::vector<std::string> output = FuzzHarness::take_output();
    if (word == "go") {
      window.control = SearchLedger::Control::GO;
      window.infinite = small.find(" infinite") != std::string::npos;
    } else if (searching && word == "stop") {
      window.control = SearchLedger::Control::STOP;
    } else if (searching && !engine.search_thread_exists()) {
      window.control = SearchLedger::Control::CANCEL;
    }
    record(ledger, window, output);
    if (word == "isready")
      require(std::count(output.begin(), output.end(), "readyok") == 1,
              "isready not answered exactly once");
    if (!more) break;
  }
  // The next input starts from an idle engine.
  SearchLedger::Window last;
  last.control = SearchLedger::Control::CANCEL;
  engine.cancel_search_and_wait();
  record(ledger, last, FuzzHarness::take_output());
  if (!ledger.errors().empty()) FuzzHarness::fail(ledger.errors().front());
  return 0;
}
