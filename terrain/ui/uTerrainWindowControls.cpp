// The terrain window's controls, placed at fixed positions in a scrolling box on the left;
// the preview fills the rest.
#include "terrain/ui/uTerrainPreview.h"
#include "terrain/ui/uTerrainWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QSlider>
#include <QVBoxLayout>

namespace {

constexpr int kLeftPanelWidth = 270;
constexpr int kBoxWidth = 250;

}  // namespace

QSlider* TTerrainForm::AddTrackBar(QWidget* Box, const QString& Caption, const QString& Name,
                                   int Top, int Min, int Max, int Position, QLabel*& Value)
{
    auto* label = new QLabel(Caption, Box);
    label->setGeometry(12, Top, 226, 18);
    auto* bar = new QSlider(Qt::Horizontal, Box);
    bar->setObjectName(Name);
    bar->setGeometry(12, Top + 18, 226, 28);
    bar->setRange(Min, Max);
    bar->setValue(Position);
    Value = new QLabel(Box);
    Value->setObjectName(Name + "Value");
    Value->setGeometry(12, Top + 48, 226, 18);
    return bar;
}

QButtonGroup* TTerrainForm::AddRadioGroup(QWidget* Box, const QString& Caption, const QString& Name,
                                          int Top, int Height, const QStringList& Items,
                                          int Checked)
{
    auto* frame = new QGroupBox(Caption, Box);
    frame->setObjectName(Name);
    frame->setGeometry(8, Top, kBoxWidth, Height);
    auto* column = new QVBoxLayout(frame);
    column->setContentsMargins(8, 2, 8, 2);
    column->setSpacing(0);
    auto* group = new QButtonGroup(frame);
    for (int i = 0; i < Items.size(); ++i) {
        auto* item = new QRadioButton(Items[i], frame);
        group->addButton(item, i);
        column->addWidget(item);
        if (i == Checked)
            item->setChecked(true);
    }
    return group;
}

QPushButton* TTerrainForm::AddButton(QWidget* Box, const QString& Caption, int Top, int Left,
                                     int Width)
{
    auto* button = new QPushButton(Caption, Box);
    button->setGeometry(Left, Top, Width, 28);
    return button;
}

