// The "position" command: builds the new position on the side and replaces
// the engine's position only when the FEN and every move were accepted.
#include "board/fen.h"
#include "movegen/movegen.h"
#include "uci/engine.h"
#include "uci/text.h"

namespace {

using UciText::trim;
using UciText::trim_front;

// Applies the coordinate-notation moves in `moves_text` to `position`; false
// at the first word that matches no legal move.
bool apply_moves(Position& position, const std::string& moves_text) {
  std::istringstream words(moves_text);
  std::string word;
  std::vector<unsigned> legal;
  while (words >> word) {
    MoveGen::generate_legal(position, legal);
    unsigned found = MOVE_NONE;
    for (unsigned move : legal)
      if (move_to_uci(move) == word) {
        found = move;
        break;
      }
    if (found == MOVE_NONE) return false;
    position.make_move(found);
  }
  return true;
}

}  // namespace

void UciEngine::handle_position(const std::string& line) {
  cancel_search_and_wait();

  const std::size_t at = line.find("position");
  std::string rest = at == std::string::npos ? "" : trim_front(line.substr(at + 8));

  Position candidate;
  std::string error, moves_text;
  if (rest.rfind("startpos", 0) == 0) {
    if (!load_start_position(candidate, error)) {
      send_line("info string failed to load start position");
      return;
    }
    const std::string after = trim_front(rest.substr(8));
    if (after.rfind("moves", 0) == 0) moves_text = trim_front(after.substr(5));
  } else if (rest.rfind("fen", 0) == 0) {
    const std::string text = trim_front(rest.substr(3));
    const std::size_t moves_at = text.find(" moves ");
    const std::string fen_text = trim(text.substr(0, moves_at));
    if (!fen::parse_fen(fen_text, candidate, error)) {
      send_line("info string bad fen: " + error);
      return;
    }
    if (moves_at != std::string::npos) moves_text = trim_front(text.substr(moves_at + 7));
  } else {
    send_line("info string unsupported position command");
    return;
  }

  if (!apply_moves(candidate, moves_text)) {
    send_line("info string illegal move in position command");
    return;
  }
  position = candidate;
}
