#pragma once
// The terrain window's paint box: a 512 x 512 picture of the heightmap drawn stretched
// into a centred square, and the brush's mouse input turned into grid cells.
#include "terrain/uTerrainPainting.h"

#include <QImage>
#include <QWidget>

#include <functional>

class THeightmap;

class TTerrainPreview : public QWidget {
    Q_OBJECT
public:
    // Map gives the edited heightmap at each use, or nullptr when it is gone.
    explicit TTerrainPreview(std::function<const THeightmap*()> Map, QWidget* Parent = nullptr);

    // The brush's mouse input, in grid cells; Ctrl tells whether Ctrl is held.
    std::function<void(TGridCell Cell, bool Ctrl)> OnPress;
    std::function<void(TGridCell Cell, bool Ctrl)> OnDrag;
    std::function<void()> OnRelease;

    void SetContours(bool On);
    bool Contours() const { return ContourLines; }
    // The whole picture, or only the pixels of Cells, is redrawn at the next paint.
    void MarkPreviewDirty();
    void MarkCellsDirty(const TGridRect& Cells);
    // Brings the picture up to date now (the paint does it when needed).
    void RebuildPreview();
    const QImage& Picture() const { return Bitmap; }
    // Side of the drawn square, as of the last paint.
    int PreviewSide() const { return DrawnSide; }
    // Where the centre of a cell shows in this widget.
    QPoint CellToPoint(TGridCell Cell) const;

protected:
    void paintEvent(QPaintEvent* Event) override;
    void mousePressEvent(QMouseEvent* Event) override;
    void mouseMoveEvent(QMouseEvent* Event) override;
    void mouseReleaseEvent(QMouseEvent* Event) override;

private:
    bool CellAt(const QPoint& At, TGridCell& Cell) const;

    std::function<const THeightmap*()> Map;
    QImage Bitmap;
    bool ContourLines = false;
    bool WholeDirty = true;
    TGridRect DirtyCells;
    int DrawnSide = PreviewPixels;
    bool Pressed = false;
};
