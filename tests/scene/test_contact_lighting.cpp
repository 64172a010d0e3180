#include "scene/uContactLighting.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <map>
#include <memory>
#include <string>

#include "base/uMesh.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uSceneStatistics.h"

namespace {

// ---- A slow, literal contact lighting: string-keyed cells in a sorted map, every ray
// searching the whole cube of cells around its origin. The cache must agree with it.
class TLiteralContactLighting {
public:
    struct TEntry {
        std::vector<TContactProbe> Probes;
        std::vector<TContactLightingResult> Results;
    };

    void Build(const std::vector<TContactMeshInput>& Inputs, const TContactLightingSettings& S)
    {
        Settings = S;
        CellSize = Settings.Radius;
        if (CellSize < 0.05f)
            CellSize = 0.05f;
        for (const TContactMeshInput& in : Inputs) {
            if (in.Mesh == nullptr || !in.Occludes)
                continue;
            const int32_t n = static_cast<int32_t>(in.Mesh->Vertices.size());
            for (const TMeshFace& f : in.Mesh->Faces)
                for (int32_t j = 1; j <= f.Count - 2; ++j) {
                    const int32_t i0 = f.Indices[0], i1 = f.Indices[j], i2 = f.Indices[j + 1];
                    if (i0 < 0 || i0 >= n || i1 < 0 || i1 >= n || i2 < 0 || i2 >= n)
                        continue;
                    const TVec3 p0 = MatTransformPoint(in.Mesh->Vertices[i0].Position, in.World);
                    const TVec3 p1 = MatTransformPoint(in.Mesh->Vertices[i1].Position, in.World);
                    const TVec3 p2 = MatTransformPoint(in.Mesh->Vertices[i2].Position, in.World);
                    if (Vec3Length(Vec3Normalize(Vec3Cross(Vec3Sub(p1, p0), Vec3Sub(p2, p0)))) <
                        0.001f)
                        continue;
                    Triangles.push_back({p0, p1, p2, in.Color});
                }
        }
        Stamps.assign(Triangles.size(), 0);
        for (size_t t = 0; t < Triangles.size(); ++t) {
            const TContactTriangle& tr = Triangles[t];
            const TVec3 mn{std::min({tr.V0.X, tr.V1.X, tr.V2.X}),
                           std::min({tr.V0.Y, tr.V1.Y, tr.V2.Y}),
                           std::min({tr.V0.Z, tr.V1.Z, tr.V2.Z})};
            const TVec3 mx{std::max({tr.V0.X, tr.V1.X, tr.V2.X}),
                           std::max({tr.V0.Y, tr.V1.Y, tr.V2.Y}),
                           std::max({tr.V0.Z, tr.V1.Z, tr.V2.Z})};
            for (int64_t x = CellIndex(mn.X); x <= CellIndex(mx.X); ++x)
                for (int64_t y = CellIndex(mn.Y); y <= CellIndex(mx.Y); ++y)
                    for (int64_t z = CellIndex(mn.Z); z <= CellIndex(mx.Z); ++z)
                        Cells[Key(x, y, z)].push_back(static_cast<int32_t>(t));
        }
        for (const TContactMeshInput& in : Inputs) {
            if (!in.Receives || in.Mesh == nullptr)
                continue;
            TEntry e;
            for (const TMeshVertex& v : in.Mesh->Vertices) {
                const TVec3 normal = MatTransformNormal(v.Normal, in.World);
                e.Probes.push_back(ComputeProbe(MatTransformPoint(v.Position, in.World), normal));
                e.Results.push_back({1.0f, {1, 1, 1}});
            }
            Entries.push_back(std::move(e));
        }
    }

    void ApplyLightRig(const TContactLightRig& Rig)
    {
        for (TEntry& e : Entries)
            ShadeEntry(e, Rig);
    }

    std::vector<TEntry> Entries;
    int64_t Rays = 0;

private:
    int64_t CellIndex(float c) const { return static_cast<int64_t>(std::floor(c / CellSize)); }
    static std::string Key(int64_t x, int64_t y, int64_t z)
    {
        return std::to_string(x) + ":" + std::to_string(y) + ":" + std::to_string(z);
    }

    static bool IntersectTriangle(const TVec3& O, const TVec3& D, const TContactTriangle& tr,
                                  float& t)
    {
        const TVec3 e1 = Vec3Sub(tr.V1, tr.V0), e2 = Vec3Sub(tr.V2, tr.V0);
        const TVec3 p = Vec3Cross(D, e2);
        const float det = Vec3Dot(e1, p);
        if (std::fabs(det) < 1e-7f)
            return false;
        const float inv = 1 / det;
        const TVec3 s = Vec3Sub(O, tr.V0);
        const float u = Vec3Dot(s, p) * inv;
        if (u < 0 || u > 1)
            return false;
        const TVec3 q = Vec3Cross(s, e1);
        const float v = Vec3Dot(D, q) * inv;
        if (v < 0 || u + v > 1)
            return false;
        t = Vec3Dot(e2, q) * inv;
        return t > 0.0005f;
    }

