// Opening crafted files that repeat a costly entry: one budget for the whole file, both for
// the modifier stacks the first drawing would evaluate and for the textures it imports.
#include "base/uDocumentIds.h"
#include "base/uMesh.h"
#include "document/uLoadBudget.h"
#include "document/uProjectDocument.h"
#include "image/uImageCodecs.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uProjectTime.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "tests/document/hostile_scene_files.h"
#include "tests/document/project_file_fixture.h"
#include "tests/image/crafted_image_files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace HostileFiles;

namespace {

class LoadBudgetTest : public TProjectFileFixture {
protected:
    LoadBudgetTest() : TProjectFileFixture("quill_load_budget_") {}
    std::string Write(const std::string& Name, const std::string& Text) const
    {
        const std::string path = PathOf(Name);
        std::ofstream(path, std::ios::binary) << Text;
        return path;
    }
};

std::string ArrayOfCubes(int Objects, int Side)
{
    std::string body;
    const std::string grid =
        ModifierBlock("array_2d", "CountX=" + std::to_string(Side) +
                                      "\r\nCountY=" + std::to_string(Side) + "\r\n");
    for (int i = 0; i < Objects; ++i)
        body += ObjectBlock(10 + i, ptCube, grid, 1);
    return SceneHead("NOTEX\r\n", Objects) + body;
}

std::string SubdividedSpheres(int Objects, int Levels)
{
    std::string body;
    const std::string subdivide =
        ModifierBlock("subdivide", "Levels=" + std::to_string(Levels) + "\r\n");
    for (int i = 0; i < Objects; ++i)
        body += ObjectBlock(10 + i, ptSphere, subdivide, 1);
    return SceneHead("NOTEX\r\n", Objects) + body;
}

std::string SlowSmoothing(int Smooths, int Iterations)
{
    std::string mods = ModifierBlock("subdivide", "Levels=4\r\n");
    const std::string smooth =
        ModifierBlock("smooth", "Iterations=" + std::to_string(Iterations) + "\r\n");
    for (int i = 0; i < Smooths; ++i)
        mods += smooth;
    return SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, ptSphere, mods, Smooths + 1);
}

std::vector<TSceneObject*> Objects(TScene& Scene)
{
    std::vector<TSceneObject*> out;
    for (TSceneNode* node : Scene.GetNodes())
        if (auto* object = dynamic_cast<TSceneObject*>(node))
            out.push_back(object);
    return out;
}

int HeldCount(TScene& Scene)
{
    int held = 0;
    for (TSceneObject* object : Objects(Scene))
        held += object->IsEvaluationHeld() ? 1 : 0;
    return held;
}

// What every object shows once drawn, summed.
void EvaluateAll(TScene& Scene, int64_t& Vertices, int64_t& Faces)
{
    Vertices = Faces = 0;
    for (TSceneObject* object : Objects(Scene)) {
        const TMeshData* mesh = object->GetEvaluatedMesh();
        if (object->HasEvaluatedMesh()) {
            Vertices += static_cast<int64_t>(mesh->Vertices.size());
            Faces += static_cast<int64_t>(mesh->Faces.size());
        }
    }
}

}  // namespace

// The crafted files at their full sizes, under a quarter of the scene's room and a part of
// the work bound (the default's would make the test slow): the stacks that fit are
// evaluated on opening, the first step past the room left is refused by its estimate
// before it runs, and the long stack stops once its work passes the bound.
TEST_F(LoadBudgetTest, RepeatedCostlyStacksAreHeldAtTheirFullSize)
{
    const struct {
        const char* Name;
        std::string Text;
        int Objects;
        int Admitted;
        int64_t Work;
    } cases[] = {
        // 200 cubes of 24 vertices, each arrayed 200 x 200: 960,000 vertices apiece.
        {"row2", ArrayOfCubes(200, 200), 200, 1, 300000000},
        // 40 spheres subdivided (the level is held to 5): 393,216 faces apiece.
        {"row3", SubdividedSpheres(40, 8), 40, 2, 300000000},
        // One sphere: its 3000 smoothing passes of 100 iterations are the cost.
        {"row4", SlowSmoothing(3000, 100), 1, 0, 30000000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TProjectDocument doc;
        doc.SetEvaluationBudget({1000000, 1000000, c.Work});
        doc.LoadFromFile(Write(std::string(c.Name) + ".qstn", c.Text));
        ASSERT_EQ(static_cast<int>(Objects(doc.GetScene()).size()), c.Objects);
        EXPECT_EQ(HeldCount(doc.GetScene()), c.Objects - c.Admitted);
        EXPECT_NE(doc.GetLoadNotes().find("not applied"), std::string::npos) << doc.GetLoadNotes();
        for (TSceneObject* object : Objects(doc.GetScene())) {
            if (!object->IsEvaluationHeld())
                continue;
            // Drawn as its base mesh, with the reason on the modifier page; the stack is kept.
            EXPECT_EQ(object->GetEvaluatedMesh(), object->GetBaseMesh());
            EXPECT_FALSE(object->HasEvaluatedMesh());
            EXPECT_NE(object->GetEvaluationMessage().find("Not evaluated on opening"),
                      std::string::npos);
            EXPECT_GT(object->GetModifiers().Count(), 0);
        }
    }
}

// Smaller stacks under a smaller budget: what is evaluated afterwards stays within it.
TEST_F(LoadBudgetTest, EvaluatedOutputOfTheWholeSceneStaysWithinTheBudget)
{
    const struct {
        const char* Name;
        std::string Text;
    } cases[] = {
        {"arrays", ArrayOfCubes(30, 6)},        // 864 vertices apiece
        {"spheres", SubdividedSpheres(12, 2)},  // 6144 faces apiece
    };
    TEvaluationBudget budget;
    budget.MaxVertices = 10000;
    budget.MaxFaces = 20000;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TProjectDocument doc;
        doc.LoadFromFile(Write(std::string(c.Name) + ".qstn", c.Text));
        // The default budget is far away; hold again under the small one.
        for (TSceneObject* object : Objects(doc.GetScene()))
            object->MarkMeshDirty();
        EvaluateWithinBudget(doc.GetScene(), budget);
        int64_t vertices = 0, faces = 0;
        EvaluateAll(doc.GetScene(), vertices, faces);
        EXPECT_LE(vertices, budget.MaxVertices);
        EXPECT_LE(faces, budget.MaxFaces);
        EXPECT_GT(vertices, 0);
    }
}

