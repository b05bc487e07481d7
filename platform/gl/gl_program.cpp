#include "platform/gl/gl_program.h"

#include "platform/gl/gl_api.h"

#include <cstdio>

namespace {

GLuint compileShader(GLenum stage, const std::string& source, const char* purpose)
{
    const GLuint shader = glCreateShader(stage);
    const char* const texts[] = {kGlslHeader, source.c_str()};
    glShaderSource(shader, 2, texts, nullptr);
    glCompileShader(shader);
    GLint compiled = GL_FALSE;
    glGetShaderiv(shader, GL_COMPILE_STATUS, &compiled);
    if (!compiled) {
        char log[1024] = "";
        glGetShaderInfoLog(shader, sizeof log, nullptr, log);
        std::fprintf(stderr, "kelpwax: a shader does not compile, %s: %s\n", purpose, log);
        glDeleteShader(shader);
        return 0;
    }
    return shader;
}

}  // namespace

unsigned buildGlProgram(const std::string& vertexSource, const std::string& fragmentSource, const char* purpose)
{
    const GLuint vertex = compileShader(GL_VERTEX_SHADER, vertexSource, purpose);
    const GLuint fragment = compileShader(GL_FRAGMENT_SHADER, fragmentSource, purpose);
    if (!vertex || !fragment) {
        glDeleteShader(vertex);
        glDeleteShader(fragment);
        return 0;
    }
    const GLuint program = glCreateProgram();
    glAttachShader(program, vertex);
    glAttachShader(program, fragment);
    glLinkProgram(program);
    glDeleteShader(vertex);
    glDeleteShader(fragment);
    GLint linked = GL_FALSE;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) {
        char log[1024] = "";
        glGetProgramInfoLog(program, sizeof log, nullptr, log);
        std::fprintf(stderr, "kelpwax: shaders do not link, %s: %s\n", purpose, log);
        glDeleteProgram(program);
        return 0;
    }
    return program;
}
