#pragma once
// Noise: a deterministic wobble of every vertex from sines of its own coordinates and its
// index (no random numbers, so the same mesh always wobbles the same way).
#include "modifiers/uModifiers.h"

class TNoiseModifier : public TModifier {
public:
    TNoiseModifier() = default;

    std::string GetTypeId() const override { return "noise"; }
    std::string GetDisplayName() const override { return "Noise"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    void DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                  const TPositionSummary* InSummary, std::span<TMeshVertex> Out,
                                  TPositionSummary& OutSummary) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    float GetStrength() const { return Strength; }
    float GetScale() const { return Scale; }
    // Exact change test; a NaN or infinite value is refused.
    void SetStrength(float Value);
    void SetScale(float Value);

private:
    void Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                std::span<TMeshVertex> Out, TPositionSummary* OutSummary);
    float Strength = 0.1f;
    float Scale = 1;
};

void RegisterNoiseModifier();
