#include "scene/uAnimationClip.h"

#include "base/uErrors.h"

namespace {

void CheckLength(int32_t Length)
{
    if (Length < 1)
        throw EArgumentError("Animation clip length must be positive");
}

}  // namespace

TAnimationClip::TAnimationClip(uint32_t NewNodeId, int32_t NewStartFrame, int32_t NewLength)
    : StartFrame(NewStartFrame), NodeId(NewNodeId)
{
    CheckLength(NewLength);
    Length = NewLength;
}

void TAnimationClip::SetLength(int32_t Value)
{
    CheckLength(Value);
    Length = Value;
}

int32_t TAnimationClip::LocalFrame(int32_t ProjectFrame) const
{
    // 64 bits: start and frame may lie at opposite ends of the 32-bit range.
    const int64_t d = int64_t(ProjectFrame) - StartFrame;
    if (d < 0)
        return 0;
    if (PlaybackMode == cpmLoop)
        return static_cast<int32_t>(d % Length);
    return static_cast<int32_t>(d < Length ? d : Length - 1);
}

void TAnimationClip::Evaluate(int32_t ProjectFrame, TAnimationEvaluation* Evaluation) const
{
    if (Evaluation == nullptr)
        return;
    const int32_t local = LocalFrame(ProjectFrame);
    for (int i = 0; i < Tracks.Count(); ++i) {
        const TAnimationTrack* track = Tracks.GetItem(i);
        Evaluation->SetValue(track->GetTarget(), track->Evaluate(local));
    }
}

std::unique_ptr<TAnimationClip> TAnimationClip::Clone() const
{
    auto copy = std::make_unique<TAnimationClip>(NodeId, StartFrame, Length);
    copy->PlaybackMode = PlaybackMode;
    copy->Tracks.Assign(&Tracks);
    return copy;
}
