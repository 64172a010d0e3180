#include "editor/uPropertiesPage.h"

#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "editor/api/uEditorContext.h"
#include "editor/uUserNumbers.h"
#include "render/uErrorBox.h"
#include "scene/uElementEdits.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTabBar>
#include <QTabWidget>

#include <vector>

namespace {

constexpr int InfoLeft = 8, InfoTop = 30, InfoWidth = 240;

void SetInfo(QLabel* Info, const QString& Text, int Height, bool Wrap)
{
    Info->setWordWrap(Wrap);
    Info->setGeometry(InfoLeft, InfoTop, InfoWidth, Height);
    Info->setText(Text);
}

// A control a view hides is disabled with it: assistive tools still list a hidden control
// and could otherwise press it.
void Show(QWidget* W, bool Visible)
{
    W->setVisible(Visible);
    W->setEnabled(Visible);
}

template <class W>
void ShowAll(std::initializer_list<W*> Widgets, bool Visible)
{
    for (W* w : Widgets)
        Show(w, Visible);
}

bool IndexInside(int32_t Index, size_t Count)
{
    return Index >= 0 && static_cast<size_t>(Index) < Count;
}

}  // namespace

TPropertiesPage::TPropertiesPage(TEditorContext& Context, QWidget* Parent)
    : QWidget(Parent), Context(Context)
{
    setObjectName(QStringLiteral("PropertiesPage"));
    BuildPropertiesPanel();

    TEditorEvents& events = Context.Events();
    const auto refresh = [this] { UpdatePropertiesPanel(); };
    connect(&events, &TEditorEvents::SelectionChanged, this, refresh);
    connect(&events, &TEditorEvents::SceneChanged, this, refresh);
    connect(&events, &TEditorEvents::HistoryChanged, this, refresh);
    connect(&events, &TEditorEvents::DocumentEdited, this, refresh);
    connect(&events, &TEditorEvents::DocumentReplaced, this, [this] {
        this->Context.Selection().SceneRootSelected = false;
        RefreshTextureCombo();
        UpdatePropertiesPanel();
    });
    connect(&events, &TEditorEvents::TexturesChanged, this, [this] { RefreshTextureCombo(); });
}

QLabel* TPropertiesPage::Label(const QString& Caption, int Left, int Top, const char* Color)
{
    auto* label = new QLabel(Caption, this);
    if (Color != nullptr)
        label->setStyleSheet(QStringLiteral("color: %1;").arg(QLatin1String(Color)));
    label->move(Left, Top);
    label->adjustSize();
    return label;
}

QLineEdit* TPropertiesPage::Edit(const char* Name, int Left, int Top, int Width)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(QString::fromLatin1(Name));
    edit->setGeometry(Left, Top, Width, 22);
    return edit;
}

