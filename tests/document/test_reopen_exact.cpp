// What a reopened project must give back exactly: a terrain's heights and scale, a texture
// whose file name starts or ends with a blank, and a floor build that stays current when a
// typed -0 was saved as 0.
#include "base/uDocumentIds.h"
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "floorplan/uFloorPlanDocument.h"
#include "image/uImageCodecs.h"
#include "image/uTextureRipperImage.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "terrain/uHeightmap.h"
#include "terrain/uNoise.h"
#include "terrain/uTerrainMesh.h"
#include "terrain/uTerrainOps.h"
#include "tests/document/project_file_fixture.h"
#include "tests/image/crafted_image_files.h"

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class ReopenExact : public TProjectFileFixture {
protected:
    ReopenExact() : TProjectFileFixture("quill_reopen_exact_") {}

    // Saves Doc and opens the file into Into.
    void Reopen(TProjectDocument& Doc, TProjectDocument& Into)
    {
        const std::string path = PathOf("project.qstn");
        Doc.SaveToFile(path, true);
        Into.LoadFromFile(path);
    }
};

TSceneObject* ObjectOf(const TProjectDocument& Doc, uint32_t Id)
{
    return dynamic_cast<TSceneObject*>(Doc.GetScene().FindNodeById(Id));
}

// Every vertex Y of a rebuild from the reopened map equals the stored one, bit for bit.
void ExpectMeshRebuiltExactly(TSceneObject& Terrain)
{
    const TMeshData stored = *Terrain.GetBaseMesh();
    TMeshData rebuilt;
    BuildTerrainMesh(&rebuilt, Terrain.GetHeightmap(), Terrain.TerrainSize, Terrain.TerrainHeight);
    ASSERT_EQ(rebuilt.Vertices.size(), stored.Vertices.size());
    size_t differing = 0;
    for (size_t i = 0; i < stored.Vertices.size(); ++i)
        if (std::bit_cast<uint32_t>(rebuilt.Vertices[i].Position.Y) !=
                std::bit_cast<uint32_t>(stored.Vertices[i].Position.Y) ||
            rebuilt.Vertices[i].Position.X != stored.Vertices[i].Position.X ||
            rebuilt.Vertices[i].Position.Z != stored.Vertices[i].Position.Z)
            ++differing;
    EXPECT_EQ(differing, 0u);
}

}  // namespace

TEST_F(ReopenExact, ATerrainMadeAtTheDefaultScaleComesBackWithItAndItsHeights)
{
    const TBrushKernel kernel(33, 0.5f);
    struct TCase {
        const char* Name;
        std::function<void(THeightmap&)> Edit;
    } cases[] = {
        {"flattened and raised a little by the brush",
         [&](THeightmap& Map) {
             Map.Flatten();
             ApplyBrush(&Map, 40, 60, false, 0.6f, bmRaise, &kernel);
         }},
        {"generated, then raised past 1",
         [](THeightmap& Map) {
             TNoiseParams params;
             InitDefaultNoiseParams(params);
             GenerateNoiseTerrain(&Map, params);
             RaiseTerrain(&Map, 0.05f);
         }},
        {"generated, then lowered below 0",
         [](THeightmap& Map) {
             TNoiseParams params;
             InitDefaultNoiseParams(params);
             params.Seed = 7;
             GenerateNoiseTerrain(&Map, params);
             LowerTerrain(&Map, 0.3f);
         }},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TProjectDocument doc;
        TSceneObject* terrain = doc.GetScene().AddPrimitive(ptTerrain);
        c.Edit(*terrain->GetHeightmap());
        terrain->RebuildTerrainMesh();
        const std::unique_ptr<THeightmap> before = terrain->GetHeightmap()->Clone();

        TProjectDocument back;
        Reopen(doc, back);
        TSceneObject* reopened = ObjectOf(back, terrain->GetId());
        ASSERT_NE(reopened, nullptr);
        ASSERT_NE(reopened->GetHeightmap(), nullptr);
        EXPECT_EQ(reopened->TerrainHeight, 0.6f);
        EXPECT_EQ(reopened->TerrainSize, 4.0f);
        const THeightmap& map = *reopened->GetHeightmap();
        ASSERT_EQ(map.GetResolution(), before->GetResolution());
        // A height may come back one step away only where both give the same Y.
        float worst = 0;
        for (int i = 0; i < map.CellCount(); ++i)
            worst = std::max(worst, std::fabs(map.Data()[i] - before->Data()[i]));
        EXPECT_LE(worst, 2e-7f);
        ExpectMeshRebuiltExactly(*reopened);
    }
}

