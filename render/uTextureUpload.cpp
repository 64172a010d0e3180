#include "render/uTextureUpload.h"

#include <GL/gl.h>

namespace {
void ClearGlErrors()
{
    // Bounded: without a current context glGetError may keep returning an error.
    for (int i = 0; i < 32 && glGetError() != GL_NO_ERROR; ++i) {
    }
}
}  // namespace

uint32_t TGLTextureGpu::CreateTexture(const uint8_t* Rgba, int32_t Width, int32_t Height,
                                      std::string& Message)
{
    Message.clear();
    ClearGlErrors();
    if (Rgba == nullptr || Width <= 0 || Height <= 0)
        return 0;

    GLuint name = 0;
    glGenTextures(1, &name);
    if (name == 0) {
        Message = "OpenGL did not create a texture object.";
        return 0;
    }
    glBindTexture(GL_TEXTURE_2D, name);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    // A size above GL_MAX_TEXTURE_SIZE, a size a strict implementation does not take, or
    // lack of memory shows only here, as an error.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, Width, Height, 0, GL_RGBA, GL_UNSIGNED_BYTE, Rgba);
    const GLenum error = glGetError();
    glBindTexture(GL_TEXTURE_2D, 0);
    if (error != GL_NO_ERROR) {
        glDeleteTextures(1, &name);
        ClearGlErrors();
        return 0;
    }
    return name;
}

void TGLTextureGpu::DeleteTexture(uint32_t Name)
{
    if (Name == 0)
        return;
    const GLuint name = Name;
    glDeleteTextures(1, &name);
}

void TGLTextureGpu::BindTexture(uint32_t Name)
{
    glBindTexture(GL_TEXTURE_2D, Name);
    if (Name != 0)
        glEnable(GL_TEXTURE_2D);
    else
        glDisable(GL_TEXTURE_2D);
}
