// The "setoption" command. Five options belong to the front end (Hash,
// MultiPV and the three time options) and are clamped to their advertised
// range; the other twelve are search parameters, handed on by name as given.
// Nothing is ever printed: unknown names are ignored, and a value that is not
// a number falls back (to the current value, or 0 for search parameters).
#include <algorithm>
#include <cstdint>
#include <limits>

#include "search/search.h"
#include "uci/engine.h"
#include "uci/text.h"

namespace {

// Options that are passed to the search module unchanged.
constexpr const char* SEARCH_PARAMETERS[] = {
    "Contempt",       "SeeCaptureMargin",  "SeeCaptureDepth", "SeeQuietMargin",
    "SeeQuietDepth",  "SeeEndgameGuard",   "SeeCaptHistDiv",  "SeeQuietHistDiv",
    "CorrPawnWeight", "CorrNonPawnWeight", "CorrContWeight",  "CorrWeightScale",
};

// The integer at the start of `text` in base 10 (leading whitespace and one
// sign allowed, anything after the digits ignored); `fallback` when there is
// no digit or the number does not fit 32 bits.
int parse_int_or(const std::string& text, int fallback) {
  std::size_t i = 0;
  while (i < text.size() && UciText::is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  bool any_digit = false;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    any_digit = true;
    value = value * 10 + (text[i] - '0');
    // Past the 32-bit range already: no need to read the remaining digits.
    if (value > std::int64_t(std::numeric_limits<int>::max()) + 1) return fallback;
  }
  if (!any_digit) return fallback;
  if (negative) value = -value;
  if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max())
    return fallback;
  return int(value);
}

bool is_search_parameter(const std::string& name) {
  return std::find(std::begin(SEARCH_PARAMETERS), std::end(SEARCH_PARAMETERS), name) !=
         std::end(SEARCH_PARAMETERS);
}

}  // namespace

void UciEngine::handle_setoption(const std::string& line) {
  // "setoption name <name> [value <value>]": the name may hold blanks, so the
  // line is cut at the first "name" and the first "value" after it.
  std::string rest = line;
  const std::size_t command_at = rest.find("setoption");
  if (command_at != std::string::npos) rest = rest.substr(command_at + 9);
  rest = UciText::trim(rest);
  const std::size_t name_at = rest.find("name");
  if (name_at == std::string::npos) return;
  rest = UciText::trim_front(rest.substr(name_at + 4));
  std::string name = rest, value;
  const std::size_t value_at = rest.find("value");
  if (value_at != std::string::npos) {
    name = rest.substr(0, value_at);
    value = rest.substr(value_at + 5);
  }
  name = UciText::trim(name);
  value = UciText::trim(value);

  if (name == "Hash") {
    // The tables are rebuilt, so no search may be using them.
    cancel_search_and_wait();
    hash_mb = std::clamp(parse_int_or(value, hash_mb), 1, 4096);
    apply_hash_size();
  } else if (name == "MultiPV") {
    multipv = std::clamp(parse_int_or(value, multipv), 1, 8);
  } else if (name == "Move Overhead") {
    time_options.move_overhead_ms =
        std::clamp(parse_int_or(value, time_options.move_overhead_ms), 0, 5000);
  } else if (name == "Minimum Thinking Time") {
    time_options.min_thinking_ms =
        std::clamp(parse_int_or(value, time_options.min_thinking_ms), 0, 5000);
  } else if (name == "Slow Mover") {
    time_options.slow_mover = std::clamp(parse_int_or(value, time_options.slow_mover), 10, 500);
  } else if (is_search_parameter(name)) {
    Search::set_see_param(name, parse_int_or(value, 0));
  }
}
