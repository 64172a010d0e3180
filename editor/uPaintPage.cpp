#include "editor/uPaintPage.h"

#include "base/uNumberText.h"
#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "render/uErrorBox.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uVertexPaint.h"
#include "scene/uVertexPaintCommands.h"

#include <QButtonGroup>
#include <QColorDialog>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>

#include <charconv>
#include <cmath>
#include <numbers>

namespace {

QColor ToQColor(const TVec3& c)
{
    const uint32_t packed = Vec3ToColor(c);
    return QColor(int(packed & 0xFF), int((packed >> 8) & 0xFF), int((packed >> 16) & 0xFF));
}

std::string Fixed3(float v)
{
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, v, std::chars_format::fixed, 3);
    return std::string(buffer, r.ptr);
}

QLabel* AddLabel(QWidget* Parent, const char* Text, int X, int Y, bool Bold)
{
    auto* l = new QLabel(QString::fromUtf8(Text), Parent);
    if (Bold) {
        QFont f = l->font();
        f.setBold(true);
        l->setFont(f);
    }
    l->move(X, Y);
    l->adjustSize();
    return l;
}

}  // namespace

// The hue/saturation wheel: whole degrees and radii in the box's own pixels, drawn once
// per size into an image.
class TColorWheel : public QWidget {
public:
    TColorWheel(TPaintPage& Page, QWidget* Parent) : QWidget(Parent), Page(Page)
    {
        setObjectName(QStringLiteral("ColorWheel"));
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        if (Cached.size() != size())
            Cached = WheelImage(width(), height());
        QPainter p(this);
        p.drawImage(0, 0, Cached);
        int x = 0, y = 0;
        ColorWheelMarker(Page.CurrentColor(), width(), height(), x, y);
        p.setPen(Qt::white);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QRect(QPoint(x - 6, y - 6), QPoint(x + 6, y + 6)));
    }
    void mousePressEvent(QMouseEvent* e) override
    {
        RunGuarded(this, [&] {
            Page.PickWheelColor(e->position().toPoint().x(), e->position().toPoint().y());
        });
    }
    void mouseMoveEvent(QMouseEvent* e) override
    {
        if (e->buttons() & Qt::LeftButton)
            RunGuarded(this, [&] {
                Page.PickWheelColor(e->position().toPoint().x(), e->position().toPoint().y());
            });
    }

private:
    static QImage WheelImage(int W, int H)
    {
        QImage image(std::max(W, 1), std::max(H, 1), QImage::Format_RGB32);
        image.fill(QWidget().palette().color(QPalette::Window));
        const int cx = W / 2, cy = H / 2, R = std::min(cx, cy) - 2;
        for (int a = 0; a < 360 && R > 0; ++a) {
            const double t = a * std::numbers::pi / 180.0;
            for (int r = 0; r <= R; ++r) {
                const int x = cx + int(std::nearbyint(r * std::cos(t)));
                const int y = cy + int(std::nearbyint(r * std::sin(t)));
                if (x >= 0 && y >= 0 && x < image.width() && y < image.height())
                    image.setPixelColor(
                        x, y, ToQColor(HSVToRGB(float(a) / 360.0f, float(r) / float(R), 1.0f)));
            }
        }
        return image;
    }
    TPaintPage& Page;
    QImage Cached;
};

// A square of colour with an outline; a press reports its tag.
class TColorSwatch : public QWidget {
public:
    TColorSwatch(int Tag, std::function<void(int)> Pressed, QWidget* Parent)
        : QWidget(Parent), Tag(Tag), Pressed(std::move(Pressed))
    {
    }
    void SetColors(const QColor& NewFill, const QColor& NewOutline)
    {
        if (NewFill == Fill && NewOutline == Outline)
            return;
        Fill = NewFill;
        Outline = NewOutline;
        update();
    }
    QColor FillColor() const { return Fill; }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Fill);
        p.setPen(Outline);
        p.drawRect(rect().adjusted(0, 0, -1, -1));
    }
    void mousePressEvent(QMouseEvent*) override
    {
        if (isEnabled())
            RunGuarded(this, [&] { Pressed(Tag); });
    }

private:
    int Tag;
    std::function<void(int)> Pressed;
    QColor Fill = Qt::white, Outline = QColor(0x80, 0x80, 0x80);
};

