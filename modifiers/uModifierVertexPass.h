#pragma once
// The per-vertex pass of the deform modifiers: vertices are gathered in blocks into one
// array per coordinate, a branch-free kernel runs over each block (the compiler turns
// those loops into SIMD code), and the results are scattered back. Also the bounds and
// the axis-aligned frames the kernels measure with.
#include "base/uMesh.h"
#include "modifiers/uModifierFastMath.h"
#include "modifiers/uModifierHelperThread.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Each vertex pass is built three times on x86-64 with g++, for AVX-512, AVX2 and the
// baseline, and the loader picks the one the processor can run; flatten inlines the kernel
// into each. Every file that includes this is built with -ffp-contract=off (the modifiers
// library passes it on), so that all three round alike.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define QUILL_VERTEX_PASS __attribute__((target_clones("avx512f", "avx2", "default"), flatten))
#else
#define QUILL_VERTEX_PASS __attribute__((flatten))
#endif

constexpr int32_t kVertexBlock = 256;

// What a pass found out about the positions it wrote, handed on so that neither the
// evaluator's finite check nor the next deformer's bounds need another sweep.
struct TPositionSummary {
    bool Finite = false;       // no position component is NaN or infinite
    bool BoundsKnown = false;  // Lo and Hi are exactly what PositionBounds gives
    TVec3 Lo, Hi;
};

// One block of positions and normals, a coordinate to an array.
struct TVertexBlock {
    alignas(32) float PX[kVertexBlock + 24];
    alignas(32) float PY[kVertexBlock + 24];
    alignas(32) float PZ[kVertexBlock + 24];
    alignas(32) float NX[kVertexBlock + 24];
    alignas(32) float NY[kVertexBlock + 24];
    alignas(32) float NZ[kVertexBlock + 24];
};

