#include "base/uErrors.h"
#include "floorplan/uFloorPlan.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

const float NaN = std::numeric_limits<float>::quiet_NaN();
const float Inf = std::numeric_limits<float>::infinity();

TFloorPlan PlanOf(const TFloorPlanPointArray& points)
{
    TFloorPlan plan(1, "P");
    plan.SetPoints(points);
    return plan;
}

TFloorPlanPointArray Closed(TFloorPlanPointArray points)
{
    if (!points.empty())
        points.push_back(points.front());
    return points;
}

}  // namespace

TEST(FloorPlanValidation, PolygonTable)
{
    const struct {
        const char* what;
        TFloorPlanPointArray points;
        const char* message;  // "" = valid
    } cases[] = {
        {"unit square ccw", Closed({{0, 0}, {1, 0}, {1, 1}, {0, 1}}), ""},
        {"unit square cw", Closed({{0, 0}, {0, 1}, {1, 1}, {1, 0}}), ""},
        {"point mid-edge, forward", Closed({{0, 0}, {0.5f, 0}, {1, 0}, {1, 1}, {0, 1}}), ""},
        {"L shape", Closed({{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}}), ""},
        {"empty", {}, "Floor-plan polygon is empty or has no closing point"},
        {"one point", {{1, 1}}, "Floor-plan polygon is empty or has no closing point"},
        {"NaN in the closing copy",
         {{0, 0}, {1, 0}, {1, 1}, {0, 1}, {NaN, 0}},
         "Floor-plan point 4 is not finite"},
        {"infinite Z", {{0, 0}, {1, Inf}, {1, 1}, {0, 0}}, "Floor-plan point 1 is not finite"},
        {"largest single is finite", Closed({{0, 0}, {FLT_MAX, 0}, {FLT_MAX, FLT_MAX}}), ""},
        {"open square", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, "Floor-plan polygon is not closed"},
        {"single point closed", {{3, 3}, {3, 3}}, "Floor-plan polygon needs at least three points"},
        {"two points closed", Closed({{0, 0}, {1, 0}}),
         "Floor-plan polygon needs at least three points"},
        {"repeated point", Closed({{0, 0}, {1, 0}, {1, 0}, {1, 1}, {0, 1}}),
         "Floor-plan edge 1 has zero length"},
        {"extent 1e-8", Closed({{0, 0}, {1e-8f, 0}, {1e-8f, 1e-8f}, {0, 1e-8f}}),
         "Floor-plan edge 0 has zero length"},
        {"collinear", Closed({{0, 0}, {1, 0}, {2, 0}}), "Floor-plan polygon has zero area"},
        {"symmetric bow-tie", Closed({{0, 0}, {1, 1}, {1, 0}, {0, 1}}),
         "Floor-plan polygon has zero area"},
        {"runs back along its edge", Closed({{0, 0}, {2, 0}, {1, 0}, {0, 1}}),
         "Floor-plan boundary reverses at point 1"},
        {"bow-tie", Closed({{0, 0}, {2, 2}, {2, 0}, {0, 1}}), "Floor-plan edges 0 and 2 intersect"},
        {"touching edges", Closed({{0, 0}, {4, 0}, {4, 4}, {2, 0.0f}, {0, 4}}),
         "Floor-plan edges 0 and 2 intersect"},
    };
    for (const auto& c : cases) {
        const TFloorPlan plan = PlanOf(c.points);
        std::string message = "stale";
        EXPECT_EQ(plan.ValidatePolygon(message), c.message[0] == 0) << c.what;
        EXPECT_EQ(message, c.message) << c.what;
    }
}

TEST(FloorPlanValidation, SettingsTable)
{
    auto with = [](auto edit) {
        TFloorSettings s = DefaultFloorSettings();
        edit(s);
        return s;
    };
    const struct {
        const char* what;
        TFloorSettings settings;
        const char* message;
    } cases[] = {
        {"defaults", DefaultFloorSettings(), ""},
        {"NaN rise", with([](auto& s) { s.RoofRise = NaN; }),
         "Floor-plan settings contain a non-finite value"},
        {"infinite height", with([](auto& s) { s.Height = Inf; }),
         "Floor-plan settings contain a non-finite value"},
        {"zero height", with([](auto& s) { s.Height = 0; }), "Floor-plan height must be positive"},
        {"zero wall", with([](auto& s) { s.WallThickness = 0; }),
         "Floor-plan wall thickness must be positive"},
        {"negative slab", with([](auto& s) { s.SlabThickness = -1; }),
         "Floor-plan slab thickness must be positive"},
        {"height = slab", with([](auto& s) { s.Height = 0.2f; }),
         "Floor-plan height must be above the slab"},
        {"negative rise", with([](auto& s) { s.RoofRise = -1; }),
         "Floor-plan roof rise cannot be negative"},
        {"flat, negative inset", with([](auto& s) {
             s.RoofType = rtFlat;
             s.RoofInset = -0.1f;
         }),
         "Floor-plan roof inset cannot be negative"},
        {"flat, rise 0", with([](auto& s) {
             s.RoofType = rtFlat;
             s.RoofRise = 0;
         }),
         ""},
        {"pyramid, rise 0", with([](auto& s) {
             s.RoofType = rtTruncatedPyramid;
             s.RoofRise = 0;
         }),
         "Truncated-pyramid roof rise must be positive"},
        {"pyramid, inset 0", with([](auto& s) {
             s.RoofType = rtTruncatedPyramid;
             s.RoofInset = 0;
         }),
         "Truncated-pyramid roof inset must be positive"},
        {"roof type 3", with([](auto& s) { s.RoofType = 3; }), "Unknown floor-plan roof type"},
        {"roof type -1", with([](auto& s) { s.RoofType = -1; }), "Unknown floor-plan roof type"},
    };
    for (const auto& c : cases) {
        std::string message = "stale";
        EXPECT_EQ(ValidateFloorSettings(c.settings, message), c.message[0] == 0) << c.what;
        EXPECT_EQ(message, c.message) << c.what;
    }
}

