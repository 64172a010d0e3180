#include "base/uErrors.h"
#include "modifiers/uModifierArrayCircular.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <limits>

using namespace modtest;

namespace {

// A vertex at the origin and a marker one unit along the source's X (or Y for an X-axis
// array), both with the marker's direction as normal: a copy's marker shows how it turned.
TMeshData Marker(TVec3 Direction)
{
    TMeshData m;
    m.AddVertex(Vertex(0, 0, 0, Direction));
    m.AddVertex(Vertex(Direction.X, Direction.Y, Direction.Z, Direction));
    return m;
}

std::vector<float> Angles(const TArrayCircularModifier& m)
{
    std::vector<float> angles;
    for (const auto& p : m.RingPositions())
        angles.push_back(p.AngleDeg);
    return angles;
}

}  // namespace

TEST(ArrayCircularModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("array_circular", "Array Circular", "Array");
    TArrayCircularModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Count=8", "Radius=5", "StartAngle=0",
                                                  "TotalAngle=360", "CloseCircle=1", "Axis=1",
                                                  "Orientation=1", "IncludeOriginal=1", "CenterX=0",
                                                  "CenterY=0", "CenterZ=0", "StepY=0"}));
}

TEST(ArrayCircularModifier, DefaultsRingEightCopiesFacingOutThenTheOriginal)
{
    const TMeshData source = Marker({1, 0, 0});
    TArrayCircularModifier m;
    TMeshData out;
    m.Apply(source, out);
    ASSERT_EQ(out.Vertices.size(), 18u);
    for (int i = 0; i < 8; ++i) {
        const float a = DegToRad(45.0f * i);
        const TVec3 out1{std::cos(a), 0, std::sin(a)};
        const std::string what = "copy " + std::to_string(i);
        ExpectNear3(out.Vertices[2 * i].Position, Vec3Scale(out1, 5), 1e-5f, what);
        ExpectNear3(out.Vertices[2 * i + 1].Position, Vec3Scale(out1, 6), 1e-5f, what);
        ExpectNear3(out.Vertices[2 * i + 1].Normal, out1, 1e-5f, what);
    }
    EXPECT_EQ(out.Vertices[16], source.Vertices[0]);
    EXPECT_EQ(out.Vertices[17], source.Vertices[1]);
}

TEST(ArrayCircularModifier, OrientationsAndAxesPlaceTheQuarterTurnCopy)
{
    // The copy at 90 degrees (copy 2 of the default eight) and where its marker ends.
    struct Case {
        const char* What;
        int32_t Axis, Orientation;
        TVec3 Marker, Origin, MarkerOut;
    };
    const Case cases[] = {
        {"Y outward", 1, kArrayOrientOutward, {1, 0, 0}, {0, 0, 5}, {0, 0, 6}},
        {"Y inward", 1, kArrayOrientInward, {1, 0, 0}, {0, 0, 5}, {0, 0, 4}},
        {"Y none", 1, kArrayOrientNone, {1, 0, 0}, {0, 0, 5}, {1, 0, 5}},
        {"Y tangent CW", 1, kArrayOrientTangentCW, {1, 0, 0}, {0, 0, 5}, {-1, 0, 5}},
        {"Y tangent CCW", 1, kArrayOrientTangentCCW, {1, 0, 0}, {0, 0, 5}, {1, 0, 5}},
        {"X outward", 0, kArrayOrientOutward, {0, 1, 0}, {0, 0, 5}, {0, 0, 6}},
        {"Z outward", 2, kArrayOrientOutward, {1, 0, 0}, {0, 5, 0}, {0, 6, 0}},
        {"Z inward", 2, kArrayOrientInward, {1, 0, 0}, {0, 5, 0}, {0, 4, 0}},
    };
    for (const Case& c : cases) {
        TArrayCircularModifier m;
        m.SetAxis(c.Axis);
        m.SetOrientation(c.Orientation);
        TMeshData out;
        m.Apply(Marker(c.Marker), out);
        ExpectNear3(out.Vertices[4].Position, c.Origin, 1e-5f, c.What);
        ExpectNear3(out.Vertices[5].Position, c.MarkerOut, 1e-5f, c.What);
    }
}

