// The search's score scale: signed centipawns from the side to move's point
// of view, with mate scores far outside any evaluation.
#pragma once

// Being mated at ply p scores p - MATE_VALUE; mating at ply p scores MATE_VALUE - p.
constexpr int MATE_VALUE = 9900000;
// Scores beyond +-MATE_THRESHOLD are mate scores.
constexpr int MATE_THRESHOLD = 9899000;
// Corrected static evaluations are clamped to +-EVAL_LIMIT.
constexpr int EVAL_LIMIT = 9898999;
// Bound of the full search window.
constexpr int INFINITE_SCORE = 10000000;
// "No evaluation" in the search stack and the transposition table.
constexpr int SCORE_NONE = 32767;
