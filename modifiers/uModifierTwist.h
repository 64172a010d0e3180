#pragma once
// Twist: turns the mesh about the Y axis by an angle that grows along Y, from -Angle/2 at
// the lowest vertices to +Angle/2 at the highest.
#include "modifiers/uModifiers.h"

class TTwistModifier : public TModifier {
public:
    TTwistModifier() = default;

    std::string GetTypeId() const override { return "twist"; }
    std::string GetDisplayName() const override { return "Twist"; }
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

    float GetAngle() const { return Angle; }
    // Degrees; exact change test; a NaN or infinite value is refused.
    void SetAngle(float Value);

private:
    void Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                std::span<TMeshVertex> Out, TPositionSummary* OutSummary);
    float Angle = 0;
};

void RegisterTwistModifier();
