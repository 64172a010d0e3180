#include "scene/uAnimationDocument.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

#include "base/uErrors.h"
#include "base/uNumberText.h"
#include "base/uTextFile.h"

namespace {

std::vector<std::string> Write(const TAnimationDocument& doc)
{
    TStringLineSink sink;
    WriteAnimationSection(doc, sink);
    return sink.Lines;
}

void Load(TAnimationDocument& doc, std::vector<std::string> lines)
{
    TStringLineSource source(std::move(lines));
    LoadAnimationSection(doc, source);
}

// Every value form, as the writer lays it out.
const std::vector<std::string> kFullSection = {
    "BEGIN_ANIMATION",
    "PROJECT 0 100 30 24 1",
    "CLIP 1 0 101 0",
    "TRACK 0 0 2 0 0.5",
    "KEY 0 1 0.5",
    "KEY 30 1 2",
    "ENDTRACK",
    "TRACK 0 0 10 2 1",
    "KEY 0 1 1",
    "KEY 60 1 0",
    "ENDTRACK",
    "ENDCLIP",
    "CLIP 3000000000 10 20 1",
    "TRACK 1 4000000000 -5 3 0 0.5 -1.25",
    "KEY 0 0 0.1000000015 0 0",
    "KEY 19 1 2.5 100000 1E10",
    "ENDTRACK",
    "TRACK 2 1 3 4 0.25 0.5 1",
    "ENDTRACK",
    "TRACK 3 0 4 1 -7",
    "KEY -3 1 12",
    "ENDTRACK",
    "TRACK 4 0 5 5 2",
    "KEY 2 0 3",
    "ENDTRACK",
    "ENDCLIP",
    "END_ANIMATION",
};

}  // namespace

TEST(AnimationSection, DefaultDocumentWritesThreeLines)
{
    TAnimationDocument doc;
    const std::vector<std::string> expected = {"BEGIN_ANIMATION", "PROJECT 0 100 0 30 0",
                                               "END_ANIMATION"};
    EXPECT_EQ(Write(doc), expected);
    TAnimationDocument back;
    back.ProjectTime.SetRange(5, 6);
    back.AddClip(9, 0, 1);
    Load(back, expected);
    EXPECT_EQ(back.ClipCount(), 0);
    EXPECT_EQ(Write(back), expected);
}

TEST(AnimationSection, RoundTripOfEveryValueForm)
{
    TAnimationDocument doc;
    Load(doc, kFullSection);
    EXPECT_EQ(doc.ProjectTime.GetCurrentFrame(), 30);
    EXPECT_EQ(doc.ProjectTime.GetFPS(), 24.0f);
    EXPECT_TRUE(doc.ProjectTime.GetLoopTimeline());
    ASSERT_EQ(doc.ClipCount(), 2);
    const TAnimationClip* big = doc.FindClipByNode(3000000000u);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(big->PlaybackMode, cpmLoop);
    const TAnimationTrack* vec = big->Tracks.GetItem(0);
    EXPECT_EQ(vec->GetTarget().ComponentId, 4000000000u);
    EXPECT_EQ(vec->GetTarget().PropertyId, -5);
    EXPECT_EQ(vec->GetTarget().NodeId, 3000000000u);
    EXPECT_EQ(vec->GetKey(1).Value.Vector.Z, 1e10f);
    EXPECT_EQ(Write(doc), kFullSection);

    // Evaluated values of the loaded animation.
    TAnimationEvaluation e;
    doc.EvaluateNodeClip(1, 15, &e);
    EXPECT_FLOAT_EQ(e.Entries[0].Value.Float, 1.25f);
    EXPECT_TRUE(e.Entries[1].Value.Bool);
    doc.EvaluateNodeClip(1, 60, &e);
    EXPECT_FALSE(e.Entries[1].Value.Bool);
    e.Clear();
    doc.EvaluateNodeClip(3000000000u, 39, &e);
    EXPECT_EQ(e.Entries[0].Value.Vector, (TVec3{0.1f, 0, 0}));
    doc.EvaluateNodeClip(77, 39, &e);  // no clip: nothing added
    EXPECT_EQ(e.Entries.size(), 4u);
}

