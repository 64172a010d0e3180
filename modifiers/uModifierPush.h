#pragma once
// Push: moves every vertex along its own stored normal by one signed distance.
#include "modifiers/uModifiers.h"

class TPushModifier : public TModifier {
public:
    TPushModifier() = default;

    std::string GetTypeId() const override { return "push"; }
    std::string GetDisplayName() const override { return "Push"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    float GetAmount() const { return Amount; }
    // Non-finite becomes 0, then clamped to -100..100; no change within 1e-5.
    void SetAmount(float Value);

private:
    float Amount = 0.1f;
};

void RegisterPushModifier();
