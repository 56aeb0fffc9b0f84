#include "e2e/uci_lines.h"

#include <algorithm>
#include <regex>
#include <sstream>

namespace {

const std::regex INFO_LINE(
    "info depth \\d+ seldepth \\d+ multipv \\d+ score (cp|mate) -?\\d+ nodes \\d+ time \\d+ "
    "nps \\d+ hashfull \\d+( pv( [a-h][1-8][a-h][1-8][qrbn]?)+)?");
const std::regex BESTMOVE_LINE("bestmove ([a-h][1-8][a-h][1-8][qrbn]?|0000)");

}  // namespace

bool is_info_line(const std::string& line) { return std::regex_match(line, INFO_LINE); }
bool is_bestmove_line(const std::string& line) { return std::regex_match(line, BESTMOVE_LINE); }
bool starts_with(const std::string& line, const std::string& prefix) {
  return line.rfind(prefix, 0) == 0;
}

std::optional<long long> info_number(const std::string& line, const std::string& name) {
  std::istringstream words(line);
  std::string word;
  while (words >> word)
    if (word == name) {
      long long value;
      if (words >> value) return value;
      return std::nullopt;
    }
  return std::nullopt;
}

std::vector<std::string> info_pv(const std::string& line) {
  std::vector<std::string> moves;
  const std::size_t at = line.find(" pv ");
  if (at == std::string::npos) return moves;
  std::istringstream words(line.substr(at + 4));
  for (std::string move; words >> move;) moves.push_back(move);
  return moves;
}

int count_starting_with(const std::vector<std::string>& lines, const std::string& prefix) {
  return int(std::count_if(lines.begin(), lines.end(),
                           [&](const std::string& line) { return starts_with(line, prefix); }));
}
