#include "modifiers/uModifierAdvanced.h"

#include "base/uMesh.h"
#include "modifiers/uModifierDeformCommon.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierMeshQuality.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "modifiers/uModifierWave.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace {

constexpr double kPi = std::numbers::pi;

void SetClamped(TModifier& Owner, float& Field, float Value, float Replacement, float Low,
                float High)
{
    ChangeFloat(Owner, Field, std::clamp(FiniteOrDefault(Replacement, Value), Low, High), 1e-6f);
}

void SetWrapped(TModifier& Owner, float& Field, float Value)
{
    ChangeFloat(Owner, Field, WrapDegrees(Value), 1e-6f);
}

int32_t AxisOrY(int32_t Value)
{
    return Value >= 0 && Value <= 2 ? Value : 1;
}

}  // namespace

float WrapDegrees(float Angle)
{
    if (!std::isfinite(Angle))
        return 0;
    // fmod is exact, so this is the whole-turn reduction without counting turns.
    double a = std::fmod(static_cast<double>(Angle), 360.0);
    if (a > 180)
        a -= 360;
    else if (a < -180)
        a += 360;
    return static_cast<float>(a);
}

double FiniteTimeOrZero(double Time)
{
    return std::isfinite(Time) ? Time : 0;
}

void MeshBounds(const TMeshData& Mesh, TVec3& Min, TVec3& Max, TVec3& Centre)
{
    Min = Max = Centre = {0, 0, 0};
    if (Mesh.Vertices.empty())
        return;
    Min = Max = Mesh.Vertices[0].Position;
    for (const TMeshVertex& v : Mesh.Vertices) {
        const TVec3& p = v.Position;
        Min = {std::min(Min.X, p.X), std::min(Min.Y, p.Y), std::min(Min.Z, p.Z)};
        Max = {std::max(Max.X, p.X), std::max(Max.Y, p.Y), std::max(Max.Z, p.Z)};
    }
    Centre = Vec3Scale(Vec3Add(Min, Max), 0.5f);
}

bool TAnimatedModifier::EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                           int64_t& Edges) const
{
    return EstimateSameTopology(Mesh, Vertices, Faces, Edges);
}

TModifierApplyInfo TAnimatedModifier::ApplyWithInfo(const TModifierEvalContext& Context,
                                                    const TMeshData& Source, TMeshData& Dest)
{
    ApplyAtTime(Source, Dest, Context.Time);
    return SetApplyInfo(ApplyFlags());
}

// ---- animated noise ----

void TAnimatedNoiseModifier::ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time)
{
    CopyMeshData(Source, Dest);
    if (std::fabs(Strength) < 1e-6f)
        return;
    const double t = FiniteTimeOrZero(Time) * Speed;
    const double s = Strength, k = 10.0 * Scale;
    for (size_t i = 0; i < Dest.Vertices.size(); ++i) {
        TVec3& p = Dest.Vertices[i].Position;
        const TVec3 q = p;  // each formula reads the source coordinates
        const double index = static_cast<double>(i);
        p.X = static_cast<float>(q.X + 0.5 * s * std::sin(k * q.Y + 0.7 * index + t));
        p.Y = static_cast<float>(q.Y + 0.3 * s * std::cos(k * q.X + 1.3 * index + 1.13 * t));
        p.Z = static_cast<float>(q.Z + 0.5 * s * std::sin(k * q.Z + 0.9 * index + 0.87 * t));
    }
    RecomputeVertexNormals(Dest);
}

std::unique_ptr<TModifier> TAnimatedNoiseModifier::Clone() const
{
    auto copy = std::make_unique<TAnimatedNoiseModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TAnimatedNoiseModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TAnimatedNoiseModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

void TAnimatedNoiseModifier::SetStrength(float Value)
{
    SetClamped(*this, Strength, Value, 0.1f, -100, 100);
}

void TAnimatedNoiseModifier::SetScale(float Value)
{
    SetClamped(*this, Scale, std::fabs(Value), 1, 1e-6f, 10000);
}

void TAnimatedNoiseModifier::SetSpeed(float Value)
{
    SetClamped(*this, Speed, Value, 1, -1000, 1000);
}

// ---- animated wave ----

TAnimatedWaveModifier::TAnimatedWaveModifier() = default;

TAnimatedWaveModifier::TAnimatedWaveModifier(const TAnimatedWaveModifier& Source)
    : TAnimatedModifier(Source), Amplitude(Source.Amplitude), Wavelength(Source.Wavelength),
      PhaseDeg(Source.PhaseDeg), Decay(Source.Decay), Axis(Source.Axis),
      DirectionDeg(Source.DirectionDeg), SpeedDegPerSecond(Source.SpeedDegPerSecond)
{
}

TAnimatedWaveModifier::~TAnimatedWaveModifier() = default;

void TAnimatedWaveModifier::ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time)
{
    if (!Wave)
        Wave = std::make_unique<TWaveModifier>();
    const float phase = PhaseDeg + static_cast<float>(FiniteTimeOrZero(Time)) * SpeedDegPerSecond;
    // The wave's loader stores every value as its setters would sanitise it, but without
    // their change tolerance, so nothing of the previous evaluation is left over.
    const std::vector<std::string> lines = {KeyFloatLine("Amplitude=", Amplitude),
                                            KeyFloatLine("Wavelength=", Wavelength),
                                            KeyFloatLine("PhaseDeg=", phase),
                                            KeyFloatLine("Decay=", Decay),
                                            KeyIntLine("Axis=", Axis),
                                            KeyFloatLine("DirectionDeg=", DirectionDeg)};
    int32_t index = 0;
    Wave->LoadParams(lines, index);
    Wave->Apply(Source, Dest);
}

