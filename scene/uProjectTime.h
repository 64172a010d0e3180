#pragma once
// The project timeline: frame range, the frame shown, frame rate, playback and loop
// flags. Frames are whole numbers; seconds are frame / FPS where needed.
#include <cstdint>

class TProjectTime {
public:
    TProjectTime() { Reset(); }

    int32_t GetStartFrame() const { return StartFrame; }
    int32_t GetEndFrame() const { return EndFrame; }
    int32_t GetCurrentFrame() const { return CurrentFrame; }
    float GetFPS() const { return FPS; }
    bool GetLoopTimeline() const { return LoopTimeline; }
    // Rises by one on every effective change made through a setter.
    int64_t GetRevision() const { return Revision; }
    // Frames in the range, ends included. 64-bit: the extreme range holds 2^32 frames.
    int64_t RangeLength() const { return int64_t(EndFrame) - StartFrame + 1; }

    // Set and cleared by the play/stop control; not stored in the file.
    bool Playing = false;

    void Reset();
    // Clamped into the range.
    void SetCurrentFrame(int32_t Frame);
    // EArgumentError when End < Start. Always counts as a change.
    void SetRange(int32_t Start, int32_t End);
    // EArgumentError unless finite and greater than zero.
    void SetFPS(float Value);
    void SetLoop(bool Value);

private:
    int32_t StartFrame = 0;
    int32_t EndFrame = 100;
    int32_t CurrentFrame = 0;
    float FPS = 30.0f;
    bool LoopTimeline = false;
    int64_t Revision = 0;
};
