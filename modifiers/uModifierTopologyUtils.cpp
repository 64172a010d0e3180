#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <cmath>
#include <compare>
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

// ---- weld grid ----

// Cell coordinates are clamped so that neighbour arithmetic never overflows; positions that
// are not finite share one far-away cell. The exact distance test decides every join, so
// clamping only costs speed for absurdly large coordinates.
constexpr int64_t kCellLimit = int64_t{1} << 62;
constexpr int64_t kNonFiniteCell = kCellLimit + 8;

int64_t CellCoordinate(double scaled)
{
    // Inside the clamp range the floor is the truncation, one lower for a negative
    // fraction: no library call in the weld's innermost step.
    if (scaled > -4.0e18 && scaled < 4.0e18) {
        const int64_t t = static_cast<int64_t>(scaled);
        return static_cast<double>(t) > scaled ? t - 1 : t;
    }
    const double c = std::floor(scaled);
    if (!std::isfinite(c))
        return kNonFiniteCell;
    return static_cast<int64_t>(
        std::clamp(c, -static_cast<double>(kCellLimit), static_cast<double>(kCellLimit)));
}

struct TCell {
    int64_t X = 0, Y = 0, Z = 0;
    friend auto operator<=>(const TCell&, const TCell&) = default;
};

// Well mixed in every bit: cell coordinates of a regular mesh are multiples of a common
// step, which a plain multiply leaves in the low bits.
uint64_t CellHash(const TCell& c)
{
    uint64_t h = static_cast<uint64_t>(c.X) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 31)) + static_cast<uint64_t>(c.Y) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ (h >> 31)) + static_cast<uint64_t>(c.Z) * 0x165667B19E3779F9ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    h *= 0xC4CEB9FE1A85EC53ull;
    return h ^ (h >> 33);
}

// Vertices sorted into cubic cells of twice the weld distance. Every vertex within the
// distance of a point lies in one of the (at most) 2 x 2 x 2 cells that the point's
// surrounding cube touches. The vertices are sorted by a 32-bit hash of their cell (a
// radix sort), so that a cell's vertices form one run; runs of different cells whose hashes
// collide merge, which only costs time, since the exact distance test decides every join.
class TWeldGrid {
public:
    TWeldGrid(const std::vector<TMeshVertex>& vertices, float threshold)
        : CellSize(2.0 * threshold), Reach(1.01 * threshold)
    {
        const size_t n = vertices.size();
        std::vector<uint64_t> keys(n), scratch(n);
        for (size_t i = 0; i < n; ++i)
            keys[i] = static_cast<uint64_t>(Hash(CellOf(vertices[i].Position))) << 32 | i;
        // Three stable passes of 11 bits over the hash half; equal hashes keep index order.
        for (int shift = 32; shift < 64; shift += 11) {
            std::vector<uint32_t> count(2049, 0);
            for (uint64_t k : keys)
                ++count[((k >> shift) & 2047) + 1];
            for (size_t d = 0; d < 2048; ++d)
                count[d + 1] += count[d];
            for (uint64_t k : keys)
                scratch[count[(k >> shift) & 2047]++] = k;
            keys.swap(scratch);
        }
        Hashes.resize(n);
        Indices.resize(n);
        Positions.resize(n);
        for (size_t i = 0; i < n; ++i) {
            Hashes[i] = static_cast<uint32_t>(keys[i] >> 32);
            Indices[i] = static_cast<int32_t>(keys[i] & 0xFFFFFFFFu);
            Positions[i] = vertices[static_cast<size_t>(Indices[i])].Position;
        }
        // A directory over the top bits of the hash: where each prefix's runs begin.
        Bits = 4;
        while (Bits < 24 && (size_t{1} << Bits) < n / 2)
            ++Bits;
        Directory.assign((size_t{1} << Bits) + 1, 0);
        for (uint32_t h : Hashes)
            ++Directory[(h >> (32 - Bits)) + 1];
        for (size_t d = 0; d + 1 < Directory.size(); ++d)
            Directory[d + 1] += Directory[d];
        // One bit per hash prefix, about 16 per vertex: most neighbour cells are empty, and
        // the bit says so without a look into the (much larger) directory and runs.
        Occupied.assign(size_t{1} << (Bits + 5 - 6), 0);
        for (uint32_t h : Hashes)
            Occupied[h >> (32 - Bits - 5 + 6)] |= uint64_t{1} << ((h >> (32 - Bits - 5)) & 63);
    }

