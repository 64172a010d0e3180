#pragma once
// The ripper's source view: the photograph at the controller's zoom and pan with the
// quadrilateral and its numbered corners over it. Pointer input goes to the window.
#include <QImage>
#include <QWidget>

#include <functional>

class TTextureRipperController;

class TRipperSourceView : public QWidget {
    Q_OBJECT
public:
    TRipperSourceView(TTextureRipperController& Controller, QWidget* Parent);

    // The photograph as drawn; null without one.
    void SetBitmap(const QImage& Bitmap);

    std::function<void(QMouseEvent*)> OnMousePress;
    std::function<void(QMouseEvent*)> OnMouseMove;
    std::function<void(QMouseEvent*)> OnMouseRelease;
    std::function<void(QWheelEvent*)> OnWheel;
    std::function<void()> OnResize;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void DrawPhotograph(QPainter& Painter);
    void DrawQuad(QPainter& Painter);

    TTextureRipperController& Controller;
    QImage Bitmap;
};
