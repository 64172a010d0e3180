#pragma once

// The loop triangulation as it was first written: every step scans the working order
// from its start and tests every remaining point against each convex corner. Slow on
// long loops, but plainly right; the tests and the benchmark hold the library's ear
// clipping against it.

#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numbers>
#include <vector>

namespace cap_holes_reference {

inline bool TriangulateLoop(const TMeshData& Mesh, const TIntegerArray& Loop,
                            TIntegerArray& Triangles)
{
    Triangles.clear();
    const size_t count = Loop.size();
    if (count < 3)
        return false;
    const size_t n = Mesh.Vertices.size();
    auto valid = [n](int32_t index) { return index >= 0 && static_cast<size_t>(index) < n; };
    TVec3 normal{0, 0, 0};
    for (size_t i = 0; i < count; ++i) {
        if (!valid(Loop[i]) || !valid(Loop[(i + 1) % count]))
            return false;
        const TVec3& p = Mesh.Vertices[Loop[i]].Position;
        const TVec3& q = Mesh.Vertices[Loop[(i + 1) % count]].Position;
        normal.X += (p.Y - q.Y) * (p.Z + q.Z);
        normal.Y += (p.Z - q.Z) * (p.X + q.X);
        normal.Z += (p.X - q.X) * (p.Y + q.Y);
    }
    int32_t axis = 0;
    float largest = std::fabs(normal.X);
    if (largest < std::fabs(normal.Y)) {
        axis = 1;
        largest = std::fabs(normal.Y);
    }
    if (largest < std::fabs(normal.Z)) {
        axis = 2;
        largest = std::fabs(normal.Z);
    }
    if (!(largest >= 1e-9f))
        return false;

    std::vector<TVec2> points(count);
    for (size_t i = 0; i < count; ++i)
        ProjectToPlane(Mesh.Vertices[Loop[i]].Position, axis, points[i]);
    std::vector<int32_t> work(count);
    for (size_t i = 0; i < count; ++i)
        work[i] = static_cast<int32_t>(i);
    if (PolygonArea2D(points, static_cast<int32_t>(count) - 1) < 0)
        std::reverse(work.begin(), work.end());

    while (work.size() > 3) {
        const size_t m = work.size();
        size_t ear = m;
        for (size_t pos = 0; pos < m && ear == m; ++pos) {
            const size_t prev = (pos + m - 1) % m;
            const size_t next = (pos + 1) % m;
            const TVec2& a = points[work[prev]];
            const TVec2& b = points[work[pos]];
            const TVec2& c = points[work[next]];
            if (!(Cross2D(a, b, c) > 1e-7f))
                continue;
            bool empty = true;
            for (size_t other = 0; other < m && empty; ++other) {
                if (other == prev || other == pos || other == next)
                    continue;
                empty = !PointInTriangle2D(points[work[other]], a, b, c);
            }
            if (empty)
                ear = pos;
        }
        if (ear == m)
            return false;
        Triangles.push_back(Loop[work[(ear + m - 1) % m]]);
        Triangles.push_back(Loop[work[ear]]);
        Triangles.push_back(Loop[work[(ear + 1) % m]]);
        work.erase(work.begin() + static_cast<std::ptrdiff_t>(ear));
    }
    for (int32_t position : work)
        Triangles.push_back(Loop[position]);
    return true;
}

// An open tube of Segments quads around the Y axis: two round loops to cap.
inline TMeshData OpenTube(int Segments, float Radius = 1)
{
    TMeshData tube;
    for (int i = 0; i < Segments; ++i)
        for (int y = 0; y <= 1; ++y) {
            const double a = 2 * std::numbers::pi * i / Segments;
            TMeshVertex v;
            v.Position = {static_cast<float>(Radius * std::cos(a)), static_cast<float>(y),
                          static_cast<float>(Radius * std::sin(a))};
            tube.AddVertex(v);
        }
    for (int i = 0; i < Segments; ++i) {
        const int j = (i + 1) % Segments;
        tube.AddQuad(2 * i, 2 * j, 2 * j + 1, 2 * i + 1);
    }
    tube.RebuildEdges();
    return tube;
}

}  // namespace cap_holes_reference
