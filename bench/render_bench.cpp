// Benchmarks of the drawing preview on synthetic drawings of about 1 and 10 MB (made
// in memory, so no data folder is needed): the marks (a copy of the document with the
// rule applied), the display list, the SVG text, and all of it after a load from bytes
// as the preview pane does it. Each reports the drawing's bytes per second.
#include <benchmark/benchmark.h>

#include <map>
#include <ostream>
#include <streambuf>

#include "bench/synth.h"
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

BENCHMARK(Marks)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(DisplayListOnly)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Svg)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LoadAndPreview)->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
