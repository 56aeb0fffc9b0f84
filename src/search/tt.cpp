#include "search/tt.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <limits>
#include <new>
#include <utility>

#if defined(__linux__)
#include <sys/mman.h>
#endif

#include "search/score.h"

namespace TT {

namespace {

constexpr std::uint64_t INDEX_MULTIPLIER = 0x9e3779b97f4a7c15ULL;
constexpr std::uint64_t BUCKETS_PER_MB = (std::uint64_t(1) << 20) / sizeof(Bucket);
constexpr int EVAL_CLAMP = 32000;
constexpr std::uint8_t AGE_MASK = 63;

std::unique_ptr<Bucket[]> ownedTable;  // null while running on the built-in bucket
Bucket spareBucket;                    // the table of last resort: one bucket
Bucket* table = nullptr;               // null before the first init_tt
std::uint64_t numBuckets = 0;
std::uint64_t tableEntries = 0;
std::uint64_t allocatedMb = 0;
std::uint8_t currentAge = 1;

// Asks the kernel to back the table with huge pages where it can: a probe then
// costs one cache miss instead of a cache miss and a page-table walk. Only the
// whole pages inside the block are advised; without the facility it is a no-op.
void advise_huge_pages(void* block, std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
  constexpr std::uintptr_t PAGE = 4096;
  const std::uintptr_t begin = (reinterpret_cast<std::uintptr_t>(block) + PAGE - 1) & ~(PAGE - 1);
  const std::uintptr_t end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(PAGE - 1);
  if (end > begin) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#else
  (void)block;
  (void)bytes;
#endif
}

// The advice must come before the pages are first touched, so the buckets are
// zeroed here rather than by the allocation.
std::unique_ptr<Bucket[]> default_allocate(std::size_t count) {
  std::unique_ptr<Bucket[]> buckets(new (std::nothrow) Bucket[count]);
  if (buckets) {
    advise_huge_pages(buckets.get(), count * sizeof(Bucket));
    std::memset(static_cast<void*>(buckets.get()), 0, count * sizeof(Bucket));
  }
  return buckets;
}
Allocator allocateHook = default_allocate;

// Buckets for mb megabytes; saturates instead of overflowing for absurd sizes.
std::uint64_t buckets_for(std::uint64_t mb) {
  constexpr std::uint64_t MAX_MB = std::numeric_limits<std::uint64_t>::max() / BUCKETS_PER_MB;
  return mb > MAX_MB ? std::numeric_limits<std::uint64_t>::max() : mb * BUCKETS_PER_MB;
}

// Zeroed bucket storage, or null when it cannot be had. Counts beyond what
// new[] can express are refused before asking, so nothing throws.
std::unique_ptr<Bucket[]> allocate(std::uint64_t count) {
  constexpr std::uint64_t MAX_COUNT =
      std::uint64_t(std::numeric_limits<std::ptrdiff_t>::max()) / sizeof(Bucket);
  if (count > MAX_COUNT) return nullptr;
  return allocateHook(static_cast<std::size_t>(count));
}

void install(Bucket* buckets, std::uint64_t count, std::uint64_t mb) {
  table = buckets;
  numBuckets = count;
  tableEntries = count * 4;
  allocatedMb = mb;
  currentAge = 1;
}

// Mixes the key and splits it into the bucket and the 32-bit check value.
// The bucket is the high half of the 128-bit product x * numBuckets: for a
// power of two that is exactly the top log2(numBuckets) bits of x, for other
// sizes it spreads x evenly without a division.
struct Slot {
  Bucket* bucket;
  std::uint32_t check;
};

inline std::uint64_t mix(std::uint64_t key) { return (key == 0 ? 1 : key) * INDEX_MULTIPLIER; }

inline std::uint64_t index_of(std::uint64_t x) {
  return std::uint64_t((unsigned __int128)x * numBuckets >> 64);
}

inline Slot locate(std::uint64_t key) {
  const std::uint64_t x = mix(key);
  return {table + index_of(x), std::uint32_t(x)};
}

inline Bound bound_of(const Entry& e) { return Bound(e.ageBound & 3); }
inline std::uint8_t age_of(const Entry& e) { return e.ageBound >> 2; }
// How many searches ago the entry was last written or refreshed (mod 64).
inline int age_distance(const Entry& e) { return (currentAge - age_of(e)) & AGE_MASK; }

inline std::int16_t clamp_eval(int eval) {
  return std::int16_t(eval == SCORE_NONE ? SCORE_NONE : std::clamp(eval, -EVAL_CLAMP, EVAL_CLAMP));
}

inline int replacement_value(const Entry& e) {
  return e.depth * 1024 + (bound_of(e) == BOUND_EXACT ? 2048 : 0) - age_distance(e) * 256;
}

}  // namespace

std::uint64_t init_tt(std::uint64_t mb) {
  const std::uint64_t requested = mb == 0 ? 1 : mb;
  // Allocate before releasing anything, so that a failure leaves a table.
  for (std::uint64_t tryMb = requested;; tryMb = std::bit_floor(tryMb - 1)) {
    const std::uint64_t count = buckets_for(tryMb);
    if (auto buckets = allocate(count)) {
      ownedTable = std::move(buckets);
      install(ownedTable.get(), count, tryMb);
      return tryMb;
    }
    if (ownedTable) {  // keep the old table, emptied as a rebuild would leave it
      clear_tt();
      currentAge = 1;
      return allocatedMb;
    }
    if (tryMb == 1) break;
  }
  // Not even one megabyte: run on the built-in bucket.
  spareBucket = Bucket{};
  install(&spareBucket, 1, 0);
  return 0;
}

void clear_tt() {
  if (table) std::memset(static_cast<void*>(table), 0, numBuckets * sizeof(Bucket));
}

void free_tt() {
  ownedTable.reset();
  table = nullptr;
  numBuckets = tableEntries = allocatedMb = 0;
  currentAge = 1;
}

void new_search() { currentAge = (currentAge + 1) & AGE_MASK; }

unsigned probe(std::uint64_t key, int /*ply*/, int& depth, int& score, int& eval, Bound& bound) {
  depth = 0;
  score = 0;
  eval = SCORE_NONE;
  bound = BOUND_NONE;
  if (!table) return 0;
  const Slot slot = locate(key);
  for (const Entry& e : slot.bucket->slots) {
    if (e.key32 == slot.check && bound_of(e) != BOUND_NONE) {
      depth = e.depth;
      score = e.score;
      eval = e.eval;
      bound = bound_of(e);
      return e.move;
    }
  }
  return 0;
}

void store(std::uint64_t key, unsigned move, int depth, int score, int eval, Bound bound) {
  if (!table) return;
  const Slot slot = locate(key);
  const std::uint8_t age = currentAge & AGE_MASK;
  Entry* target = nullptr;
  for (Entry& e : slot.bucket->slots) {
    if (bound_of(e) == BOUND_NONE) {
      target = &e;
      break;
    }
    if (e.key32 != slot.check) continue;
    // Same position: a shallower non-exact result must not displace a deeper
    // entry that has a move; it only marks the entry as still in use.
    if (e.depth >= depth && bound != BOUND_EXACT && e.move != 0) {
      e.ageBound = std::uint8_t(age << 2 | (e.ageBound & 3));
      if (eval != SCORE_NONE) e.eval = clamp_eval(eval);
      if (move != 0) e.move = move;
      return;
    }
    target = &e;
    break;
  }
  if (!target) {
    // Bucket full of other positions: replace the least valuable entry, the
    // lowest-numbered one on ties.
    target = &slot.bucket->slots[0];
    for (Entry& e : slot.bucket->slots)
      if (replacement_value(e) < replacement_value(*target)) target = &e;
  }
  target->key32 = slot.check;
  target->move = move;
  target->score = score;
  target->eval = clamp_eval(eval);
  target->depth = std::int8_t(std::clamp(depth, -128, 127));
  target->ageBound = std::uint8_t(age << 2 | (bound & 3));
}

void prefetch(std::uint64_t key) {
  // Locality 1 is the T2 hint: bring the line into the outer cache levels.
  if (table) __builtin_prefetch(locate(key).bucket, 0, 1);
}

int hashfull() {
  if (!table) return 0;
  const std::uint64_t sampled = std::min<std::uint64_t>(1000, tableEntries);
  std::uint64_t count = 0;
  for (std::uint64_t i = 0; i < sampled; ++i) {
    const Entry& e = table[i / 4].slots[i % 4];
    if (bound_of(e) != BOUND_NONE && age_distance(e) <= 1) ++count;
  }
  return int(count * 1000 / sampled);
}

std::uint64_t size_mb() { return allocatedMb; }

std::uint64_t bucket_count() { return numBuckets; }

std::uint64_t bucket_index(std::uint64_t key) { return table ? index_of(mix(key)) : 0; }

void set_allocator(Allocator allocator) { allocateHook = allocator ? allocator : default_allocate; }

}  // namespace TT
