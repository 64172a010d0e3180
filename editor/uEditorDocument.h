#pragma once
// The project as the main window holds it: the scene with its environment, the animation,
// the touched-property recorder, the floor plans and the command history, with the
// revision count, the animation-aware queries and the save the editor calls. It offers
// the project document's names, so the window keeps the same calls when it moves over.
#include "floorplan/uFloorPlanDocument.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uCommandHistory.h"
#include "scene/uPropertyTypes.h"
#include "scene/uScene.h"

#include <cstdint>
#include <memory>
#include <string>

class TEditorDocument {
public:
    TEditorDocument();
    ~TEditorDocument();
    TEditorDocument(const TEditorDocument&) = delete;
    TEditorDocument& operator=(const TEditorDocument&) = delete;

    TScene& GetScene() { return *Scene; }
    TCinematicEnvironment& GetEnvironment() { return *Environment; }
    TAnimationDocument& GetAnimation() { return *Animation; }
    TAnimationRecorder& GetRecorder() { return *Recorder; }
    TCommandHistory& GetHistory() { return *History; }
    TFloorPlanDocument& GetFloorPlans() { return *FloorPlans; }
    TProjectTime& GetProjectTime() { return Animation->ProjectTime; }

    void MakeCurrent();
    void ClearCurrent();
    void MarkChanged() { ++Revision; }
    void MarkSaved() { SavedRevision = Revision; }
    bool IsModified() const { return Revision != SavedRevision; }

    // Every node's clip at Frame, pre-order from the root; at the current frame the
    // properties the user has touched keep their authored values.
    void EvaluateAnimation(int32_t Frame, TAnimationEvaluation* Evaluation) const;
    TVec3 GetEvaluatedWorldPosition(uint32_t NodeId);
    // The scene file with its safe-save steps; MarkAsSaved False (the autosave) leaves the
    // modified state as it is.
    void SaveToFile(const std::string& FileName, bool MarkAsSaved);

private:
    void SceneChanged(TSceneChangeKind Kind, uint32_t NodeId);

    // Declared so that the scene goes before the environment it links, and the history
    // (whose commands hold scene content) before the scene.
    std::unique_ptr<TCinematicEnvironment> Environment;
    std::unique_ptr<TScene> Scene;
    std::unique_ptr<TAnimationDocument> Animation;
    std::unique_ptr<TFloorPlanDocument> FloorPlans;
    std::unique_ptr<TAnimationRecorder> Recorder;
    std::unique_ptr<TCommandHistory> History;
    TSceneChangeListenerId Listener = 0;
    int64_t Revision = 0;
    int64_t SavedRevision = 0;
};
