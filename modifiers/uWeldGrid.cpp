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

// The distance test's sum of squares, one routine for the test and for the bound of two
// boxes, so that both round alike.
float SquaredSum(float x, float y, float z)
{
    return x * x + y * y + z * z;
}

float DistanceSquared(const TWeldPoint& a, const TWeldPoint& b)
{
    return SquaredSum(a.X - b.X, a.Y - b.Y, a.Z - b.Z);
}

// The least float difference of a coordinate in LowA..HighA and one in LowB..HighB:
// rounding keeps order, so no such pair differs by less.
float Gap(float LowA, float HighA, float LowB, float HighB)
{
    if (LowB > HighA)
        return LowB - HighA;
    if (LowA > HighB)
        return LowA - HighB;
    return 0;
}

float Coordinate(const TWeldPoint& p, int axis)
{
    return axis == 0 ? p.X : axis == 1 ? p.Y : p.Z;
}

// Units charged for the search's steps (about nanoseconds each): a pair tested, a pair of
// tree nodes or a fine cell weighed, a fine cell looked up, a point placed in a tree.
constexpr int64_t kPairUnits = 1;
constexpr int64_t kNodeUnits = 4;
constexpr int64_t kLookUpUnits = 24;
constexpr int64_t kBuildUnits = 4;

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

// The search's work, handed to the meter in chunks so that counting costs nothing
// measurable.
class TWeldGrid::TTally {
public:
    explicit TTally(TWorkMeter* Charged) : Meter(Charged) {}
    void Add(int64_t Units)
    {
        Pending += Units;
        if (Pending >= kChunk)
            Flush();
    }
    void Flush()
    {
        ChargeWork(Meter, Pending);
        Pending = 0;
    }

private:
    static constexpr int64_t kChunk = int64_t{1} << 16;
    TWorkMeter* Meter;
    int64_t Pending = 0;
};

