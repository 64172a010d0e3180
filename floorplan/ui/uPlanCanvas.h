#pragma once
// The centre of the floor-plan builder: the current plan drawn over a grid and edited with
// the mouse. Left clicks add grid-snapped points (draw mode) or pick and drag one (select
// mode, one undoable edit per drag); the right or middle button pans; the wheel zooms about
// the canvas centre; a double click closes the outline. The canvas holds the view and the
// editing state; the plan, the floor below it and the commit belong to its owner.
#include "floorplan/uFloorPlan.h"
#include "floorplan/uPlanView.h"

#include <QPoint>
#include <QWidget>

#include <memory>

class TPlanCanvasOwner {
public:
    virtual ~TPlanCanvasOwner() = default;
    // The plan being edited, or nullptr.
    virtual TFloorPlan* CanvasPlan() = 0;
    // The outline of the floor below, drawn dashed beneath; nullptr for none.
    virtual const TFloorPlan* ReferencePlan() = 0;
    // Turns the change from Copy to the plan as it is now into one undoable edit.
    virtual void CommitPlanEdit(std::unique_ptr<TFloorPlan> Copy) = 0;
    // Before and after every mouse button: control states, and the main window's refresh.
    virtual void CanvasButtonPressed() = 0;
    virtual void CanvasButtonDone() = 0;
};

class TPlanCanvas : public QWidget {
    Q_OBJECT
public:
    TPlanCanvas(TPlanCanvasOwner& Owner, QWidget* Parent);

    TPlanView& View() { return PlanView; }
    const TPlanView& View() const { return PlanView; }
    bool DrawMode = true;
    int SelectedPoint = -1;
    bool IsDragging() const { return Dragging; }
    bool IsPanning() const { return Panning; }

    // Ends a point drag without committing: the plan goes back to its state before it.
    void CancelPointDrag();

protected:
    void paintEvent(QPaintEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;
    void mouseDoubleClickEvent(QMouseEvent* Event) override;
    void wheelEvent(QWheelEvent* Event) override;

private:
    void CanvasMouseDown(Qt::MouseButton Button, QPoint At);
    void CanvasMouseMove(QPoint At);
    void CanvasMouseUp(Qt::MouseButton Button);
    void CanvasDblClick();
    void AddPointAt(QPoint At);

    TPlanCanvasOwner& Owner;
    TPlanView PlanView;
    bool Dragging = false;
    std::unique_ptr<TFloorPlan> DragCopy;
    bool Panning = false;
    QPoint LastMouse;
};
