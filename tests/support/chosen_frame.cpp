// A chosen frame drawn by render/ on Kalvo's GL on WebGL, or on Linux's OpenGL,
// for the two to be compared. NAME is idle, flight, or rest1 to rest6.
//   Linux:   kalvo_chosen_frame OUT_DIR NAME...  writes OUT_DIR/NAME.ppm on $DISPLAY
//   Browser: chosen_frame.html?NAME              draws NAME on the page's canvas
#include <GL/gl.h>

#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gl/module1.h"
#include "render/gl_scene.h"
#include "roll/roll.h"

#ifdef __EMSCRIPTEN__
#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>

#include "platform/web/web_gl.h"
#include "platform/web/web_wgl.h"
#else
#include <SDL.h>
#endif

namespace {

// Twice the picture's start-up size, so that a pip is a few pixels across.
constexpr int kWidth = 476;
constexpr int kHeight = 378;

std::optional<kalvo::FrameView> FrameNamed(std::string_view name) {
  kalvo::FrameView view;
  view.sngBlack = {0, 0, 0, 1};
  view.sngRed = {1, 0, 0, 1};
  view.lngCount0 = 137;  // the idle spin's phase
  if (name == "idle") return view;
  view.blnRolling = true;
  // A throw ending at `face`, 25 degrees round from square, at rest.
  if (name.size() == 5 && name.substr(0, 4) == "rest" && name[4] >= '1' && name[4] <= '6') {
    view.dblElapsed = 150;
    view.vecAngle = kalvo::FinalOrientation(static_cast<std::int16_t>(name[4] - '0'), 25);
    return view;
  }
  if (name == "flight") {  // a throw in the air, on its way to a 5
    view.dblElapsed = 30;
    view.vecAngle = kalvo::FinalOrientation(5, 25);
    return view;
  }
  return std::nullopt;
}

// As the window draws a frame after its first resize.
void Draw(const kalvo::FrameView& view) {
  kalvo::SetUpProjection();
  kalvo::ClearBuffers();
  kalvo::SetViewport(kWidth, kHeight);
  kalvo::DrawScene(view);
}

}  // namespace

#ifdef __EMSCRIPTEN__

// clang-format off
EM_JS(void, ChosenFrameName, (char* out, int size), {
  stringToUTF8(location.search.slice(1), out, size);
});
EM_JS(void, ChosenFrameDrawn, (bool drawn), { window.kalvoFrameDrawn = drawn ? "drawn" : "failed"; });
// clang-format on

int main() {
  std::string name(16, '\0');
  ChosenFrameName(name.data(), static_cast<int>(name.size()));
  const auto view = FrameNamed(name.c_str());
  static kalvo::WebWgl wgl("#picture1");
  static kalvo::Module1 module1(wgl);
  if (!view || !module1.InitGL(kalvo::Hdc{1})) {
    ChosenFrameDrawn(false);
    return 1;
  }
  Draw(*view);
  kalvo::FlushGl();
  ChosenFrameDrawn(true);
  return 0;
}

#else

// With the desktop's pixel format (gl/module1.h): 8 bits a colour, 16 of depth.
int main(int argc, char** argv) {
  if (argc < 3 || SDL_Init(SDL_INIT_VIDEO) != 0) {
    std::fprintf(stderr, "usage: kalvo_chosen_frame OUT_DIR NAME... (on an X display)\n");
    return 2;
  }
  for (const SDL_GLattr size : {SDL_GL_RED_SIZE, SDL_GL_GREEN_SIZE, SDL_GL_BLUE_SIZE}) {
    SDL_GL_SetAttribute(size, 8);
  }
  SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 16);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_Window* window = SDL_CreateWindow("chosen frame", 0, 0, kWidth, kHeight, SDL_WINDOW_OPENGL);
  SDL_GLContext context = window ? SDL_GL_CreateContext(window) : nullptr;
  if (context == nullptr) {
    std::fprintf(stderr, "kalvo_chosen_frame: no GL window: %s\n", SDL_GetError());
    return 1;
  }
  int status = 0;
  std::vector<unsigned char> rgb(std::size_t{kWidth} * kHeight * 3);
  for (int i = 2; i < argc; ++i) {
    const auto view = FrameNamed(argv[i]);
    if (!view) {
      std::fprintf(stderr, "kalvo_chosen_frame: no frame named %s\n", argv[i]);
      status = 2;
      continue;
    }
    Draw(*view);
    glFinish();
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, kWidth, kHeight, GL_RGB, GL_UNSIGNED_BYTE, rgb.data());
    const std::string path = std::string(argv[1]) + "/" + argv[i] + ".ppm";
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) {
      std::perror(path.c_str());
      return 1;
    }
    std::fprintf(out, "P6\n%d %d\n255\n", kWidth, kHeight);
    for (int row = kHeight - 1; row >= 0; --row) {  // GL's rows run bottom up
      std::fwrite(rgb.data() + std::size_t{kWidth} * 3 * static_cast<std::size_t>(row), 1,
                  std::size_t{kWidth} * 3, out);
    }
    std::fclose(out);
  }
  SDL_GL_DeleteContext(context);
  SDL_DestroyWindow(window);
  SDL_Quit();
  return status;
}

#endif
