#pragma once
// Runs the enabled modifiers of a stack over a mesh, one after the other, within output
// limits. A step that is refused, raises, or produces non-finite or invalid output stops
// the run; the caller then gets the mesh of the steps before it and a message naming the
// modifier. Nothing leaves Evaluate as an exception.
#include "base/uMath.h"

#include "base/uMesh.h"
#include "base/uWorkMeter.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class TModifier;
class TModifierStack;
class TSceneObject;

// The output limit that a MaxVertices or MaxFaces of 0 or less stands for.
constexpr int64_t kDefaultEvalLimit = 1000000;

struct TModifierEvalContext {
    TVec3 ObjectScale{1, 1, 1};
    TMatrix4 Matrix = MatIdentity();
    int32_t Frame = 0;
    float FPS = 0;
    double Time = 0;  // seconds: Frame / FPS
    int64_t MaxVertices = kDefaultEvalLimit;
    int64_t MaxFaces = kDefaultEvalLimit;
    float Weight = 1.0f;
    bool CompositeInput = false;  // the source is the composite of the owner's descendants
    TSceneObject* Owner = nullptr;
    // Counts the work of the run and stops it past its bound (opening a file); none while
    // editing. Not the scene object's to keep: it stores its context without one.
    TWorkMeter* Meter = nullptr;
};

struct TModifierEvaluationResult {
    bool Success = false;
    // The final mesh, or after a failure the last good one; the caller owns it.
    std::unique_ptr<TMeshData> Mesh;
    // Stack index of the failing modifier: 0 on success, -1 when the run failed outside
    // any modifier (for example out of memory copying the source).
    int32_t FailedIndex = 0;
    std::string FailedTypeId;
    std::string Message;
    // OR of the apply flags of every modifier that ran successfully.
    int32_t Flags = 0;
    // The run stopped because the caller's gate refused the step at FailedIndex.
    bool Refused = false;
};

// Asked before each enabled step with the mesh that step would receive; False stops the
// run there without running the step (a caller that admits work as it really grows).
using TModifierStepGate = std::function<bool(const TModifier& Modifier, const TMeshData& Input)>;

// Memory one evaluation leaves for the next, so that evaluating the same object again
// writes into pages it already has instead of fresh ones (the first write to a fresh page
// costs far more than the deform pass itself).
struct TModifierEvalBuffers {
    std::unique_ptr<TMeshData> Mesh;  // taken as the working mesh when set
    std::vector<TMeshVertex> Spare;   // the other vertex buffer of vertex-only steps
};

class TModifierEvaluator {
public:
    // True exactly when every enabled modifier succeeded. Without a Source: False,
    // Success False and no mesh. Source is never changed. With Buffers, the working mesh
    // and the spare vertex buffer come from them and the spare goes back; the result's
    // mesh is never one the caller still holds. With a Gate, a step it refuses fails the
    // run like a step over the limits, with Refused set.
    bool Evaluate(const TMeshData* Source, const TModifierStack& Stack,
                  const TModifierEvalContext& Context, TModifierEvaluationResult& Result,
                  TModifierEvalBuffers* Buffers = nullptr,
                  const TModifierStepGate* Gate = nullptr) const;
};

// Empties Dest and copies Source's vertices and faces (edges are not rebuilt). Nothing
// unless both are given.
void CopyMeshArrays(const TMeshData* Source, TMeshData* Dest);
// False for no mesh; True when no position component is NaN or infinite.
bool MeshPositionsFinite(const TMeshData* Mesh);
// False for no mesh; True when every face has 3 or 4 corners, each in range.
bool MeshFacesValid(const TMeshData* Mesh);
