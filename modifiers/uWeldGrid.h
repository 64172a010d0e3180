#pragma once
// The vertex weld's pair search: the distinct positions of a vertex array in a hashed grid
// of cells a few times the weld distance wide, and the sets of positions joined by pairs
// within that distance.
#include "base/uMesh.h"

#include <algorithm>
#include <cstdint>
#include <memory>
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
// their own.
class TWeldGrid {
public:
    // PointOf receives each vertex's point; points are numbered in the order of their first
    // vertex. Threshold is a finite value above 0.
    TWeldGrid(const std::vector<TMeshVertex>& Vertices, float Threshold,
              TUnfilled<int32_t>& PointOf);

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

    int Shift() const { return 31 - Bits; }
    uint32_t HashOf(const TVec3& P) const;
    void SortByBucket(const std::vector<TMeshVertex>& Vertices, TUnfilled<int32_t>& PointOf);
    void IndexBuckets();
    bool Find(uint32_t Bucket, uint32_t& From, uint32_t& To) const;
    unsigned SidesOf(const TWeldPoint& P, int64_t* Cell, int64_t* Step) const;

    static constexpr double kReachInCells = 0.125;
    float T2;
    double InverseCell;
    int Bits = 6;
    int32_t Count = 0;
    TUnfilled<TWeldPoint> Points;  // grouped by bucket
    std::vector<uint32_t> BucketStart;
    std::vector<TOccupancy> Occupancy;
};
