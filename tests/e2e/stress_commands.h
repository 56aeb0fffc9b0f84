// The commands of the stress test, drawn at random from one seed, with what
// each must make the engine print on its main thread. The script keeps its own
// copy of the engine's position, so a "go" knows the position it searches and
// "d" and "perft 1" know their answers; every "position" command is built from
// legal moves of the engine's own generator, and some are broken on purpose.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "board/position.h"
#include "e2e/search_ledger.h"

struct StressCommand {
  // One main-thread line: exactly `text`, or any line starting with it.
  struct Line {
    std::string text;
    bool prefix = false;
  };

  std::string text;
  SearchLedger::Control control = SearchLedger::Control::NONE;
  // For "go": the position searched, and whether the search can end by itself
  // within a short time (a small depth, node count or time).
  Position position;
  bool infinite = false;
  bool bounded = false;
  std::vector<Line> output;
  // "setoption name Hash" may report memory it could not have.
  bool may_report_memory = false;
};

class StressScript {
 public:
  explicit StressScript(std::uint64_t seed);

  // A random command of any kind but "quit".
  StressCommand next();
  StressCommand isready() const;
  StressCommand quit() const;
  // A new engine process starts from the start position.
  void restart();

  std::mt19937_64& random() { return random_; }

 private:
  int below(int n) { return int(random_() % std::uint64_t(n)); }
  StressCommand go();
  StressCommand position_command();
  StressCommand setoption();
  StressCommand diagnostic(const std::string& word);

  std::mt19937_64 random_;
  Position model_;
};
