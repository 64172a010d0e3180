#include "floorplan/uFloorPlanMesh.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// Clockwise (prepared) 4 by 3 rectangle centred on the origin.
const TFloorPlanPointArray kRect = {{-2, -1.5f}, {-2, 1.5f}, {2, 1.5f}, {2, -1.5f}};
// Clockwise L and U outlines; point 3 of the L and points 4 and 5 of the U are reflex.
const TFloorPlanPointArray kL = {{0, 0}, {0, 4}, {1, 4}, {1, 1}, {4, 1}, {4, 0}};
const TFloorPlanPointArray kU = {{0, 0}, {0, 4}, {1, 4}, {1, 1}, {4, 1}, {4, 4}, {5, 4}, {5, 0}};
const TFloorPlanPointArray kTriangle = {{0, 0}, {2, 3.4641f}, {4, 0}};

TFloorPlanPointArray Reversed(TFloorPlanPointArray ring)
{
    ReverseRing(ring);
    return ring;
}

TFloorPlan PlanOf(TFloorPlanPointArray points)
{
    points.push_back(points.front());
    TFloorPlan plan(1, "P");
    plan.SetPoints(points);
    return plan;
}

}  // namespace

TEST(FloorPlanRing, PreparedRingsAreClockwise)
{
    TFloorPlanPointArray ring;
    std::string message;
    const TFloorPlan ccw = PlanOf(Reversed(kRect));
    ASSERT_TRUE(GetFloorPlanRing(&ccw, ring, message));
    EXPECT_EQ(message, "");
    ASSERT_EQ(ring.size(), 4u);
    EXPECT_LT(RingDoubleArea(ring), 0);
    for (int i = 0; i < 4; ++i)  // the plan's order reversed
        EXPECT_TRUE(FloorPlanPointsEqual(ring[i], kRect[i])) << i;

    const TFloorPlan cw = PlanOf(kRect);
    ASSERT_TRUE(GetFloorPlanRing(&cw, ring, message));
    EXPECT_TRUE(FloorPlanPointsEqual(ring[0], kRect[0]));  // unchanged
    EXPECT_TRUE(FloorPlanPointsEqual(ring[1], kRect[1]));

    EXPECT_FALSE(GetFloorPlanRing(nullptr, ring, message));
    EXPECT_EQ(message, "Floor plan is nil");
    EXPECT_TRUE(ring.empty());
    const TFloorPlan open(1, "Open");
    EXPECT_FALSE(GetFloorPlanRing(&open, ring, message));
    EXPECT_EQ(message, "Floor-plan polygon is empty or has no closing point");
}

TEST(FloorPlanRing, DegenerateCleanupKeepsStraightPoints)
{
    // Repeated point 2 and spike 5 go; the straight point 1 stays.
    TFloorPlanPointArray ring = {{0, 0}, {0, 1}, {0, 2}, {0, 2}, {2, 2}, {3, 2}, {2, 2}, {2, 0}};
    RemoveDegenerateRingPoints(ring);
    const TFloorPlanPointArray expected = {{0, 0}, {0, 1}, {0, 2}, {2, 2}, {2, 0}};
    ASSERT_EQ(ring.size(), expected.size());
    for (size_t i = 0; i < ring.size(); ++i)
        EXPECT_TRUE(FloorPlanPointsEqual(ring[i], expected[i])) << i;

    TFloorPlanPointArray tiny = {{0, 0}, {0, 0}, {0, 0}, {0, 0}};
    RemoveDegenerateRingPoints(tiny);
    EXPECT_EQ(tiny.size(), 3u);  // never below three
}

TEST(FloorPlanRing, PointInRingCountsTheBoundary)
{
    const long double tol = 1e-7L;
    EXPECT_TRUE(PointInRing({1, 3}, kL, tol, tol));
    EXPECT_FALSE(PointInRing({3, 3}, kL, tol, tol));  // in the notch
    EXPECT_TRUE(PointInRing({1, 2}, kL, tol, tol));   // on the reflex edge
    EXPECT_TRUE(PointInRing({4, 0}, kL, tol, tol));   // a corner
    EXPECT_FALSE(PointInRing({-0.5f, 0.5f}, kL, tol, tol));
    EXPECT_FALSE(PointInRing({0, 0}, {{0, 0}, {1, 1}}, tol, tol));
    EXPECT_TRUE(IsSimpleRing(kU));
    EXPECT_FALSE(IsSimpleRing({{0, 0}, {2, 2}, {2, 0}, {0, 2}}));
}

TEST(FloorPlanInset, RectangleShrinksOnEverySide)
{
    for (float d : {0.2f, 0.5f, 1.0f, 1.4f}) {
        TFloorPlanPointArray inset;
        std::string message = "stale";
        ASSERT_TRUE(InsetFloorPlanRing(kRect, inset, message, d)) << d << ": " << message;
        EXPECT_EQ(message, "");
        ASSERT_EQ(inset.size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_NEAR(inset[i].X, kRect[i].X - std::copysign(d, kRect[i].X), 1e-6)
                << d << " point " << i;
            EXPECT_NEAR(inset[i].Z, kRect[i].Z - std::copysign(d, kRect[i].Z), 1e-6)
                << d << " point " << i;
        }
    }
}

