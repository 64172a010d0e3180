#include "modifiers/uModifiers.h"

#include "base/uDocumentIds.h"
#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "modifiers/uModifierVertexPass.h"

#include <algorithm>

TModifier::TModifier() : Id(AllocateModifierId()) {}

TModifier::TModifier(const TModifier&) : Id(AllocateModifierId()) {}

void TModifier::SaveParams(std::vector<std::string>&) const {}

void TModifier::LoadParams(const std::vector<std::string>&, int32_t&) {}

void TModifier::SetObjectScale(float, float, float) {}

bool TModifier::EstimateOutputSize(const TMeshData&, int64_t& Vertices, int64_t& Faces,
                                   int64_t& Edges) const
{
    Vertices = -1;
    Faces = -1;
    Edges = -1;
    return false;
}

TModifierApplyInfo TModifier::ApplyWithInfo(const TModifierEvalContext&, const TMeshData& Source,
                                            TMeshData& Dest)
{
    Apply(Source, Dest);
    return {kApplyAll, {}};
}

void TModifier::DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out)
{
    if (In.data() != Out.data())
        std::copy(In.begin(), In.begin() + std::min(In.size(), Out.size()), Out.begin());
}

void TModifier::DeformVerticesSummarised(std::span<const TMeshVertex> In, const TPositionSummary*,
                                         std::span<TMeshVertex> Out, TPositionSummary& OutSummary)
{
    DeformVertices(In, Out);
    OutSummary = SummarisePositions(Out);
}

void TModifier::CopyEnabledFrom(const TModifier* Source)
{
    if (Source)
        Enabled = Source->Enabled;
}

void TModifier::SetEnabled(bool Value)
{
    if (Value == Enabled)
        return;
    Enabled = Value;
    Changed();
}

void TModifier::Changed()
{
    ++Revision;
    if (OnChange)
        OnChange(this);
}

bool StartsWithKey(std::string_view Line, std::string_view Key)
{
    return Line.substr(0, Key.size()) == Key;
}

std::string_view KeyValueText(std::string_view Line, std::string_view Key)
{
    return StartsWithKey(Line, Key) ? Line.substr(Key.size()) : std::string_view{};
}

float KeyFloatValue(std::string_view Line, std::string_view Key, float Default)
{
    if (!StartsWithKey(Line, Key))
        return Default;
    return TextToFloatDef(KeyValueText(Line, Key), Default);
}

int32_t KeyIntValue(std::string_view Line, std::string_view Key, int32_t Default)
{
    int32_t Value = 0;
    if (StartsWithKey(Line, Key) && TryTextToInt(KeyValueText(Line, Key), Value))
        return Value;
    return Default;
}

bool KeyBoolValue(std::string_view Line, std::string_view Key, bool Default)
{
    int64_t Value = 0;
    if (StartsWithKey(Line, Key) && TryTextToInt64(KeyValueText(Line, Key), Value))
        return Value != 0;
    return Default;
}

bool KeyBoolFirstCharValue(std::string_view Line, std::string_view Key)
{
    const std::string_view Text = KeyValueText(Line, Key);
    return StartsWithKey(Line, Key) && !Text.empty() && Text.front() == '1';
}

std::string KeyFloatLine(std::string_view Key, float Value)
{
    return std::string(Key) + FloatToText(Value);
}

std::string KeyIntLine(std::string_view Key, int64_t Value)
{
    return std::string(Key) + IntToText(Value);
}

std::string KeyBoolLine(std::string_view Key, bool Value)
{
    return std::string(Key) + (Value ? "1" : "0");
}
