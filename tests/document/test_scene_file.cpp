#include "base/uErrors.h"
#include "base/uMesh.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "document/uSceneFile.h"
#include "document/uSceneFileReader.h"
#include "floorplan/uFloorPlanDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uSceneObject.h"
#include "terrain/uHeightmap.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace fs = std::filesystem;

namespace {
// A modifier that only stores one parameter line, to see the MODS block travel.
class TNoteModifier : public TModifier {
public:
    std::string GetTypeId() const override { return "test.note"; }
    std::string GetDisplayName() const override { return "Note"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override { Dest = Source; }
    std::unique_ptr<TModifier> Clone() const override
    {
        return std::make_unique<TNoteModifier>(*this);
    }
    void SaveParams(std::vector<std::string>& Lines) const override
    {
        Lines.push_back("Note=" + Note);
    }
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override
    {
        for (; Index < static_cast<int32_t>(Lines.size()); ++Index)
            if (StartsWithKey(Lines[Index], "Note="))
                Note = std::string(KeyValueText(Lines[Index], "Note="));
    }
    std::string Note;
};

void RegisterNoteModifier()
{
    if (!FindModifierDescriptor("test.note"))
        RegisterModifier("test.note", "Note", "Deform", []() -> std::unique_ptr<TModifier> {
            return std::make_unique<TNoteModifier>();
        });
}

class SceneFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() /
              ("quill_scene_file_" +
               std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        RegisterNoteModifier();
    }
    void TearDown() override
    {
        if (!HasFailure())
            fs::remove_all(Dir);
    }

    std::string PathOf(const std::string& Name) const { return (Dir / Name).string(); }

    std::string WriteText(const std::string& Name, const std::string& Text) const
    {
        std::ofstream(PathOf(Name), std::ios::binary) << Text;
        return PathOf(Name);
    }

