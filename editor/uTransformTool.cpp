#include "editor/uTransformTool.h"

#include <algorithm>
#include <charconv>
#include <cmath>

float SnapValueToGrid(float Value, float Grid)
{
    if (!(Grid > 0.001f))
        return Value;
    // nearbyint rounds halves to even in the default rounding mode.
    return float(std::nearbyint(double(Value) / Grid) * Grid);
}

bool AppendTypedCharacter(std::string& Text, char Character)
{
    if (Character >= '0' && Character <= '9') {
        Text += Character;
        return true;
    }
    if (Character == '-') {
        if (!Text.empty())
            return false;
        Text += Character;
        return true;
    }
    if (Character == '.') {
        if (Text.find('.') != std::string::npos)
            return false;
        Text += Character;
        return true;
    }
    return false;
}

float TypedTransformValue(const std::string& Text)
{
    float v = 0;
    const char* first = Text.data();
    const char* last = first + Text.size();
    const auto r = std::from_chars(first, last, v);
    if (r.ec != std::errc() || r.ptr != last || !std::isfinite(v))
        return 0.0f;
    return v;
}

void ScreenAxisFrom(float x0, float y0, float x1, float y1, TVec3& Direction, float& Length)
{
    const float dx = x1 - x0, dy = y1 - y0;
    Length = std::sqrt(dx * dx + dy * dy);
    if (Length > 0.001f)
        Direction = Vec3(dx / Length, dy / Length, 0);
    else
        Direction = Vec3(1, 0, 0);
    if (!std::isfinite(Length))
        Length = 0;
}

TTransformOutput ComputeModalTransform(const TTransformInput& In)
{
    TTransformOutput out;
    const TTransformStart& S = In.Start;
    const bool typed = !In.Text.empty();
    const float dx = float(In.MouseX - S.MouseX), dy = float(In.MouseY - S.MouseY);
    const float along = S.ScreenAxis.X * dx + S.ScreenAxis.Y * dy;
    const float width = float(std::max(In.ViewWidth, 1));
    float v = 0;
    if (typed)
        v = TypedTransformValue(In.Text);
    else if (In.Tool == gmMove)
        v = along / std::max(S.ScreenAxisLength, 0.001f);
    else if (In.Tool == gmScale)
        v = along / std::max(2.0f * S.ScreenAxisLength, 0.001f);
    else if (In.Tool == gmRotate)
        v = (S.PressView == 1 || S.PressView == 2) ? -0.5f * dx : 0.5f * dx;

    const auto snap = [&](float x) { return SnapValueToGrid(x, In.Grid); };
    const TVec3 P = S.Position;
    switch (In.Tool) {
    case gmMove: {
        const float s = 20.0f / width;
        switch (In.Axis) {
        case -2:
            out.WorldPosition = Vec3(snap(P.X + s * dx), P.Y, snap(P.Z + s * dy));
            break;
        case -3:
            out.WorldPosition = Vec3(snap(P.X + s * dx), snap(P.Y - s * dy), P.Z);
            break;
        case -4:
        case -1:
            out.WorldPosition = Vec3(P.X, snap(P.Y - s * dy), snap(P.Z + s * dx));
            break;
        case 0:
            out.WorldPosition = Vec3(snap(P.X + v), P.Y, P.Z);
            break;
        case 1:
            out.WorldPosition = Vec3(P.X, snap(P.Y + v), P.Z);
            break;
        default:
            out.WorldPosition = Vec3(P.X, P.Y, snap(P.Z + v));
            break;
        }
        break;
    }
    case gmRotate: {
        const int a = In.Axis == 0 ? 0 : In.Axis == 1 ? 1 : 2;
        const float start[3] = {S.Rotation.X, S.Rotation.Y, S.Rotation.Z};
        out.Rotation[size_t(a)] = start[a] + v;
        break;
    }
    case gmScale: {
        const float start[3] = {S.Scale.X, S.Scale.Y, S.Scale.Z};
        const auto set = [&](int a, float f) {
            out.Scale[size_t(a)] = start[a] * std::max(f, 0.05f);
        };
        if (typed || In.Axis >= 0) {
            const float f = typed ? v : 1.0f + v;
            if (In.Axis == -1) {
                for (int a = 0; a < 3; ++a)
                    set(a, f);
            } else {
                set(In.Axis == 0 ? 0 : In.Axis == 1 ? 1 : 2, f);
            }
        } else if (In.Axis == -1) {
            const float f = 1.0f + 3.0f * dx / width;
            for (int a = 0; a < 3; ++a)
                set(a, f);
        } else {
            const float s = 3.0f / width;
            switch (In.Axis) {
            case -2:
                set(0, 1.0f + s * dx);
                set(2, 1.0f - s * dy);
                break;
            case -3:
                set(0, 1.0f + s * dx);
                set(1, 1.0f - s * dy);
                break;
            default:
                set(2, 1.0f + s * dx);
                set(1, 1.0f - s * dy);
                break;
            }
        }
        break;
    }
    default:
        break;
    }
    return out;
}
