// Rendered frames, read back and looked at as a person would: the black
// background, the grey floor, the die's tints on the sides that face the
// eye, and in the final view the pips of the result on the top face. Runs
// the real window code on a real context (Mesa under Xvfb, see with-xvfb)
// and saves every frame it checks as a PNG in the build tree.
#include <SDL.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "app/frm_main.h"
#include "gl/module1.h"
#include "platform/sdl_surface.h"
#include "render/camera.h"
#include "render/gl_scene.h"
#include "render/readback.h"
#include "render/trajectory.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"
#include "tests/support/gl_recorder.h"
#include "tools/png_writer.h"

namespace kalvo::testing {
namespace {

using Rgb = std::array<int, 3>;

constexpr Rgb kBlack{0, 0, 0};
constexpr Rgb kFloorGrey{128, 128, 128};
constexpr Rgb kPaleGreen{208, 255, 208};  // faces 1 and 6
constexpr Rgb kPaleRed{255, 208, 208};    // faces 2 and 5
constexpr Rgb kPaleBlue{208, 208, 255};   // faces 3 and 4
constexpr Rgb kPipRed{255, 0, 0};
// Flat colours with no lighting: a channel may be off by one rounding step.
constexpr int kTolerance = 1;

bool Near(const Rgb& a, const Rgb& b) {
  for (std::size_t i = 0; i < 3; ++i) {
    if (std::abs(a[i] - b[i]) > kTolerance) return false;
  }
  return true;
}

std::string ToString(const Rgb& c) {
  std::ostringstream out;
  out << "(" << c[0] << ", " << c[1] << ", " << c[2] << ")";
  return out.str();
}

Rgb TintOf(int face) {
  switch (face) {
    case 1:
    case 6:
      return kPaleGreen;
    case 2:
    case 5:
      return kPaleRed;
    default:
      return kPaleBlue;
  }
}

// A frame as read back, rows from the top.
struct Picture {
  RgbImage image;
  Rgb At(int x, int y) const {
    const auto i = (static_cast<std::size_t>(y) * static_cast<std::size_t>(image.width) +
                    static_cast<std::size_t>(x)) *
                   3;
    return {image.rgb[i], image.rgb[i + 1], image.rgb[i + 2]};
  }
  bool Inside(int x, int y) const {
    return x >= 0 && y >= 0 && x < image.width && y < image.height;
  }
};

std::filesystem::path FramesDir() { return KALVO_PIXELS_FRAMES_DIR; }

// Picture1 on the SDL surface. The swap reads the back buffer first, so each
// frame drawn is kept exactly as it was presented.
class ReadingRuntime final : public FormRuntime, public PictureBox {
 public:
  explicit ReadingRuntime(SdlSurface& surface) : surface_(surface) {}

  WindowState GetWindowState() override { return WindowState::kNormal; }
  float ScaleWidth() override { return static_cast<float>(Drawable()[0]); }
  float ScaleHeight() override { return static_cast<float>(Drawable()[1]); }
  void Unload() override {}
  PictureBox& Picture1() override { return *this; }
  void SetTimer1Enabled(bool /*enabled*/) override {}
  void SwapBuffers(Hdc /*hdc*/) override {
    const auto size = Drawable();
    last.image = ReadBackBuffer(size[0], size[1]);
    SDL_GL_SwapWindow(surface_.window());
  }
  void MsgBox(std::string_view prompt, std::string_view /*title*/) override {
    ADD_FAILURE() << "message box: " << prompt;
  }
  void Randomize() override {}
  RandomSource& Random() override { return random_; }
  CounterSource& PerformanceCounter() override { return counter_; }

  Hdc hDC() override { return kPicture1Hdc; }
  void SetWidth(float /*width*/) override {}
  void SetHeight(float /*height*/) override {}

  std::array<int, 2> Drawable() const {
    std::array<int, 2> size{0, 0};
    if (surface_.window() != nullptr) SDL_GL_GetDrawableSize(surface_.window(), &size[0], &size[1]);
    return size;
  }

  Picture last;

