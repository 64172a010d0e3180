#pragma once
// What the scene-reader fuzz target and its seed writer share: a working folder with
// the texture images scene files name, and a texture backend that needs no GL.
#include "image/uImageCodecs.h"
#include "scene/uTextures.h"

#include <filesystem>
#include <string>

namespace SceneFuzz {

class TNoGpu : public TTextureGpu {
public:
    uint32_t CreateTexture(const uint8_t*, int32_t, int32_t, std::string&) override
    {
        return ++Last;
    }
    void DeleteTexture(uint32_t) override {}
    void BindTexture(uint32_t) override {}

private:
    uint32_t Last = 0;
};

// Folder with textures/brick.png and textures/stone.bmp, made once.
inline void MakeTextureFolder(const std::filesystem::path& Folder)
{
    std::filesystem::create_directories(Folder / "textures");
    TRgbaImage image(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            image.SetPixel(x, y, MakeRgbaPixel(x * 60, y * 90, 30, 255));
    std::string message;
    WritePngFile(image, (Folder / "textures" / "brick.png").string(), message);
    WriteBmpFile(image, (Folder / "textures" / "stone.bmp").string(), message);
}

}  // namespace SceneFuzz
