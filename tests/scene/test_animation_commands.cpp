#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "base/uCommandHistory.h"
#include "scene/uAnimationCommands.h"
#include "scene/uScene.h"

namespace {

// A scene, its animation and recorder, and a revision counter standing in for the
// project document.
class AnimationCommandsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Target.Animation = &Animation;
        Target.Scene = &Scene;
        Target.MarkChanged = [this] { ++Revision; };
        A = Scene.CreateGroup("A", nullptr, 0);
        B = Scene.CreateGroup("B", nullptr, 1);
    }

    // An edit by the user: the recorder keeps the value before the first touch.
    void Touch(TSceneNode* Node, int32_t Property, float Value)
    {
        TPropertyValue old;
        Node->GetPropertyValue(Property, old);
        Recorder.RecordTouch(MakeNodePropertyPath(Node->GetId(), Property), old);
        Node->SetPropertyValue(Property, MakeFloatPropertyValue(Value), 0);
    }

    const TAnimationTrack* Track(const TSceneNode* Node, int32_t Property) const
    {
        const TAnimationClip* clip = Animation.FindClipByNode(Node->GetId());
        return clip != nullptr
                   ? clip->Tracks.FindByTarget(MakeNodePropertyPath(Node->GetId(), Property))
                   : nullptr;
    }

    template <typename F>
    void ExpectArgumentError(F&& Call, const std::string& Message)
    {
        try {
            Call();
            ADD_FAILURE() << "no error, expected: " << Message;
        } catch (const EArgumentError& e) {
            EXPECT_EQ(std::string(e.what()), Message);
        }
    }

    TScene Scene;
    TAnimationDocument Animation;
    TAnimationRecorder Recorder;
    TAnimationCommandTarget Target;
    TCommandHistory History{1000};
    int Revision = 0;
    TSceneGroup* A = nullptr;
    TSceneGroup* B = nullptr;
};

}  // namespace

TEST_F(AnimationCommandsFixture, ConstructionRefusesBadArguments)
{
    const TAnimationCommandTarget none;
    TAnimationCommandTarget noScene = Target;
    noScene.Scene = nullptr;
    Touch(A, kNodePropertyPositionX, 2);
    TAnimationRecorder empty;
    TAnimationRecorder unchanged;
    unchanged.RecordTouch(MakeNodePropertyPath(B->GetId(), kNodePropertyPositionX),
                          MakeFloatPropertyValue(0));

    struct TCase {
        std::function<void()> Make;
        const char* Message;
    };
    const TCase cases[] = {
        {[&] { TInsertOrUpdateTouchedKeysCommand(none, 0, &Recorder); },
         "Animation command requires a document"},
        {[&] { TInsertOrUpdateTouchedKeysCommand(noScene, 0, &Recorder); },
         "Animation command requires a document"},
        {[&] { TInsertOrUpdateTouchedKeysCommand(Target, 0, nullptr); },
         "No touched properties to key"},
        {[&] { TInsertOrUpdateTouchedKeysCommand(Target, 0, &empty); },
         "No touched properties to key"},
        {[&] { TInsertOrUpdateTouchedKeysCommand(Target, 0, &unchanged); },
         "No touched properties changed"},
        {[&] { TChangeClipRangeCommand(none, 1, 0, 10); },
         "Clip range command requires a document"},
        {[&] { TChangeClipRangeCommand(Target, 0, 0, 10); },
         "Clip range command requires a node id"},
        {[&] { TChangeClipRangeCommand(Target, 1, 0, 0); },
         "Animation clip length must be positive"},
        {[&] { TChangeClipPlaybackModeCommand(none, 1, cpmLoop); },
         "Clip playback command requires a document"},
        {[&] { TChangeClipPlaybackModeCommand(Target, 0, cpmLoop); },
         "Clip playback command requires a node id"},
    };
    for (const TCase& c : cases)
        ExpectArgumentError(c.Make, c.Message);
    EXPECT_EQ(Animation.ClipCount(), 0);
    EXPECT_EQ(Revision, 0);
}

