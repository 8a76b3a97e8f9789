#include "render/source.h"

#include "jws/jwsunit.h"
#include "jww/jwwunit.h"

namespace plm {
namespace {

template <class Doc>
EntityView MainViewOf(const Doc& d) {
  return {d.EntityOrder, d.SenList, d.EnkoList, d.TenList, d.MojiList, d.SunpoList, d.SolidList, d.BlockList};
}

EntityView DefViewOf(const TEntBlockDef_& d) {
  return {d.Order, d.Lines, d.Arcs, d.Points, d.Texts, d.Dims, d.Solids, d.Blocks};
}

template <class Doc>
void FillBody(RenderSource& s, const Doc& d) {
  s.Main = MainViewOf(d);
  s.BlockDefs.reserve(d.BlockDefList.size());
  for (const TEntBlockDef_& def : d.BlockDefList) s.BlockDefs.push_back({def.Number, def.Name, DefViewOf(def)});
}

}  // namespace

RenderSource SourceOf(const JwwDocument& doc) {
  RenderSource s;
  s.Version = doc.Header.Version;
  FillBody(s, doc);
  if (doc.Header.Version >= kVerExtTables) s.ExtColors = doc.ExtColors;
  s.TextTypes = doc.TextTypeSettings;
  return s;
}

RenderSource SourceOf(const JwsDocument& doc) {
  RenderSource s;
  s.Version = doc.Version;
  s.IsJws = true;
  FillBody(s, doc);
  return s;
}

}  // namespace plm
