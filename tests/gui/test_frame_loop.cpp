// The frame loop driven by an injected clock: elapsed-time clamp, playback with and
// without loop wrap, the frame-rate average, status refreshes and the 30 s autosave.
#include "editor/uFrameLoop.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A project time with the setter's clamp, and a loop wired to it.
struct TLoopRig {
    uint64_t Now = 0;
    TPlaybackState Time;
    bool SceneHasNodes = true;
    int64_t Revision = 0;
    std::vector<std::string> Saved;
    std::vector<std::string> Errors;
    int StatusRefreshes = 0, FrameChanges = 0, TimelineUpdates = 0, Repaints = 0;
    bool FailSave = false;
    TCamera Camera;
    std::unique_ptr<TFrameLoop> Loop;

    TLoopRig()
    {
        TFrameLoop::THooks h;
        h.UpdateCameraMotion = [this](float dt) { return UpdateCameraMotion(Camera, dt); };
        h.GetPlayback = [this](TPlaybackState& s) {
            s = Time;
            return true;
        };
        h.SetCurrentFrame = [this](int32_t f) {
            Time.CurrentFrame = std::min(std::max(f, Time.StartFrame), Time.EndFrame);
        };
        h.StopPlayback = [this] { Time.Playing = false; };
        h.UpdateTimelineUI = [this] { ++TimelineUpdates; };
        h.FrameChanged = [this] { ++FrameChanges; };
        h.UpdateStatusBar = [this] { ++StatusRefreshes; };
        h.SceneHasNodes = [this] { return SceneHasNodes; };
        h.ProjectRevision = [this] { return Revision; };
        h.AutosavePath = [] { return std::string("/autosave/Quillstone.autosave.qstn"); };
        h.SaveAutosave = [this](const std::string& p) {
            if (FailSave)
                throw std::runtime_error("disk full");
            Saved.push_back(p);
        };
        h.Repaint = [this] { ++Repaints; };
        h.ReportError = [this](const std::string& m) { Errors.push_back(m); };
        Loop = std::make_unique<TFrameLoop>([this] { return Now; }, h);
    }

    void Play(int32_t start, int32_t end, int32_t current, float fps, bool loop)
    {
        Time = {start, end, current, fps, true, loop};
        Loop->SetPlaybackAccumulator(current);
    }
    // Ticks every Step ms for Total ms.
    void Run(uint64_t Step, uint64_t Total)
    {
        for (uint64_t t = 0; t < Total; t += Step) {
            Now += Step;
            Loop->FrameTimerTick();
        }
    }
};

}  // namespace

TEST(FrameLoop, ElapsedTimeIsClampedToAQuarterSecond)
{
    struct {
        uint64_t now, last;
        float dt;
    } cases[] = {
        {1016, 1000, 0.016f}, {1000, 1000, 0.0f}, {1250, 1000, 0.25f},
        {61000, 1000, 0.25f}, {900, 1000, 0.0f},  {std::numeric_limits<uint64_t>::max(), 0, 0.25f},
    };
    for (const auto& c : cases)
        EXPECT_FLOAT_EQ(ElapsedSeconds(c.now, c.last), c.dt) << c.now << " " << c.last;
}

TEST(FrameLoop, LoopingPlaybackWrapsToTheStartOfTheRange)
{
    TLoopRig rig;
    rig.Now = 5000;
    rig.Loop->Start();
    rig.Play(0, 100, 0, 30.0f, true);
    rig.Run(100, 3400);  // 3.4 s at 30 FPS: the accumulator passes 100 and wraps
    EXPECT_EQ(rig.Time.CurrentFrame, 2);
    EXPECT_TRUE(rig.Time.Playing);
    EXPECT_GT(rig.FrameChanges, 30);
    EXPECT_EQ(rig.TimelineUpdates, 34);
}

