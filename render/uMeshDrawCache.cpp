#include "render/uMeshDrawCache.h"
#include "render/uMeshDraw.h"

#include <GL/gl.h>

#include <cstddef>

namespace {

bool FaceIsDrawable(const TMeshFace& f, size_t vertexCount)
{
    if (f.Count < 3 || f.Count > 4)
        return false;
    for (int32_t k = 0; k < f.Count; ++k)
        if (f.Indices[size_t(k)] < 0 || size_t(f.Indices[size_t(k)]) >= vertexCount)
            return false;
    return true;
}

void CallHook(const TMeshDrawOptions& O, int32_t TexId)
{
    const std::function<void(int32_t)>& bind = O.BindTexture ? *O.BindTexture : TextureBindHook;
    if (bind)
        bind(TexId);
}

constexpr GLsizei VertexStride = GLsizei(sizeof(TMeshVertex));

}  // namespace

void TMeshDrawCache::BeginPaint()
{
    // Lists of meshes the ending paint did not draw may belong to freed meshes.
    for (auto it = Entries.begin(); it != Entries.end();) {
        if (it->second.Paint != Paint)
            it = Entries.erase(it);
        else
            ++it;
    }
    ++Paint;
}

void TMeshDrawCache::Build(const TMeshData& Mesh, TEntry& E)
{
    E.VertexCount = Mesh.Vertices.size();
    E.FaceCount = Mesh.Faces.size();
    E.FaceData = Mesh.Faces.data();
    E.Indices.clear();
    E.Runs.clear();
    E.UniformValid = false;
    E.Indices.reserve(Mesh.Faces.size() * 6);
    const size_t n = Mesh.Vertices.size();
    for (size_t fi = 0; fi < Mesh.Faces.size(); ++fi) {
        const TMeshFace& f = Mesh.Faces[fi];
        if (E.Runs.empty() || E.Runs.back().TexId != f.TexId) {
            TRun r;
            r.TexId = f.TexId;
            r.FirstIndex = uint32_t(E.Indices.size());
            r.FirstFace = uint32_t(fi);
            E.Runs.push_back(r);
        }
        TRun& run = E.Runs.back();
        ++run.FaceCount;
        if (!FaceIsDrawable(f, n))
            continue;
        for (int32_t k = 1; k + 1 < f.Count; ++k) {
            E.Indices.push_back(uint32_t(f.Indices[0]));
            E.Indices.push_back(uint32_t(f.Indices[size_t(k)]));
            E.Indices.push_back(uint32_t(f.Indices[size_t(k + 1)]));
        }
        run.IndexCount = uint32_t(E.Indices.size()) - run.FirstIndex;
    }
}

TMeshDrawCache::TEntry& TMeshDrawCache::EntryFor(const TMeshData& Mesh)
{
    TEntry& e = Entries[&Mesh];
    if (e.Paint != Paint || e.VertexCount != Mesh.Vertices.size() ||
        e.FaceCount != Mesh.Faces.size() || e.FaceData != Mesh.Faces.data()) {
        Build(Mesh, e);
        e.Paint = Paint;
    }
    return e;
}

