#include "editor/uFrameLoop.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cmath>
#include <exception>
#include <limits>

namespace {

// Floor of a finite double, clamped into [Lo, Hi] before the integer conversion.
int32_t ClampedFloor(double v, int32_t Lo, int32_t Hi)
{
    const double f = std::floor(v);
    if (!(f >= double(Lo)))
        return Lo;  // also not-a-number
    if (f > double(Hi))
        return Hi;
    return int32_t(f);
}

}  // namespace

TPlaybackStep StepPlayback(const TPlaybackState& Time, double& Accumulator, float dt)
{
    TPlaybackStep step;
    const double advanced = Accumulator + double(Time.FPS) * double(dt);
    if (!std::isfinite(advanced)) {
        // A non-finite rate or accumulator cannot place a frame: stop where we are.
        step.Stop = true;
        return step;
    }
    Accumulator = advanced;
    const double t = std::floor(Accumulator);
    if (t >= double(Time.EndFrame)) {
        if (Time.LoopTimeline) {
            const int64_t span = int64_t(Time.EndFrame) - int64_t(Time.StartFrame);
            if (span <= 0) {
                step.Stop = true;
                return step;
            }
            const double d = Accumulator - double(Time.EndFrame);
            Accumulator =
                (double(Time.StartFrame) + d) - double(span) * std::floor(d / double(span));
            // With a huge overshoot the wrap loses all precision; restart the range then.
            if (!(Accumulator >= double(Time.StartFrame)) ||
                !(Accumulator < double(Time.EndFrame) + 1.0))
                Accumulator = double(Time.StartFrame);
            step.SetFrame = true;
            step.Frame = ClampedFloor(Accumulator, Time.StartFrame, Time.EndFrame);
        } else {
            step.SetFrame = true;
            step.Frame = Time.EndFrame;
            step.Stop = true;
        }
    } else {
        const int32_t frame = ClampedFloor(t, std::numeric_limits<int32_t>::min(), Time.EndFrame);
        if (frame != Time.CurrentFrame) {
            step.SetFrame = true;
            step.Frame = frame;
        }
    }
    return step;
}

float ElapsedSeconds(uint64_t Now, uint64_t LastTick)
{
    if (Now <= LastTick)
        return 0.0f;
    const uint64_t ms = Now - LastTick;
    if (ms >= 250)
        return 0.25f;
    const float dt = float(ms) / 1000.0f;
    return dt > 0.25f ? 0.25f : dt;
}

float SmoothFramesPerSecond(float Fps, float dt)
{
    const float x = dt <= 0.000001f ? 0.000001f : dt;
    return Fps + (1.0f / x - Fps) * 0.1f;
}

bool UpdateCameraMotion(TCamera& Camera, float dt)
{
    TVec3 v{};
    if (Camera.KeyHeld('E'))
        v = Vec3Add(v, Vec3(0, 1, 0));
    if (Camera.KeyHeld('Z'))
        v = Vec3Add(v, Vec3(0, -1, 0));
    if (Vec3Length(v) > 0.001f) {
        v = Vec3Scale(Vec3Normalize(v), dt * Camera.FlySpeed);
        Camera.Position = Vec3Add(Camera.Position, v);
        Camera.OrbitPivot = Vec3Add(Camera.OrbitPivot, v);
        return true;
    }
    return false;
}

std::string AutosaveFilePath(const std::string& ProgramFolder)
{
    const QString folder = QString::fromStdString(ProgramFolder);
    const QFileInfo info(folder);
    if (!folder.isEmpty() && info.isDir() && info.isWritable())
        return QDir(folder).filePath(AutosaveFileName).toStdString();
    const QString data = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (data.isEmpty() || !QDir().mkpath(data))
        return {};
    return QDir(data).filePath(AutosaveFileName).toStdString();
}

TFrameLoop::TFrameLoop(TClock clock, THooks hooks)
    : Clock(std::move(clock)), Hooks(std::move(hooks))
{
}

void TFrameLoop::Start()
{
    LastTick = Clock();
}

void TFrameLoop::FrameTimerTick()
{
    if (Destroying || InTick)
        return;
    InTick = true;
    try {
        Tick();
    } catch (const std::exception& e) {
        // Reported while InTick stays set, so an error box's own message loop does not
        // start further ticks that would stack more boxes.
        try {
            if (Hooks.ReportError)
                Hooks.ReportError(e.what());
        } catch (...) {
        }
    } catch (...) {
        try {
            if (Hooks.ReportError)
                Hooks.ReportError("Unknown error in the frame loop");
        } catch (...) {
        }
    }
    InTick = false;
}

void TFrameLoop::Tick()
{
    const uint64_t now = Clock();
    const float dt = ElapsedSeconds(now, LastTick);
    LastTick = now;

    // The views are drawn again only when the tick moved something they show; every
    // other change (edits, selection, hover, resizing) asks for its own repaint.
    bool moved = Hooks.UpdateCameraMotion && Hooks.UpdateCameraMotion(dt);

    TPlaybackState time;
    if (Hooks.GetPlayback && Hooks.GetPlayback(time) && time.Playing) {
        const int32_t oldFrame = time.CurrentFrame;
        const TPlaybackStep step = StepPlayback(time, PlaybackAccumulator, dt);
        if (step.SetFrame && Hooks.SetCurrentFrame)
            Hooks.SetCurrentFrame(step.Frame);
        if (step.Stop && Hooks.StopPlayback)
            Hooks.StopPlayback();
        if (Hooks.UpdateTimelineUI)
            Hooks.UpdateTimelineUI();
        TPlaybackState after;
        if (Hooks.GetPlayback(after) && after.CurrentFrame != oldFrame) {
            moved = true;
            if (Hooks.FrameChanged)
                Hooks.FrameChanged();
        }
    }

    ++FrameCounter;
    FramesPerSecond = SmoothFramesPerSecond(FramesPerSecond, dt);

    if (now % 1000 < 20 && Hooks.UpdateStatusBar)
        Hooks.UpdateStatusBar();
    AutosaveTick(now);
    if (moved && Hooks.Repaint)
        Hooks.Repaint();
}

void TFrameLoop::AutosaveTick(uint64_t Now)
{
    if (!Hooks.SceneHasNodes || !Hooks.SceneHasNodes())
        return;
    if (Now - LastAutosave < AutosaveIntervalMs)
        return;  // unsigned difference
    LastAutosave = Now;
    // A large project takes a second or more to write: an unchanged one is not written
    // again every 30 s.
    const std::optional<TChangeStamp> stamp = CurrentStamp();
    if (stamp && stamp == WrittenStamp)
        return;
    try {
        const std::string path = Hooks.AutosavePath ? Hooks.AutosavePath() : std::string();
        if (!path.empty() && Hooks.SaveAutosave) {
            Hooks.SaveAutosave(path);
            WrittenStamp = stamp;
        }
    } catch (...) {
        // An autosave that fails is dropped without a message; the next try is 30 s later.
    }
}

std::optional<TFrameLoop::TChangeStamp> TFrameLoop::CurrentStamp() const
{
    if (!Hooks.ProjectRevision)
        return std::nullopt;
    return TChangeStamp{Hooks.ProjectRevision(), EditsBesideRevision};
}

void TFrameLoop::ProjectWritten()
{
    WrittenStamp = CurrentStamp();
}
