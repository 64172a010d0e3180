#include "scene/uProjectTime.h"

#include <cmath>

#include "base/uErrors.h"

void TProjectTime::Reset()
{
    StartFrame = 0;
    EndFrame = 100;
    CurrentFrame = 0;
    FPS = 30.0f;
    Playing = false;
    LoopTimeline = false;
    Revision = 0;
}

void TProjectTime::SetCurrentFrame(int32_t Frame)
{
    if (Frame < StartFrame)
        Frame = StartFrame;
    if (Frame > EndFrame)
        Frame = EndFrame;
    if (Frame == CurrentFrame)
        return;
    CurrentFrame = Frame;
    ++Revision;
}

void TProjectTime::SetRange(int32_t Start, int32_t End)
{
    if (End < Start)
        throw EArgumentError("Project start frame must not exceed end frame");
    StartFrame = Start;
    EndFrame = End;
    SetCurrentFrame(CurrentFrame);
    ++Revision;
}

void TProjectTime::SetFPS(float Value)
{
    // An infinite rate would make every time 0 and playback arithmetic undefined.
    if (!(Value > 0) || !std::isfinite(Value))
        throw EArgumentError("Project FPS must be greater than zero");
    if (Value == FPS)
        return;
    FPS = Value;
    ++Revision;
}

void TProjectTime::SetLoop(bool Value)
{
    if (Value == LoopTimeline)
        return;
    LoopTimeline = Value;
    ++Revision;
}