TPaintPage::TPaintPage(TEditorContext& Context, QWidget* Parent) : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("PaintPage"));
    ChooseColor = StandardColorChooser();
    Current = Main[0];
    Build();
    TEditorEvents& events = Context.Events();
    const auto refresh = [this] { UpdatePaintPanel(); };
    connect(&events, &TEditorEvents::SelectionChanged, this, refresh);
    connect(&events, &TEditorEvents::HistoryChanged, this, refresh);
    connect(&events, &TEditorEvents::DocumentReplaced, this, refresh);
    UpdatePaintPanel();
}

void TPaintPage::Build()
{
    AddLabel(this, "Tool:", 8, 6, true);
    auto* box = new QGroupBox(QStringLiteral("Paint Tool"), this);
    box->setGeometry(8, 26, 240, 90);
    ToolGroup = new QButtonGroup(this);
    const char* items[3] = {"Paint (click to color)", "Fill (flood fill connected)",
                            "Gradient (3/4 colors per face)"};
    for (int i = 0; i < 3; ++i) {
        auto* r = new QRadioButton(QString::fromLatin1(items[i]), box);
        r->setObjectName(QStringLiteral("PaintTool%1").arg(i));
        r->setGeometry(8, 18 + 22 * i, 224, 20);
        r->setChecked(i == 0);
        ToolGroup->addButton(r, i);
    }
    // Every change of the choice, by mouse, keyboard or an assistive tool's toggle; the
    // page's own updates are silent. Choosing the chosen tool again would change nothing.
    connect(ToolGroup, &QButtonGroup::idToggled, this, [this](int id, bool checked) {
        if (checked)
            RunGuarded(this, [&] { PaintModeClick(id); });
    });

    AddLabel(this, "Current Color:", 8, 122, true);
    Wheel = new TColorWheel(*this, this);
    Wheel->setGeometry(8, 142, 120, 120);
    const char* channelNames[4] = {"R:", "G:", "B:", "Hex:"};
    for (int i = 0; i < 4; ++i)
        AddLabel(this, channelNames[i], 136, 142 + 22 * i, false);
    for (int i = 0; i < 3; ++i) {
        auto* e = new QLineEdit(this);
        e->setObjectName(QStringLiteral("PaintChannel%1").arg(QLatin1Char("RGB"[i])));
        e->setGeometry(150, 139 + 22 * i, 45, 20);
        // Only the user's typing counts; the page's own writes do not.
        connect(e, &QLineEdit::textEdited, this,
                [this, e] { FieldTyped(e, &TPaintPage::ColorChannelEditChange); });
        ChannelEdits[size_t(i)] = e;
    }
    HexEdit = new QLineEdit(this);
    HexEdit->setObjectName(QStringLiteral("PaintHex"));
    HexEdit->setGeometry(160, 205, 70, 20);  // clear of its "Hex:" caption
    connect(HexEdit, &QLineEdit::textEdited, this,
            [this] { FieldTyped(HexEdit, &TPaintPage::HexColorEditChange); });
    // Once the user leaves a field or presses Enter in it, it shows the colour in effect.
    for (QLineEdit* e : {ChannelEdits[0], ChannelEdits[1], ChannelEdits[2], HexEdit})
        connect(e, &QLineEdit::editingFinished, this, [this] { FieldLeft(); });

    AddLabel(this, "Palette (8 recent):", 8, 238, true);
    auto* palette = new QWidget(this);
    palette->setGeometry(8, 258, 240, 32);
    for (int k = 0; k < 8; ++k) {
        auto* s = new TColorSwatch(
            k, [this](int tag) { RecentColorMouseDown(tag); }, palette);
        s->setObjectName(QStringLiteral("RecentSwatch%1").arg(k));
        s->setGeometry(8 + 28 * k, 2, 24, 24);
        RecentSwatches[size_t(k)] = s;
    }
    AddLabel(this, "Main Colors (0-3):", 8, 294, true);
    for (int k = 0; k < 4; ++k) {
        AddLabel(this,
                 k == 0   ? "0:"
                 : k == 1 ? "1:"
                 : k == 2 ? "2:"
                          : "3:",
                 8, 314 + 24 * k, false);
        auto* s = new TColorSwatch(
            k, [this](int tag) { MainColorMouseDown(tag); }, this);
        s->setObjectName(QStringLiteral("MainSwatch%1").arg(k));
        s->setGeometry(28, 312 + 24 * k, 30, 22);
        MainSwatches[size_t(k)] = s;
    }
    AddLabel(this, "Rotation:", 8, 410, false);
    RotationSlider = new QSlider(Qt::Horizontal, this);
    RotationSlider->setObjectName(QStringLiteral("GradientRotation"));
    RotationSlider->setGeometry(8, 426, 240, 22);
    RotationSlider->setRange(0, 360);
    RotationSlider->setTickInterval(15);
    RotationSlider->setTickPosition(QSlider::TicksBelow);
    connect(RotationSlider, &QSlider::valueChanged, this,
            [this](int v) { RunGuarded(this, [&] { GradientRotationChange(v); }); });
    RotationLabel = AddLabel(this, "0°", 8, 450, false);
    RotationLabel->setMinimumWidth(80);
    GradientButton = new QPushButton(QStringLiteral("Apply Gradient to Selected Faces"), this);
    GradientButton->setObjectName(QStringLiteral("ApplyGradient"));
    GradientButton->setGeometry(8, 470, 240, 26);
    connect(GradientButton, &QPushButton::clicked, this,
            [this] { RunGuarded(this, [&] { ApplyGradientClick(); }); });
}

