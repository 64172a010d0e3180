#pragma once
// What floor-plan builds and their commands work on: the scene that receives the
// generated groups, the plan document that holds the sources and bindings, and a
// callback for "the project changed". The project document owns one; tests can make
// their own over a bare scene and plan document.
#include <cstdint>
#include <functional>

class TScene;
class TSceneNode;
class TFloorPlanDocument;
struct TFloorPlanBuildBinding;

class TFloorPlanTarget {
public:
    TFloorPlanTarget(TScene& Scene, TFloorPlanDocument& FloorPlans,
                     std::function<void()> Changed = {});

    TScene& GetScene() const { return *Scene; }
    TFloorPlanDocument& GetFloorPlans() const { return *FloorPlans; }
    // The node with this id; id 0 is the scene root.
    TSceneNode* FindNode(uint32_t NodeId) const;
    // The binding of the node or of its nearest bound ancestor.
    TFloorPlanBuildBinding* FindBindingForNode(uint32_t NodeId) const;
    void MarkChanged() const;
    // Keeps the bindings in step with the scene after a change notification: a root that
    // left is unbound (and kept aside), a root that came back is bound again.
    void SceneChanged(int Kind) const;

private:
    TScene* Scene;
    TFloorPlanDocument* FloorPlans;
    std::function<void()> Changed;
};
