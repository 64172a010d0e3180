#include "modifiers/uModifierEvaluator.h"

#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"

#include <cassert>
#include <cmath>
#include <exception>
#include <utility>
#include <vector>

namespace {

int64_t EffectiveLimit(int64_t Limit)
{
    return Limit <= 0 ? kDefaultEvalLimit : Limit;
}

std::string ExceptionText(std::exception_ptr Error)
{
    try {
        std::rethrow_exception(Error);
    } catch (const std::exception& e) {
        return e.what();
    } catch (...) {
        return "unknown error";
    }
}

// Why a step's output is refused, or empty when it is sound. Faces already checked and
// unchanged since (a vertex-only step) need no second look.
std::string OutputProblem(const TMeshData& Output, int64_t MaxVertices, int64_t MaxFaces,
                          bool FacesChecked)
{
    static const std::string Generic = "output contains invalid or non-finite mesh data";
    if (FacesChecked)
        return MeshPositionsFinite(&Output) ? std::string() : Generic;
    if (static_cast<int64_t>(Output.Vertices.size()) > MaxVertices ||
        static_cast<int64_t>(Output.Faces.size()) > MaxFaces || !MeshPositionsFinite(&Output) ||
        !MeshFacesValid(&Output))
        return Generic;
    // The two scans above cover everything Validate checks.
    assert([&] {
        std::string Message;
        return Output.Validate(Message);
    }());
    return {};
}

// LastGood is taken only after the texts are built, so a failing allocation can never
// lose it.
void Fail(TModifierEvaluationResult& Result, int32_t Index, std::string TypeId, std::string Message,
          std::unique_ptr<TMeshData>& LastGood)
{
    Result.Success = false;
    Result.FailedIndex = Index;
    Result.FailedTypeId = std::move(TypeId);
    Result.Message = std::move(Message);
    Result.Mesh = std::move(LastGood);
}

}  // namespace

// The index of the first enabled modifier at or after From, or Count when there is none.
int32_t NextEnabled(const TModifierStack& Stack, int32_t From)
{
    while (From < Stack.Count() && !Stack.GetItem(From)->GetEnabled())
        ++From;
    return From;
}

