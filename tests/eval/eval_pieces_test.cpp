// The scratch record's initial state, the piece loop (mobility, knight,
// bishop and rook terms, king-zone counters) and passed pawns. Expected
// values are worked out by hand; each case says how.
#include "eval_fixture.h"

namespace evaltest {
namespace {

using Eval::Score;

// ---------------------------------------------------------------- EvalData

TEST_F(EvalTest, KingZones) {
  struct Case {
    const char* name;
    const char* fen;
    Bitboard white, black;
  } cases[] = {
      // The king's neighbours, its square and the neighbours of the square
      // ahead: three ranks by three files.
      {"central kings", "4k3/8/8/8/8/8/8/4K3 w - - 0 1",
       squares({"d1", "e1", "f1", "d2", "e2", "f2", "d3", "e3", "f3"}),
       squares({"d8", "e8", "f8", "d7", "e7", "f7", "d6", "e6", "f6"})},
      // Edge kings take the zone shifted one file inward as well.
      {"h1 and a8", "k7/8/8/8/8/8/8/7K w - - 0 1",
       squares({"f1", "g1", "h1", "f2", "g2", "h2", "f3", "g3", "h3"}),
       squares({"a8", "b8", "c8", "a7", "b7", "c7", "a6", "b6", "c6"})},
      // No square ahead on the last rank: two ranks, widened to three files.
      {"kings on the far rank", "7K/8/8/8/8/8/8/k7 w - - 0 1",
       squares({"f8", "g8", "h8", "f7", "g7", "h7"}),
       squares({"a1", "b1", "c1", "a2", "b2", "c2"})},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    EvalData ed;
    Eval::init_eval_data(pos, entry_of(pos), ed);
    EXPECT_EQ(ed.kingZone[WHITE], c.white) << c.name;
    EXPECT_EQ(ed.kingZone[BLACK], c.black) << c.name;
  }
}

TEST_F(EvalTest, InitialAttackSetsAndMobilityArea) {
  const Position pos = from_fen(fen::START_FEN);
  EvalData ed;
  Eval::init_eval_data(pos, entry_of(pos), ed);
  const Bitboard whiteKing = squares({"d1", "f1", "d2", "e2", "f2"});
  EXPECT_EQ(ed.attackedBy[WHITE][PAWN], rank_bb(2));
  EXPECT_EQ(ed.attackedBy[WHITE][KING], whiteKing);
  EXPECT_EQ(ed.attackedBy[WHITE][KNIGHT], 0u);
  EXPECT_EQ(ed.attackedByAny[WHITE], rank_bb(2) | whiteKing);
  EXPECT_EQ(ed.attackedTwice[WHITE], 0u);
  // Everything but Black's pawn attacks (rank 6), White's home pawns, king
  // and queen.
  EXPECT_EQ(ed.mobilityArea[WHITE], ~(rank_bb(5) | rank_bb(1) | squares({"d1", "e1"})));
  EXPECT_EQ(ed.mobilityArea[BLACK], ~(rank_bb(2) | rank_bb(6) | squares({"d8", "e8"})));
  EXPECT_EQ(ed.kingAttackersCount[WHITE], 0);

  // Pawn d2 and king e2 both attack e3: attacked twice.
  const Position twice = from_fen("4k3/8/8/8/8/8/3PK3/8 w - - 0 1");
  Eval::init_eval_data(twice, entry_of(twice), ed);
  EXPECT_EQ(ed.attackedTwice[WHITE], squares({"e3"}));
}

// ---------------------------------------------------------------- mobility

TEST_F(EvalTest, MobilityTablesClampToTheirLastIndex) {
  EXPECT_EQ(Eval::mobility_score(KNIGHT, 0), (Score{-27, -21}));
  EXPECT_EQ(Eval::mobility_score(KNIGHT, 8), (Score{22, 18}));
  EXPECT_EQ(Eval::mobility_score(KNIGHT, 12), (Score{22, 18}));
  EXPECT_EQ(Eval::mobility_score(BISHOP, 13), (Score{43, 41}));
  EXPECT_EQ(Eval::mobility_score(BISHOP, 20), (Score{43, 41}));
  EXPECT_EQ(Eval::mobility_score(ROOK, 3), (Score{-1, -5}));
  EXPECT_EQ(Eval::mobility_score(ROOK, 15), (Score{49, 60}));
  EXPECT_EQ(Eval::mobility_score(QUEEN, 7), (Score{0, 5}));
  EXPECT_EQ(Eval::mobility_score(QUEEN, 28), (Score{51, 51}));
}

// Whole "pieces" stage on small positions.
TEST_F(EvalTest, PiecesStage) {
  struct Case {
    const char* name;
    const char* fen;
    Score stage;
    int attackers, weight, attacks;  // White's counters on Black's king zone
  } cases[] = {
      // Knight d4: eight free squares (22, 18); no outpost (no pawns); king h1
      // at distance 4. It reaches c6 in the a8 king's widened zone.
      {"centre knight", "k7/8/8/8/3N4/8/8/7K w - - 0 1", {22, 18}, 1, 9, 1},
      // Bishop c3: 11 squares (36, 39), d4 and e5 in the centre (15, 9).
      {"long-diagonal bishop", "k7/8/8/8/8/2B5/8/7K w - - 0 1", {51, 48}, 0, 0, 0},
      // Queen d4 on an empty board: 27 squares (51, 51); of the zone a6-c8
      // its a7-g1 diagonal reaches a7 and b6.
      {"free queen", "k7/8/8/8/3Q4/8/8/7K w - - 0 1", {51, 51}, 1, 15, 2},
      // The same knight for Black, seen from White: negated.
      {"black knight", "7k/8/8/8/3n4/8/8/K7 w - - 0 1", {-22, -18}, 0, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(stage_change(c.fen, "pieces"), c.stage) << c.name;
    const EvalData ed = eval_data(from_fen(c.fen));
    EXPECT_EQ(ed.kingAttackersCount[WHITE], c.attackers) << c.name;
    EXPECT_EQ(ed.kingAttackersWeight[WHITE], c.weight) << c.name;
    EXPECT_EQ(ed.kingAttacksCount[WHITE], c.attacks) << c.name;
  }
}

TEST_F(EvalTest, PieceLoopCompletesAttackSets) {
  // The knight c3 attacks a2, a4, b1, b5, d1, d5, e2, e4; the rook c1
  // attacks a1, b1, d1, e1 (its king) and c2, c3 (its knight). With the
  // king's d1, f1, d2, e2, f2: b1, d1 and e2 are attacked twice.
  const Position pos = from_fen("4k3/8/8/8/8/2N5/8/2R1K3 w - - 0 1");
  const EvalData ed = eval_data(pos);
  EXPECT_EQ(ed.attackedBy[WHITE][KNIGHT],
            squares({"a2", "a4", "b1", "b5", "d1", "d5", "e2", "e4"}));
  EXPECT_EQ(ed.attackedBy[WHITE][ROOK], squares({"a1", "b1", "d1", "e1", "c2", "c3"}));
  EXPECT_EQ(ed.attackedTwice[WHITE], squares({"b1", "d1", "e2"}));
  EXPECT_EQ(ed.attackedByAny[WHITE],
            ed.attackedBy[WHITE][KNIGHT] | ed.attackedBy[WHITE][ROOK] | ed.attackedBy[WHITE][KING]);
}

// ---------------------------------------------------------------- knights

struct PieceTermCase {
  const char* name;
  const char* fen;
  Color color;
  const char* square;
  Score expected;  // the piece's own terms, its owner's view
};

const PieceTermCase KNIGHT_CASES[] = {
    // d5 defended by e4, no enemy pawns: outpost at centre distance 0.
    {"outpost d5", "6k1/8/8/3N4/4P3/8/8/6K1 w - - 0 1", WHITE, "d5", {25, 11}},
    // c5 defended by d4: distance 1.
    {"outpost c5", "6k1/8/8/2N5/3P4/8/8/6K1 w - - 0 1", WHITE, "c5", {21, 11}},
    // c6 defended by d5: distance 2 (relative rank 5 is still an outpost).
    {"outpost c6", "6k1/8/2N5/3P4/8/8/8/6K1 w - - 0 1", WHITE, "c6", {17, 11}},
    // e6 can attack d5: neither outpost nor a reachable one (c3, e3, f4, f6
    // are not covered by e4).
    {"attackable square", "6k1/8/4p3/3N4/4P3/8/8/6K1 w - - 0 1", WHITE, "d5", {0, 0}},
    // a5 is on the a-file; it reaches c6, which d5 defends: reachable (9, 3).
    {"edge knight reaching c6", "6k1/8/8/N2P4/1P6/8/8/6K1 w - - 0 1", WHITE, "a5", {9, 3}},
    {"edge knight reaching nothing", "6k1/8/8/N7/1P6/8/8/6K1 w - - 0 1", WHITE, "a5", {0, 0}},
    // h3 behind its h4 pawn (5, 11), king e1 at distance 3 (eg + 1).
    {"pawn shield and king", "6k1/8/8/8/7P/7N/8/4K3 w - - 0 1", WHITE, "h3", {5, 12}},
    // Black's knight d4 defended by e5: the mirror of d5.
    {"black outpost d4", "6k1/8/8/4p3/3n4/8/8/6K1 b - - 0 1", BLACK, "d4", {25, 11}},
};

TEST_F(EvalTest, KnightTerms) {
  for (const PieceTermCase& c : KNIGHT_CASES) {
    const Position pos = from_fen(c.fen);
    const EvalData ed = eval_data(pos);
    const int s = sq(c.square);
    EXPECT_EQ(Eval::knight_terms(pos, ed, c.color, s, Attack::knightAttacks[s]), c.expected)
        << c.name;
  }
}

// ---------------------------------------------------------------- bishops

const PieceTermCase BISHOP_CASES[] = {
    // c1 with five own pawns on dark squares (a3, b2, d2, f2, h2): -2 x 2.
    {"five pawns on its colour", "k7/8/8/8/8/P7/1P1P1P1P/2B4K w - - 0 1", WHITE, "c1", {-4, -4}},
    {"three pawns on its colour", "k7/8/8/8/8/8/1P1P1P2/2B4K w - - 0 1", WHITE, "c1", {0, 0}},
    // d5 defended by e4: outpost (9, 4); through the pawns it sees only e4
    // of the centre.
    {"outpost d5", "6k1/8/8/3B4/4P3/8/8/6K1 b - - 0 1", WHITE, "d5", {9, 4}},
    // c3 sees d4 and e5: centre control (15, 9).
    {"centre control", "6k1/8/8/8/8/2B5/8/6K1 w - - 0 1", WHITE, "c3", {15, 9}},
    // An own pawn on d4 stops the diagonal: one centre square only.
    {"centre blocked", "6k1/8/8/8/3P4/2B5/8/6K1 w - - 0 1", WHITE, "c3", {0, 0}},
    // Pieces do not block the centre view: a Black knight on d4 is ignored.
    {"pieces are transparent", "6k1/8/8/8/3n4/2B5/8/6K1 w - - 0 1", WHITE, "c3", {15, 9}},
    // f1 next to the king: 4 x (4 - 1) in mg.
    {"king proximity", "6k1/8/8/8/8/8/8/5BK1 w - - 0 1", WHITE, "f1", {12, 0}},
    // d3 behind d4 (5, 11) with the king at distance 3 (+4 mg).
    {"pawn shield", "6k1/8/8/8/3P4/3B4/8/6K1 w - - 0 1", WHITE, "d3", {9, 11}},
    // Black e4 defended by d5: relative rank 4, outpost.
    {"black outpost", "6k1/8/8/3p4/4b3/8/8/6K1 b - - 0 1", BLACK, "e4", {9, 4}},
};

TEST_F(EvalTest, BishopTerms) {
  for (const PieceTermCase& c : BISHOP_CASES) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::bishop_terms(pos, eval_data(pos), c.color, sq(c.square)), c.expected) << c.name;
  }
}

// ---------------------------------------------------------------- rooks

struct RookCase {
  const char* name;
  const char* fen;
  Color color;
  const char* square;
  int mobility;
  Score expected;
};

const RookCase ROOK_CASES[] = {
    {"open file", "6k1/8/8/8/3R4/8/8/6K1 w - - 0 1", WHITE, "d4", 14, {21, 11}},
    // Only a Black (non-passed) pawn on the d-file: half-open.
    {"half-open file", "6k1/8/3p4/4P3/8/8/8/3R2K1 w - - 0 1", WHITE, "d1", 10, {13, 7}},
    // Own passer d2 ahead of the rook: no file bonus, behind the passer.
    {"behind own passer", "6k1/8/8/8/8/8/3P4/3R2K1 w - - 0 1", WHITE, "d1", 10, {8, 16}},
    {"open seventh rank", "6k1/R7/8/8/8/8/8/6K1 w - - 0 1", WHITE, "a7", 14, {30, 32}},
    {"enemy queen on the file", "4q1k1/8/8/8/8/8/8/2K1R3 w - - 0 1", WHITE, "e1", 10, {25, 14}},
    // Black rook in front of White's e5 passer: half-open + passer.
    {"black rook before white passer",
     "4r1k1/8/8/4P3/8/8/8/6K1 b - - 0 1",
     BLACK,
     "e8",
     10,
     {21, 23}},
    // A White rook in front of its own passer gets nothing for it.
    {"white rook before own passer", "4R1k1/8/8/4P3/8/8/8/6K1 b - - 0 1", WHITE, "e8", 10, {0, 0}},
    // Rook a1 hemmed in by king e1: trapped.
    {"trapped", "4k3/p7/8/8/8/8/P7/R3K3 w - - 0 1", WHITE, "a1", 2, {-21, -8}},
    {"king one file away", "4k3/p7/8/8/8/8/P7/RK6 w - - 0 1", WHITE, "a1", 2, {0, 0}},
    {"mobility three", "4k3/p7/8/8/8/8/P7/R3K3 w - - 0 1", WHITE, "a1", 3, {0, 0}},
    {"black trapped", "r3k3/p7/8/8/8/8/P7/4K3 b - - 0 1", BLACK, "a8", 2, {-21, -8}},
};

TEST_F(EvalTest, RookTerms) {
  for (const RookCase& c : ROOK_CASES) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::rook_terms(pos, eval_data(pos), c.color, sq(c.square), c.mobility), c.expected)
        << c.name;
  }
}

