#pragma once
// Small modifiers for the stack and evaluator tests.
#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifiers.h"

#include <cmath>
#include <functional>
#include <limits>
#include <new>
#include <stdexcept>

// x' = x * Scale + Offset for every vertex; keeps the topology.
class TAffineTestModifier : public TModifier {
public:
    explicit TAffineTestModifier(float scale = 1, float offset = 0) : Scale(scale), Offset(offset)
    {
    }
    TAffineTestModifier(const TAffineTestModifier& Source)
        : TModifier(Source), Scale(Source.Scale), Offset(Source.Offset), TypeId(Source.TypeId)
    {
    }
    ~TAffineTestModifier() override
    {
        if (OnDestroy)
            OnDestroy(*this);
    }
    std::string GetTypeId() const override { return TypeId; }
    std::string GetDisplayName() const override { return "Test Affine"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override
    {
        Dest.Clear();
        CopyMeshArrays(&Source, &Dest);
        for (TMeshVertex& V : Dest.Vertices)
            V.Position.X = V.Position.X * Scale + Offset;
        Dest.RebuildEdges();
    }
    std::unique_ptr<TModifier> Clone() const override
    {
        auto Copy = std::make_unique<TAffineTestModifier>(*this);
        FinishClone(*Copy);
        return Copy;
    }
    void SaveParams(std::vector<std::string>& Lines) const override
    {
        Lines.push_back(KeyFloatLine("Scale=", Scale));
        Lines.push_back(KeyFloatLine("Offset=", Offset));
    }
    void LoadParams(const std::vector<std::string>& Lines, int32_t& Index) override
    {
        while (Index < static_cast<int32_t>(Lines.size())) {
            const std::string& Line = Lines[static_cast<size_t>(Index++)];
            if (Line == "ENDMOD")
                break;
            if (StartsWithKey(Line, "Scale="))
                Scale = KeyFloatValue(Line, "Scale=", 1);
            else if (StartsWithKey(Line, "Offset="))
                Offset = KeyFloatValue(Line, "Offset=", 0);
        }
    }
    void SetOffset(float Value)
    {
        if (Value == Offset)
            return;
        Offset = Value;
        Changed();
    }
    void SetObjectScale(float X, float Y, float Z) override { ObjectScale = Vec3(X, Y, Z); }

    float Scale;
    float Offset;
    std::string TypeId = "test_affine";  // "bend" makes it work on a composite
    TVec3 ObjectScale{0, 0, 0};
    // Called from the destructor (not copied by clones).
    std::function<void(TAffineTestModifier&)> OnDestroy;
};

// The affine modifier through the evaluator's vertex-only path. With ThrowAt >= 0 it
// raises after writing that many vertices.
class TVertexAffineTestModifier : public TAffineTestModifier {
public:
    using TAffineTestModifier::TAffineTestModifier;
    bool KeepsTopology() const override { return true; }
    void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out) override
    {
        for (size_t i = 0; i < In.size(); ++i) {
            if (static_cast<int64_t>(i) == ThrowAt)
                throw std::runtime_error("stopped midway");
            Out[i] = In[i];
            Out[i].Position.X = In[i].Position.X * Scale + Offset;
        }
    }
    int64_t ThrowAt = -1;
};

// Appends Copies copies of the source; the estimate is honest unless Lie is set, in which
// case it claims a single copy. Reports only the flags given.
class TCopiesTestModifier : public TModifier {
public:
    explicit TCopiesTestModifier(int64_t copies = 2, bool lie = false) : Copies(copies), Lie(lie) {}
    std::string GetTypeId() const override { return "test_copies"; }
    std::string GetDisplayName() const override { return "Test Copies"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override
    {
        ++ApplyCount;
        Dest.Clear();
        Dest.Vertices.reserve(Source.Vertices.size() * static_cast<size_t>(Copies));
        Dest.Faces.reserve(Source.Faces.size() * static_cast<size_t>(Copies));
        for (int64_t i = 0; i < Copies; ++i)
            AppendMesh(&Source, &Dest);
        if (RebuildOwnEdges)
            Dest.RebuildEdges();
    }
    TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context, const TMeshData& Source,
                                     TMeshData& Dest) override
    {
        Apply(Source, Dest);
        return {Flags, {}};
    }
    std::unique_ptr<TModifier> Clone() const override
    {
        auto Copy = std::make_unique<TCopiesTestModifier>(*this);
        FinishClone(*Copy);
        return Copy;
    }
    bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                            int64_t& Edges) const override
    {
        TMeshCopyCounts Counts;
        EstimateCopies(&Mesh, Lie ? 1 : Copies, Counts);
        Vertices = Counts.Vertices;
        Faces = Counts.Faces;
        Edges = Counts.Edges;
        return true;
    }
    int64_t Copies;
    bool Lie;
    bool RebuildOwnEdges = true;
    int32_t Flags = kApplyAll;
    int ApplyCount = 0;
};

// Fails in one of several ways.
enum class TFault { Throw, ThrowInEstimate, TwoCornerFace, IndexEqualsCount, NaNPosition };

class TFaultyTestModifier : public TModifier {
public:
    explicit TFaultyTestModifier(TFault fault) : Fault(fault) {}
    std::string GetTypeId() const override { return "test_faulty"; }
    std::string GetDisplayName() const override { return "Test Faulty"; }
    void Apply(const TMeshData& Source, TMeshData& Dest) override
    {
        Dest.Clear();
        CopyMeshArrays(&Source, &Dest);
        switch (Fault) {
        case TFault::Throw:
            throw std::runtime_error("cannot handle this mesh");
        case TFault::ThrowInEstimate:
            break;
        case TFault::TwoCornerFace:
            Dest.Faces.at(0).Count = 2;
            break;
        case TFault::IndexEqualsCount:
            Dest.Faces.at(0).Indices[1] = static_cast<int32_t>(Dest.Vertices.size());
            break;
        case TFault::NaNPosition:
            Dest.Vertices.at(0).Position.Y = std::numeric_limits<float>::quiet_NaN();
            break;
        }
    }
    std::unique_ptr<TModifier> Clone() const override
    {
        auto Copy = std::make_unique<TFaultyTestModifier>(*this);
        FinishClone(*Copy);
        return Copy;
    }
    bool EstimateOutputSize(const TMeshData&, int64_t&, int64_t&, int64_t&) const override
    {
        if (Fault == TFault::ThrowInEstimate)
            throw std::bad_alloc();
        return false;
    }
    TFault Fault;
};
