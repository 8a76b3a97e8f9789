#include "render/source.h"

#include "jws/jwsdocument.h"
#include "jww/jwwdocument.h"

namespace plm {
namespace {

template <class Doc>
void FillBody(RenderSource& s, const Doc& d) {
  s.Main = &d;
  s.BlockDefs.reserve(d.BlockDefinitionList.size());
  for (const BlockDefinition& def : d.BlockDefinitionList) s.BlockDefs.push_back({def.Number, def.Name, &def});
}

}  // namespace

RenderSource SourceOf(const JwwDocument& doc) {
  RenderSource s;
  s.Version = doc.Header.Version;
  s.TextsNameImages = true;
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
