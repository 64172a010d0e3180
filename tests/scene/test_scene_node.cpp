#include "scene/uSceneNode.h"

#include <cmath>
#include <gtest/gtest.h>
#include <limits>
#include <memory>
#include <vector>

namespace {

// Counts the hooks a node receives.
class TProbeNode : public TSceneGroup {
public:
    using TSceneGroup::TSceneGroup;
    int TransformHooks = 0;
    int DescendantHooks = 0;

protected:
    void DoTransformChanged() override { ++TransformHooks; }
    void DoDescendantChanged() override { ++DescendantHooks; }
};

void ExpectMatrixNear(const TMatrix4& A, const TMatrix4& B)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(A[i], B[i], 1e-5f) << "element " << i;
}

TMatrix4 Compose(const TVec3& p, const TVec3& r, const TVec3& s)
{
    TMatrix4 m;
    MatCompose(p, r, s, m);
    return m;
}

TMatrix4 Mul(const TMatrix4& a, const TMatrix4& b)
{
    TMatrix4 c;
    MatMultiply(a, b, c);
    return c;
}

// root -> a -> b, and a second branch root -> c.
struct NodeTree : ::testing::Test {
    TProbeNode root{0};
    TProbeNode a{1}, b{2}, c{3};
    void SetUp() override
    {
        root.InsertChild(&a, 0);
        a.InsertChild(&b, 0);
        root.InsertChild(&c, 1);
        root.TransformHooks = a.TransformHooks = b.TransformHooks = c.TransformHooks = 0;
        root.DescendantHooks = a.DescendantHooks = b.DescendantHooks = c.DescendantHooks = 0;
    }
};

}  // namespace

TEST(SceneNode, DefaultsAndIds)
{
    TSceneGroup fresh;
    TSceneGroup second;
    EXPECT_NE(fresh.GetId(), kNoId);
    EXPECT_EQ(second.GetId(), fresh.GetId() + 1);
    TSceneGroup given(77);
    EXPECT_EQ(given.GetId(), 77u);
    EXPECT_EQ(given.Name, "");
    EXPECT_EQ(given.GetParent(), nullptr);
    EXPECT_EQ(given.ChildCount(), 0);
    EXPECT_EQ(given.GetPosition(), (TVec3{0, 0, 0}));
    EXPECT_EQ(given.GetRotation(), (TVec3{0, 0, 0}));
    EXPECT_EQ(given.GetScale(), (TVec3{1, 1, 1}));
    EXPECT_TRUE(given.GetVisible());
    EXPECT_FALSE(given.Selected);
    EXPECT_FALSE(given.GetLocked());
    ExpectMatrixNear(given.GetWorldMatrix(), MatIdentity());
}

TEST_F(NodeTree, InsertChildRefusesSelfAndAncestors)
{
    EXPECT_EQ(a.InsertChild(nullptr, 0), -1);
    EXPECT_EQ(a.InsertChild(&a, 0), -1);
    EXPECT_EQ(b.InsertChild(&a, 0), -1);  // a is b's ancestor
    EXPECT_EQ(b.InsertChild(&root, 0), -1);
    EXPECT_EQ(a.GetParent(), &root);
    EXPECT_EQ(root.IndexOfChild(&a), 0);
    EXPECT_EQ(b.GetParent(), &a);
    EXPECT_EQ(b.ChildCount(), 0);
    EXPECT_EQ(a.DescendantHooks + root.DescendantHooks, 0);
}

TEST_F(NodeTree, InsertChildMovesBetweenParentsAndClamps)
{
    EXPECT_EQ(c.InsertChild(&b, 99), 0);
    EXPECT_EQ(b.GetParent(), &c);
    EXPECT_EQ(a.ChildCount(), 0);
    EXPECT_EQ(c.IndexOfChild(&b), 0);
    EXPECT_EQ(root.InsertChild(&b, -4), 0);
    EXPECT_EQ(root.GetChild(0), &b);
    EXPECT_EQ(c.ChildCount(), 0);
}

