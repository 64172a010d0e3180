#include "editor/uFileCommands.h"

#include "scene/uContactLighting.h"
#include "render/uGLView.h"
#include "editor/uMainForm.h"
#include "editor/uStatusBar.h"
#include "scene/uAnimationDocument.h"
#include "scene/uProjectTime.h"
#include "scene/uTextures.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

#include <cmath>
#include <exception>
#include <vector>

const char* const kOpenSceneFilter = "Quillstone Scene|*.qstn|All files|*.*";
const char* const kSaveSceneFilter = "Quillstone Scene|*.qstn";
const char* const kSceneFileExt = "qstn";

std::string QtFileFilter(const std::string& Filter)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t bar = Filter.find('|', start);
        parts.push_back(
            Filter.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
        if (bar == std::string::npos)
            break;
        start = bar + 1;
    }
    std::string result;
    for (size_t i = 0; i + 1 < parts.size(); i += 2) {
        std::string patterns = parts[i + 1];
        for (size_t p = 0; (p = patterns.find(';', p)) != std::string::npos;)
            patterns[p] = ' ';
        if (patterns == "*.*")
            patterns = "*";
        if (!result.empty())
            result += ";;";
        result += parts[i] + " (" + patterns + ")";
    }
    return result;
}

TEditorDialogs StandardEditorDialogs()
{
    TEditorDialogs d;
    d.OpenFileName = [](QWidget* parent, const std::string& filter) {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptOpen);
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().first().toStdString();
    };
    d.SaveFileName = [](QWidget* parent, const std::string& filter, const std::string& ext) {
        QFileDialog dialog(parent);
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setFileMode(QFileDialog::AnyFile);
        dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
        dialog.setDefaultSuffix(QString::fromStdString(ext));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().first().toStdString();
    };
    d.AskYesNo = [](QWidget* parent, const std::string& caption, const std::string& text) {
        return QMessageBox::question(parent, QString::fromStdString(caption),
                                     QString::fromStdString(text),
                                     QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
    };
    d.Inform = [](QWidget* parent, const std::string& caption, const std::string& text) {
        QMessageBox::information(parent, QString::fromStdString(caption),
                                 QString::fromStdString(text));
    };
    d.ShowError = [](QWidget* parent, const std::string& caption, const std::string& text) {
        QMessageBox::critical(parent, QString::fromStdString(caption),
                              QString::fromStdString(text));
    };
    return d;
}

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

void TMainForm::CloseDocumentWindows()
{
    // A tool window holds parts of the project it was opened on; none may outlive it.
    std::vector<QPointer<QWidget>> windows;
    windows.swap(ToolWindows);
    for (QPointer<QWidget>& w : windows)
        if (w) {
            w->close();
            delete w.data();
        }
}

void TMainForm::FileNewClick()
{
    if (!Dialogs.AskYesNo(this, "New", "Clear the scene?"))
        return;
    CancelModalTransform();
    CloseDocumentWindows();
    Document().Clear();
    InvalidateContactLighting();
    if (DisplayMode == dmSolid || DisplayMode == dmCinematic)
        ConfirmContactAORecalc(false);
    {
        TGLContextScope gl(GLView);
        TextureRegistry->Clear();
    }
    FileName.clear();
    DocumentReplaced();
    UpdateStatusBar();
    if (GLView)
        GLView->update();
}

void TMainForm::FileOpenClick()
{
    const std::string name = Dialogs.OpenFileName(this, kOpenSceneFilter);
    if (name.empty())
        return;
    if (Scene().NodeCount() > 0 &&
        !Dialogs.AskYesNo(this, "Open", "Load scene? Current unsaved changes will be lost."))
        return;
    CancelModalTransform();
    CloseDocumentWindows();
    try {
        TGLContextScope gl(GLView);
        Document().LoadFromFile(name);
    } catch (const std::exception& e) {
        // The load is all or nothing: the open project is as it was.
        Dialogs.ShowError(this, "Open Error", std::string("Error loading: ") + e.what());
        return;
    }
    InvalidateContactLighting();
    if (DisplayMode == dmSolid || DisplayMode == dmCinematic)
        ConfirmContactAORecalc(false);
    FileName = name;

    const TScene& scene = Scene();
    const bool restoreCamera =
        scene.CameraPosition.X != 0 || scene.CameraPosition.Y != 0 || scene.CameraPosition.Z != 0;
    if (restoreCamera) {
        Camera.Position = scene.CameraPosition;
        Camera.Yaw = scene.CameraYaw;
        Camera.Pitch = scene.CameraPitch;
        Camera.OrbitPivot =
            Vec3Add(Camera.Position, Vec3Scale(Camera.CameraForward(), Camera.OrbitDistance));
    }
    DocumentReplaced();
    RecentColors = Scene().Palette;
    RecentColorCount = Scene().PaletteCount;
    if (TSceneObject* first = Scene().GetFirstObject()) {
        SelectNode(first);
        if (restoreCamera) {
            // The stored camera stays where it was saved; orbiting turns about a point
            // ahead of it at the object's distance.
            const TVec3 at = Document().GetEvaluatedWorldPosition(first->GetId());
            const float d = std::max(Vec3Length(Vec3Sub(at, Camera.Position)), 0.1f);
            Camera.OrbitDistance = d;
            Camera.OrbitPivot = Vec3Add(Camera.Position, Vec3Scale(Camera.CameraForward(), d));
        } else {
            FocusSelected();
        }
    }
    UpdateStatusBar();
    UpdateTimelineUI();
    if (GLView)
        GLView->update();
}

void TMainForm::FileSaveClick()
{
    SaveProjectAs(FileName.empty());
}

void TMainForm::FileSaveAsClick()
{
    SaveProjectAs(true);
}

bool TMainForm::SaveProjectAs(bool AskForName)
{
    if (AskForName) {
        const std::string name = Dialogs.SaveFileName(this, kSaveSceneFilter, kSceneFileExt);
        if (name.empty())
            return false;
        FileName = name;
    }
    Scene().CameraPosition = Camera.Position;
    Scene().CameraYaw = Camera.Yaw;
    Scene().CameraPitch = Camera.Pitch;
    // Errors go on to the default error box; the project then stays modified.
    Document().SaveToFile(FileName, true);
    if (StatusPanels)
        StatusPanels->SetPanelText(
            TStatusBar::spSelection,
            "Saved: " + QFileInfo(QString::fromStdString(FileName)).fileName().toStdString());
    return true;
}

void TMainForm::FileQuitClick()
{
    close();
}

// What follows a project replaced as a whole (New, Open).
void TMainForm::DocumentReplaced()
{
    HoveredGizmoAxis = -1;
    if (FrameLoop)
        FrameLoop->SetPlaybackAccumulator(Document().GetProjectTime().GetCurrentFrame());
    RefreshTextureCombo();
    RebuildSceneTree();
}
