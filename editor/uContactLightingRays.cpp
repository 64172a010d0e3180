// The searching grid of the contact lighting and the rays cast over it.
#include "editor/uContactLighting.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "editor/uContactLightingVector.h"

using namespace ContactVector;

namespace {

// A triangle whose box covers more cells than this goes to the list every ray tests.
constexpr int64_t kLargeTriangleCells = 4096;
// Grid cells are this many times the median triangle's extent.
constexpr float kGridPerTriangle = 1.0f;
// Cell coordinates are packed into 21 bits each (biased, so that no key is 0).
constexpr int32_t kCellLimit = (1 << 20) - 1;
constexpr int32_t kCellBias = 1 << 20;
constexpr uint64_t kEmptyKey = 0;

uint64_t PackCell(int32_t X, int32_t Y, int32_t Z)
{
    return static_cast<uint64_t>(X + kCellBias) | (static_cast<uint64_t>(Y + kCellBias) << 21) |
           (static_cast<uint64_t>(Z + kCellBias) << 42);
}

uint64_t HashSlot(uint64_t Key, uint64_t Mask) { return (Key * 0x9E3779B97F4A7C15ull >> 20) & Mask; }

// Cell index of the plain cube search by cells of Size: floor(c / Size), held in 64 bits.
int64_t SearchCell(float c, float Size)
{
    const double f = std::floor(static_cast<double>(c / Size));
    constexpr double kLimit = 4.0e18;
    return static_cast<int64_t>(std::clamp(f, -kLimit, kLimit));
}

}  // namespace

// ---- Searching grid -------------------------------------------------------------------

int32_t TContactLightingCache::GridCell(float c) const
{
    const float f = c * InvGridSize;
    if (!(f > -kCellLimit))
        return -kCellLimit;
    if (!(f < kCellLimit))
        return kCellLimit;
    // floor() without a library call
    const int32_t i = static_cast<int32_t>(f);
    return static_cast<float>(i) > f ? i - 1 : i;
}

bool TContactLightingCache::TriangleCellRange(uint32_t Index, TCellRange& Range) const
{
    const TContactTriangle& t = Triangles[Index];
    for (int a = 0; a < 3; ++a) {
        const float c0 = Component(t.V0, a), c1 = Component(t.V1, a), c2 = Component(t.V2, a);
        Range.Lo[a] = GridCell(std::min({c0, c1, c2}) - InsertMargin);
        Range.Hi[a] = GridCell(std::max({c0, c1, c2}) + InsertMargin);
        // At the edge of the key range cells no longer tell places apart.
        if (Range.Lo[a] <= -kCellLimit || Range.Hi[a] >= kCellLimit)
            return false;
    }
    return true;
}

// The grid does not change any result, only how many triangles a ray tests: cells about
// the size of a typical triangle keep both the cells per triangle and the triangles per
// cell small.
float TContactLightingCache::ChooseGridCellSize(float& Farthest) const
{
    std::vector<float> extents;
    extents.reserve(Triangles.size());
    Farthest = 0;
    for (const TContactTriangle& t : Triangles) {
        float extent = 0;
        for (int a = 0; a < 3; ++a) {
            const float c0 = Component(t.V0, a), c1 = Component(t.V1, a), c2 = Component(t.V2, a);
            extent = std::max(extent, std::max({c0, c1, c2}) - std::min({c0, c1, c2}));
            Farthest = std::max({Farthest, std::fabs(c0), std::fabs(c1), std::fabs(c2)});
        }
        extents.push_back(extent);
    }
    float size = CellSize;
    if (!extents.empty()) {
        auto middle = extents.begin() + static_cast<std::ptrdiff_t>(extents.size() / 2);
        std::nth_element(extents.begin(), middle, extents.end());
        size = std::clamp(*middle * kGridPerTriangle, CellSize / 64, CellSize * 2);
    }
    // Keep every coordinate well inside the key range.
    return std::max(size, Farthest / static_cast<float>(kCellLimit / 2));
}

int32_t TContactLightingCache::InsertCell(uint64_t Key)
{
    uint64_t slot = HashSlot(Key, CellMask);
    while (CellKeys[slot] != kEmptyKey) {
        if (CellKeys[slot] == Key)
            return CellSlots[slot];
        slot = (slot + 1) & CellMask;
    }
    CellKeys[slot] = Key;
    CellSlots[slot] = static_cast<int32_t>(Cells.size());
    Cells.push_back({});
    return CellSlots[slot];
}

