#pragma once
// Finding a mesh's vertex, edge or face under a point of the screen, as the modelling
// mode picks and hovers them: vertices and edge midpoints by their projected distance to
// the point, faces by the nearest hit of the view ray. The mesh is taken in its own space;
// the projector carries the whole chain to the screen, so nothing is transformed per call.
#include "base/uMath.h"
#include "base/uMesh.h"

#include <array>
#include <cstdint>

// Mesh space to window pixels (x right, y down, logical pixels), as the views' saved
// Perspective matrices project: Matrix = Projection x ModelView x Model, column-major.
struct TScreenProjector {
    std::array<double, 16> Matrix{};
    std::array<int, 4> Viewport{};  // device pixels: x, y, width, height
    double DeviceHeight = 0;
    double Dpr = 1;
    // False when the point is behind the eye or its depth lies outside 0..1.
    bool Project(const TVec3& P, float& X, float& Y) const;
};

// Column-major product A x B of two 4 x 4 matrices.
std::array<double, 16> MultiplyColumnMajor(const std::array<double, 16>& A,
                                           const std::array<double, 16>& B);
// A row-major TMatrix4 (translation in elements 3, 7, 11) as a column-major array.
std::array<double, 16> ColumnMajorOf(const TMatrix4& M);

// The vertex whose projection is strictly nearer than Threshold pixels to (X, Y) and
// nearer than every other; -1 for none. A vertex that does not project is no candidate.
int32_t NearestProjectedVertex(const TMeshData& Mesh, const TScreenProjector& Projector, float X,
                               float Y, float Threshold);
// The same for the midpoints of the edges.
int32_t NearestProjectedEdge(const TMeshData& Mesh, const TScreenProjector& Projector, float X,
                             float Y, float Threshold);
// The face with the nearest hit t > 0 along the ray (mesh space; t in units of the
// direction's length); each face is tried as a fan from corner 0 and its first hit
// triangle counts. Faces with fewer than 3 corners or corners outside the mesh are
// skipped. -1 when no face is hit.
int32_t NearestFaceAlongRay(const TMeshData& Mesh, const TVec3& Origin, const TVec3& Direction);
