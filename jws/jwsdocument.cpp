#include "jws/jwsdocument.h"

#include <cstring>

#include "jww/jwwbody.h"

namespace plm {
namespace {

constexpr BodyFormat kJwsBody{kJwsClassNameLimit, true};

bool LoadJws(JwsDocument& doc, ByteCursor& in) {
  doc.Signature.assign(kJwsSignatureLength, '\0');
  in.Read(doc.Signature.data(), kJwsSignatureLength, {"the signature"});
  in.Skip(kJwsFillerLength, {"the header filler"});
  doc.Version = in.I32({"the version"});
  const What header{"the header values"};
  for (double& v : doc.LeadReals) v = in.F64(header);
  for (auto& g : doc.LayerGroups) g.Scale = in.F64({"the layer group scales"});
  for (int32_t& v : doc.HeaderInts) v = in.I32(header);
  for (double& v : doc.HeaderReals) v = in.F64(header);
  if (!in.Ok()) return false;
  if (!ReadBody(in, doc.Version, kJwsBody, doc)) return false;
  doc.BlockDefCount = static_cast<uint32_t>(doc.BlockDefinitionList.size());
  return true;
}

}  // namespace

void ClearJwsData(JwsDocument& doc) { doc = JwsDocument{}; }

bool LoadJwsFile(JwsDocument& doc, const std::filesystem::path& path, ReadFailure* failure) {
  ClearJwsData(doc);
  ByteCursor in;
  const bool ok = in.OpenFile(path) && LoadJws(doc, in);
  return FinishLoad(in, ok, failure);
}

bool LoadJwsBytes(JwsDocument& doc, std::span<const uint8_t> bytes, ReadFailure* failure) {
  ClearJwsData(doc);
  ByteCursor in;
  in.OpenMemory(bytes);
  const bool ok = LoadJws(doc, in);
  return FinishLoad(in, ok, failure);
}

int32_t JwsOutputVersion(int32_t version) {
  if (version <= kVerSwitches144) version = kVerSwitches144;
  if (version == kVerSkyChart) version = kVerPenWidth;
  return version;
}

void WriteJwsFile(ByteSink& out, const JwsDocument& doc, int32_t version) {
  version = JwsOutputVersion(version);
  char signature[kJwsSignatureLength] = {};
  std::memcpy(signature, doc.Signature.data(), std::min(kJwsSignatureLength, doc.Signature.size()));
  out.Raw(signature, kJwsSignatureLength);
  const std::string filler(kJwsFillerLength, '.');
  out.Raw(filler.data(), filler.size());
  out.I32(version);
  for (double v : doc.LeadReals) out.F64(v);
  for (const auto& g : doc.LayerGroups) out.F64(g.Scale);
  for (int32_t v : doc.HeaderInts) out.I32(v);
  for (double v : doc.HeaderReals) out.F64(v);
  WriteBodyLists(out, version, kJwsBody, doc);
}

bool SaveJwsFile(const JwsDocument& doc, const std::filesystem::path& path, int32_t version, std::string* why) {
  ByteSink out;
  if (out.CreateFile(path)) WriteJwsFile(out, doc, version);
  const bool ok = out.Commit();
  if (!ok && why) *why = out.FailureReason();
  return ok;
}

bool IsJwsFile(const std::filesystem::path& path) {
  ByteCursor in;
  char signature[kJwsSignatureLength];
  const bool ok = in.OpenFile(path) && in.Read(signature, kJwsSignatureLength, {"the signature"}) &&
                  std::string_view(signature, kJwsSignatureLength) == "JwsData";
  in.Close();
  return ok;
}

}  // namespace plm