    bool CastRay(const TVec3& O, const TVec3& D, float MaxDist, TVec3& HitColor, float& HitDist)
    {
        ++Rays;
        HitColor = {0, 0, 0};
        HitDist = MaxDist;
        float best = MaxDist;
        bool hit = false;
        ++RayStamp;
        for (int64_t x = CellIndex(O.X - MaxDist); x <= CellIndex(O.X + MaxDist); ++x)
            for (int64_t y = CellIndex(O.Y - MaxDist); y <= CellIndex(O.Y + MaxDist); ++y)
                for (int64_t z = CellIndex(O.Z - MaxDist); z <= CellIndex(O.Z + MaxDist); ++z) {
                    const auto cell = Cells.find(Key(x, y, z));
                    if (cell == Cells.end())
                        continue;
                    for (int32_t t : cell->second) {
                        if (Stamps[t] == RayStamp)
                            continue;
                        Stamps[t] = RayStamp;
                        float d;
                        if (IntersectTriangle(O, D, Triangles[t], d) && d < best) {
                            best = d;
                            HitColor = Triangles[t].Color;
                            hit = true;
                        }
                    }
                }
        if (Settings.GroundPlane && std::fabs(D.Y) > 1e-6f) {
            const float t = (Settings.GroundHeight - O.Y) / D.Y;
            if (t > 0.0005f && t < best && t <= MaxDist) {
                best = t;
                HitColor = Settings.GroundColor;
                hit = true;
            }
        }
        if (hit)
            HitDist = best;
        return hit;
    }

    TContactProbe ComputeProbe(const TVec3& Position, const TVec3& RawNormal)
    {
        TContactProbe p{Position, Vec3Normalize(RawNormal), 1.0f, {1, 1, 1}};
        if (Vec3Length(p.Normal) < 0.001f)
            return p;
        const int32_t rays = std::clamp(Settings.RayCount, 4, 12);
        TVec3 origin = Vec3Add(Position, Vec3Scale(p.Normal, 0.012f));
        if (Settings.GroundPlane && Position.Y >= Settings.GroundHeight - 0.02f &&
            origin.Y < Settings.GroundHeight + 0.001f)
            origin.Y = Settings.GroundHeight + 0.001f;
        TVec3 bounce{0, 0, 0};
        int32_t hits = 0, misses = 0;
        float weightSum = 0;
        for (int32_t i = 0; i < rays; ++i) {
            const TVec3 dir = HemisphereDirection(ContactHemisphereDirections[i], p.Normal);
            TVec3 color;
            float dist;
            if (CastRay(origin, dir, Settings.Radius, color, dist)) {
                ++hits;
                float f = dist / Settings.Radius;
                f = f < 0 ? 0 : (f > 1 ? 1 : f);
                const float w = 1 - f;
                bounce = Vec3Add(bounce, Vec3Scale(color, w));
                weightSum += w;
            } else {
                ++misses;
            }
        }
        p.Openness = static_cast<float>(misses) / static_cast<float>(rays);
        p.Bounce = weightSum > 0 ? Vec3Scale(bounce, 1 / weightSum) : TVec3{1, 1, 1};
        if (hits == 0)
            p.Bounce = {1, 1, 1};
        return p;
    }

    static float Clamp01(float v) { return v < 0 ? 0 : (v > 1 ? 1 : v); }

    void ShadeEntry(TEntry& e, const TContactLightRig& Rig)
    {
        const float ambient =
            ColorLuminance(Rig.AmbientColor) * std::max(0.0f, Rig.AmbientIntensity);
        const float key = ColorLuminance(Rig.KeyColor) * std::max(0.0f, Rig.KeyIntensity);
        const float fill = ColorLuminance(Rig.FillColor) * std::max(0.0f, Rig.FillIntensity);
        for (size_t i = 0; i < e.Probes.size(); ++i) {
            const TContactProbe& p = e.Probes[i];
            float total = ambient;
            float lit = p.Openness * ambient;
            auto light = [&](float level, const TVec3& direction) {
                if (!(level > 0.0001f))
                    return;
                const TVec3 L = Vec3Normalize(direction);
                const float k = level * std::max(0.0f, Vec3Dot(p.Normal, L));
                total = total + k;
                TVec3 c;
                float d;
                if (CastRay(Vec3Add(p.Position, Vec3Scale(p.Normal, 0.012f)), L,
                            8 * Settings.Radius, c, d))
                    lit = lit + (1 - Clamp01(Settings.SunShadow)) * k;
                else
                    lit = lit + k;
            };
            light(key, Rig.KeyDirection);
            light(fill, Rig.FillDirection);
            const float ratio = total > 0.0001f ? Clamp01(lit / total) : 1;
            float shade = 1 - (1 - ratio) * Clamp01(Settings.ContactStrength);
            if (shade < Settings.MinimumShade)
                shade = Settings.MinimumShade;
            e.Results[i].Factor = shade;
            const float bleed = Clamp01((1 - p.Openness) * Settings.ColorBleed);
            e.Results[i].Color = Vec3Lerp({1, 1, 1}, p.Bounce, bleed);
        }
    }

    TContactLightingSettings Settings;
    float CellSize = 0.65f;
    std::vector<TContactTriangle> Triangles;
    std::map<std::string, std::vector<int32_t>> Cells;
    std::vector<int32_t> Stamps;
    int32_t RayStamp = 0;
};

// ---- Scenes -------------------------------------------------------------------------------

// Meshes and their placements; the inputs point into it.
struct TTestScene {
    std::vector<std::unique_ptr<TMeshData>> Meshes;
    std::vector<TContactMeshInput> Inputs;

