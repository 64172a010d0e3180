// Crafted scene files that repeat an entry or stretch a line: each is loaded or refused
// with a message, in time and memory bounded by the file, and a refused one leaves the
// project as it was. Sizes are small here; bench_hostile_reader loads them at full size.
#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "document/uSceneFile.h"
#include "floorplan/uFloorPlanDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uSceneObject.h"
#include "tests/document/hostile_scene_files.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace HostileFiles;

namespace {
class HostileFileTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Ids = SnapshotDocumentIds();
        Dir = fs::temp_directory_path() /
              ("quill_hostile_" + std::to_string(::getpid()) + "_" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        // A project the refused files must leave alone.
        Doc.GetScene().AddPrimitive(ptCube);
        Doc.MarkSaved();
    }
    void TearDown() override
    {
        RestoreDocumentIds(Ids);
        fs::remove_all(Dir);
    }
    std::string Path(const std::string& Name) const { return (Dir / Name).string(); }
    std::string Saved()
    {
        TStringLineSink sink;
        WriteSceneLines(Doc.GetScene(), "x.qstn", &Doc.GetAnimation(), &Doc.GetFloorPlans(), sink);
        std::string text;
        for (const std::string& line : sink.Lines)
            text += line + "\n";
        return text;
    }
    // The error of a load that must fail, with the project and the id counters unchanged.
    std::string Refused(const std::string& File)
    {
        const std::string before = Saved();
        const TDocumentIdCounters ids = SnapshotDocumentIds();
        try {
            Doc.LoadFromFile(File);
        } catch (const std::exception& e) {
            EXPECT_EQ(Saved(), before);
            EXPECT_EQ(SnapshotDocumentIds(), ids);
            EXPECT_FALSE(Doc.IsModified());
            return e.what();
        }
        ADD_FAILURE() << File << " was loaded";
        return {};
    }
    TDocumentIdCounters Ids;
    fs::path Dir;
    TProjectDocument Doc;
};

std::string ModifierType()
{
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    return GetModifierDescriptor(0).TypeId;
}
}  // namespace

// Row 1: a line longer than any line the program writes is refused at once with its
// number, and no message carries more than an excerpt of the file.
TEST_F(HostileFileTest, AnOverlongLineIsRefusedWithItsNumber)
{
    const std::string file = Path("long.qstn");
    WriteOverlongLine(file, kMaxTextLineBytes + 4096);
    const std::string message = Refused(file);
    EXPECT_NE(message.find("line 6 is longer than 1048576 characters"), std::string::npos)
        << message;
    EXPECT_LT(message.size(), 300u);

    // Just within the bound, a line is read; here the long line is a node's name.
    const std::string name(kMaxTextLineBytes - 5, 'N');
    std::ofstream(Path("name.qstn"), std::ios::binary)
        << "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 1\r\nBEGINNODE\r\nID 7\r\n"
           "TYPE group\r\nPARENT 0\r\nNAME "
        << name << "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nENDNODE\r\n";
    ASSERT_NO_THROW(Doc.LoadFromFile(Path("name.qstn")));
    ASSERT_NE(Doc.GetScene().FindNodeById(7), nullptr);
    EXPECT_EQ(Doc.GetScene().FindNodeById(7)->Name, name);
}

