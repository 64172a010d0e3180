// Drawing the four views at 1280 x 760 under Mesa's software renderer, for scenes of
// about 10,000, 100,000 and 1,000,000 triangles, against a floor: the same triangles
// drawn once per view from prepacked client-side arrays with glDrawArrays, and nothing
// else. Run under an X server: xvfb-run -a build/bench/quill_bench_draw
#include "base/uMesh.h"
#include "bench/uBenchGLTarget.h"
#include "render/uCamera.h"
#include "render/uMeshDraw.h"
#include "render/uMeshDrawCache.h"
#include "render/uSceneDraw.h"
#include "render/uViewport.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <GL/gl.h>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr int Width = 1280, Height = 760;

struct TBenchScene {
    std::vector<TMeshData> Meshes;
    std::vector<TVec3> Offsets;
    std::vector<TVec3> DisplayColors;
    int64_t Triangles = 0;
    // The floor's arrays: every triangle de-indexed, in world space.
    std::vector<float> Positions, Normals, Colors;
    // The shared-vertex floor: each vertex once, in world space, and three indices per
    // triangle, as the editor's drawing reads a mesh.
    std::vector<float> SharedPositions, SharedNormals, SharedColors;
    std::vector<uint32_t> SharedIndices;
};

// Spheres of about 10,000 triangles each in a square block around the origin.
TBenchScene MakeScene(int64_t Triangles)
{
    TBenchScene s;
    const int64_t count = std::max<int64_t>(1, Triangles / 10000);
    const int side = int(std::ceil(std::sqrt(double(count))));
    for (int64_t i = 0; i < count; ++i) {
        TMeshData m;
        m.BuildSphere(72, 70, 0.5f);  // 2 x 72 pole triangles + 69 bands x 72 quads
        for (size_t v = 0; v < m.Vertices.size(); ++v)
            m.Vertices[v].Color = Vec3(0.5f + 0.5f * float(v % 3) / 3.0f, 0.55f, 0.3f);
        for (const TMeshFace& f : m.Faces)
            s.Triangles += f.Count - 2;
        const float x = float(int(i % side)) - side * 0.5f, z = float(int(i / side)) - side * 0.5f;
        s.Offsets.push_back(Vec3(x * 1.2f, 0.5f, z * 1.2f));
        s.DisplayColors.push_back(Vec3(0.2f + 0.6f * float(i % 5) / 5.0f, 0.7f, 0.4f));
        s.Meshes.push_back(std::move(m));
    }
    for (size_t k = 0; k < s.Meshes.size(); ++k) {
        const TMeshData& m = s.Meshes[k];
        for (const TMeshFace& f : m.Faces)
            for (int c = 1; c + 1 < f.Count; ++c)
                for (int corner : {0, c, c + 1}) {
                    const TMeshVertex& v = m.Vertices[size_t(f.Indices[size_t(corner)])];
                    const TVec3 p = Vec3Add(v.Position, s.Offsets[k]);
                    s.Positions.insert(s.Positions.end(), {p.X, p.Y, p.Z});
                    s.Normals.insert(s.Normals.end(), {v.Normal.X, v.Normal.Y, v.Normal.Z});
                    s.Colors.insert(s.Colors.end(), {v.Color.X, v.Color.Y, v.Color.Z});
                }
        const uint32_t base = uint32_t(s.SharedPositions.size() / 3);
        for (const TMeshVertex& v : m.Vertices) {
            const TVec3 p = Vec3Add(v.Position, s.Offsets[k]);
            s.SharedPositions.insert(s.SharedPositions.end(), {p.X, p.Y, p.Z});
            s.SharedNormals.insert(s.SharedNormals.end(), {v.Normal.X, v.Normal.Y, v.Normal.Z});
            s.SharedColors.insert(s.SharedColors.end(), {v.Color.X, v.Color.Y, v.Color.Z});
        }
        for (const TMeshFace& f : m.Faces)
            for (int c = 1; c + 1 < f.Count; ++c)
                for (int corner : {0, c, c + 1})
                    s.SharedIndices.push_back(base + uint32_t(f.Indices[size_t(corner)]));
    }
    return s;
}

using TGLTarget = TBenchGLTarget;

// Made in main, after the application object, and freed before it.
TGLTarget* TheTarget = nullptr;
TGLTarget& Target()
{
    return *TheTarget;
}

