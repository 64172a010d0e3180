#pragma once
// Draws a TMeshData from client-side vertex arrays (OpenGL 1.1) with the same picture as
// TMeshData::DrawFaces: the same triangles (each face a fan from corner 0) in the same
// order, the same TextureBindHook calls, texture coordinates only where a texture is
// bound. Positions, normals and colours are read in place from the mesh's vertex array;
// the triangle indices are built once per paint and reused by the four views.
//
// Colours can be overridden without touching the mesh: one colour for every vertex (the
// object's display colour, or white), or a per-vertex array (contact lighting).
#include "base/uMesh.h"

#include <cstdint>
#include <functional>
#include <unordered_map>
#include <vector>

struct TMeshDrawOptions {
    bool OverrideTexId = false;  // every face drawn with TexId
    int32_t TexId = 0;
    bool UniformColor = false;  // every vertex drawn in Color
    TVec3 Color{};
    const std::vector<TVec3>* VertexColors = nullptr;  // per-vertex colours, when given
    // Binds a face's texture id (0 unbinds). Without one the drawing calls TextureBindHook;
    // with an empty one it binds nothing.
    const std::function<void(int32_t)>* BindTexture = nullptr;
};

class TMeshDrawCache {
public:
    // Starts a new paint: triangle lists not used by the previous paint are dropped, and
    // every mesh's list is rebuilt on its first draw in this paint.
    void BeginPaint();
    void DrawFaces(const TMeshData& Mesh, const TMeshDrawOptions& Options = {});
    void Clear() { Entries.clear(); }
    size_t EntryCount() const { return Entries.size(); }

private:
    struct TRun {
        int32_t TexId = 0;
        uint32_t FirstIndex = 0, IndexCount = 0;  // into Indices
        uint32_t FirstFace = 0, FaceCount = 0;    // faces of the run, for textured runs
    };
    struct TEntry {
        uint64_t Paint = 0;
        size_t VertexCount = 0, FaceCount = 0;
        const void* FaceData = nullptr;
        std::vector<uint32_t> Indices;  // three per fan triangle of every drawable face
        std::vector<TRun> Runs;         // consecutive faces of one TexId
        // One colour per vertex for a uniform colour: interpolating a per-vertex colour
        // rounds like immediate drawing does, a constant colour may not.
        bool UniformValid = false;
        TVec3 UniformKey{};
        std::vector<TVec3> UniformColors;
    };
    TEntry& EntryFor(const TMeshData& Mesh);
    static void Build(const TMeshData& Mesh, TEntry& E);
    void DrawTexturedRun(const TMeshData& Mesh, const TRun& Run, int32_t TexId,
                         const TMeshDrawOptions& O);

    uint64_t Paint = 1;
    std::unordered_map<const TMeshData*, TEntry> Entries;
    std::vector<float> Scratch;  // de-indexed arrays of a textured run
};
