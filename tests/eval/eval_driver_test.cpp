// The evaluation driver and the whole-board terms: phase blend, lazy cut-off,
// closedness/openness/centre breaks, bishop pair, queen synergy, imbalance,
// space, initiative and the scale factor. Expected values are worked out by
// hand; each case says how.
#include "eval_fixture.h"

namespace evaltest {
namespace {

using Eval::Score;

// ---------------------------------------------------------------- driver

struct BlendCase {
  const char* name;
  const char* fen;
  int mg, eg, expected;
};

const BlendCase BLEND_CASES[] = {
    // Phase 12 (queen and rook each): (100 x 12 - 100 x 12) / 24 = 0, + tempo.
    {"half phase cancels", "r2qk3/8/8/8/8/8/8/R2QK3 w - - 0 1", 100, -100, 7},
    {"half phase 48 mg", "r2qk3/8/8/8/8/8/8/R2QK3 w - - 0 1", 48, 0, 31},
    // 12 / 24 and -12 / 24 both truncate to 0 (floor would give -1).
    {"truncates up", "r2qk3/8/8/8/8/8/8/R2QK3 w - - 0 1", 1, 0, 7},
    {"truncates toward zero", "r2qk3/8/8/8/8/8/8/R2QK3 w - - 0 1", -1, 0, 7},
    {"black to move", "r2qk3/8/8/8/8/8/8/R2QK3 b - - 0 1", 48, 0, 7 - 24},
    // Three extra queens: phase 36 is treated as 24, pure middlegame.
    {"phase above 24", "rnbqkbnr/pppppppp/8/8/8/8/QQQPPPPP/RNBQKBNR w - - 0 1", 100, -100, 107},
    {"bare kings are pure endgame", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", 100, -100, -93},
};

TEST_F(EvalTest, PhaseBlend) {
  for (const BlendCase& c : BLEND_CASES) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::phase_blend(pos, c.mg, c.eg), c.expected) << c.name;
  }
}

// Every stage but space cancels in the start position; space gives
// 3 x 4 x 16 - 3 x 4 x 20 = -48 to mg, blended at phase 24.
TEST_F(EvalTest, StartPosition) {
  const auto changes = stage_changes(from_fen(fen::START_FEN));
  for (std::size_t i = 0; i < STAGES.size(); ++i) {
    const Score expected = std::string(STAGES[i]) == "space" ? Score{-48, 0} : Score{0, 0};
    EXPECT_EQ(changes[i], expected) << STAGES[i];
  }
  EXPECT_EQ(evaluate(from_fen(fen::START_FEN), table), 7 - 48);
  EXPECT_EQ(evaluate(from_fen("rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR b KQkq - 0 1"), table),
            7 + 48);
}

// The start position's lazy estimate is the tempo alone: 7. The full
// evaluation runs while the estimate is within 599 of the window.
TEST_F(EvalTest, LazyCutOffBoundaries) {
  const Position pos = from_fen(fen::START_FEN);
  const int full = evaluate(pos, table);
  struct Window {
    int alpha, beta;
    bool full;
  };
  const Window windows[] = {
      {-1000, 7 - 599, true},   // lazy - 599 == beta
      {-1000, 7 - 600, false},  // one beyond
      {7 + 599, 2000, true},    // lazy + 599 == alpha
      {7 + 600, 2000, false},  {-50, 50, true},
  };
  for (const Window& w : windows) {
    const EvalResult r = evaluate_result(pos, w.alpha, w.beta, table);
    EXPECT_EQ(r.full, w.full) << w.alpha << " " << w.beta;
    EXPECT_EQ(r.score, w.full ? full : 7) << w.alpha << " " << w.beta;
  }
  // The plain forms use the process-wide table and agree.
  EXPECT_EQ(evaluate(pos), full);
  EXPECT_EQ(evaluate(pos, -50, 50), full);
  EXPECT_EQ(evaluate(pos, 7 + 600, 2000), 7);
  EXPECT_FALSE(evaluate_result(pos, 7 + 600, 2000).full);
}

// ------------------------------------------------ closedness, openness, breaks

struct PawnMeasureCase {
  const char* name;
  const char* fen;
  int closedness, openness, breakWhite, breakBlack;
};

const PawnMeasureCase PAWN_MEASURE_CASES[] = {
    // Nothing blocked; the four centre squares are empty, every centre file
    // has pawns. Breaks: d/e pawns 2 each, c/f pawns 1 each.
    {"start", fen::START_FEN, 0, 4, 6, 6},
    // Rams: e4/e5 and d5/d6 count 3 for each of the four pawns, a4/a5 count
    // 1 each: 14, clamped to 12. Openness: only d4 of the centre is free,
    // files c and f hold no pawn: 3. No pawn that may break is free to move
    // or has an enemy pawn diagonally ahead: 0 and 0.
    {"rammed centre", "4k3/8/3p4/p2Pp3/P3P3/8/8/4K3 w - - 0 1", 12, 3, 0, 0},
    // c3 blocked by its own knight (2), h2 by a bishop (1). Files d, e, f
    // and all four centre squares empty: 7. White's c3 is blocked: 0.
    {"blocked by pieces", "4k3/8/8/8/2N5/2P4B/7P/4K3 w - - 0 1", 3, 7, 0, 0},
    // White d4: d5 free (2), c5 and e5 diagonally ahead (2). Black c5: c4
    // free (1), d4 diagonally ahead (1); e5: e4 free (2), d4 (1). Openness:
    // e4 and d5 free, file f empty.
    {"centre tension", "4k3/8/8/2p1p3/3P4/8/8/4K3 w - - 0 1", 0, 3, 4, 5},
    // White d6 and Black d3 stand beyond the ranks that count.
    {"too far advanced", "4k3/8/3P4/8/8/3p4/8/4K3 w - - 0 1", 0, 7, 0, 0},
    // c4-f4 all free (1 + 2 + 2 + 1), b5 and g5 diagonally ahead of c4 and
    // f4: 8, clamped to 6. Black's b- and g-pawns are off the centre files.
    {"break clamp", "4k3/8/8/1p4p1/2PPPP2/8/8/4K3 w - - 0 1", 0, 2, 6, 0},
    // Rams d2/d3 and e2/e3: 4 x 3. c2: free + d3 (2); d2: e3 (1); e2: d3 (1);
    // f2: free + e3 (2): exactly 6. Black's pawns on rank 3 do not count.
    {"rams on the second rank", "4k3/8/8/8/8/3pp3/2PPPP2/4K3 w - - 0 1", 12, 4, 6, 0},
    // Empty board: 4 + 4.
    {"no pawns", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", 0, 8, 0, 0},
};

TEST_F(EvalTest, ClosednessOpennessAndCentreBreaks) {
  for (const PawnMeasureCase& c : PAWN_MEASURE_CASES) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::closedness(pos), c.closedness) << c.name;
    EXPECT_EQ(Eval::openness(pos), c.openness) << c.name;
    EXPECT_EQ(Eval::center_break_potential(pos, WHITE), c.breakWhite) << c.name;
    EXPECT_EQ(Eval::center_break_potential(pos, BLACK), c.breakBlack) << c.name;
  }
}

