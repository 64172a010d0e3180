#include "render/uGLView.h"

#include "render/uErrorBox.h"

#include <QMouseEvent>
#include <QMoveEvent>
#include <QWheelEvent>

#include <cmath>

TGLView::TGLView(QWidget* Parent) : QOpenGLWidget(Parent)
{
    setFormat(EditorSurfaceFormat());
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
}

QSurfaceFormat TGLView::EditorSurfaceFormat()
{
    QSurfaceFormat f;
    f.setRenderableType(QSurfaceFormat::OpenGL);
    f.setProfile(QSurfaceFormat::CompatibilityProfile);
    f.setVersion(2, 1);
    f.setDepthBufferSize(24);
    f.setSwapBehavior(QSurfaceFormat::DoubleBuffer);
    return f;
}

int TGLView::DeviceWidth() const
{
    return int(std::lround(width() * devicePixelRatioF()));
}

int TGLView::DeviceHeight() const
{
    return int(std::lround(height() * devicePixelRatioF()));
}

void TGLView::initializeGL()
{
    RunGuarded(this, [&] {
        if (OnInitialize)
            OnInitialize();
    });
}

void TGLView::paintGL()
{
    // An error box opened from a paint runs its own message loop, which paints again;
    // those nested paints are skipped instead of stacking boxes.
    if (InPaint)
        return;
    InPaint = true;
    RunGuarded(this, [&] {
        if (OnPaint)
            OnPaint();
    });
    InPaint = false;
}

void TGLView::resizeGL(int, int)
{
    RunGuarded(this, [&] {
        if (OnResize)
            OnResize();
    });
}

void TGLView::moveEvent(QMoveEvent* e)
{
    QOpenGLWidget::moveEvent(e);
    RunGuarded(this, [&] {
        if (OnMove)
            OnMove();
    });
}

void TGLView::mousePressEvent(QMouseEvent* e)
{
    RunGuarded(this, [&] {
        if (OnMouseDown)
            OnMouseDown(e);
    });
}

void TGLView::mouseMoveEvent(QMouseEvent* e)
{
    RunGuarded(this, [&] {
        if (OnMouseMove)
            OnMouseMove(e);
    });
}

void TGLView::mouseReleaseEvent(QMouseEvent* e)
{
    RunGuarded(this, [&] {
        if (OnMouseUp)
            OnMouseUp(e);
    });
}

void TGLView::wheelEvent(QWheelEvent* e)
{
    RunGuarded(this, [&] {
        if (OnMouseWheel)
            OnMouseWheel(e);
    });
}

void TGLView::leaveEvent(QEvent* e)
{
    QOpenGLWidget::leaveEvent(e);
    RunGuarded(this, [&] {
        if (OnMouseLeave)
            OnMouseLeave();
    });
}
