// The window and the real scene over the GL recorder: frmMain with GlScene,
// a Module1 over a context that succeeds, and a runtime that marks
// its size reads, hDC reads and buffer swaps in the recorded stream. Also
// splits one frame's stream into its stages.
#pragma once

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

#include "app/frm_main.h"
#include "gl/module1.h"
#include "render/gl_scene.h"
#include "tests/support/fakes.h"
#include "tests/support/gl_recorder.h"

namespace kalvo::testing {

inline constexpr Hdc kTestHdc{42};

// Picture1: its size and hDC reads are marked in the stream.
class MarkingPicture final : public PictureBox {
 public:
  float width = 238;
  float height = 189;

  Hdc hDC() override {
    Gl().Mark("Picture1.hDC");
    return kTestHdc;
  }
  float ScaleWidth() override {
    Gl().Mark("Picture1.ScaleWidth");
    return width;
  }
  float ScaleHeight() override {
    Gl().Mark("Picture1.ScaleHeight");
    return height;
  }
  void SetWidth(float /*width*/) override {}
  void SetHeight(float /*height*/) override {}
};

class MarkingRuntime final : public FormRuntime {
 public:
  WindowState GetWindowState() override { return WindowState::kNormal; }
  float ScaleWidth() override { return picture.width; }
  float ScaleHeight() override { return picture.height; }
  void Unload() override {}
  PictureBox& Picture1() override { return picture; }
  void SetTimer1Enabled(bool /*enabled*/) override {}
  void SwapBuffers(Hdc hdc) override { Gl().Mark("SwapBuffers", {static_cast<double>(hdc)}); }
  void MsgBox(std::string_view /*prompt*/, std::string_view /*title*/) override {}
  void Randomize() override {}
  RandomSource& Random() override { return random; }
  CounterSource& PerformanceCounter() override { return counter; }

  MarkingPicture picture;
  ScriptedRandom random;
  FakeCounter counter;
};

class Harness {
 public:
  Harness() {
    Gl().Reset();
    form.Form_Load();
  }

  // One frame with the stream cleared first, so indices start at its start.
  void Frame() {
    Gl().Reset();
    form.DrawFrame();
  }

  FrameState& state() { return form.MutableState(); }

  CallLog wgl_log;
  FakeWgl wgl{wgl_log};
  Module1 module1{wgl};
  GlScene scene;
  MarkingRuntime runtime;
  frmMain form{runtime, module1, scene};
};

// The stages of one recorded frame, as indices into the stream.
struct FrameParts {
  std::size_t load_identity = 0;  // glLoadIdentity before the camera
  std::size_t floor_push = 0;     // glPushMatrix of the floor
  std::size_t floor_pop = 0;
  std::size_t die_push = 0;   // glPushMatrix of the die
  std::size_t die_begin = 0;  // DrawDie's glBegin(GL_QUADS)
  std::size_t die_pop = 0;    // the die's glPopMatrix, after DrawDie

  // The camera's three calls.
  std::span<const GlCall> Camera() const { return Gl().Slice(load_identity + 1, floor_push); }
  // What the placement stage multiplied on, in order.
  std::span<const GlCall> Placement() const { return Gl().Slice(die_push + 1, die_begin); }
  // The matrix the floor and the die start from.
  const Mat4& CameraMatrix() const { return Gl()[floor_push].modelview; }
  // The die's whole transform, as DrawDie finds it.
  const Mat4& DieMatrix() const { return Gl()[die_begin].modelview; }
  // A point of the die's model space in the scene's frame, where the floor is drawn.
  Vec3 ModelToScene(const Vec3& p) const {
    return CameraMatrix().RigidInverse().Point(DieMatrix().Point(p));
  }
};

// Finds the stages in the stream of one frame drawn by GlScene::Draw (and
// possibly Clear and SetViewport before it). Fails the test if the stream
// does not have the shape of a frame.
inline std::optional<FrameParts> SplitFrame() {
  const GlRecorder& gl = Gl();
  FrameParts parts;
  struct Stage {
    std::size_t* at;
    const char* call;
  };
  // Each stage's call is the first of its name after the stage before.
  const Stage stages[] = {{&parts.load_identity, "glLoadIdentity"},
                          {&parts.floor_push, "glPushMatrix"},
                          {&parts.floor_pop, "glPopMatrix"},
                          {&parts.die_push, "glPushMatrix"},
                          {&parts.die_begin, "glBegin"}};
  std::size_t from = 0;
  for (const Stage& stage : stages) {
    const auto found = gl.Find(stage.call, from);
    if (!found) return std::nullopt;
    *stage.at = from = *found;
  }
  const auto pops = gl.IndicesOf("glPopMatrix", parts.die_begin);
  if (pops.empty()) return std::nullopt;
  parts.die_pop = pops.back();
  return parts;
}

// GlScene::Draw alone, on a fresh stream.
inline FrameParts DrawView(const FrameView& view) {
  Gl().Reset();
  GlScene scene;
  scene.Draw(view);
  const auto parts = SplitFrame();
  EXPECT_TRUE(parts.has_value()) << "the stream has no frame's shape";
  EXPECT_TRUE(Gl().problems().empty()) << Gl().problems().front();
  return parts.value_or(FrameParts{});
}

inline FrameView ViewAt(double d, std::int32_t n, const tVector& vecAngle = {}) {
  return FrameView{.dblElapsed = d,
                   .lngCount0 = n,
                   .blnRolling = d > 0,
                   .vecAngle = vecAngle,
                   .sngBlack = {0, 0, 0, 1},
                   .sngRed = {1, 0, 0, 1}};
}

}  // namespace kalvo::testing
