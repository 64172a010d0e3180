#pragma once
// Taper: scales X and Z linearly along Y, keeping the lowest vertices and scaling the
// highest by 1 - Amount.
#include "modifiers/uModifiers.h"

class TTaperModifier : public TModifier {
public:
    TTaperModifier() = default;

    std::string GetTypeId() const override { return "taper"; }
    std::string GetDisplayName() const override { return "Taper"; }
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

    float GetAmount() const { return Amount; }
    // Exact change test; a NaN or infinite value is refused.
    void SetAmount(float Value);

private:
    void Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                std::span<TMeshVertex> Out, TPositionSummary* OutSummary);
    float Amount = 0.3f;
};

void RegisterTaperModifier();
