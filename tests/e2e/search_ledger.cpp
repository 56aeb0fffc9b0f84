#include "e2e/search_ledger.h"

#include <algorithm>

#include "e2e/uci_output.h"
#include "movegen/movegen.h"

namespace {

bool is_bestmove_line(const std::string& line) { return line.rfind("bestmove ", 0) == 0; }

}  // namespace

void SearchLedger::error(const Search& search, const std::string& what, const std::string& line) {
  errors_.push_back("search " + std::to_string(search.id) + ": " + what +
                    (line.empty() ? "" : ": \"" + line + "\""));
}

SearchLedger::Search SearchLedger::make_search(const Window& window) {
  Search search;
  search.id = next_id_++;
  search.exists = true;
  search.infinite = window.infinite;
  search.bounded = window.bounded;
  Position position = window.position;
  std::vector<unsigned> moves;
  MoveGen::generate_legal(position, moves);
  for (const unsigned move : moves) search.legal.push_back(move_to_uci(move));
  ++counts_.searches;
  if (window.infinite) ++counts_.infinite;
  return search;
}

bool SearchLedger::is_legal_reply(const Search& search, const std::string& line) const {
  const std::string move = line.substr(9);
  if (search.legal.empty()) return move == "0000";
  return std::find(search.legal.begin(), search.legal.end(), move) != search.legal.end();
}

void SearchLedger::attribute(Search& search, const std::string& line) {
  if (!search.exists) {
    errors_.push_back("a search line while no search runs: \"" + line + "\"");
    return;
  }
  if (!UciOutput::is_well_formed(line)) error(search, "malformed line", line);
  if (!is_bestmove_line(line)) {
    if (search.bestmoves > 0) error(search, "a line after its bestmove", line);
    return;
  }
  ++counts_.bestmoves;
  if (search.bestmoves > 0) error(search, "a second bestmove", line);
  if (search.infinite && !search.stop_sent) error(search, "go infinite answered before stop", line);
  if (!is_legal_reply(search, line)) error(search, "a bestmove not legal in its position", line);
  ++search.bestmoves;
  search.maybe_printed = false;
}

void SearchLedger::start_search(const Window& window) {
  Search old = current_;
  Search fresh = make_search(window);
  if (old.exists) ++counts_.cancelled;
  std::vector<std::size_t> bestmoves;  // indices into window.after
  for (std::size_t i = 0; i < window.after.size(); ++i)
    if (is_bestmove_line(window.after[i])) bestmoves.push_back(i);

  // Who printed the bestmove lines: the old search can no longer print after
  // its bestmove or, being infinite and not stopped, at all; the new one
  // cannot before "stop" when it is infinite.
  const bool old_can = old.exists && old.bestmoves == 0 && !old.infinite;
  const bool fresh_can = !fresh.infinite;
  std::vector<Search*> owner(bestmoves.size(), &fresh);
  if (bestmoves.size() == 1 && old_can && fresh_can) {
    const std::string& line = window.after[bestmoves[0]];
    const bool in_old = is_legal_reply(old, line), in_fresh = is_legal_reply(fresh, line);
    if (in_old && in_fresh) {
      owner[0] = nullptr;
      fresh.maybe_printed = true;
    } else if (in_old) {
      owner[0] = &old;
    }
  } else if (!bestmoves.empty() && old.exists && (old_can || !fresh_can)) {
    owner[0] = &old;
  }

  // Info lines may belong to either search until the new one has answered;
  // after that nothing more may come.
  std::size_t next = 0;
  bool fresh_done = false;
  for (std::size_t i = 0; i < window.after.size(); ++i) {
    const std::string& line = window.after[i];
    if (next < bestmoves.size() && bestmoves[next] == i) {
      Search* by = owner[next++];
      if (by == nullptr) {
        ++counts_.bestmoves;
        if (!UciOutput::is_well_formed(line)) error(fresh, "malformed line", line);
      } else {
        attribute(*by, line);
      }
      fresh_done = fresh.bestmoves > 0;
    } else if (fresh_done) {
      attribute(fresh, line);
    } else if (!UciOutput::is_well_formed(line)) {
      error(fresh, "malformed line", line);
    }
  }
  current_ = fresh;
}

void SearchLedger::add(const Window& window) {
  for (const std::string& line : window.before) attribute(current_, line);
  if (window.control == Control::GO) {
    start_search(window);
    return;
  }
  if (window.control == Control::STOP && current_.exists) current_.stop_sent = true;
  for (const std::string& line : window.after) attribute(current_, line);
  if (!current_.exists) return;
  if (window.control == Control::STOP) {
    ++counts_.stopped;
    if (current_.bestmoves == 0 && !current_.maybe_printed)
      error(current_, "stopped without a bestmove", "");
    current_ = Search{};
  } else if (window.control == Control::CANCEL) {
    ++counts_.cancelled;
    current_ = Search{};
  }
}

void SearchLedger::require_finished() {
  if (current_.exists && current_.bestmoves == 0 && !current_.maybe_printed)
    error(current_, "a bounded search never printed its bestmove", "");
}

bool SearchLedger::awaiting_bestmove() const {
  return current_.exists && current_.bounded && !current_.infinite && current_.bestmoves == 0 &&
         !current_.maybe_printed;
}
