#include "scene/uAnimationRecorder.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <gtest/gtest.h>

TEST(AnimationRecorder, FirstTouchWins)
{
    TAnimationRecorder r;
    const TPropertyPath x = MakeNodePropertyPath(3, 1), y = MakeNodePropertyPath(3, 2);
    r.RecordTouch(x, MakeFloatPropertyValue(1));
    r.RecordTouch(x, MakeFloatPropertyValue(2));
    r.RecordTouch(y, MakeFloatPropertyValue(5));
    r.RecordTouch(MakeNodePropertyPath(4, 1), MakeFloatPropertyValue(6));
    ASSERT_EQ(r.Count(), 3);
    EXPECT_EQ(r.GetItem(0).Value.Float, 1);
    EXPECT_EQ(r.GetItem(1).Path.PropertyId, 2);
    EXPECT_EQ(r.IndexOf(y), 1);
    EXPECT_EQ(r.IndexOf(MakeNodePropertyPath(3, 3)), -1);

    r.Clear();
    EXPECT_EQ(r.Count(), 0);
    r.RecordTouch(x, MakeFloatPropertyValue(2));
    EXPECT_EQ(r.GetItem(0).Value.Float, 2);
}

// A transform records all nine channels at its start; cancelled, it puts the node back.
// The touches it made must go, and one made before it (still changed) must stay.
TEST(AnimationRecorder, ForgetUnchangedDropsOnlyTouchesBackAtTheirValue)
{
    TScene scene;
    TSceneObject* cube = scene.AddPrimitive(ptCube);
    TSceneObject* other = scene.AddPrimitive(ptCube);
    const uint32_t id = cube->GetId();
    TAnimationRecorder r;
    // An earlier edit: position X from 0 to 3.
    r.RecordTouch(MakeNodePropertyPath(id, 1), MakeFloatPropertyValue(0));
    cube->SetPosition({3, 0, 0});
    r.RecordTouch(MakeNodePropertyPath(other->GetId(), 2), MakeFloatPropertyValue(0));
    // The transform's capture, then its cancel.
    for (int32_t p = 1; p <= 9; ++p) {
        TPropertyValue v;
        cube->GetPropertyValue(p, v);
        r.RecordTouch(MakeNodePropertyPath(id, p), v);
    }
    ASSERT_EQ(r.Count(), 10);
    cube->SetRotationY(40);
    cube->SetRotationY(0);

    r.ForgetUnchanged(scene, id);
    ASSERT_EQ(r.Count(), 2);
    EXPECT_EQ(r.GetItem(0).Path.PropertyId, 1);
    EXPECT_EQ(r.GetItem(0).Value.Float, 0);
    // Another node's touch is not this node's business, even when unchanged.
    EXPECT_EQ(r.GetItem(1).Path.NodeId, other->GetId());

    // Gone nodes: nothing happens.
    r.ForgetUnchanged(scene, 987654);
    EXPECT_EQ(r.Count(), 2);
}
