// Two engine processes play complete games against each other over pipes
// with real clocks. Every bestmove is checked against the legal moves of the
// position; games end at mate, stalemate, threefold repetition, the fifty-move
// rule, insufficient material or a move cap. Any illegal, missing or
// malformed output, a time forfeit, a crash or a hang fails the test.
#include <gtest/gtest.h>

#include <cstdio>

#include "board/fen.h"
#include "e2e/engine_process.h"
#include "e2e/uci_lines.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"
#include "movegen/pext.h"

namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

struct TimeControl {
  long long initial_ms;
  long long increment_ms;
  int moves_per_period;  // > 0: the initial time is added again after this many moves
};

struct Opening {
  const char* name;
  const char* fen;
  TimeControl time_control;
};

const Opening OPENINGS[] = {
    {"start position", fen::START_FEN, {1500, 15, 0}},
    {"sicilian", "rnbqkbnr/pp1ppppp/8/2p5/4P3/5N2/PPPP1PPP/RNBQKB1R b KQkq - 1 2", {1500, 15, 0}},
    {"italian, moves to go",
     "r1bqkb1r/pppp1ppp/2n2n2/4p3/2B1P3/5N2/PPPP1PPP/RNBQK2R w KQkq - 4 4",
     {1000, 0, 12}},
    {"racing pawns", "4k3/P7/8/8/8/8/7p/4K3 w - - 0 1", {1500, 15, 0}},
};

constexpr int MAX_PLIES = 120;
// Beyond the clock, how long to wait for a bestmove before calling it a hang.
constexpr milliseconds HANG_MARGIN(3000);

void start_engine(EngineProcess& engine) {
  engine.send("uci");
  const std::vector<std::string> block = engine.read_until("uciok");
  ASSERT_FALSE(block.empty());
  ASSERT_EQ(block.back(), "uciok");
  engine.send("setoption name Hash value 8");
  // The machine may be loaded (parallel tests, sanitizer builds): keep back
  // more than the default for the pipe and the scheduler, as one would under a
  // busy match manager.
  engine.send("setoption name Move Overhead value 100");
  engine.send("ucinewgame");
  ASSERT_TRUE(engine.sync().empty());
}

// The reason the game is over, or an empty text while it goes on.
std::string adjudicate(Position& position, int plies) {
  if (!position.has_any_legal_move())
    return position.in_check(position.side) ? "checkmate" : "stalemate";
  if (position.is_threefold_repetition()) return "threefold repetition";
  if (position.halfmove_clock >= 100) return "fifty-move rule";
  if (position.has_insufficient_material()) return "insufficient material";
  if (plies >= MAX_PLIES) return "move cap";
  return "";
}

unsigned find_legal_move(Position& position, const std::string& text) {
  std::vector<unsigned> legal;
  MoveGen::generate_legal(position, legal);
  for (unsigned move : legal)
    if (move_to_uci(move) == text) return move;
  return MOVE_NONE;
}

// Plays one game; returns how it ended (empty after a failure).
std::string play_game(EngineProcess* engines[2], const Opening& opening, int& plies) {
  Position position;
  std::string error;
  if (!fen::parse_fen(opening.fen, position, error)) {
    ADD_FAILURE() << error;
    return "";
  }
  const TimeControl& tc = opening.time_control;
  long long clock[2] = {tc.initial_ms, tc.initial_ms};
  int moves_made[2] = {0, 0};
  std::string moves;
  for (plies = 0;; ++plies) {
    const std::string result = adjudicate(position, plies);
    if (!result.empty()) return result;

    const int side = position.side;
    EngineProcess& mover = *engines[side];
    // Nothing may be left over from the previous search.
    const std::vector<std::string> stray = mover.sync();
    if (!stray.empty()) {
      ADD_FAILURE() << "unexpected output: " << stray.front();
      return "";
    }
    mover.send(std::string("position fen ") + opening.fen +
               (moves.empty() ? "" : " moves" + moves));
    std::string go = "go wtime " + std::to_string(clock[WHITE]) + " btime " +
                     std::to_string(clock[BLACK]) + " winc " + std::to_string(tc.increment_ms) +
                     " binc " + std::to_string(tc.increment_ms);
    if (tc.moves_per_period > 0)
      go += " movestogo " +
            std::to_string(tc.moves_per_period - moves_made[side] % tc.moves_per_period);
    const auto start = Clock::now();
    mover.send(go);

    std::string bestmove;
    const auto deadline = start + milliseconds(clock[side]) + HANG_MARGIN;
    while (bestmove.empty()) {
      const auto left = std::chrono::duration_cast<milliseconds>(deadline - Clock::now());
      const auto line = mover.read_line(std::max(left, milliseconds(0)));
      if (!line) {
        ADD_FAILURE() << "no bestmove (crash or hang) after" << moves;
        return "";
      }
      if (starts_with(*line, "bestmove ")) {
        bestmove = line->substr(9);
      } else if (!is_info_line(*line)) {
        ADD_FAILURE() << "malformed line: " << *line;
        return "";
      }
    }
    const long long used = std::chrono::duration_cast<milliseconds>(Clock::now() - start).count();
    clock[side] -= used;
    if (clock[side] < 0) {
      ADD_FAILURE() << "time forfeit: " << used << " ms used, " << clock[side] + used
                    << " ms on the clock, after" << moves;
      return "";
    }
    clock[side] += tc.increment_ms;
    if (tc.moves_per_period > 0 && ++moves_made[side] % tc.moves_per_period == 0)
      clock[side] += tc.initial_ms;

    const unsigned move = find_legal_move(position, bestmove);
    if (move == MOVE_NONE) {
      ADD_FAILURE() << "illegal move " << bestmove << " after" << moves;
      return "";
    }
    position.make_move(move);
    moves += " " + bestmove;
  }
}

TEST(Game, TwoEnginesPlayCompleteGames) {
  Attack::init_attacks();
  PEXT::init();
  EngineProcess first, second;
  ASSERT_NO_FATAL_FAILURE(start_engine(first));
  ASSERT_NO_FATAL_FAILURE(start_engine(second));
  for (std::size_t i = 0; i < std::size(OPENINGS); ++i) {
    SCOPED_TRACE(OPENINGS[i].name);
    // Colours alternate from game to game.
    EngineProcess* engines[2] = {i % 2 ? &second : &first, i % 2 ? &first : &second};
    for (EngineProcess* engine : engines) engine->send("ucinewgame");
    int plies = 0;
    const std::string result = play_game(engines, OPENINGS[i], plies);
    ASSERT_FALSE(result.empty());
    std::printf("[ game     ] %s: %s after %d plies\n", OPENINGS[i].name, result.c_str(), plies);
  }
  for (EngineProcess* engine : {&first, &second}) {
    engine->send("quit");
    EXPECT_EQ(engine->wait_exit(), 0);
  }
}

}  // namespace
