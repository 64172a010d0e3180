// Every modifier's own prediction of its output, which the evaluator checks before a step
// runs; the work charged by the loops that can run longer than their input and output; and
// the plain routines that the faster slice, neighbour lists and relax passes must match.
#include "base/uWorkMeter.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierMeshQuality.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "tests/document/random_modifier_settings.h"
#include "tests/document/random_values.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace {

// Equal bit for bit (a plain == takes -0 for 0).
template <class T>
bool SameBytes(const std::vector<T>& A, const std::vector<T>& B)
{
    return A.size() == B.size() &&
           (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(T)) == 0);
}

TMeshData Built(const std::function<void(TMeshData&)>& Build)
{
    TMeshData m;
    Build(m);
    return m;
}

TMeshData WithoutEdges(TMeshData Mesh)
{
    Mesh.Edges.clear();
    return Mesh;
}

// A mesh as a step in the middle of a stack receives it: subdivided, its edge list never
// rebuilt (the evaluator rebuilds it once at the end).
TMeshData Subdivided(const TMeshData& Source, int32_t Levels)
{
    TSubdivideModifier subdivide;
    subdivide.SetLevels(Levels);
    TMeshData out;
    subdivide.ApplyWithInfo(TModifierEvalContext{}, Source, out);
    return out;
}

struct TSample {
    std::string Name;
    TMeshData Mesh;
    bool Degenerate = false;  // faces with a repeated corner
};

// A grid with a quad and a triangle that repeat a corner.
TMeshData DegenerateGrid()
{
    TMeshData m = modtest::Grid(3, 1);
    m.AddQuad(0, 1, 1, 5);
    m.AddTriangle(6, 6, 6);
    m.AddQuad(2, 7, 2, 3);
    m.RebuildEdges();
    return m;
}

// Closed and open, with and without an edge list, triangles and quads, a fan of high
// valence. None has a degenerate face.
std::vector<TSample> Samples()
{
    const TMeshData sphere = Built([](TMeshData& m) { m.BuildSphere(8, 5); });
    std::vector<TSample> s;
    s.push_back({"closed cube", modtest::ClosedCube()});
    s.push_back({"closed cube, no edges", WithoutEdges(modtest::ClosedCube())});
    s.push_back({"open grid", modtest::Grid(4, 1)});
    s.push_back({"open grid, no edges", WithoutEdges(modtest::Grid(4, 1))});
    s.push_back({"sphere", sphere});
    s.push_back({"sphere after subdivide", Subdivided(sphere, 1)});
    s.push_back({"cone", Built([](TMeshData& m) { m.BuildCone(12); })});
    s.push_back({"built-in cube", Built([](TMeshData& m) { m.BuildCube(); })});
    s.push_back({"empty", TMeshData{}});
    s.push_back({"grid with degenerate faces", DegenerateGrid(), true});
    return s;
}

// The modifiers whose prediction is only a bound: faces or vertices they drop or merge,
// or loops they may fail to fill, are found only by running them. Subdivide takes a face
// that meets one edge twice for one of distinct edges.
bool PredictsABound(const std::string& TypeId, const TSample& Sample)
{
    return TypeId == "optimize" || TypeId == "vertex_weld" || TypeId == "cap_holes" ||
           (TypeId == "subdivide" && Sample.Degenerate);
}

class ModifierEstimates : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearModifierRegistry();
        RegisterBuiltInModifiers();
    }
};

