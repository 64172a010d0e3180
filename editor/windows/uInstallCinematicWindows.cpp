#include "editor/windows/uInstallCinematicWindows.h"

#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/api/uEditorShell.h"
#include "editor/windows/uCameraWindow.h"
#include "editor/windows/uCinematicWindow.h"
#include "editor/windows/uEnvironmentWindow.h"
#include "scene/uScene.h"

namespace {

TCameraPlacement PerspectiveCamera(TEditorContext& Context)
{
    TCameraPlacement p;
    Context.ReadCameraSettings(p);
    return p;
}

// The cinematic view shows an edit of the environment or the camera at once.
void InvalidateCinematicView(TEditorContext& Context)
{
    emit Context.Events().EnvironmentChanged();
}

}  // namespace

void InstallCinematicWindows(TEditorShell& Shell)
{
    TEditorContext& context = Shell.Context();
    Shell.InstallToolWindowItem(twiCinematicWindow, [&context] {
        context.ConfirmContactAORecalc(true);
        ShowCinematicView(context, PerspectiveCamera(context));
    });
    Shell.InstallToolWindowItem(twiEnvironment, [&context] {
        TEnvironmentWindowCallbacks c;
        c.Environment = [&context] { return &context.Document().GetEnvironment(); };
        c.Change = [&context] { InvalidateCinematicView(context); };
        c.RefreshContactAO = [&context] {
            context.Document().GetScene().SetContactLightingEnabled(true);
            context.InvalidateContactLighting();
            InvalidateCinematicView(context);
        };
        ShowEnvironmentWindow(context, std::move(c));
    });
    Shell.InstallToolWindowItem(twiCamera, [&context] {
        TCameraWindowCallbacks c;
        c.Environment = [&context] { return &context.Document().GetEnvironment(); };
        c.ReadCamera = [&context](TCameraPlacement& p) { context.ReadCameraSettings(p); };
        c.ApplyCamera = [&context](const TCameraPlacement& p) { context.ApplyCameraSettings(p); };
        c.Change = [&context] { InvalidateCinematicView(context); };
        ShowCameraWindow(context, std::move(c));
    });
    Shell.InstallPushCamera(
        [&context] { UpdateCinematicCamera(context, PerspectiveCamera(context)); });
    // At a new frame the cinematic view takes the Perspective camera again and redraws.
    TEditorEvents& events = context.Events();
    QObject::connect(&events, &TEditorEvents::FrameChanged, &events,
                     [&context] { UpdateCinematicCamera(context, PerspectiveCamera(context)); });
}
