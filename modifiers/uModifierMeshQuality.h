#pragma once
// Mesh-quality modifiers: spherify, optimize, tessellate and smooth.
#include "base/uMesh.h"
#include "modifiers/uModifierAdvanced.h"

#include <string>

// Blends vertices toward a sphere about the bounding-box centre whose radius is the
// farthest vertex distance times RadiusScale.
class TSpherifyModifier : public TModifier {
public:
    TSpherifyModifier() = default;
    std::string GetTypeId() const override { return "spherify"; }
    std::string GetDisplayName() const override { return "Spherify"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    float GetAmount() const { return Amount; }
    float GetRadiusScale() const { return RadiusScale; }
    void SetAmount(float Value);       // non-finite: 1; 0..1
    void SetRadiusScale(float Value);  // non-finite: 1; absolute value; 1e-6..100

private:
    float Amount = 1;
    float RadiusScale = 1;
};

// Fan area of a face; 0 for fewer than three corners or a corner outside the vertices.
float PolygonFaceArea(const TMeshData& Mesh, const TMeshFace& Face);
// "count:i:j:k" over the sorted corner indices: equal for faces over the same vertices in
// any order or winding.
std::string FaceIndexKey(const TMeshFace& Face);

// Drops invalid, duplicate and tiny faces and, on request, the vertices no face uses.
class TOptimizeModifier : public TModifier {
public:
    TOptimizeModifier() = default;
    std::string GetTypeId() const override { return "optimize"; }
    std::string GetDisplayName() const override { return "Optimize"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    float GetMinimumArea() const { return MinimumArea; }
    bool GetRemoveDuplicateFaces() const { return RemoveDuplicateFaces; }
    bool GetRemoveUnusedVertices() const { return RemoveUnusedVertices; }
    void SetMinimumArea(float Value);  // non-finite: 1e-6; absolute value; 0..1000000
    void SetRemoveDuplicateFaces(bool Value);
    void SetRemoveUnusedVertices(bool Value);

private:
    float MinimumArea = 1e-6f;
    bool RemoveDuplicateFaces = true;
    bool RemoveUnusedVertices = true;
};

// Splits quads into two triangles across one diagonal.
class TTessellateModifier : public TModifier {
public:
    TTessellateModifier() = default;
    std::string GetTypeId() const override { return "tessellate"; }
    std::string GetDisplayName() const override { return "Tessellate"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    bool GetTriangulateQuads() const { return TriangulateQuads; }
    bool GetAlternateDiagonal() const { return AlternateDiagonal; }
    void SetTriangulateQuads(bool Value);
    void SetAlternateDiagonal(bool Value);  // diagonal 1-3 instead of 0-2

private:
    bool TriangulateQuads = true;
    bool AlternateDiagonal = false;
};

// Relaxation with its own fields: pulls vertices toward their neighbours' average.
class TSmoothModifier : public TModifier {
public:
    TSmoothModifier() = default;
    std::string GetTypeId() const override { return "smooth"; }
    std::string GetDisplayName() const override { return "Smooth"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    float GetAmount() const { return Amount; }
    int32_t GetIterations() const { return Iterations; }
    bool GetPreserveBoundary() const { return PreserveBoundary; }
    void SetAmount(float Value);        // non-finite: 0.25; 0..1
    void SetIterations(int32_t Value);  // 0..100
    void SetPreserveBoundary(bool Value);

private:
    float Amount = 0.25f;
    int32_t Iterations = 1;
    bool PreserveBoundary = true;
};
