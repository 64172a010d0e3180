// The edge rebuild against the bucket-and-mark rebuild it replaced, bit for bit, over a
// table of meshes (closed, open, separate faces, non-manifold, damaged): the order of the list is
// relied on by the edge selections and the saved files.
#include "base/uMesh.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

// The former rebuild as the oracle: a counting sort of the pairs by lower
// corner straight into the edge array, a mark per upper corner to drop repeats, then each
// bucket's survivors sorted.
template <class TVisit>
void OracleCornerPairs(const std::vector<TMeshFace>& Faces, size_t n, TVisit&& Visit)
{
    auto inRange = [n](int32_t i) { return i >= 0 && static_cast<size_t>(i) < n; };
    for (const TMeshFace& f : Faces) {
        const int32_t count = std::clamp(f.Count, 0, 4);
        for (int32_t k = 0; k < count; ++k) {
            const int32_t a = f.Indices[k];
            if (!inRange(a))
                continue;
            const int32_t b = f.Indices[k + 1 < count ? k + 1 : 0];
            if (!inRange(b) || b == a)
                continue;
            Visit(static_cast<uint32_t>(std::min(a, b)), static_cast<uint32_t>(std::max(a, b)));
        }
    }
}

std::vector<TMeshEdge> OracleEdges(const TMeshData& m)
{
    std::vector<TMeshEdge> edges;
    const size_t n = m.Vertices.size();
    if (n == 0 || m.Faces.empty())
        return edges;
    std::vector<uint32_t> start(n + 1, 0);
    OracleCornerPairs(m.Faces, n, [&](uint32_t lo, uint32_t) { ++start[lo]; });
    uint32_t total = 0;
    for (size_t v = 0; v < n; ++v)
        start[v] = total += start[v];
    start[n] = total;
    edges.resize(total);
    OracleCornerPairs(m.Faces, n, [&](uint32_t lo, uint32_t hi) {
        edges[--start[lo]] = {static_cast<int32_t>(lo), static_cast<int32_t>(hi)};
    });
    std::vector<uint32_t> seenBy(n, 0);
    size_t write = 0;
    for (size_t v = 0; v < n; ++v) {
        TMeshEdge* out = edges.data() + write;
        const uint32_t tag = static_cast<uint32_t>(v) + 1;
        uint32_t kept = 0;
        for (uint32_t i = start[v]; i < start[v + 1]; ++i) {
            const int32_t upper = edges[i].V1;
            const bool fresh = seenBy[static_cast<size_t>(upper)] != tag;
            seenBy[static_cast<size_t>(upper)] = tag;
            out[kept] = edges[i];
            kept += fresh;
        }
        std::sort(out, out + kept,
                  [](const TMeshEdge& a, const TMeshEdge& b) { return a.V1 < b.V1; });
        write += kept;
    }
    edges.resize(write);
    return edges;
}

void AddVertices(TMeshData& m, int count)
{
    for (int i = 0; i < count; ++i)
        m.AddVertex({{float(i), 0, 0}, {0, 1, 0}, {}, {}});
}

// A face with any corner count and indices, as a damaged mesh may hold.
void AddRawFace(TMeshData& m, int32_t Count, std::array<int32_t, 4> Indices)
{
    TMeshFace f;
    f.Count = Count;
    f.Indices = Indices;
    m.Faces.push_back(f);
}

// A w x h grid of vertices as quads, or as two triangles a quad.
void Grid(TMeshData& m, int w, int h, bool Triangles)
{
    AddVertices(m, w * h);
    for (int i = 0; i + 1 < h; ++i)
        for (int j = 0; j + 1 < w; ++j) {
            const int a = i * w + j;
            if (Triangles) {
                m.AddTriangle(a, a + 1, a + w + 1);
                m.AddTriangle(a, a + w + 1, a + w);
            } else {
                m.AddQuad(a, a + 1, a + w + 1, a + w);
            }
        }
}

// Corner counts and indices at random, bad ones included, over few or many vertices.
void RandomFaces(TMeshData& m, int Vertices, int Faces, unsigned Seed)
{
    AddVertices(m, Vertices);
    std::mt19937 rng(Seed);
    std::uniform_int_distribution<int32_t> index(-2, Vertices + 1);
    std::uniform_int_distribution<int32_t> count(-1, 6);
    for (int i = 0; i < Faces; ++i)
        AddRawFace(m, rng() % 4 == 0 ? count(rng) : 3 + int32_t(rng() % 2),
                   {index(rng), index(rng), index(rng), index(rng)});
}

struct TEdgeCase {
    std::string Name;
    std::function<void(TMeshData&)> Make;
};