    TMeshData& Add(std::unique_ptr<TMeshData> Mesh, const TMatrix4& World, const TVec3& Color,
                   bool Receives = true)
    {
        TContactMeshInput in;
        in.Mesh = Mesh.get();
        in.World = World;
        in.Color = Color;
        in.Receives = Receives;
        Meshes.push_back(std::move(Mesh));
        Inputs.push_back(in);
        return *Meshes.back();
    }
};

TMatrix4 Place(TVec3 Position, TVec3 Rotation = {0, 0, 0}, TVec3 Scale = {1, 1, 1})
{
    TMatrix4 m;
    MatCompose(Position, Rotation, Scale, m);
    return m;
}

std::unique_ptr<TMeshData> Cube()
{
    auto m = std::make_unique<TMeshData>();
    m->BuildCube();
    return m;
}

std::unique_ptr<TMeshData> Sphere(int32_t Segments = 12, int32_t Rings = 8)
{
    auto m = std::make_unique<TMeshData>();
    m->BuildSphere(Segments, Rings, 0.5f);
    return m;
}

std::unique_ptr<TMeshData> Plane(float Size)
{
    auto m = std::make_unique<TMeshData>();
    m->BuildPlane(Size);
    return m;
}

// A flat N x N grid of quads, Size across, centred on the origin, facing up.
std::unique_ptr<TMeshData> FloorGrid(int32_t N, float Size)
{
    auto m = std::make_unique<TMeshData>();
    for (int32_t j = 0; j <= N; ++j)
        for (int32_t i = 0; i <= N; ++i) {
            TMeshVertex v;
            v.Position = {-Size / 2 + Size * i / N, 0, -Size / 2 + Size * j / N};
            v.Normal = {0, 1, 0};
            m->AddVertex(v);
        }
    for (int32_t j = 0; j < N; ++j)
        for (int32_t i = 0; i < N; ++i) {
            const int32_t a = j * (N + 1) + i;
            m->AddQuad(a, a + N + 1, a + N + 2, a + 1);
        }
    return m;
}

TContactLightRig DefaultRig()
{
    TContactLightRig rig;
    DefaultContactLightRig(rig);
    return rig;
}

TContactLightingSettings DefaultSettings()
{
    TContactLightingSettings s;
    DefaultContactLightingSettings(s);
    return s;
}

// Builds and lights both implementations and counts the vertices where they differ.
void ExpectSameAsLiteral(const TTestScene& Scene, const TContactLightingSettings& Settings,
                         const TContactLightRig& Rig)
{
    TLiteralContactLighting literal;
    literal.Build(Scene.Inputs, Settings);
    literal.ApplyLightRig(Rig);
    TContactLightingCache cache;
    cache.Build(Scene.Inputs, Settings);
    cache.ApplyLightRig(Rig);

    ASSERT_EQ(cache.GetEntries().size(), literal.Entries.size());
    int differing = 0, total = 0, occluded = 0;
    std::string first;
    auto near = [](float a, float b) { return std::fabs(a - b) <= 1e-6f; };
    auto nearVec = [&](const TVec3& a, const TVec3& b) {
        return near(a.X, b.X) && near(a.Y, b.Y) && near(a.Z, b.Z);
    };
    for (size_t e = 0; e < literal.Entries.size(); ++e) {
        const auto& fast = cache.GetEntries()[e];
        const auto& slow = literal.Entries[e];
        ASSERT_EQ(fast.Probes.size(), slow.Probes.size());
        for (size_t v = 0; v < slow.Probes.size(); ++v) {
            ++total;
            occluded += slow.Probes[v].Openness < 1;
            const bool same = near(fast.Probes[v].Openness, slow.Probes[v].Openness) &&
                              nearVec(fast.Probes[v].Bounce, slow.Probes[v].Bounce) &&
                              near(fast.Results[v].Factor, slow.Results[v].Factor) &&
                              nearVec(fast.Results[v].Color, slow.Results[v].Color);
            if (!same && differing++ == 0)
                first = "entry " + std::to_string(e) + " vertex " + std::to_string(v) +
                        ": openness " + std::to_string(fast.Probes[v].Openness) + " vs " +
                        std::to_string(slow.Probes[v].Openness) + ", factor " +
                        std::to_string(fast.Results[v].Factor) + " vs " +
                        std::to_string(slow.Results[v].Factor);
        }
    }
    EXPECT_EQ(differing, 0) << first;
    // The scenes are made so that contact actually happens.
    EXPECT_GT(occluded, total / 10);
}

// ---- Agreement with the literal computation ------------------------------------------

TEST(ContactLightingAgreement, CubeOnAPlane)
{
    TTestScene scene;
    scene.Add(Plane(1), Place({0, 0, 0}, {0, 0, 0}, {6, 1, 6}), {0.3f, 0.6f, 0.3f});
    scene.Add(Cube(), Place({0, 0.5f, 0}), {0.9f, 0.2f, 0.1f});
    scene.Add(FloorGrid(8, 3), Place({0, 0.001f, 0}), {0.5f, 0.5f, 0.9f});
    ExpectSameAsLiteral(scene, DefaultSettings(), DefaultRig());
}

TEST(ContactLightingAgreement, SpheresInARow)
{
    TTestScene scene;
    const TVec3 colors[4] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}};
    for (int i = 0; i < 4; ++i)
        scene.Add(Sphere(), Place({i * 1.05f, 0.5f, 0.1f * i}), colors[i]);
    ExpectSameAsLiteral(scene, DefaultSettings(), DefaultRig());
}

