#include "ripper/ui/uRipperPreviewView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

TRipperPreviewView::TRipperPreviewView(QWidget* Parent) : QWidget(Parent)
{
    setObjectName(QStringLiteral("RipperPreviewView"));
}

void TRipperPreviewView::SetBitmap(const QImage& Bitmap)
{
    FBitmap = Bitmap;
    update();
}

void TRipperPreviewView::SetTiled(bool Tiled)
{
    FTiled = Tiled;
    update();
}

void TRipperPreviewView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Button));
    if (FBitmap.isNull())
        return;
    const double bw = FBitmap.width(), bh = FBitmap.height();
    const double scale = std::max(0.1, std::min((width() - 20) / bw, (height() - 20) / bh));
    constexpr int square = 12;
    for (int row = 0; row * square < height(); ++row)
        for (int col = 0; col * square < width(); ++col)
            painter.fillRect(col * square, row * square, square, square,
                             (row + col) % 2 == 0 ? QColor(0xD8, 0xD8, 0xD8)
                                                  : QColor(0xB8, 0xB8, 0xB8));
    const double tw = bw * scale, th = bh * scale;
    const double left = (width() - tw) * 0.5, top = (height() - th) * 0.5;
    const int range = FTiled ? 1 : 0;
    for (int j = -range; j <= range; ++j)
        for (int i = -range; i <= range; ++i) {
            const double l = left + i * tw, t = top + j * th;
            const QRect target(QPoint(int(std::lround(l)), int(std::lround(t))),
                               QPoint(int(std::lround(l + tw)) - 1, int(std::lround(t + th)) - 1));
            painter.drawImage(target, FBitmap);
        }
}
