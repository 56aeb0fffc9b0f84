// The checker the stress test and the command-loop fuzzer rely on: it must
// pass what the protocol allows and catch each kind of broken promise.
#include "e2e/search_ledger.h"

#include <gtest/gtest.h>

#include "board/fen.h"
#include "board/position_fixture.h"
#include "movegen/attack.h"
#include "movegen/pext.h"

namespace {

using Control = SearchLedger::Control;

const char* const INFO =
    "info depth 1 seldepth 1 multipv 1 score cp 5 nodes 20 time 0 nps 20 hashfull 0 pv e2e4";

Position from_fen(const std::string& text) { return position_from_fen(text); }

SearchLedger::Window go(const std::string& fen, bool infinite,
                        std::vector<std::string> after = {}) {
  SearchLedger::Window window;
  window.control = Control::GO;
  window.position = from_fen(fen);
  window.infinite = infinite;
  window.bounded = true;
  window.after = std::move(after);
  return window;
}

SearchLedger::Window lines(Control control, std::vector<std::string> before,
                           std::vector<std::string> after = {}) {
  SearchLedger::Window window;
  window.control = control;
  window.before = std::move(before);
  window.after = std::move(after);
  return window;
}

const std::string START = fen::START_FEN;
// White to move and mated; and a position where only Black's king moves.
const std::string MATED = "rnb1kbnr/pppp1ppp/8/4p3/6Pq/5P2/PPPPP2P/RNBQKBNR w KQkq - 1 3";
const std::string AFTER_E4 = "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1";

TEST(SearchLedgerChecks, AcceptsWhatTheProtocolAllows) {
  const std::vector<std::vector<SearchLedger::Window>> sequences = {
      // Stopped, then a new search that finishes by itself.
      {go(START, false), lines(Control::STOP, {INFO}, {"bestmove e2e4"}),
       go(START, false, {INFO, "bestmove d2d4"})},
      // An infinite search answers only after stop; a mated side answers 0000.
      {go(START, true), lines(Control::NONE, {INFO}), lines(Control::STOP, {}, {"bestmove g1f3"}),
       go(MATED, false,
          {"info depth 0 seldepth 0 multipv 1 score mate 0 nodes 0 time 0 nps 0 hashfull 0",
           "bestmove 0000"})},
      // A cancelled bounded search may or may not have answered.
      {go(START, false), lines(Control::CANCEL, {}, {"bestmove e2e4"}), go(START, false),
       lines(Control::CANCEL, {})},
      // Old and new search answer in one window; then a lone ambiguous answer
      // legal only in the new search's position.
      {go(START, false), go(AFTER_E4, false, {"bestmove e2e4", "bestmove e7e5"}), go(START, false),
       go(AFTER_E4, false, {"bestmove c7c5"}), lines(Control::STOP, {})},
      // A lone answer legal in both: either search may have printed it.
      {go(START, false), go(START, false, {"bestmove e2e4"}), lines(Control::STOP, {})},
  };
  for (std::size_t i = 0; i < sequences.size(); ++i) {
    SearchLedger ledger;
    for (const SearchLedger::Window& window : sequences[i]) ledger.add(window);
    EXPECT_TRUE(ledger.errors().empty()) << "sequence " << i << ": " << ledger.errors()[0];
  }
}

TEST(SearchLedgerChecks, CatchesEveryBrokenPromise) {
  struct Case {
    std::vector<SearchLedger::Window> windows;
    const char* error;
  };
  const Case cases[] = {
      {{go(START, false), lines(Control::STOP, {})}, "stopped without a bestmove"},
      {{go(START, false, {"bestmove e2e4"}), lines(Control::STOP, {"bestmove e2e4"})},
       "a second bestmove"},
      {{go(START, true), lines(Control::NONE, {"bestmove e2e4"})},
       "go infinite answered before stop"},
      {{go(START, true), lines(Control::STOP, {"bestmove e2e4"})},
       "go infinite answered before stop"},
      {{go(START, true), lines(Control::CANCEL, {}, {"bestmove e2e4"})},
       "go infinite answered before stop"},
      {{go(START, false, {"bestmove e2e5"})}, "a bestmove not legal in its position"},
      {{go(MATED, false, {"bestmove e2e4"})}, "a bestmove not legal in its position"},
      {{go(START, false, {"bestmove 0000"})}, "a bestmove not legal in its position"},
      {{go(START, false, {"bestmove e2e4", INFO})}, "a line after its bestmove"},
      {{go(START, false), lines(Control::NONE, {"bestmove e2e4 ponder e7e5"})}, "malformed line"},
      {{lines(Control::NONE, {"bestmove e2e4"})}, "a search line while no search runs"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    SearchLedger ledger;
    for (const SearchLedger::Window& window : c.windows) ledger.add(window);
    ASSERT_FALSE(ledger.errors().empty());
    EXPECT_NE(ledger.errors()[0].find(c.error), std::string::npos) << ledger.errors()[0];
  }

  SearchLedger unfinished;
  unfinished.add(go(START, false));
  EXPECT_TRUE(unfinished.awaiting_bestmove());
  unfinished.require_finished();
  ASSERT_EQ(unfinished.errors().size(), 1u);
  EXPECT_NE(unfinished.errors()[0].find("never printed its bestmove"), std::string::npos);
}

}  // namespace
