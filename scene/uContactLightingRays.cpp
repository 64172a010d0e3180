// The bounding volume hierarchy of the contact lighting and the rays cast through it.
#include "scene/uContactLighting.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <emmintrin.h>

#include "scene/uContactLightingVector.h"

using namespace ContactVector;

namespace {

constexpr uint32_t kLeafSize = 4;  // a box with this many triangles or fewer is not split
constexpr int kBins = 16;          // candidate splits per axis
constexpr int kMaxDepth = 32;      // past it boxes are halved: at most 64 levels
// Up to three children put aside per level of at most 64.
constexpr int kWideStackSize = 3 * 64 + 4;
// The far end of a box's span is moved out by this factor, which covers the rounding of
// the slab distances.
constexpr float kRobustFar = 1.0000004f;
// Cost of a box test against one triangle test, in the surface area heuristic.
constexpr float kBoxCost = 1.0f;
// Boxes with more triangles than this are split in the middle, without the heuristic.
constexpr uint32_t kSpatialSplitCount = 2048;

// Cell index of the plain cube search by cells of Size: floor(c / Size), held in 64 bits.
int64_t SearchCell(float c, float Size)
{
    const double f = std::floor(static_cast<double>(c / Size));
    constexpr double kLimit = 4.0e18;
    return static_cast<int64_t>(std::clamp(f, -kLimit, kLimit));
}

struct TBox {
    float Lo[3] = {std::numeric_limits<float>::max(), std::numeric_limits<float>::max(),
                   std::numeric_limits<float>::max()};
    float Hi[3] = {-std::numeric_limits<float>::max(), -std::numeric_limits<float>::max(),
                   -std::numeric_limits<float>::max()};

    void Grow(const TBox& b)
    {
        for (int a = 0; a < 3; ++a) {
            Lo[a] = std::min(Lo[a], b.Lo[a]);
            Hi[a] = std::max(Hi[a], b.Hi[a]);
        }
    }
    void Grow(const float* p)
    {
        for (int a = 0; a < 3; ++a) {
            Lo[a] = std::min(Lo[a], p[a]);
            Hi[a] = std::max(Hi[a], p[a]);
        }
    }
    // Half the surface area; an empty box has none.
    float Area() const
    {
        const float x = Hi[0] - Lo[0], y = Hi[1] - Lo[1], z = Hi[2] - Lo[2];
        return x < 0 ? 0 : x * y + y * z + z * x;
    }
};

// 1 / d, with a large finite value of d's sign for a zero component, so that the slab
// distances never become not-a-number.
inline float SafeInverse(float d)
{
    constexpr float kHuge = 1e30f;
    return std::fabs(d) > 1e-30f ? 1 / d : std::copysign(kHuge, d);
}

}  // namespace

// ---- Hierarchy --------------------------------------------------------------------------

struct TContactLightingCache::TBuildItem {
    TBox Box;
    float Center[3];
    uint32_t Triangle;  // index into Packed as added
};

void TContactLightingCache::BuildHierarchy()
{
    Nodes.clear();
    const uint32_t count = static_cast<uint32_t>(Packed.size());
    if (count == 0)
        return;
    std::vector<TBuildItem> items(count);
    for (uint32_t i = 0; i < count; ++i) {
        const TContactTriangle& t = Triangles[Packed[i].Index];
        TBuildItem& item = items[i];
        const TVec3* corners[3] = {&t.V0, &t.V1, &t.V2};
        for (const TVec3* c : corners) {
            const float p[3] = {c->X, c->Y, c->Z};
            item.Box.Grow(p);
        }
        // A little room around each triangle covers the rounding of the intersection test
        // and of the box test, so that no hit is ever outside its boxes.
        float extent = 0, farthest = 0;
        for (int a = 0; a < 3; ++a) {
            extent = std::max(extent, item.Box.Hi[a] - item.Box.Lo[a]);
            farthest = std::max({farthest, std::fabs(item.Box.Lo[a]), std::fabs(item.Box.Hi[a])});
        }
        const float pad = 1e-5f * (extent + farthest + 1);
        for (int a = 0; a < 3; ++a) {
            item.Box.Lo[a] -= pad;
            item.Box.Hi[a] += pad;
            item.Center[a] = 0.5f * (item.Box.Lo[a] + item.Box.Hi[a]);
        }
        item.Triangle = i;
    }
    Nodes.reserve(2 * (count / 2 + 1));
    BuildNode(items.data(), 0, count, 0);
    // Triangles in leaf order.
    std::vector<TPackedTriangle> ordered(count);
    for (uint32_t i = 0; i < count; ++i)
        ordered[i] = Packed[items[i].Triangle];
    Packed.swap(ordered);
    WideNodes.reserve(Nodes.size() / 2 + 1);
    CollapseNode(0);
    Nodes.clear();
    Nodes.shrink_to_fit();
}

