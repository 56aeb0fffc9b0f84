// Stress test: random interleavings of every command, sent at random moments
// and in bursts without waiting, against the real binary, for a bounded time
// (QV_STRESS_SECONDS, default 15). Each sequence is one engine process from
// start to "quit" or the end of input. Every control command ("go", "stop",
// and the commands that cancel a search) is followed by "isready", so the
// output splits into windows at each "readyok"; in each window the
// main-thread lines must be exactly those of its commands, every line must be
// well formed, and the search ledger checks the searches. A failure names the
// seed (QV_STRESS_SEED reruns it) and the sequence.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <deque>
#include <iostream>
#include <random>
#include <thread>

#include "e2e/engine_process.h"
#include "e2e/search_ledger.h"
#include "e2e/stress_commands.h"
#include "e2e/uci_output.h"
#include "movegen/attack.h"
#include "movegen/pext.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;
using Control = SearchLedger::Control;

// How long the engine may stay silent when an answer is due.
constexpr milliseconds ANSWER_TIMEOUT(30000);

std::uint64_t env_number(const char* name, std::uint64_t fallback) {
  const char* text = std::getenv(name);
  return text ? std::strtoull(text, nullptr, 10) : fallback;
}

bool is_search_line(const std::string& line) {
  return line.rfind("info depth ", 0) == 0 || line.rfind("bestmove ", 0) == 0 ||
         line.rfind("info string internal error", 0) == 0;
}

struct Totals {
  std::uint64_t sequences = 0, commands = 0, lines = 0, waits = 0;
  SearchLedger::Counts searches;
};

class StressRun {
 public:
  explicit StressRun(std::uint64_t seed) : script_(seed) {}

  // One engine process: bursts of commands until its share is sent, then
  // "quit" or the end of input.
  void run_sequence() {
    ++totals_.sequences;
    EngineProcess engine;
    SearchLedger ledger;
    script_.restart();
    std::deque<std::vector<StressCommand>> pending;
    std::vector<StressCommand> open;
    int left = 100 + below(500);
    bool alive = true;
    while (left > 0 && alive) {
      for (int burst = 1 + below(25); burst > 0 && left > 0; --burst, --left) {
        StressCommand command = script_.next();
        const bool marker = command.text == "isready";
        send(engine, open, std::move(command));
        if (!marker && open.back().control != Control::NONE) send(engine, open, script_.isready());
        if (open.back().text == "isready") {
          pending.push_back(std::move(open));
          open.clear();
        }
        const int pause = below(3) == 0 ? below(4) : 0;
        sleep_ms(pause);
      }
      // The burst's last window closes with a marker too.
      if (!open.empty()) {
        send(engine, open, script_.isready());
        pending.push_back(std::move(open));
        open.clear();
      }
      alive = read_windows(engine, ledger, pending);
      // Every draw is made whatever the engine printed, so that a seed always
      // gives the same commands.
      const bool wait = below(2) == 0;
      const int pause = below(4) == 0 ? below(20) : 0;
      if (alive && wait && ledger.awaiting_bestmove()) alive = wait_for_bestmove(engine, ledger);
      sleep_ms(pause);
    }
    if (alive) finish(engine, ledger, std::move(open));
    add_counts(ledger.counts());
    for (const std::string& e : ledger.errors()) fail(e);
  }

  const Totals& totals() const { return totals_; }
  const std::vector<std::string>& errors() const { return errors_; }

 private:
  int below(int n) { return int(script_.random()() % std::uint64_t(n)); }
  static void sleep_ms(int ms) { std::this_thread::sleep_for(milliseconds(ms)); }

  void fail(const std::string& what) {
    errors_.push_back("sequence " + std::to_string(totals_.sequences) + ": " + what);
  }

  // A hang names the commands sent last.
  void fail_hang(const std::string& what) {
    std::string text = "hang: " + what + "; last commands sent:";
    for (const std::string& command : recent_) text += " \"" + command + "\"";
    fail(text);
  }

  void send(EngineProcess& engine, std::vector<StressCommand>& window, StressCommand command) {
    engine.send(command.text);
    recent_.push_back(command.text);
    if (recent_.size() > 12) recent_.pop_front();
    ++totals_.commands;
    window.push_back(std::move(command));
  }

  // Reads until every sent "isready" is answered, checking each window.
  bool read_windows(EngineProcess& engine, SearchLedger& ledger,
                    std::deque<std::vector<StressCommand>>& pending) {
    std::vector<std::string> lines;
    while (!pending.empty()) {
      const auto line = engine.read_line(ANSWER_TIMEOUT);
      if (!line) {
        fail_hang("no readyok");
        return false;
      }
      lines.push_back(*line);
      if (*line != "readyok") continue;
      check_window(ledger, pending.front(), lines);
      pending.pop_front();
      lines.clear();
    }
    return true;
  }