TEST_F(ReopenExact, ATerrainMeshOfAnotherScaleKeepsItsHeightsInsideTheUnitRange)
{
    TProjectDocument doc;
    TSceneObject* terrain = doc.GetScene().AddPrimitive(ptTerrain);
    TNoiseParams params;
    InitDefaultNoiseParams(params);
    GenerateNoiseTerrain(terrain->GetHeightmap(), params);
    terrain->TerrainHeight = 2.5f;
    terrain->RebuildTerrainMesh();

    TProjectDocument back;
    Reopen(doc, back);
    TSceneObject* reopened = ObjectOf(back, terrain->GetId());
    ASSERT_NE(reopened, nullptr);
    EXPECT_NEAR(reopened->TerrainHeight, 2.5f, 1e-6f);
    const THeightmap& map = *reopened->GetHeightmap();
    for (int i = 0; i < map.CellCount(); ++i)
        ASSERT_LE(std::fabs(map.Data()[i]), 1.0f);
}

TEST(TerrainHeightFromY, GivesBackEveryHeightTheBuilderScaled)
{
    // A stride through the floats from 0 to past 2, and their negatives.
    for (uint32_t bits = 0; bits < std::bit_cast<uint32_t>(2.5f); bits += 4093) {
        for (const float h : {std::bit_cast<float>(bits), -std::bit_cast<float>(bits)}) {
            const float y = kDefaultTerrainHeight * h;
            float back = 0;
            ASSERT_TRUE(TerrainHeightFromY(y, kDefaultTerrainHeight, back)) << h;
            ASSERT_EQ(std::bit_cast<uint32_t>(kDefaultTerrainHeight * back),
                      std::bit_cast<uint32_t>(y))
                << h;
        }
    }
    float h = 0;
    EXPECT_FALSE(TerrainHeightFromY(3e38f, kDefaultTerrainHeight, h));
}

TEST_F(ReopenExact, ATextureNameWithOuterBlanksOpensAsTheSameFile)
{
    // A name ending with a blank has no ".png" extension and cannot be imported at all;
    // a folder may end with one.
    TRgbaImage image(2, 2);
    std::string message;
    fs::create_directories(Dir / " dir ");
    for (const char* name : {" lead.png", " dir /inner.png", "plain.png"})
        ASSERT_TRUE(WritePngFile(image, PathOf(name), message)) << message;
    // Also a file the trimmed name would find: the exact one must win.
    ASSERT_TRUE(WritePngFile(TRgbaImage(3, 1), PathOf("lead.png"), message)) << message;
    TProjectDocument doc;
    for (const char* name : {" lead.png", " dir /inner.png", "plain.png"})
        ASSERT_GE(Registry->ImportFile(PathOf(name)), 0) << name;

    TProjectDocument back;
    Reopen(doc, back);
    ASSERT_EQ(Registry->Count(), 3);
    const char* names[] = {" lead.png", " dir /inner.png", "plain.png"};
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(names[i]);
        const TTextureRec& rec = Registry->GetTexture(i);
        EXPECT_EQ(rec.Path, PathOf(names[i]));
        EXPECT_NE(rec.GLName, 0u) << "reopened as a placeholder";
        EXPECT_EQ(rec.Width, 2);
    }
}

