#include "base/uCommandHistory.h"

#include <gtest/gtest.h>
#include <stdexcept>

namespace {
// Appends its letter to a log on Execute/Redo and removes it on Undo; counts frees.
struct TLogCommand : TEditorCommand {
    TLogCommand(std::string& log, char c, int* freed = nullptr, bool fails = false)
        : Log(log), Letter(c), Freed(freed), Fails(fails)
    {
    }
    ~TLogCommand() override
    {
        if (Freed)
            ++*Freed;
    }
    std::string GetDescription() const override { return std::string(1, Letter); }
    void Execute() override
    {
        if (Fails)
            throw std::runtime_error("cannot");
        Log += Letter;
    }
    void Undo() override { Log.erase(Log.find_last_of(Letter), 1); }
    std::string& Log;
    char Letter;
    int* Freed;
    bool Fails;
};
}  // namespace

TEST(CommandHistory, UndoRedoMoveCommandsBetweenLists)
{
    std::string log;
    TCommandHistory h(1000);
    EXPECT_FALSE(h.Undo());
    EXPECT_FALSE(h.Redo());
    h.Execute(std::make_unique<TLogCommand>(log, 'a'));
    h.Execute(std::make_unique<TLogCommand>(log, 'b'));
    EXPECT_EQ(log, "ab");
    EXPECT_TRUE(h.Undo());
    EXPECT_EQ(log, "a");
    EXPECT_EQ(h.NextRedo()->GetDescription(), "b");
    EXPECT_TRUE(h.Redo());
    EXPECT_EQ(log, "ab");
    EXPECT_FALSE(h.Redo());
}

TEST(CommandHistory, NewCommandDiscardsRedoList)
{
    std::string log;
    int freed = 0;
    TCommandHistory h(1000);
    h.Execute(std::make_unique<TLogCommand>(log, 'a', &freed));
    h.Undo();
    h.Execute(std::make_unique<TLogCommand>(log, 'c', &freed));
    EXPECT_EQ(freed, 1);
    EXPECT_FALSE(h.CanRedo());
    EXPECT_EQ(log, "c");
}

TEST(CommandHistory, DepthDropsTheOldestCommand)
{
    std::string log;
    int freed = 0;
    TCommandHistory h(2);
    for (char c : std::string("abc"))
        h.Execute(std::make_unique<TLogCommand>(log, c, &freed));
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(h.UndoCount(), 2u);
    h.Undo();
    h.Undo();
    EXPECT_FALSE(h.Undo());
    EXPECT_EQ(log, "a");  // the dropped edit stays done

    TCommandHistory big(1000);
    for (int i = 0; i < 1001; ++i)
        big.Execute(std::make_unique<TLogCommand>(log, 'x'));
    EXPECT_EQ(big.UndoCount(), 1000u);
}

TEST(CommandHistory, FailingCommandIsFreedAndRedoListSurvives)
{
    std::string log;
    int freed = 0;
    TCommandHistory h(1000);
    h.Execute(std::make_unique<TLogCommand>(log, 'a'));
    h.Undo();
    EXPECT_THROW(h.Execute(std::make_unique<TLogCommand>(log, 'f', &freed, true)),
                 std::runtime_error);
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(h.UndoCount(), 0u);
    EXPECT_TRUE(h.Redo());
    EXPECT_EQ(log, "a");
}

TEST(CommandHistory, EveryStepIsReportedButNotARefusedCommandOrAnEmptyList)
{
    std::string log;
    int steps = 0;
    TCommandHistory h(1000);
    h.OnStep = [&] { ++steps; };
    h.Execute(std::make_unique<TLogCommand>(log, 'a'));
    EXPECT_EQ(steps, 1);
    EXPECT_THROW(h.Execute(std::make_unique<TLogCommand>(log, 'b', nullptr, true)),
                 std::runtime_error);
    EXPECT_EQ(steps, 1);
    h.Undo();
    h.Redo();
    EXPECT_EQ(steps, 3);
    h.Redo();  // nothing to redo
    h.Clear();
    EXPECT_EQ(steps, 3);
}
