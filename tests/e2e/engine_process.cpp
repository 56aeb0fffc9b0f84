#include "e2e/engine_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <thread>

using Clock = std::chrono::steady_clock;

EngineProcess::EngineProcess(const std::string& path) {
  int in_pipe[2], out_pipe[2];
  if (pipe(in_pipe) != 0 || pipe(out_pipe) != 0) throw std::runtime_error("pipe failed");
  pid_ = fork();
  if (pid_ < 0) throw std::runtime_error("fork failed");
  if (pid_ == 0) {
    dup2(in_pipe[0], STDIN_FILENO);
    dup2(out_pipe[1], STDOUT_FILENO);
    close(in_pipe[0]);
    close(in_pipe[1]);
    close(out_pipe[0]);
    close(out_pipe[1]);
    execl(path.c_str(), path.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  close(in_pipe[0]);
  close(out_pipe[1]);
  to_engine_ = in_pipe[1];
  from_engine_ = out_pipe[0];
  // A write to an engine that has died must fail the test, not kill it.
  signal(SIGPIPE, SIG_IGN);
}

EngineProcess::~EngineProcess() {
  if (to_engine_ >= 0) close(to_engine_);
  if (from_engine_ >= 0) close(from_engine_);
  if (!exited_ && pid_ > 0) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
  }
}

void EngineProcess::send(const std::string& line) { send_raw(line + "\n"); }

void EngineProcess::send_raw(const std::string& bytes) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = write(to_engine_, bytes.data() + written, bytes.size() - written);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    written += std::size_t(n);
  }
}

void EngineProcess::close_input() {
  if (to_engine_ >= 0) close(to_engine_);
  to_engine_ = -1;
}

std::optional<std::string> EngineProcess::read_line(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    const std::size_t newline = buffer_.find('\n');
    if (newline != std::string::npos) {
      std::string line = buffer_.substr(0, newline);
      buffer_.erase(0, newline + 1);
      return line;
    }
    if (eof_) return std::nullopt;
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return std::nullopt;
    pollfd pfd{from_engine_, POLLIN, 0};
    const int ready = poll(&pfd, 1, int(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return std::nullopt;
    char chunk[4096];
    const ssize_t n = read(from_engine_, chunk, sizeof chunk);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      eof_ = true;
      continue;
    }
    buffer_.append(chunk, std::size_t(n));
  }
}

std::vector<std::string> EngineProcess::read_until(const std::string& last,
                                                   std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  std::vector<std::string> lines;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    auto line = read_line(left.count() > 0 ? left : std::chrono::milliseconds(0));
    if (!line) return lines;
    lines.push_back(*line);
    if (*line == last) return lines;
  }
}

std::vector<std::string> EngineProcess::drain(std::chrono::milliseconds window) {
  const auto deadline = Clock::now() + window;
  std::vector<std::string> lines;
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return lines;
    auto line = read_line(left);
    if (!line) return lines;
    lines.push_back(*line);
  }
}

std::vector<std::string> EngineProcess::sync() {
  send("isready");
  auto lines = read_until("readyok");
  if (!lines.empty() && lines.back() == "readyok") lines.pop_back();
  return lines;
}

std::optional<int> EngineProcess::wait_exit(std::chrono::milliseconds timeout) {
  const auto deadline = Clock::now() + timeout;
  for (;;) {
    int status = 0;
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) {
      exited_ = true;
      if (WIFEXITED(status)) return WEXITSTATUS(status);
      return std::nullopt;
    }
    if (Clock::now() >= deadline) return std::nullopt;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}
