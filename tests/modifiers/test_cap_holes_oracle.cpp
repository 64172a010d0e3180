// The loop triangulation against the plain scan it replaced (first ear from the start of
// the working order, every remaining point tested): the same triangles in the same order
// and the same result on random and adversarial loops: concave stars, combs, long strips
// of collinear points, self-crossing loops, repeated points, points on the tolerance's
// edge, loops far from the origin, loops whose float products overflow and in each dominant
// plane. Then the clipping's charges to a work meter: they follow the work done, and a
// bound stops the run soon after it is passed.
#include "base/uWorkMeter.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "tests/modifiers/uCapHolesReference.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

using TPlanar = std::vector<TVec2>;

// The loop's points placed in 3D so that Axis is the dropped one, with a little depth.
TMeshData LoopMesh(const TPlanar& Points, int Axis, float Depth, std::mt19937& Random)
{
    std::uniform_real_distribution<float> wobble(-Depth, Depth);
    TMeshData m;
    for (const TVec2& p : Points) {
        TMeshVertex v;
        const float d = wobble(Random);
        v.Position = Axis == 0   ? TVec3{d, p.U, p.V}
                     : Axis == 1 ? TVec3{p.U, d, p.V}
                                 : TVec3{p.U, p.V, d};
        m.AddVertex(v);
    }
    return m;
}

TPlanar Star(std::mt19937& Random, int Count, float Inner)
{
    std::uniform_real_distribution<float> unit(0, 1);
    std::vector<float> angles(Count);
    for (float& a : angles)
        a = 2 * std::numbers::pi_v<float> * unit(Random);
    std::sort(angles.begin(), angles.end());
    TPlanar out;
    for (float a : angles) {
        const float r = Inner + (1 - Inner) * unit(Random);
        out.push_back({r * std::cos(a), r * std::sin(a)});
    }
    return out;
}

// Teeth along the bottom of a box: half the corners reflex.
TPlanar Comb(int Teeth, float Depth)
{
    TPlanar out;
    for (int i = 0; i < Teeth; ++i) {
        out.push_back({static_cast<float>(2 * i), 0});
        out.push_back({static_cast<float>(2 * i + 1), Depth});
    }
    out.push_back({static_cast<float>(2 * Teeth), 0});
    out.push_back({static_cast<float>(2 * Teeth), 3});
    out.push_back({0, 3});
    return out;
}

// The outline of a strip of Length unit squares and Width rows: every point but the
// corners on a straight side, as a welded row of planes leaves it.
TPlanar Strip(int Length, int Width, float Scale, float Offset)
{
    TPlanar out;
    auto at = [&](int x, int y) {
        out.push_back(
            {Offset + Scale * static_cast<float>(x), Offset + Scale * static_cast<float>(y)});
    };
    for (int x = 0; x < Length; ++x)
        at(x, 0);
    for (int y = 0; y < Width; ++y)
        at(Length, y);
    for (int x = Length; x > 0; --x)
        at(x, Width);
    for (int y = Width; y > 0; --y)
        at(0, y);
    return out;
}

TPlanar RandomPoints(std::mt19937& Random, int Count, float Extent, bool Grid)
{
    std::uniform_real_distribution<float> unit(-1, 1);
    std::uniform_int_distribution<int> cell(-4, 4);
    TPlanar out;
    for (int i = 0; i < Count; ++i)
        out.push_back(
            Grid ? TVec2{static_cast<float>(cell(Random)), static_cast<float>(cell(Random))}
                 : TVec2{Extent * unit(Random), Extent * unit(Random)});
    return out;
}

// Copies of earlier points spliced in, and runs of points along a side.
TPlanar WithRepeats(std::mt19937& Random, TPlanar Points, int Copies)
{
    for (int i = 0; i < Copies && !Points.empty(); ++i) {
        const TVec2 p = Points[Random() % Points.size()];
        Points.insert(Points.begin() + static_cast<std::ptrdiff_t>(Random() % Points.size()), p);
    }
    return Points;
}

