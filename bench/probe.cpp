// Preloaded into the real program (and into xdotool) to time it unchanged:
// it stands in front of a few library calls, notes CLOCK_MONOTONIC around
// them, and writes everything to the file named by KALVO_PROBE_OUT at exit,
// so it adds no I/O while frames run.
#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

struct Opaque;  // SDL's and Xlib's types: the probe never looks inside

std::int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

template <typename Fn>
Fn Next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) std::abort();
  return reinterpret_cast<Fn>(symbol);  // NOLINT: dlsym's way
}

// swap: entry and return times, and the counter reading the program took
// last before it with where it was taken (the pacing timer's reads share one
// caller). first_read: each caller's first reading. input: a mouse-button
// release taken off SDL's queue. click: a button release about to be sent.
struct Record {
  const char* kind;
  std::int64_t ns, return_ns;
  std::uint64_t counter;
  const void* caller;
};
std::array<Record, 1 << 16> g_log;  // over 20 minutes of frames; zero pages until used
std::size_t g_size = 0;
void Add(const Record& record) {
  if (g_size < g_log.size()) g_log[g_size++] = record;
}

std::array<const void*, 32> g_callers;
std::size_t g_caller_count = 0;
std::uint64_t g_counter = 0;
const void* g_caller = nullptr;
std::uint64_t g_frequency = 0;

__attribute__((destructor)) void OnExit() {
  const char* path = std::getenv("KALVO_PROBE_OUT");
  std::FILE* out = path != nullptr ? std::fopen(path, "w") : nullptr;
  if (out == nullptr) return;
  // The launcher's stamp, taken just before it executed the program.
  if (const char* exec_ns = std::getenv("KALVO_PROBE_EXEC_NS")) {
    std::fprintf(out, "exec %s\n", exec_ns);
  }
  std::fprintf(out, "frequency %llu\n", static_cast<unsigned long long>(g_frequency));
  for (std::size_t i = 0; i < g_size; ++i) {
    const Record& r = g_log[i];
    std::fprintf(out, "%s %lld %lld %llu %p\n", r.kind, static_cast<long long>(r.ns),
                 static_cast<long long>(r.return_ns), static_cast<unsigned long long>(r.counter),
                 r.caller);
  }
  std::fclose(out);
}

}  // namespace

extern "C" {

void SDL_GL_SwapWindow(Opaque* window) {
  static const auto next = Next<void (*)(Opaque*)>("SDL_GL_SwapWindow");
  const std::int64_t entry = NowNs();
  next(window);
  Add({"swap", entry, NowNs(), g_counter, g_caller});
}

std::uint64_t SDL_GetPerformanceCounter() {
  static const auto next = Next<std::uint64_t (*)()>("SDL_GetPerformanceCounter");
  if (g_frequency == 0) g_frequency = Next<std::uint64_t (*)()>("SDL_GetPerformanceFrequency")();
  g_counter = next();
  g_caller = __builtin_return_address(0);
  bool seen = false;
  for (std::size_t i = 0; i < g_caller_count; ++i) seen = seen || g_callers[i] == g_caller;
  if (!seen && g_caller_count < g_callers.size()) {
    g_callers[g_caller_count++] = g_caller;
    Add({"first_read", 0, 0, g_counter, g_caller});
  }
  return g_counter;
}

int SDL_PeepEvents(std::uint32_t* events, int count, int action, std::uint32_t min,
                   std::uint32_t max) {
  static const auto next =
      Next<int (*)(std::uint32_t*, int, int, std::uint32_t, std::uint32_t)>("SDL_PeepEvents");
  const int got = next(events, count, action, min, max);
  constexpr std::uint32_t kMouseButtonUp = 0x402;  // an SDL_Event starts with its type
  constexpr int kGetEvent = 2;
  if (action == kGetEvent && got > 0 && events[0] == kMouseButtonUp) {
    Add({"input", NowNs(), 0, 0, nullptr});
  }
  return got;
}

// Xlib's own signature, unsigned long and all.
using FakeButtonFn = int (*)(Opaque*, unsigned int, int,
                             unsigned long);  // NOLINT(google-runtime-int)

int XTestFakeButtonEvent(Opaque* display, unsigned int button, int is_press,
                         unsigned long delay) {  // NOLINT(google-runtime-int)
  static const auto next = Next<FakeButtonFn>("XTestFakeButtonEvent");
  static const auto flush = Next<int (*)(Opaque*)>("XFlush");
  const int result = next(display, button, is_press, delay);
  // Stamped before the request leaves: the program may handle it before xdotool runs again.
  if (is_press == 0) Add({"click", NowNs(), 0, 0, nullptr});
  flush(display);
  return result;
}

}  // extern "C"
