#include "eval/pawnhash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/types.h"
#include "eval/eval_fixture.h"

namespace {

using evaltest::flip_fen;
using evaltest::squares;

Bitboard flip_ranks(Bitboard b) { return __builtin_bswap64(b); }

// Allocation hook for the failure tests: records every request and refuses
// arrays above `allocationLimit` bytes, as if memory had run out there.
std::uint64_t allocationLimit = 0;
std::vector<std::size_t> allocationRequests;
std::unique_ptr<PawnHash::Entry[]> limited_allocate(std::size_t count) {
  allocationRequests.push_back(count);
  if (count * sizeof(PawnHash::Entry) > allocationLimit) return nullptr;
  return std::unique_ptr<PawnHash::Entry[]>(new PawnHash::Entry[count]());
}
void limit_allocations(std::uint64_t bytes) {
  allocationLimit = bytes;
  allocationRequests.clear();
  PawnHash::set_allocator(limited_allocate);
}

class PawnHashTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(PawnHash::init(table, 1), 1u); }
  void TearDown() override { PawnHash::set_allocator(nullptr); }

  static Position from_fen(const std::string& text) {
    Position position;
    std::string error;
    EXPECT_TRUE(fen::parse_fen(text, position, error)) << text << ": " << error;
    return position;
  }
  // A fresh entry for the position, computed in a table of its own.
  static PawnHash::Entry fresh_entry(const std::string& text) {
    PawnHash::Table own;
    PawnHash::init(own, 1);
    return PawnHash::probe(from_fen(text), own);
  }

  PawnHash::Table table;
};

TEST_F(PawnHashTest, PositionWithoutPawnsUsesKeyOneAndScoresNothing) {
  const Position position = from_fen("4k3/8/2n5/8/8/5B2/8/4K2R w K - 0 1");
  ASSERT_EQ(position.pawn_key, 0u);
  const PawnHash::Entry& entry = PawnHash::probe(position, table);
  EXPECT_EQ(entry.key, 1u);
  EXPECT_EQ(entry.mg, 0);
  EXPECT_EQ(entry.eg, 0);
  for (int c = 0; c < 2; ++c) {
    EXPECT_EQ(entry.pawnAttacks[c], 0u);
    EXPECT_EQ(entry.passedPawns[c], 0u);
    EXPECT_EQ(entry.blockedOrHomePawns[c], 0u);
    EXPECT_EQ(entry.advancedConnectedPassers[c], 0);
  }
}

TEST_F(PawnHashTest, StartPositionIsBalancedWithEveryPawnAtHome) {
  const PawnHash::Entry entry = fresh_entry(fen::START_FEN);
  EXPECT_EQ(entry.mg, 0);
  EXPECT_EQ(entry.eg, 0);
  EXPECT_EQ(entry.blockedOrHomePawns[WHITE], rank_bb(1));
  EXPECT_EQ(entry.blockedOrHomePawns[BLACK], rank_bb(6));
  EXPECT_EQ(entry.pawnAttacks[WHITE], rank_bb(2));
  EXPECT_EQ(entry.pawnAttacks[BLACK], rank_bb(5));
  EXPECT_EQ(entry.passedPawns[WHITE] | entry.passedPawns[BLACK], 0u);
}

// Expected scores are worked out by hand from the structure rules; each case
// note lists the terms.
struct StructureCase {
  const char* name;
  const char* fen;
  int mg, eg;
  Bitboard passed[2];
  Bitboard blocked[2];
  int connected[2];
};

