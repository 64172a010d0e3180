#include "base/uMesh.h"
#include "base/uHugePages.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <limits>
#include <numbers>
#include <type_traits>

namespace {

bool InRange(int32_t index, size_t count)
{
    return index >= 0 && static_cast<size_t>(index) < count;
}

// 2*pi*i/n at full precision, rounded to single precision as the builders' angles are.
float TurnFraction(int32_t i, int32_t n)
{
    return static_cast<float>(2.0 * std::numbers::pi * i / n);
}

double Cos(float a)
{
    return std::cos(static_cast<double>(a));
}
double Sin(float a)
{
    return std::sin(static_cast<double>(a));
}

TVec3 V3(double x, double y, double z)
{
    return {static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)};
}

TMeshVertex MakeVertex(const TVec3& position, const TVec3& normal, TVec2 uv,
                       const TVec3& color = {0, 0, 0})
{
    return {position, normal, color, uv};
}

size_t NonNegative(int64_t n)
{
    return n > 0 ? static_cast<size_t>(n) : 0;
}

int64_t SaturatingProduct(int64_t a, int64_t b)
{
    int64_t r = 0;
    if (__builtin_mul_overflow(a, b, &r))
        return std::numeric_limits<int64_t>::max();
    return r;
}

}  // namespace

int32_t TMeshData::AddVertex(const TMeshVertex& Vertex)
{
    Vertices.push_back(Vertex);
    return static_cast<int32_t>(Vertices.size() - 1);
}

int32_t TMeshData::AddTriangle(int32_t I0, int32_t I1, int32_t I2, int32_t TexId)
{
    TMeshFace f;
    f.Indices = {I0, I1, I2, -1};
    f.Count = 3;
    f.TexId = TexId;
    for (int k = 0; k < 3; ++k)
        if (InRange(f.Indices[k], Vertices.size()))
            f.UVs[k] = Vertices[f.Indices[k]].UV;
    Faces.push_back(f);
    return static_cast<int32_t>(Faces.size() - 1);
}

int32_t TMeshData::AddQuad(int32_t I0, int32_t I1, int32_t I2, int32_t I3, int32_t TexId)
{
    TMeshFace f;
    f.Indices = {I0, I1, I2, I3};
    f.Count = 4;
    f.TexId = TexId;
    for (int k = 0; k < 4; ++k)
        if (InRange(f.Indices[k], Vertices.size()))
            f.UVs[k] = Vertices[f.Indices[k]].UV;
    Faces.push_back(f);
    return static_cast<int32_t>(Faces.size() - 1);
}

void TMeshData::Clear()
{
    Vertices.clear();
    Faces.clear();
    Edges.clear();
}

std::unique_ptr<TMeshData> TMeshData::Clone() const
{
    return std::make_unique<TMeshData>(*this);
}

