#include "search/movepicker.h"

#include <algorithm>

#include "movegen/attack.h"
#include "movegen/pext.h"

namespace {

// Ordering values by piece type (most valuable victim, least valuable attacker).
constexpr int ORDER_VALUE[6] = {100, 320, 330, 500, 900, 20000};

constexpr int CAPTURE_BASE = 1000000;
constexpr int EN_PASSANT_VICTIM = 1000;  // a pawn, as 10 x its order value
constexpr int RECAPTURE_BONUS = 180000;
constexpr int CHECKING_CAPTURE_BONUS = 275000;
constexpr int PROMOTION_BASE = 1000000;
constexpr int CHECKING_PROMOTION_BASE = 1275000;
constexpr int BAD_CAPTURE_PENALTY = 200000;

constexpr int KILLER1_BONUS = 320000;
constexpr int KILLER2_BONUS = 220000;
constexpr int COUNTER_MOVE_BONUS = 280000;
constexpr int QUIET_CHECK_BONUS = 240000;
// A killer or counter move goes ahead of the other quiet moves only above this.
constexpr int REFUTATION_MIN_SCORE = 321999;

// A checking capture may lose this much material and still count as good.
constexpr int CHECKING_CAPTURE_MARGIN = -80;

constexpr bool is_quiet(unsigned move) {
  return !move_is_capture(move) && !move_is_promotion(move);
}

// The piece type that stands on the destination after the move.
constexpr int arrival_type(unsigned move) {
  return move_is_promotion(move) ? move_promotion(move) : piece_type(move_piece(move));
}

}  // namespace

bool move_gives_check(const Position& position, unsigned move) {
  const int piece = move_piece(move);
  const Color us = piece_color(piece);
  const Color them = ~us;
  const Bitboard enemyKing = position.pieces(them, KING);
  if (!enemyKing) return false;
  const int king = lsb(enemyKing);

  const int from = move_from(move);
  const int to = move_to(move);
  Bitboard own[5];
  for (int type = PAWN; type <= QUEEN; ++type) own[type] = position.pieces(us, type);
  if (piece_type(piece) != KING) own[piece_type(piece)] &= ~square_bb(from);
  if (arrival_type(move) != KING) own[arrival_type(move)] |= square_bb(to);

  Bitboard occupancy = (position.occupied & ~square_bb(from)) | square_bb(to);
  if (move_is_en_passant(move)) occupancy &= ~square_bb(us == WHITE ? to - 8 : to + 8);
  if (move_is_castling(move)) {
    // The rook jumps over the king: h-side rook from to + 1 to to - 1,
    // a-side rook from to - 2 to to + 1.
    const bool kingside = to > from;
    const int rookFrom = kingside ? to + 1 : to - 2;
    const int rookTo = kingside ? to - 1 : to + 1;
    own[ROOK] = (own[ROOK] & ~square_bb(rookFrom)) | square_bb(rookTo);
    occupancy = (occupancy & ~square_bb(rookFrom)) | square_bb(rookTo);
  }

  return (Attack::pawn_attacks(them, king) & own[PAWN]) ||
         (Attack::knightAttacks[king] & own[KNIGHT]) ||
         (PEXT::bishop_attacks_pext(king, occupancy) & (own[BISHOP] | own[QUEEN])) ||
         (PEXT::rook_attacks_pext(king, occupancy) & (own[ROOK] | own[QUEEN]));
}

MovePicker::MovePicker(Position& position, unsigned ttMove, const PickerHeuristics& heuristics,
                       const Config& config)
    : position_(position), heuristics_(heuristics) {
  init(config, ttMove);
}

MovePicker::MovePicker(Position& position, unsigned ttMove, const PickerHeuristics& heuristics)
    : MovePicker(position, ttMove, heuristics, Config{}) {}

MovePicker::MovePicker(Position& position, bool includeChecks, unsigned ttMove,
                       const PickerHeuristics& heuristics)
    : MovePicker(position, ttMove, heuristics,
                 Config{MODE_QUIESCENCE, 0, 0, NO_SQUARE, includeChecks}) {}

MovePicker::MovePicker(Position& position, const std::vector<unsigned>& rootMoves,
                       unsigned firstMove, unsigned secondMove, const PickerHeuristics& heuristics)
    : position_(position), heuristics_(heuristics) {
  mode_ = MODE_ROOT;
  MoveGen::prepare_generation_context(position_, ctx_);
  useRootList_ = true;
  rootCount_ = int(std::min<std::size_t>(rootMoves.size(), MAX_MOVES));
  std::copy_n(rootMoves.begin(), rootCount_, rootMoves_);
  const unsigned* begin = rootMoves_;
  const unsigned* end = rootMoves_ + rootCount_;
  for (const unsigned preferred : {firstMove, secondMove})
    if (preferred != MOVE_NONE && std::find(begin, end, preferred) != end) add_forced(preferred);
}