TEST_F(AnimationCommandsFixture, KeyingATouchedPropertyAndUndoRedo)
{
    A->SetPosition({1, 0, 0});
    Animation.ProjectTime.SetCurrentFrame(30);
    Touch(A, kNodePropertyPositionX, 4);
    History.Execute(std::make_unique<TInsertOrUpdateTouchedKeysCommand>(Target, 30, &Recorder));
    EXPECT_EQ(Revision, 1);

    const TAnimationClip* clip = Animation.FindClipByNode(A->GetId());
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->StartFrame, 0);
    EXPECT_EQ(clip->GetLength(), 101);
    const TAnimationTrack* track = Track(A, kNodePropertyPositionX);
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->KeyCount(), 2);
    EXPECT_EQ(track->GetKey(0).Frame, 0);
    EXPECT_EQ(track->GetKey(0).Value.Float, 1.0f);
    EXPECT_EQ(track->GetKey(0).Interpolation, 1);
    EXPECT_EQ(track->GetKey(1).Frame, 30);
    EXPECT_EQ(track->GetKey(1).Value.Float, 4.0f);
    EXPECT_EQ(track->GetKey(1).Interpolation, 1);

    // Undo brings back the project time of the command's making, and stops playback.
    Animation.ProjectTime.SetCurrentFrame(70);
    Animation.ProjectTime.Playing = true;
    History.Undo();
    EXPECT_EQ(Animation.ClipCount(), 0);
    EXPECT_EQ(Animation.ProjectTime.GetCurrentFrame(), 30);
    EXPECT_FALSE(Animation.ProjectTime.Playing);
    EXPECT_EQ(Revision, 2);

    History.Redo();
    EXPECT_EQ(Revision, 3);
    track = Track(A, kNodePropertyPositionX);
    ASSERT_NE(track, nullptr);
    ASSERT_EQ(track->KeyCount(), 2);
    EXPECT_EQ(track->GetKey(1).Value.Float, 4.0f);
    EXPECT_EQ(Animation.ClipCount(), 1);
}

TEST_F(AnimationCommandsFixture, TouchedNodesDeletedSinceAreLeftOut)
{
    Touch(A, kNodePropertyPositionY, 2);
    Touch(B, kNodePropertyPositionY, 3);
    Scene.DeleteNode(B);
    auto command = std::make_unique<TInsertOrUpdateTouchedKeysCommand>(Target, 10, &Recorder);
    ASSERT_EQ(command->GetKeys().size(), 1u);
    EXPECT_EQ(command->GetKeys()[0].Path.NodeId, A->GetId());
    History.Execute(std::move(command));
    EXPECT_NE(Track(A, kNodePropertyPositionY), nullptr);
    EXPECT_EQ(Animation.ClipCount(), 1);

    // When every touched node is gone there is nothing to key.
    Scene.DeleteNode(A);
    ExpectArgumentError([&] { TInsertOrUpdateTouchedKeysCommand(Target, 10, &Recorder); },
                        "No touched properties changed");
}

TEST_F(AnimationCommandsFixture, AFailedFirstRunLeavesNoPartialEdit)
{
    // B's clip holds a track of the wrong kind for position X (as a hand-edited file can):
    // keying A succeeds first, then keying B fails.
    TAnimationClip* clipB = Animation.AddClip(B->GetId(), 0, 50);
    const TPropertyPath pathB = MakeNodePropertyPath(B->GetId(), kNodePropertyPositionX);
    clipB->Tracks.Add(
        std::make_unique<TAnimationTrack>(pathB, pvkBoolean, MakeBooleanPropertyValue(false)));
    Touch(A, kNodePropertyPositionX, 2);
    Touch(B, kNodePropertyPositionX, 5);

    // An unrelated command before it stays undoable and redoable.
    History.Execute(std::make_unique<TChangeClipPlaybackModeCommand>(Target, B->GetId(), cpmLoop));
    const int revision = Revision;
    ExpectArgumentError(
        [&] {
            History.Execute(
                std::make_unique<TInsertOrUpdateTouchedKeysCommand>(Target, 20, &Recorder));
        },
        "Animation key value kind does not match track kind");
    EXPECT_EQ(Animation.FindClipByNode(A->GetId()), nullptr);
    EXPECT_EQ(Animation.ClipCount(), 1);
    EXPECT_EQ(Animation.FindClipByNode(B->GetId())->Tracks.Count(), 1);
    EXPECT_EQ(Revision, revision);
    EXPECT_EQ(History.UndoCount(), 1u);
    History.Undo();
    EXPECT_EQ(Animation.FindClipByNode(B->GetId())->PlaybackMode, cpmOnce);
}

