#include "scene/uContactLighting.h"

#include <algorithm>
#include <cmath>

#include "base/uMesh.h"
#include "scene/uContactLightingVector.h"
#include "scene/uSceneObject.h"

using namespace ContactVector;

namespace {
constexpr float kMinCellSize = 0.05f;
constexpr float kShadowReach = 8.0f;  // shadow rays are this many radii long
constexpr float kMinLightLevel = 0.0001f;
}  // namespace

const std::array<TVec3, 12> ContactHemisphereDirections = {{
    {0, 0, 1},
    {0.707f, 0, 0.707f},
    {-0.707f, 0, 0.707f},
    {0, 0.707f, 0.707f},
    {0, -0.707f, 0.707f},
    {0.5f, 0.5f, 0.707f},
    {-0.5f, 0.5f, 0.707f},
    {0.5f, -0.5f, 0.707f},
    {-0.5f, -0.5f, 0.707f},
    {0.866f, 0, 0.5f},
    {-0.866f, 0, 0.5f},
    {0, 0.866f, 0.5f},
}};

void DefaultContactLightingSettings(TContactLightingSettings& Settings)
{
    Settings = TContactLightingSettings{};
}

void DefaultContactLightRig(TContactLightRig& Rig)
{
    Rig = TContactLightRig{};
    Rig.KeyDirection = Vec3Normalize({0.4f, 0.9f, 0.6f});
    Rig.FillDirection = Vec3Normalize({-0.4f, 0.9f, -0.6f});
}

float ColorLuminance(const TVec3& c)
{
    const float l = 0.2126f * c.X + 0.7152f * c.Y + 0.0722f * c.Z;
    return l < 0 ? 0 : l;
}

TVec3 Vec3Lerp(const TVec3& a, const TVec3& b, float t)
{
    return {a.X + (b.X - a.X) * t, a.Y + (b.Y - a.Y) * t, a.Z + (b.Z - a.Z) * t};
}

TVec3 Vec3Modulate(const TVec3& a, const TVec3& b)
{
    return {a.X * b.X, a.Y * b.Y, a.Z * b.Z};
}

TVec3 HemisphereDirection(const TVec3& Sample, const TVec3& N)
{
    const TVec3 r = std::fabs(N.Y) < 0.9f ? TVec3{0, 1, 0} : TVec3{1, 0, 0};
    const TVec3 t = Vec3Normalize(Vec3Cross(r, N));
    const TVec3 b = Vec3Normalize(Vec3Cross(N, t));
    return Vec3Normalize(
        Vec3Add(Vec3Add(Vec3Scale(t, Sample.X), Vec3Scale(b, Sample.Y)), Vec3Scale(N, Sample.Z)));
}

TContactLightingCache::TContactLightingCache()
{
    DefaultContactLightRig(Rig);
}

TContactLightingCache::~TContactLightingCache()
{
    Clear();
}

void TContactLightingCache::Clear()
{
    Triangles.clear();
    Entries.clear();
    EntryIndex.clear();
    Packed.clear();
    Nodes.clear();
    WideNodes.clear();
    Built = false;
    Lit = false;
}

void TContactLightingCache::Invalidate()
{
    Built = false;
    Lit = false;
}

void TContactLightingCache::AddTriangle(const TVec3& P0, const TVec3& P1, const TVec3& P2,
                                        const TVec3& Color)
{
    Triangles.push_back({P0, P1, P2, Color});
    Packed.push_back({P0, Sub(P1, P0), Sub(P2, P0), static_cast<uint32_t>(Triangles.size() - 1)});
}

