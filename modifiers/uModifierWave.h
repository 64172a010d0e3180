#pragma once
// Wave: runs a sine wave along one axis (measured from the bounding-box centre) and pushes
// each vertex sideways along a direction turned about that axis; normals tilt with the
// wave's slope.
#include "modifiers/uModifierWaveShape.h"

class TWaveModifier : public TWaveShapeModifier {
public:
    TWaveModifier() = default;

    std::string GetTypeId() const override { return "wave"; }
    std::string GetDisplayName() const override { return "Wave"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;

    float GetDirectionDeg() const { return DirectionDeg; }

    // Non-finite becomes 0, then wrapped into -180..180; no change within 1e-5.
    void SetDirectionDeg(float Value);

private:
    float DirectionDeg = 0;
};

// Whole turns removed into -180..180 in bounded time.
float WaveWrapDegrees(float Degrees);

void RegisterWaveModifier();
