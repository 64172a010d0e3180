#pragma once
// The one font of every window. The windows place their controls at fixed pixel positions
// made for a small dialog font, so the font is chosen by its pixel size, not by the screen's
// resolution or the desktop's choice.

// Sets the application font; call once, after the application object exists and before
// any window is built.
void ApplyApplicationFont();
