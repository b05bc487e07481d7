#include "platform/windows/win32_window.h"

#include <windows.h>

#include <cstdio>

#include "core/device.h"

namespace {

constexpr const char* kClassName = "QUIRN";
constexpr const char* kTitle = "Tidewobbler";
constexpr int kIconResource = 107;

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KEYDOWN: DestroyWindow(window); return DefWindowProcA(window, message, wParam, lParam);
    case WM_DESTROY: PostQuitMessage(0); return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace

std::unique_ptr<Win32Window> Win32Window::open(HINSTANCE instance, WindowMode mode, int showCommand, std::string& error)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &windowProcedure;
    windowClass.hInstance = instance;
    // Without the icon resource (a build without the generated data) the window has the system's default icon.
    windowClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
    windowClass.lpszClassName = kClassName;
    RegisterClassExA(&windowClass);

    std::unique_ptr<Win32Window> self(new Win32Window(mode));
    // The size is the outer one, frame and caption included: the client area is smaller.
    self->window_ = CreateWindowExA(0, kClassName, kTitle, WS_OVERLAPPEDWINDOW, 0, 0, kTargetWidth, kTargetHeight,
                                    nullptr, nullptr, instance, nullptr);
    if (!self->window_) {
        error = "cannot create the window (error " + std::to_string(GetLastError()) + ")";
        return nullptr;
    }
    if (mode != WindowMode::hidden) {
        ShowWindow(self->window_, showCommand);
        UpdateWindow(self->window_);
        ShowCursor(FALSE);
        self->cursorHidden_ = true;
    }
    return self;
}

Win32Window::~Win32Window()
{
    if (cursorHidden_) {
        ShowCursor(TRUE);
    }
    if (window_ && IsWindow(window_)) {
        DestroyWindow(window_);
    }
    // The device gives the display mode back when it is released; this covers any
    // way out that did not get that far.
    if (mode_ == WindowMode::fullscreen) {
        ChangeDisplaySettingsA(nullptr, 0);
    }
}

bool Win32Window::drainEvents()
{
    bool quit = false;
    MSG message{};
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        DispatchMessageA(&message);
        quit = quit || message.message == WM_QUIT;
    }
    return quit;
}

void reportStartupFailure(const std::string& message)
{
    std::fprintf(stderr, "kelpwax: %s\n", message.c_str());
    MessageBoxA(nullptr, message.c_str(), "Tidewobbler", MB_OK | MB_ICONERROR);
}