TPlanar WithSidePoints(std::mt19937& Random, TPlanar Points, int Count)
{
    for (int i = 0; i < Count && Points.size() > 1; ++i) {
        const size_t k = Random() % Points.size();
        const TVec2 a = Points[k], b = Points[(k + 1) % Points.size()];
        const float t = static_cast<float>(Random() % 7 + 1) / 8;
        Points.insert(Points.begin() + static_cast<std::ptrdiff_t>(k + 1),
                      TVec2{a.U + (b.U - a.U) * t, a.V + (b.V - a.V) * t});
    }
    return Points;
}

// A long slanted side made of points a float step or two off the line, closed by a corner:
// the containment test's products round by more than their difference there.
TPlanar SlantedChain(std::mt19937& Random, int Count, float Length, float Slope)
{
    std::uniform_real_distribution<float> unit(0, 1);
    std::vector<float> along(Count);
    for (float& t : along)
        t = unit(Random);
    std::sort(along.begin(), along.end());
    TPlanar out;
    for (float t : along) {
        float v = t * Length * Slope;
        for (int step = static_cast<int>(Random() % 5) - 2; step != 0; step += step < 0 ? 1 : -1)
            v = std::nextafter(v, step < 0 ? -1e30f : 1e30f);
        out.push_back({t * Length, v});
    }
    out.push_back({Length, Length * Slope});
    out.push_back({Length * 0.5f, Length * Slope + Length * 0.01f});
    out.push_back({0, 0});
    return out;
}

TPlanar Transformed(TPlanar Points, float Scale, float Offset, bool Reverse)
{
    for (TVec2& p : Points)
        p = {Offset + Scale * p.U, Offset + Scale * p.V};
    if (Reverse)
        std::reverse(Points.begin(), Points.end());
    return Points;
}

// A loop whose coordinates differ by about 1.8e19: the containment test's float products
// round to infinity there, and an infinity less an infinity counts a point as inside.
TPlanar FarLoop(int Rotation, bool Reverse)
{
    TPlanar out = {{9.6e18f, 9e18f},      {1e19f, 9.7e18f},    {9.5e18f, 1.16e19f},
                   {-4.9e18f, -1.41e19f}, {2e17f, -1.38e19f},  {1.2e18f, -5.1e18f},
                   {2.3e18f, -3.1e18f},   {4.2e18f, -2.1e18f}, {4.1e18f, -1.2e18f}};
    std::rotate(out.begin(), out.begin() + Rotation % static_cast<int>(out.size()), out.end());
    if (Reverse)
        std::reverse(out.begin(), out.end());
    return out;
}

struct TLoopCase {
    const char* Name;
    int Rounds;
    std::function<TPlanar(std::mt19937&, int)> Make;  // round number
};

