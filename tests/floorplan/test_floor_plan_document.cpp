#include "base/uErrors.h"
#include "floorplan/uFloorPlanDocument.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

void SetSquare(TFloorPlan* plan)
{
    plan->SetPoints({{0, 0}, {4, 0}, {4, 3}, {0, 3}, {0, 0}});
}

}  // namespace

TEST(FloorPlanDocument, PlansTakeFreshIdsAndNumberedNames)
{
    TFloorPlanDocument doc;
    TFloorPlan* a = doc.AddPlan("");
    TFloorPlan* b = doc.AddPlan("Plan 4");
    TFloorPlan* c = doc.AddPlan("Hall");
    EXPECT_EQ(a->Name(), "Plan 1");
    EXPECT_EQ(doc.AddPlan("")->Name(), "Plan 4");  // the count decides, even with a namesake
    EXPECT_NE(a->Id(), b->Id());
    EXPECT_EQ(doc.IndexOfPlan(c->Id()), 2);
    EXPECT_EQ(doc.FindPlan(b->Id()), b);
    EXPECT_EQ(doc.FindPlan(kNoId), nullptr);
    EXPECT_EQ(doc.IndexOfPlan(kNoId), -1);
}

TEST(FloorPlanDocument, LoadedPlansKeepTheirIdsAndMoveTheCounter)
{
    TFloorPlanDocument doc;
    const uint32_t high = doc.AddPlan("")->Id() + 500;
    EXPECT_TRUE(doc.AddLoadedPlan(std::make_unique<TFloorPlan>(high, "Loaded")));
    EXPECT_FALSE(doc.AddLoadedPlan(std::make_unique<TFloorPlan>(high, "Again")));
    EXPECT_FALSE(doc.AddLoadedPlan(std::make_unique<TFloorPlan>(kNoId, "None")));
    EXPECT_FALSE(doc.AddLoadedPlan(nullptr));
    EXPECT_EQ(doc.PlanCount(), 2);
    EXPECT_GT(doc.AddPlan("")->Id(), high);
}

TEST(FloorPlanDocument, FloorsAndBuildings)
{
    TFloorPlanDocument doc;
    TBuildingDefinition* building = doc.DefaultBuilding();
    EXPECT_EQ(building->Name(), "Building 1");
    EXPECT_EQ(doc.DefaultBuilding(), building);
    EXPECT_EQ(doc.AddBuilding("")->Name(), "Building 2");

    TFloorDefinition* f1 = building->AddFloor(5, "");
    TFloorDefinition* f0 = building->InsertFloor(-3, 6, "");  // clamped to 0
    TFloorDefinition* f2 = building->InsertFloor(99, kNoId, "Roof");
    EXPECT_EQ(f1->Name(), "Floor 1");
    EXPECT_EQ(f0->Name(), "Floor 1");
    EXPECT_EQ(f0->PlanId(), 6u);
    EXPECT_EQ(building->GetFloor(2), f2);
    EXPECT_FALSE(f2->OverrideSettings());
    EXPECT_NE(f0->Id(), f1->Id());

    building->MoveFloor(0, 2);
    EXPECT_EQ(building->GetFloor(2), f0);
    building->MoveFloor(0, 3);  // out of range: nothing
    EXPECT_EQ(building->GetFloor(0), f1);
    EXPECT_EQ(doc.FindFloor(f2->Id()), f2);
    EXPECT_FALSE(building->DeleteFloor(3));
    const uint32_t deleted = f1->Id();
    EXPECT_TRUE(building->DeleteFloor(0));
    EXPECT_EQ(building->FloorCount(), 2);
    EXPECT_EQ(doc.FindFloor(deleted), nullptr);
}

