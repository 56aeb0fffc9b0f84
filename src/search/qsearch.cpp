// Quiescence search, and the node-entry steps it shares with the main search.
#include <algorithm>

#include "eval/eval.h"
#include "movegen/attack.h"
#include "search/context.h"
#include "search/history.h"
#include "search/movepicker.h"

namespace Search {

namespace {

// The stop flag counts only once the first iteration has completed, so a
// search always has a move to report.
bool should_abort(SearchContext& ctx) {
  if (ctx.completed_depth > 0 && stopSearch.load(std::memory_order_relaxed)) ctx.aborted = true;
  return ctx.aborted;
}

// Counts the node; every 1024 nodes, and at the node limit, checks the limits.
void count_node(SearchContext& ctx) {
  ++ctx.nodes;
  const bool nodeLimitHit = ctx.limits.nodes && ctx.nodes >= ctx.limits.nodes;
  if ((ctx.nodes % 1024 != 0 && !nodeLimitHit) || stopSearch.load(std::memory_order_relaxed))
    return;
  if (ctx.completed_depth > 0 &&
      (nodeLimitHit || (ctx.limits.has_hard_limit && ctx.elapsed_ms() >= ctx.limits.hard_ms)))
    stopSearch.exchange(true);
}

// A repetition inside the search line is a draw at once; one that reaches back
// before the root needs a second earlier occurrence.
bool is_repetition_draw(const Position& pos, int ply) {
  const int n = int(pos.key_history.size());
  if (n <= 3) return false;
  const int window = std::min({pos.halfmove_clock, pos.plies_since_null, n - 1});
  if (window <= 0) return false;
  bool seenBeforeRoot = false;
  for (int i = n - 3; i >= 0 && i >= n - 2 - window; i -= 2) {
    if (pos.key_history[i] != pos.key) continue;
    if (i > n - 1 - ply || seenBeforeRoot) return true;
    seenBeforeRoot = true;
  }
  return false;
}

void store(const Position& pos, unsigned move, int depth, int score, int ply, int eval,
           TT::Bound bound) {
  TT::store(pos.key, move, depth, score_to_tt(score, ply), eval, bound);
}

}  // namespace

bool enter_node(Position& pos, SearchContext& ctx, int& alpha, int& beta, int ply, bool quiescent,
                int& score) {
  score = 0;
  if (should_abort(ctx)) return true;
  ctx.seldepth = std::max(ctx.seldepth, ply);
  if (ply >= PLY_CEILING) {
    score = quiescent && pos.in_check(pos.side) ? 0 : evaluate(pos);
    return true;
  }
  count_node(ctx);
  if (should_abort(ctx)) return true;

  alpha = std::max(alpha, ply - MATE_VALUE);
  beta = std::min(beta, MATE_VALUE - ply);
  if (alpha >= beta) {
    score = alpha;
    return true;
  }
  ctx.pv_length[ply] = ply;

  if (ply > 0) {
    score = draw_score(ply);
    if (pos.halfmove_clock > 99) {
      // Checkmate outranks the fifty-move rule; the search finds the mate.
      if (!pos.in_check(pos.side) || pos.has_any_legal_move()) return true;
    } else if (is_repetition_draw(pos, ply)) {
      return true;
    }
    if (pos.has_insufficient_material()) return true;
  }
  return false;
}

void update_pv(SearchContext& ctx, int ply, unsigned move) {
  if (ply + 1 >= MAX_PLY) return;
  unsigned* row = ctx.pv_table[ply];
  const unsigned* child = ctx.pv_table[ply + 1];
  row[ply] = move;
  const int end = std::min(ctx.pv_length[ply + 1], MAX_PLY);
  int column = ply + 1;
  for (; column < end && child[column] != MOVE_NONE; ++column) row[column] = child[column];
  ctx.pv_length[ply] = column;
  if (column < MAX_PLY) row[column] = MOVE_NONE;
}

int quiescence(Position& pos, SearchContext& ctx, int alpha, int beta, int ply, int qsDepth) {
  int entryScore;
  if (enter_node(pos, ctx, alpha, beta, ply, true, entryScore)) return entryScore;

  const Color us = pos.side;
  StackEntry& ss = ctx.stack[ply];
  ss.move = MOVE_NONE;
  ss.ttMove = MOVE_NONE;
  ss.staticEval = SCORE_NONE;
  ss.moveScore = ss.reduction = ss.extension = 0;
  ss.inCheck = pos.in_check(us);
  ss.moveCount = 0;
  const bool inCheck = ss.inCheck;

  if (qsDepth > 23 && !inCheck) return evaluate(pos);

  int ttDepth, ttScore, ttEval;
  TT::Bound ttBound;
  const unsigned ttMove = TT::probe(pos.key, ply, ttDepth, ttScore, ttEval, ttBound);
  ss.ttMove = ttMove;
  if (ttBound != TT::BOUND_NONE) {
    ttScore = score_from_tt(ttScore, ply);
    if (ttBound == TT::BOUND_EXACT || (ttBound == TT::BOUND_UPPER && ttScore <= alpha) ||
        (ttBound == TT::BOUND_LOWER && ttScore >= beta))
      return ttScore;
  }

  const int alphaOrig = alpha;
  int best = alpha;
  int storeEval = SCORE_NONE;
  MovePicker::Config config;
  if (inCheck) {
    config.mode = MovePicker::MODE_EVASION;
  } else {
    const EvalResult result = raw_static_eval(pos, ttEval, alpha, beta);
    const int raw = result.score;
    ss.staticEval = raw;
    const int standPat = corrected_eval(pos, ctx, ply, raw);
    storeEval = result.full ? raw : SCORE_NONE;

    if (standPat >= beta) {
      store(pos, ttMove, 0, beta, ply, storeEval, TT::BOUND_LOWER);
      return beta;
    }
    if (!pos.has_any_legal_move()) {
      const int v = draw_score(ply);
      store(pos, MOVE_NONE, 0, v, ply, storeEval, TT::BOUND_EXACT);
      return v;
    }
    best = std::max(alpha, standPat);
    if (standPat + 1100 < alpha) {
      store(pos, ttMove, 0, best, ply, storeEval, TT::BOUND_UPPER);
      return best;
    }
    const unsigned prev1 = previous_move(ctx, ply, 1);
    if (prev1 && qsDepth >= 6) {
      config.mode = MovePicker::MODE_RECAPTURES;
      config.targetSquare = move_to(prev1);
      config.seeThreshold = -180;
    } else {
      config.mode = MovePicker::MODE_QUIESCENCE;
      config.includeChecks = qsDepth <= 0;
    }
  }

  const PickerHeuristics heuristics = picker_heuristics(ctx, ply, us);
  MovePicker picker(pos, ttMove, heuristics, config);
  const Bitboard pinned = pos.pinned[us];  // current: the picker just computed it
  const unsigned prev1 = previous_move(ctx, ply, 1);
  unsigned bestMove = MOVE_NONE;
  int searched = 0;

  while (const unsigned m = picker.next()) {
    ++ss.moveCount;
    bool seeOk = true;
    const bool plainCapture = move_is_capture(m) && !move_is_promotion(m);
    if (!inCheck) {
      ss.moveScore = picker.lastScore;
      ss.reduction = ss.extension = 0;
      if (plainCapture)
        seeOk = picker.lastSee != MovePicker::SEE_NONE ? picker.lastSee >= -90
                                                       : Attack::see_ge(pos, m, -90);
    }

    const Position::Undo undo = pos.make_move(m);
    if (needs_legality_test(m, pinned) && pos.in_check(us)) {
      pos.unmake_move(undo);
      continue;
    }
    TT::prefetch(pos.key);
    if (!inCheck && plainCapture && !seeOk && !pos.in_check(~us) &&
        !(prev1 && move_to(m) == move_to(prev1))) {
      pos.unmake_move(undo);
      continue;
    }

    prepare_child_pv(ctx, ply);
    ss.move = m;
    ++searched;
    const int v = -quiescence(pos, ctx, -beta, -best, ply + 1, qsDepth + 1);
    pos.unmake_move(undo);
    ss.move = MOVE_NONE;
    if (ctx.aborted) return 0;

    if (v >= beta) {
      store(pos, m, 0, beta, ply, storeEval, TT::BOUND_LOWER);
      return beta;
    }
    if (v > best) {
      best = v;
      bestMove = m;
      update_pv(ctx, ply, m);
    }
  }

  if (inCheck && searched == 0) return ply - MATE_VALUE;
  store(pos, bestMove, 0, best, ply, storeEval,
        best > alphaOrig ? TT::BOUND_EXACT : TT::BOUND_UPPER);
  return best;
}

}  // namespace Search
