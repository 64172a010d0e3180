#include "modifiers/uModifierBudget.h"

#include "base/uMesh.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierMeshQuality.h"
#include "modifiers/uModifierModeling.h"
#include "modifiers/uModifierModelingSurface.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierTopologyUtils.h"
#include "modifiers/uModifiers.h"

#include <algorithm>

namespace {

// An element built by a step (allocated, written, indexed and checked) costs about as
// much as this many neighbour visits of a smoothing pass.
constexpr int64_t kBuiltElementWork = 32;

int64_t Sat(int64_t Value)
{
    return std::clamp<int64_t>(Value, 0, kCountCeiling);
}

int64_t Add(int64_t A, int64_t B)
{
    return Sat(Sat(A) + Sat(B));
}

int64_t Mul(int64_t A, int64_t B)
{
    A = Sat(A);
    B = Sat(B);
    if (A == 0 || B == 0)
        return 0;
    if (A > kCountCeiling / B)
        return kCountCeiling;
    return A * B;
}

TMeshCounts Scaled(const TMeshCounts& In, int64_t Copies)
{
    return {Mul(In.Vertices, Copies), Mul(In.Faces, Copies), Mul(In.Triangles, Copies),
            Mul(In.Quads, Copies), Mul(In.Edges, Copies)};
}

// Corners of all faces: a bound of the edges of any mesh built from these faces.
int64_t Corners(const TMeshCounts& C)
{
    return Add(Mul(C.Triangles, 3), Mul(C.Quads, 4));
}

TMeshCounts Subdivided(TMeshCounts C, int32_t Levels, int64_t& Work)
{
    for (int32_t level = 0; level < Levels; ++level) {
        TMeshCounts next;
        next.Vertices = Add(Add(C.Vertices, C.Edges), C.Quads);
        next.Faces = Mul(C.Faces, 4);
        next.Edges = Add(Add(Mul(C.Edges, 2), Mul(C.Triangles, 3)), Mul(C.Quads, 4));
        next.Triangles = Mul(C.Triangles, 4);
        next.Quads = Mul(C.Quads, 4);
        C = next;
        // Every pass but the last builds a mesh of its own; the last builds the output.
        if (level + 1 < Levels)
            Work = Add(Work, Mul(kBuiltElementWork, Add(Add(C.Vertices, C.Faces), C.Edges)));
    }
    return C;
}

// Passes over every vertex and its neighbours.
int64_t IterationWork(const TMeshCounts& C, int32_t Iterations)
{
    return Mul(std::max(Iterations, 0), Add(C.Vertices, Mul(C.Edges, 2)));
}

// The ear clipping of a loop of n points: a tree of boxes over them, and for each corner
// looked at (each once, then the two beside each clipped one) a descent of that tree. Timed
// beside a smoothing pass, a level costs about as much as 48 neighbour visits.
constexpr int64_t kEarWorkPerLevel = 48;
// The weld's grid: a point's cell, its copy test and the look-ups of the cells its reach
// crosses.
constexpr int64_t kWeldPointWork = 16;

int64_t Levels(int64_t Count)
{
    int64_t levels = 1;
    while (levels < 62 && (int64_t{1} << levels) < Count)
        ++levels;
    return levels;
}

// From the mesh's own boundary loops: the caps are exactly the loops' triangles, and the
// clipping costs by each loop's length.
TMeshCounts CapHolesStep(const TMeshData& Mesh, const TMeshCounts& Input, int64_t& Work)
{
    TIntegerArrayList loops;
    int64_t caps = 0, diagonals = 0, clipping = 0;
    if (FindBoundaryLoops(Mesh, loops))
        for (const TIntegerArray& loop : loops) {
            const int64_t n = static_cast<int64_t>(loop.size());
            caps = Add(caps, n - 2);
            diagonals = Add(diagonals, n - 3);
            clipping = Add(clipping, Mul(Mul(n, Levels(n)), kEarWorkPerLevel));
        }
    TMeshCounts out = Input;
    out.Faces = Add(Input.Faces, caps);
    out.Triangles = Add(Input.Triangles, caps);
    out.Edges = Add(Input.Edges, diagonals);
    // Copies of the input, the boundary search (an edge list) and the caps built.
    const int64_t built = Add(Add(Mul(Input.Vertices, 2), Mul(Input.Faces, 2)),
                              Add(Mul(Input.Edges, 2), Mul(caps, 2)));
    Work = Add(Work, Add(Add(Mul(kBuiltElementWork, built), clipping), 1));
    return out;
}

}  // namespace

TMeshCounts CountMesh(const TMeshData& Mesh)
{
    TMeshCounts c;
    c.Vertices = static_cast<int64_t>(Mesh.Vertices.size());
    c.Faces = static_cast<int64_t>(Mesh.Faces.size());
    for (const TMeshFace& f : Mesh.Faces)
        (f.Count == 4 ? c.Quads : c.Triangles) += 1;
    c.Edges = Mesh.Edges.empty() && !Mesh.Faces.empty() ? Corners(c)
                                                        : static_cast<int64_t>(Mesh.Edges.size());
    return c;
}

