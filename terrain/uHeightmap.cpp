#include "terrain/uHeightmap.h"

#include <algorithm>
#include <cmath>

namespace {

[[noreturn]] void RaiseHeightmapResolutionError(int n)
{
    throw EHeightmapError("Invalid heightmap resolution " + std::to_string(n) +
                          " (must be power of two in " + std::to_string(THeightmap::MinResolution) +
                          ".." + std::to_string(THeightmap::MaxResolution) + ")");
}

void CheckResolution(int n)
{
    if (!IsPowerOfTwo(n) || n < THeightmap::MinResolution || n > THeightmap::MaxResolution)
        RaiseHeightmapResolutionError(n);
}

// Clamp into 0..1; NaN goes to 0 so that the index arithmetic stays defined.
float Clamp01(float t)
{
    if (!(t > 0.0f))
        return 0.0f;
    return t > 1.0f ? 1.0f : t;
}

}  // namespace

bool IsPowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

float SampleHeightsBilinear(std::span<const float> Heights, int n, float u, float v)
{
    u = Clamp01(u);
    v = Clamp01(v);
    const float fx = static_cast<float>(n - 1) * u;
    const float fy = static_cast<float>(n - 1) * v;
    const int x0 = static_cast<int>(fx);
    const int y0 = static_cast<int>(fy);
    const int x1 = std::min(x0 + 1, n - 1);
    const int y1 = std::min(y0 + 1, n - 1);
    const float tx = fx - static_cast<float>(x0);
    const float ty = fy - static_cast<float>(y0);
    auto h = [&](int x, int y) {
        return Heights[static_cast<size_t>(x) + static_cast<size_t>(y) * n];
    };
    return (1.0f - tx) * (1.0f - ty) * h(x0, y0) + tx * (1.0f - ty) * h(x1, y0) +
           (1.0f - tx) * ty * h(x0, y1) + tx * ty * h(x1, y1);
}

THeightmap::THeightmap(int n)
{
    CheckResolution(n);
    Resolution = n;
    Heights.assign(static_cast<size_t>(n) * n, 0.0f);
}

std::unique_ptr<THeightmap> THeightmap::CreateFrom(const THeightmap* Source)
{
    if (!Source)
        throw EGeneralError("THeightmap.CreateFrom: source is nil");
    auto Copy = std::make_unique<THeightmap>(Source->Resolution);
    Copy->Heights = Source->Heights;
    Copy->MinHeight = Source->MinHeight;
    Copy->MaxHeight = Source->MaxHeight;
    return Copy;
}

std::unique_ptr<THeightmap> THeightmap::Clone() const
{
    return CreateFrom(this);
}

float THeightmap::Get(int X, int Y) const
{
    X = std::clamp(X, 0, Resolution - 1);
    Y = std::clamp(Y, 0, Resolution - 1);
    return Heights[static_cast<size_t>(X) + static_cast<size_t>(Y) * Resolution];
}

void THeightmap::Put(int X, int Y, float H)
{
    const auto n = static_cast<unsigned>(Resolution);
    if (static_cast<unsigned>(X) >= n || static_cast<unsigned>(Y) >= n)
        throw EHeightmapError("Put(" + std::to_string(X) + "," + std::to_string(Y) +
                              ") out of range (res=" + std::to_string(Resolution) + ")");
    Heights[static_cast<size_t>(X) + static_cast<size_t>(Y) * Resolution] = H;
}

void THeightmap::SetMinMax(float Min, float Max)
{
    MinHeight = Min;
    MaxHeight = Max;
}

void THeightmap::UpdateMinMax()
{
    if (Heights.empty()) {
        MinHeight = MaxHeight = 0.0f;
        return;
    }
    float Lo = Heights[0], Hi = Heights[0];
    for (float h : Heights) {
        if (h < Lo)
            Lo = h;
        if (h > Hi)
            Hi = h;
    }
    MinHeight = Lo;
    MaxHeight = Hi;
}