TEST_F(LoadBudgetTest, AHeldStackWaitsForAChangeOfItsOwnModifiers)
{
    TProjectDocument doc;
    doc.SetEvaluationBudget({1000000, 1000000, 3000000000});
    doc.LoadFromFile(Write("spheres.qstn", SubdividedSpheres(4, 5)));
    std::vector<TSceneObject*> objects = Objects(doc.GetScene());
    ASSERT_EQ(HeldCount(doc.GetScene()), 2);
    TSceneObject* held = nullptr;
    for (TSceneObject* object : objects)
        if (object->IsEvaluationHeld())
            held = object;
    ASSERT_NE(held, nullptr);
    // A new frame, or a move, does not release it.
    TModifierEvalContext context;
    context.Frame = 3;
    context.FPS = 30;
    context.Time = 0.1;
    held->SetEvaluationContext(context);
    held->SetPosition({1, 2, 3});
    EXPECT_EQ(held->GetEvaluatedMesh(), held->GetBaseMesh());
    EXPECT_TRUE(held->IsEvaluationHeld());
    // The user lowering the level does.
    auto* subdivide = dynamic_cast<TSubdivideModifier*>(held->GetModifiers().GetItem(0));
    ASSERT_NE(subdivide, nullptr);
    subdivide->SetLevels(1);
    EXPECT_FALSE(held->IsEvaluationHeld());
    held->Evaluate();
    ASSERT_TRUE(held->HasEvaluatedMesh()) << held->GetEvaluationMessage();
    EXPECT_EQ(held->GetEvaluatedMesh()->Faces.size(), held->GetBaseMesh()->Faces.size() * 4);
}

TEST_F(LoadBudgetTest, StackEstimatesBoundWhatTheStacksBuild)
{
    TMeshData cube;
    cube.BuildCube();
    cube.RebuildEdges();
    TMeshData sphere;
    sphere.BuildSphere(24, 16, 0.5f);
    sphere.RebuildEdges();
    const struct {
        const char* Type;
        std::vector<std::string> Params;
    } cases[] = {
        {"array_2d", {"CountX=3", "CountY=4"}},
        {"array_circular", {"Count=5"}},
        {"mirror", {}},
        {"subdivide", {"Levels=2"}},
        {"shell", {}},
        {"slice", {}},
        {"cap_holes", {}},
        {"tessellate", {}},
        {"vertex_weld", {}},
        {"optimize", {}},
        {"smooth", {"Iterations=5"}},
        {"twist", {}},
    };
    for (const TMeshData* source : {&cube, &sphere})
        for (const auto& c : cases) {
            SCOPED_TRACE(c.Type);
            std::unique_ptr<TModifier> m = CreateModifierByTypeId(c.Type);
            ASSERT_NE(m, nullptr);
            std::vector<std::string> lines = c.Params;
            lines.push_back("ENDMOD");
            int32_t index = 0;
            m->LoadParams(lines, index);
            int64_t vertices = -1, faces = -1, edges = -1;
            const bool estimated = m->EstimateOutputSize(*source, vertices, faces, edges);
            TMeshData out;
            m->Apply(*source, out);
            if (!estimated) {
                // No estimate: only a step that keeps the counts may go without one.
                EXPECT_EQ(out.Vertices.size(), source->Vertices.size());
                EXPECT_EQ(out.Faces.size(), source->Faces.size());
                continue;
            }
            EXPECT_LE(static_cast<int64_t>(out.Vertices.size()), vertices);
            EXPECT_LE(static_cast<int64_t>(out.Faces.size()), faces);
        }
}

