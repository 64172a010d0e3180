// The vertex weld against the rule written out the slow way (every pair compared), on
// random meshes built to have clusters: exact copies, near copies, chains of close points
// that join far ends, points just too far, signed zeros, non-finite positions and broken
// faces. Every field of the result must match bit for bit.
#include "base/uWorkMeter.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "tests/modifiers/uVertexWeldReference.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

using vertex_weld_reference::ReferenceClusters;
using vertex_weld_reference::ReferenceWeld;

TMeshVertex At(const TVec3& Position)
{
    TMeshVertex v;
    v.Position = Position;
    return v;
}

bool SameVertex(const TMeshVertex& a, const TMeshVertex& b)
{
    return std::memcmp(&a, &b, sizeof(TMeshVertex)) == 0;
}

struct TClusteredCase {
    const char* Name;
    uint32_t Seed;
    int Vertices;
    float Threshold;
    float Offset;  // centre of the cloud: far from 0, few float steps fit in the threshold
    float Extent;  // half-width of the cloud
};

// Vertices placed around cluster centres: copies bit for bit, points well inside the
// threshold, chains at 0.9 threshold steps, points between 1 and 1.5 thresholds away, and
// stray points. Attributes are shared within some clusters and random in others.
TMeshData ClusteredMesh(const TClusteredCase& Case)
{
    std::mt19937 random(Case.Seed);
    std::uniform_real_distribution<float> unit(-1, 1);
    const float t = Case.Threshold;
    struct TCentre {
        TMeshVertex Vertex;
        bool Shared;
    };
    std::vector<TCentre> centres(static_cast<size_t>(Case.Vertices / 5 + 1));
    for (TCentre& c : centres) {
        c.Vertex.Position = {Case.Offset + Case.Extent * unit(random),
                             Case.Offset + Case.Extent * unit(random),
                             random() % 4 == 0 ? -0.0f : Case.Offset + Case.Extent * unit(random)};
        c.Vertex.Normal = {unit(random), unit(random), unit(random)};
        c.Vertex.Color = {0.5f + 0.5f * unit(random), 0.25f, random() % 3 == 0 ? -0.0f : 0.75f};
        c.Vertex.UV = {unit(random), unit(random)};
        c.Shared = random() % 2 == 0;
    }
    TMeshData m;
    for (int i = 0; i < Case.Vertices; ++i) {
        const TCentre& c = centres[random() % centres.size()];
        TMeshVertex v = c.Vertex;
        if (!c.Shared) {  // each field on its own, so that any one of them can differ
            if (random() % 2 == 0)
                v.Normal = {unit(random), unit(random), 0.1f * unit(random)};
            if (random() % 2 == 0)
                v.Color.X = 0.5f + 0.5f * unit(random);
            if (random() % 2 == 0)
                v.UV.V = unit(random);
        }
        TVec3& p = v.Position;
        switch (random() % 6) {
        case 0:
        case 1:  // a copy; a zero may change its sign (still at distance 0)
            if (p.Z == 0 && random() % 2 == 0)
                p.Z = 0.0f;
            break;
        case 2:  // well within the threshold, on one axis (the others stay equal)
            (&p.X)[random() % 3] += 0.5f * t * unit(random);
            break;
        case 3:  // a chain along X: far ends join only through the links
            p.X += 0.9f * t * static_cast<float>(1 + random() % 4);
            break;
        case 4:  // between one and one and a half thresholds away on one axis
            p.Y += t * (1.25f + 0.25f * unit(random));
            break;
        default:  // anywhere
            p = {Case.Offset + Case.Extent * unit(random), Case.Offset + Case.Extent * unit(random),
                 Case.Offset + Case.Extent * unit(random)};
            break;
        }
        m.AddVertex(v);
    }
    // Positions no distance test accepts, some of them twice.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const float inf = std::numeric_limits<float>::infinity();
    for (const TVec3& p : {TVec3{nan, 0, 0}, TVec3{nan, 0, 0}, TVec3{inf, 1, 1}, TVec3{inf, 1, 1},
                           TVec3{0, -inf, 0}})
        m.Vertices.insert(m.Vertices.begin() + random() % m.Vertices.size(), At(p));

    const int32_t n = static_cast<int32_t>(m.Vertices.size());
    std::uniform_int_distribution<int32_t> anyIndex(-2, n + 2);  // a few out of range
    for (int f = 0; f < Case.Vertices / 2; ++f) {
        TMeshFace face;
        const uint32_t roll = random() % 20;
        face.Count = roll == 0 ? 5 : roll < 8 ? 3 : 4;
        for (int32_t& index : face.Indices)
            index = random() % 30 == 0 ? anyIndex(random) : static_cast<int32_t>(random() % n);
        for (TVec2& uv : face.UVs)
            uv = {unit(random), unit(random)};
        face.TexId = static_cast<int32_t>(random() % 3);
        m.Faces.push_back(face);
    }
    m.RebuildEdges();
    return m;
}

