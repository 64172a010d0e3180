// The vectorised vertex passes of the deformers: their sine, cosine and exponential, the
// block driver, the bounds, and each deformer against a plain general-frame version of
// its formulas (library sine and cosine, full dot products) on every axis.
#include "base/uMesh.h"
#include "modifiers/uModifierAxisFrame.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStretch.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierVertexPass.h"
#include "modifiers/uModifierWave.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <numbers>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr float kPi = static_cast<float>(std::numbers::pi);

TEST(VertexPassMath, SineCosineAndExponentialStayCloseToTheLibrary)
{
    struct TRange {
        float Limit;
        bool Near;  // within FastSinCosNear's range too
    };
    std::mt19937 random(7);
    for (const TRange range :
         {TRange{1, true}, TRange{100, true}, TRange{1e5f, true}, TRange{3e7f, false}}) {
        std::uniform_real_distribution<float> angle(-range.Limit, range.Limit);
        double worst = 0, worstNear = 0;
        for (int i = 0; i < 20000; ++i) {
            const float a = angle(random);
            const double s = std::sin(static_cast<double>(a)), c = std::cos(static_cast<double>(a));
            float fs, fc;
            FastSinCos(a, fs, fc);
            worst = std::max({worst, std::fabs(fs - s), std::fabs(fc - c)});
            if (range.Near) {
                FastSinCosNear(a, fs, fc);
                worstNear = std::max({worstNear, std::fabs(fs - s), std::fabs(fc - c)});
            }
        }
        EXPECT_LT(worst, 2e-7) << range.Limit;
        EXPECT_LT(worstNear, 2e-7) << range.Limit;
    }
    for (float x = -87; x <= 0; x += 0.37f) {
        const double e = std::exp(static_cast<double>(x));
        EXPECT_NEAR(FastExpNonPositive(x), e, e * 5e-7) << x;
    }
    EXPECT_EQ(FastExpNonPositive(0), 1.0f);
    EXPECT_EQ(FastExpNonPositive(-0.0f), 1.0f);
}

TEST(VertexPassMath, ExtremeArgumentsGiveBoundedFiniteResults)
{
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float a : {1e20f, -3e38f, 3e38f, inf, -inf, nan}) {
        float s, c;
        FastSinCos(a, s, c);
        EXPECT_TRUE(std::fabs(s) <= 1 && std::fabs(c) <= 1) << a;
    }
    for (float x : {-88.0f, -1000.0f, -inf, nan}) {
        const float e = FastExpNonPositive(x);
        EXPECT_TRUE(e > 0 && e < 1e-37f) << x;
    }
}

TEST(VertexPassBlocks, EveryVertexIsVisitedOnceAndItsColourAndUVKept)
{
    for (size_t count : {0u, 1u, 3u, 4u, 5u, 255u, 256u, 257u, 1029u, 16384u, 40037u})
        for (bool inPlace : {false, true}) {
            std::vector<TMeshVertex> in(count), out(count);
            for (size_t i = 0; i < count; ++i) {
                const float f = static_cast<float>(i);
                in[i].Position = {f, 2 * f, 3 * f};
                in[i].Normal = {-f, 0.5f, f + 1};
                in[i].Color = {f + 0.25f, f + 0.5f, f + 0.75f};
                in[i].UV = {f * 0.5f, -f};
            }
            const std::vector<TMeshVertex> original = in;
            std::vector<TMeshVertex>& target = inPlace ? in : out;
            ForEachVertexBlock(in, target, [](TVertexBlock& b, int32_t n, size_t First) {
                for (int32_t i = 0; i < n; ++i) {
                    b.PX[i] -= static_cast<float>(First) + static_cast<float>(i);  // 0 if right
                    b.PY[i] += 1;
                    b.NZ[i] = -b.NZ[i];
                }
            });
            for (size_t i = 0; i < count; ++i) {
                const TMeshVertex& v = original[i];
                const TMeshVertex& r = target[i];
                ASSERT_EQ(r.Position, Vec3(0, v.Position.Y + 1, v.Position.Z))
                    << count << " " << inPlace << " " << i;
                ASSERT_EQ(r.Normal, Vec3(v.Normal.X, v.Normal.Y, -v.Normal.Z)) << i;
                ASSERT_EQ(r.Color, v.Color) << i;
                ASSERT_EQ(r.UV, v.UV) << i;
            }
            if (!inPlace) {
                EXPECT_EQ(in, original);
            }
        }
}