namespace {

// Calls Visit(lo, hi) for every usable corner pair of the faces, lo < hi.
template <class TVisit>
void ForEachCornerPair(const std::vector<TMeshFace>& Faces, size_t n, TVisit&& Visit)
{
    for (const TMeshFace& f : Faces) {
        // A count outside 3..4 is invalid; read only the four stored corners.
        const int32_t count = std::clamp(f.Count, 0, 4);
        for (int32_t k = 0; k < count; ++k) {
            const int32_t a = f.Indices[k];
            if (!InRange(a, n))
                continue;
            const int32_t b = f.Indices[k + 1 < count ? k + 1 : 0];  // no division per corner
            if (!InRange(b, n) || b == a)
                continue;
            Visit(static_cast<uint32_t>(std::min(a, b)), static_cast<uint32_t>(std::max(a, b)));
        }
    }
}

// 32-bit slots laid over an edge array, two to an edge: the rebuild keeps its bucketed
// upper corners in the memory that then becomes the edge list. Reached through the
// bytes, which any trivially copyable object may be.
static_assert(std::is_trivially_copyable_v<TMeshEdge> && sizeof(TMeshEdge) == 8);
class TEdgeSlots {
public:
    explicit TEdgeSlots(TMeshEdge* Edges) : Bytes(reinterpret_cast<unsigned char*>(Edges)) {}
    int32_t Get(size_t i) const
    {
        int32_t v;
        std::memcpy(&v, Bytes + 4 * i, 4);
        return v;
    }
    void Set(size_t i, int32_t v) const { std::memcpy(Bytes + 4 * i, &v, 4); }

private:
    unsigned char* Bytes;
};

// Writes each pair's upper corner into its lower corner's bucket. End[v] is the end of v's
// bucket on entry and its start on return (filling counts down).
void BucketUpperCorners(const std::vector<TMeshFace>& Faces, size_t n, TEdgeSlots Slots,
                        uint32_t* End)
{
    ForEachCornerPair(Faces, n, [&](uint32_t lo, uint32_t hi) {
        Slots.Set(--End[lo], static_cast<int32_t>(hi));
    });
}

// Sorts a short list and drops its repeats in place; returns how many remain. The common
// lists of a mesh (up to four) by compare-exchange without branches.
uint32_t SortUnique(int32_t* a, uint32_t count)
{
    auto order = [a](uint32_t i, uint32_t j) {
        const int32_t lo = std::min(a[i], a[j]), hi = std::max(a[i], a[j]);
        a[i] = lo;
        a[j] = hi;
    };
    switch (count) {
    case 0:
    case 1:
        return count;
    case 2:
        order(0, 1);
        break;
    case 3:
        order(0, 1);
        order(1, 2);
        order(0, 1);
        break;
    case 4:
        order(0, 1);
        order(2, 3);
        order(0, 2);
        order(1, 3);
        order(1, 2);
        break;
    default:
        std::sort(a, a + count);
    }
    // Sorted: a value is new when it differs from the one before (kept in a register, so
    // that no load waits on the store before it).
    uint32_t kept = 1;
    int32_t previous = a[0];
    for (uint32_t i = 1; i < count; ++i) {
        const int32_t x = a[i];
        a[kept] = x;
        kept += x != previous;
        previous = x;
    }
    return kept;
}

// Sorts each bucket (Start[v] .. Start[v + 1]) and drops its repeats; returns the total
// kept. With Kept, the survivors are compacted toward the front, writing never overtaking
// reading, and Kept[v] becomes the number kept for v (Kept may be Start: each entry is
// read before it is replaced); without, the buckets are only counted.
size_t CompactBuckets(TEdgeSlots Slots, const uint32_t* Start, size_t n, uint32_t* Kept,
                      std::vector<int32_t>& Scratch)
{
    constexpr uint32_t kShort = 16;
    int32_t local[kShort];
    size_t write = 0;
    for (size_t v = 0; v < n; ++v) {
        const uint32_t begin = Start[v], count = Start[v + 1] - begin;
        int32_t* a = local;
        if (count > kShort) {
            Scratch.resize(count);
            a = Scratch.data();
        }
        for (uint32_t i = 0; i < count; ++i)
            a[i] = Slots.Get(begin + i);
        const uint32_t kept = SortUnique(a, count);
        if (Kept) {
            for (uint32_t i = 0; i < kept; ++i)
                Slots.Set(write + i, a[i]);
            Kept[v] = kept;
        }
        write += kept;
    }
    return write;
}

}  // namespace