 private:
  SdlSurface& surface_;
  ScriptedRandom random_;
  FakeCounter counter_;
};

// The program's window on a real context, made afresh for each test.
class PixelTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ASSERT_EQ(SDL_Init(SDL_INIT_VIDEO), 0) << SDL_GetError();
    std::filesystem::create_directories(FramesDir());
  }
  static void TearDownTestSuite() { SDL_Quit(); }

  void SetUp() override {
    form_.Form_Load();
    ASSERT_NE(module1_.hRC(), Hglrc::kNone) << "no OpenGL context: " << SDL_GetError();
    SDL_ShowWindow(surface_.window());
  }

  void TearDown() override { form_.Form_Unload(); }

  void Resize(int width, int height) {
    SDL_SetWindowSize(surface_.window(), width, height);
    for (int i = 0; i < 200 && runtime_.Drawable() != std::array<int, 2>{width, height}; ++i) {
      SDL_PumpEvents();
      SDL_Delay(5);
    }
    ASSERT_EQ(runtime_.Drawable(), (std::array<int, 2>{width, height}));
    // Mesa's X11 software drawable takes up a new window size only after a
    // swap, so the frame that the resize itself draws still has the old size.
    form_.Form_Resize();
  }

  // The next frame is the d-th of a throw that ends on `vecAngle`.
  void PrepareThrow(std::int32_t d, const tVector& vecAngle) {
    FrameState& s = form_.MutableState();
    s.blnRolling = true;
    s.blnThrown = true;
    s.vecAngle = vecAngle;
    s.lngCount = {500 + d - 1, 500};
  }

  // Draws the next frame as a resize does, saves it and returns it.
  const Picture& DrawAndSave(const std::string& name) {
    form_.Form_Resize();
    const RgbImage& image = runtime_.last.image;
    const std::string file = (FramesDir() / (name + "-" + std::to_string(image.width) + "x" +
                                             std::to_string(image.height) + ".png"))
                                 .string();
    std::string error;
    EXPECT_TRUE(WritePng(file, image.width, image.height, 3, image.rgb, &error)) << error;
    RecordProperty("frame", file);
    return runtime_.last;
  }

  FrameState& state() { return form_.MutableState(); }

  SdlSurface surface_;
  SdlWgl wgl_{surface_};
  Module1 module1_{wgl_};
  GlScene scene_;
  ReadingRuntime runtime_{surface_};
  frmMain form_{runtime_, module1_, scene_};
};

// Where a scene point shows, from the frame's own camera and die placement.
class Viewer {
 public:
  Viewer(const FrameState& s, int width, int height) : width_(width), height_(height) {
    const double d = static_cast<double>(s.lngCount[0] - s.lngCount[1]);
    const CameraPose pose = CameraFor(s.blnRolling, d);
    camera_ = Mat4::Translation(0, static_cast<float>(pose.ty), static_cast<float>(pose.tz)) *
              Mat4::Rotation(static_cast<float>(pose.ay), 0, 1, 0) *
              Mat4::Rotation(static_cast<float>(pose.ax), 1, 0, 0);
    die_ = Mat4::Identity();
    for (const GlTransform& t : DiePlacementFor(d, s.lngCount[0], s.vecAngle)) {
      die_ = die_ * (t.kind == GlTransform::Kind::kRotate ? Mat4::Rotation(t.angle, t.x, t.y, t.z)
                                                          : Mat4::Translation(t.x, t.y, t.z));
    }
  }

  // Window position, rows from the top.
  std::array<double, 2> Project(const Vec3& scene) const {
    const auto clip = kProjection.Apply(camera_.Point(scene), 1);
    return {(clip[0] / clip[3] + 1) / 2 * width_, height_ - (clip[1] / clip[3] + 1) / 2 * height_};
  }
  Vec3 ModelToScene(const Vec3& p) const { return die_.Point(p); }
  Vec3 ToEye(const Vec3& scene) const { return camera_.Point(scene); }
  Vec3 ModelDirectionToEye(const Vec3& v) const { return camera_.Direction(die_.Direction(v)); }