TEST_F(ModifierEstimates, NeverBelowTheOutputAndExactWhereClaimed)
{
    TRandomValues random(4207);
    TRandomModifierSettings settings(random);
    const std::vector<TSample> samples = Samples();
    ASSERT_GT(ModifierDescriptorCount(), 30);
    for (int32_t index = 0; index < ModifierDescriptorCount(); ++index) {
        for (int trial = 0; trial < 12; ++trial) {
            std::unique_ptr<TModifier> modifier = CreateModifierByIndex(index);
            ASSERT_TRUE(modifier);
            const std::string type = modifier->GetTypeId();
            if (trial > 0) {  // the defaults first
                ASSERT_TRUE(settings.SetParameters(*modifier)) << type;
            }
            for (const TSample& sample : samples) {
                const std::string where =
                    type + " on " + sample.Name + ", trial " + std::to_string(trial);
                int64_t v = -2, f = -2, e = -2;
                ASSERT_TRUE(modifier->EstimateOutputSize(sample.Mesh, v, f, e)) << where;
                TModifierEvalContext context;
                context.Time = random.Real(0, 10);
                TMeshData out;
                modifier->ApplyWithInfo(context, sample.Mesh, out);
                const auto realV = static_cast<int64_t>(out.Vertices.size());
                const auto realF = static_cast<int64_t>(out.Faces.size());
                if (PredictsABound(type, sample)) {
                    EXPECT_GE(v, realV) << where;
                    EXPECT_GE(f, realF) << where;
                } else {
                    EXPECT_EQ(v, realV) << where;
                    EXPECT_EQ(f, realF) << where;
                }
            }
        }
    }
}

// Faces with a side between equal corners are dropped by every pass, and the prediction
// leaves them out: exact, where counting every face would grow fourfold a level.
TEST_F(ModifierEstimates, SubdivideCountsOnlyTheFacesItKeeps)
{
    TMeshData m = modtest::Grid(3, 1);
    m.AddQuad(0, 1, 1, 5);
    m.AddTriangle(6, 6, 6);
    m.AddTriangle(9, 10, 9);
    m.Edges.clear();
    for (int32_t levels : {1, 2, 4}) {
        TSubdivideModifier subdivide;
        subdivide.SetLevels(levels);
        int64_t v, f, e;
        ASSERT_TRUE(subdivide.EstimateOutputSize(m, v, f, e));
        TMeshData out;
        subdivide.Apply(m, out);
        EXPECT_EQ(v, static_cast<int64_t>(out.Vertices.size())) << levels;
        EXPECT_EQ(f, static_cast<int64_t>(out.Faces.size())) << levels;
        EXPECT_EQ(e, static_cast<int64_t>(out.Edges.size())) << levels;
    }
}

// A closed sphere after Subdivide holds no open edge, though the edge list it hands on is
// empty: the shell predicts no rim, and a stack whose real output is at the limits runs.
TEST_F(ModifierEstimates, ShellAfterSubdivideOnAClosedSpherePredictsNoRim)
{
    const TMeshData sphere = Built([](TMeshData& m) { m.BuildSphere(12, 8); });
    for (int32_t levels : {1, 2, 3}) {
        const TMeshData middle = Subdivided(sphere, levels);
        ASSERT_TRUE(middle.Edges.empty());
        TShellModifier shell;
        int64_t v, f, e;
        ASSERT_TRUE(shell.EstimateOutputSize(middle, v, f, e));
        EXPECT_EQ(v, 2 * static_cast<int64_t>(middle.Vertices.size())) << levels;
        EXPECT_EQ(f, 2 * static_cast<int64_t>(middle.Faces.size())) << levels;

        TModifierStack stack;
        auto subdivide = std::make_unique<TSubdivideModifier>();
        subdivide->SetLevels(levels);
        stack.Add(std::move(subdivide));
        stack.Add(std::make_unique<TShellModifier>());
        TModifierEvalContext context;
        context.MaxVertices = v;
        context.MaxFaces = f;
        TModifierEvaluationResult result;
        ASSERT_TRUE(TModifierEvaluator().Evaluate(&sphere, stack, context, result))
            << levels << ": " << result.Message;
        EXPECT_EQ(static_cast<int64_t>(result.Mesh->Vertices.size()), v);
        EXPECT_EQ(static_cast<int64_t>(result.Mesh->Faces.size()), f);
        // One face fewer allowed, and the shell is refused before it runs.
        context.MaxFaces = f - 1;
        EXPECT_FALSE(TModifierEvaluator().Evaluate(&sphere, stack, context, result));
        EXPECT_EQ(result.FailedTypeId, "shell");
        EXPECT_NE(result.Message.find("output exceeds limits"), std::string::npos);
    }
}

