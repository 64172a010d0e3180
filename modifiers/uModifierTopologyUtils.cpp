#include "modifiers/uModifierTopologyUtils.h"

#include "modifiers/uEarClipper.h"
#include "modifiers/uWeldGrid.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>
#include <vector>

namespace {

bool ValidIndex(int32_t index, size_t count)
{
    return index >= 0 && static_cast<size_t>(index) < count;
}

bool HasValidCount(const TMeshFace& f)
{
    return f.Count >= 3 && f.Count <= 4;
}

uint64_t PairKey(int32_t a, int32_t b)
{
    return static_cast<uint64_t>(static_cast<uint32_t>(std::min(a, b))) << 32 |
           static_cast<uint32_t>(std::max(a, b));
}

TVec3 Lerp3(const TVec3& a, const TVec3& b, float t)
{
    return Vec3Add(a, Vec3Scale(Vec3Sub(b, a), t));
}

// ---- weld ----

bool SameBits(const TVec3& a, const TVec3& b)
{
    return std::memcmp(&a, &b, sizeof(TVec3)) == 0;
}

struct TClusterSums {
    double P[3] = {0, 0, 0}, N[3] = {0, 0, 0}, C[3] = {0, 0, 0}, UV[2] = {0, 0};
    int32_t Count = 0;
};

void AddTo(double* sum, const TVec3& v)
{
    sum[0] += v.X;
    sum[1] += v.Y;
    sum[2] += v.Z;
}

TVec3 Mean(const double* sum, int32_t count)
{
    return {static_cast<float>(sum[0] / count), static_cast<float>(sum[1] / count),
            static_cast<float>(sum[2] / count)};
}

bool SameBits(const TVec2& a, const TVec2& b)
{
    return std::memcmp(&a, &b, sizeof(TVec2)) == 0;
}

// Which fields of a weld cluster are averaged: colour and UV always, position and normal
// on request.
struct TAveraged {
    bool Positions = false;
    bool Normals = false;

    // Equal in every averaged field, bit for bit.
    bool Same(const TMeshVertex& a, const TMeshVertex& b) const
    {
        return SameBits(a.Color, b.Color) && SameBits(a.UV, b.UV) &&
               (!Positions || SameBits(a.Position, b.Position)) &&
               (!Normals || SameBits(a.Normal, b.Normal));
    }

    // The sums of Count copies of V: exact in double, so they equal adding the copies one
    // by one (0 + ... turns a negative zero into a positive one, as the additions do).
    TClusterSums Copies(const TMeshVertex& v, int32_t count) const
    {
        const double c = count;
        TClusterSums s;
        s.Count = count;
        auto times = [c](double* sum, const TVec3& x) {
            sum[0] = 0.0 + c * x.X;
            sum[1] = 0.0 + c * x.Y;
            sum[2] = 0.0 + c * x.Z;
        };
        times(s.C, v.Color);
        s.UV[0] = 0.0 + c * v.UV.U;
        s.UV[1] = 0.0 + c * v.UV.V;
        if (Positions)
            times(s.P, v.Position);
        if (Normals)
            times(s.N, v.Normal);
        return s;
    }

    void Add(TClusterSums& s, const TMeshVertex& v) const
    {
        ++s.Count;
        AddTo(s.C, v.Color);
        s.UV[0] += v.UV.U;
        s.UV[1] += v.UV.V;
        if (Positions)
            AddTo(s.P, v.Position);
        if (Normals)
            AddTo(s.N, v.Normal);
    }

    void Finish(TMeshVertex& v, const TClusterSums& s) const
    {
        const int32_t count = s.Count;
        if (Positions)
            v.Position = Mean(s.P, count);
        v.Color = Mean(s.C, count);
        v.UV = {static_cast<float>(s.UV[0] / count), static_cast<float>(s.UV[1] / count)};
        if (Normals) {
            const TVec3 normalSum = Mean(s.N, 1);
            if (Vec3Length(normalSum) > 1e-9f)
                v.Normal = Vec3Normalize(normalSum);
        }
    }
};

}  // namespace

std::string EdgeKey(int32_t A, int32_t B)
{
    return std::to_string(std::min(A, B)) + ":" + std::to_string(std::max(A, B));
}

