#pragma once
// Deterministic mutations of drawings for robustness runs: bit flips, truncations,
// splices of two drawings of one format, duplicated and deleted ranges, and counts
// overwritten with extreme values. The same seed and number always give the same
// bytes, on any platform (no standard-library distributions).
#include <cstdint>
#include <string>
#include <vector>

namespace plmtest {

struct Mutation {
  std::vector<uint8_t> bytes;
  size_t seedIndex = 0;  // the drawing it started from
  std::string how;       // what was done, for reproducing a failure
};

// Mutation number `n` of the run `runSeed` over `seeds` (at least one, none empty).
Mutation Mutate(const std::vector<std::vector<uint8_t>>& seeds, uint64_t runSeed, uint64_t n);

}  // namespace plmtest
