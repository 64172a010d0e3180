#include "floorplan/uFloorPlanFile.h"

#include "base/uErrors.h"
#include "base/uNumberText.h"
#include "scene/uScene.h"

#include <memory>
#include <unordered_set>
#include <vector>

namespace {

[[noreturn]] void Fail(const std::string& Message)
{
    throw EConvertError(Message);
}

// The line quoted as read, cut short: an error never carries more than an excerpt.
std::string ExpectedGot(const std::string& Keyword, const std::string& Line)
{
    return "Expected " + Keyword + ", got \"" + TextExcerpt(Line) + "\"";
}

// What the section has read so far, kept aside until it is whole, with the ids it has
// seen: the duplicate tests stay constant-time however many entries a file holds.
struct TSectionRead {
    std::vector<std::unique_ptr<TFloorPlan>> Plans;
    std::vector<std::unique_ptr<TBuildingDefinition>> Buildings;
    std::vector<std::unique_ptr<TFloorPlanBuildBinding>> Bindings;
    std::unordered_set<uint32_t> PlanIds, BuildingIds, BindingRoots;
};

// One line, with any CR of a CR LF ending removed; "" past the end.
bool NextLine(TTextLineSource& Source, std::string& Line)
{
    const bool read = Source.ReadLine(Line);
    if (!read)
        Line.clear();
    while (!Line.empty() && (Line.back() == '\r' || Line.back() == '\n'))
        Line.pop_back();
    return read;
}

std::string NextLine(TTextLineSource& Source)
{
    std::string line;
    NextLine(Source, line);
    return line;
}

// A name goes on one line: line breaks inside it would split the record.
std::string OneLine(const std::string& Text)
{
    std::string out;
    out.reserve(Text.size());
    for (char c : Text)
        if (c != '\r' && c != '\n')
            out += c;
    return out;
}

// The name of a NAME line: everything from the sixth character, the keyword unchecked.
std::string NameOf(const std::string& Line)
{
    return Line.size() > 5 ? Line.substr(5) : std::string();
}

std::string SettingsLine(const TFloorSettings& s)
{
    // FloatToText writes a non-finite value as 0, so only the roof type can fail to read.
    return "SETTINGS " + FloatToText(s.Height) + " " + FloatToText(s.WallThickness) + " " +
           FloatToText(s.SlabThickness) + " " + IntToText(s.RoofType) + " " +
           FloatToText(s.RoofRise) + " " + FloatToText(s.RoofInset);
}

void WriteSettings(TTextLineSink& Sink, const TFloorSettings& s)
{
    Sink.WriteLine(SettingsLine(s));
}

bool SettingsReadBack(const TFloorSettings& s)
{
    TFloorSettings read;
    return ParseFloorSettingsLine(SettingsLine(s), read);
}

bool NameLineReadsBack(const std::string& Name)
{
    return std::string_view("NAME ").size() + OneLine(Name).size() <= kMaxTextLineBytes;
}

void WritePlan(TTextLineSink& Sink, const TFloorPlan& Plan)
{
    Sink.WriteLine("BEGIN_PLAN");
    Sink.WriteLine("ID " + UIntToText(Plan.Id()));
    Sink.WriteLine("NAME " + OneLine(Plan.Name()));
    Sink.WriteLine("REV " + UIntToText(static_cast<uint64_t>(Plan.Revision())));
    const TFloorPlanPointArray points = Plan.GetPoints();
    Sink.WriteLine("POINTS " + IntToText(static_cast<int64_t>(points.size())));
    for (const TFloorPlanPoint& p : points)
        Sink.WriteLine("POINT " + FloatToText(p.X) + " " + FloatToText(p.Z));
    WriteSettings(Sink, Plan.Settings());
    Sink.WriteLine("END_PLAN");
}

void WriteBuilding(TTextLineSink& Sink, const TBuildingDefinition& Building)
{
    Sink.WriteLine("BEGIN_BUILDING");
    Sink.WriteLine("ID " + UIntToText(Building.Id()));
    Sink.WriteLine("NAME " + OneLine(Building.Name()));
    Sink.WriteLine("FLOORS " + IntToText(Building.FloorCount()));
    for (int i = 0; i < Building.FloorCount(); ++i) {
        const TFloorDefinition& floor = *Building.GetFloor(i);
        Sink.WriteLine("BEGIN_FLOOR");
        Sink.WriteLine("ID " + UIntToText(floor.Id()));
        Sink.WriteLine("NAME " + OneLine(floor.Name()));
        Sink.WriteLine("PLAN " + UIntToText(floor.PlanId()));
        Sink.WriteLine(floor.OverrideSettings() ? "OVERRIDE 1" : "OVERRIDE 0");
        if (floor.OverrideSettings())
            WriteSettings(Sink, floor.Settings());
        Sink.WriteLine("END_FLOOR");
    }
    Sink.WriteLine("END_BUILDING");
}

void WriteBinding(TTextLineSink& Sink, const TFloorPlanBuildBinding& b)
{
    Sink.WriteLine("BEGIN_BINDING");
    Sink.WriteLine("ROOT " + UIntToText(b.RootNodeId));
    Sink.WriteLine("PLAN " + UIntToText(b.PlanId));
    Sink.WriteLine("FLOOR " + UIntToText(b.FloorId));
    Sink.WriteLine("BUILDING " + UIntToText(b.BuildingId));
    Sink.WriteLine("REV " + UIntToText(b.SourceHash));
    Sink.WriteLine("END_BINDING");
}

// The ID line of a plan, building or floor: below 2^32, and for buildings and floors
// never the none value, which would make a floor binding read as a building binding.
uint32_t ReadId(TTextLineSource& Source, const char* RangeMessage, bool NoneAllowed)
{
    const uint64_t id = ParseKeywordInt64(NextLine(Source), "ID ", 0);
    if (id > 0xFFFFFFFFull || (!NoneAllowed && id == kNoId))
        Fail(RangeMessage);
    return static_cast<uint32_t>(id);
}

void ReadPlan(TSectionRead& Read, TTextLineSource& Source)
{
    ExpectKeywordLine(Source, "BEGIN_PLAN");
    // Id none passes here and is refused as a duplicate by AddLoadedPlan below.
    const uint32_t id = ReadId(Source, "Floor-plan id out of range", true);
    auto plan = std::make_unique<TFloorPlan>(id, NameOf(NextLine(Source)));
    const uint64_t revision = ParseKeywordInt64(NextLine(Source), "REV ", 0);
    const int32_t count = ParseKeywordInt(NextLine(Source), "POINTS ", 0);
    if (count < 0)
        Fail("Negative floor-plan point count");
    // Grown line by line: the count alone never sizes anything.
    TFloorPlanPointArray points;
    for (int32_t i = 0; i < count; ++i) {
        const std::string line = NextLine(Source);
        if (line.compare(0, 6, "POINT ") != 0)
            Fail("Malformed floor-plan point");
        const std::string rest = line.substr(6);
        const size_t blank = rest.find(' ');
        const std::string xText = rest.substr(0, blank);
        const std::string zText =
            blank == std::string::npos ? std::string() : rest.substr(blank + 1);
        points.push_back(MakeFloorPlanPoint(TextToFloatDef(xText, 0), TextToFloatDef(zText, 0)));
    }
    plan->SetPoints(points);
    TFloorSettings settings;
    if (!ParseFloorSettingsLine(NextLine(Source), settings))
        Fail("Invalid floor-plan settings");
    plan->SetSettings(settings);
    plan->SetRevision(static_cast<int64_t>(revision));
    ExpectKeywordLine(Source, "END_PLAN");
    if (id == kNoId || !Read.PlanIds.insert(id).second)
        Fail("Duplicate floor-plan id");
    Read.Plans.push_back(std::move(plan));
}

std::unique_ptr<TFloorDefinition> ReadFloor(TTextLineSource& Source)
{
    ExpectKeywordLine(Source, "BEGIN_FLOOR");
    const uint32_t id = ReadId(Source, "Floor id out of range", false);
    auto floor = std::make_unique<TFloorDefinition>(id, NameOf(NextLine(Source)));
    const uint64_t plan = ParseKeywordInt64(NextLine(Source), "PLAN ", 0);
    if (plan > 0xFFFFFFFFull)
        Fail("Floor plan reference out of range");
    floor->SetPlanId(static_cast<uint32_t>(plan));

    std::string line = NextLine(Source);
    if (line.compare(0, 9, "OVERRIDE ") == 0) {
        int32_t flag = 0;
        if (!TryTextToInt(line.substr(9), flag))
            flag = 0;
        floor->SetOverrideSettings(flag != 0);
        if (flag != 0) {
            TFloorSettings settings;
            if (!ParseFloorSettingsLine(NextLine(Source), settings))
                Fail("Invalid floor settings");
            floor->SetSettings(settings);
        }
        line = NextLine(Source);
    }
    if (TrimBlanks(line) != "END_FLOOR")
        Fail(ExpectedGot("END_FLOOR", line));
    return floor;
}

void ReadBuilding(TSectionRead& Read, TTextLineSource& Source)
{
    ExpectKeywordLine(Source, "BEGIN_BUILDING");
    const uint32_t id = ReadId(Source, "Building id out of range", false);
    auto building = std::make_unique<TBuildingDefinition>(id, NameOf(NextLine(Source)));
    const int32_t floors = ParseKeywordInt(NextLine(Source), "FLOORS ", 0);
    for (int32_t i = 0; i < floors; ++i)
        building->AppendFloor(ReadFloor(Source));
    ExpectKeywordLine(Source, "END_BUILDING");
    if (!Read.BuildingIds.insert(building->Id()).second)
        Fail("Duplicate building id");
    Read.Buildings.push_back(std::move(building));
}

void ReadBinding(TSectionRead& Read, TTextLineSource& Source)
{
    ExpectKeywordLine(Source, "BEGIN_BINDING");
    // A root that does not name a generated node (the scene root 0, none, a value past
    // 32 bits or text that is no number) is refused: binding the scene root would let
    // an update of this build delete the whole scene.
    const uint64_t root = ParseKeywordInt64(NextLine(Source), "ROOT ", 0);
    if (root > 0xFFFFFFFFull || !IsValidBindingRoot(static_cast<uint32_t>(root)))
        Fail("Invalid floor-plan binding root");
    auto binding = std::make_unique<TFloorPlanBuildBinding>();
    TFloorPlanBuildBinding& b = *binding;
    b.RootNodeId = static_cast<uint32_t>(root);
    b.PlanId = static_cast<uint32_t>(ParseKeywordInt64(NextLine(Source), "PLAN ", 0));
    b.FloorId = static_cast<uint32_t>(ParseKeywordInt64(NextLine(Source), "FLOOR ", 0));
    b.BuildingId = static_cast<uint32_t>(ParseKeywordInt64(NextLine(Source), "BUILDING ", 0));
    b.SourceHash = ParseKeywordInt64(NextLine(Source), "REV ", 0);
    ExpectKeywordLine(Source, "END_BINDING");
    if (!Read.BindingRoots.insert(b.RootNodeId).second)
        Fail("Duplicate floor-plan binding");
    Read.Bindings.push_back(std::move(binding));
}

// Splits at runs of blanks; a double-quoted field may hold blanks.
std::vector<std::string> SplitFields(std::string_view Text)
{
    std::vector<std::string> fields;
    size_t i = 0;
    while (i < Text.size()) {
        if (static_cast<unsigned char>(Text[i]) <= ' ') {
            ++i;
            continue;
        }
        std::string field;
        if (Text[i] == '"') {
            ++i;
            while (i < Text.size() && Text[i] != '"')
                field += Text[i++];
            if (i < Text.size())
                ++i;  // closing quote
        } else {
            while (i < Text.size() && static_cast<unsigned char>(Text[i]) > ' ')
                field += Text[i++];
        }
        fields.push_back(std::move(field));
    }
    return fields;
}

}  // namespace

