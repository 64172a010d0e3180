// A one-second brush stroke on a 512 x 512 terrain in the terrain window, driven through the
// real widgets: press, 100 mouse moves 10 ms apart on the real clock (the event loop runs
// between them, so the throttled mesh pushes redraw the views as they would for a user),
// release. Measured, in milliseconds, from the release until the event loop is idle, no
// repaint is pending and the GL work of the last paint is finished:
//   release handler   the release event itself (the last push of the painted cells)
//   after release     the release handler plus everything left to do until idle
//   after letting go  the same from the moment the hand lets go, 10 ms after the last move:
//                     it includes a redraw still under way then, which delays the release
// beside two floors measured in the same run:
//   plain redraw      one redraw of the four views with nothing changed, to idle
//   mesh redraw       one redraw after the terrain's mesh was marked changed, to idle
//   without terrain   one redraw with the terrain hidden: the views' own cost
// The views show the default display, Wireframe; "--shaded" runs it in Shaded (filled faces).
// Each figure is the median of several strokes. Run under an X server, pinned to two cores:
//   LIBGL_ALWAYS_SOFTWARE=1 taskset -c 0,1 xvfb-run -a build-bench/bench/quill_bench_terrain_stroke
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "render/uGLView.h"
#include "render/uSceneDraw.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "terrain/uHeightmap.h"
#include "terrain/ui/uTerrainPreview.h"
#include "terrain/ui/uTerrainWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int kResolution = 512;
constexpr int kMoves = 100;
constexpr int kMoveIntervalMs = 10;
constexpr int kRuns = 7;

using TClock = std::chrono::steady_clock;

double MillisecondsSince(TClock::time_point t0)
{
    return std::chrono::duration<double, std::milli>(TClock::now() - t0).count();
}

// Counts the paints and update requests the event loop delivers to any widget.
class TPaintCounter : public QObject {
public:
    int Count = 0;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override
    {
        if (Event->type() == QEvent::Paint || Event->type() == QEvent::UpdateRequest ||
            Event->type() == QEvent::UpdateLater)
            ++Count;
        return QObject::eventFilter(Watched, Event);
    }
};

TPaintCounter* Counter = nullptr;

// Runs the event loop until a pass delivers no paint and nothing is posted, then waits for
// the GL work of the main view.
void RunUntilIdle(TMainForm& Form)
{
    int quiet = 0;
    while (quiet < 3) {
        const int before = Counter->Count;
        QCoreApplication::sendPostedEvents();
        QApplication::processEvents(QEventLoop::AllEvents);
        quiet = Counter->Count == before ? quiet + 1 : 0;
    }
    if (TGLView* view = Form.GLView()) {
        view->makeCurrent();
        view->context()->functions()->glFinish();
        view->doneCurrent();
    }
}

void Send(QWidget* W, QEvent::Type Type, QPoint At, Qt::MouseButton Button, Qt::MouseButtons Held)
{
    QMouseEvent e(Type, QPointF(At), W->mapToGlobal(QPointF(At)), Button, Held, {});
    QApplication::sendEvent(W, &e);
}

// Runs the event loop until the given time.
void WaitUntil(TClock::time_point When)
{
    while (TClock::now() < When) {
        const int left = int(
            std::chrono::duration_cast<std::chrono::milliseconds>(When - TClock::now()).count());
        QApplication::processEvents(QEventLoop::AllEvents, std::max(1, left));
    }
}

struct TStrokeTimes {
    double Release = 0, AfterRelease = 0, AfterLetGo = 0, Stroke = 0;
};

// A stroke of kMoves moves across the map: a wide arc, as a hand paints.
TStrokeTimes Stroke(TMainForm& Form, TTerrainForm& Window, int Run)
{
    TTerrainPreview* preview = Window.Preview();
    std::vector<QPoint> points;
    for (int i = 0; i <= kMoves; ++i) {
        const double t = double(i) / kMoves;
        const double a = M_PI * (0.15 + 0.7 * t) + 0.3 * Run;
        const int x = int(kResolution / 2 + 0.35 * kResolution * std::cos(a));
        const int y = int(kResolution / 2 + 0.35 * kResolution * std::sin(a));
        points.push_back(preview->CellToPoint(TGridCell{x, y}));
    }
    RunUntilIdle(Form);
    TStrokeTimes times;
    const TClock::time_point start = TClock::now();
    Send(preview, QEvent::MouseButtonPress, points[0], Qt::LeftButton, Qt::LeftButton);
    for (int i = 1; i <= kMoves; ++i) {
        WaitUntil(start + std::chrono::milliseconds(i * kMoveIntervalMs));
        Send(preview, QEvent::MouseMove, points[i], Qt::NoButton, Qt::LeftButton);
    }
    // The hand lets go here; a redraw under way then delays the release event.
    const TClock::time_point letGo =
        start + std::chrono::milliseconds((kMoves + 1) * kMoveIntervalMs);
    WaitUntil(letGo);
    times.Stroke = MillisecondsSince(start);
    const TClock::time_point released = TClock::now();
    Send(preview, QEvent::MouseButtonRelease, points.back(), Qt::LeftButton, Qt::NoButton);
    times.Release = MillisecondsSince(released);
    RunUntilIdle(Form);
    times.AfterRelease = MillisecondsSince(released);
    times.AfterLetGo = MillisecondsSince(letGo);
    return times;
}

