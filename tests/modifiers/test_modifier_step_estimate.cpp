// The step estimates taken from the very mesh a step receives: cap holes counts its caps
// from the mesh's boundary loops, exactly, and its clipping work by each loop's length.
#include "modifiers/uModifierBudget.h"
#include "modifiers/uModifierModelingSurface.h"

#include <gtest/gtest.h>

namespace {

// A row of Length unit quads in the XZ plane: one boundary loop of 2 * Length + 2 points.
TMeshData Strip(int Length)
{
    TMeshData m;
    for (int x = 0; x <= Length; ++x)
        for (int z = 0; z <= 1; ++z) {
            TMeshVertex v;
            v.Position = {static_cast<float>(x), 0, static_cast<float>(z)};
            m.AddVertex(v);
        }
    for (int x = 0; x < Length; ++x)
        m.AddQuad(2 * x, 2 * x + 1, 2 * x + 3, 2 * x + 2);
    m.RebuildEdges();
    return m;
}

TEST(ModifierStepEstimate, CapHolesCountsItsCapsFromTheLoopsExactly)
{
    TCapHolesModifier cap;
    for (int length : {1, 7, 100}) {
        const TMeshData strip = Strip(length);
        int64_t work = 0;
        const TMeshCounts estimate = EstimateModifierStep(cap, strip, work);
        TMeshData capped;
        cap.Apply(strip, capped);
        EXPECT_EQ(estimate.Vertices, static_cast<int64_t>(capped.Vertices.size())) << length;
        EXPECT_EQ(estimate.Faces, static_cast<int64_t>(capped.Faces.size())) << length;
        EXPECT_GE(estimate.Edges, static_cast<int64_t>(capped.Edges.size())) << length;
        // Tighter than the bound from counts alone, which must allow a cap per edge.
        int64_t countsWork = 0;
        const TMeshCounts fromCounts = EstimateModifierOutput(cap, CountMesh(strip), countsWork);
        EXPECT_LE(estimate.Faces, fromCounts.Faces) << length;
    }
}

TEST(ModifierStepEstimate, CapHolesWorkGrowsFasterThanTheLoop)
{
    // The clipping of one loop costs more than its length times a constant: four times
    // the loop, more than four times the work.
    TCapHolesModifier cap;
    int64_t shortWork = 0, longWork = 0;
    EstimateModifierStep(cap, Strip(1000), shortWork);
    EstimateModifierStep(cap, Strip(4000), longWork);
    EXPECT_GT(longWork, 4 * shortWork);
    // Without a hole there is nothing to cap.
    TMeshData closed;
    for (const TVec3& p : {TVec3{0, 0, 0}, TVec3{1, 0, 0}, TVec3{0, 1, 0}, TVec3{0, 0, 1}}) {
        TMeshVertex v;
        v.Position = p;
        closed.AddVertex(v);
    }
    closed.AddTriangle(0, 2, 1);
    closed.AddTriangle(0, 1, 3);
    closed.AddTriangle(1, 2, 3);
    closed.AddTriangle(2, 0, 3);
    closed.RebuildEdges();
    int64_t closedWork = 0;
    EXPECT_EQ(EstimateModifierStep(cap, closed, closedWork).Faces,
              static_cast<int64_t>(closed.Faces.size()));
}

TEST(ModifierStepEstimate, VertexWeldKeepsTheInputCountsAndChargesItsPoints)
{
    TVertexWeldModifier weld;
    const TMeshData strip = Strip(50);
    int64_t work = 0, countsWork = 0;
    const TMeshCounts estimate = EstimateModifierStep(weld, strip, work);
    const TMeshCounts fromCounts = EstimateModifierOutput(weld, CountMesh(strip), countsWork);
    EXPECT_EQ(estimate.Vertices, fromCounts.Vertices);
    EXPECT_EQ(estimate.Faces, fromCounts.Faces);
    EXPECT_GT(work, countsWork);
}

}  // namespace
