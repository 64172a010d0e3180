#pragma once
// The move, scale and rotate tools: a transform of one object that follows the mouse or a
// typed number, constrained to an axis (0 X, 1 Y, 2 Z), all axes (-1) or a plane (-2 XZ,
// -3 XY, -4 YZ). It writes the node directly while it runs, stays on confirmation and
// puts back the node's own values on cancellation. The arithmetic is here as free
// functions; the mode that runs it is TObjectTransformMode (modes/uObjectTransformMode).
#include "base/uMath.h"
#include "render/uGizmoMode.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// What a running transform started from. Besides the values the arithmetic works from
// (the world position and the property values at the current frame), it keeps the node's
// own authored values, which a cancel restores exactly.
struct TTransformStart {
    uint32_t NodeId = 0;
    TVec3 Position, Rotation, Scale{1, 1, 1};
    TVec3 AuthoredPosition, AuthoredRotation, AuthoredScale{1, 1, 1};
    int MouseX = 0, MouseY = 0;
    TVec3 ScreenAxis{1, 0, 0};  // unit 2D direction in x, y
    float ScreenAxisLength = 0;
    int PressView = 0;
};

// round(v / grid) x grid with halves to even when grid > 0.001; otherwise v.
float SnapValueToGrid(float Value, float Grid);

// Typing into a transform: digits, a minus only as the first character, one point.
// False (text unchanged) when the character is refused.
bool AppendTypedCharacter(std::string& Text, char Character);
// The typed text as a number with "." as the decimal point; 0 when it does not convert.
float TypedTransformValue(const std::string& Text);

// The screen direction of an axis from the projections of its two ends.
void ScreenAxisFrom(float x0, float y0, float x1, float y1, TVec3& Direction, float& Length);

struct TTransformInput {
    TGizmoMode Tool = gmMove;
    int Axis = 0;
    std::string Text;
    TTransformStart Start;
    int MouseX = 0, MouseY = 0;
    int ViewWidth = 1;
    float Grid = 0.25f;
};

// What one apply writes: a world position, and single rotation and scale components.
struct TTransformOutput {
    std::optional<TVec3> WorldPosition;
    std::array<std::optional<float>, 3> Rotation, Scale;
};

TTransformOutput ComputeModalTransform(const TTransformInput& In);
