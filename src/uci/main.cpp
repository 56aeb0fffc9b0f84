#include <iostream>

#include "uci/engine.h"

int main() {
  std::ios::sync_with_stdio(false);
  std::cin.tie(nullptr);
  UciEngine engine(std::cout);
  engine.run(std::cin);
  return 0;
}
