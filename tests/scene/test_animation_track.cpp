#include "scene/uAnimationClip.h"

#include <gtest/gtest.h>
#include <limits>

#include "base/uErrors.h"

namespace {

const TPropertyPath kPosX = MakeNodePropertyPath(1, 1);

TAnimationTrack FloatTrack(int32_t firstInterpolation = 1)
{
    TAnimationTrack t(kPosX, pvkFloat, MakeFloatPropertyValue(3));
    t.SetKey(10, MakeFloatPropertyValue(0), firstInterpolation);
    t.SetKey(20, MakeFloatPropertyValue(10), 1);
    return t;
}

}  // namespace

TEST(AnimationTrack, FloatInterpolation)
{
    const TAnimationTrack linear = FloatTrack(1);
    const TAnimationTrack hold = FloatTrack(0);
    const TAnimationTrack oddMode = FloatTrack(7);  // any non-zero mode is linear
    const struct {
        int32_t frame;
        float linear, hold;
    } cases[] = {{5, 3, 3}, {10, 0, 0}, {15, 5, 0}, {19, 9, 0}, {20, 10, 10}, {25, 10, 10}};
    for (const auto& c : cases) {
        EXPECT_FLOAT_EQ(linear.Evaluate(c.frame).Float, c.linear) << c.frame;
        EXPECT_FLOAT_EQ(hold.Evaluate(c.frame).Float, c.hold) << c.frame;
        EXPECT_FLOAT_EQ(oddMode.Evaluate(c.frame).Float, c.linear) << c.frame;
    }
    TAnimationTrack empty(kPosX, pvkFloat, MakeFloatPropertyValue(-2));
    EXPECT_EQ(empty.Evaluate(0).Float, -2);
}

TEST(AnimationTrack, EveryKindAtAndBetweenKeys)
{
    const struct {
        TPropertyValueKind kind;
        TPropertyValue rest, a, b, mid;
    } cases[] = {
        {pvkFloat, MakeFloatPropertyValue(9), MakeFloatPropertyValue(0), MakeFloatPropertyValue(4),
         MakeFloatPropertyValue(1)},
        {pvkVector, MakeVectorPropertyValue({9, 9, 9}), MakeVectorPropertyValue({0, 4, -4}),
         MakeVectorPropertyValue({4, 0, 4}), MakeVectorPropertyValue({1, 3, -2})},
        {pvkColor, MakeColorPropertyValue({1, 1, 1}), MakeColorPropertyValue({0, 0, 1}),
         MakeColorPropertyValue({1, 0.5f, 0}), MakeColorPropertyValue({0.25f, 0.125f, 0.75f})},
        {pvkInteger, MakeIntegerPropertyValue(9), MakeIntegerPropertyValue(0),
         MakeIntegerPropertyValue(4), MakeIntegerPropertyValue(0)},
        {pvkEnum, MakeEnumPropertyValue(9), MakeEnumPropertyValue(2), MakeEnumPropertyValue(3),
         MakeEnumPropertyValue(2)},
        {pvkBoolean, MakeBooleanPropertyValue(true), MakeBooleanPropertyValue(false),
         MakeBooleanPropertyValue(true), MakeBooleanPropertyValue(false)},
    };
    for (const auto& c : cases) {
        TAnimationTrack t(kPosX, c.kind, c.rest);
        t.SetKey(0, c.a, 1);
        t.SetKey(8, c.b, 1);
        EXPECT_TRUE(PropertyValuesEqual(t.Evaluate(-1), c.rest)) << c.kind;
        EXPECT_TRUE(PropertyValuesEqual(t.Evaluate(0), c.a)) << c.kind;
        EXPECT_TRUE(PropertyValuesEqual(t.Evaluate(2), c.mid)) << c.kind;
        EXPECT_TRUE(PropertyValuesEqual(t.Evaluate(8), c.b)) << c.kind;
        EXPECT_TRUE(PropertyValuesEqual(t.Evaluate(100), c.b)) << c.kind;
    }
}

