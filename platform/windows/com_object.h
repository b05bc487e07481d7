// What every user of COM interfaces (Direct3D 9, WASAPI) needs: letting go of
// one, and naming a failed call's result.
#pragma once

#include <windows.h>

#include <cstdio>
#include <string>

template <typename Interface>
void release(Interface*& object)
{
    if (object) {
        object->Release();
        object = nullptr;
    }
}

inline std::string hresultText(HRESULT result)
{
    char text[32];
    std::snprintf(text, sizeof text, "HRESULT 0x%08lX", static_cast<unsigned long>(result));
    return text;
}