TEST(FrameLoop, PlaybackStopsWhereTheRangeLeavesNoRoomToLoop)
{
    TLoopRig rig;
    rig.Loop->Start();
    rig.Play(10, 10, 10, 30.0f, true);
    rig.Run(100, 100);
    EXPECT_FALSE(rig.Time.Playing);
    EXPECT_EQ(rig.Time.CurrentFrame, 10);
}

TEST(FrameLoop, PlaybackWithoutLoopStopsExactlyOnTheEndFrame)
{
    TLoopRig rig;
    rig.Loop->Start();
    rig.Play(0, 20, 18, 30.0f, false);
    rig.Run(250, 250);  // 7.5 frames past 18 would overshoot 20
    EXPECT_EQ(rig.Time.CurrentFrame, 20);
    EXPECT_FALSE(rig.Time.Playing);
}

TEST(FrameLoop, NonFiniteOrHugeRatesAndRangesStayInRange)
{
    const float inf = std::numeric_limits<float>::infinity();
    const int32_t lo = std::numeric_limits<int32_t>::min(),
                  hi = std::numeric_limits<int32_t>::max();
    struct {
        int32_t start, end, current;
        float fps;
        bool loop;
        double acc;
    } cases[] = {
        {0, 100, 5, inf, true, 5},
        {0, 100, 5, std::nanf(""), false, 5},
        {0, 100, 5, 3e38f, true, 5},
        {0, 100, 5, 3e38f, false, 5},
        {lo, hi, hi - 1, 30.0f, true, double(hi) - 0.5},
        {lo, hi, 0, 3e38f, true, 0},
        {0, 100, 5, 30.0f, false, -1e300},
    };
    for (const auto& c : cases) {
        TPlaybackState s{c.start, c.end, c.current, c.fps, true, c.loop};
        double acc = c.acc;
        const TPlaybackStep step = StepPlayback(s, acc, 0.25f);
        if (step.SetFrame) {
            EXPECT_GE(step.Frame, c.loop ? c.start : lo);
            EXPECT_LE(step.Frame, c.end);
        }
        if (!std::isfinite(c.fps)) {
            EXPECT_TRUE(step.Stop);
            EXPECT_FALSE(step.SetFrame);
        }
        if (c.loop && step.SetFrame) {
            EXPECT_GE(acc, double(c.start));
            EXPECT_LT(acc, double(c.end) + 1.0);
        }
    }
}

TEST(FrameLoop, FrameRateIsAMovingAverage)
{
    TLoopRig rig;
    rig.Loop->Start();
    rig.Loop->FramesPerSecond = 60.0f;
    rig.Now += 250;  // a 0.25 s stall moves the figure a tenth of the way towards 4
    rig.Loop->FrameTimerTick();
    EXPECT_NEAR(rig.Loop->FramesPerSecond, 60.0f + (4.0f - 60.0f) * 0.1f, 1e-4);
    for (int i = 0; i < 200; ++i) {
        rig.Now += 20;
        rig.Loop->FrameTimerTick();
    }
    EXPECT_NEAR(rig.Loop->FramesPerSecond, 50.0f, 0.01f);
    EXPECT_EQ(rig.Loop->FrameCounter, 201);
}

TEST(FrameLoop, StatusBarRefreshesAboutOnceASecondAndAnIdleLoopDrawsNothing)
{
    TLoopRig rig;
    rig.Now = 100;
    rig.Loop->Start();
    rig.Run(16, 10000);
    EXPECT_GE(rig.StatusRefreshes, 9);
    EXPECT_LE(rig.StatusRefreshes, 11);
    EXPECT_EQ(rig.Repaints, 0);
    EXPECT_EQ(rig.Loop->FrameCounter, 625);
}