// Rows 5 and 7: one file named by many entries is decoded once; its entries share one
// texture object, which goes with the last of them.
TEST_F(LoadBudgetTest, AFileNamedByManyEntriesIsImportedOnce)
{
    WriteZeroPng((Dir / "big.png").string(), 256, 256);
    ASSERT_TRUE(WriteProgressiveJpeg((Dir / "scans.jpg").string(), 64, 48, 100));
    const struct {
        const char* Name;
        std::string File;
        int Entries;
    } cases[] = {{"png", "big.png", 10}, {"jpeg", "scans.jpg", 20}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Gpu = TCountingGpu{};
        TProjectDocument doc;
        std::vector<std::string> names(static_cast<size_t>(c.Entries), c.File);
        names[1] = "./" + c.File;  // another spelling of the same file
        names[2] = PathOf(c.File);
        doc.LoadFromFile(Write("scene.qstn", SceneHead(TextureLines(names), 0)));
        ASSERT_EQ(Registry->Count(), c.Entries);
        EXPECT_EQ(Gpu.Created, 1);
        for (int i = 0; i < c.Entries; ++i)
            EXPECT_EQ(Registry->GetTexture(i).GLName, Registry->GetTexture(0).GLName);
        EXPECT_GT(Registry->GetTexture(c.Entries - 1).Width, 0);
        EXPECT_TRUE(doc.GetLoadNotes().empty()) << doc.GetLoadNotes();
        for (int i = c.Entries - 1; i > 0; --i)
            Registry->Delete(i);
        EXPECT_TRUE(Gpu.Deleted.empty());
        Registry->Delete(0);
        EXPECT_EQ(Gpu.Deleted.size(), 1u);
    }
}

// Rows 5 to 7 with distinct files: decoded pixels, inflated data and scans add up over the
// entries, and what passes the budget keeps its place as a placeholder, named in a note.
TEST_F(LoadBudgetTest, TexturesOfOneFileShareOneBudget)
{
    const struct {
        const char* Name;
        TTextureLoadBudget Budget;
        int Entries;
        int Loaded;
    } cases[] = {
        {"pixels", {64 * 64 * 3, UINT64_MAX, UINT64_MAX}, 5, 3},
        {"inflated", {UINT64_MAX, (1 + 64 * 4) * 64 * 2 + 10, UINT64_MAX}, 5, 2},
        {"scans", {UINT64_MAX, UINT64_MAX, 64 * 64 * 100 * 2}, 5, 2},
    };
    for (int i = 0; i < 5; ++i) {
        WriteZeroPng((Dir / ("p" + std::to_string(i) + ".png")).string(), 64, 64);
        ASSERT_TRUE(
            WriteProgressiveJpeg((Dir / ("j" + std::to_string(i) + ".jpg")).string(), 64, 64, 100));
    }
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Gpu = TCountingGpu{};
        Registry->SetLoadBudget(c.Budget);
        std::vector<std::string> names;
        for (int i = 0; i < c.Entries; ++i)
            names.push_back((std::string(c.Name) == "scans" ? "j" : "p") + std::to_string(i) +
                            (std::string(c.Name) == "scans" ? ".jpg" : ".png"));
        TProjectDocument doc;
        doc.LoadFromFile(Write("scene.qstn", SceneHead(TextureLines(names), 0)));
        ASSERT_EQ(Registry->Count(), c.Entries);
        EXPECT_EQ(Gpu.Created, c.Loaded);
        for (int i = 0; i < c.Entries; ++i) {
            EXPECT_EQ(Registry->GetTexture(i).GLName != 0, i < c.Loaded) << i;
            EXPECT_EQ(Registry->GetTexture(i).Name, names[static_cast<size_t>(i)]);
        }
        EXPECT_NE(doc.GetLoadNotes().find(names.back()), std::string::npos) << doc.GetLoadNotes();
    }
}

// Row 6: image data that inflates far past the image's one row is not inflated past it.
TEST_F(LoadBudgetTest, PngDataPastTheImageIsNotInflated)
{
    WriteZeroPng((Dir / "bomb.png").string(), 1, 1, uint64_t{256} << 20);
    TImageDecodeResult r = DecodeImageFile(PathOf("bomb.png"), TImageFileKind::Png, {});
    ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
    EXPECT_EQ(r.Image->Width(), 1);
    EXPECT_LE(r.InflatedBytes, 16u);
    // Named by 50 entries of a scene file, it is still decoded once.
    TProjectDocument doc;
    doc.LoadFromFile(
        Write("scene.qstn", SceneHead(TextureLines(std::vector<std::string>(50, "bomb.png")), 0)));
    EXPECT_EQ(Registry->Count(), 50);
    EXPECT_EQ(Gpu.Created, 1);
}

