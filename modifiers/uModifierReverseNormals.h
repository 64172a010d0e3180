#pragma once
// Reverse normals: negates the vertex normals and reverses each face's corner order. The
// per-corner UVs stay in their slots; only the indices move.
#include "modifiers/uModifiers.h"

class TReverseNormalsModifier : public TModifier {
public:
    TReverseNormalsModifier() = default;

    std::string GetTypeId() const override { return "reverse_normals"; }
    std::string GetDisplayName() const override { return "Reverse Normals"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override;
    std::unique_ptr<TModifier> Clone() const override;
    void SaveParams(std::vector<std::string>& Lines) const override;
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override;
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override;

    bool GetReverseWinding() const { return ReverseWinding; }
    bool GetReverseNormals() const { return ReverseNormals; }
    void SetReverseWinding(bool Value);
    void SetReverseNormals(bool Value);

private:
    bool ReverseWinding = true;
    bool ReverseNormals = true;
};

void RegisterReverseNormalsModifier();
