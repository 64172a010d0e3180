#pragma once
// The tool windows of the editor. Each kind is one window at a time: Recreate closes the
// open one of its kind and shows a new one (the terrain, floor-plan, textures, cinematic,
// environment and camera windows), ShowOrCreate reuses it (the ripper); Track adds
// windows that manage their own kind (the modifier settings windows, one per object and
// modifier). All of them close on New, Open and exit, before the project they show goes.
#include <QPointer>
#include <QWidget>

#include <functional>
#include <map>
#include <string>
#include <vector>

class TToolWindowHost {
public:
    TToolWindowHost() = default;
    TToolWindowHost(const TToolWindowHost&) = delete;
    TToolWindowHost& operator=(const TToolWindowHost&) = delete;
    ~TToolWindowHost() { CloseAll(); }

    // Closes the open window of Kind, makes a new one, shows it and brings it to the front.
    QWidget* Recreate(const std::string& Kind, const std::function<QWidget*()>& Make);
    // Shows the window of Kind, making it when there is none, and brings it to the front.
    QWidget* ShowOrCreate(const std::string& Kind, const std::function<QWidget*()>& Make);
    // The open window of Kind, or nullptr.
    QWidget* Find(const std::string& Kind) const;
    // Closes and frees the window of Kind, when open.
    void Close(const std::string& Kind);
    // A window closed with the others on New, Open and exit.
    void Track(QWidget* Window);
    // Closes and frees every window (New, Open, exit).
    void CloseAll();

private:
    static void Destroy(QWidget* Window);
    std::map<std::string, QPointer<QWidget>> Windows;
    std::vector<QPointer<QWidget>> Tracked;
};
