// The plan canvas's mapping, snap, pick, grid and zoom, and the builder's number text.
#include "floorplan/uPlanView.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace {

TPlanView Canvas600x400()
{
    TPlanView v;
    v.Width = 600;
    v.Height = 400;
    return v;
}

}  // namespace

TEST(PlanView, MapsPlanToPixelsAndBackWithZUp)
{
    TPlanView v = Canvas600x400();
    EXPECT_EQ(v.PlanToScreen(1, 1), (TPlanPixel{335, 165}));
    EXPECT_EQ(v.PlanToScreen(0, 0), (TPlanPixel{300, 200}));
    const TFloorPlanPoint p = v.ScreenToPlan(335, 165);
    EXPECT_FLOAT_EQ(p.X, 1);
    EXPECT_FLOAT_EQ(p.Z, 1);
    v.CenterX = 2;
    v.CenterZ = -1;
    EXPECT_EQ(v.PlanToScreen(2, -1), (TPlanPixel{300, 200}));
    // Halves round to even: 0.5 px and 1.5 px from the centre of an odd canvas.
    v = Canvas600x400();
    v.PixelsPerUnit = 1;
    EXPECT_EQ(v.PlanToScreen(0.5f, 0).X, 300);
    EXPECT_EQ(v.PlanToScreen(1.5f, 0).X, 302);
}

TEST(PlanView, HugeCoordinatesStayWithinThePixelLimit)
{
    TPlanView v = Canvas600x400();
    v.PixelsPerUnit = 300;
    const int limit = static_cast<int>(TPlanView::kPixelLimit);
    EXPECT_EQ(v.PlanToScreen(FLT_MAX, -FLT_MAX), (TPlanPixel{limit, limit}));
    EXPECT_EQ(v.PlanToScreen(-FLT_MAX, FLT_MAX), (TPlanPixel{-limit, -limit}));
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(v.PlanToScreen(nan, nan), (TPlanPixel{0, 0}));
    // A plan of huge points can still be picked near the centre and drawn without a grid
    // of billions of lines.
    TFloorPlan plan(1, "P");
    plan.SetPoints({{3e38f, 3e38f}, {0, 0}, {-3e38f, 3e38f}, {3e38f, 3e38f}});
    EXPECT_EQ(v.PickPoint(plan, 301, 199), 1);
    v.CenterX = 3e38f;
    std::vector<int> xs, ys;
    v.GridLines(xs, ys);
    EXPECT_LE(xs.size(), 600u / 4 + 1);
}

TEST(PlanView, SnapsToTheGridHalvesToEven)
{
    TPlanView v = Canvas600x400();
    TFloorPlanPoint p;
    ASSERT_TRUE(v.SnappedPlanPoint(300 + 0.13 * 35, 200 + 0.37 * 35, p));
    EXPECT_EQ(p.X, 0.25f);
    EXPECT_EQ(p.Z, -0.25f);
    EXPECT_EQ(v.SnapToGrid(0.125f), 0.0f);
    EXPECT_EQ(v.SnapToGrid(0.375f), 0.5f);
    for (float step : {1e-4f, 0.0f, -1.0f}) {
        v.GridStep = step;
        EXPECT_EQ(v.SnapToGrid(0.13f), 0.13f);
    }
}

TEST(PlanView, PicksTheNearestOpenPointWithin14Pixels)
{
    TPlanView v = Canvas600x400();
    TFloorPlan plan(1, "P");
    plan.SetPoints({{0, 0}, {1, 0}, {1, 1}, {0, 0}});
    struct Case {
        double X, Y;
        int Expected;
    };
    const Case cases[] = {
        {300, 200, 0},  // on point 0 (the closing copy is not a point of its own)
        {330, 200, 1},  // 5 px from point 1
        {300 + 13.9, 200, 0},
        {300, 200 + 14, -1},  // 14 px is too far
    };
    for (const Case& c : cases)
        EXPECT_EQ(v.PickPoint(plan, c.X, c.Y), c.Expected) << c.X << ", " << c.Y;
    v.PixelsPerUnit = 20;  // points 0 and 1 are 20 px apart: a tie halfway keeps point 0
    EXPECT_EQ(v.PickPoint(plan, 310, 200), 0);
    EXPECT_EQ(v.PickPoint(plan, 311, 200), 1);
}