TEST_F(HostileFileTest, MessagesQuoteOnlyAnExcerpt)
{
    const std::string longText(100000, 'Q');
    const std::string nodes = "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 1\r\n";
    auto block = [&](const std::string& Type, int Parent) {
        return "BEGINNODE\r\nID 5\r\nTYPE " + Type + "\r\nPARENT " + std::to_string(Parent) +
               "\r\nNAME " + longText +
               "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\n";
    };
    const struct {
        std::string text;
        std::string start;
    } cases[] = {
        {nodes + longText + "\r\n", "Malformed scene file: expected BEGINNODE, got \"QQQ"},
        {nodes + "BEGINNODE\r\nID 1" + std::string(50000, '9') + "\r\n", "Node id 1999"},
        {nodes + block(longText, 0), "Unsupported node type \"QQQ"},
        {nodes + block("group", 5) + "ENDNODE\r\n", "Self-parenting node \"QQQ"},
        {"#Quillstone\r\nVERSION 8\r\nNOENV\r\nTEX\r\n" + longText + "\r\n",
         "Malformed scene file: bad texture count"},
        {"#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nBEGIN_FLOOR_PLANS\r\n" + longText + "\r\n",
         "Expected PLANS , got \"QQQ"},
        {nodes.substr(0, nodes.size() - 9) + "NODES 0\r\nBEGIN_ANIMATION\r\nPROJECT 0 100 0 " +
             longText + " 0\r\n",
         "Invalid float in animation data: QQQ"},
    };
    for (const auto& c : cases) {
        std::ofstream(Path("excerpt.qstn"), std::ios::binary) << c.text;
        const std::string message = Refused(Path("excerpt.qstn"));
        EXPECT_EQ(message.rfind(c.start, 0), 0u) << message.substr(0, 200);
        EXPECT_LT(message.size(), 300u) << c.start;
    }
}

// Row 8: keys in descending frame order, read in one pass and sorted once; of two keys
// at one frame the later line wins.
TEST_F(HostileFileTest, KeysInAnyOrderAreSortedOnceAndTheLastOfAFrameWins)
{
    constexpr int kKeys = 20000;
    const std::string file = Path("keys.qstn");
    WriteDescendingKeys(file, kKeys);
    ASSERT_NO_THROW(Doc.LoadFromFile(file));
    ASSERT_EQ(Doc.GetAnimation().ClipCount(), 1);
    const TAnimationTrack* track = Doc.GetAnimation().GetClip(0)->Tracks.GetItem(0);
    ASSERT_EQ(track->KeyCount(), kKeys);
    for (int k = 0; k < kKeys; ++k) {
        ASSERT_EQ(track->GetKey(k).Frame, k);
        ASSERT_EQ(track->GetKey(k).Value.Float, static_cast<float>(k));
    }

    std::ofstream(Path("dup.qstn"), std::ios::binary)
        << "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 0\r\nBEGIN_ANIMATION\r\n"
           "PROJECT 0 100 0 30 0\r\nCLIP 9 0 10 0\r\nTRACK 0 0 1 0 0\r\nKEY 5 1 1\r\n"
           "KEY 2 0 2\r\nKEY 5 0 3\r\nKEY 2 1 4\r\nKEY 9 1 5\r\nENDTRACK\r\nENDCLIP\r\n"
           "END_ANIMATION\r\n";
    ASSERT_NO_THROW(Doc.LoadFromFile(Path("dup.qstn")));
    const TAnimationTrack* dup = Doc.GetAnimation().GetClip(0)->Tracks.GetItem(0);
    ASSERT_EQ(dup->KeyCount(), 3);
    const int frames[] = {2, 5, 9};
    const float values[] = {4, 3, 5};
    const int modes[] = {1, 0, 1};
    for (int k = 0; k < 3; ++k) {
        EXPECT_EQ(dup->GetKey(k).Frame, frames[k]);
        EXPECT_EQ(dup->GetKey(k).Value.Float, values[k]);
        EXPECT_EQ(dup->GetKey(k).Interpolation, modes[k]);
    }
}

