// The principal-variation alpha-beta search below the root: node entry, table
// cutoff, corrected static evaluation, forward pruning (razoring, reverse
// futility, null move with verification, probcut), the singular-extension
// test, internal iterative reduction, then the move loop with SEE, late-move
// and futility pruning, extensions, late-move reductions and re-searches, and
// the learning and table store at the end of the node.
#include <algorithm>
#include <cstdint>
#include <vector>

#include "eval/eval.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"
#include "search/context.h"
#include "search/history.h"
#include "search/movepicker.h"

namespace Search {

namespace {

bool stop_seen(const SearchContext& ctx) {
  return ctx.completed_depth > 0 && stopSearch.load(std::memory_order_relaxed);
}

// Null-move pruning with a verification search at high depth. Returns true
// with `result` set when the node is cut.
bool try_null_move(Position& pos, SearchContext& ctx, int depth, int beta, int ply, int eval,
                   int& result) {
  const int t = eval - beta > 174 ? (eval - beta) / 175 : 0;
  const int R = std::min(3 + depth / 5 + std::min(t, 2), depth - 1);

  const Position::Undo undo = pos.make_null_move();
  ctx.stack[ply].move = MOVE_NONE;
  ctx.stack[ply + 1].afterNullMove = true;
  const int s = -negamax(pos, ctx, depth - 1 - R, -beta, -beta + 1, ply + 1);
  ctx.stack[ply + 1].afterNullMove = false;
  pos.unmake_null_move(undo);
  if (stop_seen(ctx)) {
    ctx.aborted = true;
    result = 0;
    return true;
  }
  if (s < beta) return false;
  result = is_mate_score(s) ? beta : s;
  if (depth <= 6) return true;

  ctx.stack[ply].afterNullMove = true;
  const int v = negamax(pos, ctx, depth - 1 - R, beta - 1, beta, ply);
  ctx.stack[ply].afterNullMove = false;
  if (ctx.aborted) {
    result = 0;
    return true;
  }
  return v >= beta;
}

// ProbCut: a capture that beats beta by a margin in a reduced search cuts.
bool try_probcut(Position& pos, SearchContext& ctx, int depth, int beta, int ply, int eval,
                 unsigned ttMove, const PickerHeuristics& heuristics, int& result) {
  const int pb = beta + 180;
  if (eval + 320 < pb) return false;
  MovePicker::Config config;
  config.mode = MovePicker::MODE_THRESHOLD_CAPTURES;
  config.depth = depth;
  config.seeThreshold = std::max(0, pb - eval);
  MovePicker picker(pos, ttMove, heuristics, config);
  const Color us = pos.side;
  int tried = 0;
  while (tried < 6) {
    const unsigned m = picker.next();
    if (!m) break;
    const Position::Undo undo = pos.make_move(m);
    if (pos.in_check(us)) {
      pos.unmake_move(undo);
      continue;
    }
    TT::prefetch(pos.key);
    ++tried;
    ctx.stack[ply].move = m;
    prepare_child_pv(ctx, ply);
    const int q = -quiescence(pos, ctx, -pb, -pb + 1, ply + 1, 0);
    // Below pb the quiescence value alone decides: no cut.
    int v = q;
    if (q >= pb && !ctx.aborted) v = -negamax(pos, ctx, depth - 4, -pb, -pb + 1, ply + 1);
    pos.unmake_move(undo);
    ctx.stack[ply].move = MOVE_NONE;
    if (ctx.aborted) {
      result = 0;
      return true;
    }
    if (q >= pb && v >= pb) {
      result = v;
      return true;
    }
  }
  return false;
}

// The evasion count that gates check extensions: legal replies, at most 3.
int count_evasions(Position& pos) {
  std::vector<unsigned> moves;
  MoveGen::generate_legal(pos, moves);
  return int(std::min<std::size_t>(moves.size(), 3));
}

}  // namespace

int negamax(Position& pos, SearchContext& ctx, int depth, int alpha, int beta, int ply) {
  int entryScore;
  if (enter_node(pos, ctx, alpha, beta, ply, false, entryScore)) return entryScore;

  const Color us = pos.side;
  StackEntry& ss = ctx.stack[ply];
  const unsigned excluded = ss.excludedMove;
  ss.excludedMove = MOVE_NONE;
  ss.move = MOVE_NONE;
  ss.ttMove = MOVE_NONE;
  ss.moveCount = 0;
  ss.inCheck = pos.in_check(us);
  ss.staticEval = SCORE_NONE;
  ss.moveScore = ss.reduction = ss.extension = 0;
  const bool inCheck = ss.inCheck;

  if (depth <= 0) return quiescence(pos, ctx, alpha, beta, ply, 0);

  const bool pvNode = beta - alpha > 1;

  // Transposition table.
  int ttDepth, ttScore, ttEval;
  TT::Bound ttBound;
  const unsigned ttMove = TT::probe(pos.key, depth, ttDepth, ttScore, ttEval, ttBound);
  ss.ttMove = ttMove;
  const bool ttHit = ttBound != TT::BOUND_NONE;
  if (ttHit) ttScore = score_from_tt(ttScore, ply);
  if (ttHit && ttDepth >= depth && !excluded &&
      (ttBound == TT::BOUND_EXACT ||
       (!pvNode && ((ttBound == TT::BOUND_UPPER && ttScore <= alpha) ||
                    (ttBound == TT::BOUND_LOWER && ttScore >= beta)))))
    return ttScore;

  // Static evaluation.
  const PickerHeuristics heuristics = picker_heuristics(ctx, ply, us);
  int raw = SCORE_NONE, eval = SCORE_NONE;
  bool fullEval = false, improving = false;
  if (!inCheck) {
    const EvalResult result = raw_static_eval(pos, ttEval, alpha, beta);
    raw = result.score;
    fullEval = result.full;
    eval = corrected_eval(pos, ctx, ply, raw);
    ss.staticEval = eval;
    for (int p = ply - 2; p >= 0; p -= 2)
      if (ctx.stack[p].staticEval != SCORE_NONE) {
        improving = eval > ctx.stack[p].staticEval;
        break;
      }

    // Forward pruning at null-window nodes.
    if (!pvNode) {
      if (depth == 1 && eval + 310 <= alpha) return quiescence(pos, ctx, alpha, beta, ply, 0);

      if (depth <= 8 && !is_mate_score(beta)) {
        const int margin = 45 * (depth - int(improving)) + 65;
        if (eval - margin >= beta) return eval - margin;
      }

      int cut;
      if (!ss.afterNullMove && depth > 2 && eval >= beta && pos.has_non_pawn_material(us) &&
          !is_mate_score(beta) && try_null_move(pos, ctx, depth, beta, ply, eval, cut))
        return cut;

      if (!excluded && depth > 5 && !is_mate_score(beta) &&
          try_probcut(pos, ctx, depth, beta, ply, eval, ttMove, heuristics, cut))
        return cut;
    }
  }

  // Singular extension of the table move, with multi-cut.
  int singularExtension = 0;
  if (ttMove && !excluded && depth > 5 &&
      (ttBound == TT::BOUND_EXACT || ttBound == TT::BOUND_LOWER) && ttDepth >= depth - 3 &&
      !is_mate_score(ttScore) && !inCheck) {
    const int sb = ttScore - 2 * depth;
    const unsigned savedMove = ss.move;
    const int savedEval = ss.staticEval;
    const bool savedAfterNull = ss.afterNullMove;
    const int savedCount = ss.moveCount;
    const int savedPvLength = ctx.pv_length[ply];
    ss.excludedMove = ttMove;
    const int v = negamax(pos, ctx, (depth - 1) / 2, sb - 1, sb, ply);
    ss.move = savedMove;
    ss.staticEval = savedEval;
    ss.afterNullMove = savedAfterNull;
    ss.moveCount = savedCount;
    ctx.pv_length[ply] = savedPvLength;
    ss.inCheck = false;
    ss.excludedMove = MOVE_NONE;
    ctx.pv_table[ply][ply] = MOVE_NONE;
    if (ctx.aborted) return 0;
    if (v < sb) {
      singularExtension = !pvNode && v < sb - 16 && ss.doubleExtensions <= 7 ? 2 : 1;
    } else if (sb >= beta && !pvNode) {
      return sb;
    }
  }

  // Internal iterative reduction.
  if (!ttMove && depth > 3) --depth;

  // The move loop.
  MovePicker::Config config;
  config.depth = depth;
  MovePicker picker(pos, ttMove, heuristics, config);
  const Bitboard pinned = pos.pinned[us];  // current: the picker just computed it

  const bool checkExtensionCase = inCheck && depth <= 6 && count_evasions(pos) < 3;
  const StackEntry* parent = ply >= 1 ? &ctx.stack[ply - 1] : nullptr;
  const bool checkExtensionGate =
      checkExtensionCase && (ply == 0 || pvNode ||
                             (parent->reduction <= 0 && parent->extension <= 0 &&
                              parent->moveCount <= depth * depth + 4));

  // Parameters are read once per node.
  const int seeQuietDepth = param(g_seeQuietDepth);
  const int seeEndgameGuard = param(g_seeEndgameGuard);
  const int seeQuietMargin = param(g_seeQuietMargin);
  const int seeQuietHistDiv = param(g_seeQuietHistDiv);
  const int seeCaptureDepth = param(g_seeCaptureDepth);
  const int seeCaptureMargin = param(g_seeCaptureMargin);
  const int seeCaptHistDiv = param(g_seeCaptHistDiv);

  unsigned quiets[MAX_QUIETS];
  int quietCount = 0;
  int best = -INFINITE_SCORE;
  unsigned bestMove = MOVE_NONE;
  const int alphaEntry = alpha;
  bool searchedAny = false;
  bool cutoff = false;

  while (const unsigned m = picker.next()) {
    if (m == excluded) continue;
    const bool quiet = is_quiet_move(m);
    const bool capture = move_is_capture(m);
    ss.moveScore = quiet ? picker.lastScore : 0;
    ss.reduction = ss.extension = 0;
    const bool needsTest = needs_legality_test(m, pinned);

    // SEE pruning.
    if (!pvNode && !inCheck && !needsTest && searchedAny) {
      if (quiet) {
        if (depth <= seeQuietDepth &&
            !(seeEndgameGuard != 0 && popcount(pos.occupied) <= seeEndgameGuard)) {
          const int lmrDepth =
              std::max(1, depth - lmrTable[std::min(depth, 63)][std::min(ss.moveCount + 1, 63)]);
          const int term =
              seeQuietHistDiv > 0 ? quiet_history_sum(ctx, ply, us, m) / seeQuietHistDiv : 0;
          const std::int64_t threshold = -std::int64_t(seeQuietMargin) * lmrDepth - term;
          if (!Attack::see_ge(pos, m,
                              int(std::clamp<std::int64_t>(threshold, INT32_MIN, INT32_MAX))))
            continue;
        }
      } else if (capture && depth <= seeCaptureDepth) {
        const int term = seeCaptHistDiv > 0
                             ? captureHistory[capture_history_index(pos, us, m)] / seeCaptHistDiv
                             : 0;
        if (picker.lastSee < -std::int64_t(seeCaptureMargin) * depth - term) continue;
      }
    }

    Position::Undo undo;
    bool made = false;
    if (needsTest) {
      undo = pos.make_move(m);
      if (pos.in_check(us)) {
        pos.unmake_move(undo);
        continue;
      }
      made = true;
    }
    const int moveCount = ++ss.moveCount;

    const int h = quiet ? historyHeuristic[history_index(us, m)] : 0;
    // Late-move and futility pruning of quiet moves.
    if (quiet && picker.lastScore < 180000 && !pvNode && !inCheck && depth <= 8) {
      const int base = depth * depth + 4;
      const int limit = improving ? base : (3 * base) / 4;
      const bool prune = (moveCount > limit && h < 160 * depth) ||
                         (depth <= 5 && eval != SCORE_NONE && moveCount > 1 &&
                          eval + 120 + 90 * depth <= alpha && h <= 1535);
      if (prune) {
        if (made) pos.unmake_move(undo);
        searchedAny = true;
        continue;
      }
    }

    if (!made) undo = pos.make_move(m);
    TT::prefetch(pos.key);
    const bool givesCheck = pos.in_check(~us);
    ss.move = m;

    const bool refutation =
        m == heuristics.killer1 || m == heuristics.killer2 || m == heuristics.counterMove;
    int ext = 0;
    if (checkExtensionGate) {
      if (m == ttMove || capture || move_is_promotion(m))
        ext = 1;
      else if (move_is_castling(m))
        ext = pvNode || givesCheck || depth <= 4 ? 1 : 0;
      else
        ext = h > 2560 || refutation || pvNode || givesCheck || depth <= 4 ? 1 : 0;
    }
    if (m == ttMove) {
      ext += singularExtension;
      ctx.stack[ply + 1].doubleExtensions = ss.doubleExtensions + (ext >= 2 ? 1 : 0);
    } else {
      ctx.stack[ply + 1].doubleExtensions = ss.doubleExtensions;
    }
    ss.extension = ext;
    const int newDepth = depth - 1 + ext;

    int s;
    prepare_child_pv(ctx, ply);
    if (bestMove == MOVE_NONE) {
      s = -negamax(pos, ctx, newDepth, -beta, -alpha, ply + 1);
    } else {
      int r = 0;
      bool reSearch = false;
      if (quiet && depth >= 2 && moveCount > 1) {
        const int hs = quiet_history_sum(ctx, ply, us, m);
        const int R = lmrTable[std::min(depth, 63)][std::min(moveCount, 63)] - int(pvNode) -
                      int(improving) - int(givesCheck) - std::clamp(hs / 8192, -2, 2) -
                      int(refutation);
        r = std::min(std::max(R, 0), depth - 1);
        reSearch = R > 0;
      }
      ss.reduction = r;
      s = -negamax(pos, ctx, newDepth - r, -alpha - 1, -alpha, ply + 1);
      if (s > alpha && reSearch) {
        prepare_child_pv(ctx, ply);
        s = -negamax(pos, ctx, newDepth, -alpha - 1, -alpha, ply + 1);
      }
      if (alpha < s && s < beta) {
        prepare_child_pv(ctx, ply);
        s = -negamax(pos, ctx, newDepth, -beta, -alpha, ply + 1);
      }
    }

    pos.unmake_move(undo);
    ss.move = MOVE_NONE;
    if (ctx.aborted) return 0;

    if (quiet && quietCount < MAX_QUIETS) quiets[quietCount++] = m;

    if (s > best) {
      best = s;
      bestMove = m;
      update_pv(ctx, ply, m);
    }
    alpha = std::max(alpha, s);
    if (alpha >= beta) {
      update_move_heuristics(pos, ctx, ply, us, m, depth, true, quiets, quietCount);
      cutoff = true;
      break;
    }
    searchedAny = true;
  }

  if (!cutoff) {
    if (!searchedAny) {
      if (excluded) return alpha;
      return inCheck ? ply - MATE_VALUE : draw_score(ply);
    }
    if (bestMove != MOVE_NONE && is_quiet_move(bestMove))
      update_move_heuristics(pos, ctx, ply, us, bestMove, depth, false, quiets, quietCount);
  }

  const TT::Bound bound = best <= alphaEntry ? TT::BOUND_UPPER
                          : best >= beta     ? TT::BOUND_LOWER
                                             : TT::BOUND_EXACT;
  if (excluded) return best;

  if (!inCheck && is_quiet_move(bestMove) && bestMove != MOVE_NONE && !is_mate_score(best) &&
      fullEval &&
      (bound == TT::BOUND_EXACT || (bound == TT::BOUND_LOWER && best > raw) ||
       (bound == TT::BOUND_UPPER && best < raw)))
    update_corr_hist(pos, ctx, ply, raw, best, depth);

  TT::store(pos.key, bestMove, depth, score_to_tt(best, ply), fullEval ? raw : SCORE_NONE, bound);
  return best;
}

}  // namespace Search
