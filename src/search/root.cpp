// The root of the search: the root move loop, aspiration windows, and the
// driver that deepens iteration by iteration with MultiPV, reports each
// completed iteration and decides when to stop.
#include <algorithm>
#include <cstdint>
#include <memory>

#include "eval/eval.h"
#include "movegen/movegen.h"
#include "search/context.h"
#include "search/history.h"
#include "search/movepicker.h"

namespace Search {

namespace {

// Time-budget scale by the number of iterations the best move has stayed the same.
constexpr double STABILITY_SCALE[9] = {1.0, 0.94, 0.88, 0.83, 0.79, 0.76, 0.74, 0.72, 0.70};

constexpr int ASPIRATION_DELTA = 16;
constexpr int ASPIRATION_MAX_DELTA = 2000;

bool contains(const std::vector<unsigned>& moves, unsigned m) {
  return std::find(moves.begin(), moves.end(), m) != moves.end();
}

// The line of the principal-variation table, kept only while its moves are
// legal, then extended from the transposition table until a position repeats.
std::vector<unsigned> build_pv(const Position& pos, const SearchContext& ctx) {
  Position copy = pos;
  std::vector<unsigned> pv, legal;
  for (int i = 0; i < ctx.pv_length[0]; ++i) {
    const unsigned m = ctx.pv_table[0][i];
    MoveGen::generate_legal(copy, legal);
    if (!contains(legal, m)) break;
    pv.push_back(m);
    copy.make_move(m);
  }
  std::vector<std::uint64_t> seen{copy.key};
  while (pv.size() <= 126) {
    int depth, score, eval;
    TT::Bound bound;
    const unsigned m = TT::probe(copy.key, 0, depth, score, eval, bound);
    if (bound == TT::BOUND_NONE || m == MOVE_NONE) break;
    MoveGen::generate_legal(copy, legal);
    if (!contains(legal, m)) break;
    pv.push_back(m);
    copy.make_move(m);
    if (std::find(seen.begin(), seen.end(), copy.key) != seen.end()) break;
    seen.push_back(copy.key);
  }
  return pv;
}

SearchInfo make_info(const SearchContext& ctx, int depth, int score, int multipv,
                     const std::vector<unsigned>& pv) {
  SearchInfo info;
  info.depth = depth;
  info.seldepth = ctx.seldepth;
  info.score = score;
  info.nodes = ctx.nodes;
  info.time_ms = ctx.elapsed_ms();
  info.nps = info.time_ms > 0 ? ctx.nodes * 1000 / std::uint64_t(info.time_ms) : ctx.nodes;
  info.hashfull = TT::hashfull();
  info.multipv = multipv;
  info.pv = pv;
  return info;
}

void report(const SearchContext& ctx, int depth, const RootResult& line, int multipv) {
  if (ctx.onInfo) ctx.onInfo(make_info(ctx, depth, line.score, multipv, line.pv));
}

}  // namespace

RootResult search_root(Position& pos, SearchContext& ctx, const std::vector<unsigned>& rootMoves,
                       int depth, int alpha, int beta, unsigned prevBest) {
  for (int p = 0; p < MAX_PLY; ++p) {
    ctx.pv_length[p] = p;
    std::fill(ctx.pv_table[p] + p, ctx.pv_table[p] + MAX_PLY, MOVE_NONE);
  }
  const Color us = pos.side;
  const bool inCheck = pos.in_check(us);
  RootResult result;
  if (rootMoves.empty()) {
    result.valid = true;
    result.score = inCheck ? -MATE_VALUE : 0;
    return result;
  }

  int ttDepth, ttScore, ttEval;
  TT::Bound ttBound;
  const unsigned ttMove = TT::probe(pos.key, depth, ttDepth, ttScore, ttEval, ttBound);
  StackEntry& ss = ctx.stack[0];
  ss.move = MOVE_NONE;
  ss.ttMove = ttMove;
  ss.inCheck = inCheck;
  ss.moveCount = 0;
  int raw = SCORE_NONE;
  bool fullEval = false;
  if (!inCheck) {
    const EvalResult eval = raw_static_eval(pos, ttEval, alpha, beta);
    raw = eval.score;
    fullEval = eval.full;
  }
  ss.staticEval = raw;

  const PickerHeuristics heuristics = picker_heuristics(ctx, 0, us);
  MovePicker picker(pos, rootMoves, prevBest, ttMove, heuristics);
  const int alphaEntry = alpha;
  int best = -INFINITE_SCORE;
  unsigned bestMove = MOVE_NONE;

  int index = 0;
  while (const unsigned m = picker.next()) {
    ss.moveCount = ++index;
    const bool quiet = is_quiet_move(m);
    int h = 0;
    if (quiet) {
      ss.moveScore = picker.lastScore;
      h = historyHeuristic[history_index(us, m)];
    }
    const Position::Undo undo = pos.make_move(m);
    TT::prefetch(pos.key);
    ss.move = m;
    const bool givesCheck = pos.in_check(~us);

    int s;
    prepare_child_pv(ctx, 0);
    if (bestMove == MOVE_NONE) {
      s = -negamax(pos, ctx, depth - 1, -beta, -alpha, 1);
    } else {
      int r = 0;
      if (quiet && depth != 1 && !givesCheck) {
        const int R = lmrTable[std::min(depth, 63)][std::min(index, 63)] - 1 -
                      std::clamp(h / 8192, -2, 2) -
                      int(m == heuristics.killer1 || m == heuristics.killer2);
        r = std::max(R, 0) < depth ? std::max(R, 0) : depth - 1;
      }
      s = -negamax(pos, ctx, std::max(depth - 1 - r, 0), -alpha - 1, -alpha, 1);
      if (r > 0 && s > alpha) {
        prepare_child_pv(ctx, 0);
        s = -negamax(pos, ctx, depth - 1, -alpha - 1, -alpha, 1);
      }
      if (alpha < s && s < beta) {
        prepare_child_pv(ctx, 0);
        s = -negamax(pos, ctx, depth - 1, -beta, -alpha, 1);
      }
    }
    pos.unmake_move(undo);
    ss.move = MOVE_NONE;
    if (ctx.aborted) return RootResult{};

    if (s > best) {
      best = s;
      bestMove = m;
      update_pv(ctx, 0, m);
    }
    alpha = std::max(alpha, s);
    if (alpha >= beta) break;
    if (ctx.completed_depth > 0 && stopSearch.load(std::memory_order_relaxed)) {
      ctx.aborted = true;
      return RootResult{};
    }
  }

  if (bestMove == MOVE_NONE) return result;
  result.valid = true;
  result.bestMove = bestMove;
  result.score = best;
  result.pv = build_pv(pos, ctx);
  const TT::Bound bound = best <= alphaEntry ? TT::BOUND_UPPER
                          : best >= beta     ? TT::BOUND_LOWER
                                             : TT::BOUND_EXACT;
  TT::store(pos.key, bestMove, depth, best, fullEval ? raw : SCORE_NONE, bound);
  return result;
}

AspirationWindow::AspirationWindow(int depth, int prevScore, bool useAspiration) {
  if (depth != 1 && useAspiration) {
    alpha = prevScore - ASPIRATION_DELTA;
    beta = prevScore + ASPIRATION_DELTA;
  }
}

bool AspirationWindow::widen(int score) {
  if (alpha < score && score < beta) return false;
  if (score <= alpha) alpha = std::max(alpha - delta, -INFINITE_SCORE);
  if (score >= beta) beta = std::min(beta + delta, INFINITE_SCORE);
  delta = std::min(2 * delta, ASPIRATION_MAX_DELTA);
  if (beta - alpha > ASPIRATION_MAX_DELTA) {
    alpha = -INFINITE_SCORE;
    beta = INFINITE_SCORE;
  }
  return true;
}

RootResult run_aspiration_search(Position& pos, SearchContext& ctx,
                                 const std::vector<unsigned>& rootMoves, int depth, int prevScore,
                                 unsigned prevBest, bool useAspiration) {
  AspirationWindow window(depth, prevScore, useAspiration);
  for (;;) {
    RootResult r = search_root(pos, ctx, rootMoves, depth, window.alpha, window.beta, prevBest);
    if (ctx.aborted || !r.valid || !window.widen(r.score)) return r;
  }
}

int soft_budget(const SearchLimits& limits, int budget, int depth, int stability, unsigned prevBest,
                int score, int prevScore) {
  if (!limits.has_soft_limit || limits.soft_ms >= limits.hard_ms) return budget;
  double scale = STABILITY_SCALE[stability];
  if (depth >= 6 && prevBest != MOVE_NONE && stability == 0) scale = 1.3;
  if (depth >= 4 && score < prevScore)
    scale *= 1 + std::min((double(prevScore) - score) / 250.0, 0.6);
  budget = int(std::min(limits.soft_ms * scale, 2147483647.0));
  return limits.has_hard_limit ? std::min(budget, limits.hard_ms) : budget;
}

SearchResult search_position(Position pos, const SearchLimits& limits, InfoCallback onInfo) {
  // The stop flag is left as the caller set it: a stop requested before the
  // search began still ends it after its first iteration.
  init_search();
  auto ctx = std::make_unique<SearchContext>();
  ctx->limits = limits;
  ctx->onInfo = std::move(onInfo);
  ctx->start_time = SearchContext::Clock::now();

  SearchResult result;
  std::vector<unsigned> rootMoves;
  MoveGen::generate_legal(pos, rootMoves);
  if (rootMoves.empty()) {
    result.score = pos.in_check(pos.side) ? -MATE_VALUE : 0;
    return result;
  }

  TT::new_search();
  const int maxDepth = limits.depth >= 1 ? limits.depth : 64;
  unsigned prevBest = MOVE_NONE;
  int prevScore = 0, stability = 0, budget = limits.soft_ms;

  for (int depth = 1;; ++depth) {
    if (ctx->completed_depth > 0 && stopSearch.load()) {
      ctx->aborted = true;
      break;
    }
    if (limits.has_soft_limit && depth != 1 && ctx->elapsed_ms() >= budget) break;

    ctx->seldepth = 0;
    const int count = std::min<int>(limits.multipv, int(rootMoves.size()));
    RootResult line;
    if (count <= 1) {
      line = run_aspiration_search(pos, *ctx, rootMoves, depth, prevScore, prevBest, true);
    } else {
      std::vector<unsigned> remaining = rootMoves;
      for (int k = 0; k < count; ++k) {
        RootResult r = run_aspiration_search(pos, *ctx, remaining, depth, k == 0 ? prevScore : 0,
                                             k == 0 ? prevBest : MOVE_NONE, k == 0);
        if (ctx->aborted || !r.valid) {
          if (k == 0) line = r;
          break;
        }
        report(*ctx, depth, r, k + 1);
        remaining.erase(std::find(remaining.begin(), remaining.end(), r.bestMove));
        if (k == 0) line = std::move(r);
      }
    }
    if (ctx->aborted || !line.valid) break;

    ctx->completed_depth = depth;
    ctx->last_seldepth = ctx->seldepth;
    ctx->last_best_move = line.bestMove;
    ctx->last_score = line.score;
    ctx->last_pv = line.pv;
    if (count <= 1) report(*ctx, depth, line, 1);

    stability = depth != 1 && line.bestMove == prevBest ? std::min(stability + 1, 8) : 0;
    budget = soft_budget(limits, budget, depth, stability, prevBest, line.score, prevScore);
    const int elapsed = ctx->elapsed_ms();
    if (limits.has_hard_limit && elapsed >= limits.hard_ms) break;
    if (limits.has_soft_limit && elapsed >= budget) break;
    if (depth >= maxDepth) break;  // the same test as depth + 1 > maxDepth, without overflow
    prevBest = line.bestMove;
    prevScore = line.score;
  }

  result.score = ctx->last_score;
  result.best_move = ctx->last_best_move;
  result.pv = ctx->last_pv;
  result.nodes = ctx->nodes;
  result.depth = ctx->completed_depth;
  result.seldepth = ctx->last_seldepth;
  result.time_ms = ctx->elapsed_ms();
  result.stopped = ctx->aborted || stopSearch.load();
  return result;
}

}  // namespace Search
