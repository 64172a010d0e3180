#include "modifiers/uModifierTopologyUtils.h"

#include "base/uHashSeed.h"
#include "modifiers/uEarClipper.h"
#include "modifiers/uWeldGrid.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
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

namespace {
// No side key has its top bit set: both ends are below 2^31.
constexpr uint64_t kNoSide = ~uint64_t{0};

size_t TableSizeFor(size_t Sides)
{
    size_t size = 16;
    while (size < 2 * Sides)
        size *= 2;
    return size;
}
}  // namespace

TSideIndex::TSideIndex(size_t Expected) : Slots(TableSizeFor(Expected), TSlot{kNoSide, -1}) {}

size_t TSideIndex::SlotOf(uint64_t Key) const
{
    const size_t mask = Slots.size() - 1;
    for (size_t slot = MixHashBits(Key ^ ProcessHashSeed()) & mask;; slot = (slot + 1) & mask)
        if (Slots[slot].Key == Key || Slots[slot].Key == kNoSide)
            return slot;
}

int32_t TSideIndex::Find(int32_t A, int32_t B) const
{
    if (A < 0 || B < 0)
        return -1;
    return Slots[SlotOf(PairKey(A, B))].Number;
}

int32_t TSideIndex::Insert(int32_t A, int32_t B, int32_t Number, bool& IsNew)
{
    const uint64_t key = PairKey(A, B);
    size_t slot = SlotOf(key);
    IsNew = Slots[slot].Key == kNoSide;
    if (!IsNew)
        return Slots[slot].Number;
    if (2 * (Held + 1) > Slots.size()) {
        Grow();
        slot = SlotOf(key);
    }
    Slots[slot] = {key, Number};
    ++Held;
    return Number;
}

void TSideIndex::Grow()
{
    std::vector<TSlot> old(2 * Slots.size(), TSlot{kNoSide, -1});
    old.swap(Slots);
    for (const TSlot& s : old)
        if (s.Key != kNoSide)
            Slots[SlotOf(s.Key)] = s;
}

namespace {
// Side(a, b, Face, Corner) for each side of Face that can be an edge: both ends vertices
// of the mesh, and not equal (a repeated corner makes no edge).
template <class TSide>
void ForEachEdgeSide(const TMeshFace& Face, size_t FaceIndex, size_t VertexCount, TSide&& Side)
{
    for (int32_t k = 0; k < Face.Count; ++k) {
        const int32_t a = Face.Indices[k];
        const int32_t b = Face.Indices[(k + 1) % Face.Count];
        if (ValidIndex(a, VertexCount) && ValidIndex(b, VertexCount) && a != b)
            Side(a, b, FaceIndex, k);
    }
}

// The sides the edge list is made of, in order: those of the faces before the first one
// of a bad corner count. Returns that face's index (the face count when there is none).
template <class TSide>
size_t ForEachListedSide(const TMeshData& Mesh, TSide&& Side)
{
    const size_t n = Mesh.Vertices.size();
    for (size_t fi = 0; fi < Mesh.Faces.size(); ++fi) {
        if (!HasValidCount(Mesh.Faces[fi]))
            return fi;
        ForEachEdgeSide(Mesh.Faces[fi], fi, n, Side);
    }
    return Mesh.Faces.size();
}
}  // namespace