void SetUpCamera(TCamera& Camera, TOrthoViews& Ortho, const TBenchScene& S)
{
    const float extent = float(std::sqrt(double(S.Meshes.size()))) * 1.2f + 1.0f;
    Camera.Position = Vec3Sub(Vec3(0, 0.5f, 0), Vec3Scale(Camera.CameraForward(), extent * 1.6f));
    Ortho.Zoom = float(Height / 2) / extent;
}

// The scene as the editor draws it: vertex arrays with the display mode's colours; the
// ground grid and world axes in Shaded.
void DrawBenchScene(const TBenchScene& scene, TMeshDrawCache& cache, int32_t Mode)
{
    if (Mode == dmWireframe)
        glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
    if (Mode == dmShaded) {
        DrawGridPoints(1000.0f, 0.25f);
        DrawWorldAxes();
    }
    for (size_t k = 0; k < scene.Meshes.size(); ++k) {
        glPushMatrix();
        glTranslatef(scene.Offsets[k].X, scene.Offsets[k].Y, scene.Offsets[k].Z);
        TMeshDrawOptions o;
        if (Mode == dmWireframe) {
            o.OverrideTexId = true;
            o.UniformColor = true;
            o.Color = scene.DisplayColors[k];
        }
        cache.DrawFaces(scene.Meshes[k], o);
        glPopMatrix();
    }
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
}

// The editor's paint of the four views: grid, labels, tripods and the scene through the
// vertex-array drawing with the display mode's colours (or, for comparison, through
// immediate drawing with the colours substituted in the mesh).
void BM_FourViews(benchmark::State& State, int32_t Mode, bool Immediate)
{
    Target();
    const TBenchScene scene = MakeScene(State.range(0));
    TCamera camera;
    TOrthoViews ortho;
    SetUpCamera(camera, ortho, scene);
    TViewport viewport(camera, ortho);
    TMeshDrawCache cache;
    viewport.GridSize = [] { return 0.25f; };
    viewport.DrawScene = [&](int) {
        if (!Immediate) {
            DrawBenchScene(scene, cache, Mode);
            return;
        }
        if (Mode == dmWireframe)
            glPolygonMode(GL_FRONT_AND_BACK, GL_LINE);
        for (size_t k = 0; k < scene.Meshes.size(); ++k) {
            glPushMatrix();
            glTranslatef(scene.Offsets[k].X, scene.Offsets[k].Y, scene.Offsets[k].Z);
            TMeshDrawOptions o;
            if (Mode == dmWireframe) {
                o.OverrideTexId = true;
                o.UniformColor = true;
                o.Color = scene.DisplayColors[k];
            }
            // One glBegin/glEnd fan per face, colours substituted in the mesh.
            TMeshData& m = const_cast<TMeshData&>(scene.Meshes[k]);
            std::vector<TVec3> saved;
            if (o.UniformColor)
                for (TMeshVertex& v : m.Vertices) {
                    saved.push_back(v.Color);
                    v.Color = o.Color;
                }
            DrawMeshFaces(m);
            for (size_t i = 0; i < saved.size(); ++i)
                m.Vertices[i].Color = saved[i];
            glPopMatrix();
        }
        glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    };
    for (auto _ : State) {
        cache.BeginPaint();
        viewport.PaintViewport(Width, Height, 1.0);
        glFinish();
    }
    State.counters["triangles"] = double(scene.Triangles);
    State.SetItemsProcessed(State.iterations() * scene.Triangles * 4);
}

// The floor: the same triangles, once per view, from prepacked arrays; de-indexed with
// glDrawArrays, or with shared vertices through glDrawElements.
void DrawFloor(const TBenchScene& scene, const TCamera& camera, const TOrthoViews& ortho,
               int32_t Mode, int Views, bool Shared = false)
{
    glViewport(0, 0, Width, Height);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glPolygonMode(GL_FRONT_AND_BACK, Mode == dmWireframe ? GL_LINE : GL_FILL);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, Shared ? scene.SharedPositions.data() : scene.Positions.data());
    glNormalPointer(GL_FLOAT, 0, Shared ? scene.SharedNormals.data() : scene.Normals.data());
    glColorPointer(3, GL_FLOAT, 0, Shared ? scene.SharedColors.data() : scene.Colors.data());
    for (int v = 0; v < Views; ++v) {
        const TViewRect r = ViewRectOf(v, Width, Height);
        glViewport(r.X, r.Y, r.W, r.H);
        TGLMatrix p, mv;
        ViewMatrices(v, r.W, r.H, camera, ortho, p, mv);
        glMatrixMode(GL_PROJECTION);
        glLoadMatrixd(p.data());
        glMatrixMode(GL_MODELVIEW);
        glLoadMatrixd(mv.data());
        if (Shared)
            glDrawElements(GL_TRIANGLES, GLsizei(scene.SharedIndices.size()), GL_UNSIGNED_INT,
                           scene.SharedIndices.data());
        else
            glDrawArrays(GL_TRIANGLES, 0, GLsizei(scene.Positions.size() / 3));
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    glPolygonMode(GL_FRONT_AND_BACK, GL_FILL);
    glFinish();
}

