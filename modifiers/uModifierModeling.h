#pragma once
// Modelling modifiers that rebuild a mesh: mirror, xform, subdivide and shell, and the
// small routines that they and the modifiers of uModifierModelingSurface share.
#include "base/uMath.h"
#include "modifiers/uModifiers.h"

#include <cstdint>
#include <string>
#include <vector>

class TMeshData;
struct TMeshFace;

// ---- shared routines ----

// Clears Dest, copies Source's vertices and faces and rebuilds Dest's edges.
void CopyMeshData(const TMeshData& Source, TMeshData& Dest);
// Append one face record; a triangle's fourth corner holds -1 and UV (0, 0).
void AddTriangleFace(TMeshData& Mesh, int32_t I0, int32_t I1, int32_t I2, const TVec2& UV0,
                     const TVec2& UV1, const TVec2& UV2, int32_t TexId);
void AddQuadFace(TMeshData& Mesh, int32_t I0, int32_t I1, int32_t I2, int32_t I3, const TVec2& UV0,
                 const TVec2& UV1, const TVec2& UV2, const TVec2& UV3, int32_t TexId);
// Appends Source's vertices and faces after Dest's, raising each corner index by Dest's
// old vertex count; Reverse flips each appended face. A corner index that is not a
// Source vertex becomes -1, so that the shift never makes it point at a real vertex.
// Edges are not rebuilt.
void AppendMeshData(const TMeshData& Source, TMeshData& Dest, bool Reverse);
// Face corners that may be read: the corner count limited to 0..4.
int32_t FaceCornerLimit(const TMeshFace& Face);
// Value unless it is NaN or infinite.
float FiniteOrDefault(float Default, float Value);
// Count limited to 0 .. 2147483647.
int32_t ClampCountToInt(int64_t Count);
TModifierApplyInfo SetApplyInfo(int32_t Flags);

// Setter steps shared by the modelling modifiers: store and call Changed on Owner when the
// value differs (floats: by more than Epsilon; a NaN always differs).
void ChangeFloat(TModifier& Owner, float& Field, float Value, float Epsilon);
void ChangeInt(TModifier& Owner, int32_t& Field, int32_t Value);
void ChangeBool(TModifier& Owner, bool& Field, bool Value);

// Hands each parameter line from Index on to Each, advancing Index; a line equal to
// "ENDMOD" ends the block (Index stands past it).
template <class TEach>
void ReadParamLines(const std::vector<std::string>& Lines, int32_t& Index, TEach&& Each)
{
    while (Index >= 0 && Index < static_cast<int32_t>(Lines.size())) {
        const std::string& Line = Lines[static_cast<size_t>(Index++)];
        if (Line == "ENDMOD")
            break;
        Each(Line);
    }
}

// ---- mirror ----

// Appends a reflected, reversed copy across the plane coordinate = Offset on Axis and
// welds the seam.
class TMirrorModifier : public TModifier {
public:
    TMirrorModifier() = default;
    std::string GetTypeId() const override { return "mirror"; }
    std::string GetDisplayName() const override { return "Mirror"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    int32_t GetAxis() const { return Axis; }
    float GetOffset() const { return Offset; }
    bool GetIncludeOriginal() const { return IncludeOriginal; }
    bool GetMergeSeam() const { return MergeSeam; }
    float GetMergeThreshold() const { return MergeThreshold; }
    void SetAxis(int32_t Value);  // clamped to 0..2
    void SetOffset(float Value);  // non-finite: 0
    void SetIncludeOriginal(bool Value);
    void SetMergeSeam(bool Value);
    void SetMergeThreshold(float Value);  // non-finite: 0.0001; at least 1e-6

private:
    int32_t Axis = 0;
    float Offset = 0;
    bool IncludeOriginal = true;
    bool MergeSeam = true;
    float MergeThreshold = 0.0001f;
};

// ---- xform ----

// Moves, rotates and scales the mesh about a pivot.
class TXFormModifier : public TModifier {
public:
    TXFormModifier() = default;
    std::string GetTypeId() const override { return "xform"; }
    std::string GetDisplayName() const override { return "XForm"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    // T(Translation) T(Pivot) Rx Ry Rz S(Scale) T(-Pivot).
    TMatrix4 BuildMatrix() const;

    TVec3 GetTranslation() const { return Translation; }
    TVec3 GetRotation() const { return Rotation; }
    TVec3 GetScale() const { return Scale; }
    TVec3 GetPivot() const { return Pivot; }
    // The whole vector becomes (0, 0, 0) when a component is not finite; always Changed.
    void SetTranslation(const TVec3& Value);
    void SetRotation(const TVec3& Value);
    void SetPivot(const TVec3& Value);
    // Per component: non-finite becomes 1, a magnitude below 1e-6 becomes 1e-6 with its
    // sign (0 becomes 1e-6); always Changed.
    void SetScale(const TVec3& Value);

private:
    bool Mirrors() const { return Scale.X * Scale.Y * Scale.Z < 0; }

    TVec3 Translation{0, 0, 0};
    TVec3 Rotation{0, 0, 0};
    TVec3 Scale{1, 1, 1};
    TVec3 Pivot{0, 0, 0};
};

// ---- subdivide ----

// One linear midpoint pass: every triangle into four triangles, every quad into four
// quads around a centre vertex. Faces of another corner count or with a degenerate side
// are dropped. Edges are rebuilt.
void SubdivideOnce(const TMeshData& Source, TMeshData& Dest);

class TSubdivideModifier : public TModifier {
public:
    TSubdivideModifier() = default;
    std::string GetTypeId() const override { return "subdivide"; }
    std::string GetDisplayName() const override { return "Subdivide"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    int32_t GetLevels() const { return Levels; }
    void SetLevels(int32_t Value);  // clamped to 0..5

private:
    // Apply without the closing edge rebuild (ApplyWithInfo leaves it to the evaluator).
    void Subdivide(const TMeshData& Source, TMeshData& Dest) const;

    int32_t Levels = 1;
};

// ---- shell ----

// Gives the surface thickness: an outer and an inner copy offset along the normals, the
// inner one reversed, and rim quads along open borders.
class TShellModifier : public TModifier {
public:
    TShellModifier() = default;
    std::string GetTypeId() const override { return "shell"; }
    std::string GetDisplayName() const override { return "Shell"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    float GetThickness() const { return Thickness; }
    int32_t GetMode() const { return Mode; }
    bool GetCapOpenings() const { return CapOpenings; }
    void SetThickness(float Value);  // non-finite: 0.1; then the absolute value
    void SetMode(int32_t Value);     // 0 centred, 1 outward, 2 inward; clamped
    void SetCapOpenings(bool Value);

private:
    float Thickness = 0.1f;
    int32_t Mode = 0;
    bool CapOpenings = true;
};

// Registers mirror, xform, subdivide, shell, slice, cap holes, normal, relax and vertex
// weld, in menu order.
void RegisterModelingModifiers();
