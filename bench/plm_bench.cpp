// Benchmarks of conversion, listing and sorting over the data plmgen makes (folder in
// PLM_BENCH_DATA; scripts/run-bench generates it and runs this program).
//   drawing-N.jww  drawings of about N MB       files/    small drawings and others
//   folders/       a tree of folders            out/      outputs, rewritten freely
// Each benchmark reports bytes, files, folders or rows per second.
#include <benchmark/benchmark.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <random>
#include <sstream>

#include "app/plmconv.h"
#include "jww/jwwdocument.h"
#include "jww/spacingrule.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/fsutil.h"
#include "shell/filelist.h"
#include "shell/shellstate.h"
#include "shell/sortorder.h"

namespace {

namespace fs = std::filesystem;
using namespace plm;

fs::path DataFolder() {
  const std::optional<std::string> env = EnvironmentValue("PLM_BENCH_DATA");
  return env && !env->empty() ? fs::path(*env) : fs::path("bench-data");
}

fs::path OutFolder() {
  const fs::path out = DataFolder() / "out";
  std::error_code ec;
  fs::create_directories(out, ec);
  return out;
}

int64_t SizeOf(const fs::path& p) {
  std::error_code ec;
  const auto size = fs::file_size(p, ec);
  return ec ? 0 : static_cast<int64_t>(size);
}

// ---------------------------------------------------------------------------
// Drawings

// What dd if=IN of=OUT bs=1M does: 1 MiB reads and writes through user space.
void CopyFile(benchmark::State& state, const fs::path& in) {
  const fs::path out = OutFolder() / "copy.jww";
  std::vector<char> buffer(size_t{1} << 20);
  for (auto _ : state) {
    InputFile from;
    PlainFileWriter to;
    if (!from.Open(in) || !to.Create(out)) state.SkipWithError("open failed");
    int64_t got;
    while ((got = from.Read(buffer.data(), buffer.size())) > 0)
      if (!to.Write(buffer.data(), static_cast<size_t>(got))) state.SkipWithError("write failed");
    if (!to.Close()) state.SkipWithError("close failed");
  }
  state.SetBytesProcessed(state.iterations() * SizeOf(in));
}

void Load(benchmark::State& state, const fs::path& in) {
  ScopedTempFolder temp("plmbench-images-");
  TempImages images;
  images.TempFolder = temp.Path();
  for (auto _ : state) {
    JwwDocument doc;
    ReadFailure failure;
    if (!LoadJwwFile(doc, images, in, &failure)) state.SkipWithError(failure.Reason.c_str());
    DeleteTempImageFiles(images);
    benchmark::DoNotOptimize(doc.EntityCount);
  }
  state.SetBytesProcessed(state.iterations() * SizeOf(in));
}

// After the first pass nothing is negative any more; every pass walks all texts.
void Rule(benchmark::State& state, const fs::path& in) {
  ScopedTempFolder temp("plmbench-images-");
  TempImages images;
  images.TempFolder = temp.Path();
  JwwDocument doc;
  if (!LoadJwwFile(doc, images, in)) state.SkipWithError("cannot load");
  ConversionSwitches all{1, 1, 1, 1};
  for (auto _ : state) benchmark::DoNotOptimize(ApplySpacingRule(SpacingSubjectOf(doc), all));
  state.SetBytesProcessed(state.iterations() * SizeOf(in));
}

void Save(benchmark::State& state, const fs::path& in) {
  ScopedTempFolder temp("plmbench-images-");
  TempImages images;
  images.TempFolder = temp.Path();
  JwwDocument doc;
  if (!LoadJwwFile(doc, images, in)) state.SkipWithError("cannot load");
  ApplySpacingRule(SpacingSubjectOf(doc), ConversionSwitches{1, 1, 1, 1});
  const fs::path out = OutFolder() / "save.jww";
  for (auto _ : state) {
    std::string why;
    if (!SaveJwwFile(doc, images, out, doc.Header.Version, &why)) state.SkipWithError(why.c_str());
  }
  state.SetBytesProcessed(state.iterations() * SizeOf(in));
}

// The whole command, as `plmconv convert --all -o OUT IN` runs it.
void Convert(benchmark::State& state, const fs::path& in) {
  const fs::path out = OutFolder() / "convert";
  std::error_code ec;
  fs::create_directories(out, ec);
  for (auto _ : state) {
    fs::remove(out / in.filename(), ec);  // no backup of an earlier output
    std::ostringstream text, err;
    if (PlmconvMain({"convert", "--all", "-o", out.string(), in.string()}, text, err) != kExitOk)
      state.SkipWithError(text.str().c_str());
  }
  state.SetBytesProcessed(state.iterations() * SizeOf(in));
}

// ---------------------------------------------------------------------------
// Listing and folder search

std::vector<std::string> FilesOf(const fs::path& folder) {
  std::vector<std::string> paths;
  std::error_code ec;
  for (const auto& e : fs::directory_iterator(folder, ec))
    if (e.is_regular_file()) paths.push_back(e.path().string());
  return paths;
}

// The floor a listing is measured against: open, read the first 8 KB, close.
void ReadFirst8K(benchmark::State& state) {
  const std::vector<std::string> paths = FilesOf(DataFolder() / "files");
  char buffer[8192];
  for (auto _ : state) {
    for (const std::string& p : paths) {
      InputFile file;
      file.Open(p);
      benchmark::DoNotOptimize(file.Read(buffer, sizeof buffer));
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}

void ReadFileMemoEach(benchmark::State& state) {
  const std::vector<std::string> paths = FilesOf(DataFolder() / "files");
  for (auto _ : state)
    for (const std::string& p : paths) benchmark::DoNotOptimize(ReadFileMemo(p));
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(paths.size()));
}

// The whole listing: enumeration, the six cells and the memo of every file.
void ListFolder(benchmark::State& state) {
  const std::string folder = (DataFolder() / "files").string() + "/";
  ShellState shell;
  size_t rows = 0;
  for (auto _ : state) {
    const ListFilesResult result = ListFiles(shell, folder, 0, kDefaultColumnWidth);
    rows = result.Rows.size();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(rows));
}

// The folder search without its window: every folder visited once, parents first,
// its sub-folders enumerated. The window adds event processing per entry.
void FolderSearch(benchmark::State& state) {
  const fs::path root = DataFolder() / "folders";
  size_t folders = 0;
  for (auto _ : state) {
    std::deque<fs::path> pending{root};
    folders = 0;
    while (!pending.empty()) {
      const fs::path folder = std::move(pending.front());
      pending.pop_front();
      ++folders;
      std::error_code ec;
      for (const auto& e : fs::directory_iterator(folder, ec))
        if (e.is_directory(ec) && e.path().filename().string()[0] != '.') pending.push_back(e.path());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(folders));
}

// ---------------------------------------------------------------------------
// Header-click sort

// Rows like a listing of a large folder: names in several cases, sizes in one
// field, four extensions, and last-write times with many equal values.
std::vector<FileRow> SyntheticRows(size_t n) {
  std::mt19937 rng(12345);
  std::vector<FileRow> rows(n);
  static const char* const kExt[] = {".JWW", ".JWS", ".BAK", ".TXT"};
  for (FileRow& row : rows) {
    const unsigned id = rng() % (n / 2 + 1);
    const char* ext = kExt[rng() % 4];
    row[kColName] = (rng() % 2 ? "Plan" : "plan") + std::to_string(id) + ext;
    row[kColSize] = PadSize(rng() % 500000, 8);
    row[kColType] = ext;
    row[kColMemo] = "memo " + std::to_string(rng() % 100);
    row[kColTime] = "2024/05/" + std::to_string(10 + rng() % 20) + " 12:00:" + std::to_string(10 + rng() % 3);
    row[kColAttr] = "A ";
  }
  return rows;
}

// The list's sort through the fast order: keys, order, rows moved into place.
void HeaderSort(benchmark::State& state) {
  const std::vector<FileRow> original = SyntheticRows(static_cast<size_t>(state.range(0)));
  const int column = static_cast<int>(state.range(1));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<FileRow> rows = original;
    state.ResumeTiming();
    std::vector<std::string> keys;
    keys.reserve(rows.size());
    for (const FileRow& row : rows) keys.push_back(SortKey(row, column));
    const std::vector<size_t> order = HeaderSortOrderOfKeys(keys, false);
    std::vector<FileRow> sorted;
    sorted.reserve(rows.size());
    for (size_t i : order) sorted.push_back(std::move(rows[i]));
    benchmark::DoNotOptimize(sorted.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

// The direct selection sort, for comparison.
void SelectionSort(benchmark::State& state) {
  const std::vector<FileRow> original = SyntheticRows(static_cast<size_t>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::vector<FileRow> rows = original;
    state.ResumeTiming();
    SortFileRows(rows, static_cast<int>(state.range(1)), false);
    benchmark::DoNotOptimize(rows.data());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  const fs::path data = DataFolder();
  for (int mb : {1, 10, 100}) {
    const fs::path in = data / ("drawing-" + std::to_string(mb) + ".jww");
    if (!fs::exists(in)) continue;
    const std::string size = std::to_string(mb) + "MB";
    benchmark::RegisterBenchmark(("Copy1M/" + size).c_str(), CopyFile, in)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("Load/" + size).c_str(), Load, in)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("Rule/" + size).c_str(), Rule, in)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("Save/" + size).c_str(), Save, in)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark(("Convert/" + size).c_str(), Convert, in)->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  if (fs::exists(data / "files")) {
    benchmark::RegisterBenchmark("ReadFirst8K/files", ReadFirst8K)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ReadFileMemo/files", ReadFileMemoEach)->Unit(benchmark::kMillisecond)->UseRealTime();
    benchmark::RegisterBenchmark("ListFiles/files", ListFolder)->Unit(benchmark::kMillisecond)->UseRealTime();
  }
  if (fs::exists(data / "folders"))
    benchmark::RegisterBenchmark("FolderSearch/folders", FolderSearch)->Unit(benchmark::kMillisecond)->UseRealTime();
  for (int64_t column : {kColName, kColType, kColTime})
    for (int64_t rows : {10000, 100000})
      benchmark::RegisterBenchmark("HeaderSort", HeaderSort)->Args({rows, column})->Unit(benchmark::kMillisecond);
  benchmark::RegisterBenchmark("SelectionSort", SelectionSort)->Args({10000, kColType})->Unit(benchmark::kMillisecond);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
