#include "modifiers/uModifierBend.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <chrono>
#include <limits>

using namespace modtest;

namespace {

struct TBendCase {
    const char* What;
    float Angle;
    float Direction;
    int32_t Pivot;
    bool Limits;
    float Lower, Upper;
    // The three vertices of the column (0, 0, 0), (0, 1, 0), (0, 2, 0) after the bend.
    TVec3 Bottom, Middle, Top;
};

TMeshData ThreeHigh()
{
    return Column({0, 1, 2}, {1, 0, 0});
}

}  // namespace

TEST(BendModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("bend", "Bend", "Deform");
    TBendModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"AngleDeg=45", "Axis=1", "DirectionDeg=0", "Pivot=0",
                                        "LimitsEnabled=0", "LowerLimit=0", "UpperLimit=1"}));
}

TEST(BendModifier, BendsTheColumnOntoAnArc)
{
    // K = pi/4 per unit over the whole column: the ends go to 1/K (sin, 1 - cos) of 45.
    const TBendCase cases[] = {
        {"centre",
         90,
         0,
         kPivotCenter,
         false,
         0,
         1,
         {0.372923f, 0.099684f, 0},
         {0, 1, 0},
         {0.372923f, 1.900316f, 0}},
        {"limits a quarter in",
         90,
         0,
         kPivotCenter,
         true,
         0.25f,
         0.75f,
         {0.540030f, 0.196285f, 0},
         {0, 1, 0},
         {0.540030f, 1.803715f, 0}},
        {"pivot at the bottom",
         90,
         0,
         kPivotMinimum,
         false,
         0,
         1,
         {0, 0, 0},
         {0.372923f, 0.900316f, 0},
         {1.273240f, 1.273240f, 0}},
        {"towards -Z",
         90,
         90,
         kPivotCenter,
         false,
         0,
         1,
         {0, 0.099684f, -0.372923f},
         {0, 1, 0},
         {0, 1.900316f, -0.372923f}},
        {"towards +Z",
         90,
         -90,
         kPivotCenter,
         false,
         0,
         1,
         {0, 0.099684f, 0.372923f},
         {0, 1, 0},
         {0, 1.900316f, 0.372923f}},
        {"full circle",
         360,
         0,
         kPivotCenter,
         false,
         0,
         1,
         {0.636620f, 1, 0},
         {0, 1, 0},
         {0.636620f, 1, 0}},
        {"backwards",
         -90,
         0,
         kPivotCenter,
         false,
         0,
         1,
         {-0.372923f, 0.099684f, 0},
         {0, 1, 0},
         {-0.372923f, 1.900316f, 0}},
    };
    for (const TBendCase& c : cases) {
        TBendModifier m;
        m.SetAngleDeg(c.Angle);
        m.SetDirectionDeg(c.Direction);
        m.SetPivot(c.Pivot);
        m.SetLimitsEnabled(c.Limits);
        m.SetUpperLimit(c.Upper);
        m.SetLowerLimit(c.Lower);
        TMeshData out;
        m.Apply(ThreeHigh(), out);
        ExpectNear3(out.Vertices[0].Position, c.Bottom, 2e-5f, std::string(c.What) + " bottom");
        ExpectNear3(out.Vertices[1].Position, c.Middle, 2e-5f, std::string(c.What) + " middle");
        ExpectNear3(out.Vertices[2].Position, c.Top, 2e-5f, std::string(c.What) + " top");
    }
}

TEST(BendModifier, TurnsNormalsWithTheArc)
{
    TBendModifier m;
    m.SetAngleDeg(90);
    TMeshData out;
    m.Apply(ThreeHigh(), out);
    const float r = std::sqrt(0.5f);
    ExpectNear3(out.Vertices[0].Normal, {r, r, 0}, 1e-5f, "bottom");
    ExpectNear3(out.Vertices[1].Normal, {1, 0, 0}, 1e-6f, "middle");
    ExpectNear3(out.Vertices[2].Normal, {r, -r, 0}, 1e-5f, "top");
}

TEST(BendModifier, DegenerateCasesGiveAnExactCopy)
{
    TBendModifier m;
    TMeshData out;
    const TMeshData flat = Grid(2, 1);  // flat across Y
    m.Apply(flat, out);
    EXPECT_EQ(out.Vertices, flat.Vertices);
    EXPECT_EQ(out.Edges, flat.Edges);

    const TMeshData cube = ClosedCube();
    m.SetAngleDeg(0.000009f);
    m.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
    EXPECT_EQ(out.Faces, cube.Faces);
    EXPECT_EQ(out.Edges, cube.Edges);

    TMeshData facesOnly;
    facesOnly.Faces = cube.Faces;
    m.SetAngleDeg(90);
    m.Apply(facesOnly, out);
    EXPECT_TRUE(out.Vertices.empty());
    EXPECT_EQ(out.Faces, cube.Faces);
}

