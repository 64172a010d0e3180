#pragma once
// The texture ripper joins the main window: Tools > Texture Ripper... opens it.
class TEditorShell;

void InstallTextureRipper(TEditorShell& Shell);
