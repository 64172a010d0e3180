#pragma once
// Contact lighting: every vertex of the visible meshes gets a soft contact shade and a faint
// bounce tint. Short rays over each vertex normal's hemisphere find nearby geometry (and an
// optional ground plane); a fixed three-light rig (ambient, key, fill) with shadow rays turns
// that into one shade factor and one tint colour per vertex. The Solid and Cinematic display
// modes multiply the vertex colours by them.
//
// The work is done once and kept until the cache is invalidated or cleared: the cache never
// notices edits by itself. Results are matched to the exact evaluated mesh they were made
// from by the object's node id and mesh serial number, never by address, so a re-evaluated
// mesh (new serial) draws with its own colours until the next refresh.
//
// Model code only: no Qt, no GL.
#include <array>
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "base/uMath.h"
#include "scene/uSceneStatistics.h"

class TSceneObject;

struct TContactLightingSettings {
    bool Enabled = true;
    float Radius = 0.65f;  // occlusion ray length; the cell size of the tie order (at least 0.05)
    float ContactStrength = 0.7f;  // clamped to 0..1 where used
    float SunShadow = 0.55f;       // share of a shadowed light removed; clamped to 0..1
    float ColorBleed = 0.1f;       // weight of the bounce colour in the tint
    float MinimumShade = 0.45f;    // lower bound of the shade factor
    int32_t RayCount = 8;          // hemisphere rays per vertex; 4..12 are used
    bool GroundPlane = true;       // an infinite horizontal plane takes part in ray casts
    float GroundHeight = 0;
    TVec3 GroundColor{0.55f, 0.55f, 0.55f};
};

// Directions point from the surface towards the light.
struct TContactLightRig {
    TVec3 AmbientColor{0.35f, 0.35f, 0.4f};
    float AmbientIntensity = 0.85f;
    TVec3 KeyDirection;
    TVec3 KeyColor{0.8f, 0.8f, 0.8f};
    float KeyIntensity = 1.0f;
    TVec3 FillDirection;
    TVec3 FillColor{0.25f, 0.35f, 0.8f};
    float FillIntensity = 0.0f;  // the fill light is off by default
};

void DefaultContactLightingSettings(TContactLightingSettings& Settings);
void DefaultContactLightRig(TContactLightRig& Rig);

// Twelve directions in a local frame (x tangent, y bitangent, z normal); a probe uses the
// first RayCount rows.
extern const std::array<TVec3, 12> ContactHemisphereDirections;

// Rec. 709 luminance, 0 when negative.
float ColorLuminance(const TVec3& c);
TVec3 Vec3Lerp(const TVec3& a, const TVec3& b, float t);
TVec3 Vec3Modulate(const TVec3& a, const TVec3& b);
// Sample (a row of the table) turned into world space around the unit normal N.
TVec3 HemisphereDirection(const TVec3& Sample, const TVec3& N);

struct TContactTriangle {
    TVec3 V0, V1, V2;  // world space
    TVec3 Color;       // the colour of the object it came from
};

struct TContactProbe {
    TVec3 Position;         // world
    TVec3 Normal;           // world, unit length or zero
    float Openness = 1.0f;  // share of hemisphere rays that found nothing
    TVec3 Bounce{1, 1, 1};  // distance-weighted mean colour of what the rays hit
};

struct TContactLightingResult {
    float Factor = 1.0f;   // the shade
    TVec3 Color{1, 1, 1};  // the tint
};

// One receiving mesh: which object and which of its evaluated meshes, and per vertex the
// probe and its result.
struct TContactMeshResult {
    uint32_t NodeId = 0;
    uint64_t MeshSerial = 0;
    std::vector<TContactProbe> Probes;
    std::vector<TContactLightingResult> Results;
};

class TContactLightingCache {
public:
    TContactLightingCache();
    virtual ~TContactLightingCache();
    TContactLightingCache(const TContactLightingCache&) = delete;
    TContactLightingCache& operator=(const TContactLightingCache&) = delete;

    // Drops every triangle, box and entry; not built, not lit.
    void Clear();
    // Not built, not lit; the data stays until the next build replaces it.
    void Invalidate();
    void SetEnabled(bool Value) { Enabled = Value; }
    bool IsEnabled() const { return Enabled; }
    bool IsBuilt() const { return Built; }
    bool IsLit() const { return Lit; }

    // Casts every hemisphere ray: gathers the occluders' triangles (inputs with a mesh and
    // Occludes set) and probes every vertex of the receivers (Receives set). Does nothing
    // at all while the cache is built. Faces with a corner index out of range, degenerate
    // triangles and triangles with a non-finite corner are left out; a vertex whose world
    // position or normal is not finite keeps an open, white probe and a neutral result.
    void Build(const std::vector<TContactMeshInput>& Inputs,
               const TContactLightingSettings& Settings);
    // Shades every entry with Rig (shadow rays included) when built, enabled and not yet
    // lit; a later call does nothing until the cache is invalidated.
    void ApplyLightRig(const TContactLightRig& Rig);

