#include "modifiers/uModifierStretch.h"

#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uMesh.h"

#include <cmath>
#include <numbers>

void TStretchModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    TAxisFrameRequest request = FrameRequest();
    request.UseDirection = false;
    request.UpperFromLower = true;
    TAxisFrame frame;
    const bool active = std::fabs(Amount) >= 1e-6f || std::fabs(Amplify) >= 1e-6f;
    if (active && MeasureAxisFrame(Dest.Vertices, request, frame)) {
        float s = 1 + Amount;
        if (s < 0.01f)
            s = 0.01f;
        const float b = 1 / std::sqrt(s);
        const float mid = (frame.Lo + frame.Hi) * 0.5f, half = (frame.Hi - frame.Lo) * 0.5f;
        const TVec3 C = frame.Center, A = frame.A, U = frame.D, V = frame.E;
        const float pi = static_cast<float>(std::numbers::pi);
        // The profile depends on q alone: kept for the vertices of a ring that share it.
        float lastQ = 0, lastCos = 1;
        bool haveCos = false;
        for (TMeshVertex& v : Dest.Vertices) {
            const TVec3 rel = SubV(v.Position, C);
            const float t = DotV(rel, A), u = DotV(rel, U), w = DotV(rel, V);
            float q = (t - mid) / half, over = 0;
            if (q < -1) {
                over = 1 + q;
                q = -1;
            } else if (q > 1) {
                over = q - 1;
                q = 1;
            }
            if (!haveCos || !(q == lastQ)) {
                lastQ = q;
                lastCos = std::cos(pi * q);
                haveCos = true;
            }
            const float g = (lastCos + 1) * 0.5f;
            float c = (1 + g * Amplify) * b;
            if (c < 0.01f)
                c = 0.01f;
            const float t2 = half * q * s + mid + half * over;
            v.Position = AddV(C, AddV(ScaleV(A, t2), AddV(ScaleV(U, c * u), ScaleV(V, c * w))));
            if (std::fabs(over) < 1e-6f) {
                const float nA = DotV(v.Normal, A), nU = DotV(v.Normal, U), nV = DotV(v.Normal, V);
                v.Normal =
                    NormalizeV(AddV(ScaleV(A, nA / s), AddV(ScaleV(U, nU / c), ScaleV(V, nV / c))));
            }
        }
    }
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
