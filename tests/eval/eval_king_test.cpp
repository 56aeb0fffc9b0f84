// Threats, king pressure, the attack on the uncastled king's f-pawn, king
// danger and safety, and endgame king activity. Expected values are worked
// out by hand; each case says how.
#include "eval_fixture.h"

namespace evaltest {
namespace {

using Eval::Score;

// ---------------------------------------------------------------- threats

struct ThreatCase {
  const char* name;
  const char* fen;
  Score white;  // evaluate_threats_v2 for White alone
};

const ThreatCase THREAT_CASES[] = {
    // Knight c3 hits the undefended queen d5: minor threat (14, 7), hanging
    // (19, 11) and hanging queen (95, 60); contested a2, b5, d1, e4 (8, 4).
    {"hanging queen", "7k/8/8/3q4/8/2N5/8/K7 w - - 0 1", {136, 82}},
    // Rook d8 defends the queen once: still a target (14, 7), not hanging;
    // contested squares now include d5: (10, 5).
    {"queen defended once", "3r3k/8/8/3q4/8/2N5/8/K7 w - - 0 1", {24, 12}},
    // e4 (safe) attacks the hanging knight d5: hanging (19, 11) and pawn
    // threat (29, 18); c2-c3 would attack the bishop b4: push threat (11, 7).
    {"pawn threats", "7k/8/8/3n4/1b2P3/8/2P5/K7 w - - 0 1", {59, 36}},
    // Knight d4 covers c6 and e6, from where a knight would fork the queen
    // d8: 2 x (9, 5).
    {"knight squares on the queen", "3q3k/8/8/8/3N4/8/8/K7 w - - 0 1", {18, 10}},
    // a5 is attacked by rook and bishop and lies on the queen's diagonal:
    // (13, 5). Contested a8, a5, d1, d2, h4: (10, 5).
    {"slider squares on the queen", "3q3k/8/8/8/8/8/8/R3B2K w - - 0 1", {23, 10}},
};

TEST_F(EvalTest, Threats) {
  for (const ThreatCase& c : THREAT_CASES) {
    const Position pos = from_fen(c.fen);
    const EvalData ed = eval_data(pos);
    Score s;
    Eval::evaluate_threats_v2(pos, ed, WHITE, s.mg, s.eg);
    EXPECT_EQ(s, c.white) << c.name;
  }
}

TEST_F(EvalTest, ThreatsStageNetsBothSides) {
  // Black's part of "hanging queen": contested b5, d1, e4 outside White's
  // doubly attacked a2, b1: (6, 3).
  EXPECT_EQ(stage_change("7k/8/8/3q4/8/2N5/8/K7 w - - 0 1", "threats"), (Score{136 - 6, 82 - 3}));
}

// ---------------------------------------------------------------- pressure

TEST_F(EvalTest, KingPressure) {
  const Bitboard none = 0;
  const Bitboard fourMajors = squares({"d8", "f8", "d7", "e7"});
  struct Case {
    const char* name;
    const char* fen;
    Color side;
    Bitboard pawns, minors, majors;
    int expected;
  } cases[] = {
      // Raw 9 x 4 + 4 = 40 against the uncastled king e8: 50.
      {"uncastled raw 40", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, none, squares({"f7"}),
       fourMajors, 50},
      // Queen and knight: + 4.
      {"queen and knight", "4k3/8/8/8/8/8/8/1N1QK3 w - - 0 1", WHITE, none, squares({"f7"}),
       fourMajors, 54},
      // Castled king g8: 40 stays 40.
      {"castled raw 40", "6k1/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, none, squares({"h7"}),
       squares({"f8", "h8", "f7", "g7"}), 40},
      // Floor of 5 x 2 / 4.
      {"pawns only", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, squares({"d8", "e8"}), none, none, 2},
      // All six zone squares by majors: 54 x 5 / 4 = 67, capped at 64.
      {"cap", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, none, none,
       fourMajors | squares({"f7", "e8"}), 64},
      // Squares outside king e8's 3 x 2 zone do not count.
      {"outside the zone", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, none, squares({"e6", "d6"}),
       squares({"c8", "g7"}), 0},
      // Black against White's uncastled king e1.
      {"black side", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", BLACK, none, squares({"f2"}),
       squares({"d1", "f1", "d2", "e2"}), 50},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::king_pressure_score_mg(pos, c.side, c.pawns, c.minors, c.majors), c.expected)
        << c.name;
  }
}

// ---------------------------------------------------------------- f-pawn attack

TEST_F(EvalTest, KingBaseAttack) {
  struct Case {
    const char* name;
    const char* fen;
    Color side;
    int expected;
  } cases[] = {
      // Knight g5, bishop c4 and queen f3 on f7: 14 + 14 + 22 + 16 (twice)
      // + 60 (minor and queen) = 126, capped at 124.
      {"all attackers", "4k3/5p2/8/6N1/2B5/5Q2/8/K7 w - - 0 1", WHITE, 124},
      {"knight", "4k3/5p2/8/6N1/8/8/8/K7 w - - 0 1", WHITE, 14},
      {"knight and bishop", "4k3/5p2/8/6N1/2B5/8/8/K7 w - - 0 1", WHITE, 44},
      {"rook on the open file", "4k3/5p2/8/8/8/8/8/K4R2 w - - 0 1", WHITE, 6},
      {"king on d8", "3k4/5p2/8/6N1/8/8/8/K7 w - - 0 1", WHITE, 14},
      {"king castled", "6k1/5p2/8/6N1/2B5/5Q2/8/K7 w - - 0 1", WHITE, 0},
      {"f-pawn advanced", "4k3/8/5p2/6N1/2B5/5Q2/8/K7 w - - 0 1", WHITE, 0},
      // Black's knight g4 on f2 in front of White's king e1.
      {"black knight on f2", "k7/8/8/8/6n1/8/5P2/4K3 w - - 0 1", BLACK, 14},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    EXPECT_EQ(Eval::king_base_attack_score_mg(pos, eval_data(pos), c.side), c.expected) << c.name;
  }
}

// ---------------------------------------------------------------- danger and safety

TEST_F(EvalTest, KingDangerPenalty) {
  EXPECT_EQ(Eval::king_danger_penalty(31, true), 1);
  EXPECT_EQ(Eval::king_danger_penalty(100, true), 10);
  // Without an enemy queen 150 becomes 100 first.
  EXPECT_EQ(Eval::king_danger_penalty(150, false), 10);
  EXPECT_EQ(Eval::king_danger_penalty(0, true), 0);
  EXPECT_EQ(Eval::king_danger_penalty(30, true), 0);
}

TEST_F(EvalTest, KingSafety) {
  struct Case {
    const char* name;
    const char* fen;
    int danger, safety;
  } cases[] = {
      // Shelter of g1 behind f2, g2, h2: 58. Queen h4 hits h3, h2, g3, f2 of
      // the zone: 1 x 15 + 12 x 4 + 8 x 4 = 95; no safe check (e1-a1 are out
      // of the queen's reach, f2/h2 are covered by the king). 95^2 / 960 = 9.
      {"queen against the castle", "k7/8/8/8/7q/8/5PPP/6K1 w - - 0 1", 95, 58 - 9},
      // Knight d4 hits f3: 9 + 12 + 8, plus a safe knight check on e2 (19):
      // 48, two thirds without a queen: 32 -> 1.
      {"knight with a safe check", "k7/8/8/8/3n4/8/5PPP/6K1 w - - 0 1", 48, 58 - 1},
      // No enemy pieces: the shelter alone.
      {"pawns only", "k7/8/8/8/8/8/5PPP/6K1 w - - 0 1", 0, 58},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    const EvalData ed = eval_data(pos);
    EXPECT_EQ(Eval::king_danger(pos, ed, WHITE), c.danger) << c.name;
    EXPECT_EQ(Eval::king_safety_v2(pos, ed, entry_of(pos), WHITE), c.safety) << c.name;
  }
}

// ---------------------------------------------------------------- king activity

TEST_F(EvalTest, EndgameKingActivity) {
  struct Case {
    const char* name;
    const char* fen;
    int white, black;
  } cases[] = {
      // 5 x (6 - 0) on d4; the a8 king: 5 x (6 - 6).
      {"centralised king", "k7/8/8/8/3K4/8/8/8 w - - 0 1", 30, 0},
      {"corner kings", "7k/8/8/8/8/8/8/K7 w - - 0 1", 0, 0},
      // Enemy pawn h7 at distance 4 from d4: + 5 x 2. For Black, h7 is a
      // passer 7 from its king and 4 from White's: 2 x (4 - 7).
      {"enemy pawn in reach", "k7/7p/8/8/3K4/8/8/8 w - - 0 1", 40, -6},
      // Passer h5 far from the a1 king (7) but 3 from the Black king h8:
      // 2 x clamp(3 - 7) = -8 however far the own king is. Black's h8 king:
      // enemy pawn at distance 3: 5 x 3.
      {"far passer", "7k/8/8/7P/8/8/8/K7 w - - 0 1", -8, 15},
      // g4 (centre distance 2): 20; passer h5 at distance 1: 16; race
      // 2 x (3 - 1) = 4.
      {"escorted passer", "7k/8/8/7P/6K1/8/8/8 w - - 0 1", 40, 15},
  };
  for (const Case& c : cases) {
    const Position pos = from_fen(c.fen);
    const EvalData ed = eval_data(pos);
    EXPECT_EQ(Eval::endgame_king_activity_score(pos, ed, WHITE), c.white) << c.name;
    EXPECT_EQ(Eval::endgame_king_activity_score(pos, ed, BLACK), c.black) << c.name;
    EXPECT_EQ(stage_change(c.fen, "kingact"), (Score{0, c.white - c.black})) << c.name;
  }
}

// ---------------------------------------------------------------- missing king

// Hand-made positions may lack a king: king terms vanish, nothing breaks.
TEST_F(EvalTest, MissingKingScoresNoKingTerms) {
  Position pos = from_fen("4k3/5p2/8/6N1/2B5/5Q2/5PPP/6K1 w - - 0 1");
  pos.remove_piece_at_square(B_KING, sq("e8"));
  pos.remove_piece_at_square(W_KING, sq("g1"));
  const EvalData ed = eval_data(pos);
  EXPECT_EQ(ed.kingZone[WHITE] | ed.kingZone[BLACK], 0u);
  EXPECT_EQ(ed.attackedBy[WHITE][KING], 0u);
  EXPECT_EQ(Eval::king_pressure_score_mg(pos, WHITE, ~Bitboard(0), ~Bitboard(0), ~Bitboard(0)), 0);
  EXPECT_EQ(Eval::king_base_attack_score_mg(pos, ed, WHITE), 0);
  EXPECT_EQ(Eval::king_safety_v2(pos, ed, entry_of(pos), WHITE), 0);
  EXPECT_EQ(Eval::king_safety_v2(pos, ed, entry_of(pos), BLACK), 0);
  EXPECT_EQ(Eval::endgame_king_activity_score(pos, ed, WHITE), 0);
  EXPECT_EQ(stage_change_of(pos, "king"), (Score{0, 0}));
  EXPECT_EQ(stage_change_of(pos, "kingact"), (Score{0, 0}));
}

}  // namespace
}  // namespace evaltest
