#include "ripper/ui/uTextureRipperForm.h"

#include "editor/api/uEditorContext.h"
#include "ripper/uTextureRipperExport.h"
#include "ripper/ui/uRipperPreviewView.h"
#include "ripper/ui/uRipperSourceView.h"

#include <QAbstractSpinBox>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QVBoxLayout>
#include <QWheelEvent>

namespace {

const char* const kOpenImageFilter = "Images|*.png;*.jpg;*.jpeg;*.bmp|All files|*.*";
const char* const kRipperWindowKind = "TextureRipper";
const int kOutputSizes[4] = {32, 64, 128, 256};
constexpr int kDragPreviewSize = 64;

// Keys typed into these go to them, not to the window's bindings.
bool IsTextEntry(const QWidget* Widget)
{
    return qobject_cast<const QLineEdit*>(Widget) || qobject_cast<const QComboBox*>(Widget) ||
           qobject_cast<const QAbstractSpinBox*>(Widget);
}

// Opaque screen copy: the alpha byte is ignored, and the pixels stay where they are.
QImage WrapOpaque(const TRgbaImage& Image)
{
    return QImage(reinterpret_cast<const uchar*>(Image.Pixels().data()), Image.Width(),
                  Image.Height(), Image.Width() * 4, QImage::Format_RGBX8888);
}

QPushButton* MakeButton(QWidget* Parent, const char* Caption, const char* Name, QRect Geometry)
{
    auto* b = new QPushButton(QString::fromUtf8(Caption), Parent);
    b->setObjectName(QString::fromLatin1(Name));
    b->setGeometry(Geometry);
    return b;
}

QLabel* MakeLabel(QWidget* Parent, const char* Caption, int Left, int Top)
{
    auto* l = new QLabel(QString::fromUtf8(Caption), Parent);
    l->move(Left, Top);
    l->adjustSize();
    return l;
}

QComboBox* MakeList(QWidget* Parent, const char* Name, QStringList Items, int Chosen, int Top)
{
    auto* c = new QComboBox(Parent);
    c->setObjectName(QString::fromLatin1(Name));
    c->addItems(Items);
    c->setCurrentIndex(Chosen);
    c->setGeometry(10, Top, 205, 24);
    return c;
}

}  // namespace

