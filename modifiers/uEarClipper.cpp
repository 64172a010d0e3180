#include "modifiers/uEarClipper.h"

#include "modifiers/uModifierTopologyUtils.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cmath>
#include <limits>

namespace {

constexpr int32_t kLeafSize = 8;

// Work in meter units (about a nanosecond each): a point placed in the tree per level, a
// box refitted on clipping, a corner examined, a box tested against a triangle and a point
// tested, and how much is gathered before the meter is charged.
constexpr int64_t kBuildUnits = 2;
constexpr int64_t kRefitUnits = 2;
constexpr int64_t kExamineUnits = 10;
constexpr int64_t kBoxUnits = 30;
constexpr int64_t kPointUnits = 3;
constexpr int64_t kChargeChunk = int64_t{1} << 16;

// The sides of a triangle as PointInTriangle2D takes them: Cross2D(P, A, B) is the
// linear function C + X * P.U + Y * P.V of P.
struct TSide {
    double AU, AV, BU, BV;
    double C, X, Y;
};

TSide SideOf(const TVec2& A, const TVec2& B)
{
    TSide s{A.U, A.V, B.U, B.V, 0, 0, 0};
    s.C = s.AU * s.BV - s.AV * s.BU;  // float products are exact in double
    s.X = s.AV - s.BV;
    s.Y = s.BU - s.AU;
    return s;
}

double Largest(double A, double B)
{
    return std::max(std::fabs(A), std::fabs(B));
}

// Below this every float difference and product of Cross2D stays finite, with room for
// their rounding. Past it a product may round to infinity, and the difference of two
// infinities is NaN, which the containment test counts as inside.
constexpr double kFiniteInFloat = 0x1p126;
// Coordinates below this keep every difference below 2^63 and every product below 2^126.
constexpr double kNarrow = 0x1p62;

// Bounds of the float Cross2D(P, A, B) over every P of the box: its exact range widened by
// the rounding of the float evaluation (within 4 units in the last place of the larger
// product, taken 16 here) and of this one. Where the float evaluation could overflow for a
// point of the box the range is everything, so that the box is never ruled out; only Wide
// loops, with a coordinate of kNarrow or more, need to look.
template <bool Wide>
void SideRange(const TSide& s, double U0, double U1, double V0, double V1, double& Low,
               double& High)
{
    const double au = Largest(s.AU - U0, s.AU - U1), bv = Largest(s.BV - V0, s.BV - V1);
    const double av = Largest(s.AV - V0, s.AV - V1), bu = Largest(s.BU - U0, s.BU - U1);
    const double first = au * bv, second = av * bu;
    const bool finite =
        !Wide || (au < kFiniteInFloat && bv < kFiniteInFloat && av < kFiniteInFloat &&
                  bu < kFiniteInFloat && first < kFiniteInFloat && second < kFiniteInFloat);
    if (!finite) {
        Low = -std::numeric_limits<double>::infinity();
        High = std::numeric_limits<double>::infinity();
        return;
    }
    const double x0 = s.X * U0, x1 = s.X * U1, y0 = s.Y * V0, y1 = s.Y * V1;
    const double products = first + second;
    const double terms = std::fabs(s.AU * s.BV) + std::fabs(s.AV * s.BU) +
                         std::fabs(s.X) * Largest(U0, U1) + std::fabs(s.Y) * Largest(V0, V1);
    const double slack = 0x1p-20 * products + 0x1p-40 * terms + 1e-30;
    Low = s.C + std::min(x0, x1) + std::min(y0, y1) - slack;
    High = s.C + std::max(x0, x1) + std::max(y0, y1) + slack;
}

}  // namespace

// ---- ear set ----

TEarClipper::TEarSet::TEarSet(size_t Count)
{
    size_t words = std::max<size_t>((Count + 63) / 64, 1);
    Levels.emplace_back(words, 0);
    while (words > 1) {
        words = (words + 63) / 64;
        Levels.emplace_back(words, 0);
    }
}

void TEarClipper::TEarSet::Set(int32_t I)
{
    size_t i = static_cast<size_t>(I);
    for (std::vector<uint64_t>& level : Levels) {
        uint64_t& word = level[i / 64];
        const bool wasEmpty = word == 0;
        word |= uint64_t{1} << (i % 64);
        if (!wasEmpty)
            return;
        i /= 64;
    }
}

void TEarClipper::TEarSet::Clear(int32_t I)
{
    size_t i = static_cast<size_t>(I);
    for (std::vector<uint64_t>& level : Levels) {
        uint64_t& word = level[i / 64];
        word &= ~(uint64_t{1} << (i % 64));
        if (word != 0)
            return;
        i /= 64;
    }
}

