#pragma once
// Array 2D: repeats the whole source mesh on a CountX x CountY grid in one of three planes,
// optionally centred on the source's origin and rising by StepY per grid step.
#include "modifiers/uModifiers.h"

// Grid planes.
constexpr int32_t kArrayPlaneXY = 0;
constexpr int32_t kArrayPlaneXZ = 1;
constexpr int32_t kArrayPlaneYZ = 2;

// Neither array modifier builds more vertices or faces than this.
constexpr int64_t kArrayMaxOutput = 1000000;

class TArray2DModifier : public TModifier {
public:
    TArray2DModifier() = default;

    std::string GetTypeId() const override { return "array_2d"; }
    std::string GetDisplayName() const override { return "Array 2D"; }
    // Raises EGeneralError "Array 2D: output too large (%d verts, %d faces)" when the
    // output would exceed kArrayMaxOutput vertices or faces.
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    // Exact, saturating at the 64-bit maximum.
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    // Number of copies Apply appends.
    int64_t CopyCount() const;

    int32_t GetCountX() const { return CountX; }
    int32_t GetCountY() const { return CountY; }
    float GetOffsetX() const { return OffsetX; }
    float GetOffsetY() const { return OffsetY; }
    int32_t GetPlane() const { return Plane; }
    bool GetCentered() const { return Centered; }
    bool GetIncludeOriginal() const { return IncludeOriginal; }
    float GetStepY() const { return StepY; }

    // Counts are kept within 1..1000; the float setters refuse NaN and infinities; the
    // others store what they get.
    void SetCountX(int32_t Value);
    void SetCountY(int32_t Value);
    void SetOffsetX(float Value);
    void SetOffsetY(float Value);
    // Any value other than XY and YZ is laid out as XZ.
    void SetPlane(int32_t Value);
    void SetCentered(bool Value);
    void SetIncludeOriginal(bool Value);
    void SetStepY(float Value);

private:
    int32_t CountX = 2;
    int32_t CountY = 2;
    float OffsetX = 1;
    float OffsetY = 1;
    int32_t Plane = kArrayPlaneXZ;
    bool Centered = false;
    bool IncludeOriginal = true;
    float StepY = 0;
};

void RegisterArray2DModifier();

// Counts of the array modifiers: within 1..1000, from the setters and from files alike.
int32_t ClampArrayCount(int32_t Value);