TEST(AnimationSection, ReaderTolerancesAndProjectLine)
{
    TAnimationDocument doc;
    Load(doc,
         {"  BEGIN_ANIMATION ", "PROJECT 0 10 3 12.5", "", "CLIP 2 0 5 0", "", "TRACK 0 0 1 0 0",
          "KEY 1 1 1", "KEY 1 0 4", "ENDTRACK", "", "TRACK 0 0 2 0 0", "ENDTRACK", "ENDCLIP", "",
          "CLIP 3 0 5 0", "ENDCLIP", "END_ANIMATION", "junk after"});
    EXPECT_FALSE(doc.ProjectTime.GetLoopTimeline());
    EXPECT_EQ(doc.ProjectTime.GetFPS(), 12.5f);
    ASSERT_EQ(doc.ClipCount(), 2);
    const TAnimationTrack* t = doc.GetClip(0)->Tracks.GetItem(0);
    ASSERT_EQ(t->KeyCount(), 1);  // the second key at frame 1 replaced the first
    EXPECT_EQ(t->GetKey(0).Value.Float, 4);
    EXPECT_EQ(t->GetKey(0).Interpolation, 0);
}

TEST(AnimationSection, ReaderErrorsLeaveTheDocumentUnchanged)
{
    using L = std::vector<std::string>;
    const std::string head = "BEGIN_ANIMATION";
    const std::string proj = "PROJECT 0 100 0 30 0";
    const struct {
        L lines;
        const char* message;
    } cases[] = {
        {{}, "Malformed animation section header"},
        {{"BEGIN_ANIMATION x"}, "Malformed animation section header"},
        {{head}, "Animation section has no project time"},
        {{head, "", proj}, "Malformed animation project time"},
        {{head, "PROJECT 0 100 0 30 0 1"}, "Malformed animation project time"},
        {{head, "PROJECT 0 100 0 30 0 1 2"}, "Malformed animation project time"},
        {{head, "TIME 0 100 0 30 0"}, "Malformed animation project time"},
        {{head, "PROJECT 10 5 0 30 0"}, "Project start frame must not exceed end frame"},
        {{head, "PROJECT 0 5 0 0 0"}, "Project FPS must be greater than zero"},
        {{head, "PROJECT 0 5 0 nan 0"}, "Invalid float in animation data: nan"},
        {{head, "PROJECT 0 5 0 inf 0"}, "Invalid float in animation data: inf"},
        {{head, "PROJECT 0 5 0 1e39 0"}, "Invalid float in animation data: 1e39"},
        {{head, "PROJECT 0 x 0 30 0"}, "Invalid integer in animation data: x"},
        {{head, "PROJECT 0 3000000000 0 30"}, "Invalid integer in animation data: 3000000000"},
        {{head, proj}, "Animation section is missing END_ANIMATION"},
        {{head, proj, "CLIP 1 0 10"}, "Malformed animation clip header"},
        {{head, proj, "END_ANIMATION x"}, "Malformed animation clip header"},
        {{head, proj, "CLIP 1 0 10 2"}, "Invalid animation playback mode"},
        {{head, proj, "CLIP -1 0 10 0"}, "Invalid integer in animation data: -1"},
        {{head, proj, "CLIP 1 0 0 0"}, "Animation clip length must be positive"},
        {{head, proj, "CLIP 1 0 10 0", "ENDCLIP", "CLIP 1 0 10 0"},
         "Animation clip already exists for node 1"},
        {{head, proj, "CLIP 1 0 10 0"}, "Animation section is missing END_ANIMATION"},
        {{head, proj, "CLIP 1 0 10 0", "CLIP 2 0 10 0"}, "Animation clip was not closed"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 0", "ENDTRACK", "CLIP 2 0 10 0"},
         "Animation clip was not closed"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 0", "CLIP 2 0 10 0"},
         "Animation clip was not closed"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1"}, "Malformed animation track header"},
        {{head, proj, "CLIP 1 0 10 0", "KEY 0 0 1 0 0"}, "Malformed animation track header"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 5 0 1 0 0"}, "Invalid animation component kind"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK -1 0 1 0 0"}, "Invalid animation component kind"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 6 0"}, "Invalid animation value kind"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 3 1 2"}, "Invalid vector property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 3 1 2 3 4"}, "Invalid vector property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 4 1 2"}, "Invalid color property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1 2"}, "Invalid float property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 1 1 2"}, "Invalid integer property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 2 1 2"}, "Invalid boolean property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 5 1 2"}, "Invalid enum property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 1 1.5"},
         "Invalid integer in animation data: 1.5"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0"}, "Invalid float property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0 1 1", "", "KEY 1 1 2"},
         "Malformed animation key"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0 1"},
         "Invalid float property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0"}, "Malformed animation key"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0 2 1"},
         "Invalid animation interpolation mode"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0 1 1 2"},
         "Invalid float property value"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0 1 -nan"},
         "Invalid float in animation data: -nan"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "KEY 0 1 1"},
         "Animation section is missing END_ANIMATION"},
        {{head, proj, "CLIP 1 0 10 0", "TRACK 0 0 1 0 1", "ENDTRACK", "TRACK 0 0 1 0 5"},
         "Duplicate animation track for property 1 of node 1"},
    };
    for (const auto& c : cases) {
        TAnimationDocument doc;
        doc.ProjectTime.SetRange(-5, 5);
        doc.AddClip(42, 0, 3);
        const int depth = InvariantDecimalDepth();
        try {
            Load(doc, c.lines);
            ADD_FAILURE() << "no error, expected " << c.message;
        } catch (const EGeneralError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
        EXPECT_EQ(InvariantDecimalDepth(), depth) << c.message;
        EXPECT_EQ(doc.ProjectTime.GetStartFrame(), -5) << c.message;
        ASSERT_EQ(doc.ClipCount(), 1) << c.message;
        EXPECT_EQ(doc.GetClip(0)->GetNodeId(), 42u);
    }
}

