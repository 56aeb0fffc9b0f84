// Move generation. One template serves every kind and both colours; the
// evasion mask and the pin rays are applied while generating, so that the
// legal filter only has to look at king moves and en-passant captures.
#include "movegen/movegen.h"

#include <type_traits>

#include "movegen/attack.h"
#include "movegen/pext.h"

namespace MoveGen {
namespace {

// Appends to a growable array; the vector forms have no capacity limit.
struct VectorSink {
  std::vector<unsigned>& moves;
  void add(unsigned move) { moves.push_back(move); }
};

// Makes the move and reports whether the mover's king is then safe.
bool leaves_king_safe(Position& position, unsigned move) {
  const Color us = position.side;
  const Position::Undo undo = position.make_move(move);
  const bool safe = !position.in_check(us);
  position.unmake_move(undo);
  return safe;
}

// A king step (not castling) is legal when its destination is not attacked
// once the king has left its square, so that it cannot hide behind itself on
// a slider's line.
bool king_step_is_safe(const Position& position, const GenerationContext& ctx, int to) {
  return !position.attackers_to(to, ctx.them, ctx.occupied ^ square_bb(ctx.king_square));
}

// Legal generation: an output (growable or fixed array) that takes only legal
// moves. Evasion and pin filtering already vouch for everything but king
// steps and en passant, which are tested as they are emitted; the order is
// that of generation.
template <class Out>
struct LegalSink {
  Out out;
  Position& position;
  const GenerationContext& ctx;
  void add(unsigned move) { out.add(move); }
};

template <class Sink>
struct IsLegalSink : std::false_type {};
template <class Out>
struct IsLegalSink<LegalSink<Out>> : std::true_type {};
template <class Sink>
constexpr bool TESTS_LEGALITY = IsLegalSink<Sink>::value;

// En passant removes a second piece from the board, so only making it tells
// whether it exposes the king.
template <class Sink>
void add_en_passant(Sink& sink, unsigned move) {
  if constexpr (TESTS_LEGALITY<Sink>)
    if (!leaves_king_safe(sink.position, move)) return;
  sink.add(move);
}

template <class Sink>
Bitboard legal_king_destinations(const Sink& sink, Bitboard destinations) {
  if constexpr (TESTS_LEGALITY<Sink>) {
    for (Bitboard candidates = destinations; candidates;) {
      const int to = pop_lsb(candidates);
      if (!king_step_is_safe(sink.position, sink.ctx, to)) destinations ^= square_bb(to);
    }
  }
  return destinations;
}

constexpr int PROMOTION_ORDER[4] = {QUEEN, ROOK, BISHOP, KNIGHT};

Bitboard piece_attacks(int type, int square, Bitboard occupied) {
  switch (type) {
    case KNIGHT:
      return Attack::knightAttacks[square];
    case BISHOP:
      return PEXT::bishop_attacks_pext(square, occupied);
    case ROOK:
      return PEXT::rook_attacks_pext(square, occupied);
    case QUEEN:
      return PEXT::queen_attacks_pext(square, occupied);
    default:
      return Attack::kingAttacks[square];
  }
}

// One move per destination, with the capture flag where an enemy piece stands.
template <class Sink>
void emit_destinations(Sink& sink, int from, int piece, Bitboard destinations, Bitboard enemy) {
  const unsigned base = make_move_value(from, 0, piece);
  while (destinations) {
    const int to = pop_lsb(destinations);
    sink.add(base | (unsigned(to) << 6) | (unsigned((enemy >> to) & 1) << 20));
  }
}

template <class Sink>
void emit_promotions(Sink& sink, int from, int to, int piece, unsigned flags) {
  for (const int promotion : PROMOTION_ORDER)
    sink.add(make_move_value(from, to, piece, promotion, flags));
}

// Each pawn in turn: push, double push, captures, en passant.
template <Color Us, GenerationType Type, class Sink>
void generate_pawn_moves(const Position& position, const GenerationContext& ctx, Sink& sink) {
  constexpr bool NOISY = Type != GEN_QUIETS;
  constexpr bool QUIET = Type != GEN_NOISY;
  constexpr int UP = Us == WHITE ? 8 : -8;
  constexpr int PIECE = make_piece(Us, PAWN);
  constexpr Bitboard START_RANK = rank_bb(Us == WHITE ? 1 : 6);
  constexpr Bitboard LAST_RANK = Us == WHITE ? RANK_8_BB : RANK_1_BB;

  // A pawn on its last rank (only from hand-placed boards) has no move.
  Bitboard pawns = position.piece_bb[PIECE] & ~LAST_RANK;
  while (pawns) {
    const int from = pop_lsb(pawns);
    const Bitboard ray = (ctx.pinned & square_bb(from)) ? ctx.pin_ray[from] : ALL_SQUARES;
    const Bitboard allowed = ctx.target & ray;
    const int ahead = from + UP;

    if (!(ctx.occupied & square_bb(ahead))) {
      if (allowed & square_bb(ahead)) {
        if (square_bb(ahead) & LAST_RANK) {
          if constexpr (NOISY) emit_promotions(sink, from, ahead, PIECE, 0);
        } else if constexpr (QUIET) {
          sink.add(make_move_value(from, ahead, PIECE));
        }
      }
      if constexpr (QUIET) {
        const int two_ahead = ahead + UP;
        if ((square_bb(from) & START_RANK) && !(ctx.occupied & square_bb(two_ahead)) &&
            (allowed & square_bb(two_ahead)))
          sink.add(make_move_value(from, two_ahead, PIECE, 0, MOVE_FLAG_DOUBLE_PUSH));
      }
    }

    if constexpr (NOISY) {
      const Bitboard attacks = Attack::pawn_attacks(Us, from);
      Bitboard captures = attacks & ctx.enemy & allowed;
      while (captures) {
        const int to = pop_lsb(captures);
        if (square_bb(to) & LAST_RANK)
          emit_promotions(sink, from, to, PIECE, MOVE_FLAG_CAPTURE);
        else
          sink.add(make_move_value(from, to, PIECE, 0, MOVE_FLAG_CAPTURE));
      }
      // Not filtered by the evasion mask: the pawn it removes may be the checker.
      const int ep = position.ep_square;
      if (ep != NO_SQUARE && (attacks & ray & square_bb(ep)))
        add_en_passant(
            sink, make_move_value(from, ep, PIECE, 0, MOVE_FLAG_CAPTURE | MOVE_FLAG_EN_PASSANT));
    }
  }
}

template <Color Us, GenerationType Type, int PieceType, class Sink>
void generate_piece_moves(const Position& position, const GenerationContext& ctx, Sink& sink) {
  constexpr int PIECE = make_piece(Us, PieceType);
  Bitboard kind_mask = ctx.target & ~ctx.own;
  if constexpr (Type == GEN_NOISY) kind_mask &= ctx.enemy;
  if constexpr (Type == GEN_QUIETS) kind_mask &= ~ctx.occupied;

  Bitboard pieces = position.piece_bb[PIECE];
  while (pieces) {
    const int from = pop_lsb(pieces);
    Bitboard destinations = piece_attacks(PieceType, from, ctx.occupied) & kind_mask;
    if (ctx.pinned & square_bb(from)) destinations &= ctx.pin_ray[from];
    emit_destinations(sink, from, PIECE, destinations, ctx.enemy);
  }
}

// The fixed castling moves, king side first; called only when not in check.
template <Color Us, class Sink>
void generate_castling(const Position& position, const GenerationContext& ctx, Sink& sink) {
  constexpr Color THEM = ~Us;
  constexpr int KING_FROM = Us == WHITE ? SQ_E1 : SQ_E8;
  constexpr int ROOK = make_piece(Us, ::ROOK);
  constexpr unsigned KING_SIDE = Us == WHITE ? CASTLE_WHITE_KINGSIDE : CASTLE_BLACK_KINGSIDE;
  constexpr unsigned QUEEN_SIDE = Us == WHITE ? CASTLE_WHITE_QUEENSIDE : CASTLE_BLACK_QUEENSIDE;
  constexpr int SHIFT = Us == WHITE ? 0 : 56;

  if (ctx.king_square != KING_FROM) return;
  const unsigned rights = position.castling_rights;
  if (!(rights & (KING_SIDE | QUEEN_SIDE))) return;
  // Not in check (the caller's condition), so the king's square is attacked
  // only if the enemy king stands next to it, which a hand-placed board can
  // have; that one lookup replaces the full attack test of the square.
  if (Attack::kingAttacks[KING_FROM] & position.pieces(THEM, KING)) return;
  if ((rights & KING_SIDE) && position.board[SQ_H1 + SHIFT] == ROOK &&
      !(ctx.occupied & (square_bb(SQ_F1 + SHIFT) | square_bb(SQ_G1 + SHIFT))) &&
      !position.is_square_attacked(SQ_F1 + SHIFT, THEM) &&
      !position.is_square_attacked(SQ_G1 + SHIFT, THEM))
    sink.add(Us == WHITE ? MOVE_WHITE_OO : MOVE_BLACK_OO);
  if ((rights & QUEEN_SIDE) && position.board[SQ_A1 + SHIFT] == ROOK &&
      !(ctx.occupied &
        (square_bb(SQ_B1 + SHIFT) | square_bb(SQ_C1 + SHIFT) | square_bb(SQ_D1 + SHIFT))) &&
      !position.is_square_attacked(SQ_D1 + SHIFT, THEM) &&
      !position.is_square_attacked(SQ_C1 + SHIFT, THEM))
    sink.add(Us == WHITE ? MOVE_WHITE_OOO : MOVE_BLACK_OOO);
}

template <Color Us, GenerationType Type, class Sink>
void generate_for(const Position& position, const GenerationContext& ctx, Sink& sink) {
  if (ctx.king_square == NO_SQUARE) return;
  if (!ctx.double_check) {
    generate_pawn_moves<Us, Type>(position, ctx, sink);
    generate_piece_moves<Us, Type, KNIGHT>(position, ctx, sink);
    generate_piece_moves<Us, Type, BISHOP>(position, ctx, sink);
    generate_piece_moves<Us, Type, ROOK>(position, ctx, sink);
    generate_piece_moves<Us, Type, QUEEN>(position, ctx, sink);
  }
  {
    Bitboard destinations = Attack::kingAttacks[ctx.king_square] & ~ctx.own;
    if constexpr (Type == GEN_NOISY) destinations &= ctx.enemy;
    if constexpr (Type == GEN_QUIETS) destinations &= ~ctx.occupied;
    destinations = legal_king_destinations(sink, destinations);
    emit_destinations(sink, ctx.king_square, make_piece(Us, KING), destinations, ctx.enemy);
  }
  if constexpr (Type != GEN_NOISY)
    if (!ctx.in_check) generate_castling<Us>(position, ctx, sink);
}

template <class Sink>
void generate(const Position& position, const GenerationContext& ctx, GenerationType type,
              Sink& sink) {
  const bool white = ctx.us == WHITE;
  switch (type) {
    case GEN_NOISY:
      white ? generate_for<WHITE, GEN_NOISY>(position, ctx, sink)
            : generate_for<BLACK, GEN_NOISY>(position, ctx, sink);
      break;
    case GEN_QUIETS:
      white ? generate_for<WHITE, GEN_QUIETS>(position, ctx, sink)
            : generate_for<BLACK, GEN_QUIETS>(position, ctx, sink);
      break;
    default:
      white ? generate_for<WHITE, GEN_ALL>(position, ctx, sink)
            : generate_for<BLACK, GEN_ALL>(position, ctx, sink);
  }
}

// Legality of a generated move, by the tests the legal sink applies while
// generating: castling was generated only through unattacked squares.
bool is_generated_move_legal(Position& position, unsigned move, const GenerationContext& ctx) {
  if (move_from(move) == ctx.king_square)
    return move_is_castling(move) || king_step_is_safe(position, ctx, move_to(move));
  if (move_is_en_passant(move)) return leaves_king_safe(position, move);
  return true;
}

bool is_last_rank(Color us, int square) { return rank_of(square) == (us == WHITE ? 7 : 0); }

// Empties a move list and gives it room for a typical position's moves.
void prepare_vector(std::vector<unsigned>& moves) {
  moves.clear();
  if (moves.capacity() < 128) moves.reserve(128);
}

}  // namespace

void prepare_generation_context(Position& position, GenerationContext& ctx) {
  ctx.us = position.side;
  ctx.them = ~ctx.us;
  ctx.king_square = position.king_square[ctx.us];
  ctx.occupied = position.occupied;
  ctx.own = position.color_bb[ctx.us];
  ctx.enemy = position.color_bb[ctx.them];
  ctx.target = ALL_SQUARES;

  position.compute_pins(ctx.us);
  ctx.pinned = position.pinned[ctx.us];
  for (Bitboard pinned = ctx.pinned; pinned;) {
    const int square = pop_lsb(pinned);
    ctx.pin_ray[square] = position.pin_ray[square];
  }

  const Bitboard checkers = position.checker_mask(ctx.us);
  ctx.in_check = checkers != 0;
  ctx.double_check = more_than_one(checkers);
  if (ctx.double_check) {
    ctx.target = 0;
  } else if (ctx.in_check) {
    // Between-squares are empty for a pawn or knight checker.
    const int checker = lsb(checkers);
    ctx.target = square_bb(checker) | Attack::between(checker, ctx.king_square);
  }
}

std::size_t generate_pseudo_legal(Position& position, unsigned* moves, std::size_t capacity) {
  return generate_pseudo_legal(position, moves, capacity, GEN_ALL);
}

std::size_t generate_pseudo_legal(Position& position, unsigned* moves, std::size_t capacity,
                                  GenerationType type) {
  GenerationContext ctx;
  prepare_generation_context(position, ctx);
  return generate_pseudo_legal(position, moves, capacity, type, ctx);
}

std::size_t generate_pseudo_legal(Position& position, unsigned* moves, std::size_t capacity,
                                  GenerationType type, const GenerationContext& ctx) {
  ArrayMoveSink sink{moves, capacity, 0};
  generate(position, ctx, type, sink);
  return sink.count;
}

void generate_pseudo_legal(Position& position, std::vector<unsigned>& moves) {
  GenerationContext ctx;
  prepare_vector(moves);
  prepare_generation_context(position, ctx);
  VectorSink sink{moves};
  generate(position, ctx, GEN_ALL, sink);
}

void generate_legal(Position& position, std::vector<unsigned>& moves) {
  GenerationContext ctx;
  prepare_vector(moves);
  prepare_generation_context(position, ctx);
  LegalSink<VectorSink> sink{{moves}, position, ctx};
  generate(position, ctx, GEN_ALL, sink);
}

std::size_t generate_legal(Position& position, unsigned* moves, std::size_t capacity) {
  GenerationContext ctx;
  prepare_generation_context(position, ctx);
  LegalSink<ArrayMoveSink> sink{{moves, capacity, 0}, position, ctx};
  generate(position, ctx, GEN_ALL, sink);
  return sink.out.count;
}

bool is_pseudo_legal(Position& position, unsigned move, const GenerationContext& ctx) {
  // Bits 24-31 are never set on a generated move.
  if (move == MOVE_NONE || (move >> 24) != 0 || ctx.king_square == NO_SQUARE) return false;
  const int from = move_from(move), to = move_to(move), piece = move_piece(move);
  const int promotion = move_promotion(move);
  if (from == to || piece > 11 || position.board[from] != piece) return false;
  if (piece_color(piece) != ctx.us || (ctx.own & square_bb(to))) return false;

  const Color us = ctx.us;
  const int type = piece_type(piece);
  const int up = us == WHITE ? 8 : -8;
  const bool capture = move_is_capture(move);
  const bool double_push = move_is_double_push(move);

  if (move_is_castling(move)) {
    if (type != KING || capture || move_is_en_passant(move) || double_push || promotion)
      return false;
    if (ctx.occupied & square_bb(to)) return false;
    const int shift = us == WHITE ? 0 : 56;
    if (from != SQ_E1 + shift) return false;
    const bool king_side = to == SQ_G1 + shift;
    if (!king_side && to != SQ_C1 + shift) return false;
    const unsigned right = (king_side ? CASTLE_WHITE_KINGSIDE : CASTLE_WHITE_QUEENSIDE)
                           << (us == WHITE ? 0 : 2);
    const int rook_square = (king_side ? SQ_H1 : SQ_A1) + shift;
    const int crossed = (king_side ? SQ_F1 : SQ_D1) + shift;
    if (!(position.castling_rights & right) ||
        position.board[rook_square] != make_piece(us, ROOK) ||
        (ctx.occupied & Attack::between(from, rook_square)))
      return false;
    for (const int square : {from, crossed, to})
      if (position.is_square_attacked(square, ctx.them)) return false;
    return leaves_king_safe(position, move);
  }

  if (move_is_en_passant(move)) {
    if (type != PAWN || !capture || promotion || double_push) return false;
    if (to != position.ep_square || !(Attack::pawn_attacks(us, from) & square_bb(to))) return false;
    if (position.board[to - up] != make_piece(ctx.them, PAWN)) return false;
    return leaves_king_safe(position, move);
  }

  if (capture != bool(ctx.enemy & square_bb(to))) return false;
  if (type == PAWN) {
    if (bool(promotion) != is_last_rank(us, to) || promotion > QUEEN) return false;
    if (capture) {
      if (double_push || !(Attack::pawn_attacks(us, from) & square_bb(to))) return false;
    } else if (to == from + up) {
      if (double_push) return false;
    } else {
      const bool on_start_rank = rank_of(from) == (us == WHITE ? 1 : 6);
      if (to != from + 2 * up || !on_start_rank || !double_push ||
          (ctx.occupied & square_bb(from + up)))
        return false;
    }
  } else {
    if (promotion || double_push) return false;
    if (!(piece_attacks(type, from, ctx.occupied) & square_bb(to))) return false;
    if (type == KING) return leaves_king_safe(position, move);
  }

  if (!ctx.in_check && !(ctx.pinned & square_bb(from))) return true;
  return leaves_king_safe(position, move);
}

bool is_pseudo_legal(Position& position, unsigned move) {
  GenerationContext ctx;
  prepare_generation_context(position, ctx);
  return is_pseudo_legal(position, move, ctx);
}

void generate_semantic_pseudo_legal(Position& position, std::vector<SemanticMove>& moves) {
  std::vector<unsigned> plain;
  generate_pseudo_legal(position, plain);
  moves.clear();
  moves.reserve(plain.size());
  for (const unsigned move : plain) {
    std::uint8_t kind = 0;
    if (move_is_castling(move))
      kind = 5;
    else if (move_is_en_passant(move))
      kind = 4;
    else if (move_is_promotion(move))
      kind = move_is_capture(move) ? 3 : 2;
    else if (move_is_capture(move))
      kind = 1;
    moves.push_back({move, kind});
  }
}

}  // namespace MoveGen

