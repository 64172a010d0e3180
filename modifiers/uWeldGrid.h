#pragma once
// The vertex weld's pair search: the distinct positions of a vertex array in a hashed grid
// of cells a few times the weld distance wide, and the sets of positions joined by pairs
// within that distance.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

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

// The distinct positions grouped into buckets by the top bits of their cell's hash. A cell
// is eight times the reach (a little past the threshold) wide: the box of half-width reach
// around a point touches at most two cells per axis, and most points need no cell but
// their own. The points of cells crowded with points (a threshold as wide as the mesh) go
// into one grid of fine cells a fifteenth as wide, whose points are all within the
// threshold of each other: they join without a test, and two fine cells need only one pair
// within the threshold, searched in small trees of their points.
class TWeldGrid {
public:
    // PointOf receives each vertex's point; points are numbered in the order of their first
    // vertex. Threshold is a finite value above 0. The pair search charges Meter, when
    // given, the work that grows faster than the points.
    TWeldGrid(const std::vector<TMeshVertex>& Vertices, float Threshold,
              TUnfilled<int32_t>& PointOf, TWorkMeter* Meter = nullptr);

    // The sets of points joined by pairs not farther apart than the threshold (the
    // squared distance, in float, at most the threshold squared), as a parent per point:
    // every parent is below its child, so a root is its set's lowest point.
    std::vector<int32_t> JoinClosePoints() const;

private:
    // One slot per 64 buckets: which of them hold points, and how many occupied buckets
    // come before. A look-up of an empty cell (most of them) reads one small word.
    struct TOccupancy {
        uint64_t Used = 0;
        uint32_t Before = 0;
    };

    struct TFineKey {
        int64_t X, Y, Z;
        auto operator<=>(const TFineKey&) const = default;
    };
    struct TBox {
        float Low[3], High[3];
    };
    // A node of a fine cell's tree: its points, halved on the box's longest side down to
    // leaves of a few points. A leaf has no children; a node's are at Child and Child + 1.
    struct TNode {
        TBox Box;
        uint32_t Begin, End;  // into TFineGrid::Points
        int32_t Child;
    };
    // The points of every crowded cell grouped by fine cell. Trees are built when a search
    // first needs one.
    struct TFineGrid {
        std::vector<TFineKey> Keys;      // ascending
        std::vector<uint32_t> Start;     // fine cell k holds Points[Start[k] .. Start[k + 1])
        std::vector<TWeldPoint> Points;  // copies of the grid's
        std::vector<TBox> Bounds;        // of each fine cell's points
        std::vector<int32_t> Root;       // of each fine cell's tree; -1 until built
        std::vector<TNode> Nodes;
        std::vector<std::pair<int32_t, int32_t>> Stack;  // of the searches
    };
    class TTally;

    int Shift() const { return 31 - Bits; }
    bool FineCellsJoin() const;
    int64_t FineCoordinate(double Scaled) const;
    TFineKey FineKeyOf(const TWeldPoint& P) const;
    TFineGrid MakeFineGrid(const std::vector<uint32_t>& Slots) const;
    int32_t TreeOf(TFineGrid& Grid, uint32_t Cell, TTally& Tally) const;
    void JoinFineCells(TFineGrid& Grid, std::vector<int32_t>& Parent, TTally& Tally) const;
    void JoinPointToFineCells(const TWeldPoint& A, TFineGrid& Grid, std::vector<int32_t>& Parent,
                              TTally& Tally) const;
    bool FindCellPair(TFineGrid& Grid, uint32_t CellA, uint32_t CellB, int32_t& A, int32_t& B,
                      TTally& Tally) const;
    bool FindPointPair(TFineGrid& Grid, const TWeldPoint& A, uint32_t Cell, int32_t& B,
                       TTally& Tally) const;
    static TBox BoxOf(const std::vector<TWeldPoint>& Points, uint32_t Begin, uint32_t End);
    static float LeastSquare(const TBox& A, const TBox& B);
    bool OutOfReach(const TBox& A, const TBox& B) const;
    uint32_t HashOf(const TVec3& P) const;
    void SortByBucket(const std::vector<TMeshVertex>& Vertices, TUnfilled<int32_t>& PointOf);
    void IndexBuckets();
    bool Find(uint32_t Bucket, uint32_t& From, uint32_t& To) const;
    unsigned SidesOf(const TWeldPoint& P, int64_t* Cell, int64_t* Step) const;

    static constexpr double kReachInCells = 0.125;
    static constexpr double kFinePerCell = 15;  // sqrt(3) * 8.08 / 15 < 0.94 reach across
    static constexpr uint32_t kCrowded = 32;
    static constexpr uint32_t kLeafPoints = 16;
    float T2;
    double Reach;  // the threshold, or a little more where its square is subnormal
    double InverseCell;
    int Bits = 6;
    int32_t Count = 0;
    TWorkMeter* Meter;
    TUnfilled<TWeldPoint> Points;  // grouped by bucket
    std::vector<uint32_t> BucketStart;
    std::vector<TOccupancy> Occupancy;
};
