// A crafted file whose weld meets crowded patches of points in reach of each other while no
// pair of them is within the threshold: it opens whole, and the work its stack is charged
// grows with its vertices, not with the pairs of the patches.
#include "base/uWorkMeter.h"
#include "document/uProjectDocument.h"
#include "modifiers/uModifierEvaluator.h"
#include "scene/uSceneObject.h"
#include "tests/document/hostile_scene_files.h"
#include "tests/document/project_file_fixture.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>

namespace {

class WeldCrowdOpenTest : public TProjectFileFixture {
protected:
    WeldCrowdOpenTest() : TProjectFileFixture("quill_weld_crowd_") {}
};

TSceneObject* OnlyObject(TScene& Scene)
{
    TSceneObject* found = nullptr;
    for (TSceneNode* node : Scene.GetNodes())
        if (auto* object = dynamic_cast<TSceneObject*>(node))
            found = object;
    return found;
}

}  // namespace

TEST_F(WeldCrowdOpenTest, PatchesInReachWithNoPairWithinCostWorkInProportionToTheirPoints)
{
    // 20,000 copies of each corner: the two pairs of patches hold 800,000,000 pairs.
    constexpr int kCountX = 1000, kCountY = 20;
    constexpr int64_t kCopies = int64_t{kCountX} * kCountY;
    const std::string path = PathOf("crowded.qstn");
    std::ofstream(path, std::ios::binary) << HostileFiles::CrowdedWeldQuad(kCountX, kCountY);

    TProjectDocument doc;
    doc.LoadFromFile(path);
    TSceneObject* quad = OnlyObject(doc.GetScene());
    ASSERT_NE(quad, nullptr);
    EXPECT_FALSE(quad->IsEvaluationHeld()) << quad->GetEvaluationMessage();
    ASSERT_TRUE(quad->HasEvaluatedMesh()) << quad->GetEvaluationMessage();
    const TMeshData opened = *quad->GetEvaluatedMesh();
    // Each corner's copies weld into one vertex; no corner reaches another.
    ASSERT_EQ(opened.Vertices.size(), 4u);
    EXPECT_EQ(static_cast<int64_t>(opened.Faces.size()), kCopies);

    TWorkMeter meter;
    TModifierEvalContext context = quad->GetEvalContext();
    context.Meter = &meter;
    TModifierEvaluationResult result;
    ASSERT_TRUE(
        TModifierEvaluator().Evaluate(quad->GetBaseMesh(), quad->GetModifiers(), context, result))
        << result.Message;
    EXPECT_EQ(result.Mesh->Vertices, opened.Vertices);
    EXPECT_EQ(result.Mesh->Faces, opened.Faces);
    // Comparing the patches pair by pair would be charged at least a unit a pair; the
    // steps' own input and output are charged tens of units a vertex.
    const int64_t pairs = 2 * kCopies * kCopies;
    EXPECT_LT(meter.Used(), pairs / 20) << "units for " << 4 * kCopies << " vertices";
}
