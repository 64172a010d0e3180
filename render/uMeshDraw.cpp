// Immediate-mode drawing of meshes into the current OpenGL context.
#include "render/uMeshDraw.h"

#include <GL/gl.h>

namespace {
// Faces that would read outside the vertex array are not drawn.
bool FaceIsDrawable(const TMeshFace& f, size_t vertexCount)
{
    if (f.Count < 3 || f.Count > 4)
        return false;
    for (int32_t k = 0; k < f.Count; ++k)
        if (f.Indices[k] < 0 || static_cast<size_t>(f.Indices[k]) >= vertexCount)
            return false;
    return true;
}
}  // namespace

std::function<void(int32_t)> TextureBindHook;

void DrawMeshFaces(const TMeshData& Mesh)
{
    const auto& Vertices = Mesh.Vertices;
    const auto& Faces = Mesh.Faces;
    const size_t n = Vertices.size();
    bool first = true;
    int32_t current = 0;
    for (const TMeshFace& f : Faces) {
        if (first || f.TexId != current) {
            first = false;
            current = f.TexId;
            if (TextureBindHook)
                TextureBindHook(current);
        }
        if (!FaceIsDrawable(f, n))
            continue;
        glBegin(GL_TRIANGLE_FAN);
        for (int32_t k = 0; k < f.Count; ++k) {
            const TMeshVertex& v = Vertices[f.Indices[k]];
            glNormal3f(v.Normal.X, v.Normal.Y, v.Normal.Z);
            glColor3f(v.Color.X, v.Color.Y, v.Color.Z);
            if (current > 0)
                glTexCoord2f(f.UVs[k].U, f.UVs[k].V);
            glVertex3f(v.Position.X, v.Position.Y, v.Position.Z);
        }
        glEnd();
    }
    if (TextureBindHook)
        TextureBindHook(0);
}

void DrawMeshVertices(const TMeshData& Mesh)
{
    const auto& Vertices = Mesh.Vertices;
    glPointSize(6);
    glBegin(GL_POINTS);
    for (const TMeshVertex& v : Vertices)
        glVertex3f(v.Position.X, v.Position.Y, v.Position.Z);
    glEnd();
}

void DrawMeshEdges(const TMeshData& Mesh)
{
    const auto& Vertices = Mesh.Vertices;
    const auto& Edges = Mesh.Edges;
    const size_t n = Vertices.size();
    glLineWidth(2);
    glBegin(GL_LINES);
    for (const TMeshEdge& e : Edges) {
        if (e.V0 < 0 || e.V1 < 0 || static_cast<size_t>(e.V0) >= n ||
            static_cast<size_t>(e.V1) >= n)
            continue;
        const TVec3& a = Vertices[e.V0].Position;
        const TVec3& b = Vertices[e.V1].Position;
        glVertex3f(a.X, a.Y, a.Z);
        glVertex3f(b.X, b.Y, b.Z);
    }
    glEnd();
}
