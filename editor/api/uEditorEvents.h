#pragma once
// What happens in the editor, relayed to every page, panel and window. Pieces connect to
// these signals and refresh themselves; nobody refreshes another piece at a call site.
#include <QObject>

#include <cstdint>

class TEditorEvents : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    // File > New or File > Open replaced the project as a whole. Windows that edit the
    // document close themselves or refresh from the new one.
    void DocumentReplaced();
    // A scene notification: Kind 0 added, 1 removed, 3 hierarchy changed.
    void SceneChanged(int Kind, uint32_t NodeId);
    // A node is about to leave the scene (with its subtree, one signal per node).
    void NodeRemoving(uint32_t NodeId);
    // The selected node, or the modelling or paint selection, changed.
    void SelectionChanged();
    // After every command run, undo and redo.
    void HistoryChanged();
    // The current frame or the playback state of the project time changed.
    void FrameChanged();
    // The texture registry changed (import, delete, New, Open).
    void TexturesChanged();
    // A texture the ripper made was imported at this registry index (after
    // TexturesChanged); the textures window selects it.
    void TextureImported(int Index);
    // Something of the document changed without a command or a scene notification: a
    // property write, a modifier edit, a terrain sculpt, a floor-plan list edit. Pages
    // that show it refresh; the views repaint.
    void DocumentEdited();
    // The environment settings changed (environment and camera windows).
    void EnvironmentChanged();
};