    // Calls Join(i, j) (positions into the sorted order) once or more for every pair of
    // vertices that may lie within the distance of each other, and for a few that do not.
    template <class TJoin> void ForEachNearPair(TJoin&& Join) const
    {
        const size_t n = Hashes.size();
        for (size_t begin = 0, end = 0; begin < n; begin = end) {
            const uint32_t hash = Hashes[begin];
            end = begin + 1;
            while (end < n && Hashes[end] == hash)
                ++end;
            // Pairs of the run, each once.
            for (size_t a = begin; a < end; ++a)
                for (size_t b = a + 1; b < end; ++b)
                    Join(a, b);
            // The cells any vertex of the run may reach.
            int64_t lo[3], hi[3];
            RangeOf(Positions[begin], lo, hi);
            for (size_t a = begin + 1; a < end; ++a) {
                int64_t l[3], h[3];
                RangeOf(Positions[a], l, h);
                for (int k = 0; k < 3; ++k) {
                    lo[k] = std::min(lo[k], l[k]);
                    hi[k] = std::max(hi[k], h[k]);
                }
            }
            // Pairs across runs are taken from the run of the lower hash only: a pair within
            // the distance is reachable from both sides. A run spread over a wide range
            // (clamped or non-finite cells, or colliding cells far apart) is paired with
            // everything after it.
            if (hi[0] - lo[0] > 2 || hi[1] - lo[1] > 2 || hi[2] - lo[2] > 2) {
                for (size_t a = begin; a < end; ++a)
                    for (size_t b = end; b < n; ++b)
                        Join(a, b);
                continue;
            }
            for (int64_t x = lo[0]; x <= hi[0]; ++x)
                for (int64_t y = lo[1]; y <= hi[1]; ++y)
                    for (int64_t z = lo[2]; z <= hi[2]; ++z) {
                        const uint32_t other = Hash({x, y, z});
                        if (other <= hash || !(Occupied[other >> (32 - Bits - 5 + 6)] >>
                                                   ((other >> (32 - Bits - 5)) & 63) &
                                               1))
                            continue;
                        const uint32_t prefix = other >> (32 - Bits);
                        for (uint32_t m = Directory[prefix]; m < Directory[prefix + 1]; ++m)
                            if (Hashes[m] == other)
                                for (size_t a = begin; a < end; ++a)
                                    Join(a, m);
                    }
        }
    }

    int32_t IndexAt(size_t Sorted) const { return Indices[Sorted]; }
    const TVec3& PositionAt(size_t Sorted) const { return Positions[Sorted]; }

private:
    struct TCell {
        int64_t X = 0, Y = 0, Z = 0;
    };

    // Mixed in every bit: the cells of a regular mesh are multiples of a common step.
    static uint32_t Hash(const TCell& c)
    {
        uint64_t h = static_cast<uint64_t>(c.X) * 0x9E3779B97F4A7C15ull;
        h = (h ^ (h >> 31)) + static_cast<uint64_t>(c.Y) * 0xC2B2AE3D27D4EB4Full;
        h = (h ^ (h >> 31)) + static_cast<uint64_t>(c.Z) * 0x165667B19E3779F9ull;
        h ^= h >> 33;
        h *= 0xFF51AFD7ED558CCDull;
        h ^= h >> 33;
        return static_cast<uint32_t>(h >> 32);
    }

    TCell CellOf(const TVec3& p) const
    {
        return {CellCoordinate(p.X / CellSize), CellCoordinate(p.Y / CellSize),
                CellCoordinate(p.Z / CellSize)};
    }

    void RangeOf(const TVec3& p, int64_t* lo, int64_t* hi) const
    {
        const float c[3] = {p.X, p.Y, p.Z};
        for (int a = 0; a < 3; ++a) {
            lo[a] = CellCoordinate((c[a] - Reach) / CellSize);
            hi[a] = CellCoordinate((c[a] + Reach) / CellSize);
            if (hi[a] < lo[a] || hi[a] > lo[a] + 2)
                hi[a] = lo[a]; // only for non-finite or clamped coordinates
        }
    }

    double CellSize;
    double Reach;
    int Bits = 4;
    std::vector<uint32_t> Hashes; // sorted
    std::vector<int32_t> Indices; // vertex index of each sorted place
    std::vector<TVec3> Positions; // and its position
    std::vector<uint32_t> Directory;
    std::vector<uint64_t> Occupied;
};