// ---- slice: the plain clipping of every face into points keyed by text ----

void PlainEmit(TMeshData& Dest, const TSlicePointArray& Points,
               std::map<std::string, int32_t>& Keys, int32_t TexId)
{
    std::vector<int32_t> indices;
    std::vector<TVec2> uvs;
    for (const TSlicePoint& p : Points) {
        std::string key;
        if (p.SourceIndex >= 0)
            key = "v:" + std::to_string(p.SourceIndex);
        else if (p.EdgeA >= 0 && p.EdgeB >= 0)
            key = "e:" + std::to_string(p.EdgeA) + ":" + std::to_string(p.EdgeB);
        else
            continue;
        auto it = Keys.find(key);
        if (it == Keys.end()) {
            it = Keys.emplace(key, static_cast<int32_t>(Dest.Vertices.size())).first;
            Dest.Vertices.push_back(p.Vertex);
        }
        if (!indices.empty() && indices.back() == it->second)
            continue;
        indices.push_back(it->second);
        uvs.push_back(p.FaceUV);
    }
    if (indices.size() > 1 && indices.back() == indices.front()) {
        indices.pop_back();
        uvs.pop_back();
    }
    const size_t n = indices.size();
    if (n == 3)
        AddTriangleFace(Dest, indices[0], indices[1], indices[2], uvs[0], uvs[1], uvs[2], TexId);
    else if (n == 4)
        AddQuadFace(Dest, indices[0], indices[1], indices[2], indices[3], uvs[0], uvs[1], uvs[2],
                    uvs[3], TexId);
    else if (n >= 5)
        for (size_t k = 1; k + 1 < n; ++k)
            AddTriangleFace(Dest, indices[0], indices[k], indices[k + 1], uvs[0], uvs[k],
                            uvs[k + 1], TexId);
}

TMeshData PlainSlice(const TSliceModifier& Slice, const TMeshData& Source)
{
    TMeshData dest;
    std::map<std::string, int32_t> keys;
    for (const TMeshFace& f : Source.Faces) {
        bool readable = f.Count == 3 || f.Count == 4;
        for (int32_t k = 0; readable && k < f.Count; ++k)
            readable =
                f.Indices[k] >= 0 && f.Indices[k] < static_cast<int32_t>(Source.Vertices.size());
        if (!readable)
            continue;
        TSlicePointArray polygon;
        for (int32_t k = 0; k < f.Count; ++k) {
            TSlicePoint p;
            p.Vertex = Source.Vertices[f.Indices[k]];
            p.FaceUV = f.UVs[k];
            p.SourceIndex = f.Indices[k];
            polygon.push_back(p);
        }
        if (Slice.GetKeepPositive())
            PlainEmit(dest, Slice.ClipSlicePolygon(polygon, true), keys, f.TexId);
        if (Slice.GetKeepNegative())
            PlainEmit(dest, Slice.ClipSlicePolygon(polygon, false), keys, f.TexId);
    }
    dest.RebuildEdges();
    return dest;
}

