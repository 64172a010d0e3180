// Every window of the editor at its own size: each visible caption fits its control, no control
// reaches past its parent's edge, and no two visible controls of one parent overlap.
// QUILL_SHOT_DIR=<folder> also saves a picture of every window there, to look at.
#include "editor/uAbout.h"
#include "editor/uModifierPage.h"
#include "editor/uPaintPage.h"
#include "main_form_test_support.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/ui/uModifierSettingsBase.h"
#include "modifiers/ui/uModifierWindowManager.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSet>
#include <QSlider>
#include <QStyleOptionButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTextDocument>
#include <QToolButton>

#include <string_view>

namespace {

// The controls a user reads or works: captions, edits, lists, buttons. Parts of composite
// widgets (a spin box's edit, a combo's list, a tab bar's scroll buttons) are not.
bool IsControl(const QWidget* W)
{
    return qobject_cast<const QLabel*>(W) || qobject_cast<const QAbstractButton*>(W) ||
           qobject_cast<const QLineEdit*>(W) || qobject_cast<const QAbstractSpinBox*>(W) ||
           qobject_cast<const QComboBox*>(W) || qobject_cast<const QSlider*>(W) ||
           qobject_cast<const QGroupBox*>(W) || qobject_cast<const QAbstractItemView*>(W) ||
           qobject_cast<const QProgressBar*>(W);
}

bool InsideComposite(const QWidget* W, const QWidget* Window)
{
    for (const QWidget* p = W->parentWidget(); p && p != Window; p = p->parentWidget())
        if (qobject_cast<const QAbstractSpinBox*>(p) || qobject_cast<const QComboBox*>(p) ||
            qobject_cast<const QAbstractItemView*>(p) || qobject_cast<const QTabBar*>(p) ||
            qobject_cast<const QAbstractButton*>(p))
            return true;
    return false;
}

QString Name(const QWidget* W)
{
    QString text;
    if (const auto* l = qobject_cast<const QLabel*>(W))
        text = l->text();
    else if (const auto* b = qobject_cast<const QAbstractButton*>(W))
        text = b->text();
    return QString::fromLatin1(W->metaObject()->className()) + QLatin1Char(' ') +
           (W->objectName().isEmpty() ? QString() : W->objectName() + QLatin1Char(' ')) +
           QLatin1Char('"') + text + QLatin1Char('"');
}

QString Caption(QString Text)
{
    return Text.remove(QLatin1Char('&'));
}

// The room a caption has and the size it needs, or an empty room when the control shows
// no text the check can measure.
struct TTextFit {
    QRect Room;
    QSize Needed;
};

TTextFit LabelFit(const QLabel& L)
{
    const QString text = L.text();
    if (text.isEmpty() || L.textFormat() == Qt::RichText ||
        (L.textFormat() == Qt::AutoText && Qt::mightBeRichText(text)))
        return {};
    const QFontMetrics fm = L.fontMetrics();
    QRect room = L.contentsRect();
    const int indent = L.indent() < 0
                           ? (L.frameWidth() > 0 ? fm.horizontalAdvance(QLatin1Char('x')) / 2 : 0)
                           : L.indent();
    const int m = L.margin();
    room.adjust(m, m, -m, -m);
    if (L.alignment() & Qt::AlignLeft)
        room.setLeft(room.left() + indent);
    if (L.alignment() & Qt::AlignRight)
        room.setRight(room.right() - indent);
    if (L.wordWrap()) {
        const QRect need = fm.boundingRect(QRect(0, 0, room.width(), 100000),
                                           int(Qt::TextWordWrap | L.alignment()), text);
        return {room, QSize(std::min(need.width(), room.width()), need.height())};
    }
    return {room, fm.size(Qt::TextShowMnemonic, text)};
}

TTextFit ButtonFit(QAbstractButton& B)
{
    const QString text = Caption(B.text());
    if (text.isEmpty())
        return {};
    const QFontMetrics fm = B.fontMetrics();
    QSize needed = fm.size(Qt::TextShowMnemonic, text);
    QStyleOptionButton opt;
    opt.initFrom(&B);
    opt.text = B.text();
    opt.icon = B.icon();
    opt.iconSize = B.iconSize();
    QStyle* style = B.style();
    if (qobject_cast<QCheckBox*>(&B))
        return {style->subElementRect(QStyle::SE_CheckBoxContents, &opt, &B), needed};
    if (qobject_cast<QRadioButton*>(&B))
        return {style->subElementRect(QStyle::SE_RadioButtonContents, &opt, &B), needed};
    if (qobject_cast<QPushButton*>(&B)) {
        if (!B.icon().isNull())
            needed.rwidth() += B.iconSize().width() + 4;
        return {style->subElementRect(QStyle::SE_PushButtonContents, &opt, &B), needed};
    }
    if (auto* t = qobject_cast<QToolButton*>(&B)) {
        if (t->toolButtonStyle() == Qt::ToolButtonIconOnly && !t->icon().isNull())
            return {};
        // A tool button draws its caption inside its frame, less the style's margin.
        const int frame = style->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, &B);
        return {B.rect().adjusted(frame, frame, -frame, -frame), needed};
    }
    return {};
}

