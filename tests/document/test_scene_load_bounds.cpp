// Loading untrusted scene files: ids, built geometry, deep hierarchies and floor-plan
// bindings. What a refused file must not leave behind, and what an accepted one does.
#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "floorplan/uFloorPlanDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uSceneObject.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
class SceneLoadBoundsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Ids = SnapshotDocumentIds();
        Dir = fs::temp_directory_path() /
              ("quill_load_bounds_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
    }
    void TearDown() override
    {
        // Some cases use up an id space on purpose; later tests in this process get it back.
        RestoreDocumentIds(Ids);
        fs::remove_all(Dir);
    }
    std::string Write(const std::string& Name, const std::string& Text) const
    {
        const std::string path = (Dir / Name).string();
        std::ofstream(path, std::ios::binary) << Text;
        return path;
    }
    TDocumentIdCounters Ids;
    fs::path Dir;
};

std::string Header(int Count)
{
    return "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES " + std::to_string(Count) + "\r\n";
}

std::string Group(uint64_t Id, uint64_t Parent, const std::string& Name)
{
    return "BEGINNODE\r\nID " + std::to_string(Id) + "\r\nTYPE group\r\nPARENT " +
           std::to_string(Parent) + "\r\nNAME " + Name +
           "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nENDNODE\r\n";
}

// An object of primitive Prim with no stored mesh, optionally carrying one modifier.
std::string Object(uint64_t Id, int Prim, const std::string& Modifier = {}, uint64_t ModId = 0)
{
    std::string s =
        "BEGINNODE\r\nID " + std::to_string(Id) + "\r\nTYPE object\r\nPARENT 0\r\nNAME O" +
        std::to_string(Id) + "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nPRIM " +
        std::to_string(Prim) + "\r\nCOLOR 1 0 0\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n0\r\n";
    if (!Modifier.empty())
        s += "MODS 1\r\nBEGINMOD " + Modifier + " 1\r\nID " + std::to_string(ModId) +
             "\r\nENABLED 1\r\nENDMOD\r\n";
    return s + "ENDNODE\r\n";
}

std::string LoadError(TProjectDocument& Document, const std::string& Path)
{
    try {
        Document.LoadFromFile(Path);
    } catch (const std::exception& e) {
        return e.what();
    }
    return {};
}

std::string AnyModifierType()
{
    // Other tests leave test types, or none, registered.
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    return ModifierDescriptorCount() > 0 ? GetModifierDescriptor(0).TypeId : std::string();
}
}  // namespace

TEST_F(SceneLoadBoundsTest, RefusedFileLeavesTheIdCountersAsTheyWere)
{
    const std::string mod = AnyModifierType();
    ASSERT_FALSE(mod.empty());
    TProjectDocument doc;
    const TDocumentIdCounters before = SnapshotDocumentIds();
    // Top-of-range node and modifier ids, then a fault further on.
    const std::string refused =
        Write("refused.qstn", Header(3) + Group(4294967294u, 0, "Top") +
                                  Object(20, ptCube, mod, 4294967294u) + "BEGINNODE\r\nID x\r\n");
    EXPECT_FALSE(LoadError(doc, refused).empty());
    EXPECT_EQ(SnapshotDocumentIds(), before);
    EXPECT_NO_THROW(AllocateSceneNodeId());
    EXPECT_NO_THROW(AllocateModifierId());
    // Refused by validation after every node was read: the same.
    const TDocumentIdCounters again = SnapshotDocumentIds();
    EXPECT_FALSE(LoadError(doc, Write("cycle.qstn", Header(3) + Group(4294967294u, 0, "Top") +
                                                        Group(30, 31, "A") + Group(31, 30, "B")))
                     .empty());
    EXPECT_EQ(SnapshotDocumentIds(), again);
}