namespace vertexpass_detail {

// A vertex is eleven floats: position, normal, colour, UV.
static_assert(sizeof(TMeshVertex) == 11 * sizeof(float));
static_assert(offsetof(TMeshVertex, Position) == 0 && offsetof(TMeshVertex, Normal) == 12 &&
              offsetof(TMeshVertex, Color) == 24 && offsetof(TMeshVertex, UV) == 36);

inline void GatherOne(const TMeshVertex& V, TVertexBlock& B, int32_t I)
{
    B.PX[I] = V.Position.X;
    B.PY[I] = V.Position.Y;
    B.PZ[I] = V.Position.Z;
    B.NX[I] = V.Normal.X;
    B.NY[I] = V.Normal.Y;
    B.NZ[I] = V.Normal.Z;
}

inline void ScatterOne(const TVertexBlock& B, int32_t I, const TMeshVertex& In, TMeshVertex& Out)
{
    Out.Color = In.Color;
    Out.UV = In.UV;
    Out.Position = {B.PX[I], B.PY[I], B.PZ[I]};
    Out.Normal = {B.NX[I], B.NY[I], B.NZ[I]};
}

#if defined(__SSE2__)
// Four vertices at a time: each vertex's first eight floats are read as two rows and
// transposed into the block's arrays, and back. Without this the moves between the
// vertex layout and the arrays cost more than most deformers' arithmetic.
inline void GatherFour(const TMeshVertex* In, TVertexBlock& B, int32_t I)
{
    const float* f = &In->Position.X;
    __m128 p0 = _mm_loadu_ps(f), p1 = _mm_loadu_ps(f + 11), p2 = _mm_loadu_ps(f + 22),
           p3 = _mm_loadu_ps(f + 33);
    _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
    _mm_store_ps(B.PX + I, p0);
    _mm_store_ps(B.PY + I, p1);
    _mm_store_ps(B.PZ + I, p2);
    _mm_store_ps(B.NX + I, p3);
    __m128 n0 = _mm_loadu_ps(f + 4), n1 = _mm_loadu_ps(f + 15), n2 = _mm_loadu_ps(f + 26),
           n3 = _mm_loadu_ps(f + 37);
    _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
    _mm_store_ps(B.NY + I, n0);
    _mm_store_ps(B.NZ + I, n1);
}

inline void ScatterFour(const TVertexBlock& B, int32_t I, const TMeshVertex* In, TMeshVertex* Out)
{
    const float* fi = &In->Position.X;
    float* fo = &Out->Position.X;
    // The colour and UV floats, read before anything is written (In may be Out).
    const __m128 c0 = _mm_loadu_ps(fi + 4), c1 = _mm_loadu_ps(fi + 15), c2 = _mm_loadu_ps(fi + 26),
                 c3 = _mm_loadu_ps(fi + 37);
    const __m128 t0 = _mm_loadu_ps(fi + 7), t1 = _mm_loadu_ps(fi + 18), t2 = _mm_loadu_ps(fi + 29),
                 t3 = _mm_loadu_ps(fi + 40);
    __m128 p0 = _mm_load_ps(B.PX + I), p1 = _mm_load_ps(B.PY + I), p2 = _mm_load_ps(B.PZ + I),
           p3 = _mm_load_ps(B.NX + I);
    _MM_TRANSPOSE4_PS(p0, p1, p2, p3);
    __m128 n0 = _mm_load_ps(B.NY + I), n1 = _mm_load_ps(B.NZ + I), n2 = _mm_setzero_ps(),
           n3 = _mm_setzero_ps();
    _MM_TRANSPOSE4_PS(n0, n1, n2, n3);
    // Rows 7..10 first: their float 7 is then overwritten by the 4..7 rows with the same
    // colour value.
    if (fo != fi) {
        _mm_storeu_ps(fo + 7, t0);
        _mm_storeu_ps(fo + 18, t1);
        _mm_storeu_ps(fo + 29, t2);
        _mm_storeu_ps(fo + 40, t3);
    }
    _mm_storeu_ps(fo + 4, _mm_shuffle_ps(n0, c0, _MM_SHUFFLE(3, 2, 1, 0)));
    _mm_storeu_ps(fo + 15, _mm_shuffle_ps(n1, c1, _MM_SHUFFLE(3, 2, 1, 0)));
    _mm_storeu_ps(fo + 26, _mm_shuffle_ps(n2, c2, _MM_SHUFFLE(3, 2, 1, 0)));
    _mm_storeu_ps(fo + 37, _mm_shuffle_ps(n3, c3, _MM_SHUFFLE(3, 2, 1, 0)));
    _mm_storeu_ps(fo, p0);
    _mm_storeu_ps(fo + 11, p1);
    _mm_storeu_ps(fo + 22, p2);
    _mm_storeu_ps(fo + 33, p3);
}
#endif

// Eight lanes of a summary: per-lane bounds, the OR of x - x (0 for a finite x, a NaN's
// bits otherwise) and which signs of zero were seen, since a bound of 0 takes the sign of
// the first zero in vertex order, which lanes do not keep.
using TLaneF = float __attribute__((vector_size(32)));
using TLaneU = uint32_t __attribute__((vector_size(32)));

struct TSummaryLanes {
    TLaneF Lo[3], Hi[3];
    TLaneU Bad{}, NegZero[3]{}, PosZero[3]{};
    TSummaryLanes()
    {
        for (int32_t c = 0; c < 3; ++c) {
            Lo[c] = TLaneF{} + __builtin_huge_valf();
            Hi[c] = TLaneF{} - __builtin_huge_valf();
        }
    }
    void Add(int32_t C, const TLaneF& X)
    {
        Lo[C] = X < Lo[C] ? X : Lo[C];
        Hi[C] = X > Hi[C] ? X : Hi[C];
        const TLaneU bits = (TLaneU)X;
        Bad |= (TLaneU)(X - X);
        NegZero[C] |= (TLaneU)(bits == 0x80000000u);
        PosZero[C] |= (TLaneU)(bits == 0u);
    }
    // Block lanes 0..N-1 of one coordinate array.
    void AddArray(int32_t C, const float* A, int32_t N)
    {
        int32_t i = 0;
        for (; i + 8 <= N; i += 8) {
            TLaneF x;
            __builtin_memcpy(&x, A + i, sizeof x);
            Add(C, x);
        }
        if (i < N) {
            // The tail repeats the block's last value, which changes no result.
            TLaneF x;
            for (int32_t l = 0; l < 8; ++l)
                x[l] = A[std::min(i + l, N - 1)];
            Add(C, x);
        }
    }
    void AddBlock(const TVertexBlock& B, int32_t N)
    {
        AddArray(0, B.PX, N);
        AddArray(1, B.PY, N);
        AddArray(2, B.PZ, N);
    }
    void Merge(const TSummaryLanes& O)
    {
        for (int32_t c = 0; c < 3; ++c) {
            Lo[c] = O.Lo[c] < Lo[c] ? O.Lo[c] : Lo[c];
            Hi[c] = O.Hi[c] > Hi[c] ? O.Hi[c] : Hi[c];
            NegZero[c] |= O.NegZero[c];
            PosZero[c] |= O.PosZero[c];
        }
        Bad |= O.Bad;
    }
    // Count is the number of vertices added.
    TPositionSummary Finish(size_t Count) const
    {
        TPositionSummary s;
        uint32_t bad = 0;
        for (int32_t l = 0; l < 8; ++l)
            bad |= Bad[l];
        s.Finite = bad == 0;
        if (Count == 0 || !s.Finite)
            return s;
        float lo[3], hi[3];
        bool known = true;
        for (int32_t c = 0; c < 3; ++c) {
            lo[c] = Lo[c][0];
            hi[c] = Hi[c][0];
            uint32_t neg = 0, pos = 0;
            for (int32_t l = 0; l < 8; ++l) {
                lo[c] = Lo[c][l] < lo[c] ? Lo[c][l] : lo[c];
                hi[c] = Hi[c][l] > hi[c] ? Hi[c][l] : hi[c];
                neg |= NegZero[c][l];
                pos |= PosZero[c][l];
            }
            if (lo[c] == 0 || hi[c] == 0) {
                if (neg && pos)
                    known = false;  // the order of the zeros decides: left to a sweep
                else {
                    const float zero = neg ? -0.0f : 0.0f;
                    lo[c] = lo[c] == 0 ? zero : lo[c];
                    hi[c] = hi[c] == 0 ? zero : hi[c];
                }
            }
        }
        s.BoundsKnown = known;
        s.Lo = {lo[0], lo[1], lo[2]};
        s.Hi = {hi[0], hi[1], hi[2]};
        return s;
    }
};

}  // namespace vertexpass_detail

