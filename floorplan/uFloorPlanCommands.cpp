#include "floorplan/uFloorPlanCommands.h"

#include <algorithm>

#include "base/uErrors.h"
#include "floorplan/uFloorPlanBuild.h"
#include "floorplan/uFloorPlanTarget.h"
#include "scene/uScene.h"
#include "scene/uSceneNode.h"

namespace {

const char* const kBuildNeedsDocument = "Build requires a document";
const char* const kSourcePlanMissing = "Source floor plan is missing";

// Same id, name, settings, stored points and revision.
bool SamePlanState(const TFloorPlan& a, const TFloorPlan& b)
{
    if (a.Id() != b.Id() || a.Name() != b.Name() || a.Revision() != b.Revision() ||
        !(a.Settings() == b.Settings()))
        return false;
    const TFloorPlanPointArray pa = a.GetPoints();
    const TFloorPlanPointArray pb = b.GetPoints();
    return std::equal(pa.begin(), pa.end(), pb.begin(), pb.end(), FloorPlanPointsEqual);
}

void CollectSubtree(const TSceneNode* Node, std::vector<const TSceneNode*>& Out)
{
    // Users may put anything, however deep, under a generated group.
    WalkSubtreePreOrder(Node, 0, [&](const TSceneNode& n, int, int&) {
        Out.push_back(&n);
        return true;
    });
}

}  // namespace

// ---- build commands ----

TFloorPlanBuildCommandBase::TFloorPlanBuildCommandBase(TFloorPlanTarget* Document,
                                                       uint32_t ParentNodeId)
    : Document(Document), ParentNodeId(ParentNodeId)
{
    if (!Document)
        throw EArgumentError(kBuildNeedsDocument);
}

TSceneNode* TFloorPlanBuildCommandBase::BuildParent() const
{
    TSceneNode* parent = Document->FindNode(ParentNodeId);
    return parent ? parent : Document->GetScene().GetRoot();
}

void TFloorPlanBuildCommandBase::Undo()
{
    TScene& scene = Document->GetScene();
    TSceneNode* root = RootNodeId != kNoId ? scene.FindNodeById(RootNodeId) : nullptr;
    if (!root || root == scene.GetRoot() || !Attached)
        return;
    TSceneNode* parent = root->GetParent();
    UndoneParentId = parent ? parent->GetId() : kNoId;
    SiblingIndex = parent ? parent->IndexOfChild(root) : -1;

    // The bindings of every root in the tree, to be put back as they are by a redo.
    TFloorPlanDocument& doc = Document->GetFloorPlans();
    std::vector<const TSceneNode*> nodes;
    CollectSubtree(root, nodes);
    KeptBindings.clear();
    for (const TSceneNode* node : nodes)
        if (const TFloorPlanBuildBinding* b = doc.FindBinding(node->GetId()))
            KeptBindings.push_back(
                {b->RootNodeId, b->PlanId, b->FloorId, b->BuildingId, b->SourceHash});
    doc.DeleteBinding(RootNodeId);

    DetachedRoot = scene.DetachSubtree(root);
    Attached = false;
}

void TFloorPlanBuildCommandBase::Reinsert()
{
    CheckRedo();
    TScene& scene = Document->GetScene();
    TSceneNode* parent = UndoneParentId != kNoId ? Document->FindNode(UndoneParentId) : nullptr;
    if (!parent)
        parent = BuildParent();
    if (!scene.InsertSubtree(DetachedRoot, parent, SiblingIndex))
        throw EGeneralError("Unable to restore the generated floor-plan content");
    TFloorPlanDocument& doc = Document->GetFloorPlans();
    if (RestoresBindings())
        for (const TKeptBinding& b : KeptBindings)
            doc.SetBinding(b.RootNodeId, b.PlanId, b.FloorId, b.BuildingId, b.SourceHash);
    Attached = true;
}

TBuildFloorPlanCommand::TBuildFloorPlanCommand(TFloorPlanTarget* Document, uint32_t PlanId,
                                               uint32_t ParentNodeId, uint32_t FloorId,
                                               uint32_t BuildingId)
    : TFloorPlanBuildCommandBase(Document, ParentNodeId), PlanId(PlanId), FloorId(FloorId),
      BuildingId(BuildingId)
{
}

std::unique_ptr<TBuildFloorPlanCommand>
TBuildFloorPlanCommand::CreateForPlan(TFloorPlanTarget* Document, uint32_t PlanId,
                                      uint32_t ParentNodeId)
{
    return std::make_unique<TBuildFloorPlanCommand>(Document, PlanId, ParentNodeId, kNoId, kNoId);
}