void MovePicker::init(const Config& config, unsigned ttMove) {
  mode_ = config.mode;
  depth_ = config.depth;
  seeThreshold_ = config.seeThreshold;
  targetSquare_ = config.targetSquare;
  includeChecks_ = config.includeChecks;
  tacticalOnly_ = mode_ == MODE_QUIESCENCE || mode_ == MODE_RECAPTURES;
  MoveGen::prepare_generation_context(position_, ctx_);
  if (mode_ == MODE_MAIN && ctx_.in_check) {
    mode_ = MODE_EVASION;
    seeThreshold_ = 0;
  }
  if (ttMove != MOVE_NONE && MoveGen::is_pseudo_legal(position_, ttMove, ctx_) &&
      mode_accepts_forced_move(ttMove))
    add_forced(ttMove);
}

void MovePicker::add_forced(unsigned move) {
  if (forcedCount_ < 2 && !is_forced(move)) forced_[forcedCount_++] = move;
}

bool MovePicker::is_forced(unsigned move) const {
  return (forcedCount_ > 0 && forced_[0] == move) || (forcedCount_ > 1 && forced_[1] == move);
}

bool MovePicker::is_refutation(unsigned move) const {
  for (int i = 0; i < refutationCount_; ++i)
    if (refutations_[i].move == move) return true;
  return false;
}

bool MovePicker::mode_accepts_forced_move(unsigned move) const {
  switch (mode_) {
    case MODE_QUIESCENCE:
      return !is_quiet(move) || (includeChecks_ && move_gives_check(position_, move) &&
                                 Attack::see_ge(position_, move, 0));
    case MODE_THRESHOLD_CAPTURES:
      return move_is_capture(move) ? Attack::see_ge(position_, move, seeThreshold_)
                                   : move_is_promotion(move);
    case MODE_RECAPTURES:
      return move_is_capture(move) && move_to(move) == targetSquare_ &&
             Attack::see_ge(position_, move, seeThreshold_);
    default:
      return true;
  }
}

void MovePicker::compute_check_squares() {
  const Bitboard enemyKing = position_.pieces(ctx_.them, KING);
  if (!enemyKing) return;  // all stay empty: nothing gives check
  const int king = lsb(enemyKing);
  checkSquares_[PAWN] = Attack::pawn_attacks(ctx_.them, king);
  checkSquares_[KNIGHT] = Attack::knightAttacks[king];
  checkSquares_[BISHOP] = PEXT::bishop_attacks_pext(king, position_.occupied);
  checkSquares_[ROOK] = PEXT::rook_attacks_pext(king, position_.occupied);
  checkSquares_[QUEEN] = checkSquares_[BISHOP] | checkSquares_[ROOK];
  checkSquares_[KING] = 0;
  // A move the direct test rejects gives check only by opening a line to the
  // king, which needs its origin to be the first piece on one of the king's
  // rays; castling and en passant (a second piece moves) and a king that our
  // pieces already attack (hand-made boards) always take the full test.
  const Color us = ctx_.us;
  const Bitboard queens = position_.pieces(us, QUEEN);
  const bool alreadyAttacked = (checkSquares_[PAWN] & position_.pieces(us, PAWN)) ||
                               (checkSquares_[KNIGHT] & position_.pieces(us, KNIGHT)) ||
                               (checkSquares_[BISHOP] & (position_.pieces(us, BISHOP) | queens)) ||
                               (checkSquares_[ROOK] & (position_.pieces(us, ROOK) | queens));
  discoveryOrigins_ = alreadyAttacked ? ALL_SQUARES : checkSquares_[QUEEN];
}

// The direct test through checkSquares decides most checking moves; the full
// test catches discovered checks and the rest, and runs only for the moves
// that could be one of those (see compute_check_squares).
bool MovePicker::gives_check(unsigned move) const {
  if (checkSquares_[arrival_type(move)] & square_bb(move_to(move))) return true;
  const bool mayDiscover = (discoveryOrigins_ & square_bb(move_from(move))) ||
                           (move & (MOVE_FLAG_CASTLING | MOVE_FLAG_EN_PASSANT));
  return mayDiscover && move_gives_check(position_, move);
}

int MovePicker::promotion_bonus(unsigned move) {
  return move_is_promotion(move) ? 16 * ORDER_VALUE[move_promotion(move)] : 0;
}