namespace vertexpass_detail {

// The blocks of vertices Begin..End (Begin a multiple of kVertexBlock).
template <class TKernel>
QUILL_VERTEX_PASS void VertexBlockRange(const TMeshVertex* In, TMeshVertex* Out, size_t Begin,
                                        size_t End, TKernel& Kernel, TSummaryLanes* Lanes)
{
    TVertexBlock b;
    for (size_t first = Begin; first < End; first += kVertexBlock) {
        const int32_t count = static_cast<int32_t>(std::min<size_t>(kVertexBlock, End - first));
        const TMeshVertex* in = In + first;
        TMeshVertex* out = Out + first;
        int32_t i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= count; i += 4)
            GatherFour(in + i, b, i);
#endif
        for (; i < count; ++i)
            GatherOne(in[i], b, i);
        Kernel(b, count, first);
        if (Lanes)
            Lanes->AddBlock(b, count);
        i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= count; i += 4)
            ScatterFour(b, i, in + i, out + i);
#endif
        for (; i < count; ++i)
            ScatterOne(b, i, in[i], out[i]);
    }
}

QUILL_VERTEX_PASS inline void SummaryRange(const TMeshVertex* Vertices, size_t Begin, size_t End,
                                           TSummaryLanes& Lanes)
{
    TVertexBlock b;
    for (size_t first = Begin; first < End; first += kVertexBlock) {
        const int32_t count = static_cast<int32_t>(std::min<size_t>(kVertexBlock, End - first));
        const TMeshVertex* in = Vertices + first;
        int32_t i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= count; i += 4)
            GatherFour(in + i, b, i);
#endif
        for (; i < count; ++i) {
            b.PX[i] = in[i].Position.X;
            b.PY[i] = in[i].Position.Y;
            b.PZ[i] = in[i].Position.Z;
        }
        Lanes.AddBlock(b, count);
    }
}

// Body(Begin, End, Part) over 0..Count in one part, or in two (split at a block boundary,
// so that every block is the one a single pass would have) on two threads.
template <class TBody>
void InBlockParts(size_t Count, TBody&& Body)
{
    if (Count < kHelperThreadMinimum) {
        Body(size_t{0}, Count, 0);
        return;
    }
    const size_t middle = (Count / 2 + kVertexBlock - 1) / kVertexBlock * kVertexBlock;
    InTwoParts([&](int32_t Part) {
        if (Part == 0)
            Body(size_t{0}, middle, 0);
        else
            Body(middle, Count, 1);
    });
}

}  // namespace vertexpass_detail

// Runs Kernel(Block, Count, First) over In in blocks of up to kVertexBlock vertices (First
// is the index of the block's first vertex) and writes Out: In's colours and UVs with the
// kernel's positions and normals. In and Out have one length and may be the same array
// (but must not overlap otherwise). A long array is done in two halves on two threads, so
// Kernel is called concurrently and must only write the block it is given. With a
// Summary, also fills it in for the positions written.
template <class TKernel>
void ForEachVertexBlock(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out,
                        TKernel&& Kernel, TPositionSummary* Summary = nullptr)
{
    using namespace vertexpass_detail;
    const size_t n = std::min(In.size(), Out.size());
    TSummaryLanes lanes[2];
    InBlockParts(n, [&](size_t Begin, size_t End, int32_t Part) {
        VertexBlockRange(In.data(), Out.data(), Begin, End, Kernel,
                         Summary ? &lanes[Part] : nullptr);
    });
    if (Summary) {
        lanes[0].Merge(lanes[1]);
        *Summary = lanes[0].Finish(n);
    }
}

