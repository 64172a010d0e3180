#include "modifiers/uWeldGrid.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <unordered_map>
#include <utility>

namespace {

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

// Mixed in every bit: the cells of a regular mesh are multiples of a common step. 31 bits,
// so that a hash and a negative marker share one int32 slot.
uint32_t CellHash(int64_t x, int64_t y, int64_t z)
{
    uint64_t h = static_cast<uint64_t>(x) * 0x9E3779B97F4A7C15ull;
    h = (h ^ (h >> 31)) + static_cast<uint64_t>(y) * 0xC2B2AE3D27D4EB4Full;
    h = (h ^ (h >> 31)) + static_cast<uint64_t>(z) * 0x165667B19E3779F9ull;
    h ^= h >> 33;
    h *= 0xFF51AFD7ED558CCDull;
    h ^= h >> 33;
    return static_cast<uint32_t>(h >> 33);
}

// Of the position's bits; cheap, for the weld's table of recent positions.
uint32_t PositionHash(const TVec3& p)
{
    uint32_t x, y, z;
    std::memcpy(&x, &p.X, 4);
    std::memcpy(&y, &p.Y, 4);
    std::memcpy(&z, &p.Z, 4);
    const uint64_t h =
        (x * 0x9E3779B97F4A7C15ull) ^ (y * 0xC2B2AE3D27D4EB4Full) ^ (z * 0x165667B19E3779F9ull);
    return static_cast<uint32_t>(h >> 40);
}

// A position's bits, as a key of the table of a crowded bucket's distinct positions.
struct TPositionKey {
    uint32_t Bits[3];
    explicit TPositionKey(const TWeldPoint& P) { std::memcpy(Bits, &P.X, sizeof(Bits)); }
    bool operator==(const TPositionKey& Other) const
    {
        return std::memcmp(Bits, Other.Bits, sizeof(Bits)) == 0;
    }
    struct THash {
        size_t operator()(const TPositionKey& K) const
        {
            return (K.Bits[0] * 0x9E3779B97F4A7C15ull) ^ (K.Bits[1] * 0xC2B2AE3D27D4EB4Full) ^
                   (K.Bits[2] * 0x165667B19E3779F9ull);
        }
    };
};

bool SamePosition(const TWeldPoint& a, const TWeldPoint& b)
{
    return std::memcmp(&a.X, &b.X, 3 * sizeof(float)) == 0;
}

// Vec3Dot of Vec3Sub, written out so that it inlines into the pair loop.
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

}  // namespace

TWeldGrid::TWeldGrid(const std::vector<TMeshVertex>& Vertices, float Threshold,
                     TUnfilled<int32_t>& PointOf)
    : T2(Threshold * Threshold)
{
    // A little past the threshold, so that rounding in the distance test never joins a pair
    // the grid does not offer; below the smallest normal float the squares round coarsely.
    double reach = Threshold;
    if (T2 < std::numeric_limits<float>::min())
        reach = std::max(reach, std::sqrt(static_cast<double>(T2) +
                                          4.0 * std::numeric_limits<float>::denorm_min()));
    Reach = reach;
    InverseCell = kReachInCells / (1.01 * reach);
    // About two buckets per vertex, so that most look-ups of an empty cell find an empty
    // bucket.
    while (Bits < 26 && (size_t{1} << Bits) < 2 * Vertices.size())
        ++Bits;
    SortByBucket(Vertices, PointOf);
    IndexBuckets();
}

