// Dragging one point of a 200-point floor plan in the builder window while a build is bound
// to the plan, in milliseconds per mouse move. The canvas repaints on every move; the
// generated slab and walls are rebuilt when the drag is released (one undoable edit). Three
// figures against a floor measured in the same run:
//   Floor_EmptyCanvas      a move over a canvas with no plan: the grid and background alone
//   Move_CanvasRedraw      one move of the dragged point and the canvas repaint
//   Move_RedrawAndUpdate   the same plus an update of the generated meshes at every move
//   DragRelease            press, one move and release: the commit with its rebuild
// Run under an X server: xvfb-run -a build-bench/bench/quill_bench_plan_drag
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "floorplan/uFloorPlanBuild.h"
#include "floorplan/uFloorPlanCommands.h"
#include "floorplan/uFloorPlanDocument.h"
#include "floorplan/ui/uFloorPlanWindow.h"
#include "scene/uScene.h"

#include <QApplication>
#include <QMouseEvent>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>

namespace {

constexpr int kPoints = 200;

TMainForm* TheForm = nullptr;

// A circle of 200 points, radius 6, counter-clockwise as a user draws it.
TFloorPlanPointArray Circle()
{
    TFloorPlanPointArray points;
    for (int i = 0; i < kPoints; ++i) {
        const double a = 2 * M_PI * i / kPoints;
        points.push_back(MakeFloorPlanPoint(float(6 * std::cos(a)), float(6 * std::sin(a))));
    }
    points.push_back(points.front());
    return points;
}

struct TDragSetup {
    TFloorPlanForm* Window = nullptr;
    TPlanCanvas* Canvas = nullptr;
    uint32_t RootId = 0;
    QPoint Start, Ends[2];
};

// A fresh project with the plan built and the builder open in select mode.
TDragSetup Prepare(bool WithPlan)
{
    TMainForm& form = *TheForm;
    form.ToolWindows().CloseAll();
    form.Document().Clear();
    TDragSetup s;
    if (WithPlan) {
        TFloorPlan* plan = form.Document().GetFloorPlans().AddPlan("Round");
        plan->SetPoints(Circle());
        form.Document().GetHistory().Execute(TBuildFloorPlanCommand::CreateForPlan(
            form.Document().FloorPlanTarget(), plan->Id(), 0));
        s.RootId = form.Document().GetFloorPlans().FindBindingForPlan(plan->Id())->RootNodeId;
    }
    s.Window = ShowFloorPlanWindow(form, 0);
    s.Window->PointButtonClick(2);
    s.Canvas = &s.Window->Canvas();
    s.Canvas->View().GridStep = 0.01f;
    QApplication::processEvents();
    const TPlanView& v = s.Canvas->View();
    const TPlanPixel p = v.PlanToScreen(6, 0);
    s.Start = QPoint(p.X, p.Y);
    // Out and back by a few pixels, so the outline stays valid.
    s.Ends[0] = s.Start + QPoint(6, 0);
    s.Ends[1] = s.Start + QPoint(3, 0);
    return s;
}

void Send(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons held)
{
    QMouseEvent e(type, QPointF(at), w->mapToGlobal(QPointF(at)), button, held, {});
    QApplication::sendEvent(w, &e);
}

void Press(const TDragSetup& s)
{
    Send(s.Canvas, QEvent::MouseButtonPress, s.Start, Qt::LeftButton, Qt::LeftButton);
}

void Release(const TDragSetup& s, QPoint at)
{
    Send(s.Canvas, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
}

// One mouse move of the drag and the repaint it asks for.
void MoveAndRepaint(const TDragSetup& s, int64_t i)
{
    Send(s.Canvas, QEvent::MouseMove, s.Ends[i & 1], Qt::NoButton, Qt::LeftButton);
    s.Canvas->repaint();
}

void UpdateMeshes(const TDragSetup& s)
{
    std::string message;
    if (!UpdateGeneratedFloor(TheForm->Document().FloorPlanTarget(), s.RootId, message))
        std::fprintf(stderr, "update failed: %s\n", message.c_str());
}

void BM_PlanDrag(benchmark::State& State, int Mode)
{
    const TDragSetup s = Prepare(Mode != 0);
    Press(s);
    int64_t i = 0;
    for (auto _ : State) {
        MoveAndRepaint(s, i++);
        if (Mode == 2)
            UpdateMeshes(s);
    }
    Release(s, s.Ends[(i + 1) & 1]);
    State.SetItemsProcessed(State.iterations());
}

void BM_DragRelease(benchmark::State& State)
{
    const TDragSetup s = Prepare(true);
    int64_t i = 0;
    for (auto _ : State) {
        Press(s);
        MoveAndRepaint(s, i);
        Release(s, s.Ends[i & 1]);
        ++i;
        // Every release is an undoable edit; keep the history from growing without end.
        State.PauseTiming();
        if (i % 100 == 0)
            TheForm->Document().GetHistory().Clear();
        State.ResumeTiming();
    }
}

BENCHMARK_CAPTURE(BM_PlanDrag, Floor_EmptyCanvas, 0)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlanDrag, Move_CanvasRedraw, 1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PlanDrag, Move_RedrawAndUpdate, 2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DragRelease)->Unit(benchmark::kMillisecond);

// The first moves of a fresh window, before caches and buffers are warm.
void ReportColdMoves()
{
    const TDragSetup s = Prepare(true);
    Press(s);
    for (int i = 0; i < 3; ++i) {
        const auto t0 = std::chrono::steady_clock::now();
        MoveAndRepaint(s, i);
        UpdateMeshes(s);
        const double ms =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0)
                .count();
        std::printf("cold move %d (redraw and mesh update): %.3f ms\n", i + 1, ms);
    }
    Release(s, s.Ends[0]);
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    auto form = std::make_unique<TMainForm>();
    InstallSubsystemWindows(*form);
    form->FrameTimer()->stop();  // no autosave and no view redraws while measuring
    form->show();
    TheForm = form.get();
    ReportColdMoves();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheForm = nullptr;
    form.reset();
    return 0;
}