// The four-wide node of a binary subtree: the inner child of largest surface is opened
// until four children are found or only leaves are left. Children keep their order.
uint32_t TContactLightingCache::CollapseNode(uint32_t Binary)
{
    const uint32_t self = static_cast<uint32_t>(WideNodes.size());
    WideNodes.push_back({});
    uint32_t children[4];
    uint32_t used = 0;
    if (Nodes[Binary].Count > 0) {
        children[used++] = Binary;  // a root that is a leaf
    } else {
        children[used++] = Binary + 1;
        children[used++] = Nodes[Binary].Offset;
    }
    auto area = [&](uint32_t n) {
        const float* b = Nodes[n].Bounds;
        TBox box;
        std::copy(b, b + 3, box.Lo);
        std::copy(b + 3, b + 6, box.Hi);
        return box.Area();
    };
    while (used < 4) {
        int widest = -1;
        float widestArea = -1;
        for (uint32_t i = 0; i < used; ++i)
            if (Nodes[children[i]].Count == 0 && area(children[i]) > widestArea) {
                widest = static_cast<int>(i);
                widestArea = area(children[i]);
            }
        if (widest < 0)
            break;
        const uint32_t opened = children[widest];
        for (uint32_t i = used; i > static_cast<uint32_t>(widest) + 1; --i)
            children[i] = children[i - 1];
        children[widest] = opened + 1;
        children[widest + 1] = Nodes[opened].Offset;
        ++used;
    }
    uint32_t refs[4] = {};
    uint8_t counts[4] = {};
    for (uint32_t i = 0; i < used; ++i) {
        const TBoxNode& n = Nodes[children[i]];
        counts[i] = static_cast<uint8_t>(n.Count);
        refs[i] = n.Count > 0 ? n.Offset : CollapseNode(children[i]);
    }
    TWideNode& node = WideNodes[self];
    for (int a = 0; a < 3; ++a)
        for (uint32_t i = 0; i < 4; ++i) {
            node.Bounds[a][i] =
                i < used ? Nodes[children[i]].Bounds[a] : std::numeric_limits<float>::max();
            node.Bounds[a + 3][i] =
                i < used ? Nodes[children[i]].Bounds[a + 3] : -std::numeric_limits<float>::max();
        }
    for (uint32_t i = 0; i < 4; ++i) {
        node.Child[i] = refs[i];
        node.Count[i] = counts[i];
    }
    node.Used = used;
    return self;
}

