#include <gtest/gtest.h>

#include <string>

#include "base/uMesh.h"
#include "scene/uScene.h"
#include "scene/uSceneStatistics.h"

namespace {

// The text up to the process figures, which depend on the running process.
std::string CountsPart(const std::string& text)
{
    return text.substr(0, text.find("\r\n  Process Memory:"));
}

}  // namespace

TEST(SceneStatistics, EmptySceneText)
{
    TScene scene;
    const std::string text = scene.GetStatisticsText();
    EXPECT_EQ(CountsPart(text), "Scene Statistics:\r\n"
                                "  Objects: 0\r\n"
                                "  Vertices: 0\r\n"
                                "  Triangles: 0\r\n"
                                "  Unique Textures: 0\r\n"
                                "  Est. Mesh Memory: 0 KB (0.00 MB)");
    // The process lines: whole KB, two decimals of MB, one decimal of CPU, no final break.
    const std::string tail = text.substr(CountsPart(text).size());
    EXPECT_EQ(tail.rfind("\r\n  Process Memory: ", 0), 0u) << tail;
    const size_t open = tail.find(" KB (");
    const std::string cpuLabel = " MB)\r\n  CPU Usage: ";
    const size_t mb = tail.find(cpuLabel);
    ASSERT_NE(open, std::string::npos) << tail;
    ASSERT_NE(mb, std::string::npos) << tail;
    EXPECT_EQ(tail[mb - 3], '.');  // two decimals
    const std::string cpu = tail.substr(mb + cpuLabel.size());
    ASSERT_GE(cpu.size(), 4u) << tail;
    EXPECT_TRUE(cpu[0] >= '0' && cpu[0] <= '9') << tail;
    EXPECT_EQ(cpu.back(), '%');
    EXPECT_EQ(cpu[cpu.size() - 3], '.');  // one decimal
    EXPECT_GT(GetProcessMemoryKB(), 0);
}

TEST(SceneStatistics, OneCubeCountsFacesAsTriangles)
{
    TScene scene;
    scene.AddPrimitive(ptCube);
    EXPECT_EQ(CountsPart(scene.GetStatisticsText()),
              "Scene Statistics:\r\n"
              "  Objects: 1\r\n"
              "  Vertices: 24\r\n"
              "  Triangles: 12\r\n"
              "  Unique Textures: 0\r\n"
              "  Est. Mesh Memory: 0 KB (0.00 MB)");  // 24 * 32 + 24 * 4 = 864 bytes
}

TEST(SceneStatistics, MemoryEstimateSumsVerticesAndCorners)
{
    TScene scene;
    scene.AddPrimitive(ptSphere);
    scene.AddPrimitive(ptTorus);
    int64_t bytes = 0;
    for (const TSceneNode* n : scene.GetRoot()->GetChildren()) {
        const TMeshData* mesh =
            const_cast<TSceneObject*>(dynamic_cast<const TSceneObject*>(n))->GetEvaluatedMesh();
        bytes += static_cast<int64_t>(mesh->Vertices.size()) * 32;
        for (const TMeshFace& f : mesh->Faces)
            bytes += f.Count * 4;
    }
    EXPECT_EQ(scene.EstimateMeshMemoryKB(), bytes / 1024);
    EXPECT_EQ(scene.CountVertices(), 386 + 384);
    EXPECT_EQ(scene.CountObjects(), 2);
}

TEST(SceneStatistics, HiddenGroupHidesItsWholeSubtree)
{
    TScene scene;
    TSceneGroup* group = scene.CreateGroup("Hidden", nullptr, 0);
    TSceneObject* inside = scene.AddPrimitive(ptCube);
    scene.ReparentNode(inside, group, 0, true);
    TSceneObject* outside = scene.AddPrimitive(ptPlane);
    group->SetVisible(false);
    EXPECT_TRUE(inside->GetVisible());
    EXPECT_EQ(scene.CountObjects(), 1);
    EXPECT_EQ(scene.CountVertices(), 4);
    EXPECT_EQ(scene.CountTriangles(), 2);
    const auto inputs = GatherContactInputs(scene);
    ASSERT_EQ(inputs.size(), 1u);
    EXPECT_EQ(inputs[0].Node, outside);
}

TEST(SceneStatistics, UniqueTexturesCountObjectAndFaceIds)
{
    TScene scene;
    TSceneObject* a = scene.AddPrimitive(ptPlane);
    a->TexId = 2;
    auto mesh = std::make_unique<TMeshData>();
    mesh->BuildCube();
    for (size_t i = 0; i < mesh->Faces.size(); ++i)
        mesh->Faces[i].TexId = i < 3 ? 2 : 3;
    scene.AddMeshObject("Textured", std::move(mesh), nullptr);
    EXPECT_EQ(scene.CountUniqueTextures(), 2);
    TSceneObject* c = scene.AddPrimitive(ptCube);
    c->TexId = 7;
    EXPECT_EQ(scene.CountUniqueTextures(), 3);
}

TEST(SceneStatistics, CpuSamplerReportsHundredthsOfASecondCappedAtHundred)
{
    TProcessCpuSampler sampler;
    EXPECT_EQ(sampler.Sample(1000, 2000), 0);                                     // first sample
    EXPECT_FLOAT_EQ(sampler.Sample(1000, 2000 + 1000000), 10);                    // 0.1 s
    EXPECT_EQ(sampler.Sample(1000 + 200000000, 2000 + 1000000 + 50000000), 100);  // 25 s
    EXPECT_EQ(sampler.Sample(0, 0), 0);  // times running backwards
    EXPECT_FLOAT_EQ(sampler.Sample(50000, 0), 0.5f);
}

TEST(ContactInputs, SkyboxIsLeftOutAndTerrainOnlyOccludes)
{
    TScene scene;
    TSceneObject* cube = scene.AddPrimitive(ptCube);
    cube->SetPosition({1, 2, 3});
    cube->Color = {0.2f, 0.3f, 0.4f};
    scene.AddPrimitive(ptSkybox);
    TSceneObject* terrain = scene.AddPrimitive(ptTerrain);
    TSceneGroup* group = scene.CreateGroup("G", nullptr, 0);
    group->SetPosition({0, 10, 0});
    TSceneObject* child = scene.AddPrimitive(ptSphere);
    scene.ReparentNode(child, group, 0, true);
    scene.AddMeshObject("Nothing", nullptr, nullptr);  // empty generated mesh still counts

    const auto inputs = GatherContactInputs(scene);
    ASSERT_EQ(inputs.size(), 4u);
    // Visible-walk order: the group's child comes where the group stands (first).
    EXPECT_EQ(inputs[0].Node, child);
    EXPECT_FLOAT_EQ(inputs[0].World[7], 10);
    EXPECT_EQ(inputs[1].Node, cube);
    EXPECT_EQ(inputs[1].Mesh, cube->GetEvaluatedMesh());
    EXPECT_EQ(inputs[1].Color, (TVec3{0.2f, 0.3f, 0.4f}));
    EXPECT_FLOAT_EQ(inputs[1].World[3], 1);
    EXPECT_FLOAT_EQ(inputs[1].World[11], 3);
    EXPECT_TRUE(inputs[1].Receives);
    EXPECT_EQ(inputs[2].Node, terrain);
    EXPECT_FALSE(inputs[2].Receives);
    for (const auto& input : inputs)
        EXPECT_TRUE(input.Occludes);
}
