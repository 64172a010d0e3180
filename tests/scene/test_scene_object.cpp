#include "scene/uSceneObject.h"

#include "base/uErrors.h"
#include "base/uMesh.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierUpdateUVs.h"
#include "terrain/uHeightmap.h"
#include "tests/modifiers/uTestModifiers.h"
#include "tests/scene/small_stack.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TSceneObject> MakePrimitive(TPrimitiveType type, const TVec3& position = {0, 0, 0})
{
    auto object = std::make_unique<TSceneObject>();
    object->PrimType = type;
    object->SetPosition(position);
    object->RebuildPrimitiveMesh();
    return object;
}

// A modifier of a composite type: x' = x * scale + offset.
std::unique_ptr<TAffineTestModifier> CompositeModifier(float scale, float offset)
{
    auto m = std::make_unique<TAffineTestModifier>(scale, offset);
    m->TypeId = "bend";
    return m;
}

float MinX(const TMeshData& mesh)
{
    float x = 1e30f;
    for (const TMeshVertex& v : mesh.Vertices)
        x = std::min(x, v.Position.X);
    return x;
}

}  // namespace

TEST(SceneObject, EvaluatesLazilyAndOnlyAfterAChange)
{
    auto cube = MakePrimitive(ptCube);
    EXPECT_TRUE(cube->IsMeshDirty());
    EXPECT_FALSE(cube->HasEvaluatedMesh());

    // Without modifiers the base mesh is drawn as it is: no copy of it is kept.
    const TMeshData* first = cube->GetEvaluatedMesh();
    ASSERT_TRUE(first);
    EXPECT_EQ(first, cube->GetBaseMesh());
    EXPECT_FALSE(cube->HasEvaluatedMesh());
    EXPECT_FALSE(cube->IsMeshDirty());
    const uint64_t serial = cube->GetMeshSerial();
    EXPECT_GT(serial, 0u);
    EXPECT_EQ(cube->GetEvaluatedMesh(), first);
    EXPECT_EQ(cube->GetMeshSerial(), serial);

    auto owned = std::make_unique<TAffineTestModifier>(1.0f, 2.0f);
    TAffineTestModifier* offset = owned.get();
    EXPECT_EQ(cube->AddModifier(std::move(owned)), 0);
    EXPECT_TRUE(cube->IsMeshDirty());
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), 1.5f);
    EXPECT_TRUE(cube->HasEvaluatedMesh());
    EXPECT_GT(cube->GetMeshSerial(), serial);

    offset->SetOffset(3);  // a parameter change reaches the object through the stack
    EXPECT_TRUE(cube->IsMeshDirty());
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), 2.5f);

    offset->SetEnabled(false);
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), -0.5f);
    EXPECT_EQ(cube->GetEvaluatedMesh()->Vertices, cube->GetBaseMesh()->Vertices);
}

TEST(SceneObject, MeshSerialsAreNeverShared)
{
    auto a = MakePrimitive(ptCube);
    auto b = MakePrimitive(ptCube);
    a->GetEvaluatedMesh();
    b->GetEvaluatedMesh();
    EXPECT_NE(a->GetMeshSerial(), b->GetMeshSerial());
    const uint64_t before = a->GetMeshSerial();
    a->MarkMeshDirty();
    a->GetEvaluatedMesh();
    EXPECT_NE(a->GetMeshSerial(), before);
    EXPECT_NE(a->GetMeshSerial(), b->GetMeshSerial());
}

TEST(SceneObject, ModifierOperationsMarkTheMeshDirty)
{
    auto cube = MakePrimitive(ptCube);
    auto first = std::make_unique<TAffineTestModifier>(2.0f, 0.0f);
    const uint32_t firstId = first->GetId();
    cube->AddModifier(std::move(first));
    cube->AddModifier(std::make_unique<TAffineTestModifier>(1.0f, 1.0f));
    EXPECT_EQ(cube->AddModifier(nullptr), -1);
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), 0.0f);  // -0.5 * 2 + 1

    cube->MoveModifier(1, 0);
    EXPECT_TRUE(cube->IsMeshDirty());
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), 1.0f);  // (-0.5 + 1) * 2

    TModifier* copy = cube->DuplicateModifier(firstId);
    ASSERT_TRUE(copy);
    EXPECT_NE(copy->GetId(), firstId);
    EXPECT_EQ(cube->GetModifiers().IndexOfId(copy->GetId()), 2);
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), 2.0f);
    EXPECT_EQ(cube->DuplicateModifier(0xFFFFFFF0u), nullptr);

    cube->RemoveModifier(copy);
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), 1.0f);
    cube->ClearModifiers();
    EXPECT_EQ(cube->GetModifiers().Count(), 0);
    EXPECT_FLOAT_EQ(MinX(*cube->GetEvaluatedMesh()), -0.5f);
}

