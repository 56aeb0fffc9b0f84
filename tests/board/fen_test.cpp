#include "board/fen.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "board/position_fixture.h"
#include "board/zobrist.h"

namespace {

constexpr const char* KIWIPETE =
    "r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq - 0 1";

class FenTest : public ::testing::Test {
 protected:
  void SetUp() override { init_attack_tables(); }

  // Parses into a fresh position; returns the error text ("" on success).
  static std::string error_of(const std::string& text) {
    Position position;
    std::string error;
    if (fen::parse_fen(text, position, error)) return "";
    EXPECT_FALSE(error.empty()) << text;
    return error;
  }
};

TEST_F(FenTest, RejectsWithTheFirstProblemMessage) {
  struct Case {
    const char* fen;
    const char* message;
  };
  const Case cases[] = {
      // Missing fields.
      {"", "empty"},
      {"   ", "empty"},
      {"8/8/8/8/8/8/8/8", "missing side"},
      {"8/8/8/8/8/8/8/8 w", "missing castling"},
      {"8/8/8/8/8/8/8/8 w -", "missing ep"},
      // Board field.
      {"rnbqkbnr/ppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "bad file count"},
      {"rnbqkbnr//8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "bad file count"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBN w KQkq - 0 1", "board not fully filled"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/ w KQkq - 0 1", "board not fully filled"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP w KQkq - 0 1", "board not fully filled"},
      {"8/8/8/8/8/8/8/8/8 w - - 0 1", "too many ranks"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR/ w KQkq - 0 1", "too many ranks"},
      {"9/8/8/8/8/8/8/8 w - - 0 1", "invalid empty-square count"},
      {"rnbqkbnr/pppppppp/08/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 0 1", "invalid empty-square count"},
      {"4k4/8/8/8/8/8/8/4K3 w - - 0 1", "file overflow"},
      {"4k3/8/8/8/8/8/ppppppppp/4K3 w - - 0 1", "file overflow (when placing piece)"},
      {"4k3/8/8/8/x7/8/8/4K3 w - - 0 1", "invalid piece char: x"},
      // Side, castling and en-passant fields.
      {"4k3/8/8/8/8/8/8/4K3 W - - 0 1", "invalid side"},
      {"4k3/8/8/8/8/8/8/4K3 white - - 0 1", "invalid side"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KQkqK - 0 1", "duplicate castling right"},
      {"r3k2r/8/8/8/8/8/8/R3K2R w KX - 0 1", "invalid castling char: X"},
      {"4k3/8/8/8/8/8/8/4K3 w -- - 0 1", "invalid castling char: -"},
      {"4k3/8/8/8/8/8/8/4K3 w - e9 0 1", "invalid ep coordinates"},
      {"4k3/8/8/8/8/8/8/4K3 w - i6 0 1", "invalid ep coordinates"},
      {"4k3/8/8/8/8/8/8/4K3 w - e 0 1", "invalid en-passant"},
      {"4k3/8/8/8/8/8/8/4K3 w - e33 0 1", "invalid en-passant"},
      // Semantic checks, in order of precedence.
      {"4k3/8/8/8/8/8/8/4K3 w - - -1 1", "halfmove clock cannot be negative"},
      {"8/8/8/8/8/8/8/8 w - - -1 1", "halfmove clock cannot be negative"},
      {"4k3/8/8/8/8/8/8/4K3 w - - 0 0", "fullmove number must be at least 1"},
      {"4k3/8/8/8/8/8/8/K3K3 w - - 0 1", "expected exactly one white king"},
      {"P3k3/8/8/8/8/8/8/K3K3 w - - 0 1", "expected exactly one white king"},
      {"8/8/8/8/8/8/8/4K3 w - - 0 1", "expected exactly one black king"},
      {"P3k3/8/8/8/8/8/8/4K3 w - - 0 1", "pawns cannot be on first or eighth rank"},
      {"4k3/8/8/8/8/8/8/p3K3 b - - 0 1", "pawns cannot be on first or eighth rank"},
      {"4k3/8/4p3/8/8/8/8/4K3 w - e6 0 1", "en-passant target square is occupied"},
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR w KQkq e3 0 1",
       "en-passant square is on the wrong rank"},
      {"4k3/8/8/8/8/8/8/4K3 w - e6 0 1", "en-passant square has no matching pawn"},
      {"4k3/8/8/4P3/8/8/8/4K3 w - e6 0 1", "en-passant square has no matching pawn"},
      {"4k3/8/8/8/8/8/8/4K3 w K - 0 1", "white kingside castling right without king and rook"},
      {"4k3/8/8/8/8/8/8/R3K3 w K - 0 1", "white kingside castling right without king and rook"},
      {"4k3/8/8/8/8/8/8/4K2R w Q - 0 1", "white queenside castling right without king and rook"},
      {"4k3/8/8/8/8/8/8/R2K3R w Q - 0 1", "white queenside castling right without king and rook"},
      {"4k3/8/8/8/8/8/8/4K3 w k - 0 1", "black kingside castling right without king and rook"},
      {"1r2k3/8/8/8/8/8/8/4K3 w q - 0 1", "black queenside castling right without king and rook"},
      {"4k2R/8/8/8/8/8/8/4K3 b k - 0 1", "black kingside castling right without king and rook"},
      {"8/8/8/8/8/8/3k4/4K3 w - - 0 1", "kings are adjacent"},
      {"4k3/4R3/8/8/8/8/8/4K3 w - - 0 1", "side not to move is in check"},
      {"4k3/8/8/8/8/8/3p4/4K3 b - - 0 1", "side not to move is in check"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(error_of(c.fen), std::string("FEN parse error: ") + c.message) << c.fen;
}

TEST_F(FenTest, AcceptedInputsAndTheFieldsTheyGive) {
  struct Case {
    const char* fen;
    const char* canonical;  // what to_fen prints back
  };
  const Case cases[] = {
      {fen::START_FEN, fen::START_FEN},
      {KIWIPETE, KIWIPETE},
      // Clocks absent, replaced by words, followed by extra words, out of range.
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq -", fen::START_FEN},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - abc def", fen::START_FEN},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 3 9 moves e2e4",
       "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 3 9"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 5 x",
       "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 5 1"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 99999999999 7", fen::START_FEN},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 4 99999999999999999999",
       "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 4 1"},
      {"rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 2147483647 2147483647",
       "rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR w KQkq - 2147483647 2147483647"},
      {"  rnbqkbnr/pppppppp/8/8/8/8/PPPPPPPP/RNBQKBNR\tw  KQkq   -  0  1  ", fen::START_FEN},
      // Empty squares written in pieces; castling letters in any order.
      {"4k3/8/44/8/8/8/8/4K3 w - - 0 1", "4k3/8/8/8/8/8/8/4K3 w - - 0 1"},
      {"r3k2r/8/8/8/8/8/8/R3K2R b qkQK - 0 1", "r3k2r/8/8/8/8/8/8/R3K2R b KQkq - 0 1"},
      // A usable en-passant square stays.
      {"rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3",
       "rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3"},
      // An unusable one is dropped: no capturer after 1. e4 ...
      {"rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq e3 0 1",
       "rnbqkbnr/pppppppp/8/8/4P3/8/PPPP1PPP/RNBQKBNR b KQkq - 0 1"},
      // ... or a capture that would open the rank to the rook.
      {"4k3/8/8/KPp4r/8/8/8/8 w - c6 0 2", "4k3/8/8/KPp4r/8/8/8/8 w - - 0 2"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fen);
    Position position;
    std::string error = "untouched";
    ASSERT_TRUE(fen::parse_fen(c.fen, position, error)) << error;
    EXPECT_EQ(error, "untouched");
    EXPECT_EQ(position.to_fen(), c.canonical);
    EXPECT_EQ(fen::to_fen(position), c.canonical);
    // The keys are rebuilt and the history holds exactly the current key.
    EXPECT_EQ(position.key, Zobrist::compute_key(position));
    EXPECT_EQ(position.pawn_key, Zobrist::compute_pawn_key(position));
    EXPECT_EQ(position.non_pawn_key, Zobrist::compute_non_pawn_key(position));
    ASSERT_EQ(position.key_history.size(), 1u);
    EXPECT_EQ(position.key_history[0], position.key);
    EXPECT_GE(position.key_history.capacity(), 256u);
  }
}

TEST_F(FenTest, StartPositionFields) {
  const Position position = position_from_fen(fen::START_FEN);
  EXPECT_EQ(position.side, WHITE);
  EXPECT_EQ(position.castling_rights, 15u);
  EXPECT_EQ(position.ep_square, NO_SQUARE);
  EXPECT_EQ(position.halfmove_clock, 0);
  EXPECT_EQ(position.fullmove_number, 1);
  EXPECT_EQ(position.king_square[WHITE], SQ_E1);
  EXPECT_EQ(position.king_square[BLACK], SQ_E8);
  EXPECT_EQ(position.board[SQ_D1], W_QUEEN);
  EXPECT_EQ(position.board[SQ_G8], B_KNIGHT);
  EXPECT_EQ(position.occupied, 0xFFFF00000000FFFFULL);
  EXPECT_EQ(position.key, 0x67907E07E21C23F1ULL);

  const Position black =
      position_from_fen("rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3");
  EXPECT_EQ(black.ep_square, 43);  // d6
  EXPECT_EQ(black.fullmove_number, 3);
}

TEST_F(FenTest, FailureBeforeTheBoardLeavesThePositionAlone) {
  Position position = position_from_fen(KIWIPETE);
  const std::uint64_t key = position.key;
  std::string error;
  EXPECT_FALSE(fen::parse_fen("r3k2r/p1ppqpb1/bn2pnp1/3PN3/1p2P3/2N2Q1p/PPPBBPPP/R3K2R w KQkq",
                              position, error));
  EXPECT_EQ(error, "FEN parse error: missing ep");
  EXPECT_EQ(position.to_fen(), KIWIPETE);
  EXPECT_EQ(position.key, key);

  // A later failure replaces the message; a success leaves it.
  EXPECT_FALSE(fen::parse_fen("4k3/8/8/8/8/8/8/4K3 x - - 0 1", position, error));
  EXPECT_EQ(error, "FEN parse error: invalid side");
  EXPECT_TRUE(fen::parse_fen(fen::START_FEN, position, error));
  EXPECT_EQ(error, "FEN parse error: invalid side");
}

TEST_F(FenTest, BoardDisplay) {
  const Position position = position_from_fen(fen::START_FEN);
  EXPECT_EQ(position.board_visual(),
            "8 r n b q k b n r \n"
            "7 p p p p p p p p \n"
            "6 . . . . . . . . \n"
            "5 . . . . . . . . \n"
            "4 . . . . . . . . \n"
            "3 . . . . . . . . \n"
            "2 P P P P P P P P \n"
            "1 R N B Q K B N R \n"
            "  a b c d e f g h\n");
}

TEST_F(FenTest, HostileInputNeverCrashes) {
  const std::string prefix = "FEN parse error: ";
  const std::string hostile[] = {
      std::string(1 << 20, 'p'),
      std::string(1 << 20, '/'),
      std::string(1 << 20, '8'),
      std::string(200000, '1') + " w - - 0 1",
      "8/8/8/8/8/8/8/8" + std::string(100000, '/') + " w - - 0 1",
      fen::START_FEN + std::string(" ") + std::string(1 << 20, '9'),
      std::string("\0\xff\x80 w - - 0 1", 12),
      std::string("4k3/8/8/8/8/8/8/4K3 w - - 0 1\0garbage", 37),
      "4k3/8/8/8/8/8/8/4K3 w - \xff\xfe 0 1",
  };
  for (const std::string& text : hostile) {
    Position position;
    std::string error;
    if (!fen::parse_fen(text, position, error)) {
      EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
    }
  }

  // Random byte substitutions into valid FENs: every outcome is either a
  // clean failure or a position whose printed FEN reads back the same.
  const std::string seeds[] = {fen::START_FEN, KIWIPETE,
                               "rnbqkbnr/1pp1pppp/p7/3pP3/8/8/PPPP1PPP/RNBQKBNR w KQkq d6 0 3",
                               "8/2p5/3p4/KP5r/1R3p1k/8/4P1P1/8 w - - 0 1"};
  const std::string alphabet = "pnbrqkPNBRQK0123456789/ -wKQkqabcdefgh\xff";
  std::mt19937 rng(20240611);
  for (int i = 0; i < 4000; ++i) {
    std::string text = seeds[i % 4];
    for (int edits = 1 + int(rng() % 3); edits > 0; --edits)
      text[rng() % text.size()] = alphabet[rng() % alphabet.size()];
    Position position;
    std::string error;
    if (!fen::parse_fen(text, position, error)) {
      EXPECT_EQ(error.rfind(prefix, 0), 0u) << text;
      continue;
    }
    Position again;
    ASSERT_TRUE(fen::parse_fen(position.to_fen(), again, error)) << text << ": " << error;
    EXPECT_EQ(again.to_fen(), position.to_fen());
    EXPECT_EQ(again.key, position.key);
  }
}

}  // namespace
