#pragma once
// The subsystems' windows join the main window here, in a fixed order; main() calls it
// once after the main window is built (and the window tests do the same).
class TEditorShell;

void InstallSubsystemWindows(TEditorShell& Shell);