TEST(SceneObject, FailedEvaluationKeepsTheLastGoodMeshAndIsNotRepeatedUntilAChange)
{
    auto cube = MakePrimitive(ptCube);
    cube->AddModifier(std::make_unique<TAffineTestModifier>(1.0f, 1.0f));
    const TMeshData* good = cube->GetEvaluatedMesh();
    const uint64_t serial = cube->GetMeshSerial();

    TModifierEvalContext context;
    context.MaxVertices = 30;
    cube->SetEvaluationContext(context);
    auto owned = std::make_unique<TCopiesTestModifier>(2, /*lie=*/true);
    TCopiesTestModifier* copies = owned.get();
    cube->AddModifier(std::move(owned));

    EXPECT_EQ(cube->GetEvaluatedMesh(), good);
    EXPECT_EQ(cube->GetMeshSerial(), serial);
    EXPECT_TRUE(cube->IsMeshDirty());
    EXPECT_EQ(copies->ApplyCount, 1);
    EXPECT_EQ(cube->GetEvaluatedMesh(), good);
    EXPECT_EQ(copies->ApplyCount, 1);

    cube->MarkMeshDirty();
    cube->GetEvaluatedMesh();
    EXPECT_EQ(copies->ApplyCount, 2);

    copies->SetEnabled(false);
    EXPECT_NE(cube->GetMeshSerial(), 0u);
    cube->GetEvaluatedMesh();
    EXPECT_FALSE(cube->IsMeshDirty());
    EXPECT_GT(cube->GetMeshSerial(), serial);
}

TEST(SceneObject, WithoutAnyMeshNothingIsEvaluated)
{
    TSceneObject empty;
    EXPECT_EQ(empty.GetEvaluatedMesh(), nullptr);
    EXPECT_TRUE(empty.IsMeshDirty());
    empty.SetBaseMesh(std::make_unique<TMeshData>());
    EXPECT_NE(empty.GetEvaluatedMesh(), nullptr);
    EXPECT_FALSE(empty.IsMeshDirty());
}

TEST(SceneObject, SameEvaluationContextMarksDirtyOnlyOnce)
{
    auto cube = MakePrimitive(ptCube);
    cube->GetEvaluatedMesh();
    TModifierEvalContext context;
    context.Frame = 12;
    context.FPS = 24;
    context.Time = 0.5;
    cube->SetEvaluationContext(context);
    EXPECT_TRUE(cube->IsMeshDirty());
    cube->GetEvaluatedMesh();

    context.FPS += 5e-7f;
    context.Time += 5e-10;
    cube->SetEvaluationContext(context);
    EXPECT_FALSE(cube->IsMeshDirty());

    context.Frame = 13;
    cube->SetEvaluationContext(context);
    EXPECT_TRUE(cube->IsMeshDirty());
    EXPECT_EQ(cube->GetEvalContext().Frame, 13);
}

TEST(SceneObject, EvaluationHandsTheObjectScaleToTheModifiers)
{
    auto cube = MakePrimitive(ptCube);
    cube->SetScaleY(3);
    auto owned = std::make_unique<TAffineTestModifier>();
    TAffineTestModifier* m = owned.get();
    cube->AddModifier(std::move(owned));
    cube->GetEvaluatedMesh();
    EXPECT_EQ(m->ObjectScale, Vec3(1, 3, 1));
}

// Un-scale UVs reads the object's own scale: changing it must re-run the stack, or the
// editor keeps showing UVs that the file, opened again, would not.
TEST(SceneObject, ChangingTheOwnScaleRerunsAStackThatReadsIt)
{
    auto cube = MakePrimitive(ptCube);
    cube->AddModifier(std::make_unique<TUnscaleUVsModifier>());
    const auto maxU = [&] {
        float u = 0;
        for (const TMeshFace& f : cube->GetEvaluatedMesh()->Faces)
            for (const TVec2& uv : f.UVs)
                u = std::max(u, uv.U);
        return u;
    };
    const float before = maxU();
    cube->SetScaleX(2);
    cube->SetScaleZ(2);
    EXPECT_FLOAT_EQ(maxU(), 2 * before);
    // A move alone leaves the evaluated mesh as it is.
    const uint64_t serial = cube->GetMeshSerial();
    cube->SetPosition({1, 2, 3});
    cube->GetEvaluatedMesh();
    EXPECT_EQ(cube->GetMeshSerial(), serial);
}

