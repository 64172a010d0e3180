// The evaluator's deform stack against the plain route: each modifier's own Apply, one
// after the other, must give the same bits in every vertex, with the passes handing their
// bounds on, split over two threads, and with reused buffers whose topology is kept when
// it still matches the source. Also the position summary against PositionBounds and a
// plain finite test.
#include "base/uMesh.h"
#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierFastMath.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierVertexPass.h"
#include "tests/modifiers/uTestModifiers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

bool SameBits(float A, float B)
{
    return std::memcmp(&A, &B, sizeof A) == 0;
}

bool SameBits(const std::vector<TMeshVertex>& A, const std::vector<TMeshVertex>& B)
{
    return A.size() == B.size() &&
           (A.empty() || std::memcmp(A.data(), B.data(), A.size() * sizeof(TMeshVertex)) == 0);
}

// Rings of quads around Y from Y = Base up; Base 0 puts +0 and -0 (ZeroSigns) on the
// lowest ring, which is where a bound takes the sign of the first zero.
TMeshData Tube(int Around, int Up, float Base, bool MixedZeroSigns)
{
    TMeshData m;
    for (int i = 0; i < Up; ++i)
        for (int j = 0; j < Around; ++j) {
            const double a = 2 * std::numbers::pi * j / Around;
            TMeshVertex v;
            float y = Base + 0.01f * static_cast<float>(i);
            if (i == 0 && MixedZeroSigns && j % 2 == 1)
                y = -y;
            v.Position = {static_cast<float>(std::cos(a)), y, static_cast<float>(std::sin(a))};
            v.Normal = {static_cast<float>(std::cos(a)), 0, static_cast<float>(std::sin(a))};
            v.Color = {1, 0.5f, 0.25f};
            v.UV = {static_cast<float>(j) / Around, static_cast<float>(i) / Up};
            m.Vertices.push_back(v);
        }
    for (int i = 0; i + 1 < Up; ++i)
        for (int j = 0; j < Around; ++j) {
            const int j1 = (j + 1) % Around;
            m.AddQuad(i * Around + j, i * Around + j1, (i + 1) * Around + j1, (i + 1) * Around + j);
        }
    m.RebuildEdges();
    return m;
}

using TStackMaker = std::function<void(TModifierStack&)>;

struct TStackCase {
    const char* Name;
    TStackMaker Make;
};

std::vector<TStackCase> StackCases()
{
    return {
        {"twist taper bend noise",
         [](TModifierStack& s) {
             auto twist = std::make_unique<TTwistModifier>();
             twist->SetAngle(90);
             s.Add(std::move(twist));
             s.Add(std::make_unique<TTaperModifier>());
             auto bend = std::make_unique<TBendModifier>();
             bend->SetAxis(kAxisX);
             s.Add(std::move(bend));
             s.Add(std::make_unique<TNoiseModifier>());
         }},
        {"bend with limits, noise, twist, taper",
         [](TModifierStack& s) {
             auto bend = std::make_unique<TBendModifier>();
             bend->SetLimitsEnabled(true);
             bend->SetLowerLimit(0.25f);
             bend->SetUpperLimit(0.75f);
             s.Add(std::move(bend));
             auto noise = std::make_unique<TNoiseModifier>();
             noise->SetStrength(0.3f);
             noise->SetScale(2);
             s.Add(std::move(noise));
             auto twist = std::make_unique<TTwistModifier>();
             twist->SetAngle(-400);
             s.Add(std::move(twist));
             auto taper = std::make_unique<TTaperModifier>();
             taper->SetAmount(-0.7f);
             s.Add(std::move(taper));
         }},
        // Passes that copy, and deformers without a summary of their own, between them.
        {"idle twist, inflate, skew, taper",
         [](TModifierStack& s) {
             s.Add(std::make_unique<TTwistModifier>());  // angle 0: a copy
             s.Add(std::make_unique<TInflateModifier>());
             s.Add(std::make_unique<TSkewModifier>());
             s.Add(std::make_unique<TTaperModifier>());
             auto twist = std::make_unique<TTwistModifier>();
             twist->SetAngle(30);
             s.Add(std::move(twist));
         }},
        // A step that rebuilds the mesh between the vertex passes.
        {"twist, copies, bend",
         [](TModifierStack& s) {
             auto twist = std::make_unique<TTwistModifier>();
             twist->SetAngle(45);
             s.Add(std::move(twist));
             s.Add(std::make_unique<TCopiesTestModifier>(2));
             s.Add(std::make_unique<TBendModifier>());
         }},
    };
}

