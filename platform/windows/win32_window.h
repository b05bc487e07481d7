// The show's one window on Win32: class "QUIRN", title "Tidewobbler", outer
// size 1280 × 720 at (0, 0). Any key destroys it; a destroyed window posts the
// quit message that ends the frame loop. The cursor is hidden while it is open.
#pragma once

#include <memory>
#include <string>

struct HWND__;
struct HINSTANCE__;

enum class WindowMode {
    windowed,    // shown and updated, with the cursor hidden
    fullscreen,  // the same; the device then takes the whole screen
    hidden,      // never shown: for rendering that is only read back
};

class Win32Window {
public:
    // Registers the class and creates the window; null, with what failed, when it cannot.
    static std::unique_ptr<Win32Window> open(HINSTANCE__* instance, WindowMode mode, int showCommand,
                                             std::string& error);
    ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND__* handle() const { return window_; }

    // Dispatches every pending message without waiting. True once the quit message has come.
    bool drainEvents();

private:
    explicit Win32Window(WindowMode mode) : mode_(mode) {}

    WindowMode mode_;
    HWND__* window_ = nullptr;
    bool cursorHidden_ = false;
};

// A start-up failure, said on stderr and in a message box: a windowed program has no console to show stderr.
void reportStartupFailure(const std::string& message);
