#include <algorithm>

#include "jww/jwwbody.h"
#include "platform/ansi.h"
#include "platform/files.h"
#include "platform/fsutil.h"

namespace plm {
namespace {

constexpr uint64_t kMinImage = 1 + 4;

}  // namespace

bool IsSafeImageName(const std::string& name) {
  if (name == "." || name == "..") return false;
  for (size_t i = 0; i < name.size(); ++i) {
    const auto b = static_cast<unsigned char>(name[i]);
    if (b == 0) return false;
    if (IsCp932LeadByte(b) && i + 1 < name.size()) {
      if (name[i + 1] == '\0') return false;
      ++i;  // a trail byte such as 0x5C is part of the character, not a separator
      continue;
    }
    if (b == '/' || b == '\\' || b == ':') return false;
  }
  return true;
}

std::optional<ImageReferenceParts> ImageReferencePartsOf(std::string_view text) {
  if (text.size() < kImagePrefixLength + 1 || !text.starts_with(kImagePrefix)) return std::nullopt;
  const size_t comma = text.find(',', kImagePrefixLength);
  if (comma == std::string_view::npos) return std::nullopt;
  return ImageReferenceParts{text.substr(kImagePrefixLength, comma - kImagePrefixLength), text.substr(comma + 1)};
}

std::string ImageReferenceOf(const std::string& text) {
  const std::optional<ImageReferenceParts> parts = ImageReferencePartsOf(text);
  return parts ? AnsiUpper(parts->Name) : std::string();
}

void ImageSelector::Add(std::string_view name) { sorted_.emplace_back(AnsiUpper(name), sorted_.size()); }

void ImageSelector::Finish() {
  std::sort(sorted_.begin(), sorted_.end());
  const size_t n = sorted_.size();
  least_.assign(2 * n, 0);
  for (size_t i = 0; i < n; ++i) least_[n + i] = sorted_[i].second;
  for (size_t i = n; i-- > 1;) least_[i] = std::min(least_[2 * i], least_[2 * i + 1]);
}

std::optional<size_t> ImageSelector::Select(std::string_view reference) const {
  if (reference.empty()) return std::nullopt;
  // The names that begin with the reference lie together, from the first one not
  // below it.
  const auto begins = [&](const std::pair<std::string, size_t>& e) { return e.first.starts_with(reference); };
  const auto first = std::lower_bound(sorted_.begin(), sorted_.end(), reference,
                                      [](const std::pair<std::string, size_t>& e, std::string_view r) { return e.first < r; });
  const auto last = std::partition_point(first, sorted_.end(), begins);
  if (first == last) return std::nullopt;
  const size_t n = sorted_.size();
  size_t least = SIZE_MAX;
  for (size_t lo = static_cast<size_t>(first - sorted_.begin()) + n, hi = static_cast<size_t>(last - sorted_.begin()) + n;
       lo < hi; lo /= 2, hi /= 2) {
    if (lo & 1) least = std::min(least, least_[lo++]);
    if (hi & 1) least = std::min(least, least_[--hi]);
  }
  return least;
}

void ClearTempImageFiles(TempImages& images) { images.TempImageFiles.clear(); }

void DeleteTempImageFiles(const TempImages& images) {
  for (const BoundImageFile& image : images.TempImageFiles) {
    if (image.Name.empty()) continue;
    const std::filesystem::path file = PathOfStoredName(images.TempFolder, image.Name);
    if (IsExistingFile(file)) DeleteFileQuietly(file);
  }
}

bool ReadImageSection(ByteCursor& in, TempImages& images) {
  ClearTempImageFiles(images);
  const uint64_t at = in.Offset();
  const int32_t count = in.I32({"the image count"});
  if (!in.Ok()) return false;
  if (count <= 0) return true;
  if (static_cast<uint64_t>(count) > in.Remaining() / kMinImage) {
    in.FailAt(at, "has an image count of " + std::to_string(count) + " at byte " + std::to_string(at) +
                      " that the bytes left cannot hold");
    return false;
  }
  images.TempImageFiles.reserve(std::min<size_t>(static_cast<size_t>(count), 1024));
  for (int32_t i = 0; i < count; ++i) {
    BoundImageFile& image = images.TempImageFiles.emplace_back();
    const What what{"bound image", i + 1};
    const uint64_t nameAt = in.Offset();
    image.Name = in.JwwString(what);
    image.Size = in.I32(what);
    image.Used = false;
    if (!in.Ok()) return false;
    if (image.Name.empty() || image.Size == 0) continue;
    if (!IsSafeImageName(image.Name)) {
      in.FailAt(nameAt, "has a bound image whose name is not a plain file name at byte " + std::to_string(nameAt));
      return false;
    }
    const uint64_t size = image.Size > 0 ? static_cast<uint64_t>(image.Size) : 0;
    if (size > in.Remaining()) {
      in.FailAt(in.Offset(), "has a bound image of " + std::to_string(size) + " bytes at byte " +
                                 std::to_string(in.Offset()) + " but only " + std::to_string(in.Remaining()) +
                                 " bytes left");
      return false;
    }
    const std::filesystem::path file = PathOfStoredName(images.TempFolder, image.Name);
    PlainFileWriter writer;
    std::string why;
    if (!writer.Create(file, &why)) {
      in.Fail("cannot extract bound image " + std::to_string(i + 1) + " into " + ShownPath(images.TempFolder) + ": " +
              why);
      return false;
    }
    in.CopyTo([&](const uint8_t* data, size_t n) { writer.Write(data, n); }, size, what);
    const bool written = writer.Close();
    // A file that could not be written whole is removed; its data has been read past,
    // so the next image is read in step.
    if (!written || !in.Ok()) DeleteFileQuietly(file);
    if (!in.Ok()) return false;
  }
  return true;
}

namespace {

void MarkUsed(const std::vector<Text>& texts, const ImageSelector& selector, std::vector<BoundImageFile>& files) {
  for (const Text& m : texts)
    if (const std::optional<size_t> image = selector.Select(ImageReferenceOf(m.Text))) files[*image].Used = true;
}

}  // namespace

void WriteImageSection(ByteSink& out, const DrawingBody& body, TempImages& images) {
  auto& files = images.TempImageFiles;
  for (BoundImageFile& image : files) image.Used = false;
  const ImageSelector selector(files, [](const BoundImageFile& image) -> std::string_view { return image.Name; });
  MarkUsed(body.TextList, selector, files);
  for (const BlockDefinition& d : body.BlockDefinitionList) MarkUsed(d.TextList, selector, files);
  // Each image is read whole before the count is written, so the count always
  // matches the images that follow.
  std::vector<std::vector<uint8_t>> data;
  for (BoundImageFile& image : files) {
    if (!image.Used) continue;
    const std::filesystem::path file = PathOfStoredName(images.TempFolder, image.Name);
    if (image.Name.empty() || !IsExistingFile(file)) {
      image.Used = false;
      continue;
    }
    std::optional<std::vector<uint8_t>> bytes = ReadWholeFile(file, nullptr, static_cast<uint64_t>(INT32_MAX));
    if (!bytes) {
      out.Fail("cannot read the extracted image " + ShownPath(file));
      return;
    }
    data.push_back(std::move(*bytes));
  }
  out.I32(static_cast<int32_t>(data.size()));
  size_t next = 0;
  for (const BoundImageFile& image : files) {
    if (!image.Used) continue;
    const std::vector<uint8_t>& bytes = data[next++];
    out.JwwString(image.Name);
    out.I32(static_cast<int32_t>(bytes.size()));
    for (size_t done = 0; done < bytes.size(); done += 2048)
      out.Raw(bytes.data() + done, std::min<size_t>(2048, bytes.size() - done));
  }
}

}  // namespace plm
