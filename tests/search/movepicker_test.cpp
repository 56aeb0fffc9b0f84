#include "search/movepicker.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "board/fen.h"
#include "board/position_fixture.h"
#include "movegen/attack.h"
#include "movegen/movegen.h"

namespace {

using Picker = MovePicker;

struct Picked {
  unsigned move;
  int stage, score, see;
};

std::vector<Picked> drain(MovePicker& picker) {
  std::vector<Picked> out;
  for (int guard = 0; guard < 1000; ++guard) {
    const unsigned move = picker.next();
    if (move == MOVE_NONE) {
      EXPECT_EQ(picker.lastStage, Picker::STAGE_END);
      EXPECT_EQ(picker.next(), MOVE_NONE);  // stays exhausted
      return out;
    }
    out.push_back({move, picker.lastStage, picker.lastScore, picker.lastSee});
  }
  ADD_FAILURE() << "picker does not end";
  return out;
}

std::vector<unsigned> moves_of(const std::vector<Picked>& picked) {
  std::vector<unsigned> moves;
  for (const Picked& p : picked) moves.push_back(p.move);
  return moves;
}

std::vector<unsigned> sorted(std::vector<unsigned> moves) {
  std::sort(moves.begin(), moves.end());
  return moves;
}

std::vector<unsigned> pseudo_legal(Position& position) {
  std::vector<unsigned> moves;
  MoveGen::generate_pseudo_legal(position, moves);
  return moves;
}

unsigned find_move(Position& position, const std::string& text) {
  for (const unsigned move : pseudo_legal(position))
    if (move_to_uci(move) == text) return move;
  ADD_FAILURE() << "no move " << text;
  return MOVE_NONE;
}

const Picked* find_picked(const std::vector<Picked>& picked, unsigned move) {
  for (const Picked& p : picked)
    if (p.move == move) return &p;
  return nullptr;
}

bool is_quiet(unsigned move) { return !move_is_capture(move) && !move_is_promotion(move); }

// Ground truth for checks: make the move and look at the opponent's king.
bool checks_when_made(Position& position, unsigned move) {
  const Position::Undo undo = position.make_move(move);
  const bool check = position.in_check(position.side);
  position.unmake_move(undo);
  return check;
}

// Learning tables filled with reproducible noise, so that ordering depends on
// every term.
struct NoisyTables {
  std::vector<std::int32_t> history = std::vector<std::int32_t>(2 * 4096);
  std::vector<std::int32_t> capture = std::vector<std::int32_t>(2 * 6 * 64 * 6);
  std::vector<std::int32_t> cont[3];

  NoisyTables() {
    std::mt19937 rng(12345);
    std::uniform_int_distribution<std::int32_t> value(-16000, 16000);
    for (auto& v : history) v = value(rng);
    for (auto& v : capture) v = value(rng);
    for (auto& table : cont) {
      table.resize(768 * 768);
      for (auto& v : table) v = value(rng);
    }
  }

