#include "tests/support/hostile_mutate.h"

#include <algorithm>
#include <cstddef>
#include <iterator>

// Built into the test support library, and with PLM_MUTATE_MAIN by scripts/mutation-check
// as the stand-alone generator (this file then needs nothing but the standard library).

namespace plmtest {
namespace {

// splitmix64: a small generator whose output is fixed by its seed everywhere.
class Rng {
 public:
  explicit Rng(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // 0 .. n-1 (n > 0)
  size_t Below(size_t n) { return static_cast<size_t>(Next() % n); }

 private:
  uint64_t state_;
};

// Offsets near the start are where the signature, version and counts of small drawings
// sit; half of the positions are drawn from the first 4 KB.
size_t Position(Rng& rng, size_t size) {
  if (size == 0) return 0;
  if (rng.Below(2) == 0) return rng.Below(std::min<size_t>(size, 4096));
  return rng.Below(size);
}

bool SameFormat(const std::vector<uint8_t>& a, const std::vector<uint8_t>& b) {
  return a.size() >= 7 && b.size() >= 7 && std::equal(a.begin(), a.begin() + 7, b.begin());
}

void MutateOnce(std::vector<uint8_t>& d, const std::vector<std::vector<uint8_t>>& seeds, size_t self, Rng& rng,
                std::string& how) {
  static const uint32_t kExtremes[] = {0,          1,          0x7F,       0x80,       0xFF,       0x7FFF,
                                       0x8000,     0xFFFE,     0xFFFF,     0x10000,    0x7FFFFFFF, 0x80000000,
                                       0xFFFFFFFE, 0xFFFFFFFF, 0x0000FFFF, 0x00FFFFFF};
  const size_t kind = rng.Below(6);
  if (d.empty()) {
    d.push_back(static_cast<uint8_t>(rng.Next()));
    how += " grow1";
    return;
  }
  switch (kind) {
    case 0: {  // bit flips
      const size_t flips = 1 + rng.Below(8);
      for (size_t i = 0; i < flips; ++i) {
        const size_t at = Position(rng, d.size());
        const unsigned bit = static_cast<unsigned>(rng.Below(8));
        d[at] ^= static_cast<uint8_t>(1u << bit);
        how += " flip@" + std::to_string(at) + "." + std::to_string(bit);
      }
      break;
    }
    case 1: {  // truncation
      const size_t at = rng.Below(d.size());
      d.resize(at);
      how += " cut@" + std::to_string(at);
      break;
    }
    case 2: {  // splice with another drawing of the same format
      std::vector<size_t> partners;
      for (size_t i = 0; i < seeds.size(); ++i)
        if (i != self && SameFormat(seeds[i], seeds[self])) partners.push_back(i);
      const size_t other = partners.empty() ? rng.Below(seeds.size()) : partners[rng.Below(partners.size())];
      const std::vector<uint8_t>& b = seeds[other];
      const size_t at = rng.Below(d.size() + 1);
      const size_t from = b.empty() ? 0 : rng.Below(b.size());
      d.resize(at);
      d.insert(d.end(), b.begin() + static_cast<std::ptrdiff_t>(from), b.end());
      how += " splice@" + std::to_string(at) + "+seed" + std::to_string(other) + "@" + std::to_string(from);
      break;
    }
    case 3: {  // duplicated range
      const size_t from = rng.Below(d.size());
      const size_t len = 1 + rng.Below(std::min<size_t>(d.size() - from, 512));
      const size_t at = rng.Below(d.size() + 1);
      std::vector<uint8_t> piece(d.begin() + static_cast<std::ptrdiff_t>(from),
                                 d.begin() + static_cast<std::ptrdiff_t>(from + len));
      d.insert(d.begin() + static_cast<std::ptrdiff_t>(at), piece.begin(), piece.end());
      how += " dup" + std::to_string(from) + "+" + std::to_string(len) + "@" + std::to_string(at);
      break;
    }
    case 4: {  // an extreme value, as a 1-, 2- or 4-byte little-endian field
      const uint32_t v = kExtremes[rng.Below(std::size(kExtremes))];
      const size_t width = size_t{1} << rng.Below(3);
      const size_t at = Position(rng, d.size());
      for (size_t i = 0; i < width && at + i < d.size(); ++i) d[at + i] = static_cast<uint8_t>(v >> (8 * i));
      how += " set" + std::to_string(width) + "@" + std::to_string(at) + "=" + std::to_string(v);
      break;
    }
    default: {  // deleted range
      const size_t from = rng.Below(d.size());
      const size_t len = 1 + rng.Below(std::min<size_t>(d.size() - from, 512));
      d.erase(d.begin() + static_cast<std::ptrdiff_t>(from), d.begin() + static_cast<std::ptrdiff_t>(from + len));
      how += " del" + std::to_string(from) + "+" + std::to_string(len);
      break;
    }
  }
}

}  // namespace

Mutation Mutate(const std::vector<std::vector<uint8_t>>& seeds, uint64_t runSeed, uint64_t n) {
  Rng rng(runSeed * 0x100000001B3ull + n);
  Mutation m;
  m.seedIndex = static_cast<size_t>(n % seeds.size());
  m.bytes = seeds[m.seedIndex];
  m.how = "seed" + std::to_string(m.seedIndex);
  const size_t steps = 1 + rng.Below(3);
  for (size_t i = 0; i < steps; ++i) MutateOnce(m.bytes, seeds, m.seedIndex, rng, m.how);
  return m;
}

}  // namespace plmtest

#ifdef PLM_MUTATE_MAIN
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>

// plm-mutate SEED_FOLDER OUT_FOLDER COUNT [RUN_SEED]: writes COUNT mutated drawings
// mNNNNN-<seed name> into OUT_FOLDER, and how each was made into OUT_FOLDER/mutations.txt.
int main(int argc, char** argv) {
  namespace fs = std::filesystem;
  if (argc < 4 || argc > 5) {
    std::cerr << "usage: plm-mutate SEED_FOLDER OUT_FOLDER COUNT [RUN_SEED]\n";
    return 2;
  }
  const uint64_t count = std::stoull(argv[3]);
  const uint64_t runSeed = argc == 5 ? std::stoull(argv[4]) : 1;
  std::vector<fs::path> names;
  for (const auto& e : fs::directory_iterator(argv[1])) {
    std::string ext = e.path().extension().string();
    for (char& c : ext) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    if (e.is_regular_file() && (ext == ".JWW" || ext == ".JWS") && fs::file_size(e.path()) > 0)
      names.push_back(e.path());
  }
  std::sort(names.begin(), names.end());
  if (names.empty()) {
    std::cerr << "plm-mutate: no drawings in " << argv[1] << "\n";
    return 1;
  }
  std::vector<std::vector<uint8_t>> seeds;
  for (const fs::path& p : names) {
    std::ifstream in(p, std::ios::binary);
    seeds.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  fs::create_directories(argv[2]);
  std::ofstream log(fs::path(argv[2]) / "mutations.txt");
  for (uint64_t n = 0; n < count; ++n) {
    const plmtest::Mutation m = plmtest::Mutate(seeds, runSeed, n);
    char prefix[16];
    std::snprintf(prefix, sizeof prefix, "m%05llu-", static_cast<unsigned long long>(n));
    const fs::path out = fs::path(argv[2]) / (prefix + names[m.seedIndex].filename().string());
    std::ofstream(out, std::ios::binary).write(reinterpret_cast<const char*>(m.bytes.data()),
                                               static_cast<std::streamsize>(m.bytes.size()));
    log << out.filename().string() << "\t" << m.how << "\n";
  }
  std::cout << "plm-mutate: " << count << " mutations of " << seeds.size() << " drawings in " << argv[2] << "\n";
  return 0;
}
#endif
