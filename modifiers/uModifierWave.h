#pragma once
// Wave: runs a sine wave along one axis (measured from the bounding-box centre) and pushes
// each vertex sideways along a direction turned about that axis; normals tilt with the
// wave's slope.
#include "modifiers/uModifiers.h"

class TWaveModifier : public TModifier {
public:
    TWaveModifier() = default;

    std::string GetTypeId() const override { return "wave"; }
    std::string GetDisplayName() const override { return "Wave"; }
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
    float GetDirectionDeg() const { return DirectionDeg; }

    // Each float setter replaces a non-finite value, clamps or wraps, and changes nothing
    // within 1e-5. Amplitude: 0, -100..100. Wavelength: 0.0001, 0.0001..10000. Phase and
    // direction: 0, wrapped into -180..180. Decay: 0, 0..10. Axis outside 0..2 becomes Y.
    void SetAmplitude(float Value);
    void SetWavelength(float Value);
    void SetPhaseDeg(float Value);
    void SetDecay(float Value);
    void SetAxis(int32_t Value);
    void SetDirectionDeg(float Value);

private:
    float Amplitude = 0.1f;
    float Wavelength = 1;
    float PhaseDeg = 0;
    float Decay = 0;
    int32_t Axis = 1;
    float DirectionDeg = 0;
};

// Whole turns removed into -180..180 in bounded time.
float WaveWrapDegrees(float Degrees);

void RegisterWaveModifier();
