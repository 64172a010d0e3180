#pragma once
// The undoable edits of animation data: keying the touched properties at a frame,
// changing a node's clip range and switching a clip between playing once and looping.
// Each undoes and redoes by whole-document snapshots: a deep copy of the animation taken
// when the command is made and another at the end of its first run. So undo and redo also
// bring back the project time of that moment, and stop playback.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/uCommandHistory.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uPropertyTypes.h"

class TScene;

// What the commands work on, handed in by the project document: its animation, the scene
// whose node properties are keyed, and its revision bump.
struct TAnimationCommandTarget {
    TAnimationDocument* Animation = nullptr;  // not owned
    const TScene* Scene = nullptr;            // not owned; read by the key command
    std::function<void()> MarkChanged;        // may be empty
};

struct TRecordedAnimationKey {
    TPropertyPath Path;
    TPropertyValue NewValue;  // the property's value when the command was made
    TPropertyValue OldValue;  // its value at the first touch
};

// Runs the first edit, keeps the snapshots and replays them.
class TAnimationSnapshotCommand : public TEditorCommand {
public:
    // First run: the edit; when it raises, the animation is put back as it was before the
    // error goes on. Later runs: the animation as the first run left it. Both count as a
    // change of the project.
    void Execute() final;
    // The animation as it was when the command was made; counts as a change.
    void Undo() final;

protected:
    // EArgumentError MissingDocument when Target has no animation.
    TAnimationSnapshotCommand(const TAnimationCommandTarget& Target, const char* MissingDocument);
    // Called by the derived constructor once its arguments are checked.
    void TakeBeforeSnapshot();
    virtual void ApplyFirst(TAnimationDocument& Animation) = 0;

    TAnimationCommandTarget Target;

private:
    void Changed();

    std::unique_ptr<TAnimationDocument> BeforeSnapshot;
    std::unique_ptr<TAnimationDocument> AfterSnapshot;
    bool Executed = false;
};

class TInsertOrUpdateTouchedKeysCommand : public TAnimationSnapshotCommand {
public:
    // Keys every touched property whose present value differs from its recorded one, with
    // the recorded value as the rest value. Touched properties whose node is gone are left
    // out. EArgumentError: "Animation command requires a document" (no animation or no
    // scene), "No touched properties to key" (no recorder, or an empty one), "No touched
    // properties changed" (nothing left to key).
    TInsertOrUpdateTouchedKeysCommand(const TAnimationCommandTarget& Target, int32_t Frame,
                                      const TAnimationRecorder* Recorder);
    std::string GetDescription() const override
    {
        return "Insert or update touched animation keys";
    }

    const std::vector<TRecordedAnimationKey>& GetKeys() const { return Keys; }
    int32_t GetFrame() const { return Frame; }

protected:
    void ApplyFirst(TAnimationDocument& Animation) override;

private:
    std::vector<TRecordedAnimationKey> Keys;
    int32_t Frame;
};

class TChangeClipRangeCommand : public TAnimationSnapshotCommand {
public:
    // A node without a clip first gets one over the project range. EArgumentError: "Clip
    // range command requires a document", "Clip range command requires a node id",
    // "Animation clip length must be positive".
    TChangeClipRangeCommand(const TAnimationCommandTarget& Target, uint32_t NodeId,
                            int32_t StartFrame, int32_t Length);
    std::string GetDescription() const override { return "Change animation clip range"; }

protected:
    void ApplyFirst(TAnimationDocument& Animation) override;

private:
    uint32_t NodeId;
    int32_t StartFrame;
    int32_t Length;
};

class TChangeClipPlaybackModeCommand : public TAnimationSnapshotCommand {
public:
    // EArgumentError: "Clip playback command requires a document", "Clip playback command
    // requires a node id".
    TChangeClipPlaybackModeCommand(const TAnimationCommandTarget& Target, uint32_t NodeId,
                                   TClipPlaybackMode Mode);
    std::string GetDescription() const override { return "Change animation clip playback"; }

protected:
    void ApplyFirst(TAnimationDocument& Animation) override;

private:
    uint32_t NodeId;
    TClipPlaybackMode Mode;
};
