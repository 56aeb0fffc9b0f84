// Evaluation speed: full evaluations per second over a fixed, varied set of
// positions, with the pawn-structure entries already cached (warm) and with
// every probe missing (cold: a 1 MB table is emptied before each pass,
// outside the timed part).
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "bench.h"
#include "board/fen.h"
#include "eval/eval.h"
#include "eval/pawnhash.h"

namespace {

constexpr const char* EVAL_FENS[] = {
    // Openings
    fen::START_FEN,
    "rnbqkbnr/pppp1ppp/8/4p3/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2",
    "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
    "rnbqk2r/ppp1bppp/4pn2/3p4/2PP4/2N2N2/PP2PPPP/R1BQKB1R w KQkq - 2 5",
    "rnbqkb1r/pp2pppp/3p1n2/8/3NP3/8/PPP2PPP/RNBQKB1R w KQkq - 1 5",
    // Middlegames
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 9",
    "2r3k1/1q3ppp/p3p3/1p1nP3/3P4/P2Q1N2/1P3PPP/2R3K1 b - - 0 24",
    "r4rk1/1b3ppp/p1nqp3/1p1pN3/3P4/P1PB4/1P1Q1PPP/R4RK1 w - - 0 17",
    "2kr3r/ppp2ppp/2n5/2b1p3/4P1n1/2NP1N2/PPP2PPP/R1B2RK1 b - - 0 10",
    "r2q1rk1/pp1bbppp/2n1pn2/3p4/3P4/2NBPN2/PP1B1PPP/R2QK2R w KQ - 0 9",
    "3r1rk1/p4ppp/1pq1p3/2b1P3/2P2Q2/1P3N2/P4PPP/3R1RK1 w - - 0 21",
    // Endgames
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "8/5k2/3p4/1p1P1P2/1P6/4K3/8/8 w - - 0 1",
    "6k1/5ppp/8/8/3B4/8/1b3PPP/6K1 w - - 0 1",
    "8/8/4k3/3p4/3P1K2/8/8/8 w - - 0 1",
    "4r1k1/5ppp/8/8/8/8/1R3PPP/6K1 w - - 0 1",
    "8/1p3k2/p1p2p2/2P5/1P3P2/P3K3/8/8 b - - 0 40",
    "2b5/5k2/8/1P6/8/3B4/5K2/8 w - - 0 50",
    "8/8/8/2kq4/8/8/6QK/8 w - - 0 60",
};

struct PassResult {
  double seconds = 0;
  long long evaluations = 0;
  long long checksum = 0;
};

double now_seconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Runs passes over the positions until about `budget` seconds of evaluation
// have been timed. With `cold`, the table is emptied before every pass.
PassResult run_passes(const std::vector<Position>& positions, PawnHash::Table& table, bool cold,
                      double budget) {
  PassResult r;
  while (r.seconds < budget) {
    if (cold) PawnHash::clear(table);
    const double start = now_seconds();
    for (const Position& pos : positions) r.checksum += evaluate(pos, table);
    r.seconds += now_seconds() - start;
    r.evaluations += static_cast<long long>(positions.size());
  }
  return r;
}

}  // namespace

void run_eval_bench() {
  std::vector<Position> positions;
  for (const char* text : EVAL_FENS) {
    Position pos;
    std::string error;
    if (!fen::parse_fen(text, pos, error)) {
      std::printf("eval bench: %s: %s\n", text, error.c_str());
      continue;
    }
    positions.push_back(pos);
  }
  // Warm: the search's default 8 MB. Cold: the smallest table, so that
  // emptying it between passes costs little.
  PawnHash::Table warmTable, coldTable;
  PawnHash::init(warmTable, 8);
  PawnHash::init(coldTable, 1);

  std::printf("## eval\n\n");
  std::printf(
      "| pawn hash | positions | evaluations | seconds | Mevals/s | ns/eval | checksum |\n");
  std::printf("|---|---:|---:|---:|---:|---:|---:|\n");
  for (const bool cold : {false, true}) {
    PawnHash::Table& table = cold ? coldTable : warmTable;
    PawnHash::clear(table);
    run_passes(positions, table, cold, 0.05);  // warm up caches and branch predictors
    const PassResult r = run_passes(positions, table, cold, 1.0);
    std::printf("| %s | %zu | %lld | %.3f | %.2f | %.0f | %lld |\n", cold ? "cold" : "warm",
                positions.size(), r.evaluations, r.seconds, r.evaluations / r.seconds / 1e6,
                r.seconds * 1e9 / r.evaluations,
                r.checksum / (r.evaluations / static_cast<long long>(positions.size())));
  }
  std::printf("\n");
}
