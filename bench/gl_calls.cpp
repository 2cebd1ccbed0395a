// How many OpenGL calls a frame makes, and what frmMain's own code costs per
// frame with the driver taken away. kalvo_render is linked here against
// gl_counting.cpp instead of libGL, so every entry point it uses is counted
// (a new one fails the link until it is counted too). Needs no display.
#include <benchmark/benchmark.h>

#include <cinttypes>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "bench/bench_runtime.h"
#include "bench/gl_counting.h"
#include "gl/module1.h"
#include "render/gl_scene.h"
#include "roll/roll.h"

namespace kalvo::bench {
namespace {

// Context calls that always succeed: there is no real context behind them.
class NullWgl final : public WglApi {
 public:
  int ChoosePixelFormat(Hdc /*hdc*/, const PIXELFORMATDESCRIPTOR& /*pfd*/) override { return 1; }
  bool SetPixelFormat(Hdc /*hdc*/, int /*format*/, const PIXELFORMATDESCRIPTOR& /*pfd*/) override {
    return true;
  }
  Hglrc wglCreateContext(Hdc /*hdc*/) override { return Hglrc{1}; }
  bool wglMakeCurrent(Hdc /*hdc*/, Hglrc /*hglrc*/) override { return true; }
  bool wglDeleteContext(Hglrc /*hglrc*/) override { return true; }
};

struct Window {
  NullWgl wgl;
  Module1 module1{wgl};
  GlScene scene;
  int swaps = 0;
  BenchRuntime runtime{Hdc{1}, [this] { ++swaps; }};
  frmMain form{runtime, module1, scene};
};

struct Column {
  std::string title;
  GlCallCounts counts;
  int frames = 0;
};

Column Measure(const std::string& title, Window& window, int frames) {
  ResetGlCallCounts();
  const int swaps_before = window.swaps;
  for (int i = 0; i < frames; ++i) window.form.DrawFrame();
  Column column{title, GlCallCountsNow(), frames};
  if (window.swaps - swaps_before != frames) {
    std::fprintf(stderr, "gl_calls: %d frames swapped %d times\n", frames,
                 window.swaps - swaps_before);
  }
  return column;
}

// Calls per frame, by entry point, for each kind of frame the program draws.
void PrintCallTable() {
  Window window;
  std::vector<Column> columns;

  ResetGlCallCounts();
  window.form.Form_Load();
  columns.push_back({"load", GlCallCountsNow(), 1});

  ResetGlCallCounts();
  window.form.Form_Resize();
  columns.push_back({"resize", GlCallCountsNow(), 1});

  columns.push_back(Measure("idle", window, 1));
  window.form.Picture1_MouseUp(kLeftButton, 0, 0, 0);
  columns.push_back(Measure("flight", window, 1));   // d = 1
  Measure("", window, 98);                           // on to d = 99
  columns.push_back(Measure("at rest", window, 1));  // d = 100
  window.form.Picture1_MouseUp(kRightButton, 0, 0, 0);
  columns.push_back(Measure("reset", window, 1));

  // A whole throw and three seconds of idle spin, averaged.
  window.form.Picture1_MouseUp(kLeftButton, 0, 0, 0);
  Column throw_run = Measure("", window, 150);
  window.form.Picture1_MouseUp(kRightButton, 0, 0, 0);
  const Column idle_run = Measure("", window, 150);
  for (std::size_t i = 0; i < throw_run.counts.size(); ++i) {
    throw_run.counts[i] += idle_run.counts[i];
  }
  throw_run.title = "mean/300";
  throw_run.frames = 300;
  columns.push_back(throw_run);

  std::printf(
      "OpenGL calls per frame (load: Form_Load once; resize: the frame Form_Resize draws)\n");
  std::printf("%-14s", "entry point");
  for (const Column& c : columns) std::printf("%10s", c.title.c_str());
  std::printf("\n");
  std::vector<std::int64_t> totals(columns.size(), 0);
  for (std::size_t fn = 0; fn < kGlEntryPointCount; ++fn) {
    std::printf("%-14s", GlEntryPointName(fn));
    for (std::size_t c = 0; c < columns.size(); ++c) {
      const std::int64_t n = columns[c].counts[fn];
      totals[c] += n;
      if (columns[c].frames == 1) {
        std::printf("%10" PRId64, n);
      } else {
        std::printf("%10.1f", static_cast<double>(n) / columns[c].frames);
      }
    }
    std::printf("\n");
  }
  std::printf("%-14s", "total");
  for (std::size_t c = 0; c < columns.size(); ++c) {
    if (columns[c].frames == 1) {
      std::printf("%10" PRId64, totals[c]);
    } else {
      std::printf("%10.1f", static_cast<double>(totals[c]) / columns[c].frames);
    }
  }
  std::printf("\n");
  std::printf("Each frame also makes one buffer swap (SDL_GL_SwapWindow), not counted above.\n\n");
  std::fflush(stdout);
}

// The program's own work in an idle frame: counters, camera, placement, pip
// geometry and the call overhead, with every GL call reduced to a count.
void BM_DrawFrameCountingGl(benchmark::State& state) {
  Window window;
  window.form.Form_Load();
  window.form.Form_Resize();
  ResetGlCallCounts();
  for (auto _ : state) window.form.DrawFrame();
  std::int64_t calls = 0;
  for (const std::int64_t n : GlCallCountsNow()) calls += n;
  state.counters["gl_calls_per_frame"] =
      benchmark::Counter(static_cast<double>(calls), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_DrawFrameCountingGl)->Unit(benchmark::kNanosecond);

}  // namespace
}  // namespace kalvo::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  kalvo::bench::PrintCallTable();
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
