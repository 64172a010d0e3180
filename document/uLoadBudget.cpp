#include "document/uLoadBudget.h"

#include "base/uMesh.h"
#include "modifiers/uModifierBudget.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <algorithm>
#include <utility>

namespace {

TMeshCounts Sum(const TMeshCounts& A, const TMeshCounts& B)
{
    const auto add = [](int64_t X, int64_t Y) { return std::min(X + Y, kCountCeiling); };
    return {add(A.Vertices, B.Vertices), add(A.Faces, B.Faces), add(A.Triangles, B.Triangles),
            add(A.Quads, B.Quads), add(A.Edges, B.Edges)};
}

}  // namespace

std::vector<std::string> HoldStacksPastBudget(TScene& Scene, const TEvaluationBudget& Budget)
{
    std::vector<std::string> held;
    int64_t vertices = 0, faces = 0, work = 0;
    // Post-order without recursion: Below[n] is the sum of what every descendant of n
    // shows, which is what a composite owner gathers.
    struct TFrame {
        TSceneNode* Node;
        size_t Next;
        TMeshCounts Below;
    };
    std::vector<TFrame> stack;
    stack.push_back({Scene.GetRoot(), 0, {}});
    while (!stack.empty()) {
        TFrame& top = stack.back();
        if (top.Next < top.Node->GetChildren().size()) {
            TSceneNode* child = top.Node->GetChildren()[top.Next++];
            stack.push_back({child, 0, {}});
            continue;
        }
        TFrame done = std::move(stack.back());
        stack.pop_back();
        TMeshCounts shown;
        if (auto* object = dynamic_cast<TSceneObject*>(done.Node)) {
            const TMeshData* base = object->GetBaseMesh();
            const TMeshCounts own = base ? CountMesh(*base) : TMeshCounts{};
            shown = own;
            const TModifierStack& modifiers = object->GetModifiers();
            const bool composite = object->ChildCount() > 0 && HasCompositeModifier(&modifiers) &&
                                   (done.Below.Vertices > 0 || done.Below.Faces > 0);
            if ((base || composite) && HasEnabledModifier(modifiers)) {
                const TStackEstimate e = EstimateStack(composite ? done.Below : own, modifiers);
                const bool fits =
                    e.PeakVertices <= Budget.MaxVertices && e.PeakFaces <= Budget.MaxFaces &&
                    e.Output.Vertices <= Budget.MaxVertices - vertices &&
                    e.Output.Faces <= Budget.MaxFaces - faces && e.Work <= Budget.MaxWork - work;
                if (fits) {
                    vertices += e.Output.Vertices;
                    faces += e.Output.Faces;
                    work += e.Work;
                    shown = e.Output;
                } else {
                    object->HoldEvaluation(
                        "Not evaluated on opening: with the rest of the scene its modifiers "
                        "would build more than " +
                        std::to_string(Budget.MaxVertices) + " vertices or " +
                        std::to_string(Budget.MaxFaces) +
                        " faces, or take too long. Change a modifier to evaluate it.");
                    held.push_back(object->Name);
                }
            }
        }
        if (!stack.empty())
            stack.back().Below = Sum(stack.back().Below, Sum(shown, done.Below));
    }
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
