#include "harness.h"

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <new>
#include <sstream>

#include "eval/pawnhash.h"
#include "movegen/attack.h"
#include "movegen/pext.h"
#include "search/tt.h"

namespace FuzzHarness {

namespace {

// The simulated machine's limits: the largest transposition table and pawn
// hash array the fuzzed engine can get.
constexpr std::size_t MAX_TT_BYTES = std::size_t(16) << 20;
constexpr std::size_t MAX_PAWN_HASH_BYTES = std::size_t(2) << 20;

std::unique_ptr<TT::Bucket[]> capped_tt(std::size_t count) {
  if (count > MAX_TT_BYTES / sizeof(TT::Bucket)) return nullptr;
  return std::unique_ptr<TT::Bucket[]>(new (std::nothrow) TT::Bucket[count]());
}

std::unique_ptr<PawnHash::Entry[]> capped_pawn_hash(std::size_t count) {
  if (count > MAX_PAWN_HASH_BYTES / sizeof(PawnHash::Entry)) return nullptr;
  return std::unique_ptr<PawnHash::Entry[]>(new (std::nothrow) PawnHash::Entry[count]());
}

std::ostringstream& output() {
  static std::ostringstream text;
  return text;
}

}  // namespace

#ifdef QV_LIBFUZZER
void fail(const std::string& what) {
  std::fprintf(stderr, "fuzz property broken: %s\n", what.c_str());
  std::abort();
}
#endif

void init_tables() {
  static const bool done = [] {
    Attack::init_attacks();
    PEXT::init();
    return true;
  }();
  (void)done;
}

std::string first_line(const std::uint8_t* data, std::size_t size) {
  std::string line(reinterpret_cast<const char*>(data), size);
  const std::size_t end = line.find('\n');
  if (end != std::string::npos) line.resize(end);
  return line;
}

std::vector<std::string> split_lines(const std::uint8_t* data, std::size_t size) {
  std::vector<std::string> lines;
  std::string line;
  for (std::size_t i = 0; i < size; ++i) {
    if (data[i] == '\n') {
      lines.push_back(line);
      line.clear();
    } else {
      line.push_back(char(data[i]));
    }
  }
  if (!line.empty()) lines.push_back(line);
  return lines;
}

// Never destroyed: it lives as long as the process, and a static object would
// be torn down after the search tables it uses.
UciEngine& engine() {
  static UciEngine* instance = [] {
    TT::set_allocator(capped_tt);
    PawnHash::set_allocator(capped_pawn_hash);
    // The tables of the default size cannot be had: drop them first, so the
    // engine falls back to the largest size that fits rather than keeping them.
    TT::free_tt();
    UciEngine* made = new UciEngine(output());
    output().str("");  // the start-up fallback message
    return made;
  }();
  return *instance;
}

std::vector<std::string> take_output() {
  std::vector<std::string> lines;
  std::ostringstream& text = output();
  // The search thread may be writing: read and empty the text under its lock.
  std::lock_guard<std::mutex> lock(engine().output_mutex);
  std::istringstream all(text.str());
  for (std::string line; std::getline(all, line);) lines.push_back(line);
  text.str("");
  return lines;
}

}  // namespace FuzzHarness
