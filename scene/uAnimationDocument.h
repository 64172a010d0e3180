#pragma once
// The animation of one project: the project time and at most one clip per scene node,
// with keying, neighbouring-key search, deep copies and the animation section of the
// scene file. Clips are not tied to the scene: a clip whose node is gone is kept,
// saved and never evaluated.
#include <cstdint>
#include <memory>
#include <unordered_map>
#include <vector>

#include "scene/uAnimationClip.h"
#include "scene/uProjectTime.h"

class TTextLineSink;
class TTextLineSource;

class TAnimationDocument {
public:
    TAnimationDocument() = default;
    TAnimationDocument(const TAnimationDocument&) = delete;
    TAnimationDocument& operator=(const TAnimationDocument&) = delete;

    TProjectTime ProjectTime;

    // ClearClips, then the default project time.
    void Clear();
    void ClearClips();
    int ClipCount() const { return static_cast<int>(Clips.size()); }
    // EArgumentOutOfRangeException outside the list.
    TAnimationClip* GetClip(int Index) const;
    TAnimationClip* FindClipByNode(uint32_t NodeId) const;
    // EArgumentError when the node has a clip or Length < 1.
    TAnimationClip* AddClip(uint32_t NodeId, int32_t StartFrame, int32_t Length);
    // The node's clip (StartFrame and Length then ignored), else a new one.
    TAnimationClip* GetOrAddClip(uint32_t NodeId, int32_t StartFrame, int32_t Length);
    void EvaluateNodeClip(uint32_t NodeId, int32_t ProjectFrame,
                          TAnimationEvaluation* Evaluation) const;

    // Project frames of the node's keys (clip start + key frame, loops not unfolded):
    // the largest below / smallest above Frame. False and 0 when there is none.
    bool FindPrevKeyFrame(uint32_t NodeId, int32_t Frame, int32_t& KeyFrame) const;
    bool FindNextKeyFrame(uint32_t NodeId, int32_t Frame, int32_t& KeyFrame) const;

    // Keys Path at a project frame. A node's first key makes a clip over the whole
    // project range; a property's first key after frame 0 also keys RestValue at 0.
    void SetKey(const TPropertyPath& Path, int32_t ProjectFrame, const TPropertyValue& Value,
                const TPropertyValue& RestValue, int32_t Interpolation);

    std::unique_ptr<TAnimationDocument> Clone() const;
    // Takes Other's project time (Playing cleared) and deep copies of its clips.
    void Assign(const TAnimationDocument* Other);
    // What Assign does, moving the clips instead of copying them: Other is left with this
    // document's former clips (a staging document that is dropped next).
    void TakeFrom(TAnimationDocument& Other);

private:
    void TakeProjectTime(const TAnimationDocument& Other);
    std::vector<std::unique_ptr<TAnimationClip>> Clips;
    std::unordered_map<uint32_t, TAnimationClip*> ClipByNode;  // looked up every frame
};

// The section of the scene file, from "BEGIN_ANIMATION" to "END_ANIMATION".
void WriteAnimationSection(const TAnimationDocument& Document, TTextLineSink& File);
// Reads into a temporary document and applies it only when the whole section read;
// on failure Document is unchanged and the error goes on to the caller.
void LoadAnimationSection(TAnimationDocument& Document, TTextLineSource& File);
// The reader itself; Document should be empty.
void ReadAnimationSection(TAnimationDocument& Document, TTextLineSource& File);
