#include "ripper/uTextureRipperWarpRows.h"

#include "ripper/uTextureRipperWarp.h"

#include <algorithm>
#include <cmath>

#include <immintrin.h>

namespace {

// Where a bilinear sample reads and with what weights, as SampleBilinear computes them:
// the coordinate clamped in single precision, its floor, the next pixel within the
// image, and the four products of the fractions.
struct TBilinearTap {
    const TRgbaPixel* Row0;
    const TRgbaPixel* Row1;
    std::int32_t X0, X1;
    double W00, W10, W01, W11;
};

// Inlined into the AVX2 row as well (its target includes this one's).
inline TBilinearTap BilinearTap(const TRgbaImage& Source, float MaxX, float MaxY, double X,
                                double Y)
{
    float fxs = static_cast<float>(X);
    if (fxs < 0.0f)
        fxs = 0.0f;
    if (fxs > MaxX)
        fxs = MaxX;
    float fys = static_cast<float>(Y);
    if (fys < 0.0f)
        fys = 0.0f;
    if (fys > MaxY)
        fys = MaxY;
    const double cx = fxs, cy = fys;
    // Both are at least 0, so truncation is the floor.
    const auto x0 = static_cast<std::int32_t>(cx);
    const auto y0 = static_cast<std::int32_t>(cy);
    const double fx = cx - x0;
    const double fy = cy - y0;
    TBilinearTap t;
    t.Row0 = Source.Row(y0);
    t.Row1 = Source.Row(std::min(y0 + 1, Source.Height() - 1));
    t.X0 = x0;
    t.X1 = std::min(x0 + 1, Source.Width() - 1);
    t.W00 = (1 - fx) * (1 - fy);
    t.W10 = fx * (1 - fy);
    t.W01 = (1 - fx) * fy;
    t.W11 = fx * fy;
    return t;
}

// The four channels of a pixel as doubles: red and green, blue and alpha.
inline void Channels(TRgbaPixel p, __m128d& Low, __m128d& High)
{
    const __m128i zero = _mm_setzero_si128();
    __m128i v = _mm_cvtsi32_si128(static_cast<int>(p));
    v = _mm_unpacklo_epi16(_mm_unpacklo_epi8(v, zero), zero);
    Low = _mm_cvtepi32_pd(v);
    High = _mm_cvtepi32_pd(_mm_shuffle_epi32(v, _MM_SHUFFLE(1, 0, 3, 2)));
}

// ((c00 w00 + c10 w10) + c01 w01) + c11 w11 per channel, kept in 0..255 and rounded half
// to even (the processor's default rounding of the conversion).
void BilinearRowSse2(const TRgbaImage& Source, const double* X, const double* Y,
                     std::int32_t Count, TRgbaPixel* Out)
{
    const auto maxX = static_cast<float>(Source.Width() - 1);
    const auto maxY = static_cast<float>(Source.Height() - 1);
    const __m128d zero = _mm_setzero_pd(), top = _mm_set1_pd(255.0);
    for (std::int32_t u = 0; u < Count; ++u) {
        const TBilinearTap t = BilinearTap(Source, maxX, maxY, X[u], Y[u]);
        __m128d lo, hi, clo, chi;
        Channels(t.Row0[t.X0], clo, chi);
        const __m128d w00 = _mm_set1_pd(t.W00), w10 = _mm_set1_pd(t.W10);
        const __m128d w01 = _mm_set1_pd(t.W01), w11 = _mm_set1_pd(t.W11);
        lo = _mm_mul_pd(clo, w00);
        hi = _mm_mul_pd(chi, w00);
        Channels(t.Row0[t.X1], clo, chi);
        lo = _mm_add_pd(lo, _mm_mul_pd(clo, w10));
        hi = _mm_add_pd(hi, _mm_mul_pd(chi, w10));
        Channels(t.Row1[t.X0], clo, chi);
        lo = _mm_add_pd(lo, _mm_mul_pd(clo, w01));
        hi = _mm_add_pd(hi, _mm_mul_pd(chi, w01));
        Channels(t.Row1[t.X1], clo, chi);
        lo = _mm_add_pd(lo, _mm_mul_pd(clo, w11));
        hi = _mm_add_pd(hi, _mm_mul_pd(chi, w11));
        lo = _mm_min_pd(_mm_max_pd(lo, zero), top);
        hi = _mm_min_pd(_mm_max_pd(hi, zero), top);
        const __m128i r = _mm_unpacklo_epi64(_mm_cvtpd_epi32(lo), _mm_cvtpd_epi32(hi));
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(r, r), r);
        Out[u] = static_cast<TRgbaPixel>(_mm_cvtsi128_si32(bytes));
    }
}

