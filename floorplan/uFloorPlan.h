#pragma once
// A floor plan: a named, closed outline on the ground plane (X and Z; Y is up) with the
// settings a floor is generated from. Build bindings watch its revision, so every real
// change bumps it and a no-op edit leaves it alone.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TFloorPlanPoint {
    float X = 0, Z = 0;
};
using TFloorPlanPointArray = std::vector<TFloorPlanPoint>;

TFloorPlanPoint MakeFloorPlanPoint(float X, float Z);

// Stored as a plain 32-bit integer: a file or a caller may hold values outside the
// three known kinds, and validation reports them.
using TRoofType = int32_t;
constexpr TRoofType rtNone = 0;
constexpr TRoofType rtFlat = 1;
constexpr TRoofType rtTruncatedPyramid = 2;

struct TFloorSettings {
    float Height = 3.0f;
    float WallThickness = 0.2f;
    float SlabThickness = 0.2f;
    TRoofType RoofType = rtNone;
    float RoofRise = 1.0f;
    float RoofInset = 0.2f;
    // Floats compare by value, so a NaN field never equals anything.
    friend bool operator==(const TFloorSettings&, const TFloorSettings&) = default;
};

TFloorSettings DefaultFloorSettings();
// True when every float field is finite.
bool FloorSettingsFinite(const TFloorSettings& Settings);
// Finite, with one of the three roof types: what the setters take (the scene file holds
// nothing else).
bool FloorSettingsStorable(const TFloorSettings& Settings);
// The settings checks of a plan, first failure wins; Message is '' on success.
bool ValidateFloorSettings(const TFloorSettings& Settings, std::string& Message);

class TFloorPlan {
public:
    TFloorPlan(uint32_t Id, std::string Name);

    uint32_t Id() const { return FId; }
    const std::string& Name() const { return FName; }
    const TFloorSettings& Settings() const { return FSettings; }
    int64_t Revision() const { return FRevision; }

    void SetId(uint32_t Id);
    void SetName(const std::string& Name);
    // Refuses (false, nothing changed) settings holding a non-finite value or an unknown
    // roof type: such a plan could be neither built nor saved and read back.
    bool SetSettings(const TFloorSettings& Settings);
    void SetRevision(int64_t Revision);

    // Open point by index; raises EArgumentOutOfRangeException outside 0..PointCount-1.
    TFloorPlanPoint GetPoint(int Index) const;
    TFloorPlanPointArray GetPoints() const { return FPoints; }
    int PointCount() const;
    int StoredPointCount() const { return static_cast<int>(FPoints.size()); }
    bool IsClosed() const;
    TFloorPlanPointArray GetOpenPoints() const;

    // Index used, or -1 when refused. A negative index appends.
    int InsertPoint(const TFloorPlanPoint& Point, int Index);
    bool MovePoint(int Index, const TFloorPlanPoint& Point);
    bool DeletePoint(int Index);
    void ClearPoints();
    void ClosePolygon();
    // Replaces the stored points as given; no closing copy is added.
    void SetPoints(const TFloorPlanPointArray& Points);

    bool ValidatePolygon(std::string& Message) const;
    bool ValidateSettings(std::string& Message) const;
    bool Validate(std::string& Message) const;

    // Copies id, name, settings, points and revision; raises EArgumentError for nullptr.
    void Assign(const TFloorPlan* Source);
    std::unique_ptr<TFloorPlan> Clone() const;

private:
    void Bump();

    uint32_t FId;
    std::string FName;
    TFloorPlanPointArray FPoints;
    TFloorSettings FSettings;
    int64_t FRevision = 0;
};

// Geometry predicates, evaluated in extended precision from the single inputs.
bool IsFiniteSingle(float x);
bool FloorPlanPointsEqual(const TFloorPlanPoint& a, const TFloorPlanPoint& b);
long double FloorPlanDistanceSq(const TFloorPlanPoint& a, const TFloorPlanPoint& b);
long double FloorPlanCross(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                           const TFloorPlanPoint& c);
// Twice the signed area of the first n points; 0 for n <= 0.
long double FloorPlanDoubleArea(const TFloorPlanPointArray& Points, int n);
bool PointOnFloorPlanSegment(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                             const TFloorPlanPoint& p, long double CrossTol, long double BoxTol);
// Proper crossing, or an endpoint on the other segment within the tolerances.
bool FloorPlanSegmentsIntersect(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                                const TFloorPlanPoint& c, const TFloorPlanPoint& d,
                                long double CrossTol, long double BoxTol);
