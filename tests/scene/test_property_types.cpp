#include "scene/uPropertyTypes.h"

#include <gtest/gtest.h>
#include <limits>

#include "scene/uSceneNode.h"

namespace {

const float kNaN = std::numeric_limits<float>::quiet_NaN();

void ExpectMatrixNear(const TMatrix4& A, const TMatrix4& B)
{
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(A[i], B[i], 1e-5f) << "element " << i;
}

}  // namespace

TEST(PropertyTypes, MakersZeroUnusedFields)
{
    const struct {
        TPropertyValue value;
        TPropertyValueKind kind;
        float f;
        int32_t i;
        bool b;
        TVec3 v;
    } cases[] = {
        {MakeFloatPropertyValue(2.5f), pvkFloat, 2.5f, 0, false, {}},
        {MakeIntegerPropertyValue(-7), pvkInteger, 0, -7, false, {}},
        {MakeBooleanPropertyValue(true), pvkBoolean, 0, 0, true, {}},
        {MakeVectorPropertyValue({1, 2, 3}), pvkVector, 0, 0, false, {1, 2, 3}},
        {MakeColorPropertyValue({0.1f, 0.2f, 0.3f}), pvkColor, 0, 0, false, {0.1f, 0.2f, 0.3f}},
        {MakeEnumPropertyValue(4), pvkEnum, 0, 4, false, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.value.Kind, c.kind);
        EXPECT_EQ(c.value.Float, c.f);
        EXPECT_EQ(c.value.Int, c.i);
        EXPECT_EQ(c.value.Bool, c.b);
        EXPECT_EQ(c.value.Vector, c.v);
    }
    const TPropertyPath p = MakeNodePropertyPath(12, 7);
    EXPECT_EQ(p.NodeId, 12u);
    EXPECT_EQ(p.ComponentKind, 0);
    EXPECT_EQ(p.ComponentId, 0u);
    EXPECT_EQ(p.PropertyId, 7);
}

TEST(PropertyTypes, ValuesEqual)
{
    TPropertyValue enumA = MakeEnumPropertyValue(3), enumB = MakeEnumPropertyValue(3);
    enumB.Float = 9;  // not compared for enums
    const struct {
        TPropertyValue a, b;
        bool equal;
    } cases[] = {
        {MakeFloatPropertyValue(1), MakeFloatPropertyValue(1), true},
        {MakeFloatPropertyValue(1), MakeFloatPropertyValue(1.0000001f), false},
        {MakeFloatPropertyValue(kNaN), MakeFloatPropertyValue(kNaN), false},
        {MakeFloatPropertyValue(1), MakeIntegerPropertyValue(1), false},
        {MakeIntegerPropertyValue(5), MakeIntegerPropertyValue(5), true},
        {MakeIntegerPropertyValue(5), MakeEnumPropertyValue(5), false},
        {enumA, enumB, true},
        {MakeBooleanPropertyValue(true), MakeBooleanPropertyValue(false), false},
        {MakeVectorPropertyValue({1, 2, 3}), MakeVectorPropertyValue({1, 2, 3}), true},
        {MakeVectorPropertyValue({1, 2, 3}), MakeVectorPropertyValue({1, 2, 4}), false},
        {MakeVectorPropertyValue({1, 2, 3}), MakeColorPropertyValue({1, 2, 3}), false},
        {MakeColorPropertyValue({1, kNaN, 3}), MakeColorPropertyValue({1, kNaN, 3}), false},
    };
    for (size_t i = 0; i < std::size(cases); ++i)
        EXPECT_EQ(PropertyValuesEqual(cases[i].a, cases[i].b), cases[i].equal) << "case " << i;
}

TEST(PropertyTypes, PathsEqualFieldByField)
{
    const TPropertyPath base{1, 0, 0, 2};
    EXPECT_TRUE(PropertyPathsEqual(base, TPropertyPath{1, 0, 0, 2}));
    EXPECT_FALSE(PropertyPathsEqual(base, TPropertyPath{2, 0, 0, 2}));
    EXPECT_FALSE(PropertyPathsEqual(base, TPropertyPath{1, 1, 0, 2}));
    EXPECT_FALSE(PropertyPathsEqual(base, TPropertyPath{1, 0, 1, 2}));
    EXPECT_FALSE(PropertyPathsEqual(base, TPropertyPath{1, 0, 0, 3}));
}

