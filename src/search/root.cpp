// Temporary driver: reports the first legal move until the real search lands.
#include "movegen/movegen.h"
#include "search/search.h"

namespace Search {

SearchResult search_position(Position pos, const SearchLimits&, InfoCallback) {
  SearchResult result;
  std::vector<unsigned> moves;
  MoveGen::generate_legal(pos, moves);
  if (!moves.empty()) result.best_move = moves[0];
  return result;
}

void set_see_param(const std::string&, int) {}

}  // namespace Search
