#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierStack.h"
#include "tests/modifiers/uTestModifiers.h"

#include <gtest/gtest.h>

#include <limits>

#include <algorithm>
#include <vector>

namespace {

class ModifierEvaluator : public ::testing::Test {
protected:
    void SetUp() override { cube.BuildCube(); }

    template <class T, class... Args>
    T& Add(Args&&... args)
    {
        auto m = std::make_unique<T>(std::forward<Args>(args)...);
        T& ref = *m;
        stack.Add(std::move(m));
        return ref;
    }
    bool Run(TModifierEvalContext ctx = {})
    {
        return TModifierEvaluator().Evaluate(&cube, stack, ctx, result);
    }

    static std::vector<float> Xs(const TMeshData& mesh)
    {
        std::vector<float> xs;
        for (const TMeshVertex& v : mesh.Vertices)
            xs.push_back(v.Position.X);
        return xs;
    }
    std::vector<float> CubeXs(float scale, float offset) const
    {
        std::vector<float> xs = Xs(cube);
        for (float& x : xs)
            x = x * scale + offset;
        return xs;
    }

    TMeshData cube;
    TModifierStack stack;
    TModifierEvaluationResult result;
};

}  // namespace

TEST_F(ModifierEvaluator, RunsEnabledModifiersInOrderAndLeavesTheSourceAlone)
{
    Add<TAffineTestModifier>(2.0f, 0.0f);
    Add<TFaultyTestModifier>(TFault::ThrowInEstimate).SetEnabled(false);
    Add<TAffineTestModifier>(1.0f, 1.0f);
    const std::vector<float> before = Xs(cube);
    ASSERT_TRUE(Run());
    EXPECT_TRUE(result.Success);
    EXPECT_EQ(result.FailedIndex, 0);
    EXPECT_EQ(result.Flags, 47);
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(Xs(*result.Mesh), CubeXs(2, 1));  // (x * 2) + 1, not (x + 1) * 2
    EXPECT_EQ(Xs(cube), before);
}

TEST_F(ModifierEvaluator, EmptyOrDisabledStackGivesACopyOfTheSource)
{
    Add<TAffineTestModifier>(3.0f, 0.0f).SetEnabled(false);
    ASSERT_TRUE(Run());
    EXPECT_EQ(result.Flags, 0);
    ASSERT_TRUE(result.Mesh);
    EXPECT_NE(result.Mesh.get(), &cube);
    EXPECT_EQ(result.Mesh->Vertices, cube.Vertices);
    EXPECT_EQ(result.Mesh->Edges, cube.Edges);
}

TEST_F(ModifierEvaluator, NoSourceIsAFailureWithoutMesh)
{
    Add<TAffineTestModifier>();
    EXPECT_FALSE(TModifierEvaluator().Evaluate(nullptr, stack, TModifierEvalContext{}, result));
    EXPECT_FALSE(result.Success);
    EXPECT_FALSE(result.Mesh);
}

TEST_F(ModifierEvaluator, HandsEachModifierTheObjectScale)
{
    auto& m = Add<TAffineTestModifier>();
    TModifierEvalContext ctx;
    ctx.ObjectScale = Vec3(2, 3, 4);
    ASSERT_TRUE(Run(ctx));
    EXPECT_EQ(m.ObjectScale, Vec3(2, 3, 4));
}

TEST_F(ModifierEvaluator, FailingStepKeepsTheMeshOfTheStepsBeforeIt)
{
    Add<TAffineTestModifier>(1.0f, 5.0f);
    Add<TFaultyTestModifier>(TFault::Throw);
    Add<TAffineTestModifier>(1.0f, 100.0f);
    EXPECT_FALSE(Run());
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.FailedIndex, 1);
    EXPECT_EQ(result.FailedTypeId, "test_faulty");
    EXPECT_EQ(result.Message, "Test Faulty: cannot handle this mesh");
    EXPECT_EQ(result.Flags, 47);
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(Xs(*result.Mesh), CubeXs(1, 5));
}

