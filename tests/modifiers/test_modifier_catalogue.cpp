// The built-in modifier catalogue: every type registered once, in menu order.
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "tests/modifiers/uModelingTestKit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct TExpectedType {
    const char* typeId;
    const char* displayName;
    const char* category;
};

const TExpectedType kCatalogue[] = {
    {"twist", "Twist", "Deform"},
    {"noise", "Noise", "Deform"},
    {"taper", "Taper", "Deform"},
    {"inflate", "Inflate", "Deform"},
    {"bend", "Bend", "Deform"},
    {"skew", "Skew", "Deform"},
    {"stretch", "Stretch", "Deform"},
    {"squeeze", "Squeeze", "Deform"},
    {"wave", "Wave", "Deform"},
    {"ripple", "Ripple", "Deform"},
    {"push", "Push", "Deform"},
    {"reverse_normals", "Reverse Normals", "Topology"},
    {"unscale_uvs", "Un-scale UVs", "UV Edit"},
    {"animated_uv", "Animated UV", "UV Edit"},
    {"array_2d", "Array 2D", "Array"},
    {"array_circular", "Array Circular", "Array"},
    {"mirror", "Mirror", "Deform"},
    {"xform", "XForm", "Deform"},
    {"subdivide", "Subdivide", "Topology"},
    {"shell", "Shell", "Topology"},
    {"slice", "Slice", "Topology"},
    {"cap_holes", "Cap Holes", "Topology"},
    {"normal", "Normal", "Topology"},
    {"relax", "Relax", "Deform"},
    {"vertex_weld", "Vertex Weld", "Topology"},
    {"animated_noise", "Animated Noise", "Animation Deformers"},
    {"animated_wave", "Animated Wave", "Animation Deformers"},
    {"pulse_scale", "Pulse Scale", "Animation Deformers"},
    {"spin", "Spin", "Animation Deformers"},
    {"spherify", "Spherify", "Mesh Quality"},
    {"optimize", "Optimize", "Mesh Quality"},
    {"tessellate", "Tessellate", "Mesh Quality"},
    {"smooth", "Smooth", "Mesh Quality"},
};

class ModifierCatalogue : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearModifierRegistry();
        RegisterBuiltInModifiers();
    }
};

}  // namespace

TEST_F(ModifierCatalogue, HoldsEveryTypeWithItsNameAndCategoryInMenuOrder)
{
    ASSERT_EQ(ModifierDescriptorCount(), static_cast<int32_t>(std::size(kCatalogue)));
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i) {
        const TModifierDescriptor& d = GetModifierDescriptor(i);
        const TExpectedType& e = kCatalogue[i];
        EXPECT_EQ(d.TypeId, e.typeId) << i;
        EXPECT_EQ(d.DisplayName, e.displayName) << i;
        EXPECT_EQ(d.Category, e.category) << i;
        EXPECT_TRUE(d.Aliases.empty()) << i;
        // The factory makes that type, and the modifier names itself the same way.
        auto m = CreateModifierByIndex(i);
        ASSERT_TRUE(m) << i;
        EXPECT_EQ(m->GetTypeId(), e.typeId);
        EXPECT_EQ(m->GetDisplayName(), e.displayName);
        m->SetEnabled(false);
        auto clone = m->Clone();
        EXPECT_EQ(clone->GetTypeId(), e.typeId);
        EXPECT_NE(clone->GetId(), m->GetId());
        EXPECT_FALSE(clone->GetEnabled()) << e.typeId;
        EXPECT_EQ(kit::Saved(*clone), kit::Saved(*m)) << e.typeId;
    }
}

TEST_F(ModifierCatalogue, ModellingTypesSurviveFacesThatBreakTheRules)
{
    // From mirror on: each either drops such faces or hands them on for the evaluator to
    // refuse; none reads or writes past a face's corners (the sanitiser build checks).
    const TMeshData corrupt = kit::CorruptMesh();
    const TModifierDescriptor* first = FindModifierDescriptor("mirror");
    ASSERT_TRUE(first);
    int32_t index = 0;
    while (&GetModifierDescriptor(index) != first)
        ++index;
    for (; index < ModifierDescriptorCount(); ++index) {
        const std::string typeId = GetModifierDescriptor(index).TypeId;
        const TModifierEvaluationResult result =
            kit::Evaluate(CreateModifierByIndex(index), corrupt, 0.5);
        ASSERT_TRUE(result.Mesh) << typeId;
        if (result.Success)
            EXPECT_TRUE(MeshFacesValid(result.Mesh.get())) << typeId;
        else
            EXPECT_NE(result.Message.find("output contains invalid"), std::string::npos)
                << typeId << ": " << result.Message;
    }
}

TEST_F(ModifierCatalogue, CategoriesComeInTheOrderOfTheirFirstEntry)
{
    std::vector<std::string> order;
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i) {
        const std::string& category = GetModifierDescriptor(i).Category;
        if (std::find(order.begin(), order.end(), category) == order.end())
            order.push_back(category);
    }
    EXPECT_EQ(order, (std::vector<std::string>{"Deform", "Topology", "UV Edit", "Array",
                                               "Animation Deformers", "Mesh Quality"}));
    const auto& categories = ModifierCategories();
    EXPECT_EQ(std::vector<std::string>(categories.begin(), categories.end()), order);
}
