#pragma once
// Keyed animation of one property: keys at clip-local frames, sorted and unique, and a
// rest value that applies before the first key.
#include <cstdint>
#include <memory>
#include <vector>

#include "scene/uPropertyTypes.h"

struct TAnimationKey {
    int32_t Frame = 0;  // clip-local
    TPropertyValue Value;
    int32_t Interpolation = 0;  // towards the next key: 0 hold, any other linear
};

class TAnimationTrack {
public:
    // EArgumentError when RestValue's kind is not ValueKind, or it holds a non-finite float.
    TAnimationTrack(const TPropertyPath& Target, TPropertyValueKind ValueKind,
                    const TPropertyValue& RestValue);

    const TPropertyPath& GetTarget() const { return Target; }
    TPropertyValueKind GetValueKind() const { return ValueKind; }
    const TPropertyValue& GetRestValue() const { return RestValue; }

    // Replaces the key at Key.Frame or inserts it in order. EArgumentError when the
    // value's kind is not the track's, or it holds a non-finite float.
    void SetKey(const TAnimationKey& Key);
    void SetKey(int32_t Frame, const TPropertyValue& Value, int32_t Interpolation);
    // Replaces every key with Keys in one pass, as SetKey of each in turn would leave them:
    // sorted by frame, and of keys at one frame the last wins. The same errors as SetKey,
    // before anything changes.
    void SetKeys(std::vector<TAnimationKey> Keys);
    int FindKeyIndex(int32_t Frame) const;
    // First index whose key frame is not below Frame; KeyCount when there is none.
    int LowerBoundFrame(int32_t Frame) const;
    bool CanInterpolate() const;
    int KeyCount() const { return static_cast<int>(Keys.size()); }
    // Index within 0..KeyCount-1.
    const TAnimationKey& GetKey(int Index) const { return Keys[static_cast<size_t>(Index)]; }
    TPropertyValue Evaluate(int32_t Frame) const;
    std::unique_ptr<TAnimationTrack> Clone() const;

private:
    TPropertyPath Target;
    TPropertyValueKind ValueKind;
    TPropertyValue RestValue;
    std::vector<TAnimationKey> Keys;
};

// An ordered list that owns its tracks.
class TAnimationTrackList {
public:
    void Clear() { Items.clear(); }
    // -1 for none; otherwise the index of the appended track.
    int Add(std::unique_ptr<TAnimationTrack> Track);
    TAnimationTrack* FindByTarget(const TPropertyPath& Path) const;
    // Deep copy of Other's tracks (none for a null Other).
    void Assign(const TAnimationTrackList* Other);
    int Count() const { return static_cast<int>(Items.size()); }
    // EArgumentOutOfRangeException outside the list.
    TAnimationTrack* GetItem(int Index) const;

private:
    std::vector<std::unique_ptr<TAnimationTrack>> Items;
};
