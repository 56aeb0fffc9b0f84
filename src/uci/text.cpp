#include "uci/text.h"

#include <cctype>

namespace UciText {

bool is_space(char c) { return std::isspace(static_cast<unsigned char>(c)) != 0; }

std::string trim_front(const std::string& text) {
  std::size_t start = 0;
  while (start < text.size() && is_space(text[start])) ++start;
  return text.substr(start);
}

std::string trim_back(const std::string& text) {
  std::size_t end = text.size();
  while (end > 0 && is_space(text[end - 1])) --end;
  return text.substr(0, end);
}

std::string trim(const std::string& text) { return trim_back(trim_front(text)); }

}  // namespace UciText