// A bumpy grid whose vertices sit on whole and half units, so that planes through them
// meet vertices exactly, within Epsilon and between; with UVs, triangles and a bad face.
TMeshData BumpyGrid(TRandomValues& R, int N)
{
    TMeshData m = modtest::Grid(N, static_cast<float>(N) / 2);
    for (TMeshVertex& v : m.Vertices) {
        v.Position.Y = static_cast<float>(R.Int(-2, 2)) * 0.5f + (R.Chance(0.2) ? 1e-6f : 0);
        v.UV = {R.Real(0, 1), R.Real(0, 1)};
    }
    for (TMeshFace& f : m.Faces)
        for (int k = 0; k < 4; ++k)
            f.UVs[k] = {R.Real(0, 1), R.Real(0, 1)};
    m.AddTriangle(0, N + 2, 1);
    m.Faces.push_back(m.Faces[0]);
    m.Faces.back().Count = 5;
    m.RebuildEdges();
    return m;
}

TEST(SliceOracle, TheApplyIsThePlainClippingOfEveryFace)
{
    TRandomValues random(77);
    const TMeshData sphere = Built([](TMeshData& m) { m.BuildSphere(10, 6); });
    for (int trial = 0; trial < 120; ++trial) {
        const TMeshData mesh = trial % 3 == 0 ? sphere : BumpyGrid(random, 6);
        TSliceModifier slice;
        slice.SetAxis(random.Int(0, 2));
        slice.SetOffset(random.Chance(0.5) ? static_cast<float>(random.Int(-4, 4)) * 0.5f
                                           : random.Real(-2, 2));
        slice.SetEpsilon(random.Chance(0.5) ? 1e-5f : random.Real(0, 0.3f));
        slice.SetKeepNegative(random.Chance(0.5));
        if (slice.GetKeepNegative())
            slice.SetKeepPositive(random.Chance(0.5));
        TMeshData out;
        slice.Apply(mesh, out);
        const TMeshData plain = PlainSlice(slice, mesh);
        ASSERT_TRUE(SameBytes(out.Vertices, plain.Vertices)) << trial;
        ASSERT_TRUE(SameBytes(out.Faces, plain.Faces)) << trial;
        EXPECT_TRUE(SameBytes(out.Edges, plain.Edges)) << trial;
        int64_t v, f, e;
        ASSERT_TRUE(slice.EstimateOutputSize(mesh, v, f, e));
        EXPECT_EQ(v, static_cast<int64_t>(out.Vertices.size())) << trial;
        EXPECT_EQ(f, static_cast<int64_t>(out.Faces.size())) << trial;
    }
}

// ---- edge lists, neighbour lists and relax passes against their plain forms ----

// The edge list as first written: each side looked up in a map of the edges so far.
bool PlainEdgeList(const TMeshData& Mesh, TTopologyEdgeArray& Edges)
{
    Edges.clear();
    std::map<std::pair<int32_t, int32_t>, size_t> found;
    const auto n = static_cast<int32_t>(Mesh.Vertices.size());
    for (size_t fi = 0; fi < Mesh.Faces.size(); ++fi) {
        const TMeshFace& f = Mesh.Faces[fi];
        if (f.Count < 3 || f.Count > 4)
            return false;
        for (int32_t k = 0; k < f.Count; ++k) {
            const int32_t a = f.Indices[k], b = f.Indices[(k + 1) % f.Count];
            if (a < 0 || b < 0 || a >= n || b >= n || a == b)
                continue;
            const auto [it, isNew] =
                found.try_emplace({std::min(a, b), std::max(a, b)}, Edges.size());
            if (isNew) {
                TTopologyEdge e;
                e.V0 = std::min(a, b);
                e.V1 = std::max(a, b);
                e.FaceA = static_cast<int32_t>(fi);
                e.CornerA = k;
                e.FaceCount = 1;
                Edges.push_back(e);
            } else if (++Edges[it->second].FaceCount == 2) {
                Edges[it->second].FaceB = static_cast<int32_t>(fi);
                Edges[it->second].CornerB = k;
            }
        }
    }
    return true;
}

