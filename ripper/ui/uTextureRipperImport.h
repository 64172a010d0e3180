#pragma once
// Saving a rectified texture into the project's textures folder and importing it into
// the texture registry.
#include "image/uTextureRipperImage.h"
#include "scene/uTextures.h"

#include <string>

struct TTextureRipperSaveResult {
    bool Success = false;
    std::string FilePath;      // the PNG's full path
    std::string RelativePath;  // relative to the project's folder, e.g. textures/brick.png
    TTextureImportResult ImportResult;
    std::string Message;
};

// Writes the PNG (never replacing a file) and imports it; the registry's texture objects
// need their GL context current. A PNG that was written stays when the import fails.
void SaveAndImport(const TRgbaImage& Image, const std::string& ProjectPath,
                   const std::string& TextureName, TTextureRipperSaveResult& Result,
                   TTextureManager* TextureManager);