void TPropertiesPage::BuildPropertiesPanel()
{
    QLabel* header = Label(QStringLiteral("Properties"), 8, 6);
    QFont bold = header->font();
    bold.setBold(true);
    header->setFont(bold);
    header->adjustSize();
    InfoLabel = new QLabel(QStringLiteral("Select an object"), this);
    InfoLabel->setObjectName(QStringLiteral("PropertiesInfo"));
    InfoLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    SetInfo(InfoLabel, InfoLabel->text(), 16, true);

    const char* rowCaptions[3] = {"Pos", "Rot", "Scl"};
    const char* rowNames[3] = {"Pos", "Rot", "Scl"};
    const int rowTops[3] = {56, 82, 108};
    const char* axisColors[3] = {"rgb(192, 0, 0)", "rgb(0, 160, 0)", "rgb(32, 80, 192)"};
    const char* axes[3] = {"X", "Y", "Z"};
    const int axisLeft[3] = {48, 124, 200}, editLeft[3] = {62, 138, 214},
              editWidth[3] = {56, 56, 40};  // the Z edit ends inside the page
    for (size_t r = 0; r < 3; ++r) {
        const int top = rowTops[r];
        RowLabels[r][0] = Label(QString::fromLatin1(rowCaptions[r]), 8, top, "rgb(128, 128, 128)");
        for (size_t a = 0; a < 3; ++a) {
            RowLabels[r][a + 1] =
                Label(QString::fromLatin1(axes[a]), axisLeft[a], top + 1, axisColors[a]);
            const std::string name = std::string(rowNames[r]) + axes[a] + "Edit";
            TransformEdits[r][a] = Edit(name.c_str(), editLeft[a], top - 3, editWidth[a]);
        }
    }
    BlendLabel = Label(QStringLiteral("Blend:"), 8, 132, "rgb(128, 128, 128)");
    BlendCombo = new QComboBox(this);
    BlendCombo->setObjectName(QStringLiteral("BlendCombo"));
    BlendCombo->setGeometry(56, 128, 130, 22);
    // Only a choice of the user applies; filling the page sends nothing.
    connect(BlendCombo, &QComboBox::activated, this,
            [this] { RunGuarded(this, [&] { ApplyPropertiesClick(BlendCombo); }); });

    VertexLabel = Label(QStringLiteral("Vertex"), 8, 138, "rgb(128, 128, 128)");
    ColorLabel = Label(QStringLiteral("Color:"), 62, 138, "rgb(128, 128, 128)");
    ColorEdits[0] = Edit("ColorREdit", 112, 134, 54);
    ColorEdits[1] = Edit("ColorGEdit", 168, 134, 54);
    ColorEdits[2] = Edit("ColorBEdit", 224, 134, 30);

    ApplyButton = new QPushButton(QStringLiteral("Apply"), this);
    ApplyButton->setObjectName(QStringLiteral("ApplyButton"));
    ApplyButton->setGeometry(8, 164, 80, 24);
    connect(ApplyButton, &QPushButton::clicked, this,
            [this] { RunGuarded(this, [&] { ApplyPropertiesClick(ApplyButton); }); });
    PickColorButton = new QPushButton(QStringLiteral("Pick Color..."), this);
    PickColorButton->setObjectName(QStringLiteral("PickColorButton"));
    PickColorButton->setGeometry(94, 164, 116, 24);
    connect(PickColorButton, &QPushButton::clicked, this, &TPropertiesPage::PickColorClicked);
    RefreshStackButton = new QPushButton(QStringLiteral("Refresh Stack"), this);
    RefreshStackButton->setObjectName(QStringLiteral("RefreshStackButton"));
    RefreshStackButton->setGeometry(94, 164, 116, 24);
    connect(RefreshStackButton, &QPushButton::clicked, this, &TPropertiesPage::RefreshStackClicked);

    FaceLabel = Label(QStringLiteral("Face:"), 8, 196);
    FaceLabel->setObjectName(QStringLiteral("FaceLabel"));
    FaceTextureCombo = new QComboBox(this);
    FaceTextureCombo->setObjectName(QStringLiteral("FaceTextureCombo"));
    FaceTextureCombo->setEditable(true);
    FaceTextureCombo->setInsertPolicy(QComboBox::NoInsert);
    FaceTextureCombo->setGeometry(8, 218, 200, 22);
    FaceTextureCombo->addItem(QStringLiteral("0 = none"));
    connect(FaceTextureCombo, &QComboBox::activated, this,
            [this] { RunGuarded(this, [&] { ApplyPropertiesClick(FaceTextureCombo); }); });
    const char* uvCaptions[6] = {"90°", "MirU", "MirV", "2x", "0.5x", "Reset"};
    const int uvLeft[6] = {8, 55, 102, 149, 8, 55}, uvTop[6] = {248, 248, 248, 248, 276, 276};
    for (int tag = 0; tag < 6; ++tag) {
        auto* b = new QPushButton(QString::fromUtf8(uvCaptions[tag]), this);
        b->setObjectName(QStringLiteral("FaceUVButton%1").arg(tag));
        b->setGeometry(uvLeft[tag], uvTop[tag], tag == 5 ? 55 : 44, 24);
        connect(b, &QPushButton::clicked, this, [this, tag] { emit FaceUVButtonClicked(tag); });
        FaceUVButtons[size_t(tag)] = b;
    }
    EdgeLabel = Label(QStringLiteral("Edge:"), 8, 196);
    EdgeLabel->setObjectName(QStringLiteral("EdgeLabel"));
    EdgeLabel2 = Label(QString(), 8, 216);
    EdgeLabel2->setObjectName(QStringLiteral("EdgeLabel2"));
    for (QLabel* l : {FaceLabel, EdgeLabel, EdgeLabel2})
        l->setFixedWidth(InfoWidth);

    RefreshTextureCombo();
    UpdatePropertiesPanel();
}