const StructureCase STRUCTURE_CASES[] = {
    // a2: 117/137 (square, material); b3: 97/114 + supported by a2 (5, 2).
    // a2 has b3 ahead of it, so no stop-square weakness; both passed.
    {"a2 supports b3",
     "4k3/8/8/8/8/1P6/P7/4K3 w - - 0 1",
     219,
     253,
     {squares({"a2", "b3"}), 0},
     {squares({"a2"}), 0},
     {0, 0}},
    // As above plus Black c5 attacking b4: b3 loses its passer status, gets the
    // stop-square weakness (-7, -11) and a candidate bonus (3, 8) for being
    // supported with one enemy pawn in its span: 98/113. c5 for Black:
    // 94/110, isolated (-9, -15), unsupported advanced (-4, -7) = 81/88.
    {"b3 stop square attacked by c5",
     "4k3/8/8/2p5/8/1P6/P7/4K3 w - - 0 1",
     117 + 98 - 81,
     137 + 113 - 88,
     {squares({"a2"}), 0},
     {squares({"a2"}), 0},
     {0, 0}},
    // Lone e5: 113/123, isolated (-9, -15), unsupported advanced (-4, -7).
    {"lone e5 passer",
     "4k3/8/8/4P3/8/8/8/4K3 w - - 0 1",
     100,
     101,
     {squares({"e5"}), 0},
     {0, 0},
     {0, 0}},
    // d5 and e5: 113/123 each plus phalanx at rank index 4 (19, 22); both are
    // advanced connected passers.
    {"connected passers d5 e5",
     "4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1",
     2 * (113 + 19),
     2 * (123 + 22),
     {squares({"d5", "e5"}), 0},
     {0, 0},
     {2, 0}},
    // Black d6 blocks d5. d5: 113/123 + phalanx (19, 22), not passed, no
    // candidate (blocked) = 132/145. e5: same plus candidate (16, 40): one
    // enemy in its span, e6 empty, neighbour on its rank = 148/185. d6 for
    // Black (column d3): 92/116, isolated (-9, -15) = 83/101.
    {"d6 blocks d5",
     "4k3/8/3p4/3PP3/8/8/8/4K3 w - - 0 1",
     132 + 148 - 83,
     145 + 185 - 101,
     {0, 0},
     {squares({"d5"}), squares({"d6"})},
     {0, 0}},
    // e5 faces e7 on its file: isolated (104/108) but not "unsupported
    // advanced", since an enemy pawn stands ahead. e7 for Black (column e2):
    // 82/117, isolated = 73/102, at home.
    {"opposed e5 is not unsupported",
     "4k3/4p3/8/4P3/8/8/8/4K3 w - - 0 1",
     104 - 73,
     108 - 102,
     {0, 0},
     {0, squares({"e7"})},
     {0, 0}},
    // d4 e4 side by side at rank index 3: 108/118 + phalanx (11, 10) each;
    // passed, but too far back to count as advanced connected passers.
    {"connected passers d4 e4 not advanced",
     "4k3/8/8/8/3PP3/8/8/4K3 w - - 0 1",
     2 * 119,
     2 * 128,
     {squares({"d4", "e4"}), 0},
     {0, 0},
     {0, 0}},
    // c3 d3 side by side; d4 attacked by e5, but c3 stands level with d3 so
    // no stop-square weakness. c3: 100/119 + phalanx (5, 4), passed. d3:
    // 92/116 + phalanx (5, 4) + candidate (3, 8). e5 for Black (column e4):
    // 108/118, isolated (-9, -15), unsupported advanced (-4, -7) = 95/96.
    {"level neighbour covers the stop square",
     "4k3/8/8/4p3/8/2PP4/8/4K3 w - - 0 1",
     105 + 100 - 95,
     123 + 128 - 96,
     {squares({"c3"}), 0},
     {0, 0},
     {0, 0}},
    // d3 behind e4. d3: 92/116 + candidate (3, 8) (neighbour one rank up).
    // e4: 108/118, stop square e5 hit by d6 (-7, -11), supported by d3
    // (5, 4), candidate with two enemies (d6, f6) in its span (7, 18).
    // d6: 92/116, isolated = 83/101. f6: 100/119, isolated = 91/104.
    {"candidate against two pawns",
     "4k3/8/3p1p2/8/4P3/3P4/8/4K3 w - - 0 1",
     95 + 113 - 83 - 91,
     124 + 129 - 101 - 104,
     {0, 0},
     {0, 0},
     {0, 0}},
    // Three enemy pawns in the span are too many for a candidate. d3: 92/116
    // + candidate (3, 8) against d6 and e7. e4: 108/118, stop square e5 hit
    // (-7, -11), supported (5, 4), no candidate (d6, e7, f6 ahead) = 106/111.
    // Black d6 (column d3): 92/116, stop square d5 hit by e4 (-7, -11),
    // supported by e7 (5, 2), candidate (3, 8) = 93/115. e7 (column e2):
    // 82/117, candidate at rank index 1 worth 0, at home. f6 (column f3):
    // 100/119, stop square (-7, -11), supported (5, 2), candidate (3, 8) =
    // 101/118.
    {"no candidate against three pawns",
     "4k3/4p3/3p1p2/8/4P3/3P4/8/4K3 w - - 0 1",
     95 + 106 - 93 - 82 - 101,
     124 + 111 - 115 - 117 - 118,
     {0, 0},
     {0, squares({"e7"})},
     {0, 0}},
    // e2 and e3, doubled and isolated: e2 82/117 - 7 - 9 / - 17 - 15;
    // e3 92/116 - 7 - 9 / - 17 - 15.
    {"doubled isolated e-pawns",
     "4k3/8/8/8/8/4P3/4P3/4K3 w - - 0 1",
     66 + 76,
     85 + 84,
     {squares({"e2", "e3"}), 0},
     {squares({"e2"}), 0},
     {0, 0}},
};

