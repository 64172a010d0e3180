#include "terrain/uTerrainMesh.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// The unnormalised normal of the quad whose first corner is a (its length ~ its area).
TVec3 QuadNormal(const std::vector<TMeshVertex>& Vertices, int32_t a, int n)
{
    const TVec3& P = Vertices[a].Position;
    TVec3 N = Vec3Cross(Vec3Sub(Vertices[a + n].Position, P), Vec3Sub(Vertices[a + 1].Position, P));
    if (N.X == 0.0f && N.Y == 0.0f && N.Z == 0.0f)
        N = Vec3(0.0f, 1.0f, 0.0f);
    return N;
}

}  // namespace

void TGridRect::Include(const TGridRect& Other)
{
    if (Other.Empty())
        return;
    if (Empty()) {
        *this = Other;
        return;
    }
    X0 = std::min(X0, Other.X0);
    Y0 = std::min(Y0, Other.Y0);
    X1 = std::max(X1, Other.X1);
    Y1 = std::max(Y1, Other.Y1);
}

TGridRect TGridRect::ClippedTo(int n) const
{
    TGridRect R{std::max(X0, 0), std::max(Y0, 0), std::min(X1, n - 1), std::min(Y1, n - 1)};
    return R.Empty() ? TGridRect{} : R;
}

float TerrainGridCoordinate(int x, int n, float Size)
{
    const float Spacing = n < 2 ? Size : Size / static_cast<float>(n - 1);
    return -Size * 0.5f + static_cast<float>(x) * Spacing;
}

bool TerrainHeightFromY(float Y, float HeightScale, float& Height)
{
    const float h = Y / HeightScale;
    if (!std::isfinite(h))
        return false;
    // The quotient is nearly always the answer; its neighbours cover the rest.
    for (const float c : {h, std::nextafter(h, -INFINITY), std::nextafter(h, INFINITY)})
        if (HeightScale * c == Y) {
            Height = c;
            return true;
        }
    return false;
}

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

    // Each quad adds its normal to its corners.
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
            const TVec3 N = QuadNormal(Vertices, a, n);
            for (const int32_t c : Corners)
                NormalSums[c] = Vec3Add(NormalSums[c], N);
        }
    }
    for (size_t i = 0; i < Vertices.size(); ++i)
        Vertices[i].Normal = Vec3Normalize(NormalSums[i]);
    Mesh->RebuildEdges();
}

bool UpdateTerrainMeshRegion(TMeshData& Mesh, const THeightmap& Map, float Size, float HeightScale,
                             const TGridRect& Cells)
{
    const int n = Map.GetResolution();
    auto& Vertices = Mesh.Vertices;
    if (n < 2 || Vertices.size() != static_cast<size_t>(n) * n ||
        Mesh.Faces.size() != static_cast<size_t>(n - 1) * (n - 1))
        return false;
    // The grid must be laid out as the builder lays it out for this Size.
    const float Half = Size * 0.5f;
    const float Spacing = Size / static_cast<float>(n - 1);
    const float Far = -Half + static_cast<float>(n - 1) * Spacing;
    if (Vertices.front().Position.X != -Half || Vertices.front().Position.Z != -Half ||
        Vertices.back().Position.X != Far || Vertices.back().Position.Z != Far)
        return false;
    const TGridRect R = Cells.ClippedTo(n);
    if (R.Empty())
        return true;

    const float* H = Map.Data();
    for (int y = R.Y0; y <= R.Y1; ++y)
        for (int x = R.X0; x <= R.X1; ++x) {
            const size_t i = static_cast<size_t>(y) * n + x;
            Vertices[i].Position.Y = HeightScale * H[i];
        }

    // A changed vertex moves the normals of every corner of its quads: one ring further.
    // Each sum adds the vertex's quads in the order the builder visits them, so the
    // rounding is the same.
    const TGridRect Ring = TGridRect{R.X0 - 1, R.Y0 - 1, R.X1 + 1, R.Y1 + 1}.ClippedTo(n);
    for (int y = Ring.Y0; y <= Ring.Y1; ++y)
        for (int x = Ring.X0; x <= Ring.X1; ++x) {
            TVec3 Sum = Vec3(0.0f, 0.0f, 0.0f);
            for (int qy = y - 1; qy <= y; ++qy)
                for (int qx = x - 1; qx <= x; ++qx)
                    if (qx >= 0 && qy >= 0 && qx + 1 < n && qy + 1 < n)
                        Sum = Vec3Add(Sum, QuadNormal(Vertices, qy * n + qx, n));
            Vertices[static_cast<size_t>(y) * n + x].Normal = Vec3Normalize(Sum);
        }
    return true;
}