 private:
  const Mat4 kProjection = Mat4::Frustum(-1, 1, -1, 1, 2, 10);
  int width_;
  int height_;
  Mat4 camera_;
  Mat4 die_;
};

// The frame that carries a face's pips onto its side, and a point of the side
// clear of every pip (in that frame, where the side is the plane z = 0.2).
struct FaceFrame {
  int face;
  Mat4 turn;
  Vec3 clear_point;
};

std::vector<FaceFrame> FaceFrames() {
  return {
      {1, Mat4::Identity(), {0.15, 0.15, 0.2}},
      {2, Mat4::Rotation(90, 1, 0, 0), {-0.1, 0.1, 0.2}},
      {3, Mat4::Rotation(90, 0, 1, 0), {-0.1, 0.1, 0.2}},
      {4, Mat4::Rotation(90, 0, -1, 0), {0, 0, 0.2}},
      {5, Mat4::Rotation(90, -1, 0, 0), {0, 0.135, 0.2}},
      {6, Mat4::Rotation(180, 1, 0, 0), {0.06, 0, 0.2}},
  };
}

int Floor(double v) { return static_cast<int>(std::floor(v)); }

// Every side that faces the eye squarely enough shows its own tint at a
// point clear of its pips. Returns how many sides were checked.
int ExpectVisibleSidesTinted(const Picture& p, const Viewer& view) {
  int checked = 0;
  for (const FaceFrame& f : FaceFrames()) {
    const Vec3 point = view.ModelToScene(f.turn.Point(f.clear_point));
    const Vec3 eye = view.ToEye(point);
    const Vec3 normal = view.ModelDirectionToEye(f.turn.Direction({0, 0, 1}));
    const double facing = -normal.Dot(eye) / eye.Length();
    if (facing < 0.25 || point.y < -0.45) continue;  // edge-on, or through the floor
    const auto at = view.Project(point);
    const int x = Floor(at[0]);
    const int y = Floor(at[1]);
    if (!p.Inside(x, y)) continue;
    ++checked;
    EXPECT_TRUE(Near(p.At(x, y), TintOf(f.face)))
        << "face " << f.face << " at (" << x << ", " << y << "): expected "
        << ToString(TintOf(f.face)) << ", got " << ToString(p.At(x, y));
  }
  return checked;
}

// Nothing but the scene's flat colours: no lighting, blending or smoothing.
void ExpectOnlySceneColours(const Picture& p) {
  const Rgb allowed[] = {kBlack, kFloorGrey, kPaleGreen, kPaleRed, kPaleBlue, kPipRed};
  int strays = 0;
  for (int y = 0; y < p.image.height; ++y) {
    for (int x = 0; x < p.image.width; ++x) {
      const Rgb c = p.At(x, y);
      if (std::none_of(std::begin(allowed), std::end(allowed),
                       [&](const Rgb& a) { return Near(c, a); })) {
        if (strays++ == 0)
          ADD_FAILURE() << "stray colour " << ToString(c) << " at " << x << ", " << y;
      }
    }
  }
  EXPECT_EQ(strays, 0);
}

struct Blob {
  int count = 0;
  double x = 0;  // centroid
  double y = 0;
};

Blob PixelsOf(const Picture& p, const std::vector<Rgb>& colours) {
  Blob b;
  for (int y = 0; y < p.image.height; ++y) {
    for (int x = 0; x < p.image.width; ++x) {
      const Rgb c = p.At(x, y);
      if (std::any_of(colours.begin(), colours.end(), [&](const Rgb& a) { return Near(c, a); })) {
        ++b.count;
        b.x += x;
        b.y += y;
      }
    }
  }
  if (b.count > 0) {
    b.x /= b.count;
    b.y /= b.count;
  }
  return b;
}

