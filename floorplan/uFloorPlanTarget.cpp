#include "floorplan/uFloorPlanTarget.h"

#include "floorplan/uFloorPlanDocument.h"
#include "scene/uScene.h"

#include <utility>

TFloorPlanTarget::TFloorPlanTarget(TScene& Scene, TFloorPlanDocument& FloorPlans,
                                   std::function<void()> Changed)
    : Scene(&Scene), FloorPlans(&FloorPlans), Changed(std::move(Changed))
{
}

TSceneNode* TFloorPlanTarget::FindNode(uint32_t NodeId) const
{
    if (NodeId == 0)
        return Scene->GetRoot();
    return Scene->FindNodeById(NodeId);
}

TFloorPlanBuildBinding* TFloorPlanTarget::FindBindingForNode(uint32_t NodeId) const
{
    for (const TSceneNode* node = Scene->FindNodeById(NodeId); node; node = node->GetParent())
        if (TFloorPlanBuildBinding* binding = FloorPlans->FindBinding(node->GetId()))
            return binding;
    return nullptr;
}

void TFloorPlanTarget::MarkChanged() const
{
    if (Changed)
        Changed();
}

void TFloorPlanTarget::SceneChanged(int Kind) const
{
    const auto inScene = [this](uint32_t Id) { return Scene->FindNodeById(Id) != nullptr; };
    if (Kind == sckNodeRemoved)
        FloorPlans->SetAsideBindingsOfMissingRoots(inScene);
    else if (Kind == sckNodeAdded)
        FloorPlans->RestoreBindingsOfReturnedRoots(inScene);
}
