// Puts the program's icon on the window, in both its sizes.
#pragma once

#include <SDL.h>

namespace kalvo {

void SetWindowIcons(SDL_Window* window);

}  // namespace kalvo