std::vector<TEdgeCase> EdgeCases()
{
    std::vector<TEdgeCase> cases = {
        {"empty", [](TMeshData&) {}},
        {"faces without vertices", [](TMeshData& m) { m.AddQuad(0, 1, 2, 3); }},
        {"vertices without faces", [](TMeshData& m) { AddVertices(m, 5); }},
        {"one triangle",
         [](TMeshData& m) {
             AddVertices(m, 3);
             m.AddTriangle(2, 0, 1);
         }},
        {"one quad",
         [](TMeshData& m) {
             AddVertices(m, 4);
             m.AddQuad(3, 1, 0, 2);
         }},
        {"quad grid (boundary edges)", [](TMeshData& m) { Grid(m, 23, 17, false); }},
        {"triangle grid", [](TMeshData& m) { Grid(m, 17, 23, true); }},
        {"one-row grid", [](TMeshData& m) { Grid(m, 40, 2, false); }},
        {"mixed triangles and quads",
         [](TMeshData& m) {
             Grid(m, 9, 9, false);
             for (int i = 0; i + 10 < 81; i += 3)
                 m.AddTriangle(i, i + 10, i + 1);
         }},
        {"cube (no corner shared)", [](TMeshData& m) { m.BuildCube(); }},
        {"separate triangles (every pair its own edge)",
         [](TMeshData& m) {
             AddVertices(m, 3000);
             for (int i = 0; i < 3000; i += 3)
                 m.AddTriangle(i + 2, i, i + 1);
         }},
        {"sphere", [](TMeshData& m) { m.BuildSphere(); }},
        {"cylinder", [](TMeshData& m) { m.BuildCylinder(); }},
        {"cone (fans past sixteen corners)", [](TMeshData& m) { m.BuildCone(300); }},
        {"torus (closed: two pairs an edge)", [](TMeshData& m) { m.BuildTorus(31, 17); }},
        {"plane", [](TMeshData& m) { m.BuildPlane(); }},
        {"skybox", [](TMeshData& m) { m.BuildSkybox(); }},
        {"welded closed box",
         [](TMeshData& m) {
             AddVertices(m, 8);
             m.AddQuad(0, 1, 2, 3);
             m.AddQuad(7, 6, 5, 4);
             m.AddQuad(0, 4, 5, 1);
             m.AddQuad(1, 5, 6, 2);
             m.AddQuad(2, 6, 7, 3);
             m.AddQuad(3, 7, 4, 0);
         }},
        {"fan around the last vertex",
         [](TMeshData& m) {
             AddVertices(m, 2001);
             for (int i = 0; i < 2000; ++i)
                 m.AddTriangle(2000, i, (i + 1) % 2000);
         }},
        {"fin: one edge in many faces (more pairs than two an edge)",
         [](TMeshData& m) {
             AddVertices(m, 40);
             for (int i = 2; i < 40; ++i)
                 m.AddTriangle(0, 1, i);
         }},
        {"the same quad three times",
         [](TMeshData& m) {
             AddVertices(m, 6);
             for (int i = 0; i < 3; ++i)
                 m.AddQuad(5, 2, 4, 1);
         }},
        {"repeated and equal corners",
         [](TMeshData& m) {
             AddVertices(m, 5);
             m.AddTriangle(3, 3, 0);
             m.AddTriangle(4, 4, 4);
             m.AddQuad(1, 2, 2, 1);
             m.AddQuad(0, 0, 0, 0);
         }},
        {"only degenerate faces (no pair at all)",
         [](TMeshData& m) {
             AddVertices(m, 3);
             m.AddTriangle(1, 1, 1);
             m.AddQuad(2, 2, 2, 2);
         }},
        {"corners out of range",
         [](TMeshData& m) {
             AddVertices(m, 4);
             m.AddQuad(0, 7, -1, 2);
             m.AddTriangle(-5, 3, 4);
             m.AddQuad(3, 2, 1, 1000000);
             AddRawFace(m, 4, {3, 1, -1, 0});  // a triangle's marker read as a corner
         }},
        {"corner counts outside three and four",
         [](TMeshData& m) {
             AddVertices(m, 6);
             AddRawFace(m, 0, {0, 1, 2, 3});
             AddRawFace(m, 1, {1, 2, 3, 4});
             AddRawFace(m, 2, {4, 5, 0, 1});
             AddRawFace(m, 5, {5, 3, 1, 0});
             AddRawFace(m, -3, {2, 3, 4, 5});
         }},
    };
    for (unsigned seed = 1; seed <= 12; ++seed)
        for (const auto& [vertices, faces] :
             std::vector<std::pair<int, int>>{{1, 20}, {2, 40}, {7, 300}, {300, 900}, {5000, 4000}})
            cases.push_back({"random " + std::to_string(vertices) + " vertices, " +
                                 std::to_string(faces) + " faces, seed " + std::to_string(seed),
                             [=](TMeshData& m) { RandomFaces(m, vertices, faces, seed); }});
    return cases;
}

}  // namespace

TEST(MeshEdges, RebuildGivesTheFormerListInTheSameOrderWithLittleRoomToSpare)
{
    for (const TEdgeCase& c : EdgeCases()) {
        SCOPED_TRACE(c.Name);
        TMeshData m;
        c.Make(m);
        const std::vector<TMeshEdge> expected = OracleEdges(m);
        m.RebuildEdges();
        EXPECT_EQ(m.Edges, expected);
        // The room held past the list stays small (it is built inside that room).
        EXPECT_LE(m.Edges.capacity(), m.Edges.size() + m.Edges.size() / 8 + 8);

        // Over a stale list, larger or smaller than the result.
        for (size_t stale : {expected.size() * 3 + 7, expected.size() / 2}) {
            m.Edges.assign(stale, TMeshEdge{-1, -1});
            m.RebuildEdges();
            EXPECT_EQ(m.Edges, expected) << "over " << stale << " stale edges";
            EXPECT_LE(m.Edges.capacity(), m.Edges.size() + m.Edges.size() / 8 + 8)
                << "over " << stale << " stale edges";
        }
    }
}
