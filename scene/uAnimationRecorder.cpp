#include "scene/uAnimationRecorder.h"

int TAnimationRecorder::IndexOf(const TPropertyPath& Path) const
{
    for (size_t i = 0; i < Items.size(); ++i)
        if (PropertyPathsEqual(Items[i].Path, Path))
            return static_cast<int>(i);
    return -1;
}

void TAnimationRecorder::RecordTouch(const TPropertyPath& Path, const TPropertyValue& Value)
{
    if (IndexOf(Path) < 0)
        Items.push_back({Path, Value});
}