// Vec3Dot of Vec3Sub, written out so that it inlines into the weld's pair loop.
float DistanceSquared(const TVec3& a, const TVec3& b)
{
    const float x = a.X - b.X, y = a.Y - b.Y, z = a.Z - b.Z;
    return x * x + y * y + z * z;
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

} // namespace

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
    BuildEdgeList(Mesh, edges); // a bad face only shortens the list; the faces follow
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
    std::vector<int32_t> work(count); // positions into Loop, counter-clockwise
    for (size_t i = 0; i < count; ++i)
        work[i] = static_cast<int32_t>(i);
    if (PolygonArea2D(points, static_cast<int32_t>(count) - 1) < 0)
        std::reverse(work.begin(), work.end());

    while (work.size() > 3) {
        const size_t m = work.size();
        size_t ear = m;
        for (size_t pos = 0; pos < m && ear == m; ++pos) {
            const size_t prev = (pos + m - 1) % m;
            const size_t next = (pos + 1) % m;
            const TVec2& a = points[work[prev]];
            const TVec2& b = points[work[pos]];
            const TVec2& c = points[work[next]];
            if (!(Cross2D(a, b, c) > 1e-7f))
                continue;
            bool empty = true;
            for (size_t other = 0; other < m && empty; ++other) {
                if (other == prev || other == pos || other == next)
                    continue;
                empty = !PointInTriangle2D(points[work[other]], a, b, c);
            }
            if (empty)
                ear = pos;
        }
        if (ear == m)
            return false;
        Triangles.push_back(Loop[work[(ear + m - 1) % m]]);
        Triangles.push_back(Loop[work[ear]]);
        Triangles.push_back(Loop[work[(ear + 1) % m]]);
        work.erase(work.begin() + static_cast<std::ptrdiff_t>(ear));
    }
    for (int32_t position : work)
        Triangles.push_back(Loop[position]);
    return true;
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
                  bool RemoveDegenerate)
{
    const size_t n = Mesh.Vertices.size();
    if (n == 0 || !std::isfinite(Threshold) || !(Threshold > 0))
        return;
    std::vector<int32_t> parent(n), rank(n, 0), newIndex(n, -1);
    for (size_t i = 0; i < n; ++i)
        parent[i] = static_cast<int32_t>(i);
    const float t2 = Threshold * Threshold;

    // The clusters are the connected groups of close pairs, whatever order the pairs are
    // found in; the lowest index of each gives its copy below.
    if (n >= std::numeric_limits<uint32_t>::max())
        return;
    const TWeldGrid grid(Mesh.Vertices, Threshold);
    grid.ForEachNearPair([&](size_t a, size_t b) {
        if (DistanceSquared(grid.PositionAt(a), grid.PositionAt(b)) <= t2)
            UnionFindUnion(parent, rank, grid.IndexAt(a), grid.IndexAt(b));
    });

    // Each vertex's new index, numbered in the order of the clusters' lowest indices.
    std::vector<int32_t> cluster(n);
    int32_t clusters = 0;
    for (size_t i = 0; i < n; ++i) {
        int32_t& k = newIndex[UnionFindRoot(parent, static_cast<int32_t>(i))];
        if (k < 0)
            k = clusters++;
        cluster[i] = k;
    }
    std::vector<TMeshVertex> vertices;
    vertices.reserve(static_cast<size_t>(clusters));
    std::vector<TClusterSums> sums(static_cast<size_t>(clusters));
    for (size_t i = 0; i < n; ++i) {
        const TMeshVertex& v = Mesh.Vertices[i];
        if (cluster[i] == static_cast<int32_t>(vertices.size()))
            vertices.push_back(v);
        TClusterSums& s = sums[static_cast<size_t>(cluster[i])];
        AddTo(s.P, v.Position);
        AddTo(s.N, v.Normal);
        AddTo(s.C, v.Color);
        s.UV[0] += v.UV.U;
        s.UV[1] += v.UV.V;
        ++s.Count;
    }
    for (size_t k = 0; k < vertices.size(); ++k) {
        TMeshVertex& v = vertices[k];
        const TClusterSums& s = sums[k];
        if (AveragePositions)
            v.Position = Mean(s.P, s.Count);
        v.Color = Mean(s.C, s.Count);
        v.UV = {static_cast<float>(s.UV[0] / s.Count), static_cast<float>(s.UV[1] / s.Count)};
        const TVec3 normalSum = Mean(s.N, 1);
        if (AverageNormals && Vec3Length(normalSum) > 1e-9f)
            v.Normal = Vec3Normalize(normalSum);
    }

    auto mapped = [&](int32_t index) { return cluster[static_cast<size_t>(index)]; };
    std::vector<TMeshFace> faces;
    faces.reserve(Mesh.Faces.size());
    for (const TMeshFace& f : Mesh.Faces) {
        const int32_t corners = std::clamp(f.Count, 0, 4);
        if (!RemoveDegenerate) {
            TMeshFace g = f;
            for (int32_t k = 0; k < corners; ++k)
                if (ValidIndex(f.Indices[k], n))
                    g.Indices[k] = mapped(f.Indices[k]);
            if (g.Count == 3)
                g.Indices[3] = -1;
            faces.push_back(g);
            continue;
        }
        TMeshFace g = f;
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
        faces.push_back(g);
    }
    Mesh.Vertices = std::move(vertices);
    Mesh.Faces = std::move(faces);
    Mesh.RebuildEdges();
}
