#include "base/uErrors.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierStack.h"
#include "tests/modifiers/uModifierTestKit.h"

using namespace modtest;

namespace {

// The offset of each copy, read from where the copies put the cube's first corner.
std::vector<TVec3> CopyOffsets(const TMeshData& Out, size_t SourceVertices)
{
    std::vector<TVec3> offsets;
    for (size_t i = 0; i < Out.Vertices.size(); i += SourceVertices)
        offsets.push_back(Vec3Sub(Out.Vertices[i].Position, Vec3(-0.5f, -0.5f, -0.5f)));
    return offsets;
}

TMeshData Points(size_t Count)
{
    TMeshData m;
    m.Vertices.resize(Count);
    return m;
}

}  // namespace

TEST(Array2DModifier, RegistersAndSavesItsDefaults)
{
    ExpectRegistered("array_2d", "Array 2D", "Array");
    TArray2DModifier m;
    EXPECT_EQ(Saved(m),
              (std::vector<std::string>{"CountX=2", "CountY=2", "OffsetX=1", "OffsetY=1", "Plane=1",
                                        "Centered=0", "IncludeOriginal=1", "StepY=0"}));
}

TEST(Array2DModifier, LaysCopiesOutOnTheGrid)
{
    struct Case {
        const char* What;
        int32_t CountX, CountY;
        float Offset;
        int32_t Plane;
        bool Centered, IncludeOriginal;
        float StepY;
        std::vector<TVec3> Offsets;
    };
    const Case cases[] = {
        {"defaults", 2, 2, 1, 1, false, true, 0, {{0, 0, 0}, {0, 0, 1}, {1, 0, 0}, {1, 0, 1}}},
        {"without original", 2, 2, 1, 1, false, false, 0, {{0, 0, 1}, {1, 0, 0}, {1, 0, 1}}},
        {"centred XY", 3, 1, 2, 0, true, true, 0, {{-2, 0, 0}, {0, 0, 0}, {2, 0, 0}}},
        {"rising",
         2,
         2,
         1,
         1,
         false,
         true,
         0.5f,
         {{0, 0, 0}, {0, 0.5f, 1}, {1, 0.5f, 0}, {1, 1, 1}}},
        {"YZ", 2, 2, 1, 2, false, true, 0.5f, {{0, 0, 0}, {0, 0.5f, 1}, {0, 1.5f, 0}, {0, 2, 1}}},
        {"unknown plane as XZ", 1, 2, 3, 7, false, true, 0, {{0, 0, 0}, {0, 0, 3}}},
    };
    const TMeshData cube = ClosedCube();
    for (const Case& c : cases) {
        TArray2DModifier m;
        m.SetCountX(c.CountX);
        m.SetCountY(c.CountY);
        m.SetOffsetX(c.Offset);
        m.SetOffsetY(c.Offset);
        m.SetPlane(c.Plane);
        m.SetCentered(c.Centered);
        m.SetIncludeOriginal(c.IncludeOriginal);
        m.SetStepY(c.StepY);
        TMeshData out;
        m.Apply(cube, out);
        const std::vector<TVec3> offsets = CopyOffsets(out, cube.Vertices.size());
        ASSERT_EQ(offsets.size(), c.Offsets.size()) << c.What;
        for (size_t i = 0; i < offsets.size(); ++i)
            ExpectNear3(offsets[i], c.Offsets[i], 1e-6f,
                        std::string(c.What) + " copy " + std::to_string(i));
        EXPECT_EQ(out.Faces.size(), cube.Faces.size() * c.Offsets.size()) << c.What;
        ExpectEstimateMatches(m, cube);
    }
}

TEST(Array2DModifier, CentredThreeByThreeSpansTheMiddle)
{
    TArray2DModifier m;
    m.SetCountX(3);
    m.SetCountY(3);
    m.SetOffsetX(2);
    m.SetOffsetY(2);
    m.SetPlane(kArrayPlaneXY);
    m.SetCentered(true);
    TMeshData out;
    const TMeshData cube = ClosedCube();
    m.Apply(cube, out);
    const std::vector<TVec3> offsets = CopyOffsets(out, 8);
    ASSERT_EQ(offsets.size(), 9u);
    ExpectNear3(offsets.front(), {-2, -2, 0}, 1e-6f);
    ExpectNear3(offsets.back(), {2, 2, 0}, 1e-6f);
    EXPECT_EQ(out.Vertices.size(), 72u);
    EXPECT_EQ(out.Faces.size(), 54u);
}

