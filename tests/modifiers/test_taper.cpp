#include "modifiers/uModifierTaper.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

TEST(TaperModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("taper", "Taper", "Deform");
    TTaperModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Amount=0.3000000119"}));
}

TEST(TaperModifier, ScalesAcrossYLinearlyWithHeight)
{
    struct Case {
        float Amount;
        TVec3 In, Out;
    };
    // Heights 0..2 (the two ends are in every mesh below).
    const Case cases[] = {
        {1, {1, 0, 1}, {1, 0, 1}},
        {1, {1, 1, 1}, {0.5f, 1, 0.5f}},
        {1, {1, 2, 1}, {0, 2, 0}},
        {2, {1, 2, 1}, {-1, 2, -1}},
        {0.3f, {2, 2, -2}, {1.4f, 2, -1.4f}},
        {-1, {1, 1, 0}, {1.5f, 1, 0}},
    };
    for (const Case& c : cases) {
        TMeshData source;
        source.AddVertex(Vertex(0, 0, 0));
        source.AddVertex(Vertex(0, 2, 0));
        source.AddVertex(Vertex(c.In.X, c.In.Y, c.In.Z, {1, 0, 0}));
        TTaperModifier m;
        m.SetAmount(c.Amount);
        TMeshData out;
        m.Apply(source, out);
        ExpectNear3(out.Vertices[2].Position, c.Out, 1e-6f, "amount " + std::to_string(c.Amount));
        EXPECT_EQ(out.Vertices[2].Normal, Vec3(1, 0, 0));
    }
}

TEST(TaperModifier, MeasuresMeshesFarAboveTheOriginFromTheirOwnLowestPoint)
{
    TMeshData far;
    far.AddVertex(Vertex(1, 3e9f, 1));
    far.AddVertex(Vertex(1, 3e9f + 1024, 1));
    TTaperModifier m;
    m.SetAmount(1);
    TMeshData out;
    m.Apply(far, out);
    ExpectNear3(out.Vertices[0].Position, {1, 3e9f, 1}, 1e-6f);
    ExpectNear3(out.Vertices[1].Position, {0, 3e9f + 1024, 0}, 1e-6f);
}

TEST(TaperModifier, FlatMeshKeepsItsSize)
{
    const TMeshData grid = Grid(2, 1);
    TTaperModifier m;
    TMeshData out;
    m.Apply(grid, out);
    EXPECT_EQ(out.Vertices, grid.Vertices);
}

TEST(TaperModifier, ParametersRoundTripAndEstimate)
{
    TTaperModifier m;
    m.SetAmount(0.75f);
    TTaperModifier fresh;
    ExpectRoundTrip(m, fresh);
    TTaperModifier bad;
    Load(bad, {"Amount=1e99"});
    EXPECT_FLOAT_EQ(bad.GetAmount(), 0.3f);
    ExpectEstimateMatches(m, ClosedCube());
}
