#include "editor/uInstallSubsystems.h"

#include "editor/api/uEditorShell.h"
#include "editor/uTexturesWindow.h"
#include "ripper/ui/uInstallTextureRipper.h"
#include "terrain/ui/uInstallTerrain.h"

void InstallSubsystemWindows(TEditorShell& Shell)
{
    // One line per subsystem, in this order: the editor's own tool windows (cinematic,
    // textures, environment, camera), the terrain editor, the floor-plan builder, the
    // texture ripper.
    InstallTexturesWindow(Shell);
    InstallTerrainWindows(Shell);
    InstallTextureRipper(Shell);
}
