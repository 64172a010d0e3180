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
    if (FGLView)
        FGLView->makeCurrent();
}

void TMainForm::DoneTextureContext()
{
    if (FGLView)
        FGLView->doneCurrent();
}

void TMainForm::ReadCameraSettings(TCameraPlacement& Placement) const
{
    Placement.Position = FCamera.Position;
    Placement.Yaw = FCamera.Yaw;
    Placement.Pitch = FCamera.Pitch;
}

void TMainForm::ApplyCameraSettings(const TCameraPlacement& Placement)
{
    // The orbit pivot and distance stay as they are.
    FCamera.Position = Placement.Position;
    FCamera.Yaw = Placement.Yaw;
    FCamera.Pitch =
        std::isfinite(Placement.Pitch) ? std::clamp(Placement.Pitch, -89.0f, 89.0f) : 0.0f;
    Scene().CameraPosition = FCamera.Position;
    Scene().CameraYaw = FCamera.Yaw;
    Scene().CameraPitch = FCamera.Pitch;
    if (PushCamera)
        PushCamera();  // the cinematic camera follows
    if (FGLView)
        FGLView->update();
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
        FEditorDialogs.Inform(this, "Terrain Editor", "Select a terrain object first.");
        return;
    }
    if (o->PrimType != ptTerrain) {
        FEditorDialogs.Inform(this, "Terrain Editor", "The selected object is not a terrain.");
        return;
    }
    if (ShowTerrainEditor)
        ShowTerrainEditor(o->GetId());
}
