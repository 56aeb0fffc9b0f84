#include "movegen/attack.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <initializer_list>
#include <random>

#include "movegen/pext.h"

namespace {

void init_tables() {
  static const bool done = [] {
    Attack::init_attacks();
    PEXT::init();
    return true;
  }();
  (void)done;
}

constexpr int sq(const char* name) { return make_square(name[0] - 'a', name[1] - '1'); }

Bitboard squares(std::initializer_list<const char*> names) {
  Bitboard b = 0;
  for (const char* name : names) b |= square_bb(sq(name));
  return b;
}

// Reference attacks from file/rank arithmetic: every target within the given
// file and rank distances.
Bitboard offsets_within_board(int square, std::initializer_list<std::pair<int, int>> steps) {
  Bitboard b = 0;
  for (const auto& [df, dr] : steps) {
    const int file = file_of(square) + df, rank = rank_of(square) + dr;
    if (file >= 0 && file < 8 && rank >= 0 && rank < 8) b |= square_bb(make_square(file, rank));
  }
  return b;
}

TEST(AttackLeapers, MatchFileAndRankArithmeticOnEverySquare) {
  init_tables();
  for (int s = 0; s < 64; ++s) {
    EXPECT_EQ(Attack::pawnAttacksWhite[s], offsets_within_board(s, {{-1, 1}, {1, 1}})) << s;
    EXPECT_EQ(Attack::pawnAttacksBlack[s], offsets_within_board(s, {{-1, -1}, {1, -1}})) << s;
    EXPECT_EQ(Attack::knightAttacks[s],
              offsets_within_board(
                  s, {{1, 2}, {2, 1}, {2, -1}, {1, -2}, {-1, -2}, {-2, -1}, {-2, 1}, {-1, 2}}))
        << s;
    EXPECT_EQ(Attack::kingAttacks[s],
              offsets_within_board(
                  s, {{1, 0}, {1, 1}, {0, 1}, {-1, 1}, {-1, 0}, {-1, -1}, {0, -1}, {1, -1}}))
        << s;
    EXPECT_EQ(Attack::pawn_attacks(WHITE, s), Attack::pawnAttacksWhite[s]);
    EXPECT_EQ(Attack::pawn_attacks(BLACK, s), Attack::pawnAttacksBlack[s]);
  }
}

TEST(AttackLeapers, EdgeCases) {
  init_tables();
  for (int file = 0; file < 8; ++file) {
    EXPECT_EQ(Attack::pawnAttacksWhite[make_square(file, 7)], 0u);
    EXPECT_EQ(Attack::pawnAttacksBlack[make_square(file, 0)], 0u);
  }
  EXPECT_EQ(Attack::knightAttacks[sq("a1")], squares({"b3", "c2"}));
  EXPECT_EQ(Attack::pawnAttacksWhite[sq("h2")], squares({"g3"}));
  EXPECT_EQ(Attack::pawnAttacksBlack[sq("a7")], squares({"b6"}));
  EXPECT_EQ(Attack::kingAttacks[sq("h8")], squares({"g8", "g7", "h7"}));
}

TEST(AttackRays, RayWalkingStopsAtTheFirstBlocker) {
  init_tables();
  struct Case {
    const char* name;
    Bitboard result, expected;
  };
  const Bitboard file_a_and_rank_1 = (FILE_A_BB | RANK_1_BB) & ~square_bb(sq("a1"));
  const Case cases[] = {
      {"rook a1, empty", Attack::sliding_attacks_rook(sq("a1"), 0), file_a_and_rank_1},
      {"rook a1, a4 and d1", Attack::sliding_attacks_rook(sq("a1"), squares({"a4", "d1"})),
       squares({"a2", "a3", "a4", "b1", "c1", "d1"})},
      {"bishop d4, f6", Attack::sliding_attacks_bishop(sq("d4"), squares({"f6"})),
       squares({"e5", "f6", "c5", "b6", "a7", "c3", "b2", "a1", "e3", "f2", "g1"})},
      // Blockers directly beside the piece; the own square is never included.
      {"rook e4, boxed in",
       Attack::sliding_attacks_rook(sq("e4"), squares({"e4", "e5", "e3", "d4", "f4"})),
       squares({"e5", "e3", "d4", "f4"})},
      {"queen h8, g7 and h1", Attack::sliding_attacks_queen(sq("h8"), squares({"g7", "h1"})),
       (RANK_8_BB | FILE_H_BB | squares({"g7"})) & ~square_bb(sq("h8"))},
  };
  for (const Case& c : cases) EXPECT_EQ(c.result, c.expected) << c.name;
  EXPECT_EQ(popcount(Attack::sliding_attacks_rook(sq("a1"), 0)), 14);
  EXPECT_EQ(popcount(Attack::sliding_attacks_bishop(sq("d4"), 0)), 13);
}

TEST(AttackBetween, SquaresStrictlyBetweenAlignedSquares) {
  init_tables();
  EXPECT_EQ(Attack::between(sq("a1"), sq("a8")), squares({"a2", "a3", "a4", "a5", "a6", "a7"}));
  EXPECT_EQ(Attack::between(sq("h1"), sq("a8")), squares({"g2", "f3", "e4", "d5", "c6", "b7"}));
  EXPECT_EQ(Attack::between(sq("e4"), sq("b4")), squares({"c4", "d4"}));
  EXPECT_EQ(Attack::between(sq("e4"), sq("e5")), 0u);  // adjacent
  EXPECT_EQ(Attack::between(sq("e4"), sq("e4")), 0u);
  EXPECT_EQ(Attack::between(sq("a1"), sq("b3")), 0u);  // no common line
  EXPECT_EQ(Attack::between(sq("h1"), sq("a2")), 0u);  // would wrap round the edge
  for (int a = 0; a < 64; ++a) {
    for (int b = 0; b < 64; ++b) {
      ASSERT_EQ(Attack::between(a, b), Attack::between(b, a)) << a << " " << b;
      // Each between-square lies on both squares' rays when they see each other.
      const Bitboard both = square_bb(a) | square_bb(b);
      const Bitboard mid = Attack::between(a, b);
      ASSERT_EQ(mid & ~Attack::sliding_attacks_queen(a, both), 0u) << a << " " << b;
    }
  }
}

TEST(PextTables, MasksHoldTheSquaresThatCanBlock) {
  init_tables();
  EXPECT_EQ(PEXT::rook_masks[sq("a1")], 0x000101010101017EULL);
  EXPECT_EQ(PEXT::bishop_masks[sq("d4")], 0x0040221400142200ULL);
  for (int s = 0; s < 64; ++s) {
    const int rook = popcount(PEXT::rook_masks[s]), bishop = popcount(PEXT::bishop_masks[s]);
    EXPECT_TRUE(rook >= 10 && rook <= 12) << s;
    EXPECT_TRUE(bishop >= 5 && bishop <= 9) << s;
    EXPECT_EQ(PEXT::rook_masks[s] & square_bb(s), 0u);
    EXPECT_EQ(PEXT::bishop_masks[s] & square_bb(s), 0u);
  }
}

// Every subset of every mask, enumerated independently of the deposit used to
// build the tables (Carry-Rippler walk over the mask's subsets).
TEST(PextTables, EveryLookupAgreesWithRayWalking) {
  init_tables();
  for (int s = 0; s < 64; ++s) {
    Bitboard subset = 0;
    do {
      ASSERT_EQ(PEXT::rook_attacks_pext(s, subset), Attack::sliding_attacks_rook(s, subset))
          << s << " " << subset;
      subset = (subset - PEXT::rook_masks[s]) & PEXT::rook_masks[s];
    } while (subset);
    do {
      ASSERT_EQ(PEXT::bishop_attacks_pext(s, subset), Attack::sliding_attacks_bishop(s, subset))
          << s << " " << subset;
      subset = (subset - PEXT::bishop_masks[s]) & PEXT::bishop_masks[s];
    } while (subset);
  }
}

TEST(PextTables, SquaresOutsideTheMaskDoNotMatter) {
  init_tables();
  std::mt19937_64 rng(7);
  for (int i = 0; i < 20000; ++i) {
    const int s = int(rng() % 64);
    const Bitboard occupancy = rng() & rng();
    const Bitboard noise = rng();
    const Bitboard rook = PEXT::rook_attacks_pext(s, occupancy);
    const Bitboard bishop = PEXT::bishop_attacks_pext(s, occupancy);
    ASSERT_EQ(rook, Attack::sliding_attacks_rook(s, occupancy));
    ASSERT_EQ(bishop, Attack::sliding_attacks_bishop(s, occupancy));
    ASSERT_EQ(PEXT::queen_attacks_pext(s, occupancy), rook | bishop);
    ASSERT_EQ(PEXT::rook_attacks_pext(s, occupancy ^ square_bb(s)), rook);
    ASSERT_EQ(PEXT::rook_attacks_pext(
                  s, (occupancy & PEXT::rook_masks[s]) | (noise & ~PEXT::rook_masks[s])),
              rook);
    ASSERT_EQ(PEXT::bishop_attacks_pext(
                  s, (occupancy & PEXT::bishop_masks[s]) | (noise & ~PEXT::bishop_masks[s])),
              bishop);
  }
}

TEST(PextExtract, SoftwareAndActiveExtractAgree) {
  // Known packing: the bits of x at the mask's squares, lowest square first.
  EXPECT_EQ(PEXT::extract_software(0b1010'0110, 0b1111'0010), 0b1'0101u);
  EXPECT_EQ(PEXT::deposit_software(0b1011, 0b1111'0010), 0b0101'0010u);
  EXPECT_EQ(PEXT::extract_software(~0ULL, 0), 0u);
  EXPECT_EQ(PEXT::extract_software(~0ULL, ~0ULL), ~0ULL);
  // On a BMI2 build `extract`/`deposit` are the hardware instructions; on a
  // portable build they are the software loops and this reduces to identity.
  std::mt19937_64 rng(11);
  for (int i = 0; i < 100000; ++i) {
    const std::uint64_t x = rng(), mask = rng() & rng();
    ASSERT_EQ(PEXT::extract(x, mask), PEXT::extract_software(x, mask));
    ASSERT_EQ(PEXT::deposit(x, mask), PEXT::deposit_software(x, mask));
    // Deposit then extract gives back the low popcount(mask) bits.
    const int width = popcount(mask);
    const std::uint64_t low = width == 64 ? ~0ULL : (std::uint64_t(1) << width) - 1;
    ASSERT_EQ(PEXT::extract_software(PEXT::deposit_software(x, mask), mask), x & low);
  }
}

}  // namespace
