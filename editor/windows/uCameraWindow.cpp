#include "editor/windows/uCameraWindow.h"

#include "editor/api/uEditorContext.h"
#include "editor/windows/uWindowPlacement.h"
#include "render/uErrorBox.h"
#include "scene/uCinematicEnvironment.h"

#include <QDoubleSpinBox>
#include <QFont>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QScopedValueRollback>
#include <QSlider>

#include <algorithm>
#include <cmath>

namespace {

int RoundHalfEven(double v)
{
    return int(std::nearbyint(v));
}

// The exposure edit: it shows two decimals, but takes up to four when typed and then shows
// them, so typing 1.234 keeps 1.234 and the edit shows the value the lens stores.
class TExposureSpinBox : public QDoubleSpinBox {
public:
    explicit TExposureSpinBox(QWidget* Parent) : QDoubleSpinBox(Parent) { setDecimals(4); }

    QString textFromValue(double Value) const override
    {
        QLocale shown = locale();
        shown.setNumberOptions(QLocale::OmitGroupSeparator);
        for (int d = 2; d < decimals(); ++d)
            if (QString::number(Value, 'f', d).toDouble() ==
                QString::number(Value, 'f', decimals()).toDouble())
                return shown.toString(Value, 'f', d);
        return shown.toString(Value, 'f', decimals());
    }
};

}  // namespace

TCameraForm::TCameraForm(TCameraWindowCallbacks callbacks, QWidget* Parent)
    : QWidget(Parent, Qt::Window), Callbacks(std::move(callbacks))
{
    FormCreate();
}

void TCameraForm::FormCreate()
{
    setWindowTitle(QStringLiteral("Camera Settings"));
    setObjectName(QStringLiteral("CameraWindow"));
    Updating = true;  // building the controls changes nothing
    resize(340, 430);
    const auto label = [&](const char* text, int top, int left, bool bold = false) {
        auto* l = new QLabel(QString::fromLatin1(text), this);
        l->move(left, top);
        if (bold) {
            QFont f = l->font();
            f.setBold(true);
            l->setFont(f);
        }
        l->adjustSize();
    };
    const auto slider = [&](const char* name, int top, int lo, int hi) {
        auto* s = new QSlider(Qt::Horizontal, this);
        s->setObjectName(QString::fromLatin1(name));
        s->setTickPosition(QSlider::NoTicks);
        s->setRange(lo, hi);
        s->setGeometry(12, top, 290, 30);
        connect(s, &QSlider::valueChanged, this,
                [this, s] { RunGuarded(this, [&] { LensControlChange(s); }); });
        return s;
    };
    const auto spin = [&](const char* name, int top, int left, int width, double lo, double hi,
                          double step, int decimals) {
        auto* e = new QDoubleSpinBox(this);
        e->setObjectName(QString::fromLatin1(name));
        e->setDecimals(decimals);
        e->setRange(lo, hi);
        e->setSingleStep(step);
        e->setGeometry(left, top, width, e->sizeHint().height());
        return e;
    };
    label("Field of View:", 12, 12);
    FovBar = slider("FovBar", 32, 20, 120);
    FovBar->setValue(60);
    FovEdit = spin("FovEdit", 64, 12, 100, 20, 120, 1, 0);
    label("Exposure:", 92, 12);
    ExposureBar = slider("ExposureBar", 112, -200, 200);
    ExposureBar->setValue(0);
    ExposureEdit = new TExposureSpinBox(this);
    ExposureEdit->setObjectName(QStringLiteral("ExposureEdit"));
    ExposureEdit->setRange(-2, 2);
    ExposureEdit->setSingleStep(0.05);
    ExposureEdit->setGeometry(12, 144, 100, ExposureEdit->sizeHint().height());
    for (QDoubleSpinBox* e : {FovEdit, ExposureEdit})
        connect(e, &QDoubleSpinBox::valueChanged, this,
                [this, e] { RunGuarded(this, [&] { LensControlChange(e); }); });

    label("Position:", 178, 12, true);
    label("X:", 208, 12);
    XEdit = spin("XEdit", 202, 60, 200, -100000, 100000, 0.1, 2);
    label("Y:", 236, 12);
    YEdit = spin("YEdit", 230, 60, 200, -100000, 100000, 0.1, 2);
    label("Z:", 264, 12);
    ZEdit = spin("ZEdit", 258, 60, 200, -100000, 100000, 0.1, 2);
    label("Rotation:", 294, 12, true);
    label("Yaw:", 324, 12);
    YawEdit = spin("YawEdit", 318, 60, 200, -3600, 3600, 1, 1);
    label("Pitch:", 352, 12);
    PitchEdit = spin("PitchEdit", 346, 60, 200, -90, 90, 0.1, 1);
    for (QDoubleSpinBox* e : {XEdit, YEdit, ZEdit, YawEdit, PitchEdit})
        connect(e, &QDoubleSpinBox::valueChanged, this,
                [this] { RunGuarded(this, [&] { CameraEditChange(); }); });

    auto* read = new QPushButton(QStringLiteral("Read Current Camera"), this);
    read->setObjectName(QStringLiteral("ReadCurrentCamera"));
    read->setGeometry(12, 386, 140, read->sizeHint().height());
    connect(read, &QPushButton::clicked, this,
            [this] { RunGuarded(this, [&] { ReadCurrentCameraClick(); }); });

    Updating = false;
    UpdateControls();
}

