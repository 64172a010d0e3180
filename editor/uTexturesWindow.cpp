#include "editor/uTexturesWindow.h"

#include "editor/api/uEditorContext.h"
#include "editor/api/uEditorShell.h"
#include "image/uImageCodecs.h"
#include "scene/uTextures.h"

#include <QFileInfo>
#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

constexpr int kThumbnailSide = 128;
constexpr int kPitchX = 168;
constexpr int kPitchY = 198;
const char* const kAddTextureFilter = "Images|*.png;*.jpg;*.bmp|All files|*.*";
const char* const kTexturesWindowKind = "Textures";

TImageSizeLimits TextureLimits()
{
    TImageSizeLimits limits;
    limits.MaxSide = INT32_MAX;  // as the registry: only the byte count limits a texture
    limits.MaxBytes = kMaxTextureBytes;
    return limits;
}

QImage Stretched(const QImage& Image)
{
    if (Image.isNull() || Image.size() == QSize(kThumbnailSide, kThumbnailSide))
        return Image;
    return Image.scaled(kThumbnailSide, kThumbnailSide, Qt::IgnoreAspectRatio,
                        Qt::SmoothTransformation);
}

}  // namespace

QImage LoadTextureThumbnail(const std::string& FileName)
{
    // Our own decoders, not the toolkit's: theirs walk whatever stands before, between or
    // after a JPEG's scans and every chunk before a PNG's data, however long the file.
    const TImageFileKind kind = ImageFileKindFromName(FileName);
    if (kind == TImageFileKind::Unknown || !QFileInfo(QString::fromStdString(FileName)).isFile())
        return {};
    TImageSizeLimits limits = TextureLimits();
    limits.ReduceToSide = kThumbnailSide;
    TImageDecodeResult r = DecodeImageFile(FileName, kind, limits);
    if (r.Status != TImageDecodeStatus::Ok || !r.Image)
        return {};
    const TRgbaImage& image = *r.Image;
    const QImage wrapped(reinterpret_cast<const uchar*>(image.Pixels().data()), image.Width(),
                         image.Height(), image.Width() * 4, QImage::Format_RGBA8888);
    return Stretched(wrapped).copy();
}

QPoint TextureCellPosition(int Index, int Width)
{
    const int columns = std::max(1, (Width + 8) / kPitchX);
    const int spare = Width - (columns * kPitchX - 8);
    const int margin = std::max(8, spare / 2);
    return QPoint(margin + (Index % columns) * kPitchX, (Index / columns) * kPitchY + 8);
}

// ---------------------------------------------------------------------------------------

TTexCellPanel::TTexCellPanel(int32_t TextureIndex, QWidget* Parent)
    : QFrame(Parent), TextureIndex(TextureIndex)
{
    setFixedSize(CellWidth, CellHeight);
    setAutoFillBackground(true);
    setLineWidth(2);
    Image = new QLabel(this);
    Image->setGeometry(16, 8, kThumbnailSide, kThumbnailSide);
    Image->setAlignment(Qt::AlignCenter);
    NameLabel = new QLabel(this);
    NameLabel->setGeometry(4, 142, 152, 18);
    QFont bold = NameLabel->font();
    bold.setBold(true);
    NameLabel->setFont(bold);
    SizeLabel = new QLabel(this);
    SizeLabel->setGeometry(4, 162, 152, 16);
    SizeLabel->setStyleSheet(QStringLiteral("color: #808080;"));
    // A click anywhere in the cell selects it.
    for (QLabel* l : {Image, NameLabel, SizeLabel})
        l->setAttribute(Qt::WA_TransparentForMouseEvents);
    SetSelected(false);
}

void TTexCellPanel::SetSelected(bool Selected)
{
    setFrameStyle(QFrame::Panel | (Selected ? QFrame::Sunken : QFrame::Raised));
    QPalette p = palette();
    p.setColor(QPalette::Window, Selected ? QColor(0xDD, 0xED, 0xFF)
                                          : QGuiApplication::palette().color(QPalette::Window));
    setPalette(p);
}

