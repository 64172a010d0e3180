#include "editor/uInstallSubsystems.h"

#include "editor/api/uEditorShell.h"
#include "terrain/ui/uInstallTerrain.h"

void InstallSubsystemWindows(TEditorShell& Shell)
{
    // One line per subsystem, in this order: the editor's own tool windows (cinematic,
    // textures, environment, camera), the terrain editor, the floor-plan builder, the
    // texture ripper.
    InstallTerrainWindows(Shell);
}
