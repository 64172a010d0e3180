#pragma once
// Undoable edits: every command does its work on the first Execute and records what
// its Undo needs; the history owns the commands and bounds the undo depth.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TEditorCommand {
public:
    virtual ~TEditorCommand() = default;
    virtual std::string GetDescription() const = 0;
    virtual void Execute() = 0;
    virtual void Undo() = 0;
    // Performs the edit again after an undo; by default the same as Execute.
    virtual void Redo() { Execute(); }
};

class TCommandHistory {
public:
    explicit TCommandHistory(int32_t MaxDepth);
    ~TCommandHistory();
    TCommandHistory(const TCommandHistory&) = delete;
    TCommandHistory& operator=(const TCommandHistory&) = delete;

    // Runs the command and keeps it for undo. A command that throws is dropped and the
    // error goes on to the caller, with both lists unchanged.
    void Execute(std::unique_ptr<TEditorCommand> Command);
    bool Undo();
    bool Redo();
    void Clear();

    bool CanUndo() const { return !UndoList.empty(); }
    bool CanRedo() const { return !RedoList.empty(); }
    size_t UndoCount() const { return UndoList.size(); }
    size_t RedoCount() const { return RedoList.size(); }
    // The command that Undo / Redo would act on next, or null.
    const TEditorCommand* NextUndo() const
    {
        return UndoList.empty() ? nullptr : UndoList.back().get();
    }
    const TEditorCommand* NextRedo() const
    {
        return RedoList.empty() ? nullptr : RedoList.back().get();
    }
    int32_t GetMaxDepth() const { return MaxDepth; }

    // Runs after every command executed, undone or redone (an undo or redo that raised
    // included): the project counts each as a change, whether or not the command told
    // the scene about it.
    std::function<void()> OnStep;

private:
    std::vector<std::unique_ptr<TEditorCommand>> UndoList;  // oldest first
    std::vector<std::unique_ptr<TEditorCommand>> RedoList;
    int32_t MaxDepth;
};