bool BuildEdgeList(const TMeshData& Mesh, TTopologyEdgeArray& Edges)
{
    Edges.clear();
    std::unordered_map<uint64_t, int32_t> found;
    const size_t n = Mesh.Vertices.size();
    for (size_t fi = 0; fi < Mesh.Faces.size(); ++fi) {
        const TMeshFace& f = Mesh.Faces[fi];
        if (!HasValidCount(f))
            return false;
        for (int32_t k = 0; k < f.Count; ++k) {
            const int32_t a = f.Indices[k];
            const int32_t b = f.Indices[(k + 1) % f.Count];
            if (!ValidIndex(a, n) || !ValidIndex(b, n) || a == b)
                continue;
            auto [it, isNew] = found.try_emplace(PairKey(a, b), static_cast<int32_t>(Edges.size()));
            if (isNew) {
                TTopologyEdge e;
                e.V0 = std::min(a, b);
                e.V1 = std::max(a, b);
                e.FaceA = static_cast<int32_t>(fi);
                e.CornerA = k;
                e.FaceCount = 1;
                Edges.push_back(e);
                continue;
            }
            TTopologyEdge& e = Edges[it->second];
            ++e.FaceCount;
            if (e.FaceCount == 2) {
                e.FaceB = static_cast<int32_t>(fi);
                e.CornerB = k;
            }
        }
    }
    return true;
}

int32_t FindEdgeIndex(const TTopologyEdgeArray& Edges, int32_t A, int32_t B)
{
    const int32_t v0 = std::min(A, B);
    const int32_t v1 = std::max(A, B);
    for (size_t i = 0; i < Edges.size(); ++i)
        if (Edges[i].V0 == v0 && Edges[i].V1 == v1)
            return static_cast<int32_t>(i);
    return -1;
}

bool FindBoundaryEdges(const TMeshData& Mesh, TBoundaryEdgeArray& Boundary)
{
    Boundary.clear();
    TTopologyEdgeArray edges;
    if (!BuildEdgeList(Mesh, edges))
        return false;
    for (const TTopologyEdge& e : edges) {
        if (e.FaceCount != 1)
            continue;
        const TMeshFace& f = Mesh.Faces[e.FaceA];
        TBoundaryEdge b;
        b.V0 = f.Indices[e.CornerA];
        b.V1 = f.Indices[(e.CornerA + 1) % f.Count];
        b.FaceIndex = e.FaceA;
        b.Corner = e.CornerA;
        b.TexId = f.TexId;
        Boundary.push_back(b);
    }
    return true;
}

bool FindBoundaryLoops(const TMeshData& Mesh, TIntegerArrayList& Loops)
{
    Loops.clear();
    TBoundaryEdgeArray boundary;
    if (!FindBoundaryEdges(Mesh, boundary))
        return false;
    const size_t count = boundary.size();
    // Boundary edges at each vertex in ascending edge order; a cursor per vertex skips
    // the marked ones, so finding the lowest unmarked edge at a vertex stays cheap.
    std::vector<std::vector<int32_t>> atVertex(Mesh.Vertices.size());
    for (size_t i = 0; i < count; ++i) {
        atVertex[boundary[i].V0].push_back(static_cast<int32_t>(i));
        atVertex[boundary[i].V1].push_back(static_cast<int32_t>(i));
    }
    std::vector<size_t> cursor(Mesh.Vertices.size(), 0);
    std::vector<bool> marked(count, false);
    auto lowestUnmarkedAt = [&](int32_t v) -> int32_t {
        const std::vector<int32_t>& list = atVertex[v];
        size_t& c = cursor[v];
        while (c < list.size() && marked[list[c]])
            ++c;
        return c < list.size() ? list[c] : -1;
    };

    for (size_t i = 0; i < count; ++i) {
        if (marked[i])
            continue;
        TIntegerArray loop{boundary[i].V0};
        int32_t current = boundary[i].V1;
        marked[i] = true;
        size_t steps = 0;
        bool closed = false;
        for (;;) {
            if (current == loop.front()) {
                closed = true;
                break;
            }
            if (steps > count)
                break;
            ++steps;
            loop.push_back(current);
            const int32_t next = lowestUnmarkedAt(current);
            if (next < 0)
                break;
            marked[next] = true;
            current = boundary[next].V0 == current ? boundary[next].V1 : boundary[next].V0;
        }
        if (closed && loop.size() > 2)
            Loops.push_back(std::move(loop));
    }
    return true;
}

void MidpointVec2(const TVec2& A, const TVec2& B, TVec2& R)
{
    R = {(A.U + B.U) * 0.5f, (A.V + B.V) * 0.5f};
}

void LerpVec2(const TVec2& A, const TVec2& B, TVec2& R, float T)
{
    R = {A.U + (B.U - A.U) * T, A.V + (B.V - A.V) * T};
}