double PlainRedraw(TMainForm& Form)
{
    RunUntilIdle(Form);
    const TClock::time_point t0 = TClock::now();
    Form.GLView()->update();
    RunUntilIdle(Form);
    return MillisecondsSince(t0);
}

double MeshRedraw(TMainForm& Form, TSceneObject& Terrain)
{
    RunUntilIdle(Form);
    const TClock::time_point t0 = TClock::now();
    Terrain.MarkMeshDirty();
    Form.GLView()->update();
    RunUntilIdle(Form);
    return MillisecondsSince(t0);
}

double RedrawWithoutTerrain(TMainForm& Form, TSceneObject& Terrain)
{
    Terrain.SetVisible(false);
    const double ms = PlainRedraw(Form);
    Terrain.SetVisible(true);
    Form.GLView()->update();
    RunUntilIdle(Form);
    return ms;
}

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    TPaintCounter counter;
    Counter = &counter;
    app.installEventFilter(&counter);
    auto form = std::make_unique<TMainForm>();
    InstallSubsystemWindows(*form);
    form->FrameTimer()->stop();  // no autosave while measuring
    const bool shaded = argc > 1 && std::strcmp(argv[1], "--shaded") == 0;
    if (shaded)
        form->ViewMenuClick(dmShaded);
    form->resize(1280, 900);
    form->show();
    RunUntilIdle(*form);

    form->CreateMenuClick(ptTerrain);  // opens the terrain window on the new terrain
    TSceneObject* terrain = form->Scene().GetSelectedObject();
    auto* window = dynamic_cast<TTerrainForm*>(form->ToolWindows().Find(TTerrainForm::WindowKind));
    if (!terrain || !window) {
        std::fprintf(stderr, "no terrain window\n");
        return 1;
    }
    window->GridResolutionClick(5);  // 512 x 512
    window->show();
    RunUntilIdle(*form);
    std::printf("%s views; terrain %d x %d, %zu vertices; stroke of %d moves %d ms apart\n",
                shaded ? "Shaded" : "Wireframe", terrain->GetHeightmap()->GetResolution(),
                terrain->GetHeightmap()->GetResolution(), terrain->GetBaseMesh()->Vertices.size(),
                kMoves, kMoveIntervalMs);

    std::vector<double> bare, plain, meshRedraw, release, after, afterLetGo, stroke;
    for (int run = 0; run < kRuns; ++run) {
        bare.push_back(RedrawWithoutTerrain(*form, *terrain));
        plain.push_back(PlainRedraw(*form));
        meshRedraw.push_back(MeshRedraw(*form, *terrain));
        const TStrokeTimes t = Stroke(*form, *window, run);
        release.push_back(t.Release);
        after.push_back(t.AfterRelease);
        afterLetGo.push_back(t.AfterLetGo);
        stroke.push_back(t.Stroke);
        std::printf("run %d: stroke %.1f ms, release handler %.2f ms, after release %.1f ms "
                    "(%.1f ms after letting go), plain redraw %.1f ms, mesh redraw %.1f ms\n",
                    run + 1, t.Stroke, t.Release, t.AfterRelease, t.AfterLetGo, plain.back(),
                    meshRedraw.back());
    }
    const double floor = Median(plain);
    std::printf("median of %d: after release %.1f ms, after letting go %.1f ms (release handler "
                "%.2f ms, stroke %.1f ms)\n",
                kRuns, Median(after), Median(afterLetGo), Median(release), Median(stroke));
    std::printf("redraw without the terrain %.1f ms\n", Median(bare));
    std::printf("floors: plain redraw %.1f ms, mesh redraw %.1f ms; after release / plain redraw "
                "= %.2f, after release / mesh redraw = %.2f\n",
                floor, Median(meshRedraw), Median(after) / floor,
                Median(after) / Median(meshRedraw));
    app.removeEventFilter(&counter);
    Counter = nullptr;
    form.reset();
    return 0;
}
