#include "modifiers/uModifierUpdateUVs.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierRegistry.h"

#include <algorithm>
#include <cmath>

namespace {

// A scale too small to undo leaves its UV axis alone.
float UsableScale(float Scale)
{
    const float a = std::fabs(Scale);
    return a < 1e-4f ? 1.0f : a;
}

}  // namespace

void TUnscaleUVsModifier::Apply(const TMeshData& Source, TMeshData& Dest)
{
    CopyForDeform(Source, Dest);
    const size_t vertexCount = Dest.Vertices.size();
    for (TMeshFace& f : Dest.Faces) {
        const int32_t count = std::clamp(f.Count, 0, 4);
        TVec3 sum{0, 0, 0};
        for (int32_t j = 0; j < count; ++j) {
            const int32_t index = f.Indices[j];
            if (index >= 0 && static_cast<size_t>(index) < vertexCount)
                sum = Vec3Add(sum, Dest.Vertices[static_cast<size_t>(index)].Normal);
        }
        const TVec3 n = Vec3Normalize(sum);
        const float ax = std::fabs(n.X), ay = std::fabs(n.Y), az = std::fabs(n.Z);
        float su, sv;
        if (ay >= ax && ay >= az) {  // Y dominant, also on ties and for a zero normal
            su = ScaleX;
            sv = ScaleZ;
        } else if (ax >= az) {
            su = ScaleZ;
            sv = ScaleY;
        } else {
            su = ScaleX;
            sv = ScaleY;
        }
        su = UsableScale(su);
        sv = UsableScale(sv);
        for (int32_t j = 0; j < count; ++j) {
            f.UVs[j].U *= su;
            f.UVs[j].V *= sv;
        }
    }
}

std::unique_ptr<TModifier> TUnscaleUVsModifier::Clone() const
{
    auto Copy = std::make_unique<TUnscaleUVsModifier>(*this);
    FinishClone(*Copy);
    return Copy;
}

void TUnscaleUVsModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    ForEachParamLine(Lines, Index, [](const std::string&) {});
}

void TUnscaleUVsModifier::SetObjectScale(float X, float Y, float Z)
{
    ScaleX = X;
    ScaleY = Y;
    ScaleZ = Z;
}

bool TUnscaleUVsModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                             int64_t& Faces, int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void RegisterUnscaleUVsModifier()
{
    RegisterModifier("unscale_uvs", "Un-scale UVs", "UV Edit", []() -> std::unique_ptr<TModifier> {
        return std::make_unique<TUnscaleUVsModifier>();
    });
}
