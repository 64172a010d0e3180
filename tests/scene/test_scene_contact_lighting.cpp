// The scene's side of the contact lighting: settings from the environment, the light rig,
// the refresh and what the exchange of contents does to the caches.
#include "scene/uScene.h"

#include "base/uMesh.h"
#include "scene/uCinematicEnvironment.h"

#include <gtest/gtest.h>

namespace {

// A cube resting on a plane, the cube's id kept.
class SceneContactLightingTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Scene.AddPrimitive(ptPlane);
        TSceneObject* cube = Scene.AddPrimitive(ptCube);
        cube->SetTransform({0, 0.5f, 0}, {0, 0, 0}, {1, 1, 1});
        CubeId = cube->GetId();
    }
    const TContactMeshResult* CubeResults()
    {
        auto* cube = dynamic_cast<TSceneObject*>(Scene.FindNodeById(CubeId));
        return Scene.GetContactCache().FindResults(CubeId, cube->GetMeshSerial());
    }
    TScene Scene;
    uint32_t CubeId = 0;
};

TContactLightRig RedKeyRig()
{
    TContactLightRig rig;
    DefaultContactLightRig(rig);
    rig.KeyColor = {1, 0, 0};
    rig.KeyIntensity = 0.5f;
    return rig;
}

TEST_F(SceneContactLightingTest, SettingsAreTheDefaultsWithTheEnvironmentsSevenFields)
{
    TContactLightingSettings defaults, s;
    DefaultContactLightingSettings(defaults);
    Scene.GetContactLightingSettings(s);
    EXPECT_EQ(s.Radius, defaults.Radius);
    EXPECT_TRUE(s.Enabled);

    TCinematicEnvironment env;
    env.ContactLightingOn = false;
    env.SetContactRadius(1.25f);
    env.SetContactStrength(0.3f);
    env.SetSunShadow(0.2f);
    env.SetColorBleed(0.4f);
    env.SetMinimumShade(0.6f);
    env.SetContactRayCount(5);
    Scene.Environment = &env;
    Scene.GetContactLightingSettings(s);
    EXPECT_FALSE(s.Enabled);
    EXPECT_EQ(s.Radius, env.ContactRadius);
    EXPECT_EQ(s.ContactStrength, env.ContactStrength);
    EXPECT_EQ(s.SunShadow, env.SunShadow);
    EXPECT_EQ(s.ColorBleed, env.ColorBleed);
    EXPECT_EQ(s.MinimumShade, env.MinimumShade);
    EXPECT_EQ(s.RayCount, 5);
    // The ground always keeps its defaults.
    EXPECT_EQ(s.GroundPlane, defaults.GroundPlane);
    EXPECT_EQ(s.GroundHeight, defaults.GroundHeight);
    EXPECT_EQ(s.GroundColor, defaults.GroundColor);
    Scene.Environment = nullptr;
}

TEST_F(SceneContactLightingTest, RefreshBuildsOnceWithTheScenesRigUntilInvalidated)
{
    TCinematicEnvironment env;
    env.SetContactRadius(0.9f);
    Scene.Environment = &env;
    EXPECT_TRUE(Scene.ContactLightingNeedsRefresh());
    Scene.SetContactLightRig(RedKeyRig());
    Scene.RefreshContactLighting();
    const TContactLightingCache& cache = Scene.GetContactCache();
    ASSERT_TRUE(cache.IsBuilt());
    EXPECT_TRUE(cache.IsLit());
    EXPECT_FALSE(Scene.ContactLightingNeedsRefresh());
    EXPECT_EQ(cache.GetSettings().Radius, 0.9f);
    EXPECT_EQ(cache.GetRig().KeyColor, (TVec3{1, 0, 0}));
    ASSERT_NE(CubeResults(), nullptr);
    // The cube's bottom corners sit on the plane: shaded.
    float darkest = 1;
    for (const TContactLightingResult& r : CubeResults()->Results)
        darkest = std::min(darkest, r.Factor);
    EXPECT_LT(darkest, 1.0f);

    // A new rig is kept but does not touch the cache; neither does an edit.
    TContactLightRig rig;
    DefaultContactLightRig(rig);
    Scene.SetContactLightRig(rig);
    TContactLightRig back;
    Scene.GetContactLightRig(back);
    EXPECT_EQ(back.KeyColor, rig.KeyColor);
    Scene.AddPrimitive(ptSphere);
    Scene.RefreshContactLighting();
    EXPECT_EQ(cache.GetRig().KeyColor, (TVec3{1, 0, 0}));
    EXPECT_EQ(cache.GetEntries().size(), 2u);

    Scene.InvalidateContactLighting();
    EXPECT_TRUE(Scene.ContactLightingNeedsRefresh());
    Scene.RefreshContactLighting();
    EXPECT_EQ(cache.GetEntries().size(), 3u);
    EXPECT_EQ(cache.GetRig().KeyColor, rig.KeyColor);
    Scene.Environment = nullptr;
}

