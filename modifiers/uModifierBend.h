#pragma once
// Bend: curves the part of the mesh inside the limited range along one axis into a
// circular arc of AngleDeg, towards a direction turned about the axis by DirectionDeg; the
// parts beyond the limits follow the arc's end tangents rigidly.
#include "modifiers/uModifierAxisFrame.h"

class TBendModifier : public TDirectedAxisDeformerModifier {
public:
    TBendModifier() = default;

    std::string GetTypeId() const override { return "bend"; }
    std::string GetDisplayName() const override { return "Bend"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    void DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                  const TPositionSummary* InSummary, std::span<TMeshVertex> Out,
                                  TPositionSummary& OutSummary) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;

    float GetAngleDeg() const { return AngleDeg; }
    // Non-finite becomes 0, then clamped to -3600..3600; no change within 1e-5.
    void SetAngleDeg(float Value);

private:
    void Deform(std::span<const TMeshVertex> In, const TPositionSummary* InSummary,
                std::span<TMeshVertex> Out, TPositionSummary* OutSummary);
    float AngleDeg = 45;
};

// Whole turns removed into -180..180 in bounded time.
float BendWrapDegrees(float Degrees);

void RegisterBendModifier();
