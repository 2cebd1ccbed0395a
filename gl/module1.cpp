#include "gl/module1.h"

namespace kalvo {

PIXELFORMATDESCRIPTOR RequestedPixelFormat() {
  PIXELFORMATDESCRIPTOR pfd;
  pfd.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
  pfd.iPixelType = PFD_TYPE_RGBA;
  pfd.cColorBits = 32;
  pfd.cDepthBits = 16;
  pfd.iLayerType = PFD_MAIN_PLANE;
  return pfd;
}

bool Module1::InitGL(Hdc hDC) {
  const PIXELFORMATDESCRIPTOR pfd = RequestedPixelFormat();
  const int format = wgl_.ChoosePixelFormat(hDC, pfd);
  if (format == 0) return false;
  if (!wgl_.SetPixelFormat(hDC, format, pfd)) return false;
  const Hglrc context = wgl_.wglCreateContext(hDC);
  if (context == Hglrc::kNone) return false;
  // A context that cannot be made current is of no use to the frame code,
  // which never makes it current itself.
  if (!wgl_.wglMakeCurrent(hDC, context)) {
    wgl_.wglDeleteContext(context);
    return false;
  }
  hRC_ = context;
  return true;
}

void Module1::ReleaseGL() {
  if (hRC_ == Hglrc::kNone) return;
  wgl_.wglMakeCurrent(Hdc::kNone, Hglrc::kNone);
  wgl_.wglDeleteContext(hRC_);
  hRC_ = Hglrc::kNone;
}

}  // namespace kalvo
