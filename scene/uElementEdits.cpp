#include "scene/uElementEdits.h"

#include "base/uMesh.h"

#include <algorithm>
#include <cassert>
#include <limits>

namespace {

bool VertexInside(const TMeshData& Mesh, int32_t Index)
{
    return Index >= 0 && static_cast<size_t>(Index) < Mesh.Vertices.size();
}

// Neighbours of every vertex in one array (compressed rows), from the edge list.
struct TAdjacency {
    std::vector<int32_t> Start;  // one more than the vertex count
    std::vector<int32_t> Neighbours;

    explicit TAdjacency(const TMeshData& Mesh)
    {
        const size_t n = Mesh.Vertices.size();
        Start.assign(n + 1, 0);
        for (const TMeshEdge& e : Mesh.Edges)
            if (VertexInside(Mesh, e.V0) && VertexInside(Mesh, e.V1)) {
                ++Start[static_cast<size_t>(e.V0) + 1];
                ++Start[static_cast<size_t>(e.V1) + 1];
            }
        for (size_t i = 0; i < n; ++i)
            Start[i + 1] += Start[i];
        Neighbours.resize(static_cast<size_t>(Start[n]));
        std::vector<int32_t> fill(Start.begin(), Start.end() - 1);
        for (const TMeshEdge& e : Mesh.Edges)
            if (VertexInside(Mesh, e.V0) && VertexInside(Mesh, e.V1)) {
                Neighbours[static_cast<size_t>(fill[static_cast<size_t>(e.V0)]++)] = e.V1;
                Neighbours[static_cast<size_t>(fill[static_cast<size_t>(e.V1)]++)] = e.V0;
            }
    }
};

}  // namespace

std::vector<int32_t> VerticesToColour(const TMeshData& Mesh, int32_t ElementKind,
                                      const std::vector<int32_t>& Selected)
{
    std::vector<int32_t> result;
    std::vector<bool> taken(Mesh.Vertices.size(), false);
    const auto take = [&](int32_t v) {
        if (VertexInside(Mesh, v) && !taken[static_cast<size_t>(v)]) {
            taken[static_cast<size_t>(v)] = true;
            result.push_back(v);
        }
    };
    switch (ElementKind) {
    case MeshElementVertices: {
        for (int32_t v : Selected)
            take(v);
        if (result.empty())
            break;
        const TAdjacency adjacency(Mesh);
        for (int32_t v : Selected) {
            if (!VertexInside(Mesh, v))
                continue;
            const size_t at = static_cast<size_t>(v);
            for (int32_t i = adjacency.Start[at]; i < adjacency.Start[at + 1]; ++i)
                take(adjacency.Neighbours[static_cast<size_t>(i)]);
        }
        break;
    }
    case MeshElementEdges:
        for (int32_t e : Selected) {
            if (e < 0 || static_cast<size_t>(e) >= Mesh.Edges.size())
                continue;
            take(Mesh.Edges[static_cast<size_t>(e)].V0);
            take(Mesh.Edges[static_cast<size_t>(e)].V1);
        }
        break;
    case MeshElementFaces:
        for (int32_t f : Selected) {
            if (f < 0 || static_cast<size_t>(f) >= Mesh.Faces.size())
                continue;
            const TMeshFace& face = Mesh.Faces[static_cast<size_t>(f)];
            for (int32_t c = 0; c < std::clamp(face.Count, 0, 4); ++c)
                take(face.Indices[static_cast<size_t>(c)]);
        }
        break;
    default:
        break;
    }
    return result;
}

void ColourVertices(TMeshData& Mesh, const std::vector<int32_t>& Vertices, const TVec3& Color)
{
    for (int32_t v : Vertices)
        if (VertexInside(Mesh, v))
            Mesh.Vertices[static_cast<size_t>(v)].Color = Color;
}

void SetFacesTexId(TMeshData& Mesh, const std::vector<int32_t>& Faces, int32_t TexId)
{
    for (int32_t f : Faces)
        if (f >= 0 && static_cast<size_t>(f) < Mesh.Faces.size())
            Mesh.Faces[static_cast<size_t>(f)].TexId = TexId;
}

bool LeadingTexId(std::string_view Text, int32_t& Id)
{
    if (Text.empty() || Text[0] < '0' || Text[0] > '9')
        return false;
    constexpr int64_t limit = std::numeric_limits<int32_t>::max();
    int64_t value = 0;
    for (char c : Text) {
        if (c < '0' || c > '9')
            break;
        value = std::min(limit, value * 10 + (c - '0'));
    }
    assert(value >= 0 && value <= limit);
    Id = static_cast<int32_t>(value);
    return true;
}

float ColourChannel(bool Converted, float Value)
{
    if (!Converted)
        return 1.0f;
    return std::clamp(Value, 0.0f, 1.0f);
}
