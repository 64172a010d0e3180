#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
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

// Cell coordinates are clamped so that neighbour arithmetic never overflows. The exact
// distance test decides every join, so clamping only costs speed for absurdly large
// coordinates. Vertices with a non-finite coordinate fail every distance test and never
// enter the grid.
constexpr int64_t kCellLimit = int64_t{1} << 62;

int64_t CellCoordinate(double scaled)
{
    // Inside the clamp range the floor is the truncation, one lower for a negative
    // fraction: no library call in the weld's innermost step.
    if (scaled > -4.0e18 && scaled < 4.0e18) {
        const int64_t t = static_cast<int64_t>(scaled);
        return static_cast<double>(t) > scaled ? t - 1 : t;
    }
    return static_cast<int64_t>(std::clamp(std::floor(scaled), -static_cast<double>(kCellLimit),
                                           static_cast<double>(kCellLimit)));
}

// Mixed in every bit: the cells of a regular mesh are multiples of a common step.
uint32_t CellHash(int64_t x, int64_t y, int64_t z)
{
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 31)) + static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ (h >> 31)) + static_cast<uint64_t>(z) * 0x165667B19E3779F9ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<uint32_t>(h >> 32);
}

bool SameBits(const TVec3& a, const TVec3& b)
{
    return std::memcmp(&a, &b, sizeof(TVec3)) == 0;
}

// A large array whose elements are all written before they are read: the weld's working
// arrays skip the zero fill a vector would do (a pass over memory the weld fills anyway).
template <class T>
class TUnfilled {
public:
    explicit TUnfilled(size_t Size = 0)
        : Data(std::make_unique_for_overwrite<T[]>(Size)), Count(Size)
    {
    }
    T& operator[](size_t I) { return Data[I]; }
    const T& operator[](size_t I) const { return Data[I]; }
    size_t size() const { return Count; }
    void Shrink(size_t Size) { Count = std::min(Count, Size); }

private:
    std::unique_ptr<T[]> Data;
    size_t Count;
};

// One distinct position of the weld: vertices at bit-identical positions (the common case:
// primitives store a shared corner once per face) are joined at once and enter the pair
// search as one point.
struct TWeldPoint {
    uint32_t Hash;  // of the point's cell
    int32_t Index;  // the first vertex at the position, later the point's number
    float X, Y, Z;  // the position (TVec3 would zero-fill the working array)
};

bool SamePosition(const TWeldPoint& a, const TWeldPoint& b)
{
    return std::memcmp(&a.X, &b.X, 3 * sizeof(float)) == 0;
}

// The distinct positions grouped into buckets by the top bits of their cell's hash. A cell
// is eight times the reach wide: the box of half-width reach around a point touches at
// most two cells per axis, and most points need no cell but their own.
class TWeldGrid {
public:
    // PointOf receives each vertex's point; points are numbered in the order of their first
    // vertex.
    TWeldGrid(const std::vector<TMeshVertex>& Vertices, double Reach, TUnfilled<int32_t>& PointOf)
        : Reach(Reach), InverseCell(1.0 / (8.0 * Reach))
    {
        // About two buckets per vertex, so that most look-ups of an empty cell find an
        // empty bucket.
        while (Bits < 26 && (size_t{1} << Bits) < 2 * Vertices.size())
            ++Bits;
        SortByBucket(Vertices, PointOf);
        IndexBuckets();
    }

    int32_t PointCount() const { return Count; }

    // Calls Join(A, B) once for every pair of points in the same or in neighbouring cells.
    template <class TJoin>
    void ForEachNearPair(TJoin&& Join) const
    {
        for (size_t r = 0; r + 1 < BucketStart.size(); ++r) {
            const uint32_t begin = BucketStart[r], end = BucketStart[r + 1];
            for (uint32_t a = begin; a < end; ++a) {
                const TWeldPoint& p = Points[a];
                for (uint32_t b = a + 1; b < end; ++b)
                    if (Points[b].Hash == p.Hash)
                        Join(p, Points[b]);
                int64_t lo[3], hi[3];
                if (!RangeOf(p, lo, hi))
                    continue;  // the point's box stays inside its own cell
                // A pair across cells is taken from the cell of the lower hash only: each
                // point's box reaches the other's cell.
                for (int64_t x = lo[0]; x <= hi[0]; ++x)
                    for (int64_t y = lo[1]; y <= hi[1]; ++y)
                        for (int64_t z = lo[2]; z <= hi[2]; ++z) {
                            const uint32_t other = CellHash(x, y, z);
                            uint32_t from, to;
                            if (other > p.Hash && Find(other >> Shift(), from, to))
                                for (uint32_t b = from; b < to; ++b)
                                    if (Points[b].Hash == other)
                                        Join(p, Points[b]);
                        }
            }
        }
    }

private:
    // One slot per 64 buckets: which of them hold points, and how many occupied buckets
    // come before. A look-up of an empty cell (most of them) reads one small word.
    struct TOccupancy {
        uint64_t Used = 0;
        uint32_t Before = 0;
    };

