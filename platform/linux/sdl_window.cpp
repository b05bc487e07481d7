#include "platform/linux/sdl_window.h"

#include <SDL.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

#include "assets/show_data_files.h"
#include "core/icon_file.h"
#include "platform/linux/window_manager.h"

namespace {

constexpr const char* kTitle = "Tidewobbler";
constexpr int kDepthBits = 16;
constexpr int kStencilBits = 8;

bool isDisplayless(const char* driver)
{
    return driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0);
}

// Switches to a real 1280 × 720 mode where the display offers one; otherwise
// takes the desktop's mode and the picture is letterboxed.
bool enterFullscreen(SDL_Window* window)
{
    const int display = SDL_GetWindowDisplayIndex(window);
    for (int i = 0, count = SDL_GetNumDisplayModes(display); i < count; ++i) {
        SDL_DisplayMode mode;
        if (SDL_GetDisplayMode(display, i, &mode) == 0 && mode.w == kTargetWidth && mode.h == kTargetHeight) {
            if (SDL_SetWindowDisplayMode(window, &mode) == 0 &&
                SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN) == 0) {
                return false;
            }
            break;
        }
    }
    // Cover the display first: without a window manager the full-screen request alone does not resize.
    SDL_Rect bounds;
    if (SDL_GetDisplayBounds(display, &bounds) == 0) {
        SDL_SetWindowPosition(window, bounds.x, bounds.y);
        SDL_SetWindowSize(window, bounds.w, bounds.h);
    }
    SDL_SetWindowFullscreen(window, SDL_WINDOW_FULLSCREEN_DESKTOP);
    return true;
}

// The window's outer size is 1280 × 720 at (0, 0): when the window manager
// adds a frame, the client area shrinks by it. True once that is settled: the
// frame is known and fitted, or none came in time.
bool fitOuterFrame(SDL_Window* window, std::chrono::steady_clock::time_point giveUpAt)
{
    int top = 0, left = 0, bottom = 0, right = 0;
    if (SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right) != 0 || !(top || left || bottom || right)) {
        return std::chrono::steady_clock::now() > giveUpAt;
    }
    SDL_SetWindowSize(window, kTargetWidth - left - right, kTargetHeight - top - bottom);
    SDL_SetWindowPosition(window, left, top);
    return true;
}

// The icon is a nicety: without it the window shows the desktop's default, said once.
void setWindowIcon(SDL_Window* window)
{
    Picture icon;
    std::string failure;
    if (!readIconFile(kIconFile, 48, icon, failure)) {
        std::fprintf(stderr, "%s: %s; the window has the desktop's default icon\n", kIconFile, failure.c_str());
        return;
    }
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(icon.rgba.data(), icon.width, icon.height, 32,
                                                              icon.width * 4, SDL_PIXELFORMAT_RGBA32);
    if (surface) {
        SDL_SetWindowIcon(window, surface);
        SDL_FreeSurface(surface);
    }
}

// Either no display is named, or the one named cannot be reached: say which.
std::string noDisplayMessage()
{
    const char* x11 = SDL_getenv("DISPLAY");
    const char* wayland = SDL_getenv("WAYLAND_DISPLAY");
    const char* advice = " Run the show from a desktop session, or under a virtual display such as xvfb-run.";
    if ((x11 && *x11) || (wayland && *wayland)) {
        std::string named;
        if (x11 && *x11) {
            named = std::string("DISPLAY=") + x11;
        }
        if (wayland && *wayland) {
            named += (named.empty() ? "WAYLAND_DISPLAY=" : " and WAYLAND_DISPLAY=") + std::string(wayland);
        }
        return "cannot reach the display named by " + named +
               ": no display server answers there, or it refuses this user." + advice;
    }
    return std::string("no display found: DISPLAY and WAYLAND_DISPLAY are not set.") + advice;
}

}  // namespace