std::vector<int32_t> TWeldGrid::JoinClosePoints() const
{
    std::vector<int32_t> parent(static_cast<size_t>(Count));
    for (size_t p = 0; p < parent.size(); ++p)
        parent[p] = static_cast<int32_t>(p);
    // An infinite square passes every distance of finite points, overflowed ones too.
    if (std::isinf(T2)) {
        for (size_t s = 1; s < Points.size(); ++s)
            JoinLowest(parent, Points[0].Index, Points[s].Index);
        return parent;
    }
    auto join = [&](const TWeldPoint& a, const TWeldPoint& b) {
        if (DistanceSquared(a, b) <= T2)
            JoinLowest(parent, a.Index, b.Index);
    };

    // Points of one cell: within a bucket, the points of equal hash. A crowded cell is
    // joined through its fine cells.
    std::vector<TCrowd> crowds;
    std::unordered_map<uint32_t, uint32_t> crowdOf;  // hash to crowd
    std::vector<uint32_t> slots;
    for (size_t r = 0; r + 1 < BucketStart.size(); ++r) {
        const uint32_t begin = BucketStart[r], end = BucketStart[r + 1];
        if (end - begin <= kCrowded || !FineCellsJoin()) {
            for (uint32_t a = begin; a + 1 < end; ++a)
                for (uint32_t b = a + 1; b < end; ++b)
                    if (Points[b].Hash == Points[a].Hash)
                        join(Points[a], Points[b]);
            continue;
        }
        slots.resize(end - begin);
        for (uint32_t a = begin; a < end; ++a)
            slots[a - begin] = a;
        std::stable_sort(slots.begin(), slots.end(),
                         [&](uint32_t a, uint32_t b) { return Points[a].Hash < Points[b].Hash; });
        for (size_t from = 0, to = 0; from < slots.size(); from = to) {
            for (to = from;
                 to < slots.size() && Points[slots[to]].Hash == Points[slots[from]].Hash;)
                ++to;
            if (to - from > kCrowded) {
                crowdOf[Points[slots[from]].Hash] = static_cast<uint32_t>(crowds.size());
                crowds.push_back(MakeCrowd({slots.begin() + from, slots.begin() + to}));
                JoinCrowd(crowds.back(), parent);
                continue;
            }
            for (size_t a = from; a + 1 < to; ++a)
                for (size_t b = a + 1; b < to; ++b)
                    join(Points[slots[a]], Points[slots[b]]);
        }
    }

    // Points of neighbouring cells. A pair across cells is taken from the cell of the lower
    // hash only: each point's box reaches the other's cell. The neighbours are the
    // non-empty subsets of the sides the box crosses. The look-ups go in batches, their
    // occupancy words fetched ahead: the words lie scattered over a large table, and most
    // look-ups only need to see an empty bucket.
    constexpr size_t kBatch = 64;
    struct TLookUp {
        uint32_t Point;
        uint32_t Hash;
    };
    TLookUp batch[kBatch * 7];
    for (size_t first = 0; first < Points.size(); first += kBatch) {
        size_t count = 0;
        for (size_t a = first; a < std::min(first + kBatch, Points.size()); ++a) {
            int64_t cell[3], step[3];
            const unsigned sides = SidesOf(Points[a], cell, step);
            for (unsigned s = sides; s != 0; s = (s - 1) & sides) {
                const uint32_t other =
                    CellHash(cell[0] + step[0] * (s & 1), cell[1] + step[1] * (s >> 1 & 1),
                             cell[2] + step[2] * (s >> 2 & 1));
                if (other > Points[a].Hash) {
                    __builtin_prefetch(&Occupancy[other >> Shift() >> 6]);
                    batch[count++] = {static_cast<uint32_t>(a), other};
                }
            }
        }
        for (size_t k = 0; k < count; ++k) {
            uint32_t from, to;
            if (!Find(batch[k].Hash >> Shift(), from, to))
                continue;
            if (!crowds.empty()) {
                const auto crowd = crowdOf.find(batch[k].Hash);
                if (crowd != crowdOf.end()) {
                    JoinPointToCrowd(batch[k].Point, crowds[crowd->second], parent);
                    continue;
                }
            }
            for (uint32_t b = from; b < to; ++b)
                if (Points[b].Hash == batch[k].Hash)
                    join(Points[batch[k].Point], Points[b]);
        }
    }
    return parent;
}

// Points of one fine cell are within the threshold of each other in the float test when
// the square of the threshold is a normal float, far from the rounding of tiny squares
// (thresholds a modifier can hold always are).
bool TWeldGrid::FineCellsJoin() const
{
    return T2 >= 0x1p-100f && std::isfinite(T2);
}

// The fine cell along one axis of a coordinate scaled to fine cells. Past 2^50 fine cells
// a float step spans far more than a cell, so the coordinate itself serves as the key: only
// equal coordinates share it, and no other coordinate comes within reach.
int64_t TWeldGrid::FineCoordinate(double Scaled) const
{
    if (std::fabs(Scaled) < 0x1p50)
        return CellCoordinate(Scaled);
    const float value = static_cast<float>(Scaled / (InverseCell * kFinePerCell));
    uint32_t bits;
    std::memcpy(&bits, &value, 4);
    const int64_t key = (int64_t{1} << 60) + bits;
    return value > 0 ? key : -key;
}

