#pragma once
// The per-vertex pass of the deform modifiers: vertices are gathered in blocks into one
// array per coordinate, a branch-free kernel runs over each block (the compiler turns
// those loops into SIMD code), and the results are scattered back. Also the bounds and
// the axis-aligned frames the kernels measure with.
#include "base/uMesh.h"
#include "modifiers/uModifierFastMath.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

// Each vertex pass is built twice on x86-64 with g++, for AVX2 and for the baseline, and
// the loader picks the one the processor can run; flatten inlines the kernel into both.
#if defined(__GNUC__) && !defined(__clang__) && defined(__x86_64__)
#define QUILL_VERTEX_PASS __attribute__((target_clones("avx2", "default"), flatten))
#else
#define QUILL_VERTEX_PASS __attribute__((flatten))
#endif

constexpr int32_t kVertexBlock = 256;

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

}  // namespace vertexpass_detail

// Runs Kernel(Block, Count, First) over In in blocks of up to kVertexBlock vertices (First
// is the index of the block's first vertex) and writes Out: In's colours and UVs with the
// kernel's positions and normals. In and Out have one length and may be the same array
// (but must not overlap otherwise).
template <class TKernel>
QUILL_VERTEX_PASS void ForEachVertexBlock(std::span<const TMeshVertex> In,
                                          std::span<TMeshVertex> Out, TKernel&& Kernel)
{
    using namespace vertexpass_detail;
    TVertexBlock b;
    const size_t n = std::min(In.size(), Out.size());
    for (size_t first = 0; first < n; first += kVertexBlock) {
        const int32_t count = static_cast<int32_t>(std::min<size_t>(kVertexBlock, n - first));
        const TMeshVertex* in = In.data() + first;
        TMeshVertex* out = Out.data() + first;
        int32_t i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= count; i += 4)
            GatherFour(in + i, b, i);
#endif
        for (; i < count; ++i)
            GatherOne(in[i], b, i);
        Kernel(b, count, first);
        i = 0;
#if defined(__SSE2__)
        for (; i + 4 <= count; i += 4)
            ScatterFour(b, i, in + i, out + i);
#endif
        for (; i < count; ++i)
            ScatterOne(b, i, in[i], out[i]);
    }
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
