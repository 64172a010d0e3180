#include "editor/uToolWindowGlue.h"

#include "render/uGLView.h"
#include "editor/uMainForm.h"
#include "scene/uTextures.h"

#include <algorithm>
#include <cmath>

std::vector<std::string> TextureComboItems(const TTextureManager& Textures)
{
    std::vector<std::string> items{"0 = none"};
    for (int32_t i = 0; i < Textures.Count(); ++i)
        items.push_back(std::to_string(i + 1) + ": " + Textures.GetTexture(i).Name);
    return items;
}

void TMainForm::RefreshTextureCombo()
{
    // The properties page's face texture list and the textures window follow the
    // registry here once they exist.
    if (GLView)
        GLView->update();
}

void TMainForm::ReadCameraSettings(TCameraPlacement& Placement) const
{
    Placement.Position = Camera.Position;
    Placement.Yaw = Camera.Yaw;
    Placement.Pitch = Camera.Pitch;
}

void TMainForm::ApplyCameraSettings(const TCameraPlacement& Placement)
{
    // The orbit pivot and distance stay as they are.
    Camera.Position = Placement.Position;
    Camera.Yaw = Placement.Yaw;
    Camera.Pitch =
        std::isfinite(Placement.Pitch) ? std::clamp(Placement.Pitch, -89.0f, 89.0f) : 0.0f;
    Scene().CameraPosition = Camera.Position;
    Scene().CameraYaw = Camera.Yaw;
    Scene().CameraPitch = Camera.Pitch;
    if (GLView)
        GLView->update();
}

void TMainForm::TerrainEdited()
{
    RebuildSceneTree();
    if (GLView)
        GLView->update();
}

void TMainForm::FloorPlanChanged()
{
    RebuildSceneTree();
    UpdateStatusBar();
    if (GLView)
        GLView->update();
}