bool TModifierEvaluator::Evaluate(const TMeshData* Source, const TModifierStack& Stack,
                                  const TModifierEvalContext& Context,
                                  TModifierEvaluationResult& Result,
                                  TModifierEvalBuffers* Buffers) const
{
    Result = TModifierEvaluationResult{};
    if (!Source)
        return false;
    const TModifierEvalContext Ctx = Context;
    const int64_t MaxVertices = EffectiveLimit(Ctx.MaxVertices);
    const int64_t MaxFaces = EffectiveLimit(Ctx.MaxFaces);

    std::vector<TMeshVertex> Spare;  // the other vertex buffer of vertex-only steps
    std::unique_ptr<TMeshData> Current;
    if (Buffers) {
        Current = std::move(Buffers->Mesh);
        Spare.swap(Buffers->Spare);
    }
    // The spare goes back to the caller on every way out.
    struct TGiveBack {
        TModifierEvalBuffers* Buffers;
        std::vector<TMeshVertex>& Spare;
        ~TGiveBack()
        {
            if (Buffers)
                Buffers->Spare.swap(Spare);
        }
    } GiveBack{Buffers, Spare};

    // The source is copied into the working mesh, whose vectors keep their capacity. When
    // the first step only moves vertices, it reads the source's vertices directly instead.
    const int32_t First = NextEnabled(Stack, 0);
    bool FirstReadsSource = false;
    try {
        if (!Current)
            Current = std::make_unique<TMeshData>();
        FirstReadsSource = First < Stack.Count() && Stack.GetItem(First)->KeepsTopology();
        if (FirstReadsSource)
            Current->Vertices.resize(Source->Vertices.size());
        else
            Current->Vertices = Source->Vertices;
        Current->Faces = Source->Faces;
        Current->Edges = Source->Edges;
    } catch (...) {
        std::unique_ptr<TMeshData> None;
        Fail(Result, -1, {}, ExceptionText(std::current_exception()), None);
        return false;
    }
    bool FacesChecked = false;  // Current's faces passed an output check
    bool EdgesStale = false;    // Current's edge list is to be rebuilt at the end
    for (int32_t i = First; i < Stack.Count(); i = NextEnabled(Stack, i + 1)) {
        TModifier& Modifier = *Stack.GetItem(i);
        const bool ReadsSource = FirstReadsSource && i == First;
        // Until the first step has written them, the working vertices are not the
        // source's: a failure there hands back the source, the mesh before any step.
        auto Rewind = [&] {
            if (ReadsSource)
                Current->Vertices = Source->Vertices;
        };
        // Every part of a step is guarded, the estimate and the checks included: an
        // exception escaping here would reach the drawing code on every repaint.
        std::string Name, TypeId;
        try {
            Name = Modifier.GetDisplayName();
            TypeId = Modifier.GetTypeId();
            int64_t PredictedVertices = -1, PredictedFaces = -1, PredictedEdges = -1;
            if (Modifier.EstimateOutputSize(ReadsSource ? *Source : *Current, PredictedVertices,
                                            PredictedFaces, PredictedEdges) &&
                (PredictedVertices > MaxVertices || PredictedFaces > MaxFaces)) {
                std::string Message = Name + ": output exceeds limits (" +
                                      IntToText(PredictedVertices) + " verts/" +
                                      IntToText(PredictedFaces) + " faces; limit " +
                                      IntToText(MaxVertices) + "/" + IntToText(MaxFaces) + ")";
                Rewind();
                Fail(Result, i, TypeId, std::move(Message), Current);
                return false;
            }
            Modifier.SetObjectScale(Ctx.ObjectScale.X, Ctx.ObjectScale.Y, Ctx.ObjectScale.Z);
            if (Modifier.KeepsTopology()) {
                // Only the vertices change: they go to the spare buffer, the faces and
                // edges stay where they are, and the old vertices are kept until the
                // output passes its check.
                if (ReadsSource) {
                    Modifier.DeformVertices(Source->Vertices, Current->Vertices);
                } else {
                    Spare.resize(Current->Vertices.size());
                    Modifier.DeformVertices(Current->Vertices, Spare);
                    std::swap(Current->Vertices, Spare);
                }
                const std::string Problem =
                    OutputProblem(*Current, MaxVertices, MaxFaces, FacesChecked);
                if (!Problem.empty()) {
                    if (ReadsSource)
                        Rewind();
                    else
                        std::swap(Current->Vertices, Spare);
                    std::string Message = Name + ": " + Problem;
                    Fail(Result, i, TypeId, std::move(Message), Current);
                    return false;
                }
                FacesChecked = true;
                Result.Flags |= kApplyAll;
                // An edge list never built is built at the end, as a full Apply would.
                EdgesStale = EdgesStale || (Current->Edges.empty() && !Current->Faces.empty());
                continue;
            }
            auto Output = std::make_unique<TMeshData>();
            const TModifierApplyInfo Info = Modifier.ApplyWithInfo(Ctx, *Current, *Output);
            const std::string Problem = OutputProblem(*Output, MaxVertices, MaxFaces, false);
            if (!Problem.empty()) {
                std::string Message = Name + ": " + Problem;
                Fail(Result, i, TypeId, std::move(Message), Current);
                return false;
            }
            Result.Flags |= Info.Flags;
            EdgesStale = EdgesStale || (Info.Flags & kApplyEdges) != 0;
            FacesChecked = true;
            Current = std::move(Output);
        } catch (...) {
            std::string Message =
                (Name.empty() ? TypeId : Name) + ": " + ExceptionText(std::current_exception());
            Rewind();
            Fail(Result, i, TypeId, std::move(Message), Current);
            return false;
        }
    }

    if (EdgesStale) {
        try {
            Current->RebuildEdges();
        } catch (...) {
            Fail(Result, -1, {}, ExceptionText(std::current_exception()), Current);
            return false;
        }
    }
    Result.Success = true;
    Result.Mesh = std::move(Current);
    return true;
}

void CopyMeshArrays(const TMeshData* Source, TMeshData* Dest)
{
    if (!Source || !Dest || Source == Dest)
        return;
    Dest->Clear();
    Dest->Vertices = Source->Vertices;
    Dest->Faces = Source->Faces;
}

bool MeshPositionsFinite(const TMeshData* Mesh)
{
    if (!Mesh)
        return false;
    for (const TMeshVertex& V : Mesh->Vertices)
        if (!std::isfinite(V.Position.X) || !std::isfinite(V.Position.Y) ||
            !std::isfinite(V.Position.Z))
            return false;
    return true;
}

bool MeshFacesValid(const TMeshData* Mesh)
{
    if (!Mesh)
        return false;
    const int64_t VertexCount = static_cast<int64_t>(Mesh->Vertices.size());
    for (const TMeshFace& F : Mesh->Faces) {
        if (F.Count < 3 || F.Count > 4)
            return false;
        for (int32_t k = 0; k < F.Count; ++k)
            if (F.Indices[static_cast<size_t>(k)] < 0 ||
                F.Indices[static_cast<size_t>(k)] >= VertexCount)
                return false;
    }
    return true;
}