TWeldGrid::TFineKey TWeldGrid::FineKeyOf(const TWeldPoint& P) const
{
    const double scale = InverseCell * kFinePerCell;
    return {FineCoordinate(P.X * scale), FineCoordinate(P.Y * scale), FineCoordinate(P.Z * scale)};
}

TWeldGrid::TCrowd TWeldGrid::MakeCrowd(std::vector<uint32_t> Slots) const
{
    TCrowd crowd;
    std::vector<std::pair<TFineKey, uint32_t>> keyed(Slots.size());
    for (size_t i = 0; i < Slots.size(); ++i)
        keyed[i] = {FineKeyOf(Points[Slots[i]]), Slots[i]};
    std::sort(keyed.begin(), keyed.end());
    crowd.Slots.resize(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i) {
        crowd.Slots[i] = keyed[i].second;
        if (i == 0 || keyed[i].first != keyed[i - 1].first) {
            crowd.Keys.push_back(keyed[i].first);
            crowd.Start.push_back(static_cast<uint32_t>(i));
        }
    }
    crowd.Start.push_back(static_cast<uint32_t>(keyed.size()));
    crowd.Bounds.resize(crowd.Keys.size());
    for (size_t k = 0; k < crowd.Keys.size(); ++k) {
        TBox& box = crowd.Bounds[k];
        for (uint32_t s = crowd.Start[k]; s < crowd.Start[k + 1]; ++s) {
            const TWeldPoint& p = Points[crowd.Slots[s]];
            const float c[3] = {p.X, p.Y, p.Z};
            for (int a = 0; a < 3; ++a) {
                box.Low[a] = s == crowd.Start[k] ? c[a] : std::min(box.Low[a], c[a]);
                box.High[a] = s == crowd.Start[k] ? c[a] : std::max(box.High[a], c[a]);
            }
        }
    }
    return crowd;
}

int32_t TWeldGrid::FindFineCell(const TCrowd& Crowd, const TFineKey& Key) const
{
    const auto it = std::lower_bound(Crowd.Keys.begin(), Crowd.Keys.end(), Key);
    return it != Crowd.Keys.end() && *it == Key ? static_cast<int32_t>(it - Crowd.Keys.begin())
                                                : -1;
}

// No pair of the two boxes' points passes the distance test. Where fine cells are used the
// square of the threshold is a normal float: a float sum of squares at most that square is
// of a distance within a few units in the last place of the threshold, far inside the
// margin here.
bool TWeldGrid::OutOfReach(const TBox& A, const TBox& B) const
{
    const double limit = Reach * (1 + 0x1p-16);
    double gap2 = 0;
    for (int k = 0; k < 3; ++k) {
        const double gap = std::max({0.0, static_cast<double>(B.Low[k]) - A.High[k],
                                     static_cast<double>(A.Low[k]) - B.High[k]});
        gap2 += gap * gap;
    }
    return gap2 > limit * limit;
}

