// Test fixture that starts the real engine binary with pipes on its standard
// input and output. Every read has a timeout, and the destructor kills the
// process, so a misbehaving engine fails a test instead of hanging the run.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <vector>

class EngineProcess {
 public:
  explicit EngineProcess(const std::string& path = QV_ENGINE_PATH);
  ~EngineProcess();
  EngineProcess(const EngineProcess&) = delete;
  EngineProcess& operator=(const EngineProcess&) = delete;

  // Writes `line` followed by a line feed.
  void send(const std::string& line);
  // Writes the bytes exactly as given.
  void send_raw(const std::string& bytes);
  // Closes the engine's standard input (end of input).
  void close_input();

  // The next output line, or nothing when none arrives in time.
  std::optional<std::string> read_line(
      std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Every line up to and including the first one equal to `last`; the
  // result ends early (without `last`) on timeout or end of output.
  std::vector<std::string> read_until(const std::string& last,
                                      std::chrono::milliseconds timeout = std::chrono::seconds(10));
  // Lines that arrive within `window` (for checking that nothing is printed).
  std::vector<std::string> drain(std::chrono::milliseconds window = std::chrono::milliseconds(200));
  // Sends "isready" and returns every line before "readyok" (the engine
  // answers in order, so this collects the output of earlier commands).
  std::vector<std::string> sync();

  // Waits for the process to exit; its exit status, or nothing on timeout
  // or abnormal termination (a signal).
  std::optional<int> wait_exit(std::chrono::milliseconds timeout = std::chrono::seconds(10));

 private:
  int pid_ = -1;
  int to_engine_ = -1;
  int from_engine_ = -1;
  std::string buffer_;
  bool eof_ = false;
  bool exited_ = false;
};
