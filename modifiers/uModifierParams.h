#pragma once
// A modifier's parameters named once: each entry gives the key of its scene-file line, the
// caption of its row in the settings window, its kind, how to read it and which setter takes
// a new value. The same table writes the parameter lines, reads them back and lays out the
// table-driven settings window, so a parameter cannot be saved under one name and edited
// under another.
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

class TModifier;

enum class TParamKind : int32_t { Float, Integer, Boolean, Choice };

struct TModifierParam {
    std::string_view Key;      // "Axis=" in the file (with the "=")
    std::string_view Caption;  // "Axis" in the window
    TParamKind Kind = TParamKind::Float;
    int32_t Row = 0;                      // window row (1 = first row after "Enabled")
    std::vector<std::string_view> Items;  // the captions of a choice, index = value
    // The value; Booleans 0 or 1, integers and choices whole.
    std::function<double(const TModifier&)> Get;
    // The setter: sanitises, clamps and calls Changed on a real change.
    std::function<void(TModifier&, double)> Set;
    // What a file line stores when it is not the setter's rule; empty means Set.
    std::function<void(TModifier&, double)> Load;
    // A line whose value text does not convert loads this, or the current value.
    double LoadFallback = 0;
    bool FallbackIsCurrent = false;
};

struct TModifierParamTable {
    TModifierParamTable() = default;
    TModifierParamTable(std::vector<TModifierParam> List,
                        std::function<void(TModifier&)> Finish = {})
        : Params(std::move(List)), FinishLoad(std::move(Finish))
    {
    }

    // File order (the order SaveParams writes).
    std::vector<TModifierParam> Params;
    // Runs once after the frame's last line, for values that depend on each other.
    std::function<void(TModifier&)> FinishLoad;

    // The parameter shown in window row Row, or null.
    const TModifierParam* ByRow(int32_t Row) const;
    // The number of window rows after "Enabled".
    int32_t RowCount() const { return static_cast<int32_t>(Params.size()); }
};

// One Key=value line per parameter, in table order.
void SaveParamsFromTable(const TModifierParamTable& Table, const TModifier& Modifier,
                         std::vector<std::string>& Lines);
// Reads parameter lines from Index on until "ENDMOD" (Index stands past it), then FinishLoad.
void LoadParamsFromTable(const TModifierParamTable& Table, TModifier& Modifier,
                         const std::vector<std::string>& Lines, int32_t& Index);

// The choice captions of the three axes.
const std::vector<std::string_view>& AxisChoiceItems();

// Builders. Get and Set are written for the modifier's own class M.
template <class M>
TModifierParam FloatParam(std::string_view Key, std::string_view Caption, int32_t Row,
                          float (*Get)(const M&), void (*Set)(M&, float))
{
    TModifierParam p;
    p.Key = Key;
    p.Caption = Caption;
    p.Kind = TParamKind::Float;
    p.Row = Row;
    p.Get = [Get](const TModifier& m) { return double(Get(static_cast<const M&>(m))); };
    p.Set = [Set](TModifier& m, double v) { Set(static_cast<M&>(m), static_cast<float>(v)); };
    return p;
}

template <class M>
TModifierParam IntParam(std::string_view Key, std::string_view Caption, int32_t Row,
                        int32_t (*Get)(const M&), void (*Set)(M&, int32_t))
{
    TModifierParam p;
    p.Key = Key;
    p.Caption = Caption;
    p.Kind = TParamKind::Integer;
    p.Row = Row;
    p.Get = [Get](const TModifier& m) { return double(Get(static_cast<const M&>(m))); };
    p.Set = [Set](TModifier& m, double v) { Set(static_cast<M&>(m), static_cast<int32_t>(v)); };
    return p;
}

template <class M>
TModifierParam ChoiceParam(std::string_view Key, std::string_view Caption, int32_t Row,
                           std::vector<std::string_view> Items, int32_t (*Get)(const M&),
                           void (*Set)(M&, int32_t))
{
    TModifierParam p = IntParam<M>(Key, Caption, Row, Get, Set);
    p.Kind = TParamKind::Choice;
    p.Items = std::move(Items);
    return p;
}

template <class M>
TModifierParam BoolParam(std::string_view Key, std::string_view Caption, int32_t Row,
                         bool (*Get)(const M&), void (*Set)(M&, bool))
{
    TModifierParam p;
    p.Key = Key;
    p.Caption = Caption;
    p.Kind = TParamKind::Boolean;
    p.Row = Row;
    p.Get = [Get](const TModifier& m) { return Get(static_cast<const M&>(m)) ? 1.0 : 0.0; };
    p.Set = [Set](TModifier& m, double v) { Set(static_cast<M&>(m), v != 0); };
    return p;
}

// Fallback of a line whose text does not convert: a fixed value, or the current one.
inline TModifierParam WithFallback(TModifierParam p, double Value)
{
    p.LoadFallback = Value;
    p.FallbackIsCurrent = false;
    return p;
}
inline TModifierParam WithCurrentFallback(TModifierParam p)
{
    p.FallbackIsCurrent = true;
    return p;
}
template <class M, class F>
TModifierParam WithLoad(TModifierParam p, F Load)
{
    p.Load = [Load](TModifier& m, double v) { Load(static_cast<M&>(m), v); };
    return p;
}