// Row 9: many tracks in one clip load, with the duplicate rule kept; the animation of
// the node they drive evaluates in time linear in them.
TEST_F(HostileFileTest, ManyTracksInOneClipLoadAndADuplicateIsRefused)
{
    constexpr int kTracks = 5000;
    const std::string file = Path("tracks.qstn");
    WriteManyTracks(file, kTracks, false);
    ASSERT_NO_THROW(Doc.LoadFromFile(file));
    const TAnimationClip* clip = Doc.GetAnimation().GetClip(0);
    ASSERT_EQ(clip->Tracks.Count(), kTracks);
    EXPECT_EQ(clip->Tracks.GetItem(kTracks - 1)->GetTarget().PropertyId, kTracks + 10);
    TAnimationEvaluation evaluation;
    Doc.EvaluateAnimation(0, &evaluation);
    EXPECT_EQ(evaluation.Entries.size(), static_cast<size_t>(kTracks));
    TPropertyValue value;
    ASSERT_TRUE(evaluation.TryGetValue(clip->Tracks.GetItem(77)->GetTarget(), value));
    evaluation.Remove(clip->Tracks.GetItem(77)->GetTarget());
    EXPECT_FALSE(evaluation.TryGetValue(clip->Tracks.GetItem(77)->GetTarget(), value));
    EXPECT_TRUE(evaluation.TryGetValue(clip->Tracks.GetItem(78)->GetTarget(), value));
    EXPECT_EQ(evaluation.IndexOf(clip->Tracks.GetItem(78)->GetTarget()), 77);

    WriteManyTracks(Path("dup.qstn"), 100, true);
    EXPECT_EQ(Refused(Path("dup.qstn")), "Duplicate animation track for property 11 of node 1");
}

// Row 10: many plans load in one pass; duplicate ids are still refused.
TEST_F(HostileFileTest, ManyFloorPlansLoadAndADuplicateIdIsRefused)
{
    constexpr int kPlans = 5000;
    const std::string file = Path("plans.qstn");
    WriteManyFloorPlans(file, kPlans, false);
    ASSERT_NO_THROW(Doc.LoadFromFile(file));
    const TFloorPlanDocument& plans = Doc.GetFloorPlans();
    // Two floors shared plan 1: each got a copy of its own, appended.
    ASSERT_EQ(plans.PlanCount(), kPlans + 2);
    EXPECT_EQ(plans.GetPlan(kPlans - 1)->Id(), static_cast<uint32_t>(kPlans));
    EXPECT_EQ(plans.BuildingCount(), 1);
    EXPECT_EQ(plans.GetBuilding(0)->GetFloor(0)->PlanId(), kPlans + 1u);
    EXPECT_EQ(plans.GetBuilding(0)->GetFloor(1)->PlanId(), kPlans + 2u);
    EXPECT_EQ(Doc.GetFloorPlans().AddPlan("")->Id(), kPlans + 3u);

    WriteManyFloorPlans(Path("dup.qstn"), 100, true);
    EXPECT_EQ(Refused(Path("dup.qstn")), "Duplicate floor-plan id");
}

// Row 11: one file's top-of-range ids leave that project unable to make more, but New
// and Open start the counters from the next project's own ids.
TEST_F(HostileFileTest, TopOfRangeIdsDoNotOutliveTheirProject)
{
    const std::string mod = ModifierType();
    const std::string top = Path("top.qstn");
    WriteTopIds(top, mod);
    ASSERT_NO_THROW(Doc.LoadFromFile(top));
    EXPECT_NE(Doc.GetScene().FindNodeById(4294967294u), nullptr);
    EXPECT_THROW(AllocateSceneNodeId(), EGeneralError);
    EXPECT_THROW(AllocateModifierId(), EGeneralError);
    EXPECT_THROW(AllocateFloorId(), EGeneralError);
    EXPECT_THROW(AllocateBuildingId(), EGeneralError);
    EXPECT_THROW(AllocateFloorPlanId(), EGeneralError);

    // Open of another file: its modifiers take fresh ids, and its counters start past
    // its own largest ids.
    std::ofstream(Path("small.qstn"), std::ios::binary)
        << "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 1\r\nBEGINNODE\r\nID 12\r\n"
           "TYPE object\r\nPARENT 0\r\nNAME C\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\n"
           "VIS 1\r\nLOCK 0\r\nPRIM 0\r\nCOLOR 1 1 1\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n0\r\n"
           "MODS 1\r\nBEGINMOD "
        << mod << " 1\r\nID 0\r\nENABLED 1\r\nENDMOD\r\nENDNODE\r\n";
    ASSERT_NO_THROW(Doc.LoadFromFile(Path("small.qstn")));
    const TDocumentIdCounters afterOpen = SnapshotDocumentIds();
    EXPECT_EQ(afterOpen.SceneNode, 13u);
    EXPECT_EQ(afterOpen.Modifier, 2u);
    EXPECT_EQ(afterOpen.FloorPlan, 1u);
    TSceneObject* made = Doc.GetScene().AddPrimitive(ptSphere);
    EXPECT_EQ(made->GetId(), 13u);

    // New after the top-of-range file: everything can be made again, from 1.
    ASSERT_NO_THROW(Doc.LoadFromFile(top));
    Doc.Clear();
    EXPECT_EQ(SnapshotDocumentIds(), (TDocumentIdCounters{}));
    EXPECT_EQ(Doc.GetScene().AddPrimitive(ptCube)->GetId(), 1u);
    EXPECT_NO_THROW(AllocateModifierId());
    EXPECT_NO_THROW(Doc.GetFloorPlans().AddPlan(""));

    // Within one project a counter never moves back: deleting the largest node keeps it.
    TSceneObject* second = Doc.GetScene().AddPrimitive(ptCube);
    Doc.GetScene().DeleteNode(second);
    EXPECT_EQ(Doc.GetScene().AddPrimitive(ptCube)->GetId(), 3u);
}

