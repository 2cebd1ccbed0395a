#include "render/gl_scene.h"

#include <GL/gl.h>

#include "render/camera.h"
#include "render/die_model.h"
#include "render/trajectory.h"

namespace kalvo {
namespace {

void PlaceCamera(const CameraPose& pose) {
  glTranslatef(0, static_cast<float>(pose.ty), static_cast<float>(pose.tz));
  glRotatef(static_cast<float>(pose.ay), 0, 1, 0);
  glRotatef(static_cast<float>(pose.ax), 1, 0, 0);
}

// A grey square of side 3, half a unit below the scene's centre.
void DrawFloor() {
  const auto grey = static_cast<float>(128.0 / 255.0);
  glPushMatrix();
  glTranslatef(0, -0.5F, 0);
  glBegin(GL_POLYGON);
  glColor3f(grey, grey, grey);
  glNormal3f(0, 1, 0);
  glVertex3f(1.5F, 0, 1.5F);
  glVertex3f(1.5F, 0, -1.5F);
  glVertex3f(-1.5F, 0, -1.5F);
  glVertex3f(-1.5F, 0, 1.5F);
  glEnd();
  glPopMatrix();
}

void PlaceDie(const DiePlacement& placement) {
  for (const GlTransform& t : placement) {
    if (t.kind == GlTransform::Kind::kRotate) {
      glRotatef(t.angle, t.x, t.y, t.z);
    } else {
      glTranslatef(t.x, t.y, t.z);
    }
  }
}

}  // namespace

void SetUpProjection() {
  // Square whatever the window's shape: a wide window shows the scene stretched.
  glMatrixMode(GL_PROJECTION);
  glLoadIdentity();
  glFrustum(-1, 1, -1, 1, 2, 10);
  glMatrixMode(GL_MODELVIEW);
  glLoadIdentity();
  glEnable(GL_DEPTH_TEST);
}

void ClearBuffers() {
  glClearColor(0, 0, 0, 1);
  glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
}

void SetViewport(std::int32_t width, std::int32_t height) {
  glViewport(0, 0, width, height);
}

void DrawScene(const FrameView& view) {
  glLoadIdentity();
  PlaceCamera(CameraFor(view.blnRolling, view.dblElapsed));
  DrawFloor();
  glPushMatrix();
  PlaceDie(DiePlacementFor(view.dblElapsed, view.lngCount0, view.vecAngle));
  DrawDie(view.sngBlack, view.sngRed);
  glPopMatrix();
}

}  // namespace kalvo