TMeshCounts EstimateModifierOutput(const TModifier& Modifier, const TMeshCounts& Input,
                                   int64_t& Work)
{
    TMeshCounts out = Input;  // deformers, normals and UVs keep the mesh's size
    int64_t extra = 0;
    if (const auto* grid = dynamic_cast<const TArray2DModifier*>(&Modifier)) {
        const int64_t copies = Mul(std::max(grid->GetCountX(), 0), std::max(grid->GetCountY(), 0));
        out = Scaled(Input, copies);
    } else if (const auto* ring = dynamic_cast<const TArrayCircularModifier*>(&Modifier)) {
        const int64_t copies =
            Add(std::max(ring->GetCount(), 0), ring->GetIncludeOriginal() ? 1 : 0);
        out = Scaled(Input, copies);
    } else if (const auto* mirror = dynamic_cast<const TMirrorModifier*>(&Modifier)) {
        out = Scaled(Input, mirror->GetIncludeOriginal() ? 2 : 1);
    } else if (const auto* subdivide = dynamic_cast<const TSubdivideModifier*>(&Modifier)) {
        out = Subdivided(Input, std::clamp(subdivide->GetLevels(), 0, 5), extra);
    } else if (dynamic_cast<const TShellModifier*>(&Modifier)) {
        // Two copies of every vertex and face, and a rim quad per boundary edge.
        out.Vertices = Mul(Input.Vertices, 2);
        out.Quads = Add(Mul(Input.Quads, 2), Input.Edges);
        out.Triangles = Mul(Input.Triangles, 2);
        out.Faces = Add(out.Quads, out.Triangles);
        out.Edges = Add(Mul(Input.Edges, 2), Add(Input.Edges, Mul(Input.Vertices, 2)));
    } else if (const auto* slice = dynamic_cast<const TSliceModifier*>(&Modifier)) {
        // A cut face gives at most two new corners and three pieces on each side kept.
        const int64_t pieces = slice->GetKeepPositive() && slice->GetKeepNegative() ? 6 : 3;
        out.Vertices = Add(Input.Vertices, Mul(Input.Faces, 2));
        out.Faces = Mul(Input.Faces, pieces);
        out.Triangles = out.Faces;
        out.Quads = out.Faces;
        out.Edges = Mul(out.Faces, 4);
    } else if (dynamic_cast<const TCapHolesModifier*>(&Modifier)) {
        // A hole of n boundary edges is closed by n - 2 triangles.
        out.Faces = Add(Input.Faces, Input.Edges);
        out.Triangles = Add(Input.Triangles, Input.Edges);
        out.Edges = Mul(Input.Edges, 2);
    } else if (const auto* tess = dynamic_cast<const TTessellateModifier*>(&Modifier)) {
        if (tess->GetTriangulateQuads()) {
            out.Faces = Add(Input.Faces, Input.Quads);
            out.Triangles = Add(Input.Triangles, Mul(Input.Quads, 2));
            out.Quads = 0;
            out.Edges = Add(Input.Edges, Input.Quads);
        }
    } else if (const auto* relax = dynamic_cast<const TRelaxModifier*>(&Modifier)) {
        extra = IterationWork(Input, relax->GetIterations());
    } else if (const auto* smooth = dynamic_cast<const TSmoothModifier*>(&Modifier)) {
        extra = IterationWork(Input, smooth->GetIterations());
    }
    // Optimize and vertex weld only drop elements: the input's counts bound them.
    const int64_t copied = Add(Add(Input.Vertices, Input.Faces), Add(out.Vertices, out.Faces));
    Work = Add(Work, Add(Mul(kBuiltElementWork, Add(copied, out.Edges)), Add(extra, 1)));
    return out;
}

TMeshCounts EstimateModifierStep(const TModifier& Modifier, const TMeshData& Input, int64_t& Work)
{
    const TMeshCounts input = CountMesh(Input);
    if (dynamic_cast<const TCapHolesModifier*>(&Modifier))
        return CapHolesStep(Input, input, Work);
    TMeshCounts out = EstimateModifierOutput(Modifier, input, Work);
    if (dynamic_cast<const TVertexWeldModifier*>(&Modifier))
        Work = Add(Work, Mul(kWeldPointWork, input.Vertices));
    return out;
}

TStackEstimate EstimateStack(const TMeshCounts& Input, const TModifierStack& Stack)
{
    TStackEstimate e;
    e.Output = Input;
    e.PeakVertices = Input.Vertices;
    e.PeakFaces = Input.Faces;
    e.Work = Mul(kBuiltElementWork, Add(Input.Vertices, Input.Faces));  // the source's copy
    for (int32_t i = 0; i < Stack.Count(); ++i) {
        const TModifier* modifier = Stack.GetItem(i);
        if (!modifier->GetEnabled())
            continue;
        e.Output = EstimateModifierOutput(*modifier, e.Output, e.Work);
        e.PeakVertices = std::max(e.PeakVertices, e.Output.Vertices);
        e.PeakFaces = std::max(e.PeakFaces, e.Output.Faces);
    }
    return e;
}
