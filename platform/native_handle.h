#pragma once
// The system's handle on an open file or folder, as the platform layer's classes hold
// it. Opaque: only the implementation for the running system looks inside.
#include <cstdint>

namespace plm {

class NativeHandle {
 public:
  NativeHandle() = default;
  bool Valid() const { return value_ != kNone; }

 private:
  friend struct NativeHandleAccess;
  static constexpr intptr_t kNone = -1;
  intptr_t value_ = kNone;
};

}  // namespace plm