TEST(FrameLoop, TicksThatMoveTheCameraOrTheFrameRepaint)
{
    TLoopRig rig;
    rig.Now = 100;
    rig.Loop->Start();
    rig.Camera.HeldKeys.set(size_t('E'));
    rig.Run(16, 160);
    EXPECT_EQ(rig.Repaints, 10);
    rig.Camera.HeldKeys.reset();
    rig.Run(16, 160);
    EXPECT_EQ(rig.Repaints, 10);

    // Playing at 10 frames a second on 16 ms ticks: a repaint for each new frame only.
    rig.Play(0, 100, 0, 10.0f, false);
    rig.Run(16, 1008);
    EXPECT_EQ(rig.Repaints, 10 + rig.FrameChanges);
    EXPECT_GE(rig.FrameChanges, 9);
    EXPECT_LE(rig.FrameChanges, 11);
}

TEST(FrameLoop, AutosavesEveryThirtySecondsOnlyWhileTheSceneIsNotEmpty)
{
    TLoopRig rig;
    rig.Now = 45000;  // uptime beyond 30 s: the first tick already autosaves
    rig.Loop->Start();
    rig.Run(16, 16);
    ASSERT_EQ(rig.Saved.size(), 1u);
    EXPECT_EQ(rig.Saved[0], "/autosave/Quillstone.autosave.qstn");
    ++rig.Revision;  // an edit
    rig.Run(16, 29900);
    EXPECT_EQ(rig.Saved.size(), 1u);
    rig.Run(16, 200);
    EXPECT_EQ(rig.Saved.size(), 2u);

    ++rig.Revision;
    rig.SceneHasNodes = false;  // only the root: never
    rig.Run(16, 61000);
    EXPECT_EQ(rig.Saved.size(), 2u);

    // A failed save is dropped silently and retried 30 s later.
    rig.SceneHasNodes = true;
    rig.FailSave = true;
    rig.Run(16, 32);
    const uint64_t failedAt = rig.Loop->LastAutosave;
    EXPECT_TRUE(rig.Errors.empty());
    rig.FailSave = false;
    rig.Run(16, 29000);
    EXPECT_EQ(rig.Saved.size(), 2u);
    rig.Run(16, 1200);
    EXPECT_EQ(rig.Saved.size(), 3u);
    EXPECT_GE(rig.Loop->LastAutosave - failedAt, AutosaveIntervalMs);
}

TEST(FrameLoop, AnUnchangedProjectIsNotAutosavedAgain)
{
    TLoopRig rig;
    rig.Now = 45000;
    rig.Loop->Start();
    rig.Run(16, 16);  // the project as it started
    ASSERT_EQ(rig.Saved.size(), 1u);
    const uint64_t firstAt = rig.Loop->LastAutosave;

    // Untouched for five minutes: nothing written, the 30 s checks go on.
    rig.Run(16, 300000);
    EXPECT_EQ(rig.Saved.size(), 1u);
    EXPECT_GE(rig.Loop->LastAutosave, firstAt + 9 * AutosaveIntervalMs);

    // An edit 10 s after a check is written at the next check, not at once.
    const uint64_t checkedAt = rig.Loop->LastAutosave;
    rig.Run(16, 10000);
    ++rig.Revision;
    rig.Run(16, 16);
    EXPECT_EQ(rig.Saved.size(), 1u);
    while (rig.Now < checkedAt + AutosaveIntervalMs + 16)
        rig.Run(16, 16);
    EXPECT_EQ(rig.Saved.size(), 2u);
    rig.Run(16, 61000);
    EXPECT_EQ(rig.Saved.size(), 2u);

    // Edits that leave the revision alone count too.
    rig.Loop->ProjectEdited();
    rig.Run(16, 30016);
    EXPECT_EQ(rig.Saved.size(), 3u);

    // An edit then a save or an open: the file holds it, nothing to autosave.
    ++rig.Revision;
    rig.Loop->ProjectEdited();
    rig.Loop->ProjectWritten();
    rig.Run(16, 61000);
    EXPECT_EQ(rig.Saved.size(), 3u);
    // An open resets the revision; the next edit is still seen.
    rig.Revision = 0;
    rig.Loop->ProjectWritten();
    rig.Run(16, 31000);
    EXPECT_EQ(rig.Saved.size(), 3u);
    rig.Revision = 1;
    rig.Run(16, 31000);
    EXPECT_EQ(rig.Saved.size(), 4u);

    // A failed autosave is tried again at the next check although nothing changed since.
    ++rig.Revision;
    rig.FailSave = true;
    rig.Run(16, 31000);
    rig.FailSave = false;
    EXPECT_EQ(rig.Saved.size(), 4u);
    rig.Run(16, 31000);
    EXPECT_EQ(rig.Saved.size(), 5u);
}

