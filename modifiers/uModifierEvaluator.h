#pragma once
// Runs the enabled modifiers of a stack over a mesh, one after the other, within output
// limits. A step that is refused, raises, or produces non-finite or invalid output stops
// the run; the caller then gets the mesh of the steps before it and a message naming the
// modifier. Nothing leaves Evaluate as an exception.
//
// With a work meter in the context (opening a file), each step is charged the mesh it
// receives before it runs and the mesh it builds after; the kernels charge their own
// loops that can run longer than that. A step that passes the meter's bound fails like
// any other, with OutOfWork set.
#include "base/uMath.h"

#include "base/uMesh.h"
#include "base/uWorkMeter.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TModifier;
class TModifierStack;
class TSceneObject;

// The output limit that a MaxVertices or MaxFaces of 0 or less stands for.
constexpr int64_t kDefaultEvalLimit = 1000000;

// Work units the evaluator charges, each about a nanosecond of one core (the figures
// per modifier are in bench/bench_work_meter.cpp): a step that only moves vertices, per
// vertex; any other step, per vertex and per face it receives (read) and per vertex and
// per face it builds (written to fresh memory, checked, its edges listed), which is where
// the time goes; the copy of the source as a mesh built.
constexpr int64_t kVertexPassUnits = 4;
constexpr int64_t kInputElementUnits = 8;
constexpr int64_t kMeshElementUnits = 56;

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
    // The step at FailedIndex passed the bound of the context's work meter.
    bool OutOfWork = false;
    // The step at FailedIndex was refused for its estimate (Estimated) or its output
    // passing the vertex or face limit; FailedVertices and FailedFaces are the counts
    // that did.
    bool OverLimits = false;
    bool Estimated = false;
    int64_t FailedVertices = 0;
    int64_t FailedFaces = 0;
};

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
    // mesh is never one the caller still holds.
    bool Evaluate(const TMeshData* Source, const TModifierStack& Stack,
                  const TModifierEvalContext& Context, TModifierEvaluationResult& Result,
                  TModifierEvalBuffers* Buffers = nullptr) const;
};

// The limit a context's MaxVertices or MaxFaces stands for.
inline int64_t EffectiveEvalLimit(int64_t Limit)
{
    return Limit <= 0 ? kDefaultEvalLimit : Limit;
}
// The message of a step refused for its estimate: "Name: output exceeds limits (...)".
std::string LimitMessage(const std::string& Name, int64_t Vertices, int64_t Faces,
                         int64_t MaxVertices, int64_t MaxFaces);
// What the evaluator charges for a step building Mesh: also the price of copying a mesh
// of that size elsewhere.
int64_t MeshWorkUnits(const TMeshData& Mesh);
int64_t MeshWorkUnits(int64_t Vertices, int64_t Faces);
// What the evaluator charges for a building step receiving Mesh.
int64_t MeshInputUnits(const TMeshData& Mesh);

// Empties Dest and copies Source's vertices and faces (edges are not rebuilt). Nothing
// unless both are given.
void CopyMeshArrays(const TMeshData* Source, TMeshData* Dest);
// False for no mesh; True when no position component is NaN or infinite.
bool MeshPositionsFinite(const TMeshData* Mesh);
// False for no mesh; True when every face has 3 or 4 corners, each in range.
bool MeshFacesValid(const TMeshData* Mesh);