void TTerrainForm::BuildControls()
{
    resize(980, 640);
    setMinimumSize(720, 460);
    if (const QScreen* s = screen())
        move(s->availableGeometry().center() - rect().center());

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);
    ScrollBox = new QScrollArea(this);
    ScrollBox->setFixedWidth(kLeftPanelWidth);
    ScrollBox->setFrameShape(QFrame::NoFrame);
    ScrollBox->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    row->addWidget(ScrollBox);
    auto* previewPanel = new QFrame(this);
    previewPanel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    auto* previewLayout = new QVBoxLayout(previewPanel);
    previewLayout->setContentsMargins(1, 1, 1, 1);
    PreviewBox =
        new TTerrainPreview([this]() -> const THeightmap* { return Heightmap(); }, previewPanel);
    PreviewBox->setObjectName("TerrainPreview");
    previewLayout->addWidget(PreviewBox);
    row->addWidget(previewPanel, 1);

    // The boxes are taller than the toolkit's on Windows, so the grid-resolution group
    // is given the room of six rows and what follows it moves down by that much.
    constexpr int kResolutionGroupHeight = 130;
    constexpr int kBelowResolution = kResolutionGroupHeight - 96;
    auto* box = new QWidget;
    box->setFixedSize(kLeftPanelWidth - 8, 1100 + kBelowResolution + 36);
    AlgorithmGroup = AddRadioGroup(box, "Algorithm", "Algorithm", 8, 92,
                                   {"Perlin", "Ridged", "Multifractal"}, 1);
    ShapeGroup =
        AddRadioGroup(box, "Noise Shape", "NoiseShape", 108, 78, {"Round", "Square", "Blurry"}, 0);
    DimensionsGroup = AddRadioGroup(box, "Dimensions", "Dimensions", 194, 66, {"2D", "3D"}, 0);
    NoiseBar = AddTrackBar(box, "Noise:", "NoiseScale", 268, 1, 200, 30, NoiseValue);
    QPushButton* regenerate = AddButton(box, "New (regenerate)", 338, 8, kBoxWidth);
    BrushModeGroup = AddRadioGroup(box, "Brush Mode", "BrushMode", 372, 110,
                                   {"Raise", "Lower", "Smooth", "Erode"}, 0);
    SizeBar = AddTrackBar(box, "Size:", "BrushSize", 490, 1, 100, 25, SizeValue);
    HardnessBar = AddTrackBar(box, "Hardness:", "BrushHardness", 560, 0, 100, 50, HardnessValue);
    FlowBar = AddTrackBar(box, "Flow:", "BrushFlow", 630, 1, 100, 60, FlowValue);
    ContourCheck = new QCheckBox("Contour display", box);
    ContourCheck->setGeometry(8, 700, 200, 20);
    ErosionAmountBar =
        AddTrackBar(box, "Erosion amount:", "ErosionAmount", 728, 1, 100, 30, ErosionAmountValue);
    ErosionRadiusBar =
        AddTrackBar(box, "Erosion radius:", "ErosionRadius", 798, 1, 6, 2, ErosionRadiusValue);
    QPushButton* erode = AddButton(box, "Erode (global)", 868, 8, kBoxWidth);
    const QStringList wholeMap = {"Raise All", "Lower All", "Smooth All", "Round Edges"};
    for (int tag = 0; tag < 4; ++tag) {
        QPushButton* b = AddButton(box, wholeMap[tag], tag < 2 ? 902 : 932, tag % 2 ? 132 : 8,
                                   tag % 2 ? 118 : 120);
        connect(b, &QPushButton::clicked, this, [this, tag] { WholeMapButtonClick(tag); });
    }
    ResolutionGroup =
        AddRadioGroup(box, "Grid Resolution", "GridResolution", 966, kResolutionGroupHeight,
                      {"16", "32", "64", "128", "256", "512"}, -1);
    UndoButton = AddButton(box, "Undo", 1070 + kBelowResolution, 8, 120);
    RedoButton = AddButton(box, "Redo", 1070 + kBelowResolution, 132, 118);
    QPushButton* reset = AddButton(box, "Reset (flatten)", 1100 + kBelowResolution, 8, kBoxWidth);
    ScrollBox->setWidget(box);

    ApplyButton = new QPushButton("Apply", this);
    CloseButton = new QPushButton("Close", this);
    ApplyButton->resize(90, 28);
    CloseButton->resize(90, 28);

    connect(regenerate, &QPushButton::clicked, this, [this] { RegenerateClick(); });
    connect(erode, &QPushButton::clicked, this, [this] { ErodeGlobalClick(); });
    connect(UndoButton, &QPushButton::clicked, this, [this] { UndoClick(); });
    connect(RedoButton, &QPushButton::clicked, this, [this] { RedoClick(); });
    connect(reset, &QPushButton::clicked, this, [this] { ResetFlattenClick(); });
    connect(ApplyButton, &QPushButton::clicked, this, [this] { ApplyClick(); });
    connect(CloseButton, &QPushButton::clicked, this, [this] { CloseClick(); });
    connect(ContourCheck, &QCheckBox::toggled, this, [this] { ContourDisplayClick(); });
    // Each change of the choice, however it is made (an assistive tool only toggles), and
    // a click on the item already chosen; the handler does nothing for the current grid.
    connect(ResolutionGroup, &QButtonGroup::idToggled, this, [this](int Index, bool Checked) {
        if (Checked)
            GridResolutionClick(Index);
    });
    connect(ResolutionGroup, &QButtonGroup::idClicked, this,
            [this](int Index) { GridResolutionClick(Index); });
    connect(NoiseBar, &QSlider::valueChanged, this, [this] { NoiseScaleChange(); });
    for (QSlider* bar : {SizeBar, HardnessBar, FlowBar})
        connect(bar, &QSlider::valueChanged, this, [this] { BrushSettingChange(); });
    for (QSlider* bar : {ErosionAmountBar, ErosionRadiusBar})
        connect(bar, &QSlider::valueChanged, this, [this] { ErosionSettingChange(); });

    PreviewBox->OnPress = [this](TGridCell Cell, bool Ctrl) { PreviewMouseDown(Cell, Ctrl); };
    PreviewBox->OnDrag = [this](TGridCell Cell, bool Ctrl) { PreviewMouseMove(Cell, Ctrl); };
    PreviewBox->OnRelease = [this] { PreviewMouseUp(); };
}

void TTerrainForm::resizeEvent(QResizeEvent* Event)
{
    QWidget::resizeEvent(Event);
    ApplyButton->move(width() - 200, height() - 36);
    CloseButton->move(width() - 100, height() - 36);
    ApplyButton->raise();
    CloseButton->raise();
}
