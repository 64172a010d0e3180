#include "document/uProjectDocument.h"

#include "base/uCommandHistory.h"
#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "document/uSceneFile.h"
#include "document/uSceneFileReader.h"
#include "floorplan/uFloorPlanDocument.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uSceneObject.h"

TProjectDocument* CurrentProjectDocument = nullptr;

namespace {
constexpr int32_t kHistoryDepth = 1000;
const char* kNotANode = "Property path does not resolve to a scene node";
}  // namespace

TProjectDocument::TProjectDocument()
    : Scene(std::make_unique<TScene>()), Environment(std::make_unique<TCinematicEnvironment>())
{
    Scene->Environment = Environment.get();
    SceneListener =
        Scene->AddChangeListener([this](TScene& Sender, TSceneChangeKind Kind, uint32_t NodeId) {
            SceneChanged(Sender, Kind, NodeId);
        });
    Animation = std::make_unique<TAnimationDocument>();
    FloorPlans = std::make_unique<TFloorPlanDocument>();
    Recorder = std::make_unique<TAnimationRecorder>();
    FloorPlanEditTarget =
        std::make_unique<TFloorPlanTarget>(*Scene, *FloorPlans, [this] { MarkChanged(); });
    History = std::make_unique<TCommandHistory>(kHistoryDepth);
    History->OnStep = [this] { MarkChanged(); };
}

TProjectDocument::~TProjectDocument()
{
    ClearCurrent();
    Scene->RemoveChangeListener(SceneListener);
    // Commands may refer to the documents below; they go first.
    History.reset();
    Recorder.reset();
    FloorPlanEditTarget.reset();
    Animation.reset();
    FloorPlans.reset();
    Scene->Environment = nullptr;
    Scene.reset();
    Environment.reset();
}

TProjectTime& TProjectDocument::GetProjectTime() const
{
    return Animation->ProjectTime;
}

void TProjectDocument::MakeCurrent()
{
    CurrentScene = Scene.get();
    CurrentProjectDocument = this;
}

void TProjectDocument::ClearCurrent()
{
    if (CurrentScene == Scene.get())
        CurrentScene = nullptr;
    if (CurrentProjectDocument == this)
        CurrentProjectDocument = nullptr;
}

void TProjectDocument::Clear()
{
    Scene->Clear();
    Environment->SetDefaults();
    Animation->Clear();
    FloorPlans->Clear();
    Recorder->Clear();
    History->Clear();
    Revision = 0;
    SavedRevision = 0;
    StartIdsFromContents();
}

void TProjectDocument::StartIdsFromContents()
{
    // Past every id the project holds or refers to: its nodes, modifiers, plans, floors
    // and buildings, and the ids its clips, floors and bindings name (a clip or binding
    // may name a node that is not there; a new node must not take that id).
    TDocumentIdCounters largest{0, 0, 0, 0, 0};
    auto note = [](uint32_t& Largest, uint32_t Id) {
        if (Id != kNoId && Id > Largest)
            Largest = Id;
    };
    for (const TSceneNode* node : Scene->GetNodes()) {
        if (node == nullptr)
            continue;
        note(largest.SceneNode, node->GetId());
        if (const auto* object = dynamic_cast<const TSceneObject*>(node)) {
            const TModifierStack& stack = object->GetModifiers();
            for (int32_t i = 0; i < stack.Count(); ++i)
                note(largest.Modifier, stack.GetItem(i)->GetId());
        }
    }
    for (int i = 0; i < Animation->ClipCount(); ++i)
        note(largest.SceneNode, Animation->GetClip(i)->GetNodeId());
    for (int i = 0; i < FloorPlans->PlanCount(); ++i)
        note(largest.FloorPlan, FloorPlans->GetPlan(i)->Id());
    for (int i = 0; i < FloorPlans->BuildingCount(); ++i) {
        const TBuildingDefinition* building = FloorPlans->GetBuilding(i);
        note(largest.Building, building->Id());
        for (int f = 0; f < building->FloorCount(); ++f) {
            note(largest.Floor, building->GetFloor(f)->Id());
            note(largest.FloorPlan, building->GetFloor(f)->PlanId());
        }
    }
    for (int i = 0; i < FloorPlans->BindingCount(); ++i) {
        const TFloorPlanBuildBinding* binding = FloorPlans->GetBinding(i);
        note(largest.SceneNode, binding->RootNodeId);
        note(largest.FloorPlan, binding->PlanId);
        note(largest.Floor, binding->FloorId);
        note(largest.Building, binding->BuildingId);
    }
    // The largest possible id leaves its counter used up: that project can make no more
    // of that kind, the next one starts afresh.
    RestoreDocumentIds({largest.SceneNode + 1, largest.FloorPlan + 1, largest.Floor + 1,
                        largest.Building + 1, largest.Modifier + 1});
}