TEST(WeldVertices, MatchesEveryPairComparedOnClusteredMeshes)
{
    const TClusteredCase cases[] = {
        {"small threshold near the origin", 1, 1500, 0.002f, 0, 1},
        {"clusters spanning many cells", 2, 1500, 0.05f, 0.3f, 1},
        {"tight cloud: many points per cell", 3, 1200, 0.1f, 0, 0.4f},
        {"far from the origin: copies only", 4, 1500, 1e-6f, 4096, 2},
        {"huge coordinates", 5, 800, 1e-3f, 3e30f, 1e30f},
        {"tiny threshold, tiny coordinates", 6, 800, 1e-21f, 0, 1e-19f},
        {"every vertex in one cell: a threshold past the cloud", 7, 1500, 1000, 0, 1},
        {"crowded cells: a threshold a third of the cloud", 8, 1500, 0.3f, 0, 1},
        {"crowded cells far from the origin", 9, 1500, 0.05f, 4096, 0.1f},
        {"a threshold whose square overflows", 10, 800, 1e20f, 0, 1e25f},
        {"a huge threshold with a finite square", 11, 800, 1e19f, 0, 1e20f},
    };
    for (const TClusteredCase& c : cases) {
        const TMeshData source = ClusteredMesh(c);
        const std::vector<int32_t> cluster = ReferenceClusters(source, c.Threshold);
        const int32_t clusters = *std::max_element(cluster.begin(), cluster.end()) + 1;
        ASSERT_LT(clusters, static_cast<int32_t>(source.Vertices.size())) << c.Name;
        for (int flags = 0; flags < 8; ++flags) {
            const bool averagePositions = flags & 1, averageNormals = flags & 2,
                       removeDegenerate = flags & 4;
            const std::string label = std::string(c.Name) + " flags " + std::to_string(flags);
            const TMeshData expected =
                ReferenceWeld(source, cluster, averagePositions, averageNormals, removeDegenerate);
            TMeshData welded = source;
            WeldVertices(welded, c.Threshold, averagePositions, averageNormals, removeDegenerate);
            ASSERT_EQ(welded.Vertices.size(), expected.Vertices.size()) << label;
            for (size_t k = 0; k < expected.Vertices.size(); ++k)
                ASSERT_TRUE(SameVertex(welded.Vertices[k], expected.Vertices[k]))
                    << label << " vertex " << k;
            ASSERT_EQ(welded.Faces, expected.Faces) << label;
            ASSERT_EQ(welded.Edges, expected.Edges) << label;
        }
    }
}

TEST(WeldVertices, ManyCopiesOfOnePointAndLongChains)
{
    // Thousands of copies of one position (a collapsed mesh) and a chain whose links are
    // each just inside the threshold: one cluster each, whatever the cell boundaries.
    TMeshData m;
    for (int i = 0; i < 20000; ++i)
        m.AddVertex(At(TVec3{0.25f, -0.0f, 0.5f}));
    for (int i = 0; i < 2000; ++i)
        m.AddVertex(At(TVec3{1 + 0.00099f * static_cast<float>(i), 2, 3}));
    m.AddTriangle(0, 19999, 20000);
    m.AddTriangle(20000, 21999, 5);
    WeldVertices(m, 0.001f, true, false, false);
    ASSERT_EQ(m.Vertices.size(), 2u);
    EXPECT_EQ(m.Vertices[0].Position, (TVec3{0.25f, 0, 0.5f}));
    EXPECT_NEAR(m.Vertices[1].Position.X, 1 + 0.00099f * 999.5f, 1e-4f);
    EXPECT_EQ(m.Faces[0].Indices, (std::array<int32_t, 4>{0, 0, 1, -1}));
    EXPECT_EQ(m.Faces[1].Indices, (std::array<int32_t, 4>{1, 1, 0, -1}));

    // A threshold whose square is subnormal: squares round to whole steps of the smallest
    // float, so links 2% longer than the threshold still pass the distance test.
    TMeshData tiny;
    for (int i = 0; i < 10000; ++i)
        tiny.AddVertex(At(TVec3{1.02e-22f * static_cast<float>(i), 0, 0}));
    WeldVertices(tiny, 1e-22f, false, false, false);
    EXPECT_EQ(tiny.Vertices.size(), 1u);
}

