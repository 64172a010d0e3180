#include "editor/api/uToolWindowGlue.h"

#include "scene/uTextures.h"

std::vector<std::string> TextureComboItems(const TTextureManager& Textures)
{
    std::vector<std::string> items{"0 = none"};
    for (int32_t i = 0; i < Textures.Count(); ++i)
        items.push_back(std::to_string(i + 1) + ": " + Textures.GetTexture(i).Name);
    return items;
}
