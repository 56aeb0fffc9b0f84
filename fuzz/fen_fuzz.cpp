// The FEN reader on any text. A rejected text gets one "FEN parse error: "
// message. An accepted one gives a position whose FEN reads back to the same
// position, whose every legal move makes and unmakes with incrementally kept
// keys and sums equal to freshly computed ones, and which evaluates, traces
// and exchanges without fault.
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/zobrist.h"
#include "eval/eval.h"
#include "harness.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"
#include "movegen/perft.h"

namespace {

using FuzzHarness::require;

// The position read back from its own FEN: same text, same keys, same sums.
void require_reads_back(const Position& position) {
  const std::string text = position.to_fen();
  Position again;
  std::string error;
  require(fen::parse_fen(text, again, error), "a written FEN does not read back");
  require(again.to_fen() == text, "a FEN read back writes differently");
  require(again.key == position.key && again.pawn_key == position.pawn_key &&
              again.non_pawn_key == position.non_pawn_key,
          "incremental keys differ from the keys of the FEN read back");
  require(position.key == Zobrist::compute_key(position), "key differs from its definition");
  require(again.mg_sum == position.mg_sum && again.eg_sum == position.eg_sum &&
              again.phase_sum == position.phase_sum,
          "incremental sums differ from the sums of the FEN read back");
}

}  // namespace

QV_FUZZ_TARGET(fen) {
  FuzzHarness::init_tables();
  const std::string text(reinterpret_cast<const char*>(data), size);
  Position position;
  std::string error;
  if (!fen::parse_fen(text, position, error)) {
    require(error.rfind("FEN parse error: ", 0) == 0, "a rejection without its message");
    return 0;
  }
  require_reads_back(position);
  const std::string written = position.to_fen();

  PawnHash::Table table;
  PawnHash::init(table, 1);
  evaluate(position, table);
  evaluate_trace_string(position, table);

  std::vector<unsigned> legal;
  MoveGen::generate_legal(position, legal);
  require(perft(position, 1).nodes == legal.size(), "perft 1 differs from the legal moves");
  for (const unsigned move : legal) {
    Attack::see_gain(position, move);
    const Position::Undo undo = position.make_move(move);
    require(!position.in_check(~position.side), "a legal move leaves its king attacked");
    require_reads_back(position);
    evaluate(position, table);
    position.unmake_move(undo);
    require(position.to_fen() == written, "unmake does not restore the position");
  }
  require_reads_back(position);
  return 0;
}