// The plain route: every enabled modifier's Apply in turn.
TMeshData ApplyOneByOne(const TMeshData& Source, const TModifierStack& Stack)
{
    TMeshData mesh = Source;
    for (int32_t i = 0; i < Stack.Count(); ++i) {
        if (!Stack.GetItem(i)->GetEnabled())
            continue;
        TMeshData next;
        Stack.GetItem(i)->Apply(mesh, next);
        mesh = std::move(next);
    }
    return mesh;
}

}  // namespace

TEST(DeformStackOracle, EvaluatorGivesTheBitsOfApplyingEachModifierInTurn)
{
    struct TMeshCase {
        const char* Name;
        TMeshData Mesh;
    };
    // 60 x 400 = 24,000 vertices: long enough to be split over two threads.
    const TMeshCase meshes[] = {
        {"small", Tube(12, 9, 0.5f, false)},
        {"long", Tube(60, 400, -1.0f, false)},
        {"long from zero", Tube(60, 400, 0.0f, false)},
        {"long from mixed-sign zeros", Tube(60, 400, 0.0f, true)},
    };
    for (const TStackCase& stackCase : StackCases())
        for (const TMeshCase& meshCase : meshes) {
            SCOPED_TRACE(std::string(stackCase.Name) + " / " + meshCase.Name);
            TModifierStack stack;
            stackCase.Make(stack);
            const TMeshData expected = ApplyOneByOne(meshCase.Mesh, stack);
            TModifierEvaluationResult result;
            ASSERT_TRUE(TModifierEvaluator().Evaluate(&meshCase.Mesh, stack, {}, result));
            EXPECT_TRUE(SameBits(result.Mesh->Vertices, expected.Vertices));
            EXPECT_EQ(result.Mesh->Faces, expected.Faces);
            EXPECT_EQ(result.Mesh->Edges, expected.Edges);

            // Warm: the buffers of the run before, as an object reuses them.
            TModifierEvalBuffers buffers;
            for (int run = 0; run < 2; ++run) {
                ASSERT_TRUE(
                    TModifierEvaluator().Evaluate(&meshCase.Mesh, stack, {}, result, &buffers));
                EXPECT_TRUE(SameBits(result.Mesh->Vertices, expected.Vertices)) << run;
                EXPECT_EQ(result.Mesh->Faces, expected.Faces) << run;
                EXPECT_EQ(result.Mesh->Edges, expected.Edges) << run;
                buffers.Mesh = std::move(result.Mesh);
            }
        }
}

// A source edited in place between two runs, with the same element counts: the reused
// working mesh must take the new faces and edges, and a face made invalid is refused.
TEST(DeformStackOracle, ReusedBuffersFollowASourceEditedInPlace)
{
    TMeshData source = Tube(60, 400, -1.0f, false);
    TModifierStack stack;
    StackCases()[0].Make(stack);
    TModifierEvalBuffers buffers;
    TModifierEvaluationResult result;
    const auto run = [&] {
        const bool ok = TModifierEvaluator().Evaluate(&source, stack, {}, result, &buffers);
        TMeshData out = result.Mesh ? *result.Mesh : TMeshData();
        buffers.Mesh = std::move(result.Mesh);
        return ok ? out : TMeshData();
    };
    run();

    std::swap(source.Faces[5].Indices[0], source.Faces[5].Indices[2]);  // same count
    source.Faces.back().TexId = 3;
    source.Faces[20000].UVs[1].U = -0.0f;  // equal as a value, not as bits
    source.Edges[7].V1 = source.Edges[8].V1;
    const TMeshData second = run();
    EXPECT_EQ(second.Faces, source.Faces);
    EXPECT_TRUE(SameBits(second.Faces[20000].UVs[1].U, -0.0f));
    EXPECT_EQ(second.Edges, source.Edges);
    EXPECT_TRUE(SameBits(second.Vertices, ApplyOneByOne(source, stack).Vertices));

    source.Faces[12345].Indices[3] = static_cast<int32_t>(source.Vertices.size());
    EXPECT_FALSE(TModifierEvaluator().Evaluate(&source, stack, {}, result, &buffers));
    EXPECT_EQ(result.FailedIndex, 0);
    EXPECT_EQ(result.Message, "Twist: output contains invalid or non-finite mesh data");
    // Again with working faces that already hold the same bad bytes.
    buffers.Mesh = std::move(result.Mesh);
    EXPECT_FALSE(TModifierEvaluator().Evaluate(&source, stack, {}, result, &buffers));
    EXPECT_EQ(result.Message, "Twist: output contains invalid or non-finite mesh data");
    ASSERT_TRUE(result.Mesh);
    EXPECT_TRUE(SameBits(result.Mesh->Vertices, source.Vertices));
}