TEST(SceneObject, HasCompositeModifierOnlyForEnabledCompositeTypes)
{
    EXPECT_FALSE(HasCompositeModifier(nullptr));
    for (const char* id : {"array_2d", "array_circular", "stretch", "skew", "squeeze", "push",
                           "bend", "wave", "ripple"}) {
        TModifierStack stack;
        auto m = std::make_unique<TAffineTestModifier>();
        m->TypeId = id;
        TModifier* held = m.get();
        stack.Add(std::make_unique<TAffineTestModifier>());
        stack.Add(std::move(m));
        EXPECT_TRUE(HasCompositeModifier(&stack)) << id;
        held->SetEnabled(false);
        EXPECT_FALSE(HasCompositeModifier(&stack)) << id;
    }
    TModifierStack stack;
    auto m = std::make_unique<TAffineTestModifier>();
    m->TypeId = "Bend";
    stack.Add(std::move(m));
    EXPECT_FALSE(HasCompositeModifier(&stack));
}

// An object with a composite modifier over two children: a plane at x = 2 and a group at
// x = 10 holding a cube at x = 1.
class Composite : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = MakePrimitive(ptCube, Vec3(100, 0, 0));
        plane = MakePrimitive(ptPlane, Vec3(2, 0, 0));
        group = std::make_unique<TSceneGroup>();
        group->SetPosition(Vec3(10, 0, 0));
        grandchild = MakePrimitive(ptCube, Vec3(1, 0, 0));
        owner->InsertChild(plane.get(), 0);
        owner->InsertChild(group.get(), 1);
        group->InsertChild(grandchild.get(), 0);
        auto m = CompositeModifier(1, 0);
        bend = m.get();
        owner->AddModifier(std::move(m));
        owner->GetEvaluatedMesh();
        ASSERT_FALSE(owner->IsMeshDirty());
    }
    size_t OwnerVertexCount() { return owner->GetEvaluatedMesh()->Vertices.size(); }

    // Declared before the nodes, so they are destroyed after them.
    std::unique_ptr<TSceneObject> owner;
    std::unique_ptr<TSceneGroup> group;
    std::unique_ptr<TSceneObject> plane, grandchild;
    TAffineTestModifier* bend = nullptr;
};

TEST_F(Composite, ModifiesTheChildrensMeshesInTheOwnersLocalSpace)
{
    const TMeshData& mesh = *owner->GetEvaluatedMesh();
    EXPECT_EQ(mesh.Vertices.size(), 4u + 24u);            // the owner's own cube is not part of it
    EXPECT_FLOAT_EQ(MinX(mesh), 1.75f);                   // plane corner -0.25 + 2
    EXPECT_FLOAT_EQ(mesh.Vertices[4].Position.X, 10.5f);  // first cube vertex -0.5 + 1 + 10
    EXPECT_FALSE(mesh.Edges.empty());

    bend->SetOffset(1);
    EXPECT_FLOAT_EQ(MinX(*owner->GetEvaluatedMesh()), 2.75f);

    bend->SetEnabled(false);
    EXPECT_EQ(owner->GetEvaluatedMesh()->Vertices, owner->GetBaseMesh()->Vertices);
}

TEST_F(Composite, MovingTheOwnerLeavesItsCompositeAlone)
{
    owner->SetPosition(Vec3(-7, 0, 0));
    EXPECT_FALSE(owner->IsMeshDirty());
}

TEST_F(Composite, MovingAGrandchildMarksItsObjectAncestorsButNotItself)
{
    // A plain object between owner and grandchild shows that every object ancestor is marked.
    grandchild->GetEvaluatedMesh();
    plane->InsertChild(grandchild.get(), 0);
    owner->GetEvaluatedMesh();
    plane->GetEvaluatedMesh();
    grandchild->SetPosition(Vec3(3, 0, 0));
    EXPECT_TRUE(plane->IsMeshDirty());
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_FALSE(grandchild->IsMeshDirty());
}

