// What presenting 50 frames a second costs before Kalvo's own logic: a loop
// that wakes once a frame, clears and swaps on a context made the way Kalvo
// makes it (Module1 over the SDL surface), and with --scene also draws the
// idle spin through DrawScene. bench/run-all runs both beside the builds, so
// their idle figures can be read against these floors.
#include <SDL.h>

#include <cstdio>
#include <ctime>
#include <string_view>

#include "app/frm_main.h"
#include "gl/module1.h"
#include "platform/sdl/sdl_surface.h"
#include "render/gl_scene.h"

namespace {

void SleepUntilNext(timespec& due) {
  due.tv_nsec += 20'000'000;
  if (due.tv_nsec >= 1'000'000'000) {
    due.tv_nsec -= 1'000'000'000;
    ++due.tv_sec;
  }
  clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr);
}

bool QuitAsked() {
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (event.type == SDL_QUIT) return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  const bool scene = argc > 1 && std::string_view(argv[1]) == "--scene";
  kalvo::DrawOnOneThread();  // as Kalvo asks of the driver
  if (SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "present_floor: SDL_Init failed: %s\n", SDL_GetError());
    return 1;
  }
  int status = 1;
  {
    kalvo::SdlSurface surface;
    kalvo::SdlWgl wgl{surface};
    kalvo::Module1 module1{wgl};
    if (module1.InitGL(kalvo::kPicture1Hdc)) {
      kalvo::SetSwapIntervalZero();
      SDL_ShowWindow(surface.window());
      kalvo::SetUpProjection();
      kalvo::SetViewport(238, 189);  // the start-up client area at 96 dpi
      kalvo::FrameView view{.vecAngle = {}, .sngBlack = {0, 0, 0, 1}, .sngRed = {1, 0, 0, 1}};
      timespec due{};
      clock_gettime(CLOCK_MONOTONIC, &due);
      while (!QuitAsked()) {
        kalvo::ClearBuffers();
        if (scene) {
          ++view.lngCount0;
          kalvo::DrawScene(view);
        }
        SDL_GL_SwapWindow(surface.window());
        SleepUntilNext(due);
      }
      status = 0;
    } else {
      std::fprintf(stderr, "present_floor: no OpenGL context could be made\n");
    }
  }
  SDL_Quit();
  return status;
}
