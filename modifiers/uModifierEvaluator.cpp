#include "modifiers/uModifierEvaluator.h"

#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "modifiers/uModifierHelperThread.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierVertexPass.h"
#include "modifiers/uModifiers.h"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <cstring>
#include <exception>
#include <utility>
#include <vector>

namespace {

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
// unchanged since (a vertex-only step) need no second look. Positions, when given, is the
// summary the step's own pass made of the output's positions; FacesValid, when given, is
// MeshFacesValid of the output, found earlier.
std::string OutputProblem(const TMeshData& Output, int64_t MaxVertices, int64_t MaxFaces,
                          bool FacesChecked, const TPositionSummary* Positions = nullptr,
                          const bool* FacesValid = nullptr)
{
    static const std::string Generic = "output contains invalid or non-finite mesh data";
    const auto finite = [&] {
        return Positions ? Positions->Finite : MeshPositionsFinite(&Output);
    };
    if (FacesChecked)
        return finite() ? std::string() : Generic;
    if (static_cast<int64_t>(Output.Vertices.size()) > MaxVertices ||
        static_cast<int64_t>(Output.Faces.size()) > MaxFaces || !finite() ||
        !(FacesValid ? *FacesValid : MeshFacesValid(&Output)))
        return Generic;
    // The two scans above cover everything Validate checks.
    assert([&] {
        std::string Message;
        return Output.Validate(Message);
    }());
    return {};
}

// Dest = Source, left alone when it already holds the same bytes: a working mesh reused
// for the same object mostly does, and comparing reads less memory than copying writes.
template <class T>
void AssignUnlessSame(std::vector<T>& Dest, const std::vector<T>& Source)
{
    if (Dest.size() == Source.size()) {
        const auto* a = reinterpret_cast<const unsigned char*>(Dest.data());
        const auto* b = reinterpret_cast<const unsigned char*>(Source.data());
        const size_t bytes = Source.size() * sizeof(T);
        bool same = true;
        if (bytes < kHelperThreadMinimum * 16) {
            same = bytes == 0 || std::memcmp(a, b, bytes) == 0;
        } else {
            bool halves[2] = {true, true};
            const size_t middle = bytes / 2;
            InTwoParts([&](int32_t Part) {
                const size_t from = Part == 0 ? 0 : middle, to = Part == 0 ? middle : bytes;
                halves[Part] = std::memcmp(a + from, b + from, to - from) == 0;
            });
            same = halves[0] && halves[1];
        }
        if (same)
            return;
    }
    Dest = Source;
}

// Faces Begin..End: corner counts and the indices of the corners in use, without a
// branch per face.
bool FacesValid(const TMeshFace* Faces, size_t Begin, size_t End, int64_t VertexCount)
{
    // An index is in range exactly when it is below the count as an unsigned number.
    const uint64_t limit = static_cast<uint64_t>(VertexCount);
    bool valid = true;
    for (size_t f = Begin; f < End; ++f) {
        const TMeshFace& F = Faces[f];
        const auto in = [&](int32_t I) {
            return static_cast<uint64_t>(static_cast<int64_t>(I)) < limit;
        };
        const bool quad = F.Count == 4;
        valid &= (F.Count == 3) | quad;
        valid &=
            in(F.Indices[0]) & in(F.Indices[1]) & in(F.Indices[2]) & (!quad | in(F.Indices[3]));
    }
    return valid;
}

// Dest = Source's faces, left alone when it already holds the same bytes; also whether
// they are valid faces for VertexCount vertices, found in the same sweep (a chunk is
// checked while it is in the cache from the comparison).
bool AssignFacesCheckingThem(std::vector<TMeshFace>& Dest, const std::vector<TMeshFace>& Source,
                             int64_t VertexCount)
{
    constexpr size_t kChunk = 512;
    const size_t n = Source.size();
    const bool sameSize = Dest.size() == n;
    bool same[2] = {sameSize, sameSize}, valid[2] = {true, true};
    const auto sweep = [&](size_t Begin, size_t End, int32_t Part) {
        for (size_t c = Begin; c < End; c += kChunk) {
            const size_t e = std::min(End, c + kChunk);
            if (same[Part])
                same[Part] = std::memcmp(Dest.data() + c, Source.data() + c,
                                         (e - c) * sizeof(TMeshFace)) == 0;
            valid[Part] = valid[Part] && FacesValid(Source.data(), c, e, VertexCount);
        }
    };
    if (n < kHelperThreadMinimum)
        sweep(0, n, 0);
    else
        InTwoParts([&](int32_t Part) { Part == 0 ? sweep(0, n / 2, 0) : sweep(n / 2, n, 1); });
    if (!(same[0] && same[1]))
        Dest = Source;
    return valid[0] && valid[1];
}

bool OverCounts(const TMeshData& Mesh, int64_t MaxVertices, int64_t MaxFaces)
{
    return static_cast<int64_t>(Mesh.Vertices.size()) > MaxVertices ||
           static_cast<int64_t>(Mesh.Faces.size()) > MaxFaces;
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
    const int64_t MaxVertices = EffectiveEvalLimit(Ctx.MaxVertices);
    const int64_t MaxFaces = EffectiveEvalLimit(Ctx.MaxFaces);

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
    bool SourceFacesValid = false;  // found while the faces are taken over, when FirstReadsSource
    try {
        if (!Current)
            Current = std::make_unique<TMeshData>();
        FirstReadsSource = First < Stack.Count() && Stack.GetItem(First)->KeepsTopology();
        if (FirstReadsSource)
            Current->Vertices.resize(Source->Vertices.size());
        else
            Current->Vertices = Source->Vertices;
        // The element types have no padding: the same bytes are the same elements, down to
        // the sign of a zero.
        static_assert(sizeof(TMeshFace) == 14 * sizeof(int32_t) &&
                      sizeof(TMeshEdge) == 2 * sizeof(int32_t));
        if (FirstReadsSource) {
            SourceFacesValid = AssignFacesCheckingThem(
                Current->Faces, Source->Faces, static_cast<int64_t>(Source->Vertices.size()));
        } else {
            AssignUnlessSame(Current->Faces, Source->Faces);
        }
        AssignUnlessSame(Current->Edges, Source->Edges);
    } catch (...) {
        std::unique_ptr<TMeshData> None;
        Fail(Result, -1, {}, ExceptionText(std::current_exception()), None);
        return false;
    }
    bool FacesChecked = false;  // Current's faces passed an output check
    // The summary of Current's positions, when the step before was a vertex pass.
    TPositionSummary Positions;
    bool PositionsKnown = false;
    bool EdgesStale = false;  // Current's edge list is to be rebuilt at the end
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
            const TMeshData& Input = ReadsSource ? *Source : *Current;
            // The step's input is paid for before it runs (the first step's with the copy
            // of the source), so that a meter already past its bound stops the run here.
            if (Ctx.Meter) {
                if (i == First)
                    Ctx.Meter->Charge(MeshWorkUnits(*Source));
                Ctx.Meter->Charge(
                    Modifier.KeepsTopology()
                        ? WorkProduct(kVertexPassUnits, static_cast<int64_t>(Input.Vertices.size()))
                        : MeshInputUnits(Input));
            }
            int64_t PredictedVertices = -1, PredictedFaces = -1, PredictedEdges = -1;
            if (Modifier.EstimateOutputSize(Input, PredictedVertices, PredictedFaces,
                                            PredictedEdges) &&
                (PredictedVertices > MaxVertices || PredictedFaces > MaxFaces)) {
                std::string Message =
                    LimitMessage(Name, PredictedVertices, PredictedFaces, MaxVertices, MaxFaces);
                Rewind();
                Fail(Result, i, TypeId, std::move(Message), Current);
                Result.OverLimits = true;
                Result.Estimated = true;
                Result.FailedVertices = PredictedVertices;
                Result.FailedFaces = PredictedFaces;
                return false;
            }
            Modifier.SetObjectScale(Ctx.ObjectScale.X, Ctx.ObjectScale.Y, Ctx.ObjectScale.Z);
            if (Modifier.KeepsTopology()) {
                // Only the vertices change: they go to the spare buffer, the faces and
                // edges stay where they are, and the old vertices are kept until the
                // output passes its check.
                TPositionSummary Written;
                if (ReadsSource) {
                    // One sweep of the source's positions, in two halves, gives the bounds
                    // a deformer measures with (when finite; it measures itself otherwise).
                    const TPositionSummary SourcePositions = SummarisePositions(Source->Vertices);
                    Modifier.DeformVerticesSummarised(Source->Vertices, &SourcePositions,
                                                      Current->Vertices, Written);
                } else {
                    Spare.resize(Current->Vertices.size());
                    Modifier.DeformVerticesSummarised(
                        Current->Vertices, PositionsKnown ? &Positions : nullptr, Spare, Written);
                    std::swap(Current->Vertices, Spare);
                }
                PositionsKnown = false;
                const std::string Problem =
                    OutputProblem(*Current, MaxVertices, MaxFaces, FacesChecked, &Written,
                                  ReadsSource ? &SourceFacesValid : nullptr);
                if (!Problem.empty()) {
                    const bool Over = OverCounts(*Current, MaxVertices, MaxFaces);
                    const int64_t Vertices = static_cast<int64_t>(Current->Vertices.size());
                    const int64_t Faces = static_cast<int64_t>(Current->Faces.size());
                    if (ReadsSource)
                        Rewind();
                    else
                        std::swap(Current->Vertices, Spare);
                    std::string Message = Name + ": " + Problem;
                    Fail(Result, i, TypeId, std::move(Message), Current);
                    if (Over) {
                        Result.OverLimits = true;
                        Result.FailedVertices = Vertices;
                        Result.FailedFaces = Faces;
                    }
                    return false;
                }
                FacesChecked = true;
                Positions = Written;
                PositionsKnown = true;
                Result.Flags |= kApplyAll;
                // An edge list never built is built at the end, as a full Apply would.
                EdgesStale = EdgesStale || (Current->Edges.empty() && !Current->Faces.empty());
                continue;
            }
            PositionsKnown = false;
            auto Output = std::make_unique<TMeshData>();
            const TModifierApplyInfo Info = Modifier.ApplyWithInfo(Ctx, *Current, *Output);
            const std::string Problem = OutputProblem(*Output, MaxVertices, MaxFaces, false);
            if (Ctx.Meter) {
                // A refused output is paid for too, but fails for what it is: the meter,
                // past its bound, stops whatever comes next.
                try {
                    Ctx.Meter->Charge(MeshWorkUnits(*Output));
                } catch (const EWorkLimitReached&) {
                    if (Problem.empty())
                        throw;
                }
            }
            if (!Problem.empty()) {
                std::string Message = Name + ": " + Problem;
                Fail(Result, i, TypeId, std::move(Message), Current);
                // Past the limits only when the counts are all that is wrong: an output
                // that is also unsound fails as it would with any limits.
                if (OverCounts(*Output, MaxVertices, MaxFaces) &&
                    MeshPositionsFinite(Output.get()) && MeshFacesValid(Output.get())) {
                    Result.OverLimits = true;
                    Result.FailedVertices = static_cast<int64_t>(Output->Vertices.size());
                    Result.FailedFaces = static_cast<int64_t>(Output->Faces.size());
                }
                return false;
            }
            Result.Flags |= Info.Flags;
            EdgesStale = EdgesStale || (Info.Flags & kApplyEdges) != 0;
            FacesChecked = true;
            Current = std::move(Output);
        } catch (...) {
            std::string Message =
                (Name.empty() ? TypeId : Name) + ": " + ExceptionText(std::current_exception());
            bool OutOfWork = false;
            try {
                throw;
            } catch (const EWorkLimitReached&) {
                OutOfWork = true;
            } catch (...) {
            }
            Rewind();
            Fail(Result, i, TypeId, std::move(Message), Current);
            Result.OutOfWork = OutOfWork;
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

std::string LimitMessage(const std::string& Name, int64_t Vertices, int64_t Faces,
                         int64_t MaxVertices, int64_t MaxFaces)
{
    return Name + ": output exceeds limits (" + IntToText(Vertices) + " verts/" + IntToText(Faces) +
           " faces; limit " + IntToText(MaxVertices) + "/" + IntToText(MaxFaces) + ")";
}

int64_t MeshWorkUnits(int64_t Vertices, int64_t Faces)
{
    return WorkProduct(kMeshElementUnits,
                       std::max<int64_t>(Vertices, 0) + std::max<int64_t>(Faces, 0));
}

int64_t MeshInputUnits(const TMeshData& Mesh)
{
    return WorkProduct(kInputElementUnits, static_cast<int64_t>(Mesh.Vertices.size()) +
                                               static_cast<int64_t>(Mesh.Faces.size()));
}

int64_t MeshWorkUnits(const TMeshData& Mesh)
{
    return MeshWorkUnits(static_cast<int64_t>(Mesh.Vertices.size()),
                         static_cast<int64_t>(Mesh.Faces.size()));
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
    return SummarisePositions(Mesh->Vertices).Finite;
}

bool MeshFacesValid(const TMeshData* Mesh)
{
    if (!Mesh)
        return false;
    const int64_t VertexCount = static_cast<int64_t>(Mesh->Vertices.size());
    const TMeshFace* faces = Mesh->Faces.data();
    const size_t n = Mesh->Faces.size();
    if (n < kHelperThreadMinimum)
        return FacesValid(faces, 0, n, VertexCount);
    bool halves[2] = {true, true};
    InTwoParts([&](int32_t Part) {
        halves[Part] = Part == 0 ? FacesValid(faces, 0, n / 2, VertexCount)
                                 : FacesValid(faces, n / 2, n, VertexCount);
    });
    return halves[0] && halves[1];
}