TEST_F(Composite, MovingAGroupBelowTheOwnerRefreshesIt)
{
    group->SetPosition(Vec3(20, 0, 0));
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_FLOAT_EQ(owner->GetEvaluatedMesh()->Vertices[4].Position.X, 20.5f);
}

TEST_F(Composite, LinkingAndUnlinkingDescendantsRefreshesIt)
{
    group->RemoveChild(grandchild.get());
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_EQ(OwnerVertexCount(), 4u);

    owner->InsertChild(grandchild.get(), 0);
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_EQ(OwnerVertexCount(), 28u);

    // Reordering children reorders the composite.
    owner->InsertChild(grandchild.get(), 5);
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_FLOAT_EQ(owner->GetEvaluatedMesh()->Vertices[0].Position.X, 1.75f);
}

TEST_F(Composite, DescendantMeshAndModifierChangesRefreshIt)
{
    grandchild->GetBaseMesh()->Vertices[0].Position.X = -50;
    grandchild->MarkMeshDirty();
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_FLOAT_EQ(MinX(*owner->GetEvaluatedMesh()), -39.0f);

    grandchild->AddModifier(std::make_unique<TAffineTestModifier>(1.0f, -100.0f));
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_FLOAT_EQ(MinX(*owner->GetEvaluatedMesh()), -139.0f);
}

TEST_F(Composite, OwnerWithoutCompositeModifierIgnoresDescendantChanges)
{
    bend->SetEnabled(false);
    owner->GetEvaluatedMesh();
    grandchild->MarkMeshDirty();
    group->RemoveChild(grandchild.get());
    EXPECT_FALSE(owner->IsMeshDirty());
}

TEST_F(Composite, ANestedCompositeOwnerContributesItsResultAndItsDescendantsAgain)
{
    auto m = CompositeModifier(1, 0);
    plane->InsertChild(grandchild.get(), 0);  // plane now owns a composite of the cube
    plane->AddModifier(std::move(m));
    // plane's evaluated mesh is the cube at plane space; then the cube again below it.
    EXPECT_EQ(OwnerVertexCount(), 24u + 24u);
}

TEST_F(Composite, InABatchEveryChangeStillReachesTheAncestorsThatNeedIt)
{
    TSceneNoticeBatch batch;
    grandchild->MarkMeshDirty();
    EXPECT_TRUE(owner->IsMeshDirty());
    // Evaluated in between, the owner hears the next change although the group between
    // them heard one before in this batch.
    owner->GetEvaluatedMesh();
    ASSERT_FALSE(owner->IsMeshDirty());
    grandchild->MarkMeshDirty();
    EXPECT_TRUE(owner->IsMeshDirty());

    // A moved object tells its ancestors of now, whatever those it had before heard.
    grandchild->SetPosition(Vec3(3, 0, 0));
    ASSERT_FALSE(plane->IsMeshDirty());
    plane->InsertChild(group.get(), 0);
    EXPECT_FALSE(plane->IsMeshDirty());  // no composite of its own
    grandchild->SetPosition(Vec3(4, 0, 0));
    EXPECT_TRUE(plane->IsMeshDirty());
}

TEST(SceneObject, ADeepChainOfCompositeOwnersEvaluatesWithoutNestingPerLevel)
{
    // Each owner's composite holds the one below it (empty meshes, so that the composites
    // stay small); the top one also holds a plane. Every owner gathers all below it, so
    // the work grows with the square of the depth: a small stack keeps the depth small.
    constexpr int kDepth = 1000;
    std::vector<std::unique_ptr<TSceneObject>> chain;
    {
        TSceneNoticeBatch batch;
        for (int i = 0; i < kDepth; ++i) {
            auto owner = std::make_unique<TSceneObject>();
            owner->SetBaseMesh(std::make_unique<TMeshData>());
            owner->AddModifier(CompositeModifier(1, 0));
            if (!chain.empty())
                chain.back()->InsertChild(owner.get(), 0);
            chain.push_back(std::move(owner));
        }
    }
    auto plane = MakePrimitive(ptPlane, Vec3(2, 0, 0));
    chain.front()->InsertChild(plane.get(), 1);
    RunOnSmallStack([&] {
        const TMeshData* top = chain.front()->GetEvaluatedMesh();
        ASSERT_NE(top, nullptr);
        EXPECT_EQ(top->Vertices.size(), 4u);
        EXPECT_FLOAT_EQ(MinX(*top), 1.75f);
    });
    for (const auto& owner : chain)
        ASSERT_FALSE(owner->IsMeshDirty());
}

