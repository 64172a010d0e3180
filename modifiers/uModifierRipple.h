#pragma once
// Ripple: circular sine waves run out from a centre in the plane across one axis and lift
// each vertex along that axis; normals tilt against the radial slope. The centre is given
// in the plane's own coordinates, measured from the mesh origin.
#include "modifiers/uModifierWaveShape.h"

class TRippleModifier : public TWaveShapeModifier {
public:
    TRippleModifier() = default;

    std::string GetTypeId() const override { return "ripple"; }
    std::string GetDisplayName() const override { return "Ripple"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;

    float GetCenterU() const { return CenterU; }
    float GetCenterV() const { return CenterV; }

    // Only a non-finite value is replaced (with 0); no change within 1e-5.
    void SetCenterU(float Value);
    void SetCenterV(float Value);

private:
    float CenterU = 0;
    float CenterV = 0;
};

void RegisterRippleModifier();