TSceneObject* TPaintPage::PaintObject() const
{
    TSceneObject* o = Context.Document().GetScene().GetSelectedObject();
    return o && o->GetBaseMesh() ? o : nullptr;
}

void TPaintPage::SetCurrentColor(const TVec3& Color)
{
    Current = Color;
    Main[size_t(ActiveSlot)] = Color;
    UpdatePaintPanel();
}

// ---------------------------------------------------------------------------------------
// Refresh and the page's own controls.

void TPaintPage::FieldTyped(QLineEdit* Field, void (TPaintPage::*Handler)())
{
    TypedField = Field;
    InTypedHandler = true;
    RunGuarded(this, [&] { (this->*Handler)(); });
    InTypedHandler = false;
    TypedColor = Current;
}

void TPaintPage::FieldLeft()
{
    TypedField = nullptr;
    UpdatePaintPanel();
}

bool TPaintPage::KeepsTypedText(const QLineEdit* Field) const
{
    if (Field != TypedField)
        return false;
    if (InTypedHandler)
        return true;
    // setText clears the modified flag, so a modified field holds the user's own text.
    return Field->hasFocus() && Field->isModified() && Current.X == TypedColor.X &&
           Current.Y == TypedColor.Y && Current.Z == TypedColor.Z;
}

void TPaintPage::UpdatePaintPanel()
{
    if (!Wheel)
        return;
    const TEditorSelection& s = Context.Selection();
    const bool gradient = s.PaintMode == kPaintModeGradient;
    TSceneObject* o = PaintObject();
    const int usable = UsableMainColorSlots(o ? o->GetBaseMesh() : nullptr, gradient, s.HoveredFace,
                                            s.SelectedFaces);
    if (ActiveSlot >= usable) {
        ActiveSlot = 0;
        Current = Main[0];
    }
    Wheel->update();
    const float channels[3] = {Current.X, Current.Y, Current.Z};
    for (int i = 0; i < 3; ++i)
        if (!KeepsTypedText(ChannelEdits[size_t(i)]))
            ChannelEdits[size_t(i)]->setText(QString::fromStdString(Fixed3(channels[i])));
    if (!KeepsTypedText(HexEdit))
        HexEdit->setText(QString::fromStdString(ColorToHexText(Current)));
    for (int k = 0; k < 8; ++k)
        RecentSwatches[size_t(k)]->SetColors(k < s.RecentColorCount
                                                 ? ToQColor(s.RecentColors[size_t(k)])
                                                 : palette().color(QPalette::Button),
                                             QColor(0x80, 0x80, 0x80));
    for (int k = 0; k < 4; ++k) {
        TColorSwatch* w = MainSwatches[size_t(k)];
        w->SetColors(ToQColor(Main[size_t(k)]),
                     k == ActiveSlot ? QColor(Qt::black) : QColor(0x80, 0x80, 0x80));
        w->setEnabled((gradient && k < usable) || (!gradient && k == 0));
    }
    {
        const QSignalBlocker block(RotationSlider);
        RotationSlider->setValue(int(std::nearbyint(Rotation)));
    }
    RotationLabel->setText(QStringLiteral("%1 deg").arg(int(std::nearbyint(Rotation))));
    GradientButton->setEnabled(gradient && !s.SelectedFaces.empty());
    if (QAbstractButton* b = ToolGroup->button(std::clamp(s.PaintMode, 0, 2)))
        if (!b->isChecked()) {
            const QSignalBlocker quiet(ToolGroup);
            b->setChecked(true);
        }
}