void WriteFloorPlanSection(const TFloorPlanDocument& Document, TTextLineSink& Sink)
{
    TInvariantDecimalScope invariant;
    Sink.WriteLine("BEGIN_FLOOR_PLANS");
    Sink.WriteLine("PLANS " + IntToText(Document.PlanCount()));
    for (int i = 0; i < Document.PlanCount(); ++i)
        WritePlan(Sink, *Document.GetPlan(i));
    Sink.WriteLine("BUILDINGS " + IntToText(Document.BuildingCount()));
    for (int i = 0; i < Document.BuildingCount(); ++i)
        WriteBuilding(Sink, *Document.GetBuilding(i));
    Sink.WriteLine("BINDINGS " + IntToText(Document.BindingCount()));
    for (int i = 0; i < Document.BindingCount(); ++i)
        WriteBinding(Sink, *Document.GetBinding(i));
    Sink.WriteLine("END_FLOOR_PLANS");
}

void LoadFloorPlanSection(TFloorPlanDocument& Document, TTextLineSource& Source)
{
    TInvariantDecimalScope invariant;
    TFloorPlanDocument fresh;
    ReadFloorPlanSection(fresh, Source);
    Document.TakeFrom(fresh);
}

void ReadFloorPlanSection(TFloorPlanDocument& Document, TTextLineSource& Source)
{
    TInvariantDecimalScope invariant;
    TSectionRead read;
    for (int i = 0; i < Document.PlanCount(); ++i)
        read.PlanIds.insert(Document.GetPlan(i)->Id());
    for (int i = 0; i < Document.BuildingCount(); ++i)
        read.BuildingIds.insert(Document.GetBuilding(i)->Id());
    for (int i = 0; i < Document.BindingCount(); ++i)
        read.BindingRoots.insert(Document.GetBinding(i)->RootNodeId);
    std::string line;
    if (!NextLine(Source, line))
        Fail("Missing floor-plan count");
    const int32_t plans = ParseKeywordInt(line, "PLANS ", 0);
    for (int32_t i = 0; i < plans; ++i)
        ReadPlan(read, Source);
    const int32_t buildings = ParseKeywordInt(NextLine(Source), "BUILDINGS ", 0);
    for (int32_t i = 0; i < buildings; ++i)
        ReadBuilding(read, Source);
    const int32_t bindings = ParseKeywordInt(NextLine(Source), "BINDINGS ", 0);
    for (int32_t i = 0; i < bindings; ++i)
        ReadBinding(read, Source);
    ExpectKeywordLine(Source, "END_FLOOR_PLANS");
    Document.AppendLoaded(std::move(read.Plans), std::move(read.Buildings),
                          std::move(read.Bindings));
}