QTabWidget* TPropertiesPage::PageControl() const
{
    for (QWidget* w = parentWidget(); w != nullptr; w = w->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(w))
            return tabs;
    return nullptr;
}

bool TPropertiesPage::SceneRootSelected() const
{
    // "Scene" counts while no object was selected since (a pick in the views).
    return Context.Selection().SceneRootSelected && Context.SelectedNodeId() == 0;
}

void TPropertiesPage::SetSidePages(QWidget* Modifiers, QWidget* Paint)
{
    SidePages = {{{this, QStringLiteral("Properties")},
                  {Modifiers, QStringLiteral("Modifiers")},
                  {Paint, QStringLiteral("Paint")}}};
}

void TPropertiesPage::OfferPage(QTabWidget& Tabs, size_t Page, bool Offered)
{
    // A page not offered is taken out of the page control, not hidden: a hidden tab is
    // still a tab to assistive tools, and pressing it there shows its page.
    QWidget* page = SidePages[Page].Page;
    if (page == nullptr || (Tabs.indexOf(page) >= 0) == Offered)
        return;
    if (Offered) {
        int place = 0;  // after the offered pages before it
        for (size_t i = 0; i < Page; ++i)
            if (SidePages[i].Page != nullptr && Tabs.indexOf(SidePages[i].Page) >= 0)
                ++place;
        Tabs.insertTab(place, page, SidePages[Page].Caption);
    } else {
        Tabs.removeTab(Tabs.indexOf(page));
    }
    // The tab bar's accessible interface keeps the child it gave out for each index and
    // would go on serving a removed tab; the next query makes it afresh.
    if (QAccessibleInterface* bar = QAccessible::queryAccessibleInterface(Tabs.tabBar()))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(bar));
}

void TPropertiesPage::UpdatePanelTabs()
{
    QTabWidget* tabs = PageControl();
    if (tabs == nullptr)
        return;
    const bool root = SceneRootSelected();
    const bool modeling = Context.Selection().ModelingOn;
    QWidget* paint = SidePages[2].Page;
    // Before the Paint page is taken out: the page control would move on to the next page.
    if (root || (!modeling && paint != nullptr && tabs->currentWidget() == paint))
        tabs->setCurrentWidget(this);
    OfferPage(*tabs, 1, !root);
    OfferPage(*tabs, 2, modeling && !root);
}

void TPropertiesPage::SetTransformRowsVisible(bool Visible)
{
    for (auto& row : RowLabels)
        for (QLabel* l : row)
            Show(l, Visible);
    for (auto& row : TransformEdits)
        for (QLineEdit* e : row)
            Show(e, Visible);
    Show(BlendLabel, Visible);
    Show(BlendCombo, Visible);
}

void TPropertiesPage::SetColourEdits(const float* Rgb)
{
    for (size_t i = 0; i < 3; ++i)
        ColorEdits[i]->setText(Rgb != nullptr ? FormatUserNumber(Rgb[i], 3) : QString());
}

