// Cost of one frame's drawing on a real OpenGL context made the way the
// program makes it (Module1 over the SDL surface), presented by the real
// buffer swap, at the start-up size and at 1920 x 1080. CPU time is the whole
// process's, so a driver's worker threads count.
#include <GL/gl.h>
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>

#include "app/frm_main.h"
#include "gl/module1.h"
#include "platform/sdl/sdl_surface.h"
#include "render/gl_scene.h"

namespace kalvo {
namespace {

struct Window {
  SdlSurface surface;
  SdlWgl wgl{surface};
  Module1 module1{wgl};
};

// The idle spin, or the final view long after the camera came to rest.
void Frames(benchmark::State& state, Window& w, int width, int height, bool final_view) {
  SDL_SetWindowSize(w.surface.window(), width, height);
  for (int i = 0; i < 50; ++i) {  // let the X server act on the resize
    SDL_PumpEvents();
    SDL_Delay(2);
  }
  SetViewport(width, height);
  FrameView view{
      .blnRolling = final_view, .vecAngle = {}, .sngBlack = {0, 0, 0, 1}, .sngRed = {1, 0, 0, 1}};
  if (final_view) view.dblElapsed = 1000;
  for (auto _ : state) {
    ++view.lngCount0;
    ClearBuffers();
    DrawScene(view);
    SDL_GL_SwapWindow(w.surface.window());
  }
}

}  // namespace
}  // namespace kalvo

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  kalvo::DrawOnOneThread();  // as Kalvo asks of the driver
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "frame_bench: SDL_Init failed: %s\n", SDL_GetError());
    return 1;
  }
  int status = 1;
  {
    kalvo::Window w;
    if (w.module1.InitGL(kalvo::kPicture1Hdc)) {
      kalvo::SetSwapIntervalZero();
      SDL_ShowWindow(w.surface.window());
      kalvo::SetUpProjection();
      benchmark::AddCustomContext(
          "GL_RENDERER",
          reinterpret_cast<const char*>(glGetString(GL_RENDERER)));  // NOLINT
      for (const auto& [width, height] : {std::pair{238, 189}, std::pair{1920, 1080}}) {
        for (const bool final_view : {false, true}) {
          const std::string name = "DrawFrame/" + std::to_string(width) + "x" +
                                   std::to_string(height) + (final_view ? "/final_view" : "/idle");
          benchmark::RegisterBenchmark(name.c_str(), kalvo::Frames, std::ref(w), width, height,
                                       final_view)
              ->MeasureProcessCPUTime()
              ->UseRealTime()
              ->Unit(benchmark::kMicrosecond);
        }
      }
      benchmark::RunSpecifiedBenchmarks();
      status = 0;
    } else {
      std::fprintf(stderr, "frame_bench: no OpenGL context could be made\n");
    }
  }
  benchmark::Shutdown();
  SDL_Quit();
  return status;
}