void TMeshData::RebuildEdges()
{
    const size_t n = Vertices.size();
    if (n == 0 || Faces.empty()) {
        std::vector<TMeshEdge>().swap(Edges);
        return;
    }
    if (Faces.size() >= (size_t{1} << 30) || n >= std::numeric_limits<uint32_t>::max()) {
        // Beyond 32-bit offsets: one sort of the pairs packed as (lo, hi) keys.
        std::vector<TMeshEdge>().swap(Edges);
        std::vector<uint64_t> keys;
        ForEachCornerPair(Faces, n,
                          [&](uint64_t lo, uint64_t hi) { keys.push_back(lo << 32 | hi); });
        std::sort(keys.begin(), keys.end());
        keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
        Edges.reserve(keys.size());
        for (uint64_t key : keys)
            Edges.push_back(
                {static_cast<int32_t>(key >> 32), static_cast<int32_t>(key & 0xFFFFFFFFu)});
        return;
    }
    // Counting sort of the pairs' upper corners by lower corner, each bucket then sorted
    // and its repeats dropped; linear in vertices plus corners. The buckets are built
    // inside the edge list itself, four bytes a pair, then widened into edges from the
    // back: no pair list beside the list, the peak is the list plus a word a vertex. A
    // closed mesh has two pairs an edge, so its pairs fill half the list's slots; an open
    // one has more edges than half its pairs, by half its boundary, which the room
    // reserved past them holds (untouched until used). Only a mesh with far more boundary
    // (separate faces) is built a second time into a list of the exact size counted.
    std::vector<uint32_t> start(n + 1, 0);
    auto countBuckets = [&] {
        std::fill(start.begin(), start.end(), 0u);
        ForEachCornerPair(Faces, n, [&](uint32_t lo, uint32_t) { ++start[lo]; });
        uint32_t total = 0;
        for (size_t v = 0; v < n; ++v)
            start[v] = total += start[v];  // the end of each bucket
        start[n] = total;
        return total;
    };
    const uint32_t total = countBuckets();
    if (total == 0) {
        std::vector<TMeshEdge>().swap(Edges);
        return;
    }
    const size_t pairSlots = (size_t{total} + 1) / 2;
    auto slack = [](size_t Size) { return Size + Size / 8 + 8; };
    std::vector<int32_t> scratch;  // for a bucket longer than sixteen corners
    // Fills the buckets into Edges (at least pairSlots long) and compacts them: start then
    // holds the number of edges of each lower corner. Returns the number of edges.
    auto buildBuckets = [&] {
        const TEdgeSlots slots(Edges.data());
        BucketUpperCorners(Faces, n, slots, start.data());
        return CompactBuckets(slots, start.data(), n, start.data(), scratch);
    };
    // The old list's storage serves when it is large enough and not far too large.
    if (Edges.capacity() < pairSlots || Edges.capacity() > slack(pairSlots)) {
        std::vector<TMeshEdge>().swap(Edges);
        Edges.reserve(slack(pairSlots));
        AdviseHugePages(Edges.data(), Edges.capacity() * sizeof(TMeshEdge));
    }
    Edges.resize(pairSlots);
    size_t distinct = buildBuckets();
    if (distinct > Edges.capacity()) {
        countBuckets();
        std::vector<TMeshEdge>().swap(Edges);
        Edges.resize(distinct);
        [[maybe_unused]] const size_t again = buildBuckets();
        assert(again == distinct);
    }
    // The slots past the first `distinct` hold nothing still to be read.
    Edges.resize(distinct);
    // Upper corner w becomes edge w, from the back: edge w covers slots 2w and 2w + 1, past
    // every slot still to be read.
    const TEdgeSlots slots(Edges.data());
    size_t w = distinct;
    for (size_t v = n; v-- > 0;)
        for (uint32_t k = start[v]; k > 0; --k) {
            --w;
            const int32_t upper = slots.Get(w);
            Edges[w] = {static_cast<int32_t>(v), upper};
        }
    assert(w == 0);
    // Edges of three or more faces leave much of the room unused.
    if (Edges.capacity() > slack(distinct))
        Edges.shrink_to_fit();
}