// Quads that share no corner: every side is an edge of its own.
TMeshData SeparateQuads(int Count)
{
    TMeshData m;
    for (int i = 0; i < Count; ++i) {
        const auto base = static_cast<int32_t>(m.Vertices.size());
        for (int k = 0; k < 4; ++k)
            m.AddVertex(modtest::Vertex(static_cast<float>(i), static_cast<float>(k & 1),
                                        static_cast<float>(k >> 1)));
        m.AddQuad(base, base + 1, base + 3, base + 2);
    }
    return m;
}

void PlainNeighbours(const TMeshData& Mesh, TIntegerArrayList& Neighbours,
                     std::vector<bool>& IsBoundary)
{
    const auto n = static_cast<int32_t>(Mesh.Vertices.size());
    Neighbours.assign(Mesh.Vertices.size(), TIntegerArray{});
    std::fill(IsBoundary.begin(), IsBoundary.end(), false);
    TTopologyEdgeArray edges;
    PlainEdgeList(Mesh, edges);
    for (const TTopologyEdge& e : edges) {
        AddUniqueInt(Neighbours[e.V0], e.V1);
        AddUniqueInt(Neighbours[e.V1], e.V0);
        for (const int32_t end : {e.V0, e.V1})
            if (e.FaceCount == 1 && static_cast<size_t>(end) < IsBoundary.size())
                IsBoundary[end] = true;
    }
    for (const TMeshFace& f : Mesh.Faces) {
        if (f.Count < 3 || f.Count > 4)
            continue;
        for (int32_t k = 0; k < f.Count; ++k) {
            const int32_t a = f.Indices[k], b = f.Indices[(k + 1) % f.Count];
            if (a < 0 || b < 0 || a >= n || b >= n || a == b)
                continue;
            AddUniqueInt(Neighbours[a], b);
            AddUniqueInt(Neighbours[b], a);
        }
    }
}

// Faces over few vertices: shared, repeated and reversed sides, corners out of range, and
// a face of a bad corner count part-way, after which sides are no longer edges.
TMeshData TangledMesh(TRandomValues& R)
{
    TMeshData m;
    const int count = R.Int(3, 12);
    for (int i = 0; i < count; ++i)
        m.AddVertex(modtest::Vertex(R.Real(-1, 1), R.Real(-1, 1), R.Real(-1, 1)));
    const int faces = R.Int(1, 25);
    for (int i = 0; i < faces; ++i) {
        TMeshFace f;
        f.Count = R.Chance(0.1) ? R.Int(0, 6) : R.Int(3, 4);
        for (int k = 0; k < 4; ++k)
            f.Indices[k] = R.Chance(0.05) ? R.Int(-2, count + 2) : R.Int(0, count - 1);
        m.Faces.push_back(f);
    }
    return m;
}

std::vector<TMeshData> OracleMeshes(TRandomValues& Random)
{
    std::vector<TMeshData> meshes = {
        Built([](TMeshData& m) { m.BuildCone(200); }),
        Built([](TMeshData& m) { m.BuildSphere(9, 4); }),
        Subdivided(Built([](TMeshData& m) { m.BuildTorus(12, 8); }), 2), modtest::Grid(5, 1),
        SeparateQuads(300)};
    for (int i = 0; i < 300; ++i)
        meshes.push_back(TangledMesh(Random));
    return meshes;
}

TEST(EdgeListOracle, TheEdgesAreThePlainOnesInTheSameOrder)
{
    TRandomValues random(8);
    const std::vector<TMeshData> meshes = OracleMeshes(random);
    for (size_t i = 0; i < meshes.size(); ++i) {
        TTopologyEdgeArray fast, plain;
        const bool whole = BuildEdgeList(meshes[i], fast);
        ASSERT_EQ(whole, PlainEdgeList(meshes[i], plain)) << i;
        ASSERT_EQ(fast, plain) << i;
    }
}

