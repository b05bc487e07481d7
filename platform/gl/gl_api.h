// The OpenGL the device code is written against: the subset that OpenGL 3.3
// core and OpenGL ES 3.0 (WebGL 2) share. Desktop builds load it through
// libepoxy; the web build gets it from emscripten's WebGL 2 bindings.
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#include <epoxy/gl.h>
#endif

// The first line of every shader: each API wants its own version line, and ES
// wants default precisions.
inline constexpr const char* kGlslHeader =
#if defined(__EMSCRIPTEN__)
    "#version 300 es\nprecision highp float;\nprecision highp sampler2DArray;\n";
#else
    "#version 330 core\n";
#endif

// Whether textures can be copied into each other on the GPU (glCopyImageSubData):
// OpenGL 4.3 or its extension. WebGL 2 has no such call, so the code that copies
// never runs there, and a stand-in lets it compile.
#if defined(__EMSCRIPTEN__)
inline void glCopyImageSubData(GLuint, GLenum, GLint, GLint, GLint, GLint, GLuint, GLenum, GLint, GLint, GLint, GLint,
                               GLsizei, GLsizei, GLsizei)
{
}
#endif

inline bool glCanCopyImages()
{
#if defined(__EMSCRIPTEN__)
    return false;
#else
    return epoxy_gl_version() >= 43 || epoxy_has_gl_extension("GL_ARB_copy_image");
#endif
}