  PickerHeuristics heuristics() const {
    PickerHeuristics h;
    h.historyHeuristic = history.data();
    h.captureHistory = capture.data();
    h.continuationHistory = cont[0].data();
    h.continuationHistory2 = cont[1].data();
    h.continuationHistory4 = cont[2].data();
    return h;
  }
};

const NoisyTables& noisy_tables() {
  static const NoisyTables tables;
  return tables;
}

struct Sample {
  Position position;
  unsigned lastMove;  // the move that led here (0 for a suite position)
};

// The suite positions, their children and grandchildren: some 7000
// positions with checks, pins, promotions, castling and en passant.
const std::vector<Sample>& samples() {
  static const std::vector<Sample> all = [] {
    std::vector<Sample> out;
    std::ifstream file(std::string(QV_TEST_DATA_DIR) + "/perft_suite.txt");
    std::set<std::string> seen;
    std::string line;
    while (std::getline(file, line)) {
      if (line.empty() || line[0] == '#') continue;
      const std::string fen = line.substr(0, line.find(';'));
      if (!seen.insert(fen).second) continue;
      Position root = position_from_fen(fen);
      out.push_back({root, MOVE_NONE});
      std::vector<unsigned> first;
      MoveGen::generate_legal(root, first);
      for (const unsigned m1 : first) {
        const Position::Undo u1 = root.make_move(m1);
        out.push_back({root, m1});
        std::vector<unsigned> second;
        MoveGen::generate_legal(root, second);
        for (std::size_t i = 0; i < second.size(); ++i) {
          const Position::Undo u2 = root.make_move(second[i]);
          out.push_back({root, second[i]});
          root.unmake_move(u2);
        }
        root.unmake_move(u1);
      }
    }
    EXPECT_GT(out.size(), 5000u);
    return out;
  }();
  return all;
}

TEST(MoveGivesCheck, AgreesWithMakingTheMove) {
  int compared = 0, failures = 0;
  for (const Sample& sample : samples()) {
    Position position = sample.position;
    for (const unsigned move : pseudo_legal(position)) {
      ++compared;
      const bool expected = checks_when_made(position, move);
      if (move_gives_check(position, move) != expected && ++failures <= 10)
        ADD_FAILURE() << position.to_fen() << " " << move_to_uci(move) << " expected " << expected;
    }
  }
  EXPECT_GT(compared, 200000);
}

// The picker's own check test (direct squares first, the full test only for
// moves that could open a line) agrees with the full test on every
// pseudo-legal move; without heuristics a quiet score is the check bonus or 0.
TEST(MoveGivesCheck, PickerCheckTestAgreesWithTheFullTest) {
  const auto compare = [](Position& position, int& compared, int& failures) {
    PickerHeuristics none;
    MovePicker picker(position, MOVE_NONE, none);
    picker.next();  // the capture stage computes the checking squares
    for (const unsigned move : pseudo_legal(position)) {
      ++compared;
      const bool expected = move_gives_check(position, move);
      if ((picker.quiet_score(move) != 0) != expected && ++failures <= 10)
        ADD_FAILURE() << position.to_fen() << " " << move_to_uci(move) << " expected " << expected;
    }
  };
  int compared = 0, failures = 0;
  for (const Sample& sample : samples()) {
    Position position = sample.position;
    compare(position, compared, failures);
  }
  EXPECT_GT(compared, 200000);

  // Hand-made boards where our pieces already attack the enemy king: then
  // every move but the attacker's own can keep the check.
  for (const char* text : {"4k3/8/8/8/8/8/3P4/4K2R w K - 0 1", "4k3/8/8/8/1B6/8/3P4/4K3 w - - 0 1",
                           "4k3/8/8/2N5/8/8/3P4/4K3 w - - 0 1"}) {
    Position position = position_from_fen(text);
    position.set_piece_at_square(W_ROOK, SQ_E1 + 8 * 3);  // e4, on the king's file
    compare(position, compared, failures);
  }
}

TEST(MoveGivesCheck, CastlingRookCheckAndNoEnemyKing) {
  Position castle = position_from_fen("5k2/8/8/8/8/8/8/4K2R w K - 0 1");
  EXPECT_TRUE(move_gives_check(castle, find_move(castle, "e1g1")));
  EXPECT_FALSE(move_gives_check(castle, find_move(castle, "h1h2")));

  Position kingless = position_from_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const unsigned rookCheck = find_move(kingless, "a1a8");
  EXPECT_TRUE(move_gives_check(kingless, rookCheck));
  kingless.remove_piece_at_square(B_KING, SQ_E8);
  for (const unsigned move : pseudo_legal(kingless))
    EXPECT_FALSE(move_gives_check(kingless, move)) << move_to_uci(move);

  // Nor does the picker award a check bonus.
  PickerHeuristics none;
  MovePicker picker(kingless, MOVE_NONE, none);
  const std::vector<Picked> picked = drain(picker);
  const Picked* rook = find_picked(picked, rookCheck);
  ASSERT_NE(rook, nullptr);
  EXPECT_EQ(rook->score, 0);
}

// Checks shared by every full-list mode: stages never go back, scores fall
// within a stage, and each stage holds the kind of move it should.
void expect_well_staged(const std::vector<Picked>& picked, int threshold) {
  for (std::size_t i = 0; i < picked.size(); ++i) {
    const Picked& p = picked[i];
    if (i > 0) {
      const Picked& prev = picked[i - 1];
      ASSERT_GE(p.stage, prev.stage) << move_to_uci(p.move);
      if (p.stage == prev.stage && p.stage != Picker::STAGE_FORCED &&
          p.stage != Picker::STAGE_REFUTATIONS) {
        EXPECT_LE(p.score, prev.score) << move_to_uci(p.move);
      }
    }
    switch (p.stage) {
      case Picker::STAGE_GOOD_CAPTURES:
        EXPECT_FALSE(is_quiet(p.move));
        if (move_is_capture(p.move)) {
          EXPECT_GE(p.see, std::min(threshold, -112));
        }
        break;
      case Picker::STAGE_REFUTATIONS:
      case Picker::STAGE_QUIETS:
        EXPECT_TRUE(is_quiet(p.move)) << move_to_uci(p.move);
        EXPECT_EQ(p.see, Picker::SEE_NONE);
        break;
      case Picker::STAGE_BAD_CAPTURES:
        EXPECT_TRUE(move_is_capture(p.move));
        EXPECT_LT(p.see, threshold);
        break;
      default:
        break;
    }
  }
}

TEST(MovePickerModes, MainAndEvasionReturnEveryMoveOnce) {
  const PickerHeuristics base = noisy_tables().heuristics();
  std::size_t index = 0, inCheck = 0;
  for (const Sample& sample : samples()) {
    Position position = sample.position;
    const std::vector<unsigned> all = pseudo_legal(position);
    if (all.empty()) continue;
    std::vector<unsigned> quiets;
    for (const unsigned m : all)
      if (is_quiet(m)) quiets.push_back(m);
    ++index;

    PickerHeuristics h = base;
    h.prevMove1 = sample.lastMove;
    h.prevMove2 = samples()[index / 2].lastMove;
    h.prevMove4 = samples()[index / 3].lastMove;
    if (!quiets.empty()) {
      h.killer1 = quiets[index % quiets.size()];
      h.counterMove = quiets[(index * 5 + 1) % quiets.size()];
    }
    h.killer2 = samples()[(index * 7) % samples().size()].lastMove;  // often not playable here
    const unsigned ttMove = all[(index * 3) % all.size()];

    MovePicker::Config config;
    config.depth = int(index % 16);
    MovePicker picker(position, ttMove, h, config);
    const std::vector<Picked> picked = drain(picker);
    ASSERT_EQ(sorted(moves_of(picked)), sorted(all)) << position.to_fen();
    // The hash move goes first when it is legal; an illegal one comes with the rest.
    std::vector<unsigned> legal;
    MoveGen::generate_legal(position, legal);
    const bool ttLegal = std::find(legal.begin(), legal.end(), ttMove) != legal.end();
    EXPECT_EQ(picked.front().move == ttMove && picked.front().stage == Picker::STAGE_FORCED,
              ttLegal);
    expect_well_staged(picked, 0);

    const bool check = position.in_check(position.side);
    for (const Picked& p : picked) {
      if (p.stage == Picker::STAGE_REFUTATIONS) {
        EXPECT_FALSE(check) << "no refutation stage in check";
        EXPECT_TRUE(p.move == h.killer1 || p.move == h.killer2 || p.move == h.counterMove);
        EXPECT_GT(p.score, 321999);
      }
    }
    if (check) {
      ++inCheck;
      // Evasion mode asked for directly gives the same sequence.
      MovePicker::Config evasion;
      evasion.mode = Picker::MODE_EVASION;
      MovePicker direct(position, ttMove, h, evasion);
      EXPECT_EQ(moves_of(drain(direct)), moves_of(picked));
    }
  }
  EXPECT_GT(inCheck, 100u);
}

TEST(MovePickerModes, RootReturnsEveryRootMoveOncePreferredFirst) {
  const PickerHeuristics h = noisy_tables().heuristics();
  std::size_t index = 0;
  for (const Sample& sample : samples()) {
    Position position = sample.position;
    std::vector<unsigned> legal;
    MoveGen::generate_legal(position, legal);
    if (legal.empty()) continue;
    ++index;
    const unsigned first = legal[index % legal.size()];
    const unsigned second = legal[(index * 7 + 3) % legal.size()];
    MovePicker picker(position, legal, first, second, h);
    const std::vector<Picked> picked = drain(picker);
    ASSERT_EQ(sorted(moves_of(picked)), sorted(legal)) << position.to_fen();
    EXPECT_EQ(picked[0].move, first);
    if (second != first) {
      EXPECT_EQ(picked[1].move, second);
    }
    expect_well_staged(picked, 0);
    for (const Picked& p : picked) EXPECT_NE(p.stage, Picker::STAGE_REFUTATIONS);
  }
}

TEST(MovePickerModes, RootIgnoresPreferredMovesOutsideTheList) {
  Position position = position_from_fen(fen::START_FEN);
  std::vector<unsigned> legal;
  MoveGen::generate_legal(position, legal);
  const unsigned foreign = make_move_value(SQ_E1, SQ_E8, W_KING);
  MovePicker picker(position, legal, foreign, legal[5], PickerHeuristics{});
  const std::vector<Picked> picked = drain(picker);
  EXPECT_EQ(picked[0].move, legal[5]);
  EXPECT_EQ(picked[1].stage, Picker::STAGE_QUIETS);
  EXPECT_EQ(sorted(moves_of(picked)), sorted(legal));
}

// Modes 4 and 5 return exactly the captures that reach the threshold (mode 4
// also every promotion), nothing else, and never a bad capture.
TEST(MovePickerModes, ThresholdAndRecaptureModesYieldOnlyWhatTheyMay) {
  const PickerHeuristics h = noisy_tables().heuristics();
  std::size_t index = 0;
  for (const Sample& sample : samples()) {
    Position position = sample.position;
    const std::vector<unsigned> all = pseudo_legal(position);
    if (all.empty()) continue;
    ++index;
    const unsigned ttMove = all[index % all.size()];
    int target = NO_SQUARE;
    for (const unsigned m : all)
      if (move_is_capture(m)) target = move_to(m);

    for (const int threshold : {-350, 0, 200}) {
      std::vector<unsigned> wanted4, wanted5;
      for (const unsigned m : all) {
        const bool capture = move_is_capture(m);
        const bool reaches = capture && Attack::see_gain(position, m) >= threshold;
        if (reaches || (!capture && move_is_promotion(m))) wanted4.push_back(m);
        if (reaches && move_to(m) == target) wanted5.push_back(m);
      }
      MovePicker::Config config;
      config.seeThreshold = threshold;
      config.mode = Picker::MODE_THRESHOLD_CAPTURES;
      MovePicker picker4(position, ttMove, h, config);
      const std::vector<Picked> picked4 = drain(picker4);
      ASSERT_EQ(sorted(moves_of(picked4)), sorted(wanted4)) << position.to_fen();

      config.mode = Picker::MODE_RECAPTURES;
      config.targetSquare = target;
      MovePicker picker5(position, ttMove, h, config);
      const std::vector<Picked> picked5 = drain(picker5);
      ASSERT_EQ(sorted(moves_of(picked5)), sorted(wanted5)) << position.to_fen();

      for (const std::vector<Picked>* picked : {&picked4, &picked5})
        for (const Picked& p : *picked)
          EXPECT_LE(p.stage, Picker::STAGE_GOOD_CAPTURES) << move_to_uci(p.move);
    }
  }
}

// Quiescence: captures and promotions, losing captures last; with checks also
// the quiet moves that give check without losing material.
TEST(MovePickerModes, QuiescenceYieldsNoisyMovesAndSafeQuietChecks) {
  const PickerHeuristics h = noisy_tables().heuristics();
  std::size_t withQuietChecks = 0;
  for (const Sample& sample : samples()) {
    Position position = sample.position;
    std::vector<unsigned> noisy, checks;
    for (const unsigned m : pseudo_legal(position)) {
      if (!is_quiet(m))
        noisy.push_back(m);
      else if (checks_when_made(position, m) && Attack::see_ge(position, m, 0))
        checks.push_back(m);
    }
    MovePicker plain(position, false, MOVE_NONE, h);
    const std::vector<Picked> picked = drain(plain);
    ASSERT_EQ(sorted(moves_of(picked)), sorted(noisy)) << position.to_fen();
    expect_well_staged(picked, 0);

    std::vector<unsigned> withChecks = noisy;
    withChecks.insert(withChecks.end(), checks.begin(), checks.end());
    MovePicker checking(position, true, MOVE_NONE, h);
    const std::vector<Picked> pickedChecks = drain(checking);
    ASSERT_EQ(sorted(moves_of(pickedChecks)), sorted(withChecks)) << position.to_fen();
    expect_well_staged(pickedChecks, 0);
    withQuietChecks += !checks.empty();
  }
  EXPECT_GT(withQuietChecks, 100u);
}

TEST(MovePickerForcedMove, QuiescenceHashMove) {
  const PickerHeuristics none;
  Position position = position_from_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const unsigned quietCheck = find_move(position, "a1a8");
  const unsigned quiet = find_move(position, "a1a2");

  MovePicker withoutChecks(position, false, quietCheck, none);
  EXPECT_TRUE(drain(withoutChecks).empty());

  MovePicker notACheck(position, true, quiet, none);
  EXPECT_EQ(moves_of(drain(notACheck)), std::vector<unsigned>{quietCheck});

  MovePicker withChecks(position, true, quietCheck, none);
  const std::vector<Picked> picked = drain(withChecks);
  ASSERT_EQ(picked.size(), 1u);
  EXPECT_EQ(picked[0].move, quietCheck);
  EXPECT_EQ(picked[0].stage, Picker::STAGE_FORCED);

  // The same check onto a square a knight guards loses the rook.
  Position guarded = position_from_fen("4k3/8/1n6/8/8/8/8/R3K3 w - - 0 1");
  MovePicker losing(guarded, true, find_move(guarded, "a1a8"), none);
  EXPECT_TRUE(drain(losing).empty());
}

TEST(MovePickerForcedMove, IllegalOrUnacceptableHashMoveIsIgnored) {
  const PickerHeuristics none;
  Position position = position_from_fen("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
  const unsigned losingCapture = find_move(position, "d1d5");
  MovePicker::Config config;
  config.mode = Picker::MODE_THRESHOLD_CAPTURES;
  MovePicker threshold(position, losingCapture, none, config);
  EXPECT_TRUE(drain(threshold).empty());

  // A move of a piece that is not there.
  MovePicker main(position, make_move_value(SQ_A1, SQ_A1 + 8, W_ROOK), none);
  const std::vector<Picked> picked = drain(main);
  EXPECT_NE(picked.front().stage, Picker::STAGE_FORCED);
  EXPECT_EQ(sorted(moves_of(picked)), sorted(pseudo_legal(position)));
}

TEST(MovePickerCaptures, LosingCaptureComesLast) {
  const PickerHeuristics none;
  Position position = position_from_fen("4k3/8/2p5/3p4/8/8/8/3QK3 w - - 0 1");
  const unsigned capture = find_move(position, "d1d5");
  MovePicker picker(position, MOVE_NONE, none);
  const std::vector<Picked> picked = drain(picker);
  ASSERT_EQ(picked.size(), pseudo_legal(position).size());
  const Picked& last = picked.back();
  EXPECT_EQ(last.move, capture);
  EXPECT_EQ(last.stage, Picker::STAGE_BAD_CAPTURES);
  EXPECT_EQ(last.see, -800);
  EXPECT_EQ(last.score, 1000 - 900 + 1000000 - 200000);
  EXPECT_EQ(picked[picked.size() - 2].stage, Picker::STAGE_QUIETS);

  MovePicker::Config config;
  config.mode = Picker::MODE_RECAPTURES;
  config.targetSquare = move_to(capture);
  MovePicker recapture(position, MOVE_NONE, none, config);
  EXPECT_TRUE(drain(recapture).empty());
  config.seeThreshold = -800;
  MovePicker lenient(position, MOVE_NONE, none, config);
  EXPECT_EQ(moves_of(drain(lenient)), std::vector<unsigned>{capture});
}

// A checking capture may lose up to 80 (plus 4 per depth beyond 4, at most
// 112 in all in the main mode) and still be tried with the good captures.
// Bishop takes d5 with check; two knights and two rooks fight over it: -90.
TEST(MovePickerCaptures, CheckingCaptureMarginGrowsWithDepth) {
  const PickerHeuristics none;
  const struct {
    const char* fen;
    int mode, depth, stage;
  } cases[] = {
      {"6k1/8/1n6/3p4/5n2/1B6/3R3K/3R4 w - - 0 1", Picker::MODE_MAIN, 6, 4},   // margin 88
      {"6k1/8/1n6/3p4/5n2/1B6/3R3K/3R4 w - - 0 1", Picker::MODE_MAIN, 7, 1},   // margin 92
      {"6k1/8/1n6/3p4/5n2/1B6/3R3K/3R4 w - - 0 1", Picker::MODE_MAIN, 12, 1},  // margin 112
      {"6k1/8/1n6/3p4/5n2/1B6/3R3K/3R4 w - - 0 1", Picker::MODE_EVASION, 12, 4},
      {"6k1/8/1n6/3p4/5n2/1B6/3R3K/3R4 w - - 0 1", Picker::MODE_QUIESCENCE, 12, 4},
      {"7k/8/1n6/3p4/5n2/1B6/3R3K/3R4 w - - 0 1", Picker::MODE_MAIN, 12, 4},  // no check
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.fen) + " depth " + std::to_string(c.depth));
    Position position = position_from_fen(c.fen);
    const unsigned capture = find_move(position, "b3d5");
    MovePicker::Config config;
    config.mode = c.mode;
    config.depth = c.depth;
    MovePicker picker(position, MOVE_NONE, none, config);
    const std::vector<Picked> picked = drain(picker);
    const Picked* p = find_picked(picked, capture);
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p->stage, c.stage);
    EXPECT_EQ(p->see, -90);
  }
}

