#include "modifiers/uModifierTwist.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <cmath>
#include <numbers>

void TTwistModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TTwistModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    Deform(In, nullptr, Out, nullptr);
}

void TTwistModifier::DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                              const TPositionSummary* InSummary,
                                              std::span<TMeshVertex> Out,
                                              TPositionSummary& OutSummary)
{
    Deform(In, InSummary, Out, &OutSummary);
}

void TTwistModifier::Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                            std::span<TMeshVertex> Out, TPositionSummary* OutSummary)
{
    float minY = 0, maxY = 0;
    if (Angle == 0 || !HeightRange(In, InSummary, minY, maxY) || !(maxY - minY >= 0.001f)) {
        PassThrough(In, InSummary, Out, OutSummary);
        return;
    }
    const float h = maxY - minY;
    const float k = Angle * static_cast<float>(std::numbers::pi / 180.0);
    const float invH = 1 / h;
    // The angles lie within +-k/2 (with a margin for rounding).
    WithSinCosFor(std::fabs(k) * 0.51f, [&](auto Trig) {
        ForEachVertexBlock(
            In, Out,
            [&](TVertexBlock& b, int32_t n, size_t) {
                for (int32_t i = 0; i < n; ++i) {
                    float s, c;
                    Trig.Get(k * ((b.PY[i] - minY) * invH - 0.5f), s, c);
                    const float x = b.PX[i], z = b.PZ[i];
                    b.PX[i] = c * x - s * z;
                    b.PZ[i] = s * x + c * z;
                    const float nx = b.NX[i], nz = b.NZ[i];
                    b.NX[i] = c * nx - s * nz;
                    b.NZ[i] = s * nx + c * nz;
                }
            },
            OutSummary);
    });
}

std::unique_ptr<TModifier> TTwistModifier::Clone() const
{
    auto Copy = std::make_unique<TTwistModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TTwistModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Angle=", Angle));
}

void TTwistModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Angle="))
            Angle = KeyFloatValue(Line, "Angle=", 0);
    });
}

bool TTwistModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TTwistModifier::SetAngle(float Value)
{
    // A NaN or infinite value is refused: nothing could be drawn with it.
    if (!std::isfinite(Value) || SameExactly(Value, Angle))
        return;
    Angle = Value;
    Changed();
}

void RegisterTwistModifier()
{
    RegisterModifier("twist", "Twist", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TTwistModifier>();
    });
}