TEST_F(SceneLoadBoundsTest, AcceptedFileMovesTheCountersPastItsLargestIds)
{
    const std::string mod = AnyModifierType();
    TProjectDocument doc;
    // Small ids: the counters move past them, never back.
    const uint32_t nextNode = AllocateSceneNodeId() + 1;
    const uint32_t far = nextNode + 1000;
    ASSERT_EQ(LoadError(doc, Write("a.qstn", Header(2) + Group(far, 0, "G") +
                                                 Object(far + 1, ptCube, mod, far + 7))),
              "");
    EXPECT_EQ(SnapshotDocumentIds().SceneNode, far + 2);
    EXPECT_GE(SnapshotDocumentIds().Modifier, far + 8);
    // The largest ids of the range: a file holding them is read whole (the objects after
    // them still get their modifiers), and afterwards the ids are used up.
    ASSERT_EQ(LoadError(doc, Write("top.qstn", Header(3) + Group(4294967294u, 0, "Top") +
                                                   Object(21, ptCube, mod, 4294967294u) +
                                                   Object(22, ptCube, mod, 0))),
              "");
    EXPECT_EQ(doc.GetScene().NodeCount(), 3);
    EXPECT_THROW(AllocateSceneNodeId(), EGeneralError);
    EXPECT_THROW(AllocateModifierId(), EGeneralError);
}

TEST_F(SceneLoadBoundsTest, PrimitivesBuiltFromShortLinesAreBoundedPerFile)
{
    TProjectDocument doc;
    TSceneObject* keep = doc.GetScene().AddPrimitive(ptTorus);
    // A terrain builds 128 x 128 vertices from one line; a file of them is refused
    // before it costs more than the evaluator's limits.
    std::string many;
    for (int i = 0; i < 200; ++i)
        many += Object(100 + i, ptTerrain);
    const std::string message = LoadError(doc, Write("terrains.qstn", Header(200) + many));
    EXPECT_EQ(message, "Cannot open this scene: its objects without stored meshes would build "
                       "more than 1000000 vertices or faces.");
    EXPECT_EQ(doc.GetScene().NodeCount(), 1);
    EXPECT_EQ(doc.GetScene().FindNodeById(keep->GetId()), keep);
    // An ordinary scene of primitives loads, and they are the primitives a user makes.
    std::string few;
    for (int i = 0; i < 20; ++i)
        few += Object(1000 + i, i % 8);
    ASSERT_EQ(LoadError(doc, Write("few.qstn", Header(20) + few)), "");
    ASSERT_EQ(doc.GetScene().NodeCount(), 20);
    for (int i = 0; i < 20; ++i) {
        auto* object = dynamic_cast<TSceneObject*>(doc.GetScene().FindNodeById(1000 + i));
        ASSERT_NE(object, nullptr);
        TMeshData expected;
        TSceneObject probe;
        probe.PrimType = static_cast<TPrimitiveType>(i % 8);
        probe.Color = {0.7f, 0.7f, 0.75f};
        probe.RebuildPrimitiveMesh();
        ASSERT_NE(object->GetBaseMesh(), nullptr);
        EXPECT_EQ(object->GetBaseMesh()->Vertices.size(), probe.GetBaseMesh()->Vertices.size());
        if (!probe.GetBaseMesh()->Vertices.empty())
            EXPECT_EQ(object->GetBaseMesh()->Vertices[0].Color.Z, 0.75f);
        EXPECT_EQ(object->Color.X, 1.0f);
        EXPECT_EQ(object->PrimType == ptTerrain, object->GetHeightmap() != nullptr);
    }
}

