#include "terrain/uTerrainErosion.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <cassert>
#include <climits>
#include <cstdint>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

// Each cell moves material to the lowest cell of its window (first in scan order
// among equal drops), so the search only needs the window's minimum and then the
// first cell whose drop rounds to the same float. Per column of the window the
// worker keeps the minimum of the rows above and below its row; a move changes
// two cells, so at most one column is scanned again per cell instead of the
// whole window.
//
// Rows are handed out in turn to a few workers, iterations one after the other.
// A cell reads and writes only within Radius of itself, so two cells more than
// 2 * Radius columns apart never touch the same sample: a worker may work on a
// cell as soon as the row before it (in scan order over all iterations) has
// finished every cell up to 2 * Radius columns to its right. Every pair of cells
// that could meet is then worked on in scan order, and the result is the one a
// single pass in scan order gives, bit for bit.

namespace {

constexpr int MaxErodeRadius = 6;
constexpr int MaxErodeIterations = 4000;
constexpr int MaxWorkers = 4;
// Below this side the rows are too short to keep a second worker busy.
constexpr int MinParallelResolution = 64;
constexpr float Far = std::numeric_limits<float>::infinity();

// The smaller of a running minimum and a height; a NaN height never takes
// material (its drop is never greater), so it never counts.
inline float Lower(float Min, float h)
{
    return h < Min ? h : Min;
}

int UsableCpus()
{
    cpu_set_t Set;
    CPU_ZERO(&Set);
    if (sched_getaffinity(0, sizeof(Set), &Set) == 0)
        return std::max(CPU_COUNT(&Set), 1);
    return std::max(static_cast<int>(std::thread::hardware_concurrency()), 1);
}

// How many cells of the whole run (all iterations' rows one after the other) a
// worker has finished. On its own cache line: the workers poll each other's.
struct alignas(64) TProgress {
    std::atomic<int64_t> Done{0};
};

struct TErosionRun {
    float* W = nullptr;
    int n = 0;
    int Radius = 0;
    float Amount = 0.0f;
    int64_t Rows = 0;  // rows of all iterations
    int Workers = 1;
    std::unique_ptr<TProgress[]> Progress;
};

class TRowWorker {
public:
    TRowWorker(const TErosionRun& Run, int Index)
        : Run(Run), Index(Index), n(Run.n), R(Run.Radius), W(Run.W)
    {
        const size_t Padded = static_cast<size_t>(n) + 2 * static_cast<size_t>(R);
        Up.assign(Padded, Far);
        Down.assign(Padded, Far);
        Whole.assign(Padded, Far);
    }

    void Work()
    {
        for (int64_t g = Index; g < Run.Rows; g += Run.Workers)
            ErodeRow(g);
    }

private:
    const TErosionRun& Run;
    const int Index;
    const int n, R;
    float* const W;
    // Per column (index + R; R columns of padding each side never hold a cell):
    // the minimum of the window's rows above the row, below it, and of all its
    // rows. A NaN-free minimum, Far when there is no such cell.
    std::vector<float> Up, Down, Whole;
    int y = 0, Top = 0, Bottom = 0;
    int64_t RowStart = 0;
    const std::atomic<int64_t>* Before = nullptr;
    int64_t BeforeSeen = 0;

    float* Row() const { return W + static_cast<size_t>(y) * n; }
    float& At(int x, int Yy) const { return W[static_cast<size_t>(x) + static_cast<size_t>(Yy) * n]; }

    float ColumnMin(int x, int From, int To) const
    {
        float m = Far;
        for (int r = From; r <= To; ++r)
            m = Lower(m, At(x, r));
        return m;
    }

    void FillColumn(int x)
    {
        Up[x + R] = ColumnMin(x, Top, y - 1);
        Down[x + R] = ColumnMin(x, y + 1, Bottom);
        Whole[x + R] = Lower(Lower(Up[x + R], Down[x + R]), Row()[x]);
    }

    // Waits until the row before has finished its first Cells cells.
    void WaitForRowBefore(int Cells)
    {
        if (!Before)
            return;
        const int64_t Needed = RowStart - n + Cells;
        int Spins = 0;
        while (BeforeSeen < Needed) {
            BeforeSeen = Before->load(std::memory_order_acquire);
            if (BeforeSeen < Needed && ++Spins > 256)
                std::this_thread::yield();
        }
    }

