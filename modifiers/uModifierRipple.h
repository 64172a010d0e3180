#pragma once
// Ripple: circular sine waves run out from a centre in the plane across one axis and lift
// each vertex along that axis; normals tilt against the radial slope. The centre is given
// in the plane's own coordinates, measured from the mesh origin.
#include "modifiers/uModifiers.h"

class TRippleModifier : public TModifier {
public:
    TRippleModifier() = default;

    std::string GetTypeId() const override { return "ripple"; }
    std::string GetDisplayName() const override { return "Ripple"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    float GetAmplitude() const { return Amplitude; }
    float GetWavelength() const { return Wavelength; }
    float GetPhaseDeg() const { return PhaseDeg; }
    float GetDecay() const { return Decay; }
    int32_t GetAxis() const { return Axis; }
    float GetCenterU() const { return CenterU; }
    float GetCenterV() const { return CenterV; }

    // As the wave's setters; the centre only replaces a non-finite value with 0.
    void SetAmplitude(float Value);
    void SetWavelength(float Value);
    void SetPhaseDeg(float Value);
    void SetDecay(float Value);
    void SetAxis(int32_t Value);
    void SetCenterU(float Value);
    void SetCenterV(float Value);

private:
    float Amplitude = 0.1f;
    float Wavelength = 1;
    float PhaseDeg = 0;
    float Decay = 0;
    int32_t Axis = 1;
    float CenterU = 0;
    float CenterV = 0;
};

void RegisterRippleModifier();
