#include "modifiers/ui/uModifierWindowManager.h"

#include "editor/api/uEditorContext.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "modifiers/ui/uModifierEditorRegistry.h"
#include "modifiers/ui/uModifierSettingsBase.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QWidget>

TModifierWindowManager::TModifierWindowManager(TEditorContext& Context, QObject* Parent)
    : QObject(Parent), Context(Context)
{
    connect(&Context.Events(), &TEditorEvents::NodeRemoving, this,
            [this](uint32_t NodeId) { CloseEditorsForNode(NodeId); });
    // The host closes them too; a window must never edit the new document through ids
    // it kept from the old one.
    connect(&Context.Events(), &TEditorEvents::DocumentReplaced, this, [this] { CloseAll(); });
}

TModifierWindowManager::~TModifierWindowManager()
{
    // The context may be half gone by now: close through the windows alone.
    for (TEntry& e : Entries)
        delete e.Form.data();
    Entries.clear();
}

void TModifierWindowManager::PurgeClosed()
{
    std::erase_if(Entries, [](const TEntry& e) { return e.Form.isNull(); });
}

TModifierSettingsForm* TModifierWindowManager::FindEditor(const TModifierRef& Ref) const
{
    for (const TEntry& e : Entries)
        if (e.Form && e.NodeId == Ref.NodeId && e.ModifierId == Ref.ModifierId)
            return e.Form.data();
    return nullptr;
}

int32_t TModifierWindowManager::OpenCount() const
{
    int32_t n = 0;
    for (const TEntry& e : Entries)
        n += e.Form ? 1 : 0;
    return n;
}

TModifierSettingsForm* TModifierWindowManager::OpenEditor(TScene* Scene, const TModifierRef& Ref)
{
    PurgeClosed();
    if (TModifierSettingsForm* open = FindEditor(Ref)) {
        open->showNormal();
        open->raise();
        open->activateWindow();
        return open;
    }
    if (!Scene)
        return nullptr;
    auto* object = dynamic_cast<TSceneObject*>(Scene->FindNodeById(Ref.NodeId));
    TModifier* modifier = object ? object->GetModifiers().FindById(Ref.ModifierId) : nullptr;
    if (!modifier)
        return nullptr;
    TModifierSettingsForm* form =
        ModifierEditorRegistry().CreateEditor(modifier->GetTypeId(), Scene, Ref);
    if (!form)
        return nullptr;
    // An edit redraws the views and refreshes the pages; it is not a command and leaves
    // the project's revision alone.
    TEditorContext* context = &Context;
    form->OnEdited = [context] { emit context->Events().DocumentEdited(); };
    Entries.push_back({form, Ref.NodeId, Ref.ModifierId});
    Context.ToolWindows().Track(form);
    if (QWidget* parent = Context.ParentWindow()) {
        // A window of the main window: closing the main window ends the program even
        // while settings windows are open.
        form->setParent(parent, Qt::Window);
        form->move(parent->frameGeometry().center() - form->rect().center());
    }
    form->show();
    form->raise();
    form->activateWindow();
    return form;
}

void TModifierWindowManager::CloseWhere(const std::function<bool(const TEntry&)>& Match)
{
    // Collected first: closing a window drops it from the list while this walks.
    std::vector<QPointer<TModifierSettingsForm>> closing;
    for (const TEntry& e : Entries)
        if (e.Form && Match(e))
            closing.push_back(e.Form);
    for (QPointer<TModifierSettingsForm>& form : closing)
        if (form) {
            form->close();
            delete form.data();
        }
    PurgeClosed();
}

void TModifierWindowManager::CloseEditorsForNode(uint32_t NodeId)
{
    CloseWhere([NodeId](const TEntry& e) { return e.NodeId == NodeId; });
}

void TModifierWindowManager::CloseAll()
{
    CloseWhere([](const TEntry&) { return true; });
}
