#pragma once
// The floor-plan section of the scene file, BEGIN_FLOOR_PLANS ... END_FLOOR_PLANS. The
// scene writer and reader hand over their line sink and source; this module knows only
// lines. Every reader error is an EConvertError with its message.
#include "base/uTextFile.h"
#include "floorplan/uFloorPlanDocument.h"

#include <cstdint>
#include <string>

class TScene;

// Writes the whole section, BEGIN_FLOOR_PLANS and END_FLOOR_PLANS included.
void WriteFloorPlanSection(const TFloorPlanDocument& Document, TTextLineSink& Sink);

// Reads the section from the line after BEGIN_FLOOR_PLANS into a fresh document and,
// only when all of it was read, replaces Document's contents with it. On an error
// Document is left as it was.
void LoadFloorPlanSection(TFloorPlanDocument& Document, TTextLineSource& Source);
// Reads the section into Document (a fresh one), adding what it reads.
void ReadFloorPlanSection(TFloorPlanDocument& Document, TTextLineSource& Source);

// What ReadFloorPlanSection would refuse in the section written from Document: a NAME
// line longer than a reader takes, or a SETTINGS line it does not parse (a roof type
// outside 0..2). Empty when the section reads back; otherwise the problem, naming the
// plan, building or floor.
std::string FloorPlanSectionProblem(const TFloorPlanDocument& Document);

// Deletes every build binding whose generated root node is not in Scene (a file's
// bindings are only good for the nodes of that file).
void DropBindingsWithoutNodes(TFloorPlanDocument& Document, const TScene& Scene);

// Line routines of the reader.
// Reads one line, which, trimmed, must be Keyword.
void ExpectKeywordLine(TTextLineSource& Source, const std::string& Keyword);
// Line must begin with Keyword (value keywords carry their trailing blank); the rest is a
// signed 32-bit integer, or Default when it does not convert.
int32_t ParseKeywordInt(const std::string& Line, const std::string& Keyword, int32_t Default);
// As ParseKeywordInt, for an unsigned 64-bit value.
uint64_t ParseKeywordInt64(const std::string& Line, const std::string& Keyword, uint64_t Default);
// "SETTINGS h w s t r i": true only when all six fields convert and the roof type is
// 0..2. Settings starts as the defaults.
bool ParseFloorSettingsLine(const std::string& Line, TFloorSettings& Settings);
