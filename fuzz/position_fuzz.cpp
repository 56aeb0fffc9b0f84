// The "position" command. The input picks one of two forms by its first byte:
//  - even: the rest is one command line after the word "position". The
//    engine either takes a position (no output; the new position is sound) or
//    prints exactly one of its four messages and keeps the old position.
//  - odd: every further byte picks a legal move, by index, of the position
//    reached so far from the start position; the resulting "position startpos
//    moves ..." command, as long as the input, must be accepted silently and
//    give that position, game record included.
#include <string>
#include <vector>

#include "board/fen.h"
#include "harness.h"
#include "movegen/movegen.h"

namespace {

using FuzzHarness::require;

bool is_position_message(const std::string& line) {
  return line == "info string unsupported position command" ||
         line == "info string failed to load start position" ||
         line == "info string illegal move in position command" ||
         line.rfind("info string bad fen: FEN parse error: ", 0) == 0;
}

void require_sound(const Position& position) {
  Position again;
  std::string error;
  require(fen::parse_fen(position.to_fen(), again, error),
          "the engine holds an unreadable position");
  require(again.key == position.key, "the engine's position has a stale key");
  require(!position.key_history.empty() && position.key_history.back() == position.key,
          "the engine's game record does not end in its position");
}

void run_command_line(UciEngine& engine, const std::string& rest) {
  const std::string before = engine.current_position().to_fen();
  const std::size_t record_before = engine.current_position().key_history.size();
  engine.handle_line("position" + rest);
  const std::vector<std::string> output = FuzzHarness::take_output();
  require(output.size() <= 1, "more than one line for one position command");
  if (output.empty()) {
    require_sound(engine.current_position());
  } else {
    require(is_position_message(output[0]), "an unexpected line for a position command");
    require(engine.current_position().to_fen() == before &&
                engine.current_position().key_history.size() == record_before,
            "a failed position command changed the position");
  }
}

void run_move_choices(UciEngine& engine, const std::uint8_t* choices, std::size_t count) {
  Position expected;
  std::string error, command = "position startpos moves";
  load_start_position(expected, error);
  std::vector<unsigned> legal;
  for (std::size_t i = 0; i < count; ++i) {
    MoveGen::generate_legal(expected, legal);
    if (legal.empty()) break;
    const unsigned move = legal[choices[i] % legal.size()];
    command += ' ' + move_to_uci(move);
    expected.make_move(move);
  }
  engine.handle_line(command);
  require(FuzzHarness::take_output().empty(), "a legal game was not accepted silently");
  const Position& got = engine.current_position();
  require(got.to_fen() == expected.to_fen(), "the position after the moves differs");
  require(got.key_history == expected.key_history, "the game record differs");
  require_sound(got);
}

}  // namespace

QV_FUZZ_TARGET(position) {
  if (size == 0) return 0;
  UciEngine& engine = FuzzHarness::engine();
  if (data[0] % 2 == 0)
    run_command_line(engine, FuzzHarness::first_line(data + 1, size - 1));
  else
    run_move_choices(engine, data + 1, size - 1);
  return 0;
}
