#pragma once
// Skew: shears the mesh along a direction across the axis by Amount times each vertex's
// distance from the pivot along the axis; beyond the limits the offset stops growing.
#include "modifiers/uModifierAxisFrame.h"

class TSkewModifier : public TDirectedAxisDeformerModifier {
public:
    TSkewModifier() = default;

    std::string GetTypeId() const override { return "skew"; }
    std::string GetDisplayName() const override { return "Skew"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;

    float GetAmount() const { return Amount; }
    // Non-finite becomes 0, then clamped to -100..100; no change within 1e-5.
    void SetAmount(float Value);

private:
    float Amount = 1;
};

// Whole turns removed into -180..180 in bounded time.
float SkewWrapDegrees(float Degrees);

void RegisterSkewModifier();
