#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "modifiers/uModifiers.h"
#include "tests/modifiers/uTestModifiers.h"

#include <gtest/gtest.h>

TEST(ModifierBase, NewModifierIsEnabledAtRevisionZeroWithTheNextId)
{
    TAffineTestModifier a;
    TAffineTestModifier b;
    EXPECT_TRUE(a.GetEnabled());
    EXPECT_EQ(a.GetRevision(), 0);
    EXPECT_FALSE(a.HasOnChange());
    EXPECT_EQ(b.GetId(), a.GetId() + 1);

    // Ids read from a file are never handed out again.
    ReserveModifierId(b.GetId() + 50);
    TAffineTestModifier c;
    EXPECT_EQ(c.GetId(), b.GetId() + 51);
}

TEST(ModifierBase, SetEnabledChangesOnlyOnADifferentValue)
{
    TAffineTestModifier m;
    int calls = 0;
    TModifier* sender = nullptr;
    m.SetOnChange([&](TModifier* s) {
        ++calls;
        sender = s;
    });
    m.SetEnabled(true);
    EXPECT_EQ(m.GetRevision(), 0);
    EXPECT_EQ(calls, 0);
    m.SetEnabled(false);
    EXPECT_EQ(m.GetRevision(), 1);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(sender, &m);
    EXPECT_FALSE(m.GetEnabled());
}

TEST(ModifierBase, CloneHasANewIdEqualParametersAndTheEnabledState)
{
    TAffineTestModifier m(2, 3);
    m.SetOnChange([](TModifier*) {});
    m.SetEnabled(false);
    auto clone = m.Clone();
    auto& copy = dynamic_cast<TAffineTestModifier&>(*clone);
    EXPECT_NE(copy.GetId(), m.GetId());
    EXPECT_FALSE(copy.GetEnabled());
    EXPECT_FALSE(copy.HasOnChange());
    EXPECT_EQ(copy.Scale, 2);
    EXPECT_EQ(copy.Offset, 3);
}

TEST(ModifierBase, CopyEnabledFromDoesNotCountAsAChange)
{
    TAffineTestModifier source, target;
    source.SetEnabled(false);
    int calls = 0;
    target.SetOnChange([&](TModifier*) { ++calls; });
    target.CopyEnabledFrom(&source);
    target.CopyEnabledFrom(nullptr);
    EXPECT_FALSE(target.GetEnabled());
    EXPECT_EQ(target.GetRevision(), 0);
    EXPECT_EQ(calls, 0);
}

TEST(ModifierBase, BaseEstimatePredictsNothingAndBaseApplyReportsAllFlags)
{
    TAffineTestModifier m(1, 1);
    TMeshData cube;
    cube.BuildCube();
    int64_t v = 7, f = 7, e = 7;
    EXPECT_FALSE(m.EstimateOutputSize(cube, v, f, e));
    EXPECT_EQ(v, -1);
    EXPECT_EQ(f, -1);
    EXPECT_EQ(e, -1);

    TMeshData out;
    const TModifierApplyInfo info = m.ApplyWithInfo(TModifierEvalContext{}, cube, out);
    EXPECT_EQ(info.Flags, 47);
    EXPECT_TRUE(info.Message.empty());
    EXPECT_EQ(out.Vertices.size(), cube.Vertices.size());
}

TEST(ModifierBase, ParameterLinesRoundTripAndFallBack)
{
    TAffineTestModifier saved(2.5f, -0.125f);
    std::vector<std::string> lines;
    saved.SaveParams(lines);
    EXPECT_EQ(lines, (std::vector<std::string>{"Scale=2.5", "Offset=-0.125"}));

    TAffineTestModifier loaded;
    int32_t index = 0;
    loaded.LoadParams(lines, index);
    EXPECT_EQ(index, 2);
    EXPECT_EQ(loaded.Scale, 2.5f);
    EXPECT_EQ(loaded.Offset, -0.125f);

    // Bad text loads the default; a key in another letter case is not the key; ENDMOD
    // ends the frame and the index stays past it.
    TAffineTestModifier other(4, 4);
    std::vector<std::string> frame = {"Scale=abc", "offset=9", "junk", "ENDMOD", "Offset=7"};
    index = 0;
    other.LoadParams(frame, index);
    EXPECT_EQ(other.Scale, 1);
    EXPECT_EQ(other.Offset, 4);
    EXPECT_EQ(index, 4);
}

TEST(ModifierBase, KeyHelpers)
{
    EXPECT_TRUE(StartsWithKey("Angle=1", "Angle="));
    EXPECT_FALSE(StartsWithKey("angle=1", "Angle="));
    EXPECT_FALSE(StartsWithKey(" Angle=1", "Angle="));
    EXPECT_FALSE(StartsWithKey("Angle", "Angle="));

    EXPECT_EQ(KeyFloatValue("A=1.5", "A=", 9), 1.5f);
    EXPECT_EQ(KeyFloatValue("A=nan", "A=", 9), 9);
    EXPECT_EQ(KeyFloatValue("A=1e40", "A=", 9), 9);
    EXPECT_EQ(KeyFloatValue("B=1.5", "A=", 9), 9);

    EXPECT_EQ(KeyIntValue("N=-12", "N=", 3), -12);
    EXPECT_EQ(KeyIntValue("N=1.5", "N=", 3), 3);
    EXPECT_EQ(KeyIntValue("N=", "N=", 3), 3);

    struct Case {
        const char* line;
        bool fallback;
        bool expected;
    };
    for (const Case& c :
         {Case{"B=1", false, true}, Case{"B=0", true, false}, Case{"B=-4", false, true},
          Case{"B=yes", true, true}, Case{"B=yes", false, false}}) {
        EXPECT_EQ(KeyBoolValue(c.line, "B=", c.fallback), c.expected) << c.line;
    }
    EXPECT_TRUE(KeyBoolFirstCharValue("B=1x", "B="));
    EXPECT_FALSE(KeyBoolFirstCharValue("B=2", "B="));
    EXPECT_FALSE(KeyBoolFirstCharValue("B=", "B="));

    EXPECT_EQ(KeyIntLine("N=", -3), "N=-3");
    EXPECT_EQ(KeyBoolLine("B=", true), "B=1");
    EXPECT_EQ(KeyBoolLine("B=", false), "B=0");
    EXPECT_EQ(KeyFloatLine("F=", 0.75f), "F=0.75");
}
