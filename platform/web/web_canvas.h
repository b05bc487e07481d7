// The page's canvas and its WebGL 2 context, where the GL device presents. The
// canvas fills as much of the page as the picture's aspect allows (the page's
// style does that); its pixels follow that size times the screen's pixel ratio,
// so the picture stays sharp on high-density screens.
#pragma once

#include <memory>
#include <string>

#include "platform/gl/gl_device.h"

class WebCanvas final : public PresentSurface {
public:
    static constexpr const char* kSelector = "#canvas";

    // Makes a current WebGL 2 context on the page's #canvas; null, with a
    // message for the viewer, when the browser has none.
    static std::unique_ptr<WebCanvas> open(std::string& error);

    // Sizes the canvas's pixels to its size on the page; call before drawing.
    void fitToPage();

    void drawableSize(int& width, int& height) const override;
    bool keepsAspect() const override { return true; }
    bool hasDepthAndStencil() const override { return false; }
    void swapBuffers() override {}  // the browser shows the canvas when the animation frame returns

private:
    WebCanvas() = default;
};
