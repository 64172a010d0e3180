#pragma once
// Animated deformers, whose output follows the evaluation time: animated noise, animated
// wave, pulse scale and spin. Apply evaluates them at time 0; ApplyWithInfo at the time of
// the evaluation context, which the scene object feeds from the project time. They keep
// no time state: the same time always gives the same mesh. The mesh-quality modifiers of
// uModifierMeshQuality share this module's routines.
#include "modifiers/uModifierModeling.h"

#include <memory>

class TWaveModifier;

// A non-finite angle becomes 0; then whole turns are removed into -180..180 (180 and -180
// stay), in bounded time for any finite angle.
float WrapDegrees(float Angle);
// Time, or 0 when it is NaN or infinite.
double FiniteTimeOrZero(double Time);
// Component-wise extremes of all positions and their midpoint; all three (0, 0, 0) for a
// mesh without vertices.
void MeshBounds(const TMeshData& Mesh, TVec3& Min, TVec3& Max, TVec3& Centre);

// The common frame of the four animated deformers.
class TAnimatedModifier : public TModifier {
public:
    // Dest from Source at Time seconds (a non-finite time counts as 0).
    virtual void ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time) = 0;
    void Apply(const TMeshData& Source, TMeshData& Dest) override { ApplyAtTime(Source, Dest, 0); }
    // All four keep the vertex and face counts.
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

protected:
    TAnimatedModifier() = default;
    TAnimatedModifier(const TAnimatedModifier&) = default;
    // The flags ApplyWithInfo reports.
    virtual int32_t ApplyFlags() const { return 37; }
};

// Jitters every vertex by sines of its position, its index and the time.
class TAnimatedNoiseModifier : public TAnimatedModifier {
public:
    TAnimatedNoiseModifier() = default;
    std::string GetTypeId() const override { return "animated_noise"; }
    std::string GetDisplayName() const override { return "Animated Noise"; }
    void ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;

    float GetStrength() const { return Strength; }
    float GetScale() const { return Scale; }
    float GetSpeed() const { return Speed; }
    void SetStrength(float Value);  // non-finite: 0.1; -100..100
    void SetScale(float Value);     // non-finite: 1; absolute value; 1e-6..10000
    void SetSpeed(float Value);     // non-finite: 1; -1000..1000

private:
    float Strength = 0.1f;
    float Scale = 1;
    float Speed = 1;
};

// The wave deformer with its phase advancing by SpeedDegPerSecond.
class TAnimatedWaveModifier : public TAnimatedModifier {
public:
    TAnimatedWaveModifier();
    TAnimatedWaveModifier(const TAnimatedWaveModifier& Source);
    ~TAnimatedWaveModifier() override;
    std::string GetTypeId() const override { return "animated_wave"; }
    std::string GetDisplayName() const override { return "Animated Wave"; }
    void ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;

    float GetAmplitude() const { return Amplitude; }
    float GetWavelength() const { return Wavelength; }
    float GetPhaseDeg() const { return PhaseDeg; }
    float GetDecay() const { return Decay; }
    int32_t GetAxis() const { return Axis; }
    float GetDirectionDeg() const { return DirectionDeg; }
    float GetSpeedDegPerSecond() const { return SpeedDegPerSecond; }
    void SetAmplitude(float Value);          // non-finite: 0.1; -100..100
    void SetWavelength(float Value);         // non-finite: 1; absolute value; 0.0001..10000
    void SetPhaseDeg(float Value);           // non-finite: 0; wrapped
    void SetDecay(float Value);              // non-finite: 0; 0..10
    void SetAxis(int32_t Value);             // outside 0..2 becomes 1
    void SetDirectionDeg(float Value);       // non-finite: 0; wrapped
    void SetSpeedDegPerSecond(float Value);  // non-finite: 30; -10000..10000

private:
    float Amplitude = 0.1f;
    float Wavelength = 1;
    float PhaseDeg = 0;
    float Decay = 0;
    int32_t Axis = 1;
    float DirectionDeg = 0;
    float SpeedDegPerSecond = 30;
    // The wave that does the work, made on first use and given every parameter afresh at
    // each evaluation; kept so that playback does not spend a modifier id per frame.
    std::unique_ptr<TWaveModifier> Wave;
};

// Scales the mesh about its bounding-box centre by 1 + Amplitude sin(2 pi Frequency t + phase).
class TPulseScaleModifier : public TAnimatedModifier {
public:
    TPulseScaleModifier() = default;
    std::string GetTypeId() const override { return "pulse_scale"; }
    std::string GetDisplayName() const override { return "Pulse Scale"; }
    void ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;

    float GetAmplitude() const { return Amplitude; }
    float GetFrequency() const { return Frequency; }
    float GetPhaseDeg() const { return PhaseDeg; }
    void SetAmplitude(float Value);  // non-finite: 0.25; 0..0.99
    void SetFrequency(float Value);  // non-finite: 1; 0..1000
    void SetPhaseDeg(float Value);   // non-finite: 0; wrapped

protected:
    int32_t ApplyFlags() const override { return 33; }

private:
    float Amplitude = 0.25f;
    float Frequency = 1;
    float PhaseDeg = 0;
};

// Turns the mesh about its bounding-box centre at SpeedDegPerSecond.
class TSpinModifier : public TAnimatedModifier {
public:
    TSpinModifier() = default;
    std::string GetTypeId() const override { return "spin"; }
    std::string GetDisplayName() const override { return "Spin"; }
    void ApplyAtTime(const TMeshData& Source, TMeshData& Dest, double Time) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;

    float GetSpeedDegPerSecond() const { return SpeedDegPerSecond; }
    float GetPhaseDeg() const { return PhaseDeg; }
    int32_t GetAxis() const { return Axis; }
    void SetSpeedDegPerSecond(float Value);  // non-finite: 90; -10000..10000
    void SetPhaseDeg(float Value);           // non-finite: 0; wrapped
    void SetAxis(int32_t Value);             // outside 0..2 becomes 1

private:
    float SpeedDegPerSecond = 90;
    float PhaseDeg = 0;
    int32_t Axis = 1;
};

// Registers the animated deformers and the mesh-quality modifiers, in menu order.
void RegisterAdvancedModifiers();