// Crowded cells built to make the fine cells work: slabs of points just too far apart to
// join, lattices spaced at the threshold exactly, copies, and a cloud with one coordinate
// so large that a float step spans many cells.
struct TCrowdCase {
    const char* Name;
    float Threshold;
    std::function<void(std::mt19937&, float, TMeshData&)> Fill;
    int Clusters = -1;  // the oracle's, where the case is built to give a known count
};

// A Side x Side patch of points Step apart on X and Z from Corner.
void AddPatch(TMeshData& Mesh, TVec3 Corner, int Side, float Step)
{
    for (int i = 0; i < Side; ++i)
        for (int j = 0; j < Side; ++j)
            Mesh.AddVertex(At(TVec3{Corner.X + Step * static_cast<float>(i), Corner.Y,
                                    Corner.Z + Step * static_cast<float>(j)}));
}

// Side x Side points on the sphere of Radius around Centre, within Angle of its top.
void AddCap(TMeshData& Mesh, TVec3 Centre, float Radius, int Side, double Angle)
{
    for (int i = 0; i < Side; ++i)
        for (int j = 0; j < Side; ++j) {
            const double a = Angle * (i - (Side - 1) / 2.0) / Side;
            const double b = Angle * (j - (Side - 1) / 2.0) / Side;
            const TVec3 d = Vec3Normalize(TVec3{static_cast<float>(std::sin(a)),
                                                static_cast<float>(std::cos(a) * std::cos(b)),
                                                static_cast<float>(std::sin(b))});
            Mesh.AddVertex(At(Vec3Add(Centre, Vec3Scale(d, Radius))));
        }
}