TEST_F(ModifierEvaluator, FirstEnabledModifierFailingGivesACopyOfTheSource)
{
    Add<TAffineTestModifier>(9.0f, 9.0f).SetEnabled(false);
    Add<TFaultyTestModifier>(TFault::Throw);
    EXPECT_FALSE(Run());
    EXPECT_EQ(result.FailedIndex, 1);
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(result.Mesh->Vertices, cube.Vertices);
}

TEST_F(ModifierEvaluator, InvalidOrNonFiniteOutputIsRefused)
{
    for (TFault fault : {TFault::TwoCornerFace, TFault::IndexEqualsCount, TFault::NaNPosition}) {
        stack.Clear();
        Add<TAffineTestModifier>(1.0f, 1.0f);
        Add<TFaultyTestModifier>(fault);
        EXPECT_FALSE(Run()) << int(fault);
        EXPECT_EQ(result.Message, "Test Faulty: output contains invalid or non-finite mesh data");
        EXPECT_EQ(result.FailedIndex, 1);
        EXPECT_FALSE(result.OverLimits);
        EXPECT_FALSE(result.OutOfWork);
        ASSERT_TRUE(result.Mesh);
        EXPECT_EQ(Xs(*result.Mesh), CubeXs(1, 1));
    }
}

TEST_F(ModifierEvaluator, ExceptionFromAnEstimateIsAStepFailure)
{
    Add<TAffineTestModifier>(1.0f, 2.0f);
    Add<TFaultyTestModifier>(TFault::ThrowInEstimate);
    EXPECT_FALSE(Run());
    EXPECT_EQ(result.FailedIndex, 1);
    EXPECT_EQ(result.Message, "Test Faulty: std::bad_alloc");
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(Xs(*result.Mesh), CubeXs(1, 2));
}

TEST_F(ModifierEvaluator, EstimateAboveTheLimitIsRefusedBeforeTheModifierRuns)
{
    // The cube has 24 vertices and 6 faces.
    struct Case {
        int64_t maxVertices, maxFaces, copies;
        bool passes;
    };
    const Case cases[] = {
        {240, 60, 10, true},     // equal passes
        {239, 60, 10, false},    // one vertex over
        {240, 59, 10, false},    // one face over
        {0, 0, 41666, true},     // 0 means 1,000,000: 999,984 vertices
        {-5, -5, 41667, false},  // 1,000,008 vertices
    };
    for (const Case& c : cases) {
        stack.Clear();
        auto& m = Add<TCopiesTestModifier>(c.copies);
        TModifierEvalContext ctx;
        ctx.MaxVertices = c.maxVertices;
        ctx.MaxFaces = c.maxFaces;
        EXPECT_EQ(Run(ctx), c.passes) << c.maxVertices << " " << c.copies;
        EXPECT_EQ(m.ApplyCount, c.passes ? 1 : 0);
    }
    const std::string expected =
        "Test Copies: output exceeds limits (1000008 verts/250002 faces; limit "
        "1000000/1000000)";
    EXPECT_EQ(result.Message, expected);
    EXPECT_EQ(result.FailedTypeId, "test_copies");
    EXPECT_TRUE(result.OverLimits);
    EXPECT_TRUE(result.Estimated);
    EXPECT_EQ(result.FailedVertices, 1000008);
    EXPECT_EQ(result.FailedFaces, 250002);
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(result.Mesh->Vertices.size(), 24u);
}

// An output past the limits that is also non-finite is not past the limits only: with
// any limits it would fail, so opening a file must not hold it as a stack past the room.
TEST_F(ModifierEvaluator, AnUnsoundOutputPastTheLimitsIsNotOverLimits)
{
    cube.Vertices[0].Position.Y = std::numeric_limits<float>::quiet_NaN();
    Add<TCopiesTestModifier>(3, /*lie=*/true);
    TModifierEvalContext ctx;
    ctx.MaxVertices = 50;  // estimate says 24, output has 72
    EXPECT_FALSE(Run(ctx));
    EXPECT_EQ(result.Message, "Test Copies: output contains invalid or non-finite mesh data");
    EXPECT_FALSE(result.OverLimits);
}

