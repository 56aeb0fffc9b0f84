#include "e2e/stress_commands.h"

#include "board/fen.h"
#include "e2e/uci_output.h"
#include "movegen/movegen.h"

namespace {

using Control = SearchLedger::Control;

// Bases for "position fen": middlegames, endgames, promotions, castling and en
// passant, one side checkmated and one stalemated.
const char* const FENS[] = {
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2bppp/2n1pn2/3p4/2PP4/2N1PN2/PP3PPP/R2QKB1R w KQ - 0 8",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "n1n5/PPPk4/8/8/8/8/4Kppp/5N1N b - - 0 1",
    "rnbqkbnr/ppp1p1pp/8/3pPp2/8/8/PPPP1PPP/RNBQKBNR w KQkq f6 0 3",
    "6k1/5ppp/8/8/8/8/8/R5K1 w - - 0 1",
    "8/8/8/8/8/8/k7/7K w - - 0 1",
    "7k/6Q1/6K1/8/8/8/8/8 b - - 0 1",
    "7k/5Q2/6K1/8/8/8/8/8 b - - 0 1",
};

const char* const SEARCH_PARAMETERS[] = {
    "Contempt",       "SeeCaptureMargin",  "SeeCaptureDepth", "SeeQuietMargin",
    "SeeQuietDepth",  "SeeEndgameGuard",   "SeeCaptHistDiv",  "SeeQuietHistDiv",
    "CorrPawnWeight", "CorrNonPawnWeight", "CorrContWeight",  "CorrWeightScale",
};

Position start_position() {
  Position position;
  std::string error;
  fen::parse_fen(fen::START_FEN, position, error);
  return position;
}

}  // namespace

StressScript::StressScript(std::uint64_t seed) : random_(seed), model_(start_position()) {}

void StressScript::restart() { model_ = start_position(); }

StressCommand StressScript::isready() const {
  StressCommand command;
  command.text = "isready";
  command.output = {{"readyok"}};
  return command;
}

StressCommand StressScript::quit() const {
  StressCommand command;
  command.text = "quit";
  command.control = Control::CANCEL;
  return command;
}

StressCommand StressScript::next() {
  const int roll = below(100);
  if (roll < 26) return go();
  if (roll < 42) {
    StressCommand command;
    command.text = "stop";
    command.control = Control::STOP;
    return command;
  }
  if (roll < 55) return position_command();
  if (roll < 63) return setoption();
  if (roll < 70) return isready();
  if (roll < 74) {
    StressCommand command;
    command.text = "ucinewgame";
    command.control = Control::CANCEL;
    model_ = start_position();
    return command;
  }
  const char* const words[] = {"eval", "evaltrace", "d", "perft", "uci"};
  return diagnostic(words[below(roll < 98 ? 4 : 5)]);
}

StressCommand StressScript::go() {
  StressCommand command;
  command.control = Control::GO;
  command.position = model_;
  command.bounded = true;
  const std::string clock =
      "wtime " + std::to_string(below(3000)) + " btime " + std::to_string(below(3000));
  switch (below(12)) {
    case 0:
      command.text = "go depth " + std::to_string(1 + below(6));
      break;
    case 1:
      command.text = "go nodes " + std::to_string(1 + below(30000));
      break;
    case 2:
      command.text = "go movetime " + std::to_string(1 + below(60));
      break;
    case 3:
      command.text = "go " + clock;
      break;
    case 4:
      command.text = "go " + clock + " winc 20 binc 20";
      break;
    case 5:
      command.text = "go " + clock + " movestogo " + std::to_string(1 + below(40));
      break;
    case 6:
      command.text = "go ponder " + clock;
      break;
    case 7:
      command.text = "go searchmoves e2e4 d2d4 depth 3 movetime 50 nodes 5000";
      break;
    case 8:
    case 9:
      command.text = "go infinite";
      command.infinite = true;
      command.bounded = false;
      break;
    default: {
      // Searches that only "stop" or a cancellation end in time.
      const char* const unbounded[] = {"go", "go depth 2147483647", "go nodes 18446744073709551615",
                                       "go depth 100"};
      command.text = unbounded[below(4)];
      command.bounded = false;
    }
  }
  return command;
}

