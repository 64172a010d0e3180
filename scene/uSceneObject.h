#pragma once
// The renderable scene node: it owns a base mesh, a modifier stack and, for terrain, a
// heightmap, and produces its evaluated mesh on demand by running the stack. Some
// modifiers work on the composite of the object's descendants' meshes instead of its
// own base mesh (HasCompositeModifier).
//
// Whoever keeps results derived from an evaluated mesh (drawing caches, contact
// lighting) matches them by the node's id and GetMeshSerial, never by address.
#include "base/uMath.h"
#include "modifiers/uModifierEvaluator.h"
#include "scene/uSceneNode.h"

#include <cstdint>
#include <memory>
#include <string>

class TMeshData;
class TModifier;
class TModifierStack;
class THeightmap;

enum TPrimitiveType : int32_t {
    ptCube = 0,
    ptSphere = 1,
    ptCylinder = 2,
    ptCone = 3,
    ptTorus = 4,
    ptPlane = 5,
    ptSkybox = 6,
    ptTerrain = 7,
    ptGenerated = 8,  // floor-plan output, loaded meshes of no primitive
};
constexpr int32_t kPrimitiveTypeCount = 9;

// "Cube", "Sphere", ... "Generated"; empty for a value outside the enumeration.
std::string PrimitiveTypeName(TPrimitiveType Type);

enum TVertexColorBlend : int32_t {
    vcbMultiply = 0,     // vertex colours times texture
    vcbVertexOnly = 1,   // no texture
    vcbTextureOnly = 2,  // texture with white vertex colours
};

// The module's counter of new primitives (0 at start, never reset): increments it and
// returns the new value, which numbers the new primitive's name.
int32_t NextPrimitiveNumber();
// Three pseudo-random values in [0, 1), drawn X, Y, Z, from the module's generator.
TVec3 RandomDisplayColor();

// True when the stack holds an enabled modifier.
bool HasEnabledModifier(const TModifierStack& Stack);
// True when the stack holds an enabled modifier that works on the composite of the
// owner's descendants; False for no stack.
bool HasCompositeModifier(const TModifierStack* Stack);

// The most vertices, and the most faces, a composite of descendants may gather.
constexpr int64_t kCompositeLimit = 1000000;
// Work units charged per descendant visited while a composite is gathered (its mesh's
// copy is charged as the evaluator charges a mesh, MeshWorkUnits).
constexpr int64_t kCompositeVisitUnits = 32;

// What one evaluation may build and spend beyond the editor's own limits: opening a file
// gives each object the room the scene has left and the meter of the whole open. The
// object's own limits (its context's, else the default) still hold where tighter.
struct TEvaluationBounds {
    int64_t MaxVertices = kDefaultEvalLimit;  // 0 or less: no room at all
    int64_t MaxFaces = kDefaultEvalLimit;
    TWorkMeter* Meter = nullptr;
};

// How an evaluation within bounds ended. Stopped: the meter ran out, or the output passed
// the bounds where the object's own limits would have let it through; Step names the
// modifier it stopped at (the first enabled one when it stopped before any ran). A stack
// that fails by the object's own limits, or any other way, fails as in the editor and
// is not Stopped.
struct TBoundedEvaluation {
    bool Stopped = false;
    std::string Step;
};

class TSceneObject : public TSceneNode {
public:
    // Id kNoId allocates a fresh scene node id. The object starts without base mesh,
    // with an empty modifier stack wired to mark the mesh dirty.
    explicit TSceneObject(uint32_t Id = kNoId);
    ~TSceneObject() override;

    // Plain fields: no invariant ties them to anything else.
    TPrimitiveType PrimType = ptGenerated;
    TVec3 Color{0, 0, 0};         // written into every vertex of a rebuilt primitive
    TVec3 DisplayColor{0, 0, 0};  // stands in for vertex colours in some display modes
    int32_t TexId = 0;            // applied to every face when drawing; 0 = none
    TVertexColorBlend Blend = vcbMultiply;
    float TerrainSize = 0;    // world size of the terrain grid (4 when a rebuild finds <= 0)
    float TerrainHeight = 0;  // height scale (0.6 when a rebuild finds <= 0)

    // Mesh state.
    // Marks the evaluated mesh stale and tells the composite owners above the object that
    // their input changed. Call it after editing the base mesh in place.
    void MarkMeshDirty();
    bool IsMeshDirty() const { return MeshDirty; }
    // Evaluates when dirty, then the evaluated mesh, or the base mesh when there is none
    // (which may be none too). Never raises; the mesh stays owned by the object.
    const TMeshData* GetEvaluatedMesh();
    // Re-runs the stack when the mesh is dirty. A failed run keeps the last good mesh and
    // leaves the mesh dirty, but is not repeated until something marks it dirty again:
    // the same input would fail the same way.
    void Evaluate();
    // Evaluate within Bounds: the limits are the tighter of the bounds and the object's
    // own, and the meter counts the run's work (the composite's gathering included). A
    // stopped run fails like any other, and its memory is let go. The descendants of a
    // composite owner are expected to be evaluated already (the caller walks children
    // first).
    TBoundedEvaluation EvaluateWithin(const TEvaluationBounds& Bounds);
    // Number of the mesh GetEvaluatedMesh returns when there is an evaluated one: taken
    // from a process-wide counter whenever a new evaluated mesh is stored, so no two
    // meshes share one. 0 before the first evaluation.
    uint64_t GetMeshSerial() const { return MeshSerial; }
    bool HasEvaluatedMesh() const { return EvaluatedMesh != nullptr; }
    // The message of the last failed evaluation ("Array 2D: output exceeds limits ..."),
    // empty after a successful one.
    const std::string& GetEvaluationMessage() const { return EvaluationMessage; }
    // Leaves the stack unevaluated, with Message, until the object's modifiers or base
    // mesh change (a new frame or a moved descendant does not release it); the base mesh
    // is drawn meanwhile. Opening a file holds the stacks past its budget.
    void HoldEvaluation(const std::string& Message);
    bool IsEvaluationHeld() const { return EvaluationHeld; }