std::unique_ptr<SdlWindow> SdlWindow::open(WindowMode mode, std::string& error)
{
    if (SDL_Init(SDL_INIT_VIDEO) != 0) {
        error = std::string("cannot open a window: ") + SDL_GetError() +
                ". Run the show from a desktop session (DISPLAY or WAYLAND_DISPLAY must be set), "
                "or under a virtual display such as xvfb-run.";
        return nullptr;
    }
    // With no display SDL quietly falls back to drawing nowhere; only a caller who asked for that gets it.
    if (mode != WindowMode::hidden && isDisplayless(SDL_GetCurrentVideoDriver()) && !SDL_getenv("SDL_VIDEODRIVER")) {
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
        error = noDisplayMessage();
        return nullptr;
    }
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MAJOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_MINOR_VERSION, 3);
    SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_CORE);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    // The device draws straight into the back buffer when it has a depth buffer
    // at least as deep as the show's depth tests need, and a stencil.
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, kDepthBits);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, kStencilBits);

    Uint32 flags = SDL_WINDOW_OPENGL | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN;
    std::unique_ptr<SdlWindow> self(new SdlWindow);
    self->window_ = SDL_CreateWindow(kTitle, 0, 0, kTargetWidth, kTargetHeight, flags);
    if (!self->window_) {
        error = std::string("cannot create the window: ") + SDL_GetError() + ". Check that a display is available.";
        return nullptr;
    }
    self->context_ = SDL_GL_CreateContext(self->window_);
    if (!self->context_) {
        error = std::string("cannot create an OpenGL 3.3 core context: ") + SDL_GetError() +
                ". Install a driver that supports OpenGL 3.3 (Debian: libgl1-mesa-dri).";
        return nullptr;
    }
    int depthBits = 0;
    int stencilBits = 0;
    self->hasDepthAndStencil_ = SDL_GL_GetAttribute(SDL_GL_DEPTH_SIZE, &depthBits) == 0 && depthBits >= kDepthBits &&
                                SDL_GL_GetAttribute(SDL_GL_STENCIL_SIZE, &stencilBits) == 0 &&
                                stencilBits >= kStencilBits;
    setWindowIcon(self->window_);

    if (mode != WindowMode::hidden) {
        SDL_ShowWindow(self->window_);
        if (mode == WindowMode::fullscreen) {
            self->keepsAspect_ = enterFullscreen(self->window_);
        } else if (!isDisplayless(SDL_GetCurrentVideoDriver()) && mayHaveWindowManager(self->window_)) {
            // The window manager reports its frame only some moments after the
            // window is mapped. Rather than wait for it here, each later round
            // of events looks again, for a short while: start-up goes on meanwhile.
            constexpr auto kFrameWait = std::chrono::milliseconds(150);
            self->frameFitDeadline_ = std::chrono::steady_clock::now() + kFrameWait;
            self->fittingFrame_ = true;
        }
        SDL_ShowCursor(SDL_DISABLE);
    }
    // Wait for vertical retrace where the system can; where it cannot, swapBuffers waits instead.
    SDL_GL_SetSwapInterval(1);
    if (mode != WindowMode::hidden) {
        SDL_DisplayMode display{};
        const bool known = SDL_GetWindowDisplayMode(self->window_, &display) == 0 && display.refresh_rate > 0;
        self->framePeriod_ = std::chrono::microseconds(1'000'000 / (known ? display.refresh_rate : 60));
    }
    return self;
}

SdlWindow::~SdlWindow()
{
    SDL_ShowCursor(SDL_ENABLE);
    if (context_) {
        SDL_GL_DeleteContext(context_);
    }
    if (window_) {
        SDL_DestroyWindow(window_);  // leaves full screen, restoring the desktop's mode
    }
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
}

bool SdlWindow::drainEvents()
{
    bool quit = false;
    SDL_Event event;
    while (SDL_PollEvent(&event)) {
        if (event.type == SDL_KEYDOWN || event.type == SDL_QUIT ||
            (event.type == SDL_WINDOWEVENT && event.window.event == SDL_WINDOWEVENT_CLOSE)) {
            quit = true;
        }
    }
    if (fittingFrame_) {
        fittingFrame_ = !fitOuterFrame(window_, frameFitDeadline_);
    }
    return quit;
}

void SdlWindow::drawableSize(int& width, int& height) const
{
    SDL_GL_GetDrawableSize(window_, &width, &height);
}

// A swap that waited for the display comes one refresh after the last; one that
// came much sooner did not wait (the swap interval refused or ignored, as on a
// virtual display), so the window waits out the rest of the refresh itself:
// the show never draws frames a display cannot show. A slow frame moves the
// next one on instead of being made up for, so it never lags behind the music.
void SdlWindow::swapBuffers()
{
    SDL_GL_SwapWindow(window_);
    lastPresentation_ = std::chrono::steady_clock::now();
    if (framePeriod_ == std::chrono::steady_clock::duration::zero()) {
        return;
    }
    const auto due = lastSwap_ + framePeriod_;
    if (lastPresentation_ < due - framePeriod_ / 10) {
        std::this_thread::sleep_until(due);
        lastSwap_ = due;
    } else {
        lastSwap_ = lastPresentation_;
    }
}
