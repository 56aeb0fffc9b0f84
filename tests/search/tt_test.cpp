#include "search/tt.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <limits>
#include <memory>
#include <new>
#include <vector>

#include "search/score.h"

namespace {

constexpr std::uint64_t MULTIPLIER = 0x9e3779b97f4a7c15ULL;

// The multiplicative inverse of the key multiplier modulo 2^64, so a test can
// choose the mixed value (and with it bucket and check value) of a key.
constexpr std::uint64_t inverse_multiplier() {
  std::uint64_t inverse = MULTIPLIER;  // correct to 3 bits; each step doubles that
  for (int i = 0; i < 5; ++i) inverse *= 2 - MULTIPLIER * inverse;
  return inverse;
}
constexpr std::uint64_t INVERSE = inverse_multiplier();
static_assert(MULTIPLIER * INVERSE == 1);

constexpr std::uint64_t key_with_mix(std::uint64_t mixed) { return mixed * INVERSE; }

// A key of the 1 MB table (16384 buckets: the top 14 bits choose) in the given
// bucket, told apart from its neighbours by `check`.
constexpr std::uint64_t key_in_bucket(std::uint64_t bucket, std::uint32_t check) {
  return key_with_mix(bucket << 50 | check);
}

struct Probed {
  unsigned move;
  int depth, score, eval;
  TT::Bound bound;
};

Probed probe(std::uint64_t key) {
  Probed p{};
  p.move = TT::probe(key, 0, p.depth, p.score, p.eval, p.bound);
  return p;
}

bool present(std::uint64_t key) { return probe(key).bound != TT::BOUND_NONE; }

constexpr unsigned MOVE_A = 0x1234;
constexpr unsigned MOVE_B = 0x2345;

class TranspositionTable : public ::testing::Test {
 protected:
  void SetUp() override {
    TT::set_allocator(nullptr);
    ASSERT_EQ(TT::init_tt(1), 1u);
  }
  void TearDown() override {
    TT::set_allocator(nullptr);
    TT::init_tt(1);
  }
};

TEST_F(TranspositionTable, Geometry) {
  EXPECT_EQ(TT::bucket_count(), 16384u);
  EXPECT_EQ(TT::size_mb(), 1u);
  for (const std::uint64_t bucket : {0ULL, 1ULL, 12345ULL, 16383ULL})
    EXPECT_EQ(TT::bucket_index(key_in_bucket(bucket, 77)), bucket);

  ASSERT_EQ(TT::init_tt(0), 1u);  // 0 counts as 1
  EXPECT_EQ(TT::bucket_count(), 16384u);

  // 3 MB is not a power of two: the bucket is the high half of mixed x 49152.
  ASSERT_EQ(TT::init_tt(3), 3u);
  EXPECT_EQ(TT::bucket_count(), 49152u);
  EXPECT_EQ(TT::size_mb(), 3u);
  const struct {
    std::uint64_t mixed, bucket;
  } cases[] = {{1, 0},
               {1ULL << 62, 12288},
               {1ULL << 63, 24576},
               {(1ULL << 63) + (1ULL << 62), 36864},
               {~0ULL, 49151},
               {0x5555555555555555ULL, 16383}};
  for (const auto& c : cases) EXPECT_EQ(TT::bucket_index(key_with_mix(c.mixed)), c.bucket);
}

TEST_F(TranspositionTable, KeyZeroActsAsKeyOne) {
  EXPECT_EQ(TT::bucket_index(0), TT::bucket_index(1));
  TT::store(0, MOVE_A, 5, 42, 10, TT::BOUND_EXACT);
  const Probed p = probe(1);
  EXPECT_EQ(p.move, MOVE_A);
  EXPECT_EQ(p.score, 42);
}

TEST_F(TranspositionTable, StoresAndClampsFields) {
  const struct {
    int depth, score, eval;
    TT::Bound bound;
    unsigned move;
    int storedDepth, storedEval;
  } cases[] = {
      {7, 123, -45, TT::BOUND_EXACT, MOVE_A, 7, -45},
      {200, MATE_VALUE - 3, 40000, TT::BOUND_LOWER, MOVE_B, 127, 32000},
      {-200, -MATE_VALUE + 9, -40000, TT::BOUND_UPPER, 0, -128, -32000},
      {127, 0, SCORE_NONE, TT::BOUND_LOWER, MOVE_A, 127, SCORE_NONE},
      {-128, 5, 32000, TT::BOUND_UPPER, MOVE_B, -128, 32000},
  };
  std::uint32_t check = 1;
  for (const auto& c : cases) {
    const std::uint64_t key = key_in_bucket(900 + check, check);
    ++check;
    TT::store(key, c.move, c.depth, c.score, c.eval, c.bound);
    const Probed p = probe(key);
    EXPECT_EQ(p.move, c.move);
    EXPECT_EQ(p.depth, c.storedDepth);
    EXPECT_EQ(p.score, c.score);  // scores are never clamped
    EXPECT_EQ(p.eval, c.storedEval);
    EXPECT_EQ(p.bound, c.bound);
  }
}

TEST_F(TranspositionTable, MissReturnsDefaults) {
  TT::store(key_in_bucket(5, 1), MOVE_A, 3, 9, 9, TT::BOUND_EXACT);
  for (const std::uint64_t key : {key_in_bucket(5, 2), key_in_bucket(6, 1)}) {
    const Probed p = probe(key);
    EXPECT_EQ(p.move, 0u);
    EXPECT_EQ(p.depth, 0);
    EXPECT_EQ(p.score, 0);
    EXPECT_EQ(p.eval, SCORE_NONE);
    EXPECT_EQ(p.bound, TT::BOUND_NONE);
  }
}

// A second store of the same key: either only the age, eval and move are
// refreshed, or the whole slot is overwritten.
TEST_F(TranspositionTable, SameKeyRule) {
  struct Write {
    int depth;
    TT::Bound bound;
    unsigned move;
    int score, eval;
  };
  const struct {
    const char* name;
    Write first, second;
    bool refreshOnly;
  } cases[] = {
      {"shallower non-exact refreshes",
       {8, TT::BOUND_LOWER, MOVE_A, 100, 10},
       {6, TT::BOUND_UPPER, MOVE_B, 200, 20},
       true},
      {"equal depth non-exact refreshes",
       {8, TT::BOUND_EXACT, MOVE_A, 100, 10},
       {8, TT::BOUND_LOWER, MOVE_B, 200, 20},
       true},
      {"refresh without move or eval keeps both",
       {8, TT::BOUND_LOWER, MOVE_A, 100, 10},
       {3, TT::BOUND_LOWER, 0, 200, SCORE_NONE},
       true},
      {"refresh clamps the eval",
       {8, TT::BOUND_LOWER, MOVE_A, 100, 10},
       {3, TT::BOUND_LOWER, 0, 200, -50000},
       true},
      {"exact bound overwrites",
       {8, TT::BOUND_LOWER, MOVE_A, 100, 10},
       {2, TT::BOUND_EXACT, MOVE_B, 200, 20},
       false},
      {"greater depth overwrites",
       {8, TT::BOUND_LOWER, MOVE_A, 100, 10},
       {9, TT::BOUND_UPPER, MOVE_B, 200, 20},
       false},
      {"slot without a move is overwritten",
       {8, TT::BOUND_LOWER, 0, 100, 10},
       {1, TT::BOUND_UPPER, MOVE_B, 200, 20},
       false},
      {"overwrite stores move 0 too",
       {8, TT::BOUND_LOWER, MOVE_A, 100, 10},
       {9, TT::BOUND_UPPER, 0, 200, SCORE_NONE},
       false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TT::init_tt(1);
    const std::uint64_t key = key_in_bucket(0, 0xABCD);
    TT::store(key, c.first.move, c.first.depth, c.first.score, c.first.eval, c.first.bound);
    TT::new_search();
    TT::new_search();  // the first write is now two searches old
    TT::store(key, c.second.move, c.second.depth, c.second.score, c.second.eval, c.second.bound);

    const Probed p = probe(key);
    if (c.refreshOnly) {
      EXPECT_EQ(p.depth, c.first.depth);
      EXPECT_EQ(p.score, c.first.score);
      EXPECT_EQ(p.bound, c.first.bound);
      EXPECT_EQ(p.move, c.second.move != 0 ? c.second.move : c.first.move);
      const int expectedEval = c.second.eval == SCORE_NONE ? c.first.eval
                               : c.second.eval < -32000    ? -32000
                                                           : c.second.eval;
      EXPECT_EQ(p.eval, expectedEval);
    } else {
      EXPECT_EQ(p.depth, c.second.depth);
      EXPECT_EQ(p.score, c.second.score);
      EXPECT_EQ(p.bound, c.second.bound);
      EXPECT_EQ(p.move, c.second.move);
      EXPECT_EQ(p.eval, c.second.eval);
    }
    // Either way the slot now carries the current age: one recent slot among
    // the 1000 sampled, where a two-searches-old one would not count.
    EXPECT_EQ(TT::hashfull(), 1);
  }
}

// A full bucket of other positions: the entry with the smallest
// depth x 1024 + 2048 (exact) - 256 x searches-since-written goes.
TEST_F(TranspositionTable, ReplacementInAFullBucket) {
  struct Slot {
    int depth;
    TT::Bound bound;
    int searchesOld;
  };
  const struct {
    const char* name;
    Slot slots[4];
    int replaced;
  } cases[] = {
      {"exact depth d outlives non-exact depth d + 1",
       {{10, TT::BOUND_EXACT, 0},
        {11, TT::BOUND_LOWER, 0},
        {20, TT::BOUND_LOWER, 0},
        {20, TT::BOUND_UPPER, 0}},
       1},
      {"the exact bonus is worth exactly two depth steps (tie: the lowest slot goes)",
       {{12, TT::BOUND_LOWER, 0},
        {10, TT::BOUND_EXACT, 0},
        {13, TT::BOUND_LOWER, 0},
        {13, TT::BOUND_UPPER, 0}},
       0},
      {"the same tie with the exact entry first",
       {{10, TT::BOUND_EXACT, 0},
        {12, TT::BOUND_LOWER, 0},
        {13, TT::BOUND_LOWER, 0},
        {13, TT::BOUND_UPPER, 0}},
       0},
      {"equal values: the lowest slot goes",
       {{7, TT::BOUND_LOWER, 0},
        {5, TT::BOUND_LOWER, 0},
        {5, TT::BOUND_UPPER, 0},
        {9, TT::BOUND_LOWER, 0}},
       1},
      {"four searches old ties a fresh entry one step shallower (aged one first)",
       {{10, TT::BOUND_LOWER, 4},
        {9, TT::BOUND_UPPER, 0},
        {9, TT::BOUND_LOWER, 0},
        {9, TT::BOUND_LOWER, 0}},
       0},
      {"four searches old ties a fresh entry one step shallower (aged one last)",
       {{9, TT::BOUND_LOWER, 0},
        {9, TT::BOUND_UPPER, 0},
        {9, TT::BOUND_LOWER, 0},
        {10, TT::BOUND_LOWER, 4}},
       0},
      {"five searches old loses to one depth step",
       {{9, TT::BOUND_LOWER, 0},
        {9, TT::BOUND_UPPER, 0},
        {9, TT::BOUND_LOWER, 0},
        {10, TT::BOUND_LOWER, 5}},
       3},
      {"an old exact entry loses its bonus",
       {{12, TT::BOUND_LOWER, 0},
        {12, TT::BOUND_EXACT, 9},
        {13, TT::BOUND_LOWER, 0},
        {13, TT::BOUND_LOWER, 0}},
       1},
      {"negative depths",
       {{0, TT::BOUND_LOWER, 0},
        {-1, TT::BOUND_EXACT, 0},
        {-3, TT::BOUND_UPPER, 0},
        {0, TT::BOUND_UPPER, 0}},
       2},
      {"age distance wraps modulo 64",
       {{10, TT::BOUND_LOWER, 65},
        {10, TT::BOUND_LOWER, 0},
        {10, TT::BOUND_LOWER, 0},
        {10, TT::BOUND_LOWER, 2}},
       3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    TT::init_tt(1);
    std::uint64_t keys[4];
    int oldest = 0;
    for (int i = 0; i < 4; ++i) {
      keys[i] = key_in_bucket(77, 100 + i);
      TT::store(keys[i], MOVE_A, c.slots[i].depth, i, 0, c.slots[i].bound);
      oldest = std::max(oldest, c.slots[i].searchesOld);
    }
    // Age the bucket: each search, the entries that must look younger are
    // refreshed by a shallow non-exact store of their key.
    for (int step = 1; step <= oldest; ++step) {
      TT::new_search();
      for (int i = 0; i < 4; ++i)
        if (c.slots[i].searchesOld <= oldest - step)
          TT::store(keys[i], 0, -128, 0, SCORE_NONE, TT::BOUND_UPPER);
    }
    const std::uint64_t newcomer = key_in_bucket(77, 999);
    TT::store(newcomer, MOVE_B, 1, 0, 0, TT::BOUND_UPPER);
    EXPECT_EQ(probe(newcomer).move, MOVE_B);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(present(keys[i]), i != c.replaced) << "slot " << i;
  }
}

TEST_F(TranspositionTable, FirstEmptySlotTakesANewKey) {
  const std::uint64_t a = key_in_bucket(3, 1), b = key_in_bucket(3, 2), c = key_in_bucket(3, 3);
  TT::store(a, MOVE_A, 60, 1, 0, TT::BOUND_EXACT);
  TT::store(b, MOVE_A, 50, 2, 0, TT::BOUND_EXACT);
  TT::store(c, MOVE_A, -5, 3, 0, TT::BOUND_UPPER);  // shallow, but a slot is free
  EXPECT_TRUE(present(a));
  EXPECT_TRUE(present(b));
  EXPECT_TRUE(present(c));
}

// Fills every slot of the first `buckets` buckets with distinct keys.
void fill_buckets(std::uint64_t buckets) {
  for (std::uint64_t bucket = 0; bucket < buckets; ++bucket)
    for (std::uint32_t slot = 0; slot < 4; ++slot)
      TT::store(key_in_bucket(bucket, slot + 1), MOVE_A, 1, 0, 0, TT::BOUND_LOWER);
}

TEST_F(TranspositionTable, HashfullCountsThisSearchAndThePrevious) {
  EXPECT_EQ(TT::hashfull(), 0);
  fill_buckets(100);  // 400 of the 1000 sampled slots
  EXPECT_EQ(TT::hashfull(), 400);
  fill_buckets(250);
  EXPECT_EQ(TT::hashfull(), 1000);
  TT::new_search();
  EXPECT_EQ(TT::hashfull(), 1000);
  TT::new_search();
  EXPECT_EQ(TT::hashfull(), 0);
  fill_buckets(250);
  TT::clear_tt();
  EXPECT_EQ(TT::hashfull(), 0);
  EXPECT_FALSE(present(key_in_bucket(0, 1)));
  fill_buckets(1);  // the age survives clearing: these count at once
  EXPECT_EQ(TT::hashfull(), 4);
  TT::init_tt(1);
  EXPECT_EQ(TT::hashfull(), 0);
}

TEST_F(TranspositionTable, AgeWrapsAfter63) {
  for (int i = 0; i < 62; ++i) TT::new_search();  // age 1 -> 63
  fill_buckets(250);
  TT::new_search();  // age 0: the entries of age 63 are one search old
  EXPECT_EQ(TT::hashfull(), 1000);
  TT::new_search();
  EXPECT_EQ(TT::hashfull(), 0);
}

TEST_F(TranspositionTable, PrefetchLeavesContentsAlone) {
  const std::uint64_t key = key_in_bucket(9, 9);
  TT::store(key, MOVE_A, 4, 5, 6, TT::BOUND_EXACT);
  TT::prefetch(key);
  TT::prefetch(0);
  EXPECT_EQ(probe(key).move, MOVE_A);
}

TEST_F(TranspositionTable, WithoutATableEverythingMisses) {
  TT::free_tt();
  TT::store(5, MOVE_A, 1, 1, 1, TT::BOUND_EXACT);
  TT::prefetch(5);
  const Probed p = probe(5);
  EXPECT_EQ(p.move, 0u);
  EXPECT_EQ(p.eval, SCORE_NONE);
  EXPECT_EQ(p.bound, TT::BOUND_NONE);
  EXPECT_EQ(TT::hashfull(), 0);
  EXPECT_EQ(TT::size_mb(), 0u);
}

// Allocation hook that refuses anything above a bucket limit.
std::uint64_t bucketLimit = 0;
std::vector<std::uint64_t> requests;

std::unique_ptr<TT::Bucket[]> limited_allocate(std::size_t count) {
  requests.push_back(count);
  if (count > bucketLimit) return nullptr;
  return std::unique_ptr<TT::Bucket[]>(new (std::nothrow) TT::Bucket[count]());
}

constexpr std::uint64_t BUCKETS_PER_MB = 16384;

// Stores and finds one entry, proving the table in use works.
void expect_working_table() {
  const std::uint64_t key = 0x0123456789ABCDEFULL;
  TT::store(key, MOVE_B, 3, 77, 8, TT::BOUND_LOWER);
  EXPECT_EQ(probe(key).move, MOVE_B);
  EXPECT_EQ(probe(key).score, 77);
}

TEST_F(TranspositionTable, FailedResizeKeepsTheOldTableEmptied) {
  ASSERT_EQ(TT::init_tt(2), 2u);
  fill_buckets(10);
  TT::new_search();
  bucketLimit = 8 * BUCKETS_PER_MB;
  requests.clear();
  TT::set_allocator(limited_allocate);

  EXPECT_EQ(TT::init_tt(64), 2u);
  EXPECT_EQ(requests, std::vector<std::uint64_t>{64 * BUCKETS_PER_MB});  // one try, then keep
  EXPECT_EQ(TT::size_mb(), 2u);
  EXPECT_EQ(TT::bucket_count(), 2 * BUCKETS_PER_MB);
  EXPECT_EQ(TT::hashfull(), 0);  // emptied, as a rebuild leaves it
  EXPECT_FALSE(present(key_in_bucket(0, 1)));
  fill_buckets(1);  // the age was reset to 1 with the rebuild
  EXPECT_EQ(TT::hashfull(), 4);
  expect_working_table();

  EXPECT_EQ(TT::init_tt(4), 4u);  // a size that can be had still works
  EXPECT_EQ(TT::bucket_count(), 4 * BUCKETS_PER_MB);
}

TEST_F(TranspositionTable, FailedFirstBuildTakesTheLargestSmallerSize) {
  TT::free_tt();
  bucketLimit = 5 * BUCKETS_PER_MB;
  requests.clear();
  TT::set_allocator(limited_allocate);
  EXPECT_EQ(TT::init_tt(48), 4u);  // 48 and 32, 16, 8 fail; 4 fits
  EXPECT_EQ(requests, (std::vector<std::uint64_t>{48 * BUCKETS_PER_MB, 32 * BUCKETS_PER_MB,
                                                  16 * BUCKETS_PER_MB, 8 * BUCKETS_PER_MB,
                                                  4 * BUCKETS_PER_MB}));
  EXPECT_EQ(TT::size_mb(), 4u);
  EXPECT_EQ(TT::bucket_count(), 4 * BUCKETS_PER_MB);
  expect_working_table();
}

TEST_F(TranspositionTable, NoMemoryAtAllRunsOnOneBucket) {
  TT::free_tt();
  bucketLimit = 0;
  TT::set_allocator(limited_allocate);
  EXPECT_EQ(TT::init_tt(16), 0u);
  EXPECT_EQ(TT::size_mb(), 0u);
  EXPECT_EQ(TT::bucket_count(), 1u);
  expect_working_table();
  fill_buckets(1);  // every key lands in the one bucket
  EXPECT_EQ(TT::hashfull(), 1000);

  // Memory that turns up later is used again.
  TT::set_allocator(nullptr);
  EXPECT_EQ(TT::init_tt(2), 2u);
  EXPECT_EQ(TT::bucket_count(), 2 * BUCKETS_PER_MB);
  EXPECT_EQ(TT::hashfull(), 0);
}

TEST_F(TranspositionTable, AbsurdSizesAreRefusedWithoutThrowing) {
  ASSERT_EQ(TT::init_tt(2), 2u);
  for (const std::uint64_t mb :
       {std::numeric_limits<std::uint64_t>::max(), std::uint64_t(1) << 43}) {
    std::uint64_t inUse = 0;
    EXPECT_NO_THROW(inUse = TT::init_tt(mb));
    EXPECT_EQ(inUse, 2u);
    expect_working_table();
  }
}

}  // namespace
