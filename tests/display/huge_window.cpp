// Preloaded into the real program: the window system reports a picture far
// too wide for any viewport, so the first frame fails in a handler. Nothing
// reachable fails otherwise, and the runtime's report of such an error must
// still be seen working.
extern "C" void SDL_GL_GetDrawableSize(void* /*window*/, int* width, int* height) {
  if (width != nullptr) *width = 2147483647;
  if (height != nullptr) *height = 189;
}