TEST(FloorPlanDocument, ExplicitIdsAreReservedAndClonesKeepTheSourceId)
{
    const TFloorDefinition fresh(0, "");
    const uint32_t high = fresh.Id() + 1000;
    TFloorDefinition floor(high, "Kept");
    EXPECT_EQ(floor.Id(), high);
    EXPECT_GT(TFloorDefinition(0, "").Id(), high);
    const auto copy = floor.Clone();
    EXPECT_EQ(copy->Id(), high);
    EXPECT_EQ(copy->Name(), "Kept");
    EXPECT_EQ(TFloorDefinition(kNoId, "").Id() == kNoId, false);  // none never becomes an id

    TBuildingDefinition building(0, "B");
    building.AddFloor(1, "");
    building.AddFloor(2, "");
    const auto bcopy = building.Clone();
    EXPECT_EQ(bcopy->Id(), building.Id());
    ASSERT_EQ(bcopy->FloorCount(), 2);
    EXPECT_EQ(bcopy->GetFloor(1)->Id(), building.GetFloor(1)->Id());
    EXPECT_NE(bcopy->GetFloor(1), building.GetFloor(1));
    building.Assign(&building);
    EXPECT_EQ(building.FloorCount(), 2);

    auto expectNilError = [](auto action, const char* text) {
        try {
            action();
            FAIL() << "no error";
        } catch (const EArgumentError& e) {
            EXPECT_STREQ(e.what(), text);
        }
    };
    expectNilError([&] { floor.Assign(nullptr); }, "Cannot assign a nil floor");
    expectNilError([&] { building.Assign(nullptr); }, "Cannot assign a nil building");
    TFloorPlanDocument doc;
    expectNilError([&] { doc.Assign(nullptr); }, "Cannot assign a nil floor-plan document");
}

TEST(FloorPlanDocument, DeletePlanRefusesUsedPlansAndDropsItsBindings)
{
    TFloorPlanDocument doc;
    TFloorPlan* used = doc.AddPlan("");
    TFloorPlan* free = doc.AddPlan("");
    const uint32_t usedId = used->Id(), freeId = free->Id();
    doc.DefaultBuilding()->AddFloor(usedId, "");
    doc.SetBinding(10, freeId, kNoId, kNoId, 0);
    doc.SetBinding(11, usedId, kNoId, kNoId, 0);
    doc.SetBinding(12, freeId, kNoId, kNoId, 0);

    EXPECT_TRUE(doc.IsPlanInUse(usedId));
    EXPECT_FALSE(doc.DeletePlan(usedId));  // no binding needed to refuse
    EXPECT_FALSE(doc.DeletePlan(kNoId));
    EXPECT_TRUE(doc.DeletePlan(freeId));
    EXPECT_EQ(doc.PlanCount(), 1);
    ASSERT_EQ(doc.BindingCount(), 1);
    EXPECT_EQ(doc.GetBinding(0)->RootNodeId, 11u);
}

TEST(FloorPlanDocument, BindingsAreKeyedByRootAndNeverOnTheSceneRoot)
{
    TFloorPlanDocument doc;
    EXPECT_EQ(doc.SetBinding(0, 1, kNoId, kNoId, 1), nullptr);
    EXPECT_EQ(doc.SetBinding(kNoId, 1, kNoId, kNoId, 1), nullptr);
    EXPECT_EQ(doc.BindingCount(), 0);

    TFloorPlanBuildBinding* b = doc.SetBinding(5, 1, kNoId, kNoId, 1);
    EXPECT_EQ(doc.SetBinding(5, 2, 3, 4, 99), b);
    EXPECT_EQ(doc.BindingCount(), 1);
    EXPECT_EQ(b->PlanId, 2u);
    EXPECT_EQ(b->SourceHash, 99u);
    EXPECT_EQ(doc.FindBindingForPlan(2), b);
    doc.DeleteBinding(6);
    doc.DeleteBinding(5);
    EXPECT_EQ(doc.BindingCount(), 0);
}

TEST(FloorPlanDocument, EffectiveSettingsFollowTheOverride)
{
    TFloorPlanDocument doc;
    TFloorPlan* plan = doc.AddPlan("");
    TFloorSettings planSettings = DefaultFloorSettings();
    planSettings.Height = 4;
    plan->SetSettings(planSettings);
    TFloorDefinition* floor = doc.DefaultBuilding()->AddFloor(plan->Id(), "");
    TFloorSettings own = DefaultFloorSettings();
    own.Height = 2.5f;
    floor->SetSettings(own);

    TFloorSettings s;
    EXPECT_EQ(doc.GetEffectiveSettings(floor->Id(), plan, s), floor);
    EXPECT_EQ(s.Height, 4);
    floor->SetOverrideSettings(true);
    doc.GetEffectiveSettings(floor->Id(), plan, s);
    EXPECT_EQ(s.Height, 2.5f);
    EXPECT_EQ(doc.GetEffectiveSettings(kNoId, nullptr, s), nullptr);
    EXPECT_EQ(s, DefaultFloorSettings());

    own.WallThickness = std::numeric_limits<float>::quiet_NaN();
    EXPECT_FALSE(floor->SetSettings(own));
    EXPECT_EQ(floor->Settings().Height, 2.5f);
    EXPECT_EQ(floor->Settings().WallThickness, 0.2f);
}