TEST(BendModifier, SettersClampWrapAndKeepTheLimitsApart)
{
    TBendModifier m;
    m.SetAngleDeg(5000);
    EXPECT_EQ(m.GetAngleDeg(), 3600);
    m.SetAngleDeg(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(m.GetAngleDeg(), 0);
    m.SetDirectionDeg(190);
    EXPECT_FLOAT_EQ(m.GetDirectionDeg(), -170);
    const auto start = std::chrono::steady_clock::now();
    m.SetDirectionDeg(1e12f);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(1));
    EXPECT_GE(m.GetDirectionDeg(), -180);
    EXPECT_LE(m.GetDirectionDeg(), 180);
    m.SetAxis(7);
    EXPECT_EQ(m.GetAxis(), 1);
    m.SetPivot(-1);
    EXPECT_EQ(m.GetPivot(), kPivotCenter);

    m.SetUpperLimit(0.5f);
    m.SetLowerLimit(0.8f);
    EXPECT_FLOAT_EQ(m.GetLowerLimit(), 0.499f);
    TBendModifier n;
    n.SetLowerLimit(0.3f);
    n.SetUpperLimit(0.1f);
    EXPECT_FLOAT_EQ(n.GetUpperLimit(), 0.301f);

    TChangeCounter changes;
    changes.Attach(n);
    n.SetAngleDeg(45.000005f);
    n.SetLowerLimit(0.3000005f);
    EXPECT_EQ(changes.Count, 0);
    n.SetAngleDeg(46);
    EXPECT_EQ(changes.Count, 1);
}

TEST(BendModifier, LoaderClampsAndRepairsTheBlock)
{
    struct Case {
        std::vector<std::string> Lines;
        int32_t Axis, Pivot;
        bool Limits;
        float Lower, Upper, Angle;
    };
    const Case cases[] = {
        {{"LowerLimit=0.7", "UpperLimit=0.2"}, 1, 0, false, 0.7f, 0.701f, 45},
        {{"LowerLimit=1", "UpperLimit=1"}, 1, 0, false, 0.999f, 1, 45},
        {{"Axis=7", "Pivot=-1", "LimitsEnabled=1"}, 2, 0, true, 0, 1, 45},
        {{"Axis=x", "Pivot=5", "LimitsEnabled=true", "AngleDeg=9000"}, 1, 2, false, 0, 1, 3600},
        {{"AngleDeg=junk", "UpperLimit=7", "ENDMOD", "Axis=0"}, 1, 0, false, 0, 1, 45},
        {{"angledeg=10", "LowerLimit=-3"}, 1, 0, false, 0, 1, 45},
    };
    for (const Case& c : cases) {
        TBendModifier m;
        Load(m, c.Lines);
        EXPECT_EQ(m.GetAxis(), c.Axis) << c.Lines[0];
        EXPECT_EQ(m.GetPivot(), c.Pivot) << c.Lines[0];
        EXPECT_EQ(m.GetLimitsEnabled(), c.Limits) << c.Lines[0];
        EXPECT_FLOAT_EQ(m.GetLowerLimit(), c.Lower) << c.Lines[0];
        EXPECT_FLOAT_EQ(m.GetUpperLimit(), c.Upper) << c.Lines[0];
        EXPECT_FLOAT_EQ(m.GetAngleDeg(), c.Angle) << c.Lines[0];
    }
    TBendModifier wrapped;
    Load(wrapped, {"DirectionDeg=540"});
    EXPECT_EQ(wrapped.GetDirectionDeg(), 180);
}

TEST(BendModifier, ParametersRoundTripAndEstimate)
{
    TBendModifier m;
    m.SetAngleDeg(-120.5f);
    m.SetAxis(0);
    m.SetDirectionDeg(33);
    m.SetPivot(kPivotMaximum);
    m.SetLimitsEnabled(true);
    m.SetLowerLimit(0.2f);
    m.SetUpperLimit(0.9f);
    TBendModifier fresh;
    ExpectRoundTrip(m, fresh);
    ExpectEstimateMatches(m, ClosedCube());
}