TEST(VertexPassBounds, MatchAPlainLoopAndSkipNaNsAfterTheFirstVertex)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<TMeshVertex> v(5);
    const TVec3 points[5] = {{1, -2, 3}, {nan, 7, -1}, {-4, nan, 0}, {2, 0, nan}, {0, -9, 8}};
    for (int i = 0; i < 5; ++i)
        v[i].Position = points[i];
    TVec3 lo, hi;
    ASSERT_TRUE(PositionBounds(v, lo, hi));
    EXPECT_EQ(lo, Vec3(-4, -9, -1));
    EXPECT_EQ(hi, Vec3(2, 7, 8));

    v[0].Position.X = nan;  // a NaN first value stays, as a std::min loop keeps it
    ASSERT_TRUE(PositionBounds(v, lo, hi));
    EXPECT_TRUE(std::isnan(lo.X) && std::isnan(hi.X));
    EXPECT_FALSE(PositionBounds({}, lo, hi));
}

// ---- the deformers against general-frame versions of their formulas ----

// A lumpy ellipsoid of 700 vertices with tilted normals: every axis has extent and no
// vertex sits on a symmetry line.
std::vector<TMeshVertex> Blob()
{
    std::mt19937 random(11);
    std::uniform_real_distribution<float> unit(-1, 1);
    std::vector<TMeshVertex> v(700);
    for (TMeshVertex& x : v) {
        x.Position = {1.5f * unit(random), 2.5f * unit(random) + 0.3f, 0.8f * unit(random)};
        x.Normal = Vec3Normalize({unit(random), unit(random), unit(random) + 0.1f});
        x.Color = {0.1f, 0.2f, 0.3f};
        x.UV = {unit(random), unit(random)};
    }
    return v;
}

TVec3 At(const TVec3& C, const TVec3& A, float a, const TVec3& B, float b, const TVec3& D, float d)
{
    return Vec3Add(C, Vec3Add(Vec3Scale(A, a), Vec3Add(Vec3Scale(B, b), Vec3Scale(D, d))));
}

using TReference = std::function<void(std::vector<TMeshVertex>&)>;

struct TDeformCase {
    std::string Name;
    std::function<std::unique_ptr<TModifier>()> Make;
    TReference Reference;
};

TAxisFrameRequest Request(int32_t Axis, bool Directed, float DirectionDeg, bool Limits,
                          bool UpperFromLower)
{
    TAxisFrameRequest r;
    r.Axis = Axis;
    r.UseDirection = Directed;
    r.DirectionDeg = DirectionDeg;
    r.LimitsEnabled = Limits;
    r.LowerLimit = 0.2f;
    r.UpperLimit = 0.7f;
    r.UpperFromLower = UpperFromLower;
    return r;
}