void TPaintPage::PaintModeClick(int Index)
{
    TEditorSelection& s = Context.Selection();
    s.PaintMode = Index == 0 ? kPaintModePaint : Index == 1 ? kPaintModeFill : kPaintModeGradient;
    if (s.PaintMode != kPaintModeGradient)
        ActiveSlot = 0;
    Current = Main[size_t(ActiveSlot)];
    UpdatePaintPanel();
}

void TPaintPage::PickWheelColor(int X, int Y)
{
    TVec3 c;
    if (ColorWheelPick(X, Y, Wheel->width(), Wheel->height(), c))
        SetCurrentColor(c);
}

void TPaintPage::ColorChannelEditChange()
{
    float channels[3] = {Current.X, Current.Y, Current.Z};
    for (int i = 0; i < 3; ++i) {
        const std::string text = ChannelEdits[size_t(i)]->text().toStdString();
        // A text that is not one finite number keeps the channel.
        const float v = TextToFloatDef(text, channels[i]);
        channels[i] = std::max(std::min(v, 1.0f), 0.0f);
    }
    SetCurrentColor(Vec3(channels[0], channels[1], channels[2]));
}

void TPaintPage::HexColorEditChange()
{
    TVec3 c;
    if (ParseHexColorText(HexEdit->text().toStdString(), c))
        SetCurrentColor(c);
}

void TPaintPage::RecentColorMouseDown(int Tag)
{
    const TEditorSelection& s = Context.Selection();
    if (Tag < 0 || Tag >= s.RecentColorCount || Tag >= 8)
        return;
    SetCurrentColor(s.RecentColors[size_t(Tag)]);
}

void TPaintPage::MainColorMouseDown(int Tag)
{
    if (Tag < 0 || Tag > 3 || !MainSwatches[size_t(Tag)]->isEnabled())
        return;
    ActiveSlot = Tag;
    Current = Main[size_t(Tag)];
    UpdatePaintPanel();
}

void TPaintPage::GradientRotationChange(int Position)
{
    Rotation = float(Position);
    RotationLabel->setText(QStringLiteral("%1°").arg(int(std::nearbyint(Rotation))));
}

void TPaintPage::AddRecentColor(const TVec3& Color)
{
    TEditorSelection& s = Context.Selection();
    ::AddRecentColor(s.RecentColors, s.RecentColorCount, Color);
    TScene& scene = Context.Document().GetScene();
    scene.Palette = s.RecentColors;
    scene.PaletteCount = s.RecentColorCount;
    UpdatePaintPanel();
}

// ---------------------------------------------------------------------------------------
// The tools.

void TPaintPage::PaintClick(bool Stroke, int32_t& LastPaintedElement)
{
    TSceneObject* o = PaintObject();
    if (!o)
        return;
    const TEditorSelection& s = Context.Selection();
    const int32_t kind = std::clamp(s.ModelingSubMode, 0, 2);
    const int32_t element = kind == 0 ? s.HoveredVertex : kind == 1 ? s.HoveredEdge : s.HoveredFace;
    if (element < 0)
        return;
    if (Stroke) {
        if (element == LastPaintedElement)
            return;
        LastPaintedElement = element;
    }
    const TMeshData& mesh = *o->GetBaseMesh();
    std::vector<int32_t> vertices = ElementVertices(mesh, kind, element);
    if (vertices.empty())
        return;
    std::vector<TVec3> oldColors;
    for (int32_t v : vertices)
        oldColors.push_back(mesh.Vertices[size_t(v)].Color);
    std::vector<TVec3> newColors(vertices.size(), Current);
    if (Context.Run(std::make_unique<TVertexPaintCommand>(
            Context.Document().GetScene(), o->GetId(), 0, std::move(vertices), std::move(oldColors),
            std::move(newColors), "Paint")))
        AddRecentColor(Current);
}

