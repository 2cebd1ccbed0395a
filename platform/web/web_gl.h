// Kalvo's OpenGL 1.1 in the browser, which has only WebGL: exactly the entry
// points render/ and gl/ call, kept as GL 1.1 defines them (matrix stacks,
// the current colour), defined in web_gl.cpp. Each primitive becomes
// triangles in clip space, gathered in one buffer; WebGL draws them in one
// call when anything else reaches it, and at the end of the frame. The
// picture is the same as drawing each primitive in turn: nothing between two
// primitives changes WebGL's state, and one draw keeps their order.
#pragma once

#include <cstddef>

namespace kalvo {

// Draws what has been gathered: the backend calls it before the frame is shown.
void FlushGl();

// What the GL asks of WebGL, in WebGL's own terms: defined over the page's
// context (web_wgl.cpp), and by the tests, which record it.
namespace webgl {

// One vertex as WebGL gets it: clip coordinates, then colour.
struct Vertex {
  float x;
  float y;
  float z;
  float w;
  float r;
  float g;
  float b;
};

void ClearColor(float red, float green, float blue, float alpha);
void Clear(unsigned mask);
void Viewport(int x, int y, int width, int height);
void Enable(unsigned capability);
// Three vertices a triangle, drawn in order.
void DrawTriangles(const Vertex* vertices, std::size_t count);

}  // namespace webgl
}  // namespace kalvo