TEST(FloorPlanValidation, ValidateRunsSettingsOnlyAfterThePolygon)
{
    TFloorPlan plan(1, "P");
    TFloorSettings s = DefaultFloorSettings();
    s.Height = 0;
    ASSERT_TRUE(plan.SetSettings(s));
    std::string message;
    EXPECT_FALSE(plan.Validate(message));
    EXPECT_EQ(message, "Floor-plan polygon is empty or has no closing point");
    plan.SetPoints(Closed({{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_FALSE(plan.Validate(message));
    EXPECT_EQ(message, "Floor-plan height must be positive");
    s.Height = 3;
    plan.SetSettings(s);
    EXPECT_TRUE(plan.Validate(message));
    EXPECT_EQ(message, "");
}

TEST(FloorPlanEditing, FirstInsertClosesOnItself)
{
    TFloorPlan plan(7, "P");
    EXPECT_EQ(plan.InsertPoint({1, 2}, -1), 0);
    EXPECT_EQ(plan.StoredPointCount(), 2);
    EXPECT_EQ(plan.PointCount(), 1);
    EXPECT_TRUE(plan.IsClosed());
    EXPECT_EQ(plan.Revision(), 1);
    std::string message;
    EXPECT_FALSE(plan.ValidatePolygon(message));
    EXPECT_EQ(message, "Floor-plan polygon needs at least three points");
}

TEST(FloorPlanEditing, InsertKeepsTheClosingCopyInStep)
{
    TFloorPlan plan(1, "P");
    plan.SetPoints(Closed({{0, 0}, {1, 0}, {1, 1}}));
    const int64_t rev = plan.Revision();
    EXPECT_EQ(plan.InsertPoint({5, 5}, 4), -1);
    EXPECT_EQ(plan.Revision(), rev);
    EXPECT_EQ(plan.InsertPoint({0, 1}, -1), 3);   // append
    EXPECT_EQ(plan.InsertPoint({-1, -1}, 0), 0);  // new first point: closing copy follows
    const TFloorPlanPointArray p = plan.GetPoints();
    ASSERT_EQ(p.size(), 6u);
    EXPECT_EQ(p[0].X, -1);
    EXPECT_EQ(p[4].Z, 1);
    EXPECT_TRUE(FloorPlanPointsEqual(p[5], p[0]));
    EXPECT_EQ(plan.Revision(), rev + 2);

    TFloorPlan open(2, "O");
    open.SetPoints({{0, 0}, {1, 0}});
    EXPECT_EQ(open.InsertPoint({2, 0}, 1), 1);
    EXPECT_FALSE(open.IsClosed());
    EXPECT_EQ(open.StoredPointCount(), 3);
}

TEST(FloorPlanEditing, MoveAndDeleteKeepTheOutlineClosed)
{
    TFloorPlan plan(1, "P");
    plan.SetPoints(Closed({{0, 0}, {1, 0}, {1, 1}}));
    int64_t rev = plan.Revision();
    EXPECT_TRUE(plan.MovePoint(0, {0, 0}));  // onto itself: no change
    EXPECT_EQ(plan.Revision(), rev);
    EXPECT_TRUE(plan.MovePoint(0, {-1, 0}));
    EXPECT_EQ(plan.GetPoints().back().X, -1);
    EXPECT_EQ(plan.Revision(), ++rev);
    EXPECT_FALSE(plan.MovePoint(3, {9, 9}));
    EXPECT_FALSE(plan.DeletePoint(-1));
    EXPECT_EQ(plan.Revision(), rev);

    EXPECT_TRUE(plan.DeletePoint(0));  // closes on the old point 1
    const TFloorPlanPointArray p = plan.GetPoints();
    ASSERT_EQ(p.size(), 3u);
    EXPECT_EQ(p[0].X, 1);
    EXPECT_TRUE(FloorPlanPointsEqual(p[2], p[0]));
    EXPECT_TRUE(plan.DeletePoint(1));
    EXPECT_EQ(plan.StoredPointCount(), 2);
    EXPECT_TRUE(plan.DeletePoint(0));  // the only point
    EXPECT_EQ(plan.StoredPointCount(), 0);
}

TEST(FloorPlanEditing, NoOpEditsKeepTheRevision)
{
    TFloorPlan plan(1, "Name");
    plan.ClearPoints();
    plan.ClosePolygon();
    plan.SetName("Name");
    plan.SetId(1);
    plan.SetSettings(DefaultFloorSettings());
    plan.SetPoints({});
    EXPECT_EQ(plan.Revision(), 0);

    plan.SetPoints({{0, 0}, {1, 0}, {1, 1}});
    plan.ClosePolygon();
    EXPECT_EQ(plan.Revision(), 2);
    plan.ClosePolygon();
    plan.SetPoints(plan.GetPoints());
    EXPECT_EQ(plan.Revision(), 2);
    plan.SetName("name");  // case counts
    plan.SetId(2);
    plan.ClearPoints();
    EXPECT_EQ(plan.Revision(), 5);
}

TEST(FloorPlanEditing, NonFiniteSettingsAreRefused)
{
    TFloorPlan plan(1, "P");
    TFloorSettings s = DefaultFloorSettings();
    s.RoofInset = NaN;
    EXPECT_FALSE(plan.SetSettings(s));
    s.RoofInset = 0.2f;
    s.Height = -Inf;
    EXPECT_FALSE(plan.SetSettings(s));
    EXPECT_EQ(plan.Settings(), DefaultFloorSettings());
    EXPECT_EQ(plan.Revision(), 0);
}

TEST(FloorPlanEditing, RevisionWrapsAtTheTop)
{
    TFloorPlan plan(1, "P");
    plan.SetRevision(std::numeric_limits<int64_t>::max());
    plan.SetName("Q");
    EXPECT_EQ(plan.Revision(), std::numeric_limits<int64_t>::min());
}

TEST(FloorPlanEditing, GetPointRaisesOutsideTheOpenPoints)
{
    TFloorPlan plan(1, "P");
    plan.SetPoints(Closed({{0, 0}, {1, 0}, {1, 1}}));
    EXPECT_EQ(plan.GetPoint(2).X, 1);
    try {
        plan.GetPoint(3);  // the closing copy is not an open point
        FAIL() << "no error";
    } catch (const EArgumentOutOfRangeException& e) {
        EXPECT_STREQ(e.what(), "Floor-plan point index 3 is out of range");
    }
}

TEST(FloorPlanEditing, AssignAndCloneCopyEverything)
{
    TFloorPlan plan(9, "Hall");
    plan.SetPoints(Closed({{0, 0}, {1, 0}, {1, 1}}));
    TFloorSettings s = DefaultFloorSettings();
    s.RoofType = rtFlat;
    plan.SetSettings(s);
    plan.SetRevision(42);
    const auto copy = plan.Clone();
    EXPECT_EQ(copy->Id(), 9u);
    EXPECT_EQ(copy->Name(), "Hall");
    EXPECT_EQ(copy->Revision(), 42);
    EXPECT_EQ(copy->Settings(), s);
    EXPECT_EQ(copy->StoredPointCount(), 4);
    plan.Assign(&plan);
    EXPECT_EQ(plan.Revision(), 42);
    try {
        plan.Assign(nullptr);
        FAIL() << "no error";
    } catch (const EArgumentError& e) {
        EXPECT_STREQ(e.what(), "Cannot assign a nil floor plan");
    }
}

TEST(FloorPlanPredicates, SegmentsAndArea)
{
    const TFloorPlanPointArray square = {{0, 0}, {2, 0}, {2, 2}, {0, 2}};
    EXPECT_EQ(FloorPlanDoubleArea(square, 4), 8);
    EXPECT_EQ(FloorPlanDoubleArea(square, 0), 0);
    EXPECT_EQ(FloorPlanCross({0, 0}, {1, 0}, {0, 1}), 1);
    const long double tol = 1e-7L;
    EXPECT_TRUE(FloorPlanSegmentsIntersect({0, 0}, {2, 2}, {0, 2}, {2, 0}, tol, tol));  // crossing
    EXPECT_TRUE(FloorPlanSegmentsIntersect({0, 0}, {2, 0}, {1, 0}, {1, 1}, tol, tol));  // T touch
    EXPECT_TRUE(FloorPlanSegmentsIntersect({0, 0}, {2, 0}, {1, 0}, {3, 0}, tol, tol));  // overlap
    EXPECT_FALSE(
        FloorPlanSegmentsIntersect({0, 0}, {2, 0}, {3, 0}, {4, 0}, tol, tol));  // collinear apart
    EXPECT_FALSE(FloorPlanSegmentsIntersect({0, 0}, {2, 0}, {1, 0.1f}, {1, 1}, tol, tol));
    EXPECT_TRUE(IsFiniteSingle(FLT_MAX));
    EXPECT_TRUE(IsFiniteSingle(-FLT_MAX));
    EXPECT_FALSE(IsFiniteSingle(Inf));
    EXPECT_FALSE(IsFiniteSingle(NaN));
}