void MidpointVertex(const TMeshVertex& A, const TMeshVertex& B, TMeshVertex& V)
{
    TMeshVertex r;
    r.Position = Vec3Scale(Vec3Add(A.Position, B.Position), 0.5f);
    r.Color = Vec3Scale(Vec3Add(A.Color, B.Color), 0.5f);
    r.Normal = Vec3Normalize(Vec3Add(A.Normal, B.Normal));
    MidpointVec2(A.UV, B.UV, r.UV);
    V = r;
}

void LerpVertex(const TMeshVertex& A, const TMeshVertex& B, TMeshVertex& V, float T)
{
    TMeshVertex r;
    r.Position = Lerp3(A.Position, B.Position, T);
    r.Color = Lerp3(A.Color, B.Color, T);
    r.Normal = Vec3Normalize(Lerp3(A.Normal, B.Normal, T));
    LerpVec2(A.UV, B.UV, r.UV, T);
    V = r;
}

void ReverseFaceWinding(TMeshFace& Face)
{
    const int32_t count = std::clamp(Face.Count, 0, 4);
    for (int32_t j = 0; j < count / 2; ++j) {
        std::swap(Face.Indices[j], Face.Indices[count - 1 - j]);
        std::swap(Face.UVs[j], Face.UVs[count - 1 - j]);
    }
}

void RecomputeVertexNormals(TMeshData& Mesh)
{
    const size_t n = Mesh.Vertices.size();
    std::vector<TVec3> sum(n, TVec3{0, 0, 0});
    for (const TMeshFace& f : Mesh.Faces) {
        if (!HasValidCount(f) || !ValidIndex(f.Indices[0], n))
            continue;
        const int32_t i0 = f.Indices[0];
        for (int32_t k = 1; k <= f.Count - 2; ++k) {
            const int32_t ik = f.Indices[k];
            const int32_t ik1 = f.Indices[k + 1];
            if (!ValidIndex(ik, n) || !ValidIndex(ik1, n))
                continue;
            const TVec3& p0 = Mesh.Vertices[i0].Position;
            const TVec3 normal = Vec3Cross(Vec3Sub(Mesh.Vertices[ik].Position, p0),
                                           Vec3Sub(Mesh.Vertices[ik1].Position, p0));
            sum[i0] = Vec3Add(sum[i0], normal);
            sum[ik] = Vec3Add(sum[ik], normal);
            sum[ik1] = Vec3Add(sum[ik1], normal);
        }
    }
    for (size_t i = 0; i < n; ++i) {
        TVec3& normal = Mesh.Vertices[i].Normal;
        if (Vec3Length(sum[i]) > 1e-9f)
            normal = Vec3Normalize(sum[i]);
        else if (Vec3Length(normal) > 1e-9f)
            normal = Vec3Normalize(normal);
        else
            normal = {0, 1, 0};
    }
}

void AddUniqueInt(TIntegerArray& List, int32_t Value)
{
    if (std::find(List.begin(), List.end(), Value) == List.end())
        List.push_back(Value);
}

void BuildVertexNeighbours(const TMeshData& Mesh, TIntegerArrayList& Neighbours,
                           std::vector<bool>& IsBoundary)
{
    const size_t n = Mesh.Vertices.size();
    Neighbours.assign(n, TIntegerArray{});
    std::fill(IsBoundary.begin(), IsBoundary.end(), false);
    TTopologyEdgeArray edges;
    BuildEdgeList(Mesh, edges);  // a bad face only shortens the list; the faces follow
    for (const TTopologyEdge& e : edges) {
        AddUniqueInt(Neighbours[e.V0], e.V1);
        AddUniqueInt(Neighbours[e.V1], e.V0);
        if (e.FaceCount == 1) {
            if (static_cast<size_t>(e.V0) < IsBoundary.size())
                IsBoundary[e.V0] = true;
            if (static_cast<size_t>(e.V1) < IsBoundary.size())
                IsBoundary[e.V1] = true;
        }
    }
    for (const TMeshFace& f : Mesh.Faces) {
        if (!HasValidCount(f))
            continue;
        for (int32_t k = 0; k < f.Count; ++k) {
            const int32_t a = f.Indices[k];
            const int32_t b = f.Indices[(k + 1) % f.Count];
            // A repeated corner does not make a vertex its own neighbour.
            if (!ValidIndex(a, n) || !ValidIndex(b, n) || a == b)
                continue;
            AddUniqueInt(Neighbours[a], b);
            AddUniqueInt(Neighbours[b], a);
        }
    }
}

