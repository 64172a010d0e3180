#pragma once
// Keeps at most one settings window per object and modifier: opening an open one brings it
// to the front; an object leaving the scene closes its windows; New and Open close them all
// (the tool-window host tracks every window the manager opens).
#include "base/uDocumentIds.h"

#include <QObject>
#include <QPointer>

#include <vector>

class TEditorContext;
class TModifierSettingsForm;
class TScene;

class TModifierWindowManager : public QObject {
    Q_OBJECT
public:
    explicit TModifierWindowManager(TEditorContext& Context, QObject* Parent = nullptr);
    ~TModifierWindowManager() override;

    // The window showing the modifier, or null when the object, the modifier or a window
    // factory for its type is missing.
    TModifierSettingsForm* OpenEditor(TScene* Scene, const TModifierRef& Ref);
    void CloseEditorsForNode(uint32_t NodeId);
    void CloseAll();
    // The open window of Ref, or null.
    TModifierSettingsForm* FindEditor(const TModifierRef& Ref) const;
    int32_t OpenCount() const;

private:
    struct TEntry {
        QPointer<TModifierSettingsForm> Form;
        uint32_t NodeId = 0;
        uint32_t ModifierId = 0;
    };
    void PurgeClosed();
    void CloseWhere(const std::function<bool(const TEntry&)>& Match);

    TEditorContext& Context;
    std::vector<TEntry> Entries;
};
