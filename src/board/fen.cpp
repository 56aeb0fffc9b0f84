// FEN parsing with validation, FEN writing and the text board display.
#include "board/fen.h"

#include <cstring>
#include <sstream>

#include "board/zobrist.h"
#include "movegen/attack.h"

namespace {

constexpr const char* PREFIX = "FEN parse error: ";
// The castling letters in the order of their right bits 1, 2, 4 and 8.
constexpr char CASTLING_LETTERS[] = "KQkq";

bool fail(std::string& error, const std::string& message) {
  error = PREFIX + message;
  return false;
}

// Fills the board from the first FEN field; false with a message on the first
// malformed character. Pieces go through set_piece_at_square so that every
// derived field stays consistent.
bool parse_board(Position& position, const std::string& field, std::string& error) {
  int rank = 7, file = 0;
  for (std::size_t i = 0; i < field.size(); ++i) {
    const char c = field[i];
    if (c == '/') {
      if (file != 8) return fail(error, "bad file count");
      if (--rank < 0) return fail(error, "too many ranks");
      if (i + 1 == field.size()) return fail(error, "board not fully filled");
      if (field[i + 1] == '/') return fail(error, "bad file count");
      file = 0;
    } else if (c >= '0' && c <= '9') {
      if (c == '0' || c == '9') return fail(error, "invalid empty-square count");
      file += c - '0';
      if (file > 8) return fail(error, "file overflow");
    } else {
      const int piece = Position::piece_index_from_char(c);
      if (piece == NO_PIECE) return fail(error, std::string("invalid piece char: ") + c);
      if (file == 8) return fail(error, "file overflow (when placing piece)");
      position.set_piece_at_square(piece, make_square(file, rank));
      ++file;
    }
  }
  if (rank != 0 || file != 8) return fail(error, "board not fully filled");
  return true;
}

bool parse_castling(Position& position, const std::string& field, std::string& error) {
  position.castling_rights = 0;
  if (field == "-") return true;
  for (const char c : field) {
    const char* letter = c == '\0' ? nullptr : std::strchr(CASTLING_LETTERS, c);
    if (!letter) return fail(error, std::string("invalid castling char: ") + c);
    const unsigned right = 1u << (letter - CASTLING_LETTERS);
    if (position.castling_rights & right) return fail(error, "duplicate castling right");
    position.castling_rights |= right;
  }
  return true;
}

bool parse_en_passant(Position& position, const std::string& field, std::string& error) {
  position.ep_square = NO_SQUARE;
  if (field == "-") return true;
  if (field.size() != 2) return fail(error, "invalid en-passant");
  const char file = field[0], rank = field[1];
  if (file < 'a' || file > 'h' || rank < '1' || rank > '8')
    return fail(error, "invalid ep coordinates");
  position.ep_square = make_square(file - 'a', rank - '1');
  return true;
}

bool has_king_and_rook(const Position& position, int king_piece, int king_square, int rook_piece,
                       int rook_square) {
  return position.board[king_square] == king_piece && position.board[rook_square] == rook_piece;
}

// The semantic checks on a fully read position, in the order their messages
// take precedence.
bool validate(const Position& position, std::string& error) {
  if (position.halfmove_clock < 0) return fail(error, "halfmove clock cannot be negative");
  if (position.fullmove_number < 1) return fail(error, "fullmove number must be at least 1");
  if (position.piece_count[W_KING] != 1) return fail(error, "expected exactly one white king");
  if (position.piece_count[B_KING] != 1) return fail(error, "expected exactly one black king");
  if ((position.piece_bb[W_PAWN] | position.piece_bb[B_PAWN]) & (RANK_1_BB | RANK_8_BB))
    return fail(error, "pawns cannot be on first or eighth rank");
  if (position.color_bb[WHITE] & position.color_bb[BLACK])
    return fail(error, "overlapping white and black occupancy");

  const Color us = position.side, them = ~us;
  if (const int ep = position.ep_square; ep != NO_SQUARE) {
    if (position.occupied & square_bb(ep))
      return fail(error, "en-passant target square is occupied");
    if (rank_of(ep) != (us == WHITE ? 5 : 2))
      return fail(error, "en-passant square is on the wrong rank");
    const int pushed = us == WHITE ? ep - 8 : ep + 8;
    if (position.board[pushed] != make_piece(them, PAWN))
      return fail(error, "en-passant square has no matching pawn");
  }

  const unsigned rights = position.castling_rights;
  if ((rights & CASTLE_WHITE_KINGSIDE) &&
      !has_king_and_rook(position, W_KING, SQ_E1, W_ROOK, SQ_H1))
    return fail(error, "white kingside castling right without king and rook");
  if ((rights & CASTLE_WHITE_QUEENSIDE) &&
      !has_king_and_rook(position, W_KING, SQ_E1, W_ROOK, SQ_A1))
    return fail(error, "white queenside castling right without king and rook");
  if ((rights & CASTLE_BLACK_KINGSIDE) &&
      !has_king_and_rook(position, B_KING, SQ_E8, B_ROOK, SQ_H8))
    return fail(error, "black kingside castling right without king and rook");
  if ((rights & CASTLE_BLACK_QUEENSIDE) &&
      !has_king_and_rook(position, B_KING, SQ_E8, B_ROOK, SQ_A8))
    return fail(error, "black queenside castling right without king and rook");

  if (Attack::kingAttacks[position.king_square[WHITE]] & square_bb(position.king_square[BLACK]))
    return fail(error, "kings are adjacent");
  if (position.in_check(them)) return fail(error, "side not to move is in check");
  return true;
}

}  // namespace

