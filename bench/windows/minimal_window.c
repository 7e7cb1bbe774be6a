/* The floor of a start under Windows: a borderless 320 x 189 window at 341,
 * 265 through the same static SDL2 as the intro, one flat frame presented,
 * then nothing but events until it is closed. */
#define SDL_MAIN_HANDLED
#include <SDL.h>

int main(void) {
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) return 1;
  SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  SDL_Window* window = SDL_CreateWindow(":: minimal ::", 341, 265, 320, 189, SDL_WINDOW_BORDERLESS);
  SDL_Surface* surface = window != NULL ? SDL_GetWindowSurface(window) : NULL;
  if (surface == NULL) return 1;
  SDL_FillRect(surface, NULL, SDL_MapRGB(surface->format, 0x33, 0x66, 0x99));
  SDL_UpdateWindowSurface(window);
  SDL_Event e;
  while (SDL_WaitEvent(&e) && e.type != SDL_QUIT) {
  }
  SDL_DestroyWindow(window);
  SDL_Quit();
  return 0;
}
