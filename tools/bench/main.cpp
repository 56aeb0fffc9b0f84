// Runs every benchmark mode, or only the modes named on the command line
// (e.g. "quorvanta-bench perft").
#include <cstdio>
#include <cstring>

#include "bench.h"
#include "movegen/attack.h"
#include "movegen/pext.h"
#include "search/search.h"

namespace {

struct Mode {
  const char* name;
  void (*run)();
};

constexpr Mode MODES[] = {
    {"perft", run_perft_bench},
    {"eval", run_eval_bench},
    {"search", run_search_bench},
};

const Mode* find_mode(const char* name) {
  for (const Mode& mode : MODES)
    if (std::strcmp(mode.name, name) == 0) return &mode;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  // Every name must be known before anything runs.
  for (int i = 1; i < argc; ++i)
    if (!find_mode(argv[i])) {
      std::fprintf(stderr, "unknown mode: %s\nmodes:", argv[i]);
      for (const Mode& mode : MODES) std::fprintf(stderr, " %s", mode.name);
      std::fprintf(stderr, "\n");
      return 2;
    }

  Attack::init_attacks();
  PEXT::init();
  Search::init_search();

  if (argc == 1) {
    for (const Mode& mode : MODES) mode.run();
  } else {
    for (int i = 1; i < argc; ++i) find_mode(argv[i])->run();
  }
  return 0;
}
