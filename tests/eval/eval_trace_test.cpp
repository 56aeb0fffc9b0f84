// The evaluation trace (format and consistency with evaluate), colour
// symmetry of every stage, and evaluation beside another evaluating thread.
#include <atomic>
#include <sstream>
#include <thread>

#include "eval_fixture.h"

namespace evaltest {
namespace {

using Eval::Score;

const char* const VARIED_FENS[] = {
    fen::START_FEN,
    "r3k2r/pp1bbppp/2n1pn2/3p4/3P4/2NBPN2/PP1B1PPP/R3K2R w KQkq - 0 1",
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1",
    "r1bq1rk1/pp2ppbp/2np1np1/8/3NP3/2N1BP2/PPPQ2PP/R3KB1R w KQ - 0 1",
    "2r3k1/1q3ppp/p3p3/1p1nP3/3P4/P2Q1N2/1P3PPP/2R3K1 b - - 0 1",
    "r4rk1/1b3ppp/p1nqp3/1p1pN3/3P4/P1PB4/1P1Q1PPP/R4RK1 w - - 0 1",
    "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1",
    "6k1/5ppp/8/8/3B4/8/1b3PPP/6K1 w - - 0 1",
    "8/5k2/3p4/1p1P1P2/1P6/4K3/8/8 w - - 0 1",
    "4k3/1P6/8/8/8/8/5pp1/4K3 w - - 0 1",
    "2kr3r/ppp2ppp/2n5/2b1p3/4P1n1/2NP1N2/PPP2PPP/R1B2RK1 b - - 0 1",
};

std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
    lines.push_back(text.substr(start, end - start));
  if (start != text.size()) lines.push_back(text.substr(start));  // unterminated tail
  return lines;
}

// A number in plain signed decimal: optional minus, no plus sign, no leading
// zeros, no "-0".
bool parse_plain_int(const std::string& word, int& value) {
  const std::size_t digits = word.size() - (word.rfind('-', 0) == 0 ? 1 : 0);
  if (digits == 0 || digits > 9) return false;
  const std::string body = word.substr(word.size() - digits);
  for (char ch : body)
    if (ch < '0' || ch > '9') return false;
  if (body[0] == '0' && (body.size() > 1 || digits != word.size())) return false;
  value = std::stoi(word);
  return true;
}

// Reads "evaltrace <name> mg A eg B dmg C deg D" (stage) or "evaltrace full S"
// (numbers.size() == 1): the words must be exactly these, blank-separated.
bool parse_trace_line(const std::string& line, std::string& name, std::vector<int>& numbers) {
  std::istringstream in(line);
  std::vector<std::string> words;
  for (std::string w; in >> w;) words.push_back(w);
  // Rebuilding the line from its words rules out stray or doubled blanks.
  std::string joined;
  for (const std::string& w : words) joined += (joined.empty() ? "" : " ") + w;
  if (joined != line || words.size() < 3 || words[0] != "evaltrace") return false;
  name = words[1];
  numbers.clear();
  const bool full = name == "full";
  static const char* const LABELS[] = {"mg", "eg", "dmg", "deg"};
  if (words.size() != (full ? 3u : 10u)) return false;
  for (std::size_t i = 2; i < words.size(); i += full ? 1 : 2) {
    if (!full && words[i] != LABELS[(i - 2) / 2]) return false;
    int v = 0;
    if (!parse_plain_int(words[full ? i : i + 1], v)) return false;
    numbers.push_back(v);
  }
  return true;
}

TEST_F(EvalTest, TraceHasTwelveStageLinesAndTheFullScore) {
  for (const char* text : VARIED_FENS) {
    const Position pos = from_fen(text);
    const std::string trace = evaluate_trace_string(pos, table);
    ASSERT_FALSE(trace.empty());
    EXPECT_EQ(trace.back(), '\n') << text;
    const auto lines = split_lines(trace);
    ASSERT_EQ(lines.size(), 13u) << text;
    int sumDmg = 0, sumDeg = 0, lastMg = 0, lastEg = 0;
    std::string name;
    std::vector<int> numbers;
    for (std::size_t i = 0; i < 12; ++i) {
      ASSERT_TRUE(parse_trace_line(lines[i], name, numbers)) << lines[i];
      ASSERT_EQ(numbers.size(), 4u) << lines[i];
      EXPECT_EQ(name, STAGES[i]);
      lastMg = numbers[0];
      lastEg = numbers[1];
      sumDmg += numbers[2];
      sumDeg += numbers[3];
    }
    EXPECT_EQ(sumDmg, lastMg) << text;
    EXPECT_EQ(sumDeg, lastEg) << text;
    ASSERT_TRUE(parse_trace_line(lines[12], name, numbers)) << lines[12];
    ASSERT_EQ(name, "full");
    ASSERT_EQ(numbers.size(), 1u);
    const int full = numbers[0];
    // The final line is the blend of the scale line plus tempo, side to move's
    // view, and what evaluate returns with either table.
    EXPECT_EQ(full, Eval::phase_blend(pos, lastMg, lastEg)) << text;
    EXPECT_EQ(full, evaluate(pos, table)) << text;
    EXPECT_EQ(full, evaluate(pos)) << text;
    EXPECT_EQ(evaluate_trace_string(pos), trace) << text;
  }
}

TEST_F(EvalTest, QuietStagesRecordZeroChanges) {
  // Nobody has two bishops: the bishop-pair line shows no change. Only
  // kings: no initiative (eg is 0 after king activity, both kings on e-files
  // mirror each other).
  const auto kings = stage_changes(from_fen("4k3/8/8/8/8/8/8/4K3 w - - 0 1"));
  for (std::size_t i = 0; i < STAGES.size(); ++i) EXPECT_EQ(kings[i], (Score{0, 0})) << STAGES[i];
  EXPECT_EQ(stage_change("r1bqk2r/8/8/8/8/8/8/R1BQK2R w - - 0 1", "bishoppair"), (Score{0, 0}));
}

TEST_F(EvalTest, EvaluateAddsNoTraceRecords) {
  const Position pos = from_fen(VARIED_FENS[2]);
  evaluate_trace_string(pos, table);
  ASSERT_EQ(Eval::g_evalTraceN, 12);
  const Eval::TraceRecord last = Eval::g_evalTracePts[11];
  EXPECT_FALSE(Eval::g_evalTraceOn);
  evaluate(pos, table);
  evaluate(pos);
  evaluate_result(pos, -100, 100);
  EXPECT_EQ(Eval::g_evalTraceN, 12);
  EXPECT_STREQ(Eval::g_evalTracePts[11].name, last.name);
  EXPECT_EQ(Eval::g_evalTracePts[11].mg, last.mg);
}

// The colour-flipped position negates every stage but space, whose areas are
// deliberately not mirror images (c2-f4 for White, c4-f6 for Black). The
// square values are exact mirrors under this flip (a Black piece reads the
// rank-mirrored column), queens included. One more rule is not mirrored: the
// queen threats look at the lowest-numbered enemy queen, which the flip
// changes when a side has two; the positions here have at most one each.
TEST_F(EvalTest, ColourFlipNegatesEveryStageButSpace) {
  for (const char* text : VARIED_FENS) {
    const Position pos = from_fen(text);
    ASSERT_LE(popcount(pos.pieces(WHITE, QUEEN)), 1) << text;
    ASSERT_LE(popcount(pos.pieces(BLACK, QUEEN)), 1) << text;
    const auto original = stage_changes(pos);
    const auto flipped = stage_changes(from_fen(flip_fen(text)));
    for (std::size_t i = 0; i < STAGES.size(); ++i) {
      if (std::string(STAGES[i]) == "space") continue;
      EXPECT_EQ(flipped[i], (Score{-original[i].mg, -original[i].eg})) << text << " " << STAGES[i];
    }
  }
}

// Mirroring the files (a <-> h) changes nothing but the king stage, whose
// shelter start value and f-pawn attack favour particular files, as long as
// no queen is on the board: the queen's square values are the only ones that
// are not left-right symmetric. Catches shifts that wrap between the a- and
// h-files.
TEST_F(EvalTest, FileMirrorChangesOnlyTheKingStageWithoutQueens) {
  int compared = 0;
  for (const char* text : VARIED_FENS) {
    const Position pos = from_fen(text);
    if (pos.pieces(WHITE, QUEEN) | pos.pieces(BLACK, QUEEN)) continue;
    ++compared;
    const auto original = stage_changes(pos);
    const auto mirrored = stage_changes(from_fen(mirror_files_fen(text)));
    for (std::size_t i = 0; i < STAGES.size(); ++i) {
      if (std::string(STAGES[i]) == "king") continue;
      EXPECT_EQ(mirrored[i], original[i]) << text << " " << STAGES[i];
    }
  }
  EXPECT_GE(compared, 5);
}

// The front end evaluates and traces on its own thread with its own pawn
// table while the search thread evaluates with the process-wide one: neither
// sees the other's cache entries or trace records.
TEST_F(EvalTest, TraceBesideAnEvaluatingThread) {
  const Position searched = from_fen(VARIED_FENS[2]);
  const Position shown = from_fen(VARIED_FENS[5]);
  const int searchedScore = evaluate(searched);
  const std::string shownTrace = evaluate_trace_string(shown, table);

  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::thread search([&] {
    for (int i = 0; i < 20000 && !done.load(); ++i) {
      if (evaluate(searched) != searchedScore) wrong.fetch_add(1);
      if (Eval::g_evalTraceN != 0) wrong.fetch_add(1);  // this thread never traced
    }
  });
  for (int i = 0; i < 200; ++i) EXPECT_EQ(evaluate_trace_string(shown, table), shownTrace);
  done = true;
  search.join();
  EXPECT_EQ(wrong.load(), 0);
}

}  // namespace
}  // namespace evaltest
