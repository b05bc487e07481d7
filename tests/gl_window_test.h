// The tests on the real OpenGL device: each suite shares one hidden window for
// its context, and every test skips where no context can be made.
#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>
#include <string>

#include "platform/linux/sdl_window.h"

class GlWindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        setenv("SDL_VIDEODRIVER", "offscreen", 0);
        std::string error;
        window_ = Window::open(WindowMode::hidden, error);
    }
    static void TearDownTestSuite() { window_.reset(); }
    void SetUp() override
    {
        if (!window_) {
            GTEST_SKIP() << "no OpenGL context without a display here";
        }
    }

    static inline std::unique_ptr<Window> window_;
};
