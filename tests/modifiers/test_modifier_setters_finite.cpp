// The float setters that take typed or loaded numbers refuse NaN and infinities: the value
// stays, and no change is reported.
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>
#include <string>

namespace {

struct TSetterCase {
    std::string Name;
    std::function<std::unique_ptr<TModifier>()> Make;
    std::function<void(TModifier&, float)> Set;
    std::function<float(const TModifier&)> Get;
};

template <class M>
TSetterCase Case(std::string Name, void (M::*Set)(float), float (M::*Get)() const)
{
    return {Name, [] { return std::make_unique<M>(); },
            [Set](TModifier& m, float v) { (static_cast<M&>(m).*Set)(v); },
            [Get](const TModifier& m) { return (static_cast<const M&>(m).*Get)(); }};
}

}  // namespace

TEST(ModifierSetters, RefuseNonFiniteValues)
{
    const TSetterCase cases[] = {
        Case("twist angle", &TTwistModifier::SetAngle, &TTwistModifier::GetAngle),
        Case("noise strength", &TNoiseModifier::SetStrength, &TNoiseModifier::GetStrength),
        Case("noise scale", &TNoiseModifier::SetScale, &TNoiseModifier::GetScale),
        Case("taper amount", &TTaperModifier::SetAmount, &TTaperModifier::GetAmount),
        Case("inflate width", &TInflateModifier::SetWidth, &TInflateModifier::GetWidth),
        Case("array offset x", &TArray2DModifier::SetOffsetX, &TArray2DModifier::GetOffsetX),
        Case("array offset y", &TArray2DModifier::SetOffsetY, &TArray2DModifier::GetOffsetY),
        Case("array step", &TArray2DModifier::SetStepY, &TArray2DModifier::GetStepY),
        Case("circle start", &TArrayCircularModifier::SetStartAngle,
             &TArrayCircularModifier::GetStartAngle),
        Case("circle total", &TArrayCircularModifier::SetTotalAngle,
             &TArrayCircularModifier::GetTotalAngle),
        Case("circle centre x", &TArrayCircularModifier::SetCenterX,
             &TArrayCircularModifier::GetCenterX),
        Case("circle centre y", &TArrayCircularModifier::SetCenterY,
             &TArrayCircularModifier::GetCenterY),
        Case("circle centre z", &TArrayCircularModifier::SetCenterZ,
             &TArrayCircularModifier::GetCenterZ),
        Case("circle step", &TArrayCircularModifier::SetStepY, &TArrayCircularModifier::GetStepY),
    };
    const float bad[] = {std::numeric_limits<float>::quiet_NaN(),
                         std::numeric_limits<float>::infinity(),
                         -std::numeric_limits<float>::infinity()};
    for (const TSetterCase& c : cases) {
        SCOPED_TRACE(c.Name);
        std::unique_ptr<TModifier> m = c.Make();
        c.Set(*m, 0.75f);
        const int64_t revision = m->GetRevision();
        for (float v : bad)
            c.Set(*m, v);
        EXPECT_EQ(c.Get(*m), 0.75f);
        EXPECT_EQ(m->GetRevision(), revision);
        c.Set(*m, -2.5f);
        EXPECT_EQ(c.Get(*m), -2.5f);
        EXPECT_EQ(m->GetRevision(), revision + 1);
    }
}