void BM_FloorArrays(benchmark::State& State, int32_t Mode, int Views)
{
    Target();
    const TBenchScene scene = MakeScene(State.range(0));
    TCamera camera;
    TOrthoViews ortho;
    SetUpCamera(camera, ortho, scene);
    for (auto _ : State)
        DrawFloor(scene, camera, ortho, Mode, Views);
    State.counters["triangles"] = double(scene.Triangles);
    State.SetItemsProcessed(State.iterations() * scene.Triangles * Views);
}

void Sizes(benchmark::internal::Benchmark* b)
{
    b->Arg(10000)
        ->Arg(100000)
        ->Arg(1000000)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->MinTime(1.0);
}

// The same meshes as scene objects, drawn by the scene renderer as the main window does.
std::unique_ptr<TScene> MakeSceneObjects(const TBenchScene& S)
{
    auto scene = std::make_unique<TScene>();
    for (size_t k = 0; k < S.Meshes.size(); ++k) {
        auto mesh = std::make_unique<TMeshData>(S.Meshes[k]);
        TSceneObject* o = scene->AddMeshObject("Sphere", std::move(mesh), nullptr);
        o->SetPosition(S.Offsets[k]);
        o->DisplayColor = S.DisplayColors[k];
    }
    return scene;
}

// The four views and their floor, frame by frame in turn, so that both see the same load
// on a shared machine; "ratio" is the four views' time over the floor's.
void BM_FourViewsAgainstFloor(benchmark::State& State, int32_t Mode)
{
    Target();
    const TBenchScene bench = MakeScene(State.range(0));
    std::unique_ptr<TScene> scene = MakeSceneObjects(bench);
    TCamera camera;
    TOrthoViews ortho;
    SetUpCamera(camera, ortho, bench);
    TViewport viewport(camera, ortho);
    TSceneRenderer renderer;
    TPropertyEvaluationContext context;
    context.FPS = 30.0f;
    viewport.GridSize = [] { return 0.25f; };
    viewport.DrawScene = [&](int) { renderer.Render(*scene, context); };
    renderer.Draw.DisplayMode = Mode;
    double views = 0, floor = 0, shared = 0;
    for (auto _ : State) {
        const auto t0 = std::chrono::steady_clock::now();
        renderer.BeginPaint();
        viewport.PaintViewport(Width, Height, 1.0);
        glFinish();
        const auto t1 = std::chrono::steady_clock::now();
        DrawFloor(bench, camera, ortho, Mode, 4);
        const auto t2 = std::chrono::steady_clock::now();
        DrawFloor(bench, camera, ortho, Mode, 4, true);
        const auto t3 = std::chrono::steady_clock::now();
        views += std::chrono::duration<double, std::milli>(t1 - t0).count();
        floor += std::chrono::duration<double, std::milli>(t2 - t1).count();
        shared += std::chrono::duration<double, std::milli>(t3 - t2).count();
    }
    const double n = double(State.iterations());
    State.counters["views_ms"] = views / n;
    State.counters["floor_ms"] = floor / n;
    State.counters["shared_floor_ms"] = shared / n;
    State.counters["ratio"] = floor > 0 ? views / floor : 0.0;
    State.counters["shared_ratio"] = shared > 0 ? views / shared : 0.0;
    State.counters["triangles"] = double(bench.Triangles);
}

BENCHMARK_CAPTURE(BM_FourViewsAgainstFloor, Wireframe, dmWireframe)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_FourViewsAgainstFloor, Shaded, dmShaded)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_FourViews, Wireframe, dmWireframe, false)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_FourViews, Wireframe_Immediate, dmWireframe, true)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_FloorArrays, Wireframe_FourViews, dmWireframe, 4)->Apply(Sizes);
BENCHMARK_CAPTURE(BM_FloorArrays, Wireframe_OneView, dmWireframe, 1)->Apply(Sizes);

}  // namespace

int main(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    auto target = std::make_unique<TGLTarget>(Width, Height);
    TheTarget = target.get();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    TheTarget = nullptr;
    target.reset();
    return 0;
}
