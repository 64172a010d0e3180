#pragma once
// Ear clipping of a projected loop that finds, at every step, the first ear of the working
// order, as a plain scan from its start does, without the scan: each corner's ear status is
// kept and only looked at again when it can change, and the containment test visits only
// the points a tree of boxes cannot prove outside the triangle.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"

#include <cstdint>
#include <vector>

class TEarClipper {
public:
    // Points in working order, counter-clockwise. The work done, which can grow faster
    // than the loop, is charged to Meter as it is done.
    explicit TEarClipper(std::vector<TVec2> Points, TWorkMeter* Meter = nullptr);

    // Corners of the clipped triangles as working positions, three per triangle, the last
    // three remaining points at the end. False when no ear is left before three remain
    // (the triangles found so far stay). Raises EWorkLimitReached once the meter's bound is
    // passed.
    bool Run(std::vector<int32_t>& Corners);

private:
    // Corners that are ears; the first in working order is found from a summary word per
    // 64 words.
    class TEarSet {
    public:
        explicit TEarSet(size_t Count);
        void Set(int32_t I);
        void Clear(int32_t I);
        int32_t First() const;

    private:
        std::vector<std::vector<uint64_t>> Levels;  // Levels[0] one bit per corner
    };

    struct TNode {
        float X0, X1, Y0, Y1;  // bounds of the points below not yet clipped
        int32_t Live;          // points below not yet clipped
        int32_t Parent;
        int32_t Left, Right;  // children, -1 for a leaf
        int32_t Begin, End;   // a leaf's points: Order[Begin .. End)
    };

    int32_t Build(int32_t Begin, int32_t End, int32_t Parent);
    void Refit(TNode& Node) const;
    void Remove(int32_t Corner);
    void Examine(int32_t Corner);
    int32_t FindInside(int32_t Prev, int32_t Corner, int32_t Next);
    template <bool WideLoop>
    int32_t FindInsideOf(int32_t Prev, int32_t Corner, int32_t Next);
    void Charge(int64_t Units);

    std::vector<TVec2> Points;
    bool Wide = false;  // coordinates where the containment test's products can overflow
    std::vector<int32_t> PrevOf, NextOf;
    std::vector<int32_t> Order;   // working positions, grouped by leaf
    std::vector<int32_t> LeafOf;  // per working position
    std::vector<bool> Clipped;
    std::vector<TNode> Nodes;
    TEarSet Ears;
    // A convex corner that is no ear records the point found inside its triangle; when
    // that point is clipped the corner is examined again. Entries of an earlier
    // examination are recognised by the corner's examination count and skipped.
    struct TWatch {
        int32_t Corner;
        uint32_t Examination;
        int32_t Next;
    };
    std::vector<int32_t> FirstWatch;  // per blocking point, -1 for none
    std::vector<TWatch> Watches;
    std::vector<uint32_t> Examinations;
    // Work not yet charged: the meter is charged in chunks.
    TWorkMeter* Meter;
    int64_t Unpaid = 0;
};
