// Generates the benchmarks' data: large synthetic drawings, a folder of many small
// drawings and a tree of many folders.
#include <cstdlib>
#include <iostream>
#include <string>

#include "bench/synth.h"
#include "platform/fsutil.h"

namespace {

constexpr char kUsage[] =
    "usage: plmgen drawing OUT.jww MEGABYTES [VERSION]   one drawing of about MEGABYTES MB (version 700)\n"
    "       plmgen files FOLDER COUNT                    COUNT small drawings and other files\n"
    "       plmgen batch FOLDER COUNT MEGABYTES          COUNT drawings of about MEGABYTES million bytes together\n"
    "       plmgen folders FOLDER COUNT                  COUNT sub-folders below FOLDER\n";

int Fail(const std::string& message) {
  std::cerr << "plmgen: " << message << "\n";
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace plm;
  if (argc < 4) {
    std::cerr << kUsage;
    return 2;
  }
  const std::string command = argv[1];
  const std::filesystem::path target = argv[2];
  const long amount = std::strtol(argv[3], nullptr, 10);
  if (amount <= 0) {
    std::cerr << kUsage;
    return 2;
  }
  if (command == "drawing") {
    const int32_t version = argc > 4 ? static_cast<int32_t>(std::strtol(argv[4], nullptr, 10)) : 700;
    ScopedTempFolder folder("plmgen-images-");
    TempImages images;
    images.TempFolder = folder.Path();
    const JwwDocument doc =
        bench::MakeDrawing(static_cast<uint64_t>(amount) << 20, version, images, 3, static_cast<uint32_t>(amount));
    std::string why;
    if (!SaveJwwFile(doc, images, target, version, &why)) return Fail(target.string() + ": " + why);
    return 0;
  }
  if (command == "files") {
    return bench::MakeDrawingFolder(target, static_cast<int>(amount)) ? 0 : Fail("cannot fill " + target.string());
  }
  if (command == "batch") {
    const long megabytes = argc > 4 ? std::strtol(argv[4], nullptr, 10) : 0;
    if (megabytes <= 0) {
      std::cerr << kUsage;
      return 2;
    }
    return bench::MakeBatchFolder(target, static_cast<int>(amount), static_cast<uint64_t>(megabytes) * 1000000)
               ? 0
               : Fail("cannot fill " + target.string());
  }
  if (command == "folders") {
    return bench::MakeFolderTree(target, static_cast<int>(amount)) ? 0 : Fail("cannot fill " + target.string());
  }
  std::cerr << kUsage;
  return 2;
}
