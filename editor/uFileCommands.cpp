#include "editor/uFileCommands.h"

#include "editor/modes/uObjectTransformMode.h"

#include "editor/uMainForm.h"
#include "editor/uStatusBar.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "scene/uAnimationDocument.h"
#include "scene/uContactLighting.h"
#include "scene/uProjectTime.h"
#include "scene/uTextures.h"

#include <QCloseEvent>
#include <QFileInfo>

#include <cmath>
#include <exception>
#include <vector>

const char* const kOpenSceneFilter = "Quillstone Scene|*.qstn|All files|*.*";
const char* const kSaveSceneFilter = "Quillstone Scene|*.qstn";
const char* const kSceneFileExt = "qstn";

// ---------------------------------------------------------------------------------------
// File menu of the main window.

namespace {

// Texture objects are made and freed in the view's context.
struct TGLContextScope {
    explicit TGLContextScope(TGLView* View) : View(View)
    {
        if (View)
            View->makeCurrent();
    }
    ~TGLContextScope()
    {
        if (View)
            View->doneCurrent();
    }
    TGLView* View;
};

}  // namespace

void TMainForm::FileNewClick()
{
    if (!FEditorDialogs.AskYesNo(this, "New", "Clear the scene?"))
        return;
    ObjectTransform().CancelModalTransform();
    WindowHost.CloseAll();
    Document().Clear();
    InvalidateContactLighting();
    if (DisplayMode == dmSolid || DisplayMode == dmCinematic)
        ConfirmContactAORecalc(false);
    {
        TGLContextScope gl(FGLView);
        TextureRegistry->Clear();
    }
    FFileName.clear();
    DocumentReplaced();
}

void TMainForm::FileOpenClick()
{
    const std::string name = FEditorDialogs.OpenFileName(this, kOpenSceneFilter, {});
    if (name.empty())
        return;
    if (Scene().NodeCount() > 0 &&
        !FEditorDialogs.AskYesNo(this, "Open", "Load scene? Current unsaved changes will be lost."))
        return;
    ObjectTransform().CancelModalTransform();
    WindowHost.CloseAll();
    try {
        TGLContextScope gl(FGLView);
        Document().LoadFromFile(name);
    } catch (const std::exception& e) {
        // The load is all or nothing: the open project is as it was.
        FEditorDialogs.ShowError(this, "Open Error", std::string("Error loading: ") + e.what());
        return;
    }
    InvalidateContactLighting();
    if (DisplayMode == dmSolid || DisplayMode == dmCinematic)
        ConfirmContactAORecalc(false);
    FFileName = name;

    const TScene& scene = Scene();
    const bool restoreCamera =
        scene.CameraPosition.X != 0 || scene.CameraPosition.Y != 0 || scene.CameraPosition.Z != 0;
    if (restoreCamera) {
        FCamera.Position = scene.CameraPosition;
        FCamera.Yaw = scene.CameraYaw;
        FCamera.Pitch = scene.CameraPitch;
        FCamera.OrbitPivot =
            Vec3Add(FCamera.Position, Vec3Scale(FCamera.CameraForward(), FCamera.OrbitDistance));
    }
    SelectionState.RecentColors = Scene().Palette;
    SelectionState.RecentColorCount = Scene().PaletteCount;
    DocumentReplaced();
    if (!Document().GetLoadNotes().empty())
        FEditorDialogs.Inform(this, "Open", Document().GetLoadNotes());
    if (TSceneObject* first = Scene().GetFirstObject()) {
        SelectObject(first);
        if (restoreCamera) {
            // The stored camera stays where it was saved; orbiting turns about a point
            // ahead of it at the object's distance.
            const TVec3 at = Document().GetEvaluatedWorldPosition(first->GetId());
            const float d = std::max(Vec3Length(Vec3Sub(at, FCamera.Position)), 0.1f);
            FCamera.OrbitDistance = d;
            FCamera.OrbitPivot = Vec3Add(FCamera.Position, Vec3Scale(FCamera.CameraForward(), d));
        } else {
            FocusSelected();
        }
    }
}

void TMainForm::FileSaveClick()
{
    SaveProjectAs(FFileName.empty());
}

void TMainForm::FileSaveAsClick()
{
    SaveProjectAs(true);
}

bool TMainForm::SaveProjectAs(bool AskForName)
{
    if (AskForName) {
        const std::string name = FEditorDialogs.SaveFileName(this, kSaveSceneFilter, kSceneFileExt);
        if (name.empty())
            return false;
        FFileName = name;
    }
    Scene().CameraPosition = FCamera.Position;
    Scene().CameraYaw = FCamera.Yaw;
    Scene().CameraPitch = FCamera.Pitch;
    // Errors go on to the default error box; the project then stays modified.
    Document().SaveToFile(FFileName, true);
    if (FFrameLoop)
        FFrameLoop->ProjectWritten();
    if (FStatusPanels)
        FStatusPanels->SetPanelText(
            TStatusBar::spSelection,
            "Saved: " + QFileInfo(QString::fromStdString(FFileName)).fileName().toStdString());
    return true;
}

void TMainForm::FileQuitClick()
{
    close();
}

bool TMainForm::QueryCloseProject()
{
    if (!Document().IsModified())
        return true;
    switch (FEditorDialogs.AskSaveChanges(this, "Quit",
                                          "The scene has unsaved changes. Save them before "
                                          "quitting?")) {
    case TSaveChangesAnswer::Discard:
        return true;
    case TSaveChangesAnswer::Cancel:
        return false;
    case TSaveChangesAnswer::Save:
        break;
    }
    try {
        // A cancelled file dialog keeps the editor open, as does a failed save.
        return SaveProjectAs(FFileName.empty());
    } catch (const std::exception& e) {
        ShowErrorBox(this, e.what());
        return false;
    }
}

void TMainForm::closeEvent(QCloseEvent* Event)
{
    if (!QueryCloseProject()) {
        Event->ignore();
        return;
    }
    QMainWindow::closeEvent(Event);
}

// What follows a project replaced as a whole (New, Open).
void TMainForm::DocumentReplaced()
{
    ObjectTransform().ClearHoveredAxis();
    if (FFrameLoop)
        FFrameLoop->SetPlaybackAccumulator(Document().GetProjectTime().GetCurrentFrame());
    RefreshTextureCombo();
    emit EditorEvents->DocumentReplaced();
    if (FFrameLoop)
        FFrameLoop->ProjectWritten();
}
