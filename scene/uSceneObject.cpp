#include "scene/uSceneObject.h"

#include "base/uErrors.h"
#include "base/uMesh.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "terrain/uHeightmap.h"
#include "terrain/uTerrainMesh.h"

#include <algorithm>
#include <cmath>
#include <exception>
#include <random>
#include <utility>

namespace {

int32_t PrimitiveCounter = 0;
uint64_t LastMeshSerial = 0;

std::mt19937& DisplayColorGenerator()
{
    static std::mt19937 Generator;
    return Generator;
}

// Type ids of the modifiers that deform the composite of an owner's descendants.
constexpr const char* kCompositeTypeIds[] = {
    "array_2d", "array_circular", "stretch", "skew", "squeeze", "push", "bend", "wave", "ripple"};

bool IsCompositeTypeId(const std::string& TypeId)
{
    return std::any_of(std::begin(kCompositeTypeIds), std::end(kCompositeTypeIds),
                       [&](const char* Id) { return TypeId == Id; });
}

// An enabled modifier of the stack reads the object's own scale.
bool ReadsObjectScale(const TModifierStack* Stack)
{
    if (!Stack)
        return false;
    for (int32_t i = 0; i < Stack->Count(); ++i)
        if (Stack->GetItem(i)->GetEnabled() && Stack->GetItem(i)->ReadsObjectScale())
            return true;
    return false;
}

constexpr int kDefaultTerrainResolution = 128;

}  // namespace

std::string PrimitiveTypeName(TPrimitiveType Type)
{
    static const char* const Names[kPrimitiveTypeCount] = {
        "Cube", "Sphere", "Cylinder", "Cone", "Torus", "Plane", "Skybox", "Terrain", "Generated"};
    if (Type < 0 || Type >= kPrimitiveTypeCount)
        return {};
    return Names[Type];
}

int32_t NextPrimitiveNumber()
{
    return ++PrimitiveCounter;
}

TVec3 RandomDisplayColor()
{
    std::uniform_real_distribution<float> Unit(0.0f, 1.0f);
    TVec3 Result;
    Result.X = Unit(DisplayColorGenerator());
    Result.Y = Unit(DisplayColorGenerator());
    Result.Z = Unit(DisplayColorGenerator());
    return Result;
}

bool HasEnabledModifier(const TModifierStack& Stack)
{
    for (int32_t i = 0; i < Stack.Count(); ++i)
        if (Stack.GetItem(i)->GetEnabled())
            return true;
    return false;
}

bool HasCompositeModifier(const TModifierStack* Stack)
{
    if (!Stack)
        return false;
    for (int32_t i = 0; i < Stack->Count(); ++i) {
        const TModifier* Modifier = Stack->GetItem(i);
        if (Modifier->GetEnabled() && IsCompositeTypeId(Modifier->GetTypeId()))
            return true;
    }
    return false;
}

TSceneObject::TSceneObject(uint32_t Id)
    : TSceneNode(Id), Modifiers(std::make_unique<TModifierStack>())
{
    WireModifierStack();
}

TSceneObject::~TSceneObject()
{
    // The stack notifies its clear when it goes; by then this object is half destroyed,
    // so its handlers are detached first.
    Modifiers->SetOnStructureChanged(nullptr);
    Modifiers->SetOnModifierChanged(nullptr);
    EvaluatedMesh.reset();
    BaseMesh.reset();
    Heightmap.reset();
    Modifiers.reset();
}

void TSceneObject::WireModifierStack()
{
    Modifiers->SetOnStructureChanged(
        [this](TModifierStack*, TModifierStackChangeKind, uint32_t, int32_t) { MarkMeshDirty(); });
    Modifiers->SetOnModifierChanged([this](TModifierStack*, uint32_t) { MarkMeshDirty(); });
}

void TSceneObject::SetMeshDirty()
{
    MeshDirty = true;
    EvaluationFailed = EvaluationHeld;
}

void TSceneObject::MarkMeshDirty()
{
    EvaluationHeld = false;
    SetMeshDirty();
    NotifyAncestorsOfChange();
}

