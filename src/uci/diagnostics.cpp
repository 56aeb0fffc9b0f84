// Diagnostic commands outside the UCI standard: perft, d, eval, evaltrace.
// They read the engine's position and never change it.
#include "movegen/perft.h"
#include "uci/engine.h"

void UciEngine::handle_perft(std::istringstream& args) {
  cancel_search_and_wait();
  // No number leaves depth 1; a word that is not a number reads as 0.
  int depth = 1;
  args >> depth;
  Position copy = position;
  const PerftResult result = perft(copy, depth);
  send_line("perft nodes=" + std::to_string(result.nodes) +
            " captures=" + std::to_string(result.captures) +
            " enpassant=" + std::to_string(result.en_passant) +
            " castles=" + std::to_string(result.castles) +
            " promotions=" + std::to_string(result.promotions));
}

void UciEngine::handle_d() {
  send_line("info string fen " + position.to_fen());
  send_line("info string");
  write_block(position.board_visual());
}

void UciEngine::handle_eval() {}

void UciEngine::handle_evaltrace() {}
