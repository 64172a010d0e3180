#include "floorplan/ui/uFloorPlanInstall.h"

#include "editor/api/uEditorContext.h"
#include "editor/api/uEditorShell.h"
#include "floorplan/ui/uFloorPlanWindow.h"

void InstallFloorPlanWindows(TEditorShell& Shell)
{
    TEditorContext& context = Shell.Context();
    const auto open = [&context] {
        ShowFloorPlanWindow(context, context.SelectedHierarchyNodeId());
    };
    Shell.InstallToolWindowItem(twiFloorPlanBuilder, open);
    Shell.InstallToolButton("Floor Plan", open);
}