bool TMeshData::Validate(std::string& Message) const
{
    Message.clear();
    const int64_t n = static_cast<int64_t>(Vertices.size());
    for (size_t i = 0; i < Faces.size(); ++i) {
        const TMeshFace& f = Faces[i];
        if (f.Count < 3 || f.Count > 4) {
            Message = "Face " + std::to_string(i) + ": invalid count " + std::to_string(f.Count);
            return false;
        }
        for (int32_t k = 0; k < f.Count; ++k) {
            const int32_t index = f.Indices[k];
            if (index < 0 || index >= n) {
                Message = "Face " + std::to_string(i) + ": vertex index " + std::to_string(index) +
                          " out of range (0.." + std::to_string(n - 1) + ")";
                return false;
            }
        }
    }
    for (size_t i = 0; i < Vertices.size(); ++i) {
        const TVec3& p = Vertices[i].Position;
        if (std::isnan(p.X) || std::isnan(p.Y) || std::isnan(p.Z)) {
            Message = "Vertex " + std::to_string(i) + ": position contains NaN";
            return false;
        }
    }
    return true;
}

bool TMeshData::RayPick(const TVec3& Origin, const TVec3& Direction, float& Distance,
                        TVec3& HitPoint, TVec3& Normal) const
{
    Distance = 1e30f;
    Normal = {0, 0, 1};
    HitPoint = Origin;
    bool found = false;
    const size_t n = Vertices.size();
    for (const TMeshFace& f : Faces) {
        // Faces that would read outside the vertex array cannot be hit.
        if (f.Count < 3 || f.Count > 4)
            continue;
        bool valid = true;
        for (int32_t k = 0; k < f.Count; ++k)
            valid = valid && InRange(f.Indices[k], n);
        if (!valid)
            continue;
        const TVec3& p0 = Vertices[f.Indices[0]].Position;
        for (int32_t k = 1; k <= f.Count - 2; ++k) {
            const TVec3& pk = Vertices[f.Indices[k]].Position;
            const TVec3& pk1 = Vertices[f.Indices[k + 1]].Position;
            float t = 0;
            if (!RayTriangleIntersect(Origin, Direction, p0, pk, pk1, t) || !(t < Distance))
                continue;
            Distance = t;
            const TVec3 cross = Vec3Cross(Vec3Sub(pk, p0), Vec3Sub(pk1, p0));
            if (Vec3Length(cross) > 1e-12f) {
                Normal = Vec3Normalize(cross);
            } else {
                TVec3 sum = Vertices[f.Indices[0]].Normal;
                sum = Vec3Add(sum, Vertices[f.Indices[1]].Normal);
                sum = Vec3Add(sum, Vertices[f.Indices[2]].Normal);
                Normal = Vec3Normalize(sum);
            }
            found = true;
        }
    }
    if (found)
        HitPoint = Vec3Add(Origin, Vec3Scale(Direction, Distance));
    return found;
}

std::vector<int32_t> TMeshData::GetVertexNeighbours(int32_t VertexIndex) const
{
    std::vector<int32_t> result;
    if (!InRange(VertexIndex, Vertices.size()))
        return result;
    for (const TMeshEdge& e : Edges) {
        int32_t other = -1;
        if (e.V0 == VertexIndex)
            other = e.V1;
        else if (e.V1 == VertexIndex)
            other = e.V0;
        else
            continue;
        if (std::find(result.begin(), result.end(), other) == result.end())
            result.push_back(other);
    }
    return result;
}

std::vector<int32_t> TMeshData::GetFaceVertices(int32_t FaceIndex) const
{
    if (!InRange(FaceIndex, Faces.size()))
        return {};
    const TMeshFace& f = Faces[FaceIndex];
    const int32_t count = std::clamp(f.Count, 0, 4);
    return std::vector<int32_t>(f.Indices.begin(), f.Indices.begin() + count);
}

std::vector<int32_t> TMeshData::GetEdgeVertices(int32_t EdgeIndex) const
{
    if (!InRange(EdgeIndex, Edges.size()))
        return {};
    return {Edges[EdgeIndex].V0, Edges[EdgeIndex].V1};
}

