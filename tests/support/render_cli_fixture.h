#pragma once
// Test-only drawing for the command-line renderer's tests.
#include <cstdint>
#include <vector>

#include "tests/render/render_fixture.h"

namespace rendertest {

// A drawing with one free-size text of negative spacing, one typed text with
// negative spacing, and a line.
inline std::vector<uint8_t> DrawingBytes() {
  plmtest::Body body;
  body.Entities = {Line(0, 0, 100, 50), Text("\x95\xB6\x8E\x9A", 10, 10, 5, 5, -2, 0, 0),
                   Text("AB", 10, 30, 5, 5, -1, 0, 3)};
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(600);
  bytes.append(plmtest::EncodeBody(body, 600, false));
  return bytes.data();
}

}  // namespace rendertest