bool Position::set_from_fen(const std::string& fen, std::string& error) {
  std::istringstream in(fen);
  std::string board_field, side_field, castling_field, ep_field;
  if (!(in >> board_field)) return fail(error, "empty");
  if (!(in >> side_field)) return fail(error, "missing side");
  if (!(in >> castling_field)) return fail(error, "missing castling");
  if (!(in >> ep_field)) return fail(error, "missing ep");

  clear();
  if (!parse_board(*this, board_field, error)) return false;

  if (side_field == "w")
    side = WHITE;
  else if (side_field == "b")
    side = BLACK;
  else
    return fail(error, "invalid side");

  if (!parse_castling(*this, castling_field, error)) return false;
  if (!parse_en_passant(*this, ep_field, error)) return false;

  // A failed read (absent, not a number, outside the int range) leaves the
  // stream failed, so a failed halfmove read makes the fullmove read fail too.
  if (!(in >> halfmove_clock)) halfmove_clock = 0;
  if (!(in >> fullmove_number)) fullmove_number = 1;

  if (!validate(*this, error)) return false;

  // The key covers an en-passant square only when a capture there is legal.
  if (ep_square != NO_SQUARE && !has_legal_en_passant_capture(*this, ep_square, side))
    ep_square = NO_SQUARE;

  key = Zobrist::compute_key(*this);
  pawn_key = Zobrist::compute_pawn_key(*this);
  non_pawn_key = Zobrist::compute_non_pawn_key(*this);
  key_history.clear();
  if (key_history.capacity() < 256) key_history.reserve(256);
  key_history.push_back(key);
  return true;
}

std::string Position::to_fen() const {
  std::string text;
  for (int rank = 7; rank >= 0; --rank) {
    int empty = 0;
    for (int file = 0; file < 8; ++file) {
      const int piece = board[make_square(file, rank)];
      if (piece == NO_PIECE) {
        ++empty;
        continue;
      }
      if (empty) text += char('0' + empty);
      empty = 0;
      text += piece_char(piece);
    }
    if (empty) text += char('0' + empty);
    if (rank) text += '/';
  }

  text += side == WHITE ? " w " : " b ";

  bool any_right = false;
  for (int bit = 0; bit < 4; ++bit)
    if (castling_rights & (1u << bit)) {
      text += CASTLING_LETTERS[bit];
      any_right = true;
    }
  if (!any_right) text += '-';

  text += ' ';
  if (ep_square == NO_SQUARE) {
    text += '-';
  } else {
    text += char('a' + file_of(ep_square));
    text += char('1' + rank_of(ep_square));
  }

  text += ' ' + std::to_string(halfmove_clock) + ' ' + std::to_string(fullmove_number);
  return text;
}

std::string Position::board_visual() const {
  std::string text;
  for (int rank = 7; rank >= 0; --rank) {
    text += char('1' + rank);
    text += ' ';
    for (int file = 0; file < 8; ++file) {
      const int piece = board[make_square(file, rank)];
      text += piece == NO_PIECE ? '.' : piece_char(piece);
      text += ' ';
    }
    text += '\n';
  }
  text += "  a b c d e f g h\n";
  return text;
}

namespace fen {

bool parse_fen(const std::string& fen, Position& position, std::string& error) {
  return position.set_from_fen(fen, error);
}

std::string to_fen(const Position& position) { return position.to_fen(); }

}  // namespace fen
