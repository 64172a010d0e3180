#pragma once
// The floor-plan builder joins the main window: Tools > Floor Plan Builder and the
// "Floor Plan" tool button open it on the node selected in the hierarchy.
class TEditorShell;

void InstallFloorPlanWindows(TEditorShell& Shell);
