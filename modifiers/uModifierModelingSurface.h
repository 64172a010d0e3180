#pragma once
// Modelling modifiers that cut, close, re-shade, relax and weld a surface: slice, cap
// holes, normal, relax and vertex weld.
#include "base/uMesh.h"
#include "base/uWorkMeter.h"
#include "modifiers/uModifierModeling.h"

#include <cstdint>
#include <vector>

// One polygon corner while a face is clipped.
struct TSlicePoint {
    TMeshVertex Vertex;
    TVec2 FaceUV;
    int32_t SourceIndex = -1;  // the source vertex it is, or -1 for a point made by a cut
    int32_t EdgeA = -1;        // for a cut between two source vertices: the smaller index
    int32_t EdgeB = -1;        // and the larger
};
using TSlicePointArray = std::vector<TSlicePoint>;

// One corner of a face clipped by the slice: the face's corner From itself (To = -1), or
// the cut at T along the face's side from corner From to corner To. Key names the output
// vertex it shares with every other corner of the same source vertex or source edge.
struct TSliceCorner {
    uint64_t Key = 0;
    int32_t From = 0;
    int32_t To = -1;
    double T = 0;
};

// Cuts the mesh with the plane coordinate = Offset on Axis and keeps one or both sides;
// the halves share the cut vertices. The cut is not capped.
class TSliceModifier : public TModifier {
public:
    TSliceModifier() = default;
    std::string GetTypeId() const override { return "slice"; }
    std::string GetDisplayName() const override { return "Slice"; }
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
    bool GetKeepPositive() const { return KeepPositive; }
    bool GetKeepNegative() const { return KeepNegative; }
    float GetEpsilon() const { return Epsilon; }
    void SetAxis(int32_t Value);  // clamped to 0..2
    void SetOffset(float Value);  // non-finite: 0
    // Both refuse to clear the last kept side.
    void SetKeepPositive(bool Value);
    void SetKeepNegative(bool Value);
    void SetEpsilon(float Value);  // non-finite: 0.00001; absolute value; at least 1e-6

    // Sutherland-Hodgman clip of Polygon against one side of the plane.
    TSlicePointArray ClipSlicePolygon(const TSlicePointArray& Polygon, bool Positive) const;
    // The point where the segment A-B meets the plane; an end within 1e-6 of it when that
    // end is a source vertex.
    TSlicePoint SplitSlicePoint(const TSlicePoint& A, const TSlicePoint& B) const;

private:
    double Distance(const TSlicePoint& P) const;
    double DistanceOf(const TVec3& P) const;
    bool InsideAt(double D, bool Positive) const;
    bool Inside(const TSlicePoint& P, bool Positive) const;
    // Side(Face, Corners) for each kept side of each readable face, in the order Apply
    // builds them, with the face clipped to that side (repeated corners dropped).
    template <class TSide>
    void ForEachClippedSide(const TMeshData& Source, TSide&& Side) const;

    int32_t Axis = 0;
    float Offset = 0;
    bool KeepPositive = true;
    bool KeepNegative = false;
    float Epsilon = 0.00001f;
};

// Closes every open boundary loop with triangles.
class TCapHolesModifier : public TModifier {
public:
    TCapHolesModifier() = default;
    std::string GetTypeId() const override { return "cap_holes"; }
    std::string GetDisplayName() const override { return "Cap Holes"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    int32_t GetTextureId() const { return TextureId; }
    void SetTextureId(int32_t Value);  // negative becomes 0

private:
    void Cap(const TMeshData& Source, TMeshData& Dest, TWorkMeter* Meter) const;

    int32_t TextureId = 0;
};

// Recomputes smooth, area-weighted vertex normals.
class TNormalModifier : public TModifier {
public:
    TNormalModifier() = default;
    std::string GetTypeId() const override { return "normal"; }
    std::string GetDisplayName() const override { return "Normal"; }
    const TModifierParamTable* GetParamTable() const override;
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;
};

// Iterations passes that move each vertex by Amount toward the mean of its neighbours'
// positions of the previous pass (border vertices stay when PreserveBoundary), then the
// normals are recomputed and the edges rebuilt. Nothing for Amount exactly 0 or no
// iteration. Each pass is charged to Meter before it runs.
void RelaxMeshPositions(TMeshData& Mesh, float Amount, int32_t Iterations, bool PreserveBoundary,
                        TWorkMeter* Meter = nullptr);
// Work units of one pass that moves Moving vertices over Visits neighbour entries in all:
// a visit reads and adds one position, a moving vertex divides, blends and writes back
// twice. Measured at 0.65 (in cache) to 1.45 ns (from memory) a unit
// (bench_work_meter_loops.cpp).
constexpr int64_t kRelaxVisitWork = 1;
constexpr int64_t kRelaxVertexWork = 3;
int64_t RelaxPassWork(int64_t Moving, int64_t Visits);

// Pulls vertices toward the average of their neighbours.
class TRelaxModifier : public TModifier {
public:
    TRelaxModifier() = default;
    std::string GetTypeId() const override { return "relax"; }
    std::string GetDisplayName() const override { return "Relax"; }
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
    void SetAmount(float Value);        // non-finite: 0.5; clamped to 0..1
    void SetIterations(int32_t Value);  // clamped to 0..100
    void SetPreserveBoundary(bool Value);

private:
    float Amount = 0.5f;
    int32_t Iterations = 1;
    bool PreserveBoundary = true;
};

class TWorkMeter;

// Merges vertices closer than Threshold.
class TVertexWeldModifier : public TModifier {
public:
    TVertexWeldModifier() = default;
    std::string GetTypeId() const override { return "vertex_weld"; }
    std::string GetDisplayName() const override { return "Vertex Weld"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    const TModifierParamTable* GetParamTable() const override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override;

    float GetThreshold() const { return Threshold; }
    bool GetAveragePosition() const { return AveragePosition; }
    bool GetAverageNormals() const { return AverageNormals; }
    bool GetRemoveDegenerate() const { return RemoveDegenerate; }
    void SetThreshold(float Value);  // non-finite: 0.001; absolute value; at least 1e-6
    void SetAveragePosition(bool Value);
    void SetAverageNormals(bool Value);
    void SetRemoveDegenerate(bool Value);

private:
    void Weld(const TMeshData& Source, TMeshData& Dest, TWorkMeter* Meter) const;

    float Threshold = 0.001f;
    bool AveragePosition = true;
    bool AverageNormals = false;
    bool RemoveDegenerate = true;
};
