#include "editor/uToolBar.h"

#include "editor/uMainForm.h"

#include "editor/modes/uModelingMode.h"
#include "editor/modes/uObjectTransformMode.h"
#include "editor/uViewportInput.h"
#include "render/uErrorBox.h"
#include "render/uGLView.h"

#include <QButtonGroup>
#include <QToolButton>

#include <cassert>

const TToolButtonSpec kToolButtons[4] = {
    {"Select", 4, 54, 0},
    {"Move", 60, 54, 1},
    {"Scale", 116, 54, 2},
    {"Rotate", 172, 54, 3},
};

void TMainForm::BuildToolButtons()
{
    auto* tools = new QButtonGroup(FToolBarPanel);
    tools->setExclusive(true);
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
        tools->addButton(b, spec.Tag);
        const int tag = spec.Tag;
        connect(b, &QToolButton::clicked, this,
                [this, tag] { RunGuarded(this, [&] { ToolButtonClick(tag); }); });
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
    auto* subModes = new QButtonGroup(FToolBarPanel);
    subModes->setExclusive(true);
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
            connect(b, &QToolButton::clicked, this,
                    [this, tag] { RunGuarded(this, [&] { ToolButtonClick(tag); }); });
        } else if (tag >= 5) {
            b->setCheckable(true);
            b->setChecked(tag == 7);
            subModes->addButton(b, tag);
            SubModeButtons[size_t(tag - 5)] = b;
            connect(b, &QToolButton::clicked, this,
                    [this, tag] { RunGuarded(this, [&] { SubModeButtonClick(tag); }); });
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
    EditButton->setChecked(on);
    // Red with white text while modelling; the normal face otherwise.
    EditButton->setStyleSheet(on ? QStringLiteral("QToolButton { background: #ff0000; color: "
                                                  "#ffffff; }")
                                 : QString());
    if (on)
        for (size_t i = 0; i < SubModeButtons.size(); ++i)
            if (SubModeButtons[i])
                SubModeButtons[i]->setChecked(int(i) == SelectionState.ModelingSubMode);
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
    if (SelectionState.ModelingOn && TryGetMeshElementKind(Tag, kind))
        Modeling().SetSubMode(kind);
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
    for (size_t i = 0; i < FToolButtons.size(); ++i)
        if (FToolButtons[i])
            FToolButtons[i]->setChecked(kToolButtons[i].Tag == int(Tool));
    SelectionState.ClearHover();
    UpdateStatusBar();
    ResetViewCursor();
    if (FGLView)
        FGLView->update();
}
