#include "bench/gl_counting.h"

#include <GL/gl.h>

namespace kalvo::bench {
namespace {

enum Fn : std::size_t {
  kBegin,
  kClear,
  kClearColor,
  kColor3f,
  kColor3fv,
  kEnable,
  kEnd,
  kFrustum,
  kLoadIdentity,
  kMaterialfv,
  kMatrixMode,
  kNormal3f,
  kPopMatrix,
  kPushMatrix,
  kRotatef,
  kTranslatef,
  kVertex3f,
  kViewport,
  kFnCount
};
static_assert(kFnCount == kGlEntryPointCount);

constexpr std::array<const char*, kGlEntryPointCount> kNames{
    "glBegin",     "glClear",      "glClearColor",   "glColor3f",    "glColor3fv",   "glEnable",
    "glEnd",       "glFrustum",    "glLoadIdentity", "glMaterialfv", "glMatrixMode", "glNormal3f",
    "glPopMatrix", "glPushMatrix", "glRotatef",      "glTranslatef", "glVertex3f",   "glViewport"};

GlCallCounts g_counts{};

void Count(Fn fn) { ++g_counts[fn]; }

}  // namespace

void ResetGlCallCounts() { g_counts = {}; }
GlCallCounts GlCallCountsNow() { return g_counts; }
const char* GlEntryPointName(std::size_t index) { return kNames.at(index); }

}  // namespace kalvo::bench

using kalvo::bench::Count;

// The same names and types as <GL/gl.h> declares, so the linker takes these
// in place of libGL's.
extern "C" {
void glBegin(GLenum /*mode*/) { Count(kalvo::bench::kBegin); }
void glClear(GLbitfield /*mask*/) { Count(kalvo::bench::kClear); }
void glClearColor(GLclampf /*red*/, GLclampf /*green*/, GLclampf /*blue*/, GLclampf /*alpha*/) {
  Count(kalvo::bench::kClearColor);
}
void glColor3f(GLfloat /*red*/, GLfloat /*green*/, GLfloat /*blue*/) {
  Count(kalvo::bench::kColor3f);
}
void glColor3fv(const GLfloat* /*v*/) { Count(kalvo::bench::kColor3fv); }
void glEnable(GLenum /*cap*/) { Count(kalvo::bench::kEnable); }
void glEnd() { Count(kalvo::bench::kEnd); }
void glFrustum(GLdouble /*left*/, GLdouble /*right*/, GLdouble /*bottom*/, GLdouble /*top*/,
               GLdouble /*near*/, GLdouble /*far*/) {
  Count(kalvo::bench::kFrustum);
}
void glLoadIdentity() { Count(kalvo::bench::kLoadIdentity); }
void glMaterialfv(GLenum /*face*/, GLenum /*pname*/, const GLfloat* /*params*/) {
  Count(kalvo::bench::kMaterialfv);
}
void glMatrixMode(GLenum /*mode*/) { Count(kalvo::bench::kMatrixMode); }
void glNormal3f(GLfloat /*nx*/, GLfloat /*ny*/, GLfloat /*nz*/) { Count(kalvo::bench::kNormal3f); }
void glPopMatrix() { Count(kalvo::bench::kPopMatrix); }
void glPushMatrix() { Count(kalvo::bench::kPushMatrix); }
void glRotatef(GLfloat /*angle*/, GLfloat /*x*/, GLfloat /*y*/, GLfloat /*z*/) {
  Count(kalvo::bench::kRotatef);
}
void glTranslatef(GLfloat /*x*/, GLfloat /*y*/, GLfloat /*z*/) { Count(kalvo::bench::kTranslatef); }
void glVertex3f(GLfloat /*x*/, GLfloat /*y*/, GLfloat /*z*/) { Count(kalvo::bench::kVertex3f); }
void glViewport(GLint /*x*/, GLint /*y*/, GLsizei /*width*/, GLsizei /*height*/) {
  Count(kalvo::bench::kViewport);
}
}
