#pragma once
// The default error box: every slot and event handler of the editor runs its body through
// RunGuarded, so that no exception crosses Qt's event dispatch and the user sees the
// message instead.
#include <exception>
#include <functional>
#include <string>

class QWidget;

using TErrorBoxHandler = std::function<void(QWidget* Parent, const std::string& Message)>;

// Shows a critical message box with the message (or what a handler set for tests does).
void ShowErrorBox(QWidget* Parent, const std::string& Message);
// Replaces the box, e.g. by a recorder in tests; an empty handler restores the box.
void SetErrorBoxHandler(TErrorBoxHandler Handler);

template <class F>
void RunGuarded(QWidget* Parent, F&& Body)
{
    try {
        Body();
    } catch (const std::exception& e) {
        ShowErrorBox(Parent, e.what());
    } catch (...) {
        ShowErrorBox(Parent, "Unknown error");
    }
}
