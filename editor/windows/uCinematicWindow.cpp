#include "editor/windows/uCinematicWindow.h"

#include "base/uErrors.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/windows/uCameraWindow.h"
#include "editor/windows/uWindowPlacement.h"
#include "image/uImageCodecs.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"
#include "scene/uScene.h"
#include "scene/uTextures.h"

#include <QAction>
#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QTimer>

#include <GL/gl.h>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <vector>

const std::array<TRenderSize, 4> CinematicRenderSizes = {{
    {"320 x 200", 320, 200},
    {"640 x 480", 640, 480},
    {"720p", 1280, 720},
    {"1080p", 1920, 1080},
}};

std::string DefaultCinematicImageName(const QDateTime& Now)
{
    return "cinematic_" + Now.toString(QStringLiteral("yyyyMMdd_HHmmss")).toStdString();
}

TRgbaImage ImageFromGLRows(const unsigned char* Rows, int W, int H)
{
    TRgbaImage image(W, H);
    for (int y = 0; y < H; ++y) {
        const unsigned char* src = Rows + size_t(H - 1 - y) * size_t(W) * 4;
        TRgbaPixel* dst = image.Row(y);
        for (int x = 0; x < W; ++x, src += 4)
            dst[x] = MakeRgbaPixel(src[0], src[1], src[2], 255);
    }
    return image;
}

void WriteCinematicImage(const TRgbaImage& Image, const std::string& FileName)
{
    namespace fs = std::filesystem;
    std::string ext = fs::path(FileName).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const bool png = ext == ".png";
    if (!png && ext != ".bmp")
        throw EGeneralError("Cannot save \"" + FileName +
                            "\": images are saved as PNG (.png) or BMP (.bmp)");
    try {
        SaveFileSafely(FileName, [&](int temporary) {
            std::string message;
            const bool written = png ? WritePngToDescriptor(Image, temporary, message)
                                     : WriteBmpToDescriptor(Image, temporary, message);
            if (!written)
                throw EGeneralError(message);
        });
    } catch (const std::exception& e) {
        throw EGeneralError("Could not save the image \"" + FileName + "\": " + e.what());
    }
}

TCinematicForm::TCinematicForm(TEditorContext& context, QWidget* Parent)
    : QMainWindow(Parent, Qt::Window), Context(context)
{
    FormCreate();
}

TCinematicForm::~TCinematicForm()
{
    Destroying = true;
    if (FrameTimer)
        FrameTimer->stop();
    if (GLView && GLView->context()) {
        GLView->makeCurrent();
        Render.ReleaseGLObjects();
        GLView->doneCurrent();
    }
}

void TCinematicForm::FormCreate()
{
    setWindowTitle(QStringLiteral("Cinematic View"));
    setObjectName(QStringLiteral("CinematicWindow"));
    AskImageFileName = [](QWidget* parent, const std::string& title, const std::string& filter,
                          const std::string& proposed) {
        QFileDialog dialog(parent, QString::fromStdString(title));
        dialog.setAcceptMode(QFileDialog::AcceptSave);
        dialog.setNameFilter(QString::fromStdString(QtFileFilter(filter)));
        dialog.setDefaultSuffix(QStringLiteral("png"));
        dialog.selectFile(QString::fromStdString(proposed));
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().front().toStdString();
    };
    BuildMenu();
    GLView = new TGLView(this);
    GLView->setObjectName(QStringLiteral("CinematicView"));
    GLView->setCursor(Qt::ArrowCursor);
    GLView->OnPaint = [this] { GLPaint(); };
    GLView->OnResize = [this] {
        if (GLView)
            GLView->update();
    };
    setCentralWidget(GLView);
    Render.SetTextureBinder([this](int32_t TexId) {
        TTextureManager& textures = Context.Textures();
        if (TexId > 0)
            textures.Bind(TexId - 1);
        else
            textures.Unbind();
    });
    SetRenderSize(800, 600);
    FrameTimer = new QTimer(this);
    FrameTimer->setInterval(16);
    connect(FrameTimer, &QTimer::timeout, this, [this] {
        if (!Destroying && GLView)
            GLView->update();
    });
    FrameTimer->start();
    // The environment and camera windows' edits show at once.
    connect(&Context.Events(), &TEditorEvents::EnvironmentChanged, this, [this] {
        if (GLView)
            GLView->update();
    });
}