TEST_F(AnimationCommandsFixture, RangeCommandMakesAClipWhenNeededAndUndoRemovesIt)
{
    Animation.ProjectTime.SetRange(10, 60);
    History.Execute(std::make_unique<TChangeClipRangeCommand>(Target, A->GetId(), 25, 8));
    const TAnimationClip* clip = Animation.FindClipByNode(A->GetId());
    ASSERT_NE(clip, nullptr);
    EXPECT_EQ(clip->StartFrame, 25);
    EXPECT_EQ(clip->GetLength(), 8);
    History.Undo();
    EXPECT_EQ(Animation.FindClipByNode(A->GetId()), nullptr);
    History.Redo();
    ASSERT_NE(Animation.FindClipByNode(A->GetId()), nullptr);
    EXPECT_EQ(Animation.FindClipByNode(A->GetId())->GetLength(), 8);

    // On a clip with keys only the range changes.
    Touch(B, kNodePropertyScaleZ, 3);
    History.Execute(std::make_unique<TInsertOrUpdateTouchedKeysCommand>(Target, 40, &Recorder));
    History.Execute(std::make_unique<TChangeClipRangeCommand>(Target, B->GetId(), -5, 200));
    const TAnimationClip* clipB = Animation.FindClipByNode(B->GetId());
    EXPECT_EQ(clipB->StartFrame, -5);
    EXPECT_EQ(clipB->GetLength(), 200);
    ASSERT_NE(Track(B, kNodePropertyScaleZ), nullptr);
    EXPECT_EQ(Track(B, kNodePropertyScaleZ)->KeyCount(), 2);
    History.Undo();
    EXPECT_EQ(Animation.FindClipByNode(B->GetId())->StartFrame, 10);
    EXPECT_EQ(Animation.FindClipByNode(B->GetId())->GetLength(), 51);
}

TEST_F(AnimationCommandsFixture, RangeCommandOverTheWidestProjectRange)
{
    Animation.ProjectTime.SetRange(std::numeric_limits<int32_t>::min(),
                                   std::numeric_limits<int32_t>::max());
    History.Execute(std::make_unique<TChangeClipRangeCommand>(Target, A->GetId(), 0, 12));
    ASSERT_NE(Animation.FindClipByNode(A->GetId()), nullptr);
    EXPECT_EQ(Animation.FindClipByNode(A->GetId())->GetLength(), 12);
}

TEST_F(AnimationCommandsFixture, PlaybackCommandChangesOnlyTheMode)
{
    Animation.AddClip(A->GetId(), 5, 20);
    History.Execute(std::make_unique<TChangeClipPlaybackModeCommand>(Target, A->GetId(), cpmLoop));
    const TAnimationClip* clip = Animation.FindClipByNode(A->GetId());
    EXPECT_EQ(clip->PlaybackMode, cpmLoop);
    EXPECT_EQ(clip->StartFrame, 5);
    EXPECT_EQ(clip->GetLength(), 20);
    History.Undo();
    EXPECT_EQ(Animation.FindClipByNode(A->GetId())->PlaybackMode, cpmOnce);
    History.Redo();
    EXPECT_EQ(Animation.FindClipByNode(A->GetId())->PlaybackMode, cpmLoop);
    EXPECT_EQ(Revision, 3);
}