TEST(CapHolesOracle, TriangulateLoopMatchesThePlainScan)
{
    const TLoopCase cases[] = {
        {"concave stars", 40,
         [](std::mt19937& r, int k) { return Star(r, 5 + k * 4, 0.1f + 0.02f * (k % 10)); }},
        {"stars with repeated and side points", 30,
         [](std::mt19937& r, int k) {
             return WithSidePoints(r, WithRepeats(r, Star(r, 8 + k * 3, 0.3f), k % 6), k % 9);
         }},
        {"combs", 12, [](std::mt19937&, int k) { return Comb(3 + 5 * k, k % 2 ? 2.5f : 0.2f); }},
        {"strips of collinear points", 12,
         [](std::mt19937&, int k) { return Strip(4 + 12 * k, 1 + k % 3, 1, 0); }},
        {"strips far from the origin", 8,
         [](std::mt19937&, int k) { return Strip(10 + 20 * k, 1, 1, 16384); }},
        {"strips at the tolerance's scale", 8,
         [](std::mt19937&, int k) { return Strip(6 + 8 * k, 1 + k % 2, 3e-4f, 0); }},
        {"self-crossing random loops", 40,
         [](std::mt19937& r, int k) { return RandomPoints(r, 4 + k * 2, 1, false); }},
        {"random loops on a small grid", 40,
         [](std::mt19937& r, int k) { return RandomPoints(r, 4 + k * 2, 1, true); }},
        {"tiny and huge stars, clockwise", 24,
         [](std::mt19937& r, int k) {
             const float scale = k % 3 == 0 ? 4e-4f : k % 3 == 1 ? 1e4f : 1;
             return Transformed(Star(r, 6 + 6 * k, 0.2f), scale, k % 4 == 0 ? 1e5f : 0, true);
         }},
        {"random loops far from the origin", 60,
         [](std::mt19937& r, int k) {
             const float offsets[] = {3e5f, 1e6f, 4e6f, 1.6e7f};
             TPlanar p = RandomPoints(r, 6 + 2 * k, 4 + static_cast<float>(k % 7), false);
             return Transformed(p, 1, offsets[k % 4], k % 2 == 0);
         }},
        {"thin fans far from the origin", 30,
         [](std::mt19937&, int k) {
             return Strip(8 + 6 * k, 1, 0.25f, 2e5f * static_cast<float>(1 + k % 5));
         }},
        {"chains a float step off a slanted side", 60,
         [](std::mt19937& r, int k) {
             return SlantedChain(r, 10 + 3 * k,
                                 k % 3 == 0   ? 50.0f
                                 : k % 3 == 1 ? 400.0f
                                              : 3000.0f,
                                 0.5f + 0.25f * static_cast<float>(k % 4));
         }},
        {"a loop whose float products overflow, each start and both ways", 18,
         [](std::mt19937&, int k) { return FarLoop(k % 9, k >= 9); }},
        {"random loops scaled to where the float products overflow", 80,
         [](std::mt19937& r, int k) {
             const float extents[] = {4e18f, 9e18f, 1.3e19f, 1.9e19f, 4e19f};
             TPlanar p = RandomPoints(r, 4 + k % 40, extents[k % 5], false);
             return Transformed(p, 1, k % 3 == 0 ? 5e18f : 0, k % 2 == 0);
         }},
        {"stars and combs scaled to where the float products overflow", 40,
         [](std::mt19937& r, int k) {
             const float scale = k % 4 == 0   ? 3e18f
                                 : k % 4 == 1 ? 1e19f
                                 : k % 4 == 2 ? 2e19f
                                              : 7e18f;
             TPlanar p = k % 2 ? Star(r, 6 + 3 * k, 0.2f) : Comb(3 + k, 0.5f);
             return Transformed(p, k % 2 ? scale : scale / 40, 0, k % 3 == 0);
         }},
        {"nearly collinear loops", 30,
         [](std::mt19937& r, int k) {
             TPlanar p = RandomPoints(r, 5 + 3 * k, 10, false);
             for (TVec2& q : p)
                 q.V *= k % 2 ? 1e-6f : 1e-3f;
             return p;
         }},
    };
    for (const TLoopCase& c : cases) {
        std::mt19937 random(7);
        for (int round = 0; round < c.Rounds; ++round) {
            const TPlanar points = c.Make(random, round);
            const int axis = round % 3;
            const TMeshData mesh = LoopMesh(points, axis, round % 2 ? 0.25f : 0, random);
            TIntegerArray loop(points.size());
            for (size_t i = 0; i < loop.size(); ++i)
                loop[i] = static_cast<int32_t>(i);
            if (round % 5 == 4)  // a start in the middle
                std::rotate(loop.begin(),
                            loop.begin() + static_cast<std::ptrdiff_t>(loop.size() / 2),
                            loop.end());
            TIntegerArray expected, actual;
            const bool expectedDone = cap_holes_reference::TriangulateLoop(mesh, loop, expected);
            const bool actualDone = TriangulateLoop(mesh, loop, actual);
            const std::string label = std::string(c.Name) + " round " + std::to_string(round);
            ASSERT_EQ(actualDone, expectedDone) << label;
            ASSERT_EQ(actual, expected) << label;
        }
    }
}

