#include "base/uErrors.h"
#include "floorplan/uFloorPlanFile.h"

#include <gtest/gtest.h>

#include <sstream>
#include <vector>

namespace {

// A document with a plan, a two-floor building, a plan binding and a building binding
// whose hash is above 2^63, as the writer lays it out.
const char* const kSection = R"(BEGIN_FLOOR_PLANS
PLANS 1
BEGIN_PLAN
ID 1
NAME Plan 1
REV 1
POINTS 5
POINT -2 -1.5
POINT 2 -1.5
POINT 2 1.5
POINT -2 1.5
POINT -2 -1.5
SETTINGS 3 0.200000003 0.200000003 0 1 0.200000003
END_PLAN
BUILDINGS 1
BEGIN_BUILDING
ID 1
NAME Building 1
FLOORS 2
BEGIN_FLOOR
ID 1
NAME Floor 1
PLAN 1
OVERRIDE 1
SETTINGS 2.5 0.25 0.200000003 2 1 0.5
END_FLOOR
BEGIN_FLOOR
ID 2
NAME Floor 2
PLAN 4294967295
OVERRIDE 0
END_FLOOR
END_BUILDING
BINDINGS 2
BEGIN_BINDING
ROOT 7
PLAN 1
FLOOR 4294967295
BUILDING 4294967295
REV 1
END_BINDING
BEGIN_BINDING
ROOT 12
PLAN 4294967295
FLOOR 4294967295
BUILDING 1
REV 12345678901234567890
END_BINDING
END_FLOOR_PLANS
)";

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The section after its BEGIN_FLOOR_PLANS line, as the scene reader hands it over.
TStringLineSource Body(const std::string& text)
{
    std::vector<std::string> lines = Lines(text);
    lines.erase(lines.begin());
    return TStringLineSource(std::move(lines));
}

std::vector<std::string> Written(const TFloorPlanDocument& doc)
{
    TStringLineSink sink;
    WriteFloorPlanSection(doc, sink);
    return sink.Lines;
}

std::string Replace(std::string text, const std::string& from, const std::string& to)
{
    const size_t at = text.find(from);
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at, from.size(), to);
    return text;
}

std::string ReadError(const std::string& text)
{
    TFloorPlanDocument doc;
    TStringLineSource source = Body(text);
    try {
        ReadFloorPlanSection(doc, source);
    } catch (const EConvertError& e) {
        return e.what();
    }
    return "(no error)";
}

}  // namespace

TEST(FloorPlanFile, ReadsTheSectionAndWritesItBackLineForLine)
{
    TFloorPlanDocument doc;
    TStringLineSource source = Body(kSection);
    LoadFloorPlanSection(doc, source);

    ASSERT_EQ(doc.PlanCount(), 1);
    const TFloorPlan* plan = doc.GetPlan(0);
    EXPECT_EQ(plan->Name(), "Plan 1");
    EXPECT_EQ(plan->Revision(), 1);  // the stored revision wins over the loading bumps
    EXPECT_TRUE(plan->IsClosed());
    EXPECT_EQ(plan->PointCount(), 4);
    EXPECT_EQ(plan->GetPoint(0).Z, -1.5f);
    EXPECT_EQ(plan->Settings(), DefaultFloorSettings());

    ASSERT_EQ(doc.BuildingCount(), 1);
    const TBuildingDefinition* building = doc.GetBuilding(0);
    ASSERT_EQ(building->FloorCount(), 2);
    const TFloorDefinition* f1 = building->GetFloor(0);
    EXPECT_TRUE(f1->OverrideSettings());
    EXPECT_EQ(f1->Settings(), (TFloorSettings{2.5f, 0.25f, 0.2f, rtTruncatedPyramid, 1, 0.5f}));
    EXPECT_EQ(building->GetFloor(1)->PlanId(), kNoId);
    EXPECT_EQ(building->GetFloor(1)->Settings(), DefaultFloorSettings());

    ASSERT_EQ(doc.BindingCount(), 2);
    EXPECT_EQ(doc.GetBinding(1)->SourceHash, 12345678901234567890ull);
    EXPECT_EQ(doc.GetBinding(1)->PlanId, kNoId);

    EXPECT_EQ(Written(doc), Lines(kSection));
    // Ids read move the counters past them.
    EXPECT_GE(TFloorDefinition(0, "").Id(), 3u);
    EXPECT_GE(TBuildingDefinition(0, "").Id(), 2u);
    EXPECT_GE(doc.AddPlan("")->Id(), 2u);
}