namespace {

// What the object's stack really builds, step by step: the largest counts met.
void RealPeak(TSceneObject& Object, int64_t& Vertices, int64_t& Faces)
{
    Vertices = Faces = 0;
    TMeshData mesh = *Object.GetBaseMesh();
    const TModifierStack& stack = Object.GetModifiers();
    for (int32_t i = 0; i < stack.Count(); ++i) {
        TMeshData out;
        stack.GetItem(i)->Apply(mesh, out);
        mesh = std::move(out);
        Vertices = std::max<int64_t>(Vertices, static_cast<int64_t>(mesh.Vertices.size()));
        Faces = std::max<int64_t>(Faces, static_cast<int64_t>(mesh.Faces.size()));
    }
}

}  // namespace

// Row 1 at its size: the slice's loose bound compounded through five subdivisions came to
// about 1.9 M vertices; each step estimated from the mesh it really receives fits.
TEST_F(LoadBudgetTest, ASlicedTorusSubdividedFiveTimesOpensWhole)
{
    TProjectDocument doc;
    doc.LoadFromFile(Write("torus.qstn", SlicedTorus(5)));
    std::vector<TSceneObject*> objects = Objects(doc.GetScene());
    ASSERT_EQ(objects.size(), 1u);
    TSceneObject* torus = objects[0];
    EXPECT_FALSE(torus->IsEvaluationHeld()) << torus->GetEvaluationMessage();
    EXPECT_TRUE(doc.GetLoadNotes().empty()) << doc.GetLoadNotes();
    ASSERT_TRUE(torus->HasEvaluatedMesh());
    EXPECT_GT(torus->GetEvaluatedMesh()->Vertices.size(), 150000u);
    EXPECT_LT(torus->GetEvaluatedMesh()->Vertices.size(), 300000u);
}

// The same stack at a small size, under a budget of exactly what it builds.
TEST_F(LoadBudgetTest, AStackIsAdmittedUnderABudgetOfWhatItReallyBuilds)
{
    TProjectDocument doc;
    doc.LoadFromFile(Write("torus.qstn", SlicedTorus(2)));
    TSceneObject* torus = Objects(doc.GetScene()).at(0);
    TEvaluationBudget budget;
    RealPeak(*torus, budget.MaxVertices, budget.MaxFaces);
    torus->MarkMeshDirty();
    EXPECT_TRUE(EvaluateWithinBudget(doc.GetScene(), budget).empty());
    EXPECT_FALSE(torus->IsEvaluationHeld()) << torus->GetEvaluationMessage();
    ASSERT_TRUE(torus->HasEvaluatedMesh());
    EXPECT_EQ(static_cast<int64_t>(torus->GetEvaluatedMesh()->Faces.size()), budget.MaxFaces);
}

// Holding still holds: a stack whose next step, estimated from the mesh it receives,
// would pass what the scene has left or the work bound stops there and shows its stored
// mesh, named in the note.
TEST_F(LoadBudgetTest, AStackWhoseNextRealStepPassesTheBudgetIsHeld)
{
    const std::string sphere2 =
        ObjectBlock(10, ptSphere, ModifierBlock("subdivide", "Levels=2\r\n"), 1);
    const struct {
        const char* Name;
        std::string Text;
        TEvaluationBudget Budget;
        std::vector<std::string> Held;
        const char* Step;  // the modifier named in the held object's message
    } cases[] = {
        // 1536 faces after one level, 6144 after two.
        {"its own step",
         SceneHead("NOTEX\r\n", 1) + sphere2,
         {100000, 5000, 250000000},
         {"O10"},
         "Subdivide"},
        // The subdivision fits; the array of its output does not.
        {"a later step",
         SceneHead("NOTEX\r\n", 1) +
             ObjectBlock(10, ptSphere,
                         ModifierBlock("subdivide", "Levels=1\r\n") +
                             ModifierBlock("array_2d", "CountX=4\r\nCountY=4\r\n"),
                         2),
         {100000, 20000, 250000000},
         {"O10"},
         "Array"},
        // Each fits alone; the second not in what the first left.
        {"the scene's sum",
         SceneHead("NOTEX\r\n", 2) + sphere2 +
             ObjectBlock(11, ptSphere, ModifierBlock("subdivide", "Levels=2\r\n"), 1),
         {100000, 10000, 250000000},
         {"O11"},
         "Subdivide"},
        // The work: the subdivision fits in the bound (the sphere's 986 vertices and faces
        // copied and received, 3074 built: 235,248 units), the smoothing of its output not.
        {"work",
         SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, ptSphere,
                                                 ModifierBlock("subdivide", "Levels=1\r\n") +
                                                     ModifierBlock("smooth", "Iterations=1\r\n"),
                                                 2),
         {100000, 100000, 300000},
         {"O10"},
         "Smooth"},
        // What the first object leaves of the bound (it is charged 751,344 units) is less
        // than the copy of the second's source (55,216): it stops at its first enabled
        // step, the disabled one skipped.
        {"work spent",
         SceneHead("NOTEX\r\n", 2) + sphere2 +
             ObjectBlock(11, ptSphere,
                         "BEGINMOD twist 1\r\nID 0\r\nENABLED 0\r\nENDMOD\r\n" +
                             ModifierBlock("subdivide", "Levels=1\r\n"),
                         2),
         {100000, 100000, 780000},
         {"O11"},
         "Subdivide"},
        // The first object fills the room exactly (four cubes: 96 vertices, 24 faces):
        // the next is held at its first enabled step without running anything.
        {"room full",
         SceneHead("NOTEX\r\n", 2) +
             ObjectBlock(10, ptCube, ModifierBlock("array_2d", "CountX=2\r\nCountY=2\r\n"), 1) +
             ObjectBlock(11, ptSphere,
                         "BEGINMOD twist 1\r\nID 0\r\nENABLED 0\r\nENDMOD\r\n" +
                             ModifierBlock("reverse_normals", ""),
                         2),
         {96, 24, 250000000},
         {"O11"},
         "Reverse Normals"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TProjectDocument doc;
        doc.LoadFromFile(Write("scene.qstn", c.Text));
        for (TSceneObject* object : Objects(doc.GetScene()))
            object->MarkMeshDirty();
        EXPECT_EQ(EvaluateWithinBudget(doc.GetScene(), c.Budget), c.Held);
        for (TSceneObject* object : Objects(doc.GetScene())) {
            if (!object->IsEvaluationHeld())
                continue;
            EXPECT_FALSE(object->HasEvaluatedMesh());
            EXPECT_NE(object->GetEvaluationMessage().find(c.Step), std::string::npos)
                << object->GetEvaluationMessage();
        }
    }
}