TEST(SceneNode, MoveWithinParentClampsAfterRemoval)
{
    TSceneGroup parent(10), x(11), y(12), z(13);
    parent.InsertChild(&x, 0);
    parent.InsertChild(&y, 1);
    parent.InsertChild(&z, 2);
    EXPECT_EQ(parent.InsertChild(&x, 5), 2);
    EXPECT_EQ(parent.GetChildren(), (std::vector<TSceneNode*>{&y, &z, &x}));
    EXPECT_EQ(parent.InsertChild(&x, 0), 0);
    EXPECT_EQ(parent.GetChildren(), (std::vector<TSceneNode*>{&x, &y, &z}));
}

TEST_F(NodeTree, RemoveChildAndAncestry)
{
    a.RemoveChild(&c);  // not a child of a: nothing
    EXPECT_EQ(c.GetParent(), &root);
    a.RemoveChild(&b);
    EXPECT_EQ(b.GetParent(), nullptr);
    EXPECT_EQ(a.ChildCount(), 0);
    EXPECT_EQ(a.DescendantHooks, 1);
    EXPECT_EQ(root.DescendantHooks, 1);

    EXPECT_TRUE(root.IsAncestorOf(&a));
    EXPECT_TRUE(a.IsAncestorOf(&a));
    EXPECT_FALSE(a.IsAncestorOf(&c));
    EXPECT_FALSE(a.IsAncestorOf(nullptr));
    EXPECT_TRUE(a.IsDescendantOf(&root));
    EXPECT_FALSE(root.IsDescendantOf(&a));
    EXPECT_FALSE(a.IsDescendantOf(nullptr));
}

TEST_F(NodeTree, GetChildOutOfRangeThrows)
{
    EXPECT_EQ(root.GetChild(1), &c);
    EXPECT_THROW(root.GetChild(2), EArgumentOutOfRangeException);
    EXPECT_THROW(root.GetChild(-1), EArgumentOutOfRangeException);
}

TEST_F(NodeTree, SettersDetectChanges)
{
    a.SetPosition({0, 0, 0});
    a.SetRotationY(0);
    a.SetScaleZ(1);
    EXPECT_EQ(a.TransformHooks, 0);
    a.SetTransform({0, 0, 0}, {0, 0, 0}, {1, 1, 1});
    EXPECT_EQ(a.TransformHooks, 1);
    a.SetPosition({1, 0, 0});
    EXPECT_EQ(a.TransformHooks, 2);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    a.SetRotationX(nan);
    a.SetRotationX(nan);  // NaN always counts as a change
    EXPECT_EQ(a.TransformHooks, 4);
    a.SetScaleX(2);
    a.SetScaleY(3);
    a.SetRotationZ(45);
    EXPECT_EQ(a.GetScaleX(), 2);
    EXPECT_EQ(a.GetScaleY(), 3);
    EXPECT_EQ(a.GetRotationZ(), 45);
    EXPECT_EQ(a.TransformHooks, 7);
}

TEST_F(NodeTree, MovingAGroupDirtiesDescendantsWithoutTheirHook)
{
    const TMatrix4 before = b.GetWorldMatrix();
    ExpectMatrixNear(before, MatIdentity());
    a.SetPosition({2, 0, 0});
    EXPECT_EQ(b.TransformHooks, 0);
    EXPECT_EQ(a.TransformHooks, 1);
    EXPECT_EQ(root.DescendantHooks, 1);  // ancestors hear about the move
    EXPECT_EQ(b.DescendantHooks, 0);
    EXPECT_EQ(b.GetWorldPosition().X, 2);
}