TWeldGrid::TWeldGrid(const std::vector<TMeshVertex>& Vertices, float Threshold,
                     TUnfilled<int32_t>& PointOf, TWorkMeter* Meter)
    : T2(Threshold * Threshold), Meter(Meter)
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
    TTally tally(Meter);
    auto join = [&](const TWeldPoint& a, const TWeldPoint& b) {
        if (DistanceSquared(a, b) <= T2)
            JoinLowest(parent, a.Index, b.Index);
    };

    // Points of one cell: within a bucket, the points of equal hash. The cells of a crowded
    // bucket are listed for their neighbours' look-ups, and the points of a crowded cell
    // go to the fine grid.
    struct TGroup {
        uint32_t From, To;  // into grouped
        bool Crowd;
        bool Joined;  // a crowd whose points are all in one set
    };
    std::vector<uint32_t> grouped;
    std::unordered_map<uint32_t, TGroup> groupOf;  // by hash
    std::vector<uint32_t> crowded;
    const bool useFineCells = FineCellsJoin();
    size_t inCrowdedBuckets = 0;
    for (size_t r = 0; r + 1 < BucketStart.size(); ++r)
        if (BucketStart[r + 1] - BucketStart[r] > kCrowded)
            inCrowdedBuckets += BucketStart[r + 1] - BucketStart[r];
    grouped.reserve(inCrowdedBuckets);
    crowded.reserve(useFineCells ? inCrowdedBuckets : 0);
    for (size_t r = 0; r + 1 < BucketStart.size(); ++r) {
        const uint32_t begin = BucketStart[r], end = BucketStart[r + 1];
        if (end - begin <= kCrowded) {
            for (uint32_t a = begin; a + 1 < end; ++a)
                for (uint32_t b = a + 1; b < end; ++b)
                    if (Points[b].Hash == Points[a].Hash)
                        join(Points[a], Points[b]);
            continue;
        }
        const size_t first = grouped.size();
        for (uint32_t a = begin; a < end; ++a)
            grouped.push_back(a);
        std::stable_sort(grouped.begin() + static_cast<ptrdiff_t>(first), grouped.end(),
                         [&](uint32_t a, uint32_t b) { return Points[a].Hash < Points[b].Hash; });
        for (size_t from = first, to = first; from < grouped.size(); from = to) {
            const uint32_t hash = Points[grouped[from]].Hash;
            for (to = from; to < grouped.size() && Points[grouped[to]].Hash == hash;)
                ++to;
            const bool crowd = useFineCells && to - from > kCrowded;
            groupOf[hash] = {static_cast<uint32_t>(from), static_cast<uint32_t>(to), crowd, false};
            if (crowd) {
                crowded.insert(crowded.end(), grouped.begin() + static_cast<ptrdiff_t>(from),
                               grouped.begin() + static_cast<ptrdiff_t>(to));
                continue;
            }
            // Every pair: past a few points only where fine cells cannot be used.
            for (size_t a = from; a + 1 < to; ++a) {
                tally.Add(static_cast<int64_t>(to - a) * kPairUnits);
                for (size_t b = a + 1; b < to; ++b)
                    join(Points[grouped[a]], Points[grouped[b]]);
            }
        }
    }
    TFineGrid grid;
    if (!crowded.empty()) {
        grid = MakeFineGrid(crowded);
        JoinFineCells(grid, parent, tally);
        for (auto& entry : groupOf) {
            TGroup& g = entry.second;
            if (!g.Crowd)
                continue;
            const int32_t root = LowestRoot(parent, Points[grouped[g.From]].Index);
            g.Joined = true;
            for (uint32_t s = g.From + 1; s < g.To && g.Joined; ++s)
                g.Joined = LowestRoot(parent, Points[grouped[s]].Index) == root;
        }
    }
    auto inCrowd = [&](const TWeldPoint& p) {
        const auto it = groupOf.find(p.Hash);
        return it != groupOf.end() && it->second.Crowd;
    };

    // Points of neighbouring cells. A pair across cells is taken from the cell of the lower
    // hash only: each point's box reaches the other's cell. The neighbours are the
    // non-empty subsets of the sides the box crosses. The look-ups go in batches, their
    // occupancy words fetched ahead: the words lie scattered over a large table, and most
    // look-ups only need to see an empty bucket. Pairs of two crowded cells are the fine
    // grid's.
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
        uint32_t searched = std::numeric_limits<uint32_t>::max();  // in the fine grid
        uint32_t seen = searched;  // the last point whose own cell was looked at
        bool ownCrowd = false;
        for (size_t k = 0; k < count; ++k) {
            uint32_t from, to;
            if (!Find(batch[k].Hash >> Shift(), from, to))
                continue;
            const TWeldPoint& a = Points[batch[k].Point];
            if (to - from <= kCrowded) {
                for (uint32_t b = from; b < to; ++b)
                    if (Points[b].Hash == batch[k].Hash)
                        join(a, Points[b]);
                continue;
            }
            const auto found = groupOf.find(batch[k].Hash);
            if (found == groupOf.end())
                continue;
            const TGroup& g = found->second;
            if (!g.Crowd) {
                tally.Add(static_cast<int64_t>(g.To - g.From) * kPairUnits);
                for (uint32_t s = g.From; s < g.To; ++s)
                    join(a, Points[grouped[s]]);
                continue;
            }
            if (seen != batch[k].Point) {
                seen = batch[k].Point;
                ownCrowd = inCrowd(a);
            }
            if (searched == batch[k].Point || ownCrowd ||
                (g.Joined &&
                 LowestRoot(parent, a.Index) == LowestRoot(parent, Points[grouped[g.From]].Index)))
                continue;
            searched = batch[k].Point;
            JoinPointToFineCells(a, grid, parent, tally);
        }
    }
    tally.Flush();
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

TWeldGrid::TBox TWeldGrid::BoxOf(const std::vector<TWeldPoint>& Points, uint32_t Begin,
                                 uint32_t End)
{
    TBox box{{Points[Begin].X, Points[Begin].Y, Points[Begin].Z},
             {Points[Begin].X, Points[Begin].Y, Points[Begin].Z}};
    for (uint32_t s = Begin + 1; s < End; ++s)
        for (int a = 0; a < 3; ++a) {
            const float c = Coordinate(Points[s], a);
            box.Low[a] = std::min(box.Low[a], c);
            box.High[a] = std::max(box.High[a], c);
        }
    return box;
}

