// The tests on the real OpenGL device: each suite shares one hidden window for
// its context, every test skips where no context can be made, and none may
// leave an OpenGL error behind.
#pragma once

#include <epoxy/gl.h>
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
        window_ = SdlWindow::open(WindowMode::hidden, error);
    }
    static void TearDownTestSuite() { window_.reset(); }
    void SetUp() override
    {
        if (!window_) {
            GTEST_SKIP() << "no OpenGL context without a display here";
        }
    }
    void TearDown() override
    {
        if (window_) {
            EXPECT_EQ(glGetError(), static_cast<GLenum>(GL_NO_ERROR));
        }
    }

    static inline std::unique_ptr<SdlWindow> window_;
};