TEST(FloorPlanHash, PinnedValues)
{
    // Stored REV values in files depend on these exact numbers.
    TFloorPlanDocument doc;
    ASSERT_TRUE(doc.AddLoadedPlan(std::make_unique<TFloorPlan>(3, "P")));
    doc.FindPlan(3)->SetRevision(7);
    auto building = std::make_unique<TBuildingDefinition>(9, "B");
    auto f5 = std::make_unique<TFloorDefinition>(5, "Ground");
    f5->SetPlanId(3);
    auto f6 = std::make_unique<TFloorDefinition>(6, "Upper");
    f6->SetPlanId(3);
    f6->SetOverrideSettings(true);
    f6->SetSettings({2.5f, 0.25f, 0.2f, rtTruncatedPyramid, 1.0f, 0.5f});
    building->AppendFloor(std::move(f5));
    building->AppendFloor(std::move(f6));
    ASSERT_TRUE(doc.AddLoadedBuilding(std::move(building)));

    EXPECT_EQ(kFloorPlanHashSeed, 1469598103934665603ull);
    EXPECT_EQ(doc.FloorSourceHash(5), 620992869529701220ull);
    EXPECT_EQ(doc.FloorSourceHash(6), 5325207900648298863ull);
    EXPECT_EQ(doc.BuildingSourceHash(doc.FindBuilding(9)), 14544106162780655970ull);
    EXPECT_EQ(doc.FloorSourceHash(12345), kFloorPlanHashSeed);
    EXPECT_EQ(doc.BuildingSourceHash(nullptr), kFloorPlanHashSeed);
}

TEST(FloorPlanHash, ChangesWithTheSourceOnly)
{
    TFloorPlanDocument doc;
    TFloorPlan* plan = doc.AddPlan("");
    SetSquare(plan);
    TBuildingDefinition* building = doc.AddBuilding("");
    TFloorDefinition* floor = building->AddFloor(plan->Id(), "");
    building->AddFloor(plan->Id(), "");

    uint64_t h = doc.FloorSourceHash(floor->Id());
    uint64_t bh = doc.BuildingSourceHash(building);
    auto expectFloor = [&](bool changed, const char* what) {
        const uint64_t now = doc.FloorSourceHash(floor->Id());
        EXPECT_EQ(now != h, changed) << what;
        h = now;
    };
    auto expectBuilding = [&](bool changed, const char* what) {
        const uint64_t now = doc.BuildingSourceHash(building);
        EXPECT_EQ(now != bh, changed) << what;
        bh = now;
    };

    floor->SetName("Renamed");
    plan->SetName(plan->Name());
    building->SetName("Tower");
    expectFloor(false, "names do not enter");
    expectBuilding(false, "names do not enter");

    TFloorSettings s = plan->Settings();
    s.Height = 5;
    plan->SetSettings(s);
    expectFloor(true, "plan settings bump the plan revision");
    expectBuilding(true, "through the floor hash");

    s.Height = 2;
    floor->SetSettings(s);
    expectFloor(false, "own settings while the override is off");
    floor->SetOverrideSettings(true);
    expectFloor(true, "override switched on");
    s.RoofType = rtFlat;
    floor->SetSettings(s);
    expectFloor(true, "own settings with the override on");
    floor->SetOverrideSettings(false);
    expectFloor(true, "override switched off");

    building->MoveFloor(0, 1);
    expectBuilding(true, "floors reordered");
    building->AddFloor(kNoId, "");
    expectBuilding(true, "floor added");

    const uint32_t planId = plan->Id();
    building->ClearFloors();
    TFloorDefinition* orphan = building->AddFloor(planId, "");
    const uint64_t withPlan = doc.FloorSourceHash(orphan->Id());
    building->ClearFloors();  // the plan is now unused and can go
    ASSERT_TRUE(doc.DeletePlan(planId));
    TFloorDefinition* again = building->AddFloor(planId, "");
    EXPECT_NE(doc.FloorSourceHash(again->Id()), withPlan);
}