QAction* TCinematicForm::MakeMenuItem(QMenu* Menu, const QString& Caption, int Tag,
                                      const std::function<void(int)>& Click)
{
    QAction* a = Menu->addAction(Caption);
    a->setData(Tag);
    connect(a, &QAction::triggered, this,
            [this, Click, Tag] { RunGuarded(this, [&] { Click(Tag); }); });
    return a;
}

void TCinematicForm::BuildMenu()
{
    QMenu* file = menuBar()->addMenu(QStringLiteral("File"));
    MakeMenuItem(file, QStringLiteral("Save Viewport As Image..."), 0, [this](int) {
        SaveViewportImage();
    })->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    file->addSeparator();
    MakeMenuItem(file, QStringLiteral("Close Window"), 0, [this](int) {
        close();
    })->setShortcut(QKeySequence(Qt::Key_Escape));
    QMenu* view = menuBar()->addMenu(QStringLiteral("View"));
    RenderSizeMenu = view->addMenu(QStringLiteral("Render Size"));
    for (int tag = 0; tag < int(CinematicRenderSizes.size()); ++tag)
        MakeMenuItem(RenderSizeMenu, QString::fromLatin1(CinematicRenderSizes[size_t(tag)].Caption),
                     tag, [this](int t) { RenderSizeClick(t); })
            ->setCheckable(true);
    view->addSeparator();
    MakeMenuItem(view, QStringLiteral("Camera Settings..."), 0,
                 [this](int) { CameraSettingsClick(); });
    MakeMenuItem(view, QStringLiteral("Refresh Contact AO"), 0,
                 [this](int) { RefreshContactAOClick(); });
    UpdateRenderSizeChecks();
}

void TCinematicForm::ReadCameraSettings(TCameraPlacement& Placement) const
{
    Placement.Position = Render.Camera.Position;
    Placement.Yaw = Render.Camera.Yaw;
    Placement.Pitch = Render.Camera.Pitch;
}

void TCinematicForm::ApplyCameraSettings(const TCameraPlacement& Placement)
{
    Render.Camera.Position = Placement.Position;
    Render.Camera.Yaw = Placement.Yaw;
    Render.Camera.Pitch =
        std::isfinite(Placement.Pitch) ? std::clamp(Placement.Pitch, -89.0f, 89.0f) : 0.0f;
    if (GLView)
        GLView->update();
}

void TCinematicForm::SetRenderSize(int Width, int Height)
{
    // The client area is the GL view, below the menu bar.
    const int menu = menuBar()->sizeHint().height();
    resize(Width, Height + menu);
    if (GLView && layout()) {
        layout()->activate();
        const QSize off = QSize(Width, Height) - GLView->size();
        if (!off.isNull()) {
            resize(size() + off);
            layout()->activate();
        }
    }
    CentreOnScreen(*this);
    UpdateRenderSizeChecks();
    if (GLView)
        GLView->update();
}

void TCinematicForm::UpdateRenderSizeChecks()
{
    if (!RenderSizeMenu)
        return;
    const QSize client = GLView ? GLView->size() : QSize();
    const QList<QAction*> items = RenderSizeMenu->actions();
    for (int i = 0; i < items.size() && i < int(CinematicRenderSizes.size()); ++i) {
        const TRenderSize& s = CinematicRenderSizes[size_t(i)];
        items[i]->setChecked(client == QSize(s.Width, s.Height));
    }
}

void TCinematicForm::resizeEvent(QResizeEvent* Event)
{
    QMainWindow::resizeEvent(Event);
    UpdateRenderSizeChecks();
}

void TCinematicForm::RenderSizeClick(int Tag)
{
    if (Tag < 0 || Tag >= int(CinematicRenderSizes.size()))
        return;
    const TRenderSize& s = CinematicRenderSizes[size_t(Tag)];
    SetRenderSize(s.Width, s.Height);
}