void TContactLightingCache::Build(const std::vector<TContactMeshInput>& Inputs,
                                  const TContactLightingSettings& NewSettings)
{
    if (Built)
        return;
    Clear();
    Settings = NewSettings;
    // A radius that is not a number would make every cell index meaningless.
    if (!std::isfinite(Settings.Radius))
        Settings.Radius = TContactLightingSettings{}.Radius;
    CellSize = Settings.Radius < kMinCellSize ? kMinCellSize : Settings.Radius;

    for (const TContactMeshInput& input : Inputs) {
        if (input.Mesh == nullptr || !input.Occludes)
            continue;
        const std::vector<TMeshVertex>& vertices = input.Mesh->Vertices;
        const int64_t vertexCount = static_cast<int64_t>(vertices.size());
        auto valid = [&](int32_t i) { return i >= 0 && i < vertexCount; };
        for (const TMeshFace& face : input.Mesh->Faces) {
            // A face holds at most four corners, whatever its count claims.
            const int32_t count = std::min<int32_t>(face.Count, 4);
            for (int32_t j = 1; j + 1 < count; ++j) {
                const int32_t i0 = face.Indices[0], i1 = face.Indices[j], i2 = face.Indices[j + 1];
                if (!valid(i0) || !valid(i1) || !valid(i2))
                    continue;
                const TVec3 p0 = MatTransformPoint(vertices[i0].Position, input.World);
                const TVec3 p1 = MatTransformPoint(vertices[i1].Position, input.World);
                const TVec3 p2 = MatTransformPoint(vertices[i2].Position, input.World);
                if (!IsFinite(p0) || !IsFinite(p1) || !IsFinite(p2))
                    continue;
                if (Length(Normalized(Cross(Sub(p1, p0), Sub(p2, p0)))) < 0.001f)
                    continue;
                AddTriangle(p0, p1, p2, input.Color);
            }
        }
    }
    BuildHierarchy();

    for (const TContactMeshInput& input : Inputs) {
        if (!input.Receives || input.Mesh == nullptr)
            continue;
        TContactMeshResult entry;
        if (input.Node != nullptr) {
            entry.NodeId = input.Node->GetId();
            entry.MeshSerial = input.Node->GetMeshSerial();
        }
        // The inverse-transpose once per mesh; a singular matrix gives zero normals.
        TMatrix4 inverse;
        MatInverse(input.World, inverse);
        const std::vector<TMeshVertex>& vertices = input.Mesh->Vertices;
        entry.Probes.reserve(vertices.size());
        for (const TMeshVertex& v : vertices)
            entry.Probes.push_back(ComputeProbe(MatTransformPoint(v.Position, input.World),
                                                MatTransformVectorTransposed(v.Normal, inverse)));
        entry.Results.assign(vertices.size(), TContactLightingResult{});
        if (entry.NodeId != 0)
            EntryIndex.emplace(entry.NodeId, static_cast<int32_t>(Entries.size()));
        Entries.push_back(std::move(entry));
    }
    Built = true;
    Lit = false;
}

TContactProbe TContactLightingCache::ComputeProbe(const TVec3& Position, const TVec3& RawNormal)
{
    TContactProbe probe;
    probe.Position = Position;
    probe.Normal = Normalized(RawNormal);
    // A vertex that is not finite stays open and white and gets no light term.
    if (!IsFinite(Position) || !IsFinite(probe.Normal)) {
        probe.Normal = {0, 0, 0};
        return probe;
    }
    if (Length(probe.Normal) < 0.001f)
        return probe;

    const int32_t rays = std::clamp<int32_t>(Settings.RayCount, 4, 12);
    TVec3 origin = Add(Position, Scale(probe.Normal, kRayOffset));
    if (Settings.GroundPlane && Position.Y >= Settings.GroundHeight - 0.02f &&
        origin.Y < Settings.GroundHeight + 0.001f)
        origin.Y = Settings.GroundHeight + 0.001f;

    // HemisphereDirection's frame, made once for all rays of the probe.
    const TVec3& n = probe.Normal;
    const TVec3 tangent =
        Normalized(Cross(std::fabs(n.Y) < 0.9f ? TVec3{0, 1, 0} : TVec3{1, 0, 0}, n));
    const TVec3 bitangent = Normalized(Cross(n, tangent));
    TVec3 dirs[12], colors[12];
    float distances[12];
    bool hit[12];
    for (int32_t i = 0; i < rays; ++i) {
        const TVec3& sample = ContactHemisphereDirections[i];
        dirs[i] = Normalized(
            Add(Add(Scale(tangent, sample.X), Scale(bitangent, sample.Y)), Scale(n, sample.Z)));
    }
    CastProbeRays(origin, dirs, rays, Settings.Radius, hit, colors, distances);

    TVec3 bounce{0, 0, 0};
    int32_t hits = 0, misses = 0;
    float weightSum = 0;
    for (int32_t i = 0; i < rays; ++i) {
        if (hit[i]) {
            ++hits;
            const float w = 1 - Clamp01(distances[i] / Settings.Radius);
            bounce = Vec3Add(bounce, Vec3Scale(colors[i], w));
            weightSum += w;
        } else {
            ++misses;
        }
    }
    probe.Openness = static_cast<float>(misses) / static_cast<float>(rays);
    probe.Bounce = weightSum > 0 ? Vec3Scale(bounce, 1 / weightSum) : TVec3{1, 1, 1};
    if (hits == 0)
        probe.Bounce = {1, 1, 1};
    return probe;
}

