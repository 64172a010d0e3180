#pragma once
// Squeeze: compresses the limited range along the axis by 1 - AxialAmount about its middle
// and pinches the cross-section by a parabola (RadialAmount) that peaks in the middle.
// Vertices beyond the limits do not move.
#include "modifiers/uModifierAxisFrame.h"

class TSqueezeModifier : public TAxisDeformerModifier {
public:
    TSqueezeModifier() = default;

    std::string GetTypeId() const override { return "squeeze"; }
    std::string GetDisplayName() const override { return "Squeeze"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;

    float GetAxialAmount() const { return AxialAmount; }
    float GetRadialAmount() const { return RadialAmount; }
    // Non-finite becomes 0, then clamped to -10..10; no change within 1e-5.
    void SetAxialAmount(float Value);
    void SetRadialAmount(float Value);

private:
    float AxialAmount = 1;
    float RadialAmount = 1;
};

void RegisterSqueezeModifier();