__attribute__((target("avx2"))) inline __m256d Channels4(TRgbaPixel p)
{
    return _mm256_cvtepi32_pd(_mm_cvtepu8_epi32(_mm_cvtsi32_si128(static_cast<int>(p))));
}

// The same operations four channels at a time. No fused multiply-add: the products are
// rounded before they are added, as in the scalar sampler.
__attribute__((target("avx2"))) void BilinearRowAvx2(const TRgbaImage& Source, const double* X,
                                                     const double* Y, std::int32_t Count,
                                                     TRgbaPixel* Out)
{
    const auto maxX = static_cast<float>(Source.Width() - 1);
    const auto maxY = static_cast<float>(Source.Height() - 1);
    const __m256d zero = _mm256_setzero_pd(), top = _mm256_set1_pd(255.0);
    for (std::int32_t u = 0; u < Count; ++u) {
        const TBilinearTap t = BilinearTap(Source, maxX, maxY, X[u], Y[u]);
        __m256d acc = _mm256_mul_pd(Channels4(t.Row0[t.X0]), _mm256_set1_pd(t.W00));
        acc = _mm256_add_pd(acc, _mm256_mul_pd(Channels4(t.Row0[t.X1]), _mm256_set1_pd(t.W10)));
        acc = _mm256_add_pd(acc, _mm256_mul_pd(Channels4(t.Row1[t.X0]), _mm256_set1_pd(t.W01)));
        acc = _mm256_add_pd(acc, _mm256_mul_pd(Channels4(t.Row1[t.X1]), _mm256_set1_pd(t.W11)));
        acc = _mm256_min_pd(_mm256_max_pd(acc, zero), top);
        const __m128i r = _mm256_cvtpd_epi32(acc);
        const __m128i bytes = _mm_packus_epi16(_mm_packs_epi32(r, r), r);
        Out[u] = static_cast<TRgbaPixel>(_mm_cvtsi128_si32(bytes));
    }
}

}  // namespace

bool RowKernelAvx2Available()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}

void SampleRowBilinearSse2(const TRgbaImage& Source, const double* X, const double* Y,
                           std::int32_t Count, TRgbaPixel* Out)
{
    BilinearRowSse2(Source, X, Y, Count, Out);
}

void SampleRowBilinearAvx2(const TRgbaImage& Source, const double* X, const double* Y,
                           std::int32_t Count, TRgbaPixel* Out)
{
    BilinearRowAvx2(Source, X, Y, Count, Out);
}

TRowCoordinates RectifyRowCoordinates(const double* H, const double* ColumnTerms,
                                      std::int32_t Count, std::int32_t v, double* X, double* Y)
{
    const double* hu0 = ColumnTerms;
    const double* hu3 = ColumnTerms + Count;
    const double* hu6 = ColumnTerms + 2 * static_cast<std::ptrdiff_t>(Count);
    const double rx = H[1] * v, ry = H[4] * v, rw = H[7] * v;
    int badW = 0, notANumber = 0;
    for (std::int32_t u = 0; u < Count; ++u) {
        const double w = hu6[u] + rw + 1.0;
        const double x = (hu0[u] + rx + H[2]) / w;
        const double y = (hu3[u] + ry + H[5]) / w;
        badW |= !(std::fabs(w) >= RipperPivotEpsilon);
        notANumber |= (x != x) | (y != y);
        X[u] = x;
        Y[u] = y;
    }
    return badW ? TRowCoordinates::InvalidProjection
                : notANumber ? TRowCoordinates::NotANumber : TRowCoordinates::Ok;
}

void SampleRowNearest(const TRgbaImage& Source, const double* X, const double* Y,
                      std::int32_t Count, TRgbaPixel* Out)
{
    // Clamping first and rounding second picks the same pixel as the other way round.
    const double maxX = Source.Width() - 1, maxY = Source.Height() - 1;
    for (std::int32_t u = 0; u < Count; ++u) {
        const double x = std::min(std::max(X[u], 0.0), maxX);
        const double y = std::min(std::max(Y[u], 0.0), maxY);
        const int xi = _mm_cvtsd_si32(_mm_set_sd(x));
        const int yi = _mm_cvtsd_si32(_mm_set_sd(y));
        Out[u] = Source.Row(yi)[xi];
    }
}

void SampleRowBilinear(const TRgbaImage& Source, const double* X, const double* Y,
                       std::int32_t Count, TRgbaPixel* Out)
{
    if (RowKernelAvx2Available())
        BilinearRowAvx2(Source, X, Y, Count, Out);
    else
        BilinearRowSse2(Source, X, Y, Count, Out);
}