TEST(MovePickerCaptures, EqualScoresKeepGenerationOrder) {
  const PickerHeuristics none;
  Position position = position_from_fen("4k3/8/8/1n1n1n1n/P1P1P1P1/5r2/8/4K1N1 w - - 0 1");
  MovePicker picker(position, MOVE_NONE, none);
  std::vector<std::string> texts;
  for (const Picked& p : drain(picker))
    if (p.stage == Picker::STAGE_GOOD_CAPTURES) texts.push_back(move_to_uci(p.move));
  const std::vector<std::string> expected = {"g1f3", "a4b5", "c4b5", "c4d5",
                                             "e4d5", "e4f5", "g4f5", "g4h5"};
  EXPECT_EQ(texts, expected);
}

TEST(MovePickerScores, CaptureScores) {
  std::vector<std::int32_t> captureHistory(2 * 6 * 64 * 6);
  PickerHeuristics h;
  const int d6 = 43;

  Position ep = position_from_fen("4k3/8/8/3pP3/8/8/8/4K3 w - d6 0 1");
  const unsigned epCapture = find_move(ep, "e5d6");
  EXPECT_EQ(MovePicker::capture_score(ep, epCapture, h), 1000 - 100 + 1000000);
  // History divided by 4, truncating toward zero; indexed by captured pawn.
  captureHistory[((WHITE * 6 + PAWN) * 64 + d6) * 6 + PAWN] = -7;
  h.captureHistory = captureHistory.data();
  EXPECT_EQ(MovePicker::capture_score(ep, epCapture, h), 1000 - 100 + 1000000 - 1);
  h.prevMove1 = make_move_value(SQ_E8, d6, B_KING);  // landing where the last move landed
  EXPECT_EQ(MovePicker::capture_score(ep, epCapture, h), 1000 - 100 + 1000000 - 1 + 180000);

  Position promo = position_from_fen("1r2k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  const unsigned queen = find_move(promo, "a7b8q");
  const unsigned knight = find_move(promo, "a7b8n");
  EXPECT_EQ(MovePicker::capture_score(promo, knight, PickerHeuristics{}),
            5000 - 100 + 1000000 + 16 * 320);
  EXPECT_EQ(MovePicker::promotion_bonus(queen), 16 * 900);
  EXPECT_EQ(MovePicker::promotion_bonus(find_move(promo, "e1e2")), 0);

  // In the picker the queen promotion also checks along the eighth rank.
  MovePicker picker(promo, MOVE_NONE, PickerHeuristics{});
  const std::vector<Picked> picked = drain(picker);
  const Picked* q = find_picked(picked, queen);
  ASSERT_NE(q, nullptr);
  EXPECT_EQ(q->score, 5000 - 100 + 1000000 + 16 * 900 + 275000);
  EXPECT_EQ(q->see, 1300);
}

TEST(MovePickerScores, QuietPromotionsOrderedByCheckAndPiece) {
  Position position = position_from_fen("4k3/P7/8/8/8/8/8/4K3 w - - 0 1");
  MovePicker picker(position, MOVE_NONE, PickerHeuristics{});
  std::vector<std::pair<std::string, int>> got;
  for (const Picked& p : drain(picker))
    if (p.stage == Picker::STAGE_GOOD_CAPTURES) got.push_back({move_to_uci(p.move), p.score});
  const std::vector<std::pair<std::string, int>> expected = {
      {"a7a8q", 1275000 + 16 * 900},
      {"a7a8r", 1275000 + 16 * 500},
      {"a7a8n", 1000000 + 16 * 320},
      {"a7a8b", 1000000 + 16 * 330},
  };
  // Knight before bishop would be wrong: 5120 < 5280.
  std::vector<std::pair<std::string, int>> byScore = expected;
  std::stable_sort(byScore.begin(), byScore.end(),
                   [](const auto& a, const auto& b) { return a.second > b.second; });
  EXPECT_EQ(got, byScore);
}

TEST(MovePickerScores, QuietScores) {
  Position position = position_from_fen("4k3/8/8/8/8/8/8/R3K3 w - - 0 1");
  const unsigned a2 = find_move(position, "a1a2");
  const unsigned a3 = find_move(position, "a1a3");
  const unsigned a4 = find_move(position, "a1a4");
  const unsigned a8 = find_move(position, "a1a8");         // check
  const unsigned prev1 = make_move_value(52, 60, B_KING);  // ...Ke7-e8
  const unsigned prev2 = make_move_value(4, 12, W_KING);
  std::vector<std::int32_t> history(2 * 4096), cont(768 * 768), cont2(768 * 768);
  history[WHITE * 4096 + SQ_A1 * 64 + move_to(a3)] = 1001;
  cont[(B_KING * 64 + 60) * 768 + W_ROOK * 64 + move_to(a3)] = -9;  // halves to -4
  cont2[(W_KING * 64 + 12) * 768 + W_ROOK * 64 + move_to(a3)] = 7;  // halves to 3

  PickerHeuristics h;
  h.historyHeuristic = history.data();
  h.continuationHistory = cont.data();
  h.continuationHistory2 = cont2.data();
  h.continuationHistory4 = cont2.data();  // prevMove4 is 0: not read
  h.prevMove1 = prev1;
  h.prevMove2 = prev2;
  h.killer1 = a4;
  h.killer2 = a2;
  h.counterMove = a2;  // killer2 and counter move: the killer2 bonus only
  MovePicker picker(position, MOVE_NONE, h);
  const std::vector<Picked> picked = drain(picker);
  EXPECT_EQ(find_picked(picked, a2)->score, 220000);
  EXPECT_EQ(find_picked(picked, a3)->score, 1001 - 4 + 3);
  EXPECT_EQ(find_picked(picked, a8)->score, 240000);
  EXPECT_EQ(find_picked(picked, a4)->score, 320000);
  EXPECT_EQ(find_picked(picked, a4)->stage, Picker::STAGE_QUIETS);  // 320000 < 322000
}

TEST(MovePickerRefutations, ScoreThresholdAndExchangeGate) {
  // A knight on c5 guards a4: Ra4 hangs the rook, Ra2 and Ra3 are safe.
  Position position = position_from_fen("4k3/8/8/2n5/8/8/8/R3K3 w - - 0 1");
  const unsigned a2 = find_move(position, "a1a2");
  const unsigned a3 = find_move(position, "a1a3");
  const unsigned a4 = find_move(position, "a1a4");
  const auto h_of = [](std::vector<std::int32_t>& history) {
    PickerHeuristics h;
    h.historyHeuristic = history.data();
    return h;
  };
  const auto stage_of = [&](const PickerHeuristics& h, unsigned move) {
    MovePicker picker(position, MOVE_NONE, h);
    const std::vector<Picked> picked = drain(picker);
    const Picked* p = find_picked(picked, move);
    EXPECT_NE(p, nullptr);
    return p ? p->stage : -1;
  };
  const auto entry = [](unsigned move) {
    return WHITE * 4096 + move_from(move) * 64 + move_to(move);
  };

  std::vector<std::int32_t> history(2 * 4096);
  PickerHeuristics h = h_of(history);
  h.killer1 = a2;
  history[entry(a2)] = 2000;  // 322000: early
  EXPECT_EQ(stage_of(h, a2), Picker::STAGE_REFUTATIONS);
  history[entry(a2)] = 1999;  // 321999: waits with the quiet moves
  EXPECT_EQ(stage_of(h, a2), Picker::STAGE_QUIETS);

  h = h_of(history);
  h.counterMove = a3;
  history[entry(a3)] = 42000;  // 280000 + 42000
  EXPECT_EQ(stage_of(h, a3), Picker::STAGE_REFUTATIONS);
  history[entry(a3)] = 41999;
  EXPECT_EQ(stage_of(h, a3), Picker::STAGE_QUIETS);

  // killer1 and counter move at once: one bonus, one refutation.
  h = h_of(history);
  h.killer1 = h.counterMove = a2;
  history[entry(a2)] = 2000;
  {
    MovePicker picker(position, MOVE_NONE, h);
    const std::vector<Picked> picked = drain(picker);
    EXPECT_EQ(find_picked(picked, a2)->score, 322000);
    EXPECT_EQ(
        std::count_if(picked.begin(), picked.end(), [&](const Picked& p) { return p.move == a2; }),
        1);
  }

  // A strong but hanging killer stays a quiet move and stops the candidates
  // behind it; a stronger safe one ahead of it still goes early.
  h = h_of(history);
  h.killer1 = a4;
  h.counterMove = a3;
  history[entry(a4)] = 10000;  // 330000
  history[entry(a3)] = 50000;  // 330000: sorted after killer1
  EXPECT_EQ(stage_of(h, a4), Picker::STAGE_QUIETS);
  EXPECT_EQ(stage_of(h, a3), Picker::STAGE_QUIETS);
  history[entry(a3)] = 60000;  // 340000: tried first
  EXPECT_EQ(stage_of(h, a3), Picker::STAGE_REFUTATIONS);
  EXPECT_EQ(stage_of(h, a4), Picker::STAGE_QUIETS);

  // A killer that is the hash move comes only once, as the hash move.
  h = h_of(history);
  h.killer1 = a2;
  history[entry(a2)] = 5000;
  MovePicker picker(position, a2, h);
  const std::vector<Picked> picked = drain(picker);
  EXPECT_EQ(picked[0].move, a2);
  EXPECT_EQ(
      std::count_if(picked.begin(), picked.end(), [&](const Picked& p) { return p.move == a2; }),
      1);
}

TEST(MovePickerStages, OrderOfStagesInTheMainMode) {
  // Hash move, a winning capture, the killer, quiet moves, the losing capture.
  Position position = position_from_fen("4k3/8/2p5/3p4/6n1/8/8/R2QK3 w - - 0 1");
  const unsigned hashMove = find_move(position, "e1e2");
  const unsigned winning = find_move(position, "d1g4");
  const unsigned losing = find_move(position, "d1d5");
  const unsigned killer = find_move(position, "a1a7");
  std::vector<std::int32_t> history(2 * 4096);
  history[WHITE * 4096 + SQ_A1 * 64 + move_to(killer)] = 5000;
  PickerHeuristics h;
  h.historyHeuristic = history.data();
  h.killer1 = killer;
  MovePicker picker(position, hashMove, h);
  const std::vector<Picked> picked = drain(picker);
  ASSERT_GE(picked.size(), 5u);
  EXPECT_EQ(picked[0].move, hashMove);
  EXPECT_EQ(picked[0].stage, Picker::STAGE_FORCED);
  EXPECT_EQ(picked[0].see, Picker::SEE_NONE);
  EXPECT_EQ(picked[1].move, winning);
  EXPECT_EQ(picked[1].stage, Picker::STAGE_GOOD_CAPTURES);
  EXPECT_EQ(picked[2].move, killer);
  EXPECT_EQ(picked[2].stage, Picker::STAGE_REFUTATIONS);
  EXPECT_EQ(picked[2].score, 325000);
  EXPECT_EQ(picked[3].stage, Picker::STAGE_QUIETS);
  EXPECT_EQ(picked.back().move, losing);
  EXPECT_EQ(picked.back().stage, Picker::STAGE_BAD_CAPTURES);
  EXPECT_EQ(sorted(moves_of(picked)), sorted(pseudo_legal(position)));
}

TEST(MovePickerStages, InCheckTheMainModeBecomesEvasion) {
  // The rook on e2 checks; killers are not tried early.
  Position position = position_from_fen("4k3/8/8/8/8/8/4r3/R3K3 w - - 0 1");
  std::vector<std::int32_t> history(2 * 4096, 30000);
  PickerHeuristics h;
  h.historyHeuristic = history.data();
  h.killer1 = find_move(position, "e1d1");
  MovePicker::Config config;
  config.depth = 10;
  MovePicker picker(position, MOVE_NONE, h, config);
  const std::vector<Picked> picked = drain(picker);
  for (const Picked& p : picked) EXPECT_NE(p.stage, Picker::STAGE_REFUTATIONS);
  EXPECT_EQ(sorted(moves_of(picked)), sorted(pseudo_legal(position)));
}

}  // namespace
