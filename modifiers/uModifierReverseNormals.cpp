#include "modifiers/uModifierReverseNormals.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <algorithm>
#include <utility>

void TReverseNormalsModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    if (ReverseNormals)
        for (TMeshVertex& v : Dest.Vertices)
            v.Normal = Vec3Scale(v.Normal, -1);
    if (ReverseWinding)
        for (TMeshFace& f : Dest.Faces) {
            // A corrupt corner count is kept within the four stored corners.
            const int32_t count = std::clamp(f.Count, 0, 4);
            for (int32_t j = 0; j < count / 2; ++j)
                std::swap(f.Indices[j], f.Indices[count - 1 - j]);
        }
}

std::unique_ptr<TModifier> TReverseNormalsModifier::Clone() const
{
    auto Copy = std::make_unique<TReverseNormalsModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TReverseNormalsModifier::SaveParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyBoolLine("ReverseWinding=", ReverseWinding));
    Lines.push_back(KeyBoolLine("ReverseNormals=", ReverseNormals));
}

void TReverseNormalsModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [this](const std::string& Line) {
        if (StartsWithKey(Line, "ReverseWinding="))
            ReverseWinding = KeyBoolFirstCharValue(Line, "ReverseWinding=");
        else if (StartsWithKey(Line, "ReverseNormals="))
            ReverseNormals = KeyBoolFirstCharValue(Line, "ReverseNormals=");
    });
}

bool TReverseNormalsModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                                 int64_t& Faces, int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TReverseNormalsModifier::SetReverseWinding(bool Value)
{
    if (Value == ReverseWinding)
        return;
    ReverseWinding = Value;
    Changed();
}

void TReverseNormalsModifier::SetReverseNormals(bool Value)
{
    if (Value == ReverseNormals)
        return;
    ReverseNormals = Value;
    Changed();
}

void RegisterReverseNormalsModifier()
{
    RegisterModifier(
        "reverse_normals", "Reverse Normals", "Topology",
        []() -> std::unique_ptr<TModifier> { return std::make_unique<TReverseNormalsModifier>(); });
}
