#include "e2e/uci_lines.h"

#include <algorithm>
#include <sstream>

#include "e2e/uci_output.h"

// The grammar of the output lines lives in one place, UciOutput.
bool is_info_line(const std::string& line) { return UciOutput::is_search_info(line); }
bool is_bestmove_line(const std::string& line) { return UciOutput::is_bestmove(line); }
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
