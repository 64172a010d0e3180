#include "modifiers/uModifierInflate.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <cmath>

void TInflateModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    ApplyVertexDeform(*this, Source, Dest);
}

void TInflateModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    // The normal as stored: a longer normal moves its vertex further.
    MoveAlongNormals(In, Out, Width);
}

std::unique_ptr<TModifier> TInflateModifier::Clone() const
{
    auto Copy = std::make_unique<TInflateModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TInflateModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Width=", Width));
}

void TInflateModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "Width="))
            Width = KeyFloatValue(Line, "Width=", 0.05f);
    });
}

bool TInflateModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                          int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TInflateModifier::SetWidth(float Value)
{
    // A NaN or infinite value is refused: nothing could be drawn with it.
    if (!std::isfinite(Value) || SameExactly(Value, Width))
        return;
    Width = Value;
    Changed();
}

void RegisterInflateModifier()
{
    RegisterModifier("inflate", "Inflate", "Deform", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TInflateModifier>();
    });
}
