#include <algorithm>
#include <bit>

#include "platform/fsutil.h"
#include "platform/windows/handles.h"

namespace plm {

// The processors of the process's affinity mask, which covers its processor group:
// the ones its threads are started on.
int ProcessorCount() {
  DWORD_PTR process = 0, system = 0;
  if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system) && process != 0)
    return std::max(std::popcount(static_cast<unsigned long long>(process)), 1);
  return std::max(static_cast<int>(GetActiveProcessorCount(ALL_PROCESSOR_GROUPS)), 1);
}

}  // namespace plm
