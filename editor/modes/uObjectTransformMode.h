#pragma once
// The object transform mode: the current tool (select, move, scale, rotate), selection
// clicks, the gizmo's hover highlight, and the transform of the selected object that
// follows the mouse or a typed number until it is confirmed or cancelled. It is always
// on; the modelling and paint modes go before it while they are on.
#include "editor/modes/uViewportMode.h"
#include "editor/uTransformTool.h"
#include "render/uGizmoMode.h"

#include <string>

class TObjectTransformMode : public TViewportMode {
public:
    using TViewportMode::TViewportMode;

    bool MouseDown(const TViewportMouse& Mouse) override;
    bool MouseMove(const TViewportMouse& Mouse) override;
    bool MouseUp(const TViewportMouse& Mouse) override;
    TModeKey KeyDown(int Key, Qt::KeyboardModifiers Modifiers) override;
    void DrawOverlay() override;
    void Cancel() override { CancelModalTransform(); }
    void FillStatus(TStatusInputs& In) const override;

    TGizmoMode Tool() const { return CurrentTool; }
    // Cancels a running transform and takes the tool; the hover highlight goes.
    void SetTool(TGizmoMode Tool);
    bool Running() const { return Active; }
    int Axis() const { return AxisCode; }
    const std::string& TypedText() const { return Text; }
    int HoveredAxis() const { return HoveredGizmoAxis; }
    void ClearHoveredAxis() { HoveredGizmoAxis = -1; }

    int HitTestGizmo(int X, int Y);
    void BeginModalTransform(int AxisCode);
    void InitTransformReference(int AxisCode);
    void SwitchTransformAxis(int Axis);
    void ApplyModalTransform();
    void ConfirmModalTransform();
    void CancelModalTransform();
    float SnapToGrid(float Value) const;
    // The object under the cursor becomes the selection (none on empty space).
    void ClickSelect(int X, int Y);

private:
    TSceneObject* TransformObject();
    void CaptureTransformStart(TSceneObject& Object);
    void EndModalTransform();
    void SetTypedText(std::string NewText);

    TGizmoMode CurrentTool = gmMove;
    int HoveredGizmoAxis = -1;
    bool Active = false;
    int AxisCode = -1;
    std::string Text;
    TTransformStart Start;
};