void TSceneObject::HoldEvaluation(const std::string& Message)
{
    EvaluationHeld = true;
    EvaluationFailed = true;
    MeshDirty = true;
    EvaluationMessage = Message;
    // Whatever was evaluated before no longer matches the stack it is held for.
    EvaluatedMesh.reset();
    EvalBuffers = {};
}

void TSceneObject::DoTransformChanged()
{
    // Every object above holds this transform in its composite. The own mesh depends on
    // the own scale only through a modifier that reads it.
    const TVec3 scale = GetScale();
    if ((scale.X != EvaluatedScale.X || scale.Y != EvaluatedScale.Y ||
         scale.Z != EvaluatedScale.Z) &&
        ReadsObjectScale(Modifiers.get()))
        SetMeshDirty();
    NotifyAncestors(anObjectMoved, [](TSceneNode& Node) {
        if (auto* Object = dynamic_cast<TSceneObject*>(&Node))
            Object->SetMeshDirty();
    });
}

void TSceneObject::DoDescendantChanged()
{
    // A descendant moved, was linked or unlinked, or its mesh changed: only a composite
    // owner's input depends on that.
    if (HasCompositeModifier(Modifiers.get()))
        SetMeshDirty();
}

const TMeshData* TSceneObject::GetEvaluatedMesh()
{
    Evaluate();
    return EvaluatedMesh ? EvaluatedMesh.get() : BaseMesh.get();
}

void TSceneObject::Evaluate()
{
    EvaluateBounded(nullptr);
}

TBoundedEvaluation TSceneObject::EvaluateWithin(const TEvaluationBounds& Bounds)
{
    return EvaluateBounded(&Bounds);
}

TBoundedEvaluation TSceneObject::EvaluateBounded(const TEvaluationBounds* Bounds)
{
    if (!MeshDirty || EvaluationFailed)
        return {};
    // Within bounds the caller has settled the descendants already (children first): a
    // walk of the whole subtree per owner would cost owners x depth on a deep chain.
    if (!Bounds && ChildCount() > 0 && HasCompositeModifier(Modifiers.get()))
        EvaluateCompositeOwnersBelow();
    const TBoundedEvaluation Outcome = RunStack(Bounds);
    // Ancestors that heard of this mesh's changes may have to hear of the next ones.
    ForgetAncestorNotices();
    return Outcome;
}

void TSceneObject::EvaluateCompositeOwnersBelow()
{
    // Gathering a composite asks every descendant for its evaluated mesh, and one that
    // owns a composite too would gather its own descendants inside that request: one
    // nested call per level of a deep tree. Settled deepest first, they answer from what
    // they hold. Inside the pass the owners below have already been settled.
    static bool Running = false;
    if (Running)
        return;
    Running = true;
    struct TReset {
        ~TReset() { Running = false; }
    } reset;
    for (TSceneNode* Node : SubtreePostOrder(this)) {
        auto* Object = dynamic_cast<TSceneObject*>(Node);
        if (Object != nullptr && Object != this && Object->ChildCount() > 0 &&
            HasCompositeModifier(Object->Modifiers.get()))
            Object->Evaluate();
    }
}

namespace {

std::string FirstEnabledName(const TModifierStack& Stack)
{
    for (int32_t i = 0; i < Stack.Count(); ++i)
        if (Stack.GetItem(i)->GetEnabled())
            return Stack.GetItem(i)->GetDisplayName();
    return {};
}

}  // namespace

void TSceneObject::FailEvaluation(const std::string& Message)
{
    EvaluationFailed = true;
    EvaluationMessage = Message;
}

