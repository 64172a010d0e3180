#include "editor/modes/uPaintPickMode.h"

#include "editor/api/uEditorContext.h"
#include "editor/modes/uModelingMode.h"
#include "editor/uPaintPage.h"
#include "render/uCamera.h"

TPaintPickMode::TPaintPickMode(TViewportModeHost& Host, TModelingMode& Modeling)
    : TViewportMode(Host), Modeling(Modeling)
{
}

bool TPaintPickMode::MouseDown(const TViewportMouse& Mouse)
{
    TPaintPage* page = Host.PaintPage();
    const int mode = Host.ModeContext().Selection().PaintMode;
    if (!page || !Modeling.On() || Mouse.Button != Qt::LeftButton || Mouse.View != vkPerspective ||
        !Host.PaintPageActive() || (mode != kPaintModePaint && mode != kPaintModeFill))
        return false;
    Modeling.UpdateModelingHover(Mouse.X, Mouse.Y);
    PaintStroke = mode == kPaintModePaint;
    LastPaintedElement = -1;
    if (PaintStroke)
        page->PaintClick(PaintStroke, LastPaintedElement);
    else
        page->FloodFillClick();
    emit Host.ModeContext().Events().SelectionChanged();
    Host.FocusView();
    Host.RepaintView();
    return true;
}

bool TPaintPickMode::MouseMove(const TViewportMouse& Mouse)
{
    if (!PaintStroke)
        return false;
    if (!Host.PaintPageActive()) {
        Cancel();
        return false;
    }
    TPaintPage* page = Host.PaintPage();
    if (page && (Mouse.Held & Qt::LeftButton) && Modeling.On() && Mouse.View == vkPerspective) {
        Modeling.UpdateModelingHover(Mouse.X, Mouse.Y);
        page->PaintClick(PaintStroke, LastPaintedElement);
        Host.RepaintView();
    }
    return true;
}

bool TPaintPickMode::MouseUp(const TViewportMouse& Mouse)
{
    if (Mouse.Button == Qt::LeftButton)
        Cancel();
    return false;  // the release goes on to the transform
}

void TPaintPickMode::Cancel()
{
    PaintStroke = false;
    LastPaintedElement = -1;
}