TEST(AnimationEvaluation, KeepsFirstSetOrder)
{
    TAnimationEvaluation e;
    const TPropertyPath p1 = MakeNodePropertyPath(1, 1), p2 = MakeNodePropertyPath(1, 2),
                        p3 = MakeNodePropertyPath(2, 1);
    e.SetValue(p1, MakeFloatPropertyValue(1));
    e.SetValue(p2, MakeFloatPropertyValue(2));
    e.SetValue(p3, MakeFloatPropertyValue(3));
    e.SetValue(p1, MakeFloatPropertyValue(10));
    ASSERT_EQ(e.Entries.size(), 3u);
    EXPECT_EQ(e.IndexOf(p1), 0);
    EXPECT_EQ(e.Entries[0].Value.Float, 10);

    e.Remove(p1);
    ASSERT_EQ(e.Entries.size(), 2u);
    EXPECT_EQ(e.IndexOf(p2), 0);
    EXPECT_EQ(e.IndexOf(p3), 1);
    e.Remove(p1);  // absent: nothing
    EXPECT_EQ(e.Entries.size(), 2u);

    TPropertyValue v = MakeVectorPropertyValue({1, 1, 1});
    EXPECT_FALSE(e.TryGetValue(p1, v));
    EXPECT_EQ(v.Kind, pvkFloat);
    EXPECT_EQ(v.Float, 0);
    EXPECT_EQ(v.Vector, (TVec3{0, 0, 0}));
    EXPECT_TRUE(e.TryGetValue(p3, v));
    EXPECT_EQ(v.Float, 3);

    e.Clear();
    EXPECT_EQ(e.IndexOf(p2), -1);
}

TEST(EvaluatedProperties, OverrideOnlyTheEntriesPresent)
{
    TSceneGroup node(20);
    node.SetTransform({1, 2, 3}, {10, 20, 30}, {1, 2, 1});
    TAnimationEvaluation e;
    e.SetValue(MakeNodePropertyPath(20, 1), MakeFloatPropertyValue(5));
    e.SetValue(MakeNodePropertyPath(21, 2), MakeFloatPropertyValue(99));  // another node
    TPropertyEvaluationContext ctx;
    ctx.Evaluation = &e;

    TMatrix4 local, expected;
    ComputeEvaluatedLocalMatrix(node, ctx, local);
    MatCompose({5, 2, 3}, {10, 20, 30}, {1, 2, 1}, expected);
    ExpectMatrixNear(local, expected);

    TPropertyValue v;
    ReadEvaluatedPropertyValue(node, 2, ctx, v);
    EXPECT_EQ(v.Float, 2);
    EXPECT_THROW(ReadEvaluatedPropertyValue(node, 11, ctx, v), EGeneralError);
}

TEST(EvaluatedProperties, EntryOfWrongKindIsIgnored)
{
    TSceneGroup node(30);
    TAnimationEvaluation e;
    e.SetValue(MakeNodePropertyPath(30, 7), MakeBooleanPropertyValue(true));  // scale X
    e.SetValue(MakeNodePropertyPath(30, 10), MakeFloatPropertyValue(1));      // visible
    e.SetValue(MakeNodePropertyPath(30, 8), MakeFloatPropertyValue(3));
    TPropertyEvaluationContext ctx{0, 0, 0, &e};
    TPropertyValue v;
    ReadEvaluatedPropertyValue(node, 7, ctx, v);
    EXPECT_EQ(v.Kind, pvkFloat);
    EXPECT_EQ(v.Float, 1);
    ReadEvaluatedPropertyValue(node, 10, ctx, v);
    EXPECT_EQ(v.Kind, pvkBoolean);
    EXPECT_TRUE(v.Bool);
    ReadEvaluatedPropertyValue(node, 8, ctx, v);
    EXPECT_EQ(v.Float, 3);
}

TEST(EvaluatedProperties, WorldMatrixIncludesAnimatedAncestors)
{
    TSceneGroup root(0), parent(40), child(41);
    root.InsertChild(&parent, 0);
    parent.InsertChild(&child, 0);
    root.SetPosition({0, 0, 1});
    parent.SetTransform({1, 0, 0}, {0, 45, 0}, {2, 2, 2});
    child.SetTransform({0, 1, 0}, {10, 0, 0}, {1, 1, 1});

    TPropertyEvaluationContext none;
    TMatrix4 world;
    ComputeEvaluatedWorldMatrix(child, none, world);
    ExpectMatrixNear(world, child.GetWorldMatrix());

    TAnimationEvaluation e;
    e.SetValue(MakeNodePropertyPath(40, 1), MakeFloatPropertyValue(-3));
    TPropertyEvaluationContext ctx{12, 24, 0.5, &e};
    ComputeEvaluatedWorldMatrix(child, ctx, world);
    TMatrix4 r, p, c, rp, expected;
    MatCompose({0, 0, 1}, {0, 0, 0}, {1, 1, 1}, r);
    MatCompose({-3, 0, 0}, {0, 45, 0}, {2, 2, 2}, p);
    MatCompose({0, 1, 0}, {10, 0, 0}, {1, 1, 1}, c);
    MatMultiply(r, p, rp);
    MatMultiply(rp, c, expected);
    ExpectMatrixNear(world, expected);
    // The node's own caches keep the authored transform.
    EXPECT_EQ(parent.GetPosition().X, 1);
}