// Binned surface area heuristic: the split plane of the centres that makes the expected
// cost of a ray through the two halves lowest, or a leaf when no split is worth it.
uint32_t TContactLightingCache::BuildNode(TBuildItem* Base, uint32_t First, uint32_t Count,
                                          int Depth)
{
    TBuildItem* Items = Base + First;
    const uint32_t self = static_cast<uint32_t>(Nodes.size());
    Nodes.push_back({});
    TBox box, centers;
    for (uint32_t i = 0; i < Count; ++i) {
        box.Grow(Items[i].Box);
        centers.Grow(Items[i].Center);
    }
    auto makeLeaf = [&] {
        TBoxNode& node = Nodes[self];
        std::copy(box.Lo, box.Lo + 3, node.Bounds);
        std::copy(box.Hi, box.Hi + 3, node.Bounds + 3);
        node.Offset = First;
        node.Count = static_cast<uint16_t>(Count);
        node.Axis = 0;
        return self;
    };
    if (Count <= kLeafSize)
        return makeLeaf();
    // Large boxes are halved in space along their longest side: one pass instead of the
    // binning, and little lost where the boxes are still far larger than the rays.
    if (Count > kSpatialSplitCount && Depth < kMaxDepth) {
        int axis = 0;
        for (int a = 1; a < 3; ++a)
            if (centers.Hi[a] - centers.Lo[a] > centers.Hi[axis] - centers.Lo[axis])
                axis = a;
        const float middle = 0.5f * (centers.Lo[axis] + centers.Hi[axis]);
        TBuildItem* split = std::partition(Items, Items + Count, [&](const TBuildItem& item) {
            return item.Center[axis] < middle;
        });
        const uint32_t mid = static_cast<uint32_t>(split - Items);
        if (mid > 0 && mid < Count) {
            BuildNode(Base, First, mid, Depth + 1);
            const uint32_t second = BuildNode(Base, First + mid, Count - mid, Depth + 1);
            TBoxNode& node = Nodes[self];
            std::copy(box.Lo, box.Lo + 3, node.Bounds);
            std::copy(box.Hi, box.Hi + 3, node.Bounds + 3);
            node.Offset = second;
            node.Count = 0;
            node.Axis = static_cast<uint16_t>(axis);
            return self;
        }
    }

    int bestAxis = -1, bestSplit = 0;
    float bestCost = static_cast<float>(Count) * box.Area();
    // All three axes binned in one pass over the items.
    TBox bins[3][kBins];
    uint32_t counts[3][kBins] = {};
    float scales[3];
    for (int a = 0; a < 3; ++a)
        scales[a] = centers.Hi[a] > centers.Lo[a] ? kBins / (centers.Hi[a] - centers.Lo[a]) : 0;
    if (Depth < kMaxDepth)
        for (uint32_t i = 0; i < Count; ++i)
            for (int a = 0; a < 3; ++a) {
                const int b = std::min(
                    kBins - 1, static_cast<int>((Items[i].Center[a] - centers.Lo[a]) * scales[a]));
                bins[a][b].Grow(Items[i].Box);
                ++counts[a][b];
            }
    for (int a = 0; a < 3 && Depth < kMaxDepth; ++a) {
        if (scales[a] == 0)
            continue;
        float rightArea[kBins];
        uint32_t rightCount[kBins];
        TBox right;
        uint32_t n = 0;
        for (int b = kBins - 1; b > 0; --b) {
            right.Grow(bins[a][b]);
            n += counts[a][b];
            rightArea[b] = right.Area();
            rightCount[b] = n;
        }
        TBox left;
        n = 0;
        for (int b = 0; b + 1 < kBins; ++b) {
            left.Grow(bins[a][b]);
            n += counts[a][b];
            if (n == 0 || rightCount[b + 1] == 0)
                continue;
            const float cost = kBoxCost * box.Area() + static_cast<float>(n) * left.Area() +
                               static_cast<float>(rightCount[b + 1]) * rightArea[b + 1];
            if (cost < bestCost) {
                bestCost = cost;
                bestAxis = a;
                bestSplit = b + 1;
            }
        }
    }
    uint32_t mid;
    if (bestAxis < 0) {
        // Every centre in one place, or nothing gained: a leaf while it fits, else halves.
        if (Count <= 16)
            return makeLeaf();
        bestAxis = 0;
        for (int a = 1; a < 3; ++a)
            if (box.Hi[a] - box.Lo[a] > box.Hi[bestAxis] - box.Lo[bestAxis])
                bestAxis = a;
        mid = Count / 2;
        std::nth_element(Items, Items + mid, Items + Count,
                         [&](const TBuildItem& x, const TBuildItem& y) {
                             return x.Center[bestAxis] < y.Center[bestAxis];
                         });
    } else {
        const float lo = centers.Lo[bestAxis];
        const float scale = scales[bestAxis];
        TBuildItem* split = std::partition(Items, Items + Count, [&](const TBuildItem& item) {
            return std::min(kBins - 1, static_cast<int>((item.Center[bestAxis] - lo) * scale)) <
                   bestSplit;
        });
        mid = static_cast<uint32_t>(split - Items);
    }
    BuildNode(Base, First, mid, Depth + 1);
    const uint32_t second = BuildNode(Base, First + mid, Count - mid, Depth + 1);
    TBoxNode& node = Nodes[self];
    std::copy(box.Lo, box.Lo + 3, node.Bounds);
    std::copy(box.Hi, box.Hi + 3, node.Bounds + 3);
    node.Offset = second;
    node.Count = 0;
    node.Axis = static_cast<uint16_t>(bestAxis);
    return self;
}

