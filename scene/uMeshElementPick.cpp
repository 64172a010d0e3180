#include "scene/uMeshElementPick.h"

#include <algorithm>
#include <cmath>

bool TScreenProjector::Project(const TVec3& P, float& X, float& Y) const
{
    const std::array<double, 16>& m = Matrix;
    const double x = P.X, y = P.Y, z = P.Z;
    const double cw = m[3] * x + m[7] * y + m[11] * z + m[15];
    if (!(cw > 0.0))
        return false;
    const double cx = m[0] * x + m[4] * y + m[8] * z + m[12];
    const double cy = m[1] * x + m[5] * y + m[9] * z + m[13];
    const double cz = m[2] * x + m[6] * y + m[10] * z + m[14];
    const double wx = Viewport[0] + (cx / cw + 1.0) * 0.5 * Viewport[2];
    const double wy = Viewport[1] + (cy / cw + 1.0) * 0.5 * Viewport[3];
    const double wz = (cz / cw + 1.0) * 0.5;
    X = float(wx / Dpr);
    Y = float((DeviceHeight - wy) / Dpr);
    return wz >= 0.0 && wz <= 1.0;
}

std::array<double, 16> MultiplyColumnMajor(const std::array<double, 16>& A,
                                           const std::array<double, 16>& B)
{
    std::array<double, 16> r{};
    for (int c = 0; c < 4; ++c)
        for (int row = 0; row < 4; ++row) {
            double s = 0;
            for (int k = 0; k < 4; ++k)
                s += A[size_t(k * 4 + row)] * B[size_t(c * 4 + k)];
            r[size_t(c * 4 + row)] = s;
        }
    return r;
}

std::array<double, 16> ColumnMajorOf(const TMatrix4& M)
{
    std::array<double, 16> r{};
    for (int row = 0; row < 4; ++row)
        for (int c = 0; c < 4; ++c)
            r[size_t(c * 4 + row)] = M[size_t(row * 4 + c)];
    return r;
}

int32_t NearestProjectedVertex(const TMeshData& Mesh, const TScreenProjector& Projector, float X,
                               float Y, float Threshold)
{
    float best = Threshold * Threshold;
    int32_t found = -1;
    const int32_t n = int32_t(Mesh.Vertices.size());
    for (int32_t i = 0; i < n; ++i) {
        float x = 0, y = 0;
        if (!Projector.Project(Mesh.Vertices[size_t(i)].Position, x, y))
            continue;
        const float d = (x - X) * (x - X) + (y - Y) * (y - Y);
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

int32_t NearestProjectedEdge(const TMeshData& Mesh, const TScreenProjector& Projector, float X,
                             float Y, float Threshold)
{
    float best = Threshold * Threshold;
    int32_t found = -1;
    const size_t vertexCount = Mesh.Vertices.size();
    const int32_t n = int32_t(Mesh.Edges.size());
    for (int32_t i = 0; i < n; ++i) {
        const TMeshEdge& e = Mesh.Edges[size_t(i)];
        if (e.V0 < 0 || e.V1 < 0 || size_t(e.V0) >= vertexCount || size_t(e.V1) >= vertexCount)
            continue;
        const TVec3 a = Mesh.Vertices[size_t(e.V0)].Position;
        const TVec3 b = Mesh.Vertices[size_t(e.V1)].Position;
        const TVec3 mid = Vec3((a.X + b.X) * 0.5f, (a.Y + b.Y) * 0.5f, (a.Z + b.Z) * 0.5f);
        float x = 0, y = 0;
        if (!Projector.Project(mid, x, y))
            continue;
        const float d = (x - X) * (x - X) + (y - Y) * (y - Y);
        if (d < best) {
            best = d;
            found = i;
        }
    }
    return found;
}

int32_t NearestFaceAlongRay(const TMeshData& Mesh, const TVec3& Origin, const TVec3& Direction)
{
    float best = 0;
    int32_t found = -1;
    const size_t vertexCount = Mesh.Vertices.size();
    const int32_t n = int32_t(Mesh.Faces.size());
    for (int32_t f = 0; f < n; ++f) {
        const TMeshFace& face = Mesh.Faces[size_t(f)];
        const int32_t count = std::min(face.Count, 4);
        if (count < 3)
            continue;
        bool valid = true;
        for (int32_t k = 0; k < count; ++k)
            valid = valid && face.Indices[size_t(k)] >= 0 &&
                    size_t(face.Indices[size_t(k)]) < vertexCount;
        if (!valid)
            continue;
        const TVec3& p0 = Mesh.Vertices[size_t(face.Indices[0])].Position;
        for (int32_t k = 1; k + 1 < count; ++k) {
            float t = 0;
            if (RayTriangleIntersect(
                    Origin, Direction, p0, Mesh.Vertices[size_t(face.Indices[size_t(k)])].Position,
                    Mesh.Vertices[size_t(face.Indices[size_t(k + 1)])].Position, t)) {
                if (found < 0 || t < best) {
                    best = t;
                    found = f;
                }
                break;  // the first triangle hit counts for the face
            }
        }
    }
    return found;
}
