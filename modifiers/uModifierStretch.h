#pragma once
// Stretch: scales the limited range along the axis by 1 + Amount about its middle and the
// cross-section by the inverse square root of that factor (volume kept), with a smooth
// bulge (Amplify) that peaks in the middle.
#include "modifiers/uModifierAxisFrame.h"

class TStretchModifier : public TAxisDeformerModifier {
public:
    TStretchModifier() = default;

    std::string GetTypeId() const override { return "stretch"; }
    std::string GetDisplayName() const override { return "Stretch"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;

    float GetAmount() const { return Amount; }
    float GetAmplify() const { return Amplify; }
    // Non-finite becomes 0, then clamped to -10..10; no change within 1e-5.
    void SetAmount(float Value);
    void SetAmplify(float Value);

private:
    float Amount = 1;
    float Amplify = 0;
};

void RegisterStretchModifier();
