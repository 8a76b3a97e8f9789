#include "jww/jwwbody.h"

namespace plm {

EntityAttributes ReadEntAttr(ByteCursor& in, int32_t version) {
  const What what{"an attribute block"};
  EntityAttributes a;
  a.GroupNo = in.U32(what);
  a.PenStyle = in.U8(what);
  a.PenColor = in.U16(what);
  if (version >= kVerPenWidth) a.PenWidth = in.U16(what);
  a.Layer = in.U16(what);
  a.LayerGroup = in.U16(what);
  a.Flags = in.U16(what);
  return a;
}

void WriteEntAttr(ByteSink& out, int32_t version, int32_t kind, const EntityAttributes& attr) {
  const EntityAttributes a = CheckEntAttr(version, kind, attr);
  out.U32(a.GroupNo);
  out.U8(a.PenStyle);
  out.U16(a.PenColor);
  if (version >= kVerPenWidth) out.U16(a.PenWidth);
  out.U16(a.Layer);
  out.U16(a.LayerGroup);
  out.U16(a.Flags);
}

}  // namespace plm
