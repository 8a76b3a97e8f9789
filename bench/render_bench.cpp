// Benchmarks of the drawing preview on synthetic drawings of about 1 and 10 MB (made
// in memory, so no data folder is needed): the marks (a copy of the document with the
// rule applied), the display list, the SVG text, and all of it after a load from bytes
// as the preview pane does it. Each reports the drawing's bytes per second. Also the
// choice of bound images for many texts that name them.
#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <streambuf>

#include "bench/synth.h"
#include "jww/bytesink.h"
#include "jww/jwwdocument.h"
#include "render/displaylist.h"
#include "render/marks.h"
#include "render/svg.h"

namespace {

using namespace plm;

struct Drawing {
  std::vector<uint8_t> Bytes;
  JwwDocument Doc;
};

// Drawings by size in MB, made once and loaded with the real reader.
const Drawing& DrawingOf(int mb) {
  static std::map<int, Drawing> drawings;
  auto found = drawings.find(mb);
  if (found != drawings.end()) return found->second;
  TempImages none;
  const JwwDocument made = bench::MakeDrawing(static_cast<uint64_t>(mb) << 20, 600, none, 0, 7);
  Drawing& d = drawings[mb];
  d.Bytes = bench::DrawingBytes(made, none, 600);
  LoadJwwBytes(d.Doc, none, d.Bytes);
  return d;
}

ConversionSwitches AllOn() {
  ConversionSwitches o;
  o = ConversionSwitches::All();
  return o;
}

// Counts what is written and throws it away.
class NullBuffer : public std::streambuf {
 public:
  uint64_t Written = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize n) override {
    Written += static_cast<uint64_t>(n);
    return n;
  }
  int overflow(int c) override {
    ++Written;
    return c;
  }
};

void Finish(benchmark::State& state, const Drawing& d) {
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.Bytes.size()));
  state.counters["entities"] = static_cast<double>(d.Doc.EntityOrder.size());
}

void Marks(benchmark::State& state) {
  const Drawing& d = DrawingOf(static_cast<int>(state.range(0)));
  for (auto _ : state) benchmark::DoNotOptimize(WrittenCopyOf(d.Doc, AllOn()).Marks.Counts.Total());
  Finish(state, d);
}

void DisplayListOnly(benchmark::State& state) {
  const Drawing& d = DrawingOf(static_cast<int>(state.range(0)));
  const WrittenJww w = WrittenCopyOf(d.Doc, AllOn());
  size_t prims = 0;
  for (auto _ : state) {
    const DisplayList list = BuildDisplayList(SourceOf(d.Doc), &w.Marks);
    prims = list.Segments.size() + list.Arcs.size() + list.Texts.size() + list.Points.size() + list.Solids.size();
    benchmark::DoNotOptimize(prims);
  }
  state.counters["primitives"] = static_cast<double>(prims);
  Finish(state, d);
}

void Svg(benchmark::State& state) {
  const Drawing& d = DrawingOf(static_cast<int>(state.range(0)));
  const WrittenJww w = WrittenCopyOf(d.Doc, AllOn());
  const DisplayList list = BuildDisplayList(SourceOf(d.Doc), &w.Marks);
  const SvgPanel panel{&list, "current"};
  uint64_t written = 0;
  for (auto _ : state) {
    NullBuffer sink;
    std::ostream out(&sink);
    WriteSvg(out, std::span(&panel, 1), LegendLines(w.Marks, list));
    written = sink.Written;
  }
  state.counters["svg_bytes"] = static_cast<double>(written);
  Finish(state, d);
}

// What the preview pane does for a selected row: load, marks, both display lists.
void LoadAndPreview(benchmark::State& state) {
  const Drawing& d = DrawingOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    JwwDocument doc;
    TempImages none;
    LoadJwwBytes(doc, none, d.Bytes);
    const WrittenJww w = WrittenCopyOf(doc, AllOn());
    const DisplayList before = BuildDisplayList(SourceOf(doc), &w.Marks);
    const DisplayList after = BuildDisplayList(SourceOf(w.Doc), &w.Marks);
    benchmark::DoNotOptimize(before.Texts.size() + after.Texts.size());
  }
  Finish(state, d);
}

// n texts, each naming its own image among n bound images listed in reverse order
// (as a hostile drawing may hold them): choosing each text's image, in the display
// list and in the writer's image section (whose files are absent, so only the choice
// is measured).
struct ManyImages {
  JwwDocument Doc;
  TempImages Files;
  std::vector<BoundImageBytes> Images;
};

ManyImages& ManyImagesOf(int n) {
  static std::map<int, ManyImages> made;
  auto [it, added] = made.try_emplace(n);
  ManyImages& m = it->second;
  if (!added) return m;
  m.Doc.Header.Version = 700;
  m.Files.TempFolder = "/nonexistent-plm-bench-images/";
  for (int i = 0; i < n; ++i) {
    Text t;
    t.SizeX = t.SizeY = 2;
    t.EndX = 10;
    t.Text = "^@BM%temp%image-" + std::to_string(i) + ".bmp,1,1";
    m.Doc.TextList.push_back(t);
    m.Doc.EntityOrder.push_back({kKindText, i});
    const std::string name = "IMAGE-" + std::to_string(n - 1 - i) + ".BMP";
    m.Files.TempImageFiles.push_back({name, 1, false});
    m.Images.push_back({name, nullptr});
  }
  return m;
}

void ImageChoiceDisplayList(benchmark::State& state) {
  const ManyImages& m = ManyImagesOf(static_cast<int>(state.range(0)));
  RenderSource source = SourceOf(m.Doc);
  source.Images = m.Images;
  for (auto _ : state) benchmark::DoNotOptimize(BuildDisplayList(source).Images.size());
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

void ImageChoiceWriter(benchmark::State& state) {
  ManyImages& m = ManyImagesOf(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    ByteSink out;
    WriteJwwBody(out, m.Doc, m.Files, 700);
    benchmark::DoNotOptimize(out.Written());
  }
  state.SetItemsProcessed(state.iterations() * state.range(0));
}

BENCHMARK(ImageChoiceDisplayList)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ImageChoiceWriter)->Arg(1000)->Arg(20000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Marks)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DisplayListOnly)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Svg)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LoadAndPreview)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