std::unique_ptr<TModifier> TAnimatedWaveModifier::Clone() const
{
    auto copy = std::make_unique<TAnimatedWaveModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TAnimatedWaveModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TAnimatedWaveModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

void TAnimatedWaveModifier::SetAmplitude(float Value)
{
    SetClamped(*this, Amplitude, Value, 0.1f, -100, 100);
}

void TAnimatedWaveModifier::SetWavelength(float Value)
{
    SetClamped(*this, Wavelength, std::fabs(Value), 1, 0.0001f, 10000);
}

void TAnimatedWaveModifier::SetPhaseDeg(float Value)
{
    SetWrapped(*this, PhaseDeg, Value);
}

void TAnimatedWaveModifier::SetDecay(float Value)
{
    SetClamped(*this, Decay, Value, 0, 0, 10);
}

void TAnimatedWaveModifier::SetAxis(int32_t Value)
{
    ChangeInt(*this, Axis, AxisOrY(Value));
}

void TAnimatedWaveModifier::SetDirectionDeg(float Value)
{
    SetWrapped(*this, DirectionDeg, Value);
}

void TAnimatedWaveModifier::SetSpeedDegPerSecond(float Value)
{
    SetClamped(*this, SpeedDegPerSecond, Value, 30, -10000, 10000);
}

// ---- pulse scale ----

void TPulseScaleModifier::ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time)
{
    CopyMeshData(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    TVec3 low, high, centre;
    MeshBounds(Source, low, high, centre);
    const double t = FiniteTimeOrZero(Time);
    const float s = static_cast<float>(
        1 + Amplitude * std::sin(2 * kPi * Frequency * t + PhaseDeg * kPi / 180));
    for (TMeshVertex& v : Dest.Vertices)
        v.Position = Vec3Add(centre, Vec3Scale(Vec3Sub(v.Position, centre), s));
}

std::unique_ptr<TModifier> TPulseScaleModifier::Clone() const
{
    auto copy = std::make_unique<TPulseScaleModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TPulseScaleModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TPulseScaleModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

void TPulseScaleModifier::SetAmplitude(float Value)
{
    SetClamped(*this, Amplitude, Value, 0.25f, 0, 0.99f);
}

void TPulseScaleModifier::SetFrequency(float Value)
{
    SetClamped(*this, Frequency, Value, 1, 0, 1000);
}

void TPulseScaleModifier::SetPhaseDeg(float Value)
{
    SetWrapped(*this, PhaseDeg, Value);
}

// ---- spin ----

void TSpinModifier::ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time)
{
    CopyMeshData(Source, Dest);
    if (Dest.Vertices.empty())
        return;
    TVec3 low, high, centre;
    MeshBounds(Source, low, high, centre);
    // Whole turns are taken off in double: the same rotation, without losing the angle's
    // precision after a long playback.
    const float angle =
        static_cast<float>(std::fmod(FiniteTimeOrZero(Time) * SpeedDegPerSecond + PhaseDeg, 360.0));
    const TMatrix4 r =
        Axis == 0 ? MatRotationX(angle) : (Axis == 1 ? MatRotationY(angle) : MatRotationZ(angle));
    for (TMeshVertex& v : Dest.Vertices) {
        v.Position = Vec3Add(centre, MatTransformVector(Vec3Sub(v.Position, centre), r));
        v.Normal = Vec3Normalize(MatTransformVector(v.Normal, r));
    }
}

std::unique_ptr<TModifier> TSpinModifier::Clone() const
{
    auto copy = std::make_unique<TSpinModifier>(*this);
    FinishClone(*copy);
    return copy;
}

void TSpinModifier::SaveParams(std::vector<std::string>& Lines) const
{
    SaveParamsFromTable(*GetParamTable(), *this, Lines);
}

void TSpinModifier::LoadParams(const std::vector<std::string>& Lines, int32_t& Index)
{
    LoadParamsFromTable(*GetParamTable(), *this, Lines, Index);
}

void TSpinModifier::SetSpeedDegPerSecond(float Value)
{
    SetClamped(*this, SpeedDegPerSecond, Value, 90, -10000, 10000);
}

void TSpinModifier::SetPhaseDeg(float Value)
{
    SetWrapped(*this, PhaseDeg, Value);
}

void TSpinModifier::SetAxis(int32_t Value)
{
    ChangeInt(*this, Axis, AxisOrY(Value));
}

// ---- registration ----

namespace {
template <class T>
std::unique_ptr<TModifier> Make()
{
    return std::make_unique<T>();
}
}  // namespace

void RegisterAdvancedModifiers()
{
    RegisterModifier("animated_noise", "Animated Noise", "Animation Deformers",
                     Make<TAnimatedNoiseModifier>);
    RegisterModifier("animated_wave", "Animated Wave", "Animation Deformers",
                     Make<TAnimatedWaveModifier>);
    RegisterModifier("pulse_scale", "Pulse Scale", "Animation Deformers",
                     Make<TPulseScaleModifier>);
    RegisterModifier("spin", "Spin", "Animation Deformers", Make<TSpinModifier>);
    RegisterModifier("spherify", "Spherify", "Mesh Quality", Make<TSpherifyModifier>);
    RegisterModifier("optimize", "Optimize", "Mesh Quality", Make<TOptimizeModifier>);
    RegisterModifier("tessellate", "Tessellate", "Mesh Quality", Make<TTessellateModifier>);
    RegisterModifier("smooth", "Smooth", "Mesh Quality", Make<TSmoothModifier>);
}

// ---- parameter tables ----

const TModifierParamTable* TAnimatedNoiseModifier::GetParamTable() const
{
    using M = TAnimatedNoiseModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(FloatParam<M>(
            "Strength=", "Strength", 1, [](const M& m) { return m.Strength; },
            [](M& m, float v) { m.SetStrength(v); })),
        WithCurrentFallback(FloatParam<M>(
            "Scale=", "Scale", 2, [](const M& m) { return m.Scale; },
            [](M& m, float v) { m.SetScale(v); })),
        WithCurrentFallback(FloatParam<M>(
            "Speed=", "Speed", 3, [](const M& m) { return m.Speed; },
            [](M& m, float v) { m.SetSpeed(v); })),
    }};
    return &Table;
}