void TTexCellPanel::mousePressEvent(QMouseEvent* Event)
{
    if (Event->button() == Qt::LeftButton && OnClick)
        OnClick(*this);
    QFrame::mousePressEvent(Event);
}

// ---------------------------------------------------------------------------------------

TTexturesForm::TTexturesForm(TEditorContext& Context, std::function<void()> OnTexturesChanged,
                             QWidget* Parent)
    : QWidget(Parent, Qt::Window), Context(Context), Manager(&Context.Textures()),
      OnTexturesChanged(std::move(OnTexturesChanged))
{
    FormCreate();
}

TTexturesForm::~TTexturesForm()
{
    ClearCells();
}

void TTexturesForm::FormCreate()
{
    setObjectName(QStringLiteral("TexturesForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Textures"));
    setMinimumSize(200, 200);
    resize(540, 480);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    ScrollBox = new QScrollArea(this);
    ScrollBox->setObjectName(QStringLiteral("TextureScrollBox"));
    ScrollBox->setWidgetResizable(false);
    CellHost = new QWidget();
    ScrollBox->setWidget(CellHost);
    // The columns follow the scroll box's client width. The window's own resize comes
    // before its layout has sized the scroll box (on the first show the client area is
    // still the toolkit's default of about 100 pixels), so the cells are laid out when
    // the client area itself changes size, scroll bars coming and going included.
    ScrollBox->viewport()->installEventFilter(this);
    auto* box = new QVBoxLayout();
    box->setContentsMargins(4, 4, 4, 4);
    box->addWidget(ScrollBox);
    layout->addLayout(box, 1);
    CountLabel = new QLabel(this);
    CountLabel->setObjectName(QStringLiteral("TextureCountLabel"));
    CountLabel->setFixedHeight(20);
    layout->addWidget(CountLabel);
    const auto addButton = [&](const char* caption, const char* name, auto handler) {
        auto* b = new QPushButton(QString::fromLatin1(caption), this);
        b->setObjectName(QString::fromLatin1(name));
        b->setFixedHeight(28);
        connect(b, &QPushButton::clicked, this, handler);
        layout->addWidget(b);
    };
    addButton("Add Texture...", "AddTextureButton", [this] { AddTextureClick(); });
    addButton("Delete Selected", "DeleteTextureButton", [this] { DeleteSelectedClick(); });
    addButton("Refresh", "RefreshTexturesButton", [this] { RefreshClick(); });

    TEditorEvents& events = Context.Events();
    connect(&events, &TEditorEvents::TexturesChanged, this, [this] { TexturesChangedElsewhere(); });
    connect(&events, &TEditorEvents::TextureImported, this,
            [this](int Index) { SelectTexture(Index); });
    RefreshList(-1);
}

QString TTexturesForm::CountText() const
{
    return CountLabel->text();
}

void TTexturesForm::ClearCells()
{
    for (TTexCellPanel* c : Cells)
        delete c;
    Cells.clear();
}

QImage TTexturesForm::Thumbnail(const std::string& Path)
{
    const QFileInfo info(QString::fromStdString(Path));
    const int64_t stamp = info.exists() ? info.lastModified().toMSecsSinceEpoch() : -1;
    const int64_t bytes = info.exists() ? info.size() : -1;
    auto it = ThumbnailCache.find(Path);
    if (it != ThumbnailCache.end() && it->second.Stamp == stamp && it->second.Bytes == bytes)
        return it->second.Image;
    QImage image = stamp < 0 ? QImage() : LoadTextureThumbnail(Path);
    ThumbnailCache[Path] = {stamp, bytes, image};
    return image;
}

