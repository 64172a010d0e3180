#pragma once
// The main window's OpenGL view: a QOpenGLWidget with a compatibility-profile context
// (OpenGL 1.1 immediate mode) whose paint, resize and mouse events go to the window's
// handlers. Every handler runs guarded, so no exception leaves an event.
#include <QOpenGLWidget>

#include <functional>

class QMouseEvent;
class QMoveEvent;
class QWheelEvent;

class TGLView : public QOpenGLWidget {
    Q_OBJECT
public:
    explicit TGLView(QWidget* Parent = nullptr);

    // The surface format every GL window of the editor uses.
    static QSurfaceFormat EditorSurfaceFormat();

    std::function<void()> OnInitialize;  // context current
    std::function<void()> OnPaint;       // context current
    std::function<void()> OnResize;
    std::function<void()> OnMove;  // the view moved within its parent
    std::function<void(QMouseEvent*)> OnMouseDown, OnMouseMove, OnMouseUp;
    std::function<void(QWheelEvent*)> OnMouseWheel;
    std::function<void()> OnMouseLeave;  // the cursor left the view

    // Size of the GL drawable in device pixels.
    int DeviceWidth() const;
    int DeviceHeight() const;

protected:
    void initializeGL() override;
    void paintGL() override;
    void resizeGL(int w, int h) override;
    void moveEvent(QMoveEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void wheelEvent(QWheelEvent* e) override;
    void leaveEvent(QEvent* e) override;

private:
    bool InPaint = false;
};