// Five 4096 x 4096 images, each within what an import allows, imported as the textures
// window does and put on five cubes: the file reopens with every one of them loaded, and
// the textures of a file still share a budget that an image past it meets.
TEST_F(ReopenExact, FiveLargeTexturesImportedOneByOneReopenLoaded)
{
    WriteZeroPng(PathOf("t0.png"), 4096, 4096);
    TProjectDocument doc;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "t" + std::to_string(i) + ".png";
        if (i > 0)
            fs::copy_file(PathOf("t0.png"), PathOf(name));
        ASSERT_EQ(Registry->ImportFile(PathOf(name)), i);
        doc.GetScene().AddPrimitive(ptCube)->TexId = i + 1;
    }
    ASSERT_EQ(Gpu.Created, 5);

    TProjectDocument back;
    Reopen(doc, back);
    EXPECT_EQ(back.GetLoadNotes(), "");
    ASSERT_EQ(Registry->Count(), 5);
    EXPECT_EQ(Gpu.Created, 10);
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(i);
        EXPECT_NE(Registry->GetTexture(i).GLName, 0u);
        EXPECT_EQ(Registry->GetTexture(i).Width, 4096);
    }

    // The same file opened with a budget of four such images keeps the fifth's place.
    TTextureLoadBudget four;
    four.MaxPixels = 4 * 4096 * 4096;
    Registry->SetLoadBudget(four);
    TProjectDocument tight;
    tight.LoadFromFile(PathOf("project.qstn"));
    ASSERT_EQ(Registry->Count(), 5);
    EXPECT_EQ(Registry->GetTexture(4).GLName, 0u);
    EXPECT_NE(tight.GetLoadNotes().find("t4.png"), std::string::npos) << tight.GetLoadNotes();
}

TEST_F(ReopenExact, AHandWrittenTextureLineWithExtraBlanksStillFindsItsFile)
{
    std::string message;
    ASSERT_TRUE(WritePngFile(TRgbaImage(2, 2), PathOf("brick.png"), message)) << message;
    const std::string path = PathOf("hand.qstn");
    {
        std::ofstream out(path, std::ios::binary);
        out << "#Quillstone\r\nVERSION 8\r\nNOENV\r\nTEX\r\n1\r\n 0   brick.png  \r\nNODES 0\r\n";
    }
    TProjectDocument doc;
    doc.LoadFromFile(path);
    ASSERT_EQ(Registry->Count(), 1);
    EXPECT_NE(Registry->GetTexture(0).GLName, 0u);
}

TEST_F(ReopenExact, AFloorWithATypedNegativeZeroStaysCurrentAfterReopening)
{
    TProjectDocument doc;
    TFloorPlanDocument& plans = doc.GetFloorPlans();
    TFloorPlan* plan = plans.AddPlan("");
    plan->SetPoints({MakeFloorPlanPoint(0, 0), MakeFloorPlanPoint(4, 0), MakeFloorPlanPoint(4, 4),
                     MakeFloorPlanPoint(0, 4), MakeFloorPlanPoint(0, 0)});
    TFloorDefinition* floor = plans.AddBuilding("")->AddFloor(plan->Id(), "");
    floor->SetOverrideSettings(true);
    TFloorSettings s = floor->Settings();
    s.RoofType = rtFlat;
    s.RoofInset = -0.0f;  // the plan window's parser keeps the sign of "-0"
    floor->SetSettings(s);
    const TSceneObject* root = doc.GetScene().AddPrimitive(ptCube);
    plans.SetBinding(root->GetId(), plan->Id(), floor->Id(), kNoId,
                     plans.FloorSourceHash(floor->Id()));

    TProjectDocument back;
    Reopen(doc, back);
    const TFloorPlanBuildBinding* binding = back.GetFloorPlans().FindBinding(root->GetId());
    ASSERT_NE(binding, nullptr);
    EXPECT_FALSE(back.GetFloorPlans().IsBindingStale(binding));
}
