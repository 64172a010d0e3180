#include "document/uLoadBudget.h"

#include "base/uMesh.h"
#include "base/uWorkMeter.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifiers.h"
#include "scene/uProjectTime.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <utility>

namespace {

// The context the first drawing gives every object at that frame: an evaluation for any
// other context would be thrown away by it.
TModifierEvalContext FrameContext(const TProjectTime& Time, TSceneObject* Owner)
{
    TModifierEvalContext c;
    c.Frame = Time.GetCurrentFrame();
    c.FPS = Time.GetFPS();
    c.Time = c.FPS > 0 ? static_cast<double>(c.Frame) / c.FPS : 0.0;
    c.MaxVertices = kDefaultEvalLimit;
    c.MaxFaces = kDefaultEvalLimit;
    c.Weight = 1.0f;
    c.Owner = Owner;
    return c;
}

// The scene's objects, every one after its descendants.
std::vector<TSceneObject*> ObjectsChildrenFirst(TScene& Scene)
{
    std::vector<TSceneObject*> order;
    for (TSceneNode* node : SubtreePostOrder(Scene.GetRoot()))
        if (auto* object = dynamic_cast<TSceneObject*>(node))
            order.push_back(object);
    return order;
}

}  // namespace

std::vector<std::string> EvaluateWithinBudget(TScene& Scene, const TEvaluationBudget& Budget,
                                              const TProjectTime* Time, int64_t* WorkUsed)
{
    std::vector<std::string> held;
    TWorkMeter meter(Budget.MaxWork);
    // What the objects evaluated so far really built.
    int64_t vertices = 0, faces = 0;
    for (TSceneObject* object : ObjectsChildrenFirst(Scene)) {
        const TEvaluationBounds bounds{Budget.MaxVertices - vertices, Budget.MaxFaces - faces,
                                       &meter};
        const TBoundedEvaluation outcome =
            Time ? object->EvaluateInContext(FrameContext(*Time, object), &bounds)
                 : object->EvaluateWithin(bounds);
        if (outcome.Stopped) {
            object->HoldEvaluation(
                "Not evaluated on opening: with the rest of the scene its modifier \"" +
                outcome.Step.substr(0, 80) + "\" would build more than " +
                std::to_string(Budget.MaxVertices) + " vertices or " +
                std::to_string(Budget.MaxFaces) +
                " faces, or take too long. Change a modifier to evaluate it.");
            held.push_back(object->Name);
        }
        if (object->HasEvaluatedMesh()) {
            const TMeshData* built = object->GetEvaluatedMesh();
            vertices += static_cast<int64_t>(built->Vertices.size());
            faces += static_cast<int64_t>(built->Faces.size());
        }
    }
    if (WorkUsed)
        *WorkUsed = meter.Used();
    return held;
}

std::string HeldStacksNote(const std::vector<std::string>& Names)
{
    if (Names.empty())
        return {};
    std::string note = "The modifiers of " + std::to_string(Names.size()) +
                       (Names.size() == 1 ? " object were" : " objects were") +
                       " not applied: together they would build more than the scene can hold "
                       "or take too long. They are kept, and an object's modifiers are "
                       "applied again when you change one of them:";
    constexpr size_t kListed = 10;
    for (size_t i = 0; i < Names.size() && i < kListed; ++i)
        note += (i == 0 ? " " : ", ") + Names[i].substr(0, 80);
    if (Names.size() > kListed)
        note += " and " + std::to_string(Names.size() - kListed) + " more";
    return note + ".";
}