TEST_F(NodeTree, WorldAndInverseMatricesFollowTheChain)
{
    root.SetTransform({0, 1, 0}, {0, 0, 0}, {1, 1, 1});
    a.SetTransform({1, 2, 3}, {0, 90, 0}, {2, 2, 2});
    b.SetTransform({1, 0, 0}, {30, 0, 10}, {1, 0.5f, 1});
    const TMatrix4 expected = Mul(
        Mul(Compose({0, 1, 0}, {0, 0, 0}, {1, 1, 1}), Compose({1, 2, 3}, {0, 90, 0}, {2, 2, 2})),
        Compose({1, 0, 0}, {30, 0, 10}, {1, 0.5f, 1}));
    ExpectMatrixNear(b.GetLocalMatrix(), Compose({1, 0, 0}, {30, 0, 10}, {1, 0.5f, 1}));
    ExpectMatrixNear(b.GetWorldMatrix(), expected);
    ExpectMatrixNear(Mul(b.GetWorldMatrix(), b.GetInverseWorldMatrix()), MatIdentity());

    // After a re-parent under c the caches describe the new chain.
    c.SetPosition({0, 0, -5});
    (void)b.GetInverseWorldMatrix();
    a.DescendantHooks = c.DescendantHooks = b.TransformHooks = 0;
    ASSERT_EQ(c.InsertChild(&b, 0), 0);
    const TMatrix4 moved = Mul(
        Mul(Compose({0, 1, 0}, {0, 0, 0}, {1, 1, 1}), Compose({0, 0, -5}, {0, 0, 0}, {1, 1, 1})),
        Compose({1, 0, 0}, {30, 0, 10}, {1, 0.5f, 1}));
    ExpectMatrixNear(b.GetWorldMatrix(), moved);
    ExpectMatrixNear(Mul(b.GetWorldMatrix(), b.GetInverseWorldMatrix()), MatIdentity());
    EXPECT_NEAR(b.GetWorldPosition().Z, -5, 1e-5f);
    EXPECT_EQ(b.TransformHooks, 0);  // a re-parent keeps the local transform
    EXPECT_EQ(c.DescendantHooks, 1);
    EXPECT_EQ(a.DescendantHooks, 1);

    // Detached, the node stands alone.
    c.RemoveChild(&b);
    ExpectMatrixNear(b.GetWorldMatrix(), b.GetLocalMatrix());
}

TEST(SceneNode, DeepChainWorldMatrix)
{
    // Built from the leaf upwards so that building stays linear.
    std::vector<std::unique_ptr<TSceneGroup>> chain;
    for (uint32_t i = 1; i <= 50000; ++i) {
        auto node = std::make_unique<TSceneGroup>(i);
        node->SetPosition({0.001f, 0, 0});
        if (!chain.empty())
            node->InsertChild(chain.back().get(), 0);
        chain.push_back(std::move(node));
    }
    EXPECT_NEAR(chain.front()->GetWorldPosition().X, 50.0f, 0.05f);
}

TEST(SceneNode, InABatchEachAncestorHearsOfChangesBelowItOnce)
{
    // A chain linked from the top down: outside a batch every link would tell every
    // ancestor, N * N / 2 notices in all.
    constexpr int kDepth = 20000;
    std::vector<std::unique_ptr<TProbeNode>> chain;
    chain.push_back(std::make_unique<TProbeNode>(0));
    {
        TSceneNoticeBatch batch;
        for (int i = 1; i <= kDepth; ++i) {
            chain.push_back(std::make_unique<TProbeNode>(static_cast<uint32_t>(i)));
            chain[i - 1]->InsertChild(chain[i].get(), 0);
        }
        // Unlinking and linking again, and a nested batch, tell nobody twice either.
        chain[kDepth - 1]->RemoveChild(chain[kDepth].get());
        TSceneNoticeBatch nested;
        chain[kDepth - 1]->InsertChild(chain[kDepth].get(), 0);
    }
    for (int i = 0; i < kDepth; ++i)
        ASSERT_EQ(chain[i]->DescendantHooks, 1) << "node " << i;
    EXPECT_EQ(chain[kDepth]->DescendantHooks, 0);

    // The next batch tells everyone again; without one every ancestor hears every notice.
    {
        TSceneNoticeBatch batch;
        chain[kDepth]->NotifyAncestorsOfChange();
        chain[kDepth / 2]->NotifyAncestorsOfChange();
    }
    chain[3]->NotifyAncestorsOfChange();
    chain[3]->NotifyAncestorsOfChange();
    EXPECT_EQ(chain[kDepth - 1]->DescendantHooks, 2);
    EXPECT_EQ(chain[kDepth / 2]->DescendantHooks, 2);
    EXPECT_EQ(chain[4]->DescendantHooks, 2);
    EXPECT_EQ(chain[2]->DescendantHooks, 4);
    EXPECT_EQ(chain[0]->DescendantHooks, 4);
}