int32_t TContactLightingCache::FindHashedCell(int32_t X, int32_t Y, int32_t Z) const
{
    const uint64_t key = PackCell(X, Y, Z);
    uint64_t slot = HashSlot(key, CellMask);
    while (true) {
        const uint64_t k = CellKeys[slot];
        if (k == key)
            return CellSlots[slot];
        if (k == kEmptyKey)
            return -1;
        slot = (slot + 1) & CellMask;
    }
}

void TContactLightingCache::BuildGrid()
{
    const uint32_t count = static_cast<uint32_t>(Triangles.size());
    float farthest = 0;
    GridSize = ChooseGridCellSize(farthest);
    std::vector<TCellRange> ranges(count);
    std::vector<uint8_t> large(count);
    auto cellsOf = [](const TCellRange& r) {
        return (static_cast<int64_t>(r.Hi[0]) - r.Lo[0] + 1) * (static_cast<int64_t>(r.Hi[1]) - r.Lo[1] + 1) *
               (static_cast<int64_t>(r.Hi[2]) - r.Lo[2] + 1);
    };
    int64_t total = 0;
    // Coarser cells while the cell lists would grow far past the triangles.
    const int64_t cap = 32 * static_cast<int64_t>(count) + (1 << 20);
    for (int attempt = 0;; ++attempt) {
        InvGridSize = 1 / GridSize;
        // Triangles also go into the cells within this margin of their box, which covers
        // the rounding of the walk along a ray.
        InsertMargin = 1e-4f * GridSize + 1e-6f * farthest;
        total = 0;
        for (uint32_t i = 0; i < count; ++i) {
            large[i] = !TriangleCellRange(i, ranges[i]) || cellsOf(ranges[i]) > kLargeTriangleCells;
            if (!large[i])
                total += cellsOf(ranges[i]);
        }
        if (total <= cap || attempt >= 30)
            break;
        GridSize *= 2;
    }

    Cells.clear();
    CellItems.clear();
    LargeTriangles.clear();
    HasGridTriangles = false;
    for (uint32_t i = 0; i < count; ++i) {
        if (large[i]) {
            LargeTriangles.push_back(i);
            continue;
        }
        const TCellRange& r = ranges[i];
        if (!HasGridTriangles) {
            std::copy(r.Lo, r.Lo + 3, CellLo);
            std::copy(r.Hi, r.Hi + 3, CellHi);
            HasGridTriangles = true;
        }
        for (int a = 0; a < 3; ++a) {
            CellLo[a] = std::min(CellLo[a], r.Lo[a]);
            CellHi[a] = std::max(CellHi[a], r.Hi[a]);
        }
    }
    if (!HasGridTriangles)
        return;
    GridMin = {CellLo[0] * GridSize, CellLo[1] * GridSize, CellLo[2] * GridSize};
    GridMax = {(CellHi[0] + 1) * GridSize, (CellHi[1] + 1) * GridSize, (CellHi[2] + 1) * GridSize};

    // A flat array of cells over the bounds when that is not much larger than the lists,
    // else a hash table of the occupied cells.
    const int64_t nx = static_cast<int64_t>(CellHi[0]) - CellLo[0] + 1;
    const int64_t ny = static_cast<int64_t>(CellHi[1]) - CellLo[1] + 1;
    const int64_t nz = static_cast<int64_t>(CellHi[2]) - CellLo[2] + 1;
    const double boxCells = static_cast<double>(nx) * static_cast<double>(ny) * static_cast<double>(nz);
    DenseGrid = boxCells <= std::max(4.0 * static_cast<double>(total), double(1 << 22)) && boxCells <= double(1 << 26);
    std::vector<int32_t> cellOfItem;
    if (DenseGrid) {
        StrideY = nz;
        StrideX = ny * nz;
        Cells.assign(static_cast<size_t>(boxCells), TGridCell{});
        CellKeys.clear();
        CellSlots.clear();
    } else {
        uint64_t capacity = 16;
        while (capacity < static_cast<uint64_t>(2 * total))
            capacity *= 2;
        CellMask = capacity - 1;
        CellKeys.assign(capacity, kEmptyKey);
        CellSlots.assign(capacity, -1);
        cellOfItem.reserve(static_cast<size_t>(total));
    }
    auto DenseIndex = [&](int32_t x, int32_t y, int32_t z) {
        return static_cast<int32_t>((x - CellLo[0]) * StrideX + (y - CellLo[1]) * StrideY + (z - CellLo[2]));
    };
    // First pass: count each cell's triangles; second: fill them in ascending order.
    for (uint32_t i = 0; i < count; ++i) {
        if (large[i])
            continue;
        const TCellRange& r = ranges[i];
        for (int32_t x = r.Lo[0]; x <= r.Hi[0]; ++x)
            for (int32_t y = r.Lo[1]; y <= r.Hi[1]; ++y)
                for (int32_t z = r.Lo[2]; z <= r.Hi[2]; ++z) {
                    const int32_t cell = DenseGrid ? DenseIndex(x, y, z) : InsertCell(PackCell(x, y, z));
                    ++Cells[cell].Start;
                    if (!DenseGrid)
                        cellOfItem.push_back(cell);
                }
    }
    uint32_t running = 0;
    for (TGridCell& c : Cells) {
        const uint32_t n = c.Start;
        c.Start = running;
        running += n;
    }
    std::vector<uint32_t> fill(Cells.size());
    for (size_t c = 0; c < Cells.size(); ++c)
        fill[c] = Cells[c].Start;
    Cells.push_back({running, 0});
    CellItems.resize(running);
    Occupied.clear();
    if (DenseGrid) {
        Occupied.assign((Cells.size() + 63) / 64, 0);
        for (size_t c = 0; c + 1 < Cells.size(); ++c)
            if (Cells[c].Start < Cells[c + 1].Start)
                Occupied[c >> 6] |= uint64_t{1} << (c & 63);
    }
    size_t item = 0;
    for (uint32_t i = 0; i < count; ++i) {
        if (large[i])
            continue;
        const TCellRange& r = ranges[i];
        for (int32_t x = r.Lo[0]; x <= r.Hi[0]; ++x)
            for (int32_t y = r.Lo[1]; y <= r.Hi[1]; ++y)
                for (int32_t z = r.Lo[2]; z <= r.Hi[2]; ++z) {
                    const int32_t cell = DenseGrid ? DenseIndex(x, y, z) : cellOfItem[item++];
                    CellItems[fill[cell]++] = i;
                }
    }
}