TEST(PlanView, GridLinesZoomAndPan)
{
    TPlanView v = Canvas600x400();
    EXPECT_EQ(v.GridSpacing(), 9);  // 8.75 rounds to 9
    std::vector<int> xs, ys;
    v.GridLines(xs, ys);
    ASSERT_FALSE(xs.empty());
    EXPECT_EQ(xs.front(), 300 % 9);
    EXPECT_NE(std::find(xs.begin(), xs.end(), 300), xs.end());
    EXPECT_NE(std::find(ys.begin(), ys.end(), 200), ys.end());
    v.CenterX = 1;  // 35 px: the lines move left by 35 mod 9 = 8
    v.GridLines(xs, ys);
    EXPECT_NE(std::find(xs.begin(), xs.end(), 292), xs.end());
    v.PixelsPerUnit = 5;
    v.GridStep = 0.25f;
    EXPECT_EQ(v.GridSpacing(), 4);

    v = Canvas600x400();
    for (int i = 0; i < 5; ++i)
        v.Zoom(120);
    EXPECT_NEAR(v.PixelsPerUnit, 70.4, 0.05);
    for (int i = 0; i < 40; ++i)
        v.Zoom(120);
    EXPECT_EQ(v.PixelsPerUnit, 300);
    v.PixelsPerUnit = 5;
    v.Zoom(-120);
    EXPECT_EQ(v.PixelsPerUnit, 5);
    v.Zoom(0);  // a horizontal wheel step
    EXPECT_EQ(v.PixelsPerUnit, 5);

    v = Canvas600x400();
    v.Pan(70, -35);
    EXPECT_FLOAT_EQ(v.CenterX, -2);
    EXPECT_FLOAT_EQ(v.CenterZ, -1);
    EXPECT_EQ(v.Caption(), "Center -2.00, -1.00  Grid 0.25");
}

TEST(PlanNumberText, ShowsAndReadsWithADotAndRefusesWhatIsNotAFiniteSingle)
{
    EXPECT_EQ(FormatPlanNumber(0.2f), "0.2");
    EXPECT_EQ(FormatPlanNumber(3), "3");
    EXPECT_EQ(FormatPlanNumber(-1.5f), "-1.5");
    EXPECT_EQ(FormatPlanNumber(0.0004f), "0");
    EXPECT_EQ(FormatPlanNumber(-0.0004f), "0");
    EXPECT_EQ(FormatPlanNumber(2.12345f), "2.123");

    struct Case {
        const char* Text;
        bool Ok;
        float Value;
    };
    const Case cases[] = {
        {"0.2", true, 0.2f}, {" 3 ", true, 3},    {"+1.5", true, 1.5f},
        {"-2", true, -2},    {"1e3", true, 1000}, {"0,2", false, 0},
        {"", false, 0},      {"abc", false, 0},   {"1.5x", false, 0},
        {"nan", false, 0},   {"inf", false, 0},   {"-inf", false, 0},
        {"1e39", false, 0},  {"-1e39", false, 0}, {"3.4e38", true, 3.4e38f},
    };
    for (const Case& c : cases) {
        float v = -7;
        EXPECT_EQ(TryParsePlanNumber(c.Text, v), c.Ok) << c.Text;
        EXPECT_EQ(v, c.Ok ? c.Value : -7) << c.Text;
    }
    // What is shown reads back.
    for (float f : {0.2f, 2.5f, -1.25f, 1000.0f}) {
        float back = 0;
        ASSERT_TRUE(TryParsePlanNumber(FormatPlanNumber(f), back));
        EXPECT_EQ(back, f);
    }
}

TEST(PlanNumberText, TranslationThatWouldOverflowIsRefused)
{
    TFloorPlanPointArray points{{0, 0}, {3e38f, 0}, {0, 0}};
    EXPECT_FALSE(TranslatePlanPoints(points, 1e38f, 0));
    EXPECT_EQ(points[1].X, 3e38f);
    EXPECT_TRUE(TranslatePlanPoints(points, -1, 2));
    EXPECT_EQ(points[1].X, 3e38f - 1);
    EXPECT_EQ(points[2].Z, 2);
}