TEST_F(Composite, TooLargeACompositeIsAFailedEvaluationNotAnError)
{
    auto huge = std::make_unique<TSceneObject>();
    auto mesh = std::make_unique<TMeshData>();
    mesh->Vertices.resize(999990);
    huge->SetBaseMesh(std::move(mesh));
    group->InsertChild(huge.get(), 1);
    ASSERT_TRUE(owner->IsMeshDirty());

    std::unique_ptr<TMeshData> gathered;
    int64_t v = 0, f = 0;
    try {
        owner->BuildChildrenMesh(gathered, v, f);
        FAIL() << "no error";
    } catch (const EGeneralError& e) {
        EXPECT_STREQ(e.what(), "GatherDescendantMesh: composite exceeds size limits");
    }
    EXPECT_FALSE(gathered);

    const uint64_t serial = owner->GetMeshSerial();
    const TMeshData* shown = nullptr;
    EXPECT_NO_THROW(shown = owner->GetEvaluatedMesh());
    EXPECT_EQ(shown->Vertices.size(), 28u);  // the last good composite
    EXPECT_EQ(owner->GetMeshSerial(), serial);
    EXPECT_TRUE(owner->IsMeshDirty());
    EXPECT_NO_THROW(owner->GetEvaluatedMesh());

    group->RemoveChild(huge.get());
    EXPECT_EQ(OwnerVertexCount(), 28u);
    EXPECT_FALSE(owner->IsMeshDirty());
    EXPECT_GT(owner->GetMeshSerial(), serial);
}

TEST(SceneObject, PrimitiveRebuilds)
{
    struct Case {
        TPrimitiveType type;
        size_t vertices;
        float radius;
    };
    for (const Case& c :
         {Case{ptCube, 24, 0.87f}, Case{ptSphere, 386, 0.52f}, Case{ptCylinder, 50, 0.72f},
          Case{ptCone, 26, 0.72f}, Case{ptTorus, 384, 0.52f}, Case{ptPlane, 4, 0.3f},
          Case{ptSkybox, 2401, 210.0f}, Case{ptGenerated, 0, 1.0f}}) {
        TSceneObject object;
        object.PrimType = c.type;
        object.Color = Vec3(0.7f, 0.7f, 0.75f);
        object.RebuildPrimitiveMesh();
        ASSERT_TRUE(object.GetBaseMesh());
        EXPECT_EQ(object.GetBaseMesh()->Vertices.size(), c.vertices) << PrimitiveTypeName(c.type);
        EXPECT_FLOAT_EQ(object.GetBoundingRadius(), c.radius);
        EXPECT_TRUE(object.IsMeshDirty());
        for (const TMeshVertex& v : object.GetBaseMesh()->Vertices)
            ASSERT_EQ(v.Color, Vec3(0.7f, 0.7f, 0.75f));
    }
    EXPECT_EQ(PrimitiveTypeName(ptGenerated), "Generated");
    EXPECT_EQ(PrimitiveTypeName(static_cast<TPrimitiveType>(9)), "");
}

TEST(SceneObject, TerrainRebuildFillsInDefaultsAndAHeightmap)
{
    TSceneObject terrain;
    terrain.PrimType = ptTerrain;
    terrain.TerrainHeight = 2;
    terrain.RebuildPrimitiveMesh();
    EXPECT_EQ(terrain.TerrainSize, 4.0f);
    EXPECT_EQ(terrain.TerrainHeight, 2.0f);
    ASSERT_TRUE(terrain.GetHeightmap());
    EXPECT_EQ(terrain.GetHeightmap()->GetResolution(), 128);
    EXPECT_EQ(terrain.GetBaseMesh()->Vertices.size(), 128u * 128u);
    EXPECT_FLOAT_EQ(terrain.GetBoundingRadius(), 2.0f);
    EXPECT_FLOAT_EQ(terrain.GetBaseMesh()->Vertices[0].Position.Y, 1.0f);  // flat at 0.5 * 2

    terrain.GetEvaluatedMesh();
    auto map = std::make_unique<THeightmap>(4);
    terrain.SetHeightmap(std::move(map));
    terrain.RebuildTerrainMesh();
    EXPECT_TRUE(terrain.IsMeshDirty());
    EXPECT_EQ(terrain.GetBaseMesh()->Vertices.size(), 16u);

    TSceneObject cube;
    cube.PrimType = ptCube;
    cube.RebuildTerrainMesh();  // not a terrain: nothing
    EXPECT_FALSE(cube.GetBaseMesh());
}

