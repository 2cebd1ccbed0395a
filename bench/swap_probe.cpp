// A preloaded probe for timing the real program without changing it: it
// stands in front of a few SDL calls, notes a CLOCK_MONOTONIC time around
// each, and writes them all to the file named by KALVO_PROBE_OUT at exit.
// Nothing is written while the program runs, so the probe adds no I/O to a frame.
// It also keeps the program's last read of the performance counter: the one
// before a swap is the pacing timer's, taken when it decided to draw.
#include <dlfcn.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <ctime>

namespace {

// The probe never looks inside these; SDL's own header is not needed.
struct Opaque;
using SwapWindowFn = void (*)(Opaque*);
using InitFn = int (*)(std::uint32_t);
using CreateWindowFn = Opaque* (*)(const char*, int, int, int, int, std::uint32_t);
using CreateContextFn = void* (*)(Opaque*);
using ShowWindowFn = void (*)(Opaque*);
using CounterFn = std::uint64_t (*)();

std::int64_t NowNs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<std::int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

struct Span {
  std::int64_t entry_ns;
  std::int64_t return_ns;
};

struct Swap {
  Span span;
  std::uint64_t last_counter;  // SDL's performance counter, as the program last read it
};

// 2^16 frames is over 20 minutes at one frame per 20 ms; later frames are
// counted as dropped rather than allocated for.
constexpr std::size_t kMaxSwaps = 1 << 16;
std::array<Swap, kMaxSwaps> g_swaps;  // zero pages until used
std::size_t g_swap_count = 0;
std::size_t g_swaps_dropped = 0;

struct Mark {
  const char* name;
  Span span;
};
constexpr std::size_t kMaxMarks = 16;
std::array<Mark, kMaxMarks> g_marks;
std::size_t g_mark_count = 0;

std::int64_t g_loaded_ns = 0;
std::uint64_t g_last_counter = 0;
std::uint64_t g_counter_frequency = 0;

void AddMark(const char* name, Span span) {
  if (g_mark_count < kMaxMarks) g_marks[g_mark_count++] = Mark{name, span};
}

template <typename Fn>
Fn Next(const char* name) {
  void* symbol = dlsym(RTLD_NEXT, name);
  if (symbol == nullptr) {
    std::fprintf(stderr, "kalvo swap probe: %s not found: %s\n", name, dlerror());
    std::abort();
  }
  return reinterpret_cast<Fn>(symbol);  // NOLINT: dlsym's way
}

__attribute__((constructor)) void OnLoad() { g_loaded_ns = NowNs(); }

__attribute__((destructor)) void OnExit() {
  const char* path = std::getenv("KALVO_PROBE_OUT");
  if (path == nullptr || *path == '\0') return;
  std::FILE* out = std::fopen(path, "w");
  if (out == nullptr) {
    std::perror("kalvo swap probe: cannot write KALVO_PROBE_OUT");
    return;
  }
  std::fprintf(out, "# CLOCK_MONOTONIC, ns\n");
  // The launcher's stamp, taken just before it executed the program.
  if (const char* exec_ns = std::getenv("KALVO_PROBE_EXEC_NS")) {
    std::fprintf(out, "exec %s\n", exec_ns);
  }
  std::fprintf(out, "loaded %lld\n", static_cast<long long>(g_loaded_ns));
  std::fprintf(out, "counter_frequency %llu\n",
               static_cast<unsigned long long>(g_counter_frequency));
  for (std::size_t i = 0; i < g_mark_count; ++i) {
    std::fprintf(out, "mark %s %lld %lld\n", g_marks[i].name,
                 static_cast<long long>(g_marks[i].span.entry_ns),
                 static_cast<long long>(g_marks[i].span.return_ns));
  }
  for (std::size_t i = 0; i < g_swap_count; ++i) {
    std::fprintf(out, "swap %lld %lld %llu\n", static_cast<long long>(g_swaps[i].span.entry_ns),
                 static_cast<long long>(g_swaps[i].span.return_ns),
                 static_cast<unsigned long long>(g_swaps[i].last_counter));
  }
  std::fprintf(out, "dropped %zu\n", g_swaps_dropped);
  std::fprintf(out, "exit %lld\n", static_cast<long long>(NowNs()));
  std::fclose(out);
}

}  // namespace

extern "C" {

void SDL_GL_SwapWindow(Opaque* window) {
  static const auto next = Next<SwapWindowFn>("SDL_GL_SwapWindow");
  const std::int64_t entry = NowNs();
  next(window);
  const std::int64_t done = NowNs();
  if (g_swap_count < kMaxSwaps) {
    g_swaps[g_swap_count++] = Swap{Span{entry, done}, g_last_counter};
  } else {
    ++g_swaps_dropped;
  }
}

std::uint64_t SDL_GetPerformanceCounter() {
  static const auto next = Next<CounterFn>("SDL_GetPerformanceCounter");
  if (g_counter_frequency == 0) {
    g_counter_frequency = Next<CounterFn>("SDL_GetPerformanceFrequency")();
  }
  g_last_counter = next();
  return g_last_counter;
}

int SDL_Init(std::uint32_t flags) {
  static const auto next = Next<InitFn>("SDL_Init");
  const std::int64_t entry = NowNs();
  const int result = next(flags);
  AddMark("SDL_Init", Span{entry, NowNs()});
  return result;
}

Opaque* SDL_CreateWindow(const char* title, int x, int y, int w, int h, std::uint32_t flags) {
  static const auto next = Next<CreateWindowFn>("SDL_CreateWindow");
  const std::int64_t entry = NowNs();
  Opaque* window = next(title, x, y, w, h, flags);
  AddMark("SDL_CreateWindow", Span{entry, NowNs()});
  return window;
}

void* SDL_GL_CreateContext(Opaque* window) {
  static const auto next = Next<CreateContextFn>("SDL_GL_CreateContext");
  const std::int64_t entry = NowNs();
  void* context = next(window);
  AddMark("SDL_GL_CreateContext", Span{entry, NowNs()});
  return context;
}

void SDL_ShowWindow(Opaque* window) {
  static const auto next = Next<ShowWindowFn>("SDL_ShowWindow");
  const std::int64_t entry = NowNs();
  next(window);
  AddMark("SDL_ShowWindow", Span{entry, NowNs()});
}

}  // extern "C"