void TPropertiesPage::UpdatePropertiesPanel()
{
    if (Updating)
        return;
    Updating = true;
    struct TDone {
        bool& Flag;
        ~TDone() { Flag = false; }
    } done{Updating};
    const QSignalBlocker blockBlend(BlendCombo), blockFace(FaceTextureCombo);

    UpdatePanelTabs();
    TScene& scene = Context.Document().GetScene();
    TSceneObject* object = scene.GetSelectedObject();
    const bool modeling = Context.Selection().ModelingOn;
    Show(RefreshStackButton, !modeling);
    if (modeling) {
        ShowModelingView(object);
        return;
    }
    ShowAll<QWidget>({FaceLabel, FaceTextureCombo}, false);
    for (QPushButton* b : FaceUVButtons)
        Show(b, false);
    ShowAll<QWidget>({EdgeLabel, EdgeLabel2, PickColorButton}, false);
    if (SceneRootSelected()) {
        SetTransformRowsVisible(false);
        ShowAll<QWidget>({VertexLabel, ColorLabel, ColorEdits[0], ColorEdits[1], ColorEdits[2],
                          ApplyButton, RefreshStackButton},
                         false);
        SetInfo(InfoLabel, QString::fromStdString(scene.GetStatisticsText()), 200, true);
        return;
    }
    if (object == nullptr) {
        SetInfo(InfoLabel, QStringLiteral("Press Tab for modeling\n(select an object first)"), 32,
                true);
        Show(ApplyButton, false);
        SetTransformRowsVisible(false);
        return;
    }
    ShowObjectView(*object);
}

void TPropertiesPage::ShowObjectView(TSceneObject& Object)
{
    SetInfo(InfoLabel, QString::fromStdString(Object.Name), 16, false);
    SetTransformRowsVisible(true);
    Show(ApplyButton, true);
    ShowAll<QWidget>({VertexLabel, ColorLabel, ColorEdits[0], ColorEdits[1], ColorEdits[2]}, false);
    if (BlendCombo->count() == 0)
        BlendCombo->addItems({QStringLiteral("Multiply"), QStringLiteral("Vertex Only"),
                              QStringLiteral("Texture Only")});
    BlendCombo->setCurrentIndex(static_cast<int>(Object.Blend));
    const TVec3 values[3] = {Object.GetPosition(), Object.GetRotation(), Object.GetScale()};
    const int decimals[3] = {2, 1, 2};
    for (size_t r = 0; r < 3; ++r) {
        const float v[3] = {values[r].X, values[r].Y, values[r].Z};
        for (size_t a = 0; a < 3; ++a) {
            ShownTransform[r][a] = FormatUserNumber(v[a], decimals[r]);
            TransformEdits[r][a]->setText(ShownTransform[r][a]);
        }
    }
}

