#include "platform/hidden_names.h"

#include <cstdio>
#include <random>

namespace plm {

std::string NewHiddenName() {
  // One generator per thread: conversions run on several threads at once.
  thread_local std::mt19937_64 rng{std::random_device{}()};
  char name[32];
  std::snprintf(name, sizeof name, ".plm-%016llx.tmp", static_cast<unsigned long long>(rng()));
  return name;
}

bool IsTemporaryName(std::string_view name) {
  constexpr std::string_view kMark = ".plm-", kEnd = ".tmp";
  constexpr size_t kHex = 16;
  if (name.size() < kMark.size() + kHex + kEnd.size() || name[0] != '.' || !name.ends_with(kEnd)) return false;
  const size_t hexAt = name.size() - kEnd.size() - kHex;
  if (name.substr(hexAt - kMark.size(), kMark.size()) != kMark) return false;
  for (char c : name.substr(hexAt, kHex))
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  return true;
}

}  // namespace plm