// Where a control draws in its parent: a caption's own text for a label, whose box may
// reach under its neighbour without harm; the whole control otherwise.
QRect Footprint(QWidget* W)
{
    auto* l = qobject_cast<QLabel*>(W);
    if (!l || l->text().isEmpty() || !l->pixmap().isNull())
        return W->geometry();
    const TTextFit fit = LabelFit(*l);
    if (!fit.Room.isValid())
        return W->geometry();
    const int flags = int(l->alignment()) | (l->wordWrap() ? int(Qt::TextWordWrap) : 0);
    return l->fontMetrics().boundingRect(fit.Room, flags, l->text()).translated(W->pos());
}

class TextFitTest : public MainFormFixture {
protected:
    // Checks one window (or page) as it is now shown and records what does not fit.
    void Check(QWidget* Window, const QString& What)
    {
        ASSERT_NE(Window, nullptr) << What.toStdString();
        QCoreApplication::processEvents();
        Shoot(Window, What);
        QHash<QWidget*, QList<QWidget*>> siblings;
        for (QWidget* w : Window->findChildren<QWidget*>()) {
            if (!w->isVisibleTo(Window) || !IsControl(w) || InsideComposite(w, Window))
                continue;
            const QString where = What + QStringLiteral(": ") + Name(w);
            TTextFit fit;
            if (auto* l = qobject_cast<QLabel*>(w))
                fit = LabelFit(*l);
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                fit = ButtonFit(*b);
            if (fit.Room.isValid() &&
                (fit.Needed.width() > fit.Room.width() || fit.Needed.height() > fit.Room.height()))
                Faults << where + QStringLiteral(" needs %1x%2, has %3x%4")
                                      .arg(fit.Needed.width())
                                      .arg(fit.Needed.height())
                                      .arg(fit.Room.width())
                                      .arg(fit.Room.height());
            // A field must show a whole line of its font.
            if (qobject_cast<QLineEdit*>(w) || qobject_cast<QAbstractSpinBox*>(w) ||
                qobject_cast<QComboBox*>(w)) {
                const int needed = w->fontMetrics().height() + 2;
                if (w->height() < needed)
                    Faults << where + QStringLiteral(" is %1 high, its text %2")
                                          .arg(w->height())
                                          .arg(needed);
            }
            QWidget* parent = w->parentWidget();
            // Scrolled content may reach past the scroll area's edge.
            if (!qobject_cast<QScrollArea*>(parent ? parent->parentWidget() : nullptr) &&
                !(parent && parent->objectName() == QLatin1String("qt_scrollarea_viewport")) &&
                parent && !parent->rect().contains(w->geometry()))
                Faults << where + QStringLiteral(" at %1,%2 %3x%4 reaches past its parent (%5x%6)")
                                      .arg(w->x())
                                      .arg(w->y())
                                      .arg(w->width())
                                      .arg(w->height())
                                      .arg(parent->width())
                                      .arg(parent->height());
            siblings[parent].push_back(w);
        }
        for (const QList<QWidget*>& list : siblings)
            for (qsizetype i = 0; i < list.size(); ++i)
                for (qsizetype j = i + 1; j < list.size(); ++j)
                    if (Footprint(list[i]).intersects(Footprint(list[j])))
                        Faults << What + QStringLiteral(": ") + Name(list[i]) +
                                      QStringLiteral(" overlaps ") + Name(list[j]);
        ++Checked;
    }
    void Shoot(QWidget* Window, const QString& What)
    {
        const QString folder = qEnvironmentVariable("QUILL_SHOT_DIR");
        if (folder.isEmpty())
            return;
        QString file = What;
        file.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), QStringLiteral("_"));
        Window->grab().save(QDir(folder).filePath(file + QStringLiteral(".png")));
    }
    // The top-level windows that Open showed.
    QList<QWidget*> Opened(const std::function<void()>& Open)
    {
        QSet<QWidget*> before;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible())
                before.insert(w);
        Open();
        QCoreApplication::processEvents();
        QList<QWidget*> shown;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->isVisible() && !before.contains(w))
                shown << w;
        return shown;
    }
    void CheckOpened(const QString& What, const std::function<void()>& Open)
    {
        const QList<QWidget*> shown = Opened(Open);
        EXPECT_EQ(shown.size(), 1) << What.toStdString();
        for (QWidget* w : shown) {
            EXPECT_TRUE(QTest::qWaitForWindowExposed(w));
            Check(w, What);
            w->close();
        }
    }
    void ExpectNoFaults()
    {
        EXPECT_TRUE(Faults.isEmpty()) << Faults.join(QLatin1Char('\n')).toStdString();
    }

    QStringList Faults;
    int Checked = 0;
};

}  // namespace

