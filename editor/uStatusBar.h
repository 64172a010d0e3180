#pragma once
// The main window's status bar: four panels (mode, object count, selection, frame rate)
// and the texts the frame loop refreshes them with.
#include "render/uGizmoMode.h"

#include <QStatusBar>

#include <array>
#include <string>

class QLabel;

// What panel texts are made of.
struct TStatusInputs {
    TGizmoMode Tool = gmMove;
    bool TransformActive = false;  // a keyboard or mouse transform is running
    int AxisCode = -1;             // -1 all, -2 XZ, -3 XY, -4 YZ, 0..2 X, Y, Z
    std::string TypedText;         // the typed value; "mouse" while empty
    bool ModelingOn = false;
    int SubMode = 0;    // 0 vertices, 1 edges, 2 faces
    int NodeCount = 0;  // without the root
    bool HasSelectedObject = false;
    std::string SelectedName;
    float FramesPerSecond = 0.0f;
};

std::string StatusModeText(const TStatusInputs& In);
std::string StatusObjectsText(int NodeCount);
std::string StatusSelectedText(bool HasSelectedObject, const std::string& Name);
// "FPS: " and the rate rounded to the nearest integer, halves to even.
std::string StatusFpsText(float FramesPerSecond);
std::array<std::string, 4> ComposeStatusTexts(const TStatusInputs& In);

class TStatusBar : public QStatusBar {
    Q_OBJECT
public:
    enum { spMode = 0, spObjects = 1, spSelection = 2, spFrameRate = 3 };
    explicit TStatusBar(QWidget* Parent = nullptr);
    // A panel's text; other parts of the editor write here directly.
    void SetPanelText(int Panel, const std::string& Text);
    QString PanelText(int Panel) const;
    // Rewrites all four panels.
    void UpdateStatusBar(const TStatusInputs& In);

private:
    std::array<QLabel*, 4> Panels{};
};