// ---- Rays -----------------------------------------------------------------------------

void TContactLightingCache::NextRayStamp()
{
    ++RayStamp;
    if (RayStamp == std::numeric_limits<int32_t>::max()) {
        for (TPackedTriangle& t : Packed)
            t.Stamp = 0;
        for (TGridCell& c : Cells)
            c.Stamp = 0;
        RayStamp = 1;
    }
}

// Every test is evaluated and the outcomes combined without branches: the same operations
// and so the same values as the test that stops at the first failure.
bool TContactLightingCache::Intersect(uint32_t Index, const TVec3& Origin, const TVec3& Dir, float& T) const
{
    const TPackedTriangle& tri = Packed[Index];
    const TVec3 p = Cross(Dir, tri.E2);
    const float det = Dot(tri.E1, p);
    const bool solid = std::fabs(det) >= kMinDeterminant;
    const float inv = 1.0f / (solid ? det : 1.0f);
    const TVec3 s = Sub(Origin, tri.V0);
    const float u = Dot(s, p) * inv;
    const TVec3 q = Cross(s, tri.E1);
    const float v = Dot(Dir, q) * inv;
    T = Dot(tri.E2, q) * inv;
    return solid & (u >= 0) & (u <= 1) & (v >= 0) & (u + v <= 1) & (T > kMinHitDistance);
}

