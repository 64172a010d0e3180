#pragma once

// The vertex weld written out the slow way: every pair of vertices compared, the sets of
// pairs within the threshold joined, and the welded mesh built from them in vertex
// order. Quadratic, but plainly right; the tests and the benchmark hold the library's
// weld against it.

#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vertex_weld_reference {

// The cluster of every vertex: connected groups of pairs within the threshold, numbered
// in the order of their lowest vertex. A vertex with a coordinate that is not finite stays
// alone, even where an infinite square of the threshold would pass its distance.
inline std::vector<int32_t> ReferenceClusters(const TMeshData& Mesh, float Threshold)
{
    const int32_t n = static_cast<int32_t>(Mesh.Vertices.size());
    const float t2 = Threshold * Threshold;
    auto finite = [](const TVec3& p) {
        return std::isfinite(p.X) && std::isfinite(p.Y) && std::isfinite(p.Z);
    };
    std::vector<int32_t> parent(n), rank(n, 0);
    for (int32_t i = 0; i < n; ++i)
        parent[i] = i;
    for (int32_t i = 0; i < n; ++i)
        for (int32_t j = 0; j < i; ++j) {
            const TVec3& a = Mesh.Vertices[i].Position;
            const TVec3& b = Mesh.Vertices[j].Position;
            if (!finite(a) || !finite(b))
                continue;
            const float x = a.X - b.X, y = a.Y - b.Y, z = a.Z - b.Z;
            if (x * x + y * y + z * z <= t2)
                UnionFindUnion(parent, rank, i, j);
        }
    std::vector<int32_t> number(n, -1), cluster(n);
    int32_t clusters = 0;
    for (int32_t i = 0; i < n; ++i) {
        int32_t& k = number[UnionFindRoot(parent, i)];
        if (k < 0)
            k = clusters++;
        cluster[i] = k;
    }
    return cluster;
}

inline TVec3 Mean(const double* Sum, double Count)
{
    return {static_cast<float>(Sum[0] / Count), static_cast<float>(Sum[1] / Count),
            static_cast<float>(Sum[2] / Count)};
}

inline TMeshData ReferenceWeld(const TMeshData& Mesh, const std::vector<int32_t>& Cluster,
                               bool AveragePositions, bool AverageNormals, bool RemoveDegenerate)
{
    const size_t n = Mesh.Vertices.size();
    const int32_t clusters = n == 0 ? 0 : *std::max_element(Cluster.begin(), Cluster.end()) + 1;
    struct TSums {
        double P[3] = {0, 0, 0}, N[3] = {0, 0, 0}, C[3] = {0, 0, 0}, UV[2] = {0, 0};
        int32_t Count = 0;
    };
    std::vector<TSums> sums(clusters);
    TMeshData out;
    for (size_t i = 0; i < n; ++i) {
        const TMeshVertex& v = Mesh.Vertices[i];
        if (Cluster[i] == static_cast<int32_t>(out.Vertices.size()))
            out.Vertices.push_back(v);
        TSums& s = sums[Cluster[i]];
        const float* fields[3] = {&v.Position.X, &v.Normal.X, &v.Color.X};
        double* targets[3] = {s.P, s.N, s.C};
        for (int f = 0; f < 3; ++f)
            for (int c = 0; c < 3; ++c)
                targets[f][c] += fields[f][c];
        s.UV[0] += v.UV.U;
        s.UV[1] += v.UV.V;
        ++s.Count;
    }
    for (int32_t k = 0; k < clusters; ++k) {
        TMeshVertex& v = out.Vertices[k];
        const TSums& s = sums[k];
        if (AveragePositions)
            v.Position = Mean(s.P, s.Count);
        v.Color = Mean(s.C, s.Count);
        v.UV = {static_cast<float>(s.UV[0] / s.Count), static_cast<float>(s.UV[1] / s.Count)};
        const TVec3 normal = Mean(s.N, 1);
        if (AverageNormals && Vec3Length(normal) > 1e-9f)
            v.Normal = Vec3Normalize(normal);
    }
    for (const TMeshFace& f : Mesh.Faces) {
        const int32_t corners = std::clamp(f.Count, 0, 4);
        auto valid = [&](int32_t index) { return index >= 0 && static_cast<size_t>(index) < n; };
        TMeshFace g = f;
        if (!RemoveDegenerate) {
            for (int32_t k = 0; k < corners; ++k)
                if (valid(f.Indices[k]))
                    g.Indices[k] = Cluster[f.Indices[k]];
            if (g.Count == 3)
                g.Indices[3] = -1;
            out.Faces.push_back(g);
            continue;
        }
        g.Indices = {-1, -1, -1, -1};
        g.UVs = {};
        int32_t kept = 0;
        for (int32_t k = 0; k < corners; ++k) {
            if (!valid(f.Indices[k]))
                continue;
            const int32_t index = Cluster[f.Indices[k]];
            if (std::find(g.Indices.begin(), g.Indices.begin() + kept, index) !=
                g.Indices.begin() + kept)
                continue;
            g.Indices[kept] = index;
            g.UVs[kept] = f.UVs[k];
            ++kept;
        }
        if (kept >= 3) {
            g.Count = kept;
            out.Faces.push_back(g);
        }
    }
    out.RebuildEdges();
    return out;
}

// The whole weld: clusters, then the mesh.
inline TMeshData ReferenceWeldVertices(const TMeshData& Mesh, float Threshold,
                                       bool AveragePositions, bool AverageNormals,
                                       bool RemoveDegenerate)
{
    return ReferenceWeld(Mesh, ReferenceClusters(Mesh, Threshold), AveragePositions, AverageNormals,
                         RemoveDegenerate);
}

}  // namespace vertex_weld_reference