const TModifierParamTable* TAnimatedWaveModifier::GetParamTable() const
{
    using M = TAnimatedWaveModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(FloatParam<M>(
            "Amplitude=", "Amplitude", 1, [](const M& m) { return m.Amplitude; },
            [](M& m, float v) { m.SetAmplitude(v); })),
        WithCurrentFallback(FloatParam<M>(
            "Wavelength=", "Wavelength", 2, [](const M& m) { return m.Wavelength; },
            [](M& m, float v) { m.SetWavelength(v); })),
        WithCurrentFallback(FloatParam<M>(
            "PhaseDeg=", "Phase (deg)", 3, [](const M& m) { return m.PhaseDeg; },
            [](M& m, float v) { m.SetPhaseDeg(v); })),
        WithCurrentFallback(FloatParam<M>(
            "Decay=", "Decay", 4, [](const M& m) { return m.Decay; },
            [](M& m, float v) { m.SetDecay(v); })),
        WithCurrentFallback(ChoiceParam<M>(
            "Axis=", "Axis", 7, AxisChoiceItems(), [](const M& m) { return m.Axis; },
            [](M& m, int32_t v) { m.SetAxis(v); })),
        WithCurrentFallback(FloatParam<M>(
            "DirectionDeg=", "Direction (deg)", 5, [](const M& m) { return m.DirectionDeg; },
            [](M& m, float v) { m.SetDirectionDeg(v); })),
        WithCurrentFallback(FloatParam<M>(
            "SpeedDegPerSecond=", "Speed (deg/sec)", 6,
            [](const M& m) { return m.SpeedDegPerSecond; },
            [](M& m, float v) { m.SetSpeedDegPerSecond(v); })),
    }};
    return &Table;
}

const TModifierParamTable* TPulseScaleModifier::GetParamTable() const
{
    using M = TPulseScaleModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(FloatParam<M>(
            "Amplitude=", "Amplitude", 1, [](const M& m) { return m.Amplitude; },
            [](M& m, float v) { m.SetAmplitude(v); })),
        WithCurrentFallback(FloatParam<M>(
            "Frequency=", "Frequency (Hz)", 2, [](const M& m) { return m.Frequency; },
            [](M& m, float v) { m.SetFrequency(v); })),
        WithCurrentFallback(FloatParam<M>(
            "PhaseDeg=", "Phase (deg)", 3, [](const M& m) { return m.PhaseDeg; },
            [](M& m, float v) { m.SetPhaseDeg(v); })),
    }};
    return &Table;
}

const TModifierParamTable* TSpinModifier::GetParamTable() const
{
    using M = TSpinModifier;
    static const TModifierParamTable Table{{
        WithCurrentFallback(FloatParam<M>(
            "SpeedDegPerSecond=", "Speed (deg/sec)", 1,
            [](const M& m) { return m.SpeedDegPerSecond; },
            [](M& m, float v) { m.SetSpeedDegPerSecond(v); })),
        WithCurrentFallback(FloatParam<M>(
            "PhaseDeg=", "Phase (deg)", 2, [](const M& m) { return m.PhaseDeg; },
            [](M& m, float v) { m.SetPhaseDeg(v); })),
        WithCurrentFallback(ChoiceParam<M>(
            "Axis=", "Axis", 3, AxisChoiceItems(), [](const M& m) { return m.Axis; },
            [](M& m, int32_t v) { m.SetAxis(v); })),
    }};
    return &Table;
}