// ---- Rays -------------------------------------------------------------------------------

namespace {
// Every test is evaluated and the outcomes combined without branches: the same operations
// and so the same values as the test that stops at the first failure.
template <typename TTriangle>
inline bool IntersectPacked(const TTriangle& tri, const TVec3& Origin, const TVec3& Dir, float& T)
{
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
}  // namespace

template <typename TVisit>
void TContactLightingCache::TraverseRay(const TVec3& Origin, const TVec3& Dir, float Limit,
                                        TVisit&& Visit) const
{
    if (WideNodes.empty())
        return;
    const float o[3] = {Origin.X, Origin.Y, Origin.Z};
    const float inv[3] = {SafeInverse(Dir.X), SafeInverse(Dir.Y), SafeInverse(Dir.Z)};
    // Rows of a node's bounds that hold the near and the far plane of each axis.
    int nearRow[3], farRow[3];
    for (int a = 0; a < 3; ++a) {
        nearRow[a] = inv[a] < 0 ? a + 3 : a;
        farRow[a] = inv[a] < 0 ? a : a + 3;
    }
    const __m128 ox = _mm_set1_ps(o[0]), oy = _mm_set1_ps(o[1]), oz = _mm_set1_ps(o[2]);
    const __m128 ix = _mm_set1_ps(inv[0]), iy = _mm_set1_ps(inv[1]), iz = _mm_set1_ps(inv[2]);
    const __m128 robust = _mm_set1_ps(kRobustFar), zero = _mm_setzero_ps();
    float cutoff = Limit;
    // Stack entries: a child slot (node * 4 + slot) and the distance at which the ray
    // enters its box; a box put aside is skipped when the cutoff has come nearer since.
    struct TEntry {
        uint32_t Slot;
        float Near;
    };
    TEntry stack[kWideStackSize];
    int top = 0;
    uint32_t current = 0;
    while (true) {
        const TWideNode& node = WideNodes[current];
        const __m128 nx = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.Bounds[nearRow[0]]), ox), ix);
        const __m128 fx = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.Bounds[farRow[0]]), ox), ix);
        const __m128 ny = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.Bounds[nearRow[1]]), oy), iy);
        const __m128 fy = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.Bounds[farRow[1]]), oy), iy);
        const __m128 nz = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.Bounds[nearRow[2]]), oz), iz);
        const __m128 fz = _mm_mul_ps(_mm_sub_ps(_mm_load_ps(node.Bounds[farRow[2]]), oz), iz);
        const __m128 t0 = _mm_max_ps(_mm_max_ps(nx, ny), _mm_max_ps(nz, zero));
        const __m128 t1 = _mm_mul_ps(_mm_min_ps(_mm_min_ps(fx, fy), fz), robust);
        const int mask = _mm_movemask_ps(_mm_cmple_ps(t0, _mm_min_ps(t1, _mm_set1_ps(cutoff))));
        alignas(16) float near4[4];
        _mm_store_ps(near4, t0);
        if (mask != 0 && (mask & (mask - 1)) == 0) {
            // One child entered: straight into it, without the stack.
            const uint32_t slot = static_cast<uint32_t>(__builtin_ctz(static_cast<unsigned>(mask)));
            if (node.Count[slot] == 0) {
                current = node.Child[slot];
                continue;
            }
            for (uint32_t k = node.Child[slot], end = k + node.Count[slot]; k < end; ++k) {
                cutoff = Visit(Packed[k]);
                if (cutoff < 0)
                    return;
            }
        } else {
            // The children entered, nearest last: pushed in that order, the nearest is
            // popped first.
            const int base = top;
            for (unsigned bits = static_cast<unsigned>(mask); bits != 0; bits &= bits - 1) {
                const int i = __builtin_ctz(bits);
                const TEntry e{current * 4 + static_cast<uint32_t>(i), near4[i]};
                int k = top++;
                while (k > base && stack[k - 1].Near < e.Near) {
                    stack[k] = stack[k - 1];
                    --k;
                }
                stack[k] = e;
            }
        }
        // The next inner node to open, after the leaves met on the way.
        bool found = false;
        while (top > 0) {
            const TEntry e = stack[--top];
            if (e.Near > cutoff)
                continue;
            const TWideNode& parent = WideNodes[e.Slot / 4];
            const uint32_t slot = e.Slot % 4;
            if (parent.Count[slot] == 0) {
                current = parent.Child[slot];
                found = true;
                break;
            }
            for (uint32_t k = parent.Child[slot], end = k + parent.Count[slot]; k < end; ++k) {
                cutoff = Visit(Packed[k]);
                if (cutoff < 0)
                    return;
            }
        }
        if (!found)
            return;
    }
}