// Each fine cell joins as one set; fine cells up to two apart on each axis (a pair within
// reach is never further apart) are tested pair by pair until one pair joins them, unless
// they are joined already.
void TWeldGrid::JoinCrowd(TCrowd& Crowd, std::vector<int32_t>& Parent) const
{
    auto index = [&](uint32_t slot) { return Points[Crowd.Slots[slot]].Index; };
    const size_t cells = Crowd.Keys.size();
    for (size_t k = 0; k < cells; ++k)
        for (uint32_t s = Crowd.Start[k] + 1; s < Crowd.Start[k + 1]; ++s)
            JoinLowest(Parent, index(Crowd.Start[k]), index(s));
    for (size_t k = 0; k < cells; ++k) {
        const TFineKey& key = Crowd.Keys[k];
        for (int64_t dx = 0; dx <= 2; ++dx)
            for (int64_t dy = -2; dy <= 2; ++dy)
                for (int64_t dz = -2; dz <= 2; ++dz) {
                    if (dx == 0 && (dy < 0 || (dy == 0 && dz <= 0)))
                        continue;  // each pair of fine cells once
                    const int32_t j = FindFineCell(Crowd, {key.X + dx, key.Y + dy, key.Z + dz});
                    if (j < 0 || OutOfReach(Crowd.Bounds[k], Crowd.Bounds[j]) ||
                        LowestRoot(Parent, index(Crowd.Start[k])) ==
                            LowestRoot(Parent, index(Crowd.Start[j])))
                        continue;
                    bool joined = false;
                    for (uint32_t a = Crowd.Start[k]; a < Crowd.Start[k + 1] && !joined; ++a)
                        for (uint32_t b = Crowd.Start[j]; b < Crowd.Start[j + 1] && !joined; ++b)
                            if (DistanceSquared(Points[Crowd.Slots[a]], Points[Crowd.Slots[b]]) <=
                                T2) {
                                JoinLowest(Parent, index(a), index(b));
                                joined = true;
                            }
                }
    }
    const int32_t root = LowestRoot(Parent, index(0));
    Crowd.Joined = true;
    for (size_t k = 1; k < cells && Crowd.Joined; ++k)
        Crowd.Joined = LowestRoot(Parent, index(Crowd.Start[k])) == root;
}

// A point of a neighbouring cell against the fine cells of a crowded one that its box of
// half-width reach (1.875 fine cells, a little more for rounding) touches.
void TWeldGrid::JoinPointToCrowd(uint32_t A, const TCrowd& Crowd,
                                 std::vector<int32_t>& Parent) const
{
    const TWeldPoint& a = Points[A];
    auto root = [&](uint32_t slot) { return LowestRoot(Parent, Points[Crowd.Slots[slot]].Index); };
    if (Crowd.Joined && LowestRoot(Parent, a.Index) == root(0))
        return;
    const double scale = InverseCell * kFinePerCell;
    const double reach = kReachInCells * kFinePerCell + 0x1p-10;
    int64_t low[3], high[3];
    const float c[3] = {a.X, a.Y, a.Z};
    const TBox own{{a.X, a.Y, a.Z}, {a.X, a.Y, a.Z}};
    for (int k = 0; k < 3; ++k) {
        const double u = c[k] * scale;
        low[k] = high[k] = FineCoordinate(u);
        if (std::fabs(u) < 0x1p49) {
            low[k] = CellCoordinate(u - reach);
            high[k] = CellCoordinate(u + reach);
        }
    }
    for (int64_t x = low[0]; x <= high[0]; ++x)
        for (int64_t y = low[1]; y <= high[1]; ++y)
            for (int64_t z = low[2]; z <= high[2]; ++z) {
                const int32_t j = FindFineCell(Crowd, {x, y, z});
                if (j < 0 || OutOfReach(own, Crowd.Bounds[j]) ||
                    LowestRoot(Parent, a.Index) == root(Crowd.Start[j]))
                    continue;
                for (uint32_t b = Crowd.Start[j]; b < Crowd.Start[j + 1]; ++b)
                    if (DistanceSquared(a, Points[Crowd.Slots[b]]) <= T2) {
                        JoinLowest(Parent, a.Index, Points[Crowd.Slots[b]].Index);
                        break;
                    }
            }
}

uint32_t TWeldGrid::HashOf(const TVec3& p) const
{
    return CellHash(CellCoordinate(p.X * InverseCell), CellCoordinate(p.Y * InverseCell),
                    CellCoordinate(p.Z * InverseCell));
}

