#pragma once
// The fuzz targets' bodies, kept apart from the libFuzzer entry points so the ordinary
// test suite can replay every input that ever failed. Each returns false when an
// invariant that must hold for any input did not hold.
#include <cstddef>
#include <cstdint>

namespace plmfuzz {

bool LoadJww(const uint8_t* data, size_t size);
bool LoadJws(const uint8_t* data, size_t size);
bool JwwMemo(const uint8_t* data, size_t size);
bool JwcMemo(const uint8_t* data, size_t size);
bool JwkMemo(const uint8_t* data, size_t size);
bool Probes(const uint8_t* data, size_t size);
// A drawing that loads is saved with all switches on; the saved bytes must load again
// with the same entity kinds in the same order, the same block definitions and the
// same bound images.
bool RoundTripJww(const uint8_t* data, size_t size);
bool RoundTripJws(const uint8_t* data, size_t size);

using Target = bool (*)(const uint8_t*, size_t);
// Target by name ("load_jww", ...); nullptr for an unknown name.
Target TargetNamed(const char* name);

}  // namespace plmfuzz