TEST(WeldVertices, CrowdedCellsMatchEveryPairCompared)
{
    auto add = [](TMeshData& m, float x, float y, float z) { m.AddVertex(At(TVec3{x, y, z})); };
    const TCrowdCase cases[] = {
        {"two slabs just past the threshold", 0.1f,
         [&](std::mt19937& r, float t, TMeshData& m) {
             std::uniform_real_distribution<float> across(0, 3 * t);
             for (int i = 0; i < 600; ++i)
                 add(m, across(r), across(r), i % 2 ? 0 : 1.02f * t);
         }},
        {"slabs a hair past the threshold", 0.1f,
         [&](std::mt19937& r, float t, TMeshData& m) {
             std::uniform_real_distribution<float> across(0, 3 * t);
             const float gaps[] = {1.000001f * t, 1.00001f * t, 1.0001f * t, t};
             for (int i = 0; i < 800; ++i)
                 add(m, across(r), across(r), i % 2 ? 0 : gaps[(i / 2) % 4] + 2 * t * (i % 8 / 2));
         }},
        {"a lattice spaced at the threshold", 0.1f,
         [&](std::mt19937&, float t, TMeshData& m) {
             for (int i = 0; i < 9; ++i)
                 for (int j = 0; j < 9; ++j)
                     for (int k = 0; k < 9; ++k)
                         add(m, t * static_cast<float>(i), t * static_cast<float>(j),
                             t * static_cast<float>(k));
         }},
        {"a lattice a hair past the threshold, far out", 0.01f,
         [&](std::mt19937&, float t, TMeshData& m) {
             for (int i = 0; i < 12; ++i)
                 for (int j = 0; j < 12; ++j)
                     for (int k = 0; k < 6; ++k)
                         add(m, 100 + 1.0000001f * t * static_cast<float>(i),
                             100 + t * static_cast<float>(j), 100 + t * static_cast<float>(k));
         }},
        {"copies and near copies in one cell", 1.0f,
         [&](std::mt19937& r, float t, TMeshData& m) {
             std::uniform_real_distribution<float> unit(-1, 1);
             for (int i = 0; i < 800; ++i) {
                 const float x = static_cast<float>(r() % 5) * 0.6f * t;
                 add(m, x, i % 3 ? 0 : 0.01f * unit(r), 0);
             }
         }},
        {"a shell of points, every pair within a wide threshold", 1000.0f,
         [&](std::mt19937& r, float, TMeshData& m) {
             std::normal_distribution<float> normal(0, 1);
             for (int i = 0; i < 1500; ++i) {
                 const TVec3 d = Vec3Normalize(TVec3{normal(r), normal(r), normal(r)});
                 add(m, d.X, d.Y, d.Z);
             }
         }},
        {"a shell with a threshold of a fifth of its radius", 0.2f,
         [&](std::mt19937& r, float, TMeshData& m) {
             std::normal_distribution<float> normal(0, 1);
             for (int i = 0; i < 1500; ++i) {
                 const TVec3 d = Vec3Normalize(TVec3{normal(r), normal(r), normal(r)});
                 add(m, d.X, d.Y, d.Z);
             }
         }},
        {"one huge coordinate, small others", 0.05f,
         [&](std::mt19937& r, float, TMeshData& m) {
             std::uniform_real_distribution<float> unit(0, 0.2f);
             for (int i = 0; i < 800; ++i)
                 add(m, i % 4 ? 3e30f : 3.0000002e30f, unit(r), unit(r));
         }},
        // Patches whose boxes are in reach while every pair is a float step or a hair too
        // far: above each other, diagonally, and across a line of the coarse grid.
        {"crowded patches in reach, no pair within", 1.0f,
         [&](std::mt19937&, float, TMeshData& m) {
             AddPatch(m, {0.5f, 0.5f, 0.5f}, 15, 1e-4f);
             AddPatch(m, {0.5f, std::nextafter(1.5f, 2.0f), 0.5f}, 15, 1e-4f);
             AddPatch(m, {3, 3, 3}, 15, 1e-4f);
             AddPatch(m, {3.6015f, 3.80001f, 3}, 15, 1e-4f);
             AddPatch(m, {0.5f, 7.6f, 0.5f}, 15, 1e-4f);
             AddPatch(m, {0.5f, 8.6f, 0.5f}, 15, 1e-4f);
         },
         6},
        {"crowded patches in reach, one pair within", 1.0f,
         [&](std::mt19937&, float, TMeshData& m) {
             AddPatch(m, {0.5f, 0.5f, 0.5f}, 15, 1e-4f);
             AddPatch(m, {0.5f, std::nextafter(1.5f, 2.0f), 0.5f}, 15, 1e-4f);
             m.Vertices[300].Position.Y = 1.5f;  // one point a threshold above one below
             AddPatch(m, {0.5f, 7.6f, 0.5f}, 15, 1e-4f);
             AddPatch(m, {0.5f, 8.6f, 0.5f}, 15, 1e-4f);
             m.Vertices.back().Position.Y = std::nextafter(8.6f, 0.0f);  // 0.9999995 away
         },
         2},
        // A single point of an uncrowded cell beside a crowded patch, across a line of the
        // coarse grid on each axis: exactly at the threshold, or a float step further.
        {"points beside crowded patches", 1.0f,
         [&](std::mt19937&, float, TMeshData& m) {
             const TVec3 corners[3] = {
                 {7.5f, 0.5f, 0.5f}, {0.5f, 7.5f, 40.5f}, {40.5f, 0.5f, 7.5f}};
             for (int axis = 0; axis < 3; ++axis)
                 for (int further = 0; further < 2; ++further) {
                     TVec3 corner = corners[axis];
                     (&corner.X)[(axis + 1) % 3] += 20.0f * static_cast<float>(further);
                     const size_t first = m.Vertices.size();
                     AddPatch(m, corner, 8, 1.0f / 1024);
                     TVec3 p = m.Vertices[first + 63].Position;  // the corner of largest X and Z
                     float& c = (&p.X)[axis];
                     c += 1;  // exact: the patch's coordinates are multiples of 2^-10
                     if (further)
                         c = std::nextafter(c, 100.0f);
                     m.AddVertex(At(p));
                 }
         },
         9},
        // Every box of the cap is in reach of the cluster while every pair is too far: the
        // search compares them all.
        {"a tight cluster under a cap just past the threshold", 1.0f,
         [&](std::mt19937&, float, TMeshData& m) {
             for (int i = 0; i < 12; ++i)
                 for (int j = 0; j < 12; ++j)
                     add(m, 2 + 2.4e-7f * static_cast<float>(i), 2,
                         2 + 2.4e-7f * static_cast<float>(j));
             AddCap(m, {2, 2, 2}, 1.0001f, 20, 0.5);
         },
         2},
    };
    for (const TCrowdCase& c : cases) {
        std::mt19937 random(11);
        TMeshData source;
        c.Fill(random, c.Threshold, source);
        if (c.Clusters >= 0) {
            const std::vector<int32_t> cluster = ReferenceClusters(source, c.Threshold);
            ASSERT_EQ(*std::max_element(cluster.begin(), cluster.end()) + 1, c.Clusters) << c.Name;
        }
        for (size_t i = 0; i + 2 < source.Vertices.size(); i += 3)
            source.AddTriangle(static_cast<int32_t>(i), static_cast<int32_t>(i + 1),
                               static_cast<int32_t>(i + 2));
        source.RebuildEdges();
        for (int flags : {0, 5}) {
            const std::string label = std::string(c.Name) + " flags " + std::to_string(flags);
            const TMeshData expected = vertex_weld_reference::ReferenceWeldVertices(
                source, c.Threshold, flags & 1, flags & 2, flags & 4);
            TMeshData welded = source;
            WeldVertices(welded, c.Threshold, flags & 1, flags & 2, flags & 4);
            ASSERT_EQ(welded.Vertices.size(), expected.Vertices.size()) << label;
            for (size_t k = 0; k < expected.Vertices.size(); ++k)
                ASSERT_TRUE(SameVertex(welded.Vertices[k], expected.Vertices[k]))
                    << label << " vertex " << k;
            ASSERT_EQ(welded.Faces, expected.Faces) << label;
        }
    }
}

