#include "editor/uInstallSubsystems.h"

#include "editor/api/uEditorShell.h"
#include "floorplan/ui/uFloorPlanInstall.h"

void InstallSubsystemWindows(TEditorShell& Shell)
{
    // One line per subsystem, in this order: the editor's own tool windows (cinematic,
    // textures, environment, camera), the terrain editor, the floor-plan builder, the
    // texture ripper.
    InstallFloorPlanWindows(Shell);
}
