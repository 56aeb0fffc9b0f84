// Transposition table: one process-wide table of four-entry buckets, one
// 64-byte cache line each, caching per position key the best move, a score
// with its bound kind, the depth and the static evaluation. Replacement keeps
// deep, exact and recent entries; the age advances once per search. Scores
// are stored exactly as given (mate-distance adjustment is the caller's).
// Single-threaded: resize or clear only while no search runs.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

namespace TT {

enum Bound : std::uint8_t { BOUND_NONE = 0, BOUND_EXACT = 1, BOUND_LOWER = 2, BOUND_UPPER = 3 };

// One slot; empty exactly when its bound bits are 0, so a zeroed table is empty.
struct Entry {
  std::uint32_t key32;    // low 32 bits of the mixed key
  std::uint32_t move;     // 0 = none
  std::int32_t score;     // as stored by the caller, not clamped
  std::int16_t eval;      // SCORE_NONE or clamped to -32000..32000
  std::int8_t depth;      // clamped to -128..127
  std::uint8_t ageBound;  // bits 0-1 bound, bits 2-7 age
};

struct alignas(64) Bucket {
  Entry slots[4];
};
static_assert(sizeof(Bucket) == 64, "a bucket must fill exactly one cache line");

// (Re)builds the table for mb megabytes (0 counts as 1), empty, with the age
// reset to 1. Never throws. Returns the size in megabytes now in use: mb when
// it could be allocated; otherwise the old table's size (the old table is
// kept, emptied), or, without an old table, the largest power of two below
// mb that could be had; 0 when not even 1 MB could be had (the table then
// runs on one built-in bucket).
std::uint64_t init_tt(std::uint64_t mb);
void clear_tt();
// Releases the table: afterwards every operation is a no-op, as before the
// first init_tt (probe misses, hashfull 0).
void free_tt();
void new_search();

// The stored move (0 on a miss). On a miss depth = 0, score = 0,
// eval = SCORE_NONE, bound = BOUND_NONE. ply is accepted and ignored.
unsigned probe(std::uint64_t key, int ply, int& depth, int& score, int& eval, Bound& bound);
void store(std::uint64_t key, unsigned move, int depth, int score, int eval, Bound bound);

// Hints the processor to fetch the key's bucket into the outer cache levels.
void prefetch(std::uint64_t key);

// Occupancy in per mille among the first 1000 slots, counting entries of this
// search and the previous one.
int hashfull();

std::uint64_t size_mb();

// Geometry, for tests and diagnostics: the number of buckets and the bucket a
// key maps to.
std::uint64_t bucket_count();
std::uint64_t bucket_index(std::uint64_t key);

// Allocation hook, called only by init_tt (never by probe or store): returns
// `count` zeroed buckets made with new[], or null when the memory cannot be
// had. Lets tests drive the allocation-failure fallback. nullptr restores the
// default (nothrow new).
using Allocator = std::unique_ptr<Bucket[]> (*)(std::size_t count);
void set_allocator(Allocator allocator);

}  // namespace TT