TEST(SceneObject, DuplicateCopiesEverythingButIdentity)
{
    auto source = MakePrimitive(ptTerrain, Vec3(1, 0, 0));
    source->Name = "Terrain 3";
    source->SetRotationY(30);
    source->SetScaleZ(2);
    source->Selected = true;
    source->SetLocked(true);
    source->TexId = 4;
    source->Blend = vcbTextureOnly;
    source->Color = Vec3(0.1f, 0.2f, 0.3f);
    source->AddModifier(std::make_unique<TAffineTestModifier>(2.0f, 1.0f));
    source->GetModifiers().GetItem(0)->SetEnabled(false);
    TModifierEvalContext context;
    context.Frame = 9;
    source->SetEvaluationContext(context);
    source->GetEvaluatedMesh();

    auto copy = source->Duplicate();
    EXPECT_NE(copy->GetId(), source->GetId());
    EXPECT_EQ(copy->Name, "Terrain 3 copy");
    EXPECT_EQ(copy->GetPosition(), Vec3(1.5f, 0, 0));
    EXPECT_EQ(copy->GetRotation(), source->GetRotation());
    EXPECT_EQ(copy->GetScale(), source->GetScale());
    EXPECT_FALSE(copy->Selected);
    EXPECT_FALSE(copy->GetLocked());
    EXPECT_TRUE(copy->GetVisible());
    EXPECT_EQ(copy->GetParent(), nullptr);
    EXPECT_EQ(copy->TexId, 4);
    EXPECT_EQ(copy->Blend, vcbTextureOnly);
    EXPECT_EQ(copy->TerrainSize, source->TerrainSize);
    ASSERT_TRUE(copy->GetHeightmap());
    EXPECT_NE(copy->GetHeightmap(), source->GetHeightmap());

    ASSERT_EQ(copy->GetModifiers().Count(), 1);
    const TModifier* m = copy->GetModifiers().GetItem(0);
    EXPECT_NE(m->GetId(), source->GetModifiers().GetItem(0)->GetId());
    EXPECT_FALSE(m->GetEnabled());
    EXPECT_EQ(dynamic_cast<const TAffineTestModifier&>(*m).Offset, 1.0f);

    ASSERT_TRUE(copy->GetBaseMesh());
    EXPECT_NE(copy->GetBaseMesh(), source->GetBaseMesh());
    EXPECT_EQ(copy->GetBaseMesh()->Vertices, source->GetBaseMesh()->Vertices);
    EXPECT_FALSE(copy->HasEvaluatedMesh());
    EXPECT_TRUE(copy->IsMeshDirty());
    EXPECT_FALSE(copy->IsContextSet());

    // The copy's stack is wired to the copy.
    copy->GetEvaluatedMesh();
    copy->GetModifiers().GetItem(0)->SetEnabled(true);
    EXPECT_TRUE(copy->IsMeshDirty());
    EXPECT_FALSE(source->IsMeshDirty());
}

TEST(SceneObject, PrimitiveNumbersCountUpAndDisplayColoursAreUnitValues)
{
    const int32_t first = NextPrimitiveNumber();
    EXPECT_EQ(NextPrimitiveNumber(), first + 1);
    for (int i = 0; i < 100; ++i) {
        const TVec3 c = RandomDisplayColor();
        for (float channel : {c.X, c.Y, c.Z}) {
            EXPECT_GE(channel, 0.0f);
            EXPECT_LT(channel, 1.0f);
        }
    }
}

TEST(SceneObject, DestroyingAnObjectFreesItsModifiersWithoutCallingBackIntoIt)
{
    // Freeing the stack clears it, and a clear is a change; a dying object must not pass
    // it on to its ancestors.
    bool freed = false;
    auto parent = MakePrimitive(ptCube);
    parent->AddModifier(CompositeModifier(1, 0));
    auto child = MakePrimitive(ptCube);
    auto m = std::make_unique<TAffineTestModifier>();
    m->OnDestroy = [&](TAffineTestModifier&) { freed = true; };
    child->AddModifier(std::move(m));
    parent->InsertChild(child.get(), 0);
    parent->GetEvaluatedMesh();
    ASSERT_FALSE(parent->IsMeshDirty());
    child.reset();  // still linked: the parent is only freed after this, never evaluated
    EXPECT_TRUE(freed);
    EXPECT_FALSE(parent->IsMeshDirty());
}
