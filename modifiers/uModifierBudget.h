#pragma once
// Upper bounds of what a modifier step or stack will build and how much work it will do,
// worked out from its input mesh and the modifiers' parameters, without running anything.
// Opening a file admits each step from the mesh it really receives, so a small file
// cannot ask for gigabytes or minutes.
#include <cstdint>

class TMeshData;
class TModifier;
class TModifierStack;

// Counts of a mesh, or upper bounds of them. Every figure saturates at kCountCeiling
// instead of wrapping.
struct TMeshCounts {
    int64_t Vertices = 0;
    int64_t Faces = 0;
    int64_t Triangles = 0;  // faces of 3 corners (or of any count but 4)
    int64_t Quads = 0;      // faces of 4 corners
    int64_t Edges = 0;      // unique edges
};

constexpr int64_t kCountCeiling = int64_t{1} << 60;

struct TStackEstimate {
    // Bounds of the final mesh, and the largest mesh met on the way (a later step may
    // shrink what an earlier one built).
    TMeshCounts Output;
    int64_t PeakVertices = 0;
    int64_t PeakFaces = 0;
    // Work in neighbour visits of a smoothing pass: each step copies and checks its input
    // and builds its output (an element built weighs as much as 32 visits), iterative
    // steps visit every vertex's neighbours once per iteration.
    int64_t Work = 0;
};

// Exact counts; the edges are those of the mesh's edge list, or the face sides when the
// list is empty.
TMeshCounts CountMesh(const TMeshData& Mesh);

// One enabled modifier run on a mesh of Input counts: bounds of its output, plus its work.
TMeshCounts EstimateModifierOutput(const TModifier& Modifier, const TMeshCounts& Input,
                                   int64_t& Work);
// One enabled modifier run on this very mesh: bounds of its output, plus its work. Where a
// kernel's cost depends on the mesh's shape and not only on its counts, it is counted
// from the mesh itself.
TMeshCounts EstimateModifierStep(const TModifier& Modifier, const TMeshData& Input, int64_t& Work);
// Every enabled modifier of Stack in order, starting from Input.
TStackEstimate EstimateStack(const TMeshCounts& Input, const TModifierStack& Stack);
