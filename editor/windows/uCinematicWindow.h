#pragma once
// The cinematic window: the scene as a finished picture through its own camera, redrawn
// continuously, at fixed render sizes, saved as a PNG or BMP image. Its GL view shares the
// main view's textures.
#include "editor/api/uToolWindowGlue.h"
#include "render/uCinematicRender.h"

#include <QMainWindow>

#include <array>
#include <functional>
#include <string>

class QAction;
class QMenu;
class QTimer;
class TEditorContext;
class TGLView;
class TRgbaImage;

struct TRenderSize {
    const char* Caption;
    int Width, Height;
};
extern const std::array<TRenderSize, 4> CinematicRenderSizes;

// "cinematic_" and the date and time as yyyymmdd_hhnnss.
std::string DefaultCinematicImageName(const QDateTime& Now);
// The image of W x H RGBA rows read back from GL (bottom row first), upright and opaque.
TRgbaImage ImageFromGLRows(const unsigned char* Rows, int W, int H);
// Writes Image as PNG or BMP by the extension of FileName (any letter case) through a
// temporary file of its own beside it (SaveFileSafely), so a failed write leaves neither
// a partial file nor a damaged older one, and no other file is touched. Raises
// EGeneralError with the reason.
void WriteCinematicImage(const TRgbaImage& Image, const std::string& FileName);

class TCinematicForm : public QMainWindow {
    Q_OBJECT
public:
    explicit TCinematicForm(TEditorContext& Context, QWidget* Parent = nullptr);
    ~TCinematicForm() override;

    // The camera; a placement's pitch is clamped to -89..89.
    void ReadCameraSettings(TCameraPlacement& Placement) const;
    void ApplyCameraSettings(const TCameraPlacement& Placement);

    void SetRenderSize(int Width, int Height);
    void UpdateRenderSizeChecks();
    void RenderSizeClick(int Tag);
    void CameraSettingsClick();
    void RefreshContactAOClick();
    void SaveViewportImage();
    // Renders one frame and writes it to FileName (see WriteCinematicImage).
    void SaveViewportImageTo(const std::string& FileName);

    // The save dialog: the chosen name, or empty when cancelled.
    std::function<std::string(QWidget* Parent, const std::string& Title, const std::string& Filter,
                              const std::string& ProposedName)>
        AskImageFileName;

    TGLView* View() const { return GLView; }
    TCinematicRenderer& Renderer() { return Render; }
    QMenu* RenderSizeMenu = nullptr;
    QTimer* FrameTimer = nullptr;

protected:
    void keyPressEvent(QKeyEvent* Event) override;
    void resizeEvent(QResizeEvent* Event) override;

private:
    void FormCreate();
    void BuildMenu();
    QAction* MakeMenuItem(QMenu* Menu, const QString& Caption, int Tag,
                          const std::function<void(int)>& Click);
    void GLPaint();
    void RenderFrame();

    TEditorContext& Context;
    TCinematicRenderer Render;
    TGLView* GLView = nullptr;
    bool Destroying = false;
    std::string LastPaintError;
};

// Closes the open cinematic window and shows a new one looking from Placement.
TCinematicForm* ShowCinematicView(TEditorContext& Context, const TCameraPlacement& Placement);
// The open cinematic window takes the placement and redraws; nothing when none is open.
void UpdateCinematicCamera(TEditorContext& Context, const TCameraPlacement& Placement);
TCinematicForm* FindCinematicView(TEditorContext& Context);
