// Building the OpenGL programs of the renderers from their shader sources.
#pragma once

#include <string>

// The linked program, or 0 after saying on stderr what `purpose` loses and why.
unsigned buildGlProgram(const std::string& vertexSource, const std::string& fragmentSource, const char* purpose);