void TCameraForm::UpdateControls()
{
    TCinematicEnvironment* env = Callbacks.Environment ? Callbacks.Environment() : nullptr;
    if (!env)
        return;
    const QScopedValueRollback<bool> updating(Updating, true);
    FovBar->setValue(RoundHalfEven(env->FieldOfView));
    FovEdit->setValue(env->FieldOfView);
    ExposureBar->setValue(RoundHalfEven(100.0 * env->Exposure));
    ExposureEdit->setValue(env->Exposure);
    if (Callbacks.ReadCamera) {
        TCameraPlacement p;
        Callbacks.ReadCamera(p);
        XEdit->setValue(p.Position.X);
        YEdit->setValue(p.Position.Y);
        ZEdit->setValue(p.Position.Z);
        YawEdit->setValue(p.Yaw);
        PitchEdit->setValue(p.Pitch);
    }
}

void TCameraForm::LensControlChange(QObject* Sender)
{
    if (Updating)
        return;
    TCinematicEnvironment* env = Callbacks.Environment ? Callbacks.Environment() : nullptr;
    if (!env)
        return;
    {
        // The partner control shows the value as the setter stored it.
        const QScopedValueRollback<bool> updating(Updating, true);
        if (Sender == FovBar) {
            env->SetFieldOfView(float(FovBar->value()));
            FovEdit->setValue(env->FieldOfView);
        } else if (Sender == FovEdit) {
            env->SetFieldOfView(float(FovEdit->value()));
            FovBar->setValue(RoundHalfEven(env->FieldOfView));
        } else if (Sender == ExposureBar) {
            env->SetExposure(float(ExposureBar->value()) / 100.0f);
            ExposureEdit->setValue(env->Exposure);
        } else if (Sender == ExposureEdit) {
            env->SetExposure(float(ExposureEdit->value()));
            ExposureBar->setValue(RoundHalfEven(100.0 * env->Exposure));
        } else {
            return;
        }
    }
    if (Callbacks.Change)
        Callbacks.Change();
}

void TCameraForm::CameraEditChange()
{
    if (!Updating && Callbacks.ApplyCamera)
        ApplyCameraEdits();
}

void TCameraForm::ApplyCameraEdits()
{
    TCameraPlacement p;
    p.Position = Vec3(float(XEdit->value()), float(YEdit->value()), float(ZEdit->value()));
    p.Yaw = float(YawEdit->value());
    p.Pitch = std::clamp(float(PitchEdit->value()), -89.0f, 89.0f);
    // Only a pitch the clamp changed is written back: rewriting the field at each
    // keystroke would throw away what is being typed ("-12." would become "-12.0").
    if (const double typed = PitchEdit->value(); std::clamp(typed, -89.0, 89.0) != typed) {
        const QScopedValueRollback<bool> updating(Updating, true);
        PitchEdit->setValue(p.Pitch);
    }
    if (Callbacks.ApplyCamera)
        Callbacks.ApplyCamera(p);
    if (Callbacks.Change)
        Callbacks.Change();
}

void TCameraForm::ReadCurrentCameraClick()
{
    if (Callbacks.ReadCamera && Callbacks.ApplyCamera) {
        TCameraPlacement p;
        Callbacks.ReadCamera(p);
        Callbacks.ApplyCamera(p);
    }
    UpdateControls();
}

TCameraForm* ShowCameraWindow(TEditorContext& Context, TCameraWindowCallbacks Callbacks)
{
    QWidget* w = Context.ToolWindows().Recreate("camera", [&] {
        auto* f = new TCameraForm(std::move(Callbacks), Context.ParentWindow());
        CentreOnScreen(*f);
        return f;
    });
    return static_cast<TCameraForm*>(w);
}