// Walks the cells the ray crosses, in order, from its entry into the grid up to Limit or
// the cutoff Visit returns, whichever is nearer. A rounding slip at a cell corner can put
// the walk into a neighbour of the cell the exact ray crosses, but only near that corner;
// the insertion margin puts every triangle into such neighbours too.
template <typename TVisit>
void TContactLightingCache::WalkRay(const TVec3& Origin, const TVec3& Dir, float Limit, TVisit&& Visit)
{
    float cutoff = Limit;
    for (uint32_t index : LargeTriangles) {
        if (Packed[index].Stamp == RayStamp)
            continue;
        Packed[index].Stamp = RayStamp;
        cutoff = Visit(index);
        if (cutoff < 0)
            return;
    }
    if (!HasGridTriangles)
        return;

    const float o[3] = {Origin.X, Origin.Y, Origin.Z};
    const float d[3] = {Dir.X, Dir.Y, Dir.Z};
    const float length = Length(Dir);
    if (!(length > 0))
        return;
    const float marginT = InsertMargin / length;
    // Clip to the grid's bounds, padded by a whole cell, unless the ray starts inside.
    const float lo[3] = {GridMin.X - GridSize, GridMin.Y - GridSize, GridMin.Z - GridSize};
    const float hi[3] = {GridMax.X + GridSize, GridMax.Y + GridSize, GridMax.Z + GridSize};
    float t0 = 0, t1 = cutoff + marginT;
    if (!(o[0] >= lo[0] && o[0] <= hi[0] && o[1] >= lo[1] && o[1] <= hi[1] && o[2] >= lo[2] && o[2] <= hi[2])) {
        for (int a = 0; a < 3; ++a) {
            if (d[a] == 0) {
                if (o[a] < lo[a] || o[a] > hi[a])
                    return;
                continue;
            }
            const float inv = 1 / d[a];
            float ta = (lo[a] - o[a]) * inv, tb = (hi[a] - o[a]) * inv;
            if (ta > tb)
                std::swap(ta, tb);
            t0 = std::max(t0, ta);
            t1 = std::min(t1, tb);
        }
        if (!(t0 <= t1))
            return;
    }

    float start[3];
    int32_t cell[3], step[3];
    float tMax[3], invD[3];
    for (int a = 0; a < 3; ++a) {
        start[a] = o[a] + t0 * d[a];
        cell[a] = GridCell(start[a]);
        step[a] = d[a] > 0 ? 1 : (d[a] < 0 ? -1 : 0);
        invD[a] = step[a] != 0 ? 1 / d[a] : 0;
    }
    // Parameter at which the walk leaves the current cell along an axis.
    auto exitOf = [&](int a) {
        if (step[a] == 0)
            return std::numeric_limits<float>::infinity();
        return t0 + (static_cast<float>(cell[a] + (step[a] > 0 ? 1 : 0)) * GridSize - start[a]) * invD[a];
    };
    for (int a = 0; a < 3; ++a)
        tMax[a] = exitOf(a);

    while (true) {
        if (cell[0] >= CellLo[0] && cell[0] <= CellHi[0] && cell[1] >= CellLo[1] && cell[1] <= CellHi[1] &&
            cell[2] >= CellLo[2] && cell[2] <= CellHi[2]) {
            const int32_t found = FindCell(cell[0], cell[1], cell[2]);
            // A cell already walked for this stamp had all its triangles tested; an empty
            // cell is left untouched.
            const uint32_t begin = found >= 0 ? Cells[found].Start : 0;
            const uint32_t end = found >= 0 ? Cells[found + 1].Start : 0;
            if (begin < end && Cells[found].Stamp != RayStamp) {
                Cells[found].Stamp = RayStamp;
                for (uint32_t k = begin; k < end; ++k) {
                    const uint32_t index = CellItems[k];
                    if (Packed[index].Stamp == RayStamp)
                        continue;
                    Packed[index].Stamp = RayStamp;
                    cutoff = Visit(index);
                    if (cutoff < 0)
                        return;
                }
            }
        }
        const int a = tMax[0] < tMax[1] ? (tMax[0] < tMax[2] ? 0 : 2) : (tMax[1] < tMax[2] ? 1 : 2);
        // Every hit up to the cutoff lies in a cell already walked.
        if (!(tMax[a] <= t1) || !(tMax[a] <= cutoff + marginT))
            return;
        cell[a] += step[a];
        if (step[a] > 0 ? cell[a] > CellHi[a] : cell[a] < CellLo[a])
            return;
        tMax[a] = exitOf(a);
    }
}

