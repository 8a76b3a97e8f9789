// Benchmarks of the preview pane's painting: the display list of synthetic drawings of
// about 1 and 10 MB (made in memory) painted into an image of a pane's size, fitted so
// that everything shows, and zoomed in 100 times so that most of it is culled. Runs on
// the offscreen platform unless another is asked for.
#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <map>

#include "bench/synth.h"
#include "jww/jwwdocument.h"
#include "render/displaylist.h"
#include "render/marks.h"
#include "shell/qt/PreviewPane.h"

namespace {

using namespace plm;

struct Listed {
  size_t Bytes = 0;
  DisplayList List;
};

const Listed& ListOf(int mb) {
  static std::map<int, Listed> lists;
  auto found = lists.find(mb);
  if (found != lists.end()) return found->second;
  TempImages none;
  const JwwDocument made = bench::MakeDrawing(static_cast<uint64_t>(mb) << 20, 600, none, 0, 7);
  const std::vector<uint8_t> bytes = bench::DrawingBytes(made, none, 600);
  JwwDocument doc;
  LoadJwwBytes(doc, none, bytes);
  ConversionSwitches all;
  all = ConversionSwitches::All();
  const WrittenJww written = WrittenCopyOf(doc, all);
  Listed& l = lists[mb];
  l.Bytes = bytes.size();
  l.List = BuildDisplayList(SourceOf(doc), &written.Marks);
  return l;
}

void Paint(benchmark::State& state) {
  const Listed& d = ListOf(static_cast<int>(state.range(0)));
  QImage image(1000, 700, QImage::Format_ARGB32_Premultiplied);
  PreviewView view = FitView(d.List.Bounds, image.size());
  view.Scale *= static_cast<double>(state.range(1));
  for (auto _ : state) {
    image.fill(Qt::white);
    QPainter p(&image);
    PaintDisplayList(p, d.List, view, image.size());
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * d.Bytes));
  state.counters["texts"] = static_cast<double>(d.List.Texts.size());
  state.counters["segments"] = static_cast<double>(d.List.Segments.size());
}
BENCHMARK(Paint)->ArgNames({"MB", "zoom"})->Args({1, 1})->Args({10, 1})->Args({10, 100})->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
