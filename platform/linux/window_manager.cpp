#include "platform/linux/window_manager.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xlib.h>

bool mayHaveWindowManager(SDL_Window* window)
{
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) {
        return true;
    }
    Display* display = info.info.x11.display;
    XWindowAttributes root;
    return !XGetWindowAttributes(display, DefaultRootWindow(display), &root) ||
           (root.all_event_masks & SubstructureRedirectMask) != 0;
}