TEST(FloorPlanHash, ANegativeZeroSettingHashesAsZero)
{
    // The file writes -0 as 0: a floor whose typed value kept the sign must hash the same
    // after reopening, or every binding of it turns stale with nothing changed.
    TFloorPlanDocument doc;
    TFloorPlan* plan = doc.AddPlan("");
    SetSquare(plan);
    TFloorDefinition* floor = doc.AddBuilding("")->AddFloor(plan->Id(), "");
    floor->SetOverrideSettings(true);
    TFloorSettings s = DefaultFloorSettings();
    s.RoofType = rtFlat;
    s.RoofInset = 0.0f;
    s.RoofRise = 0.0f;
    floor->SetSettings(s);
    const uint64_t positive = doc.FloorSourceHash(floor->Id());
    s.RoofInset = -0.0f;
    s.RoofRise = -0.0f;
    floor->SetSettings(s);
    EXPECT_EQ(doc.FloorSourceHash(floor->Id()), positive);
    EXPECT_EQ(HashMixSingle(kFloorPlanHashSeed, -0.0f), HashMixSingle(kFloorPlanHashSeed, 0.0f));
    EXPECT_NE(HashMixSingle(kFloorPlanHashSeed, 1.0f), HashMixSingle(kFloorPlanHashSeed, -1.0f));
}

TEST(FloorPlanHash, StalenessOfTheThreeKinds)
{
    TFloorPlanDocument doc;
    TFloorPlan* plan = doc.AddPlan("");
    SetSquare(plan);
    TBuildingDefinition* building = doc.AddBuilding("");
    TFloorDefinition* floor = building->AddFloor(plan->Id(), "");

    TFloorPlanBuildBinding* planBinding =
        doc.SetBinding(1, plan->Id(), kNoId, kNoId, static_cast<uint64_t>(plan->Revision()));
    TFloorPlanBuildBinding* floorBinding = doc.SetBinding(
        2, plan->Id(), floor->Id(), building->Id(), doc.FloorSourceHash(floor->Id()));
    TFloorPlanBuildBinding* buildingBinding =
        doc.SetBinding(3, kNoId, kNoId, building->Id(), doc.BuildingSourceHash(building));
    EXPECT_TRUE(doc.IsBindingStale(nullptr));
    EXPECT_FALSE(doc.IsBindingStale(planBinding));
    EXPECT_FALSE(doc.IsBindingStale(floorBinding));
    EXPECT_FALSE(doc.IsBindingStale(buildingBinding));

    plan->MovePoint(1, {5, 0});
    EXPECT_TRUE(doc.IsBindingStale(planBinding));
    EXPECT_TRUE(doc.IsBindingStale(floorBinding));
    EXPECT_TRUE(doc.IsBindingStale(buildingBinding));

    doc.SetBinding(1, plan->Id(), kNoId, kNoId, static_cast<uint64_t>(plan->Revision()));
    EXPECT_FALSE(doc.IsBindingStale(planBinding));
    building->DeleteFloor(0);
    EXPECT_TRUE(doc.IsBindingStale(floorBinding));  // its floor is gone
}

