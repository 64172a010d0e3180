#include "terrain/uTerrainErosion.h"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cassert>
#include <climits>
#include <cstdint>
#include <exception>
#include <functional>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    const TErosionProgress* Report = nullptr;
    std::atomic<bool> Stop{false};
};

// Up to this radius a cell's window is searched whole.
constexpr int DirectRadius = 2;
// Columns filled ahead at a time: a vectorised pass over the window's rows.
constexpr int FillChunk = 32;

template <int R>
class TRowWorker {
public:
    static constexpr int Span = 2 * R + 1;

    TRowWorker(TErosionRun& Run, int Index)
        : Run(Run), Index(Index), n(Run.n), W(Run.W), Amount(Run.Amount)
    {
        // The window is read in blocks of four: room for the last block's spare lanes.
        const size_t Padded = static_cast<size_t>(n) + 2 * R + 4;
        Up.assign(Padded, Far);
        Down.assign(Padded, Far);
        Whole.assign(Padded, Far);
    }

    void Work()
    {
        int64_t Reported = 0;
        for (int64_t g = Index; g < Run.Rows && !Stopping(); g += Run.Workers) {
            // The first worker runs on the caller's thread: it tells how far the run is.
            if (Index == 0 && Run.Report && *Run.Report && g / n > Reported) {
                Reported = g / n;
                if (!(*Run.Report)(static_cast<int>(Reported), static_cast<int>(Run.Rows / n)))
                    Run.Stop.store(true, std::memory_order_relaxed);
            }
            ErodeRow(g);
        }
    }

private:
    TErosionRun& Run;
    const int Index;
    const int n;
    float* const W;
    const float Amount;
    // Per column (index + R; R columns of padding each side never hold a cell): the
    // minimum of the window's rows above the row, below it, and of all its rows, the
    // row's own cell included. NaN-free, Far when there is no such cell.
    std::vector<float> Up, Down, Whole;
    int y = 0, Top = 0, Bottom = 0, Filled = 0;
    int64_t RowStart = 0;
    const std::atomic<int64_t>* Before = nullptr;
    int64_t BeforeSeen = 0;

    float* RowAt(int r) const { return W + static_cast<size_t>(r) * n; }
    float& At(int x, int r) const { return RowAt(r)[x]; }

    float ColumnMin(int x, int From, int To) const
    {
        float m = Far;
        for (int r = From; r <= To; ++r)
            m = Lower(m, At(x, r));
        return m;
    }

    // Waits until the row before has finished its first Cells cells.
    bool Stopping() const { return Run.Stop.load(std::memory_order_relaxed); }

    // Waits until the row before has finished its first Cells cells; false when the
    // run is stopped meanwhile.
    bool WaitForRowBefore(int Cells)
    {
        if (!Before)
            return true;
        const int64_t Needed = RowStart - n + Cells;
        int Spins = 0;
        while (BeforeSeen < Needed) {
            if (Stopping())
                return false;
            BeforeSeen = Before->load(std::memory_order_acquire);
            if (BeforeSeen < Needed && ++Spins > 256)
                std::this_thread::yield();
        }
        return true;
    }

    // The minima of the columns From..To-1. The row before may still work on cells up
    // to R columns left of a column it changes, so it must be R columns past To first.
    bool FillColumns(int From, int To)
    {
        if (!WaitForRowBefore(std::min(n, To + R)))
            return false;
        float* const U = Up.data() + R;
        float* const D = Down.data() + R;
        float* const A = Whole.data() + R;
        for (int x = From; x < To; ++x)
            U[x] = D[x] = Far;
        for (int r = Top; r < y; ++r) {
            const float* H = RowAt(r);
            for (int x = From; x < To; ++x)
                U[x] = Lower(U[x], H[x]);
        }
        for (int r = y + 1; r <= Bottom; ++r) {
            const float* H = RowAt(r);
            for (int x = From; x < To; ++x)
                D[x] = Lower(D[x], H[x]);
        }
        const float* H = RowAt(y);
        for (int x = From; x < To; ++x)
            A[x] = Lower(Lower(U[x], D[x]), H[x]);
        return true;
    }

