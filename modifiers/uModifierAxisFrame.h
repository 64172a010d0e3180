#pragma once
// The measuring frame shared by the axis deformers (bend, skew, stretch, squeeze): the
// centre of the bounding box, the chosen axis, two unit vectors across it, the range the
// vertices cover along the axis and the part of it inside the normalised limits. Also the
// parameters and setters the four share.
#include "base/uMath.h"
#include "modifiers/uModifiers.h"

#include <initializer_list>
#include <span>
#include <string>
#include <vector>

struct TMeshVertex;
struct TPositionSummary;

constexpr int32_t kAxisX = 0;
constexpr int32_t kAxisY = 1;
constexpr int32_t kAxisZ = 2;

constexpr int32_t kPivotCenter = 0;
constexpr int32_t kPivotMinimum = 1;
constexpr int32_t kPivotMaximum = 2;

struct TAxisFrame {
    TVec3 Center;
    int32_t Axis = kAxisY;  // index of the axis component
    TVec3 A;                // unit axis
    // Across the axis: the direction D and E = A x D (bend, skew), or the fixed pair U, V
    // (stretch, squeeze).
    TVec3 D, E;
    float MinT = 0, MaxT = 0;  // range along A, measured from Center
    float Lo = 0, Hi = 0;      // the limited range
};

struct TAxisFrameRequest {
    int32_t Axis = kAxisY;
    // True: D turned about A by DirectionDeg, E = A x D. False: the fixed pair U, V.
    bool UseDirection = true;
    float DirectionDeg = 0;
    bool LimitsEnabled = false;
    float LowerLimit = 0;
    float UpperLimit = 1;
    // How the upper end of the limited range is placed: from the range's start
    // (minT + extent * UpperLimit; bend, skew) or from the lower end
    // (lo + extent * (UpperLimit - LowerLimit); stretch, squeeze).
    bool UpperFromLower = false;
};

// Centre of the axis-aligned bounding box of the positions; the origin for none.
TVec3 BoundingBoxCenter(std::span<const TMeshVertex> Vertices);
// Unit axis A, the reference direction turned about it by DirectionDeg as D, and
// E = A x D: Axis X turns D from +Y towards +Z, Axis Y from +X towards -Z, Axis Z from +X
// towards +Y. An axis outside 0..2 is taken as the nearer one.
void AxisDirectionFrame(int32_t Axis, float DirectionDeg, TVec3& A, TVec3& D, TVec3& E);

// Measures the frame over the vertices. False when there is nothing to deform: no
// vertices, a mesh flat across the axis, or a limited range shorter than 1e-5.
bool MeasureAxisFrame(std::span<const TMeshVertex> Vertices, const TAxisFrameRequest& Request,
                      TAxisFrame& Frame);
// The same with the bounds taken from Known when it holds them (Known may be null).
bool MeasureAxisFrame(std::span<const TMeshVertex> Vertices, const TPositionSummary* Known,
                      const TAxisFrameRequest& Request, TAxisFrame& Frame);
// The pivot's coordinate along the axis: the low end, the high end or (Center and any
// other value) the middle of the limited range.
float AxisFramePivot(const TAxisFrame& Frame, int32_t Pivot);

// Axis, limits and the size estimate of every axis deformer.
class TAxisDeformerModifier : public TModifier {
public:
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    int32_t GetAxis() const { return Axis; }
    bool GetLimitsEnabled() const { return LimitsEnabled; }
    float GetLowerLimit() const { return LowerLimit; }
    float GetUpperLimit() const { return UpperLimit; }

    // Outside 0..2 becomes Y.
    void SetAxis(int32_t Value);
    void SetLimitsEnabled(bool Value);
    // Kept in 0..1 and at least 0.001 below the upper limit; no change within 1e-6.
    void SetLowerLimit(float Value);
    // Kept in 0..1 and at least 0.001 above the lower limit; no change within 1e-6.
    void SetUpperLimit(float Value);

protected:
    TAxisDeformerModifier() = default;
    TAxisDeformerModifier(const TAxisDeformerModifier&) = default;

    // The frame parameter lines in file order, after the modifier's own amounts.
    virtual void SaveFrameParams(std::vector<std::string>& Lines) const;
    // Reads one frame parameter line; False when the line holds none.
    virtual bool LoadFrameParam(const std::string& Line);
    // After a block: an upper limit not above the lower one is moved just above it.
    void RepairLoadedLimits();

    // A modifier's own float amount as its file line has it: the key, the field and the
    // clamp range (a non-finite value becomes 0).
    struct TAmountLine {
        const char* Key;
        float* Field;
        float Low;
        float High;
    };
    struct TSavedAmount {
        const char* Key;
        float Value;
    };
    // The amount lines in the order given, then the frame lines.
    void SaveAmountsAndFrame(std::vector<std::string>& Lines,
                             std::initializer_list<TSavedAmount> Amounts) const;
    // Reads a parameter block of amount and frame lines (an amount key is tried first),
    // then repairs the limits.
    void LoadAmountsAndFrame(const std::vector<std::string>& Lines, int32_t& Index,
                             std::initializer_list<TAmountLine> Amounts);
    TAxisFrameRequest FrameRequest() const;
    // The frame of stretch and squeeze: the fixed pair across the axis, the upper limit
    // placed from the lower one.
    bool MeasureFixedPairFrame(std::span<const TMeshVertex> Vertices, TAxisFrame& Frame) const;

    int32_t Axis = kAxisY;
    bool LimitsEnabled = false;
    float LowerLimit = 0;
    float UpperLimit = 1;
};

// Adds the direction across the axis and the pivot (bend, skew).
class TDirectedAxisDeformerModifier : public TAxisDeformerModifier {
public:
    float GetDirectionDeg() const { return DirectionDeg; }
    int32_t GetPivot() const { return Pivot; }
    // Non-finite becomes 0, then wrapped into -180..180; no change within 1e-5.
    void SetDirectionDeg(float Value);
    // Outside 0..2 becomes Center.
    void SetPivot(int32_t Value);

protected:
    TDirectedAxisDeformerModifier() = default;
    TDirectedAxisDeformerModifier(const TDirectedAxisDeformerModifier&) = default;

    void SaveFrameParams(std::vector<std::string>& Lines) const override;
    bool LoadFrameParam(const std::string& Line) override;

    float DirectionDeg = 0;
    int32_t Pivot = kPivotCenter;
};
