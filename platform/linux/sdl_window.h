// The show's one window on SDL, with the OpenGL context the GL device draws through. Closing it (or the
// process ending through any path that runs its destructor) gives the desktop
// back as it was: the display mode restored and the cursor shown.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "core/presentation.h"
#include "platform/gl/gl_device.h"

enum class WindowMode {
    windowed,    // 1280 × 720 outer size at (0, 0)
    fullscreen,  // the whole screen, switched to 1280 × 720 where the display offers it
    hidden,      // never shown: for rendering without a display
};

class SdlWindow final : public PresentSurface {
public:
    // Opens the window and makes a current OpenGL 3.3 core context for it.
    // Returns null and a message saying what failed and what to do.
    static std::unique_ptr<SdlWindow> open(WindowMode mode, std::string& error);
    ~SdlWindow() override;

    // Handles every pending event without waiting, and fits the window to the
    // window manager's frame once that is known. True once a key has been
    // pressed or the window closed.
    bool drainEvents();

    void drawableSize(int& width, int& height) const override;
    bool keepsAspect() const override { return keepsAspect_; }
    bool hasDepthAndStencil() const override { return hasDepthAndStencil_; }
    void swapBuffers() override;
    // When the last swap put its frame on the screen, before any wait for the next refresh.
    Presentation lastPresentation() const { return {lastPresentation_, 0}; }

private:
    SdlWindow() = default;

    struct SDL_Window* window_ = nullptr;
    void* context_ = nullptr;
    bool keepsAspect_ = false;
    bool hasDepthAndStencil_ = false;
    std::chrono::steady_clock::duration framePeriod_{};  // zero: no pacing (a hidden window)
    std::chrono::steady_clock::time_point lastSwap_{};
    std::chrono::steady_clock::time_point lastPresentation_{};
    bool fittingFrame_ = false;  // waiting to hear of the window manager's frame
    std::chrono::steady_clock::time_point frameFitDeadline_{};
};