TEST(ArrayCircularModifier, EmitsTheRingPositions)
{
    struct Case {
        const char* What;
        int32_t Count;
        float Start, Total;
        bool Closed;
        std::vector<float> Angles;
    };
    const Case cases[] = {
        {"open half circle", 5, 0, 180, false, {0, 45, 90, 135, 180}},
        {"one copy closed", 1, 30, 360, true, {30}},
        {"one copy open", 1, 30, 90, false, {30}},
        {"closed backwards", 4, 0, -360, true, {0, -90, -180, -270}},
        {"closed with start", 3, 10, 90, true, {10, 40, 70}},
        {"closed nothing to span", 3, 0, 0, true, {0}},
    };
    for (const Case& c : cases) {
        TArrayCircularModifier m;
        m.SetCount(c.Count);
        m.SetStartAngle(c.Start);
        m.SetTotalAngle(c.Total);
        m.SetCloseCircle(c.Closed);
        const std::vector<float> angles = Angles(m);
        ASSERT_EQ(angles.size(), c.Angles.size()) << c.What;
        for (size_t i = 0; i < angles.size(); ++i)
            EXPECT_NEAR(angles[i], c.Angles[i], 1e-4f) << c.What;
        ExpectEstimateMatches(m, ClosedCube());
    }
}

TEST(ArrayCircularModifier, StepAndCentreMoveTheCopies)
{
    TArrayCircularModifier m;
    m.SetCount(4);
    m.SetStepY(0.5f);
    m.SetCenterX(10);
    m.SetCenterY(1);
    m.SetIncludeOriginal(false);
    m.SetOrientation(kArrayOrientNone);
    TMeshData out;
    m.Apply(Marker({1, 0, 0}), out);
    ASSERT_EQ(out.Vertices.size(), 8u);
    ExpectNear3(out.Vertices[0].Position, {15, 1, 0}, 1e-5f);
    ExpectNear3(out.Vertices[6].Position, {10, 2.5f, -5}, 1e-5f);
}

TEST(ArrayCircularModifier, OutOfRangeAxisAndOrientationFromAFileAreRepaired)
{
    TArrayCircularModifier m;
    Load(m, {"Axis=7", "Orientation=9", "Count=-4", "Radius=nan"});
    EXPECT_EQ(m.GetAxis(), 1);
    EXPECT_EQ(m.GetOrientation(), kArrayOrientNone);
    EXPECT_EQ(m.GetCount(), 1);
    EXPECT_EQ(m.GetRadius(), 5);
    Load(m, {"Count=123456789", "Orientation=-1", "Axis=-2"});
    EXPECT_EQ(m.GetCount(), 1000);
    EXPECT_EQ(m.GetOrientation(), kArrayOrientNone);

    // Set directly (the setter checks no range), an unknown axis works as Y and an unknown
    // orientation as none.
    TArrayCircularModifier direct;
    direct.SetAxis(5);
    direct.SetOrientation(12);
    TMeshData out;
    direct.Apply(Marker({1, 0, 0}), out);
    ExpectNear3(out.Vertices[4].Position, {0, 0, 5}, 1e-5f);
    ExpectNear3(out.Vertices[5].Position, {1, 0, 5}, 1e-5f);
}

TEST(ArrayCircularModifier, RefusesOutputBeyondAMillion)
{
    TMeshData points;
    points.Vertices.resize(111112);
    TArrayCircularModifier m;
    TMeshData out;
    try {
        m.Apply(points, out);
        FAIL() << "no error";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Array Circular: output too large (1000008 verts, 0 faces)");
    }
}

TEST(ArrayCircularModifier, ParametersRoundTripAndSetterRules)
{
    TArrayCircularModifier m;
    m.SetCount(12);
    m.SetRadius(2.5f);
    m.SetStartAngle(15);
    m.SetTotalAngle(-270);
    m.SetCloseCircle(false);
    m.SetAxis(2);
    m.SetOrientation(kArrayOrientTangentCCW);
    m.SetIncludeOriginal(false);
    m.SetCenterX(1);
    m.SetCenterY(-2);
    m.SetCenterZ(3);
    m.SetStepY(0.125f);
    TArrayCircularModifier fresh;
    ExpectRoundTrip(m, fresh);

    m.SetRadius(std::numeric_limits<float>::quiet_NaN());
    EXPECT_EQ(m.GetRadius(), 5);
    m.SetCount(0);
    EXPECT_EQ(m.GetCount(), 1);
    m.SetCount(1001);
    EXPECT_EQ(m.GetCount(), 1000);
}