// The meshes built while opening are those the first drawing keeps: it gives every object
// the context of the project's frame, which must not make them dirty again.
TEST_F(LoadBudgetTest, TheEvaluationDoneOnOpeningIsTheOneTheFirstFrameKeeps)
{
    // A composite owner arraying its child's output, and the child's own stack.
    const std::string text =
        SceneHead("NOTEX\r\n", 2) +
        ObjectBlock(10, ptCube, ModifierBlock("array_2d", "CountX=3\r\nCountY=2\r\n"), 1) +
        ObjectBlock(11, ptTorus, ModifierBlock("subdivide", "Levels=1\r\n"), 1, 10) +
        "BEGIN_ANIMATION\r\nPROJECT 0 100 7 24 0\r\nEND_ANIMATION\r\n";
    TProjectDocument doc;
    doc.LoadFromFile(Write("scene.qstn", text));
    const TProjectTime& time = doc.GetProjectTime();
    ASSERT_EQ(time.GetCurrentFrame(), 7);
    std::vector<uint64_t> serials;
    for (TSceneObject* object : Objects(doc.GetScene())) {
        ASSERT_TRUE(object->HasEvaluatedMesh()) << object->Name;
        serials.push_back(object->GetMeshSerial());
    }
    // As the drawing does: parents first, each object the context of the project's frame.
    TModifierEvalContext context;
    context.Frame = time.GetCurrentFrame();
    context.FPS = time.GetFPS();
    context.Time = double(context.Frame) / double(context.FPS);
    for (TSceneObject* object : Objects(doc.GetScene()))
        object->SetEvaluationContext(context);
    std::vector<uint64_t> after;
    for (TSceneObject* object : Objects(doc.GetScene())) {
        EXPECT_FALSE(object->IsMeshDirty()) << object->Name;
        object->GetEvaluatedMesh();
        after.push_back(object->GetMeshSerial());
    }
    EXPECT_EQ(after, serials);
}

namespace {

// A copy of a PNG without its last Bytes bytes.
void WriteCutPng(const std::string& Path, uint32_t Side, uint64_t Bytes)
{
    WriteZeroPng(Path, Side, Side);
    fs::resize_file(Path, fs::file_size(Path) - Bytes);
}

}  // namespace