// The die shows where its centre projects, at least as large as half of one
// side seen square on.
void ExpectDieAt(const Picture& p, const Viewer& view) {
  const Blob die = PixelsOf(p, {kPaleGreen, kPaleRed, kPaleBlue});
  const Vec3 centre = view.ModelToScene({0, 0, 0});
  const auto at = view.Project(centre);
  const double distance = -view.ToEye(centre).z;
  const double edge_x = 0.4 * 2 / distance * p.image.width / 2;  // near plane 2, half-width 1
  const double edge_y = 0.4 * 2 / distance * p.image.height / 2;
  EXPECT_GT(die.count, 0.5 * edge_x * edge_y) << "a side is about " << edge_x << " by " << edge_y;
  EXPECT_NEAR(die.x, at[0], edge_x / 2) << "die's tints centred at x " << die.x;
  EXPECT_NEAR(die.y, at[1], edge_y / 2) << "die's tints centred at y " << die.y;
}

double PolygonArea(const std::vector<std::array<double, 2>>& corners) {
  double twice = 0;
  for (std::size_t i = 0; i < corners.size(); ++i) {
    const auto& a = corners[i];
    const auto& b = corners[(i + 1) % corners.size()];
    twice += a[0] * b[1] - b[0] * a[1];
  }
  return std::abs(twice) / 2;
}

bool InsideConvex(const std::vector<std::array<double, 2>>& q, double x, double y) {
  int sign = 0;
  for (std::size_t i = 0; i < q.size(); ++i) {
    const auto& a = q[i];
    const auto& b = q[(i + 1) % q.size()];
    const double cross = (b[0] - a[0]) * (y - a[1]) - (b[1] - a[1]) * (x - a[0]);
    const int s = cross > 0 ? 1 : -1;
    if (sign != 0 && s != sign) return false;
    sign = s;
  }
  return true;
}

// Connected (4-neighbour) groups of marked pixels, with the colour of each.
std::vector<std::pair<int, Rgb>> Components(const Picture& p, std::vector<bool> marked) {
  const int w = p.image.width;
  std::vector<std::pair<int, Rgb>> found;
  std::vector<int> stack;
  for (int start = 0; start < static_cast<int>(marked.size()); ++start) {
    if (!marked[static_cast<std::size_t>(start)]) continue;
    int size = 0;
    stack.push_back(start);
    marked[static_cast<std::size_t>(start)] = false;
    while (!stack.empty()) {
      const int i = stack.back();
      stack.pop_back();
      ++size;
      const int x = i % w;
      const int y = i / w;
      const int next[4][2] = {{x + 1, y}, {x - 1, y}, {x, y + 1}, {x, y - 1}};
      for (const auto& n : next) {
        if (!p.Inside(n[0], n[1])) continue;
        const auto j = static_cast<std::size_t>(n[1] * w + n[0]);
        if (marked[j]) {
          marked[j] = false;
          stack.push_back(static_cast<int>(j));
        }
      }
    }
    found.emplace_back(size, p.At(start % w, start / w));
  }
  return found;
}

TEST_F(PixelTest, FirstIdleFrameShowsTheDieOverTheGreyFloorOnBlack) {
  const Picture& p = DrawAndSave("idle-first");
  ASSERT_EQ(p.image.width, kClientWidthPx);
  ASSERT_EQ(p.image.height, kClientHeightPx);
  EXPECT_EQ(state().lngCount, (std::array<std::int32_t, 2>{1, 1}));
  const Viewer view(state(), p.image.width, p.image.height);
  ExpectOnlySceneColours(p);

  // Black above the scene and in the corners.
  for (int x = 0; x < p.image.width; ++x) {
    EXPECT_TRUE(Near(p.At(x, 0), kBlack)) << "top row at x " << x;
  }
  EXPECT_TRUE(Near(p.At(p.image.width - 1, p.image.height - 1), kBlack));

  // The floor: grey over the area its corners enclose, less what the die hides.
  std::vector<std::array<double, 2>> floor;
  for (const Vec3& corner : {Vec3{1.5, -0.5, 1.5}, Vec3{1.5, -0.5, -1.5}, Vec3{-1.5, -0.5, -1.5},
                             Vec3{-1.5, -0.5, 1.5}}) {
    floor.push_back(view.Project(corner));
  }
  const double area = PolygonArea(floor);
  const Blob grey = PixelsOf(p, {kFloorGrey});
  EXPECT_GT(grey.count, 0.85 * area) << "floor's projected area " << area;
  EXPECT_LT(grey.count, 1.02 * area) << "floor's projected area " << area;
  for (const Vec3& spot :
       {Vec3{1.2, -0.5, 1.2}, Vec3{-1.2, -0.5, 1.2}, Vec3{1.2, -0.5, -1.2}, Vec3{0, -0.5, 1.3}}) {
    const auto at = view.Project(spot);
    EXPECT_TRUE(Near(p.At(Floor(at[0]), Floor(at[1])), kFloorGrey))
        << "floor at (" << spot.x << ", " << spot.z << ")";
  }

  ExpectDieAt(p, view);
  EXPECT_GE(ExpectVisibleSidesTinted(p, view), 2);
}

