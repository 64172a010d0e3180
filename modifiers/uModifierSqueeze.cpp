#include "modifiers/uModifierSqueeze.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>

void TSqueezeModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TSqueezeModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    TAxisFrame frame;
    const bool active = std::fabs(AxialAmount) >= 1e-6f || std::fabs(RadialAmount) >= 1e-6f;
    if (!active || !MeasureFixedPairFrame(In, frame)) {
        TModifier::DeformVertices(In, Out);
        return;
    }
    const float mid = (frame.Lo + frame.Hi) * 0.5f, half = (frame.Hi - frame.Lo) * 0.5f;
    float axial = 1 - AxialAmount;
    if (axial < 0.05f)
        axial = 0.05f;
    const float radial = RadialAmount;
    // Reciprocals, so that the loop multiplies where it would divide.
    const float invHalf = 1 / half, invAxial = 1 / axial;
    // The frame is the axis and the fixed pair across it, so coordinates are components.
    WithAxis(frame.Axis, [&](auto AxisConstant) {
        constexpr int32_t a = AxisConstant, u = AcrossFirst(a), v = AcrossSecond(a);
        const float cA = Component(frame.Center, a), cU = Component(frame.Center, u),
                    cV = Component(frame.Center, v);
        ForEachVertexBlock(In, Out, [&](TVertexBlock& block, int32_t n, size_t) {
            const TBlockLanes L(block);
            for (int32_t i = 0; i < n; ++i) {
                const float q = (L.P[a][i] - cA - mid) * invHalf;
                const float c0 = 1 - (1 - q * q) * radial;
                const float c = SelectFloat(c0 < 0.05f, 0.05f, c0);
                const float invC = 1 / c;
                // Vertices outside the limited range stay as they are (& rather than ||:
                // no branch in the loop).
                const bool inside = !(q < -1) & !(q > 1);
                const TVec3 nv = L.Normal(i);
                const TVec3 nn = NormalizeV(Placed<a, u, v>(
                    Component(nv, a) * invAxial, Component(nv, u) * invC, Component(nv, v) * invC));
                StoreNormal(block, i, SelectVec3(inside, nn, nv));
                L.P[a][i] = SelectFloat(inside, cA + (axial * q * half + mid), L.P[a][i]);
                L.P[u][i] = SelectFloat(inside, cU + c * (L.P[u][i] - cU), L.P[u][i]);
                L.P[v][i] = SelectFloat(inside, cV + c * (L.P[v][i] - cV), L.P[v][i]);
            }
        });
    });
}

std::unique_ptr<TModifier> TSqueezeModifier::Clone() const
{
    auto Copy = std::make_unique<TSqueezeModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TSqueezeModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"AxialAmount=", AxialAmount}, {"RadialAmount=", RadialAmount}});
}

void TSqueezeModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(
        Lines, Index,
        {{"AxialAmount=", &AxialAmount, -10, 10}, {"RadialAmount=", &RadialAmount, -10, 10}});
}

void TSqueezeModifier::SetAxialAmount(float Value)
{
    SetClampedFloat(*this, AxialAmount, Value, 0, -10, 10, 1e-5f);
}

void TSqueezeModifier::SetRadialAmount(float Value)
{
    SetClampedFloat(*this, RadialAmount, Value, 0, -10, 10, 1e-5f);
}

void RegisterSqueezeModifier()
{
    RegisterModifier("squeeze", "Squeeze", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TSqueezeModifier>();
    });
}