TEST(SceneNode, SingularWorldGivesZeroInverse)
{
    TSceneGroup n(5);
    n.SetScaleX(0);
    TMatrix4 zero{};
    EXPECT_EQ(n.GetInverseWorldMatrix(), zero);
}

TEST(SceneNode, PropertyReadsAndWrites)
{
    TProbeNode n(8);
    n.SetTransform({1, 2, 3}, {4, 5, 6}, {7, 8, 9});
    n.TransformHooks = 0;
    for (int32_t id = 1; id <= 9; ++id) {
        TPropertyValue v;
        n.GetPropertyValue(id, v);
        EXPECT_EQ(v.Kind, pvkFloat);
        EXPECT_EQ(v.Float, static_cast<float>(id));
        n.SetPropertyValue(id, MakeFloatPropertyValue(10.0f * id), 0);
        n.GetPropertyValue(id, v);
        EXPECT_EQ(v.Float, 10.0f * id);
    }
    EXPECT_EQ(n.TransformHooks, 9);
    n.SetPropertyValue(1, MakeFloatPropertyValue(10), 0);  // same value still counts
    EXPECT_EQ(n.TransformHooks, 10);
    EXPECT_EQ(n.GetRotation(), (TVec3{40, 50, 60}));
    EXPECT_EQ(n.GetScale(), (TVec3{70, 80, 90}));

    n.SetPropertyValue(10, MakeBooleanPropertyValue(false), 4);
    EXPECT_FALSE(n.GetVisible());
    EXPECT_EQ(n.TransformHooks, 10);  // visibility is not a transform change
    TPropertyValue v;
    n.GetPropertyValue(10, v);
    EXPECT_EQ(v.Kind, pvkBoolean);
    EXPECT_FALSE(v.Bool);
}

TEST(SceneNode, PropertyErrors)
{
    TSceneGroup n(9);
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        int32_t id;
        TPropertyValue value;
        int32_t mode;
        const char* message;
    } cases[] = {
        {4, MakeBooleanPropertyValue(true), 0, "Rotation X requires a float"},
        {11, MakeFloatPropertyValue(1), 3, "Evaluation cannot write authored node properties"},
        {1, MakeFloatPropertyValue(1), 3, "Evaluation cannot write authored node properties"},
        {0, MakeFloatPropertyValue(1), 0, "Unknown node property id: 0"},
        {11, MakeBooleanPropertyValue(true), 0, "Unknown node property id: 11"},
        {-3, MakeFloatPropertyValue(1), 2, "Unknown node property id: -3"},
        {1, MakeIntegerPropertyValue(1), 0, "Position X requires a float"},
        {9, MakeVectorPropertyValue({1, 1, 1}), 0, "Scale Z requires a float"},
        {10, MakeFloatPropertyValue(1), 0, "Visible requires a boolean"},
        {10, MakeIntegerPropertyValue(1), 0, "Visible requires a boolean"},
        {2, MakeFloatPropertyValue(nan), 0, "Position Y requires a finite value"},
        {8, MakeFloatPropertyValue(std::numeric_limits<float>::infinity()), 0,
         "Scale Y requires a finite value"},
    };
    for (const auto& c : cases) {
        try {
            n.SetPropertyValue(c.id, c.value, c.mode);
            ADD_FAILURE() << "no error for " << c.message;
        } catch (const EGeneralError& e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
    EXPECT_EQ(n.GetPosition(), (TVec3{0, 0, 0}));
    EXPECT_EQ(n.GetScale(), (TVec3{1, 1, 1}));
    EXPECT_TRUE(n.GetVisible());

    TPropertyValue v;
    try {
        n.GetPropertyValue(42, v);
        ADD_FAILURE();
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "Unknown node property id: 42");
    }
}
