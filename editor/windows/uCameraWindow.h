#pragma once
// The camera window: the lens of the environment (field of view, exposure) and one camera
// placement, which it reads and hands back through its opener's callbacks. Nothing done
// here is undoable.
#include "editor/api/uToolWindowGlue.h"

#include <QWidget>

#include <functional>

class QDoubleSpinBox;
class QSlider;
class TCinematicEnvironment;
class TEditorContext;

struct TCameraWindowCallbacks {
    // The environment edited, looked up at each event; none leaves the lens alone.
    std::function<TCinematicEnvironment*()> Environment;
    std::function<void(TCameraPlacement&)> ReadCamera;
    std::function<void(const TCameraPlacement&)> ApplyCamera;
    std::function<void()> Change;
};

class TCameraForm : public QWidget {
    Q_OBJECT
public:
    TCameraForm(TCameraWindowCallbacks Callbacks, QWidget* Parent);

    void UpdateControls();
    void LensControlChange(QObject* Sender);
    void CameraEditChange();
    void ApplyCameraEdits();
    void ReadCurrentCameraClick();

    QSlider* FovBar = nullptr;
    QDoubleSpinBox* FovEdit = nullptr;
    QSlider* ExposureBar = nullptr;
    QDoubleSpinBox* ExposureEdit = nullptr;
    QDoubleSpinBox* XEdit = nullptr;
    QDoubleSpinBox* YEdit = nullptr;
    QDoubleSpinBox* ZEdit = nullptr;
    QDoubleSpinBox* YawEdit = nullptr;
    QDoubleSpinBox* PitchEdit = nullptr;

private:
    void FormCreate();
    TCameraWindowCallbacks Callbacks;
    bool Updating = false;
};

// Closes the open camera window and shows a new one with these callbacks.
TCameraForm* ShowCameraWindow(TEditorContext& Context, TCameraWindowCallbacks Callbacks);
