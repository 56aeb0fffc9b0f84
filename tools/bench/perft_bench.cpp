// Perft speed: the start position to depth 6 and a middlegame position rich
// in castling, en passant and promotions to depth 5.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <string>

#include "bench.h"
#include "board/fen.h"
#include "movegen/perft.h"

namespace {

struct PerftCase {
  const char* name;
  const char* fen;
  int depth;
  std::uint64_t expected_nodes;
};

constexpr PerftCase CASES[] = {
    {"start", fen::START_FEN, 6, 119060324},
    {"kiwipete", "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1", 5,
     193690690},
};

}  // namespace

void run_perft_bench() {
  std::printf("| position | depth | nodes | seconds | Mnps |\n");
  std::printf("|---|---:|---:|---:|---:|\n");
  std::uint64_t total_nodes = 0;
  double total_seconds = 0;
  for (const PerftCase& c : CASES) {
    Position position;
    std::string error;
    if (!fen::parse_fen(c.fen, position, error)) {
      std::printf("| %s | %d | %s | | |\n", c.name, c.depth, error.c_str());
      continue;
    }
    const auto start = std::chrono::steady_clock::now();
    const PerftResult result = perft(position, c.depth);
    const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
    const double seconds = elapsed.count();
    total_nodes += result.nodes;
    total_seconds += seconds;
    std::printf("| %s | %d | %llu%s | %.3f | %.1f |\n", c.name, c.depth,
                static_cast<unsigned long long>(result.nodes),
                result.nodes == c.expected_nodes ? "" : " (WRONG)", seconds,
                result.nodes / seconds / 1e6);
  }
  std::printf("| total | | %llu | %.3f | %.1f |\n", static_cast<unsigned long long>(total_nodes),
              total_seconds, total_seconds > 0 ? total_nodes / total_seconds / 1e6 : 0.0);
  std::fflush(stdout);
}