TEST(ContactLightingAgreement, ClustersFarApart)
{
    // Two small clusters with a large empty space between them.
    TTestScene scene;
    for (TVec3 at : {TVec3{0, 0, 0}, TVec3{400, 300, -500}}) {
        scene.Add(Cube(), Place(at, {0, 20, 0}), {0.9f, 0.5f, 0.1f});
        scene.Add(Sphere(), Place(Vec3Add(at, {0.9f, 0.1f, 0.2f})), {0.1f, 0.5f, 0.9f});
        scene.Add(FloorGrid(4, 3), Place(Vec3Add(at, {0, -0.5f, 0})), {0.5f, 0.5f, 0.5f});
    }
    TContactLightingSettings settings = DefaultSettings();
    settings.GroundPlane = false;
    ExpectSameAsLiteral(scene, settings, DefaultRig());
}

TEST(ContactLightingAgreement, RotatedScaledObjectsOtherSettingsAndBothLights)
{
    TTestScene scene;
    scene.Add(FloorGrid(6, 4), Place({0, -0.3f, 0}, {5, 0, -3}), {0.8f, 0.8f, 0.8f});
    scene.Add(Cube(), Place({0.2f, 0.1f, -0.4f}, {30, 45, 10}, {1.5f, 0.4f, 0.8f}),
              {0.2f, 0.9f, 0.4f});
    scene.Add(Sphere(10, 6), Place({-0.7f, 0.35f, 0.5f}, {0, 0, 0}, {0.7f, 1.2f, 0.7f}),
              {0.9f, 0.3f, 0.6f});
    // Occludes but receives nothing, like terrain.
    scene.Add(Plane(1), Place({0, 1.2f, 0}, {0, 0, 15}, {1.5f, 1, 1.5f}), {0.1f, 0.1f, 0.1f},
              false);
    TContactLightingSettings settings = DefaultSettings();
    settings.Radius = 0.37f;
    settings.RayCount = 12;
    settings.GroundPlane = false;
    settings.ContactStrength = 0.9f;
    settings.SunShadow = 0.8f;
    settings.ColorBleed = 0.6f;
    TContactLightRig rig = DefaultRig();
    rig.FillIntensity = 0.7f;
    rig.KeyDirection = {-0.2f, 0.7f, 0.3f};  // not normalised on purpose
    ExpectSameAsLiteral(scene, settings, rig);
}

TEST(ContactLightingAgreement, CoincidentFacesOfTwoColoursKeepTheSearchOrder)
{
    // Two quads in the same place: every ray that meets one meets the other at the very
    // same distance, and the first one the cell search meets gives the colour.
    for (bool redFirst : {true, false}) {
        TTestScene scene;
        scene.Add(FloorGrid(6, 2), Place({0, 0.5f, 0}), {0.5f, 0.5f, 0.5f});
        const TVec3 red{1, 0, 0}, blue{0, 0, 1};
        scene.Add(Plane(1), Place({0.1f, 0.8f, 0}, {0, 0, 0}, {2, 1, 2}), redFirst ? red : blue,
                  false);
        scene.Add(Plane(1), Place({0.1f, 0.8f, 0}, {0, 0, 0}, {2, 1, 2}), redFirst ? blue : red,
                  false);
        TContactLightingSettings settings = DefaultSettings();
        settings.ColorBleed = 1;
        ExpectSameAsLiteral(scene, settings, DefaultRig());
    }
}

TEST(ContactLightingAgreement, AFieldOfSpheresAndAStackOfCopiesInOnePlace)
{
    // Enough triangles for the search structure's coarse top levels, and forty copies of
    // one quad in alternating colours, whose centres all coincide: no plane separates
    // them, and every ray meeting one meets all at the same distance.
    TTestScene scene;
    scene.Add(FloorGrid(10, 8), Place({3, 0, 3}), {0.5f, 0.5f, 0.5f});
    for (int i = 0; i < 16; ++i)
        scene.Add(Sphere(), Place({(i % 4) * 1.5f, 0.5f, (i / 4) * 1.5f}),
                  {0.2f + 0.05f * i, 0.9f - 0.05f * i, 0.5f});
    for (int i = 0; i < 40; ++i)
        scene.Add(Plane(1), Place({2.25f, 1.1f, 2.25f}, {0, 0, 0}, {3, 1, 3}),
                  i % 2 ? TVec3{1, 0, 0} : TVec3{0, 0, 1}, false);
    TContactLightingSettings settings = DefaultSettings();
    settings.ColorBleed = 1;
    ExpectSameAsLiteral(scene, settings, DefaultRig());
}

