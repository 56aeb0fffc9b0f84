// Staged move picker: hands one node's moves out one at a time, best first,
// generating and scoring lazily: the hash move, winning captures, killer and
// counter-move refutations, quiet moves by history, losing captures last.
// A configuration selects the node kind (main, root, quiescence, evasion,
// threshold captures, recaptures). Lives on the stack, allocates nothing.
// Returned moves are pseudo-legal, not necessarily legal.
#pragma once

#include <cstdint>
#include <vector>

#include "board/position.h"
#include "movegen/movegen.h"

// The search's learning tables as the picker reads them; a null pointer
// disables that term.
struct PickerHeuristics {
  const std::int32_t* historyHeuristic = nullptr;  // [side][from * 64 + to]
  const std::int32_t* captureHistory = nullptr;    // [side][mover type][to][captured type]
  const std::int32_t* continuationHistory =
      nullptr;  // [prev piece * 64 + prev to][piece * 64 + to]
  const std::int32_t* continuationHistory2 = nullptr;  // same, keyed by the move two plies back
  const std::int32_t* continuationHistory4 = nullptr;  // same, keyed by the move four plies back
  unsigned killer1 = 0;
  unsigned killer2 = 0;
  unsigned counterMove = 0;
  unsigned prevMove1 = 0;  // 0 = none or null move
  unsigned prevMove2 = 0;
  unsigned prevMove4 = 0;
};

// True if the move, made on the position, attacks the enemy king (direct or
// discovered; for castling, by the king or by the rook). False without an
// enemy king.
bool move_gives_check(const Position& position, unsigned move);

class MovePicker {
 public:
  static constexpr int MODE_MAIN = 0;
  static constexpr int MODE_ROOT = 1;
  static constexpr int MODE_QUIESCENCE = 2;
  static constexpr int MODE_EVASION = 3;
  static constexpr int MODE_THRESHOLD_CAPTURES = 4;
  static constexpr int MODE_RECAPTURES = 5;

  static constexpr int STAGE_FORCED = 0;
  static constexpr int STAGE_GOOD_CAPTURES = 1;
  static constexpr int STAGE_REFUTATIONS = 2;
  static constexpr int STAGE_QUIETS = 3;
  static constexpr int STAGE_BAD_CAPTURES = 4;
  static constexpr int STAGE_END = 5;

  // The exchange value field when none was computed, and the mark of a
  // checking capture whose exchange value is still to come.
  static constexpr int SEE_NONE = -1000000000;
  static constexpr int SEE_PENDING_CHECK = -999999999;

  static constexpr int MAX_MOVES = 256;

  struct Config {
    int mode = MODE_MAIN;
    int depth = 0;                 // remaining depth (mode 0 only)
    int seeThreshold = 0;          // exchange threshold for good captures
    int targetSquare = NO_SQUARE;  // recapture square (mode 5)
    bool includeChecks = false;    // quiescence: also quiet checks
  };

  struct ScoredMove {
    unsigned move;
    int score;
    int see;
  };

  // Non-root nodes. Mode 0 turns into mode 3 (threshold 0) when in check.
  MovePicker(Position& position, unsigned ttMove, const PickerHeuristics& heuristics,
             const Config& config);
  // Mode 0 at depth 0.
  MovePicker(Position& position, unsigned ttMove, const PickerHeuristics& heuristics);
  // Quiescence (mode 2), no in-check switch.
  MovePicker(Position& position, bool includeChecks, unsigned ttMove,
             const PickerHeuristics& heuristics);
  // Root (mode 1): the first 256 root moves; firstMove, then secondMove, go
  // first when they are in the list.
  MovePicker(Position& position, const std::vector<unsigned>& rootMoves, unsigned firstMove,
             unsigned secondMove, const PickerHeuristics& heuristics);

  MovePicker(const MovePicker&) = delete;
  MovePicker& operator=(const MovePicker&) = delete;

  // The next move, 0 when exhausted. Afterwards lastStage, lastScore and
  // lastSee describe the move returned.
  unsigned next();

  int lastStage = STAGE_FORCED;
  int lastScore = 0;
  int lastSee = SEE_NONE;

  static int capture_score(const Position& position, unsigned move,
                           const PickerHeuristics& heuristics);
  // Needs the checking squares, which the capture stage computes.
  int quiet_score(unsigned move) const;
  static int promotion_bonus(unsigned move);
  bool mode_accepts_forced_move(unsigned move) const;
  // Descending by score; equal scores keep their order.
  static void stable_insertion_sort(ScoredMove* moves, int count);

 private:
  void init(const Config& config, unsigned ttMove);
  void add_forced(unsigned move);
  bool is_forced(unsigned move) const;
  bool is_refutation(unsigned move) const;
  void compute_check_squares();
  bool gives_check(unsigned move) const;
  int source_moves(unsigned* buffer, MoveGen::GenerationType type);
  void prepare_captures();
  const ScoredMove* next_good_capture();
  void prepare_refutations();
  void prepare_quiets();

  Position& position_;
  PickerHeuristics heuristics_;
  MoveGen::GenerationContext ctx_;
  Bitboard checkSquares_[6] = {};
  // Origins from which a move may give check other than directly; every
  // square until compute_check_squares has run.
  Bitboard discoveryOrigins_ = ALL_SQUARES;

  int mode_ = MODE_MAIN;
  int depth_ = 0;
  int seeThreshold_ = 0;
  int targetSquare_ = NO_SQUARE;
  bool tacticalOnly_ = false;
  bool includeChecks_ = false;

  bool useRootList_ = false;
  int rootCount_ = 0;
  unsigned rootMoves_[MAX_MOVES];

  unsigned forced_[2] = {};
  int forcedCount_ = 0;
  int forcedCursor_ = 0;

  ScoredMove refutations_[3];
  int refutationCount_ = 0;
  int refutationCursor_ = 0;

  // Capture entries [0, captureCount_), quiet entries [captureCount_, moveCount_).
  ScoredMove moves_[MAX_MOVES];
  int captureCount_ = 0;
  int captureCursor_ = 0;
  int moveCount_ = 0;
  int quietCursor_ = 0;

  std::uint8_t badCaptures_[MAX_MOVES];
  int badCount_ = 0;
  int badCursor_ = 0;

  int stage_ = STAGE_FORCED;
  bool capturesReady_ = false;
  bool refutationsReady_ = false;
  bool quietsReady_ = false;
};
