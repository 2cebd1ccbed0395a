// Throw-and-reset cycles must not allocate: whatever a frame or a click
// needs is in place once the window is running, so memory stays flat however
// long Kalvo runs. Counts every allocation the process makes.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "render/camera.h"
#include "render/trajectory.h"
#include "roll/roll.h"
#include "tests/support/fakes.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace kalvo {
namespace {

// Computes what the real renderer computes for a frame, and keeps nothing.
class PlacementOnlyScene final : public Scene {
 public:
  void SetUpProjection() override {}
  void Clear() override {}
  void SetViewport(std::int32_t, std::int32_t) override {}
  void Draw(const FrameView& view) override {
    const CameraPose pose = CameraFor(view.blnRolling, view.dblElapsed);
    const DiePlacement placement = DiePlacementFor(view.dblElapsed, view.lngCount0, view.vecAngle);
    checksum += pose.ax + static_cast<double>(placement.size());
    ++frames;
  }
  double checksum = 0;
  long frames = 0;
};

TEST(SteadyMemory, ThrowAndResetCyclesAllocateNothing) {
  testing::CallLog unused_log;
  testing::FakeWgl wgl(unused_log);
  Module1 module1(wgl);
  PlacementOnlyScene scene;
  testing::FakeRuntime runtime(unused_log);
  frmMain form(runtime, module1, scene);
  runtime.form = &form;
  runtime.quiet = true;
  runtime.picture.quiet = true;

  auto cycle = [&] {
    form.Picture1_MouseUp(kLeftButton, 0, 1, 1);
    for (int tick = 0; tick < 4 * 130; ++tick) {
      runtime.counter.AdvanceMs(5);
      form.Timer1_Timer();
    }
    form.Picture1_MouseUp(kRightButton, 0, 1, 1);
    for (int tick = 0; tick < 4 * 5; ++tick) {
      runtime.counter.AdvanceMs(5);
      form.Timer1_Timer();
    }
  };
  form.Form_Load();
  form.Form_Resize();
  cycle();  // the first tick makes the pacing timer
  constexpr int kCycles = 10'000;
  const long frames_before = scene.frames;
  const long before = allocations.load();
  for (int i = 0; i < kCycles; ++i) {
    cycle();
  }
  const long allocated = allocations.load() - before;
  std::printf("%d throw-and-reset cycles, %ld frames: %ld allocations\n", kCycles,
              scene.frames - frames_before, allocated);
  EXPECT_EQ(allocated, 0);
  EXPECT_EQ(scene.frames - frames_before, kCycles * 135L);
}

}  // namespace
}  // namespace kalvo
