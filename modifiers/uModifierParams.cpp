#include "modifiers/uModifierParams.h"

#include "modifiers/uModifiers.h"

#include <cassert>

const TModifierParam* TModifierParamTable::ByRow(int32_t Row) const
{
    for (const TModifierParam& p : Params)
        if (p.Row == Row)
            return &p;
    return nullptr;
}

const std::vector<std::string_view>& AxisChoiceItems()
{
    static const std::vector<std::string_view> Items = {"X", "Y", "Z"};
    return Items;
}

void SaveParamsFromTable(const TModifierParamTable& Table, const TModifier& Modifier,
                         std::vector<std::string>& Lines)
{
    for (const TModifierParam& p : Table.Params) {
        const double v = p.Get(Modifier);
        switch (p.Kind) {
        case TParamKind::Float:
            Lines.push_back(KeyFloatLine(p.Key, static_cast<float>(v)));
            break;
        case TParamKind::Integer:
        case TParamKind::Choice:
            Lines.push_back(KeyIntLine(p.Key, static_cast<int64_t>(v)));
            break;
        case TParamKind::Boolean:
            Lines.push_back(KeyBoolLine(p.Key, v != 0));
            break;
        }
    }
}

namespace {

double LineValue(const TModifierParam& p, const TModifier& Modifier, std::string_view Line)
{
    const double fallback = p.FallbackIsCurrent ? p.Get(Modifier) : p.LoadFallback;
    switch (p.Kind) {
    case TParamKind::Float:
        return KeyFloatValue(Line, p.Key, static_cast<float>(fallback));
    case TParamKind::Integer:
    case TParamKind::Choice:
        return KeyIntValue(Line, p.Key, static_cast<int32_t>(fallback));
    case TParamKind::Boolean:
        return KeyBoolValue(Line, p.Key, fallback != 0) ? 1.0 : 0.0;
    }
    return fallback;
}

}  // namespace

void LoadParamsFromTable(const TModifierParamTable& Table, TModifier& Modifier,
                         const std::vector<std::string>& Lines, int32_t& Index)
{
    while (Index >= 0 && Index < static_cast<int32_t>(Lines.size())) {
        const std::string& Line = Lines[static_cast<size_t>(Index++)];
        if (Line == "ENDMOD")
            break;
        for (const TModifierParam& p : Table.Params) {
            if (!StartsWithKey(Line, p.Key))
                continue;
            const double v = LineValue(p, Modifier, Line);
            assert(p.Set);
            if (p.Load)
                p.Load(Modifier, v);
            else
                p.Set(Modifier, v);
            break;
        }
    }
    if (Table.FinishLoad)
        Table.FinishLoad(Modifier);
}
