#include "modifiers/uModifierBend.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>
#include <numbers>

float BendWrapDegrees(float Degrees)
{
    return WrapDegrees180(Degrees);
}

void TBendModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TBendModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    Deform(In, nullptr, Out, nullptr);
}

void TBendModifier::DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                             const TPositionSummary* InSummary,
                                             std::span<TMeshVertex> Out,
                                             TPositionSummary& OutSummary)
{
    Deform(In, InSummary, Out, &OutSummary);
}

void TBendModifier::Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                           std::span<TMeshVertex> Out, TPositionSummary* OutSummary)
{
    TAxisFrameRequest request = FrameRequest();
    request.DirectionDeg = DirectionDeg;
    TAxisFrame frame;
    if (!(std::fabs(AngleDeg) >= 1e-5f) || !MeasureAxisFrame(In, InSummary, request, frame)) {
        PassThrough(In, InSummary, Out, OutSummary);
        return;
    }
    const float lo = frame.Lo, hi = frame.Hi;
    const float pivot = AxisFramePivot(frame, Pivot);
    const float K = AngleDeg * static_cast<float>(std::numbers::pi / 180.0) / (hi - lo);
    const float invK = 1.0f / K;
    // The axis is X, Y or Z and D, E lie across it: coordinates are components and
    // two-term sums.
    // The angles lie within the bend angle: tc and the pivot both lie in lo..hi.
    const float maxAngle = std::fabs(K) * (hi - lo) * 1.01f;
    WithSinCosFor(maxAngle, [&](auto Trig) {
        WithAxis(frame.Axis, [&](auto AxisConstant) {
            constexpr int32_t a = AxisConstant, u = AcrossFirst(a), v = AcrossSecond(a);
            const float cA = Component(frame.Center, a), cU = Component(frame.Center, u),
                        cV = Component(frame.Center, v);
            const float dU = Component(frame.D, u), dV = Component(frame.D, v);
            const float eU = Component(frame.E, u), eV = Component(frame.E, v);
            ForEachVertexBlock(
                In, Out,
                [&](TVertexBlock& block, int32_t n, size_t) {
                    const TBlockLanes L(block);
                    for (int32_t i = 0; i < n; ++i) {
                        const float t = L.P[a][i] - cA, ru = L.P[u][i] - cU, rv = L.P[v][i] - cV;
                        const float r = ru * dU + rv * dV, w = ru * eU + rv * eV;
                        const float tc = std::min(std::max(t, lo), hi);
                        float s, c;
                        Trig.Get((tc - pivot) * K, s, c);
                        // Beyond a limit the mesh continues along the arc's end tangent.
                        const float excess = SelectFloat(std::fabs(t - tc) > 1e-6f, t - tc, 0.0f);
                        const float t2 = pivot + s * invK - r * s + c * excess;
                        const float r2 = (1 - c) * invK + r * c + s * excess;
                        L.P[a][i] = cA + t2;
                        L.P[u][i] = cU + (dU * r2 + eU * w);
                        L.P[v][i] = cV + (dV * r2 + eV * w);
                        const float nA = L.N[a][i], nu = L.N[u][i], nv = L.N[v][i];
                        const float nD = nu * dU + nv * dV, nE = nu * eU + nv * eV;
                        const float nA2 = c * nA - s * nD, nD2 = s * nA + c * nD;
                        StoreNormal(block, i,
                                    NormalizeV(Placed<a, u, v>(nA2, dU * nD2 + eU * nE,
                                                               dV * nD2 + eV * nE)));
                    }
                },
                OutSummary);
        });
    });
}

std::unique_ptr<TModifier> TBendModifier::Clone() const
{
    auto Copy = std::make_unique<TBendModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TBendModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"AngleDeg=", AngleDeg}});
}

void TBendModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(Lines, Index, {{"AngleDeg=", &AngleDeg, -3600, 3600}});
}

void TBendModifier::SetAngleDeg(float Value)
{
    SetClampedFloat(*this, AngleDeg, Value, 0, -3600, 3600, 1e-5f);
}

void RegisterBendModifier()
{
    RegisterModifier("bend", "Bend", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TBendModifier>();
    });
}
