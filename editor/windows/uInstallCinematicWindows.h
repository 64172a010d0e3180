#pragma once
// The cinematic, environment and camera windows join the main window: View > "Cinematic
// Window...", "Environment..." and "Camera...", F6 and "Push Cam".
class TEditorShell;

void InstallCinematicWindows(TEditorShell& Shell);
