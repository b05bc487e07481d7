#include "platform/web/web_canvas.h"

#include <emscripten/html5.h>

#include <algorithm>
#include <cmath>

std::unique_ptr<WebCanvas> WebCanvas::open(std::string& error)
{
    EmscriptenWebGLContextAttributes attributes;
    emscripten_webgl_init_context_attributes(&attributes);
    attributes.majorVersion = 2;
    attributes.minorVersion = 0;
    // The device draws into its own target with its own depth buffer; the canvas only receives the picture.
    attributes.alpha = false;
    attributes.depth = false;
    attributes.stencil = false;
    attributes.antialias = false;
    const EMSCRIPTEN_WEBGL_CONTEXT_HANDLE context = emscripten_webgl_create_context(kSelector, &attributes);
    if (context <= 0 || emscripten_webgl_make_context_current(context) != EMSCRIPTEN_RESULT_SUCCESS) {
        error =
            "This browser cannot draw with WebGL 2, which the show needs. "
            "Try a current Firefox, Chrome, Edge or Safari, with hardware acceleration turned on.";
        return nullptr;
    }
    std::unique_ptr<WebCanvas> canvas(new WebCanvas);
    canvas->fitToPage();
    return canvas;
}

void WebCanvas::fitToPage()
{
    double cssWidth = 0;
    double cssHeight = 0;
    emscripten_get_element_css_size(kSelector, &cssWidth, &cssHeight);
    const double pixelRatio = emscripten_get_device_pixel_ratio();
    const int width = std::max(1, static_cast<int>(std::lround(cssWidth * pixelRatio)));
    const int height = std::max(1, static_cast<int>(std::lround(cssHeight * pixelRatio)));
    int currentWidth = 0;
    int currentHeight = 0;
    emscripten_get_canvas_element_size(kSelector, &currentWidth, &currentHeight);
    // Setting the size clears the canvas, so only a change sets it.
    if (width != currentWidth || height != currentHeight) {
        emscripten_set_canvas_element_size(kSelector, width, height);
    }
}

void WebCanvas::drawableSize(int& width, int& height) const
{
    emscripten_get_canvas_element_size(kSelector, &width, &height);
}