    // BaseColor tinted and shaded by the result of the vertex, when the cache is built and
    // enabled and holds an entry for the node made from the mesh of that serial with such
    // a vertex; otherwise BaseColor.
    TVec3 GetVertexLight(uint32_t NodeId, uint64_t MeshSerial, int32_t VertexIndex,
                         const TVec3& BaseColor) const;
    // The same for the object's current evaluated mesh.
    TVec3 GetVertexLight(const TSceneObject& Node, int32_t VertexIndex,
                         const TVec3& BaseColor) const;
    // The entry GetVertexLight would read, or none: lets a drawing resolve it once per object.
    const TContactMeshResult* FindResults(uint32_t NodeId, uint64_t MeshSerial) const;
    // Index of the first entry of the node, or -1.
    int32_t FindEntry(uint32_t NodeId) const;

    // Nearest hit within MaxDist of the built triangles and the ground plane: its colour and
    // distance (HitColor black and HitDist MaxDist on a miss). Of equal distances the hit
    // found first by a search of the cells around the origin in X, Y, Z order wins.
    // Non-finite input hits nothing.
    bool CastRay(const TVec3& Origin, const TVec3& Dir, float MaxDist, TVec3& HitColor,
                 float& HitDist);
    // True when anything is hit within MaxDist (the same test as CastRay, any hit).
    bool IsOccluded(const TVec3& Origin, const TVec3& Dir, float MaxDist);

    const TContactLightingSettings& GetSettings() const { return Settings; }
    const TContactLightRig& GetRig() const { return Rig; }
    // max(Radius, 0.05) of the last build: the cells of the search order of equal hits.
    float GetCellSize() const { return CellSize; }
    const std::vector<TContactTriangle>& GetTriangles() const { return Triangles; }
    const std::vector<TContactMeshResult>& GetEntries() const { return Entries; }
    // Rays cast since creation (hemisphere and shadow rays), for profiling.
    int64_t GetRaysCast() const { return RaysCast; }

private:
    // Triangle data laid out for the intersection test (corner 0 and the two edges) and
    // the triangle's index in Triangles, in the order of the hierarchy's leaves.
    struct TPackedTriangle {
        TVec3 V0, E1, E2;
        uint32_t Index;
    };
    // A box of the bounding volume hierarchy. An inner node's first child follows it and
    // Offset is its second child; a leaf holds Count triangles of Packed from Offset on.
    struct TBoxNode {
        float Bounds[6];  // low corner, then high corner
        uint32_t Offset;
        uint16_t Count;  // 0 for an inner node
        uint16_t Axis;   // of an inner node's split: its first child is on the low side
    };
    // A node of the four-wide tree the rays walk, collapsed from the binary one: the
    // boxes of up to four children side by side, axis by axis, so that one pass of vector
    // operations tests them all. A child with Count > 0 is a leaf of Count triangles of
    // Packed from Child on; else Child is its node. Unused slots hold an inverted box.
    struct alignas(16) TWideNode {
        float Bounds[6][4];  // low X, Y, Z, then high X, Y, Z, by child
        uint32_t Child[4];
        uint8_t Count[4];
        uint32_t Used;  // slots in use, from the first
    };
    struct TBuildItem;

    void AddTriangle(const TVec3& P0, const TVec3& P1, const TVec3& P2, const TVec3& Color);
    void BuildHierarchy();
    uint32_t BuildNode(TBuildItem* Base, uint32_t First, uint32_t Count, int Depth);
    uint32_t CollapseNode(uint32_t Binary);
    bool PrecedesInSearch(uint32_t A, uint32_t B, const TVec3& Origin, float MaxDist) const;
    // Calls Visit for each triangle of every leaf whose box the ray enters before the
    // cutoff, nearer boxes first; Visit gets the packed triangle and returns the new
    // cutoff, negative to stop.
    template <typename TVisit>
    void TraverseRay(const TVec3& Origin, const TVec3& Dir, float Limit, TVisit&& Visit) const;
    TContactProbe ComputeProbe(const TVec3& Position, const TVec3& RawNormal);
    // CastRay for up to twelve rays from one origin at once: the hierarchy is walked once
    // for all of them, and each triangle met is tested against all of them together.
    void CastProbeRays(const TVec3& Origin, const TVec3* Dirs, int32_t Count, float MaxDist,
                       bool* Hits, TVec3* Colors, float* Dists);
    void ShadeEntry(TContactMeshResult& Entry, const TContactLightRig& LightRig);

    TContactLightingSettings Settings;
    std::vector<TContactTriangle> Triangles;
    float CellSize = 0.65f;
    std::vector<TContactMeshResult> Entries;
    bool Built = false;
    TContactLightRig Rig;
    bool Lit = false;
    bool Enabled = true;

    // Searching structure: a bounding volume hierarchy over the triangles.
    std::vector<TPackedTriangle> Packed;
    std::vector<TBoxNode> Nodes;  // the binary tree, while building
    std::vector<TWideNode> WideNodes;
    std::unordered_map<uint32_t, int32_t> EntryIndex;  // node id -> first entry
    int64_t RaysCast = 0;
};
