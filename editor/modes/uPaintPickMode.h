#pragma once
// Paint picking: while modelling is on and the Paint page is the page on show, a left
// press in the Perspective view paints the element under the cursor (the Paint tool, which
// goes on painting while the button is held: a stroke) or flood-fills from it (the Fill
// tool). The Gradient tool selects as the modelling mode does.
#include "editor/modes/uViewportMode.h"

#include <cstdint>

class TModelingMode;

class TPaintPickMode : public TViewportMode {
public:
    TPaintPickMode(TViewportModeHost& Host, TModelingMode& Modeling);

    bool MouseDown(const TViewportMouse& Mouse) override;
    bool MouseMove(const TViewportMouse& Mouse) override;
    bool MouseUp(const TViewportMouse& Mouse) override;
    void Cancel() override;

    bool Stroking() const { return PaintStroke; }

private:
    TModelingMode& Modeling;
    bool PaintStroke = false;
    int32_t LastPaintedElement = -1;  // of the current stroke
};
