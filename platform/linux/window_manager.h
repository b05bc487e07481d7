// Whether a window manager may put a frame around the show's window. Apart
// from the window, since the X11 headers' names clash with the show's own.
#pragma once

struct SDL_Window;

// False only where it is known that no window manager runs: on X11, when no
// client redirects the root window's substructure, as every window manager does.
bool mayHaveWindowManager(SDL_Window* window);
