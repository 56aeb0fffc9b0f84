// FEN reading and writing. Parsing is strict and reports the first problem as
// one message beginning "FEN parse error: ".
#pragma once

#include <string>

#include "board/position.h"

namespace fen {

constexpr const char* START_FEN = "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1";

bool parse_fen(const std::string& fen, Position& position, std::string& error);
std::string to_fen(const Position& position);

}  // namespace fen