int MovePicker::capture_score(const Position& position, unsigned move,
                              const PickerHeuristics& heuristics) {
  const int to = move_to(move);
  const int mover = piece_type(move_piece(move));
  const int victimPiece = position.piece_on(to);
  int victim = EN_PASSANT_VICTIM;
  int capturedType = PAWN;
  if (!move_is_en_passant(move) && victimPiece != NO_PIECE) {
    capturedType = piece_type(victimPiece);
    victim = 10 * ORDER_VALUE[capturedType];
  }
  int score = victim - ORDER_VALUE[mover] + CAPTURE_BASE;
  if (heuristics.captureHistory)
    score +=
        heuristics.captureHistory[((position.side * 6 + mover) * 64 + to) * 6 + capturedType] / 4;
  if (heuristics.prevMove1 != MOVE_NONE && to == move_to(heuristics.prevMove1))
    score += RECAPTURE_BONUS;
  return score + promotion_bonus(move);
}

int MovePicker::quiet_score(unsigned move) const {
  const PickerHeuristics& h = heuristics_;
  int score = move == h.killer1       ? KILLER1_BONUS
              : move == h.killer2     ? KILLER2_BONUS
              : move == h.counterMove ? COUNTER_MOVE_BONUS
                                      : 0;
  const int from = move_from(move);
  const int to = move_to(move);
  if (h.historyHeuristic) score += h.historyHeuristic[position_.side * 4096 + from * 64 + to];
  const int column = move_piece(move) * 64 + to;
  const std::int32_t* tables[3] = {h.continuationHistory, h.continuationHistory2,
                                   h.continuationHistory4};
  const unsigned previous[3] = {h.prevMove1, h.prevMove2, h.prevMove4};
  for (int i = 0; i < 3; ++i)
    if (tables[i] && previous[i] != MOVE_NONE)
      score += tables[i][(move_piece(previous[i]) * 64 + move_to(previous[i])) * 768 + column] / 2;
  if (gives_check(move)) score += QUIET_CHECK_BONUS;
  return score;
}

void MovePicker::stable_insertion_sort(ScoredMove* moves, int count) {
  for (int i = 1; i < count; ++i) {
    const ScoredMove entry = moves[i];
    int j = i;
    for (; j > 0 && moves[j - 1].score < entry.score; --j) moves[j] = moves[j - 1];
    moves[j] = entry;
  }
}

// The moves a stage draws from: the root list, or freshly generated ones.
int MovePicker::source_moves(unsigned* buffer, MoveGen::GenerationType type) {
  if (useRootList_) {
    std::copy_n(rootMoves_, rootCount_, buffer);
    return rootCount_;
  }
  return int(MoveGen::generate_pseudo_legal(position_, buffer, MAX_MOVES, type, ctx_));
}

void MovePicker::prepare_captures() {
  capturesReady_ = true;
  compute_check_squares();
  unsigned buffer[MAX_MOVES];
  const int count = source_moves(buffer, MoveGen::GEN_NOISY);
  for (int i = 0; i < count && moveCount_ < MAX_MOVES; ++i) {
    const unsigned move = buffer[i];
    if (is_forced(move)) continue;
    if (mode_ == MODE_RECAPTURES ? !move_is_capture(move) || move_to(move) != targetSquare_
                                 : is_quiet(move))
      continue;
    ScoredMove& entry = moves_[moveCount_++];
    entry.move = move;
    entry.see = SEE_NONE;
    const bool check = gives_check(move);
    if (move_is_capture(move)) {
      entry.score = capture_score(position_, move, heuristics_);
      if (check) {
        entry.score += CHECKING_CAPTURE_BONUS;
        entry.see = SEE_PENDING_CHECK;
      }
    } else {
      entry.score = promotion_bonus(move) + (check ? CHECKING_PROMOTION_BASE : PROMOTION_BASE);
    }
  }
  captureCount_ = moveCount_;
  stable_insertion_sort(moves_, captureCount_);
}

const MovePicker::ScoredMove* MovePicker::next_good_capture() {
  const bool strict = mode_ == MODE_THRESHOLD_CAPTURES || mode_ == MODE_RECAPTURES;
  int checkMargin = CHECKING_CAPTURE_MARGIN;
  if (mode_ == MODE_MAIN) checkMargin -= std::min(4 * std::max(0, depth_ - 4), 32);
  const int checkThreshold = std::min(seeThreshold_, checkMargin);

  while (captureCursor_ < captureCount_) {
    const int index = captureCursor_++;
    ScoredMove& entry = moves_[index];
    if (!move_is_capture(entry.move)) return &entry;  // a quiet promotion
    const bool checking = entry.see == SEE_PENDING_CHECK;
    entry.see = Attack::see_gain(position_, entry.move);
    if (entry.see >= seeThreshold_ || (!strict && checking && entry.see >= checkThreshold))
      return &entry;
    if (strict) continue;  // discarded for good
    entry.score -= BAD_CAPTURE_PENALTY;
    badCaptures_[badCount_++] = std::uint8_t(index);
  }
  return nullptr;
}