// Row 4 at a small size. A PNG whose end is cut off claims more bytes than it has: it is
// refused before anything is inflated, and charged nothing. One whose data, whole as
// chunks, stops after three quarters of its rows fails after inflating them, and that work
// is charged, so a second image that would have fitted beside nothing no longer fits. A
// failed file named 16 times is decoded once.
TEST_F(LoadBudgetTest, ADecodeThatFailsPartWayIsChargedWhatItDid)
{
    const uint64_t whole = 512 * (1 + 512 * 4);
    WriteCutPng(PathOf("cut.png"), 512, 64);
    WriteZeroPng(PathOf("short.png"), 512, 512, whole / 4 * 3);
    WriteZeroPng(PathOf("good.png"), 512, 512);
    const TImageDecodeResult cut = DecodeImageFile(PathOf("cut.png"), TImageFileKind::Png, {});
    EXPECT_EQ(cut.Status, TImageDecodeStatus::DecodeFailed);
    EXPECT_EQ(cut.Message, "The PNG file is truncated.");
    EXPECT_EQ(cut.InflatedBytes, 0u);
    EXPECT_EQ(cut.DecodedPixels, 0u);
    const TImageDecodeResult part = DecodeImageFile(PathOf("short.png"), TImageFileKind::Png, {});
    ASSERT_EQ(part.Status, TImageDecodeStatus::DecodeFailed);
    EXPECT_GT(part.InflatedBytes, whole / 2);
    EXPECT_LT(part.InflatedBytes, whole);
    EXPECT_GT(part.DecodedPixels, 0u);
    // Refused before its data: nothing done, nothing charged.
    TImageSizeLimits tight;
    tight.MaxInflatedBytes = whole - 1;
    TImageDecodeResult refused = DecodeImageFile(PathOf("good.png"), TImageFileKind::Png, tight);
    EXPECT_EQ(refused.Status, TImageDecodeStatus::TooLarge);
    EXPECT_TRUE(refused.OverBudget);
    EXPECT_EQ(refused.InflatedBytes, 0u);

    for (const char* failing : {"short.png", "cut.png"}) {
        SCOPED_TRACE(failing);
        Registry->Clear();
        Registry->SetLoadBudget({UINT64_MAX, whole + 10, UINT64_MAX});
        std::vector<std::string> names(16, failing);
        names.push_back("good.png");
        TProjectDocument doc;
        doc.LoadFromFile(Write("scene.qstn", SceneHead(TextureLines(names), 0)));
        ASSERT_EQ(Registry->Count(), 17);
        const bool charged = std::string(failing) == "short.png";
        EXPECT_EQ(Gpu.Created, charged ? 0 : 1);
        Gpu.Created = 0;
        EXPECT_EQ(doc.GetLoadNotes().find("good.png") != std::string::npos, charged)
            << doc.GetLoadNotes();
        // Only the first entry decoded it: no later one was refused for the budget.
        EXPECT_EQ(doc.GetLoadNotes().find(failing), std::string::npos) << doc.GetLoadNotes();
    }
}

