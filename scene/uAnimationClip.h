#pragma once
// The animation of one node on the project timeline: from StartFrame for Length frames,
// then holding its last frame or looping. One track per animated property.
#include <cstdint>
#include <memory>

#include "scene/uAnimationTrack.h"

enum TClipPlaybackMode : int32_t {
    cpmOnce = 0,  // after its last frame the clip holds
    cpmLoop = 1,  // the clip repeats
};

class TAnimationClip {
public:
    // EArgumentError when Length < 1.
    TAnimationClip(uint32_t NodeId, int32_t StartFrame, int32_t Length);

    uint32_t GetNodeId() const { return NodeId; }
    int32_t GetLength() const { return Length; }
    // EArgumentError when Length < 1. Keys are not touched.
    void SetLength(int32_t Value);

    // Plain fields: the commands and the section reader write them directly.
    int32_t StartFrame = 0;
    TClipPlaybackMode PlaybackMode = cpmOnce;
    TAnimationTrackList Tracks;

    // The clip-local frame shown at a project frame: 0 before the start, then wrapped
    // or held at the last frame.
    int32_t LocalFrame(int32_t ProjectFrame) const;
    // One value per track into Evaluation; nothing when it is null.
    void Evaluate(int32_t ProjectFrame, TAnimationEvaluation* Evaluation) const;
    std::unique_ptr<TAnimationClip> Clone() const;

private:
    uint32_t NodeId;
    int32_t Length = 1;
};