TEST_F(SceneLoadBoundsTest, DeepHierarchiesLoadWholeAndCyclesNameTheirClosingNode)
{
    TProjectDocument doc;
    // Deep enough that walking to the root per node would show; nested in file order
    // and in reverse (each node's parent further down the file).
    constexpr int kDepth = 30000;
    std::string down, up;
    for (int i = 1; i <= kDepth; ++i) {
        down += Group(i, i - 1, "N" + std::to_string(i));
        up += Group(i, i == kDepth ? 0 : i + 1, "N" + std::to_string(i));
    }
    for (const std::string* text : {&down, &up}) {
        ASSERT_EQ(LoadError(doc, Write("deep.qstn", Header(kDepth) + *text)), "");
        const TScene& scene = doc.GetScene();
        ASSERT_EQ(scene.NodeCount(), kDepth);
        const bool nestedDown = text == &down;
        for (int i : {1, 2, kDepth / 2, kDepth - 1, kDepth}) {
            const TSceneNode* node = scene.FindNodeById(i);
            ASSERT_NE(node, nullptr);
            const uint32_t parent = node->GetParent()->GetId();
            EXPECT_EQ(parent, nestedDown ? i - 1 : (i == kDepth ? 0 : i + 1));
            EXPECT_EQ(node->ChildCount(), (nestedDown ? i == kDepth : i == 1) ? 0 : 1);
        }
    }
    // Children keep file order; root objects come before root groups.
    ASSERT_EQ(LoadError(doc, Write("order.qstn", Header(5) + Group(1, 0, "G1") + Object(2, 0) +
                                                     Group(3, 1, "C1") + Group(4, 1, "C2") +
                                                     Group(5, 0, "G2"))),
              "");
    const TSceneNode* root = doc.GetScene().GetRoot();
    ASSERT_EQ(root->ChildCount(), 3);
    EXPECT_EQ(root->GetChild(0)->GetId(), 2u);
    EXPECT_EQ(root->GetChild(1)->GetId(), 1u);
    EXPECT_EQ(root->GetChild(2)->GetId(), 5u);
    EXPECT_EQ(root->GetChild(1)->GetChild(0)->GetId(), 3u);
    EXPECT_EQ(root->GetChild(1)->GetChild(1)->GetId(), 4u);

    // The error names the node whose link would first close a cycle in file order.
    const struct {
        std::string nodes;
        int count;
        std::string message;
    } cases[] = {
        {Group(5, 6, "A") + Group(6, 5, "B"), 2, "Circular hierarchy in scene file at node \"B\"."},
        {Group(5, 7, "A") + Group(6, 6, "Me") + Group(7, 5, "C"), 3,
         "Self-parenting node \"Me\" in scene file."},
        {Group(5, 6, "A") + Group(6, 7, "B") + Group(7, 5, "C") + Group(8, 8, "D"), 4,
         "Circular hierarchy in scene file at node \"C\"."},
        {Group(1, 4, "A") + Group(2, 3, "B") + Group(3, 2, "C") + Group(4, 1, "D"), 4,
         "Circular hierarchy in scene file at node \"C\"."},
    };
    for (const auto& c : cases)
        EXPECT_EQ(LoadError(doc, Write("cycle.qstn", Header(c.count) + c.nodes)), c.message);
}

TEST_F(SceneLoadBoundsTest, BindingsOfNodesNotInTheFileAreDropped)
{
    TProjectDocument doc;
    TFloorPlanDocument& plans = doc.GetFloorPlans();
    TSceneGroup* built = doc.GetScene().CreateGroup("Building", nullptr, 0);
    TFloorPlan* plan = plans.AddPlan("Plan");
    ASSERT_NE(plan, nullptr);
    ASSERT_NE(plans.SetBinding(built->GetId(), plan->Id(), kNoId, kNoId, 1), nullptr);
    ASSERT_NE(plans.SetBinding(built->GetId() + 500, plan->Id(), kNoId, kNoId, 2), nullptr);
    const std::string path = (Dir / "plans.qstn").string();
    doc.SaveToFile(path, true);

    TProjectDocument other;
    other.LoadFromFile(path);
    ASSERT_EQ(other.GetFloorPlans().BindingCount(), 1);
    EXPECT_EQ(other.GetFloorPlans().GetBinding(0)->RootNodeId, built->GetId());
}