// Row 5: a file past what is left is refused before decoding and charged nothing, so the
// one after it, which fits, loads.
TEST_F(LoadBudgetTest, AFileRefusedBeforeDecodingLeavesTheBudgetToTheNext)
{
    WriteZeroPng(PathOf("a.png"), 64, 64);
    WriteZeroPng(PathOf("b.png"), 64, 64);
    WriteZeroPng(PathOf("big.png"), 256, 256);
    ASSERT_TRUE(WriteProgressiveJpeg(PathOf("a.jpg"), 64, 64, 10));
    ASSERT_TRUE(WriteProgressiveJpeg(PathOf("b.jpg"), 64, 64, 10));
    ASSERT_TRUE(WriteProgressiveJpeg(PathOf("big.jpg"), 256, 256, 10));
    const TImageDecodeResult png = DecodeImageFile(PathOf("a.png"), TImageFileKind::Png, {});
    const TImageDecodeResult jpeg = DecodeImageFile(PathOf("a.jpg"), TImageFileKind::Jpeg, {});
    ASSERT_EQ(png.Status, TImageDecodeStatus::Ok);
    ASSERT_EQ(jpeg.Status, TImageDecodeStatus::Ok);
    ASSERT_LT(jpeg.ScanPixels, 256u * 256u);  // one scan of big.jpg passes what b.jpg needs
    const struct {
        const char* Name;
        TTextureLoadBudget Budget;
        const char* Extension;
    } cases[] = {
        {"pixels", {2 * 64 * 64 + 10, UINT64_MAX, UINT64_MAX}, ".png"},
        {"inflated", {UINT64_MAX, 2 * png.InflatedBytes + 10, UINT64_MAX}, ".png"},
        {"scans", {UINT64_MAX, UINT64_MAX, 2 * jpeg.ScanPixels + 10}, ".jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        Gpu = TCountingGpu{};
        Registry->SetLoadBudget(c.Budget);
        const std::vector<std::string> names = {std::string("a") + c.Extension,
                                                std::string("big") + c.Extension,
                                                std::string("b") + c.Extension};
        TProjectDocument doc;
        doc.LoadFromFile(Write("scene.qstn", SceneHead(TextureLines(names), 0)));
        ASSERT_EQ(Registry->Count(), 3);
        EXPECT_NE(Registry->GetTexture(0).GLName, 0u);
        EXPECT_EQ(Registry->GetTexture(1).GLName, 0u);
        EXPECT_NE(Registry->GetTexture(2).GLName, 0u);
        EXPECT_NE(doc.GetLoadNotes().find(names[1]), std::string::npos) << doc.GetLoadNotes();
        EXPECT_EQ(doc.GetLoadNotes().find(names[2]), std::string::npos) << doc.GetLoadNotes();
    }
}

// Rows 2 and 3 at small sizes: a long boundary loop capped and a weld whose threshold
// reaches every vertex are admitted and evaluated on opening.
TEST_F(LoadBudgetTest, CapsOfLongLoopsAndWideWeldsOpenWhole)
{
    const struct {
        const char* Name;
        std::string Text;
        size_t Vertices, Faces;
    } cases[] = {
        // 1000 welded quads and their one loop of 2002 corners closed by 2000 triangles.
        {"capped strip", CappedLongStrip(1), 2002, 3000},
        // Every vertex welded into one: no face is left.
        {"welded sphere", WeldedSphere(2, "1000"), 1, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TProjectDocument doc;
        doc.LoadFromFile(Write("scene.qstn", c.Text));
        TSceneObject* object = Objects(doc.GetScene()).at(0);
        EXPECT_FALSE(object->IsEvaluationHeld()) << object->GetEvaluationMessage();
        ASSERT_TRUE(object->HasEvaluatedMesh()) << object->GetEvaluationMessage();
        EXPECT_FALSE(object->IsMeshDirty());
        EXPECT_EQ(object->GetEvaluatedMesh()->Vertices.size(), c.Vertices);
        EXPECT_EQ(object->GetEvaluatedMesh()->Faces.size(), c.Faces);
        EXPECT_TRUE(doc.GetLoadNotes().empty()) << doc.GetLoadNotes();
    }
}

namespace {

// Each object's mesh after opening, beside the one the editor evaluates for it afresh.
void ExpectEditorMeshes(TScene& Scene)
{
    for (TSceneObject* object : Objects(Scene)) {
        SCOPED_TRACE(object->Name);
        EXPECT_FALSE(object->IsEvaluationHeld()) << object->GetEvaluationMessage();
        const TMeshData opened = *object->GetEvaluatedMesh();
        object->MarkMeshDirty();
        const TMeshData* edited = object->GetEvaluatedMesh();
        EXPECT_EQ(opened.Vertices, edited->Vertices);
        EXPECT_EQ(opened.Faces, edited->Faces);
    }
}

}  // namespace

// Scenes whose objects the editor evaluates within their limits, together within the
// scene's room and the work bound, reopen whole, each mesh the editor's: a shell after a
// subdivision, which gets no rim on a closed mesh, near the size one object may build;
// an ordinary scene whose objects build more than 1,000,000 vertices together.
TEST_F(LoadBudgetTest, OrdinaryScenesWithinTheRoomOpenWhole)
{
    const struct {
        const char* Name;
        std::string Text;
        int64_t AtLeastVertices;  // what the objects build together
    } cases[] = {
        {"one shelled sphere", ShelledSpheres(1, 5, "0.05"), 700000},
        {"terrains, a torus and spheres", OrdinaryScene(128, 12, 4), 1100000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TProjectDocument doc;
        doc.LoadFromFile(Write("scene.qstn", c.Text));
        EXPECT_TRUE(doc.GetLoadNotes().empty()) << doc.GetLoadNotes();
        EXPECT_EQ(HeldCount(doc.GetScene()), 0);
        int64_t vertices = 0, faces = 0;
        EvaluateAll(doc.GetScene(), vertices, faces);
        EXPECT_GE(vertices, c.AtLeastVertices);
        ExpectEditorMeshes(doc.GetScene());
    }
}

// A stack the editor fails by its own limits, or a composite past its limit, fails the same
// way on opening, with the editor's message: it is not held, and no note names it.
TEST_F(LoadBudgetTest, AStackTheEditorFailsFailsTheSameWayOnOpening)
{
    const std::string arrays = ModifierBlock("array_2d", "CountX=40\r\nCountY=40\r\n");
    const std::string big = ModifierBlock("array_2d", "CountX=150\r\nCountY=150\r\n");
    const struct {
        const char* Name;
        std::string Text;
        uint64_t Failing;
        const char* Message;
    } cases[] = {
        // 24 x 90,000 vertices.
        {"an array",
         SceneHead("NOTEX\r\n", 1) +
             ObjectBlock(10, ptCube, ModifierBlock("array_2d", "CountX=300\r\nCountY=300\r\n"), 1),
         10, "Array 2D: output exceeds limits (2160000 verts/540000 faces; limit 1000000/1000000)"},
        // The owner repeats its child's 38,400 vertices 1600 times.
        {"an array of a child's array",
         SceneHead("NOTEX\r\n", 2) + ObjectBlock(10, ptCube, arrays, 1) +
             ObjectBlock(11, ptCube, arrays, 1, 10),
         10,
         "Array 2D: output exceeds limits (61440000 verts/15360000 faces; limit 1000000/1000000)"},
        // Two children of 540,000 vertices each.
        {"a composite past its limit",
         SceneHead("NOTEX\r\n", 3) + ObjectBlock(10, ptCube, ModifierBlock("stretch", ""), 1) +
             ObjectBlock(11, ptCube, big, 1, 10) + ObjectBlock(12, ptCube, big, 1, 10),
         10, "GatherDescendantMesh: composite exceeds size limits"},
    };
    for (const TEvaluationBudget& budget :
         {TEvaluationBudget{}, TEvaluationBudget{1200000, 1200000, 3000000000}})
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(c.Name) + " in a room of " +
                         std::to_string(budget.MaxVertices));
            TProjectDocument doc;
            doc.SetEvaluationBudget(budget);
            doc.LoadFromFile(Write("scene.qstn", c.Text));
            EXPECT_TRUE(doc.GetLoadNotes().empty()) << doc.GetLoadNotes();
            EXPECT_EQ(HeldCount(doc.GetScene()), 0);
            auto* failing = dynamic_cast<TSceneObject*>(
                doc.GetScene().FindNodeById(static_cast<uint32_t>(c.Failing)));
            ASSERT_NE(failing, nullptr);
            EXPECT_FALSE(failing->HasEvaluatedMesh());
            EXPECT_EQ(failing->GetEvaluationMessage(), c.Message);
            // The editor, asked again, says the same.
            failing->MarkMeshDirty();
            failing->GetEvaluatedMesh();
            EXPECT_EQ(failing->GetEvaluationMessage(), c.Message);
        }
}

// Row 4 at a small depth: each cube owns the composite of all the cubes below it, which
// doubles with every level until it passes the composite's limit. Every owner past it is
// refused before it copies anything: the work of the whole open stays within a few times
// the price of the meshes really built, where copying each refused composite first would
// cost about a million vertices' worth per owner. The gathering is charged: an owner's
// evaluation costs at least its composite's copy and the evaluator's copy of that input.
TEST_F(LoadBudgetTest, ACompositeChainIsRefusedBeforeItCopies)
{
    constexpr int kDepth = 40;
    TProjectDocument doc;
    doc.LoadFromFile(Write("chain.qstn", NestedStretchedCubes(kDepth)));
    EXPECT_TRUE(doc.GetLoadNotes().empty()) << doc.GetLoadNotes();
    TScene& scene = doc.GetScene();
    int64_t vertices = 0, faces = 0;
    EvaluateAll(scene, vertices, faces);
    int refused = 0, built = 0;
    TSceneObject* largest = nullptr;
    for (TSceneObject* object : Objects(scene)) {
        EXPECT_FALSE(object->IsEvaluationHeld());
        if (object->HasEvaluatedMesh()) {
            ++built;
            if (!largest || object->GetEvaluatedMesh()->Vertices.size() >
                                largest->GetEvaluatedMesh()->Vertices.size())
                largest = object;
        } else {
            ++refused;
            EXPECT_EQ(object->GetEvaluationMessage(),
                      "GatherDescendantMesh: composite exceeds size limits");
        }
    }
    EXPECT_GT(refused, kDepth / 2);
    EXPECT_GT(built, 10);
    ASSERT_NE(largest, nullptr);
    EXPECT_GT(largest->GetEvaluatedMesh()->Vertices.size(), 500000u);

    for (TSceneObject* object : Objects(scene))
        object->MarkMeshDirty();
    int64_t used = 0;
    EXPECT_TRUE(EvaluateWithinBudget(scene, TEvaluationBudget{}, nullptr, &used).empty());
    const int64_t visits = int64_t{kDepth} * kDepth * kCompositeVisitUnits;
    EXPECT_LE(used, 4 * MeshWorkUnits(vertices, faces) + visits);
    EXPECT_GT(used, MeshWorkUnits(vertices, faces));

    const TMeshData composite = *largest->GetEvaluatedMesh();
    largest->MarkMeshDirty();
    TWorkMeter meter;
    EXPECT_FALSE(largest->EvaluateWithin({kDefaultEvalLimit, kDefaultEvalLimit, &meter}).Stopped);
    EXPECT_GE(meter.Used(), 2 * MeshWorkUnits(composite));
}

// The room and the meter belong to the open: the context an object keeps has no meter,
// and the editor's next evaluation runs without one, under the object's own limits.
TEST_F(LoadBudgetTest, AnObjectKeepsNoMeterAfterOpening)
{
    TProjectDocument doc;
    doc.LoadFromFile(Write("scene.qstn", SubdividedSpheres(1, 2)));
    TSceneObject* sphere = Objects(doc.GetScene()).at(0);
    int64_t used = 0;
    {
        TWorkMeter meter;
        TModifierEvalContext context;
        context.Frame = 5;
        context.FPS = 25;
        context.Meter = &meter;
        const TEvaluationBounds bounds{1000, 1000, &meter};
        const TBoundedEvaluation outcome = sphere->EvaluateInContext(context, &bounds);
        EXPECT_TRUE(outcome.Stopped);
        EXPECT_EQ(outcome.Step, "Subdivide");
        EXPECT_EQ(sphere->GetEvalContext().Meter, nullptr);
        used = meter.Used();
        EXPECT_GT(used, 0);
    }
    // Failed by the bounds, not held here: the caller holds. Marked dirty, the editor
    // evaluates it within its own limits and charges nothing.
    EXPECT_FALSE(sphere->IsEvaluationHeld());
    sphere->MarkMeshDirty();
    ASSERT_TRUE(sphere->HasEvaluatedMesh() || sphere->GetEvaluatedMesh() != nullptr);
    EXPECT_TRUE(sphere->HasEvaluatedMesh()) << sphere->GetEvaluationMessage();
    EXPECT_EQ(sphere->GetEvaluatedMesh()->Faces.size(), sphere->GetBaseMesh()->Faces.size() * 16);
}
