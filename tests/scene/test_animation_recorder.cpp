#include "scene/uAnimationRecorder.h"

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
