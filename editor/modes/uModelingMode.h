#pragma once
// The modelling mode: vertices, edges or faces of the selected object's base mesh are
// hovered and picked in the Perspective view and drawn over the object with the selection.
// Picking and the overlay work with the node's own transform (no parents, no animation).
// The state (on, sub-mode, hovered and selected elements) is the editor selection, which
// the properties and paint pages read.
#include "editor/modes/uViewportMode.h"

#include <cstdint>

class TObjectTransformMode;
struct TEditorSelection;

class TModelingMode : public TViewportMode {
public:
    TModelingMode(TViewportModeHost& Host, TObjectTransformMode& Transform);

    bool MouseDown(const TViewportMouse& Mouse) override;
    bool MouseMove(const TViewportMouse& Mouse) override;
    TModeKey KeyDown(int Key, Qt::KeyboardModifiers Modifiers) override;
    void DrawOverlay() override;
    void FillStatus(TStatusInputs& In) const override;

    bool On() const;
    void EnterModelingMode();
    void LeaveModelingMode();
    // Sub-mode 0 vertices, 1 edges, 2 faces; only while modelling (clears the selection).
    void SetSubMode(int32_t Kind);
    void PickModelingElement(int X, int Y);
    void UpdateModelingHover(int X, int Y);
    void ClearModelingSelection();
    void ModelingSelectAll();
    void AddSelectedVertex(int32_t Index);
    void AddSelectedEdge(int32_t Index);
    void AddSelectedFace(int32_t Index);
    void DrawModelingOverlay();

private:
    TEditorSelection& Selection() const;
    TSceneObject* ModelingObject() const;  // the selected object, when it has a base mesh
    // The element of the sub-mode under (X, Y) within the given pixel thresholds.
    int32_t FindElement(int X, int Y, float VertexThreshold, float EdgeThreshold);
    void SelectionEdited();

    TObjectTransformMode& Transform;
};
