// The per-search working record that every search function receives, its
// per-ply stack, and the search functions that share it (quiescence, the main
// search below the root, the root search). Internal to the search module.
#pragma once

#include <chrono>
#include <cstdint>
#include <vector>

#include "board/position.h"
#include "eval/eval.h"
#include "search/score.h"
#include "search/search.h"
#include "search/tt.h"

namespace Search {

constexpr int MAX_PLY = 128;
// Beyond this ply a node returns its static evaluation.
constexpr int PLY_CEILING = MAX_PLY - 1;

struct StackEntry {
  unsigned move = MOVE_NONE;  // move being searched from this ply (0 during a null move)
  unsigned ttMove = MOVE_NONE;
  unsigned excludedMove = MOVE_NONE;  // skipped by the singular-extension test
  int staticEval = SCORE_NONE;
  int moveScore = 0;
  int reduction = 0;
  int extension = 0;
  bool inCheck = false;
  bool afterNullMove = false;
  int moveCount = 0;
  int doubleExtensions = 0;
};

struct SearchContext {
  using Clock = std::chrono::steady_clock;

  SearchLimits limits;
  InfoCallback onInfo;
  Clock::time_point start_time;
  std::uint64_t nodes = 0;
  bool aborted = false;
  int completed_depth = 0;
  int seldepth = 0;

  // The last completed iteration.
  int last_seldepth = 0;
  unsigned last_best_move = MOVE_NONE;
  int last_score = 0;
  std::vector<unsigned> last_pv;

  unsigned pv_table[MAX_PLY][MAX_PLY] = {};
  int pv_length[MAX_PLY] = {};
  StackEntry stack[MAX_PLY + 4];

  int elapsed_ms() const {
    return int(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start_time).count());
  }
};

// Root result of one iteration (or one MultiPV line).
struct RootResult {
  bool valid = false;
  unsigned bestMove = MOVE_NONE;
  int score = 0;
  std::vector<unsigned> pv;
};

// The aspiration window of one iteration: narrow around the previous score,
// widened on the failing side with a doubling step, fully open once too wide.
struct AspirationWindow {
  int alpha = -INFINITE_SCORE;
  int beta = INFINITE_SCORE;
  int delta = 16;

  AspirationWindow(int depth, int prevScore, bool useAspiration);
  // Returns false when the score lies inside the window; otherwise widens it.
  bool widen(int score);
};

// The soft time budget after a completed iteration: the soft limit scaled by
// best-move stability (0..8), a best move that changed late, and a score drop.
int soft_budget(const SearchLimits& limits, int budget, int depth, int stability, unsigned prevBest,
                int score, int prevScore);

int quiescence(Position& pos, SearchContext& ctx, int alpha, int beta, int ply, int qsDepth);
int negamax(Position& pos, SearchContext& ctx, int depth, int alpha, int beta, int ply);
RootResult search_root(Position& pos, SearchContext& ctx, const std::vector<unsigned>& rootMoves,
                       int depth, int alpha, int beta, unsigned prevBest);
RootResult run_aspiration_search(Position& pos, SearchContext& ctx,
                                 const std::vector<unsigned>& rootMoves, int depth, int prevScore,
                                 unsigned prevBest, bool useAspiration);

// Node-entry steps shared by quiescence and the main search: the abort test,
// seldepth, the ply ceiling, the node and time limit check, mate-distance
// pruning and the draw tests. Returns true with `score` set when the node is
// decided here; alpha and beta come back narrowed.
bool enter_node(Position& pos, SearchContext& ctx, int& alpha, int& beta, int ply, bool quiescent,
                int& score);

// Mate scores are stored relative to the node and read back relative to the root.
inline int score_to_tt(int score, int ply) {
  return score > MATE_THRESHOLD ? score + ply : score < -MATE_THRESHOLD ? score - ply : score;
}
inline int score_from_tt(int score, int ply) {
  return score > MATE_THRESHOLD ? score - ply : score < -MATE_THRESHOLD ? score + ply : score;
}
inline bool is_mate_score(int score) { return score > EVAL_LIMIT || score < -EVAL_LIMIT; }

// The uncorrected static evaluation of a node: the one the table stored (a
// full evaluation), else the evaluation, lazy when far outside the window.
inline EvalResult raw_static_eval(const Position& pos, int ttEval, int alpha, int beta) {
  return ttEval != SCORE_NONE ? EvalResult{ttEval, true} : evaluate_result(pos, alpha, beta);
}

// Empties the child's principal-variation row before a child search.
inline void prepare_child_pv(SearchContext& ctx, int ply) {
  if (ply + 1 <= PLY_CEILING) {
    ctx.pv_length[ply + 1] = ply + 1;
    ctx.pv_table[ply + 1][ply + 1] = MOVE_NONE;
  }
}
// Row `ply` becomes `move` followed by the child's row.
void update_pv(SearchContext& ctx, int ply, unsigned move);

// A pseudo-legal move needs a test when it could expose its own king: en
// passant, a king move, or a move of a pinned piece.
inline bool needs_legality_test(unsigned m, Bitboard pinned) {
  return move_is_en_passant(m) || piece_type(move_piece(m)) == KING ||
         (pinned & square_bb(move_from(m)));
}

}  // namespace Search
