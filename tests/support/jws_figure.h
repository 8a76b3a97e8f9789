#pragma once
// Test-only JWS figure: the short header of a version, then the shared body, built
// byte by byte from the body model.
#include <cstdint>
#include <vector>

#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace plmtest {

inline std::vector<uint8_t> JwsFigure(int32_t version, const Body& body, uint8_t filler = 'x') {
  Bytes b = JwsHeaderBytes(version, filler);
  b.append(EncodeBody(body, version, false));
  return b.data();
}

}  // namespace plmtest