// ---------------------------------------------------------------- passed pawns

struct PasserCase {
  const char* name;
  const char* fen;
  Color color;
  const char* square;
  Score expected;
};

const PasserCase PASSER_CASES[] = {
    // e7 (r = 6), e8 free and safe: 88 + 5 x 6, 215 + 8 x 6; kings far.
    {"e7 free", "8/4P3/8/8/8/8/8/K6k w - - 0 1", WHITE, "e7", {118, 263}},
    {"e7 blocked", "4n3/4P3/8/8/8/8/8/K6k w - - 0 1", WHITE, "e7", {77, 193}},
    // Own king d6 at distance 2 from e8: eg + 30 - 12.
    {"e7 escorted", "8/4P3/3K4/8/8/8/8/7k w - - 0 1", WHITE, "e7", {118, 281}},
    // Enemy king f8 guards e8 (path unsafe) and stands at distance 1:
    // eg - 4 x 9.
    {"e7 stopped by king", "5k2/4P3/8/8/8/8/8/K7 b - - 0 1", WHITE, "e7", {88, 179}},
    // e5 supported by d4 (14, 24), connected (13, 26), path safe (20, 32),
    // enemy king h8 at distance 3 from e6 (eg - 2 x 7).
    {"supported e5", "7k/8/8/4P3/3P4/8/8/K7 w - - 0 1", WHITE, "e5", {79, 144}},
    // d4 beside e5 (rank ahead): connected (11, 22), path safe (15, 24),
    // own king a1 at distance 4 from d5 (+6), enemy king h8 at 4 (-6).
    {"connected d4", "7k/8/8/4P3/3P4/8/8/K7 w - - 0 1", WHITE, "d4", {44, 84}},
    // d6 with the king on e6 guarding d7: (4, 8) and escort 30 - 6.
    {"stop square guarded", "8/8/3PK3/8/8/8/8/7k w - - 0 1", WHITE, "d6", {85, 208}},
    // Black's e2: the mirror of "e7 free".
    {"black e2 free", "k6K/8/8/8/8/8/4p3/8 w - - 0 1", BLACK, "e2", {118, 263}},
};

TEST_F(EvalTest, PassedPawnTerms) {
  for (const PasserCase& c : PASSER_CASES) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::passed_pawn_score(pos, eval_data(pos), c.color, sq(c.square)), c.expected)
        << c.name;
  }
}

TEST_F(EvalTest, PassersStage) {
  EXPECT_EQ(stage_change("8/4P3/8/8/8/8/8/K6k w - - 0 1", "passers"), (Score{118, 263}));
  EXPECT_EQ(stage_change("k6K/8/8/8/8/8/4p3/8 w - - 0 1", "passers"), (Score{-118, -263}));
  EXPECT_EQ(stage_change("7k/8/8/4P3/3P4/8/8/K7 w - - 0 1", "passers"), (Score{79 + 44, 144 + 84}));
}

}  // namespace
}  // namespace evaltest