// A tight cluster under a cap of points a hair past the threshold from it: every box of
// the cap comes within reach of the cluster, so the weld compares every pair and charges
// the meter for them as it goes; a bound below that stops it, leaving the mesh as it was.
TEST(WeldVertices, ChargesTheMeterForThePairsItComparesAndStopsPastItsBound)
{
    constexpr int kCluster = 20, kCap = 30;
    TMeshData source;
    for (int i = 0; i < kCluster; ++i)
        for (int j = 0; j < kCluster; ++j)
            source.AddVertex(At(TVec3{2 + 2.4e-7f * static_cast<float>(i), 2,
                                      2 + 2.4e-7f * static_cast<float>(j)}));
    AddCap(source, {2, 2, 2}, 1.0001f, kCap, 0.5);
    for (int32_t i = 0; i + 2 < static_cast<int32_t>(source.Vertices.size()); i += 3)
        source.AddTriangle(i, i + 1, i + 2);
    source.RebuildEdges();
    const TMeshData expected =
        vertex_weld_reference::ReferenceWeldVertices(source, 1.0f, true, false, true);
    ASSERT_EQ(expected.Vertices.size(), 2u);

    TWorkMeter meter;
    TMeshData welded = source;
    WeldVertices(welded, 1.0f, true, false, true, &meter);
    EXPECT_EQ(welded.Vertices, expected.Vertices);
    EXPECT_EQ(welded.Faces, expected.Faces);
    const int64_t pairs = int64_t{kCluster} * kCluster * kCap * kCap;
    EXPECT_GE(meter.Used(), pairs);

    TWorkMeter bounded(pairs / 4);
    TMeshData stopped = source;
    EXPECT_THROW(WeldVertices(stopped, 1.0f, true, false, true, &bounded), EWorkLimitReached);
    EXPECT_LT(bounded.Used(), pairs / 2);  // stopped as it went, not at the end
    EXPECT_EQ(stopped.Vertices, source.Vertices);
    EXPECT_EQ(stopped.Faces, source.Faces);

    // The modifier welds with the meter of its evaluation: past the bound the step fails,
    // named.
    TModifierStack stack;
    auto weld = std::make_unique<TVertexWeldModifier>();
    weld->SetThreshold(1.0f);
    stack.Add(std::move(weld));
    TWorkMeter evaluation(pairs / 4);
    TModifierEvalContext context;
    context.Meter = &evaluation;
    TModifierEvaluationResult result;
    EXPECT_FALSE(TModifierEvaluator().Evaluate(&source, stack, context, result));
    EXPECT_EQ(result.FailedTypeId, "vertex_weld");
    EXPECT_TRUE(evaluation.Exhausted());
}

}  // namespace
