// The static evaluation: a tapered score built stage by stage over a
// middlegame and an endgame accumulator (White's point of view) and blended by
// the game phase. Results are centipawns from the side to move's point of
// view, tempo included.
//
// The plain forms use the process-wide pawn hash and belong to the thread that
// searches. A caller on another thread (the front end's diagnostics) passes a
// PawnHash::Table of its own; the trace records are per thread, so a trace
// never mixes with a search's evaluations.
#pragma once

#include <string>

#include "board/position.h"
#include "eval/pawnhash.h"

// Bonus for the side to move, added to every evaluation.
constexpr int TEMPO = 7;
// The incremental estimate decides alone when it lies further than this
// outside the search window.
constexpr int LAZY_MARGIN = 599;

struct EvalResult {
  int score;  // side to move's point of view
  bool full;  // true: the full evaluation; false: the lazy estimate
};

int evaluate(const Position& position);
int evaluate(const Position& position, PawnHash::Table& table);

// The lazy estimate (material, square values and pawn structure) when it lies
// more than LAZY_MARGIN outside [alpha, beta], the full evaluation otherwise.
EvalResult evaluate_result(const Position& position, int alpha, int beta);
EvalResult evaluate_result(const Position& position, int alpha, int beta, PawnHash::Table& table);
int evaluate(const Position& position, int alpha, int beta);

// One line per evaluation stage ("evaltrace <stage> mg .. eg .. dmg .. deg ..")
// and a final "evaltrace full <score>" line equal to evaluate().
std::string evaluate_trace_string(const Position& position);
std::string evaluate_trace_string(const Position& position, PawnHash::Table& table);
