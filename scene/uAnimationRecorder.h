#pragma once
// Remembers which animatable properties the user touched since the last key, restore
// or load, and the value each had before its first touch, so that edits can be keyed
// afterwards with that value as the rest value.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "scene/uPropertyTypes.h"

class TScene;

struct TRecordedProperty {
    TPropertyPath Path;
    TPropertyValue Value;  // before the first touch
};

class TAnimationRecorder {
public:
    int IndexOf(const TPropertyPath& Path) const;
    // Appends (Path, Value) unless Path is recorded already: the first touch wins.
    void RecordTouch(const TPropertyPath& Path, const TPropertyValue& Value);
    void Clear() { Items.clear(); }
    // Drops every touch of the node (component kind 0) whose property is back at its
    // recorded value. An edit that was cancelled and put the node back leaves no touch
    // behind, so that keying and playback see only real changes. Nothing for an id no
    // node has (0 is the root).
    void ForgetUnchanged(const TScene& Scene, uint32_t NodeId);
    int Count() const { return static_cast<int>(Items.size()); }
    // Index within 0..Count-1.
    const TRecordedProperty& GetItem(int Index) const { return Items[static_cast<size_t>(Index)]; }

private:
    std::vector<TRecordedProperty> Items;
};