int32_t TEarClipper::TEarSet::First() const
{
    if (Levels.back()[0] == 0)
        return -1;
    size_t i = 0;
    for (size_t l = Levels.size(); l-- > 0;)
        i = i * 64 + static_cast<size_t>(std::countr_zero(Levels[l][i]));
    return static_cast<int32_t>(i);
}

// ---- clipper ----

TEarClipper::TEarClipper(std::vector<TVec2> Points_, TWorkMeter* Meter_)
    : Points(std::move(Points_)), Ears(Points.size()), Meter(Meter_)
{
    const int32_t n = static_cast<int32_t>(Points.size());
    PrevOf.resize(Points.size());
    NextOf.resize(Points.size());
    for (int32_t i = 0; i < n; ++i) {
        PrevOf[i] = (i + n - 1) % n;
        NextOf[i] = (i + 1) % n;
    }
    for (const TVec2& p : Points)
        Wide = Wide || !(std::fabs(p.U) < kNarrow && std::fabs(p.V) < kNarrow);
    Order.resize(Points.size());
    for (int32_t i = 0; i < n; ++i)
        Order[i] = i;
    LeafOf.assign(Points.size(), -1);
    Clipped.assign(Points.size(), false);
    FirstWatch.assign(Points.size(), -1);
    Examinations.assign(Points.size(), 0);
    Nodes.reserve(Points.size() / kLeafSize * 2 + 2);
    if (n > 0)
        Build(0, n, -1);
}

void TEarClipper::Charge(int64_t Units)
{
    Unpaid += Units;
    if (Unpaid >= kChargeChunk) {
        ChargeWork(Meter, Unpaid);
        Unpaid = 0;
    }
}

// Boxes split at the median of their wider side.
int32_t TEarClipper::Build(int32_t Begin, int32_t End, int32_t Parent)
{
    const int32_t index = static_cast<int32_t>(Nodes.size());
    TNode node{};
    node.Live = End - Begin;
    node.Parent = Parent;
    node.Left = node.Right = -1;
    node.Begin = Begin;
    node.End = End;
    Refit(node);
    Nodes.push_back(node);
    Charge(kBuildUnits * (End - Begin));
    const bool finite = std::isfinite(node.X1 - node.X0) && std::isfinite(node.Y1 - node.Y0);
    if (End - Begin <= kLeafSize || !finite) {
        for (int32_t i = Begin; i < End; ++i)
            LeafOf[Order[i]] = index;
        return index;
    }
    const bool alongU = node.X1 - node.X0 >= node.Y1 - node.Y0;
    const int32_t middle = Begin + (End - Begin) / 2;
    std::nth_element(Order.begin() + Begin, Order.begin() + middle, Order.begin() + End,
                     [&](int32_t a, int32_t b) {
                         return alongU ? Points[a].U < Points[b].U : Points[a].V < Points[b].V;
                     });
    const int32_t left = Build(Begin, middle, index);
    const int32_t right = Build(middle, End, index);
    Nodes[index].Left = left;
    Nodes[index].Right = right;
    return index;
}

// The bounds of a node's remaining points: a leaf's from its points, a branch's from its
// children's. A coordinate that is not finite makes that side infinite, so that no test
// ever rules the box out.
void TEarClipper::Refit(TNode& Node) const
{
    constexpr float inf = std::numeric_limits<float>::infinity();
    float x0 = inf, x1 = -inf, y0 = inf, y1 = -inf;
    bool finiteU = true, finiteV = true;
    auto take = [&](float u0, float u1, float v0, float v1) {
        finiteU = finiteU && std::isfinite(u0) && std::isfinite(u1);
        finiteV = finiteV && std::isfinite(v0) && std::isfinite(v1);
        x0 = std::min(x0, u0);
        x1 = std::max(x1, u1);
        y0 = std::min(y0, v0);
        y1 = std::max(y1, v1);
    };
    if (Node.Left < 0) {
        for (int32_t i = Node.Begin; i < Node.End; ++i)
            if (!Clipped[Order[i]]) {
                const TVec2& p = Points[Order[i]];
                take(p.U, p.U, p.V, p.V);
            }
    } else {
        for (const int32_t child : {Node.Left, Node.Right})
            if (Nodes[child].Live > 0)
                take(Nodes[child].X0, Nodes[child].X1, Nodes[child].Y0, Nodes[child].Y1);
    }
    Node.X0 = finiteU ? x0 : -inf;
    Node.X1 = finiteU ? x1 : inf;
    Node.Y0 = finiteV ? y0 : -inf;
    Node.Y1 = finiteV ? y1 : inf;
}

