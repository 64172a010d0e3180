#pragma once
// The main window's menu bar: its items, their Tags and the texts of its message boxes.
// The handlers are TMainForm's (uMainMenu.cpp, uFileCommands.cpp).
#include <string>

// The grid sizes of Edit > Grid Size, by item Tag; 0 for a Tag outside 0..4.
float GridSizeOfTag(int Tag);
// The text of Help > Controls..., its lines joined by line breaks.
std::string ControlsHelpText();
