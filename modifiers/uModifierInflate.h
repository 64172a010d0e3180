#pragma once
// Inflate: moves every vertex along its stored normal by Width.
#include "modifiers/uModifiers.h"

class TInflateModifier : public TModifier {
public:
    TInflateModifier() = default;

    std::string GetTypeId() const override { return "inflate"; }
    std::string GetDisplayName() const override { return "Inflate"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    float GetWidth() const { return Width; }
    // Exact change test; a NaN or infinite value is refused.
    void SetWidth(float Value);

private:
    float Width = 0.05f;
};

void RegisterInflateModifier();
