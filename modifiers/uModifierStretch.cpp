#include "modifiers/uModifierStretch.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>
#include <numbers>

void TStretchModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TStretchModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    TAxisFrame frame;
    const bool active = std::fabs(Amount) >= 1e-6f || std::fabs(Amplify) >= 1e-6f;
    if (!active || !MeasureFixedPairFrame(In, frame)) {
        TModifier::DeformVertices(In, Out);
        return;
    }
    float s = 1 + Amount;
    if (s < 0.01f)
        s = 0.01f;
    const float b0 = 1 / std::sqrt(s);
    const float mid = (frame.Lo + frame.Hi) * 0.5f, half = (frame.Hi - frame.Lo) * 0.5f;
    const float pi = static_cast<float>(std::numbers::pi);
    // Reciprocals, so that the loop multiplies where it would divide.
    const float invHalf = 1 / half, invS = 1 / s;
    const float amplify = Amplify;
    // The frame is the axis and the fixed pair across it, so coordinates are components.
    WithAxis(frame.Axis, [&](auto AxisConstant) {
        constexpr int32_t a = AxisConstant, u = AcrossFirst(a), v = AcrossSecond(a);
        const float cA = Component(frame.Center, a), cU = Component(frame.Center, u),
                    cV = Component(frame.Center, v);
        ForEachVertexBlock(In, Out, [&](TVertexBlock& block, int32_t n, size_t) {
            const TBlockLanes L(block);
            for (int32_t i = 0; i < n; ++i) {
                const float q0 = (L.P[a][i] - cA - mid) * invHalf;
                const bool below = (q0 < -1);
                const bool above = (q0 > 1);
                const float q = SelectFloat(below, -1.0f, SelectFloat(above, 1.0f, q0));
                const float over = SelectFloat(below, 1 + q0, SelectFloat(above, q0 - 1, 0.0f));
                float sinPq, cosPq;
                FastSinCosNear(pi * q, sinPq, cosPq);  // |pi q| <= pi
                const float g = (cosPq + 1) * 0.5f;
                const float c0 = (1 + g * amplify) * b0;
                const float c = SelectFloat(c0 < 0.01f, 0.01f, c0);
                const float invC = 1 / c;
                const TVec3 nv = L.Normal(i);
                const TVec3 scaled = NormalizeV(Placed<a, u, v>(
                    Component(nv, a) * invS, Component(nv, u) * invC, Component(nv, v) * invC));
                // Past the ends the mesh only slides, so its normals stay.
                StoreNormal(block, i, SelectVec3(std::fabs(over) < 1e-6f, scaled, nv));
                L.P[a][i] = cA + (half * q * s + mid + half * over);
                L.P[u][i] = cU + c * (L.P[u][i] - cU);
                L.P[v][i] = cV + c * (L.P[v][i] - cV);
            }
        });
    });
}

std::unique_ptr<TModifier> TStretchModifier::Clone() const
{
    auto Copy = std::make_unique<TStretchModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TStretchModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveAmountsAndFrame(Lines, {{"Amount=", Amount}, {"Amplify=", Amplify}});
}

void TStretchModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadAmountsAndFrame(Lines, Index,
                        {{"Amount=", &Amount, -10, 10}, {"Amplify=", &Amplify, -10, 10}});
}

void TStretchModifier::SetAmount(float Value)
{
    SetClampedFloat(*this, Amount, Value, 0, -10, 10, 1e-5f);
}

void TStretchModifier::SetAmplify(float Value)
{
    SetClampedFloat(*this, Amplify, Value, 0, -10, 10, 1e-5f);
}

void RegisterStretchModifier()
{
    RegisterModifier("stretch", "Stretch", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TStretchModifier>();
    });
}