TEST(BoundaryOracle, TheOpenEdgesAreThePlainOnesInTheSameOrder)
{
    TRandomValues random(9);
    const std::vector<TMeshData> meshes = OracleMeshes(random);
    for (size_t i = 0; i < meshes.size(); ++i) {
        const TMeshData& m = meshes[i];
        TTopologyEdgeArray edges;
        const bool whole = PlainEdgeList(m, edges);
        TBoundaryEdgeArray plain;
        for (const TTopologyEdge& e : edges) {
            if (!whole || e.FaceCount != 1)
                continue;
            const TMeshFace& f = m.Faces[e.FaceA];
            plain.push_back({f.Indices[e.CornerA], f.Indices[(e.CornerA + 1) % f.Count], e.FaceA,
                             e.CornerA, f.TexId});
        }
        TBoundaryEdgeArray fast{{1, 2, 3, 0, 0}};
        ASSERT_EQ(FindBoundaryEdges(m, fast), whole) << i;
        ASSERT_EQ(fast, plain) << i;
    }
}

TEST(NeighbourOracle, TheListsAreThePlainOnesInTheSameOrder)
{
    TRandomValues random(5);
    const std::vector<TMeshData> meshes = OracleMeshes(random);
    for (size_t i = 0; i < meshes.size(); ++i) {
        // Marks shorter than, as long as and longer than the vertex list.
        const size_t marks = meshes[i].Vertices.size() + static_cast<size_t>(random.Int(-2, 2));
        std::vector<bool> fast(marks, true), plain(marks, true);
        TIntegerArrayList fastLists, plainLists;
        BuildVertexNeighbours(meshes[i], fastLists, fast);
        PlainNeighbours(meshes[i], plainLists, plain);
        ASSERT_EQ(fastLists, plainLists) << i;
        ASSERT_EQ(fast, plain) << i;
    }
}

// The relax passes as first written: each vertex's mean over its list of neighbours.
void PlainRelax(TMeshData& Mesh, float Amount, int32_t Iterations, bool PreserveBoundary)
{
    if (Iterations <= 0 || Amount == 0)
        return;
    TIntegerArrayList neighbours;
    std::vector<bool> boundary(Mesh.Vertices.size(), false);
    BuildVertexNeighbours(Mesh, neighbours, boundary);
    std::vector<TVec3> current, next;
    for (const TMeshVertex& v : Mesh.Vertices)
        current.push_back(v.Position);
    for (int32_t pass = 0; pass < Iterations; ++pass) {
        next = current;
        for (size_t i = 0; i < current.size(); ++i) {
            if (neighbours[i].empty() || (PreserveBoundary && boundary[i]))
                continue;
            TVec3 sum{0, 0, 0};
            for (int32_t w : neighbours[i])
                sum = Vec3Add(sum, current[w]);
            const TVec3 average = Vec3Scale(sum, 1.0f / static_cast<float>(neighbours[i].size()));
            next[i] = Vec3Add(current[i], Vec3Scale(Vec3Sub(average, current[i]), Amount));
        }
        current = next;
    }
    for (size_t i = 0; i < current.size(); ++i)
        Mesh.Vertices[i].Position = current[i];
    RecomputeVertexNormals(Mesh);
    Mesh.RebuildEdges();
}

TEST(RelaxOracle, ThePassesAreThePlainOnes)
{
    TRandomValues random(11);
    for (int trial = 0; trial < 40; ++trial) {
        TMeshData mesh =
            trial % 2 ? Built([](TMeshData& m) { m.BuildCone(30); }) : BumpyGrid(random, 5);
        for (TMeshVertex& v : mesh.Vertices)
            v.Position.X += random.Real(-0.1f, 0.1f);
        const float amount = random.Real(0, 1);
        const int32_t iterations = random.Int(1, 6);
        const bool preserve = random.Chance(0.5);
        TMeshData fast = mesh, plain = mesh;
        RelaxMeshPositions(fast, amount, iterations, preserve);
        PlainRelax(plain, amount, iterations, preserve);
        ASSERT_TRUE(SameBytes(fast.Vertices, plain.Vertices)) << trial;
    }
}

