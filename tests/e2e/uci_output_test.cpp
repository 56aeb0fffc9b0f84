// The output grammar that the stress test and the command-loop fuzzer read the
// engine's lines with: it must accept every kind of line and reject near misses.
#include <gtest/gtest.h>

#include "e2e/uci_output.h"

namespace {

TEST(UciOutputGrammar, AcceptsEveryKindOfLine) {
  const char* const lines[] = {
      "readyok",
      "uciok",
      "id name Quorvanta 3.4",
      "info string",
      "info string bad fen: FEN parse error: invalid piece char: x",
      "info depth 1 seldepth 2 multipv 1 score cp -15 nodes 20 time 0 nps 20 hashfull 0 pv e2e4",
      "info depth 12 seldepth 20 multipv 3 score mate -2 nodes 1 time 5 nps 200 hashfull 999 pv "
      "e7e8q a2a1n",
      "info depth 0 seldepth 0 multipv 1 score mate 0 nodes 0 time 0 nps 0 hashfull 0",
      "bestmove e2e4",
      "bestmove a7a8r",
      "bestmove 0000",
      "perft nodes=20 captures=0 enpassant=0 castles=0 promotions=0",
      "eval cp -41",
      "evaltrace pawnhash mg -51 eg -12 dmg -51 deg -12",
      "evaltrace full 7",
      "8 r n b q k b n r ",
      "3 . . . . . . . . ",
      "  a b c d e f g h",
  };
  for (const char* line : lines) EXPECT_TRUE(UciOutput::is_well_formed(line)) << line;
}

TEST(UciOutputGrammar, RejectsNearMisses) {
  const char* const lines[] = {
      "",
      "readyok ",
      "bestmove",
      "bestmove e2e4 ponder e7e5",
      "bestmove e2e9",
      "bestmove e7e8k",
      "bestmove  e2e4",
      "info depth 1 seldepth 2 multipv 1 score cp 5 nodes 20 time 0 nps 20",
      "info depth 1 seldepth 2 multipv 1 score cp 5 nodes 20 time 0 nps 20 hashfull 0 pv",
      "info depth 1 seldepth 2 multipv 1 score cp 05 nodes 20 time 0 nps 20 hashfull 0",
      "info depth -1 seldepth 2 multipv 1 score cp 5 nodes 20 time 0 nps 20 hashfull 0",
      "info seldepth 2 depth 1 multipv 1 score cp 5 nodes 20 time 0 nps 20 hashfull 0",
      "info depth 1 seldepth 2 multipv 1 score cp 5 nodes 20 time 0 nps 20 hashfull 0 pv e2e4 "
      "junk",
      "perft nodes=20 captures=0 enpassant=0 castles=0",
      "eval cp",
      "evaltrace full",
      "9 r n b q k b n r ",
      "8 r n b q k b n x ",
      "id name Somebody else",
      "readyokreadyok",
  };
  for (const char* line : lines) EXPECT_FALSE(UciOutput::is_well_formed(line)) << line;
}

}  // namespace
