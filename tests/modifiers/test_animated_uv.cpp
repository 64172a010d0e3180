#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierEvaluator.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <limits>

using namespace modtest;

TEST(AnimatedUVModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("animated_uv", "Animated UV", "UV Edit");
    TAnimatedUVModifier m;
    EXPECT_EQ(Saved(m), (std::vector<std::string>{"Axis=0", "Offset=0"}));
}

TEST(AnimatedUVModifier, ShiftsEveryCornerAlongTheChosenAxis)
{
    TMeshData cube;
    cube.BuildCube();
    TAnimatedUVModifier m;
    m.SetOffset(0.25f);
    TMeshData out;
    const TModifierApplyInfo info = m.ApplyWithInfo(TModifierEvalContext{}, cube, out);
    EXPECT_EQ(info.Flags, 8);
    EXPECT_TRUE(info.Message.empty());
    for (size_t f = 0; f < cube.Faces.size(); ++f)
        for (int j = 0; j < 4; ++j) {
            EXPECT_FLOAT_EQ(out.Faces[f].UVs[j].U, cube.Faces[f].UVs[j].U + 0.25f);
            EXPECT_FLOAT_EQ(out.Faces[f].UVs[j].V, cube.Faces[f].UVs[j].V);
        }
    EXPECT_EQ(out.Vertices, cube.Vertices);

    m.SetAxis(1);
    m.Apply(cube, out);
    EXPECT_FLOAT_EQ(out.Faces[0].UVs[2].V, cube.Faces[0].UVs[2].V + 0.25f);
    EXPECT_FLOAT_EQ(out.Faces[0].UVs[2].U, cube.Faces[0].UVs[2].U);
}

TEST(AnimatedUVModifier, LoaderAndSettersBoundTheAxisDifferently)
{
    struct Case {
        const char* Line;
        int32_t Axis;
    };
    for (const Case& c :
         {Case{"Axis=7", 1}, Case{"Axis=-3", 0}, Case{"Axis=1", 1}, Case{"Axis=x", 0}}) {
        TAnimatedUVModifier m;
        Load(m, {c.Line});
        EXPECT_EQ(m.GetAxis(), c.Axis) << c.Line;
    }
    TAnimatedUVModifier m;
    m.SetAxis(1);
    m.SetAxis(7);
    EXPECT_EQ(m.GetAxis(), 0);
}

TEST(AnimatedUVModifier, OffsetSetterSanitisesAndIgnoresTinyChanges)
{
    TAnimatedUVModifier m;
    m.SetOffset(0.5f);
    TChangeCounter changes;
    changes.Attach(m);
    const int64_t revision = m.GetRevision();
    m.SetOffset(0.500009f);
    EXPECT_EQ(m.GetRevision(), revision);
    EXPECT_EQ(changes.Count, 0);
    m.SetOffset(std::numeric_limits<float>::infinity());
    EXPECT_EQ(m.GetOffset(), 0);
    EXPECT_EQ(changes.Count, 1);

    TAnimatedUVModifier loaded;
    loaded.SetOffset(0.75f);
    Load(loaded, {"Offset=junk"});
    EXPECT_FLOAT_EQ(loaded.GetOffset(), 0.75f);
}

TEST(AnimatedUVModifier, ParametersRoundTripAndEstimate)
{
    TAnimatedUVModifier m;
    m.SetAxis(1);
    m.SetOffset(-1.5f);
    TAnimatedUVModifier fresh;
    ExpectRoundTrip(m, fresh);
    ExpectEstimateMatches(m, ClosedCube());
}
