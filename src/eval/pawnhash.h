// Pawn-structure hash: everything that depends only on where the pawns stand
// (pawn material and square values, structure terms, pawn attacks, passed
// pawns, blocked pawns, advanced connected passers), cached per pawn key in
// a direct-mapped table, plus a per-colour king shelter cache in each entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "board/position.h"

namespace PawnHash {

struct Entry {
  std::uint64_t key;  // pawn key the entry belongs to (0 is stored as 1)
  std::int32_t mg;    // White positive
  std::int32_t eg;
  std::uint64_t pawnAttacks[2];
  std::uint64_t passedPawns[2];
  std::uint64_t blockedOrHomePawns[2];
  std::int32_t advancedConnectedPassers[2];
  std::int32_t shelterScore[2];
  std::int32_t shelterKingSquare[2];
  std::int32_t shelterCastling[2];
  bool shelterValid[2];
};

// One direct-mapped table. The search uses the process-wide table behind
// init/clear/probe(pos); a caller that evaluates on another thread (the
// front end's diagnostics) owns a Table of its own and probes that.
// tableEntries is 0 until the table is first built. When not even the
// smallest array could be allocated, the table runs on its one `spare` entry
// (tableEntries 1, entries null), so probing never touches a missing array.
struct Table {
  std::unique_ptr<Entry[]> entries;
  std::uint64_t tableEntries = 0;
  std::uint64_t tableMask = 0;
  int tableShift = 64;
  std::uint64_t allocatedMb = 0;
  Entry spare{};
};

// (Re)builds the process-wide table with every entry empty; never throws.
// Returns the size in megabytes now in use: the size asked for (at least 1);
// when that cannot be allocated, the old table's size (kept, emptied), or
// without an old table the largest smaller power of two that could be had
// (0 if not even 1 MB: probes then share one spare entry). A probe of a table
// that was never built first builds it at 8 MB.
std::uint64_t init(std::uint64_t mb);
std::uint64_t init(Table& table, std::uint64_t mb);
void clear();
void clear(Table& table);

// The entry for the position's pawn key, computed first when the slot holds
// another key. Valid until the next probe of the same table.
Entry& probe(const Position& position);
Entry& probe(const Position& position, Table& table);

// Shelter-and-storm value of the colour's king (middlegame units, that
// colour's point of view), cached in the entry by king square and castling
// rights.
int king_shelter_score(const Position& position, Entry& entry, Color color);

std::uint64_t size_mb();

// Allocation hook, called only by init (never while probing): returns `count`
// zeroed entries made with new[], or null when the memory cannot be had. Lets
// tests drive the allocation-failure fallback without exhausting the machine.
// nullptr restores the default (nothrow new).
using Allocator = std::unique_ptr<Entry[]> (*)(std::size_t count);
void set_allocator(Allocator allocator);

}  // namespace PawnHash
