// The "go" command: reads its limits, computes the time budget and runs the
// search on the search thread, which reports each iteration in an "info" line
// and ends with exactly one "bestmove" line unless it is cancelled.
#include <algorithm>
#include <cstdlib>
#include <istream>

#include "movegen/movegen.h"
#include "search/score.h"
#include "uci/engine.h"

namespace {

// Scores this close to the mate value are printed as mates (within 256 plies).
constexpr long long MATE_SCORE_FLOOR = MATE_VALUE - 256;

std::string score_text(int score) {
  const long long a = score;
  const long long b = std::llabs(a);
  if (b < MATE_SCORE_FLOOR) return " score cp " + std::to_string(a);
  // Plies to mate, rounded up to moves; negative when the side to move is mated.
  const long long moves = (MATE_VALUE + 1LL - b) / 2;
  return " score mate " + std::to_string(a < 0 ? -moves : moves);
}

// The report for a root without legal moves, which the search does not make.
Search::SearchInfo no_move_info(const Search::SearchResult& result) {
  Search::SearchInfo info;
  info.depth = result.depth;
  info.seldepth = result.seldepth;
  info.score = result.score;
  info.nodes = result.nodes;
  info.time_ms = result.time_ms;
  info.nps =
      result.time_ms > 0 ? result.nodes * 1000 / std::uint64_t(result.time_ms) : result.nodes;
  info.hashfull = 0;
  info.multipv = 1;
  info.pv = result.pv;
  return info;
}

}  // namespace

TimeMan::UciLimits read_go_words(std::istream& words) {
  TimeMan::UciLimits go;
  std::string word;
  while (words >> word) {
    if (word == "wtime")
      words >> go.wtime;
    else if (word == "btime")
      words >> go.btime;
    else if (word == "winc")
      words >> go.winc;
    else if (word == "binc")
      words >> go.binc;
    else if (word == "movestogo")
      words >> go.movestogo;
    else if (word == "movetime")
      words >> go.movetime;
    else if (word == "depth")
      words >> go.depth;
    else if (word == "nodes")
      words >> go.nodes;
    else if (word == "infinite")
      go.infinite = true;
    // Anything else (ponder, searchmoves and its moves, mate and its number)
    // is skipped.
  }
  return go;
}

Search::SearchLimits search_limits_for(const TimeMan::UciLimits& go, const TimeMan::Budget& budget,
                                       int multipv) {
  Search::SearchLimits limits;
  if (go.depth != 0)
    limits.depth = go.depth;
  else if (!budget.has_soft_limit && !budget.has_hard_limit && !go.infinite && go.nodes == 0)
    limits.depth = 64;
  limits.nodes = go.nodes;
  limits.infinite = go.infinite;
  limits.multipv = multipv;
  limits.has_soft_limit = budget.has_soft_limit;
  limits.has_hard_limit = budget.has_hard_limit;
  limits.soft_ms = budget.soft_ms;
  limits.hard_ms = budget.hard_ms;
  return limits;
}

std::string UciEngine::format_info(const Search::SearchInfo& info) {
  std::string line = "info depth " + std::to_string(info.depth);
  line += " seldepth " + std::to_string(info.seldepth);
  line += " multipv " + std::to_string(info.multipv);
  line += score_text(info.score);
  line += " nodes " + std::to_string(info.nodes);
  line += " time " + std::to_string(info.time_ms);
  line += " nps " + std::to_string(info.nps);
  line += " hashfull " + std::to_string(info.hashfull);
  if (!info.pv.empty()) line += " pv";
  for (unsigned move : info.pv) {
    line += ' ';
    line += move_to_uci(move);
  }
  return line;
}

void UciEngine::handle_go(std::istringstream& args) {
  const TimeMan::UciLimits go = read_go_words(args);
  const TimeMan::Budget budget = TimeMan::compute_budget(position, go, time_options);
  const Search::SearchLimits limits = search_limits_for(go, budget, multipv);
  // start_search_thread cancels the previous search before this one starts.
  start_search_thread([this, copy = position, limits](std::uint64_t generation) {
    run_search_worker(copy, limits, generation);
  });
}

void UciEngine::run_search_worker(Position position, Search::SearchLimits limits,
                                  std::uint64_t generation) {
  // A cancelled search costs no formatting: the generation is looked at first.
  auto on_info = [this, generation](const Search::SearchInfo& info) {
    if (search_generation.load() != generation) return;
    send_line_if_current(generation, format_info(info));
  };
  const Search::SearchResult result = Search::search_position(position, limits, on_info);

  std::vector<unsigned> legal;
  MoveGen::generate_legal(position, legal);
  const bool is_legal = result.best_move != MOVE_NONE &&
                        std::find(legal.begin(), legal.end(), result.best_move) != legal.end();
  const unsigned reported = is_legal ? result.best_move : MOVE_NONE;
  if (reported == MOVE_NONE) {
    if (legal.empty())
      send_line_if_current(generation, format_info(no_move_info(result)));
    else
      send_line_if_current(generation,
                           "info string internal error: search did not return a legal best move");
  }
  // After "go infinite" no "bestmove" may come before "stop", even when the
  // search has reached its greatest depth (or found no move at all).
  if (limits.infinite) wait_for_release();
  send_line_if_current(generation, "bestmove " + move_to_uci(reported));
}
