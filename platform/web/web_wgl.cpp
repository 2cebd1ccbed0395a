#include "platform/web/web_wgl.h"

#include <emscripten/em_js.h>
#include <emscripten/html5.h>

#include <cstdio>

namespace kalvo {
namespace {

// The bodies are JavaScript, which clang-format would take apart as C++.
// clang-format off
// WebGL 1 at all: a browser without it, or with it switched off, has no
// constructor to make one with.
EM_JS(bool, KalvoBrowserHasWebGl, (), { return typeof WebGLRenderingContext !== 'undefined'; });

// The emulation of immediate mode sets itself up from these callbacks, and
// only for a module marked as using WebGL; only Emscripten's own context
// makers do both. A context made through the HTML5 API needs them done by
// hand, once it is current.
EM_JS(void, KalvoStartGlEmulation, (), {
  Module.useWebGL = true;
  Browser.moduleContextCreatedCallbacks.forEach(function(callback) { callback(); });
});

// clang-format on

}  // namespace

int WebWgl::ChoosePixelFormat(Hdc /*hdc*/, const PIXELFORMATDESCRIPTOR& pfd) {
  if (!KalvoBrowserHasWebGl()) {
    std::fprintf(stderr, "kalvo: this browser offers no WebGL\n");
    return 0;
  }
  // A WebGL drawing buffer is RGBA, 8 bits a channel, presented as if double
  // buffered; depth up to 16 bits is guaranteed.
  const bool fits = pfd.iPixelType == PFD_TYPE_RGBA && pfd.cColorBits <= 32 &&
                    pfd.cDepthBits <= 16 && pfd.cAccumBits == 0 && pfd.cAuxBuffers == 0 &&
                    (pfd.dwFlags & PFD_SUPPORT_OPENGL) != 0;
  if (!fits) {
    std::fprintf(stderr, "kalvo: WebGL has no pixel format with %u colour and %u depth bits\n",
                 pfd.cColorBits, pfd.cDepthBits);
    return 0;
  }
  return 1;
}

bool WebWgl::SetPixelFormat(Hdc /*hdc*/, int format, const PIXELFORMATDESCRIPTOR& pfd) {
  if (format != 1) return false;
  depth_ = pfd.cDepthBits > 0;
  alpha_ = pfd.cAlphaBits > 0;
  return true;
}

Hglrc WebWgl::wglCreateContext(Hdc /*hdc*/) {
  EmscriptenWebGLContextAttributes attributes;
  emscripten_webgl_init_context_attributes(&attributes);
  attributes.alpha = alpha_;
  attributes.depth = depth_;
  attributes.stencil = false;
  attributes.antialias = false;  // as the desktop's pixel format: no multisampling
  attributes.majorVersion = 1;   // what the emulation of immediate mode is written for
  attributes.minorVersion = 0;
  const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context =
      emscripten_webgl_create_context(canvas_.c_str(), &attributes);
  if (context <= 0) {
    std::fprintf(stderr,
                 "kalvo: emscripten_webgl_create_context(%s, WebGL 1, depth %d) failed: %d\n",
                 canvas_.c_str(), depth_ ? 1 : 0, static_cast<int>(context));
    return Hglrc::kNone;
  }
  return static_cast<Hglrc>(context);
}

bool WebWgl::wglMakeCurrent(Hdc /*hdc*/, Hglrc hglrc) {
  const auto context = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(hglrc);
  const EMSCRIPTEN_RESULT result = emscripten_webgl_make_context_current(context);
  if (result != EMSCRIPTEN_RESULT_SUCCESS) {
    std::fprintf(stderr, "kalvo: emscripten_webgl_make_context_current(%d) failed: %d\n",
                 static_cast<int>(context), static_cast<int>(result));
    return false;
  }
  if (hglrc != Hglrc::kNone && !emulation_started_) {
    KalvoStartGlEmulation();
    emulation_started_ = true;
  }
  return true;
}

bool WebWgl::wglDeleteContext(Hglrc hglrc) {
  const auto context = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(hglrc);
  return emscripten_webgl_destroy_context(context) == EMSCRIPTEN_RESULT_SUCCESS;
}

}  // namespace kalvo