    // The minimum of the window's 2R + 1 column minima M[0..2R].
    static float WindowMin(const float* M)
    {
#ifdef __SSE2__
        const __m128 Lanes = LaneMask();
        __m128 m = _mm_set1_ps(Far);
        for (int i = 0; i < Span; i += 4) {
            // Lanes past the window read padding or later columns: Far stands in for them.
            __m128 v = _mm_loadu_ps(M + i);
            if (i + 4 > Span)
                v = _mm_or_ps(_mm_and_ps(Lanes, v), _mm_andnot_ps(Lanes, _mm_set1_ps(Far)));
            m = _mm_min_ps(m, v);
        }
        m = _mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(1, 0, 3, 2)));
        m = _mm_min_ps(m, _mm_shuffle_ps(m, m, _MM_SHUFFLE(2, 3, 0, 1)));
        return _mm_cvtss_f32(m);
#else
        float m = M[0];
        for (int i = 1; i < Span; ++i)
            m = Lower(m, M[i]);
        return m;
#endif
    }

    // Bit i set when c - M[i] == Best, for the 2R + 1 columns of the window.
    static unsigned HitColumns(const float* M, float c, float Best)
    {
#ifdef __SSE2__
        const __m128 C = _mm_set1_ps(c), B = _mm_set1_ps(Best);
        unsigned Bits = 0;
        for (int i = 0; i < Span; i += 4) {
            const __m128 d = _mm_sub_ps(C, _mm_loadu_ps(M + i));
            Bits |= static_cast<unsigned>(_mm_movemask_ps(_mm_cmpeq_ps(d, B))) << i;
        }
        return Bits & ((1u << Span) - 1);
#else
        unsigned Bits = 0;
        for (int i = 0; i < Span; ++i)
            Bits |= static_cast<unsigned>(c - M[i] == Best) << i;
        return Bits;
#endif
    }

#ifdef __SSE2__
    // All ones in the lanes of the last block that still belong to the window.
    static __m128 LaneMask()
    {
        const int Left = Span % 4 == 0 ? 4 : Span % 4;
        const __m128i Index = _mm_setr_epi32(0, 1, 2, 3);
        return _mm_castsi128_ps(_mm_cmplt_epi32(Index, _mm_set1_epi32(Left)));
    }
#endif

    void ErodeRow(int64_t g)
    {
        y = static_cast<int>(g % n);
        Top = std::max(y - R, 0);
        Bottom = std::min(y + R, n - 1);
        RowStart = g * n;
        Before = g > 0 ? &Run.Progress[(g - 1) % Run.Workers].Done : nullptr;
        BeforeSeen = 0;
        Filled = 0;
        std::atomic<int64_t>& Done = Run.Progress[Index].Done;
        for (int x = 0; x < n; ++x) {
            if constexpr (R <= DirectRadius) {
                if (!WaitForRowBefore(std::min(n, x + 2 * R + 1)))
                    return;
                ErodeCellDirect(x);
                Done.store(RowStart + x + 1, std::memory_order_release);
                continue;
            }
            // Filling column x + R waits for the row before to be 2R + 1 columns ahead
            // of x: no cell that this one may touch is still to be worked on there.
            if (Filled < std::min(n, x + R + 1)) {
                const int To = std::min(n, std::max(Filled + FillChunk, x + R + 1));
                if (!FillColumns(Filled, To))
                    return;
                Filled = To;
            }
            ErodeCell(x);
            Done.store(RowStart + x + 1, std::memory_order_release);
        }
    }

    // Small windows are cheaper to search whole than to keep minima for.
    void ErodeCellDirect(int x)
    {
        float* const H = RowAt(y);
        const float c = H[x];
        const int Left = std::max(x - R, 0), Right = std::min(x + R, n - 1);
        float Best = 0.0f;
        float* Target = nullptr;
        for (int r = Top; r <= Bottom; ++r) {
            float* const Row = RowAt(r);
            for (int Col = Left; Col <= Right; ++Col) {
                const float d = c - Row[Col];
                if (d > Best && (r != y || Col != x)) {
                    Best = d;
                    Target = Row + Col;
                }
            }
        }
        if (!Target)
            return;
        const float Move = std::min(Best * 0.5f * Amount, c * 0.5f);
        H[x] -= Move;
        *Target += Move;
    }

    void ErodeCell(int x)
    {
        float* const H = RowAt(y);
        const float c = H[x];
        // The window's columns, the cell's own included: the cell itself can only be
        // the lowest when no neighbour is lower, and then nothing moves either way.
        const float* const M = Whole.data() + x;
        const float Best = c - WindowMin(M);
        // Float subtraction is monotonic, so the lowest neighbour gives the greatest drop.
        if (!(Best > 0.0f))
            return;

        // The first cell in scan order (rows, then columns) whose drop is Best: only
        // columns whose minimum has that drop hold one, and that column's minima above
        // and below the row tell which of its rows to look through.
        unsigned Columns = HitColumns(M, c, Best);
        int TargetRow = INT_MAX, TargetCol = -1;
        while (Columns) {
            const int Col = x - R + std::countr_zero(Columns);
            Columns &= Columns - 1;
            const int k = Col + R;
            int From = y + 1, To = Bottom;
            if (c - Up[k] == Best) {
                From = Top;
                To = y - 1;
            } else if (Col != x && c - H[Col] == Best) {
                From = To = y;
            }
            To = std::min(To, TargetRow - 1);
            for (int r = From; r <= To; ++r) {
                if (c - At(Col, r) == Best) {
                    TargetRow = r;
                    TargetCol = Col;
                    break;
                }
            }
        }
        assert(TargetCol >= 0);

        const float Move = std::min(Best * 0.5f * Amount, c * 0.5f);
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
};

