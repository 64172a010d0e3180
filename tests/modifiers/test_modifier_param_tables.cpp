// The parameter tables of the modelling, animated and mesh-quality modifiers: one entry per
// parameter line, window rows numbered from 1 without gaps, and a table that writes, reads
// back and edits the same values.
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

const char* const kTableTypes[] = {
    "mirror", "xform",    "subdivide",   "shell",          "slice",         "cap_holes",
    "normal", "relax",    "vertex_weld", "animated_noise", "animated_wave", "pulse_scale",
    "spin",   "spherify", "optimize",    "tessellate",     "smooth"};

class ModifierParamTables : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Other tests leave test types, or none, registered.
        ClearModifierRegistry();
        RegisterBuiltInModifiers();
    }
};

}  // namespace

TEST_F(ModifierParamTables, EachTableNamesEveryLineOnceAndNumbersItsRows)
{
    for (const char* type : kTableTypes) {
        SCOPED_TRACE(type);
        std::unique_ptr<TModifier> m = CreateModifierByTypeId(type);
        ASSERT_NE(m, nullptr);
        const TModifierParamTable* t = m->GetParamTable();
        ASSERT_NE(t, nullptr);
        std::vector<std::string> lines;
        m->SaveParams(lines);
        ASSERT_EQ(lines.size(), t->Params.size());
        std::set<int32_t> rows;
        for (size_t i = 0; i < lines.size(); ++i) {
            EXPECT_TRUE(StartsWithKey(lines[i], t->Params[i].Key)) << lines[i];
            EXPECT_FALSE(t->Params[i].Caption.empty());
            rows.insert(t->Params[i].Row);
            if (t->Params[i].Kind == TParamKind::Choice)
                EXPECT_FALSE(t->Params[i].Items.empty());
        }
        EXPECT_EQ(rows.size(), lines.size());
        for (int32_t row = 1; row <= t->RowCount(); ++row)
            EXPECT_NE(t->ByRow(row), nullptr) << row;
    }
}

TEST_F(ModifierParamTables, AValueSetThroughTheTableIsSavedAndLoadedBack)
{
    for (const char* type : kTableTypes) {
        SCOPED_TRACE(type);
        std::unique_ptr<TModifier> m = CreateModifierByTypeId(type);
        const TModifierParamTable& t = *m->GetParamTable();
        // Every row gets a value its setter keeps: the other choice, the other Boolean, a
        // small change of a number.
        for (const TModifierParam& p : t.Params) {
            const double v = p.Get(*m);
            switch (p.Kind) {
            case TParamKind::Boolean:
                p.Set(*m, v != 0 ? 0 : 1);
                break;
            case TParamKind::Choice:
                p.Set(*m, (int(v) + 1) % int(p.Items.size()));
                break;
            case TParamKind::Integer:
                p.Set(*m, v + 1);
                break;
            case TParamKind::Float:
                p.Set(*m, v + 0.125);
                break;
            }
        }
        std::vector<std::string> lines;
        m->SaveParams(lines);
        std::unique_ptr<TModifier> loaded = CreateModifierByTypeId(type);
        int32_t index = 0;
        loaded->LoadParams(lines, index);
        EXPECT_EQ(index, int32_t(lines.size()));
        for (const TModifierParam& p : t.Params)
            EXPECT_EQ(p.Get(*loaded), p.Get(*m)) << p.Key;
    }
}