void ProjectToPlane(const TVec3& P, int32_t Axis, TVec2& Q)
{
    if (Axis == 0)
        Q = {P.Y, P.Z};
    else if (Axis == 1)
        Q = {P.X, P.Z};
    else
        Q = {P.X, P.Y};
}

float PolygonArea2D(const std::vector<TVec2>& Points, int32_t HighIndex)
{
    const int32_t last = std::min<int64_t>(HighIndex, static_cast<int64_t>(Points.size()) - 1);
    if (last < 0)
        return 0;
    float sum = 0;
    for (int32_t i = 0; i <= last; ++i) {
        const TVec2& p = Points[i];
        const TVec2& q = Points[i == last ? 0 : i + 1];
        sum += p.U * q.V - q.U * p.V;
    }
    return 0.5f * sum;
}

float Cross2D(const TVec2& O, const TVec2& A, const TVec2& B)
{
    return (A.U - O.U) * (B.V - O.V) - (A.V - O.V) * (B.U - O.U);
}

bool PointInTriangle2D(const TVec2& P, const TVec2& A, const TVec2& B, const TVec2& C)
{
    const float d1 = Cross2D(P, A, B);
    const float d2 = Cross2D(P, B, C);
    const float d3 = Cross2D(P, C, A);
    const bool hasNegative = d1 < -1e-6f || d2 < -1e-6f || d3 < -1e-6f;
    const bool hasPositive = d1 > 1e-6f || d2 > 1e-6f || d3 > 1e-6f;
    return !(hasNegative && hasPositive);
}

bool TriangulateLoop(const TMeshData& Mesh, const TIntegerArray& Loop, TIntegerArray& Triangles)
{
    Triangles.clear();
    const size_t count = Loop.size();
    if (count < 3)
        return false;
    const size_t n = Mesh.Vertices.size();
    TVec3 normal{0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        if (!ValidIndex(Loop[i], n) || !ValidIndex(Loop[(i + 1) % count], n))
            return false;
        const TVec3& p = Mesh.Vertices[Loop[i]].Position;
        const TVec3& q = Mesh.Vertices[Loop[(i + 1) % count]].Position;
        normal.X += (p.Y - q.Y) * (p.Z + q.Z);
        normal.Y += (p.Z - q.Z) * (p.X + q.X);
        normal.Z += (p.X - q.X) * (p.Y + q.Y);
    }
    int32_t axis = 0;
    float largest = std::fabs(normal.X);
    if (largest < std::fabs(normal.Y)) {
        axis = 1;
        largest = std::fabs(normal.Y);
    }
    if (largest < std::fabs(normal.Z)) {
        axis = 2;
        largest = std::fabs(normal.Z);
    }
    if (!(largest >= 1e-9f))
        return false;

    std::vector<TVec2> points(count);
    for (size_t i = 0; i < count; ++i)
        ProjectToPlane(Mesh.Vertices[Loop[i]].Position, axis, points[i]);
    std::vector<int32_t> work(count);  // positions into Loop, counter-clockwise
    for (size_t i = 0; i < count; ++i)
        work[i] = static_cast<int32_t>(i);
    if (PolygonArea2D(points, static_cast<int32_t>(count) - 1) < 0)
        std::reverse(work.begin(), work.end());

    std::vector<TVec2> ordered(count);
    for (size_t i = 0; i < count; ++i)
        ordered[i] = points[work[i]];
    std::vector<int32_t> corners;
    const bool done = TEarClipper(std::move(ordered)).Run(corners);
    Triangles.reserve(corners.size());
    for (int32_t corner : corners)
        Triangles.push_back(Loop[work[corner]]);
    return done;
}

int32_t UnionFindRoot(std::vector<int32_t>& Parent, int32_t I)
{
    while (Parent[I] != I) {
        Parent[I] = Parent[Parent[I]];
        I = Parent[I];
    }
    return I;
}

void UnionFindUnion(std::vector<int32_t>& Parent, std::vector<int32_t>& Rank, int32_t A, int32_t B)
{
    const int32_t ra = UnionFindRoot(Parent, A);
    const int32_t rb = UnionFindRoot(Parent, B);
    if (ra == rb)
        return;
    if (Rank[ra] < Rank[rb]) {
        Parent[ra] = rb;
    } else if (Rank[rb] < Rank[ra]) {
        Parent[rb] = ra;
    } else {
        Parent[rb] = ra;
        ++Rank[ra];
    }
}

std::string CellKey(int64_t X, int64_t Y, int64_t Z)
{
    return std::to_string(X) + ":" + std::to_string(Y) + ":" + std::to_string(Z);
}