TEST(DeformStackOracle, SummaryMatchesPositionBoundsAndAPlainFiniteTest)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    struct TCase {
        const char* Name;
        size_t Count;
        // The value of component C of vertex I (otherwise random in -5..5).
        std::function<float(size_t I, int C, float Random)> Value;
    };
    const TCase cases[] = {
        {"random", 1000, [](size_t, int, float r) { return r; }},
        {"one vertex", 1, [](size_t, int, float r) { return r; }},
        {"split over two threads", 40037, [](size_t, int, float r) { return r; }},
        {"all +0", 300, [](size_t, int, float) { return 0.0f; }},
        {"all -0", 300, [](size_t, int, float) { return -0.0f; }},
        {"-0 first, then +0", 300, [](size_t i, int, float) { return i == 0 ? -0.0f : 0.0f; }},
        {"zeros of both signs at the low end", 40037,
         [](size_t i, int c, float r) {
             if (c != 1)
                 return r;
             return i % 5 == 0 ? std::fabs(r) + 0.5f : i % 3 == 0 ? -0.0f : 0.0f;
         }},
        {"an infinity", 5000,
         [=](size_t i, int c, float r) { return i == 4321 && c == 2 ? -inf : r; }},
        {"a NaN", 40037, [=](size_t i, int c, float r) { return i == 39999 && c == 0 ? nan : r; }},
        {"a NaN first", 70, [=](size_t i, int, float r) { return i == 0 ? nan : r; }},
        {"huge", 600, [](size_t i, int, float r) { return r / 5 * (i % 2 ? 3e38f : 1e-38f); }},
    };
    std::mt19937 random(11);
    std::uniform_real_distribution<float> uniform(-5, 5);
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::vector<TMeshVertex> v(c.Count);
        for (size_t i = 0; i < c.Count; ++i) {
            float p[3];
            for (int k = 0; k < 3; ++k)
                p[k] = c.Value(i, k, uniform(random));
            v[i].Position = {p[0], p[1], p[2]};
            v[i].Normal = {nan, inf, 1};  // only positions count
        }
        bool finite = true;
        for (const TMeshVertex& x : v)
            finite = finite && std::isfinite(x.Position.X) && std::isfinite(x.Position.Y) &&
                     std::isfinite(x.Position.Z);
        TVec3 lo, hi;
        ASSERT_TRUE(PositionBounds(v, lo, hi));

        std::vector<TMeshVertex> out(v.size());
        TPositionSummary passed;
        ForEachVertexBlock(
            v, out, [](TVertexBlock&, int32_t, size_t) {}, &passed);
        for (const TPositionSummary& s : {SummarisePositions(v), passed}) {
            EXPECT_EQ(s.Finite, finite);
            EXPECT_TRUE(!s.BoundsKnown || s.Finite);
            if (s.BoundsKnown)
                for (int k = 0; k < 3; ++k) {
                    EXPECT_TRUE(SameBits(Component(s.Lo, k), Component(lo, k))) << k;
                    EXPECT_TRUE(SameBits(Component(s.Hi, k), Component(hi, k))) << k;
                }
            // Only a tie of zeros of both signs at a bound leaves the bounds to a sweep.
            EXPECT_EQ(s.BoundsKnown,
                      finite && std::string(c.Name) != "-0 first, then +0" &&
                          std::string(c.Name) != "zeros of both signs at the low end");
            TVec3 known[2];
            ASSERT_TRUE(PositionBounds(v, &s, known[0], known[1]));
            if (finite) {
                EXPECT_TRUE(SameBits(known[0].X, lo.X) && SameBits(known[0].Y, lo.Y) &&
                            SameBits(known[0].Z, lo.Z) && SameBits(known[1].X, hi.X) &&
                            SameBits(known[1].Y, hi.Y) && SameBits(known[1].Z, hi.Z));
            }
        }
    }
    EXPECT_TRUE(SummarisePositions({}).Finite);
    EXPECT_FALSE(SummarisePositions({}).BoundsKnown);
}

