#include "scene/uAnimationCommands.h"

#include <algorithm>
#include <limits>

#include "base/uErrors.h"
#include "scene/uScene.h"

namespace {
// Interpolation of every key the timeline sets.
constexpr int32_t kLinear = 1;

// The length of a clip over the whole project range. The widest range holds 2^32 frames,
// more than a clip can.
int32_t ProjectClipLength(const TProjectTime& Time)
{
    return static_cast<int32_t>(
        std::min<int64_t>(Time.RangeLength(), std::numeric_limits<int32_t>::max()));
}
}  // namespace

// --- Snapshot base ---

TAnimationSnapshotCommand::TAnimationSnapshotCommand(const TAnimationCommandTarget& Target,
                                                     const char* MissingDocument)
    : Target(Target)
{
    if (Target.Animation == nullptr)
        throw EArgumentError(MissingDocument);
}

void TAnimationSnapshotCommand::TakeBeforeSnapshot()
{
    BeforeSnapshot = Target.Animation->Clone();
}

void TAnimationSnapshotCommand::Execute()
{
    TAnimationDocument& animation = *Target.Animation;
    if (Executed) {
        animation.Assign(AfterSnapshot.get());
    } else {
        try {
            ApplyFirst(animation);
        } catch (...) {
            // A half-applied edit would stay in the document with no command to undo it.
            animation.Assign(BeforeSnapshot.get());
            throw;
        }
        AfterSnapshot = animation.Clone();
        Executed = true;
    }
    Changed();
}

void TAnimationSnapshotCommand::Undo()
{
    Target.Animation->Assign(BeforeSnapshot.get());
    Changed();
}

void TAnimationSnapshotCommand::Changed()
{
    if (Target.MarkChanged)
        Target.MarkChanged();
}

// --- Keys of the touched properties ---

TInsertOrUpdateTouchedKeysCommand::TInsertOrUpdateTouchedKeysCommand(
    const TAnimationCommandTarget& Target, int32_t Frame, const TAnimationRecorder* Recorder)
    : TAnimationSnapshotCommand(Target, "Animation command requires a document"), Frame(Frame)
{
    if (Target.Scene == nullptr)
        throw EArgumentError("Animation command requires a document");
    if (Recorder == nullptr || Recorder->Count() == 0)
        throw EArgumentError("No touched properties to key");
    TakeBeforeSnapshot();
    const TScene& scene = *Target.Scene;
    for (int i = 0; i < Recorder->Count(); ++i) {
        const TRecordedProperty& item = Recorder->GetItem(i);
        // A touched node that has been deleted since is left out: it can no longer be
        // keyed, and refusing the whole command would block every later key.
        const TSceneNode* node =
            item.Path.ComponentKind == 0 ? scene.FindNodeById(item.Path.NodeId) : nullptr;
        if (node == nullptr || node == scene.GetRoot())
            continue;
        TPropertyValue present;
        node->GetPropertyValue(item.Path.PropertyId, present);
        if (PropertyValuesEqual(present, item.Value))
            continue;
        Keys.push_back({item.Path, present, item.Value});
    }
    if (Keys.empty())
        throw EArgumentError("No touched properties changed");
}

void TInsertOrUpdateTouchedKeysCommand::ApplyFirst(TAnimationDocument& Animation)
{
    for (const TRecordedAnimationKey& key : Keys)
        Animation.SetKey(key.Path, Frame, key.NewValue, key.OldValue, kLinear);
}

// --- Clip range ---

TChangeClipRangeCommand::TChangeClipRangeCommand(const TAnimationCommandTarget& Target,
                                                 uint32_t NodeId, int32_t StartFrame,
                                                 int32_t Length)
    : TAnimationSnapshotCommand(Target, "Clip range command requires a document"), NodeId(NodeId),
      StartFrame(StartFrame), Length(Length)
{
    if (NodeId == 0)
        throw EArgumentError("Clip range command requires a node id");
    if (Length < 1)
        throw EArgumentError("Animation clip length must be positive");
    TakeBeforeSnapshot();
}

void TChangeClipRangeCommand::ApplyFirst(TAnimationDocument& Animation)
{
    const TProjectTime& time = Animation.ProjectTime;
    TAnimationClip* clip =
        Animation.GetOrAddClip(NodeId, time.GetStartFrame(), ProjectClipLength(time));
    clip->StartFrame = StartFrame;
    clip->SetLength(Length);
}

// --- Clip playback ---

TChangeClipPlaybackModeCommand::TChangeClipPlaybackModeCommand(
    const TAnimationCommandTarget& Target, uint32_t NodeId, TClipPlaybackMode Mode)
    : TAnimationSnapshotCommand(Target, "Clip playback command requires a document"),
      NodeId(NodeId), Mode(Mode)
{
    if (NodeId == 0)
        throw EArgumentError("Clip playback command requires a node id");
    TakeBeforeSnapshot();
}

void TChangeClipPlaybackModeCommand::ApplyFirst(TAnimationDocument& Animation)
{
    const TProjectTime& time = Animation.ProjectTime;
    TAnimationClip* clip =
        Animation.GetOrAddClip(NodeId, time.GetStartFrame(), ProjectClipLength(time));
    clip->PlaybackMode = Mode;
}