TEST(AnimationDocument, SetKeyCreatesClipAndRestKey)
{
    TAnimationDocument doc;
    const TPropertyPath x = MakeNodePropertyPath(5, 1), y = MakeNodePropertyPath(5, 2);
    doc.SetKey(x, 30, MakeFloatPropertyValue(7), MakeFloatPropertyValue(1), 1);
    ASSERT_EQ(doc.ClipCount(), 1);
    const TAnimationClip* clip = doc.FindClipByNode(5);
    EXPECT_EQ(clip->StartFrame, 0);
    EXPECT_EQ(clip->GetLength(), 101);
    const TAnimationTrack* tx = clip->Tracks.FindByTarget(x);
    ASSERT_EQ(tx->KeyCount(), 2);
    EXPECT_EQ(tx->GetKey(0).Frame, 0);
    EXPECT_EQ(tx->GetKey(0).Value.Float, 1);
    EXPECT_EQ(tx->GetKey(1).Frame, 30);
    EXPECT_EQ(tx->GetKey(1).Value.Float, 7);

    doc.SetKey(y, 0, MakeFloatPropertyValue(3), MakeFloatPropertyValue(0), 1);
    EXPECT_EQ(clip->Tracks.FindByTarget(y)->KeyCount(), 1);
    doc.SetKey(x, 30, MakeFloatPropertyValue(8), MakeFloatPropertyValue(99), 0);
    EXPECT_EQ(tx->KeyCount(), 2);
    EXPECT_EQ(tx->GetKey(1).Value.Float, 8);
    EXPECT_EQ(tx->GetKey(0).Value.Float, 1);  // the rest key stays

    auto expectError = [&](const TPropertyPath& p, TPropertyValue v, TPropertyValue rest,
                           const char* m) {
        try {
            doc.SetKey(p, 10, v, rest, 1);
            ADD_FAILURE() << m;
        } catch (const EArgumentError& e) {
            EXPECT_STREQ(e.what(), m);
        }
    };
    expectError(MakeNodePropertyPath(0, 1), MakeFloatPropertyValue(1), MakeFloatPropertyValue(1),
                "Animation keys require a scene node id");
    expectError(x, MakeFloatPropertyValue(1), MakeBooleanPropertyValue(true),
                "Animation key and rest value kinds differ");
    expectError(x, MakeBooleanPropertyValue(true), MakeBooleanPropertyValue(true),
                "Animation key value kind does not match track kind");
    expectError(MakeNodePropertyPath(6, 1),
                MakeFloatPropertyValue(std::numeric_limits<float>::infinity()),
                MakeFloatPropertyValue(0), "Animation key value must be finite");
    EXPECT_EQ(doc.ClipCount(), 1);
}

