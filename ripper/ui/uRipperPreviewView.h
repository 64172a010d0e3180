#pragma once
// The ripper's result preview: the rectified texture on a checkerboard, once or as a
// 3 x 3 tiling around the centre.
#include <QImage>
#include <QWidget>

class TRipperPreviewView : public QWidget {
    Q_OBJECT
public:
    explicit TRipperPreviewView(QWidget* Parent);

    // Null drops the preview.
    void SetBitmap(const QImage& Bitmap);
    const QImage& Bitmap() const { return FBitmap; }
    void SetTiled(bool Tiled);

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QImage FBitmap;
    bool FTiled = false;
};