TBoundedEvaluation TSceneObject::RunStack(const TEvaluationBounds* Bounds)
{
    const bool Composite = ChildCount() > 0 && HasCompositeModifier(Modifiers.get());
    if (!Composite && !HasEnabledModifier(*Modifiers)) {
        if (!BaseMesh) {
            // Nothing to evaluate until a mesh or a child arrives, which marks it dirty.
            EvaluationFailed = true;
            return {};
        }
        // Nothing to run: the base mesh is drawn as it is, with no copy of it kept.
        EvaluatedMesh.reset();
        EvalBuffers = {};
        MeshSerial = ++LastMeshSerial;
        MeshDirty = false;
        EvaluationMessage.clear();
        return {};
    }

    // The editor's own limits, and the tighter ones of the bounds.
    const int64_t OwnVertices =
        ContextSet ? EffectiveEvalLimit(EvalContext.MaxVertices) : kDefaultEvalLimit;
    const int64_t OwnFaces =
        ContextSet ? EffectiveEvalLimit(EvalContext.MaxFaces) : kDefaultEvalLimit;
    TEvaluationBounds Limits{OwnVertices, OwnFaces, nullptr};
    if (Bounds) {
        Limits.MaxVertices = std::min(Limits.MaxVertices, Bounds->MaxVertices);
        Limits.MaxFaces = std::min(Limits.MaxFaces, Bounds->MaxFaces);
        Limits.Meter = Bounds->Meter;
    }
    // Stopped by the bounds: failed like any other run, without the memory of the
    // meshes it got to, which nothing shows.
    const auto Stop = [&](std::string Step, const std::string& Message) {
        FailEvaluation(Message);
        EvalBuffers = {};
        return TBoundedEvaluation{true, std::move(Step)};
    };
    if (Limits.MaxVertices <= 0 || Limits.MaxFaces <= 0 ||
        (Limits.Meter && Limits.Meter->Exhausted())) {
        const std::string Step = FirstEnabledName(*Modifiers);
        return Stop(Step, Step + ": no room left for its output");
    }

    const TMeshData* Input = BaseMesh.get();
    std::unique_ptr<TMeshData> CompositeMesh;
    bool CompositeInput = false;
    if (Composite) {
        try {
            int64_t VertexCount = 0, FaceCount = 0;
            switch (GatherChildren(CompositeMesh, VertexCount, FaceCount, Bounds)) {
            case TGathered::Built:
                Input = CompositeMesh.get();
                CompositeInput = true;
                break;
            case TGathered::PastRoom: {
                const std::string Step = FirstEnabledName(*Modifiers);
                return Stop(Step, Step + ": the descendants' meshes pass the room left");
            }
            case TGathered::Nothing:
                break;
            }
        } catch (const EWorkLimitReached& e) {
            const std::string Step = FirstEnabledName(*Modifiers);
            return Stop(Step, Step + ": " + e.what());
        } catch (const std::exception& e) {
            // Too large a composite: a failed evaluation like any other. Raising here
            // would reach the drawing and picking code on every repaint.
            FailEvaluation(e.what());
            return {};
        } catch (...) {
            FailEvaluation("Unknown error");
            return {};
        }
    }
    if (!Input) {
        // Nothing to evaluate until a mesh or a child arrives, which marks it dirty again.
        EvaluationFailed = true;
        return {};
    }
    TModifierEvalContext Context;
    if (ContextSet)
        Context = EvalContext;
    Context.MaxVertices = Limits.MaxVertices;
    Context.MaxFaces = Limits.MaxFaces;
    Context.Meter = Limits.Meter;
    Context.ObjectScale = GetScale();
    EvaluatedScale = Context.ObjectScale;
    Context.Matrix = MatIdentity();
    Context.CompositeInput = CompositeInput;
    Context.Owner = this;

    TModifierEvaluationResult Result;
    if (TModifierEvaluator().Evaluate(Input, *Modifiers, Context, Result, &EvalBuffers) &&
        Result.Mesh) {
        // The mesh replaced is the memory the next evaluation writes into.
        EvalBuffers.Mesh = std::move(EvaluatedMesh);
        EvaluatedMesh = std::move(Result.Mesh);
        MeshSerial = ++LastMeshSerial;
        MeshDirty = false;
        EvaluationMessage.clear();
        return {};
    }
    // Past the bounds but within the object's own limits, or out of work: stopped by the
    // bounds, not by anything the editor would refuse.
    const bool PastBounds =
        Result.OverLimits && Result.FailedVertices <= OwnVertices && Result.FailedFaces <= OwnFaces;
    if (Bounds && (Result.OutOfWork || PastBounds) && Result.FailedIndex >= 0 &&
        Result.FailedIndex < Modifiers->Count())
        return Stop(Modifiers->GetItem(Result.FailedIndex)->GetDisplayName(), Result.Message);
    // Failed as the editor fails it, and said as the editor says it: an estimate past the
    // object's own limits is named with those limits, not the tighter bounds.
    std::string Message = Result.Message;
    if (Result.OverLimits && Result.Estimated && Result.FailedIndex >= 0 &&
        Result.FailedIndex < Modifiers->Count() &&
        (Limits.MaxVertices != OwnVertices || Limits.MaxFaces != OwnFaces))
        Message = LimitMessage(Modifiers->GetItem(Result.FailedIndex)->GetDisplayName(),
                               Result.FailedVertices, Result.FailedFaces, OwnVertices, OwnFaces);
    // The last good mesh stays; the modifier page shows the message. Within bounds its
    // memory is let go: a file of many failing stacks would otherwise keep one each.
    if (Bounds)
        EvalBuffers = {};
    else
        EvalBuffers.Mesh = std::move(Result.Mesh);
    FailEvaluation(Message);
    return {};
}

