#pragma once
// The program's start, shared by main() and the test that runs the program as a user does.
#include <memory>

class TMainForm;

// Before the application object exists: every GL view shares one set of textures, in the
// editor's surface format.
void PrepareEditorApplication();

// The application font, then the main window with the subsystems' windows installed,
// shown. Null when building it failed; the error box has said why.
std::unique_ptr<TMainForm> OpenEditorWindow();
