#include "floorplan/uFloorPlan.h"

#include "base/uErrors.h"

#include <algorithm>
#include <cmath>

TFloorPlanPoint MakeFloorPlanPoint(float X, float Z)
{
    return {X, Z};
}

TFloorSettings DefaultFloorSettings()
{
    return TFloorSettings{};
}

bool FloorSettingsFinite(const TFloorSettings& s)
{
    return IsFiniteSingle(s.Height) && IsFiniteSingle(s.WallThickness) &&
           IsFiniteSingle(s.SlabThickness) && IsFiniteSingle(s.RoofRise) &&
           IsFiniteSingle(s.RoofInset);
}

bool FloorSettingsStorable(const TFloorSettings& s)
{
    return FloorSettingsFinite(s) && s.RoofType >= rtNone && s.RoofType <= rtTruncatedPyramid;
}

bool ValidateFloorSettings(const TFloorSettings& s, std::string& Message)
{
    Message.clear();
    auto fail = [&](const char* text) {
        Message = text;
        return false;
    };
    if (!FloorSettingsFinite(s))
        return fail("Floor-plan settings contain a non-finite value");
    if (!(s.Height > 0))
        return fail("Floor-plan height must be positive");
    if (!(s.WallThickness > 0))
        return fail("Floor-plan wall thickness must be positive");
    if (!(s.SlabThickness > 0))
        return fail("Floor-plan slab thickness must be positive");
    if (!(s.Height > s.SlabThickness))
        return fail("Floor-plan height must be above the slab");
    if (s.RoofType == rtNone || s.RoofType == rtFlat) {
        if (!(s.RoofRise >= 0))
            return fail("Floor-plan roof rise cannot be negative");
        if (!(s.RoofInset >= 0))
            return fail("Floor-plan roof inset cannot be negative");
    } else if (s.RoofType == rtTruncatedPyramid) {
        if (!(s.RoofRise > 0))
            return fail("Truncated-pyramid roof rise must be positive");
        if (!(s.RoofInset > 0))
            return fail("Truncated-pyramid roof inset must be positive");
    } else {
        return fail("Unknown floor-plan roof type");
    }
    return true;
}

// ---- predicates ----

bool IsFiniteSingle(float x)
{
    return std::isfinite(x);
}

bool FloorPlanPointsEqual(const TFloorPlanPoint& a, const TFloorPlanPoint& b)
{
    return a.X == b.X && a.Z == b.Z;
}

long double FloorPlanDistanceSq(const TFloorPlanPoint& a, const TFloorPlanPoint& b)
{
    const long double dx = static_cast<long double>(a.X) - b.X;
    const long double dz = static_cast<long double>(a.Z) - b.Z;
    return dx * dx + dz * dz;
}

long double FloorPlanCross(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                           const TFloorPlanPoint& c)
{
    const long double ax = a.X, az = a.Z;
    return (b.X - ax) * (c.Z - az) - (b.Z - az) * (c.X - ax);
}

long double FloorPlanDoubleArea(const TFloorPlanPointArray& Points, int n)
{
    if (n <= 0)
        return 0;
    long double sum = 0;
    for (int i = 0; i < n; ++i) {
        const TFloorPlanPoint& p = Points[i];
        const TFloorPlanPoint& q = Points[(i + 1) % n];
        sum += static_cast<long double>(p.X) * q.Z - static_cast<long double>(q.X) * p.Z;
    }
    return sum;
}

bool PointOnFloorPlanSegment(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                             const TFloorPlanPoint& p, long double CrossTol, long double BoxTol)
{
    if (std::fabs(FloorPlanCross(a, b, p)) > CrossTol)
        return false;
    const long double minX = std::min(a.X, b.X) - BoxTol, maxX = std::max(a.X, b.X) + BoxTol;
    const long double minZ = std::min(a.Z, b.Z) - BoxTol, maxZ = std::max(a.Z, b.Z) + BoxTol;
    return p.X >= minX && p.X <= maxX && p.Z >= minZ && p.Z <= maxZ;
}

