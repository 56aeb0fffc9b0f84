// Pawn-structure hash: table management, the structure evaluation of one
// pawn configuration and the king shelter.
//
// An entry depends on the pawns alone: wherever a rule asks whether the square
// in front of a pawn is free, only pawns count as blockers, so two positions
// with the same pawn key always agree on their entry.
#include "eval/pawnhash.h"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <cstdlib>
#include <limits>
#include <memory>
#include <new>
#include <utility>

#include "eval/evalbase.h"

namespace PawnHash {

namespace {

// Indexed by the pawn square (White) or the square ^ 56 (Black).
// clang-format off
constexpr int MG_PAWN_PST[64] = {
    0,   0,   0,   0,   0,   0,   0,   0,
   17,  14,  17, -18, -18,  17,  14,  17,
    3,  -3,   0,  -8,  -8,   0,  -3,   3,
   -1,  -5,  -6,   8,   8,  -6,  -5,  -1,
   12,   5,   2,  13,  13,   2,   5,  12,
   19,  13,  18,  25,  25,  18,  13,  19,
   57,  54,  51,  48,  48,  51,  54,  57,
    0,   0,   0,   0,   0,   0,   0,   0,
};
constexpr int EG_PAWN_PST[64] = {
    0,   0,   0,   0,   0,   0,   0,   0,
   17,  15,  19,  -3,  -3,  19,  15,  17,
   -2,  -6,  -1,  -4,  -4,  -1,  -6,  -2,
   -2,  -7, -10,  -2,  -2, -10,  -7,  -2,
   17,   3,  -2,   3,   3,  -2,   3,  17,
   22,  16,  15,   8,   8,  15,  16,  22,
   42,  39,  31,  25,  25,  31,  39,  42,
    0,   0,   0,   0,   0,   0,   0,   0,
};
// clang-format on

// Indexed by the pawn's relative rank (0 = own first rank).
constexpr int PAWN_DEFENDED_MG[8] = {0, 2, 5, 5, 8, 11, 0, 0};
constexpr int PAWN_DEFENDED_EG[8] = {0, 1, 2, 4, 7, 11, 0, 0};
constexpr int PAWN_PHALANX_MG[8] = {0, 3, 5, 11, 19, 32, 0, 0};
constexpr int PAWN_PHALANX_EG[8] = {0, 2, 4, 10, 22, 44, 0, 0};
constexpr int CANDIDATE_PASSER_MG[8] = {0, 0, 3, 7, 16, 34, 0, 0};
constexpr int CANDIDATE_PASSER_EG[8] = {0, 0, 8, 18, 40, 72, 0, 0};
// Indexed by the rank distance between an enemy pawn and the king.
constexpr int KING_STORM_PENALTY_MG[4] = {0, 11, 7, 3};

constexpr int DOUBLED_MG = -7, DOUBLED_EG = -17;
constexpr int ISOLATED_MG = -9, ISOLATED_EG = -15;
constexpr int STOP_SQUARE_MG = -7, STOP_SQUARE_EG = -11;
constexpr int UNSUPPORTED_MG = -4, UNSUPPORTED_EG = -7;

constexpr std::uint64_t INDEX_MULTIPLIER = 0x9e3779b97f4a7c15ULL;
constexpr std::uint64_t DEFAULT_MB = 8;

Table globalTable;

std::unique_ptr<Entry[]> default_allocate(std::size_t count) {
  return std::unique_ptr<Entry[]>(new (std::nothrow) Entry[count]());
}
Allocator allocateHook = default_allocate;

// Largest power-of-two number of entries that fits into mb megabytes (1 when
// not even one fits). Saturates instead of overflowing for absurd sizes.
std::uint64_t entries_for(std::uint64_t mb) {
  constexpr std::uint64_t MAX_MB = std::numeric_limits<std::uint64_t>::max() >> 20;
  const std::uint64_t bytes = mb > MAX_MB ? std::numeric_limits<std::uint64_t>::max() : mb << 20;
  const std::uint64_t fit = bytes / sizeof(Entry);
  return fit == 0 ? 1 : std::bit_floor(fit);
}

// Zeroed entry storage, or null when the memory cannot be had. Never throws:
// counts beyond what new[] can express are refused before asking.
std::unique_ptr<Entry[]> allocate(std::uint64_t count) {
  constexpr std::uint64_t MAX_COUNT = std::numeric_limits<std::ptrdiff_t>::max() / sizeof(Entry);
  if (count > MAX_COUNT) return nullptr;
  return allocateHook(static_cast<std::size_t>(count));
}

// Geometry for `count` slots. One slot gives a shift of 64, which slot_for
// never applies (a 64-bit shift by 64 is undefined).
void set_geometry(Table& table, std::uint64_t count, std::uint64_t mb) {
  table.tableEntries = count;
  table.tableMask = count - 1;
  table.tableShift = 64 - std::countr_zero(count);
  table.allocatedMb = mb;
  table.spare = Entry{};
}

// The slot a key maps to: one multiply and a shift.
Entry& slot_for(Table& table, std::uint64_t key) {
  if (table.tableEntries == 1) return table.entries ? table.entries[0] : table.spare;
  return table.entries[((key * INDEX_MULTIPLIER) >> table.tableShift) & table.tableMask];
}

// Files next to `file` (one or two of them).
constexpr Bitboard adjacent_files(int file) {
  return (file > 0 ? file_bb(file - 1) : 0) | (file < 7 ? file_bb(file + 1) : 0);
}

// Ranks strictly ahead of `rank` from the colour's point of view.
constexpr Bitboard ranks_ahead(Color c, int rank) {
  if (c == WHITE) return rank == 7 ? 0 : ALL_SQUARES << (8 * (rank + 1));
  return (Bitboard(1) << (8 * rank)) - 1;
}

constexpr Bitboard pawn_attack_set(Color c, Bitboard pawns) {
  const Bitboard notA = pawns & ~FILE_A_BB, notH = pawns & ~FILE_H_BB;
  return c == WHITE ? (notA << 7) | (notH << 9) : (notA >> 9) | (notH >> 7);
}

// Structure terms of one colour's pawns, added to mg/eg with that colour's
// sign. Reads the pawn sets only.
template <Color Us>
void evaluate_pawns(Bitboard own, Bitboard enemy, Entry& entry) {
  constexpr Color Them = ~Us;
  constexpr int SIGN = Us == WHITE ? 1 : -1;
  constexpr int FORWARD = Us == WHITE ? 8 : -8;
  const Bitboard allPawns = own | enemy;
  const Bitboard ownAttacks = entry.pawnAttacks[Us];
  const Bitboard enemyAttacks = entry.pawnAttacks[Them];
  int mg = 0, eg = 0, connectedPassers = 0;

  for (Bitboard pawns = own; pawns;) {
    const int s = pop_lsb(pawns);
    const int file = file_of(s), absRank = rank_of(s);
    const int r = Us == WHITE ? absRank : 7 - absRank;
    const int column = Us == WHITE ? s : s ^ 56;

    // The square ahead: off the board counts as neither empty nor attacked.
    const bool aheadOnBoard = r < 7;
    const Bitboard ahead = aheadOnBoard ? square_bb(s + FORWARD) : 0;
    const bool aheadEmpty = aheadOnBoard && !(ahead & allPawns);

    const Bitboard adjacent = adjacent_files(file);
    const Bitboard ownAdjacent = own & adjacent;
    const Bitboard forward = ranks_ahead(Us, absRank);
    // Ranks r - 1, r and r + 1 (absolute and relative are the same band).
    const Bitboard nearRanks = rank_bb(absRank) | (absRank > 0 ? rank_bb(absRank - 1) : 0) |
                               (absRank < 7 ? rank_bb(absRank + 1) : 0);
    const bool hasNearNeighbour = (ownAdjacent & nearRanks) != 0;

    mg += MG_PAWN_PST[column] + EvalBase::MG_VALUE[0];
    eg += EG_PAWN_PST[column] + EvalBase::EG_VALUE[0];

    if (more_than_one(own & file_bb(file))) mg += DOUBLED_MG, eg += DOUBLED_EG;

    if (!ownAdjacent) {
      mg += ISOLATED_MG, eg += ISOLATED_EG;
    } else if (!(ownAdjacent & (forward | rank_bb(absRank))) && aheadEmpty &&
               (ahead & enemyAttacks)) {
      // Every neighbour is behind: nothing can ever cover the stop square.
      mg += STOP_SQUARE_MG, eg += STOP_SQUARE_EG;
    }

    const bool supported = (ownAttacks & square_bb(s)) != 0;
    const bool phalanx = (ownAdjacent & rank_bb(absRank)) != 0;
    if (supported) mg += PAWN_DEFENDED_MG[r], eg += PAWN_DEFENDED_EG[r];
    if (phalanx) mg += PAWN_PHALANX_MG[r], eg += PAWN_PHALANX_EG[r];
    if (!supported && !phalanx && !(enemy & file_bb(file) & forward) && r >= 3)
      mg += UNSUPPORTED_MG, eg += UNSUPPORTED_EG;

    const Bitboard span = (file_bb(file) | adjacent) & forward;
    const Bitboard spanEnemies = enemy & span;
    if (!spanEnemies) {
      entry.passedPawns[Us] |= square_bb(s);
      if (hasNearNeighbour && r >= 4 && aheadEmpty) ++connectedPassers;
    } else if (popcount(spanEnemies) <= 2 && aheadEmpty && (supported || hasNearNeighbour)) {
      // One or two enemy pawns in the way and help at hand.
      mg += CANDIDATE_PASSER_MG[r], eg += CANDIDATE_PASSER_EG[r];
    }

    if (r <= 1 || !aheadEmpty) entry.blockedOrHomePawns[Us] |= square_bb(s);
  }

  entry.mg += SIGN * mg;
  entry.eg += SIGN * eg;
  entry.advancedConnectedPassers[Us] = connectedPassers;
}

void compute_entry(const Position& position, Entry& entry) {
  const Bitboard white = position.pieces(WHITE, PAWN);
  const Bitboard black = position.pieces(BLACK, PAWN);
  entry.pawnAttacks[WHITE] = pawn_attack_set(WHITE, white);
  entry.pawnAttacks[BLACK] = pawn_attack_set(BLACK, black);
  evaluate_pawns<WHITE>(white, black, entry);
  evaluate_pawns<BLACK>(black, white, entry);
}

}  // namespace

std::uint64_t init(Table& table, std::uint64_t mb) {
  const std::uint64_t requested = mb == 0 ? 1 : mb;
  std::uint64_t failedCount = 0;
  // Allocate before releasing anything, so a failure leaves a working table.
  for (std::uint64_t tryMb = requested;; tryMb = std::bit_floor(tryMb - 1)) {
    const std::uint64_t count = entries_for(tryMb);
    if (count != failedCount) {  // sizes that round to the same count fail alike
      if (auto entries = allocate(count)) {
        table.entries = std::move(entries);
        set_geometry(table, count, tryMb);
        return tryMb;
      }
      failedCount = count;
    }
    if (table.entries) {
      clear(table);
      return table.allocatedMb;
    }
    if (tryMb == 1) break;
  }
  // Not even one megabyte: run on the spare entry, a table of one slot.
  set_geometry(table, 1, 0);
  return 0;
}

std::uint64_t init(std::uint64_t mb) { return init(globalTable, mb); }

void clear(Table& table) {
  if (table.entries) std::fill_n(table.entries.get(), table.tableEntries, Entry{});
  table.spare = Entry{};
}

void clear() { clear(globalTable); }

Entry& probe(const Position& position, Table& table) {
  if (table.tableEntries == 0) init(table, DEFAULT_MB);
  const std::uint64_t key = position.pawn_key == 0 ? 1 : position.pawn_key;
  Entry& entry = slot_for(table, key);
  if (entry.key == key) return entry;

  // Always replace: the newest pawn structure is the one the search is in.
  entry = Entry{};
  entry.key = key;
  compute_entry(position, entry);
  return entry;
}

Entry& probe(const Position& position) { return probe(position, globalTable); }

int king_shelter_score(const Position& position, Entry& entry, Color c) {
  const int king = position.king_square[c];
  const int castling = static_cast<int>(position.castling_rights);
  if (entry.shelterValid[c] && entry.shelterKingSquare[c] == king &&
      entry.shelterCastling[c] == castling)
    return entry.shelterScore[c];

  int score = 0;
  if (king != NO_SQUARE) {
    const Bitboard own = position.pieces(c, PAWN);
    const Bitboard enemy = position.pieces(~c, PAWN);
    const int kf = file_of(king), kr = rank_of(king);
    const int relRank = c == WHITE ? kr : 7 - kr;
    const int step = c == WHITE ? 1 : -1;

    // A king on its back rank is best tucked away on a wing, worst in the centre.
    if (relRank == 0) score = kf == 5 ? 0 : (kf == 3 || kf == 4) ? -13 : 13;

    for (int j = std::max(kf - 1, 0); j <= std::min(kf + 1, 7); ++j) {
      const bool kingFile = j == kf;
      const Bitboard ownOnFile = own & file_bb(j);
      // Closest own pawn within three ranks in front of the king.
      int shield = kingFile ? -15 : -9;
      static constexpr int SHIELD_BY_DISTANCE[4] = {0, 15, 7, 2};
      for (int d = 1; d <= 3 && relRank + d <= 7; ++d) {
        if (ownOnFile & rank_bb(kr + step * d)) {
          shield = SHIELD_BY_DISTANCE[d];
          break;
        }
      }
      score += shield;
      if (!ownOnFile) {
        const bool enemyOnFile = (enemy & file_bb(j)) != 0;
        score -= enemyOnFile ? (kingFile ? 6 : 3) : (kingFile ? 15 : 10);
      }
    }

    // Enemy pawns closing in on the king's files.
    Bitboard storm = enemy & (file_bb(kf) | adjacent_files(kf));
    while (storm) {
      const int distance = std::abs(rank_of(pop_lsb(storm)) - kr);
      if (distance >= 1 && distance <= 3) score -= KING_STORM_PENALTY_MG[distance];
    }
  }

  entry.shelterScore[c] = score;
  entry.shelterKingSquare[c] = king;
  entry.shelterCastling[c] = castling;
  entry.shelterValid[c] = true;
  return score;
}

std::uint64_t size_mb() { return globalTable.allocatedMb; }

void set_allocator(Allocator allocator) { allocateHook = allocator ? allocator : default_allocate; }

}  // namespace PawnHash