    // Stores the context and marks the mesh dirty unless frame, FPS and time are those
    // of the stored one (FPS within 1e-6, time within 1e-9).
    void SetEvaluationContext(const TModifierEvalContext& Ctx);
    // Stores the context as SetEvaluationContext does and evaluates (within Bounds when
    // given), without telling the composite owners above: for a caller that evaluates
    // every object after its descendants (telling each object's ancestors would cost
    // objects x depth). The context's meter is not kept.
    TBoundedEvaluation EvaluateInContext(const TModifierEvalContext& Ctx,
                                         const TEvaluationBounds* Bounds = nullptr);
    const TModifierEvalContext& GetEvalContext() const { return EvalContext; }
    bool IsContextSet() const { return ContextSet; }

    // Base mesh.
    TMeshData* GetBaseMesh() const { return BaseMesh.get(); }
    // Takes ownership (none is allowed), rebuilds the mesh's edge list from its faces and
    // marks the mesh dirty. Whoever edits the faces of the base mesh in place afterwards
    // rebuilds its edges before MarkMeshDirty.
    void SetBaseMesh(std::unique_ptr<TMeshData> Mesh);
    void RebuildPrimitiveMesh();
    // Only for a terrain object with a heightmap; otherwise nothing.
    void RebuildTerrainMesh();
    // Sets the colour of every base-mesh vertex; nothing without a base mesh.
    void ApplyColorToVertices(const TVec3& VertexColor);

    THeightmap* GetHeightmap() const { return Heightmap.get(); }
    void SetHeightmap(std::unique_ptr<THeightmap> Map);

    // Modifiers. Every change marks the mesh dirty through the stack's events.
    TModifierStack& GetModifiers() const { return *Modifiers; }
    // The index the stack appended it at; -1 for none.
    int32_t AddModifier(std::unique_ptr<TModifier> Modifier);
    // Removes and frees it; nothing when it is not in the stack.
    void RemoveModifier(const TModifier* Modifier);
    // A clone (new id, same parameters and enabled state) appended at the end; none
    // when no held modifier has the id.
    TModifier* DuplicateModifier(uint32_t ModifierId);
    void MoveModifier(int32_t FromIndex, int32_t ToIndex);
    void ClearModifiers();

    // Queries.
    // Approximate half-size by primitive type; ignores the scale and the modifiers.
    float GetBoundingRadius() const;
    float MaxScale() const;

    // A new, unregistered and unparented object with a fresh id: " copy" appended to the
    // name, moved by +0.5 along X, cloned modifiers, base mesh and heightmap, no
    // evaluated mesh, no evaluation context.
    std::unique_ptr<TSceneObject> Duplicate() const;

    // The composite of the descendants' evaluated meshes in this object's local space.
    // False (and no mesh) when there are no children or nothing to gather; raises
    // EGeneralError "GatherDescendantMesh: composite exceeds size limits" past
    // kCompositeLimit vertices or faces, found before anything is copied.
    bool BuildChildrenMesh(std::unique_ptr<TMeshData>& Mesh, int64_t& VertexCount,
                           int64_t& FaceCount);

protected:
    void DoTransformChanged() override;
    void DoDescendantChanged() override;

private:
    void SetMeshDirty();
    // True when Ctx differs from the stored context and was stored, marking the mesh dirty.
    bool StoreContext(const TModifierEvalContext& Ctx);
    void WireModifierStack();
    void EvaluateCompositeOwnersBelow();
    TBoundedEvaluation EvaluateBounded(const TEvaluationBounds* Bounds);
    TBoundedEvaluation RunStack(const TEvaluationBounds* Bounds);
    // A failed run: the message kept, the run not repeated until the mesh is marked dirty.
    void FailEvaluation(const std::string& Message);
    // Bounds: the descendants' sum is compared with them before anything is copied
    // (PastRoom when it passes them but not kCompositeLimit), and the gathering charges
    // their meter.
    enum class TGathered { Nothing, Built, PastRoom };
    TGathered GatherChildren(std::unique_ptr<TMeshData>& Mesh, int64_t& VertexCount,
                             int64_t& FaceCount, const TEvaluationBounds* Bounds);

    std::unique_ptr<TMeshData> EvaluatedMesh;
    TModifierEvalBuffers EvalBuffers;
    bool MeshDirty = true;
    bool EvaluationFailed = false;  // the last run failed and nothing changed since
    bool EvaluationHeld = false;    // not to be run until the stack or base mesh changes
    std::string EvaluationMessage;
    uint64_t MeshSerial = 0;
    TModifierEvalContext EvalContext;
    bool ContextSet = false;
    // The own scale the stack last ran with: a modifier may read it (un-scale UVs).
    TVec3 EvaluatedScale{1, 1, 1};
    std::unique_ptr<TMeshData> BaseMesh;
    std::unique_ptr<TModifierStack> Modifiers;
    std::unique_ptr<THeightmap> Heightmap;
};
