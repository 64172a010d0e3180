#include "modifiers/uModifierNoise.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>
#include <cmath>

void TNoiseModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TNoiseModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    Deform(In, nullptr, Out, nullptr);
}

void TNoiseModifier::DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                              const TPositionSummary* InSummary,
                                              std::span<TMeshVertex> Out,
                                              TPositionSummary& OutSummary)
{
    Deform(In, InSummary, Out, &OutSummary);
}

void TNoiseModifier::Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                            std::span<TMeshVertex> Out, TPositionSummary* OutSummary)
{
    if (Strength == 0) {
        PassThrough(In, InSummary, Out, OutSummary);
        return;
    }
    const float f = 10 * Scale;
    const float sideways = Strength * 0.5f, upwards = Strength * 0.3f;
    // The sines' arguments are a scaled coordinate (moved by at most the strength) plus up
    // to 1.3 times the vertex index: bounded per block, so that most blocks can use the
    // cheaper reduction.
    TVec3 lo, hi;
    PositionBounds(In, InSummary, lo, hi);
    const float reach = std::max({std::fabs(lo.X), std::fabs(lo.Y), std::fabs(lo.Z),
                                  std::fabs(hi.X), std::fabs(hi.Y), std::fabs(hi.Z)}) +
                        std::fabs(sideways) + std::fabs(upwards);
    const float coordinateAngle = std::fabs(f) * reach;
    ForEachVertexBlock(
        In, Out,
        [&](TVertexBlock& b, int32_t n, size_t First) {
            const float first = static_cast<float>(First);
            const float maxAngle =
                (coordinateAngle + (first + static_cast<float>(n)) * 1.3f) * 1.01f;
            WithSinCosFor(maxAngle, [&](auto Trig) {
                for (int32_t k = 0; k < n; ++k) {
                    // The vertex index as a float (exact below 2^24 vertices), and each line
                    // sees the coordinates the lines before it have already moved.
                    const float i = first + static_cast<float>(k);
                    float s, c;
                    Trig.Get(b.PY[k] * f + i * 0.7f, s, c);
                    b.PX[k] += s * sideways;
                    Trig.Get(b.PX[k] * f + i * 1.3f, s, c);
                    b.PY[k] += c * upwards;
                    Trig.Get(b.PZ[k] * f + i * 0.9f, s, c);
                    b.PZ[k] += s * sideways;
                }
            });
        },
        OutSummary);
}

std::unique_ptr<TModifier> TNoiseModifier::Clone() const
{
    auto Copy = std::make_unique<TNoiseModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TNoiseModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Strength=", Strength));
    Lines.push_back(KeyFloatLine("Scale=", Scale));
}

void TNoiseModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Strength="))
            Strength = KeyFloatValue(Line, "Strength=", 0.1f);
        else if (StartsWithKey(Line, "Scale="))
            Scale = KeyFloatValue(Line, "Scale=", 1);
    });
}

bool TNoiseModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TNoiseModifier::SetStrength(float Value)
{
    // A NaN or infinite value is refused: nothing could be drawn with it.
    if (!std::isfinite(Value) || SameExactly(Value, Strength))
        return;
    Strength = Value;
    Changed();
}

void TNoiseModifier::SetScale(float Value)
{
    // A NaN or infinite value is refused: nothing could be drawn with it.
    if (!std::isfinite(Value) || SameExactly(Value, Scale))
        return;
    Scale = Value;
    Changed();
}

void RegisterNoiseModifier()
{
    RegisterModifier("noise", "Noise", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TNoiseModifier>();
    });
}
