#include "editor/api/uToolWindowHost.h"

#include <cassert>

void TToolWindowHost::Destroy(QWidget* Window)
{
    if (!Window)
        return;
    Window->close();
    delete Window;
}

QWidget* TToolWindowHost::Recreate(const std::string& Kind, const std::function<QWidget*()>& Make)
{
    Close(Kind);
    QWidget* w = Make();
    assert(w);
    Windows[Kind] = w;
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

QWidget* TToolWindowHost::ShowOrCreate(const std::string& Kind,
                                       const std::function<QWidget*()>& Make)
{
    QWidget* w = Find(Kind);
    if (!w) {
        w = Make();
        assert(w);
        Windows[Kind] = w;
    }
    w->show();
    w->raise();
    w->activateWindow();
    return w;
}

QWidget* TToolWindowHost::Find(const std::string& Kind) const
{
    const auto it = Windows.find(Kind);
    return it == Windows.end() ? nullptr : it->second.data();
}

void TToolWindowHost::Close(const std::string& Kind)
{
    const auto it = Windows.find(Kind);
    if (it == Windows.end())
        return;
    QPointer<QWidget> w = it->second;
    Windows.erase(it);
    Destroy(w.data());
}

void TToolWindowHost::Track(QWidget* Window)
{
    if (Window)
        Tracked.emplace_back(Window);
}

void TToolWindowHost::CloseAll()
{
    // A window's close may open or close others; work on taken lists.
    std::map<std::string, QPointer<QWidget>> windows;
    windows.swap(Windows);
    std::vector<QPointer<QWidget>> tracked;
    tracked.swap(Tracked);
    for (auto& [kind, w] : windows)
        Destroy(w.data());
    for (QPointer<QWidget>& w : tracked)
        Destroy(w.data());
}