    int Shift() const { return 32 - Bits; }

    uint32_t HashOf(const TVec3& p) const
    {
        return CellHash(CellCoordinate(p.X * InverseCell), CellCoordinate(p.Y * InverseCell),
                        CellCoordinate(p.Z * InverseCell));
    }

    // Groups the finite vertices by bucket (a bucket's vertices in index order) and keeps
    // one point per distinct position. Positions are carried along, so that nothing reads
    // the vertex array out of order. PointOf first holds each finite vertex's cell hash,
    // then its first vertex at the same position, then its point.
    void SortByBucket(const std::vector<TMeshVertex>& Vertices, TUnfilled<int32_t>& PointOf)
    {
        // One scatter by the top bits into slices of about a thousand vertices, then each
        // slice sorted on its own while it is in cache: one full-size buffer, not two.
        const int lowBits = std::min(Bits, 11);
        // 64-bit, since a single slice shifts the hash out whole.
        const int sliceShift = Shift() + lowBits;
        auto sliceOf = [sliceShift](uint32_t hash) {
            return static_cast<size_t>(uint64_t{hash} >> sliceShift);
        };
        std::vector<uint32_t> sliceStart((size_t{1} << (Bits - lowBits)) + 1, 0);
        const size_t n = Vertices.size();
        auto finite = [](const TVec3& p) {
            return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z);
        };
        for (size_t i = 0; i < n; ++i) {
            const TVec3& p = Vertices[i].Position;
            if (!finite(p)) {
                PointOf[i] = static_cast<int32_t>(i);  // fails every distance test: alone
                continue;
            }
            const uint32_t hash = HashOf(p);
            PointOf[i] = static_cast<int32_t>(hash);
            ++sliceStart[sliceOf(hash) + 1];
        }
        for (size_t k = 1; k < sliceStart.size(); ++k)
            sliceStart[k] += sliceStart[k - 1];
        Points = TUnfilled<TWeldPoint>(sliceStart.back());
        {
            std::vector<uint32_t> fill(sliceStart.begin(), sliceStart.end() - 1);
            for (size_t i = 0; i < n; ++i) {
                const TVec3& p = Vertices[i].Position;
                if (finite(p)) {
                    const uint32_t hash = static_cast<uint32_t>(PointOf[i]);
                    Points[fill[sliceOf(hash)]++] = {hash, static_cast<int32_t>(i), p.X, p.Y, p.Z};
                }
            }
        }

        std::vector<TWeldPoint> slice;
        std::vector<uint32_t> count((size_t{1} << lowBits) + 1);
        const uint32_t mask = (uint32_t{1} << lowBits) - 1;
        auto bucket = [&](const TWeldPoint& p) { return p.Hash >> Shift(); };
        size_t kept = 0;
        for (size_t k = 0; k + 1 < sliceStart.size(); ++k) {
            const uint32_t begin = sliceStart[k], end = sliceStart[k + 1];
            // Counting sort of the slice on the bucket's low bits; stable, so index order
            // stays.
            slice.resize(end - begin);
            std::fill(count.begin(), count.end(), 0);
            for (uint32_t j = begin; j < end; ++j)
                ++count[(bucket(Points[j]) & mask) + 1];
            for (size_t d = 1; d < count.size(); ++d)
                count[d] += count[d - 1];
            for (uint32_t j = begin; j < end; ++j)
                slice[count[bucket(Points[j]) & mask]++] = Points[j];
            // Distinct positions of each bucket, written back in place (kept <= begin).
            for (size_t from = 0, to = 0; from < slice.size(); from = to) {
                const size_t first = kept;
                for (to = from; to < slice.size() && bucket(slice[to]) == bucket(slice[from]);
                     ++to) {
                    const TWeldPoint& p = slice[to];
                    size_t q = first;
                    while (q < kept && !SamePosition(Points[q], p))
                        ++q;
                    if (q == kept)
                        Points[kept++] = p;
                    PointOf[static_cast<size_t>(p.Index)] = Points[q].Index;
                }
            }
        }
        Points.Shrink(kept);