    void ErodeRow(int64_t g)
    {
        y = static_cast<int>(g % n);
        Top = std::max(y - R, 0);
        Bottom = std::min(y + R, n - 1);
        RowStart = g * n;
        Before = g > 0 ? &Run.Progress[(g - 1) % Run.Workers].Done : nullptr;
        BeforeSeen = 0;
        std::atomic<int64_t>& Done = Run.Progress[Index].Done;

        WaitForRowBefore(std::min(n, 2 * R + 1));
        for (int x = 0; x < std::min(R, n); ++x)
            FillColumn(x);
        for (int x = 0; x < n; ++x) {
            WaitForRowBefore(std::min(n, x + 2 * R + 1));
            if (x + R < n)
                FillColumn(x + R);
            ErodeCell(x);
            Done.store(RowStart + x + 1, std::memory_order_release);
        }
    }

    void ErodeCell(int x)
    {
        float* const H = Row();
        const float c = H[x];
        const float* const M = Whole.data() + R + x;  // M[dx], dx in -R..R
        const float Centre = Lower(Up[x + R], Down[x + R]);
        float m = Centre;
        for (int dx = -R; dx < 0; ++dx)
            m = Lower(m, M[dx]);
        for (int dx = 1; dx <= R; ++dx)
            m = Lower(m, M[dx]);
        // Float subtraction is monotonic, so the lowest neighbour gives the greatest drop.
        const float Best = c - m;
        if (!(Best > 0.0f))
            return;

        // The first cell in scan order (rows, then columns) whose drop is Best: only
        // columns whose minimum has that drop hold one.
        int TargetRow = INT_MAX, TargetCol = -1;
        for (int dx = -R; dx <= R; ++dx) {
            if (!(c - (dx == 0 ? Centre : M[dx]) == Best))
                continue;
            const int Col = x + dx;
            const int Last = std::min(Bottom, TargetRow - 1);
            for (int r = Top; r <= Last; ++r) {
                if (c - At(Col, r) == Best && (r != y || dx != 0)) {
                    TargetRow = r;
                    TargetCol = Col;
                    break;
                }
            }
        }
        assert(TargetCol >= 0);

        const float Move = std::min(Best * 0.5f * Amount(), c * 0.5f);
        H[x] -= Move;
        float& Target = At(TargetCol, TargetRow);
        const float Old = Target;
        Target += Move;

        // The target grew: its column's minimum changes only if it was that minimum.
        const int k = TargetCol + R;
        if (TargetRow < y && !(Old > Up[k]))
            Up[k] = ColumnMin(TargetCol, Top, y - 1);
        else if (TargetRow > y && !(Old > Down[k]))
            Down[k] = ColumnMin(TargetCol, y + 1, Bottom);
        Whole[k] = Lower(Lower(Up[k], Down[k]), H[TargetCol]);
        Whole[x + R] = Lower(Lower(Up[x + R], Down[x + R]), H[x]);
    }

    float Amount() const { return Run.Amount; }
};

}  // namespace

void ErodeTerrain(THeightmap* Map, int Iterations, int Radius, float Amount)
{
    if (!Map || Iterations <= 0 || !(Amount > 0.0f))
        return;
    Amount = std::min(Amount, 1.0f);
    Radius = std::clamp(Radius, 1, MaxErodeRadius);
    Iterations = std::min(Iterations, MaxErodeIterations);
    Map->Normalize(0.0f, 1.0f);

    TErosionRun Run;
    Run.W = Map->Data();
    Run.n = Map->GetResolution();
    Run.Radius = Radius;
    Run.Amount = Amount;
    Run.Rows = static_cast<int64_t>(Iterations) * Run.n;
    Run.Workers = Run.n >= MinParallelResolution ? std::min(UsableCpus(), MaxWorkers) : 1;
    if (getenv("ERODE_W")) Run.Workers = atoi(getenv("ERODE_W"));
    Run.Progress = std::make_unique<TProgress[]>(static_cast<size_t>(Run.Workers));

    std::vector<std::unique_ptr<TRowWorker>> Workers;
    for (int i = 0; i < Run.Workers; ++i)
        Workers.push_back(std::make_unique<TRowWorker>(Run, i));
    std::vector<std::thread> Threads;
    for (int i = 1; i < Run.Workers; ++i)
        Threads.emplace_back([&Workers, i] { Workers[static_cast<size_t>(i)]->Work(); });
    Workers.front()->Work();
    for (std::thread& t : Threads)
        t.join();

    Map->Normalize(0.0f, 1.0f);
}
