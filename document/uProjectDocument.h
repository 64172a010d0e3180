#pragma once
// The unit of work of the editor: the scene and every per-project document, the
// revision count behind "modified", saving and loading the project as one scene file,
// and the property access and animation-aware queries of the editor.
#include <cstdint>
#include <memory>
#include <string>

#include "base/uMath.h"
#include "document/uLoadBudget.h"
#include "floorplan/uFloorPlanTarget.h"
#include "scene/uAnimationCommands.h"
#include "scene/uPropertyTypes.h"
#include "scene/uScene.h"

class TAnimationDocument;
class TAnimationRecorder;
class TCinematicEnvironment;
class TCommandHistory;
class TFloorPlanDocument;
struct TFloorPlanBuildBinding;
class TProjectTime;

// The write mode of a property write: 0 a user's edit (recorded and counted), 2 and 3
// writes that do not count, 3 an evaluation write (refused by nodes), 4 the restoring
// of recorded values.
using TPropertyWriteMode = int32_t;
constexpr TPropertyWriteMode pwmUserEdit = 0;
constexpr TPropertyWriteMode pwmSilent = 2;
constexpr TPropertyWriteMode pwmEvaluation = 3;
constexpr TPropertyWriteMode pwmRestore = 4;

class TProjectDocument {
public:
    TProjectDocument();
    ~TProjectDocument();
    TProjectDocument(const TProjectDocument&) = delete;
    TProjectDocument& operator=(const TProjectDocument&) = delete;

    TScene& GetScene() const { return *Scene; }
    TCinematicEnvironment& GetEnvironment() const { return *Environment; }
    TAnimationDocument& GetAnimation() const { return *Animation; }
    TFloorPlanDocument& GetFloorPlans() const { return *FloorPlans; }
    TAnimationRecorder& GetRecorder() const { return *Recorder; }
    TCommandHistory& GetHistory() const { return *History; }
    TProjectTime& GetProjectTime() const;

    void MakeCurrent();
    void ClearCurrent();

    int64_t GetRevision() const { return Revision; }
    int64_t GetSavedRevision() const { return SavedRevision; }
    bool IsModified() const { return Revision != SavedRevision; }
    void MarkChanged() { ++Revision; }
    void MarkSaved() { SavedRevision = Revision; }

    // File > New: everything back to an empty project, history and revisions included.
    // New and Open start the id counters afresh from the project's own largest ids, so
    // ids one file used up are not lost to the rest of the session; within one project
    // a counter never moves back.
    void Clear();
    // MarkAsSaved False (the autosave) leaves the modified state as it is.
    void SaveToFile(const std::string& FileName, bool MarkAsSaved);
    // Replaces the project with the file's contents only when the whole file is valid.
    void LoadFromFile(const std::string& FileName);
    // What the user should be told about the file last opened (stacks held, textures
    // left out for the load's budget); empty when nothing.
    const std::string& GetLoadNotes() const { return LoadNotes; }
    // What opening a file may build and spend on the modifier stacks (the default
    // budget unless set).
    void SetEvaluationBudget(const TEvaluationBudget& Budget) { EvaluationBudget = Budget; }
    const TEvaluationBudget& GetEvaluationBudget() const { return EvaluationBudget; }

    TSceneNode* FindNode(uint32_t NodeId) const;
    // The build binding of the node or of its nearest ancestor that has one.
    TFloorPlanBuildBinding* FindBindingForNode(uint32_t NodeId) const;

    void GetPropertyValue(const TPropertyPath& Path, TPropertyValue& Value) const;
    void SetPropertyValue(const TPropertyPath& Path, const TPropertyValue& Value,
                          TPropertyWriteMode WriteMode);
    void CaptureTransformProperties(uint32_t NodeId);
    void RestoreRecordedValues();

    void EvaluateAnimation(int32_t Frame, TAnimationEvaluation* Evaluation) const;
    void GetWorldMatrixInContext(uint32_t NodeId, const TPropertyEvaluationContext& Context,
                                 TMatrix4& M) const;
    void GetEvaluatedWorldMatrix(uint32_t NodeId, TMatrix4& M) const;
    TVec3 GetEvaluatedWorldPosition(uint32_t NodeId) const;
    void GetEvaluatedPropertyValue(uint32_t NodeId, int32_t PropertyId,
                                   TPropertyValue& Value) const;
    // What the animation commands edit: this project's animation and scene, counting
    // each run and undo as a change.
    TAnimationCommandTarget AnimationCommandTarget();
    // What floor-plan builds and commands edit: this project's scene and plans, counting
    // each edit as a change.
    TFloorPlanTarget* FloorPlanTarget() { return FloorPlanEditTarget.get(); }

    // The evaluation context of the current frame around Evaluation.
    TPropertyEvaluationContext CurrentContext(const TAnimationEvaluation* Evaluation) const;

private:
    void StartIdsFromContents();
    void SceneChanged(TScene& Sender, TSceneChangeKind Kind, uint32_t NodeId);

    std::unique_ptr<TScene> Scene;
    std::unique_ptr<TCinematicEnvironment> Environment;
    std::unique_ptr<TAnimationDocument> Animation;
    std::unique_ptr<TFloorPlanDocument> FloorPlans;
    std::unique_ptr<TAnimationRecorder> Recorder;
    std::unique_ptr<TFloorPlanTarget> FloorPlanEditTarget;
    std::unique_ptr<TCommandHistory> History;
    TSceneChangeListenerId SceneListener = 0;
    int64_t Revision = 0;
    int64_t SavedRevision = 0;
    std::string LoadNotes;
    TEvaluationBudget EvaluationBudget;
};

// The document the cinematic window works on.
extern TProjectDocument* CurrentProjectDocument;
