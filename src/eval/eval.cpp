// Evaluation driver: the public entry points, the lazy cut-off, the stage
// sequence of evaluate_full and the whole-board terms (bishop pair, queen
// synergy, imbalance, space, initiative, scale factor).
#include "eval/eval.h"

#include <algorithm>

#include "eval/eval_internal.h"
#include "movegen/attack.h"

namespace Eval {

namespace {

constexpr Bitboard EDGE_FILES = FILE_A_BB | file_bb(1) | file_bb(6) | FILE_H_BB;
constexpr Bitboard QUEENSIDE_FILES = files_between(0, 3);
constexpr Bitboard KINGSIDE_FILES = files_between(4, 7);
// The space areas are deliberately not mirror images: White counts c2-f4,
// Black c4-f6.
constexpr Bitboard SPACE_AREA[2] = {CENTRE_FILES & ranks_between(1, 3),
                                    CENTRE_FILES& ranks_between(3, 5)};
// Pawns whose advance can break the centre: relative ranks 2 to 5.
constexpr Bitboard BREAK_RANKS[2] = {ranks_between(1, 4), ranks_between(3, 6)};

Bitboard king_zone(Color c, int k) {
  Bitboard zone = Attack::kingAttacks[k] | square_bb(k);
  const int ahead = c == WHITE ? k + 8 : k - 8;
  if (ahead >= 0 && ahead < 64) zone |= Attack::kingAttacks[ahead];
  // A king on the edge gets a zone as wide as a central one.
  if (file_of(k) == 0) zone |= (zone & ~FILE_H_BB) << 1;
  if (file_of(k) == 7) zone |= (zone & ~FILE_A_BB) >> 1;
  return zone;
}

int minors(const Position& pos, Color c) {
  return piece_count_of(pos, c, KNIGHT) + piece_count_of(pos, c, BISHOP);
}
int majors(const Position& pos, Color c) {
  return piece_count_of(pos, c, ROOK) + piece_count_of(pos, c, QUEEN);
}

}  // namespace

int phase_blend(const Position& pos, int mg, int eg) {
  const int phase = std::clamp(pos.phase_sum, 0, 24);
  const int v = (mg * phase + eg * (24 - phase)) / 24;
  return pos.side == WHITE ? v + TEMPO : TEMPO - v;
}

void init_eval_data(const Position& pos, const PawnHash::Entry& entry, EvalData& ed) {
  ed = EvalData{};
  for (const Color c : {WHITE, BLACK}) {
    const Bitboard pawnAttacks = entry.pawnAttacks[c];
    ed.attackedBy[c][PAWN] = pawnAttacks;
    ed.passedPawns[c] = entry.passedPawns[c];
    ed.attackedByAny[c] = pawnAttacks;
    const int k = king_square_of(pos, c);
    if (k != NO_SQUARE) {
      const Bitboard kingAttacks = Attack::kingAttacks[k];
      ed.attackedBy[c][KING] = kingAttacks;
      ed.attackedByAny[c] |= kingAttacks;
      ed.attackedTwice[c] = pawnAttacks & kingAttacks;
      ed.kingZone[c] = king_zone(c, k);
    }
    ed.mobilityArea[c] = ~(entry.pawnAttacks[~c] | entry.blockedOrHomePawns[c] |
                           pos.pieces(c, KING) | pos.pieces(c, QUEEN));
  }
}

int closedness(const Position& pos) {
  const Bitboard white = pos.pieces(WHITE, PAWN), black = pos.pieces(BLACK, PAWN);
  const Bitboard occ = pos.occupied;
  // Pawns whose square ahead is occupied, and those blocked by an enemy pawn.
  const Bitboard blocked[2] = {white & (occ >> 8), black & (occ << 8)};
  const Bitboard rammed[2] = {white & (black >> 8), black & (white << 8)};
  int v = 0;
  for (const Color c : {WHITE, BLACK}) {
    v += popcount(blocked[c] & EDGE_FILES) + 3 * popcount(rammed[c] & CENTRE_FILES) +
         2 * popcount(blocked[c] & ~rammed[c] & CENTRE_FILES);
  }
  return std::min(v, 12);
}

int openness(const Position& pos) {
  const Bitboard pawns = pos.pieces(WHITE, PAWN) | pos.pieces(BLACK, PAWN);
  int v = popcount(CENTRE_SQUARES & ~pawns);
  for (int f = 2; f <= 5; ++f) v += (pawns & file_bb(f)) == 0;
  return std::min(v, 8);
}

int center_break_potential(const Position& pos, Color c) {
  const Bitboard enemy = pos.pieces(~c, PAWN);
  const Bitboard pawns = pos.pieces(c, PAWN) & CENTRE_FILES & BREAK_RANKS[c];
  const Bitboard free = pawns & ~push_bb(~c, pos.occupied);
  int v =
      2 * popcount(free & (file_bb(3) | file_bb(4))) + popcount(free & (file_bb(2) | file_bb(5)));
  // Enemy pawns diagonally ahead; the files c to f never wrap.
  v += c == WHITE ? popcount(pawns & (enemy >> 7)) + popcount(pawns & (enemy >> 9))
                  : popcount(pawns & (enemy << 7)) + popcount(pawns & (enemy << 9));
  return std::min(v, 6);
}

Score bishop_pair(const Position& pos, const PawnHash::Entry& entry, Color c, int closed,
                  int open) {
  if (piece_count_of(pos, c, BISHOP) < 2) return {};
  const Color them = ~c;
  const int cbp = center_break_potential(pos, c);
  const int bpMg = 16 + 3 * open + 2 * cbp - 2 * closed;
  const int bpEg = 28 + 2 * open + cbp - closed;
  const int pawnDiff = piece_count_of(pos, c, PAWN) - piece_count_of(pos, them, PAWN);
  // The pair is worth less to a side that gave a minor piece for pawns.
  const bool reduced = minors(pos, c) < minors(pos, them) && majors(pos, c) == majors(pos, them) &&
                       pawnDiff >= 0 && pawnDiff <= 2 && entry.advancedConnectedPassers[c] == 0;
  if (reduced) return {std::max(17, bpMg / 2), clamp_int(floor_div(2 * bpEg, 3), 25, 48)};
  return {clamp_int(bpMg, 17, 39), clamp_int(bpEg, 25, 48)};
}

Score queen_synergy(const Position& pos, Color c) {
  const int q = piece_count_of(pos, c, QUEEN);
  const int n = piece_count_of(pos, c, KNIGHT), b = piece_count_of(pos, c, BISHOP);
  return {q * (7 * n + 3 * b), 2 * q * (n + b)};
}

Score imbalance(const Position& pos, const PawnHash::Entry& entry, Color c) {
  if (entry.advancedConnectedPassers[c] != 0) return {};
  const Color them = ~c;
  const int minorDiff = minors(pos, c) - minors(pos, them);
  const int majorDiff = majors(pos, c) - majors(pos, them);
  const int d = piece_count_of(pos, c, PAWN) - piece_count_of(pos, them, PAWN);
  if (minorDiff == -1 && majorDiff == 0) {
    if (d == 1) return {-42, -26};
    if (d == 2) return {-32, -20};
    return {};
  }
  if (majorDiff == -1 && minorDiff > 0 && d >= 0 && d <= 2) return {-34 * (3 - d), -22 * (3 - d)};
  return {};
}

int space(const Position& pos, const EvalData& ed, Color c) {
  const int pieces = minors(pos, c);
  if (pieces < 2) return 0;
  const Bitboard pawns = pos.pieces(c, PAWN);
  const Bitboard safe = SPACE_AREA[c] & ~ed.attackedBy[~c][PAWN] & ~pos.color_bb[c];
  // Squares with an own pawn one or two ranks behind count twice.
  const Bitboard behind = push_bb(c, pawns) | push_bb(c, push_bb(c, pawns));
  const int count = popcount(safe) + popcount(safe & behind);
  return 3 * std::min(pieces, 4) * count;
}

int initiative(const Position& pos, const PawnHash::Entry& entry, int eg) {
  if (eg == 0) return 0;
  const Color strong = eg > 0 ? WHITE : BLACK;
  const Bitboard pawns = pos.pieces(WHITE, PAWN) | pos.pieces(BLACK, PAWN);
  const bool bothWings = (pawns & QUEENSIDE_FILES) && (pawns & KINGSIDE_FILES);
  const bool queens = (pos.pieces(WHITE, QUEEN) | pos.pieces(BLACK, QUEEN)) != 0;
  const int x = popcount(pawns) +
                8 * popcount(entry.passedPawns[WHITE] | entry.passedPawns[BLACK]) +
                (bothWings ? 8 : -6) + (queens ? 4 : 0) - (pos.pieces(strong, PAWN) ? 0 : 18);
  if (x <= 0) return 0;
  const int bonus = std::min({x, 44, eg > 0 ? eg : -eg});
  return eg > 0 ? bonus : -bonus;
}

int scale_factor(const Position& pos, int eg) {
  const Color strong = eg >= 0 ? WHITE : BLACK;
  const int sp = piece_count_of(pos, strong, PAWN), wp = piece_count_of(pos, ~strong, PAWN);
  int base = 128;
  const Bitboard heavyOrKnights = pos.pieces(WHITE, QUEEN) | pos.pieces(BLACK, QUEEN) |
                                  pos.pieces(WHITE, ROOK) | pos.pieces(BLACK, ROOK) |
                                  pos.pieces(WHITE, KNIGHT) | pos.pieces(BLACK, KNIGHT);
  const Bitboard wb = pos.pieces(WHITE, BISHOP), bb = pos.pieces(BLACK, BISHOP);
  if (!heavyOrKnights && popcount(wb) == 1 && popcount(bb) == 1) {
    const bool opposite = ((wb & DARK_SQUARES) != 0) != ((bb & DARK_SQUARES) != 0);
    base = opposite ? 80 : 128;
  }
  if (sp >= 4) return base;
  const int s = base - 10 * (4 - sp);
  if (wp == 0 && sp <= 1) return clamp_int(s, 48, 72);
  return std::max(s, 48);
}

int evaluate_full(const Position& pos, PawnHash::Entry& entry) {
  // Read the trace switch once: outside a trace each stage costs one test of
  // this local.
  const bool trace = g_evalTraceOn;

  int mg = pos.mg_sum + entry.mg;
  int eg = pos.eg_sum + entry.eg;
  if (trace) trace_record("pawnhash", mg, eg);

  EvalData ed;
  init_eval_data(pos, entry, ed);

  evaluate_pieces(pos, ed, mg, eg);
  if (trace) trace_record("pieces", mg, eg);

  // Closedness, openness and the centre breaks only matter to a bishop pair.
  if (piece_count_of(pos, WHITE, BISHOP) >= 2 || piece_count_of(pos, BLACK, BISHOP) >= 2) {
    const int closed = closedness(pos), open = openness(pos);
    const Score w = bishop_pair(pos, entry, WHITE, closed, open);
    const Score b = bishop_pair(pos, entry, BLACK, closed, open);
    mg += w.mg - b.mg;
    eg += w.eg - b.eg;
  }
  if (trace) trace_record("bishoppair", mg, eg);

  {
    const Score w = queen_synergy(pos, WHITE), b = queen_synergy(pos, BLACK);
    mg += w.mg - b.mg;
    eg += w.eg - b.eg;
  }
  if (trace) trace_record("queensyn", mg, eg);

  {
    const Score w = imbalance(pos, entry, WHITE), b = imbalance(pos, entry, BLACK);
    mg += w.mg - b.mg;
    eg += w.eg - b.eg;
  }
  if (trace) trace_record("imbalance", mg, eg);

  evaluate_passers(pos, ed, mg, eg);
  if (trace) trace_record("passers", mg, eg);

  evaluate_threats_v2(pos, ed, WHITE, mg, eg);
  evaluate_threats_v2(pos, ed, BLACK, mg, eg);
  if (trace) trace_record("threats", mg, eg);

  const auto pressure = [&](Color c) {
    return king_pressure_score_mg(pos, c, ed.attackedBy[c][PAWN],
                                  ed.attackedBy[c][KNIGHT] | ed.attackedBy[c][BISHOP],
                                  ed.attackedBy[c][ROOK] | ed.attackedBy[c][QUEEN]);
  };
  mg += pressure(WHITE) - pressure(BLACK);
  mg += king_base_attack_score_mg(pos, ed, WHITE) - king_base_attack_score_mg(pos, ed, BLACK);
  mg += king_safety_v2(pos, ed, entry, WHITE) - king_safety_v2(pos, ed, entry, BLACK);
  if (trace) trace_record("king", mg, eg);

  eg += endgame_king_activity_score(pos, ed, WHITE) - endgame_king_activity_score(pos, ed, BLACK);
  if (trace) trace_record("kingact", mg, eg);

  mg += space(pos, ed, WHITE) - space(pos, ed, BLACK);
  if (trace) trace_record("space", mg, eg);

  eg += initiative(pos, entry, eg);
  if (trace) trace_record("initiative", mg, eg);

  eg = eg * scale_factor(pos, eg) / 128;
  if (trace) trace_record("scale", mg, eg);

  return phase_blend(pos, mg, eg);
}

}  // namespace Eval

namespace {

EvalResult lazy_or_full(const Position& pos, int alpha, int beta, PawnHash::Entry& entry) {
  const int lazy = Eval::phase_blend(pos, pos.mg_sum + entry.mg, pos.eg_sum + entry.eg);
  if (lazy - LAZY_MARGIN > beta || lazy + LAZY_MARGIN < alpha) return {lazy, false};
  return {Eval::evaluate_full(pos, entry), true};
}

}  // namespace

int evaluate(const Position& position) {
  return Eval::evaluate_full(position, PawnHash::probe(position));
}

int evaluate(const Position& position, PawnHash::Table& table) {
  return Eval::evaluate_full(position, PawnHash::probe(position, table));
}

EvalResult evaluate_result(const Position& position, int alpha, int beta) {
  return lazy_or_full(position, alpha, beta, PawnHash::probe(position));
}

EvalResult evaluate_result(const Position& position, int alpha, int beta, PawnHash::Table& table) {
  return lazy_or_full(position, alpha, beta, PawnHash::probe(position, table));
}

int evaluate(const Position& position, int alpha, int beta) {
  return evaluate_result(position, alpha, beta).score;
}