TEST(FloorPlanInset, FailuresTable)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        const char* what;
        TFloorPlanPointArray ring;
        float distance;
        const char* message;
    } cases[] = {
        {"two points",
         {{0, 0}, {1, 0}},
         0.2f,
         "Cannot inset a polygon with fewer than three points"},
        {"zero distance", kRect, 0, "Inset distance must be positive"},
        {"negative distance", kRect, -0.2f, "Inset distance must be positive"},
        {"NaN distance", kRect, nan, "Inset distance must be positive"},
        {"repeated point",
         {{-2, -1.5f}, {-2, 1.5f}, {-2, 1.5f}, {2, 1.5f}, {2, -1.5f}},
         0.2f,
         "Cannot inset a polygon with a zero-length edge"},
        {"straight point",
         {{-2, -1.5f}, {-2, 1.5f}, {0, 1.5f}, {2, 1.5f}, {2, -1.5f}},
         0.2f,
         "Inset is unstable at polygon point 2"},
        {"rectangle collapses", kRect, 1.5f,
         "Inset would create a degenerate or self-intersecting ring"},
        {"rectangle inside out", kRect, 1.7f, "Inset reverses polygon orientation"},
        {"rectangle past both axes", kRect, 3, "Inset crosses the outside footprint"},
        {"rectangle grows", kRect, 5, "Inset does not produce a smaller ring"},
        {"counter-clockwise grows", Reversed(kRect), 0.2f, "Inset does not produce a smaller ring"},
        {"triangle past its inradius", kTriangle, 1.8f,
         "Inset leaves the outside footprint at point 0"},
        {"triangle turned half round", kTriangle, 1.5f, "Inset reverses polygon orientation"},
        {"L arms too thin", kL, 0.5f, "Inset would create a degenerate or self-intersecting ring"},
        {"L arms inside out", kL, 0.8f, "Inset reverses polygon orientation"},
        {"U legs too thin", kU, 1.0f, "Inset crosses the outside footprint"},
    };
    for (const auto& c : cases) {
        TFloorPlanPointArray inset;
        std::string message;
        EXPECT_FALSE(InsetFloorPlanRing(c.ring, inset, message, c.distance)) << c.what;
        EXPECT_EQ(message, c.message) << c.what;
    }
    TFloorPlanPointArray inset;
    std::string message;
    EXPECT_TRUE(InsetFloorPlanRing(kL, inset, message, 0.2f));
    EXPECT_TRUE(InsetFloorPlanRing(kU, inset, message, 0.2f));
    EXPECT_TRUE(InsetFloorPlanRing(kTriangle, inset, message, 1.0f));
}

TEST(FloorPlanInset, StraightPointOfAPlanIsReportedByItsRingIndex)
{
    // Counter-clockwise plan: the ring comes back reversed, so plan point 1 is ring point 3.
    const TFloorPlan plan = PlanOf({{0, 0}, {0.5f, 0}, {1, 0}, {1, 1}, {0, 1}});
    TFloorPlanPointArray ring, inset;
    std::string message;
    ASSERT_TRUE(GetFloorPlanRing(&plan, ring, message));
    EXPECT_EQ(ring.size(), 5u);
    EXPECT_FALSE(InsetFloorPlanRing(ring, inset, message, 0.1f));
    EXPECT_EQ(message, "Inset is unstable at polygon point 3");
    TIntegerArray triangles;
    EXPECT_TRUE(TriangulateFloorPlanRing(ring, triangles, message));
    EXPECT_EQ(triangles.size(), 9u);
}

namespace {

// Each triangle keeps the ring's winding, none has a reflex tip, and together they
// cover the ring's area.
void ExpectSoundTriangulation(const TFloorPlanPointArray& ring, const TIntegerArray& triangles)
{
    const long double area = RingDoubleArea(ring);
    ASSERT_EQ(triangles.size(), 3 * (ring.size() - 2));
    long double sum = 0;
    for (size_t t = 0; t < triangles.size(); t += 3) {
        const long double cross =
            RingCross(ring[triangles[t]], ring[triangles[t + 1]], ring[triangles[t + 2]]);
        EXPECT_EQ(cross < 0, area < 0) << "triangle " << t / 3;
        sum += cross;
    }
    EXPECT_NEAR(static_cast<double>(sum), static_cast<double>(area), 1e-9);
}

}  // namespace

TEST(FloorPlanTriangulation, ConvexLAndUShapes)
{
    TIntegerArray triangles;
    std::string message = "stale";
    ASSERT_TRUE(TriangulateFloorPlanRing(kRect, triangles, message));
    EXPECT_EQ(message, "");
    EXPECT_EQ(triangles, (TIntegerArray{3, 0, 1, 1, 2, 3}));  // first ear in scan order
    ExpectSoundTriangulation(kRect, triangles);

    ASSERT_TRUE(TriangulateFloorPlanRing(kL, triangles, message));
    ExpectSoundTriangulation(kL, triangles);
    for (size_t t = 0; t + 2 < triangles.size() - 3; t += 3)
        EXPECT_NE(triangles[t + 1], 3) << "the reflex corner is an ear tip";

    ASSERT_TRUE(TriangulateFloorPlanRing(kU, triangles, message));
    ExpectSoundTriangulation(kU, triangles);
    EXPECT_NE(triangles[1], 3);  // a reflex corner only becomes an ear once its
    EXPECT_NE(triangles[1], 4);  // neighbours are clipped

    // Counter-clockwise input keeps its own winding.
    const TFloorPlanPointArray ccw = Reversed(kU);
    ASSERT_TRUE(TriangulateFloorPlanRing(ccw, triangles, message));
    ExpectSoundTriangulation(ccw, triangles);
}

TEST(FloorPlanTriangulation, Failures)
{
    TIntegerArray triangles;
    std::string message;
    EXPECT_FALSE(TriangulateFloorPlanRing({{0, 0}, {1, 0}}, triangles, message));
    EXPECT_EQ(message, "Cannot triangulate fewer than three points");
    // Points on one line have no convex corner at all.
    EXPECT_FALSE(TriangulateFloorPlanRing({{0, 0}, {1, 0}, {2, 0}, {3, 0}}, triangles, message));
    EXPECT_EQ(message, "Could not triangulate the simple floor-plan polygon");
}
