#include "gl_test_support.h"
#include "render/uMeshDraw.h"

#include <GL/gl.h>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace {

// A current compatibility-profile context for immediate-mode calls.
class MeshDrawTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(gl.MakeCurrent()); }

    void TearDown() override
    {
        TextureBindHook = nullptr;
        gl.DoneCurrent();
    }

    TGLTestContext gl;
};

TMeshData FourTriangles(const std::vector<int32_t>& texIds)
{
    TMeshData m;
    for (int i = 0; i < 3; ++i) {
        TMeshVertex v;
        v.Position = {float(i), float(i % 2), 0};
        m.AddVertex(v);
    }
    for (int32_t id : texIds)
        m.AddTriangle(0, 1, 2, id);
    m.RebuildEdges();
    return m;
}

}  // namespace

TEST_F(MeshDrawTest, DrawFacesBindsOnlyWhenTheTextureChangesThenUnbinds)
{
    std::vector<int32_t> bound;
    TextureBindHook = [&](int32_t id) { bound.push_back(id); };
    const TMeshData m = FourTriangles({2, 2, 0, 2});
    DrawMeshFaces(m);
    EXPECT_EQ(bound, (std::vector<int32_t>{2, 0, 2, 0}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // The first face always counts as a change, even with no texture.
    bound.clear();
    DrawMeshFaces(FourTriangles({0, 0}));
    EXPECT_EQ(bound, (std::vector<int32_t>{0, 0}));
}

TEST_F(MeshDrawTest, DrawingWithoutAHookOrWithBrokenFacesLeavesGLBalanced)
{
    TMeshData m;
    m.BuildCube();
    m.Faces[2].Indices[1] = 500;  // would read past the vertices
    m.Faces[3].Count = 7;
    m.Edges.push_back({0, 900});
    DrawMeshFaces(m);
    DrawMeshEdges(m);
    DrawMeshVertices(m);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
    GLfloat size = 0;
    glGetFloatv(GL_POINT_SIZE, &size);
    EXPECT_EQ(size, 6.0f);
    glGetFloatv(GL_LINE_WIDTH, &size);
    EXPECT_EQ(size, 2.0f);
}

TEST_F(MeshDrawTest, DrawFacesSendsTexCoordsOnlyForTexturedFaces)
{
    TMeshData m;
    for (int i = 0; i < 3; ++i) {
        TMeshVertex v;
        v.Position = {float(i), float(i % 2), 0};
        v.Normal = {0, 0, i == 2 ? -1.0f : 1.0f};
        v.Color = {0.25f * i, 0.5f, 1};
        v.UV = {0.125f * i, 0.75f};
        m.AddVertex(v);
    }
    m.AddTriangle(0, 1, 2, 0);

    auto current = [](GLenum what) {
        GLfloat v[4] = {0, 0, 0, 0};
        glGetFloatv(what, v);
        return std::vector<GLfloat>(v, v + 3);
    };
    glTexCoord2f(9, 9);
    DrawMeshFaces(m);
    EXPECT_EQ(current(GL_CURRENT_TEXTURE_COORDS), (std::vector<GLfloat>{9, 9, 0}));
    // Normal and colour are the last corner's.
    EXPECT_EQ(current(GL_CURRENT_NORMAL), (std::vector<GLfloat>{0, 0, -1}));
    EXPECT_EQ(current(GL_CURRENT_COLOR), (std::vector<GLfloat>{0.5f, 0.5f, 1}));

    m.Faces[0].TexId = 3;
    m.Faces[0].UVs[2] = {0.5f, 0.25f};  // the face's corner UV, not the vertex's
    DrawMeshFaces(m);
    EXPECT_EQ(current(GL_CURRENT_TEXTURE_COORDS), (std::vector<GLfloat>{0.5f, 0.25f, 0}));
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));
}