void TContactLightingCache::ApplyLightRig(const TContactLightRig& LightRig)
{
    if (!Built || !Enabled || Lit)
        return;
    for (TContactMeshResult& entry : Entries)
        ShadeEntry(entry, LightRig);
    Rig = LightRig;
    Lit = true;
}

void TContactLightingCache::ShadeEntry(TContactMeshResult& Entry, const TContactLightRig& LightRig)
{
    struct TLight {
        float Level;
        TVec3 Direction;
    };
    const float ambient =
        ColorLuminance(LightRig.AmbientColor) * std::max(0.0f, LightRig.AmbientIntensity);
    const TLight lights[2] = {
        {ColorLuminance(LightRig.KeyColor) * std::max(0.0f, LightRig.KeyIntensity),
         Vec3Normalize(LightRig.KeyDirection)},
        {ColorLuminance(LightRig.FillColor) * std::max(0.0f, LightRig.FillIntensity),
         Vec3Normalize(LightRig.FillDirection)},
    };
    const float unshadowed = 1 - Clamp01(Settings.SunShadow);
    const float strength = Clamp01(Settings.ContactStrength);
    const float shadowReach = kShadowReach * Settings.Radius;

    for (size_t i = 0; i < Entry.Probes.size(); ++i) {
        const TContactProbe& probe = Entry.Probes[i];
        float total = ambient;
        float lit = probe.Openness * ambient;
        for (const TLight& light : lights) {
            if (!(light.Level > kMinLightLevel))
                continue;
            const float k = light.Level * std::max(0.0f, Vec3Dot(probe.Normal, light.Direction));
            total = total + k;
            // A light the surface faces away from adds nothing, shadowed or not.
            if (!(k > 0))
                continue;
            const TVec3 origin = Add(probe.Position, Scale(probe.Normal, kRayOffset));
            if (IsOccluded(origin, light.Direction, shadowReach))
                lit = lit + unshadowed * k;
            else
                lit = lit + k;
        }
        const float ratio = total > kMinLightLevel ? Clamp01(lit / total) : 1;
        float shade = 1 - (1 - ratio) * strength;
        if (shade < Settings.MinimumShade)
            shade = Settings.MinimumShade;
        TContactLightingResult& result = Entry.Results[i];
        result.Factor = shade;
        const float bleed = Clamp01((1 - probe.Openness) * Settings.ColorBleed);
        result.Color = Vec3Lerp({1, 1, 1}, probe.Bounce, bleed);
    }
}

int32_t TContactLightingCache::FindEntry(uint32_t NodeId) const
{
    const auto it = EntryIndex.find(NodeId);
    return it == EntryIndex.end() ? -1 : it->second;
}

const TContactMeshResult* TContactLightingCache::FindResults(uint32_t NodeId,
                                                             uint64_t MeshSerial) const
{
    if (!Built || !Enabled)
        return nullptr;
    const int32_t index = FindEntry(NodeId);
    if (index < 0 || Entries[index].MeshSerial != MeshSerial)
        return nullptr;
    return &Entries[index];
}

TVec3 TContactLightingCache::GetVertexLight(uint32_t NodeId, uint64_t MeshSerial,
                                            int32_t VertexIndex, const TVec3& BaseColor) const
{
    const TContactMeshResult* entry = FindResults(NodeId, MeshSerial);
    if (entry == nullptr || VertexIndex < 0 ||
        VertexIndex >= static_cast<int64_t>(entry->Results.size()))
        return BaseColor;
    const TContactLightingResult& result = entry->Results[VertexIndex];
    return Vec3Scale(Vec3Modulate(BaseColor, result.Color), result.Factor);
}

TVec3 TContactLightingCache::GetVertexLight(const TSceneObject& Node, int32_t VertexIndex,
                                            const TVec3& BaseColor) const
{
    return GetVertexLight(Node.GetId(), Node.GetMeshSerial(), VertexIndex, BaseColor);
}
