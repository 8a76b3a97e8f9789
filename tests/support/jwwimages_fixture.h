#pragma once
// Test-only fixtures for bound images of JWW drawings: image data by seed, drawings
// built byte by byte from a body model, and a body whose texts refer, or seem to
// refer, to images in every situation.
#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace plmtest::jwwimages {

inline std::vector<uint8_t> Data(size_t n, uint8_t seed) {
  std::vector<uint8_t> d(n);
  for (size_t i = 0; i < n; ++i) d[i] = static_cast<uint8_t>(seed + i * 31);
  return d;
}

inline Image Img(std::string name, size_t size, uint8_t seed) {
  return {std::move(name), static_cast<int32_t>(size), Data(size, seed)};
}

inline std::vector<uint8_t> Drawing(const Body& body, int32_t v = 700) {
  Bytes b = plmtest::JwwHeaderBytes(v);
  b.append(plmtest::EncodeBody(body, v, v >= 700));
  return b.data();
}

inline plm::Text Text(int seed, std::string text) { return plmtest::SampleMoji(seed, MakeAttr(1, 1), 0, -1.0, text); }

// Texts that refer, or seem to refer, to images, and images in every situation.
inline Body ImageCases() {
  Body b;
  b.Entities.push_back(Text(1, "^@BM%temp%a.bmp,1"));          // lower-case reference to A.BMP
  b.Entities.push_back(Text(2, "^@BM%temp%abc.bmp,0,0"));      // ABC.BMP, listed before ABC.BMPX
  b.Entities.push_back(Text(3, "^@BM%temp%x.bmp,0"));          // only X.BMPX begins with X.BMP
  b.Entities.push_back(Text(4, "^@BM%temp%nocomma.bmp"));      // no comma: no reference
  b.Entities.push_back(Text(5, "^@bm%temp%unref.bmp,1"));      // prefix in other case: none
  b.Entities.push_back(Text(6, "^@BM%temp%,1"));               // empty name matches nothing
  b.Entities.push_back(Text(7, "^@BM%temp%zero.bmp,1"));       // size 0: no file, not written
  b.Entities.push_back(plmtest::SampleSunpo(8, MakeAttr(1, 1), 0, -1.0, "^@BM%temp%dim.bmp,1"));
  plmtest::BlockDef d;
  d.Name = "images";
  d.Entities.push_back(Text(9, "^@BM%temp%blk.bmp,2"));
  b.BlockDefs.push_back(d);
  b.Images = {Img("A.BMP", 10, 1),     Img("ABC.BMP", 2048, 2), Img("ABC.BMPX", 7, 3),
              Img("X.BMPX", 4097, 4),  Img("DIM.BMP", 5, 5),    Img("UNREF.BMP", 6, 6),
              Img("", 0, 7),           Img("ZERO.BMP", 0, 8),   Img("NOCOMMA.BMP", 3, 9),
              Img("BLK.BMP", 1, 10)};
  return b;
}

}  // namespace plmtest::jwwimages
