#pragma once
// Array Circular: repeats the whole source mesh around a circle about one axis, optionally
// turning each copy to face out, in, or along the circle, and rising by StepY per copy.
#include "base/uMath.h"
#include "modifiers/uModifiers.h"

#include <vector>

// Orientations of the copies.
constexpr int32_t kArrayOrientNone = 0;
constexpr int32_t kArrayOrientOutward = 1;
constexpr int32_t kArrayOrientInward = 2;
constexpr int32_t kArrayOrientTangentCW = 3;
constexpr int32_t kArrayOrientTangentCCW = 4;

class TArrayCircularModifier : public TModifier {
public:
    TArrayCircularModifier() = default;

    std::string GetTypeId() const override { return "array_circular"; }
    std::string GetDisplayName() const override { return "Array Circular"; }
    // Raises EGeneralError "Array Circular: output too large (%d verts, %d faces)" when
    // the output would exceed 1,000,000 vertices or faces.
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    // The ring positions that are emitted: copy index i and its angle in degrees.
    struct TRingPosition {
        int32_t Index;
        float AngleDeg;
    };
    std::vector<TRingPosition> RingPositions() const;
    // Ring copies plus the original when it is included.
    int64_t CopyCount() const;

    int32_t GetCount() const { return Count; }
    float GetRadius() const { return Radius; }
    float GetStartAngle() const { return StartAngle; }
    float GetTotalAngle() const { return TotalAngle; }
    bool GetCloseCircle() const { return CloseCircle; }
    int32_t GetAxis() const { return Axis; }
    int32_t GetOrientation() const { return Orientation; }
    bool GetIncludeOriginal() const { return IncludeOriginal; }
    TVec3 GetCenter() const { return {CenterX, CenterY, CenterZ}; }
    float GetCenterX() const { return CenterX; }
    float GetCenterY() const { return CenterY; }
    float GetCenterZ() const { return CenterZ; }
    float GetStepY() const { return StepY; }

    // Count within 1..1000; a non-finite Radius becomes 5; other non-finite floats are
    // refused.
    // An Axis outside 0..2 works as Y and an Orientation outside 0..4 as none.
    void SetCount(int32_t Value);
    void SetRadius(float Value);
    void SetStartAngle(float Value);
    void SetTotalAngle(float Value);
    void SetCloseCircle(bool Value);
    void SetAxis(int32_t Value);
    void SetOrientation(int32_t Value);
    void SetIncludeOriginal(bool Value);
    void SetCenterX(float Value);
    void SetCenterY(float Value);
    void SetCenterZ(float Value);
    void SetStepY(float Value);

private:
    TMatrix4 CopyMatrix(const TRingPosition& Position) const;

    int32_t Count = 8;
    float Radius = 5;
    float StartAngle = 0;
    float TotalAngle = 360;
    bool CloseCircle = true;
    int32_t Axis = 1;
    int32_t Orientation = kArrayOrientOutward;
    bool IncludeOriginal = true;
    float CenterX = 0;
    float CenterY = 0;
    float CenterZ = 0;
    float StepY = 0;
};

void RegisterArrayCircularModifier();
