#include "editor/uMainForm.h"
#include "render/uGLView.h"
#include "scene/uTextures.h"

#include <algorithm>
#include <cmath>

void TMainForm::RefreshTextureCombo()
{
    // The properties page's face texture list and the textures window follow the registry.
    emit EditorEvents->TexturesChanged();
}

void TMainForm::MakeTextureContextCurrent()
{
    if (GLView)
        GLView->makeCurrent();
}

void TMainForm::DoneTextureContext()
{
    if (GLView)
        GLView->doneCurrent();
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
    emit EditorEvents->DocumentEdited();
}

void TMainForm::FloorPlanChanged()
{
    emit EditorEvents->DocumentEdited();
}

void TMainForm::OpenTerrainEditor()
{
    TSceneObject* o = Scene().GetSelectedObject();
    if (!o) {
        EditorDialogs.Inform(this, "Terrain Editor", "Select a terrain object first.");
        return;
    }
    if (o->PrimType != ptTerrain) {
        EditorDialogs.Inform(this, "Terrain Editor", "The selected object is not a terrain.");
        return;
    }
    if (ShowTerrainEditor)
        ShowTerrainEditor(o->GetId());
}