  // A bounded search has time to end by itself: its bestmove must come.
  bool wait_for_bestmove(EngineProcess& engine, SearchLedger& ledger) {
    ++totals_.waits;
    std::vector<std::string> lines;
    for (;;) {
      const auto line = engine.read_line(ANSWER_TIMEOUT);
      if (!line) {
        fail_hang("a bounded search did not end");
        return false;
      }
      lines.push_back(*line);
      if (line->rfind("bestmove", 0) == 0) break;
    }
    check_window(ledger, {}, lines);
    ledger.require_finished();
    return true;
  }

  // "quit" or the end of input, then everything left until the engine exits.
  void finish(EngineProcess& engine, SearchLedger& ledger, std::vector<StressCommand> open) {
    StressCommand last = script_.quit();
    if (below(4) == 0) {
      engine.close_input();
      last.text.clear();
      open.push_back(last);
    } else {
      send(engine, open, last);
    }
    std::vector<std::string> lines;
    while (const auto line = engine.read_line(ANSWER_TIMEOUT)) lines.push_back(*line);
    check_window(ledger, open, lines);
    const auto status = engine.wait_exit(ANSWER_TIMEOUT);
    if (status != 0)
      fail(status ? "exit status " + std::to_string(*status)
                  : std::string("no exit (hang or signal)"));
  }

  // The main-thread lines of the window's commands must come in order and be
  // the only ones; the search lines go to the ledger, split where the window's
  // control command (its last command before the marker) took effect.
  void check_window(SearchLedger& ledger, const std::vector<StressCommand>& commands,
                    const std::vector<std::string>& lines) {
    totals_.lines += lines.size();
    std::vector<std::size_t> main;  // indices into `lines`
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!UciOutput::is_well_formed(lines[i])) fail("malformed line \"" + lines[i] + "\"");
      if (lines[i].rfind("info string internal error", 0) == 0) fail("\"" + lines[i] + "\"");
      if (!is_search_line(lines[i])) main.push_back(i);
    }
    std::size_t next = 0;                   // next main-thread line to match
    std::size_t boundary = 0;               // lines before this came before the control command
    std::size_t own_output = lines.size();  // the control command's first own line
    const StressCommand* control = nullptr;
    for (const StressCommand& command : commands) {
      if (command.control != Control::NONE) control = &command;
      bool first = true;
      for (const StressCommand::Line& want : command.output) {
        if (next >= main.size()) {
          fail("missing output of \"" + command.text + "\": \"" + want.text + "\"");
          return;
        }
        const std::string& got = lines[main[next]];
        if (want.prefix ? got.rfind(want.text, 0) != 0 : got != want.text) {
          fail("after \"" + command.text + "\" expected \"" + want.text + "\", got \"" + got +
               "\"");
          return;
        }
        if (control == &command && first && command.text != "isready") own_output = main[next];
        first = false;
        ++next;
      }
      if (command.may_report_memory && next < main.size() &&
          lines[main[next]].rfind("info string could not allocate ", 0) == 0)
        ++next;
      if (control == nullptr && next > 0) boundary = main[next - 1];
    }
    if (next != main.size()) fail("unexpected line \"" + lines[main[next]] + "\"");

    SearchLedger::Window window;
    if (control != nullptr) {
      window.control = control->control;
      window.position = control->position;
      window.infinite = control->infinite;
      window.bounded = control->bounded;
    }
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (!is_search_line(lines[i])) continue;
      if (i > own_output)
        fail("search output after \"" + control->text + "\" ended the search: \"" + lines[i] +
             "\"");
      (i < boundary ? window.before : window.after).push_back(lines[i]);
    }
    ledger.add(window);
  }

  void add_counts(const SearchLedger::Counts& c) {
    totals_.searches.searches += c.searches;
    totals_.searches.infinite += c.infinite;
    totals_.searches.stopped += c.stopped;
    totals_.searches.cancelled += c.cancelled;
    totals_.searches.bestmoves += c.bestmoves;
  }

  StressScript script_;
  std::deque<std::string> recent_;
  Totals totals_;
  std::vector<std::string> errors_;
};

TEST(Stress, RandomInterleavingsOfEveryCommand) {
  Attack::init_attacks();
  PEXT::init();
  const std::uint64_t seed = env_number("QV_STRESS_SEED", std::random_device{}());
  const auto budget = std::chrono::seconds(env_number("QV_STRESS_SECONDS", 15));
  SCOPED_TRACE("rerun with QV_STRESS_SEED=" + std::to_string(seed));
  StressRun run(seed);
  const auto end = Clock::now() + budget;
  while (Clock::now() < end && run.errors().empty()) run.run_sequence();

  const Totals& t = run.totals();
  std::cout << "stress seed " << seed << ": " << t.sequences << " sequences, " << t.commands
            << " commands, " << t.lines << " lines read; " << t.searches.searches << " searches ("
            << t.searches.infinite << " infinite), " << t.searches.stopped << " stopped, "
            << t.searches.cancelled << " cancelled, " << t.searches.bestmoves << " bestmoves, "
            << t.waits << " waited for; " << run.errors().size() << " errors" << std::endl;
  for (std::size_t i = 0; i < run.errors().size() && i < 20; ++i) ADD_FAILURE() << run.errors()[i];
}

}  // namespace
