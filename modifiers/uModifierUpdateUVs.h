#pragma once
// Un-scale UVs: multiplies each face's corner UVs by the owning object's scale along the
// two axes of the face's dominant plane, so that a texture keeps its size in world units
// when the object is scaled. The scale is handed over before every evaluation and is not
// stored in files.
#include "modifiers/uModifiers.h"

class TUnscaleUVsModifier : public TModifier {
public:
    TUnscaleUVsModifier() = default;
    // A copy starts from the unit scale; the next evaluation hands it the real one.
    TUnscaleUVsModifier(const TUnscaleUVsModifier& Source) : TModifier(Source) {}

    std::string GetTypeId() const override { return "unscale_uvs"; }
    std::string GetDisplayName() const override { return "Un-scale UVs"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    // Writes nothing; reading skips the block.
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    // Stores the scale without Changed: it is an input of the evaluation, not a parameter.
    void SetObjectScale(float X, float Y, float Z) override;
    bool ReadsObjectScale() const override { return true; }
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    float GetScaleX() const { return ScaleX; }
    float GetScaleY() const { return ScaleY; }
    float GetScaleZ() const { return ScaleZ; }

private:
    float ScaleX = 1;
    float ScaleY = 1;
    float ScaleZ = 1;
};

void RegisterUnscaleUVsModifier();