// Groups the finite vertices by bucket (a bucket's vertices in index order) and keeps
// one point per distinct position. Positions are carried along, so that nothing reads
// the vertex array out of order. PointOf first holds each vertex's cell hash, or
// -1 - (an earlier vertex at the same position); then its first vertex at the same
// position; then its point.
void TWeldGrid::SortByBucket(const std::vector<TMeshVertex>& Vertices, TUnfilled<int32_t>& PointOf)
{
    // One scatter by the top bits into slices of about a thousand vertices, then each
    // slice sorted on its own while it is in cache: one full-size buffer, not two.
    const int lowBits = std::min(Bits, 11);
    const int sliceShift = Shift() + lowBits;
    auto sliceOf = [sliceShift](uint32_t hash) { return static_cast<size_t>(hash >> sliceShift); };
    std::vector<uint32_t> sliceStart((size_t{1} << (Bits - lowBits)) + 1, 0);
    const size_t n = Vertices.size();
    auto finite = [](const TVec3& p) {
        return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z);
    };
    // Copies of a position mostly come close together in vertex order (the faces
    // around a corner), so a small table of recently seen positions answers most of
    // them before they cost a cell hash and a place in the sort. A miss only costs the
    // full path; a copy that hits refers to an earlier vertex in any case.
    struct TRecent {
        float X, Y, Z;
        int32_t Index;
    };
    std::vector<TRecent> recent(std::min<size_t>(size_t{1} << 13, std::bit_ceil(n)));
    std::memset(recent.data(), 0xFF, recent.size() * sizeof(TRecent));  // NaN: no match
    const uint32_t recentMask = static_cast<uint32_t>(recent.size() - 1);
    for (size_t i = 0; i < n; ++i) {
        const TVec3& p = Vertices[i].Position;
        if (!finite(p)) {
            PointOf[i] = -1 - static_cast<int32_t>(i);  // fails every distance test: alone
            continue;
        }
        TRecent& r = recent[PositionHash(p) & recentMask];
        if (std::memcmp(&r, &p, sizeof(TVec3)) == 0) {
            PointOf[i] = -1 - r.Index;
            continue;
        }
        r = {p.X, p.Y, p.Z, static_cast<int32_t>(i)};
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
            if (PointOf[i] >= 0) {
                const TVec3& p = Vertices[i].Position;
                const uint32_t hash = static_cast<uint32_t>(PointOf[i]);
                Points[fill[sliceOf(hash)]++] = {hash, static_cast<int32_t>(i), p.X, p.Y, p.Z};
            }
        }
    }

    std::vector<TWeldPoint> slice;
    std::unordered_map<TPositionKey, uint32_t, TPositionKey::THash> seen;
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
        // Distinct positions of each bucket, written back in place (kept <= begin). A
        // crowded bucket looks its positions up in a table rather than among all before.
        for (size_t from = 0, to = 0; from < slice.size(); from = to) {
            const size_t first = kept;
            for (to = from; to < slice.size() && bucket(slice[to]) == bucket(slice[from]);)
                ++to;
            if (to - from > kCrowded)
                seen.clear();
            for (size_t i = from; i < to; ++i) {
                const TWeldPoint& p = slice[i];
                size_t q = first;
                if (to - from > kCrowded) {
                    q = seen.try_emplace(TPositionKey{p}, static_cast<uint32_t>(kept))
                            .first->second;
                } else {
                    while (q < kept && !SamePosition(Points[q], p))
                        ++q;
                }
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
        const int32_t first = PointOf[i] >= 0 ? PointOf[i] : -1 - PointOf[i];
        PointOf[i] =
            first == static_cast<int32_t>(i) ? number++ : PointOf[static_cast<size_t>(first)];
    }
    Count = number;
    for (size_t s = 0; s < Points.size(); ++s)
        Points[s].Index = PointOf[static_cast<size_t>(Points[s].Index)];
}

void TWeldGrid::IndexBuckets()
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

bool TWeldGrid::Find(uint32_t Bucket, uint32_t& From, uint32_t& To) const
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

// P's cell, and per axis the step (-1, 0 or 1) to the neighbour that the box of
// half-width reach around P reaches into; bit k of the result is set when axis k has
// one. The box is an eighth of a cell (a little past the threshold, which covers the
// rounding here), so one floor per axis does. From 2^52 cells on a float step is far
// wider than the reach: only equal coordinates meet, and they share the cell.
unsigned TWeldGrid::SidesOf(const TWeldPoint& P, int64_t* Cell, int64_t* Step) const
{
    const float c[3] = {P.X, P.Y, P.Z};
    unsigned sides = 0;
    for (int k = 0; k < 3; ++k) {
        const double u = c[k] * InverseCell;
        Cell[k] = CellCoordinate(u);
        Step[k] = 0;
        if (std::fabs(u) < 0x1p52) {
            const double fraction = u - static_cast<double>(Cell[k]);
            Step[k] = (fraction >= 1 - kReachInCells) - (fraction < kReachInCells);
        }
        sides |= static_cast<unsigned>(Step[k] != 0) << k;
    }
    return sides;
}
