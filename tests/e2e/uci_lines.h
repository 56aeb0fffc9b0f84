// Checks of the engine's output lines shared by the end-to-end tests.
#pragma once

#include <optional>
#include <string>
#include <vector>

// An "info" line of a completed iteration, in the exact field order.
bool is_info_line(const std::string& line);
bool is_bestmove_line(const std::string& line);
bool starts_with(const std::string& line, const std::string& prefix);
// The word after `name` in `line` as a number, if there is one.
std::optional<long long> info_number(const std::string& line, const std::string& name);
// The moves after " pv " (empty when there is none).
std::vector<std::string> info_pv(const std::string& line);
// How many lines start with `prefix`.
int count_starting_with(const std::vector<std::string>& lines, const std::string& prefix);
