#pragma once
// The base of every modifier settings window. A window remembers which modifier of which
// object it edits by their ids and looks both up at every event, so a window that outlives
// its object or modifier does nothing instead of touching freed memory. Derived classes
// build their controls in BuildControls and push each change through the modifier's setter.
#include "base/uDocumentIds.h"

#include <QLocale>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <functional>
#include <optional>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class TModifier;
class TScene;
class TSceneObject;

// Number text of the settings windows, in the user's locale both ways.
// The user's locale without thousands groups: text a field shows reads back as typed.
QLocale SettingsLocale();
// Fixed-point text with Decimals after rounding to 6 significant digits.
QString SettingsFixedText(double Value, int Decimals);
// At most two decimals, none for a whole value ("0.##").
QString SettingsPictureText(double Value);
// The typed value; nothing for text that does not convert, "nan", "inf", or a value beyond
// the range of a 32-bit float.
std::optional<float> ParseSettingsFloat(const QString& Text);
std::optional<int32_t> ParseSettingsInt(const QString& Text);

class TModifierSettingsForm : public QWidget {
    Q_OBJECT
public:
    TModifierSettingsForm(TScene* Scene, const TModifierRef& Ref);

    // Caption, default size and controls; called once by the factory after construction
    // (BuildControls is virtual). " (not found)" ends the caption when it builds nothing.
    void Initialise();

    uint32_t NodeId() const { return Ref.NodeId; }
    uint32_t ModifierId() const { return Ref.ModifierId; }
    // The object and the modifier as they are now, or null when gone.
    TSceneObject* GetSceneObject() const;
    TModifier* GetModifier() const;
    template <class M>
    M* ModifierAs() const
    {
        return dynamic_cast<M*>(GetModifier());
    }
    void SetUpdating(bool Value) { Updating = Value; }
    bool IsUpdating() const { return Updating; }

    // Runs after every edit that reached a modifier (the views redraw, pages refresh).
    std::function<void()> OnEdited;

protected:
    virtual bool BuildControls() = 0;

    // Controls at fixed positions, owned by the window.
    QLabel* AddLabel(const QString& Caption, int X, int Y, int W = -1);
    // The "Enabled" check box at (8, 8): SetEnabled on a modifier of any class.
    QCheckBox* AddEnabledCheck(int Width = 200);
    QCheckBox* AddCheck(const QString& Caption, int X, int Y, int W, bool Checked,
                        std::function<void(bool)> Click);
    // A fixed list; Pick runs on the user's selection, never while the window fills.
    QComboBox* AddCombo(int X, int Y, int W, const QStringList& Items, int Index,
                        std::function<void(int)> Pick);
    // An edit applied when editing is done (Enter or leaving it). Only text that differs
    // from what the edit last showed or applied is taken: leaving an edit unchanged
    // changes nothing. Text that does not convert goes as Fallback, or changes nothing
    // when there is none.
    QLineEdit* AddFloatEdit(int X, int Y, int W, const QString& Text, std::optional<float> Fallback,
                            std::function<void(float)> Apply);
    QLineEdit* AddIntEdit(int X, int Y, int W, const QString& Text, std::optional<int32_t> Fallback,
                          std::function<void(int32_t)> Apply);
    // An edit applied on every change of its text by the user.
    QLineEdit* AddLiveEdit(int X, int Y, int W, const QString& Text,
                           std::function<void(const QString&)> Apply);
    // Runs Body guarded, then OnEdited.
    void ApplyEdit(const std::function<void()>& Body);

private:
    QLineEdit* AddEditingDoneEdit(int X, int Y, int W, const QString& Text,
                                  std::function<void(const QString&)> Apply);

    TScene* Scene;
    TModifierRef Ref;
    bool Updating = false;
};

// A window of class F made and initialised (not shown).
template <class F>
TModifierSettingsForm* MakeSettingsForm(TScene* Scene, const TModifierRef& Ref)
{
    auto* form = new F(Scene, Ref);
    try {
        form->Initialise();
    } catch (...) {
        delete form;
        throw;
    }
    return form;
}
