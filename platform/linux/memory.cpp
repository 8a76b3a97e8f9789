#include "platform/memory.h"

#include <cstdint>
#include <sys/mman.h>

namespace plm {

namespace {
constexpr uintptr_t kLargePage = uintptr_t{2} << 20;
}  // namespace

void AdviseLargePages(void* data, size_t bytes) {
#ifdef MADV_HUGEPAGE
  const auto begin = reinterpret_cast<uintptr_t>(data);
  if (data == nullptr || bytes < 2 * kLargePage || begin > UINTPTR_MAX - bytes) return;
  const uintptr_t first = (begin + kLargePage - 1) & ~(kLargePage - 1);
  const uintptr_t last = (begin + bytes) & ~(kLargePage - 1);
  if (last > first) ::madvise(reinterpret_cast<void*>(first), last - first, MADV_HUGEPAGE);  // a hint: errors ignored
#else
  (void)data;
  (void)bytes;
#endif
}

}  // namespace plm
