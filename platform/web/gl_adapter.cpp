// Bridges render/'s immediate-mode calls to Emscripten's emulation of them,
// which WebGL lacks: the emulation has no GL_POLYGON, and garbles a colour or
// normal that is not given again with every vertex. Linked over the real
// entry points with --wrap (CMakeLists.txt); everything else goes straight
// through. Convex polygons only, which is all the scene draws.
#include <GL/gl.h>

#include <array>

// The linker's --wrap gives these their reserved names.
// NOLINTBEGIN(bugprone-reserved-identifier)
extern "C" {
void __real_glBegin(GLenum mode);
void __real_glNormal3f(GLfloat x, GLfloat y, GLfloat z);
void __real_glVertex3f(GLfloat x, GLfloat y, GLfloat z);
}

namespace {

// GL's current colour and normal, as GL starts them.
std::array<GLfloat, 4> current_colour{1, 1, 1, 1};
std::array<GLfloat, 3> current_normal{0, 0, 1};

}  // namespace

extern "C" {

void __wrap_glBegin(GLenum mode) {
  // A convex polygon is the fan of triangles from its first vertex.
  __real_glBegin(mode == GL_POLYGON ? GL_TRIANGLE_FAN : mode);
}

void __wrap_glColor3f(GLfloat red, GLfloat green, GLfloat blue) {
  current_colour = {red, green, blue, 1};
}

void __wrap_glColor3fv(const GLfloat* v) { current_colour = {v[0], v[1], v[2], 1}; }

void __wrap_glNormal3f(GLfloat x, GLfloat y, GLfloat z) { current_normal = {x, y, z}; }

void __wrap_glVertex3f(GLfloat x, GLfloat y, GLfloat z) {
  glColor4f(current_colour[0], current_colour[1], current_colour[2], current_colour[3]);
  __real_glNormal3f(current_normal[0], current_normal[1], current_normal[2]);
  __real_glVertex3f(x, y, z);
}

}  // extern "C"
// NOLINTEND(bugprone-reserved-identifier)