        // A first vertex comes before the others at its position, so it is numbered first.
        int32_t number = 0;
        for (size_t i = 0; i < n; ++i) {
            const int32_t first = PointOf[i];
            PointOf[i] =
                first == static_cast<int32_t>(i) ? number++ : PointOf[static_cast<size_t>(first)];
        }
        Count = number;
        for (size_t s = 0; s < Points.size(); ++s)
            Points[s].Index = PointOf[static_cast<size_t>(Points[s].Index)];
    }

    void IndexBuckets()
    {
        Occupancy.assign((size_t{1} << Bits) / 64 + 1, {});
        BucketStart.reserve(Points.size() + 1);
        for (uint32_t s = 0; s < Points.size(); ++s) {
            const uint32_t bucket = Points[s].Hash >> Shift();
            if (s > 0 && bucket == Points[s - 1].Hash >> Shift())
                continue;
            Occupancy[bucket >> 6].Used |= uint64_t{1} << (bucket & 63);
            BucketStart.push_back(s);
        }
        BucketStart.push_back(static_cast<uint32_t>(Points.size()));
        uint32_t before = 0;
        for (TOccupancy& o : Occupancy) {
            o.Before = before;
            before += static_cast<uint32_t>(std::popcount(o.Used));
        }
    }

    bool Find(uint32_t Bucket, uint32_t& From, uint32_t& To) const
    {
        const TOccupancy& o = Occupancy[Bucket >> 6];
        const uint64_t bit = uint64_t{1} << (Bucket & 63);
        if (!(o.Used & bit))
            return false;
        const uint32_t r = o.Before + static_cast<uint32_t>(std::popcount(o.Used & (bit - 1)));
        From = BucketStart[r];
        To = BucketStart[r + 1];
        return true;
    }

    // The cells the box of half-width Reach around P touches; false when that is P's own
    // cell alone.
    bool RangeOf(const TWeldPoint& P, int64_t* Lo, int64_t* Hi) const
    {
        const float c[3] = {P.X, P.Y, P.Z};
        bool spread = false;
        for (int k = 0; k < 3; ++k) {
            Lo[k] = CellCoordinate((c[k] - Reach) * InverseCell);
            Hi[k] = std::min(CellCoordinate((c[k] + Reach) * InverseCell), Lo[k] + 2);
            spread = spread || Hi[k] != Lo[k];
        }
        return spread;
    }

    double Reach;
    double InverseCell;
    int Bits = 6;
    int32_t Count = 0;
    TUnfilled<TWeldPoint> Points;  // grouped by bucket
    std::vector<uint32_t> BucketStart;
    std::vector<TOccupancy> Occupancy;
};

// Vec3Dot of Vec3Sub, written out so that it inlines into the weld's pair loop.
float DistanceSquared(const TWeldPoint& a, const TWeldPoint& b)
{
    const float x = a.X - b.X, y = a.Y - b.Y, z = a.Z - b.Z;
    return x * x + y * y + z * z;
}

// Union-find whose root is always the set's lowest number (every parent is below its
// child): the roots come out in the order the clusters are numbered in.
int32_t LowestRoot(std::vector<int32_t>& parent, int32_t i)
{
    while (parent[static_cast<size_t>(i)] != i) {
        const int32_t up = parent[static_cast<size_t>(parent[static_cast<size_t>(i)])];
        parent[static_cast<size_t>(i)] = up;
        i = up;
    }
    return i;
}

void JoinLowest(std::vector<int32_t>& parent, int32_t a, int32_t b)
{
    a = LowestRoot(parent, a);
    b = LowestRoot(parent, b);
    if (a < b)
        parent[static_cast<size_t>(b)] = a;
    else if (b < a)
        parent[static_cast<size_t>(a)] = b;
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
    if (n == 0 || !std::isfinite(Threshold) || !(Threshold > 0) ||
        n > static_cast<size_t>(std::numeric_limits<int32_t>::max()))
        return;
    const float t2 = Threshold * Threshold;
    // A little past the threshold, so that rounding in the distance test never joins a pair
    // the grid does not offer; below the smallest normal float the squares round coarsely.
    double reach = Threshold;
    if (t2 < std::numeric_limits<float>::min())
        reach = std::max(reach, std::sqrt(static_cast<double>(t2) +
                                          4.0 * std::numeric_limits<float>::denorm_min()));
    reach *= 1.01;

    // The clusters are the connected groups of close pairs, whatever order the pairs are
    // found in. Each vertex first gets its distinct position's point, then its cluster.
    TUnfilled<int32_t> cluster(n);
    std::vector<int32_t> parent;
    {
        const TWeldGrid grid(Mesh.Vertices, reach, cluster);
        parent.resize(static_cast<size_t>(grid.PointCount()));
        for (size_t p = 0; p < parent.size(); ++p)
            parent[p] = static_cast<int32_t>(p);
        grid.ForEachNearPair([&](const TWeldPoint& a, const TWeldPoint& b) {
            if (DistanceSquared(a, b) <= t2)
                JoinLowest(parent, a.Index, b.Index);
        });
    }
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
    // The averages are those of sums in double in vertex order. While a cluster's vertices
    // all equal its copy in the averaged fields (exact duplicates), those sums are Count
    // times the copy exactly and are not kept; a cluster gets sums when it first differs.
    // The point numbers are done with; each cluster's entry now counts its vertices while
    // it is uniform, and becomes -1 - (its sums' place) once it is not.
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