// ---------------------------------------------------------------------------------------
// Primitive builders

void TMeshData::BuildCube()
{
    Vertices.clear();
    Faces.clear();
    const TVec3 c[8] = {{-0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, -0.5f}, {0.5f, -0.5f, 0.5f},
                        {-0.5f, -0.5f, 0.5f},  {-0.5f, 0.5f, -0.5f}, {0.5f, 0.5f, -0.5f},
                        {0.5f, 0.5f, 0.5f},    {-0.5f, 0.5f, 0.5f}};
    struct Side {
        TVec3 normal;
        int corners[4];
    };
    const Side sides[6] = {{{0, -1, 0}, {0, 3, 2, 1}}, {{0, 1, 0}, {4, 5, 6, 7}},
                           {{1, 0, 0}, {1, 2, 6, 5}},  {{-1, 0, 0}, {3, 0, 4, 7}},
                           {{0, 0, 1}, {2, 3, 7, 6}},  {{0, 0, -1}, {0, 1, 5, 4}}};
    const TVec2 uvs[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
    Vertices.reserve(24);
    Faces.reserve(6);
    for (const Side& s : sides) {
        int32_t first = static_cast<int32_t>(Vertices.size());
        for (int k = 0; k < 4; ++k)
            AddVertex(MakeVertex(c[s.corners[k]], s.normal, uvs[k]));
        AddQuad(first, first + 1, first + 2, first + 3, 0);
    }
    RebuildEdges();
}

void TMeshData::BuildSphere(int32_t Segments, int32_t Rings, float Radius)
{
    Vertices.clear();
    Faces.clear();
    const int32_t S = Segments;
    const double r = Radius;
    Vertices.reserve(NonNegative(int64_t(Rings) * S + 2));
    Faces.reserve(NonNegative(int64_t(Rings + 1) * S));
    AddVertex(MakeVertex(V3(0, r, 0), {0, 1, 0}, {0.5f, 0}));
    for (int32_t i = 1; i <= Rings; ++i) {
        const float phi = static_cast<float>(std::numbers::pi * i / (Rings + 1));
        const float v = static_cast<float>(phi / std::numbers::pi);
        for (int32_t j = 0; j < S; ++j) {
            const float theta = TurnFraction(j, S);
            const float u = static_cast<float>(theta / (2 * std::numbers::pi));
            const TVec3 p = V3(r * Cos(theta) * Sin(phi), r * Cos(phi), r * Sin(theta) * Sin(phi));
            AddVertex(MakeVertex(p, Vec3Normalize(p), {u, v}));
        }
    }
    const int32_t bottom = AddVertex(MakeVertex(V3(0, -r, 0), {0, -1, 0}, {0.5f, 1}));
    for (int32_t j = 0; j < S; ++j) {
        const int32_t n = (j + 1) % S;
        AddTriangle(0, 1 + j, 1 + n, 0);
        for (int32_t w = 0; w <= Rings - 2; ++w)
            AddQuad(1 + w * S + j, 1 + w * S + n, 1 + (w + 1) * S + n, 1 + (w + 1) * S + j, 0);
        AddTriangle(bottom, 1 + (Rings - 1) * S + n, 1 + (Rings - 1) * S + j, 0);
    }
    RebuildEdges();
}

void TMeshData::BuildCylinder(int32_t Segments, float Radius, float Height)
{
    Vertices.clear();
    Faces.clear();
    const double r = Radius;
    const double h2 = Height / 2.0;
    Vertices.reserve(NonNegative(2 + 2 * int64_t(Segments)));
    Faces.reserve(NonNegative(3 * int64_t(Segments)));
    AddVertex(MakeVertex(V3(0, -h2, 0), {0, -1, 0}, {0, 0}));
    AddVertex(MakeVertex(V3(0, h2, 0), {0, 1, 0}, {0, 0}));
    for (int32_t i = 0; i < Segments; ++i) {
        const float a = TurnFraction(i, Segments);
        const float u = static_cast<float>(a / (2 * std::numbers::pi));
        const double x = r * Cos(a);
        const double z = r * Sin(a);
        const TVec3 normal = Vec3Normalize(V3(x, 0, z));
        AddVertex(MakeVertex(V3(x, -h2, z), normal, {u, 1}));
        AddVertex(MakeVertex(V3(x, h2, z), normal, {u, 0}));
    }
    for (int32_t i = 0; i < Segments; ++i) {
        const int32_t n = (i + 1) % Segments;
        AddTriangle(0, 2 * n + 2, 2 * i + 2, 0);
        AddTriangle(1, 2 * i + 3, 2 * n + 3, 0);
        AddQuad(2 * i + 2, 2 * n + 2, 2 * n + 3, 2 * i + 3, 0);
    }
    RebuildEdges();
}

void TMeshData::BuildCone(int32_t Segments, float Radius, float Height)
{
    Vertices.clear();
    Faces.clear();
    const double r = Radius;
    const double h2 = Height / 2.0;
    Vertices.reserve(NonNegative(2 + int64_t(Segments)));
    Faces.reserve(NonNegative(2 * int64_t(Segments)));
    AddVertex(MakeVertex(V3(0, h2, 0), {0, 1, 0}, {0, 0}));
    AddVertex(MakeVertex(V3(0, -h2, 0), {0, -1, 0}, {0, 0}));
    for (int32_t i = 0; i < Segments; ++i) {
        const float a = TurnFraction(i, Segments);
        const float u = static_cast<float>(a / (2 * std::numbers::pi));
        AddVertex(MakeVertex(V3(r * Cos(a), -h2, r * Sin(a)), {0, -1, 0}, {u, 1}));
    }
    for (int32_t i = 0; i < Segments; ++i) {
        const int32_t n = (i + 1) % Segments;
        AddTriangle(1, n + 2, i + 2, 0);
        AddTriangle(0, i + 2, n + 2, 0);
    }
    RebuildEdges();
}

void TMeshData::BuildTorus(int32_t MajorSegments, int32_t MinorSegments, float MajorRadius,
                           float MinorRadius)
{
    Vertices.clear();
    Faces.clear();
    const double R = MajorRadius;
    const double r = MinorRadius;
    const int32_t T = MinorSegments;
    Vertices.reserve(NonNegative(int64_t(MajorSegments) * T));
    Faces.reserve(NonNegative(int64_t(MajorSegments) * T));
    for (int32_t i = 0; i < MajorSegments; ++i) {
        const float a = TurnFraction(i, MajorSegments);
        for (int32_t j = 0; j < T; ++j) {
            const float b = TurnFraction(j, T);
            const double ring = R + r * Cos(b);
            const TVec3 p = V3(ring * Cos(a), r * Sin(b), ring * Sin(a));
            const TVec3 normal = V3(Cos(a) * Cos(b), Sin(b), Sin(a) * Cos(b));
            const TVec2 uv{static_cast<float>(a / (2 * std::numbers::pi)),
                           static_cast<float>(b / (2 * std::numbers::pi))};
            AddVertex(MakeVertex(p, normal, uv));
        }
    }
    for (int32_t i = 0; i < MajorSegments; ++i) {
        const int32_t i1 = (i + 1) % MajorSegments;
        for (int32_t j = 0; j < T; ++j) {
            const int32_t j1 = (j + 1) % T;
            AddQuad(T * i + j, T * i + j1, T * i1 + j1, T * i1 + j, 0);
        }
    }
    RebuildEdges();
}

void TMeshData::BuildPlane(float Size)
{
    Vertices.clear();
    Faces.clear();
    const float h = Size / 2;
    const TVec3 up{0, 1, 0};
    AddVertex(MakeVertex({-h, 0, -h}, up, {0, 0}));
    AddVertex(MakeVertex({h, 0, -h}, up, {1, 0}));
    AddVertex(MakeVertex({h, 0, h}, up, {1, 1}));
    AddVertex(MakeVertex({-h, 0, h}, up, {0, 1}));
    AddQuad(0, 1, 2, 3, 0);
    RebuildEdges();
}

void TMeshData::BuildSkybox()
{
    constexpr int32_t N = 48;
    constexpr double R = 200;
    Vertices.clear();
    Faces.clear();
    Vertices.reserve((N + 1) * (N + 1));
    Faces.reserve(N * N);
    const TVec3 white{1, 1, 1};
    for (int32_t i = 0; i <= N; ++i) {
        const float phi = static_cast<float>(std::numbers::pi * i / N);
        for (int32_t j = 0; j <= N; ++j) {
            const float theta = TurnFraction(j, N);
            const TVec3 p = V3(R * Cos(theta) * Sin(phi), R * Cos(phi), R * Sin(theta) * Sin(phi));
            const TVec2 uv{static_cast<float>(double(j) / N),
                           static_cast<float>(1 - double(i) / N)};
            AddVertex(MakeVertex(p, Vec3Normalize(Vec3Scale(p, -1)), uv, white));
        }
    }
    for (int32_t i = 0; i < N; ++i)
        for (int32_t j = 0; j < N; ++j)
            AddQuad((N + 1) * i + j, (N + 1) * i + j + 1, (N + 1) * (i + 1) + j + 1,
                    (N + 1) * (i + 1) + j, 0);
    RebuildEdges();
}

// ---------------------------------------------------------------------------------------
// Appending

void AppendMeshTransformed(const TMeshData* Source, TMeshData* Dest, const TMatrix4& M)
{
    if (!Source || !Dest)
        return;
    // Counts are taken first so that appending a mesh to itself copies it once.
    const size_t vertexCount = Source->Vertices.size();
    const size_t faceCount = Source->Faces.size();
    const int32_t b = static_cast<int32_t>(Dest->Vertices.size());
    Dest->Vertices.reserve(Dest->Vertices.size() + vertexCount);
    Dest->Faces.reserve(Dest->Faces.size() + faceCount);
    for (size_t i = 0; i < vertexCount; ++i) {
        TMeshVertex v = Source->Vertices[i];
        v.Position = MatTransformPoint(v.Position, M);
        v.Normal = Vec3Normalize(MatTransformVector(v.Normal, M));
        Dest->Vertices.push_back(v);
    }
    for (size_t i = 0; i < faceCount; ++i) {
        TMeshFace f = Source->Faces[i];
        for (int k = 0; k < 3; ++k)
            f.Indices[k] += b;
        if (f.Count == 4)
            f.Indices[3] += b;
        Dest->Faces.push_back(f);
    }
}

void AppendMesh(const TMeshData* Source, TMeshData* Dest)
{
    AppendMeshTransformed(Source, Dest, MatIdentity());
}

void EstimateCopies(const TMeshData* Mesh, int64_t N, TMeshCopyCounts& Counts)
{
    Counts = {};
    if (!Mesh || N <= 0)
        return;
    Counts.Vertices = SaturatingProduct(N, static_cast<int64_t>(Mesh->Vertices.size()));
    Counts.Faces = SaturatingProduct(N, static_cast<int64_t>(Mesh->Faces.size()));
    Counts.Edges = SaturatingProduct(N, static_cast<int64_t>(Mesh->Edges.size()));
}

bool TryGetMeshElementKind(int32_t Code, int32_t& Kind)
{
    switch (Code) {
    case 5:
        Kind = MeshElementVertices;
        return true;
    case 6:
        Kind = MeshElementEdges;
        return true;
    case 7:
        Kind = MeshElementFaces;
        return true;
    default:
        return false;
    }
}
