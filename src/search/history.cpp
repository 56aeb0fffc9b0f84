// Set-up, sizing and reset of the search tables, the stop flag, the tunable
// parameters, and the update rules of the learning tables.
#include "search/history.h"

#include <cmath>
#include <cstring>
#include <string>

#include "eval/pawnhash.h"
#include "search/search.h"
#include "search/tt.h"

namespace Search {

std::atomic<bool> stopSearch{false};

std::int32_t historyHeuristic[2 * 64 * 64];
std::int32_t captureHistory[2 * 6 * 64 * 6];
std::int32_t continuationHistory[12 * 64 * 12 * 64];
std::int32_t continuationHistory2[12 * 64 * 12 * 64];
std::int32_t continuationHistory4[12 * 64 * 12 * 64];
unsigned killerMoves[MAX_PLY][2];
unsigned counterMove[2][64][64];
std::int32_t pawnCorrHist[2][CORRECTION_SIZE];
std::int32_t nonPawnCorrHist[2][CORRECTION_SIZE];
std::int32_t contCorrHist[12][64];
int lmrTable[64][64];

std::atomic<int> g_seeCaptureMargin{32};
std::atomic<int> g_seeCaptureDepth{6};
std::atomic<int> g_seeQuietMargin{40};
std::atomic<int> g_seeQuietDepth{10};
std::atomic<int> g_seeEndgameGuard{0};
std::atomic<int> g_seeCaptHistDiv{512};
std::atomic<int> g_seeQuietHistDiv{512};
std::atomic<int> g_corrPawnWeight{2};
std::atomic<int> g_corrNonPawnWeight{1};
std::atomic<int> g_corrContWeight{1};
std::atomic<int> g_corrWeightScale{2};
std::atomic<int> g_contempt{0};

namespace {

bool searchStateReady = false;

struct NamedParameter {
  const char* name;
  std::atomic<int>* variable;
};

const NamedParameter PARAMETERS[] = {
    {"SeeCaptureMargin", &g_seeCaptureMargin},   {"SeeCaptureDepth", &g_seeCaptureDepth},
    {"SeeQuietMargin", &g_seeQuietMargin},       {"SeeQuietDepth", &g_seeQuietDepth},
    {"SeeEndgameGuard", &g_seeEndgameGuard},     {"SeeCaptHistDiv", &g_seeCaptHistDiv},
    {"SeeQuietHistDiv", &g_seeQuietHistDiv},     {"CorrPawnWeight", &g_corrPawnWeight},
    {"CorrNonPawnWeight", &g_corrNonPawnWeight}, {"CorrContWeight", &g_corrContWeight},
    {"CorrWeightScale", &g_corrWeightScale},     {"Contempt", &g_contempt},
};

void clear_learning_tables() {
  std::memset(killerMoves, 0, sizeof(killerMoves));
  std::memset(pawnCorrHist, 0, sizeof(pawnCorrHist));
  std::memset(nonPawnCorrHist, 0, sizeof(nonPawnCorrHist));
  std::memset(contCorrHist, 0, sizeof(contCorrHist));
  std::memset(counterMove, 0, sizeof(counterMove));
  std::memset(historyHeuristic, 0, sizeof(historyHeuristic));
  std::memset(captureHistory, 0, sizeof(captureHistory));
  std::memset(continuationHistory, 0, sizeof(continuationHistory));
  std::memset(continuationHistory2, 0, sizeof(continuationHistory2));
  std::memset(continuationHistory4, 0, sizeof(continuationHistory4));
}

// One correction entry moves towards the bonus with weight w / 256.
void blend_correction(std::int32_t& entry, int weight, int bonus) {
  entry = std::clamp((entry * (256 - weight) + bonus) / 256, -CORRECTION_MAX, CORRECTION_MAX);
}

}  // namespace

void init_search() {
  if (searchStateReady) return;
  TT::init_tt(64);
  PawnHash::init(8);
  for (int d = 0; d < 64; ++d)
    for (int m = 0; m < 64; ++m)
      lmrTable[d][m] =
          d <= 1 || m <= 1 ? 0 : int(std::log(double(d)) * std::log(double(m)) / 2.45 + 0.75);
  clear_learning_tables();
  searchStateReady = true;
}

std::uint64_t set_hash_size_mb(std::uint64_t mb) {
  init_search();
  const std::uint64_t in_use = TT::init_tt(mb);
  PawnHash::init(mb < 8 ? 1 : mb / 8);
  return in_use;
}

void new_game() {
  init_search();
  clear_learning_tables();
  TT::clear_tt();
  PawnHash::clear();
}

void set_see_param(const std::string& name, int value) {
  for (const NamedParameter& p : PARAMETERS)
    if (name == p.name) p.variable->store(value, std::memory_order_relaxed);
}

void request_stop() { stopSearch.exchange(true); }
void clear_stop() { stopSearch.exchange(false); }
bool stop_requested() { return stopSearch.load(); }

int capture_history_index(const Position& pos, Color us, unsigned m) {
  const int to = move_to(m);
  const int onFrom = pos.piece_on(move_from(m));
  const int mover = piece_type(onFrom != NO_PIECE ? onFrom : move_piece(m));
  const int onTo = pos.piece_on(to);
  const int captured = move_is_en_passant(m) || onTo == NO_PIECE ? 0 : piece_type(onTo);
  return ((us * 6 + mover) * 64 + to) * 6 + captured;
}

int quiet_history_sum(const SearchContext& ctx, int ply, Color us, unsigned m) {
  int sum = historyHeuristic[history_index(us, m)];
  if (const unsigned p1 = previous_move(ctx, ply, 1))
    sum += continuationHistory[continuation_index(p1, m)];
  if (const unsigned p2 = previous_move(ctx, ply, 2))
    sum += continuationHistory2[continuation_index(p2, m)];
  if (const unsigned p4 = previous_move(ctx, ply, 4))
    sum += continuationHistory4[continuation_index(p4, m)];
  return sum;
}

void update_move_heuristics(const Position& pos, SearchContext& ctx, int ply, Color us,
                            unsigned best, int depth, bool cutoff, const unsigned* quiets,
                            int quietCount) {
  const int d = std::max(depth, 1);
  const unsigned prev1 = previous_move(ctx, ply, 1);

  if (move_is_capture(best)) {
    if (cutoff)
      apply_gravity(captureHistory[capture_history_index(pos, us, best)],
                    std::min(16 * d * (d + 4), 9000), true);
  } else if (is_quiet_move(best)) {
    int bonus = std::min(32 * d * (d + 4), 10000);
    if (cutoff) {
      if (killerMoves[ply][0] != best) {
        killerMoves[ply][1] = killerMoves[ply][0];
        killerMoves[ply][0] = best;
      }
    } else {
      bonus /= 2;
    }
    const unsigned prev2 = previous_move(ctx, ply, 2);
    const unsigned prev4 = previous_move(ctx, ply, 4);
    // Rewards for the best move first, then penalties in the order tried:
    // the entries interact through the clamp.
    const auto update = [&](unsigned m, bool reward) {
      apply_gravity(historyHeuristic[history_index(us, m)], bonus, reward);
      if (prev1) apply_gravity(continuationHistory[continuation_index(prev1, m)], bonus, reward);
      if (prev2) apply_gravity(continuationHistory2[continuation_index(prev2, m)], bonus, reward);
      if (prev4) apply_gravity(continuationHistory4[continuation_index(prev4, m)], bonus, reward);
    };
    update(best, true);
    for (int i = 0; i < quietCount; ++i)
      if (quiets[i] != best) update(quiets[i], false);
  }

  if (cutoff && prev1) counterMove[us][move_from(prev1)][move_to(prev1)] = best;
}

void update_corr_hist(const Position& pos, const SearchContext& ctx, int ply, int rawEval,
                      int bestScore, int depth) {
  if (rawEval == SCORE_NONE) return;
  const int w = std::min(depth + 1, 16);
  const int diff = int(std::clamp<std::int64_t>(std::int64_t(bestScore) - rawEval, -64, 64));
  const int bonus = diff * w * 256;
  const Color stm = pos.side;
  blend_correction(pawnCorrHist[stm][pos.pawn_key & (CORRECTION_SIZE - 1)], w, bonus);
  blend_correction(nonPawnCorrHist[stm][pos.non_pawn_key & (CORRECTION_SIZE - 1)], w, bonus);
  if (const unsigned prev1 = previous_move(ctx, ply, 1))
    blend_correction(contCorrHist[move_piece(prev1)][move_to(prev1)], w, bonus);
}

int corrected_eval(const Position& pos, const SearchContext& ctx, int ply, int raw) {
  // 64-bit throughout: the weights may be any 32-bit value.
  const Color stm = pos.side;
  std::int64_t sum = std::int64_t(pawnCorrHist[stm][pos.pawn_key & (CORRECTION_SIZE - 1)]) *
                         param(g_corrPawnWeight) +
                     std::int64_t(nonPawnCorrHist[stm][pos.non_pawn_key & (CORRECTION_SIZE - 1)]) *
                         param(g_corrNonPawnWeight);
  if (const unsigned prev1 = previous_move(ctx, ply, 1))
    sum += std::int64_t(contCorrHist[move_piece(prev1)][move_to(prev1)]) * param(g_corrContWeight);
  const std::int64_t divisor = std::int64_t(std::max(param(g_corrWeightScale), 1)) * 256;
  return int(std::clamp<std::int64_t>(raw + sum / divisor, -EVAL_LIMIT, EVAL_LIMIT));
}

PickerHeuristics picker_heuristics(const SearchContext& ctx, int ply, Color us) {
  PickerHeuristics h;
  h.historyHeuristic = historyHeuristic;
  h.captureHistory = captureHistory;
  h.continuationHistory = continuationHistory;
  h.continuationHistory2 = continuationHistory2;
  h.continuationHistory4 = continuationHistory4;
  h.killer1 = killerMoves[ply][0];
  h.killer2 = killerMoves[ply][1];
  const unsigned prev1 = previous_move(ctx, ply, 1);
  h.counterMove = prev1 ? counterMove[us][move_from(prev1)][move_to(prev1)] : MOVE_NONE;
  h.prevMove1 = prev1;
  h.prevMove2 = previous_move(ctx, ply, 2);
  h.prevMove4 = previous_move(ctx, ply, 4);
  return h;
}

}  // namespace Search
