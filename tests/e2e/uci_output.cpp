#include "e2e/uci_output.h"

#include <algorithm>
#include <cstddef>
#include <sstream>

namespace UciOutput {

const std::vector<std::string> IDENTIFICATION = {
    "id name Quorvanta 3.4",
    "id author The Quorvanta developers",
    "id country Switzerland",
    "option name Hash type spin default 64 min 1 max 4096",
    "option name MultiPV type spin default 1 min 1 max 8",
    "option name Contempt type spin default 0 min -100 max 100",
    "option name Move Overhead type spin default 30 min 0 max 5000",
    "option name Minimum Thinking Time type spin default 20 min 0 max 5000",
    "option name Slow Mover type spin default 100 min 10 max 500",
    "option name SeeCaptureMargin type spin default 32 min 0 max 200",
    "option name SeeCaptureDepth type spin default 6 min 0 max 12",
    "option name SeeQuietMargin type spin default 40 min 0 max 400",
    "option name SeeQuietDepth type spin default 10 min 0 max 12",
    "option name SeeEndgameGuard type spin default 0 min 0 max 32",
    "option name SeeCaptHistDiv type spin default 512 min 0 max 4096",
    "option name SeeQuietHistDiv type spin default 512 min 0 max 4096",
    "option name CorrPawnWeight type spin default 2 min 0 max 8",
    "option name CorrNonPawnWeight type spin default 1 min 0 max 8",
    "option name CorrContWeight type spin default 1 min 0 max 8",
    "option name CorrWeightScale type spin default 2 min 1 max 8",
    "uciok",
};

namespace {

std::vector<std::string> words_of(const std::string& line) {
  std::vector<std::string> words;
  std::istringstream in(line);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Words separated by exactly one blank, none at either end, nothing but
// printable characters.
bool is_single_spaced(const std::string& line) {
  if (line.empty() || line.front() == ' ' || line.back() == ' ') return false;
  if (line.find("  ") != std::string::npos) return false;
  return std::all_of(line.begin(), line.end(), [](char c) { return c >= ' ' && c <= '~'; });
}

// Plain decimal: digits, no leading zero unless the number is 0, and a minus
// sign only where negative numbers are allowed.
bool is_number(const std::string& word, bool may_be_negative) {
  std::size_t start = 0;
  if (may_be_negative && !word.empty() && word[0] == '-') start = 1;
  if (start == word.size()) return false;
  if (word[start] == '0' && word.size() > start + 1) return false;
  if (start == 1 && word == "-0") return false;
  return std::all_of(word.begin() + std::ptrdiff_t(start), word.end(),
                     [](char c) { return c >= '0' && c <= '9'; });
}

// "name value" pairs in this order, each value a number.
bool has_fields(const std::vector<std::string>& words, std::size_t at,
                const std::vector<const char*>& names, bool may_be_negative) {
  if (words.size() < at + 2 * names.size()) return false;
  for (const char* name : names) {
    if (words[at] != name || !is_number(words[at + 1], may_be_negative)) return false;
    at += 2;
  }
  return true;
}

bool is_board_row(const std::string& line) {
  if (line.size() != 18 || line[0] < '1' || line[0] > '8') return false;
  for (std::size_t i = 1; i < 18; i += 2)
    if (line[i] != ' ') return false;
  for (std::size_t i = 2; i < 18; i += 2)
    if (std::string("PNBRQKpnbrqk.").find(line[i]) == std::string::npos) return false;
  return true;
}

bool is_perft(const std::vector<std::string>& words) {
  const char* const keys[] = {
      "perft", "nodes=", "captures=", "enpassant=", "castles=", "promotions="};
  if (words.size() != 6 || words[0] != keys[0]) return false;
  for (std::size_t i = 1; i < 6; ++i) {
    const std::string key = keys[i];
    if (words[i].rfind(key, 0) != 0 || !is_number(words[i].substr(key.size()), false)) return false;
  }
  return true;
}

bool is_evaltrace(const std::vector<std::string>& words) {
  if (words.size() == 3 && words[0] == "evaltrace" && words[1] == "full")
    return is_number(words[2], true);
  return words.size() == 10 && words[0] == "evaltrace" &&
         has_fields(words, 2, {"mg", "eg", "dmg", "deg"}, true);
}

}  // namespace

bool is_move_text(const std::string& word) {
  if (word.size() != 4 && word.size() != 5) return false;
  const auto file = [](char c) { return c >= 'a' && c <= 'h'; };
  const auto rank = [](char c) { return c >= '1' && c <= '8'; };
  if (!file(word[0]) || !rank(word[1]) || !file(word[2]) || !rank(word[3])) return false;
  return word.size() == 4 || std::string("nbrq").find(word[4]) != std::string::npos;
}

bool is_search_info(const std::string& line) {
  if (!is_single_spaced(line)) return false;
  const std::vector<std::string> words = words_of(line);
  if (words[0] != "info" || !has_fields(words, 1, {"depth", "seldepth", "multipv"}, false))
    return false;
  if (words.size() < 10 || words[7] != "score" || (words[8] != "cp" && words[8] != "mate") ||
      !is_number(words[9], true))
    return false;
  if (!has_fields(words, 10, {"nodes", "time", "nps", "hashfull"}, false)) return false;
  if (words.size() == 18) return true;
  if (words[18] != "pv" || words.size() == 19) return false;
  return std::all_of(words.begin() + 19, words.end(), is_move_text);
}

bool is_bestmove(const std::string& line) {
  const std::vector<std::string> words = words_of(line);
  return is_single_spaced(line) && words.size() == 2 && words[0] == "bestmove" &&
         (words[1] == "0000" || is_move_text(words[1]));
}

bool is_well_formed(const std::string& line) {
  // The board rows end in a blank and its file line starts with two; every
  // other line is single-spaced.
  if (is_board_row(line) || line == "  a b c d e f g h") return true;
  if (line == "readyok" || line == "info string") return true;
  // An "info string" text is free: a FEN error echoes the offending byte.
  if (line.rfind("info string ", 0) == 0) return line.size() > 12;
  if (std::find(IDENTIFICATION.begin(), IDENTIFICATION.end(), line) != IDENTIFICATION.end())
    return true;
  if (!is_single_spaced(line)) return false;
  const std::vector<std::string> words = words_of(line);
  if (words[0] == "info") return is_search_info(line);
  if (words[0] == "bestmove") return is_bestmove(line);
  if (words[0] == "perft") return is_perft(words);
  if (words[0] == "evaltrace") return is_evaltrace(words);
  return words.size() == 3 && words[0] == "eval" && words[1] == "cp" && is_number(words[2], true);
}

}  // namespace UciOutput
