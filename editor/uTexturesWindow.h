#pragma once
// The textures window: the project's texture registry as a grid of thumbnails, with
// import of an image file as a new texture and deletion of the selected one. It follows
// the registry through the editor's events.
#include <QFrame>
#include <QImage>
#include <QWidget>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QPushButton;
class QScrollArea;
class TEditorContext;
class TTextureManager;

// One texture: its thumbnail, name and size.
class TTexCellPanel : public QFrame {
    Q_OBJECT
public:
    static constexpr int CellWidth = 160;
    static constexpr int CellHeight = 190;

    TTexCellPanel(int32_t TextureIndex, QWidget* Parent);
    int32_t TextureIndex = -1;
    QLabel* Image = nullptr;
    QLabel* NameLabel = nullptr;
    QLabel* SizeLabel = nullptr;
    void SetSelected(bool Selected);

    std::function<void(TTexCellPanel&)> OnClick;

protected:
    void mousePressEvent(QMouseEvent* Event) override;
};

// A 128 x 128 thumbnail of an image file (stretched over the square), decoded by the image
// layer as the registry decodes it; a null image for a missing, unreadable or oversized
// file. The file's declared size is checked against the texture registry's limits before
// any pixels are decoded, and no more of the file is read than the image could need.
QImage LoadTextureThumbnail(const std::string& FileName);

// Where cell Index goes in a scroll box of client width Width.
QPoint TextureCellPosition(int Index, int Width);

class TTexturesForm : public QWidget {
    Q_OBJECT
public:
    // OnTexturesChanged follows a successful add or delete; may be empty.
    TTexturesForm(TEditorContext& Context, std::function<void()> OnTexturesChanged,
                  QWidget* Parent = nullptr);
    ~TTexturesForm() override;

    void RefreshList(int32_t SelectIndex);
    void SelectTexture(int32_t Index);
    void AddTextureClick();
    void DeleteSelectedClick();
    void RefreshClick() { RefreshList(-1); }
    void CellClick(TTexCellPanel& Cell);

    int32_t SelectedIndex() const { return FSelectedIndex; }
    int CellCount() const { return static_cast<int>(Cells.size()); }
    TTexCellPanel* Cell(int i) const { return Cells[static_cast<size_t>(i)]; }
    QString CountText() const;

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    void FormCreate();
    void LayoutCells();
    void ClearCells();
    void TexturesChangedElsewhere();
    QImage Thumbnail(const std::string& Path);

    TEditorContext& Context;
    TTextureManager* Manager;
    std::function<void()> OnTexturesChanged;
    int32_t FSelectedIndex = -1;
    std::vector<TTexCellPanel*> Cells;  // children of the scroll box's contents
    QScrollArea* ScrollBox = nullptr;
    QWidget* CellHost = nullptr;
    QLabel* CountLabel = nullptr;
    bool ReportingChange = false;
    // Thumbnails by path, kept while the file's size and time stay the same.
    struct TCachedThumbnail {
        int64_t Stamp = 0;
        int64_t Bytes = 0;
        QImage Image;
    };
    std::map<std::string, TCachedThumbnail> ThumbnailCache;
};

// Closes the open textures window and shows a new one.
TTexturesForm* ShowTexturesWindow(TEditorContext& Context);
// View > Textures... opens it.
class TEditorShell;
void InstallTexturesWindow(TEditorShell& Shell);
