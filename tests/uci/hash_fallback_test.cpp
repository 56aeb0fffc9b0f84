// A machine short of memory, simulated through the tables' allocation hooks:
// whatever cannot be had, the engine keeps working on what it has and says so
// in one line.
#include <gtest/gtest.h>

#include <cstddef>
#include <memory>

#include "eval/pawnhash.h"
#include "search/search.h"
#include "search/tt.h"
#include "uci/engine_fixture.h"

namespace {

// Allocators that refuse anything above `MB` megabytes.
template <std::size_t MB>
std::unique_ptr<TT::Bucket[]> tt_at_most(std::size_t count) {
  if (count * sizeof(TT::Bucket) > (MB << 20)) return nullptr;
  return std::unique_ptr<TT::Bucket[]>(new TT::Bucket[count]());
}

template <std::size_t MB>
std::unique_ptr<PawnHash::Entry[]> pawn_hash_at_most(std::size_t count) {
  if (count * sizeof(PawnHash::Entry) > (MB << 20)) return nullptr;
  return std::unique_ptr<PawnHash::Entry[]>(new PawnHash::Entry[count]());
}

// Restores the real allocators and small tables for the tests that follow.
struct RealAllocators {
  ~RealAllocators() {
    TT::set_allocator(nullptr);
    PawnHash::set_allocator(nullptr);
    Search::set_hash_size_mb(1);
  }
};

TEST(EngineHashFallback, ShortfallsAreReportedInOneLineAndTheEngineKeepsWorking) {
  struct Case {
    const char* name;
    TT::Allocator tt;
    PawnHash::Allocator pawn_hash;
    std::uint64_t tt_mb, pawn_mb;  // what the engine then runs on
    const char* message;
  };
  // Before each case the tables are 1 MB each, and the transposition table is
  // then released, so a refused table falls back to a smaller size and a
  // refused pawn hash keeps its 1 MB.
  const Case cases[] = {
      {"pawn hash short", nullptr, pawn_hash_at_most<1>, 64, 1,
       "info string could not allocate 8 MB for the pawn hash, using 1 MB"},
      {"both short", tt_at_most<4>, pawn_hash_at_most<1>, 4, 1,
       "info string could not allocate 64 MB for the hash table, using 4 MB, and 8 MB for the "
       "pawn hash, using 1 MB"},
      {"no memory at all", tt_at_most<0>, pawn_hash_at_most<0>, 0, 1,
       "info string could not allocate 64 MB for the hash table, using 0 MB, and 8 MB for the "
       "pawn hash, using 1 MB"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RealAllocators restore;
    Search::set_hash_size_mb(1);
    TT::free_tt();
    TT::set_allocator(c.tt);
    PawnHash::set_allocator(c.pawn_hash);
    EngineFixture engine;
    EXPECT_EQ(engine.take_output(), std::vector<std::string>{c.message});
    EXPECT_EQ(TT::size_mb(), c.tt_mb);
    EXPECT_EQ(PawnHash::size_mb(), c.pawn_mb);
    EXPECT_EQ(
        engine.command("perft 2"),
        std::vector<std::string>{"perft nodes=400 captures=0 enpassant=0 castles=0 promotions=0"});
    EXPECT_EQ(engine.command("eval").size(), 1u);
    EXPECT_EQ(engine.command("isready"), std::vector<std::string>{"readyok"});
  }
}

}  // namespace