bool TSceneObject::StoreContext(const TModifierEvalContext& Ctx)
{
    // A NaN difference counts as equal.
    if (ContextSet && Ctx.Frame == EvalContext.Frame &&
        !(std::fabs(EvalContext.FPS - Ctx.FPS) > 1e-6) &&
        !(std::fabs(EvalContext.Time - Ctx.Time) > 1e-9))
        return false;
    EvalContext = Ctx;
    // The meter belongs to the run it was given for.
    EvalContext.Meter = nullptr;
    ContextSet = true;
    // A new frame re-runs the same stack: a held one stays held.
    SetMeshDirty();
    return true;
}

void TSceneObject::SetEvaluationContext(const TModifierEvalContext& Ctx)
{
    if (StoreContext(Ctx))
        NotifyAncestorsOfChange();
}

TBoundedEvaluation TSceneObject::EvaluateInContext(const TModifierEvalContext& Ctx,
                                                   const TEvaluationBounds* Bounds)
{
    StoreContext(Ctx);
    return EvaluateBounded(Bounds);
}

void TSceneObject::SetBaseMesh(std::unique_ptr<TMeshData> Mesh)
{
    // Deforming modifiers pass the source's edge list through, so the base mesh's list
    // must match its faces whoever built it.
    if (Mesh)
        Mesh->RebuildEdges();
    BaseMesh = std::move(Mesh);
    MarkMeshDirty();
}

void TSceneObject::RebuildPrimitiveMesh()
{
    if (BaseMesh)
        BaseMesh->Clear();
    else
        BaseMesh = std::make_unique<TMeshData>();
    switch (PrimType) {
    case ptCube:
        BaseMesh->BuildCube();
        break;
    case ptSphere:
        BaseMesh->BuildSphere(24, 16, 0.5f);
        break;
    case ptCylinder:
        BaseMesh->BuildCylinder(24, 0.5f, 1.0f);
        break;
    case ptCone:
        BaseMesh->BuildCone(24, 0.5f, 1.0f);
        break;
    case ptTorus:
        BaseMesh->BuildTorus(24, 16, 0.35f, 0.15f);
        break;
    case ptPlane:
        BaseMesh->BuildPlane(0.5f);
        break;
    case ptSkybox:
        BaseMesh->BuildSkybox();
        break;
    case ptTerrain:
        if (!Heightmap) {
            Heightmap = std::make_unique<THeightmap>(kDefaultTerrainResolution);
            Heightmap->Flatten();
        }
        // Written as "<= 0" on purpose: a NaN keeps its value.
        if (TerrainSize <= 0)
            TerrainSize = kDefaultTerrainSize;
        if (TerrainHeight <= 0)
            TerrainHeight = kDefaultTerrainHeight;
        BuildTerrainMesh(BaseMesh.get(), Heightmap.get(), TerrainSize, TerrainHeight);
        break;
    case ptGenerated:
        break;
    }
    ApplyColorToVertices(Color);
    MarkMeshDirty();
}