void TTexturesForm::RefreshList(int32_t SelectIndex)
{
    ClearCells();
    FSelectedIndex = -1;
    if (!Manager)
        return;
    for (int32_t i = 0; i < Manager->Count(); ++i) {
        auto* cell = new TTexCellPanel(i, CellHost);
        cell->setObjectName(QStringLiteral("TextureCell%1").arg(i));
        const TTextureRec& rec = Manager->GetTexture(i);
        QPixmap pixmap(kThumbnailSide, kThumbnailSide);
        pixmap.fill(Qt::white);
        const QImage thumbnail = Thumbnail(rec.Path);
        if (!thumbnail.isNull())
            pixmap = QPixmap::fromImage(thumbnail);
        cell->Image->setPixmap(pixmap);
        cell->NameLabel->setText(QString::fromStdString(rec.Name));
        cell->SizeLabel->setText(QStringLiteral("%1x%2").arg(rec.Width).arg(rec.Height));
        cell->OnClick = [this](TTexCellPanel& c) { CellClick(c); };
        cell->show();
        Cells.push_back(cell);
    }
    LayoutCells();
    CountLabel->setText(QStringLiteral("%1 texture(s)").arg(Cells.size()));
    if (SelectIndex >= 0)
        SelectTexture(SelectIndex);
}

void TTexturesForm::LayoutCells()
{
    const int width = ScrollBox->viewport()->width();
    int bottom = 0;
    for (size_t i = 0; i < Cells.size(); ++i) {
        const QPoint at = TextureCellPosition(static_cast<int>(i), width);
        Cells[i]->move(at);
        bottom = std::max(bottom, at.y() + TTexCellPanel::CellHeight);
    }
    CellHost->resize(width, bottom + 8);
}

bool TTexturesForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (ScrollBox && Watched == ScrollBox->viewport() && Event->type() == QEvent::Resize)
        LayoutCells();
    return QWidget::eventFilter(Watched, Event);
}

void TTexturesForm::SelectTexture(int32_t Index)
{
    if (Index < 0 || Index >= CellCount())
        return;
    FSelectedIndex = Index;
    for (TTexCellPanel* c : Cells)
        c->SetSelected(c->TextureIndex == Index);
    ScrollBox->ensureWidgetVisible(Cells[static_cast<size_t>(Index)]);
}

void TTexturesForm::CellClick(TTexCellPanel& Cell)
{
    if (Cell.TextureIndex != FSelectedIndex)
        SelectTexture(Cell.TextureIndex);
}

void TTexturesForm::TexturesChangedElsewhere()
{
    if (!ReportingChange)
        RefreshList(-1);
}

void TTexturesForm::AddTextureClick()
{
    if (!Manager)
        return;
    const std::string file = Context.Dialogs().OpenFileName(this, kAddTextureFilter, {});
    if (file.empty())
        return;
    // Refused with a word, unlike a file that does not load: the name is fine on disk.
    if (const std::string problem = TexturePathProblem(ExpandTexturePath(file)); !problem.empty()) {
        Context.Dialogs().Warn(this, "Textures", problem);
        return;
    }
    int32_t index = -1;
    {
        TTextureContextScope gl(Context);
        index = Manager->ImportFile(file);
    }
    if (index < 0)
        return;
    RefreshList(-1);
    CountLabel->setText(QStringLiteral("Added: ") +
                        QString::fromStdString(Manager->GetTexture(index).Name));
    ReportingChange = true;
    if (OnTexturesChanged)
        OnTexturesChanged();
    ReportingChange = false;
}

void TTexturesForm::DeleteSelectedClick()
{
    if (!Manager || FSelectedIndex < 0 || FSelectedIndex >= Manager->Count())
        return;
    const std::string name = Manager->GetTexture(FSelectedIndex).Name;
    if (!Context.Dialogs().AskYesNo(this, "Confirm", "Delete texture \"" + name + "\"?"))
        return;
    {
        TTextureContextScope gl(Context);
        Manager->Delete(FSelectedIndex);
    }
    RefreshList(-1);
    ReportingChange = true;
    if (OnTexturesChanged)
        OnTexturesChanged();
    ReportingChange = false;
}

TTexturesForm* ShowTexturesWindow(TEditorContext& Context)
{
    QWidget* w = Context.ToolWindows().Recreate(kTexturesWindowKind, [&Context] {
        return new TTexturesForm(
            Context, [&Context] { Context.RefreshTextureCombo(); }, Context.ParentWindow());
    });
    return qobject_cast<TTexturesForm*>(w);
}

void InstallTexturesWindow(TEditorShell& Shell)
{
    TEditorContext& context = Shell.Context();
    Shell.InstallToolWindowItem(twiTextures, [&context] { ShowTexturesWindow(context); });
}