// Of two hits at the same distance, the one the plain search over the cube of cells
// around the origin meets first: cells in X, Y, Z order, and in a cell ascending index.
bool TContactLightingCache::PrecedesInSearch(uint32_t A, uint32_t B, const TVec3& Origin, float MaxDist) const
{
    auto key = [&](uint32_t index) {
        const TContactTriangle& t = Triangles[index];
        std::array<int64_t, 4> k{};
        for (int a = 0; a < 3; ++a) {
            const float lowest = std::min({Component(t.V0, a), Component(t.V1, a), Component(t.V2, a)});
            k[a] = std::max(SearchCell(lowest, CellSize), SearchCell(Component(Origin, a) - MaxDist, CellSize));
        }
        k[3] = index;
        return k;
    };
    return key(A) < key(B);
}

bool TContactLightingCache::CastRay(const TVec3& Origin, const TVec3& Dir, float MaxDist, TVec3& HitColor,
                                    float& HitDist)
{
    HitColor = {0, 0, 0};
    HitDist = MaxDist;
    ++RaysCast;
    if (!IsFinite(Origin) || !IsFinite(Dir) || !std::isfinite(MaxDist))
        return false;

    // The ground is known at once; a triangle must come no farther than it to count.
    float groundT = 0;
    bool ground = false;
    if (Settings.GroundPlane && std::fabs(Dir.Y) > 1e-6f) {
        groundT = (Settings.GroundHeight - Origin.Y) / Dir.Y;
        ground = groundT > kMinHitDistance && groundT < MaxDist;
    }
    float best = MaxDist;
    int64_t bestIndex = -1;
    NextRayStamp();
    WalkRay(Origin, Dir, ground ? groundT : MaxDist, [&](uint32_t index) {
        float t;
        if (Intersect(index, Origin, Dir, t)) {
            if (t < best) {
                best = t;
                bestIndex = index;
            } else if (t == best && bestIndex >= 0 &&
                       !(Triangles[index].Color == Triangles[bestIndex].Color) &&
                       PrecedesInSearch(index, static_cast<uint32_t>(bestIndex), Origin, MaxDist)) {
                bestIndex = index;
            }
        }
        return ground ? std::min(best, groundT) : best;
    });

    bool hit = bestIndex >= 0;
    if (hit)
        HitColor = Triangles[bestIndex].Color;
    if (ground && groundT < best) {
        best = groundT;
        HitColor = Settings.GroundColor;
        hit = true;
    }
    if (hit)
        HitDist = best;
    return hit;
}

namespace {
typedef float TLanes __attribute__((vector_size(16)));
typedef int32_t TLaneMask __attribute__((vector_size(16)));
constexpr int kLaneGroups = 3;  // twelve rays

inline TLanes Splat(float v) { return TLanes{v, v, v, v}; }
inline bool AnyLane(TLaneMask m) { return (m[0] | m[1] | m[2] | m[3]) != 0; }
}  // namespace