void TSceneObject::RebuildTerrainMesh()
{
    if (PrimType != ptTerrain || !Heightmap)
        return;
    if (BaseMesh)
        BaseMesh->Clear();
    else
        BaseMesh = std::make_unique<TMeshData>();
    BuildTerrainMesh(BaseMesh.get(), Heightmap.get(), TerrainSize, TerrainHeight);
    ApplyColorToVertices(Color);
    MarkMeshDirty();
}

void TSceneObject::ApplyColorToVertices(const TVec3& VertexColor)
{
    if (!BaseMesh)
        return;
    for (TMeshVertex& Vertex : BaseMesh->Vertices)
        Vertex.Color = VertexColor;
}

void TSceneObject::SetHeightmap(std::unique_ptr<THeightmap> Map)
{
    Heightmap = std::move(Map);
}

int32_t TSceneObject::AddModifier(std::unique_ptr<TModifier> Modifier)
{
    return Modifiers->Add(std::move(Modifier));
}

void TSceneObject::RemoveModifier(const TModifier* Modifier)
{
    for (int32_t i = 0; Modifier && i < Modifiers->Count(); ++i)
        if (Modifiers->GetItem(i) == Modifier) {
            Modifiers->Delete(i);
            return;
        }
}

TModifier* TSceneObject::DuplicateModifier(uint32_t ModifierId)
{
    const TModifier* Source = Modifiers->FindById(ModifierId);
    if (!Source)
        return nullptr;
    const int32_t Index = Modifiers->Add(Source->Clone());
    return Index < 0 ? nullptr : Modifiers->GetItem(Index);
}

void TSceneObject::MoveModifier(int32_t FromIndex, int32_t ToIndex)
{
    Modifiers->Move(FromIndex, ToIndex);
    MarkMeshDirty();
}

void TSceneObject::ClearModifiers()
{
    Modifiers->Clear();
}

float TSceneObject::GetBoundingRadius() const
{
    switch (PrimType) {
    case ptCube:
        return 0.87f;
    case ptSphere:
    case ptTorus:
        return 0.52f;
    case ptCylinder:
    case ptCone:
        return 0.72f;
    case ptPlane:
        return 0.3f;
    case ptSkybox:
        return 210.0f;
    case ptTerrain:
        return TerrainSize * 0.5f;
    case ptGenerated:
        break;
    }
    return 1.0f;
}

float TSceneObject::MaxScale() const
{
    const TVec3& S = GetScale();
    return std::max({S.X, S.Y, S.Z});
}

std::unique_ptr<TSceneObject> TSceneObject::Duplicate() const
{
    auto Copy = std::make_unique<TSceneObject>();
    Copy->PrimType = PrimType;
    Copy->Name = Name + " copy";
    const TVec3& P = GetPosition();
    Copy->SetTransform(Vec3(P.X + 0.5f, P.Y, P.Z), GetRotation(), GetScale());
    Copy->Color = Color;
    Copy->TexId = TexId;
    Copy->Blend = Blend;
    Copy->TerrainSize = TerrainSize;
    Copy->TerrainHeight = TerrainHeight;
    if (PrimType == ptTerrain && Heightmap)
        Copy->Heightmap = Heightmap->Clone();
    Copy->Selected = false;
    Copy->SetVisible(true);
    Copy->SetLocked(false);
    Copy->DisplayColor = RandomDisplayColor();
    for (int32_t i = 0; i < Modifiers->Count(); ++i)
        Copy->Modifiers->Add(Modifiers->GetItem(i)->Clone());
    if (BaseMesh)
        Copy->BaseMesh = BaseMesh->Clone();
    Copy->MeshDirty = true;
    return Copy;
}