TEST_F(TextFitTest, TheMainWindowAndItsPagesHoldTheirText)
{
    Click("Create", "Cube");
    ASSERT_NE(Form->Scene().GetSelectedObject(), nullptr);
    QTabWidget* tabs = Form->PanelTabs();
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Check(Form.get(), QStringLiteral("Main window, ") + tabs->tabText(i));
    }
    // The Paint page is offered in modelling mode only.
    auto* edit = Form->findChild<QToolButton*>(QStringLiteral("ToolButtonEdit"));
    ASSERT_NE(edit, nullptr);
    QTest::mouseClick(edit, Qt::LeftButton);
    tabs->setCurrentWidget(&Form->PaintPage());
    ASSERT_EQ(tabs->currentWidget(), &Form->PaintPage());
    // The Properties page shows its colour and face rows in modelling mode.
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        Check(Form.get(), QStringLiteral("Main window, modelling, ") + tabs->tabText(i));
    }
    ExpectNoFaults();
}

TEST_F(TextFitTest, EveryModifierSettingsWindowHoldsItsText)
{
    Click("Create", "Sphere");
    TSceneObject* sphere = Form->Scene().GetSelectedObject();
    ASSERT_NE(sphere, nullptr);
    auto* page = Form->findChild<TModifierPage*>(QStringLiteral("ModifierPage"));
    ASSERT_NE(page, nullptr);
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i) {
        const TModifierDescriptor& d = GetModifierDescriptor(i);
        page->ClearStackClick();
        page->AddModifierMenuClick(i);
        QListWidget* list = page->ModifierList();
        ASSERT_EQ(list->count(), 1) << d.TypeId;
        const QPoint at = list->visualItemRect(list->item(0)).center();
        const QString what = QStringLiteral("Settings ") + QString::fromStdString(d.TypeId);
        CheckOpened(what, [&] {
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
            QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
        });
    }
    EXPECT_EQ(Checked, 33);
    ExpectNoFaults();
}

TEST_F(TextFitTest, EveryToolWindowHoldsItsText)
{
    Click("Create", "Cube");
    for (const TToolWindowMenuItem& w : kToolWindowMenuItems) {
        const bool terrain = std::string_view(w.Item) == "Terrain";
        CheckOpened(terrain ? QStringLiteral("Terrain Editor") : QString::fromLatin1(w.Item),
                    [&] { Click(w.Menu, w.Item); });
    }
    TAboutForm about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    Check(&about, QStringLiteral("About"));
    ExpectNoFaults();
}