// ------------------------------------------------ bishop pair and imbalance

struct MaterialCase {
  const char* name;
  const char* fen;
  Score bishopPair;  // stage change
  Score imbalance;   // stage change
};

const MaterialCase MATERIAL_CASES[] = {
    // Two bishops (d3, e3) and three pawns against three minors and two
    // pawns: reduced pair. Closedness 0, openness 4 + 3 = 7, White's break
    // potential 1 (c2 free). bpMg = 16 + 21 + 2 = 39 -> max(17, 19) = 19;
    // bpEg = 28 + 14 + 1 = 43 -> floor(86 / 3) = 28. Piece for pawns with
    // d = 1: (-42, -26).
    {"reduced pair, piece for a pawn",
     "6k1/pp2b3/2n2n2/8/8/3BB3/PPP5/6K1 w - - 0 1",
     {19, 28},
     {-42, -26}},
    // Same material, but a5/b5 are advanced connected passers: normal pair
    // clamp(39) = 39, clamp(43) = 43, and no imbalance penalty.
    {"advanced connected passers",
     "6k1/4b1pp/2n2n2/PP6/8/3BB3/2P5/6K1 w - - 0 1",
     {39, 43},
     {0, 0}},
    // Bishop against knight and bishop with two extra pawns: (-32, -20).
    {"piece for two pawns", "6k1/p3b3/2n5/8/8/4B3/PPP5/6K1 w - - 0 1", {0, 0}, {-32, -20}},
    {"piece for three pawns", "6k1/p3b3/2n5/8/8/4B3/PPPP4/6K1 w - - 0 1", {0, 0}, {0, 0}},
    // Knight and bishop against rook and bishop, equal pawns: -34 x 3,
    // -22 x 3 for White.
    {"minor for the exchange", "r5k1/pp2b3/8/8/8/8/PP2B3/1N4K1 w - - 0 1", {0, 0}, {-102, -66}},
    {"minor for the exchange, two pawns up",
     "r5k1/pp2b3/8/8/8/8/PPPPB3/1N4K1 w - - 0 1",
     {0, 0},
     {-34, -22}},
    // The same seen from Black: penalties for Black raise White's score.
    {"black gave a piece for a pawn",
     "6k1/ppp5/3bb3/8/8/2N2N2/PP2B3/6K1 w - - 0 1",
     {-19, -28},
     {42, 26}},
};