void WeldVertices(TMeshData& Mesh, float Threshold, bool AveragePositions, bool AverageNormals,
                  bool RemoveDegenerate, TWorkMeter* Meter)
{
    const size_t n = Mesh.Vertices.size();
    if (n == 0 || !std::isfinite(Threshold) || !(Threshold > 0) ||
        n > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return;
    // The clusters are the connected groups of close pairs, whatever order the pairs are
    // found in. Each vertex first gets its distinct position's point, then its cluster.
    TUnfilled<int32_t> cluster(n);
    std::vector<int32_t> parent =
        TWeldGrid(Mesh.Vertices, Threshold, cluster, Meter).JoinClosePoints();
    // Clusters numbered in the order of their lowest vertex: points are numbered by their
    // first vertex and a root is its set's lowest point. Rewritten in place: every parent
    // comes first and already holds its cluster.
    int32_t clusters = 0;
    for (size_t p = 0; p < parent.size(); ++p)
        parent[p] = parent[p] == static_cast<int32_t>(p) ? clusters++
                                                         : parent[static_cast<size_t>(parent[p])];
    for (size_t i = 0; i < n; ++i)
        cluster[i] = parent[static_cast<size_t>(cluster[i])];

    // The cluster's lowest vertex gives the copy, written in place: a cluster's number is
    // never above its lowest vertex, and each vertex is read before its slot is written.
    // The averages are of sums in double in vertex order. While a cluster's vertices all
    // equal its copy in the averaged fields (exact copies, the common case), those sums
    // are a multiple of the copy and need no storage: the cluster's entry (the point
    // numbers are done with) counts its vertices, and becomes -1 - (the place of its sums)
    // once one of them differs.
    std::vector<int32_t>& state = parent;
    state.assign(static_cast<size_t>(clusters), 0);
    std::vector<TClusterSums> sums;
    std::vector<TMeshVertex>& vertices = Mesh.Vertices;
    const TAveraged averaged{AveragePositions, AverageNormals};
    size_t made = 0;
    for (size_t i = 0; i < n; ++i) {
        const TMeshVertex& v = vertices[i];
        const size_t k = static_cast<size_t>(cluster[i]);
        if (k == made)
            vertices[made++] = v;
        int32_t& entry = state[k];
        if (entry >= 0) {
            if (entry == 0 || averaged.Same(vertices[k], v)) {
                ++entry;
                continue;
            }
            if (sums.empty())
                sums.reserve(static_cast<size_t>(clusters));  // grows without copies
            sums.push_back(averaged.Copies(vertices[k], entry));
            entry = -static_cast<int32_t>(sums.size());
        }
        averaged.Add(sums[static_cast<size_t>(-1 - entry)], v);
    }
    vertices.resize(made);
    for (size_t k = 0; k < made; ++k) {
        const int32_t entry = state[k];
        averaged.Finish(vertices[k], entry >= 0 ? averaged.Copies(vertices[k], entry)
                                                : sums[static_cast<size_t>(-1 - entry)]);
    }

    // Faces compacted in place: a kept face never moves past the one being read.
    auto mapped = [&](int32_t index) { return cluster[static_cast<size_t>(index)]; };
    size_t keptFaces = 0;
    for (const TMeshFace& f : Mesh.Faces) {
        const int32_t corners = std::clamp(f.Count, 0, 4);
        TMeshFace g = f;
        if (!RemoveDegenerate) {
            for (int32_t k = 0; k < corners; ++k)
                if (ValidIndex(f.Indices[k], n))
                    g.Indices[k] = mapped(f.Indices[k]);
            if (g.Count == 3)
                g.Indices[3] = -1;
            Mesh.Faces[keptFaces++] = g;
            continue;
        }
        g.Indices = {-1, -1, -1, -1};
        g.UVs = {};
        int32_t kept = 0;
        for (int32_t k = 0; k < corners; ++k) {
            if (!ValidIndex(f.Indices[k], n))
                continue;
            const int32_t index = mapped(f.Indices[k]);
            if (std::find(g.Indices.begin(), g.Indices.begin() + kept, index) !=
                g.Indices.begin() + kept)
                continue;
            g.Indices[kept] = index;
            g.UVs[kept] = f.UVs[k];
            ++kept;
        }
        if (kept < 3)
            continue;
        g.Count = kept;
        Mesh.Faces[keptFaces++] = g;
    }
    Mesh.Faces.resize(keptFaces);
    Mesh.RebuildEdges();
}
