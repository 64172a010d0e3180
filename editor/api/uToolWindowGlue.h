#pragma once
// What the main window and its tool windows exchange.
#include "base/uMath.h"

#include <string>
#include <vector>

class TTextureManager;

// The Perspective camera as the camera window reads and hands it back.
struct TCameraPlacement {
    TVec3 Position{0, 0, 0};
    float Yaw = 0;    // degrees
    float Pitch = 0;  // degrees
};

// The face texture list's items: "0 = none", then "1: name", "2: name", ... one per
// registry entry.
std::vector<std::string> TextureComboItems(const TTextureManager& Textures);
