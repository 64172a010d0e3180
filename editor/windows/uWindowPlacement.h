#pragma once
// Placing the editor's tool windows on the screen.
class QWidget;

// Moves the window so its frame is centred on its screen's available area, neither edge
// beyond the top-left corner.
void CentreOnScreen(QWidget& Window);
