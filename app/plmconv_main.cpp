#include <iostream>

#include "app/plmconv.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  return plm::PlmconvMain(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
