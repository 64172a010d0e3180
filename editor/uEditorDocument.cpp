#include "editor/uEditorDocument.h"

#include "scene/uErrors.h"

#if __has_include("scene/uSceneFile.h")
#include "scene/uSceneFile.h"
#define QUILL_HAVE_SCENE_FILE 1
#endif

#include <functional>
#include <vector>

TEditorDocument::TEditorDocument()
    : Environment(std::make_unique<TCinematicEnvironment>()), Scene(std::make_unique<TScene>()),
      Animation(std::make_unique<TAnimationDocument>()), FloorPlans(std::make_unique<TFloorPlanDocument>()),
      Recorder(std::make_unique<TAnimationRecorder>()), History(std::make_unique<TCommandHistory>(1000))
{
    Scene->Environment = Environment.get();
    Listener = Scene->AddChangeListener(
        [this](TScene&, TSceneChangeKind Kind, uint32_t NodeId) { SceneChanged(Kind, NodeId); });
}

TEditorDocument::~TEditorDocument()
{
    ClearCurrent();
    Scene->RemoveChangeListener(Listener);
    History.reset();
    Recorder.reset();
    Animation.reset();
    FloorPlans.reset();
    Scene->Environment = nullptr;
    Scene.reset();
    Environment.reset();
}

void TEditorDocument::MakeCurrent()
{
    CurrentScene = Scene.get();
}

void TEditorDocument::ClearCurrent()
{
    if (CurrentScene == Scene.get()) CurrentScene = nullptr;
}

void TEditorDocument::SceneChanged(TSceneChangeKind Kind, uint32_t)
{
    if (Kind == sckNodeRemoved) {
        for (int i = FloorPlans->BindingCount() - 1; i >= 0; --i) {
            const uint32_t root = FloorPlans->GetBinding(i)->RootNodeId;
            if (!Scene->FindNodeById(root)) FloorPlans->DeleteBinding(root);
        }
    }
    MarkChanged();
}

void TEditorDocument::EvaluateAnimation(int32_t Frame, TAnimationEvaluation* Evaluation) const
{
    if (!Evaluation) return;
    Evaluation->Clear();
    std::function<void(const TSceneNode*)> walk = [&](const TSceneNode* n) {
        Animation->EvaluateNodeClip(n->GetId(), Frame, Evaluation);
        for (const TSceneNode* c : n->GetChildren()) walk(c);
    };
    walk(Scene->GetRoot());
    if (Frame == Animation->ProjectTime.GetCurrentFrame())
        for (int i = Recorder->Count() - 1; i >= 0; --i) Evaluation->Remove(Recorder->GetItem(i).Path);
}

TVec3 TEditorDocument::GetEvaluatedWorldPosition(uint32_t NodeId)
{
    const TSceneNode* node = NodeId == 0 ? Scene->GetRoot() : Scene->FindNodeById(NodeId);
    if (!node) return Vec3(0, 0, 0);
    TAnimationEvaluation evaluation;
    const int32_t frame = Animation->ProjectTime.GetCurrentFrame();
    EvaluateAnimation(frame, &evaluation);
    TPropertyEvaluationContext context;
    context.Frame = frame;
    context.FPS = Animation->ProjectTime.GetFPS();
    context.Time = context.FPS > 0 ? double(frame) / double(context.FPS) : 0.0;
    context.Evaluation = &evaluation;
    TMatrix4 m;
    ComputeEvaluatedWorldMatrix(*node, context, m);
    return MatTransformPoint(Vec3(0, 0, 0), m);
}

void TEditorDocument::SaveToFile(const std::string& FileName, bool MarkAsSaved)
{
#ifdef QUILL_HAVE_SCENE_FILE
    SaveSceneToFile(*Scene, FileName, Animation.get(), FloorPlans.get());
    if (MarkAsSaved) MarkSaved();
#else
    (void)FileName;
    (void)MarkAsSaved;
    throw EInOutError("The scene file writer is not available");
#endif
}
