#include "floorplan/ui/uPlanCanvas.h"

#include "render/uErrorBox.h"

#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <vector>

namespace {

const QColor kBackground(245, 245, 245);
const QColor kGrid(225, 225, 225);
const QColor kCentreCross(150, 150, 150);
const QColor kReference(170, 170, 170);
const QColor kOutline(40, 90, 180);
const QColor kCaption(128, 128, 128);
constexpr int kPointRadius = 5;

QPoint Pixel(const TPlanView& View, const TFloorPlanPoint& p)
{
    const TPlanPixel px = View.PlanToScreen(p);
    return QPoint(px.X, px.Y);
}

// One segment per consecutive pair of stored points.
void DrawOutline(QPainter& Painter, const TPlanView& View, const TFloorPlan& Plan)
{
    const TFloorPlanPointArray points = Plan.GetPoints();
    for (size_t i = 1; i < points.size(); ++i)
        Painter.drawLine(Pixel(View, points[i - 1]), Pixel(View, points[i]));
}

}  // namespace

TPlanCanvas::TPlanCanvas(TPlanCanvasOwner& Owner, QWidget* Parent) : QWidget(Parent), Owner(Owner)
{
    setObjectName(QStringLiteral("PlanCanvas"));
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
    PlanView.Width = width();
    PlanView.Height = height();
}

void TPlanCanvas::resizeEvent(QResizeEvent* Event)
{
    PlanView.Width = width();
    PlanView.Height = height();
    QWidget::resizeEvent(Event);
}

void TPlanCanvas::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const int w = width(), h = height();
    p.fillRect(rect(), kBackground);

    std::vector<int> xs, ys;
    PlanView.GridLines(xs, ys);
    p.setPen(QPen(kGrid, 1));
    for (int x : xs)
        p.drawLine(x, 0, x, h);
    for (int y : ys)
        p.drawLine(0, y, w, y);

    p.setPen(QPen(kCentreCross, 1));
    p.drawLine(w / 2, 0, w / 2, h);
    p.drawLine(0, h / 2, w, h / 2);

    if (const TFloorPlan* reference = Owner.ReferencePlan()) {
        p.setPen(QPen(kReference, 2, Qt::DashLine));
        DrawOutline(p, PlanView, *reference);
    }

    const TFloorPlan* plan = Owner.CanvasPlan();
    if (!plan)
        return;
    p.setPen(QPen(kOutline, 3, Qt::SolidLine));
    DrawOutline(p, PlanView, *plan);
    p.setPen(QPen(Qt::black, 1));
    for (int i = 0; i < plan->PointCount(); ++i) {
        p.setBrush(i == SelectedPoint ? Qt::red : Qt::white);
        p.drawEllipse(Pixel(PlanView, plan->GetPoint(i)), kPointRadius, kPointRadius);
    }
    p.setBrush(Qt::NoBrush);
    p.setPen(kCaption);
    p.drawText(QRect(8, 8, w, h), Qt::AlignLeft | Qt::AlignTop,
               QString::fromStdString(PlanView.Caption()));
}

void TPlanCanvas::mousePressEvent(QMouseEvent* Event)
{
    RunGuarded(this, [&] { CanvasMouseDown(Event->button(), Event->position().toPoint()); });
}

void TPlanCanvas::mouseMoveEvent(QMouseEvent* Event)
{
    RunGuarded(this, [&] { CanvasMouseMove(Event->position().toPoint()); });
}

void TPlanCanvas::mouseReleaseEvent(QMouseEvent* Event)
{
    RunGuarded(this, [&] { CanvasMouseUp(Event->button()); });
}

void TPlanCanvas::mouseDoubleClickEvent(QMouseEvent* Event)
{
    // The second press of a double click arrives here alone; it counts as a press first.
    RunGuarded(this, [&] {
        CanvasMouseDown(Event->button(), Event->position().toPoint());
        if (Event->button() == Qt::LeftButton)
            CanvasDblClick();
    });
}

void TPlanCanvas::wheelEvent(QWheelEvent* Event)
{
    Event->accept();
    if (!Owner.CanvasPlan())
        return;
    // A horizontal or touchpad step with no vertical part zooms neither way.
    PlanView.Zoom(Event->angleDelta().y());
    update();
}

void TPlanCanvas::AddPointAt(QPoint At)
{
    TFloorPlan* plan = Owner.CanvasPlan();
    TFloorPlanPoint point;
    if (!plan || !PlanView.SnappedPlanPoint(At.x(), At.y(), point))
        return;
    // The two presses of a double click land on the same snapped point: the second would
    // only add an edge of zero length.
    const int n = plan->PointCount();
    if (n > 0 && FloorPlanPointsEqual(plan->GetPoint(n - 1), point))
        return;
    std::unique_ptr<TFloorPlan> copy = plan->Clone();
    plan->InsertPoint(point, -1);
    Owner.CommitPlanEdit(std::move(copy));
    update();
}

void TPlanCanvas::CanvasMouseDown(Qt::MouseButton Button, QPoint At)
{
    TFloorPlan* plan = Owner.CanvasPlan();
    if (!plan)
        return;
    Owner.CanvasButtonPressed();
    LastMouse = At;
    if (Button == Qt::RightButton || Button == Qt::MiddleButton) {
        Panning = true;
        return;
    }
    if (Button != Qt::LeftButton)
        return;
    if (DrawMode) {
        AddPointAt(At);
        return;
    }
    SelectedPoint = PlanView.PickPoint(*plan, At.x(), At.y());
    DragCopy.reset();
    Dragging = SelectedPoint >= 0;
    if (Dragging)
        DragCopy = plan->Clone();
    update();
}

void TPlanCanvas::CanvasMouseMove(QPoint At)
{
    TFloorPlan* plan = Owner.CanvasPlan();
    if (!plan)
        return;
    if (Panning) {
        PlanView.Pan(At.x() - LastMouse.x(), At.y() - LastMouse.y());
        LastMouse = At;
        update();
        return;
    }
    if (Dragging && SelectedPoint >= 0) {
        TFloorPlanPoint point;
        if (PlanView.SnappedPlanPoint(At.x(), At.y(), point))
            plan->MovePoint(SelectedPoint, point);
        update();
    }
}

void TPlanCanvas::CanvasMouseUp(Qt::MouseButton Button)
{
    if (!Owner.CanvasPlan())
        return;
    if (Button == Qt::RightButton || Button == Qt::MiddleButton) {
        Panning = false;
    } else if (Button == Qt::LeftButton) {
        Dragging = false;
        if (DragCopy)
            Owner.CommitPlanEdit(std::move(DragCopy));
        DragCopy.reset();
    }
    Owner.CanvasButtonDone();
    update();
}

void TPlanCanvas::CanvasDblClick()
{
    TFloorPlan* plan = Owner.CanvasPlan();
    if (!plan)
        return;
    std::unique_ptr<TFloorPlan> copy = plan->Clone();
    plan->ClosePolygon();
    Owner.CommitPlanEdit(std::move(copy));
    update();
}

void TPlanCanvas::CancelPointDrag()
{
    Dragging = false;
    if (!DragCopy)
        return;
    std::unique_ptr<TFloorPlan> copy = std::move(DragCopy);
    if (TFloorPlan* plan = Owner.CanvasPlan(); plan && plan->Id() == copy->Id())
        plan->Assign(copy.get());
    update();
}