StressCommand StressScript::position_command() {
  StressCommand command;
  command.control = Control::CANCEL;
  const bool from_fen = below(3) == 0;
  const std::string fen = from_fen ? FENS[below(int(std::size(FENS)))] : fen::START_FEN;
  Position next;
  std::string error;
  fen::parse_fen(fen, next, error);
  command.text = from_fen ? "position fen " + fen : "position startpos";
  const int plies = below(4) == 0 ? 0 : below(40);
  std::vector<unsigned> legal;
  for (int i = 0; i < plies; ++i) {
    MoveGen::generate_legal(next, legal);
    if (legal.empty()) break;
    const unsigned move = legal[std::size_t(below(int(legal.size())))];
    command.text += (i == 0 ? " moves " : " ") + move_to_uci(move);
    next.make_move(move);
  }
  const int broken = below(20);
  if (broken == 0) {
    // A move that is never legal: the old position stays.
    command.text += command.text.find(" moves ") == std::string::npos ? " moves a1a1" : " a1a1";
    command.output = {{"info string illegal move in position command"}};
  } else if (broken == 1) {
    command.text = "position fen rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR x KQkq - 0 1";
    command.output = {{"info string bad fen: FEN parse error: invalid side"}};
  } else {
    model_ = next;
  }
  return command;
}

StressCommand StressScript::setoption() {
  StressCommand command;
  const int roll = below(10);
  if (roll < 3) {
    // Sizes up to 128 MB: building the largest table takes this machine many
    // seconds (the resource-limit test does it once).
    const int mb = 1 << below(8);
    command.control = Control::CANCEL;
    command.may_report_memory = true;
    command.text = "setoption name Hash value " + std::to_string(mb);
  } else if (roll < 5) {
    command.text = "setoption name MultiPV value " + std::to_string(below(10));
  } else if (roll < 7) {
    const char* const names[] = {"Move Overhead", "Minimum Thinking Time", "Slow Mover"};
    command.text =
        std::string("setoption name ") + names[below(3)] + " value " + std::to_string(below(200));
  } else {
    // Any value a user may type, in range or far out of it.
    const int values[] = {0, 1, 8, 32, 512, 4096, -1, -100000, 2147483647};
    command.text = std::string("setoption name ") +
                   SEARCH_PARAMETERS[below(int(std::size(SEARCH_PARAMETERS)))] + " value " +
                   std::to_string(values[below(int(std::size(values)))]);
  }
  return command;
}

StressCommand StressScript::diagnostic(const std::string& word) {
  StressCommand command;
  command.text = word;
  if (word == "eval") {
    command.output = {{"eval cp ", true}};
  } else if (word == "evaltrace") {
    for (int i = 0; i < 12; ++i) command.output.push_back({"evaltrace ", true});
    command.output.push_back({"evaltrace full ", true});
  } else if (word == "d") {
    // The FEN shows that the engine holds the position the script sent; the
    // rows only have to come in order (their form is the grammar's).
    command.output = {{"info string fen " + model_.to_fen()}, {"info string"}};
    for (char rank = '8'; rank >= '1'; --rank) command.output.push_back({{rank, ' '}, true});
    command.output.push_back({"  a b c d e f g h"});
  } else if (word == "perft") {
    command.text = "perft 1";
    command.control = Control::CANCEL;
    std::vector<unsigned> legal;
    Position copy = model_;
    MoveGen::generate_legal(copy, legal);
    command.output = {{"perft nodes=" + std::to_string(legal.size()) + " ", true}};
  } else {
    for (const std::string& line : UciOutput::IDENTIFICATION) command.output.push_back({line});
  }
  return command;
}
