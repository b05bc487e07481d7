// The show's entry point on Windows: start-up in a fixed order, then one frame
// after another until the music passes beat 400, a key is pressed or the
// window closes. Built twice: KELPWAX_FULLSCREEN picks the full-screen presentation.
#include <windows.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/data_folder.h"
#include "app/frame_loop.h"
#include "app/startup.h"
#include "platform/windows/d3d9_device.h"
#include "platform/windows/wasapi_audio_output.h"
#include "platform/windows/win32_window.h"

#ifndef KELPWAX_FULLSCREEN
#define KELPWAX_FULLSCREEN 0
#endif

namespace {

// A GUI program starts without a console. Standard output and error that lead
// somewhere already (a file or pipe they were redirected to, or the terminal
// under Wine) are kept; those that lead nowhere are connected to the console of
// the program that started this one, if it has one, so that a command prompt
// shows --help and the notes on stderr. False when standard output leads nowhere.
bool connectOutputToParentConsole()
{
    auto leadsSomewhere = [](DWORD handle) {
        const HANDLE current = GetStdHandle(handle);
        return current != nullptr && current != INVALID_HANDLE_VALUE;
    };
    const bool outputLeadsSomewhere = leadsSomewhere(STD_OUTPUT_HANDLE);
    const bool errorsLeadSomewhere = leadsSomewhere(STD_ERROR_HANDLE);
    if ((outputLeadsSomewhere && errorsLeadSomewhere) || !AttachConsole(ATTACH_PARENT_PROCESS)) {
        return outputLeadsSomewhere;
    }
    if (!outputLeadsSomewhere) {
        std::freopen("CONOUT$", "w", stdout);
    }
    if (!errorsLeadSomewhere) {
        std::freopen("CONOUT$", "w", stderr);
    }
    return true;
}

std::wstring toWide(const std::string& utf8)
{
    std::wstring wide(MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(),
                        static_cast<int>(wide.size()));
    return wide;
}

std::string toUtf8(const wchar_t* wide)
{
    std::string utf8(WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    utf8.pop_back();  // the terminating zero
    return utf8;
}

std::vector<std::string> commandLineArguments()
{
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> utf8;
    for (int i = 1; arguments && i < count; ++i) {
        utf8.push_back(toUtf8(arguments[i]));
    }
    LocalFree(arguments);
    return utf8;
}

// Answers --help and --version, on the console when there is one and in a
// message box when there is none; nullopt when the show should run.
std::optional<int> answerArguments(bool haveOutput)
{
    const ProgramDescription program{
        KELPWAX_FULLSCREEN ? "kelpwax-fullscreen" : "kelpwax",
        KELPWAX_FULLSCREEN ? "on the whole screen, switched to 1280 x 720 where the display offers that mode"
                           : "in a 1280 x 720 window",
        "the folder that holds the program",
        "by itself, by a key or by closing the window",
        "no window or Direct3D 9 device could be made; a message box says what failed",
    };
    const std::optional<CommandLineAnswer> answer = answerCommandLine(commandLineArguments(), program);
    if (!answer) {
        return std::nullopt;
    }
    if (haveOutput) {
        std::fputs(answer->text.c_str(), answer->exitCode == 0 ? stdout : stderr);
    } else {
        MessageBoxW(nullptr, toWide(answer->text).c_str(), L"Tidewobbler",
                    MB_OK | (answer->exitCode == 0 ? MB_ICONINFORMATION : MB_ICONERROR));
    }
    return answer->exitCode;
}

// The folder that holds the program, so that a shortcut that starts it in another folder still finds the data.
std::vector<std::filesystem::path> dataFoldersBesideProgram()
{
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0 || length == path.size()) {
        return {};
    }
    path.resize(length);
    return {std::filesystem::path(path).parent_path()};
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand)
{
    const bool haveOutput = connectOutputToParentConsole();
    if (const std::optional<int> exitCode = answerArguments(haveOutput)) {
        return *exitCode;
    }
    enterShowDataFolder(dataFoldersBesideProgram());
    ShowStartup startup;
    constexpr WindowMode mode = KELPWAX_FULLSCREEN ? WindowMode::fullscreen : WindowMode::windowed;
    std::string error;
    std::unique_ptr<Win32Window> window = Win32Window::open(instance, mode, showCommand, error);
    if (!window) {
        reportStartupFailure(error);
        return 1;
    }
    std::unique_ptr<D3d9Native> native = D3d9Native::create(window->handle(), KELPWAX_FULLSCREEN, error);
    if (!native) {
        reportStartupFailure(error);
        return 1;
    }
    D3d9Device device(std::move(native), true);
    // A key or a closed window while loading ends the program there and then;
    // the loading threads go with the process.
    const StartedShow show = startup.run(device, openWasapiAudioOutput, [&] {
        if (window->drainEvents()) {
            window.reset();
            std::_Exit(0);
        }
    });

    return runFrameLoop(device, show.assets,
                        {[&] { return window->drainEvents(); }, [&] { return show.music->positionSeconds(); },
                         [&] { return device.lastPresentation(); }});
}
