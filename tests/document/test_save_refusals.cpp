// A file the editor writes always opens again: edits that would make one the reader
// refuses (a world matrix past the float range, a name longer than a line, a roof type
// the section does not know) are refused where they are made, a save refuses whatever
// still slips through before the old file is touched, and modifier ids read from a file
// never end up shared.
#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "document/uSceneFile.h"
#include "floorplan/uFloorPlanBuild.h"
#include "floorplan/uFloorPlanDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uPropertyTypes.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <set>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

bool WorldFinite(TSceneNode& Node)
{
    return Node.FindNonFiniteWorld() == nullptr;
}

// The message of an error F raises ("" and a test failure when it raises none).
std::string ErrorOf(const std::function<void()>& F)
{
    try {
        F();
    } catch (const std::exception& e) {
        return e.what();
    }
    ADD_FAILURE() << "no error";
    return {};
}

// A group Outer at X = 3e38 (scale 1e20) holding Inner: each value finite alone.
class HugeTransformTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TScene& scene = Doc.GetScene();
        Outer = scene.CreateGroup("Outer", nullptr, 0);
        Outer->SetTransform({3e38f, 0, 0}, {0, 0, 0}, {1e20f, 1, 1});
        Inner = scene.AddPrimitive(ptCube);
        Inner->Name = "Inner";
        scene.ReparentNode(Inner, Outer, 0, true);
        Loose = scene.AddPrimitive(ptSphere);
        Loose->Name = "Loose";
        Loose->SetTransform({3e38f, 0, 0}, {0, 0, 0}, {1e20f, 1, 1});
        ASSERT_TRUE(WorldFinite(*scene.GetRoot()));
    }

    TProjectDocument Doc;
    TSceneGroup* Outer = nullptr;
    TSceneObject* Inner = nullptr;
    TSceneObject* Loose = nullptr;
};

}  // namespace