TTextureRipperForm::TTextureRipperForm(TEditorContext& Context, TOnImported OnImported,
                                       TMillisecondClock Clock, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Context(Context), OnImported(std::move(OnImported)),
      FController(std::move(Clock)), FProjectPath(Context.ProjectFileName())
{
    FormCreate();
}

TTextureRipperForm::~TTextureRipperForm()
{
    Timer->stop();
}

void TTextureRipperForm::FormCreate()
{
    setObjectName(QStringLiteral("TextureRipperForm"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("Texture Ripper"));
    setMinimumSize(760, 480);
    resize(1100, 700);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    setAcceptDrops(true);

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(BuildToolBar());
    auto* middle = new QHBoxLayout();
    middle->setSpacing(0);
    SourceView = new TRipperSourceView(FController, nullptr);
    QWidget* left = BuildViewPanel(QStringLiteral("Source photograph"), SourceView);
    left->setFixedWidth(430);
    middle->addWidget(left);
    PreviewView = new TRipperPreviewView(nullptr);
    middle->addWidget(BuildViewPanel(QStringLiteral("Result preview"), PreviewView), 1);
    middle->addWidget(BuildSidePanel());
    root->addLayout(middle, 1);
    StatusLabel = new QLabel(QStringLiteral("Load an image to begin."), this);
    StatusLabel->setObjectName(QStringLiteral("StatusLabel"));
    StatusLabel->setFixedHeight(22);
    StatusLabel->setContentsMargins(8, 0, 0, 0);
    root->addWidget(StatusLabel);

    WireSourceView();
    Timer = new QTimer(this);
    Timer->setInterval(30);
    connect(Timer, &QTimer::timeout, this, [this] { TimerTick(); });
    Timer->start();

    // The window sees keys before its controls.
    for (QWidget* w : findChildren<QWidget*>())
        w->installEventFilter(this);
    UpdateTargetLabel();
    UpdateSaveButton();
}

QWidget* TTextureRipperForm::BuildToolBar()
{
    auto* bar = new QWidget(this);
    bar->setFixedHeight(34);
    connect(MakeButton(bar, "Open Image...", "OpenImageButton", {4, 4, 92, 26}),
            &QPushButton::clicked, this, [this] { OpenImageClick(); });
    connect(MakeButton(bar, "Reset Quad", "ResetQuadButton", {100, 4, 82, 26}),
            &QPushButton::clicked, this, [this] {
                FController.Session().ResetQuad();
                RefreshPreview(true);
                SourceView->update();
            });
    connect(MakeButton(bar, "Fit Image", "FitImageButton", {186, 4, 72, 26}), &QPushButton::clicked,
            this, [this] {
                FController.FitToView();
                SourceView->update();
            });
    connect(MakeButton(bar, "Actual Pixels", "ActualPixelsButton", {262, 4, 88, 26}),
            &QPushButton::clicked, this, [this] {
                FController.ResetView();
                SourceView->update();
            });
    return bar;
}

QWidget* TTextureRipperForm::BuildSidePanel()
{
    auto* side = new QWidget(this);
    side->setFixedWidth(230);
    const TTextureRipperSession& s = FController.Session();
    MakeLabel(side, "Texture name", 10, 12);
    NameEdit = new QLineEdit(QString::fromStdString(s.OutputName), side);
    NameEdit->setObjectName(QStringLiteral("TextureNameEdit"));
    NameEdit->setGeometry(10, 30, 205, 24);
    connect(NameEdit, &QLineEdit::textChanged, this, [this] { TextureNameChange(); });

    MakeLabel(side, "Output size", 10, 66);
    SizeList =
        MakeList(side, "OutputSizeList", {"32 x 32", "64 x 64", "128 x 128", "256 x 256"}, 1, 86);
    MakeLabel(side, "Sampling", 10, 122);
    SamplingList = MakeList(side, "SamplingList", {"Nearest", "Bilinear"}, 0, 142);
    MakeLabel(side, "Result preview", 10, 178);
    PreviewModeList = MakeList(side, "PreviewModeList", {"Single texture", "3 x 3 tiled"}, 0, 198);
    for (QComboBox* c : {SizeList, SamplingList, PreviewModeList})
        connect(c, &QComboBox::currentIndexChanged, this, [this] { OutputSettingChange(); });

    connect(MakeButton(side, "Rotate 90", "RotateButton", {10, 265, 90, 26}), &QPushButton::clicked,
            this, [this] { TransformClick(0); });
    connect(MakeButton(side, "Flip H", "FlipHButton", {105, 265, 62, 26}), &QPushButton::clicked,
            this, [this] { TransformClick(1); });
    connect(MakeButton(side, "Flip V", "FlipVButton", {172, 265, 56, 26}), &QPushButton::clicked,
            this, [this] { TransformClick(2); });

    MakeLabel(side, "Project target", 10, 310);
    TargetLabel = new QLabel(side);
    TargetLabel->setObjectName(QStringLiteral("TargetLabel"));
    TargetLabel->setGeometry(10, 330, 205, 44);
    TargetLabel->setWordWrap(true);
    TargetLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    SaveButton = MakeButton(side, "Save && Import", "SaveImportButton", {10, 395, 205, 32});
    SaveButton->setEnabled(false);
    connect(SaveButton, &QPushButton::clicked, this, [this] { SaveImportClick(); });
    connect(MakeButton(side, "Close", "CloseButton", {10, 433, 205, 26}), &QPushButton::clicked,
            this, &QWidget::close);
    return side;
}

QWidget* TTextureRipperForm::BuildViewPanel(const QString& Caption, QWidget* View)
{
    auto* panel = new QWidget(this);
    auto* layout = new QVBoxLayout(panel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    auto* head = new QWidget(panel);
    head->setFixedHeight(24);
    auto* label = new QLabel(Caption, head);
    label->move(8, 4);
    layout->addWidget(head);
    View->setParent(panel);
    layout->addWidget(View, 1);
    return panel;
}

void TTextureRipperForm::WireSourceView()
{
    SourceView->OnMousePress = [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        if (e->button() == Qt::MiddleButton || FPanMode)
            FController.BeginPan(p.x(), p.y());
        else if (e->button() == Qt::LeftButton)
            FController.MouseDown(p.x(), p.y());
        SourceView->update();
    };
    SourceView->OnMouseMove = [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        FController.MouseMove(p.x(), p.y(), e->modifiers() & Qt::ShiftModifier,
                              e->modifiers() & Qt::ControlModifier);
        SourceView->update();
    };
    SourceView->OnMouseRelease = [this](QMouseEvent* e) {
        const QPoint p = e->position().toPoint();
        FController.MouseMove(p.x(), p.y(), e->modifiers() & Qt::ShiftModifier,
                              e->modifiers() & Qt::ControlModifier);
        FController.MouseUp();
        RefreshPreview(true);
        SourceView->update();
    };
    SourceView->OnWheel = [this](QWheelEvent* e) {
        const int delta = e->angleDelta().y();
        if (delta == 0 && e->angleDelta().x() != 0)
            return;  // a sideways scroll is no zoom
        const QPoint p = e->position().toPoint();
        FController.ZoomAt(p.x(), p.y(), delta);
        SourceView->update();
    };
    SourceView->OnResize = [this] {
        FController.SetViewSize(SourceView->width(), SourceView->height());
        SourceView->update();
    };
}

void TTextureRipperForm::SetProjectPath(const std::string& FileName)
{
    FProjectPath = FileName;
    UpdateTargetLabel();
    UpdateSaveButton();
}

void TTextureRipperForm::FollowProjectPath()
{
    // Save As gives the project its (new) name while this window is open.
    const std::string current = Context.ProjectFileName();
    if (current != FProjectPath)
        SetProjectPath(current);
}

void TTextureRipperForm::SetStatus(const std::string& Text, bool IsError)
{
    FStatusIsError = IsError;
    FSelectionError = false;
    if (!IsError)
        FLastInfo = Text;
    StatusLabel->setText(QString::fromStdString(Text));
    StatusLabel->setStyleSheet(IsError ? QStringLiteral("color: red;") : QString());
}

void TTextureRipperForm::UpdateTargetLabel()
{
    TargetLabel->setText(
        QString::fromStdString(TextureTargetText(FProjectPath, NameEdit->text().toStdString())));
}

void TTextureRipperForm::UpdateSaveButton()
{
    const TTextureRipperSession& s = FController.Session();
    std::string message, name, folder;
    const bool loaded = s.HasSourceImage();
    const bool valid = loaded && s.ValidateSelection(message);
    SanitizeTextureName(NameEdit->text().toStdString(), name);
    ProjectTexturesFolder(FProjectPath, folder);
    SaveButton->setEnabled(valid && !name.empty() && !folder.empty());
    if (loaded && !valid) {
        SetStatus(message, true);
        FSelectionError = true;
    } else if (valid && FSelectionError) {
        SetStatus(FLastInfo, false);
    }
}

void TTextureRipperForm::OpenImageClick()
{
    const std::string name =
        Context.Dialogs().OpenFileName(this, kOpenImageFilter, "Open Source Image");
    if (!name.empty())
        LoadSourceFile(name);
}

bool TTextureRipperForm::LoadSourceFile(const std::string& FileName)
{
    TTextureRipperSession& s = FController.Session();
    std::string message;
    if (!s.LoadSourceImage(FileName, message)) {
        SetStatus(message, true);
        UpdateSaveButton();
        return false;
    }
    SourceView->SetBitmap(WrapOpaque(*s.Source()));
    FController.SetViewSize(SourceView->width(), SourceView->height());
    FController.FitToView();
    SetStatus("Loaded: " + QFileInfo(QString::fromStdString(FileName)).fileName().toStdString(),
              false);
    RefreshPreview(true);
    return true;
}

void TTextureRipperForm::RefreshPreview(bool Full)
{
    const TTextureRipperSession& s = FController.Session();
    if (!s.HasSourceImage())
        return;
    std::string message;
    const auto image = s.BuildOutputImage(Full ? s.OutputSize : kDragPreviewSize, message);
    FController.PreviewDone();
    if (image) {
        PreviewView->SetBitmap(WrapOpaque(*image).copy());
    } else {
        PreviewView->SetBitmap(QImage());
        SetStatus(message, true);
    }
    RedrawViews();
    UpdateSaveButton();
}

void TTextureRipperForm::RedrawViews()
{
    SourceView->update();
    PreviewView->update();
}

void TTextureRipperForm::OutputSettingChange()
{
    TTextureRipperSession& s = FController.Session();
    s.OutputName = NameEdit->text().toStdString();
    const int size = SizeList->currentIndex();
    if (size >= 0 && size < 4)
        s.OutputSize = kOutputSizes[size];
    s.Bilinear = SamplingList->currentIndex() == 1;
    PreviewView->SetTiled(PreviewModeList->currentIndex() == 1);
    RefreshPreview(true);
}

void TTextureRipperForm::TextureNameChange()
{
    FController.Session().OutputName = NameEdit->text().toStdString();
    UpdateTargetLabel();
    UpdateSaveButton();
}

void TTextureRipperForm::TransformClick(int Which)
{
    TTextureRipperSession& s = FController.Session();
    if (Which == 0)
        s.QuarterTurns = (s.QuarterTurns + 1) % 4;
    else if (Which == 1)
        s.FlipH = !s.FlipH;
    else
        s.FlipV = !s.FlipV;
    RefreshPreview(true);
}

void TTextureRipperForm::SaveImportClick()
{
    FollowProjectPath();
    if (!SaveButton->isEnabled())
        return;
    const TTextureRipperSession& s = FController.Session();
    std::string message;
    const auto image = s.BuildOutputImage(s.OutputSize, message);
    if (!image) {
        SetStatus(message, true);
        return;
    }
    TTextureRipperSaveResult result;
    {
        TTextureContextScope gl(Context);
        SaveAndImport(*image, FProjectPath, NameEdit->text().toStdString(), result,
                      &Context.Textures());
    }
    if (!result.Success) {
        SetStatus(result.Message, true);
        return;
    }
    SetStatus("Imported: " + result.RelativePath, false);
    if (OnImported)
        OnImported(*this, result);
}

void TTextureRipperForm::TimerTick()
{
    FollowProjectPath();
    if (FController.PreviewDue(false))
        RefreshPreview(false);
}

bool TTextureRipperForm::FormKeyDown(QKeyEvent* Event)
{
    QWidget* focus = focusWidget();
    const int key = Event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Save & Import is the window's default button; a focused button takes its own Enter.
        if (qobject_cast<QPushButton*>(focus) || qobject_cast<QComboBox*>(focus))
            return false;
        SaveImportClick();
        return true;
    }
    if (IsTextEntry(focus))
        return false;
    if (key == Qt::Key_Space) {
        FPanMode = true;
        return true;
    }
    double dx = 0, dy = 0;
    switch (key) {
    case Qt::Key_Left:
        dx = -1;
        break;
    case Qt::Key_Right:
        dx = 1;
        break;
    case Qt::Key_Up:
        dy = -1;
        break;
    case Qt::Key_Down:
        dy = 1;
        break;
    default:
        return false;
    }
    const double step = (Event->modifiers() & Qt::ShiftModifier) ? 10.0 : 1.0;
    FController.NudgeSelectedPoint(dx * step, dy * step);
    RefreshPreview(true);
    SourceView->update();
    return true;
}

bool TTextureRipperForm::FormKeyUp(QKeyEvent* Event)
{
    if (Event->key() != Qt::Key_Space || IsTextEntry(focusWidget()))
        return false;
    if (!Event->isAutoRepeat())
        FPanMode = false;
    return true;
}

bool TTextureRipperForm::eventFilter(QObject* Watched, QEvent* Event)
{
    if (Event->type() == QEvent::KeyPress && FormKeyDown(static_cast<QKeyEvent*>(Event)))
        return true;
    if (Event->type() == QEvent::KeyRelease && FormKeyUp(static_cast<QKeyEvent*>(Event)))
        return true;
    return QWidget::eventFilter(Watched, Event);
}

void TTextureRipperForm::keyPressEvent(QKeyEvent* Event)
{
    if (!FormKeyDown(Event))
        QWidget::keyPressEvent(Event);
}

void TTextureRipperForm::keyReleaseEvent(QKeyEvent* Event)
{
    if (!FormKeyUp(Event))
        QWidget::keyReleaseEvent(Event);
}

void TTextureRipperForm::changeEvent(QEvent* Event)
{
    // A Space released in another window would leave the pan latched.
    if (Event->type() == QEvent::ActivationChange && !isActiveWindow())
        FPanMode = false;
    QWidget::changeEvent(Event);
}

void TTextureRipperForm::dragEnterEvent(QDragEnterEvent* Event)
{
    if (Event->mimeData()->hasUrls())
        Event->acceptProposedAction();
}

void TTextureRipperForm::dropEvent(QDropEvent* Event)
{
    const QList<QUrl> urls = Event->mimeData()->urls();
    if (urls.isEmpty())
        return;
    Event->acceptProposedAction();
    LoadSourceFile(urls.first().toLocalFile().toStdString());
}

TTextureRipperForm* ShowTextureRipper(TEditorContext& Context,
                                      TTextureRipperForm::TOnImported OnImported)
{
    QWidget* w = Context.ToolWindows().ShowOrCreate(kRipperWindowKind, [&] {
        return new TTextureRipperForm(Context, std::move(OnImported), {}, Context.ParentWindow());
    });
    auto* form = qobject_cast<TTextureRipperForm*>(w);
    if (form)
        form->SetProjectPath(Context.ProjectFileName());
    return form;
}