TEST(FloorPlanSplit, SharedPlanGetsOneCopyPerFloor)
{
    TFloorPlanDocument doc;
    TFloorPlan* shared = doc.AddPlan("Plan 1");
    SetSquare(shared);
    const int64_t rev = shared->Revision();
    TBuildingDefinition* building = doc.AddBuilding("");
    TFloorDefinition* f1 = building->AddFloor(shared->Id(), "Floor 1");
    TFloorDefinition* f2 = building->AddFloor(shared->Id(), "Floor 2");

    EXPECT_TRUE(doc.SplitSharedPlans());
    ASSERT_EQ(doc.PlanCount(), 3);
    EXPECT_EQ(doc.GetPlan(0), shared);
    EXPECT_FALSE(doc.IsPlanInUse(shared->Id()));
    TFloorPlan* p1 = doc.GetPlan(1);
    TFloorPlan* p2 = doc.GetPlan(2);
    EXPECT_EQ(p1->Name(), "Plan 1 - Floor 1");
    EXPECT_EQ(p2->Name(), "Plan 1 - Floor 2");
    EXPECT_EQ(f1->PlanId(), p1->Id());
    EXPECT_EQ(f2->PlanId(), p2->Id());
    EXPECT_NE(p1->Id(), shared->Id());
    EXPECT_EQ(p1->Revision(), rev + 2);
    EXPECT_EQ(p2->GetPoints().size(), 5u);
    EXPECT_EQ(p2->Settings(), shared->Settings());
    EXPECT_FALSE(doc.SplitSharedPlans());
}

TEST(FloorPlanSplit, CurrentBindingsStayCurrentAndStaleOnesStale)
{
    TFloorPlanDocument doc;
    TFloorPlan* shared = doc.AddPlan("");
    SetSquare(shared);
    TBuildingDefinition* building = doc.AddBuilding("");
    TFloorDefinition* f1 = building->AddFloor(shared->Id(), "");
    TFloorDefinition* f2 = building->AddFloor(shared->Id(), "");
    TFloorPlanBuildBinding* current = doc.SetBinding(20, shared->Id(), f1->Id(), building->Id(), 0);
    current->SourceHash = doc.FloorSourceHash(f1->Id());
    TFloorPlanBuildBinding* stale =
        doc.SetBinding(21, shared->Id(), f2->Id(), building->Id(), 12345);
    TFloorPlanBuildBinding* whole =
        doc.SetBinding(22, kNoId, kNoId, building->Id(), doc.BuildingSourceHash(building));
    TFloorPlanBuildBinding* planOnly =
        doc.SetBinding(23, shared->Id(), kNoId, kNoId, static_cast<uint64_t>(shared->Revision()));
    ASSERT_TRUE(doc.IsBindingStale(stale));

    ASSERT_TRUE(doc.SplitSharedPlans());
    EXPECT_EQ(current->PlanId, f1->PlanId());
    EXPECT_FALSE(doc.IsBindingStale(current));
    EXPECT_FALSE(doc.IsBindingStale(whole));
    EXPECT_EQ(stale->PlanId, f2->PlanId());  // follows its floor ...
    EXPECT_TRUE(doc.IsBindingStale(stale));  // ... but its output is still out of date
    EXPECT_EQ(planOnly->PlanId, shared->Id());
    EXPECT_FALSE(doc.IsBindingStale(planOnly));
}

TEST(FloorPlanDocument, AssignClonesEverythingInOrder)
{
    TFloorPlanDocument doc;
    SetSquare(doc.AddPlan("A"));
    doc.AddPlan("B");
    doc.AddBuilding("")->AddFloor(doc.GetPlan(0)->Id(), "");
    doc.SetBinding(4, doc.GetPlan(1)->Id(), kNoId, kNoId, 3);

    TFloorPlanDocument copy;
    copy.AddPlan("old");
    copy.Assign(&doc);
    ASSERT_EQ(copy.PlanCount(), 2);
    EXPECT_EQ(copy.GetPlan(1)->Name(), "B");
    EXPECT_NE(copy.GetPlan(0), doc.GetPlan(0));
    EXPECT_EQ(copy.GetPlan(0)->Revision(), doc.GetPlan(0)->Revision());
    ASSERT_EQ(copy.BuildingCount(), 1);
    EXPECT_EQ(copy.GetBuilding(0)->GetFloor(0)->Id(), doc.GetBuilding(0)->GetFloor(0)->Id());
    ASSERT_EQ(copy.BindingCount(), 1);
    EXPECT_EQ(copy.GetBinding(0)->SourceHash, 3u);
    copy.Assign(&copy);
    EXPECT_EQ(copy.PlanCount(), 2);
    copy.Clear();
    EXPECT_EQ(copy.PlanCount() + copy.BuildingCount() + copy.BindingCount(), 0);
}