std::vector<TDeformCase> DeformCases()
{
    std::vector<TDeformCase> cases;
    for (int32_t axis = 0; axis < 3; ++axis)
        for (bool limits : {false, true}) {
            const std::string tag = "/axis" + std::to_string(axis) + (limits ? "/limits" : "");
            auto limited = [axis, limits](TAxisDeformerModifier& m) {
                m.SetAxis(axis);
                m.SetLimitsEnabled(limits);
                m.SetLowerLimit(0.2f);
                m.SetUpperLimit(0.7f);
            };
            cases.push_back(
                {"bend" + tag,
                 [=] {
                     auto m = std::make_unique<TBendModifier>();
                     limited(*m);
                     m->SetAngleDeg(75);
                     m->SetDirectionDeg(30);
                     m->SetPivot(kPivotMinimum);
                     return m;
                 },
                 [=](std::vector<TMeshVertex>& v) {
                     TAxisFrame f;
                     ASSERT_TRUE(MeasureAxisFrame(v, Request(axis, true, 30, limits, false), f));
                     const float pivot = AxisFramePivot(f, kPivotMinimum);
                     const float K = 75 * kPi / 180 / (f.Hi - f.Lo);
                     for (TMeshVertex& x : v) {
                         const TVec3 rel = Vec3Sub(x.Position, f.Center);
                         const float t = Vec3Dot(rel, f.A), r = Vec3Dot(rel, f.D),
                                     w = Vec3Dot(rel, f.E);
                         const float tc = std::clamp(t, f.Lo, f.Hi);
                         const float s = std::sin((tc - pivot) * K), c = std::cos((tc - pivot) * K);
                         const float excess = t - tc;
                         const float t2 = pivot + s / K - r * s + c * excess;
                         const float r2 = (1 - c) / K + r * c + s * excess;
                         x.Position = At(f.Center, f.A, t2, f.D, r2, f.E, w);
                         const float nA = Vec3Dot(x.Normal, f.A), nD = Vec3Dot(x.Normal, f.D),
                                     nE = Vec3Dot(x.Normal, f.E);
                         x.Normal = Vec3Normalize(
                             At({0, 0, 0}, f.A, c * nA - s * nD, f.D, s * nA + c * nD, f.E, nE));
                     }
                 }});
            cases.push_back(
                {"skew" + tag,
                 [=] {
                     auto m = std::make_unique<TSkewModifier>();
                     limited(*m);
                     m->SetAmount(0.6f);
                     m->SetDirectionDeg(-40);
                     m->SetPivot(kPivotMaximum);
                     return m;
                 },
                 [=](std::vector<TMeshVertex>& v) {
                     TAxisFrame f;
                     ASSERT_TRUE(MeasureAxisFrame(v, Request(axis, true, -40, limits, false), f));
                     const float pivot = AxisFramePivot(f, kPivotMaximum);
                     for (TMeshVertex& x : v) {
                         const float t = Vec3Dot(Vec3Sub(x.Position, f.Center), f.A);
                         const float tc = std::clamp(t, f.Lo, f.Hi);
                         x.Position = Vec3Add(x.Position, Vec3Scale(f.D, (tc - pivot) * 0.6f));
                         if (t == tc) {
                             const float nA = Vec3Dot(x.Normal, f.A), nD = Vec3Dot(x.Normal, f.D),
                                         nE = Vec3Dot(x.Normal, f.E);
                             x.Normal = Vec3Normalize(
                                 At({0, 0, 0}, f.A, nA - 0.6f * nD, f.D, nD, f.E, nE));
                         }
                     }
                 }});
            cases.push_back(
                {"stretch" + tag,
                 [=] {
                     auto m = std::make_unique<TStretchModifier>();
                     limited(*m);
                     m->SetAmount(0.8f);
                     m->SetAmplify(-0.5f);
                     return m;
                 },
                 [=](std::vector<TMeshVertex>& v) {
                     TAxisFrame f;
                     ASSERT_TRUE(MeasureAxisFrame(v, Request(axis, false, 0, limits, true), f));
                     const float s = 1.8f, b = 1 / std::sqrt(s);
                     const float mid = (f.Lo + f.Hi) / 2, half = (f.Hi - f.Lo) / 2;
                     for (TMeshVertex& x : v) {
                         const TVec3 rel = Vec3Sub(x.Position, f.Center);
                         const float t = Vec3Dot(rel, f.A), u = Vec3Dot(rel, f.D),
                                     w = Vec3Dot(rel, f.E);
                         const float q0 = (t - mid) / half, q = std::clamp(q0, -1.0f, 1.0f);
                         const float over = q0 - q;
                         const float g = (std::cos(kPi * q) + 1) / 2;
                         const float c = std::max((1 - 0.5f * g) * b, 0.01f);
                         x.Position = At(f.Center, f.A, half * q * s + mid + half * over, f.D,
                                         c * u, f.E, c * w);
                         if (over == 0)
                             x.Normal = Vec3Normalize(At({0, 0, 0}, f.A, Vec3Dot(x.Normal, f.A) / s,
                                                         f.D, Vec3Dot(x.Normal, f.D) / c, f.E,
                                                         Vec3Dot(x.Normal, f.E) / c));
                     }
                 }});
            cases.push_back(
                {"squeeze" + tag,
                 [=] {
                     auto m = std::make_unique<TSqueezeModifier>();
                     limited(*m);
                     m->SetAxialAmount(0.3f);
                     m->SetRadialAmount(0.6f);
                     return m;
                 },
                 [=](std::vector<TMeshVertex>& v) {
                     TAxisFrame f;
                     ASSERT_TRUE(MeasureAxisFrame(v, Request(axis, false, 0, limits, true), f));
                     const float mid = (f.Lo + f.Hi) / 2, half = (f.Hi - f.Lo) / 2, a = 0.7f;
                     for (TMeshVertex& x : v) {
                         const TVec3 rel = Vec3Sub(x.Position, f.Center);
                         const float q = (Vec3Dot(rel, f.A) - mid) / half;
                         if (q < -1 || q > 1)
                             continue;
                         const float c = std::max(1 - (1 - q * q) * 0.6f, 0.05f);
                         x.Position = At(f.Center, f.A, a * q * half + mid, f.D,
                                         c * Vec3Dot(rel, f.D), f.E, c * Vec3Dot(rel, f.E));
                         x.Normal = Vec3Normalize(At({0, 0, 0}, f.A, Vec3Dot(x.Normal, f.A) / a,
                                                     f.D, Vec3Dot(x.Normal, f.D) / c, f.E,
                                                     Vec3Dot(x.Normal, f.E) / c));
                     }
                 }});
        }
    for (int32_t axis = 0; axis < 3; ++axis) {
        const std::string tag = "/axis" + std::to_string(axis);
        cases.push_back(
            {"wave" + tag,
             [=] {
                 auto m = std::make_unique<TWaveModifier>();
                 m->SetAxis(axis);
                 m->SetAmplitude(0.3f);
                 m->SetWavelength(1.3f);
                 m->SetPhaseDeg(20);
                 m->SetDecay(0.4f);
                 m->SetDirectionDeg(50);
                 return m;
             },
             [=](std::vector<TMeshVertex>& v) {
                 const TVec3 C = BoundingBoxCenter(v);
                 TVec3 A, D, E;
                 AxisDirectionFrame(axis, 50, A, D, E);
                 const float k = 2 * kPi / 1.3f, phi = 20 * kPi / 180;
                 for (TMeshVertex& x : v) {
                     const float a = Vec3Dot(Vec3Sub(x.Position, C), A);
                     const float att = std::exp(-0.4f * std::fabs(a));
                     const float s = std::sin(k * a + phi) * 0.3f * att;
                     const float g = std::cos(k * a + phi) * k * 0.3f * att;
                     x.Position = Vec3Add(x.Position, Vec3Scale(D, s));
                     const float nA = Vec3Dot(x.Normal, A), nD = Vec3Dot(x.Normal, D),
                                 nE = Vec3Dot(x.Normal, E);
                     x.Normal = Vec3Normalize(At({0, 0, 0}, A, nA - g * nD, D, nD, E, nE));
                 }
             }});
        cases.push_back(
            {"ripple" + tag,
             [=] {
                 auto m = std::make_unique<TRippleModifier>();
                 m->SetAxis(axis);
                 m->SetAmplitude(0.2f);
                 m->SetWavelength(0.9f);
                 m->SetPhaseDeg(-35);
                 m->SetDecay(0.7f);
                 m->SetCenterU(0.4f);
                 m->SetCenterV(-0.3f);
                 return m;
             },
             [=](std::vector<TMeshVertex>& v) {
                 const TVec3 N = axis == 0   ? Vec3(1, 0, 0)
                                 : axis == 1 ? Vec3(0, 1, 0)
                                             : Vec3(0, 0, 1);
                 const TVec3 R = axis == 0 ? Vec3(0, 1, 0) : Vec3(1, 0, 0);
                 const TVec3 T = Vec3Cross(N, R);
                 const float k = 2 * kPi / 0.9f, phi = -35 * kPi / 180;
                 for (TMeshVertex& x : v) {
                     const TVec3 q = Vec3Sub(x.Position, Vec3Scale(N, Vec3Dot(x.Position, N)));
                     const float u = Vec3Dot(q, R) - 0.4f, w = Vec3Dot(q, T) + 0.3f;
                     const float rho = std::sqrt(u * u + w * w);
                     const float att = std::exp(-0.7f * rho);
                     const float s = std::sin(k * rho + phi) * 0.2f * att;
                     const float g = std::cos(k * rho + phi) * k * 0.2f * att;
                     x.Position = Vec3Add(x.Position, Vec3Scale(N, s));
                     const TVec3 dir = Vec3Add(Vec3Scale(R, u / rho), Vec3Scale(T, w / rho));
                     const TVec3 across = Vec3Cross(N, dir);
                     const float nN = Vec3Dot(x.Normal, N), nDir = Vec3Dot(x.Normal, dir),
                                 nAcross = Vec3Dot(x.Normal, across);
                     x.Normal =
                         Vec3Normalize(At({0, 0, 0}, N, nN, dir, nDir - g * nN, across, nAcross));
                 }
             }});
    }
    cases.push_back({"twist",
                     [] {
                         auto m = std::make_unique<TTwistModifier>();
                         m->SetAngle(250);
                         return m;
                     },
                     [](std::vector<TMeshVertex>& v) {
                         float lo, hi;
                         ASSERT_TRUE(HeightRange(v, lo, hi));
                         const float k = 250 * kPi / 180;
                         for (TMeshVertex& x : v) {
                             const float a = k * ((x.Position.Y - lo) / (hi - lo) - 0.5f);
                             const float s = std::sin(a), c = std::cos(a);
                             const TVec3 p = x.Position, n = x.Normal;
                             x.Position = {c * p.X - s * p.Z, p.Y, s * p.X + c * p.Z};
                             x.Normal = {c * n.X - s * n.Z, n.Y, s * n.X + c * n.Z};
                         }
                     }});
    // Large enough that the later blocks' angles need the wide reduction.
    cases.push_back({"noise",
                     [] {
                         auto m = std::make_unique<TNoiseModifier>();
                         m->SetStrength(0.2f);
                         m->SetScale(3);
                         return m;
                     },
                     [](std::vector<TMeshVertex>& v) {
                         float i = 0;
                         for (TMeshVertex& x : v) {
                             TVec3& p = x.Position;
                             p.X += std::sin(p.Y * 30 + i * 0.7f) * 0.1f;
                             p.Y += std::cos(p.X * 30 + i * 1.3f) * 0.06f;
                             p.Z += std::sin(p.Z * 30 + i * 0.9f) * 0.1f;
                             i += 1;
                         }
                     }});
    return cases;
}

