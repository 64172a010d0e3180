#include "modifiers/uModifierSkew.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <limits>

using namespace modtest;

TEST(SkewModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("skew", "Skew", "Deform");
    TSkewModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"Amount=1", "Axis=1", "DirectionDeg=0", "Pivot=0",
                                        "LimitsEnabled=0", "LowerLimit=0", "UpperLimit=1"}));
}

TEST(SkewModifier, ShearsAlongTheDirectionFromThePivot)
{
    struct Case {
        const char* What;
        float Amount, Direction;
        int32_t Pivot;
        bool Limits;
        TVec3 Bottom, Middle, Top;
    };
    // The column (0, 0, 0), (0, 1, 0), (0, 2, 0); limits, when on, are 0.25 .. 0.75.
    const Case cases[] = {
        {"centre", 1, 0, kPivotCenter, false, {-1, 0, 0}, {0, 1, 0}, {1, 2, 0}},
        {"from the bottom", 1, 0, kPivotMinimum, false, {0, 0, 0}, {1, 1, 0}, {2, 2, 0}},
        {"from the top", 1, 0, kPivotMaximum, false, {-2, 0, 0}, {-1, 1, 0}, {0, 2, 0}},
        {"within limits", 1, 0, kPivotCenter, true, {-0.5f, 0, 0}, {0, 1, 0}, {0.5f, 2, 0}},
        {"towards -Z", 0.5f, 90, kPivotCenter, false, {0, 0, 0.5f}, {0, 1, 0}, {0, 2, -0.5f}},
    };
    for (const Case& c : cases) {
        TSkewModifier m;
        m.SetAmount(c.Amount);
        m.SetDirectionDeg(c.Direction);
        m.SetPivot(c.Pivot);
        m.SetLimitsEnabled(c.Limits);
        m.SetUpperLimit(0.75f);
        m.SetLowerLimit(0.25f);
        TMeshData out;
        m.Apply(Column({0, 1, 2}, {1, 0, 0}), out);
        ExpectNear3(out.Vertices[0].Position, c.Bottom, 1e-6f, std::string(c.What) + " bottom");
        ExpectNear3(out.Vertices[1].Position, c.Middle, 1e-6f, std::string(c.What) + " middle");
        ExpectNear3(out.Vertices[2].Position, c.Top, 1e-6f, std::string(c.What) + " top");
    }
}

TEST(SkewModifier, ShearsNormalsOnlyWithinTheLimits)
{
    TSkewModifier m;
    m.SetLimitsEnabled(true);
    m.SetUpperLimit(0.75f);
    m.SetLowerLimit(0.25f);
    TMeshData out;
    m.Apply(Column({0, 1, 2}, {1, 0, 0}), out);
    const float r = std::sqrt(0.5f);
    ExpectNear3(out.Vertices[1].Normal, {r, -r, 0}, 1e-6f, "within");
    EXPECT_EQ(out.Vertices[2].Normal, Vec3(1, 0, 0));
    EXPECT_EQ(out.Vertices[0].Normal, Vec3(1, 0, 0));
}

TEST(SkewModifier, TinyAmountGivesAnExactCopy)
{
    const TMeshData cube = ClosedCube();
    TSkewModifier m;
    m.SetAmount(0.0000009f);
    TMeshData out;
    m.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
    EXPECT_EQ(out.Edges, cube.Edges);
}

TEST(SkewModifier, SettersAndLoaderBoundTheParameters)
{
    TSkewModifier m;
    m.SetAmount(250);
    EXPECT_EQ(m.GetAmount(), 100);
    m.SetAmount(-std::numeric_limits<float>::infinity());
    EXPECT_EQ(m.GetAmount(), 0);
    m.SetDirectionDeg(-190);
    EXPECT_FLOAT_EQ(m.GetDirectionDeg(), 170);

    TSkewModifier loaded;
    Load(loaded, {"Amount=-1e4", "Axis=-1", "Pivot=9", "LowerLimit=0.9", "UpperLimit=0.1",
                  "DirectionDeg=-540"});
    EXPECT_EQ(loaded.GetAmount(), -100);
    EXPECT_EQ(loaded.GetAxis(), 0);
    EXPECT_EQ(loaded.GetPivot(), 2);
    EXPECT_FLOAT_EQ(loaded.GetLowerLimit(), 0.9f);
    EXPECT_FLOAT_EQ(loaded.GetUpperLimit(), 0.901f);
    EXPECT_EQ(loaded.GetDirectionDeg(), -180);
}

TEST(SkewModifier, ParametersRoundTripAndEstimate)
{
    TSkewModifier m;
    m.SetAmount(2.5f);
    m.SetAxis(2);
    m.SetDirectionDeg(-45);
    m.SetPivot(kPivotMinimum);
    m.SetLimitsEnabled(true);
    m.SetUpperLimit(0.6f);
    TSkewModifier fresh;
    ExpectRoundTrip(m, fresh);
    ExpectEstimateMatches(m, ClosedCube());
}