TEST(Array2DModifier, RefusesMoreThanAMillionVerticesAndBuildsExactlyAMillion)
{
    TArray2DModifier m;
    m.SetCountX(101);
    m.SetCountY(1);
    TMeshData out;
    try {
        m.Apply(Points(9901), out);
        FAIL() << "no error";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Array 2D: output too large (1000001 verts, 0 faces)");
    }
    EXPECT_TRUE(out.Vertices.empty());

    m.SetCountX(100);
    m.Apply(Points(10000), out);
    EXPECT_EQ(out.Vertices.size(), 1000000u);
}

TEST(Array2DModifier, CountsFromAFileAreClampedLikeTheSetters)
{
    // An unclamped count on an empty source predicts no output, so no limit would stop
    // billions of empty copies.
    struct Case {
        const char* Line;
        int32_t CountX;
    };
    for (const Case& c : {Case{"CountX=2000000000", 1000}, Case{"CountX=-3", 1},
                          Case{"CountX=0", 1}, Case{"CountX=7", 7}, Case{"CountX=x", 2}}) {
        TArray2DModifier m;
        Load(m, {c.Line, "CountY=-2000000000"});
        EXPECT_EQ(m.GetCountX(), c.CountX) << c.Line;
        EXPECT_EQ(m.GetCountY(), 1) << c.Line;
    }
    TArray2DModifier huge;
    Load(huge, {"CountX=99999", "CountY=99999"});
    EXPECT_EQ(huge.CopyCount(), 1000000);
    TMeshData out;
    huge.Apply(TMeshData{}, out);
    EXPECT_TRUE(out.Vertices.empty());

    TArray2DModifier setter;
    setter.SetCountX(5000);
    setter.SetCountY(-1);
    EXPECT_EQ(setter.GetCountX(), 1000);
    EXPECT_EQ(setter.GetCountY(), 1);
}

TEST(Array2DModifier, ParametersRoundTrip)
{
    TArray2DModifier m;
    m.SetCountX(4);
    m.SetCountY(3);
    m.SetOffsetX(1.5f);
    m.SetOffsetY(-2);
    m.SetPlane(kArrayPlaneYZ);
    m.SetCentered(true);
    m.SetIncludeOriginal(false);
    m.SetStepY(0.25f);
    TArray2DModifier fresh;
    ExpectRoundTrip(m, fresh);

    TArray2DModifier loaded;
    Load(loaded, {"Centered=2", "IncludeOriginal=0", "OffsetX=bad"});
    EXPECT_TRUE(loaded.GetCentered());
    EXPECT_FALSE(loaded.GetIncludeOriginal());
    EXPECT_EQ(loaded.GetOffsetX(), 1);
}

TEST(Array2DModifier, EvaluatorRefusesAGridBeyondItsLimit)
{
    TModifierStack stack;
    auto array = std::make_unique<TArray2DModifier>();
    array->SetCountX(1000);
    array->SetCountY(1000);
    stack.Add(std::move(array));
    const TMeshData cube = ClosedCube();
    TModifierEvalContext context;
    TModifierEvaluationResult result;
    EXPECT_FALSE(TModifierEvaluator().Evaluate(&cube, stack, context, result));
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.FailedIndex, 0);
    EXPECT_EQ(result.FailedTypeId, "array_2d");
    EXPECT_EQ(
        result.Message,
        "Array 2D: output exceeds limits (8000000 verts/6000000 faces; limit 1000000/1000000)");
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(result.Mesh->Vertices.size(), 8u);

    // A tighter limit of the context trips on a grid that the modifier itself would build.
    auto small = std::make_unique<TArray2DModifier>();
    small->SetCountX(3);
    stack.Clear();
    stack.Add(std::move(small));
    context.MaxVertices = 40;
    EXPECT_FALSE(TModifierEvaluator().Evaluate(&cube, stack, context, result));
    EXPECT_EQ(result.Message,
              "Array 2D: output exceeds limits (48 verts/36 faces; limit 40/1000000)");
    context.MaxVertices = 48;
    EXPECT_TRUE(TModifierEvaluator().Evaluate(&cube, stack, context, result));
    EXPECT_EQ(result.Mesh->Vertices.size(), 48u);
}
