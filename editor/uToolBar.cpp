#include "editor/uToolBar.h"

#include "editor/uMainForm.h"
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
    // The modelling and tool-window buttons join these with their features.
    auto* tools = new QButtonGroup(ToolBarPanel);
    tools->setExclusive(true);
    for (size_t i = 0; i < ToolButtons.size(); ++i) {
        const TToolButtonSpec& spec = kToolButtons[i];
        auto* b = new QToolButton(ToolBarPanel);
        b->setObjectName(QStringLiteral("ToolButton%1").arg(QString::fromLatin1(spec.Caption)));
        b->setText(QString::fromLatin1(spec.Caption));
        b->setGeometry(spec.Left, 3, spec.Width, 24);
        b->setCheckable(true);
        b->setAutoRaise(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setChecked(spec.Tag == int(CurrentTool));
        tools->addButton(b, spec.Tag);
        const int tag = spec.Tag;
        connect(b, &QToolButton::clicked, this,
                [this, tag] { RunGuarded(this, [&] { ToolButtonClick(tag); }); });
        ToolButtons[i] = b;
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
        auto* b = new QToolButton(ToolBarPanel);
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
}

void TMainForm::SetTool(TGizmoMode Tool)
{
    CancelModalTransform();
    CurrentTool = Tool;
    for (size_t i = 0; i < ToolButtons.size(); ++i)
        if (ToolButtons[i])
            ToolButtons[i]->setChecked(kToolButtons[i].Tag == int(Tool));
    HoveredGizmoAxis = -1;
    SelectionState.ClearHover();
    UpdateStatusBar();
    ResetViewCursor();
    if (GLView)
        GLView->update();
}
