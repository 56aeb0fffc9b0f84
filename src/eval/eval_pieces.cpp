// The piece loop (mobility, outposts, bishops, rooks, king-zone attackers)
// and the passed-pawn stage.
#include <algorithm>

#include "eval/eval_internal.h"
#include "movegen/attack.h"
#include "movegen/pext.h"

namespace Eval {

namespace {

constexpr int KNIGHT_MOBILITY_MG[] = {-27, -15, -6, 0, 2, 9, 13, 17, 22};
constexpr int KNIGHT_MOBILITY_EG[] = {-21, -10, -7, -3, 4, 13, 20, 21, 18};
constexpr int BISHOP_MOBILITY_MG[] = {-35, -25, -17, -4, 2, 9, 16, 21, 25, 29, 32, 36, 39, 43};
constexpr int BISHOP_MOBILITY_EG[] = {-30, -20, -11, 0, 7, 16, 23, 29, 32, 35, 37, 39, 40, 41};
constexpr int ROOK_MOBILITY_MG[] = {-13, -3, 2, -1, -1, 7, 12, 20, 25, 32, 37, 39, 43, 46, 49};
constexpr int ROOK_MOBILITY_EG[] = {-16, -11, -8, -5, 1, 11, 19, 30, 40, 45, 50, 49, 54, 55, 60};
constexpr int QUEEN_MOBILITY_MG[] = {-16, -11, -8, -7, -6, -3, -2, 0,  5,  10, 16, 21, 24, 28,
                                     30,  33,  35, 37, 39, 41, 42, 43, 44, 45, 46, 48, 49, 51};
constexpr int QUEEN_MOBILITY_EG[] = {-7, -3, -1, 0,  1,  3,  3,  5,  9,  12, 17, 21, 25, 28,
                                     30, 33, 35, 37, 40, 41, 43, 44, 44, 45, 46, 48, 50, 51};

struct MobilityTable {
  const int* mg;
  const int* eg;
  int last;
};
constexpr MobilityTable MOBILITY[5] = {
    {nullptr, nullptr, 0},
    {KNIGHT_MOBILITY_MG, KNIGHT_MOBILITY_EG, 8},
    {BISHOP_MOBILITY_MG, BISHOP_MOBILITY_EG, 13},
    {ROOK_MOBILITY_MG, ROOK_MOBILITY_EG, 14},
    {QUEEN_MOBILITY_MG, QUEEN_MOBILITY_EG, 27},
};

constexpr int KING_RING_ATTACKER_WEIGHT[6] = {0, 9, 11, 13, 15, 0};

constexpr int PASSED_MG[8] = {0, 5, 8, 18, 32, 56, 88, 0};
constexpr int PASSED_EG[8] = {0, 10, 18, 38, 76, 136, 215, 0};

// Files c to f of ranks 3 to 6, for both colours.
constexpr Bitboard OUTPOST_BAND = CENTRE_FILES & ranks_between(2, 5);

Bitboard adjacent_files(int file) {
  return ((file_bb(file) & ~FILE_A_BB) >> 1) | ((file_bb(file) & ~FILE_H_BB) << 1);
}

// A square defended by an own pawn that no enemy pawn can attack.
bool pawn_protected_hole(const EvalData& ed, Color c, int square) {
  return (ed.attackedBy[c][PAWN] & ~ed.attackedBy[~c][PAWN] & square_bb(square)) != 0;
}

// An own pawn directly in front of the minor piece shields it.
bool shielded(const Position& pos, Color c, int square) {
  return (push_bb(~c, pos.pieces(c, PAWN)) & square_bb(square)) != 0;
}

// Chebyshev distance from the own king, or 8 (out of every range) without one.
int own_king_distance(const Position& pos, Color c, int square) {
  const int k = king_square_of(pos, c);
  return k == NO_SQUARE ? 8 : chebyshev_distance(k, square);
}

template <int Type>
Bitboard piece_attacks(int square, Bitboard occ) {
  if constexpr (Type == KNIGHT)
    return Attack::knightAttacks[square];
  else if constexpr (Type == BISHOP)
    return PEXT::bishop_attacks_pext(square, occ);
  else if constexpr (Type == ROOK)
    return PEXT::rook_attacks_pext(square, occ);
  else
    return PEXT::queen_attacks_pext(square, occ);
}

// Every piece of one type and colour: attacks computed once and shared by the
// attack sets, mobility, the type's own terms and the king-zone counters.
template <Color Us, int Type>
void evaluate_type(const Position& pos, EvalData& ed, int& mg, int& eg) {
  constexpr Color Them = ~Us;
  constexpr int s = sign_of(Us);
  const Bitboard occ = pos.occupied;
  const Bitboard mobilitySquares = ed.mobilityArea[Us] & ~pos.color_bb[Us];
  const Bitboard enemyZone = ed.kingZone[Them];
  for (Bitboard pieces = pos.pieces(Us, Type); pieces;) {
    const int square = pop_lsb(pieces);
    const Bitboard a = piece_attacks<Type>(square, occ);
    ed.attackedTwice[Us] |= ed.attackedByAny[Us] & a;
    ed.attackedByAny[Us] |= a;
    ed.attackedBy[Us][Type] |= a;

    const int n = popcount(a & mobilitySquares);
    Score t = mobility_score(Type, n);
    Score own{};
    if constexpr (Type == KNIGHT) own = knight_terms(pos, ed, Us, square, a);
    if constexpr (Type == BISHOP) own = bishop_terms(pos, ed, Us, square);
    if constexpr (Type == ROOK) own = rook_terms(pos, ed, Us, square, n);
    mg += s * (t.mg + own.mg);
    eg += s * (t.eg + own.eg);

    if (a & enemyZone) {
      ed.kingAttackersCount[Us] += 1;
      ed.kingAttackersWeight[Us] += KING_RING_ATTACKER_WEIGHT[Type];
      ed.kingAttacksCount[Us] += popcount(a & enemyZone);
    }
  }
}

template <Color Us>
void evaluate_side(const Position& pos, EvalData& ed, int& mg, int& eg) {
  evaluate_type<Us, KNIGHT>(pos, ed, mg, eg);
  evaluate_type<Us, BISHOP>(pos, ed, mg, eg);
  evaluate_type<Us, ROOK>(pos, ed, mg, eg);
  evaluate_type<Us, QUEEN>(pos, ed, mg, eg);
}

}  // namespace

Score mobility_score(int type, int count) {
  const MobilityTable& table = MOBILITY[type];
  const int i = std::min(count, table.last);
  return {table.mg[i], table.eg[i]};
}

Score knight_terms(const Position& pos, const EvalData& ed, Color c, int square, Bitboard attacks) {
  Score t;
  const int f = file_of(square), rr = relative_rank(c, square);
  if (f != 0 && f != 7 && rr >= 3 && rr <= 5 && pawn_protected_hole(ed, c, square)) {
    const int d = centre_distance(square);
    t.mg += d <= 1 ? 17 + 4 * (2 - d) : 17;
    t.eg += 11;
  } else if (attacks & OUTPOST_BAND & ed.attackedBy[c][PAWN] & ~ed.attackedBy[~c][PAWN]) {
    t.mg += 9;
    t.eg += 3;
  }
  if (shielded(pos, c, square)) {
    t.mg += 5;
    t.eg += 11;
  }
  const int k = own_king_distance(pos, c, square);
  if (k <= 3) t.eg += 4 - k;
  return t;
}

Score bishop_terms(const Position& pos, const EvalData& ed, Color c, int square) {
  Score t;
  const Bitboard pawns = pos.pieces(c, PAWN);
  const Bitboard sameColour = (DARK_SQUARES & square_bb(square)) ? DARK_SQUARES : ~DARK_SQUARES;
  const int crowd = 2 * std::max(0, popcount(pawns & sameColour) - 3);
  t.mg -= crowd;
  t.eg -= crowd;
  const int rr = relative_rank(c, square);
  if (rr >= 3 && rr <= 5 && pawn_protected_hole(ed, c, square)) {
    t.mg += 9;
    t.eg += 4;
  }
  // Diagonals seen through the pawns only: pieces move, pawns stay.
  const Bitboard allPawns = pawns | pos.pieces(~c, PAWN);
  if (popcount(PEXT::bishop_attacks_pext(square, allPawns) & CENTRE_SQUARES) >= 2) {
    t.mg += 15;
    t.eg += 9;
  }
  if (shielded(pos, c, square)) {
    t.mg += 5;
    t.eg += 11;
  }
  const int k = own_king_distance(pos, c, square);
  if (k <= 3) t.mg += 4 * (4 - k);
  return t;
}

Score rook_terms(const Position& pos, const EvalData& ed, Color c, int square, int mobility) {
  Score t;
  const Color them = ~c;
  const int f = file_of(square), r = rank_of(square), rr = relative_rank(c, square);
  const Bitboard file = file_bb(f);
  if (!(pos.pieces(c, PAWN) & file)) {
    const bool open = !(pos.pieces(them, PAWN) & file);
    t.mg += open ? 21 : 13;
    t.eg += open ? 11 : 7;
  }
  if (rr == 6) {
    t.mg += 9;
    t.eg += 21;
  }
  if (pos.pieces(them, QUEEN) & file) {
    t.mg += 4;
    t.eg += 3;
  }
  // Behind an own passer or in front of an enemy one: any passer on the file
  // further up the board than a White rook, further down than a Black one.
  const Bitboard passers = (ed.passedPawns[WHITE] | ed.passedPawns[BLACK]) & file;
  const Bitboard beyond =
      c == WHITE ? (r == 7 ? 0 : ALL_SQUARES << (8 * (r + 1))) : (Bitboard(1) << (8 * r)) - 1;
  if (passers & beyond) {
    t.mg += 8;
    t.eg += 16;
  }
  const int k = king_square_of(pos, c);
  if (rr <= 1 && k != NO_SQUARE && mobility <= 2 && abs_diff(file_of(k), f) > 1) {
    t.mg -= 21;
    t.eg -= 8;
  }
  return t;
}

void evaluate_pieces(const Position& pos, EvalData& ed, int& mg, int& eg) {
  evaluate_side<WHITE>(pos, ed, mg, eg);
  evaluate_side<BLACK>(pos, ed, mg, eg);
}

Score passed_pawn_score(const Position& pos, const EvalData& ed, Color c, int square) {
  const Color them = ~c;
  const int r = relative_rank(c, square);
  int m = PASSED_MG[r], e = PASSED_EG[r];
  const Bitboard own = pos.pieces(c, PAWN);
  // Supported: an own pawn diagonally behind, i.e. where an enemy pawn on this
  // square would capture.
  if (Attack::pawn_attacks(them, square) & own) {
    m += 14;
    e += 24;
  }
  const Bitboard rows = rank_bb(rank_of(square));
  if (own & adjacent_files(file_of(square)) & (rows | (rows << 8) | (rows >> 8))) {
    m += 5 + 2 * r;
    e += 10 + 4 * r;
  }
  const int stop = c == WHITE ? square + 8 : square - 8;
  if (stop >= 0 && stop < 64) {
    if (!(pos.occupied & square_bb(stop))) {
      const Bitboard path = file_bb(file_of(square)) &
                            (c == WHITE ? ALL_SQUARES << stop : ALL_SQUARES >> (63 - stop));
      if (!(path & ed.attackedByAny[them] & ~ed.attackedByAny[c])) {
        m += 5 * r;
        e += 8 * r;
      }
      if (ed.attackedByAny[c] & square_bb(stop)) {
        m += 4;
        e += 8;
      }
    } else {
      m -= 11;
      e -= 22;
    }
    const int ownKing = king_square_of(pos, c), enemyKing = king_square_of(pos, them);
    if (ownKing != NO_SQUARE) {
      const int k = chebyshev_distance(ownKing, stop);
      if (k <= 4) e += 30 - 6 * k;
    }
    if (enemyKing != NO_SQUARE) {
      const int k = chebyshev_distance(enemyKing, stop);
      if (k <= 4) e -= (5 - k) * (r + 3);
    }
  }
  return {m, e};
}

void evaluate_passers(const Position& pos, const EvalData& ed, int& mg, int& eg) {
  for (const Color c : {WHITE, BLACK}) {
    const int s = sign_of(c);
    for (Bitboard passers = ed.passedPawns[c]; passers;) {
      const Score t = passed_pawn_score(pos, ed, c, pop_lsb(passers));
      mg += s * t.mg;
      eg += s * t.eg;
    }
  }
}

}  // namespace Eval