void TBuildFloorPlanCommand::Execute()
{
    if (Attached)
        return;
    if (DetachedRoot) {
        Reinsert();
        return;
    }
    TSceneGroup* group = nullptr;
    std::string message;
    if (!BuildFloorGroup(Document, PlanId, BuildParent(), FloorId, BuildingId, group, message))
        throw EGeneralError(message);
    RootNodeId = group->GetId();
    SiblingIndex = group->GetParent()->IndexOfChild(group);
    Attached = true;
}

void TBuildFloorPlanCommand::CheckRedo() const
{
    if (!Document->GetFloorPlans().FindPlan(PlanId))
        throw EGeneralError(kSourcePlanMissing);
}

TBuildBuildingCommand::TBuildBuildingCommand(TFloorPlanTarget* Document, uint32_t BuildingId,
                                             uint32_t ParentNodeId)
    : TFloorPlanBuildCommandBase(Document, ParentNodeId), BuildingId(BuildingId)
{
}

void TBuildBuildingCommand::Execute()
{
    if (Attached)
        return;
    if (DetachedRoot) {
        Reinsert();
        return;
    }
    TSceneGroup* group = nullptr;
    std::string message;
    if (!BuildBuildingGroup(Document, BuildingId, BuildParent(), group, message))
        throw EGeneralError(message);
    RootNodeId = group->GetId();
    SiblingIndex = group->GetParent()->IndexOfChild(group);
    Attached = true;
}

bool TBuildBuildingCommand::RestoresBindings() const
{
    return Document->GetFloorPlans().FindBuilding(BuildingId) != nullptr;
}

// ---- edit commands ----

TEditFloorPlanCommand::TEditFloorPlanCommand(TFloorPlanTarget* Document, uint32_t PlanId,
                                             const TFloorPlan* Before, const TFloorPlan* After)
    : Document(Document), PlanId(PlanId)
{
    if (!Document)
        throw EArgumentError("Floor-plan edit requires a document");
    if (!Before || !After)
        throw EArgumentError("Floor-plan edit snapshots are missing");
    this->Before = Before->Clone();
    this->After = After->Clone();
}

void TEditFloorPlanCommand::Apply(const TFloorPlan& Snapshot, const TFloorPlan& Expected)
{
    TFloorPlan* plan = Document->GetFloorPlans().FindPlan(PlanId);
    if (!plan)
        throw EGeneralError(kSourcePlanMissing);
    const std::unique_ptr<TFloorPlan> previous = plan->Clone();
    const bool changedOutside = !SamePlanState(*plan, Expected) && !SamePlanState(*plan, Snapshot);
    plan->Assign(&Snapshot);
    if (changedOutside) {
        // Output may have been stamped with the snapshot's revision for another state of
        // the plan; a revision none of the known states has keeps it from looking current.
        const int64_t highest =
            std::max({previous->Revision(), Before->Revision(), After->Revision()});
        plan->SetRevision(static_cast<int64_t>(static_cast<uint64_t>(highest) + 1));
    }
    std::string message;
    if (plan->Validate(message) && !UpdateBuildsOfPlan(Document, PlanId, message)) {
        if (TFloorPlan* again = Document->GetFloorPlans().FindPlan(PlanId))
            again->Assign(previous.get());
        throw EGeneralError(message);
    }
    Document->MarkChanged();
}

TEditFloorSettingsCommand::TEditFloorSettingsCommand(TFloorPlanTarget* Document, uint32_t FloorId,
                                                     const TFloorDefinition* Before,
                                                     const TFloorDefinition* After)
    : Document(Document), FloorId(FloorId)
{
    if (!Document)
        throw EArgumentError("Floor settings edit requires a document");
    if (!Before || !After)
        throw EArgumentError("Floor settings snapshots are missing");
    this->Before = Before->Clone();
    this->After = After->Clone();
}

void TEditFloorSettingsCommand::Apply(const TFloorDefinition& Snapshot)
{
    TFloorDefinition* floor = Document->GetFloorPlans().FindFloor(FloorId);
    if (!floor)
        throw EGeneralError("Source floor is missing");
    const std::unique_ptr<TFloorDefinition> previous = floor->Clone();
    floor->Assign(&Snapshot);
    std::string message;
    if (!UpdateBuildsOfFloor(Document, FloorId, message)) {
        if (TFloorDefinition* again = Document->GetFloorPlans().FindFloor(FloorId))
            again->Assign(previous.get());
        throw EGeneralError(message);
    }
    Document->MarkChanged();
}