void ExpectKeywordLine(TTextLineSource& Source, const std::string& Keyword)
{
    std::string line;
    if (!NextLine(Source, line))
        Fail("Expected " + Keyword + ", reached end of floor-plan data");
    if (TrimBlanks(line) != Keyword)
        Fail(ExpectedGot(Keyword, line));
}

int32_t ParseKeywordInt(const std::string& Line, const std::string& Keyword, int32_t Default)
{
    if (Line.compare(0, Keyword.size(), Keyword) != 0)
        Fail(ExpectedGot(Keyword, Line));
    int32_t value = 0;
    return TryTextToInt(std::string_view(Line).substr(Keyword.size()), value) ? value : Default;
}

uint64_t ParseKeywordInt64(const std::string& Line, const std::string& Keyword, uint64_t Default)
{
    if (Line.compare(0, Keyword.size(), Keyword) != 0)
        Fail(ExpectedGot(Keyword, Line));
    uint64_t value = 0;
    return TryTextToUInt64(std::string_view(Line).substr(Keyword.size()), value) ? value : Default;
}

bool ParseFloorSettingsLine(const std::string& Line, TFloorSettings& Settings)
{
    Settings = DefaultFloorSettings();
    if (Line.compare(0, 9, "SETTINGS ") != 0)
        return false;
    const std::vector<std::string> fields =
        SplitFields(TrimBlanks(std::string_view(Line).substr(9)));
    if (fields.size() != 6)
        return false;
    float* floats[] = {&Settings.Height, &Settings.WallThickness, &Settings.SlabThickness,
                       nullptr,          &Settings.RoofRise,      &Settings.RoofInset};
    for (int i = 0; i < 6; ++i) {
        if (i == 3) {
            int32_t roof = -1;
            if (!TryTextToInt(fields[i], roof))
                roof = -1;
            if (roof < rtNone || roof > rtTruncatedPyramid)
                return false;
            Settings.RoofType = roof;
        } else if (!TryTextToFloat(fields[i], *floats[i])) {
            return false;
        }
    }
    return true;
}

