#pragma once
// Animated UV: shifts every corner UV along U or V by Offset.
#include "modifiers/uModifiers.h"

class TAnimatedUVModifier : public TModifier {
public:
    TAnimatedUVModifier() = default;

    std::string GetTypeId() const override { return "animated_uv"; }
    std::string GetDisplayName() const override { return "Animated UV"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    // Only the corner UVs change.
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    int32_t GetAxis() const { return Axis; }
    float GetOffset() const { return Offset; }
    // 0 U, 1 V; any other value becomes 0.
    void SetAxis(int32_t Value);
    // Non-finite becomes 0; no change within 1e-5.
    void SetOffset(float Value);

private:
    int32_t Axis = 0;
    float Offset = 0;
};

void RegisterAnimatedUVModifier();
