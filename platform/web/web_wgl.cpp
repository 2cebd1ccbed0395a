#include "platform/web/web_wgl.h"

#include <emscripten/em_js.h>
#include <emscripten/html5.h>

#include <cstdio>

#include "platform/web/web_gl.h"

namespace kalvo {
namespace {

// The bodies are JavaScript, which clang-format would take apart as C++.
// clang-format off
// WebGL 1 at all: a browser without it, or with it switched off, has no
// constructor to make one with.
EM_JS(bool, KalvoBrowserHasWebGl, (), { return typeof WebGLRenderingContext !== 'undefined'; });

// What web_gl.cpp asks of WebGL, on the current context. Its program and
// buffer are made the first time it draws, and kept on the context itself.
EM_JS(void, KalvoWebGlDraw, (const void* vertices, int count), {
  var gl = GLctx;
  if (!gl.kalvoBuffer) {
    var program = gl.createProgram();
    var attach = function(type, source) {
      var shader = gl.createShader(type);
      gl.shaderSource(shader, source);
      gl.compileShader(shader);
      gl.attachShader(program, shader);
    };
    attach(gl.VERTEX_SHADER,
           "attribute vec4 p;attribute vec3 c;varying vec3 v;void main(){gl_Position=p;v=c;}");
    attach(gl.FRAGMENT_SHADER,
           "precision mediump float;varying vec3 v;void main(){gl_FragColor=vec4(v,1.);}");
    gl.bindAttribLocation(program, 0, "p");
    gl.bindAttribLocation(program, 1, "c");
    gl.linkProgram(program);
    gl.useProgram(program);
    gl.kalvoBuffer = gl.createBuffer();
    gl.bindBuffer(gl.ARRAY_BUFFER, gl.kalvoBuffer);
    gl.enableVertexAttribArray(0);
    gl.enableVertexAttribArray(1);
    gl.vertexAttribPointer(0, 4, gl.FLOAT, false, 28, 0);
    gl.vertexAttribPointer(1, 3, gl.FLOAT, false, 28, 16);
  }
  gl.bufferData(gl.ARRAY_BUFFER, HEAPU8.subarray(vertices, vertices + count * 28), gl.STREAM_DRAW);
  gl.drawArrays(gl.TRIANGLES, 0, count);
});
EM_JS(void, KalvoWebGlClearColor, (float red, float green, float blue, float alpha), {
  GLctx.clearColor(red, green, blue, alpha);
});
EM_JS(void, KalvoWebGlClear, (unsigned mask), { GLctx.clear(mask); });
EM_JS(void, KalvoWebGlViewport, (int x, int y, int width, int height), {
  GLctx.viewport(x, y, width, height);
});
EM_JS(void, KalvoWebGlEnable, (unsigned capability), { GLctx.enable(capability); });

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
  attributes.majorVersion = 1;   // all that web_gl.cpp needs
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
  return true;
}

bool WebWgl::wglDeleteContext(Hglrc hglrc) {
  const auto context = static_cast<EMSCRIPTEN_WEBGL_CONTEXT_HANDLE>(hglrc);
  return emscripten_webgl_destroy_context(context) == EMSCRIPTEN_RESULT_SUCCESS;
}

namespace webgl {

void ClearColor(float red, float green, float blue, float alpha) {
  KalvoWebGlClearColor(red, green, blue, alpha);
}
void Clear(unsigned mask) { KalvoWebGlClear(mask); }
void Viewport(int x, int y, int width, int height) { KalvoWebGlViewport(x, y, width, height); }
void Enable(unsigned capability) { KalvoWebGlEnable(capability); }
void DrawTriangles(const Vertex* vertices, std::size_t count) {
  KalvoWebGlDraw(vertices, static_cast<int>(count));
}

}  // namespace webgl
}  // namespace kalvo
