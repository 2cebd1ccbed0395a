// The die in its own model space: a cube of edge 0.4 about the origin, pale
// tints on its three pairs of sides, 21 pips as flat discs just outside them.
// Face 1 is on +Z, 2 on -Y, 3 on +X, 4 on -X, 5 on +Y, 6 on -Z.
// Draws with OpenGL immediate mode and keeps nothing between calls.
#pragma once

#include <cstdint>

#include "render/scene_types.h"

namespace kalvo {

// The six sides, then the pips of faces 1 to 6. Leaves the modelview matrix
// as it found it.
void DrawDie(const Colour& sngBlack, const Colour& sngRed);

// The pips of one face, 1 to 6; any other face draws nothing.
void DrawPips(std::int16_t face, const Colour& sngBlack, const Colour& sngRed);

// One disc of the given radius about (x, y, z), parallel to x-y and facing +Z,
// as a polygon of segments + 1 rim vertices. A segments of zero or less draws
// an empty polygon.
void DrawPip(float x, float y, float z, float radius, const Colour& colour, std::int16_t segments);

}  // namespace kalvo
