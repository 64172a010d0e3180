// One cinematic frame of a scene of about 100,000 triangles at 1280 x 760 under Mesa's
// software renderer, beside the plain Solid frame of the same scene from the same camera,
// frame by frame in turn so both see the same load; "ratio" is cinematic over Solid. The
// contact lighting both modes draw with is built once before timing. The first frame of
// each (cold: fresh buffers, first texture uploads) is reported apart from the rest.
// Run under an X server: xvfb-run -a build/bench/quill_bench_cinematic
#include "base/uMesh.h"
#include "bench/uBenchGLTarget.h"
#include "render/uCinematicRender.h"
#include "render/uSceneDraw.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFramebufferObject>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <memory>

namespace {

constexpr int Width = 1280, Height = 760;

using TGLTarget = TBenchGLTarget;
TGLTarget* TheTarget = nullptr;

// Spheres of about 10,000 triangles each on a square block, lit by an environment.
std::unique_ptr<TScene> MakeScene(int64_t Triangles, TCinematicEnvironment& Env, int64_t& Made)
{
    auto scene = std::make_unique<TScene>();
    scene->Environment = &Env;
    const int64_t count = std::max<int64_t>(1, Triangles / 10000);
    const int side = int(std::ceil(std::sqrt(double(count))));
    Made = 0;
    for (int64_t i = 0; i < count; ++i) {
        auto m = std::make_unique<TMeshData>();
        m->BuildSphere(72, 70, 0.5f);
        for (size_t v = 0; v < m->Vertices.size(); ++v)
            m->Vertices[v].Color = Vec3(0.5f + 0.5f * float(v % 3) / 3.0f, 0.55f, 0.3f);
        for (const TMeshFace& f : m->Faces)
            Made += f.Count - 2;
        const float x = float(int(i % side)) - side * 0.5f, z = float(int(i / side)) - side * 0.5f;
        TSceneObject* o = scene->AddMeshObject("Sphere", std::move(m), nullptr);
        o->SetPosition(Vec3(x * 1.2f, 0.5f, z * 1.2f));
        o->DisplayColor = Vec3(0.2f + 0.6f * float(i % 5) / 5.0f, 0.7f, 0.4f);
    }
    return scene;
}

void SolidFrame(TSceneRenderer& Renderer, TScene& Scene, const TCinematicCamera& Camera)
{
    glViewport(0, 0, Width, Height);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(60.0, double(Width) / Height, 0.1, 1000.0);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    const TVec3 e = Camera.Position;
    const TVec3 at = Vec3Add(e, CinematicForwardVector(Camera.Yaw, Camera.Pitch));
    gluLookAt(e.X, e.Y, e.Z, at.X, at.Y, at.Z, 0, 1, 0);
    Renderer.BeginPaint();
    Renderer.Render(Scene, TPropertyEvaluationContext{});
}

enum : int {
    efVignette = 1,
    efAberration = 2,
    efFog = 4,
    efRim = 8,
    efTint = 16,
    efExposure = 32,
    efAll = 63
};

// Effects: the switches on top of the default environment (sky, sun, moon at noon).
void BM_CinematicAgainstSolid(benchmark::State& State, int Effects)
{
    TCinematicEnvironment env;
    env.VignetteOn = Effects & efVignette;
    env.AberrationOn = Effects & efAberration;
    env.FogOn = Effects & efFog;
    env.RimLightOn = Effects & efRim;
    env.CelestialTintOn = Effects & efTint;
    if (Effects & efExposure)
        env.SetExposure(0.3f);
    if (Effects)
        env.SetTimeOfDay(9);
    int64_t triangles = 0;
    std::unique_ptr<TScene> scene = MakeScene(State.range(0), env, triangles);
    TSceneRenderer solid;
    solid.Draw.DisplayMode = dmSolid;
    TCinematicRenderer cinematic;
    const int side = int(std::ceil(std::sqrt(double(State.range(0) / 10000))));
    cinematic.Camera =
        TCinematicCamera{Vec3(0, float(side) * 0.8f + 1.0f, float(side) * 1.6f + 2.0f), 0, -25};
    // Both modes draw with the contact lighting; it is built once, untimed.
    scene->RefreshContactLighting();

    using clock = std::chrono::steady_clock;
    const auto ms = [](clock::duration d) {
        return std::chrono::duration<double, std::milli>(d).count();
    };
    double coldCinematic = 0, coldSolid = 0, warmCinematic = 0, warmSolid = 0;
    int64_t warm = 0;
    bool first = true;
    for (auto _ : State) {
        const auto t0 = clock::now();
        cinematic.RenderFrame(*scene, &env, TPropertyEvaluationContext{}, Width, Height);
        glFinish();
        const auto t1 = clock::now();
        SolidFrame(solid, *scene, cinematic.Camera);
        glFinish();
        const auto t2 = clock::now();
        if (first) {
            coldCinematic = ms(t1 - t0);
            coldSolid = ms(t2 - t1);
            first = false;
        } else {
            warmCinematic += ms(t1 - t0);
            warmSolid += ms(t2 - t1);
            ++warm;
        }
    }
    cinematic.ReleaseGLObjects();
    const double n = double(std::max<int64_t>(warm, 1));
    State.counters["cinematic_ms"] = warmCinematic / n;
    State.counters["solid_ms"] = warmSolid / n;
    State.counters["ratio"] = warmSolid > 0 ? warmCinematic / warmSolid : 0.0;
    State.counters["cold_cinematic_ms"] = coldCinematic;
    State.counters["cold_solid_ms"] = coldSolid;
    State.counters["triangles"] = double(triangles);
}

void Setup(benchmark::internal::Benchmark* b)
{
    b->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
}
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Default, 0)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, EveryEffect, efAll)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Vignette, efVignette)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Aberration, efAberration)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Fog, efFog)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Rim, efRim)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Tint, efTint)->Apply(Setup);
BENCHMARK_CAPTURE(BM_CinematicAgainstSolid, Exposure, efExposure)->Apply(Setup);

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
