#include "editor/uInstallSubsystems.h"

#include "editor/api/uEditorShell.h"
#include "editor/uTexturesWindow.h"
#include "editor/windows/uInstallCinematicWindows.h"
#include "floorplan/ui/uFloorPlanInstall.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/ui/uModifierEditorRegistry.h"
#include "ripper/ui/uInstallTextureRipper.h"
#include "terrain/ui/uInstallTerrain.h"

void InstallSubsystemWindows(TEditorShell& Shell)
{
    // The modifier types first, then the settings window of each type (the Modifiers page
    // opens them); both only once per run.
    if (ModifierDescriptorCount() == 0)
        RegisterBuiltInModifiers();
    RegisterBuiltInModifierEditors();

    // One line per subsystem, in this order: the editor's own tool windows (cinematic,
    // textures, environment, camera), the terrain editor, the floor-plan builder, the
    // texture ripper.
    InstallCinematicWindows(Shell);
    InstallTexturesWindow(Shell);
    InstallTerrainWindows(Shell);
    InstallFloorPlanWindows(Shell);
    InstallTextureRipper(Shell);
}
