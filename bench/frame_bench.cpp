// Time of one frmMain::DrawFrame on a real OpenGL context, made the way the
// program makes it (Module1 over the SDL surface), at the start-up size and
// at 1920 x 1080. Each frame is either finished with glFinish (the drawing
// alone) or presented with the real buffer swap (drawing and copy to the
// window). CPU time is the whole process's, so a driver's worker threads count.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/frm_main.h"
#include "bench/bench_runtime.h"
#include "gl/module1.h"
#include "platform/sdl_surface.h"
#include "render/gl_scene.h"
#include "roll/roll.h"

namespace kalvo::bench {
namespace {

enum class Present { kFinish, kSwap };
enum class View { kIdle, kFinal };

const char* GlString(GLenum name) {
  const auto* text = reinterpret_cast<const char*>(glGetString(name));  // NOLINT: GL's type
  return text != nullptr ? text : "(none)";
}

// One window and context for every benchmark; each one sizes it first.
class FrameFixture {
 public:
  FrameFixture() : runtime_(kPicture1Hdc, [this] { Finish(); }) {}

  bool Load() {
    form_.Form_Load();
    if (runtime_.unloaded() || surface_.window() == nullptr) {
      std::fprintf(stderr, "frame_bench: no OpenGL context could be made\n");
      return false;
    }
    SDL_SetWindowPosition(surface_.window(), 0, 0);
    SDL_ShowWindow(surface_.window());
    return true;
  }

  // Sizes the window and picture, draws the resize frame, and puts the scene
  // into the asked view. Returns what went wrong, or an empty string.
  std::string Prepare(int width, int height, Present present, View view) {
    SDL_SetWindowSize(surface_.window(), width, height);
    // Let the X server act on the resize before the first frame reads the size.
    for (int i = 0; i < 50; ++i) {
      SDL_PumpEvents();
      SDL_Delay(2);
    }
    int drawable_w = 0;
    int drawable_h = 0;
    SDL_GL_GetDrawableSize(surface_.window(), &drawable_w, &drawable_h);
    if (drawable_w != width || drawable_h != height) {
      return "drawable is " + std::to_string(drawable_w) + "x" + std::to_string(drawable_h) +
             ", asked for " + std::to_string(width) + "x" + std::to_string(height) +
             " (is the screen large enough?)";
    }
    runtime_.SetSize(width, height);
    present_ = present;

    form_.Picture1_MouseUp(kRightButton, 0, 0, 0);  // back to the idle spin
    form_.Form_Resize();                            // the frame that sets the viewport
    if (view == View::kFinal) {
      form_.Picture1_MouseUp(kLeftButton, 0, 0, 0);
      // Far past the camera's move: the die lies close below the eye.
      form_.MutableState().lngCount = {1000, 1};
      form_.DrawFrame();
    }
    glFinish();
    if (glGetError() != GL_NO_ERROR) return "OpenGL reported an error while preparing";
    return {};
  }

  frmMain& form() { return form_; }

 private:
  void Finish() {
    if (present_ == Present::kSwap) {
      SDL_GL_SwapWindow(surface_.window());
    } else {
      glFinish();
    }
  }

  SdlSurface surface_;
  SdlWgl wgl_{surface_};
  Module1 module1_{wgl_};
  GlScene scene_;
  BenchRuntime runtime_;
  frmMain form_{runtime_, module1_, scene_};
  Present present_ = Present::kFinish;
};

void RegisterFrameBenchmarks(FrameFixture& fixture) {
  struct Case {
    int width;
    int height;
  };
  for (const Case size : {Case{kClientWidthPx, kClientHeightPx}, Case{1920, 1080}}) {
    for (const View view : {View::kIdle, View::kFinal}) {
      for (const Present present : {Present::kFinish, Present::kSwap}) {
        const std::string name = "DrawFrame/" + std::to_string(size.width) + "x" +
                                 std::to_string(size.height) + "/" +
                                 (view == View::kIdle ? "idle" : "final_view") + "/" +
                                 (present == Present::kFinish ? "glFinish" : "swap");
        benchmark::RegisterBenchmark(name.c_str(),
                                     [&fixture, size, view, present](benchmark::State& state) {
                                       const std::string error =
                                           fixture.Prepare(size.width, size.height, present, view);
                                       if (!error.empty()) {
                                         state.SkipWithError(error.c_str());
                                         return;
                                       }
                                       for (auto _ : state) fixture.form().DrawFrame();
                                     })
            ->MeasureProcessCPUTime()
            ->UseRealTime()
            ->Unit(benchmark::kMicrosecond);
      }
    }
  }
}

}  // namespace
}  // namespace kalvo::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "frame_bench: SDL_Init failed: %s\n", SDL_GetError());
    return 1;
  }
  int status = 0;
  {
    kalvo::bench::FrameFixture fixture;
    if (fixture.Load()) {
      benchmark::AddCustomContext("GL_RENDERER", kalvo::bench::GlString(GL_RENDERER));
      benchmark::AddCustomContext("GL_VERSION", kalvo::bench::GlString(GL_VERSION));
      const char* threads = std::getenv("LP_NUM_THREADS");
      benchmark::AddCustomContext("LP_NUM_THREADS", threads != nullptr ? threads : "(unset)");
      kalvo::bench::RegisterFrameBenchmarks(fixture);
      benchmark::RunSpecifiedBenchmarks();
    } else {
      status = 1;
    }
  }
  benchmark::Shutdown();
  SDL_Quit();
  return status;
}