void TEarClipper::Remove(int32_t Corner)
{
    Clipped[Corner] = true;
    Ears.Clear(Corner);
    int64_t refitted = 0;
    for (int32_t node = LeafOf[Corner]; node >= 0; node = Nodes[node].Parent) {
        --Nodes[node].Live;
        Refit(Nodes[node]);
        ++refitted;
    }
    Charge(kRefitUnits * refitted);
    const int32_t prev = PrevOf[Corner], next = NextOf[Corner];
    NextOf[prev] = next;
    PrevOf[next] = prev;
}

// A remaining point other than the triangle's corners that PointInTriangle2D puts inside
// the triangle (Prev, Corner, Next), or -1. Boxes are skipped only where the rounding of
// every point's test is bounded to give "outside".
int32_t TEarClipper::FindInside(int32_t Prev, int32_t Corner, int32_t Next)
{
    return Wide ? FindInsideOf<true>(Prev, Corner, Next) : FindInsideOf<false>(Prev, Corner, Next);
}

template <bool WideLoop>
int32_t TEarClipper::FindInsideOf(int32_t Prev, int32_t Corner, int32_t Next)
{
    const TVec2& a = Points[Prev];
    const TVec2& b = Points[Corner];
    const TVec2& c = Points[Next];
    const TSide sides[3] = {SideOf(a, b), SideOf(b, c), SideOf(c, a)};
    const double tolerance = 1e-6f;
    int32_t stack[64];
    int32_t depth = 0;
    stack[depth++] = 0;
    int64_t boxes = 0, points = 0;
    int32_t found = -1;
    while (depth > 0 && found < 0) {
        const TNode& node = Nodes[stack[--depth]];
        if (node.Live == 0)
            continue;
        ++boxes;
        bool below = false, above = false;
        for (const TSide& s : sides) {
            double low, high;
            SideRange<WideLoop>(s, node.X0, node.X1, node.Y0, node.Y1, low, high);
            below = below || high < -tolerance;
            above = above || low > tolerance;
        }
        if (below && above)
            continue;
        if (node.Left < 0) {
            for (int32_t i = node.Begin; i < node.End && found < 0; ++i) {
                const int32_t k = Order[i];
                if (Clipped[k] || k == Prev || k == Corner || k == Next)
                    continue;
                ++points;
                if (PointInTriangle2D(Points[k], a, b, c))
                    found = k;
            }
            continue;
        }
        assert(depth + 2 <= 64);
        stack[depth++] = node.Right;
        stack[depth++] = node.Left;
    }
    Charge(kBoxUnits * boxes + kPointUnits * points);
    return found;
}

// Whether the corner is an ear now: the test of the plain scan.
void TEarClipper::Examine(int32_t Corner)
{
    ++Examinations[Corner];
    Ears.Clear(Corner);
    Charge(kExamineUnits);
    const int32_t prev = PrevOf[Corner], next = NextOf[Corner];
    if (!(Cross2D(Points[prev], Points[Corner], Points[next]) > 1e-7f))
        return;  // turns into an ear only when a neighbour goes
    const int32_t inside = FindInside(prev, Corner, next);
    if (inside < 0) {
        Ears.Set(Corner);
        return;
    }
    Watches.push_back({Corner, Examinations[Corner], FirstWatch[inside]});
    FirstWatch[inside] = static_cast<int32_t>(Watches.size()) - 1;
}

// A corner's status changes only when its triangle does (a neighbour is clipped) or when
// the point found inside it goes: clipping takes points away, so an ear stays an ear and
// a corner with a remaining point inside stays blocked. So the kept statuses are those a
// fresh test would give, and the lowest ear is the one the scan from the start finds.
bool TEarClipper::Run(std::vector<int32_t>& Corners)
{
    Corners.clear();
    int32_t remaining = static_cast<int32_t>(Points.size());
    if (remaining < 3)
        return false;
    if (remaining > 3)
        for (int32_t i = 0; i < remaining; ++i)
            Examine(i);
    int32_t first = 0;  // the lowest remaining position
    bool done = true;
    while (remaining > 3) {
        const int32_t ear = Ears.First();
        if (ear < 0) {
            done = false;
            break;
        }
        const int32_t prev = PrevOf[ear], next = NextOf[ear];
        Corners.push_back(prev);
        Corners.push_back(ear);
        Corners.push_back(next);
        Remove(ear);
        if (ear == first)
            first = next;
        if (--remaining == 3)
            break;
        Examine(prev);
        Examine(next);
        for (int32_t w = FirstWatch[ear]; w >= 0; w = Watches[w].Next) {
            const TWatch watch = Watches[w];
            if (!Clipped[watch.Corner] && watch.Examination == Examinations[watch.Corner])
                Examine(watch.Corner);
        }
    }
    ChargeWork(Meter, Unpaid);
    Unpaid = 0;
    if (done) {
        Corners.push_back(first);
        Corners.push_back(NextOf[first]);
        Corners.push_back(NextOf[NextOf[first]]);
    }
    return done;
}
