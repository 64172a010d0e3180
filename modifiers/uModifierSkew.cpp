#include "modifiers/uModifierSkew.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>

float SkewWrapDegrees(float Degrees)
{
    return WrapDegrees180(Degrees);
}

void TSkewModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TSkewModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    TAxisFrameRequest request = FrameRequest();
    request.DirectionDeg = DirectionDeg;
    TAxisFrame frame;
    if (!(std::fabs(Amount) >= 1e-6f) || !MeasureAxisFrame(In, request, frame)) {
        TModifier::DeformVertices(In, Out);
        return;
    }
    const float lo = frame.Lo, hi = frame.Hi;
    const float pivot = AxisFramePivot(frame, Pivot);
    const float amount = Amount;
    // The axis is X, Y or Z and D, E lie across it: coordinates are components and
    // two-term sums.
    WithAxis(frame.Axis, [&](auto AxisConstant) {
        constexpr int32_t a = AxisConstant, u = AcrossFirst(a), v = AcrossSecond(a);
        const float cA = Component(frame.Center, a);
        const float dU = Component(frame.D, u), dV = Component(frame.D, v);
        const float eU = Component(frame.E, u), eV = Component(frame.E, v);
        ForEachVertexBlock(In, Out, [&](TVertexBlock& block, int32_t n, size_t) {
            const TBlockLanes L(block);
            for (int32_t i = 0; i < n; ++i) {
                const float t = L.P[a][i] - cA;
                const float tc = std::min(std::max(t, lo), hi);
                // Only the coordinate along D changes, so the vertex moves along D.
                const float move = (tc - pivot) * amount;
                L.P[u][i] += dU * move;
                L.P[v][i] += dV * move;
                // Beyond a limit the mesh only slides, so its normals stay.
                const TVec3 nv = L.Normal(i);
                const float nA = L.N[a][i], nu = L.N[u][i], nw = L.N[v][i];
                const float nD = nu * dU + nw * dV, nE = nu * eU + nw * eV;
                const TVec3 skewed = NormalizeV(
                    Placed<a, u, v>(nA - amount * nD, dU * nD + eU * nE, dV * nD + eV * nE));
                StoreNormal(block, i, SelectVec3(std::fabs(t - tc) < 1e-6f, skewed, nv));
            }
        });
    });
}

std::unique_ptr<TModifier> TSkewModifier::Clone() const
{
    auto Copy = std::make_unique<TSkewModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TSkewModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"Amount=", Amount}});
}

void TSkewModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(Lines, Index, {{"Amount=", &Amount, -100, 100}});
}

void TSkewModifier::SetAmount(float Value)
{
    SetClampedFloat(*this, Amount, Value, 0, -100, 100, 1e-5f);
}

void RegisterSkewModifier()
{
    RegisterModifier("skew", "Skew", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TSkewModifier>();
    });
}
