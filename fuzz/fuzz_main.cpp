// libFuzzer entry point; the build defines PLM_FUZZ_TARGET as the target's name.
#include <cstdlib>

#include "fuzz/targets.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const plmfuzz::Target target = plmfuzz::TargetNamed(PLM_FUZZ_TARGET);
  if (!target(data, size)) std::abort();
  return 0;
}
