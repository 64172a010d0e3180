#include "modifiers/uModifierWaveShape.h"

#include "modifiers/uModifierDeformCommon.h"

bool TWaveShapeModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices,
                                            int64_t& Faces, int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

void TWaveShapeModifier::SetAmplitude(float Value)
{
    SetClampedFloat(*this, Amplitude, Value, 0, -100, 100, 1e-5f);
}

void TWaveShapeModifier::SetWavelength(float Value)
{
    SetClampedFloat(*this, Wavelength, Value, 0.0001f, 0.0001f, 10000, 1e-5f);
}

void TWaveShapeModifier::SetPhaseDeg(float Value)
{
    SetClampedFloat(*this, PhaseDeg, WrapDegrees180(FiniteOr(Value, 0)), 0, -180, 180, 1e-5f);
}

void TWaveShapeModifier::SetDecay(float Value)
{
    SetClampedFloat(*this, Decay, Value, 0, 0, 10, 1e-5f);
}

void TWaveShapeModifier::SetAxis(int32_t Value)
{
    if (Value < 0 || Value > 2)
        Value = 1;
    if (Value == Axis)
        return;
    Axis = Value;
    Changed();
}

void TWaveShapeModifier::SaveWaveShapeParams(std::vector<std::string>& Lines) const
{
    Lines.push_back(KeyFloatLine("Amplitude=", Amplitude));
    Lines.push_back(KeyFloatLine("Wavelength=", Wavelength));
    Lines.push_back(KeyFloatLine("PhaseDeg=", PhaseDeg));
    Lines.push_back(KeyFloatLine("Decay=", Decay));
    Lines.push_back(KeyIntLine("Axis=", Axis));
}

bool TWaveShapeModifier::LoadWaveShapeParam(const std::string& Line)
{
    if (StartsWithKey(Line, "Amplitude="))
        LoadClampedFloat(Line, "Amplitude=", Amplitude, 0, -100, 100);
    else if (StartsWithKey(Line, "Wavelength="))
        LoadClampedFloat(Line, "Wavelength=", Wavelength, 0.0001f, 0.0001f, 10000);
    else if (StartsWithKey(Line, "PhaseDeg="))
        PhaseDeg = WrapDegrees180(FiniteOr(KeyFloatValue(Line, "PhaseDeg=", PhaseDeg), 0));
    else if (StartsWithKey(Line, "Decay="))
        LoadClampedFloat(Line, "Decay=", Decay, 0, 0, 10);
    else if (StartsWithKey(Line, "Axis="))
        Axis = ClampInt(KeyIntValue(Line, "Axis=", 1), 0, 2);
    else
        return false;
    return true;
}
