#include "terrain/uTerrainMesh.h"

#include <vector>

void BuildTerrainMesh(TMeshData* Mesh, const THeightmap* Map, float Size, float HeightScale)
{
    if (!Mesh || !Map)
        return;
    Mesh->Clear();
    const int n = Map->GetResolution();
    const float Half = Size * 0.5f;
    const float Spacing = n < 2 ? Size : Size / static_cast<float>(n - 1);
    const float Last = static_cast<float>(n - 1);
    const float* H = Map->Data();

    auto& Vertices = Mesh->Vertices;
    Vertices.resize(static_cast<size_t>(n) * n);
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            TMeshVertex& V = Vertices[static_cast<size_t>(y) * n + x];
            V.Position = Vec3(-Half + static_cast<float>(x) * Spacing,
                              HeightScale * H[static_cast<size_t>(y) * n + x],
                              -Half + static_cast<float>(y) * Spacing);
            V.Color = Vec3(0.0f, 0.0f, 0.0f);
            V.UV = TVec2{static_cast<float>(x) / Last, static_cast<float>(y) / Last};
        }
    }

    // Each quad adds its unnormalised normal (length ~ its area) to its corners.
    std::vector<TVec3> NormalSums(Vertices.size());
    auto& Faces = Mesh->Faces;
    Faces.resize(static_cast<size_t>(n - 1) * (n - 1));
    size_t f = 0;
    for (int y = 0; y + 1 < n; ++y) {
        for (int x = 0; x + 1 < n; ++x) {
            const int32_t a = y * n + x;
            const std::array<int32_t, 4> Corners{a, a + n, a + n + 1, a + 1};
            TMeshFace& Face = Faces[f++];
            Face.Indices = Corners;
            Face.Count = 4;
            Face.TexId = 0;
            for (int k = 0; k < 4; ++k)
                Face.UVs[k] = Vertices[Corners[k]].UV;

            const TVec3& P = Vertices[a].Position;
            TVec3 N = Vec3Cross(Vec3Sub(Vertices[a + n].Position, P),
                                Vec3Sub(Vertices[a + 1].Position, P));
            if (N.X == 0.0f && N.Y == 0.0f && N.Z == 0.0f)
                N = Vec3(0.0f, 1.0f, 0.0f);
            for (const int32_t c : Corners)
                NormalSums[c] = Vec3Add(NormalSums[c], N);
        }
    }
    for (size_t i = 0; i < Vertices.size(); ++i)
        Vertices[i].Normal = Vec3Normalize(NormalSums[i]);
    Mesh->RebuildEdges();
}
