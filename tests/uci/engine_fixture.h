// An in-process engine whose output goes to a string, for testing command
// handlers without starting the program.
#pragma once

#include <sstream>
#include <string>
#include <vector>

#include "uci/engine.h"

class EngineFixture {
 public:
  EngineFixture() : engine(out) {}

  // Runs one command line and returns the lines it printed.
  std::vector<std::string> command(const std::string& line) {
    engine.handle_line(line);
    return take_output();
  }

  std::vector<std::string> take_output() {
    std::vector<std::string> lines;
    std::lock_guard<std::mutex> lock(engine.output_mutex);
    std::istringstream text(out.str());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    out.str("");
    return lines;
  }

  std::string fen() const { return engine.current_position().to_fen(); }

  std::ostringstream out;
  UciEngine engine;
};
