#pragma once
// The parameters wave and ripple share: a sine of Amplitude and Wavelength, started at
// PhaseDeg, fading with Decay over the distance, along or about one axis. Their setters,
// their file lines and the size estimate of a deform that keeps the topology.
#include "modifiers/uModifiers.h"

#include <cstdint>
#include <string>
#include <vector>

class TWaveShapeModifier : public TModifier {
public:
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    float GetAmplitude() const { return Amplitude; }
    float GetWavelength() const { return Wavelength; }
    float GetPhaseDeg() const { return PhaseDeg; }
    float GetDecay() const { return Decay; }
    int32_t GetAxis() const { return Axis; }

    // Each float setter replaces a non-finite value, clamps or wraps, and changes nothing
    // within 1e-5. Amplitude: 0, -100..100. Wavelength: 0.0001, 0.0001..10000. Phase: 0,
    // wrapped into -180..180. Decay: 0, 0..10. Axis outside 0..2 becomes Y.
    void SetAmplitude(float Value);
    void SetWavelength(float Value);
    void SetPhaseDeg(float Value);
    void SetDecay(float Value);
    void SetAxis(int32_t Value);

protected:
    TWaveShapeModifier() = default;
    TWaveShapeModifier(const TWaveShapeModifier&) = default;

    // The shared lines, in file order before the modifier's own.
    void SaveWaveShapeParams(std::vector<std::string>& Lines) const;
    // Reads one shared line; False when the line holds none of them.
    bool LoadWaveShapeParam(const std::string& Line);

    float Amplitude = 0.1f;
    float Wavelength = 1;
    float PhaseDeg = 0;
    float Decay = 0;
    int32_t Axis = 1;
};