bool Position::has_any_legal_move() {
  const Color us = side;
  const int king = king_square[us];
  if (king == NO_SQUARE) return false;

  compute_pins(us);
  const Bitboard checkers = checker_mask(us);
  if (!more_than_one(checkers)) {
    // Fast scan: any unpinned non-king piece with a destination answers it,
    // because the evasion mask makes such a move legal.
    const Bitboard target = checkers ? check_block_mask(us) : ALL_SQUARES;
    const Bitboard free = ~pinned[us];
    const Bitboard reachable = target & ~color_bb[us];
    for (const int type : {KNIGHT, BISHOP, ROOK, QUEEN}) {
      Bitboard pieces = piece_bb[make_piece(us, type)] & free;
      while (pieces) {
        const int from = pop_lsb(pieces);
        if (MoveGen::piece_attacks(type, from, occupied) & reachable) return true;
      }
    }
    const int up = us == WHITE ? 8 : -8;
    const Bitboard start_rank = rank_bb(us == WHITE ? 1 : 6);
    const Bitboard last_rank = us == WHITE ? RANK_8_BB : RANK_1_BB;
    Bitboard pawns = piece_bb[make_piece(us, PAWN)] & free & ~last_rank;
    while (pawns) {
      const int from = pop_lsb(pawns);
      const int ahead = from + up;
      if (!(occupied & square_bb(ahead))) {
        if (target & square_bb(ahead)) return true;
        if ((square_bb(from) & start_rank) && (target & ~occupied & square_bb(ahead + up)))
          return true;
      }
      if (Attack::pawn_attacks(us, from) & color_bb[~us] & target) return true;
    }
  }

  // Slow path: king moves, en passant, castling and pinned pieces, judged as
  // the legal generator judges them.
  MoveGen::GenerationContext ctx;
  MoveGen::prepare_generation_context(*this, ctx);
  unsigned moves[256];
  const std::size_t count =
      MoveGen::generate_pseudo_legal(*this, moves, 256, MoveGen::GEN_ALL, ctx);
  for (std::size_t i = 0; i < count; ++i)
    if (MoveGen::is_generated_move_legal(*this, moves[i], ctx)) return true;
  return false;
}
