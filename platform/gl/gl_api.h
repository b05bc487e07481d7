// The OpenGL the device code is written against: the subset that OpenGL 3.3
// core and OpenGL ES 3.0 (WebGL 2) share. Desktop builds load it through
// libepoxy; the web build gets it from emscripten's WebGL 2 bindings.
#pragma once

#if defined(__EMSCRIPTEN__)
#include <GLES3/gl3.h>
#else
#include <epoxy/gl.h>
#endif

#include <cstddef>

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

// Buffer uploads from memory. WebGL 2 reads a length of 0 as "to the end of
// the source", and emscripten's source is its whole heap: an empty upload
// would write past the end of the buffer, or make one as large as the heap. So
// an empty range sends no data at all.
inline void glUploadBuffer(GLenum target, std::size_t bytes, const void* data, GLenum usage)
{
    glBufferData(target, static_cast<GLsizeiptr>(bytes), bytes ? data : nullptr, usage);
}

inline void glUploadBufferRange(GLenum target, std::size_t offset, std::size_t bytes, const void* data)
{
    if (bytes) {
        glBufferSubData(target, static_cast<GLintptr>(offset), static_cast<GLsizeiptr>(bytes), data);
    }
}
