#include "scene/uAnimationTrack.h"

#include <algorithm>
#include <string>

#include "base/uErrors.h"

TAnimationTrack::TAnimationTrack(const TPropertyPath& NewTarget, TPropertyValueKind NewValueKind,
                                 const TPropertyValue& NewRestValue)
    : Target(NewTarget), ValueKind(NewValueKind), RestValue(NewRestValue)
{
    if (NewRestValue.Kind != NewValueKind)
        throw EArgumentError("Animation rest value kind does not match track kind");
    // A non-finite value could not be saved: the file holds finite numbers only.
    if (!PropertyValueIsFinite(NewRestValue))
        throw EArgumentError("Animation rest value must be finite");
}

void TAnimationTrack::SetKey(const TAnimationKey& Key)
{
    if (Key.Value.Kind != ValueKind)
        throw EArgumentError("Animation key value kind does not match track kind");
    if (!PropertyValueIsFinite(Key.Value))
        throw EArgumentError("Animation key value must be finite");
    const int index = FindKeyIndex(Key.Frame);
    if (index >= 0)
        Keys[static_cast<size_t>(index)] = Key;
    else
        Keys.insert(Keys.begin() + LowerBoundFrame(Key.Frame), Key);
}

void TAnimationTrack::SetKey(int32_t Frame, const TPropertyValue& Value, int32_t Interpolation)
{
    SetKey(TAnimationKey{Frame, Value, Interpolation});
}

void TAnimationTrack::SetKeys(std::vector<TAnimationKey> NewKeys)
{
    for (const TAnimationKey& key : NewKeys) {
        if (key.Value.Kind != ValueKind)
            throw EArgumentError("Animation key value kind does not match track kind");
        if (!PropertyValueIsFinite(key.Value))
            throw EArgumentError("Animation key value must be finite");
    }
    // Stable: keys at one frame keep their order, and the last of each run is kept.
    std::stable_sort(
        NewKeys.begin(), NewKeys.end(),
        [](const TAnimationKey& A, const TAnimationKey& B) { return A.Frame < B.Frame; });
    size_t kept = 0;
    for (size_t i = 0; i < NewKeys.size(); ++i) {
        if (i + 1 < NewKeys.size() && NewKeys[i + 1].Frame == NewKeys[i].Frame)
            continue;
        NewKeys[kept++] = NewKeys[i];
    }
    NewKeys.resize(kept);
    Keys = std::move(NewKeys);
}

int TAnimationTrack::FindKeyIndex(int32_t Frame) const
{
    const int i = LowerBoundFrame(Frame);
    return i < KeyCount() && Keys[static_cast<size_t>(i)].Frame == Frame ? i : -1;
}

int TAnimationTrack::LowerBoundFrame(int32_t Frame) const
{
    int lo = 0, hi = KeyCount();
    while (lo < hi) {
        const int mid = lo + (hi - lo) / 2;
        if (Keys[static_cast<size_t>(mid)].Frame < Frame)
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

bool TAnimationTrack::CanInterpolate() const
{
    return ValueKind == pvkFloat || ValueKind == pvkVector || ValueKind == pvkColor;
}

namespace {

float Lerp(float A, float B, float t)
{
    return A + (B - A) * t;
}

}  // namespace

TPropertyValue TAnimationTrack::Evaluate(int32_t Frame) const
{
    if (Keys.empty() || Frame < Keys.front().Frame)
        return RestValue;
    if (Frame >= Keys.back().Frame)
        return Keys.back().Value;
    const int i = LowerBoundFrame(Frame);
    const TAnimationKey& b = Keys[static_cast<size_t>(i)];
    if (b.Frame == Frame)
        return b.Value;
    const TAnimationKey& a = Keys[static_cast<size_t>(i - 1)];
    if (a.Interpolation == 0 || !CanInterpolate())
        return a.Value;
    // Differences in 64 bits: key frames may sit anywhere in the 32-bit range.
    const float t =
        static_cast<float>(double(int64_t(Frame) - a.Frame) / double(int64_t(b.Frame) - a.Frame));
    TPropertyValue result = a.Value;
    if (ValueKind == pvkFloat) {
        result.Float = Lerp(a.Value.Float, b.Value.Float, t);
    } else {
        result.Vector.X = Lerp(a.Value.Vector.X, b.Value.Vector.X, t);
        result.Vector.Y = Lerp(a.Value.Vector.Y, b.Value.Vector.Y, t);
        result.Vector.Z = Lerp(a.Value.Vector.Z, b.Value.Vector.Z, t);
    }
    return result;
}

std::unique_ptr<TAnimationTrack> TAnimationTrack::Clone() const
{
    auto copy = std::make_unique<TAnimationTrack>(Target, ValueKind, RestValue);
    copy->Keys = Keys;
    return copy;
}

int TAnimationTrackList::Add(std::unique_ptr<TAnimationTrack> Track)
{
    if (!Track)
        return -1;
    Items.push_back(std::move(Track));
    return Count() - 1;
}

TAnimationTrack* TAnimationTrackList::FindByTarget(const TPropertyPath& Path) const
{
    for (const auto& track : Items)
        if (PropertyPathsEqual(track->GetTarget(), Path))
            return track.get();
    return nullptr;
}

void TAnimationTrackList::Assign(const TAnimationTrackList* Other)
{
    if (Other == this)
        return;
    Clear();
    if (Other == nullptr)
        return;
    Items.reserve(Other->Items.size());
    for (const auto& track : Other->Items)
        Items.push_back(track->Clone());
}

TAnimationTrack* TAnimationTrackList::GetItem(int Index) const
{
    if (Index < 0 || Index >= Count())
        throw EArgumentOutOfRangeException("List index out of bounds (" + std::to_string(Index) +
                                           ")");
    return Items[static_cast<size_t>(Index)].get();
}