TEST_F(ModifierEvaluator, HugeEstimatesAreComparedIn64Bits)
{
    // 24 * 200,000,000 vertices wraps to a small number in 32 bits.
    Add<TCopiesTestModifier>(200000000);
    EXPECT_FALSE(Run());
    EXPECT_EQ(result.Message,
              "Test Copies: output exceeds limits (4800000000 verts/1200000000 faces; limit "
              "1000000/1000000)");
}

TEST_F(ModifierEvaluator, ActualOutputAboveTheLimitIsRefusedAfterTheStep)
{
    Add<TAffineTestModifier>(1.0f, 3.0f);
    Add<TCopiesTestModifier>(3, /*lie=*/true);
    TModifierEvalContext ctx;
    ctx.MaxVertices = 50;  // estimate says 24, output has 72
    EXPECT_FALSE(Run(ctx));
    EXPECT_EQ(result.FailedIndex, 1);
    EXPECT_EQ(result.Message, "Test Copies: output contains invalid or non-finite mesh data");
    EXPECT_EQ(Xs(*result.Mesh), CubeXs(1, 3));
    EXPECT_TRUE(result.OverLimits);
    EXPECT_FALSE(result.Estimated);
    EXPECT_EQ(result.FailedVertices, 72);
}

namespace {

// Charges Units to the context's meter while it applies, as a kernel's long loop does.
class TChargingTestModifier : public TCopiesTestModifier {
public:
    explicit TChargingTestModifier(int64_t units) : TCopiesTestModifier(1), Units(units) {}
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override
    {
        for (int64_t i = 0; i < Units; i += 1024)
            ChargeWork(Context.Meter, std::min<int64_t>(1024, Units - i));
        return TCopiesTestModifier::ApplyWithInfo(Context, Source, Dest);
    }
    int64_t Units;
};

}  // namespace

// With a meter the run is paid for as it goes: the copy of the source and every mesh a
// step receives and builds, and whatever a kernel charges itself. A bound of exactly the
// whole run's cost passes; below it, the step whose charge passes the bound fails like
// any other step, with OutOfWork, handing back the mesh before it.
TEST_F(ModifierEvaluator, AWorkMeterStopsTheStepThatPassesItsBound)
{
    Add<TVertexAffineTestModifier>(2.0f, 0.0f);
    Add<TCopiesTestModifier>(2);
    Add<TChargingTestModifier>(100000);
    TWorkMeter unbounded;
    TModifierEvalContext ctx;
    ctx.Meter = &unbounded;
    ASSERT_TRUE(Run(ctx));
    const TMeshData whole = *result.Mesh;
    const int64_t cost = unbounded.Used();
    // At least: the source's copy, what the two building steps build, the kernel's own
    // charge.
    EXPECT_GE(cost, MeshWorkUnits(cube) + 2 * MeshWorkUnits(48, 12) + 100000);
    ASSERT_TRUE(Run());  // without a meter: the same mesh
    EXPECT_EQ(result.Mesh->Vertices, whole.Vertices);

    const struct {
        int64_t Bound;
        bool Passes;
        int32_t FailedIndex;
        std::vector<float> Xs;  // of the mesh handed back
    } cases[] = {
        {cost, true, 0, Xs(whole)},
        {cost - 1, false, 2,
         [&] {  // the last step's output
             std::vector<float> xs = CubeXs(2, 0);
             xs.insert(xs.end(), xs.begin(), xs.end());
             return xs;
         }()},
        {cost - 100000, false, 2, {}},                  // the kernel's own charge passes it
        {MeshWorkUnits(cube), false, 0, CubeXs(1, 0)},  // the source's copy only
        {0, false, 0, CubeXs(1, 0)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Bound);
        TWorkMeter meter(c.Bound);
        ctx.Meter = &meter;
        EXPECT_EQ(Run(ctx), c.Passes);
        EXPECT_EQ(result.OutOfWork, !c.Passes);
        EXPECT_FALSE(result.OverLimits);
        EXPECT_EQ(result.FailedIndex, c.FailedIndex);
        ASSERT_TRUE(result.Mesh);
        if (!c.Xs.empty())
            EXPECT_EQ(Xs(*result.Mesh), c.Xs);
        if (!c.Passes)
            EXPECT_EQ(result.Message.find(c.FailedIndex == 0 ? "Test Affine: " : "Test Copies: "),
                      0u)
                << result.Message;
        EXPECT_EQ(meter.Exhausted(), !c.Passes);
    }

    // An output past the limits and the bound at once fails for its size, as it would
    // without a meter; the meter is spent all the same.
    stack.Clear();
    Add<TCopiesTestModifier>(3, /*lie=*/true);
    TWorkMeter tight(MeshWorkUnits(cube) + MeshInputUnits(cube) + 1);
    ctx.Meter = &tight;
    ctx.MaxVertices = 50;
    EXPECT_FALSE(Run(ctx));
    EXPECT_TRUE(result.OverLimits);
    EXPECT_FALSE(result.OutOfWork);
    EXPECT_TRUE(tight.Exhausted());
}

