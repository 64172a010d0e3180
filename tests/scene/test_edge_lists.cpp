// Every way a mesh reaches an object leaves its edge list current, so the deforming
// modifiers, which pass their source's edge list through, hand on a current one too.
#include "base/uMesh.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

::testing::AssertionResult EdgesCurrent(const TMeshData* Mesh)
{
    if (!Mesh)
        return ::testing::AssertionFailure() << "no mesh";
    TMeshData rebuilt = *Mesh;
    rebuilt.RebuildEdges();
    if (rebuilt.Edges == Mesh->Edges)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure()
           << Mesh->Edges.size() << " edges held, " << rebuilt.Edges.size() << " current";
}

// A quad strip whose last two faces were appended after the edges were built.
std::unique_ptr<TMeshData> StaleStrip()
{
    auto m = std::make_unique<TMeshData>();
    for (int i = 0; i < 8; ++i) {
        TMeshVertex v;
        v.Position = Vec3(float(i / 2), float(i % 2), 0.1f * float(i));
        m->AddVertex(v);
    }
    m->AddQuad(0, 2, 3, 1);
    m->RebuildEdges();
    m->AddQuad(2, 4, 5, 3);
    m->AddQuad(4, 6, 7, 5);
    return m;
}

}  // namespace

TEST(EdgeLists, PrimitivesDuplicatesAndHandedMeshesAreCurrent)
{
    TScene scene;
    for (TPrimitiveType t :
         {ptCube, ptSphere, ptCylinder, ptCone, ptTorus, ptPlane, ptSkybox, ptTerrain}) {
        TSceneObject* o = scene.AddPrimitive(t);
        EXPECT_TRUE(EdgesCurrent(o->GetBaseMesh())) << int(t);
        const std::unique_ptr<TSceneObject> copy = o->Duplicate();
        EXPECT_TRUE(EdgesCurrent(copy->GetBaseMesh())) << int(t);
    }
    std::unique_ptr<TMeshData> stale = StaleStrip();
    ASSERT_FALSE(EdgesCurrent(stale.get()));
    TSceneObject* o = scene.AddMeshObject("Strip", std::move(stale), nullptr);
    EXPECT_TRUE(EdgesCurrent(o->GetBaseMesh()));
    o->SetBaseMesh(StaleStrip());
    EXPECT_TRUE(EdgesCurrent(o->GetBaseMesh()));
}

// The fault this guards against: a deform of a source whose edges were left stale handed
// the stale list on as the evaluated mesh's.
TEST(EdgeLists, EveryModifierOnAnObjectGivesCurrentEdges)
{
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    TScene scene;
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i) {
        TSceneObject* o = scene.AddMeshObject("Strip", StaleStrip(), nullptr);
        std::unique_ptr<TModifier> modifier = CreateModifierByIndex(i);
        ASSERT_TRUE(modifier);
        const std::string type = modifier->GetTypeId();
        o->AddModifier(std::move(modifier));
        EXPECT_TRUE(EdgesCurrent(o->GetEvaluatedMesh())) << type;
    }
}
