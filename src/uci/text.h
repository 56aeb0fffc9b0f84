// Small text helpers of the front end's command parsers. Whitespace is what
// the C library's isspace says of the character taken as an unsigned byte.
#pragma once

#include <string>

namespace UciText {

bool is_space(char c);
std::string trim_front(const std::string& text);
std::string trim_back(const std::string& text);
std::string trim(const std::string& text);

}  // namespace UciText
