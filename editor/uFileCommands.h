#pragma once
// The file commands of the main window (uFileCommands.cpp) and their filters.
#include "editor/api/uEditorDialogs.h"

// The scene files' filters and extension.
extern const char* const kOpenSceneFilter;
extern const char* const kSaveSceneFilter;
extern const char* const kSceneFileExt;
