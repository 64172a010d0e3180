#include "ripper/ui/uRipperSourceView.h"

#include "ripper/uTextureRipperController.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <string>

TRipperSourceView::TRipperSourceView(TTextureRipperController& Controller, QWidget* Parent)
    : QWidget(Parent), Controller(Controller)
{
    setObjectName(QStringLiteral("RipperSourceView"));
    setFocusPolicy(Qt::ClickFocus);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void TRipperSourceView::SetBitmap(const QImage& NewBitmap)
{
    Bitmap = NewBitmap;
    update();
}

void TRipperSourceView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    if (Bitmap.isNull() || !Controller.Session().HasSourceImage()) {
        painter.setPen(Qt::white);
        painter.drawText(12, 30, QStringLiteral("Open or drop a PNG, JPEG, or BMP image here."));
        return;
    }
    DrawPhotograph(painter);
    DrawQuad(painter);
}

void TRipperSourceView::DrawPhotograph(QPainter& Painter)
{
    const TRipperScreenRect r = Controller.GetImageScreenRect();
    const QRectF target(r.Left, r.Top, r.Right - r.Left, r.Bottom - r.Top);
    if (target.isEmpty())
        return;
    // Only the visible part is scaled: a large photograph zoomed in would otherwise be
    // stretched whole on every repaint.
    const QRectF visible = target.intersected(QRectF(rect()));
    if (visible.isEmpty())
        return;
    const double sx = Bitmap.width() / target.width();
    const double sy = Bitmap.height() / target.height();
    const QRectF source((visible.left() - target.left()) * sx, (visible.top() - target.top()) * sy,
                        visible.width() * sx, visible.height() * sy);
    Painter.drawImage(visible, Bitmap, source);
}

void TRipperSourceView::DrawQuad(QPainter& Painter)
{
    std::string message;
    const bool valid = Controller.Session().ValidateSelection(message);
    const auto quad = Controller.GetScreenQuad();
    Painter.setRenderHint(QPainter::Antialiasing, false);
    Painter.setPen(QPen(valid ? QColor(0, 255, 0) : QColor(255, 0, 0), 2));
    for (int i = 0; i < 4; ++i) {
        const auto& a = quad[i];
        const auto& b = quad[(i + 1) % 4];
        Painter.drawLine(a.X, a.Y, b.X, b.Y);
    }
    for (int i = 0; i < 4; ++i) {
        const auto& p = quad[i];
        Painter.setPen(QPen(Qt::black, 1));
        Painter.setBrush(Qt::white);
        Painter.drawEllipse(QRect(QPoint(p.X - 6, p.Y - 6), QPoint(p.X + 6, p.Y + 6)));
        Painter.setBrush(Qt::NoBrush);
        const QRect label(p.X - 3, p.Y - 7, 8, 14);
        Painter.drawText(label, Qt::AlignLeft | Qt::AlignVCenter, QString::number(i + 1));
    }
}

void TRipperSourceView::mousePressEvent(QMouseEvent* Event)
{
    if (OnMousePress)
        OnMousePress(Event);
}

void TRipperSourceView::mouseMoveEvent(QMouseEvent* Event)
{
    if (OnMouseMove)
        OnMouseMove(Event);
}

void TRipperSourceView::mouseReleaseEvent(QMouseEvent* Event)
{
    if (OnMouseRelease)
        OnMouseRelease(Event);
}

void TRipperSourceView::wheelEvent(QWheelEvent* Event)
{
    if (OnWheel)
        OnWheel(Event);
    Event->accept();
}

void TRipperSourceView::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    if (OnResize)
        OnResize();
}
