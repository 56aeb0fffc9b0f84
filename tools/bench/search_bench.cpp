// Search speed and the search signature: a fixed set of varied positions, each
// searched from a new game to a fixed depth with one principal variation. The
// total node count is deterministic for a given build of the search and is
// printed last as the signature; the release, sanitizer and portable builds
// must all print the same one.
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "bench.h"
#include "board/fen.h"
#include "board/move.h"
#include "search/search.h"

namespace {

// Openings, middlegames, endgames, positions in check and with promotions.
constexpr const char* POSITIONS[] = {
    "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1",
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/8/PPPP1PPP/RNBQKBNR w KQkq - 0 2",
    "r1bqkbnr/pppp1ppp/2n5/1B2p3/4P3/5N2/PPPP1PPP/RNBQK2R b KQkq - 3 3",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    "rnbqk2r/ppp1ppbp/3p1np1/8/2PPP3/2N5/PP3PPP/R1BQKBNR w KQkq - 0 5",
    "rnbqkb1r/p3pppp/1p6/2ppP3/3N4/2P5/PPP1QPPP/R1B1KB1R w KQkq - 0 7",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r4rk1/1pp1qppp/p1np1n2/2b1p1B1/2B1P1b1/P1NP1N2/1PP1QPPP/R4RK1 w - - 0 10",
    "r1bq1rk1/pp2nppp/2n1p3/3pP3/2pP4/P1P2N2/2Q2PPP/R1B1KB1R w KQ - 0 10",
    "r2q1rk1/pp2bppp/2n1pn2/3p4/3P4/2NBPN2/PP3PPP/R2QK2R w KQ - 4 10",
    "2rq1rk1/pp1bppbp/3p1np1/4n3/3NP3/1BN1BP2/PPPQ2PP/2KR3R w - - 7 12",
    "r1b2rk1/2q1bppp/p2p1n2/np2p3/3PP3/5N1P/PPBN1PP1/R1BQR1K1 w - - 1 13",
    "r3r1k1/pp3pbp/1qp3p1/2B5/2BP2b1/Q1n2N2/P4PPP/3R1K1R w - - 0 17",
    "2r3k1/pp2qppp/2n1p3/3pP3/3P4/P1R2N2/5PPP/3Q2K1 w - - 0 25",
    "r1bqk2r/pppp1Npp/2n2n2/2b1p3/2B1P3/8/PPPP1PPP/RNBQK2R b KQkq - 0 5",
    "rnbqkbnr/pppp1ppp/8/4p3/6P1/5P2/PPPPP2P/RNBQKBNR b KQkq - 0 2",
    "r1bqkb1r/pppp1ppp/2n2n2/4p2Q/2B1P3/8/PPPP1PPP/RNB1K1NR w KQkq - 4 4",
    "3r1rk1/p4ppp/1qp5/2n1P3/2P2Q2/1P4P1/P4PBP/3RR1K1 b - - 0 20",
    "r2qr1k1/1p1n1pbp/p2p1np1/2pP4/P3P3/2N2N1P/1P2BPP1/R1BQR1K1 b - - 1 13",
    "6k1/5ppp/8/8/8/8/5PPP/3R2K1 w - - 0 1",
    "8/8/8/4k3/8/8/4P3/4K3 w - - 0 1",
    "8/8/4k3/8/2K5/3P4/8/8 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/8/1p6/p1p3k1/P1P3p1/1P6/6K1/8 w - - 0 40",
    "8/5pk1/6p1/8/5P2/6P1/r4K2/1R6 w - - 3 45",
    "8/8/3k4/8/8/2QK4/8/8 w - - 0 1",
    "8/8/8/8/8/2k5/1q6/3K4 w - - 0 1",
    "4k3/8/8/8/8/8/8/4K2R w K - 0 1",
    "6k1/8/6K1/8/8/8/8/5R2 w - - 0 1",
    "8/3P4/8/8/8/7k/8/K7 w - - 0 1",
    "8/1P6/8/8/8/8/6pk/K7 w - - 0 1",
    "r3k2r/Pppp1ppp/1b3nbN/nP6/BBP1P3/q4N2/Pp1P2PP/R2Q1RK1 w kq - 0 1",
    "rnbq1k1r/pp1Pbppp/2p5/8/2B5/8/PPP1NnPP/RNBQK2R w KQ - 1 8",
    "4r1k1/5ppp/8/8/8/8/1q3PPP/3R2K1 w - - 0 1",
    "r1b1k2r/ppppnppp/2n2q2/2b5/3NP3/2P1B3/PP3PPP/RN1QKB1R w KQkq - 0 1",
    "2kr3r/pp1q1ppp/2n1bn2/2bpp3/4P3/2NP1N2/PPPQBPPP/R3K2R w KQ - 0 1",
    "r4rk1/pp3ppp/2n5/3q4/3P4/5N2/P4PPP/R2Q1RK1 b - - 0 15",
    "1k6/1pp5/p7/8/8/7P/5PP1/6K1 w - - 0 1",
    "8/k7/3p4/p2P1p2/P2P1P2/8/8/K7 w - - 0 1",
    "5rk1/1b3p1p/pp3p2/3n1N2/1P6/P1qB1PP1/3Q3P/4R1K1 w - - 0 1",
};

int bench_depth() {
  // QUORVANTA_BENCH_DEPTH lets CI compare signatures at a shallower depth.
  if (const char* text = std::getenv("QUORVANTA_BENCH_DEPTH")) {
    const int depth = std::atoi(text);
    if (depth > 0) return depth;
  }
  return 12;
}

}  // namespace

void run_search_bench() {
  const int depth = bench_depth();
  std::printf("| # | depth | nodes | best move | score |\n");
  std::printf("|---:|---:|---:|---|---:|\n");
  std::uint64_t total_nodes = 0;
  const auto start = std::chrono::steady_clock::now();
  int index = 0;
  for (const char* text : POSITIONS) {
    ++index;
    Position position;
    std::string error;
    if (!fen::parse_fen(text, position, error)) {
      std::printf("| %d | | %s | | |\n", index, error.c_str());
      continue;
    }
    Search::new_game();
    Search::clear_stop();
    Search::SearchLimits limits;
    limits.depth = depth;
    limits.multipv = 1;
    const Search::SearchResult result = Search::search_position(position, limits, nullptr);
    total_nodes += result.nodes;
    std::printf("| %d | %d | %llu | %s | %d |\n", index, result.depth,
                static_cast<unsigned long long>(result.nodes),
                move_to_uci(result.best_move).c_str(), result.score);
  }
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  const double seconds = elapsed.count();
  std::printf("\n| total nodes | seconds | nodes per second |\n|---:|---:|---:|\n");
  std::printf("| %llu | %.3f | %.0f |\n", static_cast<unsigned long long>(total_nodes), seconds,
              seconds > 0 ? total_nodes / seconds : 0.0);
  std::printf("signature %llu\n", static_cast<unsigned long long>(total_nodes));
  std::fflush(stdout);
}