    static std::string ReadText(const std::string& Path)
    {
        std::ifstream in(Path, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    static std::vector<std::string> Lines(const std::string& Path)
    {
        TTextFileReader reader(Path);
        std::vector<std::string> out;
        std::string line;
        while (reader.ReadLine(line))
            out.push_back(line);
        return out;
    }

    fs::path Dir;
};

std::string ExpectLoadError(TProjectDocument& Document, const std::string& Path)
{
    try {
        Document.LoadFromFile(Path);
    } catch (const EGeneralError& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error for " << Path;
    return {};
}

// The smallest hierarchy file: header, version, no environment, no textures, nodes.
std::string MinimalFile(const std::string& Nodes, int Count, int Version = 8)
{
    return "#Quillstone\r\nVERSION " + std::to_string(Version) + "\r\nNOENV\r\nNOTEX\r\nNODES " +
           std::to_string(Count) + "\r\n" + Nodes;
}

std::string GroupBlock(uint64_t Id, uint64_t Parent, const std::string& Name)
{
    return "BEGINNODE\r\nID " + std::to_string(Id) + "\r\nTYPE group\r\nPARENT " +
           std::to_string(Parent) + "\r\nNAME " + Name +
           "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nENDNODE\r\n";
}
}  // namespace

TEST_F(SceneFileTest, EmptySceneWritesEveryBlockInOrder)
{
    TProjectDocument doc;
    const std::string path = PathOf("empty.qstn");
    doc.SaveToFile(path, true);
    const std::string text = ReadText(path);
    ASSERT_GE(text.size(), 2u);
    EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
    const auto lines = Lines(path);
    ASSERT_GT(lines.size(), 40u);
    EXPECT_EQ(lines[0], "#Quillstone");
    EXPECT_EQ(lines[1], "VERSION 8");
    EXPECT_EQ(lines[2], "ENV");
    EXPECT_EQ(lines[3].size(), 16u);  // field of view as a 16-character real
    EXPECT_EQ(lines[26], "NOTEX");
    EXPECT_EQ(lines[27], "PALETTE 0");
    EXPECT_EQ(lines[28], "1.000000 1.000000 1.000000");
    EXPECT_EQ(lines[36], "BEGIN_FLOOR_PLANS");
    size_t nodes = 0;
    while (nodes < lines.size() && lines[nodes].rfind("NODES", 0) != 0)
        ++nodes;
    ASSERT_LT(nodes, lines.size());
    EXPECT_EQ(lines[nodes], "NODES 0");
    EXPECT_EQ(lines[nodes + 1], "BEGIN_ANIMATION");
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    EXPECT_FALSE(fs::exists(path + ".bak"));
}

TEST_F(SceneFileTest, ProjectRoundTripKeepsHierarchyTransformsMeshesAndModifiers)
{
    TProjectDocument doc;
    TScene& scene = doc.GetScene();
    TSceneObject* cube = scene.AddPrimitive(ptCube);
    cube->Name = "Crate";
    cube->SetTransform({1, 2, 3}, {10, 20, 30}, {1, 2, 0.5f});
    cube->Color = {0.25f, 0.5f, 1};
    cube->TexId = 0;
    cube->Blend = vcbVertexOnly;
    cube->Selected = true;
    auto note = std::make_unique<TNoteModifier>();
    note->Note = "keep me";
    const uint32_t noteId = note->GetId();
    cube->AddModifier(std::move(note));
    TSceneGroup* group = scene.CreateGroup("Shelf", nullptr, 0);
    group->SetPosition({0, 1, 0});
    TSceneObject* sphere = scene.AddPrimitive(ptSphere);
    scene.ReparentNode(sphere, group, 0, true);
    TSceneGroup* inner = scene.CreateGroup("Inner", group, 1);
    inner->SetLocked(true);
    inner->SetVisible(false);
    scene.PaletteCount = 2;
    scene.Palette[1] = {1, 0.5f, 0};
    scene.CameraPosition = {4, 5, 6};
    scene.CameraYaw = 45;
    doc.GetEnvironment().SetExposure(1.5f);
    doc.GetAnimation().SetKey(MakeNodePropertyPath(cube->GetId(), kNodePropertyPositionX), 10,
                              MakeFloatPropertyValue(5), MakeFloatPropertyValue(1), 0);

    const std::string path = PathOf("round.qstn");
    doc.SaveToFile(path, true);

    TProjectDocument loaded;
    loaded.LoadFromFile(path);
    TScene& s = loaded.GetScene();
    ASSERT_EQ(s.NodeCount(), 4);
    auto* c = dynamic_cast<TSceneObject*>(s.FindNodeById(cube->GetId()));
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->Name, "Crate");
    EXPECT_EQ(c->GetPosition(), (TVec3{1, 2, 3}));
    EXPECT_EQ(c->GetRotation(), (TVec3{10, 20, 30}));
    EXPECT_EQ(c->GetScale(), (TVec3{1, 2, 0.5f}));
    EXPECT_EQ(c->Color, (TVec3{0.25f, 0.5f, 1}));
    EXPECT_EQ(c->Blend, vcbVertexOnly);
    EXPECT_TRUE(c->Selected);
    ASSERT_NE(c->GetBaseMesh(), nullptr);
    EXPECT_EQ(c->GetBaseMesh()->Vertices.size(), 24u);
    EXPECT_EQ(c->GetBaseMesh()->Faces.size(), 6u);
    EXPECT_EQ(c->GetBaseMesh()->Edges.size(), 24u);
    ASSERT_EQ(c->GetModifiers().Count(), 1);
    auto* m = dynamic_cast<TNoteModifier*>(c->GetModifiers().GetItem(0));
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(m->GetId(), noteId);
    EXPECT_EQ(m->Note, "keep me");

    TSceneNode* g = s.FindNodeById(group->GetId());
    ASSERT_NE(g, nullptr);
    ASSERT_EQ(g->ChildCount(), 2);
    EXPECT_EQ(g->GetChild(0)->GetId(), sphere->GetId());
    EXPECT_EQ(g->GetChild(1)->GetId(), inner->GetId());
    EXPECT_TRUE(g->GetChild(1)->GetLocked());
    EXPECT_FALSE(g->GetChild(1)->GetVisible());
    // Root-level objects come back before root-level groups.
    EXPECT_EQ(s.GetRoot()->GetChild(0)->GetId(), cube->GetId());
    EXPECT_EQ(s.GetRoot()->GetChild(1)->GetId(), group->GetId());

    EXPECT_EQ(s.PaletteCount, 2);
    EXPECT_EQ(s.Palette[1], (TVec3{1, 0.5f, 0}));
    EXPECT_EQ(s.CameraPosition, (TVec3{4, 5, 6}));
    EXPECT_EQ(s.CameraYaw, 45);
    EXPECT_EQ(loaded.GetEnvironment().Exposure, 1.5f);
    ASSERT_NE(loaded.GetAnimation().FindClipByNode(cube->GetId()), nullptr);
    EXPECT_FALSE(loaded.IsModified());

    // Once loaded (root objects before root groups), a save and load is a fixed point.
    const std::string again = PathOf("again.qstn");
    loaded.SaveToFile(again, true);
    TProjectDocument third;
    third.LoadFromFile(again);
    const std::string last = PathOf("last.qstn");
    third.SaveToFile(last, true);
    EXPECT_TRUE(ReadText(again) == ReadText(last)) << "a loaded project saves differently";
}

TEST_F(SceneFileTest, ReaderErrorsNameTheProblemAndLeaveTheProjectAlone)
{
    const std::string objectBlock =
        "BEGINNODE\r\nID 7\r\nTYPE object\r\nPARENT 0\r\nNAME Tri\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL "
        "1 1 1\r\n"
        "VIS 1\r\nLOCK 0\r\nPRIM 8\r\nCOLOR 1 1 1\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n3\r\n";
    const std::string vertices =
        "0 0 0 0 1 0 1 1 1 0 0\r\n1 0 0 0 1 0 1 1 1 0 0\r\n0 0 1 0 1 0 1 1 1 0 0\r\n";
    const struct {
        std::string text;
        std::string message;
    } cases[] = {
        {"#quillstone\r\n", "Not a valid Quillstone scene file (bad header).\r\nPath: "},
        {"#Quillstone\r\nVERSION 9\r\n", "Cannot open this scene: it was saved with a newer file "
                                         "format (v9) than this build of Quillstone "
                                         "supports (v8).\r\nPlease update to the latest version."},
        {"#Quillstone\r\nVERSION x\r\n",
         "Cannot open this scene: the file format (v0) is too old and no longer supported."},
        {MinimalFile("NODE\r\n", 1), "Malformed scene file: expected BEGINNODE, got \"NODE\"."},
        {MinimalFile(GroupBlock(0, 0, "Zero"), 1), "Duplicate node id 0 in scene file."},
        {MinimalFile(GroupBlock(4294967295u, 0, "Sentinel"), 1),
         "Node id 4294967295 exceeds the Win32 document id range."},
        {MinimalFile(GroupBlock(5, 99999999999ull, "Far"), 1),
         "Parent id 99999999999 exceeds the Win32 document id range."},
        {MinimalFile(GroupBlock(5, 0, "A") + GroupBlock(5, 0, "B"), 2),
         "Duplicate node id 5 in scene file."},
        {MinimalFile(GroupBlock(5, 5, "Me"), 1), "Self-parenting node \"Me\" in scene file."},
        {MinimalFile(GroupBlock(5, 6, "A") + GroupBlock(6, 5, "B"), 2),
         "Circular hierarchy in scene file at node \"B\"."},
        {MinimalFile(
             "BEGINNODE\r\nID 5\r\nTYPE lamp\r\nPARENT 0\r\nNAME L\r\nPOS 0 0 0\r\nROT 0 0 0\r\n"
             "SCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\n",
             1),
         "Unsupported node type \"lamp\" in scene file."},
        {MinimalFile(
             "BEGINNODE\r\nID 5\r\nTYPE group\r\nPARENT 0\r\nNAME G\r\nPOS 0 0 0\r\nROT 0 0 0\r\n"
             "SCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nEND\r\n",
             1),
         "Malformed scene file: missing ENDNODE."},
        {MinimalFile(objectBlock + vertices + "1\r\n5 0 1 2 0 0 0\r\nENDNODE\r\n", 1),
         "Malformed scene file: face 0 has 5 corners."},
        {MinimalFile(objectBlock + vertices + "1\r\n3 0 1 9 0 0 0 0 0 0 0\r\nENDNODE\r\n", 1),
         "Malformed scene file: Face 0: vertex index 9 out of range (0..2)"},
        {MinimalFile(objectBlock + "0 0 0\r\n", 1), "Malformed scene file: bad vertex line 0."},
        {MinimalFile(objectBlock + vertices, 1), "Malformed scene file: unexpected end of file."},
        {MinimalFile("", 3), "Malformed scene file: unexpected end of file."},
    };
    TProjectDocument doc;
    TSceneObject* keep = doc.GetScene().AddPrimitive(ptTorus);
    doc.GetEnvironment().SetExposure(2);
    int n = 0;
    for (const auto& c : cases) {
        const std::string path = WriteText("bad" + std::to_string(n++) + ".qstn", c.text);
        const std::string message = ExpectLoadError(doc, path);
        EXPECT_EQ(message.substr(0, c.message.size()), c.message) << c.text;
        ASSERT_EQ(doc.GetScene().NodeCount(), 1);
        EXPECT_EQ(doc.GetScene().FindNodeById(keep->GetId()), keep);
        EXPECT_EQ(doc.GetEnvironment().Exposure, 2);
    }
}

TEST_F(SceneFileTest, OlderVersionsAndTheLayoutWithoutHierarchy)
{
    // Version 2: faces carry no UVs, corners take their vertex's.
    const std::string v2 =
        "#Quillstone\r\nVERSION 2\r\nNOENV\r\nNOTEX\r\nNODES 1\r\n"
        "BEGINNODE\r\nID 3\r\nTYPE object\r\nPARENT 0\r\nNAME Old\r\nPOS 1 0 0\r\nROT 0 0 0\r\nSCL "
        "1 1 1\r\n"
        "VIS 1\r\nLOCK 0\r\nPRIM 8\r\nCOLOR 1 0 0\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n3\r\n"
        "0 0 0 0 1 0 1 0 0 0.25 0.5\r\n1 0 0 0 1 0 1 0 0 0.75 0.5\r\n0 0 1 0 1 0 1 0 0 0.5 1\r\n"
        "1\r\n3 0 1 2 0\r\nENDNODE\r\n";
    TProjectDocument doc;
    doc.LoadFromFile(WriteText("v2.qstn", v2));
    auto* obj = dynamic_cast<TSceneObject*>(doc.GetScene().FindNodeById(3));
    ASSERT_NE(obj, nullptr);
    ASSERT_EQ(obj->GetBaseMesh()->Faces.size(), 1u);
    EXPECT_EQ(obj->GetBaseMesh()->Faces[0].UVs[1], (TVec2{0.75f, 0.5f}));
    EXPECT_EQ(doc.GetScene().LoadVersion, 2);

    // Version 4: 22 environment lines, the camera on lines 21 and 22.
    std::string env4 = "#Quillstone\r\nVERSION 4\r\nENV\r\n";
    for (int i = 0; i < 20; ++i)
        env4 += (i == 1 ? "1.25" : "x") + std::string("\r\n");
    env4 += "7 8 9\r\n30 -10\r\nNOTEX\r\nNODES 0\r\n";
    TProjectDocument doc4;
    const float defaultRadius = doc4.GetEnvironment().ContactRadius;
    doc4.LoadFromFile(WriteText("v4.qstn", env4));
    EXPECT_EQ(doc4.GetEnvironment().Exposure, 1.25f);
    EXPECT_EQ(doc4.GetEnvironment().ContactRadius, defaultRadius);
    EXPECT_EQ(doc4.GetScene().CameraPosition, (TVec3{7, 8, 9}));
    EXPECT_EQ(doc4.GetScene().CameraYaw, 30);
    EXPECT_EQ(doc4.GetScene().CameraPitch, -10);

    // No VERSION and no NODES: the object count stands where TEX would be.
    const std::string legacy =
        "#Quillstone\r\n1\r\nThing\r\n0\r\n1 2 3\r\n0 90 0\r\n2 2 2\r\n0 1 0\r\nTRUE\r\n0\r\n";
    TProjectDocument docL;
    docL.LoadFromFile(WriteText("legacy.qstn", legacy));
    ASSERT_EQ(docL.GetScene().NodeCount(), 1);
    auto* thing = dynamic_cast<TSceneObject*>(docL.GetScene().GetRoot()->GetChild(0));
    ASSERT_NE(thing, nullptr);
    EXPECT_EQ(thing->Name, "Thing");
    EXPECT_EQ(thing->PrimType, ptCube);
    EXPECT_EQ(thing->GetPosition(), (TVec3{1, 2, 3}));
    EXPECT_EQ(thing->GetScale(), (TVec3{2, 2, 2}));
    EXPECT_TRUE(thing->Selected);
    EXPECT_EQ(thing->GetBaseMesh()->Vertices.size(), 24u);  // the primitive's own mesh
}

TEST_F(SceneFileTest, UnknownModifiersAreSkippedAndOutOfRangeEnumsMapped)
{
    const std::string text = MinimalFile(
        "BEGINNODE\r\nID 4\r\nTYPE object\r\nPARENT 0\r\nNAME Odd\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL "
        "1 1 1\r\n"
        "VIS 1\r\nLOCK 0\r\nPRIM 42\r\nCOLOR 1 1 1\r\nTEXID 0\r\nBLEND 9\r\nSEL 0\r\n0\r\n"
        "MODS 2\r\nBEGINMOD nobody.knows 1\r\nID 77\r\nENABLED 1\r\nFoo=1\r\nENDMOD\r\n"
        "BEGINMOD test.note 1\r\nID 78\r\nENABLED 0\r\nNote=hi\r\nENDMOD\r\nENDNODE\r\n",
        1);
    TProjectDocument doc;
    doc.LoadFromFile(WriteText("mods.qstn", text));
    auto* obj = dynamic_cast<TSceneObject*>(doc.GetScene().FindNodeById(4));
    ASSERT_NE(obj, nullptr);
    EXPECT_EQ(obj->PrimType, ptGenerated);
    EXPECT_EQ(obj->Blend, vcbMultiply);
    ASSERT_EQ(obj->GetModifiers().Count(), 1);
    EXPECT_EQ(obj->GetModifiers().GetItem(0)->GetId(), 78u);
    EXPECT_FALSE(obj->GetModifiers().GetItem(0)->GetEnabled());
}

TEST_F(SceneFileTest, TerrainSculptSurvivesSaveAndLoad)
{
    TProjectDocument doc;
    TSceneObject* terrain = doc.GetScene().AddPrimitive(ptTerrain);
    ASSERT_NE(terrain->GetHeightmap(), nullptr);
    THeightmap& map = *terrain->GetHeightmap();
    const int n = map.GetResolution();
    map.Put(3, 5, 0.75f);
    map.Put(n - 1, n - 1, 0.25f);
    terrain->RebuildTerrainMesh();
    const std::string path = PathOf("terrain.qstn");
    doc.SaveToFile(path, true);

    TProjectDocument loaded;
    loaded.LoadFromFile(path);
    auto* back = dynamic_cast<TSceneObject*>(loaded.GetScene().FindNodeById(terrain->GetId()));
    ASSERT_NE(back, nullptr);
    ASSERT_NE(back->GetHeightmap(), nullptr);
    ASSERT_EQ(back->GetHeightmap()->GetResolution(), n);
    EXPECT_NEAR(back->TerrainSize, terrain->TerrainSize, 1e-4f);
    // Heights times the height scale are what the mesh showed.
    EXPECT_NEAR(back->GetHeightmap()->Get(3, 5) * back->TerrainHeight,
                0.75f * terrain->TerrainHeight, 1e-5f);
    EXPECT_NEAR(back->GetHeightmap()->Get(n - 1, n - 1) * back->TerrainHeight,
                0.25f * terrain->TerrainHeight, 1e-5f);
    // Rebuilding the mesh from the recovered map reproduces the stored mesh.
    const TMeshData before = *back->GetBaseMesh();
    back->RebuildTerrainMesh();
    ASSERT_EQ(back->GetBaseMesh()->Vertices.size(), before.Vertices.size());
    for (size_t i = 0; i < before.Vertices.size(); i += 97)
        EXPECT_NEAR(back->GetBaseMesh()->Vertices[i].Position.Y, before.Vertices[i].Position.Y,
                    1e-5f);
}

TEST_F(SceneFileTest, SafeSaveReplacesAndNeverLosesTheOldFile)
{
    TProjectDocument doc;
    doc.GetScene().AddPrimitive(ptCube);
    const std::string path = PathOf("safe.qstn");
    doc.SaveToFile(path, true);
    const std::string first = ReadText(path);
    doc.GetScene().AddPrimitive(ptPlane);
    doc.SaveToFile(path, true);
    EXPECT_NE(ReadText(path), first);
    EXPECT_FALSE(fs::exists(path + ".tmp"));
    EXPECT_FALSE(fs::exists(path + ".bak"));

    // A folder standing where the backup goes makes the backup step fail.
    const std::string before = ReadText(path);
    fs::create_directories(path + ".bak/blocker");
    doc.GetScene().AddPrimitive(ptCone);
    try {
        doc.SaveToFile(path, true);
        ADD_FAILURE() << "save succeeded";
    } catch (const EGeneralError& e) {
        const std::string message = e.what();
        EXPECT_EQ(message.substr(0, message.find('\r')), "Unable to create scene backup: " + path);
        EXPECT_NE(message.find("is not a regular file"), std::string::npos);
        EXPECT_TRUE(fs::exists(path + ".bak/blocker"));
    }
    EXPECT_EQ(ReadText(path), before);
    EXPECT_TRUE(doc.IsModified());

    // An autosave leaves the document modified; a save ends it.
    doc.SaveToFile(PathOf("auto.qstn"), false);
    EXPECT_TRUE(doc.IsModified());
    EXPECT_THROW(SaveSceneToFile(doc.GetScene(), path, nullptr, nullptr), EGeneralError);
}

TEST(SceneFileText, ParseVec3TextAndNamesOnOneLine)
{
    float x, y, z;
    ParseVec3Text(" 1.5\t-2  \"3\" 4", x, y, z);
    EXPECT_EQ(x, 1.5f);
    EXPECT_EQ(y, -2);
    EXPECT_EQ(z, 3);
    ParseVec3Text("abc 2", x, y, z);
    EXPECT_EQ(x, 0);
    EXPECT_EQ(y, 2);
    EXPECT_EQ(z, 0);
    EXPECT_EQ(SingleLineText("two\r\nlines"), "two  lines");
    EXPECT_EQ(RelativePathFrom("/a/b", "/a/b/textures/brick.png"), "textures/brick.png");
    EXPECT_EQ(RelativePathFrom("/a/b", "/a/b/brick.png"), "brick.png");
}

TEST(ProjectDocument, PropertyWritesRecordCountAndRestore)
{
    TProjectDocument doc;
    TSceneObject* cube = doc.GetScene().AddPrimitive(ptCube);
    doc.MarkSaved();
    const TPropertyPath px = MakeNodePropertyPath(cube->GetId(), kNodePropertyPositionX);
    doc.SetPropertyValue(px, MakeFloatPropertyValue(0), pwmUserEdit);  // unchanged value
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.GetRecorder().Count(), 0);
    doc.SetPropertyValue(px, MakeFloatPropertyValue(2), pwmUserEdit);
    doc.SetPropertyValue(px, MakeFloatPropertyValue(3), pwmUserEdit);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_EQ(doc.GetRecorder().Count(), 1);
    EXPECT_EQ(doc.GetRecorder().GetItem(0).Value.Float, 0);
    // A write of the wrong kind is refused and records nothing new.
    const TPropertyPath py = MakeNodePropertyPath(cube->GetId(), kNodePropertyPositionY);
    EXPECT_THROW(doc.SetPropertyValue(py, MakeBooleanPropertyValue(true), pwmUserEdit),
                 EGeneralError);
    EXPECT_EQ(doc.GetRecorder().Count(), 1);
    const int64_t revision = doc.GetRevision();
    doc.RestoreRecordedValues();
    EXPECT_EQ(cube->GetPosition().X, 0);
    EXPECT_EQ(doc.GetRevision(), revision);
    EXPECT_EQ(doc.GetRecorder().Count(), 0);
    EXPECT_EQ(doc.FindNode(0), doc.GetScene().GetRoot());
    TPropertyPath bad = px;
    bad.NodeId = 999999;
    TPropertyValue v;
    EXPECT_THROW(doc.GetPropertyValue(bad, v), EGeneralError);
}

TEST(ProjectDocument, EvaluationHidesTouchedPropertiesOnlyAtTheCurrentFrame)
{
    TProjectDocument doc;
    TSceneObject* cube = doc.GetScene().AddPrimitive(ptCube);
    const TPropertyPath px = MakeNodePropertyPath(cube->GetId(), kNodePropertyPositionX);
    doc.GetAnimation().SetKey(px, 0, MakeFloatPropertyValue(4), MakeFloatPropertyValue(4), 0);
    doc.SetPropertyValue(px, MakeFloatPropertyValue(1), pwmUserEdit);
    TAnimationEvaluation at0, at5;
    doc.EvaluateAnimation(0, &at0);  // the current frame
    doc.EvaluateAnimation(5, &at5);
    TPropertyValue value;
    EXPECT_FALSE(at0.TryGetValue(px, value));
    ASSERT_TRUE(at5.TryGetValue(px, value));
    EXPECT_EQ(value.Float, 4);
    EXPECT_EQ(doc.GetEvaluatedWorldPosition(cube->GetId()).X, 1);
}