// Of two hits at the same distance, the one the plain search over the cube of cells
// around the origin meets first: cells in X, Y, Z order, and in a cell ascending index.
bool TContactLightingCache::PrecedesInSearch(uint32_t A, uint32_t B, const TVec3& Origin,
                                             float MaxDist) const
{
    auto key = [&](uint32_t index) {
        const TContactTriangle& t = Triangles[index];
        std::array<int64_t, 4> k{};
        for (int a = 0; a < 3; ++a) {
            const float lowest =
                std::min({Component(t.V0, a), Component(t.V1, a), Component(t.V2, a)});
            k[a] = std::max(SearchCell(lowest, CellSize),
                            SearchCell(Component(Origin, a) - MaxDist, CellSize));
        }
        k[3] = index;
        return k;
    };
    return key(A) < key(B);
}

bool TContactLightingCache::CastRay(const TVec3& Origin, const TVec3& Dir, float MaxDist,
                                    TVec3& HitColor, float& HitDist)
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
    TraverseRay(Origin, Dir, ground ? groundT : MaxDist, [&](const TPackedTriangle& tri) {
        float t;
        if (IntersectPacked(tri, Origin, Dir, t)) {
            if (t < best) {
                best = t;
                bestIndex = tri.Index;
            } else if (t == best && bestIndex >= 0 &&
                       !(Triangles[tri.Index].Color == Triangles[bestIndex].Color) &&
                       PrecedesInSearch(tri.Index, static_cast<uint32_t>(bestIndex), Origin,
                                        MaxDist)) {
                bestIndex = tri.Index;
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
    TraverseRay(Origin, Dir, MaxDist, [&](const TPackedTriangle& tri) {
        float t;
        if (IntersectPacked(tri, Origin, Dir, t) && t < MaxDist) {
            hit = true;
            return -1.0f;
        }
        return MaxDist;
    });
    return hit;
}

namespace {
typedef float TLanes __attribute__((vector_size(16)));
typedef int32_t TLaneMask __attribute__((vector_size(16)));
constexpr int kLaneGroups = 3;  // twelve rays

inline TLanes Splat(float v)
{
    return TLanes{v, v, v, v};
}
inline bool AnyLane(TLaneMask m)
{
    return (m[0] | m[1] | m[2] | m[3]) != 0;
}
inline TLanes Min(TLanes a, TLanes b)
{
    return a < b ? a : b;
}
inline TLanes Max(TLanes a, TLanes b)
{
    return a > b ? a : b;
}
}  // namespace

void TContactLightingCache::CastProbeRays(const TVec3& Origin, const TVec3* Dirs, int32_t Count,
                                          float MaxDist, bool* Hits, TVec3* Colors, float* Dists)
{
    RaysCast += Count;
    for (int32_t r = 0; r < Count; ++r) {
        Hits[r] = false;
        Colors[r] = {0, 0, 0};
        Dists[r] = MaxDist;
    }
    if (!IsFinite(Origin) || !std::isfinite(MaxDist))
        return;

    // Directions by lane; lanes past Count get a zero direction, which hits nothing, and
    // a negative cutoff, which enters no box.
    TLanes dx[kLaneGroups], dy[kLaneGroups], dz[kLaneGroups], ix[kLaneGroups], iy[kLaneGroups],
        iz[kLaneGroups], best[kLaneGroups], cutoff[kLaneGroups], groundT[kLaneGroups];
    TLaneMask ground[kLaneGroups];
    int32_t bestIndex[4 * kLaneGroups];
    for (int32_t r = 0; r < 4 * kLaneGroups; ++r) {
        const int g = r / 4, l = r % 4;
        const bool used = r < Count && IsFinite(Dirs[r]);
        const TVec3 d = used ? Dirs[r] : TVec3{0, 0, 0};
        dx[g][l] = d.X;
        dy[g][l] = d.Y;
        dz[g][l] = d.Z;
        ix[g][l] = SafeInverse(d.X);
        iy[g][l] = SafeInverse(d.Y);
        iz[g][l] = SafeInverse(d.Z);
        best[g][l] = MaxDist;
        bestIndex[r] = -1;
        ground[g][l] = 0;
        groundT[g][l] = 0;
        if (used && Settings.GroundPlane && std::fabs(d.Y) > 1e-6f) {
            groundT[g][l] = (Settings.GroundHeight - Origin.Y) / d.Y;
            ground[g][l] = groundT[g][l] > kMinHitDistance && groundT[g][l] < MaxDist ? -1 : 0;
        }
        const bool moving = used && (d.X != 0 || d.Y != 0 || d.Z != 0);
        cutoff[g][l] =
            !moving ? -1.0f : (ground[g][l] ? std::min(MaxDist, groundT[g][l]) : MaxDist);
    }
    const int groups = (Count + 3) / 4;
    const TLanes ox = Splat(Origin.X), oy = Splat(Origin.Y), oz = Splat(Origin.Z);

    // Which groups have a lane that enters the box of the child slot, as bits, and the
    // nearest distance at which one of them enters it.
    auto enters = [&](const TWideNode& n, uint32_t Slot, float& Near) {
        unsigned mask = 0;
        TLanes nearest = Splat(std::numeric_limits<float>::infinity());
        for (int g = 0; g < groups; ++g) {
            const TLanes ax = (Splat(n.Bounds[0][Slot]) - ox) * ix[g],
                         bx = (Splat(n.Bounds[3][Slot]) - ox) * ix[g];
            const TLanes ay = (Splat(n.Bounds[1][Slot]) - oy) * iy[g],
                         by = (Splat(n.Bounds[4][Slot]) - oy) * iy[g];
            const TLanes az = (Splat(n.Bounds[2][Slot]) - oz) * iz[g],
                         bz = (Splat(n.Bounds[5][Slot]) - oz) * iz[g];
            const TLanes t0 = Max(Max(Min(ax, bx), Min(ay, by)), Max(Min(az, bz), Splat(0)));
            const TLanes t1 = Min(Min(Max(ax, bx), Max(ay, by)), Max(az, bz)) * kRobustFar;
            const TLanes t1c = Min(t1, cutoff[g]);
            const TLaneMask in = t0 <= t1c;
            if (AnyLane(in)) {
                mask |= 1u << g;
                nearest = Min(nearest, in ? t0 : nearest);
            }
        }
        Near = std::min(std::min(nearest[0], nearest[1]), std::min(nearest[2], nearest[3]));
        return mask;
    };

    // The intersection test of IntersectPacked, lane by lane with the same operations.
    auto test = [&](const TPackedTriangle& tri, unsigned GroupMask) {
        const TVec3 s = Sub(Origin, tri.V0);
        const TVec3 q = Cross(s, tri.E1);
        const float tNumerator = Dot(tri.E2, q);
        for (int g = 0; g < groups; ++g) {
            if (!(GroupMask >> g & 1))
                continue;
            const TLanes px = dy[g] * tri.E2.Z - tri.E2.Y * dz[g];
            const TLanes py = tri.E2.X * dz[g] - tri.E2.Z * dx[g];
            const TLanes pz = dx[g] * tri.E2.Y - tri.E2.X * dy[g];
            const TLanes det = tri.E1.X * px + tri.E1.Y * py + tri.E1.Z * pz;
            const TLaneMask solid = (det >= kMinDeterminant) | (det <= -kMinDeterminant);
            const TLanes inv = Splat(1.0f) / (solid ? det : Splat(1.0f));
            const TLanes u = (s.X * px + s.Y * py + s.Z * pz) * inv;
            const TLanes v = (dx[g] * q.X + dy[g] * q.Y + dz[g] * q.Z) * inv;
            const TLanes t = tNumerator * inv;
            const TLaneMask hit =
                solid & (u >= 0) & (u <= 1) & (v >= 0) & (u + v <= 1) & (t > kMinHitDistance);
            const TLaneMask closer = hit & (t < best[g]);
            const TLaneMask tie = hit & (t == best[g]);
            if (AnyLane(closer)) {
                best[g] = closer ? t : best[g];
                cutoff[g] = closer ? (ground[g] ? Min(t, groundT[g]) : t) : cutoff[g];
                for (int l = 0; l < 4; ++l)
                    if (closer[l])
                        bestIndex[4 * g + l] = static_cast<int32_t>(tri.Index);
            }
            if (AnyLane(tie))
                for (int l = 0; l < 4; ++l) {
                    const int32_t b = bestIndex[4 * g + l];
                    if (tie[l] && b >= 0 && !(Triangles[tri.Index].Color == Triangles[b].Color) &&
                        PrecedesInSearch(tri.Index, static_cast<uint32_t>(b), Origin, MaxDist))
                        bestIndex[4 * g + l] = static_cast<int32_t>(tri.Index);
                }
        }
    };

    // One walk for the whole packet: a box is opened when any ray enters it before its
    // own cutoff, and its triangles are tested against the groups of those rays. Boxes
    // put aside are tested again: the cutoffs may have come nearer since.
    if (!WideNodes.empty()) {
        // A child put aside, with the groups that entered it when it was tested; tested
        // again only when a leaf came in between.
        struct TEntry {
            uint32_t Slot;  // node * 4 + slot
            float Near;
            unsigned Mask;
            uint32_t Epoch;
        };
        uint32_t epoch = 0;
        TEntry stack[kWideStackSize];
        int top = 0;
        uint32_t current = 0;
        while (true) {
            const TWideNode& node = WideNodes[current];
            const int base = top;
            for (uint32_t i = 0; i < node.Used; ++i) {
                float nearT;
                const unsigned mask = enters(node, i, nearT);
                if (mask == 0)
                    continue;
                const TEntry e{current * 4 + i, nearT, mask, epoch};
                if (top == base) {
                    stack[top++] = e;
                    continue;
                }
                int k = top++;
                while (k > base && stack[k - 1].Near < e.Near) {
                    stack[k] = stack[k - 1];
                    --k;
                }
                stack[k] = e;
            }
            bool found = false;
            while (top > 0) {
                const TEntry e = stack[--top];
                const TWideNode& parent = WideNodes[e.Slot / 4];
                const uint32_t slot = e.Slot % 4;
                float nearT;
                const unsigned mask = e.Epoch == epoch ? e.Mask : enters(parent, slot, nearT);
                if (mask == 0)
                    continue;
                if (parent.Count[slot] == 0) {
                    current = parent.Child[slot];
                    found = true;
                    break;
                }
                for (uint32_t k = parent.Child[slot], end = k + parent.Count[slot]; k < end; ++k)
                    test(Packed[k], mask);
                ++epoch;
            }
            if (!found)
                break;
        }
    }

    for (int32_t r = 0; r < Count; ++r) {
        const int g = r / 4, l = r % 4;
        float b = best[g][l];
        bool hit = bestIndex[r] >= 0;
        if (hit)
            Colors[r] = Triangles[bestIndex[r]].Color;
        if (ground[g][l] && groundT[g][l] < b) {
            b = groundT[g][l];
            Colors[r] = Settings.GroundColor;
            hit = true;
        }
        Hits[r] = hit;
        if (hit)
            Dists[r] = b;
    }
}
