#include "scene/uVertexPaint.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <numbers>

namespace {

uint32_t ChannelByte(float c)
{
    if (!std::isfinite(c))
        return 0;
    double v = double(c) * 255.0;
    if (v > 255.0)
        v = 255.0;
    if (v < 0.0)
        v = 0.0;
    return uint32_t(std::nearbyint(v));  // halves to even
}

bool ValidVertex(const TMeshData& Mesh, int32_t V)
{
    return V >= 0 && size_t(V) < Mesh.Vertices.size();
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

uint32_t Vec3ToColor(const TVec3& Color)
{
    return ChannelByte(Color.X) + ChannelByte(Color.Y) * 256u + ChannelByte(Color.Z) * 65536u;
}

TVec3 ColorToVec3(uint32_t Color)
{
    return Vec3(float(Color & 0xFF) / 255.0f, float((Color >> 8) & 0xFF) / 255.0f,
                float((Color >> 16) & 0xFF) / 255.0f);
}

bool IsFiniteColor(const TVec3& Color)
{
    return std::isfinite(Color.X) && std::isfinite(Color.Y) && std::isfinite(Color.Z);
}

TVec3 HSVToRGB(float H, float S, float V)
{
    if (!std::isfinite(H) || !std::isfinite(S) || !std::isfinite(V))
        return Vec3(0, 0, 0);
    float h6 = H * 6.0f;
    if (h6 >= 6.0f)
        h6 = 0.0f;
    const float fi = std::floor(h6);
    if (fi < 0.0f || fi > 5.0f)
        return Vec3(0, 0, 0);  // a negative hue
    const int i = int(fi);
    const float f = h6 - fi;
    const float p = V * (1.0f - S), q = V * (1.0f - S * f), t = V * (1.0f - S * (1.0f - f));
    switch (i) {
    case 0:
        return Vec3(V, t, p);
    case 1:
        return Vec3(q, V, p);
    case 2:
        return Vec3(p, V, t);
    case 3:
        return Vec3(p, q, V);
    case 4:
        return Vec3(t, p, V);
    default:
        return Vec3(V, p, q);
    }
}

void RGBToHSV(const TVec3& Color, float& H, float& S, float& V)
{
    H = S = V = 0;
    if (!IsFiniteColor(Color))
        return;
    const float r = Color.X, g = Color.Y, b = Color.Z;
    V = std::max({r, g, b});
    const float delta = V - std::min({r, g, b});
    if (V == 0.0f)
        return;
    S = delta / V;
    if (delta == 0.0f)
        H = 0;
    else if (r == V)
        H = (g - b) / delta;
    else if (g == V)
        H = (b - r) / delta + 2.0f;
    else
        H = (r - g) / delta + 4.0f;
    H /= 6.0f;
    if (H < 0.0f)
        H += 1.0f;
}

std::string ColorToHexText(const TVec3& Color)
{
    static const char digits[] = "0123456789abcdef";
    const uint32_t c = Vec3ToColor(Color);
    std::string text = "#";
    for (int shift = 0; shift <= 16; shift += 8) {
        const uint32_t byte = (c >> shift) & 0xFF;
        text += digits[byte >> 4];
        text += digits[byte & 0xF];
    }
    return text;
}

bool ParseHexColorText(const std::string& Text, TVec3& Color)
{
    if (Text.size() < 7 || Text[0] != '#')
        return false;
    float channels[3];
    for (int k = 0; k < 3; ++k) {
        const int hi = HexDigit(Text[size_t(1 + 2 * k)]), lo = HexDigit(Text[size_t(2 + 2 * k)]);
        channels[k] = hi < 0 || lo < 0 ? 0.0f : float(hi * 16 + lo) / 255.0f;
    }
    Color = Vec3(channels[0], channels[1], channels[2]);
    return true;
}

std::vector<int32_t> ElementVertices(const TMeshData& Mesh, int32_t Kind, int32_t Index)
{
    std::vector<int32_t> out;
    if (Index < 0)
        return out;
    switch (Kind) {
    case MeshElementVertices:
        if (ValidVertex(Mesh, Index))
            out.push_back(Index);
        break;
    case MeshElementEdges:
        if (size_t(Index) < Mesh.Edges.size()) {
            const TMeshEdge& e = Mesh.Edges[size_t(Index)];
            for (int32_t v : {e.V0, e.V1})
                if (ValidVertex(Mesh, v))
                    out.push_back(v);
        }
        break;
    case MeshElementFaces:
        if (size_t(Index) < Mesh.Faces.size()) {
            const TMeshFace& f = Mesh.Faces[size_t(Index)];
            const int32_t n = std::clamp(f.Count, 0, 4);
            for (int32_t k = 0; k < n; ++k)
                if (ValidVertex(Mesh, f.Indices[size_t(k)]))
                    out.push_back(f.Indices[size_t(k)]);
        }
        break;
    default:
        break;
    }
    return out;
}

void AddRecentColor(std::array<TVec3, 8>& Colors, int32_t& Count, const TVec3& Color)
{
    Count = std::clamp(Count, 0, 8);
    for (int32_t i = 0; i < Count; ++i) {
        const TVec3& c = Colors[size_t(i)];
        if (std::fabs(c.X - Color.X) < 0.001f && std::fabs(c.Y - Color.Y) < 0.001f &&
            std::fabs(c.Z - Color.Z) < 0.001f) {
            for (int32_t k = i; k > 0; --k)
                Colors[size_t(k)] = Colors[size_t(k - 1)];
            Colors[0] = Color;
            return;
        }
    }
    for (int32_t k = std::min(Count, 7); k > 0; --k)
        Colors[size_t(k)] = Colors[size_t(k - 1)];
    Colors[0] = Color;
    if (Count < 8)
        ++Count;
}

const std::vector<int32_t>& TFloodFill::Run(const TMeshData& Mesh,
                                            const std::vector<int32_t>& Seeds)
{
    Queue.clear();
    if (Seeds.empty() || !ValidVertex(Mesh, Seeds.front()))
        return Queue;
    const size_t n = Mesh.Vertices.size();
    // Neighbour lists in edge-list order (counting sort of both ends of every edge).
    Offsets.assign(n + 1, 0);
    for (const TMeshEdge& e : Mesh.Edges) {
        if (ValidVertex(Mesh, e.V0))
            ++Offsets[size_t(e.V0) + 1];
        if (ValidVertex(Mesh, e.V1) && e.V1 != e.V0)
            ++Offsets[size_t(e.V1) + 1];
    }
    for (size_t i = 0; i < n; ++i)
        Offsets[i + 1] += Offsets[i];
    Neighbours.resize(size_t(Offsets[n]));
    {
        // Offsets[v] walks forward while filling, then is shifted back.
        for (const TMeshEdge& e : Mesh.Edges) {
            if (ValidVertex(Mesh, e.V0))
                Neighbours[size_t(Offsets[size_t(e.V0)]++)] = e.V1;
            if (ValidVertex(Mesh, e.V1) && e.V1 != e.V0)
                Neighbours[size_t(Offsets[size_t(e.V1)]++)] = e.V0;
        }
        for (size_t i = n; i > 0; --i)
            Offsets[i] = Offsets[i - 1];
        Offsets[0] = 0;
    }

    const TVec3 target = Mesh.Vertices[size_t(Seeds.front())].Color;
    Visited.assign(n, 0);
    const auto visit = [&](int32_t v) {
        if (!ValidVertex(Mesh, v) || Visited[size_t(v)])
            return;
        Visited[size_t(v)] = 1;
        const TVec3& c = Mesh.Vertices[size_t(v)].Color;
        if (c.X == target.X && c.Y == target.Y && c.Z == target.Z)
            Queue.push_back(v);
    };
    for (int32_t v : Seeds)
        visit(v);
    for (size_t head = 0; head < Queue.size(); ++head) {
        const size_t v = size_t(Queue[head]);
        for (int32_t k = Offsets[v]; k < Offsets[v + 1]; ++k)
            visit(Neighbours[size_t(k)]);
    }
    return Queue;
}

TGradientPlan BuildGradientPlan(const TMeshData& Mesh, const std::vector<int32_t>& SelectedFaces,
                                const std::array<TVec3, 4>& MainColors, float Rotation)
{
    TGradientPlan plan;
    if (!std::isfinite(Rotation))
        Rotation = 0;
    for (int32_t f : SelectedFaces)
        if (f >= 0 && size_t(f) < Mesh.Faces.size())
            plan.Faces.push_back(f);
    for (int32_t f : plan.Faces) {
        const TMeshFace& face = Mesh.Faces[size_t(f)];
        const int32_t n = std::clamp(face.Count, 3, 4);
        if (n == 4)
            plan.HasQuad = true;
        const double steps = std::nearbyint(double(Rotation) / (360.0 / n));
        const int32_t shift = int32_t(((int64_t(steps) % n) + n) % n);
        for (int32_t p = 0; p < n; ++p) {
            const int32_t v = face.Indices[size_t(p)];
            if (!ValidVertex(Mesh, v))
                continue;  // a corner outside the mesh paints nothing
            plan.VertexIndices.push_back(v);
            plan.OldColors.push_back(Mesh.Vertices[size_t(v)].Color);
            plan.NewColors.push_back(MainColors[size_t((p + n - shift) % n)]);
        }
    }
    return plan;
}

int32_t UsableMainColorSlots(const TMeshData* Mesh, bool GradientMode, int32_t HoveredFace,
                             const std::vector<int32_t>& SelectedFaces)
{
    int32_t usable = 3;
    if (!GradientMode || !Mesh)
        return usable;
    if (HoveredFace >= 0 && size_t(HoveredFace) < Mesh->Faces.size())
        usable = std::clamp(Mesh->Faces[size_t(HoveredFace)].Count, 3, 4);
    for (int32_t f : SelectedFaces)
        if (f >= 0 && size_t(f) < Mesh->Faces.size() && Mesh->Faces[size_t(f)].Count == 4)
            return 4;
    return usable;
}

std::vector<int32_t> PickColorVertices(const TMeshData& Mesh, int32_t SubMode,
                                       const std::vector<int32_t>& Vertices,
                                       const std::vector<int32_t>& Edges,
                                       const std::vector<int32_t>& Faces)
{
    std::vector<int32_t> out;
    std::vector<uint8_t> taken(Mesh.Vertices.size(), 0);
    const auto take = [&](int32_t v) {
        if (ValidVertex(Mesh, v) && !taken[size_t(v)]) {
            taken[size_t(v)] = 1;
            out.push_back(v);
        }
    };
    switch (SubMode) {
    case MeshElementEdges:
        for (int32_t e : Edges)
            for (int32_t v : ElementVertices(Mesh, MeshElementEdges, e))
                take(v);
        break;
    case MeshElementFaces:
        for (int32_t f : Faces)
            for (int32_t v : ElementVertices(Mesh, MeshElementFaces, f))
                take(v);
        break;
    default:
        for (int32_t v : Vertices)
            take(v);
        for (int32_t v : Vertices)
            if (ValidVertex(Mesh, v))
                for (int32_t w : Mesh.GetVertexNeighbours(v))
                    take(w);
        break;
    }
    return out;
}

bool ApplyFaceUVButton(TMeshData& Mesh, const std::vector<int32_t>& Faces, int32_t Tag)
{
    if (Tag < 0 || Tag > 5)
        return false;
    bool changed = false;
    for (int32_t f : Faces) {
        if (f < 0 || size_t(f) >= Mesh.Faces.size())
            continue;
        TMeshFace& face = Mesh.Faces[size_t(f)];
        const int32_t n = std::clamp(face.Count, 0, 4);
        for (int32_t k = 0; k < n; ++k) {
            TVec2& uv = face.UVs[size_t(k)];
            switch (Tag) {
            case 0:
                uv = TVec2{1.0f - uv.V, uv.U};
                break;
            case 1:
                uv.U = 1.0f - uv.U;
                break;
            case 2:
                uv.V = 1.0f - uv.V;
                break;
            case 3:
                uv = TVec2{2.0f * uv.U, 2.0f * uv.V};
                break;
            case 4:
                uv = TVec2{0.5f * uv.U, 0.5f * uv.V};
                break;
            default: {
                static const TVec2 quad[4] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
                uv = k == 2 && n == 3 ? TVec2{0, 1} : quad[k];
                break;
            }
            }
        }
        changed = true;
    }
    return changed;
}

bool ColorWheelPick(int32_t X, int32_t Y, int32_t W, int32_t H, TVec3& Color)
{
    const int32_t cx = W / 2, cy = H / 2;
    const float R = float(std::min(cx, cy) - 2);
    if (R <= 0)
        return false;
    const float dx = float(X - cx), dy = float(Y - cy);
    const float d = std::sqrt(dx * dx + dy * dy);
    if (d > R)
        return false;
    float hue = std::atan2(dy, dx);
    if (hue < 0)
        hue += 2.0f * std::numbers::pi_v<float>;
    hue /= 2.0f * std::numbers::pi_v<float>;
    Color = HSVToRGB(hue, d / R, 1.0f);
    return true;
}

void ColorWheelMarker(const TVec3& Color, int32_t W, int32_t H, int32_t& X, int32_t& Y)
{
    const int32_t cx = W / 2, cy = H / 2;
    const float R = float(std::max(std::min(cx, cy) - 2, 0));
    float h = 0, s = 0, v = 0;
    RGBToHSV(Color, h, s, v);
    const double a = 2.0 * std::numbers::pi * h;
    X = cx + int32_t(std::nearbyint(std::cos(a) * R * s));
    Y = cy + int32_t(std::nearbyint(std::sin(a) * R * s));
}