// The passes run in whichever build (AVX-512, AVX2, baseline) the processor picks; each must
// round exactly as the same formulas written out one vertex at a time in plain code.
TEST(DeformStackOracle, PassesGiveTheBitsOfTheirFormulasOneVertexAtATime)
{
    struct TCase {
        const char* Name;
        std::function<std::unique_ptr<TModifier>()> Make;
        std::function<void(std::vector<TMeshVertex>&)> Reference;
    };
    const float twistAngle = 90, taperAmount = 0.45f, noiseStrength = 0.2f, noiseScale = 0.7f;
    const TCase cases[] = {
        {"twist",
         [&] {
             auto m = std::make_unique<TTwistModifier>();
             m->SetAngle(twistAngle);
             return m;
         },
         [&](std::vector<TMeshVertex>& v) {
             float minY, maxY;
             ASSERT_TRUE(HeightRange(v, minY, maxY));
             const float k = twistAngle * static_cast<float>(std::numbers::pi / 180.0);
             const float invH = 1 / (maxY - minY);
             for (TMeshVertex& x : v) {
                 float s, c;
                 FastSinCosNear(k * ((x.Position.Y - minY) * invH - 0.5f), s, c);
                 const TVec3 p = x.Position, n = x.Normal;
                 x.Position = {c * p.X - s * p.Z, p.Y, s * p.X + c * p.Z};
                 x.Normal = {c * n.X - s * n.Z, n.Y, s * n.X + c * n.Z};
             }
         }},
        {"taper",
         [&] {
             auto m = std::make_unique<TTaperModifier>();
             m->SetAmount(taperAmount);
             return m;
         },
         [&](std::vector<TMeshVertex>& v) {
             float minY, maxY;
             ASSERT_TRUE(HeightRange(v, minY, maxY));
             const float invH = 1 / (maxY - minY);
             for (TMeshVertex& x : v) {
                 const float f = 1 - (x.Position.Y - minY) * invH * taperAmount;
                 x.Position.X *= f;
                 x.Position.Z *= f;
             }
         }},
        {"noise",
         [&] {
             auto m = std::make_unique<TNoiseModifier>();
             m->SetStrength(noiseStrength);
             m->SetScale(noiseScale);
             return m;
         },
         [&](std::vector<TMeshVertex>& v) {
             const float f = 10 * noiseScale;
             const float sideways = noiseStrength * 0.5f, upwards = noiseStrength * 0.3f;
             for (size_t k = 0; k < v.size(); ++k) {
                 const float i = static_cast<float>(k);
                 TVec3& p = v[k].Position;
                 float s, c;
                 FastSinCosNear(p.Y * f + i * 0.7f, s, c);
                 p.X += s * sideways;
                 FastSinCosNear(p.X * f + i * 1.3f, s, c);
                 p.Y += c * upwards;
                 FastSinCosNear(p.Z * f + i * 0.9f, s, c);
                 p.Z += s * sideways;
             }
         }},
    };
    // The long mesh is split over two threads; its noise angles stay in the near range.
    for (const TMeshData& mesh : {Tube(12, 9, 0.5f, false), Tube(60, 400, -1.0f, false)})
        for (const TCase& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + " " + std::to_string(mesh.Vertices.size()));
            std::vector<TMeshVertex> expected = mesh.Vertices;
            c.Reference(expected);
            std::vector<TMeshVertex> out(mesh.Vertices.size());
            c.Make()->DeformVertices(mesh.Vertices, out);
            EXPECT_TRUE(SameBits(out, expected));
        }
}
