#pragma once
// Where a rectified texture goes: the texture name made safe as a file name, the
// project's textures folder, a file name that never replaces an existing file, and a
// PNG written under a temporary name and then moved into place.
#include "image/uTextureRipperImage.h"

#include <string>

// Trims, drops one ".png" in any letter case, turns every run of blanks, control
// characters and characters that file systems refuse into one "_", and strips "_" at
// both ends. The result may be empty.
void SanitizeTextureName(const std::string& Text, std::string& Name);

// The "textures" folder beside the project file; empty for a project never saved.
void ProjectTexturesFolder(const std::string& ProjectFile, std::string& Folder);

// What the window's target line says for this project and typed name.
std::string TextureTargetText(const std::string& ProjectFile, const std::string& TextureName);

// Folder/Name.png, or Folder/Name_001.png, Name_002.png, ... when that exists.
std::string UniqueTexturePath(const std::string& Folder, const std::string& Name);

// Where the PNG landed and what became of it.
struct TTextureFileResult {
    bool Success = false;
    std::string FilePath;      // the PNG's full path
    std::string RelativePath;  // relative to the project's folder, e.g. textures/brick.png
    std::string Message;
};

// Creates the folder when missing, picks the file name, writes FilePath + ".tmp" and
// moves it into place without replacing anything. On failure nothing is left behind.
TTextureFileResult WriteProjectTexture(const TRgbaImage& Image, const std::string& ProjectFile,
                                       const std::string& TextureName);