std::string FloorPlanSectionProblem(const TFloorPlanDocument& Document)
{
    const auto quoted = [](const std::string& Name) {
        return "\"" + TextExcerpt(OneLine(Name)) + "\"";
    };
    for (int i = 0; i < Document.PlanCount(); ++i) {
        const TFloorPlan& plan = *Document.GetPlan(i);
        if (!NameLineReadsBack(plan.Name()))
            return "The name of floor plan " + quoted(plan.Name()) + " is too long.";
        if (!SettingsReadBack(plan.Settings()))
            return "Invalid floor-plan settings in floor plan " + quoted(plan.Name()) + ".";
    }
    for (int i = 0; i < Document.BuildingCount(); ++i) {
        const TBuildingDefinition& building = *Document.GetBuilding(i);
        if (!NameLineReadsBack(building.Name()))
            return "The name of building " + quoted(building.Name()) + " is too long.";
        for (int f = 0; f < building.FloorCount(); ++f) {
            const TFloorDefinition& floor = *building.GetFloor(f);
            if (!NameLineReadsBack(floor.Name()))
                return "The name of floor " + quoted(floor.Name()) + " is too long.";
            if (floor.OverrideSettings() && !SettingsReadBack(floor.Settings()))
                return "Invalid floor settings in floor " + quoted(floor.Name()) + " of building " +
                       quoted(building.Name()) + ".";
        }
    }
    return {};
}

void DropBindingsWithoutNodes(TFloorPlanDocument& Document, const TScene& Scene)
{
    Document.DeleteBindingsIf(
        [&](uint32_t Root) { return Root == 0 || Scene.FindNodeById(Root) == nullptr; });
}