void TProjectDocument::SaveToFile(const std::string& FileName, bool MarkAsSaved)
{
    SaveSceneToFile(*Scene, FileName, Animation.get(), FloorPlans.get());
    if (MarkAsSaved)
        MarkSaved();
}

void TProjectDocument::LoadFromFile(const std::string& FileName)
{
    auto animation = std::make_unique<TAnimationDocument>();
    auto floorPlans = std::make_unique<TFloorPlanDocument>();
    // The file's ids are its own: it is read with the counters at their start, so ids the
    // open project used up cannot refuse it. A refused file puts them back as they were.
    const TDocumentIdCounters before = SnapshotDocumentIds();
    RestoreDocumentIds({});
    std::string notes;
    try {
        LoadSceneFromFile(*Scene, FileName, animation.get(), floorPlans.get(), &notes,
                          &EvaluationBudget);
    } catch (...) {
        RestoreDocumentIds(before);
        throw;
    }
    LoadNotes = std::move(notes);
    Animation->TakeFrom(*animation);
    FloorPlans->TakeFrom(*floorPlans);
    // Splitting may make plans: from counters past every id the file holds. A file whose
    // plan ids reach the top of the range leaves no id for a copy; its plans stay shared
    // rather than the open failing after the project was replaced.
    StartIdsFromContents();
    try {
        FloorPlans->SplitSharedPlans();
    } catch (const EGeneralError&) {
    }
    Recorder->Clear();
    History->Clear();
    Revision = 0;
    SavedRevision = 0;
}

void TProjectDocument::SceneChanged(TScene& Sender, TSceneChangeKind Kind, uint32_t NodeId)
{
    (void)Sender;
    (void)NodeId;
    if (FloorPlanEditTarget)
        FloorPlanEditTarget->SceneChanged(Kind);
    MarkChanged();
}

TSceneNode* TProjectDocument::FindNode(uint32_t NodeId) const
{
    if (NodeId == 0)
        return Scene->GetRoot();
    return Scene->FindNodeById(NodeId);
}

TFloorPlanBuildBinding* TProjectDocument::FindBindingForNode(uint32_t NodeId) const
{
    return FloorPlanEditTarget->FindBindingForNode(NodeId);
}

void TProjectDocument::GetPropertyValue(const TPropertyPath& Path, TPropertyValue& Value) const
{
    TSceneNode* node = FindNode(Path.NodeId);
    if (!node || Path.ComponentKind != 0)
        throw EGeneralError(kNotANode);
    node->GetPropertyValue(Path.PropertyId, Value);
}

void TProjectDocument::SetPropertyValue(const TPropertyPath& Path, const TPropertyValue& Value,
                                        TPropertyWriteMode WriteMode)
{
    TSceneNode* node = FindNode(Path.NodeId);
    if (!node || Path.ComponentKind != 0)
        throw EGeneralError(kNotANode);
    TPropertyValue old;
    node->GetPropertyValue(Path.PropertyId, old);
    if (PropertyValuesEqual(old, Value))
        return;
    if (WriteMode == pwmUserEdit && old.Kind == Value.Kind) {
        // A write the node will refuse (wrong kind) records nothing: the setter below raises.
        Recorder->RecordTouch(Path, old);
    }
    try {
        node->SetPropertyValue(Path.PropertyId, Value, WriteMode);
    } catch (...) {
        // A refused value (one that would leave a world matrix non-finite) leaves no touch.
        Recorder->ForgetUnchanged(*Scene, Path.NodeId);
        throw;
    }
    if (WriteMode != pwmSilent && WriteMode != pwmEvaluation)
        MarkChanged();
}