// Optimize as first written: the keys met so far in an ordered set.
TMeshData PlainOptimize(const TOptimizeModifier& Optimize, const TMeshData& Source)
{
    TMeshData dest;
    const size_t count = Source.Vertices.size();
    std::vector<bool> used(count, false);
    std::set<std::string> seen;
    std::vector<TMeshFace> faces;
    for (const TMeshFace& f : Source.Faces) {
        bool valid = f.Count == 3 || f.Count == 4;
        for (int32_t k = 0; valid && k < f.Count; ++k)
            valid = f.Indices[k] >= 0 && static_cast<size_t>(f.Indices[k]) < count;
        if (!valid)
            continue;
        if (Optimize.GetRemoveDuplicateFaces() && !seen.insert(FaceIndexKey(f)).second)
            continue;
        if (Optimize.GetMinimumArea() > 0 &&
            PolygonFaceArea(Source, f) <= Optimize.GetMinimumArea())
            continue;
        for (int32_t k = 0; k < f.Count; ++k)
            used[f.Indices[k]] = true;
        faces.push_back(f);
    }
    if (Optimize.GetRemoveUnusedVertices()) {
        std::vector<int32_t> remap(count, -1);
        for (size_t i = 0; i < count; ++i)
            if (used[i]) {
                remap[i] = static_cast<int32_t>(dest.Vertices.size());
                dest.Vertices.push_back(Source.Vertices[i]);
            }
        for (TMeshFace& f : faces)
            for (int32_t k = 0; k < f.Count; ++k)
                f.Indices[k] = remap[f.Indices[k]];
    } else {
        dest.Vertices = Source.Vertices;
    }
    dest.Faces = std::move(faces);
    RecomputeVertexNormals(dest);
    dest.RebuildEdges();
    return dest;
}

TEST(OptimizeOracle, TheApplyIsThePlainOne)
{
    TRandomValues random(21);
    std::vector<TMeshData> meshes = OracleMeshes(random);
    // Every face again, some turned or wound the other way.
    TMeshData doubled = Built([](TMeshData& m) { m.BuildSphere(9, 5); });
    for (size_t i = 0, n = doubled.Faces.size(); i < n; ++i) {
        TMeshFace f = doubled.Faces[i];
        if (i % 3 == 0)
            ReverseFaceWinding(f);
        doubled.Faces.push_back(f);
    }
    meshes.push_back(doubled);
    for (size_t i = 0; i < meshes.size(); ++i) {
        TOptimizeModifier optimize;
        optimize.SetRemoveDuplicateFaces(random.Chance(0.8));
        optimize.SetRemoveUnusedVertices(random.Chance(0.5));
        optimize.SetMinimumArea(random.Chance(0.5) ? 0.0f : random.Real(0, 0.05f));
        TMeshData out;
        optimize.Apply(meshes[i], out);
        const TMeshData plain = PlainOptimize(optimize, meshes[i]);
        ASSERT_TRUE(SameBytes(out.Vertices, plain.Vertices)) << i;
        ASSERT_TRUE(SameBytes(out.Faces, plain.Faces)) << i;
    }
}

// ---- the work meter ----

// The units of one smoothing pass over Mesh: its moving vertices and their neighbours.
int64_t PassWork(const TMeshData& Mesh, bool PreserveBoundary)
{
    TIntegerArrayList neighbours;
    std::vector<bool> boundary(Mesh.Vertices.size(), false);
    BuildVertexNeighbours(Mesh, neighbours, boundary);
    int64_t moving = 0, visits = 0;
    for (size_t i = 0; i < neighbours.size(); ++i)
        if (!neighbours[i].empty() && !(PreserveBoundary && boundary[i])) {
            ++moving;
            visits += static_cast<int64_t>(neighbours[i].size());
        }
    return RelaxPassWork(moving, visits);
}