bool BuildEdgeList(const TMeshData& Mesh, TTopologyEdgeArray& Edges)
{
    Edges.clear();
    // A closed mesh of quads has two edges a face, one of triangles one and a half.
    TSideIndex found(2 * Mesh.Faces.size());
    const size_t stop = ForEachListedSide(Mesh, [&](int32_t a, int32_t b, size_t fi, int32_t k) {
        bool isNew = false;
        const int32_t index = found.Insert(a, b, static_cast<int32_t>(Edges.size()), isNew);
        if (isNew) {
            TTopologyEdge e;
            e.V0 = std::min(a, b);
            e.V1 = std::max(a, b);
            e.FaceA = static_cast<int32_t>(fi);
            e.CornerA = k;
            e.FaceCount = 1;
            Edges.push_back(e);
            return;
        }
        TTopologyEdge& e = Edges[index];
        ++e.FaceCount;
        if (e.FaceCount == 2) {
            e.FaceB = static_cast<int32_t>(fi);
            e.CornerB = k;
        }
    });
    return stop == Mesh.Faces.size();
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
    // The edge list's sides under their smaller end, in order; the edges used once are the
    // sides met alone at their pair of ends, and their order in the edge list is that of
    // their one use. Grouped by vertex with nothing looked up: linear in the mesh.
    const size_t n = Mesh.Vertices.size();
    std::vector<int32_t> start(n + 1, 0);
    const auto lower = [](int32_t a, int32_t b) { return static_cast<size_t>(std::min(a, b)); };
    if (ForEachListedSide(Mesh, [&](int32_t a, int32_t b, size_t, int32_t) {
            ++start[lower(a, b) + 1];
        }) != Mesh.Faces.size())
        return false;
    for (size_t v = 0; v < n; ++v)
        start[v + 1] += start[v];
    // Each side's upper end, and where it is used: face * 4 + corner.
    std::vector<int32_t> upper(static_cast<size_t>(start[n]));
    std::vector<uint64_t> use(upper.size());
    std::vector<int32_t> next(start.begin(), start.end() - 1);
    ForEachListedSide(Mesh, [&](int32_t a, int32_t b, size_t fi, int32_t k) {
        const auto at = static_cast<size_t>(next[lower(a, b)]++);
        upper[at] = std::max(a, b);
        use[at] = static_cast<uint64_t>(fi) << 2 | static_cast<uint64_t>(k);
    });
    // Per vertex, how many sides join it to each upper end, the first of them, then one
    // mark per use of a side met alone.
    std::vector<int32_t>& seenBy = next;
    std::fill(seenBy.begin(), seenBy.end(), -1);
    std::vector<int32_t> sides(n, 0);
    std::vector<size_t> firstAt(n, 0);
    std::vector<uint64_t> alone((Mesh.Faces.size() * 4 + 63) / 64, 0);
    for (size_t v = 0; v < n; ++v) {
        const auto begin = static_cast<size_t>(start[v]), end = static_cast<size_t>(start[v + 1]);
        for (size_t k = begin; k < end; ++k) {
            const int32_t w = upper[k];
            if (seenBy[w] != static_cast<int32_t>(v)) {
                seenBy[w] = static_cast<int32_t>(v);
                sides[w] = 0;
                firstAt[w] = k;
            }
            ++sides[w];
        }
        for (size_t k = begin; k < end; ++k)
            if (firstAt[upper[k]] == k && sides[upper[k]] == 1)
                alone[use[k] >> 6] |= uint64_t{1} << (use[k] & 63);
    }
    for (size_t word = 0; word < alone.size(); ++word)
        for (uint64_t bits = alone[word]; bits != 0; bits &= bits - 1) {
            const uint64_t at = word * 64 + static_cast<uint64_t>(std::countr_zero(bits));
            const auto fi = static_cast<int32_t>(at >> 2);
            const auto k = static_cast<int32_t>(at & 3);
            const TMeshFace& f = Mesh.Faces[static_cast<size_t>(fi)];
            TBoundaryEdge e;
            e.V0 = f.Indices[k];
            e.V1 = f.Indices[(k + 1) % f.Count];
            e.FaceIndex = fi;
            e.Corner = k;
            e.TexId = f.TexId;
            Boundary.push_back(e);
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

void BuildVertexNeighbourTable(const TMeshData& Mesh, std::vector<int32_t>& Start,
                               std::vector<int32_t>& Flat, std::vector<bool>& IsBoundary)
{
    const size_t n = Mesh.Vertices.size();
    std::fill(IsBoundary.begin(), IsBoundary.end(), false);
    // Every side is met from both ends, in order: first the sides the edge list is made
    // of, then those of the later faces of a good corner count (after a face of a bad one).
    // A vertex's neighbours are then the other ends in the order first met, which is the
    // order of the edge list; an end is on the border when one listed side alone joins it
    // to a neighbour. Grouped by vertex, without looking anything up: linear in the mesh,
    // whatever the valences.
    const auto eachSide = [&](auto&& Side) {
        const size_t stop = ForEachListedSide(
            Mesh, [&](int32_t a, int32_t b, size_t, int32_t) { Side(a, b, true); });
        for (size_t fi = stop; fi < Mesh.Faces.size(); ++fi)
            if (HasValidCount(Mesh.Faces[fi]))
                ForEachEdgeSide(Mesh.Faces[fi], fi, n,
                                [&](int32_t a, int32_t b, size_t, int32_t) { Side(a, b, false); });
    };
    Start.assign(n + 1, 0);
    eachSide([&](int32_t a, int32_t b, bool) {
        ++Start[static_cast<size_t>(a) + 1];
        ++Start[static_cast<size_t>(b) + 1];
    });
    for (size_t v = 0; v < n; ++v)
        Start[v + 1] += Start[v];
    // The other end of each side met, its top bit set for a side of the edge list.
    constexpr uint32_t kListed = uint32_t{1} << 31;
    std::vector<uint32_t> met(static_cast<size_t>(Start[n]));
    std::vector<int32_t> next(Start.begin(), Start.end() - 1);
    eachSide([&](int32_t a, int32_t b, bool Listed) {
        const uint32_t flag = Listed ? kListed : 0;
        met[static_cast<size_t>(next[a]++)] = static_cast<uint32_t>(b) | flag;
        met[static_cast<size_t>(next[b]++)] = static_cast<uint32_t>(a) | flag;
    });
    // Per vertex: its neighbours in the order first met, and how many listed sides join
    // it to each (the edge's face count).
    std::vector<int32_t>& seenBy = next;  // the vertex whose group last met each vertex
    std::fill(seenBy.begin(), seenBy.end(), -1);
    std::vector<int32_t> faces(n, 0);
    Flat.resize(met.size());
    size_t kept = 0, begin = 0;
    for (size_t v = 0; v < n; ++v) {
        const size_t end = static_cast<size_t>(Start[v + 1]);
        const size_t first = kept;
        Start[v] = static_cast<int32_t>(kept);
        for (size_t k = begin; k < end; ++k) {
            const auto w = static_cast<int32_t>(met[k] & ~kListed);
            if (seenBy[w] != static_cast<int32_t>(v)) {
                seenBy[w] = static_cast<int32_t>(v);
                faces[w] = 0;
                Flat[kept++] = w;
            }
            faces[w] += (met[k] & kListed) ? 1 : 0;
        }
        if (v < IsBoundary.size())
            for (size_t k = first; k < kept; ++k)
                if (faces[Flat[k]] == 1) {
                    IsBoundary[v] = true;
                    break;
                }
        begin = end;
    }
    Start[n] = static_cast<int32_t>(kept);
    Flat.resize(kept);
}

void BuildVertexNeighbours(const TMeshData& Mesh, TIntegerArrayList& Neighbours,
                           std::vector<bool>& IsBoundary)
{
    std::vector<int32_t> start, flat;
    BuildVertexNeighbourTable(Mesh, start, flat, IsBoundary);
    Neighbours.assign(Mesh.Vertices.size(), TIntegerArray{});
    for (size_t v = 0; v < Neighbours.size(); ++v)
        Neighbours[v].assign(flat.begin() + start[v], flat.begin() + start[v + 1]);
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

bool TriangulateLoop(const TMeshData& Mesh, const TIntegerArray& Loop, TIntegerArray& Triangles,
                     TWorkMeter* Meter)
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
    const bool done = TEarClipper(std::move(ordered), Meter).Run(corners);
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