void TCinematicForm::CameraSettingsClick()
{
    // The camera window may outlive this window: its callbacks do nothing once it is gone.
    QPointer<TCinematicForm> self(this);
    TCameraWindowCallbacks c;
    TEditorContext& context = Context;
    c.Environment = [&context] { return &context.Document().GetEnvironment(); };
    c.ReadCamera = [self](TCameraPlacement& p) {
        if (self)
            self->ReadCameraSettings(p);
    };
    c.ApplyCamera = [self](const TCameraPlacement& p) {
        if (self)
            self->ApplyCameraSettings(p);
    };
    ShowCameraWindow(Context, std::move(c));
}

void TCinematicForm::RefreshContactAOClick()
{
    Context.Document().GetScene().SetContactLightingEnabled(true);
    Context.InvalidateContactLighting();
    if (GLView)
        GLView->update();
}

void TCinematicForm::keyPressEvent(QKeyEvent* Event)
{
    if (Event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QMainWindow::keyPressEvent(Event);
}

void TCinematicForm::RenderFrame()
{
    TProjectDocument& document = Context.Document();
    TAnimationEvaluation evaluation;
    const TProjectTime& time = document.GetProjectTime();
    document.EvaluateAnimation(time.GetCurrentFrame(), &evaluation);
    TPropertyEvaluationContext context;
    context.Frame = time.GetCurrentFrame();
    context.FPS = time.GetFPS();
    const double fps = context.FPS > 0.001f ? double(context.FPS) : 0.001;
    context.Time = double(context.Frame) / fps;
    context.Evaluation = &evaluation;
    Render.RenderFrame(document.GetScene(), &document.GetEnvironment(), context,
                       GLView->DeviceWidth(), GLView->DeviceHeight());
}

void TCinematicForm::GLPaint()
{
    if (Destroying || !GLView)
        return;
    // The view redraws every 16 ms: a failing frame is reported once, not at every tick,
    // until a frame succeeds or the failure changes.
    try {
        RenderFrame();
        LastPaintError.clear();
    } catch (const std::exception& e) {
        if (LastPaintError != e.what()) {
            LastPaintError = e.what();
            ShowErrorBox(this, LastPaintError);
        }
    }
}

void TCinematicForm::SaveViewportImage()
{
    const std::string name = AskImageFileName(
        this, "Save Cinematic Viewport as Image", "PNG Image (*.png)|*.png|Bitmap (*.bmp)|*.bmp",
        DefaultCinematicImageName(QDateTime::currentDateTime()));
    if (name.empty())
        return;
    SaveViewportImageTo(name);
}

void TCinematicForm::SaveViewportImageTo(const std::string& FileName)
{
    if (!GLView)
        return;
    const int w = GLView->DeviceWidth(), h = GLView->DeviceHeight();
    if (w < 1 || h < 1)
        return;
    std::vector<unsigned char> rows(size_t(w) * size_t(h) * 4);
    {
        // The frame is drawn into the view's own framebuffer and read back from it.
        GLView->makeCurrent();
        struct TDone {
            TGLView* View;
            ~TDone() { View->doneCurrent(); }
        } done{GLView};
        RenderFrame();
        glFinish();
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, w, h, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    }
    GLView->update();
    WriteCinematicImage(ImageFromGLRows(rows.data(), w, h), FileName);
}

TCinematicForm* FindCinematicView(TEditorContext& Context)
{
    return qobject_cast<TCinematicForm*>(Context.ToolWindows().Find("cinematic"));
}

TCinematicForm* ShowCinematicView(TEditorContext& Context, const TCameraPlacement& Placement)
{
    QWidget* w = Context.ToolWindows().Recreate("cinematic", [&] {
        auto* f = new TCinematicForm(Context, Context.ParentWindow());
        f->ApplyCameraSettings(Placement);
        return f;
    });
    return static_cast<TCinematicForm*>(w);
}

void UpdateCinematicCamera(TEditorContext& Context, const TCameraPlacement& Placement)
{
    if (TCinematicForm* f = FindCinematicView(Context))
        f->ApplyCameraSettings(Placement);
}
