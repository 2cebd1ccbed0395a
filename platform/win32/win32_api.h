// <windows.h> for the platform folder, and nothing includes it elsewhere.
// The program's own pixel-format names come first: the system header
// defines the same names as macros, which would otherwise rewrite them.
#pragma once

#include "gl/wgl_api.h"

// The drawing code's settings for <GL/gl.h> (see CMakeLists.txt) are not
// the system headers' own.
#undef WINGDIAPI
#undef APIENTRY
// clang-format off
#include <windows.h>
#include <timeapi.h>
// clang-format on