TEST(ContactLightingAgreement, EqualDistancesFromALargeAndASmallTriangle)
{
    // Straight up from the receiver, a small red triangle and a large blue one (tested by
    // every ray first) are met at exactly the same distance: their edges are powers of
    // two. The cell search meets the red one first, so the bounce must be red.
    TTestScene scene;
    auto receiver = std::make_unique<TMeshData>();
    for (TVec3 p :
         {TVec3{0.01f, 0.488f, 0.01f}, TVec3{0.01f, 0.488f, 0.11f}, TVec3{0.11f, 0.488f, 0.01f}}) {
        TMeshVertex v;
        v.Position = p;
        v.Normal = {0, 1, 0};
        receiver->AddVertex(v);
    }
    receiver->AddTriangle(0, 1, 2);
    scene.Add(std::move(receiver), MatIdentity(), {1, 1, 1});
    auto rightTriangle = [](TVec3 Corner, float Leg) {
        auto m = std::make_unique<TMeshData>();
        for (TVec3 p : {Corner, Vec3Add(Corner, {Leg, 0, 0}), Vec3Add(Corner, {0, 0, Leg})}) {
            TMeshVertex v;
            v.Position = p;
            v.Normal = {0, -1, 0};
            m->AddVertex(v);
        }
        m->AddTriangle(0, 1, 2);
        return m;
    };
    scene.Add(rightTriangle({0, 1, 0}, 64), MatIdentity(), {0, 0, 1}, false);
    scene.Add(rightTriangle({-0.125f, 1, -0.125f}, 0.5f), MatIdentity(), {1, 0, 0}, false);
    TContactLightingSettings settings = DefaultSettings();
    settings.RayCount = 4;
    settings.ColorBleed = 1;
    ExpectSameAsLiteral(scene, settings, DefaultRig());
}

// ---- Shading ---------------------------------------------------------------------------

const TContactLightingResult& ResultAt(const TContactLightingCache& Cache, size_t Entry,
                                       size_t Vertex)
{
    return Cache.GetEntries().at(Entry).Results.at(Vertex);
}

TEST(ContactLightingShade, UnderAnOverhangIsDarkerThanInTheOpen)
{
    TTestScene scene;
    TMeshData& floor = scene.Add(FloorGrid(10, 4), MatIdentity(), {0.7f, 0.7f, 0.7f});
    // A slab 0.3 above the floor's left half.
    scene.Add(Cube(), Place({-1, 0.4f, 0}, {0, 0, 0}, {2, 0.2f, 4}), {0.7f, 0.7f, 0.7f});
    TContactLightingCache cache;
    cache.Build(scene.Inputs, DefaultSettings());
    cache.ApplyLightRig(DefaultRig());

    auto vertexAt = [&](float x, float z) {
        for (size_t i = 0; i < floor.Vertices.size(); ++i)
            if (std::fabs(floor.Vertices[i].Position.X - x) < 1e-4f &&
                std::fabs(floor.Vertices[i].Position.Z - z) < 1e-4f)
                return i;
        ADD_FAILURE() << "no vertex at " << x << ", " << z;
        return size_t{0};
    };
    const size_t under = vertexAt(-1.2f, 0), open = vertexAt(1.2f, 0);
    const TContactProbe& underProbe = cache.GetEntries()[0].Probes[under];
    const TContactProbe& openProbe = cache.GetEntries()[0].Probes[open];
    EXPECT_LT(underProbe.Openness, 0.5f);
    EXPECT_FLOAT_EQ(openProbe.Openness, 1.0f);
    EXPECT_LT(ResultAt(cache, 0, under).Factor, ResultAt(cache, 0, open).Factor - 0.2f);
    EXPECT_FLOAT_EQ(ResultAt(cache, 0, open).Factor, 1.0f);
}

// One upward-facing triangle at height 1, with optionally a large roof 2 units above it
// in the key light's direction (beyond the occlusion radius, inside the shadow reach).
TTestScene LoneTriangle(bool WithRoof)
{
    TTestScene scene;
    auto tri = std::make_unique<TMeshData>();
    for (TVec3 p : {TVec3{0, 0, 0}, TVec3{0, 0, 0.1f}, TVec3{0.1f, 0, 0}}) {
        TMeshVertex v;
        v.Position = p;
        v.Normal = {0, 1, 0};
        tri->AddVertex(v);
    }
    tri->AddTriangle(0, 1, 2);
    scene.Add(std::move(tri), Place({0, 1, 0}), {1, 1, 1});
    if (WithRoof)
        scene.Add(Plane(1), Place({0, 3, 0}, {0, 0, 0}, {20, 1, 20}), {0.2f, 0.2f, 0.2f}, false);
    return scene;
}

TEST(ContactLightingShade, ShadowedKeyLightInTheOpenAndTheWorkedFigures)
{
    TContactLightingCache shadowed, open;
    const TTestScene roofed = LoneTriangle(true), bare = LoneTriangle(false);
    shadowed.Build(roofed.Inputs, DefaultSettings());
    shadowed.ApplyLightRig(DefaultRig());
    open.Build(bare.Inputs, DefaultSettings());
    open.ApplyLightRig(DefaultRig());
    for (size_t v = 0; v < 3; ++v) {
        EXPECT_FLOAT_EQ(shadowed.GetEntries()[0].Probes[v].Openness, 1.0f);
        // ratio 0.62874 with the default rig and settings
        EXPECT_NEAR(ResultAt(shadowed, 0, v).Factor, 0.74012f, 1e-5f);
        EXPECT_EQ(ResultAt(shadowed, 0, v).Color, (TVec3{1, 1, 1}));
        EXPECT_FLOAT_EQ(ResultAt(open, 0, v).Factor, 1.0f);
    }
}