TWeldGrid::TFineGrid TWeldGrid::MakeFineGrid(const std::vector<uint32_t>& Slots) const
{
    TFineGrid grid;
    std::vector<std::pair<TFineKey, uint32_t>> keyed(Slots.size());
    for (size_t i = 0; i < Slots.size(); ++i)
        keyed[i] = {FineKeyOf(Points[Slots[i]]), Slots[i]};
    // The order within a fine cell does not matter: all its points are one set.
    std::sort(keyed.begin(), keyed.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    grid.Points.resize(keyed.size());
    for (size_t i = 0; i < keyed.size(); ++i) {
        grid.Points[i] = Points[keyed[i].second];
        if (i == 0 || keyed[i].first != keyed[i - 1].first) {
            grid.Keys.push_back(keyed[i].first);
            grid.Start.push_back(static_cast<uint32_t>(i));
        }
    }
    grid.Start.push_back(static_cast<uint32_t>(keyed.size()));
    grid.Bounds.resize(grid.Keys.size());
    for (size_t k = 0; k < grid.Keys.size(); ++k)
        grid.Bounds[k] = BoxOf(grid.Points, grid.Start[k], grid.Start[k + 1]);
    grid.Root.assign(grid.Keys.size(), -1);
    return grid;
}

// The fine cell's tree, built on first use: each node of more than a few points is halved
// at the median of its box's longest side.
int32_t TWeldGrid::TreeOf(TFineGrid& Grid, uint32_t Cell, TTally& Tally) const
{
    if (Grid.Root[Cell] >= 0)
        return Grid.Root[Cell];
    const int32_t root = static_cast<int32_t>(Grid.Nodes.size());
    Grid.Nodes.push_back({Grid.Bounds[Cell], Grid.Start[Cell], Grid.Start[Cell + 1], -1});
    for (size_t n = static_cast<size_t>(root); n < Grid.Nodes.size(); ++n) {
        const TNode node = Grid.Nodes[n];
        if (node.End - node.Begin <= kLeafPoints)
            continue;
        Tally.Add(static_cast<int64_t>(node.End - node.Begin) * kBuildUnits);
        int axis = 0;
        for (int k = 1; k < 3; ++k)
            if (node.Box.High[k] - node.Box.Low[k] > node.Box.High[axis] - node.Box.Low[axis])
                axis = k;
        const uint32_t middle = node.Begin + (node.End - node.Begin) / 2;
        const auto points = Grid.Points.begin();
        std::nth_element(points + node.Begin, points + middle, points + node.End,
                         [axis](const TWeldPoint& a, const TWeldPoint& b) {
                             return Coordinate(a, axis) < Coordinate(b, axis);
                         });
        Grid.Nodes[n].Child = static_cast<int32_t>(Grid.Nodes.size());
        Grid.Nodes.push_back({BoxOf(Grid.Points, node.Begin, middle), node.Begin, middle, -1});
        Grid.Nodes.push_back({BoxOf(Grid.Points, middle, node.End), middle, node.End, -1});
    }
    Grid.Root[Cell] = root;
    return root;
}

// The least float sum of squares of a pair of the boxes' points: their least float
// differences per axis, squared and summed as the distance test does (each step of it
// keeps order).
float TWeldGrid::LeastSquare(const TBox& A, const TBox& B)
{
    return SquaredSum(Gap(A.Low[0], A.High[0], B.Low[0], B.High[0]),
                      Gap(A.Low[1], A.High[1], B.Low[1], B.High[1]),
                      Gap(A.Low[2], A.High[2], B.Low[2], B.High[2]));
}

// No pair of the two boxes' points passes the distance test.
bool TWeldGrid::OutOfReach(const TBox& A, const TBox& B) const
{
    return LeastSquare(A, B) > T2;
}

// Each fine cell joins as one set. Fine cells up to two apart on each axis (a pair within
// reach is never further apart) need one pair within the threshold to join, unless they
// are joined already or their boxes are out of reach. The neighbours are found by walking
// the sorted keys once per column of neighbouring cells.
void TWeldGrid::JoinFineCells(TFineGrid& Grid, std::vector<int32_t>& Parent, TTally& Tally) const
{
    const size_t cells = Grid.Keys.size();
    for (size_t k = 0; k < cells; ++k)
        for (uint32_t s = Grid.Start[k] + 1; s < Grid.Start[k + 1]; ++s)
            JoinLowest(Parent, Grid.Points[Grid.Start[k]].Index, Grid.Points[s].Index);
    for (int64_t dx = 0; dx <= 2; ++dx)
        for (int64_t dy = dx == 0 ? 0 : -2; dy <= 2; ++dy) {
            const int64_t dz = dx == 0 && dy == 0 ? 1 : -2;  // each pair of fine cells once
            size_t j = 0;
            for (size_t k = 0; k < cells; ++k) {
                const TFineKey& key = Grid.Keys[k];
                const TFineKey low{key.X + dx, key.Y + dy, key.Z + dz};
                while (j < cells && Grid.Keys[j] < low)
                    ++j;
                for (size_t m = j; m < cells && Grid.Keys[m].X == low.X &&
                                   Grid.Keys[m].Y == low.Y && Grid.Keys[m].Z <= key.Z + 2;
                     ++m) {
                    Tally.Add(kNodeUnits);
                    if (LowestRoot(Parent, Grid.Points[Grid.Start[k]].Index) ==
                            LowestRoot(Parent, Grid.Points[Grid.Start[m]].Index) ||
                        OutOfReach(Grid.Bounds[k], Grid.Bounds[m]))
                        continue;
                    int32_t a, b;
                    if (FindCellPair(Grid, static_cast<uint32_t>(k), static_cast<uint32_t>(m), a, b,
                                     Tally))
                        JoinLowest(Parent, a, b);
                }
            }
        }
}

// A point of an uncrowded cell against the fine cells that its box of half-width reach
// (1.875 fine cells, a little more for rounding) touches.
void TWeldGrid::JoinPointToFineCells(const TWeldPoint& A, TFineGrid& Grid,
                                     std::vector<int32_t>& Parent, TTally& Tally) const
{
    const double scale = InverseCell * kFinePerCell;
    const double reach = kReachInCells * kFinePerCell + 0x1p-10;
    int64_t low[3], high[3];
    const float c[3] = {A.X, A.Y, A.Z};
    const TBox own{{A.X, A.Y, A.Z}, {A.X, A.Y, A.Z}};
    for (int k = 0; k < 3; ++k) {
        const double u = c[k] * scale;
        low[k] = high[k] = FineCoordinate(u);
        if (std::fabs(u) < 0x1p49) {
            low[k] = CellCoordinate(u - reach);
            high[k] = CellCoordinate(u + reach);
        }
    }
    for (int64_t x = low[0]; x <= high[0]; ++x)
        for (int64_t y = low[1]; y <= high[1]; ++y) {
            Tally.Add(kLookUpUnits);
            for (auto it =
                     std::lower_bound(Grid.Keys.begin(), Grid.Keys.end(), TFineKey{x, y, low[2]});
                 it != Grid.Keys.end() && it->X == x && it->Y == y && it->Z <= high[2]; ++it) {
                const uint32_t j = static_cast<uint32_t>(it - Grid.Keys.begin());
                Tally.Add(kNodeUnits);
                if (LowestRoot(Parent, A.Index) ==
                        LowestRoot(Parent, Grid.Points[Grid.Start[j]].Index) ||
                    OutOfReach(own, Grid.Bounds[j]))
                    continue;
                int32_t b;
                if (FindPointPair(Grid, A, j, b, Tally))
                    JoinLowest(Parent, A.Index, b);
            }
        }
}

// A pair of the two fine cells' points within the threshold, searched through the pairs of
// their trees' nodes whose boxes could hold one (the nearer pair first). False when there
// is none.
bool TWeldGrid::FindCellPair(TFineGrid& Grid, uint32_t CellA, uint32_t CellB, int32_t& A,
                             int32_t& B, TTally& Tally) const
{
    // Cells whose points are all close (a wide threshold) join on their first pair,
    // without trees.
    const TWeldPoint& firstA = Grid.Points[Grid.Start[CellA]];
    const TWeldPoint& firstB = Grid.Points[Grid.Start[CellB]];
    Tally.Add(kPairUnits);
    if (DistanceSquared(firstA, firstB) <= T2) {
        A = firstA.Index;
        B = firstB.Index;
        return true;
    }
    const int32_t rootA = TreeOf(Grid, CellA, Tally), rootB = TreeOf(Grid, CellB, Tally);
    const std::vector<TNode>& nodes = Grid.Nodes;
    const std::vector<TWeldPoint>& points = Grid.Points;
    auto& stack = Grid.Stack;
    stack.assign(1, {rootA, rootB});
    while (!stack.empty()) {
        const auto [na, nb] = stack.back();
        stack.pop_back();
        const TNode& a = nodes[static_cast<size_t>(na)];
        const TNode& b = nodes[static_cast<size_t>(nb)];
        if (a.Child < 0 && b.Child < 0) {
            Tally.Add(static_cast<int64_t>(a.End - a.Begin) * (b.End - b.Begin) * kPairUnits);
            for (uint32_t i = a.Begin; i < a.End; ++i)
                for (uint32_t j = b.Begin; j < b.End; ++j)
                    if (DistanceSquared(points[i], points[j]) <= T2) {
                        A = points[i].Index;
                        B = points[j].Index;
                        return true;
                    }
            continue;
        }
        // Open the node of more points.
        const bool openA = a.Child >= 0 && (b.Child < 0 || a.End - a.Begin >= b.End - b.Begin);
        std::pair<int32_t, int32_t> next[2];
        if (openA)
            next[0] = {a.Child, nb}, next[1] = {a.Child + 1, nb};
        else
            next[0] = {na, b.Child}, next[1] = {na, b.Child + 1};
        Tally.Add(2 * kNodeUnits);
        float least[2];
        for (int k = 0; k < 2; ++k)
            least[k] = LeastSquare(nodes[static_cast<size_t>(next[k].first)].Box,
                                   nodes[static_cast<size_t>(next[k].second)].Box);
        const int nearer = least[1] < least[0] ? 1 : 0;
        if (least[1 - nearer] <= T2)
            stack.push_back(next[1 - nearer]);
        if (least[nearer] <= T2)
            stack.push_back(next[nearer]);
    }
    return false;
}

// A point of the fine cell within the threshold of A, searched through the cell's tree.
bool TWeldGrid::FindPointPair(TFineGrid& Grid, const TWeldPoint& A, uint32_t Cell, int32_t& B,
                              TTally& Tally) const
{
    const TWeldPoint& first = Grid.Points[Grid.Start[Cell]];
    Tally.Add(kPairUnits);
    if (DistanceSquared(A, first) <= T2) {
        B = first.Index;
        return true;
    }
    const int32_t root = TreeOf(Grid, Cell, Tally);
    const std::vector<TNode>& nodes = Grid.Nodes;
    const std::vector<TWeldPoint>& points = Grid.Points;
    const TBox own{{A.X, A.Y, A.Z}, {A.X, A.Y, A.Z}};
    auto& stack = Grid.Stack;
    stack.assign(1, {root, 0});
    while (!stack.empty()) {
        const TNode& node = nodes[static_cast<size_t>(stack.back().first)];
        stack.pop_back();
        if (node.Child < 0) {
            Tally.Add(static_cast<int64_t>(node.End - node.Begin) * kPairUnits);
            for (uint32_t j = node.Begin; j < node.End; ++j)
                if (DistanceSquared(A, points[j]) <= T2) {
                    B = points[j].Index;
                    return true;
                }
            continue;
        }
        Tally.Add(2 * kNodeUnits);
        float least[2];
        for (int k = 0; k < 2; ++k)
            least[k] = LeastSquare(own, nodes[static_cast<size_t>(node.Child + k)].Box);
        const int nearer = least[1] < least[0] ? 1 : 0;
        if (least[1 - nearer] <= T2)
            stack.push_back({node.Child + 1 - nearer, 0});
        if (least[nearer] <= T2)
            stack.push_back({node.Child + nearer, 0});
    }
    return false;
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
