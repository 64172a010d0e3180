#include "scene/uProjectTime.h"

#include <gtest/gtest.h>
#include <limits>

#include "base/uErrors.h"

namespace {

template <typename F>
void ExpectArgumentError(F&& f, const char* message)
{
    try {
        f();
        ADD_FAILURE() << "no error, expected " << message;
    } catch (const EArgumentError& e) {
        EXPECT_STREQ(e.what(), message);
    }
}

}  // namespace

TEST(ProjectTime, Defaults)
{
    TProjectTime t;
    EXPECT_EQ(t.GetStartFrame(), 0);
    EXPECT_EQ(t.GetEndFrame(), 100);
    EXPECT_EQ(t.GetCurrentFrame(), 0);
    EXPECT_EQ(t.GetFPS(), 30.0f);
    EXPECT_FALSE(t.Playing);
    EXPECT_FALSE(t.GetLoopTimeline());
    EXPECT_EQ(t.GetRevision(), 0);
}

TEST(ProjectTime, CurrentFrameClampsIntoRange)
{
    TProjectTime t;
    const struct {
        int32_t asked, shown;
        int64_t revision;
    } steps[] = {{-5, 0, 0}, {50, 50, 1}, {50, 50, 1}, {1000, 100, 2}, {100, 100, 2}};
    for (const auto& s : steps) {
        t.SetCurrentFrame(s.asked);
        EXPECT_EQ(t.GetCurrentFrame(), s.shown) << s.asked;
        EXPECT_EQ(t.GetRevision(), s.revision) << s.asked;
    }
}

TEST(ProjectTime, SetRange)
{
    TProjectTime t;
    t.SetCurrentFrame(80);
    const int64_t r = t.GetRevision();
    t.SetRange(0, 50);
    EXPECT_EQ(t.GetCurrentFrame(), 50);
    EXPECT_EQ(t.GetRevision(), r + 2);  // the frame moved and the range changed
    t.SetRange(0, 50);
    EXPECT_EQ(t.GetRevision(), r + 3);  // counted even when nothing changed
    t.SetRange(7, 7);
    EXPECT_EQ(t.GetCurrentFrame(), 7);

    ExpectArgumentError([&] { t.SetRange(10, 5); },
                        "Project start frame must not exceed end frame");
    EXPECT_EQ(t.GetStartFrame(), 7);
    EXPECT_EQ(t.GetEndFrame(), 7);

    const int32_t lo = std::numeric_limits<int32_t>::min(),
                  hi = std::numeric_limits<int32_t>::max();
    t.SetRange(lo, hi);
    EXPECT_EQ(t.RangeLength(), int64_t(1) << 32);
}

TEST(ProjectTime, SetFPSRefusesNonPositiveAndNonFinite)
{
    TProjectTime t;
    t.SetFPS(30.0f);
    EXPECT_EQ(t.GetRevision(), 0);
    const float bad[] = {0.0f, -24.0f, std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (float fps : bad)
        ExpectArgumentError([&] { t.SetFPS(fps); }, "Project FPS must be greater than zero");
    EXPECT_EQ(t.GetFPS(), 30.0f);
    EXPECT_EQ(t.GetRevision(), 0);
    t.SetFPS(24.0f);
    EXPECT_EQ(t.GetFPS(), 24.0f);
    EXPECT_EQ(t.GetRevision(), 1);
}

TEST(ProjectTime, LoopAndReset)
{
    TProjectTime t;
    t.SetLoop(false);
    EXPECT_EQ(t.GetRevision(), 0);
    t.SetLoop(true);
    EXPECT_TRUE(t.GetLoopTimeline());
    EXPECT_EQ(t.GetRevision(), 1);
    t.Playing = true;
    t.SetRange(5, 10);
    t.Reset();
    EXPECT_EQ(t.GetStartFrame(), 0);
    EXPECT_EQ(t.GetEndFrame(), 100);
    EXPECT_FALSE(t.Playing);
    EXPECT_FALSE(t.GetLoopTimeline());
    EXPECT_EQ(t.GetRevision(), 0);
}
