#include "jww/jwwdocument.h"

#include <algorithm>

#include "jww/jwwbody.h"
#include "jww/jwwheader.h"
#include "jww/spacingrule.h"

namespace plm {

namespace {

// Element by element, so no temporary table is built: the memo reader of the file
// list resets the document once per listed drawing.
template <class T, size_t N>
void ResetTable(std::array<T, N>& table) {
  std::fill(table.begin(), table.end(), T{});
}

}  // namespace

bool FinishLoad(ByteCursor& in, bool ok, ReadFailure* failure) {
  in.Close();
  if (!ok && failure) *failure = in.Failure();
  return ok;
}

void InitJwwData(JwwDocument& doc) {
  doc.Header = THeader{};
  ResetTable(doc.LayerGroups);
  ResetTable(doc.Layers);
  ResetTable(doc.PenSettings);
  ResetTable(doc.LineTypes);
  ResetTable(doc.RandomLines);
  ResetTable(doc.DoubleLineTypes);
  ResetTable(doc.TextTypeSettings);
  ResetTable(doc.ExtColors);
  ResetTable(doc.ExtLineTypes);
  static_cast<EntityLists&>(doc) = EntityLists{};
}

void ClearJwwData(JwwDocument& doc) {
  doc.BlockDefinitionList = {};
  InitJwwData(doc);
}

namespace {

// Signature, version and header blocks 1 to 19.
bool LoadJwwHead(JwwDocument& doc, ByteCursor& in) {
  ReadJwwSignatureAndVersion(in, doc.Header);
  if (!in.Ok()) return false;
  if (doc.Header.Version < kVerOldest) {
    in.FailAt(8, "has version " + std::to_string(doc.Header.Version) + ", older than " +
                     std::to_string(kVerOldest) + ", the oldest this program reads");
    return false;
  }
  ReadJwwHeaderBlocks(in, doc, false);
  return in.Ok();
}

bool LoadJww(JwwDocument& doc, TempImages& images, ByteCursor& in) {
  if (!LoadJwwHead(doc, in)) return false;
  if (!ReadBody(in, doc.Header.Version, kJwwBody, doc)) return false;
  if (doc.Header.Version >= kVerImages && !ReadImageSection(in, images)) return false;
  return in.Ok();
}

}  // namespace

bool LoadJwwFile(JwwDocument& doc, TempImages& images, const std::filesystem::path& path, ReadFailure* failure) {
  InitJwwData(doc);
  doc.BlockDefinitionList.clear();
  ByteCursor in;
  const bool ok = in.OpenFile(path) && LoadJww(doc, images, in);
  return FinishLoad(in, ok, failure);
}

bool LoadJwwBytes(JwwDocument& doc, TempImages& images, std::span<const uint8_t> bytes, ReadFailure* failure) {
  InitJwwData(doc);
  doc.BlockDefinitionList.clear();
  ByteCursor in;
  in.OpenMemory(bytes);
  const bool ok = LoadJww(doc, images, in);
  return FinishLoad(in, ok, failure);
}

void WriteJwwBody(ByteSink& out, const JwwDocument& doc, TempImages& images, int32_t version) {
  WriteBodyLists(out, version, kJwwBody, doc);
  if (version >= kVerImages && out.Ok()) WriteImageSection(out, doc, images);
}

bool SaveJwwFile(const JwwDocument& doc, TempImages& images, const std::filesystem::path& path, int32_t version,
                 std::string* why) {
  ByteSink out;
  if (out.CreateFile(path)) {
    WriteJwwHeader(out, doc, version);
    WriteJwwBody(out, doc, images, version);
  }
  const bool ok = out.Commit();
  if (!ok && why) *why = out.FailureReason();
  return ok;
}

namespace {

bool ConvertJwwPass(JwwDocument& doc, TempImages& images, ByteCursor& in, ByteSink& out,
                    const ConversionSwitches& options, SpacingChanges& changes) {
  if (!LoadJwwHead(doc, in)) return false;
  // The body is not read yet: this is the rule's step on the text-type table.
  changes = ApplySpacingRule(SpacingSubjectOf(doc), options);
  const int32_t version = doc.Header.Version;
  WriteJwwHeader(out, doc, version);
  // The texts that name a bound image are all the image section's writer needs of the
  // body; the document's own list holds them (marking does not depend on their order).
  const bool images700 = version >= kVerImages;
  const PieceFix fix = [&](EntityLists& piece, bool inBlockDef) {
    ApplySpacingRuleToLists(piece, inBlockDef, options, changes);
    if (images700)
      for (const Text& m : piece.TextList)
        if (!ImageReferenceOf(m.Text).empty()) doc.TextList.push_back(m);
  };
  // The image section is extracted while the body's last pieces are still written.
  const auto readImages = [&] { return !images700 || ReadImageSection(in, images); };
  if (!StreamBody(in, out, version, kJwwBody, fix, readImages)) return false;
  if (images700 && out.Ok()) WriteImageSection(out, doc, images);
  return in.Ok();
}

}  // namespace

bool ConvertJwwStream(JwwDocument& doc, TempImages& images, const JwwSource& source, ByteSink& out,
                      const ConversionSwitches& options, SpacingChanges& changes, ReadFailure* failure) {
  InitJwwData(doc);
  doc.BlockDefinitionList.clear();
  changes = {};
  ByteCursor in;
  bool ok;
  if (source.Bytes) {
    in.OpenMemory(*source.Bytes);
    ok = ConvertJwwPass(doc, images, in, out, options, changes);
  } else {
    ok = in.OpenFile(source.Path) && ConvertJwwPass(doc, images, in, out, options, changes);
  }
  if (!ok) changes = {};
  return FinishLoad(in, ok, failure);
}

bool IsJwwFile(const std::filesystem::path& path) {
  ByteCursor in;
  char signature[8];
  const bool ok = in.OpenFile(path) && in.Read(signature, 8, {"the signature"}) &&
                  std::string_view(signature, 8) == "JwwData.";
  in.Close();
  return ok;
}

bool ReadJwwMemo(JwwDocument& doc, const std::filesystem::path& path, ReadFailure* failure) {
  InitJwwData(doc);
  ByteCursor in;
  bool ok = in.OpenFile(path);
  if (ok) {
    ReadJwwSignatureAndVersion(in, doc.Header);
    ReadJwwHeaderBlocks(in, doc, true);
    ok = in.Ok();
  }
  return FinishLoad(in, ok, failure);
}

}  // namespace plm