// The summary of a vertex array's positions, in one sweep.
inline TPositionSummary SummarisePositions(std::span<const TMeshVertex> Vertices)
{
    using namespace vertexpass_detail;
    TSummaryLanes lanes[2];
    InBlockParts(Vertices.size(), [&](size_t Begin, size_t End, int32_t Part) {
        SummaryRange(Vertices.data(), Begin, End, lanes[Part]);
    });
    lanes[0].Merge(lanes[1]);
    return lanes[0].Finish(Vertices.size());
}

// Per-component lowest and highest position, from the first vertex on, as a loop of
// std::min and std::max would give them (a NaN is skipped unless it is the first value);
// False for no vertices.
inline bool PositionBounds(std::span<const TMeshVertex> Vertices, TVec3& Lo, TVec3& Hi)
{
    if (Vertices.empty())
        return false;
#if defined(__SSE2__)
    // A vertex's first four floats as one row; the fourth lane (a normal component) is
    // dropped at the end. min(p, lo) keeps lo when p is NaN, as std::min(lo, p) does.
    __m128 lo = _mm_loadu_ps(&Vertices[0].Position.X), hi = lo;
    for (const TMeshVertex& v : Vertices) {
        const __m128 p = _mm_loadu_ps(&v.Position.X);
        lo = _mm_min_ps(p, lo);
        hi = _mm_max_ps(p, hi);
    }
    alignas(16) float l[4], h[4];
    _mm_store_ps(l, lo);
    _mm_store_ps(h, hi);
    Lo = {l[0], l[1], l[2]};
    Hi = {h[0], h[1], h[2]};
#else
    Lo = Hi = Vertices[0].Position;
    for (const TMeshVertex& v : Vertices) {
        const TVec3& p = v.Position;
        Lo = {std::min(Lo.X, p.X), std::min(Lo.Y, p.Y), std::min(Lo.Z, p.Z)};
        Hi = {std::max(Hi.X, p.X), std::max(Hi.Y, p.Y), std::max(Hi.Z, p.Z)};
    }
#endif
    return true;
}

// PositionBounds, taken from Known when it holds them.
inline bool PositionBounds(std::span<const TMeshVertex> Vertices, const TPositionSummary* Known,
                           TVec3& Lo, TVec3& Hi)
{
    if (Known && Known->BoundsKnown && !Vertices.empty()) {
        Lo = Known->Lo;
        Hi = Known->Hi;
        return true;
    }
    return PositionBounds(Vertices, Lo, Hi);
}

// ---- axis-aligned frames ----
// The deformers measure along X, Y or Z. With the axis a compile-time constant the frame's
// dot products become component reads, which is most of their per-vertex arithmetic.

// Body(std::integral_constant<int32_t, A>{}) with A the axis (outside 0..2: the nearer).
template <class TBody>
void WithAxis(int32_t Axis, TBody&& Body)
{
    if (Axis <= 0)
        Body(std::integral_constant<int32_t, 0>{});
    else if (Axis == 1)
        Body(std::integral_constant<int32_t, 1>{});
    else
        Body(std::integral_constant<int32_t, 2>{});
}

// The two axes across an axis, in the order the frames use: X: Y, Z; Y: X, Z; Z: X, Y.
constexpr int32_t AcrossFirst(int32_t Axis)
{
    return Axis == 0 ? 1 : 0;
}
constexpr int32_t AcrossSecond(int32_t Axis)
{
    return Axis == 2 ? 1 : 2;
}

inline float Component(const TVec3& V, int32_t Index)
{
    return Index == 0 ? V.X : Index == 1 ? V.Y : V.Z;
}

// A vector from three values and the components they go to.
template <int32_t I0, int32_t I1, int32_t I2>
TVec3 Placed(float V0, float V1, float V2)
{
    static_assert(I0 != I1 && I0 != I2 && I1 != I2);
    float c[3];
    c[I0] = V0;
    c[I1] = V1;
    c[I2] = V2;
    return {c[0], c[1], c[2]};
}

// A block's lanes by component index.
struct TBlockLanes {
    float* P[3];
    float* N[3];
    explicit TBlockLanes(TVertexBlock& B) : P{B.PX, B.PY, B.PZ}, N{B.NX, B.NY, B.NZ} {}
    TVec3 Position(int32_t I) const { return {P[0][I], P[1][I], P[2][I]}; }
    TVec3 Normal(int32_t I) const { return {N[0][I], N[1][I], N[2][I]}; }
};

inline void StoreNormal(TVertexBlock& Block, int32_t I, const TVec3& Normal)
{
    Block.NX[I] = Normal.X;
    Block.NY[I] = Normal.Y;
    Block.NZ[I] = Normal.Z;
}
