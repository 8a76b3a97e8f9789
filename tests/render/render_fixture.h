#pragma once
// Drawings for the renderer's tests, built as file bytes with the test byte builder
// and loaded with the real readers.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"
#include "render/displaylist.h"
#include "tests/support/body_model.h"
#include "tests/support/bytes.h"

namespace rendertest {

inline plm::JwwDocument LoadJww(const plmtest::Body& body, int32_t version = 600,
                                const plmtest::JwwHeaderFill& fill = {}) {
  plmtest::Bytes bytes = plmtest::JwwHeaderBytes(version, fill);
  bytes.append(plmtest::EncodeBody(body, version, version >= plm::kVerImages));
  plm::JwwDocument doc;
  plm::TempImages images;
  plm::ReadFailure failure;
  EXPECT_TRUE(plm::LoadJwwBytes(doc, images, bytes.data(), &failure)) << failure.Reason;
  return doc;
}

inline plm::JwsDocument LoadJws(const plmtest::Body& body, int32_t version = 600) {
  plmtest::Bytes bytes = plmtest::JwsHeaderBytes(version);
  bytes.append(plmtest::EncodeBody(body, version, false));
  plm::JwsDocument doc;
  plm::ReadFailure failure;
  EXPECT_TRUE(plm::LoadJwsBytes(doc, bytes.data(), &failure)) << failure.Reason;
  return doc;
}

inline plm::EntityAttributes Attr(uint16_t color = 2, uint8_t style = 1) { return plmtest::MakeAttr(style, color); }

inline plm::Line Line(double x1, double y1, double x2, double y2, uint16_t color = 2) {
  plm::Line e;
  e.Attr = Attr(color);
  e.StartX = x1, e.StartY = y1, e.EndX = x2, e.EndY = y2;
  return e;
}

inline plm::Text Text(std::string cp932, double x, double y, double sizeX, double sizeY, double spacing,
                          double angleDeg = 0, uint32_t typeCode = 0) {
  plm::Text t;
  t.Attr = Attr(2);
  t.StartX = x, t.StartY = y;
  t.TextTypeCode = typeCode;
  t.SizeX = sizeX, t.SizeY = sizeY, t.Spacing = spacing, t.Angle = angleDeg;
  t.FontName = "MS Gothic";
  t.Text = std::move(cp932);
  return t;
}

inline plm::BlockInsert Insert(int32_t number, double x, double y, double sx = 1, double sy = 1, double angleRad = 0) {
  plm::BlockInsert b;
  b.Attr = Attr(2);
  b.X = x, b.Y = y, b.ScaleX = sx, b.ScaleY = sy, b.Angle = angleRad;
  b.BlockNumber = number;
  return b;
}

inline plmtest::BlockDef Def(int32_t number, std::vector<plmtest::Entity> entities, std::string name = "B") {
  plmtest::BlockDef d;
  d.Attr = Attr(2);
  d.Number = number;
  d.Name = std::move(name);
  d.Entities = std::move(entities);
  return d;
}

constexpr double kEps = 1e-9;

inline void ExpectNear(plm::Vec2 actual, double x, double y, double eps = kEps) {
  EXPECT_NEAR(actual.X, x, eps);
  EXPECT_NEAR(actual.Y, y, eps);
}

}  // namespace rendertest