TEST(FloorPlanFile, BindingsStayCurrentOrStaleAcrossSaveAndLoad)
{
    TFloorPlanDocument doc;
    TFloorPlan* plan = doc.AddPlan("");
    plan->SetPoints({{0, 0}, {4, 0}, {4, 3}, {0, 3}, {0, 0}});
    TBuildingDefinition* building = doc.AddBuilding("");
    TFloorDefinition* ground = building->AddFloor(plan->Id(), "");
    TFloorDefinition* upper = building->AddFloor(plan->Id(), "");
    upper->SetOverrideSettings(true);
    upper->SetSettings({2.75f, 0.3f, 0.15f, rtFlat, 0.0f, 0.1f});
    doc.SetBinding(101, kNoId, kNoId, building->Id(), doc.BuildingSourceHash(building));
    doc.SetBinding(102, plan->Id(), ground->Id(), building->Id(),
                   doc.FloorSourceHash(ground->Id()));
    doc.SetBinding(103, plan->Id(), upper->Id(), building->Id(),
                   doc.FloorSourceHash(upper->Id()) + 1);
    doc.SetBinding(104, plan->Id(), kNoId, kNoId, static_cast<uint64_t>(plan->Revision()));
    plan->SetRevision(-5);  // negative revisions travel as their unsigned pattern
    doc.SetBinding(105, plan->Id(), kNoId, kNoId, static_cast<uint64_t>(plan->Revision()));

    std::vector<bool> stale;
    for (int i = 0; i < doc.BindingCount(); ++i)
        stale.push_back(doc.IsBindingStale(doc.GetBinding(i)));
    ASSERT_EQ(stale, (std::vector<bool>{true, true, true, true, false}));
    // Refresh the building and ground bindings, which the revision change made stale.
    doc.SetBinding(101, kNoId, kNoId, building->Id(), doc.BuildingSourceHash(building));
    doc.SetBinding(102, plan->Id(), ground->Id(), building->Id(),
                   doc.FloorSourceHash(ground->Id()));
    stale = {false, false, true, true, false};

    TFloorPlanDocument loaded;
    TStringLineSource source(Written(doc));
    std::string begin;
    source.ReadLine(begin);
    LoadFloorPlanSection(loaded, source);
    ASSERT_EQ(loaded.BindingCount(), 5);
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(loaded.IsBindingStale(loaded.GetBinding(i)), stale[i]) << i;
    EXPECT_EQ(loaded.GetPlan(0)->Revision(), -5);
    EXPECT_EQ(loaded.FindFloor(upper->Id())->Settings(), upper->Settings());
    EXPECT_EQ(Written(loaded), Written(doc));
}

TEST(FloorPlanFile, NamesAreWrittenOnOneLineAndReadWithoutCarriageReturns)
{
    TFloorPlanDocument doc;
    doc.AddPlan("Hall\r\nEast");
    doc.AddBuilding("Tower\n");
    const std::vector<std::string> lines = Written(doc);
    EXPECT_EQ(lines[4], "NAME HallEast");

    std::vector<std::string> withCr;
    for (const std::string& line : lines)
        withCr.push_back(line + "\r");
    TStringLineSource source(std::vector<std::string>(withCr.begin() + 1, withCr.end()));
    TFloorPlanDocument loaded;
    LoadFloorPlanSection(loaded, source);
    EXPECT_EQ(loaded.GetPlan(0)->Name(), "HallEast");
    EXPECT_EQ(loaded.GetBuilding(0)->Name(), "Tower");
}

TEST(FloorPlanFile, TolerantReadings)
{
    const std::string noOverride = Replace(kSection, "OVERRIDE 0\n", "");
    TFloorPlanDocument doc;
    TStringLineSource source = Body(noOverride);
    LoadFloorPlanSection(doc, source);
    EXPECT_FALSE(doc.GetBuilding(0)->GetFloor(1)->OverrideSettings());

    std::string odd = Replace(kSection, "NAME Plan 1", "NAMEXSecond");
    odd = Replace(odd, "NAME Floor 1", "NAME ");
    odd = Replace(odd, "POINT 2 -1.5", "POINT abc -1.5");
    odd = Replace(odd, "ID 2\n", "ID -1\n");  // floor: a fresh id
    odd = Replace(odd, "ROOT 12\nPLAN 4294967295\nFLOOR 4294967295",
                  "ROOT 12\nPLAN 4294967295\nFLOOR 8589934591");  // low 32 bits: none
    TFloorPlanDocument tolerant;
    TStringLineSource oddSource = Body(odd);
    LoadFloorPlanSection(tolerant, oddSource);
    EXPECT_EQ(tolerant.GetPlan(0)->Name(), "Second");
    EXPECT_EQ(tolerant.GetBuilding(0)->GetFloor(0)->Name(), "");
    EXPECT_EQ(tolerant.GetPlan(0)->GetPoint(1).X, 0);
    EXPECT_NE(tolerant.GetBuilding(0)->GetFloor(1)->Id(), 0u);
    EXPECT_EQ(tolerant.GetBinding(1)->FloorId, kNoId);

    TFloorPlanDocument plans;
    TStringLineSource planSource =
        Body(Replace(kSection, "ID 1\nNAME Plan 1", "ID -1\nNAME Plan 1"));
    LoadFloorPlanSection(plans, planSource);
    EXPECT_EQ(plans.GetPlan(0)->Id(), 0u);  // a plan keeps id 0
}