TEST_F(EvalTest, BishopPairAndImbalanceStages) {
  for (const MaterialCase& c : MATERIAL_CASES) {
    EXPECT_EQ(stage_change(c.fen, "bishoppair"), c.bishopPair) << c.name;
    EXPECT_EQ(stage_change(c.fen, "imbalance"), c.imbalance) << c.name;
  }
}

TEST_F(EvalTest, BishopPairClampsInOpenAndClosedPositions) {
  // Start: closedness 0, openness 4, breaks 6: bpMg 40 -> 39, bpEg 42.
  const Position start = from_fen(fen::START_FEN);
  EXPECT_EQ(Eval::bishop_pair(start, entry_of(start), WHITE, 0, 4), (Score{39, 42}));
  // Closed: bpMg = 16 + 12 - 24 = 4 -> 17; bpEg = 28 + 6 - 12 = 22 -> 25.
  EXPECT_EQ(Eval::bishop_pair(start, entry_of(start), WHITE, 12, 0), (Score{17, 25}));
  // A single bishop earns nothing.
  const Position one = from_fen("4k3/8/8/8/8/8/8/2B1K3 w - - 0 1");
  EXPECT_EQ(Eval::bishop_pair(one, entry_of(one), WHITE, 0, 8), (Score{0, 0}));
}

// ------------------------------------------------ queen synergy

TEST_F(EvalTest, QueenSynergy) {
  struct Case {
    const char* fen;
    Score white, black, stage;
  } cases[] = {
      // Q with two knights and a bishop: (7 x 2 + 3, 2 x 3).
      {"4k3/8/8/8/8/8/8/1NBQK1N1 w - - 0 1", {17, 6}, {0, 0}, {17, 6}},
      // Black adds Q + B: (3, 2).
      {"3qkb2/8/8/8/8/8/8/1NBQK1N1 w - - 0 1", {17, 6}, {3, 2}, {14, 4}},
      // Two queens and a knight: (2 x 7, 2 x 2 x 1).
      {"4k3/8/8/8/8/8/8/1N1QKQ2 w - - 0 1", {14, 4}, {0, 0}, {14, 4}},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::queen_synergy(pos, WHITE), c.white) << c.fen;
    EXPECT_EQ(Eval::queen_synergy(pos, BLACK), c.black) << c.fen;
    EXPECT_EQ(stage_change(c.fen, "queensyn"), c.stage) << c.fen;
  }
}

// ------------------------------------------------ space

TEST_F(EvalTest, Space) {
  const Position start = from_fen(fen::START_FEN);
  const EvalData ed = eval_data(start);
  // Counts 16 and 20 (see the start-position test), four minors each.
  EXPECT_EQ(Eval::space(start, ed, WHITE), 3 * 4 * 16);
  EXPECT_EQ(Eval::space(start, ed, BLACK), 3 * 4 * 20);

  // Two knights, pawns d4 and e4: c2-f4 less the two pawn squares is 10
  // squares, none attacked by d6 (it hits c5/e5), none with a pawn behind:
  // 3 x 2 x 10. Black has no minors: 0.
  const Position knights = from_fen("4k3/8/3p4/8/3PP3/8/8/1N2K1N1 w - - 0 1");
  const EvalData kd = eval_data(knights);
  EXPECT_EQ(Eval::space(knights, kd, WHITE), 60);
  EXPECT_EQ(Eval::space(knights, kd, BLACK), 0);
  EXPECT_EQ(stage_change("4k3/8/3p4/8/3PP3/8/8/1N2K1N1 w - - 0 1", "space"), (Score{60, 0}));

  // A Black pawn on e5 attacks d4 and f4; White's pawn c2 doubles c3, c4.
  // Area c2-f4 without c2 (own pawn) and d4, f4 (attacked): 9 squares, c3
  // and c4 twice: 11; one knight and one bishop: 3 x 2 x 11.
  const Position hit = from_fen("4k3/8/8/4p3/8/8/2P5/1NB1K3 w - - 0 1");
  EXPECT_EQ(Eval::space(hit, eval_data(hit), WHITE), 66);
}

