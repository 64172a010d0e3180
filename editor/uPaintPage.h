#pragma once
// The Paint page: the vertex-paint tool (Paint, Fill, Gradient), the current colour with a
// hue/saturation wheel, channel and hexadecimal entry, the eight most recent colours (the
// scene's palette), four main colours for gradients and the gradient rotation. The tools
// act on the base mesh of the selected object in modelling mode, one undo step per action.
// The page also holds the two direct (undo-less) colour and UV edits of the Properties
// page's "Pick Color..." and face UV buttons.
#include "base/uMath.h"

#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

class QButtonGroup;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TColorSwatch;
class TColorWheel;
class TEditorContext;
class TSceneObject;

enum : int { kPaintModePaint = 0, kPaintModeFill = 1, kPaintModeGradient = 2 };

// The colour dialog: the chosen colour, none when cancelled.
using TColorChooser = std::function<std::optional<TVec3>(QWidget* Parent)>;
TColorChooser StandardColorChooser();

// "Pick Color..." of the Properties page, without undo: the chosen colour into the
// vertices of the modelling selection (for vertices, also their neighbours).
void PickColorForSelection(TEditorContext& Context, const TColorChooser& Choose);
// The face UV buttons of the Properties page (Tag 0 "90°", 1 "MirU", 2 "MirV", 3 "2x",
// 4 "0.5x", 5 "Reset"), without undo, on the selected faces.
void FaceUVButtonOnSelection(TEditorContext& Context, int Tag);

class TPaintPage : public QWidget {
    Q_OBJECT
public:
    TPaintPage(TEditorContext& Context, QWidget* Parent);

    void UpdatePaintPanel();
    // The Paint tool on the hovered element. During a stroke an element painted last is
    // not painted again.
    void PaintClick(bool Stroke, int32_t& LastPaintedElement);
    void FloodFillClick();
    void ApplyGradientClick();
    void AddRecentColor(const TVec3& Color);
    // "Pick Color..." and the face UV buttons (Tag 0..5) of the Properties page.
    void PickColorClick();
    void FaceUVButtonClick(int Tag);

    void PaintModeClick(int Index);
    void PickWheelColor(int X, int Y);
    void ColorChannelEditChange();
    void HexColorEditChange();
    void RecentColorMouseDown(int Tag);
    void MainColorMouseDown(int Tag);
    void GradientRotationChange(int Position);

    const TVec3& CurrentColor() const { return Current; }
    int ActiveColorSlot() const { return ActiveSlot; }
    const std::array<TVec3, 4>& MainColors() const { return Main; }
    float GradientRotation() const { return Rotation; }

    // The colour dialog; a test may answer in its place.
    TColorChooser ChooseColor;

private:
    void Build();
    TSceneObject* PaintObject() const;  // the selected object, when it has a base mesh
    // The current colour becomes Color, and the active main colour with it.
    void SetCurrentColor(const TVec3& Color);
    // Runs the change handler of a field the user typed into.
    void FieldTyped(QLineEdit* Field, void (TPaintPage::*Handler)());
    // The user left a field or pressed Enter in it: it shows the colour in effect again.
    void FieldLeft();
    // A refresh leaves the text of the field being typed in as the user left it, while
    // the colour is still the one that text gave.
    bool KeepsTypedText(const QLineEdit* Field) const;

    TEditorContext& Context;
    std::array<TVec3, 4> Main{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}}};
    int ActiveSlot = 0;
    float Rotation = 0;
    TVec3 Current{1, 0, 0};

    QButtonGroup* ToolGroup = nullptr;
    TColorWheel* Wheel = nullptr;
    std::array<QLineEdit*, 3> ChannelEdits{};
    QLineEdit* HexEdit = nullptr;
    std::array<TColorSwatch*, 8> RecentSwatches{};
    std::array<TColorSwatch*, 4> MainSwatches{};
    QSlider* RotationSlider = nullptr;
    QLabel* RotationLabel = nullptr;
    QPushButton* GradientButton = nullptr;
    // The field the user typed into last, and the colour its text gave.
    const QLineEdit* TypedField = nullptr;
    TVec3 TypedColor{};
    bool InTypedHandler = false;
};
