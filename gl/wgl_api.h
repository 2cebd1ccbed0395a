// The platform calls that put an OpenGL context on a drawing surface, shaped
// as the program asks for them: choose a pixel format, set it, create a
// context, make it current, delete it. Each platform's backend implements them;
// tests fail them one by one.
#pragma once

#include <cstdint>

namespace kalvo {

// Opaque handles: a drawing surface and a rendering context. kNone is null.
enum class Hdc : std::uintptr_t { kNone = 0 };
enum class Hglrc : std::uintptr_t { kNone = 0 };

inline constexpr std::uint32_t PFD_DOUBLEBUFFER = 0x01;
inline constexpr std::uint32_t PFD_DRAW_TO_WINDOW = 0x04;
inline constexpr std::uint32_t PFD_SUPPORT_OPENGL = 0x20;
inline constexpr std::uint8_t PFD_TYPE_RGBA = 0;
inline constexpr std::uint8_t PFD_MAIN_PLANE = 0;

// The requested pixel format. Fields left zero ask for nothing.
struct PIXELFORMATDESCRIPTOR {
  std::uint32_t dwFlags = 0;
  std::uint8_t iPixelType = 0;
  std::uint8_t cColorBits = 0;
  std::uint8_t cAlphaBits = 0;
  std::uint8_t cAccumBits = 0;
  std::uint8_t cDepthBits = 0;
  std::uint8_t cStencilBits = 0;
  std::uint8_t cAuxBuffers = 0;
  std::uint8_t iLayerType = 0;
};

class WglApi {
 public:
  virtual ~WglApi() = default;
  // The format that best matches the request, or 0 when there is none.
  virtual int ChoosePixelFormat(Hdc hdc, const PIXELFORMATDESCRIPTOR& pfd) = 0;
  virtual bool SetPixelFormat(Hdc hdc, int format, const PIXELFORMATDESCRIPTOR& pfd) = 0;
  virtual Hglrc wglCreateContext(Hdc hdc) = 0;
  // With kNone for both, makes no context current.
  virtual bool wglMakeCurrent(Hdc hdc, Hglrc hglrc) = 0;
  virtual bool wglDeleteContext(Hglrc hglrc) = 0;
};

}  // namespace kalvo
