#pragma once
// The dialogs the editor's pieces ask the user through: file choosers and message
// boxes. The main window holds one set; tests replace it with scripted answers.
#include <functional>
#include <string>

class QWidget;

enum class TSaveChangesAnswer { Save, Discard, Cancel };

struct TEditorDialogs {
    // The chosen file name, or empty when the dialog was cancelled. Filters are written
    // "Name|*.ext|Other|*.*"; an empty caption leaves the toolkit's own title.
    std::function<std::string(QWidget* Parent, const std::string& Filter,
                              const std::string& Caption)>
        OpenFileName;
    std::function<std::string(QWidget* Parent, const std::string& Filter,
                              const std::string& DefaultExt)>
        SaveFileName;
    // A Yes/No question; True for Yes.
    std::function<bool(QWidget* Parent, const std::string& Caption, const std::string& Text)>
        AskYesNo;
    // Unsaved changes: save them, discard them, or cancel what was about to drop them.
    std::function<TSaveChangesAnswer(QWidget* Parent, const std::string& Caption,
                                     const std::string& Text)>
        AskSaveChanges;
    std::function<void(QWidget* Parent, const std::string& Caption, const std::string& Text)>
        Inform;
    std::function<void(QWidget* Parent, const std::string& Caption, const std::string& Text)>
        ShowError;
    // A refused request the user can mend (a warning, not an error).
    std::function<void(QWidget* Parent, const std::string& Caption, const std::string& Text)> Warn;
    // A one-line text question; a cancelled box answers Default.
    std::function<std::string(QWidget* Parent, const std::string& Caption,
                              const std::string& Prompt, const std::string& Default)>
        InputBox;
};

// File dialogs and message boxes of the toolkit.
TEditorDialogs StandardEditorDialogs();

// "Name|*.a|All|*.*" as a Qt filter: "Name (*.a);;All (*)". A name that shows its
// patterns already ("Name (*.a)|*.a") shows them once.
std::string QtFileFilter(const std::string& Filter);
