#include "modifiers/uModifierTwist.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <cmath>
#include <limits>

using namespace modtest;

TEST(TwistModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("twist", "Twist", "Deform");
    TTwistModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Angle=0"}));
}

TEST(TwistModifier, TurnsEachHeightAboutY)
{
    // A column from y = 0 to y = 2 twisted by 90: the bottom turns by -45, the top by +45.
    struct Case {
        TVec3 In, Out, NormalOut;
    };
    const float r = std::sqrt(0.5f);
    const Case cases[] = {
        {{1, 0, 0}, {r, 0, -r}, {r, 0, -r}},
        {{1, 1, 0}, {1, 1, 0}, {1, 0, 0}},
        {{1, 2, 0}, {r, 2, r}, {r, 0, r}},
        {{0, 2, 1}, {-r, 2, r}, {r, 0, r}},
    };
    TMeshData source;
    for (const Case& c : cases)
        source.AddVertex(Vertex(c.In.X, c.In.Y, c.In.Z, {1, 0, 0}));
    TTwistModifier m;
    m.SetAngle(90);
    TMeshData out;
    m.Apply(source, out);
    for (size_t i = 0; i < std::size(cases); ++i) {
        ExpectNear3(out.Vertices[i].Position, cases[i].Out, 1e-5f, "vertex " + std::to_string(i));
        ExpectNear3(out.Vertices[i].Normal, cases[i].NormalOut, 1e-5f,
                    "normal " + std::to_string(i));
    }
}

TEST(TwistModifier, LeavesFlatMeshesAndZeroAnglesAlone)
{
    TMeshData flat = Column({0, 0.0009f});
    flat.Vertices[0].Position.X = 1;
    TTwistModifier m;
    m.SetAngle(90);
    TMeshData out;
    m.Apply(flat, out);
    EXPECT_EQ(out.Vertices, flat.Vertices);

    const TMeshData cube = ClosedCube();
    m.SetAngle(0);
    m.Apply(cube, out);
    EXPECT_EQ(out.Vertices, cube.Vertices);
    EXPECT_EQ(out.Faces, cube.Faces);
    EXPECT_EQ(out.Edges, cube.Edges);
}

TEST(TwistModifier, MeasuresMeshesFarAboveTheOrigin)
{
    // The height range starts from the mesh itself, so a mesh lying wholly above 1e9 still
    // turns its lowest vertices by -Angle/2.
    TMeshData far;
    far.AddVertex(Vertex(1, 3e9f, 0));
    far.AddVertex(Vertex(1, 3e9f + 1024, 0));
    TTwistModifier m;
    m.SetAngle(180);
    TMeshData out;
    m.Apply(far, out);
    ExpectNear3(out.Vertices[0].Position, {0, 3e9f, -1}, 1e-5f);
    ExpectNear3(out.Vertices[1].Position, {0, 3e9f + 1024, 1}, 1e-5f);
}

TEST(TwistModifier, ParametersRoundTripAndChangeExactly)
{
    TTwistModifier m;
    m.SetAngle(33.5f);
    TTwistModifier fresh;
    ExpectRoundTrip(m, fresh);
    EXPECT_FLOAT_EQ(fresh.GetAngle(), 33.5f);

    TTwistModifier bad;
    Load(bad, {"Angle=abc", "angle=5"});
    EXPECT_EQ(bad.GetAngle(), 0);

    TChangeCounter changes;
    changes.Attach(m);
    m.SetAngle(33.5f);
    EXPECT_EQ(changes.Count, 0);
    m.SetAngle(33.500004f);
    EXPECT_EQ(changes.Count, 1);
    m.SetAngle(std::numeric_limits<float>::quiet_NaN());
    m.SetAngle(std::numeric_limits<float>::infinity());
    EXPECT_EQ(changes.Count, 1) << "non-finite angles are refused";
    EXPECT_FLOAT_EQ(m.GetAngle(), 33.500004f);
}

TEST(TwistModifier, EstimateMatchesOutput)
{
    TTwistModifier m;
    m.SetAngle(45);
    ExpectEstimateMatches(m, ClosedCube());
}