void THeightmap::Normalize(float Lo, float Hi)
{
    UpdateMinMax();
    const float Range = MaxHeight - MinHeight;
    if (Range >= 1e-9f) {
        const float Min = MinHeight, Span = Hi - Lo;
        for (float& h : Heights)
            h = Lo + (h - Min) / Range * Span;
    } else {
        std::fill(Heights.begin(), Heights.end(), (Lo + Hi) * 0.5f);
    }
    MinHeight = Lo;
    MaxHeight = Hi;
}

void THeightmap::Fill(float V)
{
    std::fill(Heights.begin(), Heights.end(), V);
    MinHeight = MaxHeight = V;
}

void THeightmap::Flatten()
{
    Fill(0.5f);
}

void THeightmap::Offset(float D)
{
    for (float& h : Heights)
        h += D;
    MinHeight += D;
    MaxHeight += D;
}

void THeightmap::Clamp(float Lo, float Hi)
{
    for (float& h : Heights) {
        if (h < Lo)
            h = Lo;
        else if (h > Hi)
            h = Hi;
    }
    UpdateMinMax();
}

void THeightmap::Resample(int NewN)
{
    CheckResolution(NewN);
    if (NewN == Resolution)
        return;
    std::vector<float> Fresh(static_cast<size_t>(NewN) * NewN);
    for (int y = 0; y < NewN; ++y) {
        const float v = static_cast<float>(y) / static_cast<float>(NewN - 1);
        for (int x = 0; x < NewN; ++x) {
            const float u = static_cast<float>(x) / static_cast<float>(NewN - 1);
            Fresh[static_cast<size_t>(x) + static_cast<size_t>(y) * NewN] =
                SampleHeightsBilinear(Heights, Resolution, u, v);
        }
    }
    Heights = std::move(Fresh);
    Resolution = NewN;
    UpdateMinMax();
}

// Copies into a slot, reusing its buffer once the ring has wrapped.
void THeightmap::StoreSlot(TRing& Ring, int Slot, const std::vector<float>& Source, int Res)
{
    if (static_cast<int>(Ring.Snapshots.size()) <= Slot) {
        Ring.Snapshots.resize(Slot + 1);
        Ring.Resolutions.resize(Slot + 1, 0);
    }
    Ring.Snapshots[Slot].assign(Source.begin(), Source.end());
    Ring.Resolutions[Slot] = Res;
}

void THeightmap::PushUndo()
{
    StoreSlot(UndoRing, UndoRing.Head, Heights, Resolution);
    UndoRing.Head = (UndoRing.Head + 1) % RingCapacity;
    UndoRing.Count = std::min(UndoRing.Count + 1, RingCapacity);
}

void THeightmap::ClearRedo()
{
    RedoRing = TRing{};
}

void THeightmap::BeginEdit()
{
    ClearRedo();
    PushUndo();
}

bool THeightmap::Undo()
{
    if (UndoRing.Count == 0)
        return false;
    StoreSlot(RedoRing, RedoRing.Head, Heights, Resolution);
    RedoRing.Head = (RedoRing.Head + 1) % RingCapacity;
    RedoRing.Count = std::min(RedoRing.Count + 1, RingCapacity);
    UndoRing.Head = (UndoRing.Head + RingCapacity - 1) % RingCapacity;
    UndoRing.Count -= 1;
    // The slot is free now, so its buffer can be taken instead of copied.
    Resolution = UndoRing.Resolutions[UndoRing.Head];
    Heights.swap(UndoRing.Snapshots[UndoRing.Head]);
    UpdateMinMax();
    return true;
}

bool THeightmap::Redo()
{
    if (RedoRing.Count == 0)
        return false;
    PushUndo();
    RedoRing.Head = (RedoRing.Head + RingCapacity - 1) % RingCapacity;
    RedoRing.Count -= 1;
    Resolution = RedoRing.Resolutions[RedoRing.Head];
    Heights.swap(RedoRing.Snapshots[RedoRing.Head]);
    UpdateMinMax();
    return true;
}
