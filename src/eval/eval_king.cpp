// Threats, king safety (pressure, the attack on the uncastled king's f-pawn,
// shelter and danger) and endgame king activity. All read the attack sets the
// piece loop completed.
#include <algorithm>

#include "eval/eval_internal.h"
#include "movegen/attack.h"
#include "movegen/pext.h"

namespace Eval {

namespace {

constexpr int MINOR_THREAT_MG[6] = {0, 4, 4, 8, 14, 0};
constexpr int MAJOR_THREAT_MG[6] = {0, 2, 2, 4, 8, 0};

constexpr int F2 = make_square(5, 1), F7 = make_square(5, 6);

// WITHIN[s][d]: the squares at Chebyshev distance at most d from s, so the
// nearest of a set is found with a few mask tests instead of a loop over it.
struct DistanceMasks {
  Bitboard within[64][8];
};
constexpr DistanceMasks make_distance_masks() {
  DistanceMasks m{};
  for (int s = 0; s < 64; ++s)
    for (int t = 0; t < 64; ++t)
      for (int d = chebyshev_distance(s, t); d < 8; ++d) m.within[s][d] |= square_bb(t);
  return m;
}
constexpr DistanceMasks DISTANCE = make_distance_masks();

// Squares the enemy holds firmly: attacked by its pawns, or attacked twice by
// it and not twice by us.
Bitboard strongly_held(const EvalData& ed, Color us) {
  const Color them = ~us;
  return ed.attackedBy[them][PAWN] | (ed.attackedTwice[them] & ~ed.attackedTwice[us]);
}

Bitboard non_pawn_pieces(const Position& pos, Color c) {
  return pos.pieces(c, KNIGHT) | pos.pieces(c, BISHOP) | pos.pieces(c, ROOK) | pos.pieces(c, QUEEN);
}

// Per attacked piece: the table's value by its type in mg, half of it in eg.
Score threat_by_type(const Position& pos, Bitboard squares, const int (&table)[6]) {
  Score t;
  while (squares) {
    const int v = table[piece_type(pos.board[pop_lsb(squares)])];
    t.mg += v;
    t.eg += v / 2;
  }
  return t;
}

// The enemy king on its own first rank on the d- or e-file (not yet castled).
bool uncastled_king(Color c, int k) {
  return relative_rank(c, k) == 0 && (file_of(k) == 3 || file_of(k) == 4);
}

}  // namespace

void evaluate_threats_v2(const Position& pos, const EvalData& ed, Color c, int& mg, int& eg) {
  const Color them = ~c;
  const Bitboard occ = pos.occupied;
  const Bitboard strong = strongly_held(ed, c);
  const Bitboard enemyPieces = non_pawn_pieces(pos, them);
  const Bitboard targets =
      pos.color_bb[them] & ~pos.pieces(them, KING) & ed.attackedByAny[c] & ~strong;
  int m = 0, e = 0;

  const Score minor = threat_by_type(
      pos, targets & (ed.attackedBy[c][KNIGHT] | ed.attackedBy[c][BISHOP]), MINOR_THREAT_MG);
  const Score major = threat_by_type(pos, targets & ed.attackedBy[c][ROOK], MAJOR_THREAT_MG);
  m += minor.mg + major.mg;
  e += minor.eg + major.eg;

  const Bitboard hanging = targets & (~ed.attackedByAny[them] | ed.attackedTwice[c]);
  const int hangingQueens = popcount(hanging & pos.pieces(them, QUEEN));
  m += 19 * popcount(hanging) + 95 * hangingQueens;
  e += 11 * popcount(hanging) + 60 * hangingQueens;

  const int contested = popcount(ed.attackedByAny[c] & ed.attackedByAny[them] & ~strong);
  m += 2 * contested;
  e += contested;

  const Bitboard pawns = pos.pieces(c, PAWN);
  const Bitboard safePawns = pawns & (~ed.attackedByAny[them] | ed.attackedByAny[c]);
  const int pawnThreats = popcount(pawn_attacks_bb(c, safePawns) & enemyPieces);
  m += 29 * pawnThreats;
  e += 18 * pawnThreats;

  const Bitboard pushes = push_bb(c, pawns) & ~occ & ~ed.attackedBy[them][PAWN];
  const int pushThreats = popcount(pawn_attacks_bb(c, pushes) & enemyPieces);
  m += 11 * pushThreats;
  e += 7 * pushThreats;

  if (const Bitboard queens = pos.pieces(them, QUEEN)) {
    const int q = lsb(queens);
    const Bitboard safe = ed.mobilityArea[c] & ~strong;
    const int knightHits = popcount(safe & Attack::knightAttacks[q] & ed.attackedBy[c][KNIGHT]);
    const Bitboard sliderHits = (PEXT::bishop_attacks_pext(q, occ) & ed.attackedBy[c][BISHOP]) |
                                (PEXT::rook_attacks_pext(q, occ) & ed.attackedBy[c][ROOK]);
    const int sliderCount = popcount(safe & ed.attackedTwice[c] & sliderHits);
    m += 9 * knightHits + 13 * sliderCount;
    e += 5 * knightHits + 5 * sliderCount;
  }

  const int s = sign_of(c);
  mg += s * m;
  eg += s * e;
}

int king_pressure_score_mg(const Position& pos, Color c, Bitboard pawnAttacks,
                           Bitboard minorAttacks, Bitboard majorAttacks) {
  const int k = king_square_of(pos, ~c);
  if (k == NO_SQUARE) return 0;
  const Bitboard zone = Attack::kingAttacks[k] | square_bb(k);
  int g = popcount(pawnAttacks & zone) + 4 * popcount(minorAttacks & zone) +
          9 * popcount(majorAttacks & zone);
  if (uncastled_king(~c, k)) g = floor_div(5 * g, 4);
  if (piece_count_of(pos, c, QUEEN) > 0 && piece_count_of(pos, c, KNIGHT) > 0) g += 4;
  return std::min(g, 64);
}

int king_base_attack_score_mg(const Position& pos, const EvalData& ed, Color c) {
  const Color them = ~c;
  const int k = king_square_of(pos, them);
  if (k == NO_SQUARE || !uncastled_king(them, k)) return 0;
  const Bitboard t = square_bb(them == BLACK ? F7 : F2);
  if (!(pos.pieces(them, PAWN) & t)) return 0;
  const bool byKnight = ed.attackedBy[c][KNIGHT] & t, byBishop = ed.attackedBy[c][BISHOP] & t;
  const bool byQueen = ed.attackedBy[c][QUEEN] & t;
  int v = 0;
  if (byKnight) v += 14;
  if (byBishop) v += 14;
  if (ed.attackedBy[c][ROOK] & t) v += 6;
  if (byQueen) v += 22;
  if (ed.attackedTwice[c] & t) v += 16;
  if ((byKnight || byBishop) && byQueen) v += 60;
  return std::min(v, 124);
}

int king_danger(const Position& pos, const EvalData& ed, Color c) {
  const Color them = ~c;
  const int k = king_square_of(pos, c);
  if (k == NO_SQUARE) return 0;
  int danger = ed.kingAttackersCount[them] * ed.kingAttackersWeight[them] +
               12 * popcount(ed.attackedByAny[them] & ed.kingZone[c] & ~ed.attackedTwice[c]) +
               8 * ed.kingAttacksCount[them];

  // Checks from squares we cannot contest; each kind counts once.
  const Bitboard safe = ~pos.color_bb[them] &
                        (~ed.attackedByAny[c] | (ed.attackedTwice[them] & ~ed.attackedTwice[c]));
  const Bitboard rookLines = PEXT::rook_attacks_pext(k, pos.occupied) & safe;
  const Bitboard bishopLines = PEXT::bishop_attacks_pext(k, pos.occupied) & safe;
  if (ed.attackedBy[them][QUEEN] & (rookLines | bishopLines)) danger += 23;
  if (ed.attackedBy[them][ROOK] & rookLines) danger += 27;
  if (ed.attackedBy[them][BISHOP] & bishopLines) danger += 19;
  if (ed.attackedBy[them][KNIGHT] & Attack::knightAttacks[k] & safe) danger += 19;
  return danger;
}

int king_danger_penalty(int danger, bool enemyHasQueen) {
  if (!enemyHasQueen) danger = 2 * danger / 3;
  return danger > 0 ? danger * danger / 960 : 0;
}

int king_safety_v2(const Position& pos, const EvalData& ed, PawnHash::Entry& entry, Color c) {
  if (king_square_of(pos, c) == NO_SQUARE) return 0;
  const Color them = ~c;
  const int shelter = PawnHash::king_shelter_score(pos, entry, c);
  const int enemyMaterial = piece_count_of(pos, them, KNIGHT) + piece_count_of(pos, them, BISHOP) +
                            2 * piece_count_of(pos, them, ROOK) +
                            4 * piece_count_of(pos, them, QUEEN);
  if (enemyMaterial == 0) return shelter;
  return shelter -
         king_danger_penalty(king_danger(pos, ed, c), piece_count_of(pos, them, QUEEN) > 0);
}

int endgame_king_activity_score(const Position& pos, const EvalData& ed, Color c) {
  const int k = king_square_of(pos, c);
  if (k == NO_SQUARE) return 0;
  int v = 5 * (6 - centre_distance(k));

  // The nearest enemy pawn, if within 5 (never 0: a pawn is not on k).
  const Bitboard enemyPawns = pos.pieces(~c, PAWN);
  for (int d = 1; d <= 5; ++d) {
    if (enemyPawns & DISTANCE.within[k][d]) {
      v += 5 * (6 - d);
      break;
    }
  }

  // Escorting own passers; the race against the enemy king counts for every
  // passer, however far the own king is.
  const int enemyKing = king_square_of(pos, ~c);
  for (Bitboard passers = ed.passedPawns[c]; passers;) {
    const int p = pop_lsb(passers);
    const int o = chebyshev_distance(k, p);
    if (o <= 4) v += 4 * (5 - o);
    if (enemyKing != NO_SQUARE) v += 2 * clamp_int(chebyshev_distance(enemyKing, p) - o, -10, 10);
  }
  return v;
}

}  // namespace Eval
