#include "uci/engine.h"

#include <istream>
#include <ostream>

#include "board/fen.h"
#include "movegen/attack.h"
#include "movegen/pext.h"
#include "search/search.h"

namespace {

// A line longer than this is not a UCI command (a FEN with a thousand moves is
// a few kilobytes); it is discarded whole so that garbage input cannot grow
// memory without bound or be half-executed.
constexpr std::size_t MAX_LINE_LENGTH = 1 << 24;

// Reads one line up to a line feed (removed; nothing else is trimmed). A last
// line without a line feed still counts. Returns false at the end of input.
// A line longer than MAX_LINE_LENGTH comes back empty with `too_long` set.
bool read_line(std::istream& in, std::string& line, bool& too_long) {
  std::streambuf* buffer = in.rdbuf();
  line.clear();
  too_long = false;
  bool read_any = false;
  for (;;) {
    const int c = buffer->sbumpc();
    if (c == std::char_traits<char>::eof()) break;
    read_any = true;
    if (c == '\n') break;
    if (line.size() < MAX_LINE_LENGTH)
      line.push_back(char(c));
    else
      too_long = true;
  }
  if (too_long) line.clear();
  return read_any;
}

constexpr const char* UCI_IDENTIFICATION[] = {
    "id name Quorvanta 3.4",
    "id author The Quorvanta developers",
    "id country Switzerland",
    "option name Hash type spin default 64 min 1 max 4096",
    "option name MultiPV type spin default 1 min 1 max 8",
    "option name Contempt type spin default 0 min -100 max 100",
    "option name Move Overhead type spin default 30 min 0 max 5000",
    "option name Minimum Thinking Time type spin default 20 min 0 max 5000",
    "option name Slow Mover type spin default 100 min 10 max 500",
    "option name SeeCaptureMargin type spin default 32 min 0 max 200",
    "option name SeeCaptureDepth type spin default 6 min 0 max 12",
    "option name SeeQuietMargin type spin default 40 min 0 max 400",
    "option name SeeQuietDepth type spin default 10 min 0 max 12",
    "option name SeeEndgameGuard type spin default 0 min 0 max 32",
    "option name SeeCaptHistDiv type spin default 512 min 0 max 4096",
    "option name SeeQuietHistDiv type spin default 512 min 0 max 4096",
    "option name CorrPawnWeight type spin default 2 min 0 max 8",
    "option name CorrNonPawnWeight type spin default 1 min 0 max 8",
    "option name CorrContWeight type spin default 1 min 0 max 8",
    "option name CorrWeightScale type spin default 2 min 1 max 8",
    "uciok",
};

}  // namespace

bool load_start_position(Position& position, std::string& error) {
  return fen::parse_fen(fen::START_FEN, position, error);
}

UciEngine::UciEngine(std::ostream& output) : out(output) {
  Attack::init_attacks();
  PEXT::init();
  // The diagnostics look at one position at a time: a small table is plenty.
  PawnHash::init(diagnostics_pawn_table, 1);
  Search::init_search();
  apply_hash_size();
  Search::new_game();
  std::string error;
  if (!load_start_position(position, error)) position.clear();
}

UciEngine::~UciEngine() { cancel_search_and_wait(); }

void UciEngine::run(std::istream& in) {
  std::string line;
  bool too_long = false;
  while (read_line(in, line, too_long)) {
    if (too_long) {
      send_line("info string ignored an input line of more than " +
                std::to_string(MAX_LINE_LENGTH) + " bytes");
      continue;
    }
    if (!handle_line(line)) break;
  }
  cancel_search_and_wait();
}

bool UciEngine::handle_line(const std::string& line) {
  if (line.empty()) return true;
  std::istringstream args(line);
  std::string word;
  args >> word;

  if (word == "uci")
    handle_uci();
  else if (word == "isready")
    send_line("readyok");
  else if (word == "ucinewgame")
    handle_ucinewgame();
  else if (word == "position")
    handle_position(line);
  else if (word == "go")
    handle_go(args);
  else if (word == "setoption")
    handle_setoption(line);
  else if (word == "stop")
    handle_stop();
  else if (word == "quit") {
    cancel_search_and_wait();
    return false;
  } else if (word == "perft")
    handle_perft(args);
  else if (word == "d")
    handle_d();
  else if (word == "eval")
    handle_eval();
  else if (word == "evaltrace")
    handle_evaltrace();
  // Anything else is ignored silently.
  return true;
}

void UciEngine::send_line(const std::string& text) {
  std::lock_guard<std::mutex> lock(output_mutex);
  out << text << '\n';
  out.flush();
}

bool UciEngine::send_line_if_current(std::uint64_t generation, const std::string& text) {
  std::lock_guard<std::mutex> lock(output_mutex);
  if (search_generation.load() != generation) return false;
  out << text << '\n';
  out.flush();
  return true;
}

void UciEngine::write_block(const std::string& text) {
  std::lock_guard<std::mutex> lock(output_mutex);
  out << text;
  out.flush();
}

void UciEngine::cancel_search_and_wait() {
  if (!search_thread.joinable()) return;
  {
    // Moving the generation on under the output lock means no line of the
    // old search can be written after this point.
    std::lock_guard<std::mutex> lock(output_mutex);
    search_generation.fetch_add(1);
  }
  release_held_search();
  Search::request_stop();
  search_thread.join();
}

void UciEngine::start_search_thread(std::function<void(std::uint64_t)> work) {
  cancel_search_and_wait();
  std::uint64_t generation;
  {
    std::lock_guard<std::mutex> lock(output_mutex);
    generation = search_generation.fetch_add(1) + 1;
  }
  Search::clear_stop();
  {
    std::lock_guard<std::mutex> lock(release_mutex);
    search_released = false;
  }
  search_thread = std::thread(std::move(work), generation);
}

void UciEngine::release_held_search() {
  {
    std::lock_guard<std::mutex> lock(release_mutex);
    search_released = true;
  }
  release_signal.notify_all();
}

void UciEngine::wait_for_release() {
  std::unique_lock<std::mutex> lock(release_mutex);
  release_signal.wait(lock, [this] { return search_released; });
}

void UciEngine::handle_uci() {
  for (const char* line : UCI_IDENTIFICATION) send_line(line);
}

void UciEngine::apply_hash_size() {
  const std::uint64_t wanted = std::uint64_t(hash_mb);
  const std::uint64_t in_use = Search::set_hash_size_mb(wanted);
  const std::uint64_t pawn_wanted = Search::pawn_hash_mb_for(wanted);
  const std::uint64_t pawn_in_use = PawnHash::size_mb();
  // Both shortfalls, if any, in one line.
  std::string text;
  if (in_use < wanted)
    text = "could not allocate " + std::to_string(wanted) + " MB for the hash table, using " +
           std::to_string(in_use) + " MB";
  if (pawn_in_use < pawn_wanted)
    text += (text.empty() ? "could not allocate " : ", and ") + std::to_string(pawn_wanted) +
            " MB for the pawn hash, using " + std::to_string(pawn_in_use) + " MB";
  if (!text.empty()) send_line("info string " + text);
}

void UciEngine::handle_ucinewgame() {
  cancel_search_and_wait();
  Search::new_game();
  std::string error;
  if (!load_start_position(position, error)) position.clear();
}

void UciEngine::handle_stop() {
  if (!search_thread.joinable()) return;
  release_held_search();
  Search::request_stop();
  search_thread.join();
}