bool FloorPlanSegmentsIntersect(const TFloorPlanPoint& a, const TFloorPlanPoint& b,
                                const TFloorPlanPoint& c, const TFloorPlanPoint& d,
                                long double CrossTol, long double BoxTol)
{
    // Both ways of meeting need the boxes to overlap (a crossing point lies in both, an
    // endpoint on the other segment lies in its box grown by BoxTol): most pairs of a
    // polygon's edges end here, before any cross product.
    if (std::max(c.X, d.X) < std::min(a.X, b.X) - BoxTol ||
        std::min(c.X, d.X) > std::max(a.X, b.X) + BoxTol ||
        std::max(c.Z, d.Z) < std::min(a.Z, b.Z) - BoxTol ||
        std::min(c.Z, d.Z) > std::max(a.Z, b.Z) + BoxTol)
        return false;
    const long double d1 = FloorPlanCross(a, b, c);
    const long double d2 = FloorPlanCross(a, b, d);
    const long double d3 = FloorPlanCross(c, d, a);
    const long double d4 = FloorPlanCross(c, d, b);
    const bool cdOpposite = (d1 > CrossTol && d2 < -CrossTol) || (d1 < -CrossTol && d2 > CrossTol);
    const bool abOpposite = (d3 > CrossTol && d4 < -CrossTol) || (d3 < -CrossTol && d4 > CrossTol);
    if (cdOpposite && abOpposite)
        return true;
    if (std::fabs(d1) <= CrossTol && PointOnFloorPlanSegment(a, b, c, CrossTol, BoxTol))
        return true;
    if (std::fabs(d2) <= CrossTol && PointOnFloorPlanSegment(a, b, d, CrossTol, BoxTol))
        return true;
    if (std::fabs(d3) <= CrossTol && PointOnFloorPlanSegment(c, d, a, CrossTol, BoxTol))
        return true;
    if (std::fabs(d4) <= CrossTol && PointOnFloorPlanSegment(c, d, b, CrossTol, BoxTol))
        return true;
    return false;
}

// ---- the plan ----

TFloorPlan::TFloorPlan(uint32_t Id, std::string Name) : FId(Id), FName(std::move(Name)) {}

void TFloorPlan::Bump()
{
    // The revision wraps; signed overflow would be undefined, so step in unsigned.
    FRevision = static_cast<int64_t>(static_cast<uint64_t>(FRevision) + 1u);
}

void TFloorPlan::SetId(uint32_t Id)
{
    if (Id == FId)
        return;
    FId = Id;
    Bump();
}

void TFloorPlan::SetName(const std::string& Name)
{
    if (Name == FName)
        return;
    FName = Name;
    Bump();
}

bool TFloorPlan::SetSettings(const TFloorSettings& Settings)
{
    if (!FloorSettingsStorable(Settings))
        return false;
    if (Settings == FSettings)
        return true;
    FSettings = Settings;
    Bump();
    return true;
}

void TFloorPlan::SetRevision(int64_t Revision)
{
    FRevision = Revision;
}

bool TFloorPlan::IsClosed() const
{
    return FPoints.size() > 1 && FloorPlanPointsEqual(FPoints.back(), FPoints.front());
}

int TFloorPlan::PointCount() const
{
    const int stored = StoredPointCount();
    return IsClosed() ? stored - 1 : stored;
}

TFloorPlanPointArray TFloorPlan::GetOpenPoints() const
{
    return TFloorPlanPointArray(FPoints.begin(), FPoints.begin() + PointCount());
}

TFloorPlanPoint TFloorPlan::GetPoint(int Index) const
{
    if (Index < 0 || Index >= PointCount())
        throw EArgumentOutOfRangeException("Floor-plan point index " + std::to_string(Index) +
                                           " is out of range");
    return FPoints[Index];
}

int TFloorPlan::InsertPoint(const TFloorPlanPoint& Point, int Index)
{
    const int n = PointCount();
    if (Index < 0)
        Index = n;
    if (Index > n)
        return -1;
    if (FPoints.empty()) {
        FPoints = {Point, Point};
        Bump();
        return 0;
    }
    const bool closed = IsClosed();
    TFloorPlanPointArray next;
    next.reserve(n + 2);
    next.insert(next.end(), FPoints.begin(), FPoints.begin() + Index);
    next.push_back(Point);
    next.insert(next.end(), FPoints.begin() + Index, FPoints.begin() + n);
    if (closed)
        next.push_back(next.front());
    FPoints = std::move(next);
    Bump();
    return Index;
}

bool TFloorPlan::MovePoint(int Index, const TFloorPlanPoint& Point)
{
    const int n = PointCount();
    if (Index < 0 || Index >= n)
        return false;
    if (FloorPlanPointsEqual(FPoints[Index], Point))
        return true;
    const bool closed = IsClosed();
    FPoints[Index] = Point;
    if (closed && Index == 0)
        FPoints.back() = Point;
    Bump();
    return true;
}

bool TFloorPlan::DeletePoint(int Index)
{
    const int n = PointCount();
    if (Index < 0 || Index >= n)
        return false;
    if (n > 1) {
        const bool closed = IsClosed();
        TFloorPlanPointArray open = GetOpenPoints();
        open.erase(open.begin() + Index);
        if (closed)
            open.push_back(open.front());
        FPoints = std::move(open);
    } else {
        FPoints.clear();
    }
    Bump();
    return true;
}

