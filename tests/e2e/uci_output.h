// What the engine may print, as the tests read it: the identification block,
// and a grammar that every output line must match (one kind of line each, with
// its fields in order and its numbers well formed).
#pragma once

#include <string>
#include <vector>

namespace UciOutput {

// The "uci" reply, "uciok" last.
extern const std::vector<std::string> IDENTIFICATION;

// A move in coordinate notation ("e2e4", "e7e8q"), not "0000".
bool is_move_text(const std::string& word);
// An "info depth ..." line with every field of a search report in order.
bool is_search_info(const std::string& line);
// "bestmove " and a move or "0000", nothing after it.
bool is_bestmove(const std::string& line);
// Any line the engine may print: the lines above, "readyok", "info string"
// lines, the perft, eval and evaltrace lines and the board display.
bool is_well_formed(const std::string& line);

}  // namespace UciOutput
