// The search's long-lived learning state and the rules that write it: quiet,
// capture and continuation histories, killers, counter moves, the correction
// histories of the static evaluation and the late-move-reduction table; the
// twelve tunable parameters; the draw score. Tables live for the process,
// are zeroed at set-up and by a new game, and carry over between searches.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstdint>

#include "board/position.h"
#include "search/context.h"
#include "search/movepicker.h"
#include "search/score.h"

namespace Search {

constexpr int HISTORY_MAX = 32768;
constexpr int CORRECTION_MAX = 16384;
constexpr int CORRECTION_SIZE = 16384;  // entries per side, indexed by the key's low 14 bits
constexpr int MAX_QUIETS = 96;

// Flat layouts shared with the move picker:
//   historyHeuristic     [side][from][to]
//   captureHistory       [side][mover type][to][captured type]
//   continuationHistory* [previous piece][previous to][piece][to]
extern std::int32_t historyHeuristic[2 * 64 * 64];
extern std::int32_t captureHistory[2 * 6 * 64 * 6];
extern std::int32_t continuationHistory[12 * 64 * 12 * 64];
extern std::int32_t continuationHistory2[12 * 64 * 12 * 64];
extern std::int32_t continuationHistory4[12 * 64 * 12 * 64];
extern unsigned killerMoves[MAX_PLY][2];
extern unsigned counterMove[2][64][64];
extern std::int32_t pawnCorrHist[2][CORRECTION_SIZE];
extern std::int32_t nonPawnCorrHist[2][CORRECTION_SIZE];
extern std::int32_t contCorrHist[12][64];
extern int lmrTable[64][64];

// Tunable parameters. The front end may write them while a search runs, so
// they are atomics; each use site reads one once, relaxed.
extern std::atomic<int> g_seeCaptureMargin;
extern std::atomic<int> g_seeCaptureDepth;
extern std::atomic<int> g_seeQuietMargin;
extern std::atomic<int> g_seeQuietDepth;
extern std::atomic<int> g_seeEndgameGuard;
extern std::atomic<int> g_seeCaptHistDiv;
extern std::atomic<int> g_seeQuietHistDiv;
extern std::atomic<int> g_corrPawnWeight;
extern std::atomic<int> g_corrNonPawnWeight;
extern std::atomic<int> g_corrContWeight;
extern std::atomic<int> g_corrWeightScale;
extern std::atomic<int> g_contempt;

inline int param(const std::atomic<int>& p) { return p.load(std::memory_order_relaxed); }

// A quiet move: no capture, promotion or castling.
constexpr bool is_quiet_move(unsigned m) { return (m & 0x8F0000u) == 0 && !move_is_capture(m); }

// The value of a draw at `ply`: the contempt with the sign of the side that
// moves there (the root side values a draw at -contempt), kept clear of the
// mate range whatever the contempt.
inline int draw_score(int ply) {
  const int c = int(std::clamp<std::int64_t>(param(g_contempt), -EVAL_LIMIT, EVAL_LIMIT));
  return (ply & 1) ? c : -c;
}

// The bounded update: rewards and penalties shrink as the entry nears the bound.
inline void apply_gravity(std::int32_t& entry, int bonus, bool reward) {
  const int decay = entry * bonus / HISTORY_MAX;
  const int value = reward ? entry + bonus - decay : entry - bonus - decay;
  entry = std::clamp(value, -HISTORY_MAX, HISTORY_MAX);
}

inline int history_index(Color us, unsigned m) {
  return (us * 64 + move_from(m)) * 64 + move_to(m);
}
inline int continuation_index(unsigned previous, unsigned m) {
  return (move_piece(previous) * 64 + move_to(previous)) * 768 + move_piece(m) * 64 + move_to(m);
}
// The mover's and the victim's type of a capture as the capture history
// indexes them (victim 0 for en passant), read before the move is made.
int capture_history_index(const Position& pos, Color us, unsigned m);

// The move played `back` plies before `ply` on the search line; 0 near the
// root or for a null move.
inline unsigned previous_move(const SearchContext& ctx, int ply, int back) {
  return ply >= back ? ctx.stack[ply - back].move : MOVE_NONE;
}

// Quiet history plus the continuation entries of the moves 1, 2 and 4 plies back.
int quiet_history_sum(const SearchContext& ctx, int ply, Color us, unsigned m);

// Learning after a node whose best move is `best`.
void update_move_heuristics(const Position& pos, SearchContext& ctx, int ply, Color us,
                            unsigned best, int depth, bool cutoff, const unsigned* quiets,
                            int quietCount);
// Pulls the correction entries of the node towards bestScore - rawEval.
void update_corr_hist(const Position& pos, const SearchContext& ctx, int ply, int rawEval,
                      int bestScore, int depth);
// The raw static evaluation adjusted by the correction histories.
int corrected_eval(const Position& pos, const SearchContext& ctx, int ply, int raw);
// The learning tables as the move picker reads them at this node.
PickerHeuristics picker_heuristics(const SearchContext& ctx, int ply, Color us);

}  // namespace Search
