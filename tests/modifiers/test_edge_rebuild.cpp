// The edge list: the rebuild against a plain set of corner pairs, and every modifier's
// output carrying the list a rebuild would give.
#include "base/uMesh.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <set>
#include <utility>
#include <vector>

namespace {

// The rule written out the slow way: every usable corner pair once, ordered.
std::vector<TMeshEdge> ReferenceEdges(const TMeshData& Mesh)
{
    std::set<std::pair<int32_t, int32_t>> pairs;
    const int32_t n = static_cast<int32_t>(Mesh.Vertices.size());
    for (const TMeshFace& f : Mesh.Faces) {
        const int32_t count = std::clamp(f.Count, 0, 4);
        for (int32_t k = 0; k < count; ++k) {
            const int32_t a = f.Indices[k], b = f.Indices[(k + 1) % count];
            if (a < 0 || a >= n || b < 0 || b >= n || a == b)
                continue;
            pairs.insert({std::min(a, b), std::max(a, b)});
        }
    }
    std::vector<TMeshEdge> edges;
    for (const auto& [lo, hi] : pairs)
        edges.push_back({lo, hi});
    return edges;
}

TEST(EdgeRebuild, MatchesTheSetOfCornerPairsOnRandomAndBrokenFaces)
{
    std::mt19937 random(11);
    for (int round = 0; round < 40; ++round) {
        const int n = 1 + static_cast<int>(random() % 60);
        TMeshData m;
        for (int i = 0; i < n; ++i)
            m.AddVertex(modtest::Vertex(0, 0, 0));
        std::uniform_int_distribution<int32_t> index(-2, n + 1);  // some out of range
        std::uniform_int_distribution<int32_t> count(-1, 6);      // some invalid counts
        const int faces = static_cast<int>(random() % 120);
        for (int f = 0; f < faces; ++f) {
            TMeshFace face;
            face.Count = count(random);
            for (int32_t& i : face.Indices)
                i = random() % 4 == 0 ? index(random) : static_cast<int32_t>(random() % n);
            m.Faces.push_back(face);
        }
        m.RebuildEdges();
        ASSERT_EQ(m.Edges, ReferenceEdges(m)) << round;
    }
}

TEST(EdgeRebuild, LargeFanAndEmptyMeshes)
{
    // One vertex shared by hundreds of triangles: a long list for a single lower corner.
    TMeshData fan;
    for (int i = 0; i < 300; ++i)
        fan.AddVertex(modtest::Vertex(0, 0, 0));
    for (int i = 1; i < 299; ++i)
        fan.AddTriangle(0, 299 - i, 300 - i);
    fan.RebuildEdges();
    EXPECT_EQ(fan.Edges, ReferenceEdges(fan));
    EXPECT_EQ(fan.Edges.size(), 299u + 298u);

    TMeshData none = fan;
    none.Vertices.clear();
    none.RebuildEdges();
    EXPECT_TRUE(none.Edges.empty());
    TMeshData points = fan;
    points.Faces.clear();
    points.RebuildEdges();
    EXPECT_TRUE(points.Edges.empty());
}

// Whatever a modifier does to the faces, its output's edges are those of a rebuild, also
// when the source's edge list was never built.
TEST(EdgeRebuild, EveryModifierOutputCarriesTheRebuiltEdges)
{
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    TMeshData built = modtest::Grid(4, 1);
    for (TMeshVertex& v : built.Vertices)
        v.Position.Y = 0.1f * v.Position.X * v.Position.Z + 0.05f * v.Position.X;
    TMeshData unbuilt = built;
    unbuilt.Edges.clear();
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i) {
        auto modifier = CreateModifierByIndex(i);
        ASSERT_TRUE(modifier);
        for (const TMeshData* source : {&built, &unbuilt}) {
            TMeshData out;
            modifier->Apply(*source, out);
            EXPECT_EQ(out.Edges, ReferenceEdges(out))
                << modifier->GetTypeId() << (source == &built ? "" : " (unbuilt source)");
        }
    }
}

}  // namespace
