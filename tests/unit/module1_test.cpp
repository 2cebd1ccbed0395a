#include "gl/module1.h"

#include <gtest/gtest.h>

#include "tests/support/fakes.h"

namespace kalvo {
namespace {

using testing::CallLog;
using testing::FakeWgl;

constexpr Hdc kDc{42};

TEST(Module1, AsksForDoubleBufferedRgbWithDepth) {
  const PIXELFORMATDESCRIPTOR pfd = RequestedPixelFormat();
  EXPECT_EQ(pfd.dwFlags, 0x25U);
  EXPECT_EQ(pfd.iPixelType, PFD_TYPE_RGBA);
  EXPECT_EQ(pfd.cColorBits, 32);
  EXPECT_EQ(pfd.cDepthBits, 16);
  EXPECT_EQ(pfd.cAlphaBits, 0);
  EXPECT_EQ(pfd.cStencilBits, 0);
  EXPECT_EQ(pfd.cAccumBits, 0);
}

TEST(Module1, SetsUpAndMakesCurrentInOrder) {
  CallLog log;
  FakeWgl wgl(log);
  Module1 module1(wgl);
  ASSERT_TRUE(module1.InitGL(kDc));
  EXPECT_EQ(log,
            (CallLog{"ChoosePixelFormat", "SetPixelFormat", "wglCreateContext", "wglMakeCurrent"}));
  EXPECT_EQ(module1.hRC(), wgl.create_result);
  EXPECT_EQ(wgl.current_dc, kDc);
}

TEST(Module1, EachFailingStepStopsSetUp) {
  struct Case {
    const char* name;
    void (*fail)(FakeWgl&);
    CallLog calls;
  };
  const Case cases[] = {
      {"no pixel format", [](FakeWgl& w) { w.choose_result = 0; }, {"ChoosePixelFormat"}},
      {"format not set",
       [](FakeWgl& w) { w.set_result = false; },
       {"ChoosePixelFormat", "SetPixelFormat"}},
      {"no context",
       [](FakeWgl& w) { w.create_result = Hglrc::kNone; },
       {"ChoosePixelFormat", "SetPixelFormat", "wglCreateContext"}},
      // Reported as a failure, and the unusable context is not leaked.
      {"not made current",
       [](FakeWgl& w) { w.make_current_result = false; },
       {"ChoosePixelFormat", "SetPixelFormat", "wglCreateContext", "wglMakeCurrent",
        "wglDeleteContext"}},
  };
  for (const Case& c : cases) {
    CallLog log;
    FakeWgl wgl(log);
    c.fail(wgl);
    Module1 module1(wgl);
    EXPECT_FALSE(module1.InitGL(kDc)) << c.name;
    EXPECT_EQ(log, c.calls) << c.name;
    EXPECT_EQ(module1.hRC(), Hglrc::kNone) << c.name;
    log.clear();
    module1.ReleaseGL();
    EXPECT_TRUE(log.empty()) << c.name << ": nothing left to release";
  }
}

TEST(Module1, ReleasesTheContextOnceAndForgetsIt) {
  CallLog log;
  FakeWgl wgl(log);
  // A handle whose top bit is set must be released like any other.
  wgl.create_result = Hglrc{~std::uintptr_t{0} - 1};
  Module1 module1(wgl);
  ASSERT_TRUE(module1.InitGL(kDc));
  log.clear();
  module1.ReleaseGL();
  EXPECT_EQ(log, (CallLog{"wglMakeCurrent(none)", "wglDeleteContext"}));
  EXPECT_EQ(wgl.deleted, std::vector<Hglrc>{wgl.create_result});
  EXPECT_EQ(module1.hRC(), Hglrc::kNone) << "no dangling handle";
  module1.ReleaseGL();
  EXPECT_EQ(wgl.deleted.size(), 1U) << "released once";
}

TEST(Module1, ReleasesOnDestruction) {
  CallLog log;
  FakeWgl wgl(log);
  {
    Module1 module1(wgl);
    ASSERT_TRUE(module1.InitGL(kDc));
  }
  EXPECT_EQ(wgl.deleted.size(), 1U);
}

}  // namespace
}  // namespace kalvo