void TPropertiesPage::ShowModelingView(TSceneObject* Object)
{
    Show(BlendLabel, false);
    Show(BlendCombo, false);
    const TEditorSelection& selection = Context.Selection();
    if (Object == nullptr) {
        SetInfo(InfoLabel, QStringLiteral("No object selected"), 16, true);
        SetTransformRowsVisible(false);
        ShowAll<QWidget>({ApplyButton, VertexLabel, ColorLabel, ColorEdits[0], ColorEdits[1],
                          ColorEdits[2], PickColorButton, FaceLabel, FaceTextureCombo, EdgeLabel,
                          EdgeLabel2},
                         false);
        for (QPushButton* b : FaceUVButtons)
            Show(b, false);
        return;
    }
    ShowAll<QWidget>({VertexLabel, ColorLabel, ColorEdits[0], ColorEdits[1], ColorEdits[2],
                      PickColorButton, ApplyButton},
                     true);
    static const TMeshData empty;
    const TMeshData& mesh = Object->GetBaseMesh() != nullptr ? *Object->GetBaseMesh() : empty;
    const auto showFace = [&](bool Visible) {
        Show(FaceLabel, Visible);
        Show(FaceTextureCombo, Visible);
        for (QPushButton* b : FaceUVButtons)
            Show(b, Visible);
    };
    const auto colourOf = [&](int32_t Vertex) {
        if (!IndexInside(Vertex, mesh.Vertices.size())) {
            SetColourEdits(nullptr);
            return;
        }
        const TVec3& c = mesh.Vertices[static_cast<size_t>(Vertex)].Color;
        const float rgb[3] = {c.X, c.Y, c.Z};
        SetColourEdits(rgb);
    };
    switch (selection.ModelingSubMode) {
    case msEdges: {
        SetTransformRowsVisible(false);
        Show(BlendLabel, false);
        Show(BlendCombo, false);
        Show(EdgeLabel, true);
        Show(EdgeLabel2, true);
        showFace(false);
        const auto& edges = selection.SelectedEdges;
        if (edges.size() == 1) {
            const int32_t e = edges.front();
            if (!IndexInside(e, mesh.Edges.size()))
                return;
            const TMeshEdge& edge = mesh.Edges[static_cast<size_t>(e)];
            SetInfo(InfoLabel, QStringLiteral("Edge #%1").arg(e), 16, true);
            EdgeLabel->setText(QStringLiteral("V0: %1").arg(edge.V0));
            EdgeLabel2->setText(QStringLiteral("V1: %1").arg(edge.V1));
            colourOf(edge.V0);
            return;
        }
        SetInfo(InfoLabel,
                edges.empty()
                    ? QStringLiteral("Click an edge")
                    : QStringLiteral("%1 edges selected (apply to endpoints)").arg(edges.size()),
                16, true);
        EdgeLabel->setText(QString());
        EdgeLabel2->setText(QString());
        SetColourEdits(nullptr);
        return;
    }
    case msFaces: {
        SetTransformRowsVisible(false);
        Show(BlendLabel, false);
        Show(BlendCombo, false);
        showFace(true);
        Show(EdgeLabel, false);
        Show(EdgeLabel2, false);
        const auto& faces = selection.SelectedFaces;
        if (faces.size() == 1) {
            const int32_t f = faces.front();
            if (!IndexInside(f, mesh.Faces.size()))
                return;
            const TMeshFace& face = mesh.Faces[static_cast<size_t>(f)];
            SetInfo(InfoLabel, QStringLiteral("Face #%1   Color / TexID").arg(f), 16, true);
            FaceLabel->setText(QStringLiteral("TexID: %1").arg(face.TexId));
            FaceTextureCombo->setEditText(QString::number(face.TexId));
            colourOf(face.Indices[0]);
            return;
        }
        SetInfo(InfoLabel,
                faces.empty()
                    ? QStringLiteral("Click a face or press A")
                    : QStringLiteral("%1 faces selected (apply to all)").arg(faces.size()),
                16, true);
        FaceLabel->setText(QString());
        FaceTextureCombo->setEditText(QString());
        SetColourEdits(nullptr);
        return;
    }
    default: {
        SetTransformRowsVisible(true);
        Show(BlendLabel, false);
        Show(BlendCombo, false);
        showFace(false);
        Show(EdgeLabel, false);
        Show(EdgeLabel2, false);
        const auto& vertices = selection.SelectedVertices;
        if (vertices.size() == 1) {
            const int32_t i = vertices.front();
            if (!IndexInside(i, mesh.Vertices.size()))
                return;
            const TMeshVertex& v = mesh.Vertices[static_cast<size_t>(i)];
            SetInfo(InfoLabel, QStringLiteral("Vertex #%1   Pos / Color").arg(i), 16, true);
            const float p[3] = {v.Position.X, v.Position.Y, v.Position.Z};
            for (size_t a = 0; a < 3; ++a)
                TransformEdits[0][a]->setText(FormatUserNumber(p[a], 2));
            colourOf(i);
            return;
        }
        SetInfo(InfoLabel,
                vertices.empty() ? QStringLiteral("Click a vertex or press A")
                                 : QStringLiteral("%1 vertices selected (apply to all + connected)")
                                       .arg(vertices.size()),
                16, true);
        for (QLineEdit* e : TransformEdits[0])
            e->setText(QString());
        SetColourEdits(nullptr);
        return;
    }
    }
}

void TPropertiesPage::RefreshTextureCombo()
{
    const QSignalBlocker blocker(FaceTextureCombo);
    const QString text = FaceTextureCombo->currentText();
    FaceTextureCombo->clear();
    FaceTextureCombo->addItem(QStringLiteral("0 = none"));
    const TTextureManager& textures = Context.Textures();
    for (int32_t i = 0; i < textures.Count(); ++i)
        FaceTextureCombo->addItem(QStringLiteral("%1: %2").arg(i + 1).arg(
            QString::fromStdString(textures.GetTexture(i).Name)));
    FaceTextureCombo->setEditText(text);
}

