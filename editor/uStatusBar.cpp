#include "editor/uStatusBar.h"

#include <QLabel>

#include <cmath>

std::string StatusModeText(const TStatusInputs& In)
{
    if (In.TransformActive) {
        std::string constraint;
        switch (In.AxisCode) {
        case -1:
            constraint = " All: ";
            break;
        case -2:
            constraint = " XZ: ";
            break;
        case -3:
            constraint = " XY: ";
            break;
        case -4:
            constraint = " YZ: ";
            break;
        case 0:
            constraint = " X: ";
            break;
        case 1:
            constraint = " Y: ";
            break;
        case 2:
            constraint = " Z: ";
            break;
        default:
            break;
        }
        return std::string(GizmoModeName(In.Tool)) + constraint +
               (In.TypedText.empty() ? std::string("mouse") : In.TypedText) +
               "   [Left/Enter = apply   Right/Esc = cancel]";
    }
    if (In.ModelingOn) {
        const char* sub = In.SubMode == 1 ? "Edges" : In.SubMode == 2 ? "Faces" : "Verts";
        return std::string("MODELING [") + sub + "]  Tab=back  1/2/3=sub-mode";
    }
    return std::string("Mode: ") + GizmoModeName(In.Tool);
}

std::string StatusObjectsText(int NodeCount)
{
    return "Objects: " + std::to_string(NodeCount);
}

std::string StatusSelectedText(bool HasSelectedObject, const std::string& Name)
{
    return HasSelectedObject ? "Selected: " + Name : std::string("Selected: -");
}

std::string StatusFpsText(float FramesPerSecond)
{
    const double r = std::nearbyint(double(FramesPerSecond));  // default rounding: halves to even
    if (!std::isfinite(r) || std::fabs(r) > 1e15)
        return "FPS: -";
    return "FPS: " + std::to_string(int64_t(r));
}

std::array<std::string, 4> ComposeStatusTexts(const TStatusInputs& In)
{
    return {StatusModeText(In), StatusObjectsText(In.NodeCount),
            StatusSelectedText(In.HasSelectedObject, In.SelectedName),
            StatusFpsText(In.FramesPerSecond)};
}

TStatusBar::TStatusBar(QWidget* Parent) : QStatusBar(Parent)
{
    const char* initial[4] = {"Mode: Move (W)", "Objects: 1", "Selected: -", "FPS: -"};
    const int stretch[4] = {3, 1, 2, 1};
    for (int i = 0; i < 4; ++i) {
        Panels[i] = new QLabel(QString::fromLatin1(initial[i]), this);
        Panels[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        addWidget(Panels[i], stretch[i]);
    }
}

void TStatusBar::SetPanelText(int Panel, const std::string& Text)
{
    if (Panel >= 0 && Panel < 4)
        Panels[Panel]->setText(QString::fromStdString(Text));
}

QString TStatusBar::PanelText(int Panel) const
{
    return Panel >= 0 && Panel < 4 ? Panels[Panel]->text() : QString();
}

void TStatusBar::UpdateStatusBar(const TStatusInputs& In)
{
    const auto texts = ComposeStatusTexts(In);
    for (int i = 0; i < 4; ++i)
        SetPanelText(i, texts[i]);
}