void TFloorPlan::ClearPoints()
{
    if (FPoints.empty())
        return;
    FPoints.clear();
    Bump();
}

void TFloorPlan::ClosePolygon()
{
    if (FPoints.empty() || IsClosed())
        return;
    FPoints.push_back(FPoints.front());
    Bump();
}

void TFloorPlan::SetPoints(const TFloorPlanPointArray& Points)
{
    if (Points.size() == FPoints.size() &&
        std::equal(Points.begin(), Points.end(), FPoints.begin(), FloorPlanPointsEqual))
        return;
    FPoints = Points;
    Bump();
}

bool TFloorPlan::ValidatePolygon(std::string& Message) const
{
    Message.clear();
    auto fail = [&](std::string text) {
        Message = std::move(text);
        return false;
    };
    if (FPoints.size() < 2)
        return fail("Floor-plan polygon is empty or has no closing point");
    for (size_t i = 0; i < FPoints.size(); ++i)
        if (!IsFiniteSingle(FPoints[i].X) || !IsFiniteSingle(FPoints[i].Z))
            return fail("Floor-plan point " + std::to_string(i) + " is not finite");
    if (!IsClosed())
        return fail("Floor-plan polygon is not closed");
    const TFloorPlanPointArray p = GetOpenPoints();
    const int n = static_cast<int>(p.size());
    if (n < 3)
        return fail("Floor-plan polygon needs at least three points");

    long double minX = p[0].X, maxX = p[0].X, minZ = p[0].Z, maxZ = p[0].Z;
    for (const auto& q : p) {
        minX = std::min<long double>(minX, q.X);
        maxX = std::max<long double>(maxX, q.X);
        minZ = std::min<long double>(minZ, q.Z);
        maxZ = std::max<long double>(maxZ, q.Z);
    }
    const long double extent = std::max(maxX - minX, maxZ - minZ);
    const long double lenTol = std::max<long double>(extent, 1) * 1e-7L;
    const long double areaTol = std::max<long double>(extent * extent, 1) * 1e-7L;

    for (int i = 0; i < n; ++i)
        if (FloorPlanDistanceSq(p[i], p[(i + 1) % n]) <= lenTol * lenTol)
            return fail("Floor-plan edge " + std::to_string(i) + " has zero length");
    if (std::fabs(FloorPlanDoubleArea(p, n)) <= areaTol)
        return fail("Floor-plan polygon has zero area");
    for (int i = 0; i < n; ++i) {
        const TFloorPlanPoint& a = p[(i + n - 1) % n];
        const TFloorPlanPoint& b = p[i];
        const TFloorPlanPoint& c = p[(i + 1) % n];
        if (std::fabs(FloorPlanCross(a, b, c)) > areaTol)
            continue;
        const long double dot =
            (static_cast<long double>(c.X) - b.X) * (static_cast<long double>(b.X) - a.X) +
            (static_cast<long double>(c.Z) - b.Z) * (static_cast<long double>(b.Z) - a.Z);
        if (dot < -areaTol)
            return fail("Floor-plan boundary reverses at point " + std::to_string(i));
    }
    for (int i = 0; i < n; ++i)
        for (int j = i + 2; j < n; ++j) {
            if (i == 0 && j == n - 1)
                continue;
            if (FloorPlanSegmentsIntersect(p[i], p[i + 1], p[j], p[(j + 1) % n], areaTol, lenTol))
                return fail("Floor-plan edges " + std::to_string(i) + " and " + std::to_string(j) +
                            " intersect");
        }
    return true;
}

bool TFloorPlan::ValidateSettings(std::string& Message) const
{
    return ValidateFloorSettings(FSettings, Message);
}

bool TFloorPlan::Validate(std::string& Message) const
{
    if (!ValidatePolygon(Message))
        return false;
    return ValidateSettings(Message);
}

void TFloorPlan::Assign(const TFloorPlan* Source)
{
    if (!Source)
        throw EArgumentError("Cannot assign a nil floor plan");
    if (Source == this)
        return;
    FId = Source->FId;
    FName = Source->FName;
    FSettings = Source->FSettings;
    FPoints = Source->FPoints;
    FRevision = Source->FRevision;
}

std::unique_ptr<TFloorPlan> TFloorPlan::Clone() const
{
    auto copy = std::make_unique<TFloorPlan>(0, "");
    copy->Assign(this);
    return copy;
}