void TPropertiesPage::SetSelectedObjectProperty(int32_t PropertyId, int32_t WriteMode, float Value)
{
    const uint32_t id = Context.SelectedNodeId();
    if (id == 0)
        return;
    Context.Document().SetPropertyValue(MakeNodePropertyPath(id, PropertyId),
                                        MakeFloatPropertyValue(Value), WriteMode);
}

void TPropertiesPage::FocusView()
{
    Context.Repaint();
    if (QWidget* view = Context.ParentWindow()->findChild<QWidget*>(QStringLiteral("GLView")))
        view->setFocus();
}

void TPropertiesPage::ApplyPropertiesClick(QObject* Sender)
{
    if (Updating)
        return;
    // A list the view has hidden can still drop down for assistive tools: it does nothing.
    if (auto* control = qobject_cast<QWidget*>(Sender); control != nullptr && !control->isEnabled())
        return;
    TSceneObject* object = Context.Document().GetScene().GetSelectedObject();
    if (object == nullptr)
        return;
    if (Context.Selection().ModelingOn)
        ApplyElements(*object, Sender);
    else
        ApplyTransform(*object, Sender);
    FocusView();
}

void TPropertiesPage::ApplyTransform(TSceneObject& Object, QObject* Sender)
{
    TProjectDocument& document = Context.Document();
    if (Sender == BlendCombo) {
        const int index = BlendCombo->currentIndex();
        if (index < 0)
            return;
        if (Object.Blend != static_cast<TVertexColorBlend>(index)) {
            Object.Blend = static_cast<TVertexColorBlend>(index);
            document.MarkChanged();  // saved with the scene
        }
        emit Context.Events().DocumentEdited();
        return;
    }
    // Node properties 1..9: position, rotation and scale X, Y, Z. A field left as the page
    // showed it is not written, so that Apply never rounds a value it did not change to
    // the two places shown; a field that does not convert is left out as well.
    // A value that would leave a world matrix non-finite is refused with its message; the
    // page then shows what the object holds.
    try {
        for (size_t r = 0; r < 3; ++r)
            for (size_t a = 0; a < 3; ++a) {
                const QString text = TransformEdits[r][a]->text();
                float value = 0;
                if (text == ShownTransform[r][a] || !ParseUserFloat(text, value))
                    continue;
                SetSelectedObjectProperty(static_cast<int32_t>(r * 3 + a + 1), pwmUserEdit, value);
            }
    } catch (...) {
        emit Context.Events().DocumentEdited();
        throw;
    }
    emit Context.Events().DocumentEdited();
}

void TPropertiesPage::ApplyElements(TSceneObject& Object, QObject* Sender)
{
    TMeshData* mesh = Object.GetBaseMesh();
    if (mesh == nullptr)
        return;
    float rgb[3] = {1, 1, 1};
    for (size_t i = 0; i < 3; ++i) {
        float value = 0;
        const bool converted = ParseUserFloat(ColorEdits[i]->text(), value);
        rgb[i] = ColourChannel(converted, value);
    }
    const TVec3 colour{rgb[0], rgb[1], rgb[2]};
    const TEditorSelection& selection = Context.Selection();
    const std::vector<int32_t>* selected = &selection.SelectedVertices;
    switch (selection.ModelingSubMode) {
    case msEdges:
        selected = &selection.SelectedEdges;
        ColourVertices(*mesh, VerticesToColour(*mesh, MeshElementEdges, *selected), colour);
        break;
    case msFaces: {
        selected = &selection.SelectedFaces;
        if (Sender != FaceTextureCombo)
            ColourVertices(*mesh, VerticesToColour(*mesh, MeshElementFaces, *selected), colour);
        // A list text without a leading number (emptied for several faces) names no
        // texture: the faces keep their own.
        int32_t texId = 0;
        if (LeadingTexId(FaceTextureCombo->currentText().toStdString(), texId))
            SetFacesTexId(*mesh, *selected, texId);
        break;
    }
    default:
        ColourVertices(*mesh, VerticesToColour(*mesh, MeshElementVertices, *selected), colour);
        break;
    }
    if (selected->empty())
        return;
    Object.MarkMeshDirty();
    Context.Document().MarkChanged();  // the mesh is saved with the scene
    emit Context.Events().DocumentEdited();
}