// A clip or binding may name a node the file does not hold: a new node never takes
// that id, or it would pick up that animation.
TEST_F(HostileFileTest, OpenStartsPastIdsTheProjectOnlyRefersTo)
{
    std::ofstream(Path("refs.qstn"), std::ios::binary)
        << "#Quillstone\r\nVERSION 8\r\nNOENV\r\nNOTEX\r\nNODES 0\r\nBEGIN_ANIMATION\r\n"
           "PROJECT 0 100 0 30 0\r\nCLIP 400 0 10 0\r\nENDCLIP\r\nEND_ANIMATION\r\n";
    ASSERT_NO_THROW(Doc.LoadFromFile(Path("refs.qstn")));
    EXPECT_EQ(Doc.GetScene().AddPrimitive(ptCube)->GetId(), 401u);
}

// Floors sharing a plan get copies on load; with the plan ids used up there is no id for
// a copy, and the file still opens whole, its plans left shared.
TEST_F(HostileFileTest, SharedPlansWithoutFreeIdsStaySharedAndTheFileOpens)
{
    std::ofstream(Path("shared.qstn"), std::ios::binary)
        << kHead
        << "BEGIN_FLOOR_PLANS\r\nPLANS 1\r\nBEGIN_PLAN\r\nID 4294967294\r\nNAME P\r\nREV 1\r\n"
           "POINTS 0\r\nSETTINGS 3 0.2 0.2 1 1 0.5\r\nEND_PLAN\r\nBUILDINGS 1\r\n"
           "BEGIN_BUILDING\r\nID 1\r\nNAME B\r\nFLOORS 2\r\nBEGIN_FLOOR\r\nID 1\r\nNAME F1\r\n"
           "PLAN 4294967294\r\nEND_FLOOR\r\nBEGIN_FLOOR\r\nID 2\r\nNAME F2\r\n"
           "PLAN 4294967294\r\nEND_FLOOR\r\nEND_BUILDING\r\nBINDINGS 0\r\nEND_FLOOR_PLANS\r\n"
           "NODES 1\r\n"
        << GroupBlock(3, "Kept");
    Doc.MarkChanged();
    ASSERT_NO_THROW(Doc.LoadFromFile(Path("shared.qstn")));
    EXPECT_FALSE(Doc.IsModified());
    EXPECT_NE(Doc.GetScene().FindNodeById(3), nullptr);
    ASSERT_EQ(Doc.GetFloorPlans().PlanCount(), 1);
    EXPECT_EQ(Doc.GetFloorPlans().GetBuilding(0)->GetFloor(1)->PlanId(), 4294967294u);
}