TEST_F(ModifierEvaluator, EdgesAreRebuiltOnceAtTheEndWhenAStepAsksForIt)
{
    auto& m = Add<TCopiesTestModifier>(2);
    m.RebuildOwnEdges = false;
    m.Flags = kApplyPositions | kApplyFaces;
    ASSERT_TRUE(Run());
    EXPECT_TRUE(result.Mesh->Edges.empty());
    EXPECT_EQ(result.Flags, 3);

    m.Flags = kApplyFaces | kApplyEdges;
    ASSERT_TRUE(Run());
    EXPECT_EQ(result.Mesh->Edges.size(), 48u);
}

TEST_F(ModifierEvaluator, VertexOnlyStepsShareTheTopologyOfTheStepsAroundThem)
{
    Add<TVertexAffineTestModifier>(2.0f, 0.0f);
    Add<TCopiesTestModifier>(2);
    Add<TVertexAffineTestModifier>(1.0f, 1.0f);
    ASSERT_TRUE(Run());
    EXPECT_EQ(result.Flags, 47);
    std::vector<float> expected = CubeXs(2, 1);
    expected.insert(expected.end(), expected.begin(), expected.end());
    EXPECT_EQ(Xs(*result.Mesh), expected);
    EXPECT_EQ(result.Mesh->Faces.size(), 2 * cube.Faces.size());
    TMeshData rebuilt = *result.Mesh;
    rebuilt.RebuildEdges();
    EXPECT_EQ(result.Mesh->Edges, rebuilt.Edges);
}

TEST_F(ModifierEvaluator, FailingVertexOnlyStepKeepsTheVerticesBeforeIt)
{
    // Non-finite output, and a raise after half the vertices were written.
    Add<TVertexAffineTestModifier>(1.0f, 5.0f);
    Add<TVertexAffineTestModifier>(std::numeric_limits<float>::infinity(), 0.0f);
    EXPECT_FALSE(Run());
    EXPECT_EQ(result.FailedIndex, 1);
    EXPECT_EQ(result.Message, "Test Affine: output contains invalid or non-finite mesh data");
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(Xs(*result.Mesh), CubeXs(1, 5));

    stack.Clear();
    Add<TVertexAffineTestModifier>(1.0f, 5.0f);
    Add<TVertexAffineTestModifier>(1.0f, 1.0f).ThrowAt = 12;
    EXPECT_FALSE(Run());
    EXPECT_EQ(result.Message, "Test Affine: stopped midway");
    EXPECT_EQ(Xs(*result.Mesh), CubeXs(1, 5));
}