TEST(AnimationTrack, KeysStaySortedAndUnique)
{
    TAnimationTrack t(kPosX, pvkFloat, MakeFloatPropertyValue(0));
    for (int32_t f : {30, 10, 20, 0, 40})
        t.SetKey(f, MakeFloatPropertyValue(float(f)), 1);
    t.SetKey(20, MakeFloatPropertyValue(-1), 0);
    ASSERT_EQ(t.KeyCount(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(t.GetKey(i).Frame, i * 10);
    EXPECT_EQ(t.GetKey(2).Value.Float, -1);
    EXPECT_EQ(t.GetKey(2).Interpolation, 0);
    t.SetKey(15, MakeFloatPropertyValue(7), 1);
    EXPECT_EQ(t.FindKeyIndex(15), 2);
    EXPECT_EQ(t.FindKeyIndex(16), -1);
    EXPECT_EQ(t.LowerBoundFrame(16), 3);
    EXPECT_EQ(t.LowerBoundFrame(41), t.KeyCount());
    EXPECT_EQ(t.LowerBoundFrame(-100), 0);
}

TEST(AnimationTrack, RefusesWrongKindsAndNonFiniteValues)
{
    const float nan = std::numeric_limits<float>::quiet_NaN();
    auto expectError = [](auto&& f, const char* message) {
        try {
            f();
            ADD_FAILURE() << "no error, expected " << message;
        } catch (const EArgumentError& e) {
            EXPECT_STREQ(e.what(), message);
        }
    };
    expectError([] { TAnimationTrack(kPosX, pvkFloat, MakeBooleanPropertyValue(true)); },
                "Animation rest value kind does not match track kind");
    expectError([&] { TAnimationTrack(kPosX, pvkFloat, MakeFloatPropertyValue(nan)); },
                "Animation rest value must be finite");
    TAnimationTrack t(kPosX, pvkVector, MakeVectorPropertyValue({}));
    expectError([&] { t.SetKey(0, MakeFloatPropertyValue(1), 1); },
                "Animation key value kind does not match track kind");
    expectError(
        [&] {
            t.SetKey(0, MakeVectorPropertyValue({0, nan, 0}), 1);
        },
        "Animation key value must be finite");
    EXPECT_EQ(t.KeyCount(), 0);
}

TEST(AnimationTrack, FramesAtTheEndsOfTheRange)
{
    TAnimationTrack t(kPosX, pvkFloat, MakeFloatPropertyValue(0));
    const int32_t lo = std::numeric_limits<int32_t>::min(),
                  hi = std::numeric_limits<int32_t>::max();
    t.SetKey(lo, MakeFloatPropertyValue(0), 1);
    t.SetKey(hi, MakeFloatPropertyValue(1), 1);
    EXPECT_NEAR(t.Evaluate(0).Float, 0.5f, 1e-6f);
    EXPECT_EQ(t.Evaluate(hi).Float, 1);
}

TEST(AnimationClip, LocalFrameInEachMode)
{
    TAnimationClip clip(1, 100, 50);
    const struct {
        int32_t project, once, loop;
    } cases[] = {{90, 0, 0},   {100, 0, 0},   {120, 20, 20}, {149, 49, 49},
                 {150, 49, 0}, {160, 49, 10}, {260, 49, 10}};
    for (const auto& c : cases) {
        clip.PlaybackMode = cpmOnce;
        EXPECT_EQ(clip.LocalFrame(c.project), c.once) << c.project;
        clip.PlaybackMode = cpmLoop;
        EXPECT_EQ(clip.LocalFrame(c.project), c.loop) << c.project;
    }
    TAnimationClip far(1, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max());
    EXPECT_EQ(far.LocalFrame(std::numeric_limits<int32_t>::max()),
              std::numeric_limits<int32_t>::max() - 1);
    far.PlaybackMode = cpmLoop;
    EXPECT_EQ(far.LocalFrame(std::numeric_limits<int32_t>::max()), 1);  // (2^32 - 1) mod (2^31 - 1)
}

TEST(AnimationClip, EvaluatesEveryTrackOutsideTheClip)
{
    TAnimationClip clip(1, 100, 21);
    auto track = std::make_unique<TAnimationTrack>(kPosX, pvkFloat, MakeFloatPropertyValue(0));
    track->SetKey(0, MakeFloatPropertyValue(0), 1);
    track->SetKey(20, MakeFloatPropertyValue(20), 1);
    clip.Tracks.Add(std::move(track));
    auto visible = std::make_unique<TAnimationTrack>(MakeNodePropertyPath(1, 10), pvkBoolean,
                                                     MakeBooleanPropertyValue(true));
    visible->SetKey(10, MakeBooleanPropertyValue(false), 1);
    clip.Tracks.Add(std::move(visible));

    const struct {
        TClipPlaybackMode mode;
        int32_t frame;
        float x;
        bool visible;
    } cases[] = {{cpmOnce, 50, 0, true},    {cpmOnce, 105, 5, true}, {cpmOnce, 115, 15, false},
                 {cpmOnce, 500, 20, false}, {cpmLoop, 121, 0, true}, {cpmLoop, 135, 14, false}};
    for (const auto& c : cases) {
        clip.PlaybackMode = c.mode;
        TAnimationEvaluation e;
        clip.Evaluate(c.frame, &e);
        ASSERT_EQ(e.Entries.size(), 2u);
        EXPECT_FLOAT_EQ(e.Entries[0].Value.Float, c.x) << c.frame;
        EXPECT_EQ(e.Entries[1].Value.Bool, c.visible) << c.frame;
    }
    clip.Evaluate(0, nullptr);  // nothing to fill
}

TEST(AnimationClip, LengthAndClone)
{
    auto expectLengthError = [](auto&& f) {
        try {
            f();
            ADD_FAILURE();
        } catch (const EArgumentError& e) {
            EXPECT_STREQ(e.what(), "Animation clip length must be positive");
        }
    };
    expectLengthError([] { TAnimationClip(1, 0, 0); });
    TAnimationClip clip(4, 10, 30);
    expectLengthError([&] { clip.SetLength(0); });
    EXPECT_EQ(clip.GetLength(), 30);

    clip.PlaybackMode = cpmLoop;
    auto track = std::make_unique<TAnimationTrack>(kPosX, pvkFloat, MakeFloatPropertyValue(0));
    track->SetKey(5, MakeFloatPropertyValue(1), 1);
    clip.Tracks.Add(std::move(track));
    EXPECT_EQ(clip.Tracks.Add(nullptr), -1);

    auto copy = clip.Clone();
    EXPECT_EQ(copy->GetNodeId(), 4u);
    EXPECT_EQ(copy->StartFrame, 10);
    EXPECT_EQ(copy->GetLength(), 30);
    EXPECT_EQ(copy->PlaybackMode, cpmLoop);
    ASSERT_EQ(copy->Tracks.Count(), 1);
    EXPECT_NE(copy->Tracks.GetItem(0), clip.Tracks.GetItem(0));
    copy->Tracks.GetItem(0)->SetKey(5, MakeFloatPropertyValue(99), 1);
    EXPECT_EQ(clip.Tracks.GetItem(0)->GetKey(0).Value.Float, 1);
    EXPECT_THROW(clip.Tracks.GetItem(1), EArgumentOutOfRangeException);

    clip.Tracks.Assign(&clip.Tracks);  // self-assignment keeps the tracks
    EXPECT_EQ(clip.Tracks.Count(), 1);
    EXPECT_EQ(clip.Tracks.FindByTarget(kPosX), clip.Tracks.GetItem(0));
    EXPECT_EQ(clip.Tracks.FindByTarget(MakeNodePropertyPath(1, 2)), nullptr);
    clip.Tracks.Assign(nullptr);
    EXPECT_EQ(clip.Tracks.Count(), 0);
}