// ------------------------------------------------ initiative

TEST_F(EvalTest, Initiative) {
  struct Case {
    const char* name;
    const char* fen;
    int eg, expected;
  } cases[] = {
      // One pawn (1), passed (8), one wing only (-6): x = 3.
      {"lone passer", "4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", 100, 3},
      {"capped by |eg|", "4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", 2, 2},
      {"eg zero", "4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", 0, 0},
      // Black is stronger but has no pawns: x = 3 - 18 < 0.
      {"strong side without pawns", "4k3/8/8/8/4P3/8/8/4K3 w - - 0 1", -100, 0},
      // Eight pawns, three White passers (f2, g2, h2), both wings: 40.
      {"both wings", "4k3/pp6/8/8/8/8/PPP2PPP/4K3 w - - 0 1", 1000, 40},
      // With queens: 44, the cap; Black stronger here, so it enlarges -eg.
      {"capped at 44", "3qk3/pp6/8/8/8/8/PPP2PPP/3QK3 w - - 0 1", -1000, -44},
      {"black small eg", "3qk3/pp6/8/8/8/8/PPP2PPP/3QK3 w - - 0 1", -30, -30},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::initiative(pos, entry_of(pos), c.eg), c.expected) << c.name;
  }
}

// ------------------------------------------------ scale factor

TEST_F(EvalTest, ScaleFactor) {
  struct Case {
    const char* name;
    const char* fen;
    int eg, expected;
  } cases[] = {
      // Bishops c1 (dark) and c8 (light): base 80, one pawn, none against:
      // clamp(80 - 30, 48, 72).
      {"opposite bishops, one pawn", "2b1k3/8/8/8/8/8/P7/2B1K3 w - - 0 1", 100, 50},
      // f8 is dark: same colour, clamp(128 - 30, 48, 72).
      {"same-colour bishops, one pawn", "4kb2/8/8/8/8/8/P7/2B1K3 w - - 0 1", 100, 72},
      {"four pawns", fen::START_FEN, 100, 128},
      {"opposite bishops, four pawns", "2b1k3/pp6/8/8/8/8/PPPP4/2B1K3 w - - 0 1", 10, 80},
      {"opposite bishops, two pawns each", "2b1k3/pp6/8/8/8/8/PP6/2B1K3 w - - 0 1", 10, 60},
      // 80 - 40 = 40, floor 48 (the other side has pawns: no upper clamp).
      {"opposite bishops, no pawns against two", "2b1k3/pp6/8/8/8/8/8/2B1K3 w - - 0 1", 10, 48},
      // Knight, no pawns at all: clamp(88, 48, 72).
      {"knight only", "4k3/8/8/8/8/8/8/1N2K3 w - - 0 1", 50, 72},
      {"two pawns against one", "4k3/p7/8/8/8/8/PP6/4K3 w - - 0 1", 50, 108},
      // Black is stronger: its three pawns count, White's five are the others.
      {"black stronger", "4k3/ppp5/8/8/8/8/PPPPP3/4K3 w - - 0 1", -50, 118},
      // eg 0 counts as White stronger: no White pawns, one Black pawn: 88.
      {"eg zero is white", "4k3/p7/8/8/8/8/8/4K3 w - - 0 1", 0, 88},
      {"eg negative is black", "4k3/p7/8/8/8/8/8/4K3 w - - 0 1", -1, 72},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::scale_factor(pos, c.eg), c.expected) << c.name;
  }
}

}  // namespace
}  // namespace evaltest
