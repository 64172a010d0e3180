#include "base/uErrors.h"
#include "modifiers/uModifierStack.h"
#include "tests/modifiers/uTestModifiers.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

using TEvent = std::tuple<int, uint32_t, int32_t>;  // kind, modifier id, index

class ModifierStack : public ::testing::Test {
protected:
    void SetUp() override
    {
        stack.SetOnStructureChanged([this](TModifierStack* sender, TModifierStackChangeKind kind,
                                           uint32_t id, int32_t index) {
            EXPECT_EQ(sender, &stack);
            events.emplace_back(kind, id, index);
        });
        stack.SetOnModifierChanged([this](TModifierStack*, uint32_t id) { changed.push_back(id); });
    }
    // Adds an affine modifier and returns its id.
    uint32_t AddOne()
    {
        auto m = std::make_unique<TAffineTestModifier>();
        const uint32_t id = m->GetId();
        stack.Add(std::move(m));
        return id;
    }
    std::vector<uint32_t> Ids() const
    {
        std::vector<uint32_t> ids;
        for (int32_t i = 0; i < stack.Count(); ++i)
            ids.push_back(stack.GetItem(i)->GetId());
        return ids;
    }

    // Handlers of single tests capture their locals; the stack outlives them.
    void TearDown() override
    {
        stack.SetOnStructureChanged(nullptr);
        stack.SetOnModifierChanged(nullptr);
    }

    std::vector<TEvent> events;
    std::vector<uint32_t> changed;
    TModifierStack stack;
};

}  // namespace

TEST_F(ModifierStack, AddOfNothingDoesNothing)
{
    EXPECT_EQ(stack.Add(nullptr), -1);
    EXPECT_EQ(stack.GetRevision(), 0);
    EXPECT_TRUE(events.empty());
}

TEST_F(ModifierStack, AddDeleteAndMoveEachNotifyOnceAndBumpTheRevision)
{
    const uint32_t a = AddOne();
    const uint32_t b = AddOne();
    const uint32_t c = AddOne();
    EXPECT_EQ(stack.GetRevision(), 3);
    EXPECT_EQ(events, (std::vector<TEvent>{{mscAdded, a, 0}, {mscAdded, b, 1}, {mscAdded, c, 2}}));
    EXPECT_TRUE(stack.GetItem(1)->HasOnChange());

    events.clear();
    stack.Move(0, 2);
    EXPECT_EQ(Ids(), (std::vector<uint32_t>{b, c, a}));
    EXPECT_EQ(events, (std::vector<TEvent>{{mscMoved, a, 2}}));
    EXPECT_EQ(stack.GetRevision(), 4);

    events.clear();
    stack.Move(1, 1);  // equal indices still notify
    stack.Move(-1, 0);
    stack.Move(0, 3);
    stack.Delete(3);
    EXPECT_FALSE(stack.Remove(999999));
    EXPECT_EQ(events, (std::vector<TEvent>{{mscMoved, c, 1}}));

    events.clear();
    stack.Delete(1);
    EXPECT_EQ(events, (std::vector<TEvent>{{mscDeleted, c, 1}}));
    EXPECT_TRUE(stack.Remove(b));
    EXPECT_EQ(Ids(), (std::vector<uint32_t>{a}));
    EXPECT_EQ(stack.IndexOfId(a), 0);
    EXPECT_EQ(stack.FindById(b), nullptr);
    EXPECT_EQ(stack.GetRevision(), 7);
}

TEST_F(ModifierStack, GetItemOutsideTheListRaises)
{
    AddOne();
    try {
        stack.GetItem(1);
        FAIL() << "no error";
    } catch (const EArgumentOutOfRangeException& e) {
        EXPECT_STREQ(e.what(), "List index (1) out of bounds");
    }
}

TEST_F(ModifierStack, DeletedModifierIsUnhookedBeforeTheHandlersAndFreedAfter)
{
    auto m = std::make_unique<TAffineTestModifier>();
    bool alive = true;
    bool hookedAtDestruction = true;
    m->OnDestroy = [&](TAffineTestModifier& self) {
        alive = false;
        hookedAtDestruction = self.HasOnChange();
    };
    stack.Add(std::move(m));
    bool aliveInHandler = false;
    stack.SetOnStructureChanged([&](TModifierStack*, TModifierStackChangeKind, uint32_t, int32_t) {
        aliveInHandler = alive;
    });
    stack.Delete(0);
    EXPECT_TRUE(aliveInHandler);
    EXPECT_FALSE(alive);
    EXPECT_FALSE(hookedAtDestruction);
}

TEST_F(ModifierStack, ParameterChangeOfAHeldModifierReachesTheOwner)
{
    auto owned = std::make_unique<TAffineTestModifier>();
    TAffineTestModifier* m = owned.get();
    stack.Add(std::move(owned));
    const int64_t before = stack.GetRevision();
    m->SetOffset(2);
    m->SetOffset(2);
    EXPECT_EQ(m->GetRevision(), 1);
    EXPECT_EQ(stack.GetRevision(), before + 1);
    EXPECT_EQ(changed, (std::vector<uint32_t>{m->GetId()}));
}

TEST_F(ModifierStack, UpdateDropsNotificationsButCountsThem)
{
    stack.BeginUpdate();
    stack.BeginUpdate();
    AddOne();
    AddOne();
    static_cast<TAffineTestModifier*>(stack.GetItem(0))->SetOffset(5);
    stack.EndUpdate();
    EXPECT_TRUE(events.empty());
    stack.EndUpdate();
    EXPECT_EQ(stack.GetRevision(), 4);  // three changes and the closing notification
    EXPECT_EQ(events, (std::vector<TEvent>{{mscAdded, 0, -1}}));
    EXPECT_TRUE(changed.empty());
    stack.EndUpdate();
    EXPECT_EQ(events.size(), 1u);
    EXPECT_EQ(stack.GetUpdateCount(), 0);
}

TEST_F(ModifierStack, ClearFreesEverythingAndNotifiesOnceEvenWhenEmpty)
{
    AddOne();
    AddOne();
    events.clear();
    stack.Clear();
    EXPECT_EQ(stack.Count(), 0);
    stack.Clear();
    EXPECT_EQ(events, (std::vector<TEvent>{{mscCleared, 0, -1}, {mscCleared, 0, -1}}));
}

TEST(ModifierStackLifetime, DestroyingTheStackNotifiesItsClearAndFreesTheModifiers)
{
    std::vector<TEvent> events;
    bool freed = false;
    {
        TModifierStack stack;
        auto m = std::make_unique<TAffineTestModifier>();
        m->OnDestroy = [&](TAffineTestModifier&) { freed = true; };
        stack.Add(std::move(m));
        stack.SetOnStructureChanged([&](TModifierStack*, TModifierStackChangeKind kind, uint32_t id,
                                        int32_t index) { events.emplace_back(kind, id, index); });
    }
    EXPECT_TRUE(freed);
    EXPECT_EQ(events, (std::vector<TEvent>{{mscCleared, 0, -1}}));
}
