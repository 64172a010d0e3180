#include "modifiers/uModifierTaper.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierVertexPass.h"

#include <cmath>

void TTaperModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TTaperModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    Deform(In, nullptr, Out, nullptr);
}

void TTaperModifier::DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                              const TPositionSummary* InSummary,
                                              std::span<TMeshVertex> Out,
                                              TPositionSummary& OutSummary)
{
    Deform(In, InSummary, Out, &OutSummary);
}

void TTaperModifier::Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                            std::span<TMeshVertex> Out, TPositionSummary* OutSummary)
{
    float minY = 0, maxY = 0;
    if (Amount == 0 || !HeightRange(In, InSummary, minY, maxY)) {
        PassThrough(In, InSummary, Out, OutSummary);
        return;
    }
    // A flat (or unmeasurable) mesh is measured over a minimal height.
    const float h = maxY - minY;
    const float H = h > 0.001f ? h : 0.001f;
    const float invH = 1 / H;
    ForEachVertexBlock(
        In, Out,
        [&](TVertexBlock& b, int32_t n, size_t) {
            for (int32_t i = 0; i < n; ++i) {
                const float f = 1 - (b.PY[i] - minY) * invH * Amount;
                b.PX[i] *= f;
                b.PZ[i] *= f;
            }
        },
        OutSummary);
}

std::unique_ptr<TModifier> TTaperModifier::Clone() const
{
    auto Copy = std::make_unique<TTaperModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TTaperModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Amount=", Amount));
}

void TTaperModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Amount="))
            Amount = KeyFloatValue(Line, "Amount=", 0.3f);
    });
}

bool TTaperModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                        int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TTaperModifier::SetAmount(float Value)
{
    // A NaN or infinite value is refused: nothing could be drawn with it.
    if (!std::isfinite(Value) || SameExactly(Value, Amount))
        return;
    Amount = Value;
    Changed();
}

void RegisterTaperModifier()
{
    RegisterModifier("taper", "Taper", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TTaperModifier>();
    });
}
