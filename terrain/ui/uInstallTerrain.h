#pragma once
// The terrain editor joins the main window: View > Terrain Editor and the opening of the
// editor on a new terrain object.
class TEditorShell;

void InstallTerrainWindows(TEditorShell& Shell);