void TProjectDocument::CaptureTransformProperties(uint32_t NodeId)
{
    TSceneNode* node = FindNode(NodeId);
    if (!node)
        return;
    for (int32_t id = kNodePropertyPositionX; id <= kNodePropertyScaleZ; ++id) {
        TPropertyValue value;
        node->GetPropertyValue(id, value);
        Recorder->RecordTouch(MakeNodePropertyPath(NodeId, id), value);
    }
}

void TProjectDocument::RestoreRecordedValues()
{
    for (int i = Recorder->Count() - 1; i >= 0; --i) {
        const TRecordedProperty& item = Recorder->GetItem(i);
        TSceneNode* node = FindNode(item.Path.NodeId);
        if (!node || item.Path.ComponentKind != 0)
            continue;
        try {
            node->SetPropertyValue(item.Path.PropertyId, item.Value, pwmRestore);
        } catch (const EGeneralError&) {
            // A node moved below it since the touch would leave the float range with the old
            // value: the node keeps the value it has.
        }
    }
    Recorder->Clear();
}

void TProjectDocument::EvaluateAnimation(int32_t Frame, TAnimationEvaluation* Evaluation) const
{
    if (!Evaluation)
        return;
    Evaluation->Clear();
    std::vector<const TSceneNode*> stack{Scene->GetRoot()};
    while (!stack.empty()) {
        const TSceneNode* node = stack.back();
        stack.pop_back();
        Animation->EvaluateNodeClip(node->GetId(), Frame, Evaluation);
        for (int i = node->ChildCount() - 1; i >= 0; --i)
            stack.push_back(node->GetChild(i));
    }
    if (Frame == Animation->ProjectTime.GetCurrentFrame())
        for (int i = Recorder->Count() - 1; i >= 0; --i)
            Evaluation->Remove(Recorder->GetItem(i).Path);
}

TPropertyEvaluationContext
TProjectDocument::CurrentContext(const TAnimationEvaluation* Evaluation) const
{
    TPropertyEvaluationContext context;
    context.Frame = Animation->ProjectTime.GetCurrentFrame();
    context.FPS = Animation->ProjectTime.GetFPS();
    context.Time = context.FPS > 0 ? static_cast<double>(context.Frame) / context.FPS : 0.0;
    context.Evaluation = Evaluation;
    return context;
}

void TProjectDocument::GetWorldMatrixInContext(uint32_t NodeId,
                                               const TPropertyEvaluationContext& Context,
                                               TMatrix4& M) const
{
    const TSceneNode* node = Scene->FindNodeById(NodeId);
    if (!node) {
        M = MatIdentity();
        return;
    }
    ComputeEvaluatedWorldMatrix(*node, Context, M);
}

void TProjectDocument::GetEvaluatedWorldMatrix(uint32_t NodeId, TMatrix4& M) const
{
    TAnimationEvaluation evaluation;
    EvaluateAnimation(Animation->ProjectTime.GetCurrentFrame(), &evaluation);
    GetWorldMatrixInContext(NodeId, CurrentContext(&evaluation), M);
}

TVec3 TProjectDocument::GetEvaluatedWorldPosition(uint32_t NodeId) const
{
    TMatrix4 m;
    GetEvaluatedWorldMatrix(NodeId, m);
    return MatTransformPoint({0, 0, 0}, m);
}

void TProjectDocument::GetEvaluatedPropertyValue(uint32_t NodeId, int32_t PropertyId,
                                                 TPropertyValue& Value) const
{
    const TSceneNode* node = Scene->FindNodeById(NodeId);
    if (!node) {
        Value = TPropertyValue{};
        return;
    }
    TAnimationEvaluation evaluation;
    EvaluateAnimation(Animation->ProjectTime.GetCurrentFrame(), &evaluation);
    ReadEvaluatedPropertyValue(*node, PropertyId, CurrentContext(&evaluation), Value);
}

TAnimationCommandTarget TProjectDocument::AnimationCommandTarget()
{
    return {Animation.get(), Scene.get(), [this] { MarkChanged(); }};
}
