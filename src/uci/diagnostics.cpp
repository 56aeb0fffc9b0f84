// Diagnostic commands outside the UCI standard: perft, d, eval, evaltrace.
// They read the engine's position and never change it.
#include <cstddef>

#include "eval/eval.h"
#include "movegen/perft.h"
#include "uci/engine.h"

void UciEngine::handle_perft(std::istringstream& args) {
  cancel_search_and_wait();
  // No number leaves depth 1; a word that is not a number reads as 0.
  int depth = 1;
  args >> depth;
  Position copy = position;
  const PerftResult result = perft(copy, depth);
  send_line("perft nodes=" + std::to_string(result.nodes) + " captures=" +
            std::to_string(result.captures) + " enpassant=" + std::to_string(result.en_passant) +
            " castles=" + std::to_string(result.castles) +
            " promotions=" + std::to_string(result.promotions));
}

void UciEngine::handle_d() {
  send_line("info string fen " + position.to_fen());
  send_line("info string");
  write_block(position.board_visual());
}

// "eval" and "evaltrace" may run while the search thread evaluates its own
// copy of the position: they use the front end's own pawn table, and the trace
// records are kept per thread.
void UciEngine::handle_eval() {
  send_line("eval cp " + std::to_string(evaluate(position, diagnostics_pawn_table)));
}

void UciEngine::handle_evaltrace() {
  const std::string text = evaluate_trace_string(position, diagnostics_pawn_table);
  // One line per piece between line feeds; a final line feed adds no empty line.
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    send_line(text.substr(start, end - start));
    start = end + 1;
  }
}
