// Internals of the evaluation shared by its source files and its tests: the
// scratch record the stages fill, the stage functions in the order the driver
// runs them, and the per-thread trace records.
#pragma once

#include "board/position.h"
#include "board/types.h"
#include "eval/pawnhash.h"

// Filled by the driver before the piece loop, completed by it, then read by
// the passed-pawn, threat and king stages. "[2]" is indexed by colour.
struct EvalData {
  Bitboard attackedBy[2][6];
  Bitboard attackedByAny[2];
  Bitboard attackedTwice[2];  // by two or more attackers (pawns count as one)
  Bitboard mobilityArea[2];
  Bitboard kingZone[2];  // 0 without a king
  Bitboard passedPawns[2];
  // Indexed by the attacking colour, about the enemy king zone.
  int kingAttackersCount[2];
  int kingAttackersWeight[2];
  int kingAttacksCount[2];
};

namespace Eval {

// A (middlegame, endgame) pair for one term or piece.
struct Score {
  int mg = 0;
  int eg = 0;
  friend bool operator==(const Score&, const Score&) = default;
};

constexpr int sign_of(Color c) { return c == WHITE ? 1 : -1; }
constexpr int relative_rank(Color c, int square) {
  return c == WHITE ? rank_of(square) : 7 - rank_of(square);
}
constexpr int abs_diff(int a, int b) { return a > b ? a - b : b - a; }
constexpr int chebyshev_distance(int a, int b) {
  const int df = abs_diff(file_of(a), file_of(b)), dr = abs_diff(rank_of(a), rank_of(b));
  return df > dr ? df : dr;
}
// Manhattan distance to the nearest of d4, e4, d5, e5.
constexpr int centre_distance(int square) {
  const int f = file_of(square), r = rank_of(square);
  const int df = f <= 3 ? 3 - f : f - 4, dr = r <= 3 ? 3 - r : r - 4;
  return df + dr;
}
constexpr int clamp_int(int v, int lo, int hi) { return v < lo ? lo : (v > hi ? hi : v); }
// Division rounding toward minus infinity (C++ '/' truncates toward zero).
constexpr int floor_div(int a, int b) {
  const int q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

constexpr Bitboard files_between(int first, int last) {
  Bitboard b = 0;
  for (int f = first; f <= last; ++f) b |= file_bb(f);
  return b;
}
constexpr Bitboard ranks_between(int first, int last) {
  Bitboard b = 0;
  for (int r = first; r <= last; ++r) b |= rank_bb(r);
  return b;
}
constexpr Bitboard CENTRE_FILES = files_between(2, 5);  // c to f
constexpr Bitboard CENTRE_SQUARES = square_bb(make_square(3, 3)) | square_bb(make_square(4, 3)) |
                                    square_bb(make_square(3, 4)) | square_bb(make_square(4, 4));
constexpr Bitboard DARK_SQUARES = 0xAA55AA55AA55AA55ULL;  // a1, c1, ..., b2, ...

// Squares the given pawns of colour c attack, and the squares one step ahead.
constexpr Bitboard pawn_attacks_bb(Color c, Bitboard pawns) {
  return c == WHITE ? ((pawns & ~FILE_A_BB) << 7) | ((pawns & ~FILE_H_BB) << 9)
                    : ((pawns & ~FILE_A_BB) >> 9) | ((pawns & ~FILE_H_BB) >> 7);
}
constexpr Bitboard push_bb(Color c, Bitboard b) { return c == WHITE ? b << 8 : b >> 8; }

inline int piece_count_of(const Position& pos, Color c, int type) {
  return pos.piece_count[make_piece(c, type)];
}

// The king's square, or NO_SQUARE when the side has none (hand-made positions).
inline int king_square_of(const Position& pos, Color c) { return pos.king_square[c]; }

// Driver (eval.cpp).
int phase_blend(const Position& pos, int mg, int eg);  // side to move's view, tempo added
int evaluate_full(const Position& pos, PawnHash::Entry& entry);
void init_eval_data(const Position& pos, const PawnHash::Entry& entry, EvalData& ed);
int closedness(const Position& pos);
int openness(const Position& pos);
int center_break_potential(const Position& pos, Color c);
// The terms below are from c's own point of view; the driver applies the sign.
Score bishop_pair(const Position& pos, const PawnHash::Entry& entry, Color c, int closed, int open);
Score queen_synergy(const Position& pos, Color c);
Score imbalance(const Position& pos, const PawnHash::Entry& entry, Color c);
int space(const Position& pos, const EvalData& ed, Color c);
int initiative(const Position& pos, const PawnHash::Entry& entry, int eg);  // signed change
int scale_factor(const Position& pos, int eg);                              // out of 128

// Piece loop and passed pawns (eval_pieces.cpp). The term functions return the
// piece's own terms from its owner's view; the loop applies the sign.
Score mobility_score(int type, int count);
Score knight_terms(const Position& pos, const EvalData& ed, Color c, int square, Bitboard attacks);
Score bishop_terms(const Position& pos, const EvalData& ed, Color c, int square);
Score rook_terms(const Position& pos, const EvalData& ed, Color c, int square, int mobility);
void evaluate_pieces(const Position& pos, EvalData& ed, int& mg, int& eg);
Score passed_pawn_score(const Position& pos, const EvalData& ed, Color c, int square);
void evaluate_passers(const Position& pos, const EvalData& ed, int& mg, int& eg);

// Threats, king safety and king activity (eval_king.cpp).
void evaluate_threats_v2(const Position& pos, const EvalData& ed, Color c, int& mg, int& eg);
int king_pressure_score_mg(const Position& pos, Color c, Bitboard pawnAttacks,
                           Bitboard minorAttacks, Bitboard majorAttacks);
int king_base_attack_score_mg(const Position& pos, const EvalData& ed, Color c);
// Danger to c's king from attack counts and safe checks (before the queen
// reduction), and the penalty it costs.
int king_danger(const Position& pos, const EvalData& ed, Color c);
int king_danger_penalty(int danger, bool enemyHasQueen);
int king_safety_v2(const Position& pos, const EvalData& ed, PawnHash::Entry& entry, Color c);
int endgame_king_activity_score(const Position& pos, const EvalData& ed, Color c);

// Trace records (eval_trace.cpp). Per thread, so a trace on one thread never
// records the evaluations of another; constinit lets every access be a plain
// thread-local load.
struct TraceRecord {
  const char* name;
  int mg;
  int eg;
};
constexpr int TRACE_CAPACITY = 24;
extern thread_local constinit bool g_evalTraceOn;
extern thread_local constinit int g_evalTraceN;
extern thread_local constinit TraceRecord g_evalTracePts[TRACE_CAPACITY];

inline void trace_record(const char* name, int mg, int eg) {
  if (g_evalTraceN < TRACE_CAPACITY) g_evalTracePts[g_evalTraceN++] = {name, mg, eg};
}

}  // namespace Eval