void TPaintPage::FloodFillClick()
{
    TSceneObject* o = PaintObject();
    if (!o)
        return;
    const TEditorSelection& s = Context.Selection();
    const int32_t kind = std::clamp(s.ModelingSubMode, 0, 2);
    const int32_t element = kind == 0 ? s.HoveredVertex : kind == 1 ? s.HoveredEdge : s.HoveredFace;
    if (element < 0)
        return;
    const TMeshData& mesh = *o->GetBaseMesh();
    TFloodFill fill;
    std::vector<int32_t> queue = fill.Run(mesh, ElementVertices(mesh, kind, element));
    if (queue.empty())
        return;
    std::vector<TVec3> oldColors;
    oldColors.reserve(queue.size());
    for (int32_t v : queue)
        oldColors.push_back(mesh.Vertices[size_t(v)].Color);
    if (Context.Run(std::make_unique<TVertexPaintFillCommand>(Context.Document().GetScene(),
                                                              o->GetId(), 0, std::move(queue),
                                                              std::move(oldColors), Current)))
        AddRecentColor(Current);
}

void TPaintPage::ApplyGradientClick()
{
    TSceneObject* o = PaintObject();
    const TEditorSelection& s = Context.Selection();
    if (!o || s.SelectedFaces.empty())
        return;
    TGradientPlan plan = BuildGradientPlan(*o->GetBaseMesh(), s.SelectedFaces, Main, Rotation);
    const bool quad = plan.HasQuad;
    const bool ok = Context.Run(std::make_unique<TVertexPaintGradientCommand>(
        Context.Document().GetScene(), o->GetId(), std::move(plan.Faces), std::move(plan.OldColors),
        std::move(plan.NewColors), std::move(plan.VertexIndices)));
    if (ok) {
        for (int k = 0; k < (quad ? 4 : 3); ++k)
            AddRecentColor(Main[size_t(k)]);
    }
    emit Context.Events().DocumentEdited();
}

void TPaintPage::PickColorClick()
{
    PickColorForSelection(Context, ChooseColor);
}

void TPaintPage::FaceUVButtonClick(int Tag)
{
    FaceUVButtonOnSelection(Context, Tag);
}

TColorChooser StandardColorChooser()
{
    return [](QWidget* parent) -> std::optional<TVec3> {
        const QColor c = QColorDialog::getColor(Qt::white, parent);
        if (!c.isValid())
            return std::nullopt;
        return Vec3(float(c.red()) / 255.0f, float(c.green()) / 255.0f, float(c.blue()) / 255.0f);
    };
}

namespace {

TSceneObject* SelectedMeshObject(TEditorContext& Context)
{
    TSceneObject* o = Context.Document().GetScene().GetSelectedObject();
    return o && o->GetBaseMesh() ? o : nullptr;
}

}  // namespace

void PickColorForSelection(TEditorContext& Context, const TColorChooser& Choose)
{
    if (!SelectedMeshObject(Context) || !Choose)
        return;
    const std::optional<TVec3> chosen = Choose(Context.ParentWindow());
    if (!chosen || !IsFiniteColor(*chosen))
        return;
    TSceneObject* o = SelectedMeshObject(Context);  // the dialog let anything happen meanwhile
    if (!o)
        return;
    const TEditorSelection& s = Context.Selection();
    TMeshData& mesh = *o->GetBaseMesh();
    for (int32_t v : PickColorVertices(mesh, s.ModelingSubMode, s.SelectedVertices, s.SelectedEdges,
                                       s.SelectedFaces))
        mesh.Vertices[size_t(v)].Color = *chosen;
    o->MarkMeshDirty();
    emit Context.Events().DocumentEdited();
}

void FaceUVButtonOnSelection(TEditorContext& Context, int Tag)
{
    TSceneObject* o = SelectedMeshObject(Context);
    const TEditorSelection& s = Context.Selection();
    if (!o || s.SelectedFaces.empty())
        return;
    if (ApplyFaceUVButton(*o->GetBaseMesh(), s.SelectedFaces, Tag)) {
        o->MarkMeshDirty();
        emit Context.Events().DocumentEdited();
    }
}