void MovePicker::prepare_refutations() {
  refutationsReady_ = true;
  ScoredMove candidates[3];
  int count = 0;
  for (const unsigned move : {heuristics_.killer1, heuristics_.counterMove, heuristics_.killer2}) {
    if (move == MOVE_NONE || is_forced(move) || !is_quiet(move)) continue;
    bool duplicate = false;
    for (int i = 0; i < count; ++i) duplicate |= candidates[i].move == move;
    if (duplicate || !MoveGen::is_pseudo_legal(position_, move, ctx_)) continue;
    candidates[count++] = {move, quiet_score(move), SEE_NONE};
  }
  stable_insertion_sort(candidates, count);
  // Only strong candidates that do not hang material go early; the rest wait
  // for the quiet stage like any other quiet move.
  for (int i = 0; i < count; ++i) {
    if (candidates[i].score <= REFUTATION_MIN_SCORE ||
        !Attack::see_ge(position_, candidates[i].move, 0))
      break;
    refutations_[refutationCount_++] = candidates[i];
  }
}

void MovePicker::prepare_quiets() {
  quietsReady_ = true;
  quietCursor_ = captureCount_;
  // In quiescence only quiet checks could qualify; without them there is
  // nothing to generate.
  if (tacticalOnly_ && !includeChecks_) return;
  unsigned buffer[MAX_MOVES];
  const int count = source_moves(buffer, MoveGen::GEN_QUIETS);
  const int start = moveCount_;
  for (int i = 0; i < count && moveCount_ < MAX_MOVES; ++i) {
    const unsigned move = buffer[i];
    if (!is_quiet(move) || is_forced(move) || is_refutation(move)) continue;
    if (tacticalOnly_ && !(gives_check(move) && Attack::see_ge(position_, move, 0))) continue;
    moves_[moveCount_++] = {move, quiet_score(move), SEE_NONE};
  }
  stable_insertion_sort(moves_ + start, moveCount_ - start);
}

unsigned MovePicker::next() {
  for (;;) {
    switch (stage_) {
      case STAGE_FORCED:
        if (forcedCursor_ < forcedCount_) {
          lastStage = STAGE_FORCED;
          lastScore = 0;
          lastSee = SEE_NONE;
          return forced_[forcedCursor_++];
        }
        stage_ = STAGE_GOOD_CAPTURES;
        break;

      case STAGE_GOOD_CAPTURES:
        if (!capturesReady_) prepare_captures();
        if (const ScoredMove* entry = next_good_capture()) {
          lastStage = STAGE_GOOD_CAPTURES;
          lastScore = entry->score;
          lastSee = entry->see;
          return entry->move;
        }
        stage_ = mode_ == MODE_THRESHOLD_CAPTURES || mode_ == MODE_RECAPTURES ? STAGE_END
                 : mode_ == MODE_MAIN                                         ? STAGE_REFUTATIONS
                                                                              : STAGE_QUIETS;
        break;

      case STAGE_REFUTATIONS:
        if (!refutationsReady_) prepare_refutations();
        if (refutationCursor_ < refutationCount_) {
          const ScoredMove& entry = refutations_[refutationCursor_++];
          lastStage = STAGE_REFUTATIONS;
          lastScore = entry.score;
          lastSee = SEE_NONE;
          return entry.move;
        }
        stage_ = STAGE_QUIETS;
        break;

      case STAGE_QUIETS:
        if (!quietsReady_) prepare_quiets();
        if (quietCursor_ < moveCount_) {
          const ScoredMove& entry = moves_[quietCursor_++];
          lastStage = STAGE_QUIETS;
          lastScore = entry.score;
          lastSee = SEE_NONE;
          return entry.move;
        }
        stage_ = STAGE_BAD_CAPTURES;
        break;

      case STAGE_BAD_CAPTURES:
        if (badCursor_ < badCount_) {
          const ScoredMove& entry = moves_[badCaptures_[badCursor_++]];
          lastStage = STAGE_BAD_CAPTURES;
          lastScore = entry.score;
          lastSee = entry.see;
          return entry.move;
        }
        stage_ = STAGE_END;
        break;

      default:
        lastStage = STAGE_END;
        lastScore = 0;
        lastSee = SEE_NONE;
        return MOVE_NONE;
    }
  }
}
