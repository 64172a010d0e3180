#pragma once
// The editor's frame loop: one tick every 16 ms measures the elapsed time, flies the
// camera by the held keys, advances playback, keeps a smoothed frame rate, refreshes the
// status bar about once a second, autosaves at most every 30 s and asks for a repaint.
// The clock and everything the tick touches are injected, so the loop runs in tests
// without a window or a timer.
#include "render/uCamera.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Playback state that one tick reads and writes (a view of the project time).
struct TPlaybackState {
    int32_t StartFrame = 0, EndFrame = 100, CurrentFrame = 0;
    float FPS = 30.0f;
    bool Playing = false, LoopTimeline = false;
};

// Outcome of one playback step: the frame to set (when SetFrame) and whether to stop.
struct TPlaybackStep {
    bool SetFrame = false;
    int32_t Frame = 0;
    bool Stop = false;
};

// Advances the accumulator (in frames) by FPS x dt and decides the new frame, wrapping
// over the range with LoopTimeline. Arithmetic is done in double and clamped before any
// integer conversion, so a non-finite or huge FPS or range cannot overflow.
TPlaybackStep StepPlayback(const TPlaybackState& Time, double& Accumulator, float dt);

// dt in seconds from two millisecond counts, clamped to 0.25 s.
float ElapsedSeconds(uint64_t Now, uint64_t LastTick);
// The moving average of the frame-rate figure, factor 0.1.
float SmoothFramesPerSecond(float Fps, float dt);
// Camera flight by the held keys: 'E' climbs, 'Z' sinks; pivot moves with the camera.
// True when the camera moved.
bool UpdateCameraMotion(TCamera& Camera, float dt);

// Where the autosave goes: "Quillstone.autosave.qstn" in ProgramFolder when that folder
// is writable, otherwise in the user's data folder for the application (created when
// missing). An empty string when neither is usable.
std::string AutosaveFilePath(const std::string& ProgramFolder);
inline constexpr const char* AutosaveFileName = "Quillstone.autosave.qstn";
inline constexpr uint64_t AutosaveIntervalMs = 30000;

class TFrameLoop {
public:
    using TClock = std::function<uint64_t()>;  // milliseconds since system start

    // What the tick acts on. Unset hooks are skipped.
    struct THooks {
        std::function<bool(float)> UpdateCameraMotion;     // true: the camera moved
        std::function<bool(TPlaybackState&)> GetPlayback;  // false: no project time
        std::function<void(int32_t)> SetCurrentFrame;
        std::function<void()> StopPlayback;
        std::function<void()> UpdateTimelineUI;
        std::function<void()> FrameChanged;
        std::function<void()> UpdateStatusBar;
        std::function<bool()> SceneHasNodes;                   // besides the root
        std::function<int64_t()> ProjectRevision;              // unset: every autosave writes
        std::function<void(const std::string&)> SaveAutosave;  // may throw; errors dropped
        std::function<std::string()> AutosavePath;
        std::function<void()> Repaint;  // after a tick that moved the camera or the frame
        std::function<void(const std::string&)> ReportError;  // errors of a tick
    };

    TFrameLoop(TClock Clock, THooks Hooks);

    // Sets the last tick to now; called when the timer is started.
    void Start();
    // The timer handler. Never throws; a tick that arrives while one runs (an error box's
    // own message loop) is skipped.
    void FrameTimerTick();
    void AutosaveTick(uint64_t Now);
    // The autosave writes only a project that changed since the last autosave, open or
    // save. The document's revision tells, together with a count of the edits that
    // leave the revision as it is (modifier settings, terrain, environment, textures):
    // ProjectEdited counts one such edit; ProjectWritten says that the project as it
    // stands is in a file (opened, saved, or new).
    void ProjectEdited() { ++EditsBesideRevision; }
    void ProjectWritten();

    // Sets the accumulator to a frame (when playback starts or the frame is set by hand).
    void SetPlaybackAccumulator(double Frames) { PlaybackAccumulator = Frames; }

    bool Destroying = false;
    uint64_t LastTick = 0;
    uint64_t LastAutosave = 0;
    double PlaybackAccumulator = 0.0;
    int64_t FrameCounter = 0;
    float FramesPerSecond = 0.0f;

private:
    struct TChangeStamp {
        int64_t Revision = 0;
        uint64_t OtherEdits = 0;
        bool operator==(const TChangeStamp&) const = default;
    };
    std::optional<TChangeStamp> CurrentStamp() const;
    void Tick();
    TClock Clock;
    THooks Hooks;
    bool InTick = false;
    uint64_t EditsBesideRevision = 0;
    std::optional<TChangeStamp> WrittenStamp;  // none until a first autosave, open or save
};
