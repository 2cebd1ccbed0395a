// A counting implementation of the OpenGL 1.1 entry points that kalvo_render
// calls: each call adds one to its entry point's count and does nothing else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace kalvo::bench {

inline constexpr std::size_t kGlEntryPointCount = 18;
using GlCallCounts = std::array<std::int64_t, kGlEntryPointCount>;

void ResetGlCallCounts();
GlCallCounts GlCallCountsNow();
const char* GlEntryPointName(std::size_t index);

}  // namespace kalvo::bench