TEST_F(PawnHashTest, StructureTerms) {
  for (const StructureCase& c : STRUCTURE_CASES) {
    const PawnHash::Entry entry = fresh_entry(c.fen);
    EXPECT_EQ(entry.mg, c.mg) << c.name;
    EXPECT_EQ(entry.eg, c.eg) << c.name;
    for (int side = 0; side < 2; ++side) {
      EXPECT_EQ(entry.passedPawns[side], c.passed[side]) << c.name << " side " << side;
      EXPECT_EQ(entry.blockedOrHomePawns[side], c.blocked[side]) << c.name << " side " << side;
      EXPECT_EQ(entry.advancedConnectedPassers[side], c.connected[side])
          << c.name << " side " << side;
    }
  }
}

TEST_F(PawnHashTest, OnlyPawnsBlockTheSquareAhead) {
  // A knight in front of the connected passers changes nothing.
  const PawnHash::Entry withKnight = fresh_entry("4k3/8/3nn3/3PP3/8/8/8/4K3 w - - 0 1");
  const PawnHash::Entry without = fresh_entry("4k3/8/8/3PP3/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(withKnight.mg, without.mg);
  EXPECT_EQ(withKnight.eg, without.eg);
  EXPECT_EQ(withKnight.blockedOrHomePawns[WHITE], 0u);
  EXPECT_EQ(withKnight.advancedConnectedPassers[WHITE], 2);
}

TEST_F(PawnHashTest, ColourMirrorNegatesScores) {
  const char* fens[] = {
      fen::START_FEN,
      "4k3/8/8/2p5/8/1P6/P7/4K3 w - - 0 1",
      "4k3/8/3p4/3PP3/8/8/8/4K3 w - - 0 1",
      "8/p1p2pk1/1p4p1/3P3p/2P1p2P/1P4P1/P4PK1/8 w - - 0 1",
      "r1bq1rk1/pp3ppp/2n1pn2/2pp4/1bPP4/2N1PN2/PP1B1PPP/R2QKB1R w KQ - 0 1",
      "8/5p2/2p2Pp1/1pPp2P1/1P1P4/8/8/4K2k w - - 0 1",
  };
  for (const char* text : fens) {
    const PawnHash::Entry a = fresh_entry(text);
    const PawnHash::Entry b = fresh_entry(flip_fen(text));
    EXPECT_EQ(b.mg, -a.mg) << text;
    EXPECT_EQ(b.eg, -a.eg) << text;
    for (int c = 0; c < 2; ++c) {
      EXPECT_EQ(b.pawnAttacks[c ^ 1], flip_ranks(a.pawnAttacks[c])) << text;
      EXPECT_EQ(b.passedPawns[c ^ 1], flip_ranks(a.passedPawns[c])) << text;
      EXPECT_EQ(b.blockedOrHomePawns[c ^ 1], flip_ranks(a.blockedOrHomePawns[c])) << text;
      EXPECT_EQ(b.advancedConnectedPassers[c ^ 1], a.advancedConnectedPassers[c]) << text;
    }
  }
}

std::uint64_t expected_entries(std::uint64_t mb) {
  std::uint64_t n = 1;
  while ((n * 2) * sizeof(PawnHash::Entry) <= mb * 1024 * 1024) n *= 2;
  return n;
}

TEST_F(PawnHashTest, TableGeometry) {
  // The search asks for max(1, Hash / 8) MB: Hash 20 gives 2 MB.
  PawnHash::Table t;
  EXPECT_EQ(PawnHash::init(t, 2), 2u);
  EXPECT_EQ(t.tableEntries, expected_entries(2));
  EXPECT_EQ(t.tableMask, expected_entries(2) - 1);
  EXPECT_EQ(1ULL << (64 - t.tableShift), t.tableEntries);
  EXPECT_EQ(t.allocatedMb, 2u);
  // 0 MB means 1 MB.
  EXPECT_EQ(PawnHash::init(t, 0), 1u);
  EXPECT_EQ(t.tableEntries, expected_entries(1));
}

TEST_F(PawnHashTest, ProbeUsesMultiplicativeIndex) {
  const Position position = from_fen(fen::START_FEN);
  const std::uint64_t index =
      ((position.pawn_key * 0x9e3779b97f4a7c15ULL) >> table.tableShift) & table.tableMask;
  EXPECT_EQ(&PawnHash::probe(position, table), &table.entries[index]);
  EXPECT_EQ(table.entries[index].key, position.pawn_key);
}

TEST_F(PawnHashTest, EntryIsReusedForItsKeyAndReplacedOtherwise) {
  const Position position = from_fen(fen::START_FEN);
  PawnHash::Entry& entry = PawnHash::probe(position, table);
  PawnHash::king_shelter_score(position, entry, WHITE);
  ASSERT_TRUE(entry.shelterValid[WHITE]);

  // Same key: served from the slot as it stands.
  entry.mg = 12345;
  EXPECT_EQ(PawnHash::probe(position, table).mg, 12345);

  // The slot taken by another key: recomputed, shelter cache dropped.
  entry.key ^= 0x5555;
  PawnHash::Entry& again = PawnHash::probe(position, table);
  EXPECT_EQ(&again, &entry);
  EXPECT_EQ(again.key, position.pawn_key);
  EXPECT_EQ(again.mg, 0);
  EXPECT_FALSE(again.shelterValid[WHITE]);

  // clear() empties every slot.
  PawnHash::clear(table);
  EXPECT_EQ(entry.key, 0u);
}

TEST_F(PawnHashTest, FailedGrowthKeepsTheOldTableCleared) {
  const Position position = from_fen(fen::START_FEN);
  PawnHash::Entry& entry = PawnHash::probe(position, table);
  ASSERT_NE(entry.key, 0u);
  const std::uint64_t entries = table.tableEntries;
  limit_allocations(3ULL << 20);

  EXPECT_EQ(PawnHash::init(table, 64), 1u);
  // One attempt at the size asked for, then the old table is kept.
  EXPECT_EQ(allocationRequests, std::vector<std::size_t>{expected_entries(64)});
  EXPECT_EQ(table.tableEntries, entries);
  EXPECT_EQ(table.allocatedMb, 1u);
  EXPECT_EQ(entry.key, 0u);  // same array, emptied
  EXPECT_EQ(&PawnHash::probe(position, table), &entry);
}

TEST_F(PawnHashTest, FailedFirstAllocationFallsBackToSmallerPowersOfTwo) {
  // Arrays above 3 MiB fail. A 4 MB table would take more (its entry count
  // rounds to a power of two that needs 3.25 MiB), a 3 MB table fits.
  ASSERT_GT(expected_entries(4) * sizeof(PawnHash::Entry), 3ULL << 20);
  struct Case {
    std::uint64_t asked, got;
    std::vector<std::uint64_t> triedMb;  // sizes whose entry counts were requested
  };
  const Case cases[] = {
      {64, 2, {64, 32, 16, 8, 4, 2}},
      // 12 MB rounds to the entry count of 8 MB: asked once, not twice.
      {12, 2, {12, 4, 2}},
      {4, 2, {4, 2}},
      {3, 3, {3}},
      {2, 2, {2}},
  };
  for (const Case& c : cases) {
    limit_allocations(3ULL << 20);
    PawnHash::Table fresh;
    EXPECT_EQ(PawnHash::init(fresh, c.asked), c.got) << c.asked;
    EXPECT_EQ(fresh.allocatedMb, c.got);
    EXPECT_EQ(fresh.tableEntries, expected_entries(c.got));
    std::vector<std::size_t> expectedRequests;
    for (std::uint64_t mb : c.triedMb) expectedRequests.push_back(expected_entries(mb));
    EXPECT_EQ(allocationRequests, expectedRequests) << c.asked;
  }
}

TEST_F(PawnHashTest, NoMemoryAtAllStillEvaluates) {
  limit_allocations(0);
  PawnHash::Table empty;
  EXPECT_EQ(PawnHash::init(empty, 8), 0u);
  EXPECT_EQ(empty.entries, nullptr);
  EXPECT_EQ(allocationRequests.size(), 4u);  // 8, 4, 2 and 1 MB

  const Position lone = from_fen("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
  const Position start = from_fen(fen::START_FEN);
  EXPECT_EQ(PawnHash::probe(lone, empty).mg, 100);
  EXPECT_EQ(PawnHash::probe(start, empty).mg, 0);
  EXPECT_EQ(PawnHash::probe(lone, empty).eg, 101);
  // Probing a starved table does not retry the allocation.
  EXPECT_EQ(allocationRequests.size(), 4u);

  PawnHash::set_allocator(nullptr);
  EXPECT_EQ(PawnHash::init(empty, 1), 1u);
  EXPECT_EQ(PawnHash::probe(lone, empty).mg, 100);
}

TEST_F(PawnHashTest, GlobalTableIsCreatedOnFirstProbe) {
  const Position position = from_fen("4k3/8/8/4P3/8/8/8/4K3 w - - 0 1");
  EXPECT_EQ(PawnHash::probe(position).mg, 100);
  EXPECT_GE(PawnHash::size_mb(), 1u);
  EXPECT_EQ(PawnHash::init(2), 2u);
  EXPECT_EQ(PawnHash::size_mb(), 2u);
}

TEST_F(PawnHashTest, KingShelter) {
  struct Case {
    const char* name;
    const char* fen;
    Color side;
    int expected;
  };
  const Case cases[] = {
      // +13 (g-file on the back rank) + 15 x 3.
      {"g1 behind f2 g2 h2", "4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1", WHITE, 58},
      // As above with a Black pawn on h4 three ranks away (-3); d3 is too far
      // to the side to storm.
      {"g1 shelter stormed by h4", "4k3/8/8/8/7p/3p4/5PPP/6K1 w - - 0 1", WHITE, 55},
      {"g8 behind f7 g7 h7", "6k1/5ppp/8/8/8/8/8/4K3 b - - 0 1", BLACK, 58},
      // -13 (centre of the back rank), nothing in front (-9 -15 -9), no
      // pawns on any file (-10 -15 -10).
      {"bare e1", "4k3/8/8/8/8/8/8/4K3 w - - 0 1", WHITE, -81},
      // Rank ahead off the board: -9 -15, and the empty files still cost
      // -10 -15.
      {"white king on h8", "7K/8/8/8/8/8/8/k7 w - - 0 1", WHITE, -49},
      // +13; f2 +15; g3 +7; h-file: nothing of ours (-9), enemy h3 on it
      // (-3), and h3 storms at rank distance 2 (-7).
      {"g1 with g3 and enemy h3", "4k3/8/8/8/8/6Pp/5P2/6K1 w - - 0 1", WHITE, 16},
      // f1 is neutral; pawns two and three ranks ahead: +7 +2, g-file empty
      // of any pawn: -15 -15 (king file).
      {"f1 with e3 and g4 (two, three ahead)", "4k3/8/8/8/6P1/4P3/8/5K2 w - - 0 1", WHITE,
       0 + 7 - 15 - 15 + 2},
      // Enemy pawn behind the king still storms: g3 king, black g2 at
      // distance 1 (-11); nothing ahead (-9 -15 -9); files f and h empty
      // (-10 -10), g holds an enemy pawn (-6).
      {"enemy pawn behind the king", "4k3/8/8/8/8/6K1/6p1/8 w - - 0 1", WHITE, -70},
  };
  for (const Case& c : cases) {
    const Position position = from_fen(c.fen);
    PawnHash::Entry entry = fresh_entry(c.fen);
    EXPECT_EQ(PawnHash::king_shelter_score(position, entry, c.side), c.expected) << c.name;
    EXPECT_TRUE(entry.shelterValid[c.side]) << c.name;
  }

  // Without a king the shelter is 0, cached with square -1.
  Position kingless = from_fen("4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1");
  kingless.remove_piece_at_square(W_KING, SQ_G1);
  PawnHash::Entry entry = fresh_entry("4k3/8/8/8/8/8/5PPP/6K1 w - - 0 1");
  EXPECT_EQ(PawnHash::king_shelter_score(kingless, entry, WHITE), 0);
  EXPECT_EQ(entry.shelterKingSquare[WHITE], NO_SQUARE);
  EXPECT_TRUE(entry.shelterValid[WHITE]);
}

TEST_F(PawnHashTest, ShelterCacheFollowsKingSquareAndCastlingRights) {
  const Position castled = from_fen("r3k2r/8/8/8/8/8/5PPP/R3K2R w KQkq - 0 1");
  PawnHash::Entry& entry = PawnHash::probe(castled, table);
  // -13 (e1); d: -9 and no pawn (-10); e: -15 and no pawn (-15); f2: +15.
  const int e1Value = PawnHash::king_shelter_score(castled, entry, WHITE);
  EXPECT_EQ(e1Value, -47);

  // Mark the cached value so a cache hit is visible.
  entry.shelterScore[WHITE] = 999;
  EXPECT_EQ(PawnHash::king_shelter_score(castled, entry, WHITE), 999);

  // Same pawns, castling rights changed: recomputed.
  const Position noRights = from_fen("r3k2r/8/8/8/8/8/5PPP/R3K2R w kq - 0 1");
  ASSERT_EQ(&PawnHash::probe(noRights, table), &entry);
  EXPECT_EQ(PawnHash::king_shelter_score(noRights, entry, WHITE), e1Value);
  EXPECT_EQ(entry.shelterCastling[WHITE], int(noRights.castling_rights));

  // Same pawns, king moved to g1: recomputed for the new square.
  const Position kingMoved = from_fen("r3k2r/8/8/8/8/8/5PPP/R5KR w kq - 0 1");
  entry.shelterScore[WHITE] = 999;
  EXPECT_EQ(PawnHash::king_shelter_score(kingMoved, entry, WHITE), 58);
  EXPECT_EQ(entry.shelterKingSquare[WHITE], SQ_G1);
  // Black's cache is independent of White's.
  EXPECT_FALSE(entry.shelterValid[BLACK]);
}

}  // namespace
