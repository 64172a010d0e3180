#include "terrain/ui/uTerrainPreview.h"

#include "render/uErrorBox.h"
#include "terrain/uHeightmap.h"

#include <QMouseEvent>
#include <QPainter>

#include <cmath>

TTerrainPreview::TTerrainPreview(std::function<const THeightmap*()> MapSource, QWidget* Parent)
    : QWidget(Parent), Map(std::move(MapSource)),
      Bitmap(PreviewPixels, PreviewPixels, QImage::Format_RGB32)
{
    Bitmap.fill(Qt::black);
    setMouseTracking(false);
    setAttribute(Qt::WA_OpaquePaintEvent, false);
}

void TTerrainPreview::SetContours(bool On)
{
    ContourLines = On;
    MarkPreviewDirty();
}

void TTerrainPreview::MarkPreviewDirty()
{
    WholeDirty = true;
    update();
}

void TTerrainPreview::MarkCellsDirty(const TGridRect& Cells)
{
    DirtyCells.Include(Cells);
    update();
}

void TTerrainPreview::RebuildPreview()
{
    const THeightmap* map = Map ? Map() : nullptr;
    if (map) {
        const int n = map->GetResolution();
        const TGridRect cells = WholeDirty ? TGridRect{0, 0, n - 1, n - 1} : DirtyCells;
        RenderHeightPreview(*map, ContourLines, cells, reinterpret_cast<uint32_t*>(Bitmap.bits()),
                            static_cast<int>(Bitmap.bytesPerLine()));
    }
    WholeDirty = false;
    DirtyCells = TGridRect{};
}

QPoint TTerrainPreview::CellToPoint(TGridCell Cell) const
{
    const THeightmap* map = Map ? Map() : nullptr;
    const int n = map ? map->GetResolution() : 2;
    const TPreviewSquare s = PreviewSquareFor(width(), height());
    const double scale = static_cast<double>(s.Side) / (n - 1);
    return QPoint(s.Left + static_cast<int>(std::lround(Cell.X * scale)),
                  s.Top + static_cast<int>(std::lround(Cell.Y * scale)));
}

void TTerrainPreview::paintEvent(QPaintEvent*)
{
    RunGuarded(this, [&] {
        const TPreviewSquare s = PreviewSquareFor(width(), height());
        DrawnSide = s.Side;
        if (WholeDirty || !DirtyCells.Empty())
            RebuildPreview();
        QPainter p(this);
        p.fillRect(rect(), palette().window());
        const QRect square(s.Left, s.Top, s.Side, s.Side);
        p.drawImage(square, Bitmap);
        p.setPen(Qt::black);
        p.setBrush(Qt::NoBrush);
        p.drawRect(square.adjusted(-1, -1, 0, 0));
    });
}

bool TTerrainPreview::CellAt(const QPoint& At, TGridCell& Cell) const
{
    const THeightmap* map = Map ? Map() : nullptr;
    if (!map)
        return false;
    Cell = PreviewToCell(At.x(), At.y(), width(), height(), map->GetResolution());
    return true;
}

void TTerrainPreview::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton)
        return;
    RunGuarded(this, [&] {
        TGridCell cell;
        if (!CellAt(Event->position().toPoint(), cell))
            return;
        Pressed = true;
        if (OnPress)
            OnPress(cell, Event->modifiers().testFlag(Qt::ControlModifier));
    });
}

void TTerrainPreview::mouseMoveEvent(QMouseEvent* Event)
{
    if (!Pressed)
        return;
    RunGuarded(this, [&] {
        TGridCell cell;
        if (CellAt(Event->position().toPoint(), cell) && OnDrag)
            OnDrag(cell, Event->modifiers().testFlag(Qt::ControlModifier));
    });
}

void TTerrainPreview::mouseReleaseEvent(QMouseEvent* Event)
{
    if (Event->button() != Qt::LeftButton || !Pressed)
        return;
    Pressed = false;
    RunGuarded(this, [&] {
        if (OnRelease)
            OnRelease();
    });
}