void TContactLightingCache::CastProbeRays(const TVec3& Origin, const TVec3* Dirs, int32_t Count, float MaxDist,
                                          bool* Hits, TVec3* Colors, float* Dists)
{
    RaysCast += Count;
    for (int32_t r = 0; r < Count; ++r) {
        Hits[r] = false;
        Colors[r] = {0, 0, 0};
        Dists[r] = MaxDist;
    }
    if (!IsFinite(Origin) || !std::isfinite(MaxDist))
        return;

    // Directions by lane; lanes past Count get a zero direction, which hits nothing.
    TLanes dx[kLaneGroups], dy[kLaneGroups], dz[kLaneGroups], best[kLaneGroups];
    int32_t bestIndex[4 * kLaneGroups];
    float groundT[4 * kLaneGroups];
    bool ground[4 * kLaneGroups];
    for (int32_t r = 0; r < 4 * kLaneGroups; ++r) {
        const TVec3 d = r < Count && IsFinite(Dirs[r]) ? Dirs[r] : TVec3{0, 0, 0};
        dx[r / 4][r % 4] = d.X;
        dy[r / 4][r % 4] = d.Y;
        dz[r / 4][r % 4] = d.Z;
        best[r / 4][r % 4] = MaxDist;
        bestIndex[r] = -1;
        ground[r] = false;
        groundT[r] = 0;
        if (r < Count && Settings.GroundPlane && std::fabs(d.Y) > 1e-6f) {
            groundT[r] = (Settings.GroundHeight - Origin.Y) / d.Y;
            ground[r] = groundT[r] > kMinHitDistance && groundT[r] < MaxDist;
        }
    }

    // The intersection test of Intersect, lane by lane with the same operations.
    const int groups = (Count + 3) / 4;
    auto test = [&](uint32_t index) {
        const TPackedTriangle& tri = Packed[index];
        const TVec3 s = Sub(Origin, tri.V0);
        const TVec3 q = Cross(s, tri.E1);
        const float tNumerator = Dot(tri.E2, q);
        for (int g = 0; g < groups; ++g) {
            const TLanes px = dy[g] * tri.E2.Z - tri.E2.Y * dz[g];
            const TLanes py = tri.E2.X * dz[g] - tri.E2.Z * dx[g];
            const TLanes pz = dx[g] * tri.E2.Y - tri.E2.X * dy[g];
            const TLanes det = tri.E1.X * px + tri.E1.Y * py + tri.E1.Z * pz;
            const TLaneMask solid = (det >= kMinDeterminant) | (det <= -kMinDeterminant);
            const TLanes inv = Splat(1.0f) / (solid ? det : Splat(1.0f));
            const TLanes u = (s.X * px + s.Y * py + s.Z * pz) * inv;
            const TLanes v = (dx[g] * q.X + dy[g] * q.Y + dz[g] * q.Z) * inv;
            const TLanes t = tNumerator * inv;
            const TLaneMask hit = solid & (u >= 0) & (u <= 1) & (v >= 0) & (u + v <= 1) & (t > kMinHitDistance);
            const TLaneMask closer = hit & (t < best[g]);
            const TLaneMask tie = hit & (t == best[g]);
            if (AnyLane(closer)) {
                best[g] = closer ? t : best[g];
                for (int l = 0; l < 4; ++l)
                    if (closer[l])
                        bestIndex[4 * g + l] = static_cast<int32_t>(index);
            }
            if (AnyLane(tie))
                for (int l = 0; l < 4; ++l) {
                    const int32_t b = bestIndex[4 * g + l];
                    if (tie[l] && b >= 0 && !(Triangles[index].Color == Triangles[b].Color) &&
                        PrecedesInSearch(index, static_cast<uint32_t>(b), Origin, MaxDist))
                        bestIndex[4 * g + l] = static_cast<int32_t>(index);
                }
        }
    };

    // One stamp for the whole packet: each triangle is tested once, against every ray.
    NextRayStamp();
    for (int32_t r = 0; r < Count; ++r) {
        auto cutoffOf = [&] {
            const float b = best[r / 4][r % 4];
            return ground[r] ? std::min(b, groundT[r]) : b;
        };
        if (dx[r / 4][r % 4] == 0 && dy[r / 4][r % 4] == 0 && dz[r / 4][r % 4] == 0)
            continue;
        WalkRay(Origin, Dirs[r], cutoffOf(), [&](uint32_t index) {
            test(index);
            return cutoffOf();
        });
    }

    for (int32_t r = 0; r < Count; ++r) {
        float b = best[r / 4][r % 4];
        bool hit = bestIndex[r] >= 0;
        if (hit)
            Colors[r] = Triangles[bestIndex[r]].Color;
        if (ground[r] && groundT[r] < b) {
            b = groundT[r];
            Colors[r] = Settings.GroundColor;
            hit = true;
        }
        Hits[r] = hit;
        if (hit)
            Dists[r] = b;
    }
}

bool TContactLightingCache::IsOccluded(const TVec3& Origin, const TVec3& Dir, float MaxDist)
{
    ++RaysCast;
    if (!IsFinite(Origin) || !IsFinite(Dir) || !std::isfinite(MaxDist))
        return false;
    if (Settings.GroundPlane && std::fabs(Dir.Y) > 1e-6f) {
        const float t = (Settings.GroundHeight - Origin.Y) / Dir.Y;
        if (t > kMinHitDistance && t < MaxDist)
            return true;
    }
    bool hit = false;
    NextRayStamp();
    WalkRay(Origin, Dir, MaxDist, [&](uint32_t index) {
        float t;
        if (Intersect(index, Origin, Dir, t) && t < MaxDist) {
            hit = true;
            return -1.0f;
        }
        return MaxDist;
    });
    return hit;
}