TEST_F(SceneContactLightingTest, TheSwitchesDecideWhatARefreshDoes)
{
    TContactLightingCache& cache = Scene.GetContactCache();
    // Without an environment: the defaults, so it builds; nothing ever needs a refresh.
    EXPECT_FALSE(Scene.ContactLightingNeedsRefresh());
    Scene.RefreshContactLighting();
    EXPECT_TRUE(cache.IsBuilt());
    EXPECT_EQ(cache.GetSettings().Radius, TContactLightingSettings{}.Radius);

    // The environment's switch off: the cache is switched off and not rebuilt.
    TCinematicEnvironment env;
    env.ContactLightingOn = false;
    Scene.Environment = &env;
    Scene.InvalidateContactLighting();
    EXPECT_FALSE(Scene.ContactLightingNeedsRefresh());
    Scene.RefreshContactLighting();
    EXPECT_FALSE(cache.IsEnabled());
    EXPECT_FALSE(cache.IsBuilt());

    // The scene's switch off: nothing at all, not even the cache's own switch.
    env.ContactLightingOn = true;
    Scene.SetContactLightingEnabled(false);
    EXPECT_TRUE(Scene.ContactLightingNeedsRefresh());  // the scene's switch is not asked
    Scene.RefreshContactLighting();
    EXPECT_FALSE(cache.IsEnabled());
    EXPECT_FALSE(cache.IsBuilt());

    Scene.SetContactLightingEnabled(true);
    Scene.RefreshContactLighting();
    EXPECT_TRUE(cache.IsEnabled());
    EXPECT_TRUE(cache.IsBuilt());
    Scene.Environment = nullptr;
}

TEST_F(SceneContactLightingTest, SwapContentsClearsBothCachesAndCopiesTheOtherRig)
{
    TScene staging;
    staging.AddPrimitive(ptTorus);
    staging.SetContactLightRig(RedKeyRig());
    Scene.RefreshContactLighting();
    staging.RefreshContactLighting();
    TContactLightingCache* ownCache = &Scene.GetContactCache();
    TContactLightingCache* stagingCache = &staging.GetContactCache();
    TCinematicEnvironment env;
    Scene.Environment = &env;
    Scene.SetContactLightingEnabled(false);

    Scene.SwapContents(staging);
    // The cache objects stay where they are, emptied.
    EXPECT_EQ(&Scene.GetContactCache(), ownCache);
    EXPECT_EQ(&staging.GetContactCache(), stagingCache);
    for (TContactLightingCache* c : {ownCache, stagingCache}) {
        EXPECT_FALSE(c->IsBuilt());
        EXPECT_FALSE(c->IsLit());
        EXPECT_TRUE(c->GetEntries().empty());
        EXPECT_TRUE(c->GetTriangles().empty());
    }
    // The rig is copied, not exchanged: the staging scene keeps its own.
    TContactLightRig rig, stagingRig;
    Scene.GetContactLightRig(rig);
    staging.GetContactLightRig(stagingRig);
    EXPECT_EQ(rig.KeyColor, (TVec3{1, 0, 0}));
    EXPECT_EQ(stagingRig.KeyColor, (TVec3{1, 0, 0}));
    // Environment and switch are not part of the exchange.
    EXPECT_EQ(Scene.Environment, &env);
    EXPECT_EQ(staging.Environment, nullptr);
    EXPECT_FALSE(Scene.ContactLightingOn);
    EXPECT_TRUE(staging.ContactLightingOn);

    // The next refresh lights the new contents.
    Scene.SetContactLightingEnabled(true);
    Scene.RefreshContactLighting();
    ASSERT_EQ(Scene.GetContactCache().GetEntries().size(), 1u);
    EXPECT_EQ(Scene.GetContactCache().GetEntries()[0].NodeId, Scene.GetFirstObject()->GetId());
    Scene.Environment = nullptr;
}

}  // namespace