TEST(AnimationDocument, SetKeyOverTheWidestRange)
{
    TAnimationDocument doc;
    doc.ProjectTime.SetRange(std::numeric_limits<int32_t>::min(),
                             std::numeric_limits<int32_t>::max());
    doc.SetKey(MakeNodePropertyPath(1, 1), 0, MakeFloatPropertyValue(1), MakeFloatPropertyValue(0),
               1);
    const TAnimationClip* clip = doc.GetClip(0);
    EXPECT_EQ(clip->GetLength(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(clip->Tracks.GetItem(0)->GetKey(1).Frame, std::numeric_limits<int32_t>::max() - 1);
}

TEST(AnimationDocument, NeighbouringKeyFrames)
{
    TAnimationDocument doc;
    TAnimationClip* clip = doc.AddClip(3, 100, 50);
    auto a = std::make_unique<TAnimationTrack>(MakeNodePropertyPath(3, 1), pvkFloat,
                                               MakeFloatPropertyValue(0));
    a->SetKey(0, MakeFloatPropertyValue(0), 1);
    a->SetKey(10, MakeFloatPropertyValue(1), 1);
    clip->Tracks.Add(std::move(a));
    auto b = std::make_unique<TAnimationTrack>(MakeNodePropertyPath(3, 2), pvkFloat,
                                               MakeFloatPropertyValue(0));
    b->SetKey(4, MakeFloatPropertyValue(0), 1);
    clip->Tracks.Add(std::move(b));

    int32_t f = -1;
    EXPECT_TRUE(doc.FindNextKeyFrame(3, 100, f));
    EXPECT_EQ(f, 104);
    EXPECT_FALSE(doc.FindPrevKeyFrame(3, 100, f));
    EXPECT_EQ(f, 0);
    EXPECT_TRUE(doc.FindPrevKeyFrame(3, 200, f));
    EXPECT_EQ(f, 110);
    EXPECT_TRUE(doc.FindNextKeyFrame(3, 104, f));
    EXPECT_EQ(f, 110);
    EXPECT_FALSE(doc.FindNextKeyFrame(3, 110, f));
    EXPECT_FALSE(doc.FindNextKeyFrame(9, 0, f));  // no clip
}

TEST(AnimationDocument, AssignAndCloneShareNothing)
{
    TAnimationDocument source;
    source.ProjectTime.SetRange(10, 20);
    source.ProjectTime.SetFPS(25);
    source.ProjectTime.SetLoop(true);
    source.ProjectTime.SetCurrentFrame(15);
    source.SetKey(MakeNodePropertyPath(2, 1), 15, MakeFloatPropertyValue(4),
                  MakeFloatPropertyValue(0), 1);

    TAnimationDocument target;
    target.ProjectTime.Playing = true;
    target.AddClip(8, 0, 5);
    target.Assign(&source);
    EXPECT_FALSE(target.ProjectTime.Playing);
    EXPECT_EQ(target.ProjectTime.GetCurrentFrame(), 15);
    EXPECT_EQ(target.ProjectTime.GetFPS(), 25);
    EXPECT_TRUE(target.ProjectTime.GetLoopTimeline());
    EXPECT_EQ(target.FindClipByNode(8), nullptr);
    ASSERT_NE(target.FindClipByNode(2), nullptr);
    EXPECT_NE(target.FindClipByNode(2), source.FindClipByNode(2));
    target.SetKey(MakeNodePropertyPath(2, 1), 15, MakeFloatPropertyValue(9),
                  MakeFloatPropertyValue(0), 1);
    EXPECT_EQ(source.GetClip(0)->Tracks.GetItem(0)->GetKey(1).Value.Float, 4);

    auto copy = source.Clone();
    EXPECT_EQ(Write(*copy), Write(source));
    source.Assign(&source);  // self-assignment keeps everything
    EXPECT_EQ(source.ClipCount(), 1);
    source.Assign(nullptr);
    EXPECT_EQ(source.ClipCount(), 1);

    source.Clear();
    EXPECT_EQ(source.ClipCount(), 0);
    EXPECT_EQ(source.ProjectTime.GetEndFrame(), 100);
    EXPECT_EQ(source.FindClipByNode(2), nullptr);
}
