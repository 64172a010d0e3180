#include "scene/uAnimationRecorder.h"

#include "scene/uScene.h"
#include "scene/uSceneNode.h"

#include <algorithm>

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

void TAnimationRecorder::ForgetUnchanged(const TScene& Scene, uint32_t NodeId)
{
    const TSceneNode* node = NodeId == 0 ? Scene.GetRoot() : Scene.FindNodeById(NodeId);
    if (node == nullptr)
        return;
    std::erase_if(Items, [&](const TRecordedProperty& Item) {
        if (Item.Path.NodeId != NodeId || Item.Path.ComponentKind != 0)
            return false;
        TPropertyValue now;
        node->GetPropertyValue(Item.Path.PropertyId, now);
        return PropertyValuesEqual(now, Item.Value);
    });
}