void TMeshDrawCache::DrawFaces(const TMeshData& Mesh, const TMeshDrawOptions& O)
{
    if (Mesh.Faces.empty()) {
        CallHook(O, 0);
        return;
    }
    TEntry& e = EntryFor(Mesh);
    const TMeshVertex* v = Mesh.Vertices.data();
    TMeshDrawOptions opts = O;
    if (O.UniformColor) {
        if (!e.UniformValid || !(e.UniformKey == O.Color)) {
            e.UniformColors.assign(Mesh.Vertices.size(), O.Color);
            e.UniformKey = O.Color;
            e.UniformValid = true;
        }
        opts.UniformColor = false;
        opts.VertexColors = &e.UniformColors;
    }
    const bool perVertexColors =
        opts.VertexColors && opts.VertexColors->size() >= Mesh.Vertices.size();

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    if (!Mesh.Vertices.empty()) {
        glVertexPointer(3, GL_FLOAT, VertexStride, &v->Position);
        glNormalPointer(GL_FLOAT, VertexStride, &v->Normal);
    }
    {
        glEnableClientState(GL_COLOR_ARRAY);
        if (perVertexColors)
            glColorPointer(3, GL_FLOAT, 0, opts.VertexColors->data());
        else if (!Mesh.Vertices.empty())
            glColorPointer(3, GL_FLOAT, VertexStride, &v->Color);
    }

    auto drawRun = [&](const TRun& r, int32_t texId) {
        if (r.IndexCount == 0)
            return;
        if (texId > 0)
            DrawTexturedRun(Mesh, r, texId, opts);
        else
            glDrawElements(GL_TRIANGLES, GLsizei(r.IndexCount), GL_UNSIGNED_INT,
                           e.Indices.data() + r.FirstIndex);
    };

    if (O.OverrideTexId) {
        // Every face carries the same id: one bind, then all runs.
        CallHook(O, O.TexId);
        for (const TRun& r : e.Runs)
            drawRun(r, O.TexId);
    } else {
        for (const TRun& r : e.Runs) {
            CallHook(O, r.TexId);
            drawRun(r, r.TexId);
        }
    }
    CallHook(O, 0);

    // Leave the current colour as immediate drawing would: defined by the caller next.
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
}

void TMeshDrawCache::DrawTexturedRun(const TMeshData& Mesh, const TRun& Run, int32_t TexId,
                                     const TMeshDrawOptions& O)
{
    // Texture coordinates belong to face corners, so a textured run is drawn from
    // de-indexed arrays: position 3, normal 3, colour 3, UV 2 per corner.
    (void)TexId;
    const size_t n = Mesh.Vertices.size();
    const bool perVertexColors = O.VertexColors && O.VertexColors->size() >= n;
    Scratch.clear();
    for (uint32_t fi = Run.FirstFace; fi < Run.FirstFace + Run.FaceCount; ++fi) {
        const TMeshFace& f = Mesh.Faces[fi];
        if (!FaceIsDrawable(f, n))
            continue;
        for (int32_t k = 1; k + 1 < f.Count; ++k) {
            const int32_t corners[3] = {0, k, k + 1};
            for (int32_t c : corners) {
                const TMeshVertex& v = Mesh.Vertices[size_t(f.Indices[size_t(c)])];
                const TVec3 col =
                    perVertexColors ? (*O.VertexColors)[size_t(f.Indices[size_t(c)])] : v.Color;
                const TVec2 uv = f.UVs[size_t(c)];
                const float rec[11] = {v.Position.X, v.Position.Y, v.Position.Z, v.Normal.X,
                                       v.Normal.Y,   v.Normal.Z,   col.X,        col.Y,
                                       col.Z,        uv.U,         uv.V};
                Scratch.insert(Scratch.end(), rec, rec + 11);
            }
        }
    }
    if (Scratch.empty())
        return;
    const GLsizei stride = GLsizei(11 * sizeof(float));
    glVertexPointer(3, GL_FLOAT, stride, Scratch.data());
    glNormalPointer(GL_FLOAT, stride, Scratch.data() + 3);
    if (!O.UniformColor)
        glColorPointer(3, GL_FLOAT, stride, Scratch.data() + 6);
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, stride, Scratch.data() + 9);
    glDrawArrays(GL_TRIANGLES, 0, GLsizei(Scratch.size() / 11));
    glDisableClientState(GL_TEXTURE_COORD_ARRAY);
    // Back to the mesh's own arrays for the runs that follow.
    if (!Mesh.Vertices.empty()) {
        const TMeshVertex* v = Mesh.Vertices.data();
        glVertexPointer(3, GL_FLOAT, VertexStride, &v->Position);
        glNormalPointer(GL_FLOAT, VertexStride, &v->Normal);
        if (!O.UniformColor) {
            if (perVertexColors)
                glColorPointer(3, GL_FLOAT, 0, O.VertexColors->data());
            else
                glColorPointer(3, GL_FLOAT, VertexStride, &v->Color);
        }
    }
}
