#include "editor/windows/uWindowPlacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

#include <algorithm>

void CentreOnScreen(QWidget& Window)
{
    QScreen* screen = Window.screen() ? Window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QSize frame = Window.frameGeometry().size();
    const int left = area.left() + std::max(0, (area.width() - frame.width()) / 2);
    const int top = area.top() + std::max(0, (area.height() - frame.height()) / 2);
    Window.move(left, top);
}
