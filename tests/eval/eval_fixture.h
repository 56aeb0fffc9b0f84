// Shared setup for the evaluation tests: positions from FEN, colour-flipped
// and file-mirrored FENs, the scratch record as the driver fills it, and the per-stage changes
// of a traced evaluation.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cctype>
#include <initializer_list>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position.h"
#include "eval/eval.h"
#include "eval/eval_internal.h"
#include "eval/pawnhash.h"
#include "movegen/attack.h"
#include "movegen/pext.h"

namespace evaltest {

inline int sq(const char* name) { return make_square(name[0] - 'a', name[1] - '1'); }

inline Bitboard squares(std::initializer_list<const char*> names) {
  Bitboard b = 0;
  for (const char* n : names) b |= square_bb(sq(n));
  return b;
}

// Swaps the colours and mirrors the ranks of a FEN's placement, side and
// castling fields (test positions carry no en-passant square).
inline std::string flip_fen(const std::string& text) {
  std::istringstream in(text);
  std::string placement, side, castling, rest;
  in >> placement >> side >> castling;
  std::getline(in, rest);
  std::vector<std::string> ranks;
  std::stringstream ranksIn(placement);
  for (std::string r; std::getline(ranksIn, r, '/');) ranks.push_back(r);
  std::reverse(ranks.begin(), ranks.end());
  const auto swap_case = [](char ch) {
    return std::isupper(static_cast<unsigned char>(ch)) ? char(std::tolower(ch))
                                                        : char(std::toupper(ch));
  };
  std::string flipped;
  for (const std::string& r : ranks) {
    if (!flipped.empty()) flipped += '/';
    for (char ch : r) flipped += swap_case(ch);
  }
  std::string flippedCastling;
  for (char ch : castling) flippedCastling += ch == '-' ? ch : swap_case(ch);
  return flipped + (side == "w" ? " b " : " w ") + flippedCastling + rest;
}

// Mirrors the files of a FEN's placement (a <-> h) and drops the castling
// rights, which have no mirror image; side to move and counters stay.
inline std::string mirror_files_fen(const std::string& text) {
  std::istringstream in(text);
  std::string placement, side, castling, enPassant, rest;
  in >> placement >> side >> castling >> enPassant;
  std::getline(in, rest);
  std::string mirrored;
  std::stringstream ranksIn(placement);
  for (std::string r; std::getline(ranksIn, r, '/');) {
    std::string squaresOfRank;  // one character per square, '1' for empty
    for (char ch : r)
      squaresOfRank += std::isdigit(static_cast<unsigned char>(ch)) ? std::string(ch - '0', '1')
                                                                    : std::string(1, ch);
    std::reverse(squaresOfRank.begin(), squaresOfRank.end());
    if (!mirrored.empty()) mirrored += '/';
    int empty = 0;
    for (char ch : squaresOfRank) {
      if (ch == '1') {
        ++empty;
        continue;
      }
      if (empty) mirrored += char('0' + empty);
      empty = 0;
      mirrored += ch;
    }
    if (empty) mirrored += char('0' + empty);
  }
  return mirrored + " " + side + " - -" + rest;
}

// The names of the twelve stages in the order the driver records them.
constexpr std::array<const char*, 12> STAGES = {"pawnhash",  "pieces",  "bishoppair", "queensyn",
                                                "imbalance", "passers", "threats",    "king",
                                                "kingact",   "space",   "initiative", "scale"};

class EvalTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static const bool ready = [] {
      Attack::init_attacks();
      PEXT::init();
      return true;
    }();
    (void)ready;
  }
  void SetUp() override { PawnHash::init(table, 1); }

  static Position from_fen(const std::string& text) {
    Position position;
    std::string error;
    EXPECT_TRUE(fen::parse_fen(text, position, error)) << text << ": " << error;
    return position;
  }

  PawnHash::Entry& entry_of(const Position& pos) { return PawnHash::probe(pos, table); }

  // The scratch record as the threat and king stages see it: initialised and
  // completed by the piece loop.
  EvalData eval_data(const Position& pos) {
    EvalData ed;
    Eval::init_eval_data(pos, entry_of(pos), ed);
    int mg = 0, eg = 0;
    Eval::evaluate_pieces(pos, ed, mg, eg);
    return ed;
  }

  // What each stage added to (mg, eg), from one traced evaluation.
  std::array<Eval::Score, 12> stage_changes(const Position& pos) {
    evaluate_trace_string(pos, table);
    std::array<Eval::Score, 12> changes{};
    EXPECT_EQ(Eval::g_evalTraceN, 12);
    int prevMg = 0, prevEg = 0;
    for (int i = 0; i < 12 && i < Eval::g_evalTraceN; ++i) {
      const Eval::TraceRecord& r = Eval::g_evalTracePts[i];
      changes[i] = {r.mg - prevMg, r.eg - prevEg};
      prevMg = r.mg;
      prevEg = r.eg;
    }
    return changes;
  }
  Eval::Score stage_change(const std::string& text, const char* stage) {
    return stage_change_of(from_fen(text), stage);
  }
  Eval::Score stage_change_of(const Position& pos, const char* stage) {
    const auto changes = stage_changes(pos);
    for (std::size_t i = 0; i < STAGES.size(); ++i)
      if (std::string(STAGES[i]) == stage) return changes[i];
    ADD_FAILURE() << "no stage " << stage;
    return {};
  }

  PawnHash::Table table;
};

}  // namespace evaltest

namespace Eval {
inline void PrintTo(const Score& s, std::ostream* os) { *os << "(" << s.mg << ", " << s.eg << ")"; }
}  // namespace Eval