TEST(CapHolesOracle, StripOfWeldedPlanesCapsAsThePlainScanDoes)
{
    // A strip of quads, welded: one boundary loop that is nearly all collinear points, the
    // shape that made the plain scan slow. The whole modifier's output is compared.
    TMeshData strip;
    constexpr int length = 120;
    for (int x = 0; x <= length; ++x)
        for (int y = 0; y <= 1; ++y) {
            TMeshVertex v;
            v.Position = {static_cast<float>(x), 0, static_cast<float>(y)};
            strip.AddVertex(v);
        }
    for (int x = 0; x < length; ++x)
        strip.AddQuad(2 * x, 2 * x + 1, 2 * x + 3, 2 * x + 2);
    strip.RebuildEdges();
    TIntegerArrayList loops;
    ASSERT_TRUE(FindBoundaryLoops(strip, loops));
    ASSERT_EQ(loops.size(), 1u);
    std::reverse(loops[0].begin(), loops[0].end());
    TIntegerArray expected;
    ASSERT_TRUE(cap_holes_reference::TriangulateLoop(strip, loops[0], expected));

    TCapHolesModifier cap;
    TMeshData capped;
    cap.Apply(strip, capped);
    ASSERT_EQ(capped.Faces.size(), strip.Faces.size() + expected.size() / 3);
    for (size_t t = 0; t < expected.size() / 3; ++t) {
        const TMeshFace& f = capped.Faces[strip.Faces.size() + t];
        // Each cap keeps the triangle's first corner; the other two may swap to face along
        // the loop's normal.
        EXPECT_EQ(f.Indices[0], expected[3 * t]) << t;
        EXPECT_TRUE((f.Indices[1] == expected[3 * t + 1] && f.Indices[2] == expected[3 * t + 2]) ||
                    (f.Indices[1] == expected[3 * t + 2] && f.Indices[2] == expected[3 * t + 1]))
            << t;
    }
}

// Caps Source through the evaluation's entry with a meter of the given bound; the units it
// charged.
int64_t MeteredCap(const TMeshData& Source, TMeshData& Capped,
                   int64_t Bound = std::numeric_limits<int64_t>::max())
{
    TWorkMeter meter(Bound);
    TModifierEvalContext context;
    context.Meter = &meter;
    TCapHolesModifier cap;
    cap.ApplyWithInfo(context, Source, Capped);
    return meter.Used();
}

// Two tubes of one size cost the same to copy and to cap, but at a radius of 1e19 no box
// of points can be ruled out of an ear's triangle, so every corner's test visits more of
// the loop: the charge follows that work, not the mesh's size.
TEST(CapHolesMeter, ChargesTheClippingsWorkAsItIsDone)
{
    struct TCharge {
        int Segments;
        float Radius;
        int64_t Units = 0;
    };
    TCharge charges[] = {{800, 1000}, {1600, 1000}, {800, 1e19f}, {1600, 1e19f}};
    for (TCharge& c : charges) {
        const std::string label = std::to_string(c.Segments) + " at " + std::to_string(c.Radius);
        const TMeshData tube = cap_holes_reference::OpenTube(c.Segments, c.Radius);
        TMeshData metered, plain;
        c.Units = MeteredCap(tube, metered);
        TCapHolesModifier().Apply(tube, plain);
        ASSERT_EQ(metered.Faces.size(), tube.Faces.size() + 2 * (c.Segments - 2)) << label;
        ASSERT_EQ(metered.Faces.size(), plain.Faces.size()) << label;
        for (size_t f = 0; f < plain.Faces.size(); ++f)
            ASSERT_EQ(metered.Faces[f].Indices, plain.Faces[f].Indices) << label << " " << f;
    }
    EXPECT_GT(charges[0].Units, 0);
    EXPECT_GT(charges[2].Units, 2 * charges[0].Units);
    EXPECT_GT(charges[3].Units, 2 * charges[1].Units);
    // Where nothing is ruled out the work grows with the square of the loop.
    EXPECT_GT(charges[3].Units, 3 * charges[2].Units);
}

TEST(CapHolesMeter, StopsSoonAfterTheBoundIsPassed)
{
    const TMeshData tube = cap_holes_reference::OpenTube(1000, 1e19f);
    TMeshData capped;
    const int64_t whole = MeteredCap(tube, capped);
    const int64_t bound = whole / 4;
    TWorkMeter meter(bound);
    TModifierEvalContext context;
    context.Meter = &meter;
    TCapHolesModifier cap;
    EXPECT_THROW(cap.ApplyWithInfo(context, tube, capped), EWorkLimitReached);
    EXPECT_GT(meter.Used(), bound);
    EXPECT_LT(meter.Used(), whole / 2);  // charged as it went, not after the loop
    // Exactly the whole charge is enough.
    EXPECT_EQ(MeteredCap(tube, capped, whole), whole);
}

}  // namespace