TEST(ContactLightingShade, EnclosedVertexWithoutLightIsFlooredAtTheMinimumShade)
{
    TTestScene scene;
    scene.Add(LoneTriangle(false).Meshes[0]->Clone(), Place({0, 1, 0}), {1, 1, 1});
    scene.Add(Cube(), Place({0.05f, 1, 0.05f}, {0, 0, 0}, {0.6f, 0.6f, 0.6f}), {0.2f, 0.4f, 0.8f},
              false);
    TContactLightRig dark = DefaultRig();
    dark.KeyIntensity = 0;
    TContactLightingCache cache;
    cache.Build(scene.Inputs, DefaultSettings());
    cache.ApplyLightRig(dark);
    const TContactProbe& p = cache.GetEntries()[0].Probes[0];
    EXPECT_FLOAT_EQ(p.Openness, 0.0f);
    EXPECT_NEAR(p.Bounce.Z, 0.8f, 1e-6f);
    EXPECT_FLOAT_EQ(ResultAt(cache, 0, 0).Factor, 0.45f);
    // bleed = ColorBleed = 0.1 towards the box's colour
    EXPECT_NEAR(ResultAt(cache, 0, 0).Color.X, 1 + (0.2f - 1) * 0.1f, 1e-6f);
}

// ---- Settings and edge cases -------------------------------------------------------------

TEST(ContactLightingBuild, RayCountIsClampedToFourThroughTwelve)
{
    const struct {
        int32_t RayCount;
        int64_t RaysPerVertex;
    } cases[] = {{3, 4}, {4, 4}, {8, 8}, {12, 12}, {20, 12}, {-5, 4}};
    for (const auto& c : cases) {
        const TTestScene scene = LoneTriangle(false);
        TContactLightingSettings settings = DefaultSettings();
        settings.RayCount = c.RayCount;
        TContactLightingCache cache;
        cache.Build(scene.Inputs, settings);
        EXPECT_EQ(cache.GetRaysCast(), 3 * c.RaysPerVertex) << c.RayCount;
    }
}

TEST(ContactLightingBuild, SmallRadiusKeepsTheMinimumCellButShortRays)
{
    TTestScene scene = LoneTriangle(false);
    scene.Add(Plane(1), Place({0, 1.03f, 0}, {0, 0, 0}, {4, 1, 4}), {0, 0, 0}, false);
    TContactLightingSettings settings = DefaultSettings();
    settings.Radius = 0.01f;
    TContactLightingCache cache;
    cache.Build(scene.Inputs, settings);
    EXPECT_FLOAT_EQ(cache.GetCellSize(), 0.05f);
    // The roof 0.03 above is out of the 0.01 reach.
    EXPECT_FLOAT_EQ(cache.GetEntries()[0].Probes[0].Openness, 1.0f);
    settings.Radius = 0.1f;
    cache.Invalidate();
    cache.Build(scene.Inputs, settings);
    EXPECT_FLOAT_EQ(cache.GetEntries()[0].Probes[0].Openness, 0.0f);
}

TEST(ContactLightingBuild, GroundLiftStartsRaysJustAboveTheGround)
{
    // A vertex up to 0.02 below the ground starts its rays above it and sees the sky; one
    // further down starts below it and meets the ground with every ray.
    const struct {
        float Y;
        float Openness;
    } cases[] = {{0.0f, 1.0f}, {-0.015f, 1.0f}, {-0.025f, 0.0f}, {0.5f, 1.0f}};
    for (const auto& c : cases) {
        TTestScene scene = LoneTriangle(false);
        scene.Inputs[0].World = Place({0, c.Y, 0});
        TContactLightingCache cache;
        cache.Build(scene.Inputs, DefaultSettings());
        EXPECT_FLOAT_EQ(cache.GetEntries()[0].Probes[0].Openness, c.Openness) << c.Y;
    }
}

