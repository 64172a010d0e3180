#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierWave.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <limits>

using namespace modtest;

TEST(AxisFrame, AngleWrapRemovesWholeTurns)
{
    struct Case {
        float In, Out;
    };
    const Case cases[] = {{180, 180},       {-180, -180},    {190, -170}, {540, 180},
                          {-540, -180},     {360, 0},        {-190, 170}, {0, 0},
                          {179.5f, 179.5f}, {720.25f, 0.25f}};
    for (const Case& c : cases) {
        EXPECT_FLOAT_EQ(WrapDegrees180(c.In), c.Out) << c.In;
        EXPECT_FLOAT_EQ(BendWrapDegrees(c.In), c.Out) << c.In;
        EXPECT_FLOAT_EQ(SkewWrapDegrees(c.In), c.Out) << c.In;
        EXPECT_FLOAT_EQ(WaveWrapDegrees(c.In), c.Out) << c.In;
    }
}

TEST(AxisFrame, AngleWrapOfHugeAnglesStaysInRange)
{
    // Stepping by 360 would never end here: 360 is below a single's spacing at 1e12.
    for (float a : {1e12f, -1e12f, 3.4e38f, -3.4e38f, std::numeric_limits<float>::max(),
                    16777217.0f, -123456789.0f}) {
        const float w = WrapDegrees180(a);
        EXPECT_GE(w, -180) << a;
        EXPECT_LE(w, 180) << a;
    }
    // 1e12 as a single is 999999995904: 2777777766 whole turns and 144 degrees.
    EXPECT_FLOAT_EQ(WrapDegrees180(1e12f), 144);
    EXPECT_FLOAT_EQ(WrapDegrees180(-1e12f), -144);
}

TEST(AxisFrame, DirectionFramesAreRightHandedAndTurnAboutTheAxis)
{
    const TVec3 reference[3] = {{0, 1, 0}, {1, 0, 0}, {1, 0, 0}};
    for (int axis = 0; axis < 3; ++axis)
        for (float deg : {0.0f, 30.0f, 90.0f, -135.0f}) {
            TVec3 A, D, E;
            AxisDirectionFrame(axis, deg, A, D, E);
            const std::string what = "axis " + std::to_string(axis) + " at " + std::to_string(deg);
            EXPECT_NEAR(Vec3Dot(A, D), 0, 1e-6f) << what;
            EXPECT_NEAR(Vec3Length(D), 1, 1e-6f) << what;
            ExpectNear3(E, Vec3Cross(A, D), 1e-6f, what);
            // D is the reference turned about A: cos of the turn along it, sin along A x B.
            EXPECT_NEAR(Vec3Dot(D, reference[axis]), std::cos(DegToRad(deg)), 1e-6f) << what;
            EXPECT_NEAR(Vec3Dot(D, Vec3Cross(A, reference[axis])), std::sin(DegToRad(deg)), 1e-6f)
                << what;
        }
}

TEST(AxisFrame, MeasuresTheRangeAndTheLimitedPart)
{
    const TMeshData column = Column({1, 2, 5});  // centre 3, range -2 .. 2
    TAxisFrameRequest request;
    TAxisFrame frame;
    ASSERT_TRUE(MeasureAxisFrame(column.Vertices, request, frame));
    ExpectNear3(frame.Center, {0, 3, 0}, 0);
    EXPECT_EQ(frame.MinT, -2);
    EXPECT_EQ(frame.MaxT, 2);
    EXPECT_EQ(frame.Lo, -2);
    EXPECT_EQ(frame.Hi, 2);
    EXPECT_EQ(AxisFramePivot(frame, kPivotCenter), 0);
    EXPECT_EQ(AxisFramePivot(frame, kPivotMinimum), -2);
    EXPECT_EQ(AxisFramePivot(frame, kPivotMaximum), 2);

    request.LimitsEnabled = true;
    request.LowerLimit = 0.25f;
    request.UpperLimit = 0.5f;
    ASSERT_TRUE(MeasureAxisFrame(column.Vertices, request, frame));
    EXPECT_EQ(frame.Lo, -1);
    EXPECT_EQ(frame.Hi, 0);
    EXPECT_EQ(AxisFramePivot(frame, 9), -0.5f);

    request.Axis = kAxisX;  // the column is flat across X
    EXPECT_FALSE(MeasureAxisFrame(column.Vertices, request, frame));
    request.Axis = kAxisY;
    request.UpperLimit = 0.250001f;  // shorter than 1e-5 over an extent of 4
    EXPECT_FALSE(MeasureAxisFrame(column.Vertices, request, frame));
    EXPECT_FALSE(MeasureAxisFrame({}, request, frame));
}
