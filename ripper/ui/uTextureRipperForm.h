#pragma once
// The texture ripper window: opens or takes a dropped photograph, lets the user drag
// the four corners of a quadrilateral over it with a live preview of the rectified
// square, and saves the result as a PNG in the project's textures folder, importing it.
// A thin shell over the ripper controller and its session.
#include "ripper/uTextureRipperController.h"
#include "ripper/ui/uTextureRipperImport.h"

#include <QWidget>

#include <functional>
#include <string>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTimer;
class TEditorContext;
class TRipperPreviewView;
class TRipperSourceView;

class TTextureRipperForm : public QWidget {
    Q_OBJECT
public:
    using TOnImported = std::function<void(TTextureRipperForm&, const TTextureRipperSaveResult&)>;

    // The project path is read from the context; Clock feeds the preview throttle.
    TTextureRipperForm(TEditorContext& Context, TOnImported OnImported,
                       TMillisecondClock Clock = {}, QWidget* Parent = nullptr);
    ~TTextureRipperForm() override;

    void SetProjectPath(const std::string& FileName);
    const std::string& ProjectPath() const { return FProjectPath; }

    // Open Image..., and a file dropped on the window.
    void OpenImageClick();
    bool LoadSourceFile(const std::string& FileName);
    void RefreshPreview(bool Full);
    void SaveImportClick();
    void OutputSettingChange();
    void TextureNameChange();
    void SetStatus(const std::string& Text, bool IsError);
    void UpdateTargetLabel();
    void UpdateSaveButton();

    TTextureRipperController& Controller() { return FController; }
    bool PanMode() const { return FPanMode; }
    bool StatusIsError() const { return FStatusIsError; }

protected:
    bool eventFilter(QObject* Watched, QEvent* Event) override;
    void keyPressEvent(QKeyEvent* Event) override;
    void keyReleaseEvent(QKeyEvent* Event) override;
    void dragEnterEvent(QDragEnterEvent* Event) override;
    void dropEvent(QDropEvent* Event) override;
    void changeEvent(QEvent* Event) override;

private:
    void FormCreate();
    QWidget* BuildToolBar();
    QWidget* BuildSidePanel();
    QWidget* BuildViewPanel(const QString& Caption, QWidget* View);
    void WireSourceView();
    // The keys the window sees before its controls; True when consumed.
    bool FormKeyDown(QKeyEvent* Event);
    bool FormKeyUp(QKeyEvent* Event);
    void TransformClick(int Which);
    void TimerTick();
    void FollowProjectPath();
    void RedrawViews();

    TEditorContext& Context;
    TOnImported OnImported;
    TTextureRipperController FController;
    std::string FProjectPath;
    bool FPanMode = false;
    bool FStatusIsError = false;
    // The error shown is about the selection, and goes once the selection is valid again,
    // giving back the last message that was not an error.
    bool FSelectionError = false;
    std::string FLastInfo;

    TRipperSourceView* SourceView = nullptr;
    TRipperPreviewView* PreviewView = nullptr;
    QLineEdit* NameEdit = nullptr;
    QComboBox* SizeList = nullptr;
    QComboBox* SamplingList = nullptr;
    QComboBox* PreviewModeList = nullptr;
    QLabel* TargetLabel = nullptr;
    QLabel* StatusLabel = nullptr;
    QPushButton* SaveButton = nullptr;
    QTimer* Timer = nullptr;
};

// Shows the ripper window of the context's tool-window host, creating it on first use;
// each opening hands it the current project path.
TTextureRipperForm* ShowTextureRipper(TEditorContext& Context,
                                      TTextureRipperForm::TOnImported OnImported);
