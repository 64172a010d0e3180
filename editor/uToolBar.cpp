#include "editor/uToolBar.h"

#include "editor/uMainForm.h"

#include "editor/modes/uModelingMode.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uViewportInput.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"

#include <QSignalBlocker>
#include <QToolButton>

#include <cassert>

const TToolButtonSpec kToolButtons[4] = {
    {"Select", 4, 54, 0},
    {"Move", 60, 54, 1},
    {"Scale", 116, 54, 2},
    {"Rotate", 172, 54, 3},
};

namespace {

// Sets a button's down state without it reporting an activation.
void SetDown(QAbstractButton* Button, bool Down)
{
    if (Button == nullptr)
        return;
    const QSignalBlocker quiet(Button);
    Button->setChecked(Down);
}

void ShowTool(const std::array<QToolButton*, 4>& Buttons, TGizmoMode Tool)
{
    for (size_t i = 0; i < Buttons.size(); ++i)
        SetDown(Buttons[i], kToolButtons[i].Tag == int(Tool));
}

}  // namespace

// The checkable buttons are in no exclusive group, so every activation toggles them, even
// of the button that is down: a click by mouse or keyboard, and an assistive tool's toggle
// or press. Each toggle runs the handler, and the buttons then show the editor's state.
void TMainForm::ConnectToolBarButton(QToolButton* Button, std::function<void()> Handler)
{
    connect(Button, &QToolButton::toggled, this, [this, Handler = std::move(Handler)] {
        RunGuarded(this, Handler);
        if (Destroying)
            return;
        ShowTool(FToolButtons, ObjectTransform().Tool());
        RefreshModelingButtons();
    });
}

void TMainForm::BuildToolButtons()
{
    for (size_t i = 0; i < FToolButtons.size(); ++i) {
        const TToolButtonSpec& spec = kToolButtons[i];
        auto* b = new QToolButton(FToolBarPanel);
        b->setObjectName(QStringLiteral("ToolButton%1").arg(QString::fromLatin1(spec.Caption)));
        b->setText(QString::fromLatin1(spec.Caption));
        b->setGeometry(spec.Left, 3, spec.Width, 24);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setChecked(spec.Tag == int(gmMove));
        const int tag = spec.Tag;
        ConnectToolBarButton(b, [this, tag] { ToolButtonClick(tag); });
        FToolButtons[i] = b;
    }
    BuildModelingButtons();
}

// "Edit" toggles modelling; "Vert", "Edge" and "Face" choose what it picks; "All [A]"
// selects every element of that kind.
const TToolButtonSpec kModelingButtons[5] = {
    {"Edit", 236, 54, 4}, {"Vert", 300, 46, 5},     {"Edge", 348, 46, 6},
    {"Face", 396, 46, 7}, {"All [A]", 452, 60, -1},
};

void TMainForm::BuildModelingButtons()
{
    for (const TToolButtonSpec& spec : kModelingButtons) {
        auto* b = new QToolButton(FToolBarPanel);
        const QString caption = QString::fromLatin1(spec.Caption);
        b->setObjectName(QStringLiteral("ToolButton") +
                         caption.left(caption.indexOf(QLatin1Char(' ')) < 0
                                          ? caption.size()
                                          : caption.indexOf(QLatin1Char(' '))));
        b->setText(caption);
        b->setGeometry(spec.Left, 3, spec.Width, 24);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        const int tag = spec.Tag;
        if (tag == 4) {
            b->setCheckable(true);
            EditButton = b;
            ConnectToolBarButton(b, [this, tag] { ToolButtonClick(tag); });
        } else if (tag >= 5) {
            b->setCheckable(true);
            b->setChecked(tag == 7);
            SubModeButtons[size_t(tag - 5)] = b;
            ConnectToolBarButton(b, [this, tag] { SubModeButtonClick(tag); });
        } else {
            connect(b, &QToolButton::clicked, this,
                    [this] { RunGuarded(this, [&] { SelectAllClick(); }); });
        }
    }
}

void TMainForm::RefreshModelingButtons()
{
    if (!EditButton || Destroying)
        return;
    const bool on = SelectionState.ModelingOn;
    SetDown(EditButton, on);
    // Red with white text while modelling; the normal face otherwise.
    EditButton->setStyleSheet(on ? QStringLiteral("QToolButton { background: #ff0000; color: "
                                                  "#ffffff; }")
                                 : QString());
    if (on)
        SubModeShown = SelectionState.ModelingSubMode;
    for (size_t i = 0; i < SubModeButtons.size(); ++i)
        SetDown(SubModeButtons[i], int(i) == SubModeShown);
}

TObjectTransformMode& TMainForm::ObjectTransform()
{
    return ViewInput->Transform();
}

TModelingMode& TMainForm::Modeling()
{
    return ViewInput->Modeling();
}

void TMainForm::LeaveModelingMode()
{
    if (SelectionState.ModelingOn)
        Modeling().LeaveModelingMode();
}

void TMainForm::SubModeButtonClick(int Tag)
{
    int32_t kind = 0;
    if (!TryGetMeshElementKind(Tag, kind))
        return;
    if (SelectionState.ModelingOn)
        Modeling().SetSubMode(kind);
    else
        SubModeShown = kind;  // outside modelling only the buttons' look changes
    RefreshModelingButtons();
}

void TMainForm::SelectAllClick()
{
    if (!SelectionState.ModelingOn)
        return;
    Modeling().ModelingSelectAll();
    emit EditorEvents->SelectionChanged();
    if (FGLView) {
        FGLView->setFocus();
        FGLView->update();
    }
}

// The tool-window buttons, hidden until a subsystem installs what they do.
const TToolButtonSpec kToolWindowButtons[2] = {
    {"Push Cam", 514, 70, -1},
    {"Floor Plan", 588, 90, -1},
};

void TMainForm::BuildToolWindowButtons()
{
    for (const TToolButtonSpec& spec : kToolWindowButtons) {
        auto* b = new QToolButton(FToolBarPanel);
        b->setObjectName(QStringLiteral("ToolButton%1")
                             .arg(QString::fromLatin1(spec.Caption).remove(QLatin1Char(' '))));
        b->setText(QString::fromLatin1(spec.Caption));
        b->setGeometry(spec.Left, 3, spec.Width, 24);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setVisible(false);
        InstalledButtons[spec.Caption] = b;
    }
}

void TMainForm::InstallToolButton(const std::string& Caption, std::function<void()> Click)
{
    const auto it = InstalledButtons.find(Caption);
    assert(it != InstalledButtons.end());
    QToolButton* b = it->second;
    connect(b, &QToolButton::clicked, this,
            [this, Click = std::move(Click)] { RunGuarded(this, [&] { Click(); }); });
    b->setVisible(true);
}

void TMainForm::InstallPushCamera(std::function<void()> Push)
{
    PushCamera = Push;
    InstallToolButton("Push Cam", std::move(Push));
}

void TMainForm::ToolButtonClick(int Tag)
{
    if (Tag >= gmSelect && Tag <= gmRotate)
        SetTool(TGizmoMode(Tag));
    else if (Tag == 4)
        ViewInput->ToggleModeling();
    RefreshModelingButtons();  // the button's down state follows the result
}

void TMainForm::SetTool(TGizmoMode Tool)
{
    ObjectTransform().SetTool(Tool);
    ShowTool(FToolButtons, Tool);
    SelectionState.ClearHover();
    UpdateStatusBar();
    ResetViewCursor();
    if (FGLView)
        FGLView->update();
}