TEST(FrameLoop, EarlyUptimeWaitsForThirtySeconds)
{
    TLoopRig rig;
    rig.Now = 1000;
    rig.Loop->Start();
    rig.Run(16, 28000);
    EXPECT_TRUE(rig.Saved.empty());
    rig.Run(16, 1100);
    EXPECT_EQ(rig.Saved.size(), 1u);
}

TEST(FrameLoop, AnErrorInATickIsReportedOnceAndNestedTicksAreSkipped)
{
    uint64_t now = 0;
    int ticksEntered = 0;
    std::vector<std::string> errors;
    TFrameLoop* self = nullptr;
    TFrameLoop::THooks h;
    h.UpdateCameraMotion = [&](float) -> bool {
        ++ticksEntered;
        throw std::runtime_error("timeline broke");
    };
    h.ReportError = [&](const std::string& m) {
        errors.push_back(m);
        // An error box's message loop delivers more timer ticks meanwhile.
        for (int i = 0; i < 5; ++i) {
            now += 16;
            self->FrameTimerTick();
        }
    };
    TFrameLoop loop([&] { return now; }, h);
    self = &loop;
    loop.Start();
    now += 16;
    EXPECT_NO_THROW(loop.FrameTimerTick());
    EXPECT_EQ(ticksEntered, 1);
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0], "timeline broke");
    loop.Destroying = true;
    loop.FrameTimerTick();
    EXPECT_EQ(ticksEntered, 1);
}

TEST(FrameLoop, HeldKeysFlyTheCameraUpAndDown)
{
    struct {
        bool e, z;
        float dy;
    } cases[] = {
        {true, false, 7.0f}, {false, true, -7.0f}, {true, true, 0.0f}, {false, false, 0.0f}};
    for (const auto& c : cases) {
        TCamera cam;
        const TVec3 p0 = cam.Position, pivot0 = cam.OrbitPivot;
        if (c.e)
            cam.HeldKeys.set('E');
        if (c.z)
            cam.HeldKeys.set('Z');
        for (int i = 0; i < 4; ++i)
            UpdateCameraMotion(cam, 0.25f);
        EXPECT_NEAR(cam.Position.Y - p0.Y, c.dy, 1e-4);
        EXPECT_NEAR(cam.OrbitPivot.Y - pivot0.Y, c.dy, 1e-4);
        EXPECT_FLOAT_EQ(cam.Position.X, p0.X);
    }
}

TEST(FrameLoop, AutosaveGoesToTheProgramFolderOrElseTheUserDataFolder)
{
    QStandardPaths::setTestModeEnabled(true);  // keeps the user's own data folder untouched
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(AutosaveFilePath(dir.path().toStdString()),
              QDir(dir.path()).filePath("Quillstone.autosave.qstn").toStdString());

    // A folder that cannot take the file: the user's data folder instead.
    const std::string missing = dir.path().toStdString() + "/no/such/folder";
    const std::string fallback = AutosaveFilePath(missing);
    ASSERT_FALSE(fallback.empty());
    EXPECT_EQ(fallback.rfind(missing, 0), std::string::npos);
    EXPECT_EQ(QFileInfo(QString::fromStdString(fallback)).fileName(), "Quillstone.autosave.qstn");
    EXPECT_TRUE(QFileInfo(QFileInfo(QString::fromStdString(fallback)).path()).isDir());
}
