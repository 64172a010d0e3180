#pragma once
// Texture objects of the current OpenGL context for the texture registry.
#include "scene/uTextures.h"

class TGLTextureGpu : public TTextureGpu {
public:
    // Any GL error raised by the upload (for instance a size above GL_MAX_TEXTURE_SIZE)
    // fails it and deletes the half-made object, so a texture that would draw blank is
    // never registered.
    uint32_t CreateTexture(const uint8_t* Rgba, int32_t Width, int32_t Height,
                           std::string& Message) override;
    void DeleteTexture(uint32_t Name) override;
    void BindTexture(uint32_t Name) override;
};
