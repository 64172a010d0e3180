#include "terrain/ui/uInstallTerrain.h"

#include "editor/api/uEditorShell.h"
#include "terrain/ui/uTerrainWindow.h"

void InstallTerrainWindows(TEditorShell& Shell)
{
    TEditorContext& context = Shell.Context();
    Shell.InstallTerrainEditor([&context](uint32_t NodeId) { ShowTerrainEditor(context, NodeId); });
}