TEST(ContactLightingBuild, BadFacesAndNonFiniteGeometryAreLeftOut)
{
    TTestScene scene;
    TMeshData& mesh = scene.Add(FloorGrid(2, 1), Place({0, 0.5f, 0}), {1, 1, 1});
    const int32_t vertices = static_cast<int32_t>(mesh.Vertices.size());
    mesh.AddTriangle(0, 1, vertices + 3);  // index out of range
    mesh.AddTriangle(0, 0, 1);             // degenerate
    TMeshFace tooMany;
    tooMany.Count = 7;  // claims more corners than a face holds
    tooMany.Indices = {0, 1, 4, 3};
    mesh.Faces.push_back(tooMany);
    TMeshVertex bad;
    bad.Position = {std::numeric_limits<float>::quiet_NaN(), 0, 0};
    bad.Normal = {0, 1, 0};
    const int32_t nanVertex = mesh.AddVertex(bad);
    bad.Position = {0, std::numeric_limits<float>::infinity(), 0};
    const int32_t infVertex = mesh.AddVertex(bad);
    mesh.AddTriangle(0, nanVertex, 1);
    mesh.AddTriangle(1, infVertex, 2);

    TContactLightingCache cache;
    cache.Build(scene.Inputs, DefaultSettings());
    cache.ApplyLightRig(DefaultRig());
    EXPECT_EQ(cache.GetTriangles().size(), 8u + 2u);  // the grid's and the 4-corner fan
    for (int32_t v : {nanVertex, infVertex}) {
        EXPECT_FLOAT_EQ(cache.GetEntries()[0].Probes[v].Openness, 1.0f);
        EXPECT_FLOAT_EQ(ResultAt(cache, 0, v).Factor, 1.0f);
        EXPECT_EQ(ResultAt(cache, 0, v).Color, (TVec3{1, 1, 1}));
    }
    TVec3 color;
    float distance;
    EXPECT_FALSE(cache.CastRay({0, std::numeric_limits<float>::quiet_NaN(), 0}, {0, 1, 0}, 1, color,
                               distance));
    EXPECT_FALSE(cache.IsOccluded({0, 0, 0}, {0, 1, 0}, std::numeric_limits<float>::infinity()));

    // A world matrix that is not finite contributes nothing at all.
    TTestScene broken;
    broken.Add(Cube(), Place({std::numeric_limits<float>::quiet_NaN(), 0, 0}), {1, 1, 1});
    TContactLightingCache brokenCache;
    brokenCache.Build(broken.Inputs, DefaultSettings());
    EXPECT_TRUE(brokenCache.GetTriangles().empty());
    EXPECT_TRUE(brokenCache.IsBuilt());
}

TEST(ContactLightingBuild, HugeAndFarAwayTrianglesAreStillHit)
{
    // A sphere resting on a floor: the floor as a small plane, as a plane two kilometres
    // wide (two triangles over millions of cells), and far from the origin.
    auto build = [](float PlaneScale, TVec3 Offset) {
        TTestScene scene;
        scene.Add(Sphere(), Place(Vec3Add({0, 0.5f, 0}, Offset)), {1, 0, 0});
        scene.Add(Plane(1), Place(Offset, {0, 0, 0}, {PlaneScale, 1, PlaneScale}), {0, 1, 0},
                  false);
        TContactLightingSettings settings = DefaultSettings();
        settings.GroundPlane = false;
        auto cache = std::make_unique<TContactLightingCache>();
        cache->Build(scene.Inputs, settings);
        cache->ApplyLightRig(DefaultRig());
        return cache;
    };
    const auto small = build(4, {0, 0, 0});
    std::vector<std::unique_ptr<TContactLightingCache>> others;
    others.push_back(build(2000, {0, 0, 0}));
    others.push_back(build(4, {3000, 0, -2000}));
    for (const auto& other : others) {
        const auto& a = small->GetEntries()[0].Probes;
        const auto& b = other->GetEntries()[0].Probes;
        ASSERT_EQ(a.size(), b.size());
        // Other corners round differently, so a ray that ends right at the floor may
        // change sides; the rest must not.
        size_t occluded = 0, differing = 0;
        for (size_t v = 0; v < a.size(); ++v) {
            differing += std::fabs(a[v].Openness - b[v].Openness) > 1e-6f;
            occluded += b[v].Openness < 1;
        }
        EXPECT_LE(differing, a.size() / 20);
        EXPECT_GT(occluded, a.size() / 10);
    }
}

// ---- Lifecycle ----------------------------------------------------------------------------

TEST(ContactLightingLifecycle, BuildAndLightOnceUntilInvalidated)
{
    const TTestScene roofed = LoneTriangle(true), bare = LoneTriangle(false);
    TContactLightingCache cache;
    EXPECT_FALSE(cache.IsBuilt());
    cache.ApplyLightRig(DefaultRig());  // not built: nothing
    EXPECT_FALSE(cache.IsLit());

    cache.Build(roofed.Inputs, DefaultSettings());
    EXPECT_TRUE(cache.IsBuilt());
    EXPECT_FALSE(cache.IsLit());
    const size_t triangles = cache.GetTriangles().size();
    cache.Build(bare.Inputs, DefaultSettings());  // built: ignored
    EXPECT_EQ(cache.GetTriangles().size(), triangles);

    cache.ApplyLightRig(DefaultRig());
    const float shaded = ResultAt(cache, 0, 0).Factor;
    EXPECT_LT(shaded, 1.0f);
    TContactLightRig noKey = DefaultRig();
    noKey.KeyIntensity = 0;
    cache.ApplyLightRig(noKey);  // lit: ignored
    EXPECT_FLOAT_EQ(ResultAt(cache, 0, 0).Factor, shaded);
    EXPECT_FLOAT_EQ(cache.GetRig().KeyIntensity, 1.0f);

    cache.Invalidate();
    EXPECT_FALSE(cache.IsBuilt());
    EXPECT_EQ(cache.GetTriangles().size(), triangles);  // kept until the next build
    cache.Build(bare.Inputs, DefaultSettings());
    cache.ApplyLightRig(noKey);
    EXPECT_FLOAT_EQ(ResultAt(cache, 0, 0).Factor, 1.0f);

    cache.Clear();
    EXPECT_TRUE(cache.GetTriangles().empty());
    EXPECT_TRUE(cache.GetEntries().empty());
    EXPECT_FALSE(cache.IsBuilt());

    // Disabled: built but never lit.
    cache.SetEnabled(false);
    cache.Build(roofed.Inputs, DefaultSettings());
    cache.ApplyLightRig(DefaultRig());
    EXPECT_FALSE(cache.IsLit());
}

class ContactLightingSceneTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Ground = Scene.AddPrimitive(ptPlane);
        Ground->SetScaleX(8);
        Ground->SetScaleZ(8);
        Box = Scene.AddPrimitive(ptCube);
        Box->SetPosition({0, 0.5f, 0});
        Box->Color = {0.9f, 0.1f, 0.1f};
    }

    void Refresh()
    {
        Cache.Invalidate();
        Cache.Build(GatherContactInputs(Scene), DefaultSettings());
        Cache.ApplyLightRig(DefaultRig());
    }

    TScene Scene;
    TSceneObject* Ground = nullptr;
    TSceneObject* Box = nullptr;
    TContactLightingCache Cache;
};

TEST_F(ContactLightingSceneTest, ResultsFollowTheExactEvaluatedMesh)
{
    Refresh();
    const TMeshData* mesh = Box->GetEvaluatedMesh();
    // Box's bottom vertices touch the ground: darker than white.
    int darker = 0;
    for (int32_t v = 0; v < static_cast<int32_t>(mesh->Vertices.size()); ++v) {
        const TVec3 lit = Cache.GetVertexLight(*Box, v, {1, 1, 1});
        darker += lit.X < 0.999f;
        const TContactLightingResult& r =
            Cache.FindResults(Box->GetId(), Box->GetMeshSerial())->Results[v];
        EXPECT_EQ(lit, Vec3Scale(r.Color, r.Factor));
    }
    EXPECT_GT(darker, 0);

    // Out of range, another node or another serial: the base colour passes unchanged.
    const TVec3 base{0.3f, 0.6f, 0.9f};
    EXPECT_EQ(Cache.GetVertexLight(*Box, -1, base), base);
    EXPECT_EQ(Cache.GetVertexLight(*Box, static_cast<int32_t>(mesh->Vertices.size()), base), base);
    EXPECT_EQ(Cache.GetVertexLight(Box->GetId() + 1000, Box->GetMeshSerial(), 0, base), base);
    EXPECT_EQ(Cache.GetVertexLight(Box->GetId(), Box->GetMeshSerial() + 1, 0, base), base);
    Cache.SetEnabled(false);
    EXPECT_EQ(Cache.GetVertexLight(*Box, 0, base), base);
    Cache.SetEnabled(true);

    // A new evaluation of the box's mesh is another mesh: it is drawn with its own colours
    // until the next refresh, never with results made for the old one.
    const uint64_t oldSerial = Box->GetMeshSerial();
    Box->MarkMeshDirty();
    Box->GetEvaluatedMesh();
    ASSERT_NE(Box->GetMeshSerial(), oldSerial);
    EXPECT_EQ(Cache.GetVertexLight(*Box, 0, base), base);
    Refresh();
    EXPECT_NE(Cache.GetVertexLight(*Box, 0, base), base);
}

TEST_F(ContactLightingSceneTest, KeptAcrossEditsUntilRefreshed)
{
    Refresh();
    const TMeshData* mesh = Box->GetEvaluatedMesh();
    int32_t bottom = -1;
    for (int32_t v = 0; v < static_cast<int32_t>(mesh->Vertices.size()); ++v)
        if (mesh->Vertices[v].Position.Y < 0 && mesh->Vertices[v].Normal.Y == 0)
            bottom = v;
    ASSERT_GE(bottom, 0);
    const TVec3 before = Cache.GetVertexLight(*Box, bottom, {1, 1, 1});
    ASSERT_LT(before.X, 0.99f);

    // Lifting the box far off the ground changes nothing until the refresh.
    Box->SetPosition({0, 5, 0});
    EXPECT_EQ(Box->GetEvaluatedMesh(), mesh);
    EXPECT_EQ(Cache.GetVertexLight(*Box, bottom, {1, 1, 1}), before);
    Refresh();
    EXPECT_EQ(Cache.GetVertexLight(*Box, bottom, {1, 1, 1}), (TVec3{1, 1, 1}));
}

TEST_F(ContactLightingSceneTest, TerrainOccludesButReceivesAndHiddenObjectsDoNeither)
{
    Box->PrimType = ptTerrain;
    Refresh();
    EXPECT_EQ(Cache.FindEntry(Box->GetId()), -1);
    EXPECT_GE(Cache.FindEntry(Ground->GetId()), 0);
    EXPECT_EQ(Cache.GetTriangles().size(), 2u + 12u);
    EXPECT_EQ(Cache.GetVertexLight(*Box, 0, {0.5f, 0.5f, 0.5f}), (TVec3{0.5f, 0.5f, 0.5f}));

    Box->SetVisible(false);
    Refresh();
    EXPECT_EQ(Cache.GetTriangles().size(), 2u);  // the ground's quad only
}

}  // namespace