std::vector<TMeshVertex> ManyBlobs(size_t Copies)
{
    std::vector<TMeshVertex> v;
    const std::vector<TMeshVertex> one = Blob();
    for (size_t i = 0; i < Copies; ++i)
        v.insert(v.end(), one.begin(), one.end());
    return v;
}

TEST(VertexPassDeformers, MatchTheirGeneralFrameFormulasOnEveryAxis)
{
    for (const TDeformCase& c : DeformCases()) {
        SCOPED_TRACE(c.Name);
        // Noise's angles grow with the vertex index: 110 blobs take it past 10^5.
        const std::vector<TMeshVertex> source = c.Name == "noise" ? ManyBlobs(110) : Blob();
        std::vector<TMeshVertex> expected = source;
        c.Reference(expected);

        auto modifier = c.Make();
        ASSERT_TRUE(modifier->KeepsTopology());
        std::vector<TMeshVertex> out(source.size());
        modifier->DeformVertices(source, out);
        // Noise feeds each moved coordinate into the next sine: a last-bit difference in
        // one can round an angle near 10^5 to a neighbouring float, a few 1e-4 later. A
        // wrong vertex index or reduction would be off by up to the strength, 0.1.
        const float scale = c.Name == "noise" ? 1e-3f : 2e-5f;
        for (size_t i = 0; i < source.size(); ++i) {
            const TMeshVertex &e = expected[i], &r = out[i];
            const float tolerance = scale * (1 + Vec3Length(e.Position));
            ASSERT_LT(Vec3Length(Vec3Sub(r.Position, e.Position)), tolerance) << i;
            ASSERT_LT(Vec3Length(Vec3Sub(r.Normal, e.Normal)), 2e-4f) << i;
            ASSERT_EQ(r.Color, e.Color);
            ASSERT_EQ(r.UV, e.UV);
        }

        // Apply deforms a copy in place and gets the same vertices bit for bit.
        TMeshData mesh, applied;
        mesh.Vertices = source;
        modifier->Apply(mesh, applied);
        EXPECT_EQ(applied.Vertices, out);
        EXPECT_EQ(mesh.Vertices, source);
    }
}

}  // namespace
