#pragma once

// The square height grid of a terrain object, with its own undo and redo
// rings of whole-grid snapshots (independent of the document's history).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "base/uErrors.h"

class EHeightmapError : public EGeneralError {
public:
    explicit EHeightmapError(const std::string& Message) : EGeneralError(Message) {}
};

bool IsPowerOfTwo(int n);

// Bilinear sample at (u, v) in 0..1 of an n x n row-major grid.
float SampleHeightsBilinear(std::span<const float> Heights, int n, float u, float v);

class THeightmap {
public:
    static constexpr int MinResolution = 2;
    static constexpr int MaxResolution = 1024;
    static constexpr int RingCapacity = 24;

    // Throws EHeightmapError unless n is a power of two in 2..1024.
    explicit THeightmap(int n);
    THeightmap(const THeightmap&) = delete;
    THeightmap& operator=(const THeightmap&) = delete;
    THeightmap(THeightmap&&) = default;
    THeightmap& operator=(THeightmap&&) = default;

    // A copy of the heights and extremes with empty rings.
    static std::unique_ptr<THeightmap> CreateFrom(const THeightmap* Source);
    std::unique_ptr<THeightmap> Clone() const;

    int GetResolution() const { return Resolution; }
    int CellCount() const { return Resolution * Resolution; }
    float GetMinHeight() const { return MinHeight; }
    float GetMaxHeight() const { return MaxHeight; }

    // Row-major samples: (x, y) is at x + y * n.
    float* Data() { return Heights.data(); }
    const float* Data() const { return Heights.data(); }

    float Get(int X, int Y) const;
    void Put(int X, int Y, float H);

    void SetMinMax(float Min, float Max);
    void UpdateMinMax();
    void Normalize(float Lo, float Hi);
    void Fill(float V);
    void Flatten();
    void Offset(float D);
    void Clamp(float Lo, float Hi);
    void Resample(int NewN);

    // Call once before every edit: drops the redo steps and saves the current state.
    void BeginEdit();
    void PushUndo();
    void ClearRedo();
    bool CanUndo() const { return UndoRing.Count > 0; }
    bool CanRedo() const { return RedoRing.Count > 0; }
    bool Undo();
    bool Redo();

private:
    struct TRing {
        std::vector<std::vector<float>> Snapshots;
        std::vector<int> Resolutions;
        int Count = 0;
        int Head = 0;
    };
    static void StoreSlot(TRing& Ring, int Slot, const std::vector<float>& Source, int Res);

    int Resolution = 0;
    float MinHeight = 0.0f;
    float MaxHeight = 0.0f;
    TRing UndoRing;
    TRing RedoRing;
    std::vector<float> Heights;
};