bool TSceneObject::BuildChildrenMesh(std::unique_ptr<TMeshData>& Mesh, int64_t& VertexCount,
                                     int64_t& FaceCount)
{
    return GatherChildren(Mesh, VertexCount, FaceCount, nullptr) == TGathered::Built;
}

TSceneObject::TGathered TSceneObject::GatherChildren(std::unique_ptr<TMeshData>& Mesh,
                                                     int64_t& VertexCount, int64_t& FaceCount,
                                                     const TEvaluationBounds* Bounds)
{
    Mesh.reset();
    VertexCount = 0;
    FaceCount = 0;
    if (ChildCount() == 0)
        return TGathered::Nothing;
    TWorkMeter* Meter = Bounds ? Bounds->Meter : nullptr;

    // First what the descendants show is summed, so that a composite too large is
    // refused before any of it is copied. Visits are charged in batches.
    int64_t V = 0, F = 0;
    {
        constexpr int64_t kBatch = 64;
        int64_t Unpaid = 0;
        std::vector<TSceneNode*> Pending(GetChildren().rbegin(), GetChildren().rend());
        while (!Pending.empty()) {
            TSceneNode* Node = Pending.back();
            Pending.pop_back();
            if (++Unpaid == kBatch) {
                ChargeWork(Meter, WorkProduct(kCompositeVisitUnits, Unpaid));
                Unpaid = 0;
            }
            if (auto* Object = dynamic_cast<TSceneObject*>(Node))
                if (const TMeshData* Part = Object->GetEvaluatedMesh()) {
                    V += static_cast<int64_t>(Part->Vertices.size());
                    F += static_cast<int64_t>(Part->Faces.size());
                    if (V > kCompositeLimit || F > kCompositeLimit)
                        throw EGeneralError("GatherDescendantMesh: composite exceeds size limits");
                }
            const auto& Below = Node->GetChildren();
            Pending.insert(Pending.end(), Below.rbegin(), Below.rend());
        }
        ChargeWork(Meter, WorkProduct(kCompositeVisitUnits, Unpaid));
    }
    if (V == 0 && F == 0)
        return TGathered::Nothing;
    if (Bounds && (V > Bounds->MaxVertices || F > Bounds->MaxFaces))
        return TGathered::PastRoom;

    auto Gathered = std::make_unique<TMeshData>();
    Gathered->Vertices.reserve(static_cast<size_t>(V));
    Gathered->Faces.reserve(static_cast<size_t>(F));
    // Pre-order over the descendants, each with the product of the local matrices from
    // this object (excluded) down to its parent.
    struct TPending {
        TSceneNode* Node;
        TMatrix4 ParentMatrix;
    };
    std::vector<TPending> Pending;
    const auto& Children = GetChildren();
    for (auto It = Children.rbegin(); It != Children.rend(); ++It)
        Pending.push_back({*It, MatIdentity()});
    while (!Pending.empty()) {
        const TPending Entry = Pending.back();
        Pending.pop_back();
        TMatrix4 M;
        MatMultiply(Entry.ParentMatrix, Entry.Node->GetLocalMatrix(), M);
        if (auto* Object = dynamic_cast<TSceneObject*>(Entry.Node)) {
            // A composite owner below contributes its evaluated mesh (its own composite)
            // and its descendants are gathered again below it.
            if (const TMeshData* Part = Object->GetEvaluatedMesh()) {
                ChargeWork(Meter, MeshWorkUnits(*Part));
                AppendMeshTransformed(Part, Gathered.get(), M);
            }
        }
        const auto& Below = Entry.Node->GetChildren();
        for (auto It = Below.rbegin(); It != Below.rend(); ++It)
            Pending.push_back({*It, M});
    }
    ChargeWork(Meter, MeshWorkUnits(V, F));  // the edge list
    Gathered->RebuildEdges();
    Mesh = std::move(Gathered);
    VertexCount = V;
    FaceCount = F;
    return TGathered::Built;
}