TEST_F(ModifierEvaluator, VertexOnlyStepStillChecksTheSourceFacesAndBuildsMissingEdges)
{
    cube.Faces[3].Indices[1] = static_cast<int32_t>(cube.Vertices.size());
    Add<TVertexAffineTestModifier>(1.0f, 1.0f);
    EXPECT_FALSE(Run());
    EXPECT_EQ(result.Message, "Test Affine: output contains invalid or non-finite mesh data");

    cube.BuildCube();
    const std::vector<TMeshEdge> edges = cube.Edges;
    cube.Edges.clear();
    ASSERT_TRUE(Run());
    EXPECT_EQ(result.Mesh->Edges, edges);
}

// Buffers kept from an earlier run, even of another mesh, change nothing in the result,
// and a first vertex-only step that fails midway hands back the untouched source.
TEST_F(ModifierEvaluator, ReusedBuffersGiveTheSameResults)
{
    Add<TVertexAffineTestModifier>(2.0f, 0.0f);
    Add<TCopiesTestModifier>(2);
    Add<TVertexAffineTestModifier>(1.0f, 1.0f);
    ASSERT_TRUE(Run());
    const TMeshData expected = *result.Mesh;

    TModifierEvalBuffers buffers;
    buffers.Mesh = std::make_unique<TMeshData>();
    buffers.Mesh->BuildSphere(8, 6, 3.0f);  // stale content of another shape
    buffers.Spare.resize(1000);
    const TMeshData source = cube;
    for (int run = 0; run < 3; ++run) {
        ASSERT_TRUE(TModifierEvaluator().Evaluate(&cube, stack, {}, result, &buffers));
        EXPECT_EQ(result.Mesh->Vertices, expected.Vertices);
        EXPECT_EQ(result.Mesh->Faces, expected.Faces);
        EXPECT_EQ(result.Mesh->Edges, expected.Edges);
        EXPECT_EQ(cube.Vertices, source.Vertices);
        buffers.Mesh = std::move(result.Mesh);  // as an object hands back its old mesh
    }

    stack.Clear();
    Add<TVertexAffineTestModifier>(3.0f, 1.0f).ThrowAt = 12;
    EXPECT_FALSE(TModifierEvaluator().Evaluate(&cube, stack, {}, result, &buffers));
    EXPECT_EQ(result.FailedIndex, 0);
    ASSERT_TRUE(result.Mesh);
    EXPECT_EQ(result.Mesh->Vertices, source.Vertices);
    EXPECT_EQ(result.Mesh->Faces, source.Faces);
}

TEST(ModifierMeshChecks, FiniteAndValid)
{
    EXPECT_FALSE(MeshPositionsFinite(nullptr));
    EXPECT_FALSE(MeshFacesValid(nullptr));
    TMeshData empty;
    EXPECT_TRUE(MeshPositionsFinite(&empty));
    EXPECT_TRUE(MeshFacesValid(&empty));

    TMeshData tri;
    tri.AddVertex({});
    tri.AddVertex({});
    tri.AddVertex({});
    tri.AddTriangle(0, 1, 2);
    EXPECT_TRUE(MeshFacesValid(&tri));
    tri.Vertices[2].Normal.X = std::numeric_limits<float>::quiet_NaN();  // only positions count
    EXPECT_TRUE(MeshPositionsFinite(&tri));
    tri.Vertices[1].Position.Z = std::numeric_limits<float>::infinity();
    EXPECT_FALSE(MeshPositionsFinite(&tri));
    tri.Faces[0].Indices[2] = -1;
    EXPECT_FALSE(MeshFacesValid(&tri));

    TMeshData copy;
    copy.AddVertex({});
    CopyMeshArrays(&tri, &copy);
    EXPECT_EQ(copy.Vertices.size(), 3u);
    EXPECT_EQ(copy.Vertices[1].Position.Z, tri.Vertices[1].Position.Z);
    EXPECT_EQ(copy.Faces, tri.Faces);
    EXPECT_TRUE(copy.Edges.empty());
}
