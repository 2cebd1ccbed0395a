#include "platform/web/web_wgl.h"

#include <emscripten/em_js.h>
#include <emscripten/emscripten.h>

#include <cstdio>
#include <string>

#include "platform/web/web_gl.h"

namespace kalvo {
namespace {

// The bodies are JavaScript, which clang-format would take apart as C++.
// clang-format off
// WebGL 1 at all: a browser without it, or with it switched off, has no
// constructor to make one with.
EM_JS(bool, KalvoBrowserHasWebGl, (), { return typeof WebGLRenderingContext !== 'undefined'; });

// Contexts made on the page, by handle (0 is none), and the current one. A
// context is made as the desktop's pixel format is: no stencil, no
// multisampling.
EM_JS(int, KalvoWebGlCreateContext, (const char* canvas, bool alpha, bool depth), {
  var gl = document.querySelector(UTF8ToString(canvas)).getContext(
      "webgl", {alpha: alpha, depth: depth, stencil: false, antialias: false});
  if (!gl) return 0;
  Module.kalvoContexts = Module.kalvoContexts || [null];
  return Module.kalvoContexts.push(gl) - 1;
});
EM_JS(bool, KalvoWebGlMakeCurrent, (int context), {
  var contexts = Module.kalvoContexts || [null];
  if (!(context in contexts) || (context && !contexts[context])) return false;
  Module.kalvoGl = contexts[context];
  return true;
});
EM_JS(bool, KalvoWebGlDeleteContext, (int context), {
  var contexts = Module.kalvoContexts || [null];
  if (!context || !contexts[context]) return false;
  if (Module.kalvoGl === contexts[context]) Module.kalvoGl = null;
  contexts[context] = null;
  return true;
});

// What web_gl.cpp asks of WebGL, on the current context. Its program and
// buffer are made the first time it draws, and kept on the context itself.
EM_JS(void, KalvoWebGlDraw, (const void* vertices, int count), {
  var gl = Module.kalvoGl;
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
  Module.kalvoGl.clearColor(red, green, blue, alpha);
});
EM_JS(void, KalvoWebGlClear, (unsigned mask), { Module.kalvoGl.clear(mask); });
EM_JS(void, KalvoWebGlViewport, (int x, int y, int width, int height), {
  Module.kalvoGl.viewport(x, y, width, height);
});
EM_JS(void, KalvoWebGlEnable, (unsigned capability), { Module.kalvoGl.enable(capability); });

// clang-format on

// To the console, as the desktop's warnings go to stderr.
void Warn(const std::string& line) {
  std::fputs(("kalvo: " + line + "\n").c_str(), stderr);
}

}  // namespace

int WebWgl::ChoosePixelFormat(Hdc /*hdc*/, const PIXELFORMATDESCRIPTOR& pfd) {
  if (!KalvoBrowserHasWebGl()) {
    Warn("this browser offers no WebGL");
    return 0;
  }
  // A WebGL drawing buffer is RGBA, 8 bits a channel, presented as if double
  // buffered; depth up to 16 bits is guaranteed.
  const bool fits = pfd.iPixelType == PFD_TYPE_RGBA && pfd.cColorBits <= 32 &&
                    pfd.cDepthBits <= 16 && pfd.cAccumBits == 0 && pfd.cAuxBuffers == 0 &&
                    (pfd.dwFlags & PFD_SUPPORT_OPENGL) != 0;
  if (!fits) {
    Warn("WebGL has no pixel format with " + std::to_string(pfd.cColorBits) + " colour and " +
         std::to_string(pfd.cDepthBits) + " depth bits");
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
  const int context = KalvoWebGlCreateContext(canvas_.c_str(), alpha_, depth_);
  if (context == 0) {
    Warn("the canvas " + canvas_ + " gave no WebGL context (depth " + (depth_ ? "1" : "0") + ")");
    return Hglrc::kNone;
  }
  return static_cast<Hglrc>(context);
}

bool WebWgl::wglMakeCurrent(Hdc /*hdc*/, Hglrc hglrc) {
  if (KalvoWebGlMakeCurrent(static_cast<int>(hglrc))) return true;
  Warn("no WebGL context " + std::to_string(static_cast<int>(hglrc)) + " to make current");
  return false;
}

bool WebWgl::wglDeleteContext(Hglrc hglrc) {
  return KalvoWebGlDeleteContext(static_cast<int>(hglrc));
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
