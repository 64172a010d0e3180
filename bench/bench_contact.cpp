// Contact lighting: a whole build (hemisphere rays and shadow rays) over N default spheres
// on a plane at the default settings, then the very same rays cast on their own through the
// cache and, when Embree is at hand, through Embree over the same triangles on one thread.
#include "base/uMesh.h"
#include "scene/uContactLighting.h"
#include "scene/uSceneStatistics.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#ifdef QUILL_HAVE_EMBREE
#include <embree3/rtcore.h>
#endif

namespace {

// N default spheres in a square grid 1.5 apart, resting on a plane that spans them.
struct TSphereScene {
    TMeshData Sphere;
    TMeshData Floor;
    std::vector<TContactMeshInput> Inputs;

    explicit TSphereScene(int N)
    {
        Sphere.BuildSphere();
        Floor.BuildPlane();
        const int side = static_cast<int>(std::ceil(std::sqrt(static_cast<double>(N))));
        const float span = side * 1.5f + 2;
        TContactMeshInput floor;
        floor.Mesh = &Floor;
        MatCompose({side * 0.75f, 0, side * 0.75f}, {0, 0, 0}, {span * 2, 1, span * 2},
                   floor.World);
        floor.Color = {0.6f, 0.6f, 0.6f};
        Inputs.push_back(floor);
        for (int i = 0; i < N; ++i) {
            TContactMeshInput in;
            in.Mesh = &Sphere;
            MatCompose({(i % side) * 1.5f, 0.5f, (i / side) * 1.5f}, {0, 0, 0}, {1, 1, 1},
                       in.World);
            in.Color = {0.7f, 0.7f, 0.75f};
            Inputs.push_back(in);
        }
    }
};

TContactLightingSettings Settings()
{
    TContactLightingSettings s;
    DefaultContactLightingSettings(s);
    return s;
}

TContactLightRig Rig()
{
    TContactLightRig r;
    DefaultContactLightRig(r);
    return r;
}

struct TRay {
    TVec3 Origin, Dir;
    float MaxDist;
    bool Shadow;
};

// The rays a build and the default rig cast: RayCount per probe over the hemisphere, and
// one towards the key light where the surface faces it.
std::vector<TRay> RaysOf(const TContactLightingCache& Cache)
{
    const TContactLightingSettings& s = Cache.GetSettings();
    const TVec3 key = Vec3Normalize(Rig().KeyDirection);
    std::vector<TRay> rays;
    for (const TContactMeshResult& e : Cache.GetEntries())
        for (const TContactProbe& p : e.Probes) {
            if (Vec3Length(p.Normal) < 0.001f)
                continue;
            TVec3 origin = Vec3Add(p.Position, Vec3Scale(p.Normal, 0.012f));
            const TVec3 shadowOrigin = origin;
            if (s.GroundPlane && p.Position.Y >= s.GroundHeight - 0.02f &&
                origin.Y < s.GroundHeight + 0.001f)
                origin.Y = s.GroundHeight + 0.001f;
            for (int i = 0; i < std::clamp(s.RayCount, 4, 12); ++i)
                rays.push_back({origin,
                                HemisphereDirection(ContactHemisphereDirections[i], p.Normal),
                                s.Radius, false});
            if (Vec3Dot(p.Normal, key) > 0)
                rays.push_back({shadowOrigin, key, 8 * s.Radius, true});
        }
    return rays;
}

void BM_ContactBuildAndLight(benchmark::State& state)
{
    const TSphereScene scene(static_cast<int>(state.range(0)));
    TContactLightingCache cache;
    int64_t rays = 0;
    for (auto _ : state) {
        cache.Invalidate();
        const int64_t before = cache.GetRaysCast();
        cache.Build(scene.Inputs, Settings());
        cache.ApplyLightRig(Rig());
        rays += cache.GetRaysCast() - before;
    }
    state.counters["triangles"] = static_cast<double>(cache.GetTriangles().size());
    state.counters["rays"] = static_cast<double>(rays) / static_cast<double>(state.iterations());
    state.counters["rays_per_s"] =
        benchmark::Counter(static_cast<double>(rays), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_ContactBuildAndLight)->Arg(10)->Arg(100)->Unit(benchmark::kSecond)->MinTime(1.0);
BENCHMARK(BM_ContactBuildAndLight)->Arg(1000)->Unit(benchmark::kSecond)->Iterations(1);

void BM_ContactRays(benchmark::State& state)
{
    const TSphereScene scene(static_cast<int>(state.range(0)));
    TContactLightingCache cache;
    cache.Build(scene.Inputs, Settings());
    const std::vector<TRay> rays = RaysOf(cache);
    int64_t hits = 0;
    for (auto _ : state) {
        for (const TRay& r : rays) {
            if (r.Shadow) {
                hits += cache.IsOccluded(r.Origin, r.Dir, r.MaxDist);
            } else {
                TVec3 color;
                float distance;
                hits += cache.CastRay(r.Origin, r.Dir, r.MaxDist, color, distance);
            }
        }
    }
    benchmark::DoNotOptimize(hits);
    state.counters["rays_per_s"] = benchmark::Counter(static_cast<double>(rays.size()) *
                                                          static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
    state.counters["hit_share"] =
        static_cast<double>(hits) /
        (static_cast<double>(rays.size()) * static_cast<double>(state.iterations()));
}
BENCHMARK(BM_ContactRays)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kSecond)->MinTime(1.0);

#ifdef QUILL_HAVE_EMBREE
// The cache's triangles in an Embree scene on a one-thread device. The infinite ground
// plane is not a triangle and is left out here; the cache tests it in a few operations.
class TEmbreeScene {
public:
    explicit TEmbreeScene(const std::vector<TContactTriangle>& Triangles)
    {
        Device = rtcNewDevice("threads=1");
        Scene = rtcNewScene(Device);
        RTCGeometry geometry = rtcNewGeometry(Device, RTC_GEOMETRY_TYPE_TRIANGLE);
        auto* vertices = static_cast<float*>(
            rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_VERTEX, 0, RTC_FORMAT_FLOAT3,
                                    3 * sizeof(float), 3 * Triangles.size()));
        auto* indices = static_cast<unsigned*>(
            rtcSetNewGeometryBuffer(geometry, RTC_BUFFER_TYPE_INDEX, 0, RTC_FORMAT_UINT3,
                                    3 * sizeof(unsigned), Triangles.size()));
        for (size_t t = 0; t < Triangles.size(); ++t) {
            const TVec3 corners[3] = {Triangles[t].V0, Triangles[t].V1, Triangles[t].V2};
            for (int c = 0; c < 3; ++c) {
                vertices[9 * t + 3 * c + 0] = corners[c].X;
                vertices[9 * t + 3 * c + 1] = corners[c].Y;
                vertices[9 * t + 3 * c + 2] = corners[c].Z;
                indices[3 * t + c] = static_cast<unsigned>(3 * t + c);
            }
        }
        rtcCommitGeometry(geometry);
        rtcAttachGeometry(Scene, geometry);
        rtcReleaseGeometry(geometry);
        rtcCommitScene(Scene);
    }
    ~TEmbreeScene()
    {
        rtcReleaseScene(Scene);
        rtcReleaseDevice(Device);
    }
    TEmbreeScene(const TEmbreeScene&) = delete;
    TEmbreeScene& operator=(const TEmbreeScene&) = delete;

    bool Occluded(const TRay& r) const
    {
        RTCIntersectContext context;
        rtcInitIntersectContext(&context);
        RTCRay ray{};
        SetRay(ray, r);
        rtcOccluded1(Scene, &context, &ray);
        return ray.tfar < 0;
    }
    bool Nearest(const TRay& r, float& Distance) const
    {
        RTCIntersectContext context;
        rtcInitIntersectContext(&context);
        RTCRayHit hit{};
        SetRay(hit.ray, r);
        hit.hit.geomID = RTC_INVALID_GEOMETRY_ID;
        rtcIntersect1(Scene, &context, &hit);
        Distance = hit.ray.tfar;
        return hit.hit.geomID != RTC_INVALID_GEOMETRY_ID;
    }

private:
    static void SetRay(RTCRay& ray, const TRay& r)
    {
        ray.org_x = r.Origin.X;
        ray.org_y = r.Origin.Y;
        ray.org_z = r.Origin.Z;
        ray.dir_x = r.Dir.X;
        ray.dir_y = r.Dir.Y;
        ray.dir_z = r.Dir.Z;
        ray.tnear = 0.0005f;
        ray.tfar = r.MaxDist;
        ray.mask = 0xFFFFFFFFu;
        ray.flags = 0;
    }

    RTCDevice Device;
    RTCScene Scene;
};

void BM_EmbreeOccluded(benchmark::State& state)
{
    const TSphereScene scene(static_cast<int>(state.range(0)));
    TContactLightingCache cache;
    cache.Build(scene.Inputs, Settings());
    const std::vector<TRay> rays = RaysOf(cache);
    const TEmbreeScene embree(cache.GetTriangles());
    int64_t hits = 0;
    for (auto _ : state)
        for (const TRay& r : rays)
            hits += embree.Occluded(r);
    benchmark::DoNotOptimize(hits);
    state.counters["rays_per_s"] = benchmark::Counter(static_cast<double>(rays.size()) *
                                                          static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmbreeOccluded)->Arg(10)->Arg(100)->Arg(1000)->Unit(benchmark::kSecond)->MinTime(1.0);

// Nearest hits for the hemisphere rays, as the cache casts them, and any hit for the
// shadow rays.
void BM_EmbreeNearestAndOccluded(benchmark::State& state)
{
    const TSphereScene scene(static_cast<int>(state.range(0)));
    TContactLightingCache cache;
    cache.Build(scene.Inputs, Settings());
    const std::vector<TRay> rays = RaysOf(cache);
    const TEmbreeScene embree(cache.GetTriangles());
    int64_t hits = 0;
    for (auto _ : state)
        for (const TRay& r : rays) {
            float distance;
            hits += r.Shadow ? embree.Occluded(r) : embree.Nearest(r, distance);
        }
    benchmark::DoNotOptimize(hits);
    state.counters["rays_per_s"] = benchmark::Counter(static_cast<double>(rays.size()) *
                                                          static_cast<double>(state.iterations()),
                                                      benchmark::Counter::kIsRate);
}
BENCHMARK(BM_EmbreeNearestAndOccluded)
    ->Arg(10)
    ->Arg(100)
    ->Arg(1000)
    ->Unit(benchmark::kSecond)
    ->MinTime(1.0);
#endif

}  // namespace