TEST(RelaxWorkMeter, EveryPassIsChargedBeforeItRuns)
{
    const TMeshData grid = modtest::Grid(20, 1);
    for (const bool preserve : {true, false}) {
        const int64_t pass = PassWork(grid, preserve);
        ASSERT_GT(pass, 0);
        TWorkMeter whole;
        TMeshData mesh = grid;
        RelaxMeshPositions(mesh, 0.5f, 7, preserve, &whole);
        EXPECT_EQ(whole.Used(), 7 * pass) << preserve;
        // Past a bound of two and a half passes the third pass is refused before it runs,
        // and the mesh is left as it was.
        TWorkMeter bounded(5 * pass / 2);
        mesh = grid;
        EXPECT_THROW(RelaxMeshPositions(mesh, 0.5f, 7, preserve, &bounded), EWorkLimitReached);
        EXPECT_EQ(bounded.Used(), 3 * pass) << preserve;
        EXPECT_TRUE(SameBytes(mesh.Vertices, grid.Vertices)) << preserve;
    }
    // Nothing to do costs nothing.
    TWorkMeter idle;
    TMeshData mesh = grid;
    RelaxMeshPositions(mesh, 0, 50, false, &idle);
    RelaxMeshPositions(mesh, 0.5f, 0, false, &idle);
    EXPECT_EQ(idle.Used(), 0);
}

// Smooth and relax at their most iterations, evaluated with the meter an opened file
// gets: a small bound stops the step and names it; a generous one runs it whole, equal to
// the run without a meter and charged one pass per iteration.
TEST(RelaxWorkMeter, AMeteredStackStopsAtASmallBoundAndRunsWholeAtAGenerousOne)
{
    const TMeshData sphere = Built([](TMeshData& m) { m.BuildSphere(40, 30); });
    const std::vector<std::function<std::unique_ptr<TModifier>(int32_t)>> makers = {
        [](int32_t iterations) {
            auto m = std::make_unique<TSmoothModifier>();
            m->SetIterations(iterations);
            return std::unique_ptr<TModifier>(std::move(m));
        },
        [](int32_t iterations) {
            auto m = std::make_unique<TRelaxModifier>();
            m->SetIterations(iterations);
            return std::unique_ptr<TModifier>(std::move(m));
        }};
    const int64_t pass = PassWork(sphere, true);
    for (const auto& make : makers) {
        const auto evaluate = [&](int32_t iterations, TWorkMeter* meter,
                                  TModifierEvaluationResult& result) {
            TModifierStack stack;
            stack.Add(make(iterations));
            TModifierEvalContext context;
            context.Meter = meter;
            return TModifierEvaluator().Evaluate(&sphere, stack, context, result);
        };
        TModifierEvaluationResult once, unmetered, whole, stopped;
        TWorkMeter onceMeter, wholeMeter;
        ASSERT_TRUE(evaluate(1, &onceMeter, once));
        ASSERT_TRUE(evaluate(100, nullptr, unmetered));
        ASSERT_TRUE(evaluate(100, &wholeMeter, whole)) << whole.Message;
        EXPECT_TRUE(SameBytes(whole.Mesh->Vertices, unmetered.Mesh->Vertices));
        EXPECT_EQ(wholeMeter.Used() - onceMeter.Used(), 99 * pass);

        // Room for what one pass costs with all around it, and ten passes more.
        TWorkMeter small(onceMeter.Used() + 10 * pass);
        EXPECT_FALSE(evaluate(100, &small, stopped));
        const std::string type = make(1)->GetTypeId();
        EXPECT_EQ(stopped.FailedTypeId, type);
        EXPECT_NE(stopped.Message.find("work bound"), std::string::npos) << stopped.Message;
        EXPECT_LE(small.Used(), small.Bound() + pass);
        EXPECT_TRUE(SameBytes(stopped.Mesh->Vertices, sphere.Vertices));
    }
}

}  // namespace
