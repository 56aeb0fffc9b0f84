// An in-process engine whose output goes to a string, for testing command
// handlers without starting the program.
#pragma once

#include <chrono>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "uci/engine.h"

class EngineFixture {
 public:
  EngineFixture() : engine(out) {}

  // Runs one command line; what it prints (and what a search it starts
  // prints) stays for take_output or wait_for.
  void send(const std::string& line) { engine.handle_line(line); }

  // Runs one command line and returns the lines printed so far.
  std::vector<std::string> command(const std::string& line) {
    engine.handle_line(line);
    return take_output();
  }

  // Every line printed so far and not yet taken.
  std::vector<std::string> take_output() {
    std::vector<std::string> lines;
    lines.swap(pending);
    std::lock_guard<std::mutex> lock(engine.output_mutex);
    std::istringstream text(out.str());
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    out.str("");
    return lines;
  }

  // The lines printed up to and including the first that starts with
  // `prefix`; later lines stay for the next call. Ends early (without such a
  // line) when none comes within `timeout`.
  std::vector<std::string> wait_for(const std::string& prefix,
                                    std::chrono::milliseconds timeout = std::chrono::seconds(30)) {
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    std::vector<std::string> lines;
    for (;;) {
      std::vector<std::string> fresh = take_output();
      for (std::size_t i = 0; i < fresh.size(); ++i) {
        lines.push_back(fresh[i]);
        if (fresh[i].rfind(prefix, 0) == 0) {
          pending.assign(fresh.begin() + std::ptrdiff_t(i) + 1, fresh.end());
          return lines;
        }
      }
      if (std::chrono::steady_clock::now() > deadline) return lines;
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
  }

  std::string fen() const { return engine.current_position().to_fen(); }

  std::ostringstream out;
  UciEngine engine;

 private:
  std::vector<std::string> pending;
};
