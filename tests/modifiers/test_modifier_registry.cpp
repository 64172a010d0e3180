#include "base/uErrors.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "tests/modifiers/uTestModifiers.h"

#include <gtest/gtest.h>

namespace {

std::unique_ptr<TModifier> MakeAffine()
{
    return std::make_unique<TAffineTestModifier>();
}
std::unique_ptr<TModifier> MakeCopies()
{
    return std::make_unique<TCopiesTestModifier>();
}

template <class F>
std::string ErrorOf(F&& f)
{
    try {
        f();
    } catch (const EGeneralError& e) {
        return e.what();
    }
    return "no error";
}

class ModifierRegistry : public ::testing::Test {
protected:
    void SetUp() override
    {
        ClearModifierRegistry();
        RegisterModifier("test_affine", "Test Affine", "Deform", MakeAffine);
        RegisterModifier("test_copies", "Test Copies", "Array", MakeCopies);
    }
    void TearDown() override
    {
        ClearModifierRegistry();
        RegisterBuiltInModifiers();
    }
};

}  // namespace

TEST_F(ModifierRegistry, CreatesByTypeIdInAnyLetterCase)
{
    for (const char* id : {"test_affine", "TEST_AFFINE", "Test_Affine"}) {
        auto m = CreateModifierByTypeId(id);
        ASSERT_TRUE(m) << id;
        EXPECT_EQ(m->GetTypeId(), "test_affine");
    }
    EXPECT_FALSE(CreateModifierByTypeId(""));
    EXPECT_FALSE(CreateModifierByTypeId("twist_unknown"));
}

TEST_F(ModifierRegistry, CreatesByIndexWithinTheList)
{
    EXPECT_EQ(ModifierDescriptorCount(), 2);
    EXPECT_FALSE(CreateModifierByIndex(-1));
    EXPECT_FALSE(CreateModifierByIndex(2));
    auto m = CreateModifierByIndex(1);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->GetTypeId(), "test_copies");
    EXPECT_EQ(GetModifierDescriptor(0).DisplayName, "Test Affine");
    EXPECT_EQ(GetModifierDescriptor(1).Category, "Array");
    EXPECT_EQ(ErrorOf([] { GetModifierDescriptor(2); }), "List index (2) out of bounds");
    EXPECT_EQ(ErrorOf([] { GetModifierDescriptor(-1); }), "List index (-1) out of bounds");
}

TEST_F(ModifierRegistry, FactoryCallsGiveDistinctModifiers)
{
    auto a = CreateModifierByTypeId("test_affine");
    auto b = CreateModifierByTypeId("test_affine");
    EXPECT_NE(a->GetId(), b->GetId());
    EXPECT_TRUE(a->GetEnabled());
}

TEST_F(ModifierRegistry, RefusedRegistrationsLeaveTheRegistryUnchanged)
{
    EXPECT_EQ(ErrorOf([] { RegisterModifier("test_copies", "Again", "Array", MakeCopies); }),
              "Duplicate modifier TypeId: test_copies");
    EXPECT_EQ(ErrorOf([] { RegisterModifier("TEST_COPIES", "Again", "Array", MakeCopies); }),
              "Duplicate modifier TypeId: TEST_COPIES");
    EXPECT_EQ(ErrorOf([] { AddModifierDescriptor(nullptr); }), "Modifier descriptor is nil");
    EXPECT_EQ(ErrorOf([] { RegisterModifier("", "Empty", "Deform", MakeAffine); }),
              "Modifier descriptor has empty TypeId");

    auto aliased = std::make_unique<TModifierDescriptor>();
    aliased->TypeId = "test_other";
    aliased->Factory = MakeAffine;
    aliased->Aliases = {"fresh", "Test_Affine"};
    EXPECT_EQ(ErrorOf([&] { AddModifierDescriptor(std::move(aliased)); }),
              "Duplicate modifier alias: Test_Affine (for test_other)");
    EXPECT_EQ(ModifierDescriptorCount(), 2);
    EXPECT_FALSE(FindModifierDescriptor("fresh"));
}

TEST_F(ModifierRegistry, AliasesFindTheirDescriptorAndBlockLaterTypeIds)
{
    auto aliased = std::make_unique<TModifierDescriptor>();
    aliased->TypeId = "test_other";
    aliased->Factory = MakeAffine;
    aliased->Aliases = {"Legacy_Name"};
    AddModifierDescriptor(std::move(aliased));
    const TModifierDescriptor* found = FindModifierDescriptor("legacy_name");
    ASSERT_TRUE(found);
    EXPECT_EQ(found->TypeId, "test_other");
    EXPECT_EQ(ErrorOf([] { RegisterModifier("LEGACY_NAME", "X", "Deform", MakeAffine); }),
              "Duplicate modifier TypeId: LEGACY_NAME");
}

TEST(ModifierCategories, SixInMenuOrder)
{
    const auto& names = ModifierCategories();
    EXPECT_EQ(std::vector<std::string>(names.begin(), names.end()),
              (std::vector<std::string>{"Deform", "Topology", "UV Edit", "Array",
                                        "Animation Deformers", "Mesh Quality"}));
}