template <int R>
void RunWorkers(TErosionRun& Run, const TErosionThreadStart& StartThread)
{
    std::vector<std::unique_ptr<TRowWorker<R>>> Workers;
    for (int i = 0; i < Run.Workers; ++i)
        Workers.push_back(std::make_unique<TRowWorker<R>>(Run, i));
    // Rows are dealt out by the number of workers, so the helpers wait until it is known
    // how many of them started; the run then goes on with those (or on this thread alone).
    std::atomic<bool> Go{false};
    std::vector<std::thread> Threads;
    Threads.reserve(static_cast<size_t>(Run.Workers - 1));
    for (int i = 1; i < Run.Workers; ++i) {
        try {
            std::function<void()> Body = [&Workers, &Go, i] {
                Go.wait(false, std::memory_order_acquire);
                Workers[static_cast<size_t>(i)]->Work();
            };
            Threads.push_back(StartThread ? StartThread(std::move(Body))
                                          : std::thread(std::move(Body)));
        } catch (...) {
            // A process or thread limit (std::system_error), or no memory for one more.
            break;
        }
    }
    Run.Workers = static_cast<int>(Threads.size()) + 1;
    Go.store(true, std::memory_order_release);
    Go.notify_all();
    // A progress callback that throws stops the others before the error goes on.
    std::exception_ptr Error;
    try {
        Workers.front()->Work();
    } catch (...) {
        Error = std::current_exception();
        Run.Stop.store(true);
    }
    for (std::thread& t : Threads)
        t.join();
    if (Error)
        std::rethrow_exception(Error);
}

}  // namespace

bool ErodeTerrain(THeightmap* Map, int Iterations, int Radius, float Amount,
                  const TErosionProgress& Progress, const TErosionThreadStart& StartThread)
{
    if (!Map || Iterations <= 0 || !(Amount > 0.0f))
        return true;
    Amount = std::min(Amount, 1.0f);
    Radius = std::clamp(Radius, 1, MaxErodeRadius);
    Iterations = std::min(Iterations, MaxErodeIterations);
    // Kept to be put back when the caller stops the run.
    std::vector<float> Before;
    const float MinBefore = Map->GetMinHeight(), MaxBefore = Map->GetMaxHeight();
    if (Progress)
        Before.assign(Map->Data(), Map->Data() + Map->CellCount());
    Map->Normalize(0.0f, 1.0f);

    TErosionRun Run;
    Run.W = Map->Data();
    Run.n = Map->GetResolution();
    Run.Radius = Radius;
    Run.Amount = Amount;
    Run.Rows = static_cast<int64_t>(Iterations) * Run.n;
    Run.Workers = Run.n >= MinParallelResolution ? std::min(UsableCpus(), MaxWorkers) : 1;
    Run.Progress = std::make_unique<TProgress[]>(static_cast<size_t>(Run.Workers));
    Run.Report = &Progress;

    const auto PutBack = [&] {
        std::copy(Before.begin(), Before.end(), Map->Data());
        Map->SetMinMax(MinBefore, MaxBefore);
    };
    try {
        switch (Radius) {
        case 1:
            RunWorkers<1>(Run, StartThread);
            break;
        case 2:
            RunWorkers<2>(Run, StartThread);
            break;
        case 3:
            RunWorkers<3>(Run, StartThread);
            break;
        case 4:
            RunWorkers<4>(Run, StartThread);
            break;
        case 5:
            RunWorkers<5>(Run, StartThread);
            break;
        default:
            RunWorkers<6>(Run, StartThread);
            break;
        }
    } catch (...) {
        PutBack();
        throw;
    }
    if (Run.Stop.load()) {
        PutBack();
        return false;
    }
    Map->Normalize(0.0f, 1.0f);
    return true;
}
