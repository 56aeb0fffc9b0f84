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

// A size asked for later that cannot be had: the tables in use stay, emptied,
// and the next search runs on them.
TEST(EngineHashFallback, ASizeThatCannotBeHadKeepsTheTablesInUse) {
  struct Case {
    const char* command;
    std::uint64_t tt_mb, pawn_mb;
    std::vector<std::string> output;
  };
  const Case cases[] = {
      {"setoption name Hash value 4096",
       64,
       8,
       {"info string could not allocate 4096 MB for the hash table, using 64 MB, and 512 MB for "
        "the pawn hash, using 8 MB"}},
      {"setoption name Hash value 256", 256, 32, {}},
      {"setoption name Hash value 512",
       64,
       64,
       {"info string could not allocate 512 MB for the hash table, using 64 MB"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    RealAllocators restore;
    EngineFixture engine;
    engine.take_output();  // 64 MB and 8 MB at start-up
    TT::set_allocator(tt_at_most<256>);
    PawnHash::set_allocator(pawn_hash_at_most<64>);
    engine.command("go infinite");
    EXPECT_EQ(engine.command(c.command), c.output);
    EXPECT_FALSE(engine.engine.search_thread_exists());  // cancelled before the resize
    EXPECT_EQ(TT::size_mb(), c.tt_mb);
    EXPECT_EQ(PawnHash::size_mb(), c.pawn_mb);
    engine.engine.handle_line("go depth 3");  // its lines are read below
    const std::vector<std::string> search = engine.wait_for("bestmove ");
    ASSERT_FALSE(search.empty());
    EXPECT_EQ(search.back().rfind("bestmove ", 0), 0u) << search.back();
  }
}

}  // namespace
