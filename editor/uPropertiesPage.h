#pragma once
// The Properties page: shows and edits what is selected. Outside modelling mode that is
// the scene (its statistics), an object (name, transform, blend mode) or nothing; in
// modelling mode the selected vertices, edges or faces of the object's base mesh (their
// colour and the faces' texture id). Transform edits go through the project's property
// write so that they are recorded for keying; none of the edits is a command.
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <cstdint>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class TEditorContext;
class TSceneObject;

class TPropertiesPage : public QWidget {
    Q_OBJECT
public:
    TPropertiesPage(TEditorContext& Context, QWidget* Parent);

    // The side panel's other pages, in their order after this one; until they are known
    // every page stays in the page control.
    void SetSidePages(QWidget* Modifiers, QWidget* Paint);
    // Which pages of the side panel are offered; the page control is this page's.
    void UpdatePanelTabs();
    void UpdatePropertiesPanel();
    void SetTransformRowsVisible(bool Visible);
    // Sender: the "Apply" button, the blend combo or the face texture list.
    void ApplyPropertiesClick(QObject* Sender);
    // The face texture list: "0 = none" and one "id: name" per registered texture.
    void RefreshTextureCombo();
    // Writes a node property of the selected object through the project document with
    // the write mode (0 is a user's edit, recorded for keying).
    void SetSelectedObjectProperty(int32_t PropertyId, int32_t WriteMode, float Value);

signals:
    // The buttons whose work belongs to the paint and modifier pages.
    void PickColorClicked();
    void RefreshStackClicked();
    void FaceUVButtonClicked(int Tag);

private:
    void BuildPropertiesPanel();
    QLabel* Label(const QString& Caption, int Left, int Top, const char* Color = nullptr);
    QLineEdit* Edit(const char* Name, int Left, int Top, int Width);
    QTabWidget* PageControl() const;
    void OfferPage(QTabWidget& Tabs, size_t Page, bool Offered);
    bool SceneRootSelected() const;
    void ShowModelingView(TSceneObject* Object);
    void ShowObjectView(TSceneObject& Object);
    void SetColourEdits(const float* Rgb);
    void ApplyTransform(TSceneObject& Object, QObject* Sender);
    void ApplyElements(TSceneObject& Object, QObject* Sender);
    void FocusView();

    TEditorContext& Context;
    // The side panel's pages in order (this one, "Modifiers", "Paint") with their captions.
    struct TSidePage {
        QPointer<QWidget> Page;
        QString Caption;
    };
    std::array<TSidePage, 3> SidePages{};
    // Set while the page fills its own controls; the change handlers then do nothing.
    bool Updating = false;
    QLabel* InfoLabel = nullptr;
    // Position, rotation and scale: row label, three axis labels, three edits each.
    std::array<std::array<QLabel*, 4>, 3> RowLabels{};
    std::array<std::array<QLineEdit*, 3>, 3> TransformEdits{};
    // What the last refresh wrote into them.
    std::array<std::array<QString, 3>, 3> ShownTransform{};
    QLabel* BlendLabel = nullptr;
    QComboBox* BlendCombo = nullptr;
    QLabel* VertexLabel = nullptr;
    QLabel* ColorLabel = nullptr;
    std::array<QLineEdit*, 3> ColorEdits{};
    QPushButton* ApplyButton = nullptr;
    QPushButton* PickColorButton = nullptr;
    QPushButton* RefreshStackButton = nullptr;
    QLabel* FaceLabel = nullptr;
    QComboBox* FaceTextureCombo = nullptr;
    std::array<QPushButton*, 6> FaceUVButtons{};
    QLabel* EdgeLabel = nullptr;
    QLabel* EdgeLabel2 = nullptr;
};
