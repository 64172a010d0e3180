#pragma once
// The environment window: every setting of the cinematic environment but the lens, on six
// tabs, applied live. Any change applies every control at once. It follows the document:
// after New or Open it shows the new settings.
#include <QColor>
#include <QWidget>

#include <functional>
#include <vector>

class QCheckBox;
class QLabel;
class QSlider;
class QTabWidget;
class TCinematicEnvironment;
class TEditorContext;

struct TEnvironmentWindowCallbacks {
    // The environment edited, looked up at each event; none disables the window's edits.
    std::function<TCinematicEnvironment*()> Environment;
    std::function<void()> Change;
    std::function<void()> RefreshContactAO;
    // The colour dialog: true with the chosen colour, false when cancelled.
    std::function<bool(QWidget* Parent, QColor& Color)> PickColor;
};

// The sky preview's colour of row y of a panel H rows high, each channel 0..255.
QColor SkyPreviewRowColor(const TCinematicEnvironment& Environment, int y, int H);

class TEnvironmentForm : public QWidget {
    Q_OBJECT
public:
    TEnvironmentForm(TEnvironmentWindowCallbacks Callbacks, QWidget* Parent);

    void LoadControls();
    void ControlChange();
    void FogColorClick();
    void RefreshContactAOClick();
    void ResetToNoonClick();

    QTabWidget* Pages = nullptr;
    QWidget* SkyPreview = nullptr;
    QLabel* TimeLabel = nullptr;
    // Controls by object name, for whoever drives the window.
    QSlider* Slider(const char* Name) const;
    QCheckBox* CheckBox(const char* Name) const;
    QLabel* ValueLabel(const char* SliderName) const;

private:
    void FormCreate();
    void RefreshLabels(const TCinematicEnvironment& Env);
    TEnvironmentWindowCallbacks Callbacks;
    std::vector<QSlider*> Sliders;     // in table order
    std::vector<QCheckBox*> Checks;    // in table order
    std::vector<QLabel*> ValueLabels;  // one per slider
    bool Updating = false;
};

// Closes the open environment window and shows a new one.
TEnvironmentForm* ShowEnvironmentWindow(TEditorContext& Context,
                                        TEnvironmentWindowCallbacks Callbacks);