TEST(FloorPlanFile, ReaderErrors)
{
    const std::string s = kSection;
    const struct {
        std::string text;
        const char* message;
    } cases[] = {
        {"BEGIN_FLOOR_PLANS\n", "Missing floor-plan count"},
        {Replace(s, "PLANS 1", "PLAN 1"), "Expected PLANS , got \"PLAN 1\""},
        {Replace(s, "BEGIN_PLAN", "BEGIN_PLAM"), "Expected BEGIN_PLAN, got \"BEGIN_PLAM\""},
        {Replace(s, "ID 1\nNAME Plan", "ID 4294967296\nNAME Plan"), "Floor-plan id out of range"},
        {Replace(s, "ID 1\nNAME Plan", "ID 4294967295\nNAME Plan"), "Duplicate floor-plan id"},
        {Replace(s, "POINTS 5", "POINTS -1"), "Negative floor-plan point count"},
        {Replace(s, "POINT 2 1.5", "POINTS 2 1.5"), "Malformed floor-plan point"},
        {Replace(s, "SETTINGS 3 0.200000003 0.200000003 0 1 0.200000003", "SETTINGS 3 0.2 0.2 0 1"),
         "Invalid floor-plan settings"},
        {Replace(s, "SETTINGS 3 0.200000003 0.200000003 0 1", "SETTINGS 3 0.2 0.2 3 1"),
         "Invalid floor-plan settings"},
        {Replace(s, "SETTINGS 3 0.200000003", "SETTINGS nan 0.200000003"),
         "Invalid floor-plan settings"},
        {Replace(s, "SETTINGS 3 0.200000003", "SETTINGS inf 0.200000003"),
         "Invalid floor-plan settings"},
        {Replace(s, "END_PLAN", "END"), "Expected END_PLAN, got \"END\""},
        {Replace(s, "PLANS 1", "PLANS 2"), "Expected BEGIN_PLAN, got \"BUILDINGS 1\""},
        {Replace(s, "ID 1\nNAME Building", "ID 4294967296\nNAME Building"),
         "Building id out of range"},
        {Replace(s, "ID 1\nNAME Building", "ID 4294967295\nNAME Building"),
         "Building id out of range"},
        {Replace(s, "ID 1\nNAME Floor 1", "ID 4294967295\nNAME Floor 1"), "Floor id out of range"},
        {Replace(s, "ID 2\nNAME Floor 2", "ID 99999999999\nNAME Floor 2"), "Floor id out of range"},
        {Replace(s, "PLAN 1\nOVERRIDE 1", "PLAN 4294967296\nOVERRIDE 1"),
         "Floor plan reference out of range"},
        {Replace(s, "SETTINGS 2.5 0.25 0.200000003 2 1 0.5", "SETTINGS 2.5 0.25"),
         "Invalid floor settings"},
        {Replace(s, "OVERRIDE 0\n", "OVERRIDE 0\nSETTINGS 3 0.2 0.2 0 1 0.2\n"),
         "Expected END_FLOOR, got \"SETTINGS 3 0.2 0.2 0 1 0.2\""},
        {Replace(s, "FLOORS 2", "FLOORS 1"), "Expected END_BUILDING, got \"BEGIN_FLOOR\""},
        {Replace(s, "ROOT 12", "ROOT 7"), "Duplicate floor-plan binding"},
        {Replace(s, "ROOT 12", "ROOT 0"), "Invalid floor-plan binding root"},
        {Replace(s, "ROOT 12", "ROOT 4294967296"), "Invalid floor-plan binding root"},
        {Replace(s, "ROOT 12", "ROOT 4294967295"), "Invalid floor-plan binding root"},
        {Replace(s, "ROOT 12", "ROOT twelve"), "Invalid floor-plan binding root"},
        {Replace(s, "ROOT 12", "ROOT -12"), "Invalid floor-plan binding root"},
        {Replace(s, "BUILDING 1\nREV", "BUILDINGS 1\nREV"),
         "Expected BUILDING , got \"BUILDINGS 1\""},
        {Replace(s, "END_FLOOR_PLANS\n", ""),
         "Expected END_FLOOR_PLANS, reached end of floor-plan data"},
        // Counts never size anything: a huge count fails at the first missing line.
        {Replace(s, "PLANS 1", "PLANS 2147483647"), "Expected BEGIN_PLAN, got \"BUILDINGS 1\""},
        {Replace(s, "POINTS 5", "POINTS 2147483647"), "Malformed floor-plan point"},
        {Replace(s, "BINDINGS 2", "BINDINGS 2147483647"),
         "Expected BEGIN_BINDING, got \"END_FLOOR_PLANS\""},
        {"BEGIN_FLOOR_PLANS\nPLANS 0\nBUILDINGS 2147483647\n",
         "Expected BEGIN_BUILDING, reached end of floor-plan data"},
        {"BEGIN_FLOOR_PLANS\nPLANS 0\n", "Expected BUILDINGS , got \"\""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadError(c.text), c.message) << c.text;

    // A second building with the id of the first.
    std::string twice = Replace(s, "BUILDINGS 1", "BUILDINGS 2");
    twice = Replace(twice, "END_BUILDING\n",
                    "END_BUILDING\nBEGIN_BUILDING\nID 1\nNAME Copy\nFLOORS 0\nEND_BUILDING\n");
    EXPECT_EQ(ReadError(twice), "Duplicate building id");
}

TEST(FloorPlanFile, AFailedLoadLeavesTheDocumentAsItWas)
{
    TFloorPlanDocument doc;
    doc.AddPlan("Mine");
    TStringLineSource source = Body(Replace(kSection, "END_FLOOR_PLANS\n", ""));
    EXPECT_THROW(LoadFloorPlanSection(doc, source), EConvertError);
    ASSERT_EQ(doc.PlanCount(), 1);
    EXPECT_EQ(doc.GetPlan(0)->Name(), "Mine");
    EXPECT_EQ(doc.BuildingCount(), 0);
}

TEST(FloorPlanFile, LineRoutines)
{
    EXPECT_EQ(ParseKeywordInt("PLANS  12 ", "PLANS ", 0), 12);
    EXPECT_EQ(ParseKeywordInt("PLANS x", "PLANS ", -4), -4);
    EXPECT_EQ(ParseKeywordInt("PLANS 99999999999", "PLANS ", 0), 0);
    EXPECT_EQ(ParseKeywordInt64("REV 18446744073709551615", "REV ", 0), 18446744073709551615ull);
    EXPECT_EQ(ParseKeywordInt64("REV 18446744073709551616", "REV ", 3), 3u);
    EXPECT_EQ(ParseKeywordInt64("REV -1", "REV ", 3), 3u);
    EXPECT_THROW(ParseKeywordInt64("rev 1", "REV ", 0), EConvertError);

    TFloorSettings s;
    EXPECT_TRUE(ParseFloorSettingsLine("SETTINGS  \"2.5\"   0.3 0.1 1 0 0   ", s));
    EXPECT_EQ(s, (TFloorSettings{2.5f, 0.3f, 0.1f, rtFlat, 0, 0}));
    EXPECT_FALSE(
        ParseFloorSettingsLine("SETTINGS 3 0.2 0.2 1.5 1 0.2", s));  // roof type not an integer
    EXPECT_FALSE(ParseFloorSettingsLine("SETTINGS 3 0.2 0.2 0 1 0.2 7", s));
    EXPECT_FALSE(ParseFloorSettingsLine("SETTINGS 3,5 0.2 0.2 0 1 0.2", s));
    EXPECT_FALSE(ParseFloorSettingsLine("SETTING 3 0.2 0.2 0 1 0.2", s));

    TStringLineSource source({" END_PLAN  ", "END_PLANS"});
    EXPECT_NO_THROW(ExpectKeywordLine(source, "END_PLAN"));
    try {
        ExpectKeywordLine(source, "END_PLAN");
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Expected END_PLAN, got \"END_PLANS\"");
    }
}