// Typed values and keyed edits go through the property writes: each refuses the value,
// names the node whose world matrix would overflow, and leaves the node and the recorder
// as they were.
TEST_F(HugeTransformTest, APropertyWriteThatWouldOverflowAWorldMatrixIsRefused)
{
    struct TCase {
        const char* What;
        int32_t Property;
        float Value;
        const char* Message;
    };
    const TCase cases[] = {
        {"position", kNodePropertyPositionX, 3e38f,
         "Unable to set Position X: the world matrix of \"Inner\" would not be finite."},
        {"scale", kNodePropertyScaleX, 1e20f,
         "Unable to set Scale X: the world matrix of \"Inner\" would not be finite."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TSceneNode& node = *Inner;
        const TVec3 p = node.GetPosition(), s = node.GetScale();
        const int touches = Doc.GetRecorder().Count();
        EXPECT_EQ(ErrorOf([&] {
                      Doc.SetPropertyValue(MakeNodePropertyPath(node.GetId(), c.Property),
                                           MakeFloatPropertyValue(c.Value), pwmUserEdit);
                  }),
                  c.Message);
        EXPECT_EQ(node.GetPosition().X, p.X);
        EXPECT_EQ(node.GetScale().X, s.X);
        EXPECT_TRUE(WorldFinite(*Doc.GetScene().GetRoot()));
        EXPECT_EQ(Doc.GetRecorder().Count(), touches);
    }
    // A parent's value whose overflow shows only below it names the child.
    Inner->SetTransform({0, 0, 0}, {0, 0, 0}, {1e19f, 1, 1});
    Outer->SetTransform({0, 0, 0}, {0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(ErrorOf([&] {
                  Doc.SetPropertyValue(MakeNodePropertyPath(Outer->GetId(), kNodePropertyScaleX),
                                       MakeFloatPropertyValue(1e20f), pwmUserEdit);
              }),
              "Unable to set Scale X: the world matrix of \"Inner\" would not be finite.");
    EXPECT_EQ(Outer->GetScale().X, 1.0f);
    // Large values that stay finite are taken.
    Doc.SetPropertyValue(MakeNodePropertyPath(Outer->GetId(), kNodePropertyScaleX),
                         MakeFloatPropertyValue(1e19f), pwmUserEdit);
    EXPECT_EQ(Outer->GetScale().X, 1e19f);
    EXPECT_TRUE(WorldFinite(*Doc.GetScene().GetRoot()));
}

// Reparenting (one node, several, and the cut-and-paste command) that would overflow a
// world matrix is refused and puts everything back.
TEST_F(HugeTransformTest, AReparentThatWouldOverflowAWorldMatrixIsRefused)
{
    TScene& scene = Doc.GetScene();
    const std::string message =
        "Unable to move \"Loose\": the world matrix of \"Loose\" would not be finite.";
    int notified = 0;
    scene.AddChangeListener([&](TScene&, TSceneChangeKind, uint32_t) { ++notified; });
    const int index = scene.GetRoot()->IndexOfChild(Loose);
    const auto unchanged = [&] {
        EXPECT_EQ(Loose->GetParent(), scene.GetRoot());
        EXPECT_EQ(scene.GetRoot()->IndexOfChild(Loose), index);
        EXPECT_EQ(Loose->GetPosition().X, 3e38f);
        EXPECT_EQ(Loose->GetScale().X, 1e20f);
        EXPECT_TRUE(WorldFinite(*scene.GetRoot()));
        EXPECT_EQ(notified, 0);
    };
    EXPECT_EQ(ErrorOf([&] { scene.ReparentNode(Loose, Outer, 0, true); }), message);
    unchanged();
    EXPECT_EQ(ErrorOf([&] { scene.ReparentNodes({Loose}, Outer, 0, true); }), message);
    unchanged();
    TReparentNodesCommand paste(scene, true, 0, Outer->GetId(), {Loose->GetId()});
    EXPECT_THROW(paste.Execute(), ESceneHierarchyError);
    unchanged();
    // Keeping the world placement keeps it finite: that move is taken.
    scene.ReparentNode(Loose, Outer, 0, false);
    EXPECT_EQ(Loose->GetParent(), Outer);
    EXPECT_TRUE(WorldFinite(*scene.GetRoot()));
}

TEST(NameLimit, RenameRefusesANameOverTheLimitCountedInCharacters)
{
    TScene scene;
    TSceneObject* cube = scene.AddPrimitive(ptCube);
    const std::string before = cube->Name;
    TRenameNodeCommand tooLong(scene, std::string(kMaxNameChars + 1, 'a'), cube);
    EXPECT_EQ(ErrorOf([&] { tooLong.Execute(); }), "A name can have at most 65536 characters.");
    EXPECT_EQ(cube->Name, before);
    // Two-byte characters count once each.
    std::string accented;
    for (size_t i = 0; i < kMaxNameChars; ++i)
        accented += "\xC3\xA9";
    TRenameNodeCommand atLimit(scene, accented, cube);
    atLimit.Execute();
    EXPECT_EQ(cube->Name, accented);
}

TEST(FloorSettingsSetters, RefuseARoofTypeOutsideTheThreeKinds)
{
    TFloorPlanDocument plans;
    TFloorPlan* plan = plans.AddPlan("Plan");
    TFloorDefinition* floor = plans.AddBuilding("B")->AddFloor(plan->Id(), "F");
    for (TRoofType roof : {3, -1, 1000}) {
        SCOPED_TRACE(roof);
        TFloorSettings s = DefaultFloorSettings();
        s.RoofType = roof;
        const int64_t revision = plan->Revision();
        EXPECT_FALSE(plan->SetSettings(s));
        EXPECT_EQ(plan->Settings(), DefaultFloorSettings());
        EXPECT_EQ(plan->Revision(), revision);
        EXPECT_FALSE(floor->SetSettings(s));
        EXPECT_EQ(floor->Settings(), DefaultFloorSettings());
    }
    TFloorSettings pyramid = DefaultFloorSettings();
    pyramid.RoofType = rtTruncatedPyramid;
    EXPECT_TRUE(plan->SetSettings(pyramid));
    EXPECT_TRUE(floor->SetSettings(pyramid));
}

namespace {

class SaveGuardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir = fs::temp_directory_path() /
              ("quill_save_guard_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        Path = (Dir / "project.qstn").string();
        Doc.GetScene().AddPrimitive(ptCube);
        Doc.SaveToFile(Path, true);
        Old = Read(Path);
    }
    void TearDown() override
    {
        fs::remove_all(Dir);
        RestoreDocumentIds(Ids);
    }
    static std::string Read(const std::string& File)
    {
        std::ifstream in(File, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    TDocumentIdCounters Ids = SnapshotDocumentIds();
    fs::path Dir;
    std::string Path, Old;
    TProjectDocument Doc;
};

}  // namespace

// What the reader would refuse, put into the model past the edits' own checks: Save and
// the autosave refuse it naming the node or plan, before the old file is touched; mended,
// the project saves and opens again.
TEST_F(SaveGuardTest, ASaveRefusesWhatTheReaderWouldRefuseAndLeavesTheOldFile)
{
    struct TCase {
        const char* What;
        std::function<void(TProjectDocument&)> Break, Mend;
        std::string Problem;
    };
    const std::string longName(kMaxTextLineBytes, 'n');
    const TCase cases[] = {
        {"world matrix",
         [](TProjectDocument& d) {
             TSceneGroup* g = d.GetScene().CreateGroup("Far", nullptr, 0);
             g->SetPosition({3e38f, 0, 0});
             TSceneGroup* c = d.GetScene().CreateGroup("Farther", g, 0);
             c->SetPosition({3e38f, 0, 0});
         },
         [](TProjectDocument& d) {
             for (TSceneNode* n : d.GetScene().GetNodes())
                 if (n->Name == "Farther")
                     n->SetPosition({0, 0, 0});
         },
         "Non-finite world matrix for \"Farther\"."},
        {"world matrix under a value written as 0",
         [](TProjectDocument& d) {
             TSceneGroup* g = d.GetScene().CreateGroup("Lost", nullptr, 0);
             g->SetTransform({NAN, 0, 0}, {0, 0, 0}, {1e20f, 1, 1});
             d.GetScene().CreateGroup("Beyond", g, 0)->SetPosition({3e38f, 0, 0});
         },
         [](TProjectDocument& d) {
             for (TSceneNode* n : d.GetScene().GetNodes())
                 if (n->Name == "Beyond")
                     n->SetPosition({0, 0, 0});
         },
         "Non-finite world matrix for \"Beyond\"."},
        {"node name",
         [&](TProjectDocument& d) { d.GetScene().AddPrimitive(ptSphere)->Name = longName; },
         [&](TProjectDocument& d) {
             for (TSceneNode* n : d.GetScene().GetNodes())
                 if (n->Name == longName)
                     n->Name = "Short";
         },
         "The name of node \"" + TextExcerpt(longName) + "\" is too long."},
        {"plan name",
         [&](TProjectDocument& d) { d.GetFloorPlans().AddPlan("Plan")->SetName(longName); },
         [&](TProjectDocument& d) { d.GetFloorPlans().GetPlan(0)->SetName("Plan"); },
         "The name of floor plan \"" + TextExcerpt(longName) + "\" is too long."},
        {"floor name",
         [&](TProjectDocument& d) {
             d.GetFloorPlans().AddBuilding("B")->AddFloor(kNoId, "F")->SetName(longName);
         },
         [&](TProjectDocument& d) { d.GetFloorPlans().GetBuilding(0)->GetFloor(0)->SetName("F"); },
         "The name of floor \"" + TextExcerpt(longName) + "\" is too long."},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        c.Break(Doc);
        for (bool autosave : {false, true}) {
            const std::string error = ErrorOf([&] { Doc.SaveToFile(Path, !autosave); });
            EXPECT_EQ(error,
                      "Cannot save the scene: the file would not open again.\r\n" + c.Problem);
            EXPECT_EQ(Read(Path), Old);
            EXPECT_FALSE(fs::exists(Path + ".tmp"));
            EXPECT_FALSE(fs::exists(Path + ".bak"));
        }
        c.Mend(Doc);
        Doc.SaveToFile(Path, true);
        TProjectDocument opened;
        EXPECT_NO_THROW(opened.LoadFromFile(Path));
        Doc.SaveToFile(Path, true);
        Old = Read(Path);
    }
}

// The file holds every non-finite value as 0, so a scene holding one saves, by Save and
// by the autosave, and opens again with 0 in its place: the check judges the world
// matrices of what is written, not of the values in memory.
TEST_F(SaveGuardTest, NonFiniteTransformValuesAreSavedAsZeroAndOpenAgain)
{
    struct TCase {
        const char* What;
        TVec3 Position, Rotation, Scale;
        TVec3 Reopened[3];  // position, rotation, scale
    };
    const float inf = INFINITY;
    const TCase cases[] = {
        {"NaN position", {NAN, 2, 3}, {0, 0, 0}, {1, 1, 1}, {{0, 2, 3}, {0, 0, 0}, {1, 1, 1}}},
        {"infinite position",
         {1, -inf, inf},
         {0, 0, 0},
         {1, 1, 1},
         {{1, 0, 0}, {0, 0, 0}, {1, 1, 1}}},
        {"infinite rotation",
         {0, 0, 0},
         {45, -inf, NAN},
         {1, 1, 1},
         {{0, 0, 0}, {45, 0, 0}, {1, 1, 1}}},
        {"NaN scale", {0, 0, 0}, {0, 0, 0}, {0.5f, NAN, inf}, {{0, 0, 0}, {0, 0, 0}, {0.5f, 0, 0}}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        for (bool autosave : {false, true}) {
            SCOPED_TRACE(autosave ? "autosave" : "save");
            TProjectDocument doc;
            TSceneObject* cube = doc.GetScene().AddPrimitive(ptCube);
            cube->Name = "Cube 1";
            // A child far out: finite under the written parent, whatever it is in memory.
            TSceneObject* child = doc.GetScene().AddPrimitive(ptSphere);
            child->Name = "Child";
            doc.GetScene().ReparentNode(child, cube, 0, true);
            child->SetPosition({3e38f, 0, 0});
            cube->SetTransform(c.Position, c.Rotation, c.Scale);
            ASSERT_NE(cube->FindNonFiniteWorld(), nullptr);
            EXPECT_NO_THROW(doc.SaveToFile(Path, !autosave));
            TProjectDocument opened;
            ASSERT_NO_THROW(opened.LoadFromFile(Path));
            const TSceneNode* back = nullptr;
            for (TSceneNode* n : opened.GetScene().GetNodes())
                if (n->Name == "Cube 1")
                    back = n;
            ASSERT_NE(back, nullptr);
            EXPECT_EQ(back->GetPosition(), c.Reopened[0]);
            EXPECT_EQ(back->GetRotation(), c.Reopened[1]);
            EXPECT_EQ(back->GetScale(), c.Reopened[2]);
            ASSERT_EQ(back->ChildCount(), 1);
            EXPECT_EQ(back->GetChild(0)->GetPosition().X, 3e38f);
        }
    }
}

// A modifier with ID 0, or with an id an earlier modifier of the file holds, gets a fresh
// id past the file's largest; the first holder of an id keeps it.
TEST(ModifierIdsFromAFile, ZeroAndRepeatedIdsGetFreshOnesPastTheLargest)
{
    // Other tests leave test types, or none, registered.
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    const TDocumentIdCounters ids = SnapshotDocumentIds();
    const auto dir =
        fs::temp_directory_path() / ("quill_modifier_ids_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string path = (dir / "ids.qstn").string();
    const auto mod = [](uint32_t Id) {
        return "BEGINMOD twist 1\r\nID " + std::to_string(Id) + "\r\nENABLED 1\r\nENDMOD\r\n";
    };
    const auto object = [](int Id, const std::string& Mods, int Count) {
        return "BEGINNODE\r\nID " + std::to_string(Id) +
               "\r\nTYPE object\r\nPARENT 0\r\nNAME O\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\n"
               "VIS 1\r\nLOCK 0\r\nPRIM 0\r\nCOLOR 1 1 1\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n0\r\n"
               "MODS " +
               std::to_string(Count) + "\r\n" + Mods + "ENDNODE\r\n";
    };
    std::ofstream(path, std::ios::binary)
        << "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 2\r\n" +
               object(1, mod(0) + mod(1) + mod(1), 3) + object(2, mod(5) + mod(0), 2);
    TProjectDocument doc;
    doc.LoadFromFile(path);
    std::vector<uint32_t> read;
    for (uint32_t node : {1u, 2u}) {
        auto* o = dynamic_cast<TSceneObject*>(doc.GetScene().FindNodeById(node));
        ASSERT_NE(o, nullptr);
        for (int32_t i = 0; i < o->GetModifiers().Count(); ++i)
            read.push_back(o->GetModifiers().GetItem(i)->GetId());
    }
    ASSERT_EQ(read.size(), 5u);
    EXPECT_EQ(read[1], 1u);
    EXPECT_EQ(read[3], 5u);
    for (size_t i : {0u, 2u, 4u})
        EXPECT_GT(read[i], 5u) << i;
    EXPECT_EQ(std::set<uint32_t>(read.begin(), read.end()).size(), read.size());
    // A modifier made afterwards takes none of them.
    const uint32_t next = AllocateModifierId();
    EXPECT_EQ(std::count(read.begin(), read.end(), next), 0);
    fs::remove_all(dir);
    RestoreDocumentIds(ids);
}

// Throwing away touched values puts back what was there, except a value that would now
// overflow a world matrix below it (a node moved there since): that node keeps its value.
TEST_F(HugeTransformTest, RestoringTouchedValuesNeverOverflowsAWorldMatrix)
{
    TScene& scene = Doc.GetScene();
    Doc.SetPropertyValue(MakeNodePropertyPath(Outer->GetId(), kNodePropertyPositionX),
                         MakeFloatPropertyValue(0), pwmUserEdit);
    Doc.SetPropertyValue(MakeNodePropertyPath(Outer->GetId(), kNodePropertyScaleX),
                         MakeFloatPropertyValue(1), pwmUserEdit);
    Loose->SetScaleX(1);
    scene.ReparentNode(Loose, Outer, 0, true);
    ASSERT_EQ(Doc.GetRecorder().Count(), 2);
    EXPECT_NO_THROW(Doc.RestoreRecordedValues());
    EXPECT_EQ(Doc.GetRecorder().Count(), 0);
    EXPECT_EQ(Outer->GetPosition().X, 0.0f);
    EXPECT_EQ(Outer->GetScale().X, 1.0f);
    EXPECT_TRUE(WorldFinite(*scene.GetRoot()));
    // With nothing moved below it, a touched value goes back.
    Doc.SetPropertyValue(MakeNodePropertyPath(Outer->GetId(), kNodePropertyScaleX),
                         MakeFloatPropertyValue(0.5f), pwmUserEdit);
    Doc.RestoreRecordedValues();
    EXPECT_EQ(Outer->GetScale().X, 1.0f);
}

// Every floor height is finite, but floors stacked past the float range would place a
// floor group where no file can hold it: the build is refused and the scene left alone.
TEST(FloorPlanBuildRange, FloorsStackedPastTheFloatRangeAreNotBuilt)
{
    TProjectDocument doc;
    TFloorPlanDocument& plans = doc.GetFloorPlans();
    TFloorPlan* plan = plans.AddPlan("A");
    plan->SetPoints({{-2, -1}, {2, -1}, {2, 1}, {-2, 1}, {-2, -1}});
    TBuildingDefinition* building = plans.AddBuilding("Tower");
    TFloorSettings tall = DefaultFloorSettings();
    tall.Height = 2e38f;
    for (int i = 0; i < 3; ++i) {
        TFloorDefinition* floor = building->AddFloor(plan->Id(), "");
        floor->SetOverrideSettings(true);
        ASSERT_TRUE(floor->SetSettings(tall));
    }
    TSceneGroup* group = nullptr;
    std::string message;
    EXPECT_FALSE(
        BuildBuildingGroup(doc.FloorPlanTarget(), building->Id(), nullptr, group, message));
    EXPECT_EQ(message, "Floor 3 stands too high: its elevation is beyond the float range");
    EXPECT_EQ(group, nullptr);
    EXPECT_EQ(doc.GetScene().NodeCount(), 0);
    // Two such floors stand.
    building->DeleteFloor(2);
    EXPECT_TRUE(BuildBuildingGroup(doc.FloorPlanTarget(), building->Id(), nullptr, group, message))
        << message;
    EXPECT_TRUE(WorldFinite(*doc.GetScene().GetRoot()));
}

// A transform is not a step of the history, so a parent may have moved far since a step
// was taken: undoing a delete then brings the subtree back under the root, and a
// reparent's redo that would overflow is refused, changing nothing.
TEST_F(HugeTransformTest, UndoAndRedoNeverBringANodePastTheFloatRange)
{
    TScene& scene = Doc.GetScene();
    Outer->SetTransform({0, 0, 0}, {0, 0, 0}, {1, 1, 1});
    Inner->SetPosition({3e38f, 0, 0});
    const uint32_t innerId = Inner->GetId();
    TDeleteSubtreeCommand remove(scene, Inner);
    remove.Execute();
    Outer->SetPosition({3e38f, 0, 0});
    remove.Undo();
    TSceneNode* back = scene.FindNodeById(innerId);
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetParent(), scene.GetRoot());
    EXPECT_EQ(back->GetPosition().X, 3e38f);
    EXPECT_TRUE(WorldFinite(*scene.GetRoot()));

    Outer->SetPosition({0, 0, 0});
    TReparentNodesCommand move(scene, true, 0, Outer->GetId(), {Loose->GetId()});
    Loose->SetScaleX(1);
    move.Execute();
    ASSERT_EQ(Loose->GetParent(), Outer);
    move.Undo();
    ASSERT_EQ(Loose->GetParent(), scene.GetRoot());
    const int index = scene.GetRoot()->IndexOfChild(Loose);
    Outer->SetPosition({3e38f, 0, 0});
    EXPECT_EQ(ErrorOf([&] { move.Redo(); }),
              "Unable to restore hierarchy state: the world matrix of \"Loose\" would not be "
              "finite.");
    EXPECT_EQ(Loose->GetParent(), scene.GetRoot());
    EXPECT_EQ(scene.GetRoot()->IndexOfChild(Loose), index);
    EXPECT_EQ(Loose->GetPosition().X, 3e38f);
    EXPECT_TRUE(WorldFinite(*scene.GetRoot()));
}
