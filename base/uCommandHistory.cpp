#include "base/uCommandHistory.h"

TCommandHistory::TCommandHistory(int32_t MaxDepth) : MaxDepth(MaxDepth) {}

TCommandHistory::~TCommandHistory()
{
    Clear();
}

namespace {

// Reports a step when it leaves, however the step ends.
struct TStepReport {
    const std::function<void()>& OnStep;
    ~TStepReport()
    {
        if (OnStep)
            OnStep();
    }
};

}  // namespace

void TCommandHistory::Execute(std::unique_ptr<TEditorCommand> Command)
{
    if (!Command)
        return;
    Command->Execute();  // on a throw the unique_ptr frees the command
    UndoList.push_back(std::move(Command));
    const size_t depth = MaxDepth > 0 ? static_cast<size_t>(MaxDepth) : 0;
    if (UndoList.size() > depth)
        UndoList.erase(UndoList.begin(), UndoList.begin() + (UndoList.size() - depth));
    RedoList.clear();
    if (OnStep)
        OnStep();
}

bool TCommandHistory::Undo()
{
    if (UndoList.empty())
        return false;
    std::unique_ptr<TEditorCommand> command = std::move(UndoList.back());
    UndoList.pop_back();
    const TStepReport report{OnStep};  // also when the undo fails half-way
    command->Undo();                   // a throw drops the command from the history
    RedoList.push_back(std::move(command));
    return true;
}

bool TCommandHistory::Redo()
{
    if (RedoList.empty())
        return false;
    std::unique_ptr<TEditorCommand> command = std::move(RedoList.back());
    RedoList.pop_back();
    const TStepReport report{OnStep};
    command->Redo();
    UndoList.push_back(std::move(command));
    return true;
}

void TCommandHistory::Clear()
{
    // Oldest first, as the commands were made.
    for (auto& c : UndoList)
        c.reset();
    UndoList.clear();
    RedoList.clear();
}