TEST_F(PixelTest, DieInMidFlightShowsItsTintsWhereTheArcPutsIt) {
  for (const auto& size : {std::array<int, 2>{238, 189}, std::array<int, 2>{480, 480}}) {
    Resize(size[0], size[1]);
    PrepareThrow(50, FinalOrientation(5, 20));
    const Picture& p = DrawAndSave("throw-d50");
    const Viewer view(state(), p.image.width, p.image.height);
    ExpectOnlySceneColours(p);
    ExpectDieAt(p, view);
    EXPECT_GE(ExpectVisibleSidesTinted(p, view), 1);
  }
}

TEST_F(PixelTest, FinalViewShowsTheResultsPipsOnTheTopFace) {
  Resize(480, 480);
  for (std::int16_t outcome = 1; outcome <= 6; ++outcome) {
    const double spin = 17.0 * outcome;
    PrepareThrow(150, FinalOrientation(outcome, spin));
    const Picture& p = DrawAndSave("final-" + std::to_string(outcome));
    const Viewer view(state(), p.image.width, p.image.height);
    ExpectOnlySceneColours(p);
    ExpectDieAt(p, view);
    EXPECT_GE(ExpectVisibleSidesTinted(p, view), 2) << "outcome " << outcome;

    // The top face's outline on screen, a hair inside its edges.
    const Mat4 turn = FaceFrames()[static_cast<std::size_t>(outcome - 1)].turn;
    std::vector<std::array<double, 2>> top;
    for (const auto& c :
         {std::array<double, 2>{0.19, 0.19}, {0.19, -0.19}, {-0.19, -0.19}, {-0.19, 0.19}}) {
      const Vec3 scene = view.ModelToScene(turn.Point({c[0], c[1], 0.2}));
      EXPECT_NEAR(scene.y, 0, 1e-5) << "the face of " << outcome << " is not on top";
      top.push_back(view.Project(scene));
    }
    std::vector<bool> pips(static_cast<std::size_t>(p.image.width * p.image.height));
    int tinted = 0;
    int other = 0;
    for (int y = 0; y < p.image.height; ++y) {
      for (int x = 0; x < p.image.width; ++x) {
        if (!InsideConvex(top, x + 0.5, y + 0.5)) continue;
        const Rgb c = p.At(x, y);
        if (Near(c, TintOf(outcome))) {
          ++tinted;
        } else if (Near(c, kBlack) || Near(c, kPipRed)) {
          pips[static_cast<std::size_t>(y * p.image.width + x)] = true;
        } else {
          ++other;
        }
      }
    }
    EXPECT_EQ(other, 0) << "outcome " << outcome << ": colours foreign to the top face";
    EXPECT_GT(tinted, 0.5 * PolygonArea(top)) << "outcome " << outcome;
    const auto found = Components(p, pips);
    ASSERT_EQ(static_cast<int>(found.size()), outcome) << "pips seen on top for " << outcome;
    for (const auto& [size, colour] : found) {
      EXPECT_GT(size, 20) << "outcome " << outcome << ": a pip of " << size << " pixels";
      EXPECT_TRUE(Near(colour, outcome == 1 ? kPipRed : kBlack))
          << "outcome " << outcome << ": pip colour " << ToString(colour);
    }
  }
}

}  // namespace
}  // namespace kalvo::testing
