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

// Samples of a row fall on a diagonal through the photograph, so the processor cannot
// guess the next lines: the ones a sample this many pixels ahead reads (in this row or,
// near its end, the next) are asked for now.
constexpr std::int32_t kPrefetchAhead = 64;

struct TRowInput {
    const double* X;
    const double* Y;
    const double* NextX;  // the next row's coordinates, or null
    const double* NextY;
    std::int32_t Count;
};

// Always inlined: as a call of its own, the compiler takes a function that only
// prefetches for one without effects and drops the call.
[[gnu::always_inline]] inline void PrefetchSample(const TRgbaImage& Source, double X, double Y,
                                                  double MaxX, double MaxY, bool RowBelow)
{
    const auto x = static_cast<std::int32_t>(std::min(std::max(X, 0.0), MaxX));
    const auto y = static_cast<std::int32_t>(std::min(std::max(Y, 0.0), MaxY));
    const TRgbaPixel* p = Source.Row(y) + x;
    __builtin_prefetch(p, 0, 3);
    if (RowBelow && y < MaxY)
        __builtin_prefetch(p + Source.Width(), 0, 3);
}

// RowBelow: a bilinear sample also reads the row below.
[[gnu::always_inline]] inline void PrefetchAhead(const TRgbaImage& Source, const TRowInput& Row,
                                                 std::int32_t i, double MaxX, double MaxY,
                                                 bool RowBelow)
{
    if (i < Row.Count)
        PrefetchSample(Source, Row.X[i], Row.Y[i], MaxX, MaxY, RowBelow);
    else if (Row.NextX && i - Row.Count < Row.Count)
        PrefetchSample(Source, Row.NextX[i - Row.Count], Row.NextY[i - Row.Count], MaxX, MaxY,
                       RowBelow);
}

// The coordinates of the Lanes samples kPrefetchAhead after sample U, in this row or the
// next; false where they straddle the two rows (those are prefetched one at a time).
[[gnu::always_inline]] inline bool SamplesAhead(const TRowInput& Row, std::int32_t U,
                                                std::int32_t Lanes, const double*& X,
                                                const double*& Y)
{
    const std::int32_t ahead = U + kPrefetchAhead;
    if (ahead + Lanes <= Row.Count) {
        X = Row.X + ahead;
        Y = Row.Y + ahead;
        return true;
    }
    if (Row.NextX && ahead >= Row.Count && ahead - Row.Count + Lanes <= Row.Count) {
        X = Row.NextX + (ahead - Row.Count);
        Y = Row.NextY + (ahead - Row.Count);
        return true;
    }
    return false;
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
void BilinearRowSse2(const TRgbaImage& Source, const TRowInput& Row, TRgbaPixel* Out)
{
    const auto maxX = static_cast<float>(Source.Width() - 1);
    const auto maxY = static_cast<float>(Source.Height() - 1);
    const __m128d zero = _mm_setzero_pd(), top = _mm_set1_pd(255.0);
    for (std::int32_t u = 0; u < Row.Count; ++u) {
        PrefetchAhead(Source, Row, u + kPrefetchAhead, maxX, maxY, true);
        const TBilinearTap t = BilinearTap(Source, maxX, maxY, Row.X[u], Row.Y[u]);
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

// One channel of four pixels as doubles; Pick moves that channel's bytes into the low
// byte of each lane.
__attribute__((target("avx2"))) inline __m256d ChannelOf(__m128i Pixels, __m128i Pick)
{
    return _mm256_cvtepi32_pd(_mm_shuffle_epi8(Pixels, Pick));
}

__attribute__((target("avx2"))) inline __m256d Channel(__m128i Pixels, int Shift)
{
    const __m128i c = _mm_and_si128(_mm_srli_epi32(Pixels, Shift), _mm_set1_epi32(0xFF));
    return _mm256_cvtepi32_pd(c);
}

// Four pixels at a time, each lane doing the scalar sampler's operations in its order
// (the coordinate rounded to single precision and clamped, the floor, the four weights,
// the sum of the products from c00 to c11); no fused multiply-add, so every product is
// rounded before it is added.
__attribute__((target("avx2"))) void BilinearRowAvx2(const TRgbaImage& Source, const TRowInput& Row,
                                                     TRgbaPixel* Out)
{
    const auto maxX = static_cast<float>(Source.Width() - 1);
    const auto maxY = static_cast<float>(Source.Height() - 1);
    const __m128 zeroF = _mm_setzero_ps(), maxXF = _mm_set1_ps(maxX), maxYF = _mm_set1_ps(maxY);
    const __m128i lastX = _mm_set1_epi32(Source.Width() - 1);
    const __m128i lastY = _mm_set1_epi32(Source.Height() - 1);
    const __m128i one = _mm_set1_epi32(1), width = _mm_set1_epi32(Source.Width());
    const __m256d zero = _mm256_setzero_pd();
    const __m256d unit = _mm256_set1_pd(1.0);
    const __m128i pick[4] = {
        _mm_setr_epi8(0, -1, -1, -1, 4, -1, -1, -1, 8, -1, -1, -1, 12, -1, -1, -1),
        _mm_setr_epi8(1, -1, -1, -1, 5, -1, -1, -1, 9, -1, -1, -1, 13, -1, -1, -1),
        _mm_setr_epi8(2, -1, -1, -1, 6, -1, -1, -1, 10, -1, -1, -1, 14, -1, -1, -1),
        _mm_setr_epi8(3, -1, -1, -1, 7, -1, -1, -1, 11, -1, -1, -1, 15, -1, -1, -1)};
    const __m128i interleave = _mm_setr_epi8(0, 4, 8, 12, 1, 5, 9, 13, 2, 6, 10, 14, 3, 7, 11, 15);
    const auto* base = reinterpret_cast<const int*>(Source.Pixels().data());
    // Prefetching the line below the last row reads nothing: prefetches never fault, but
    // they stay within the image all the same.
    const std::int32_t lastRow = Source.Height() > 1 ? Source.Width() : 0;
    const __m256d limitX = _mm256_set1_pd(Source.Width() - 1);
    const __m256d limitY = _mm256_set1_pd(Source.Height() > 1 ? Source.Height() - 2 : 0);
    std::int32_t u = 0;
    for (; u + 4 <= Row.Count; u += 4) {
        const double* aheadX = nullptr;
        const double* aheadY = nullptr;
        if (SamplesAhead(Row, u, 4, aheadX, aheadY)) {
            // The lines of the four samples ahead, found four at a time.
            const __m256d px = _mm256_loadu_pd(aheadX);
            const __m256d py = _mm256_loadu_pd(aheadY);
            const __m128i ix = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(px, zero), limitX));
            const __m128i iy = _mm256_cvttpd_epi32(_mm256_min_pd(_mm256_max_pd(py, zero), limitY));
            alignas(16) std::int32_t at[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(at),
                            _mm_add_epi32(_mm_mullo_epi32(iy, width), ix));
            for (std::int32_t k = 0; k < 4; ++k) {
                __builtin_prefetch(base + at[k], 0, 3);
                __builtin_prefetch(base + at[k] + lastRow, 0, 3);
            }
        } else {
            for (std::int32_t k = 0; k < 4; ++k)
                PrefetchAhead(Source, Row, u + kPrefetchAhead + k, maxX, maxY, true);
        }
        const __m128 xf =
            _mm_min_ps(_mm_max_ps(_mm256_cvtpd_ps(_mm256_loadu_pd(Row.X + u)), zeroF), maxXF);
        const __m128 yf =
            _mm_min_ps(_mm_max_ps(_mm256_cvtpd_ps(_mm256_loadu_pd(Row.Y + u)), zeroF), maxYF);
        const __m256d cx = _mm256_cvtps_pd(xf), cy = _mm256_cvtps_pd(yf);
        // Both are at least 0, so truncation is the floor.
        const __m128i x0 = _mm256_cvttpd_epi32(cx), y0 = _mm256_cvttpd_epi32(cy);
        const __m128i x1 = _mm_min_epi32(_mm_add_epi32(x0, one), lastX);
        const __m128i y1 = _mm_min_epi32(_mm_add_epi32(y0, one), lastY);
        const __m256d fx = _mm256_sub_pd(cx, _mm256_cvtepi32_pd(x0));
        const __m256d fy = _mm256_sub_pd(cy, _mm256_cvtepi32_pd(y0));
        const __m256d gx = _mm256_sub_pd(unit, fx), gy = _mm256_sub_pd(unit, fy);
        const __m256d w00 = _mm256_mul_pd(gx, gy), w10 = _mm256_mul_pd(fx, gy);
        const __m256d w01 = _mm256_mul_pd(gx, fy), w11 = _mm256_mul_pd(fx, fy);
        const __m128i r0 = _mm_mullo_epi32(y0, width), r1 = _mm_mullo_epi32(y1, width);
        const __m128i c00 = _mm_i32gather_epi32(base, _mm_add_epi32(r0, x0), 4);
        const __m128i c10 = _mm_i32gather_epi32(base, _mm_add_epi32(r0, x1), 4);
        const __m128i c01 = _mm_i32gather_epi32(base, _mm_add_epi32(r1, x0), 4);
        const __m128i c11 = _mm_i32gather_epi32(base, _mm_add_epi32(r1, x1), 4);
        // The sums lie in 0 .. 255 plus rounding (non-negative weights summing to 1), so
        // the conversion needs no clamp: it rounds half to even into 0 .. 255.
        __m128i channel[4];
        for (int c = 0; c < 4; ++c) {
            __m256d v = _mm256_mul_pd(ChannelOf(c00, pick[c]), w00);
            v = _mm256_add_pd(v, _mm256_mul_pd(ChannelOf(c10, pick[c]), w10));
            v = _mm256_add_pd(v, _mm256_mul_pd(ChannelOf(c01, pick[c]), w01));
            v = _mm256_add_pd(v, _mm256_mul_pd(ChannelOf(c11, pick[c]), w11));
            channel[c] = _mm256_cvtpd_epi32(v);
        }
        // r0..r3 g0..g3 b0..b3 a0..a3 as bytes, then back into pixel order.
        const __m128i planes = _mm_packus_epi16(_mm_packs_epi32(channel[0], channel[1]),
                                                _mm_packs_epi32(channel[2], channel[3]));
        const __m128i result = _mm_shuffle_epi8(planes, interleave);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + u), result);
    }
    for (; u < Row.Count; ++u) {
        const TBilinearTap t = BilinearTap(Source, maxX, maxY, Row.X[u], Row.Y[u]);
        const TRgbaPixel c[4] = {t.Row0[t.X0], t.Row0[t.X1], t.Row1[t.X0], t.Row1[t.X1]};
        const __m128i px = _mm_loadu_si128(reinterpret_cast<const __m128i*>(c));
        const __m256d w = _mm256_set_pd(t.W11, t.W01, t.W10, t.W00);
        TRgbaPixel result = 0;
        for (int shift = 0; shift < 32; shift += 8) {
            alignas(32) double products[4];
            _mm256_store_pd(products, _mm256_mul_pd(Channel(px, shift), w));
            double v = ((products[0] + products[1]) + products[2]) + products[3];
            v = std::min(std::max(v, 0.0), 255.0);
            result |= static_cast<TRgbaPixel>(_mm_cvtsd_si32(_mm_set_sd(v))) << shift;
        }
        Out[u] = result;
    }
}

// The scalar tap and sum of one pixel, for the ends of rows and the blocks that touch the
// last column. The file is built without contraction, so no product is fused into a sum.
inline TRgbaPixel BilinearPixel(const TRgbaImage& Source, float MaxX, float MaxY, double X,
                                double Y)
{
    const TBilinearTap t = BilinearTap(Source, MaxX, MaxY, X, Y);
    const TRgbaPixel c00 = t.Row0[t.X0], c10 = t.Row0[t.X1];
    const TRgbaPixel c01 = t.Row1[t.X0], c11 = t.Row1[t.X1];
    TRgbaPixel result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const auto channel = [shift](TRgbaPixel p) {
            return static_cast<double>((p >> shift) & 0xFFu);
        };
        double v = channel(c00) * t.W00 + channel(c10) * t.W10 + channel(c01) * t.W01 +
                   channel(c11) * t.W11;
        v = std::min(std::max(v, 0.0), 255.0);
        result |= static_cast<TRgbaPixel>(_mm_cvtsd_si32(_mm_set_sd(v))) << shift;
    }
    return result;
}

// One channel of eight 64-bit lanes as doubles; Pick moves that channel's byte of the
// lane's left or right pixel into the lane's low byte and clears the rest.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) inline __m512d
PairChannel(__m512i Pairs, __m512i Pick)
{
    return _mm512_cvtepi64_pd(_mm512_shuffle_epi8(Pairs, Pick));
}

// Eight pixels at a time, each lane doing the scalar sampler's operations in its order,
// as the AVX2 row does. A sample's two pixels on a line are next to each other, so each
// line is one 64-bit gather; only on the last column is the right neighbour the pixel
// itself, and a block with a sample there goes through the scalar tap.
__attribute__((target("avx512f,avx512bw,avx512dq,avx512vl"))) void
BilinearRowAvx512(const TRgbaImage& Source, const TRowInput& Row, TRgbaPixel* Out)
{
    const auto maxX = static_cast<float>(Source.Width() - 1);
    const auto maxY = static_cast<float>(Source.Height() - 1);
    const __m256 zeroF = _mm256_setzero_ps();
    const __m256 maxXF = _mm256_set1_ps(maxX), maxYF = _mm256_set1_ps(maxY);
    const __m256i lastX = _mm256_set1_epi32(Source.Width() - 1);
    const __m256i lastY = _mm256_set1_epi32(Source.Height() - 1);
    const __m256i one = _mm256_set1_epi32(1), width = _mm256_set1_epi32(Source.Width());
    const __m512d zero = _mm512_setzero_pd(), unit = _mm512_set1_pd(1.0);
    // pick[c] moves channel c of the left pixel of each 64-bit lane into the lane's low
    // byte and clears the rest; pick[4 + c] does the same for the right pixel.
    __m512i pick[8];
    for (int k = 0; k < 8; ++k) {
        const auto low = static_cast<long long>(0xFFFFFFFFFFFFFF00ull | unsigned(k));
        const auto high = static_cast<long long>(0xFFFFFFFFFFFFFF00ull | unsigned(8 + k));
        pick[k] = _mm512_set4_epi64(high, low, high, low);
    }
    const TRgbaPixel* pixels = Source.Pixels().data();
    // Prefetching the line below the last row reads nothing: prefetches never fault, but
    // they stay within the image all the same.
    const std::int32_t lastRow = Source.Height() > 1 ? Source.Width() : 0;
    const __m512d limitX = _mm512_set1_pd(Source.Width() - 1);
    const __m512d limitY = _mm512_set1_pd(Source.Height() > 1 ? Source.Height() - 2 : 0);
    std::int32_t u = 0;
    for (; u + 8 <= Row.Count; u += 8) {
        const double* aheadX = nullptr;
        const double* aheadY = nullptr;
        if (SamplesAhead(Row, u, 8, aheadX, aheadY)) {
            const __m512d px = _mm512_loadu_pd(aheadX);
            const __m512d py = _mm512_loadu_pd(aheadY);
            const __m256i ix = _mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(px, zero), limitX));
            const __m256i iy = _mm512_cvttpd_epi32(_mm512_min_pd(_mm512_max_pd(py, zero), limitY));
            alignas(32) std::int32_t at[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                               _mm256_add_epi32(_mm256_mullo_epi32(iy, width), ix));
            for (std::int32_t k = 0; k < 8; ++k) {
                __builtin_prefetch(pixels + at[k], 0, 3);
                __builtin_prefetch(pixels + at[k] + lastRow, 0, 3);
            }
        } else {
            for (std::int32_t k = 0; k < 8; ++k)
                PrefetchAhead(Source, Row, u + kPrefetchAhead + k, maxX, maxY, true);
        }
        const __m256 xf =
            _mm256_min_ps(_mm256_max_ps(_mm512_cvtpd_ps(_mm512_loadu_pd(Row.X + u)), zeroF), maxXF);
        const __m256 yf =
            _mm256_min_ps(_mm256_max_ps(_mm512_cvtpd_ps(_mm512_loadu_pd(Row.Y + u)), zeroF), maxYF);
        const __m512d cx = _mm512_cvtps_pd(xf), cy = _mm512_cvtps_pd(yf);
        // Both are at least 0, so truncation is the floor.
        const __m256i x0 = _mm512_cvttpd_epi32(cx), y0 = _mm512_cvttpd_epi32(cy);
        if (_mm256_cmpeq_epi32_mask(x0, lastX) != 0) {
            for (std::int32_t k = 0; k < 8; ++k)
                Out[u + k] = BilinearPixel(Source, maxX, maxY, Row.X[u + k], Row.Y[u + k]);
            continue;
        }
        const __m256i y1 = _mm256_min_epi32(_mm256_add_epi32(y0, one), lastY);
        const __m512d fx = _mm512_sub_pd(cx, _mm512_cvtepi32_pd(x0));
        const __m512d fy = _mm512_sub_pd(cy, _mm512_cvtepi32_pd(y0));
        const __m512d gx = _mm512_sub_pd(unit, fx), gy = _mm512_sub_pd(unit, fy);
        const __m512d w00 = _mm512_mul_pd(gx, gy), w10 = _mm512_mul_pd(fx, gy);
        const __m512d w01 = _mm512_mul_pd(gx, fy), w11 = _mm512_mul_pd(fx, fy);
        const __m256i at0 = _mm256_add_epi32(_mm256_mullo_epi32(y0, width), x0);
        const __m256i at1 = _mm256_add_epi32(_mm256_mullo_epi32(y1, width), x0);
        const __m512i top = _mm512_i32gather_epi64(at0, pixels, 4);
        const __m512i bottom = _mm512_i32gather_epi64(at1, pixels, 4);
        // As in the AVX2 row, the sums need no clamp before the rounding conversion.
        __m256i result = _mm256_setzero_si256();
        for (int c = 0; c < 4; ++c) {
            __m512d v = _mm512_mul_pd(PairChannel(top, pick[c]), w00);
            v = _mm512_add_pd(v, _mm512_mul_pd(PairChannel(top, pick[4 + c]), w10));
            v = _mm512_add_pd(v, _mm512_mul_pd(PairChannel(bottom, pick[c]), w01));
            v = _mm512_add_pd(v, _mm512_mul_pd(PairChannel(bottom, pick[4 + c]), w11));
            result = _mm256_or_si256(result, _mm256_slli_epi32(_mm512_cvtpd_epi32(v), 8 * c));
        }
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + u), result);
    }
    for (; u < Row.Count; ++u)
        Out[u] = BilinearPixel(Source, maxX, maxY, Row.X[u], Row.Y[u]);
}

}  // namespace

namespace {
TRowKernelWidth WidestAllowed = TRowKernelWidth::Avx512;
}  // namespace

bool RowKernelAvx2Available()
{
    static const bool has = __builtin_cpu_supports("avx2");
    return has && WidestAllowed >= TRowKernelWidth::Avx2;
}

bool RowKernelAvx512Available()
{
    static const bool has =
        __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
        __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl");
    return has && WidestAllowed >= TRowKernelWidth::Avx512;
}

void LimitRowKernelWidth(TRowKernelWidth Widest)
{
    WidestAllowed = Widest;
}

namespace {

// w = (h6 u + h7 v) + 1, x = ((h0 u + h1 v) + h2) / w, y likewise, four columns at a time.
__attribute__((target("avx2"))) TRowCoordinates
RowCoordinatesAvx2(const double* H, const double* ColumnTerms, std::int32_t Count, std::int32_t v,
                   double* X, double* Y)
{
    const double* hu0 = ColumnTerms;
    const double* hu3 = ColumnTerms + Count;
    const double* hu6 = ColumnTerms + 2 * static_cast<std::ptrdiff_t>(Count);
    const __m256d rx = _mm256_set1_pd(H[1] * v), ry = _mm256_set1_pd(H[4] * v);
    const __m256d rw = _mm256_set1_pd(H[7] * v), one = _mm256_set1_pd(1.0);
    const __m256d h2 = _mm256_set1_pd(H[2]), h5 = _mm256_set1_pd(H[5]);
    const __m256d eps = _mm256_set1_pd(RipperPivotEpsilon);
    const __m256d magnitude = _mm256_castsi256_pd(_mm256_set1_epi64x(0x7FFFFFFFFFFFFFFF));
    __m256d badW = _mm256_setzero_pd(), notANumber = _mm256_setzero_pd();
    std::int32_t u = 0;
    for (; u + 4 <= Count; u += 4) {
        const __m256d w = _mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(hu6 + u), rw), one);
        const __m256d x =
            _mm256_div_pd(_mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(hu0 + u), rx), h2), w);
        const __m256d y =
            _mm256_div_pd(_mm256_add_pd(_mm256_add_pd(_mm256_loadu_pd(hu3 + u), ry), h5), w);
        // Not (|w| >= eps): true for small w and for w that is not a number.
        badW = _mm256_or_pd(badW, _mm256_cmp_pd(_mm256_and_pd(w, magnitude), eps, _CMP_NGE_UQ));
        notANumber = _mm256_or_pd(notANumber, _mm256_cmp_pd(x, y, _CMP_UNORD_Q));
        _mm256_storeu_pd(X + u, x);
        _mm256_storeu_pd(Y + u, y);
    }
    bool bad = _mm256_movemask_pd(badW) != 0, nan = _mm256_movemask_pd(notANumber) != 0;
    for (; u < Count; ++u) {
        const double w = hu6[u] + H[7] * v + 1.0;
        X[u] = (hu0[u] + H[1] * v + H[2]) / w;
        Y[u] = (hu3[u] + H[4] * v + H[5]) / w;
        bad = bad || !(std::fabs(w) >= RipperPivotEpsilon);
        nan = nan || X[u] != X[u] || Y[u] != Y[u];
    }
    return bad   ? TRowCoordinates::InvalidProjection
           : nan ? TRowCoordinates::NotANumber
                 : TRowCoordinates::Ok;
}

// The same, eight columns at a time.
__attribute__((target("avx512f,avx512dq,avx512vl"))) TRowCoordinates
RowCoordinatesAvx512(const double* H, const double* ColumnTerms, std::int32_t Count, std::int32_t v,
                     double* X, double* Y)
{
    const double* hu0 = ColumnTerms;
    const double* hu3 = ColumnTerms + Count;
    const double* hu6 = ColumnTerms + 2 * static_cast<std::ptrdiff_t>(Count);
    const __m512d rx = _mm512_set1_pd(H[1] * v), ry = _mm512_set1_pd(H[4] * v);
    const __m512d rw = _mm512_set1_pd(H[7] * v), one = _mm512_set1_pd(1.0);
    const __m512d h2 = _mm512_set1_pd(H[2]), h5 = _mm512_set1_pd(H[5]);
    const __m512d eps = _mm512_set1_pd(RipperPivotEpsilon);
    __mmask8 badW = 0, notANumber = 0;
    std::int32_t u = 0;
    for (; u + 8 <= Count; u += 8) {
        const __m512d w = _mm512_add_pd(_mm512_add_pd(_mm512_loadu_pd(hu6 + u), rw), one);
        const __m512d x =
            _mm512_div_pd(_mm512_add_pd(_mm512_add_pd(_mm512_loadu_pd(hu0 + u), rx), h2), w);
        const __m512d y =
            _mm512_div_pd(_mm512_add_pd(_mm512_add_pd(_mm512_loadu_pd(hu3 + u), ry), h5), w);
        // Not (|w| >= eps): true for small w and for w that is not a number.
        badW |= _mm512_cmp_pd_mask(_mm512_abs_pd(w), eps, _CMP_NGE_UQ);
        notANumber |= _mm512_cmp_pd_mask(x, y, _CMP_UNORD_Q);
        _mm512_storeu_pd(X + u, x);
        _mm512_storeu_pd(Y + u, y);
    }
    bool bad = badW != 0, nan = notANumber != 0;
    for (; u < Count; ++u) {
        const double w = hu6[u] + H[7] * v + 1.0;
        X[u] = (hu0[u] + H[1] * v + H[2]) / w;
        Y[u] = (hu3[u] + H[4] * v + H[5]) / w;
        bad = bad || !(std::fabs(w) >= RipperPivotEpsilon);
        nan = nan || X[u] != X[u] || Y[u] != Y[u];
    }
    return bad   ? TRowCoordinates::InvalidProjection
           : nan ? TRowCoordinates::NotANumber
                 : TRowCoordinates::Ok;
}

// Clamping first and rounding second picks the same pixel as the other way round; the
// conversion rounds half to even, as RoundHalfEven does.
inline TRgbaPixel NearestPixel(const TRgbaImage& Source, double MaxX, double MaxY, double X,
                               double Y)
{
    const double x = std::min(std::max(X, 0.0), MaxX);
    const double y = std::min(std::max(Y, 0.0), MaxY);
    const int xi = _mm_cvtsd_si32(_mm_set_sd(x));
    const int yi = _mm_cvtsd_si32(_mm_set_sd(y));
    return Source.Row(yi)[xi];
}

void NearestRowScalar(const TRgbaImage& Source, const TRowInput& Row, TRgbaPixel* Out)
{
    const double maxX = Source.Width() - 1, maxY = Source.Height() - 1;
    for (std::int32_t u = 0; u < Row.Count; ++u) {
        PrefetchAhead(Source, Row, u + kPrefetchAhead, maxX, maxY, false);
        Out[u] = NearestPixel(Source, maxX, maxY, Row.X[u], Row.Y[u]);
    }
}

// The coordinates of Lanes samples ahead, in this row or the next; null when they straddle
// the end of the row.
inline void BlockAhead(const TRowInput& Row, std::int32_t Ahead, std::int32_t Lanes,
                       const double*& X, const double*& Y)
{
    X = Y = nullptr;
    if (Ahead + Lanes <= Row.Count) {
        X = Row.X + Ahead;
        Y = Row.Y + Ahead;
    } else if (Row.NextX && Ahead >= Row.Count && Ahead - Row.Count + Lanes <= Row.Count) {
        X = Row.NextX + (Ahead - Row.Count);
        Y = Row.NextY + (Ahead - Row.Count);
    }
}

// Where four nearest samples read: y * width + x of the clamped, rounded coordinates.
__attribute__((target("avx2"))) inline __m128i NearestAt4(const double* X, const double* Y,
                                                          __m256d MaxX, __m256d MaxY, __m128i Width)
{
    const __m256d zero = _mm256_setzero_pd();
    const __m128i x =
        _mm256_cvtpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_loadu_pd(X), zero), MaxX));
    const __m128i y =
        _mm256_cvtpd_epi32(_mm256_min_pd(_mm256_max_pd(_mm256_loadu_pd(Y), zero), MaxY));
    return _mm_add_epi32(_mm_mullo_epi32(y, Width), x);
}

__attribute__((target("avx2"))) void NearestRowAvx2(const TRgbaImage& Source, const TRowInput& Row,
                                                    TRgbaPixel* Out)
{
    const double maxX = Source.Width() - 1, maxY = Source.Height() - 1;
    const __m256d maxXV = _mm256_set1_pd(maxX), maxYV = _mm256_set1_pd(maxY);
    const __m128i width = _mm_set1_epi32(Source.Width());
    const auto* pixels = reinterpret_cast<const int*>(Source.Pixels().data());
    std::int32_t u = 0;
    for (; u + 4 <= Row.Count; u += 4) {
        const double *aheadX, *aheadY;
        BlockAhead(Row, u + kPrefetchAhead, 4, aheadX, aheadY);
        if (aheadX) {
            alignas(16) std::int32_t at[4];
            _mm_store_si128(reinterpret_cast<__m128i*>(at),
                            NearestAt4(aheadX, aheadY, maxXV, maxYV, width));
            for (std::int32_t k = 0; k < 4; ++k)
                __builtin_prefetch(pixels + at[k], 0, 3);
        } else {
            for (std::int32_t k = 0; k < 4; ++k)
                PrefetchAhead(Source, Row, u + kPrefetchAhead + k, maxX, maxY, false);
        }
        const __m128i at = NearestAt4(Row.X + u, Row.Y + u, maxXV, maxYV, width);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(Out + u), _mm_i32gather_epi32(pixels, at, 4));
    }
    for (; u < Row.Count; ++u)
        Out[u] = NearestPixel(Source, maxX, maxY, Row.X[u], Row.Y[u]);
}

__attribute__((target("avx512f,avx512vl"))) inline __m256i
NearestAt8(const double* X, const double* Y, __m512d MaxX, __m512d MaxY, __m256i Width)
{
    const __m512d zero = _mm512_setzero_pd();
    const __m256i x =
        _mm512_cvtpd_epi32(_mm512_min_pd(_mm512_max_pd(_mm512_loadu_pd(X), zero), MaxX));
    const __m256i y =
        _mm512_cvtpd_epi32(_mm512_min_pd(_mm512_max_pd(_mm512_loadu_pd(Y), zero), MaxY));
    return _mm256_add_epi32(_mm256_mullo_epi32(y, Width), x);
}

__attribute__((target("avx512f,avx512vl"))) void
NearestRowAvx512(const TRgbaImage& Source, const TRowInput& Row, TRgbaPixel* Out)
{
    const double maxX = Source.Width() - 1, maxY = Source.Height() - 1;
    const __m512d maxXV = _mm512_set1_pd(maxX), maxYV = _mm512_set1_pd(maxY);
    const __m256i width = _mm256_set1_epi32(Source.Width());
    const auto* pixels = reinterpret_cast<const int*>(Source.Pixels().data());
    std::int32_t u = 0;
    for (; u + 8 <= Row.Count; u += 8) {
        const double *aheadX, *aheadY;
        BlockAhead(Row, u + kPrefetchAhead, 8, aheadX, aheadY);
        if (aheadX) {
            alignas(32) std::int32_t at[8];
            _mm256_store_si256(reinterpret_cast<__m256i*>(at),
                               NearestAt8(aheadX, aheadY, maxXV, maxYV, width));
            for (std::int32_t k = 0; k < 8; ++k)
                __builtin_prefetch(pixels + at[k], 0, 3);
        } else {
            for (std::int32_t k = 0; k < 8; ++k)
                PrefetchAhead(Source, Row, u + kPrefetchAhead + k, maxX, maxY, false);
        }
        const __m256i at = NearestAt8(Row.X + u, Row.Y + u, maxXV, maxYV, width);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(Out + u),
                            _mm256_i32gather_epi32(pixels, at, 4));
    }
    for (; u < Row.Count; ++u)
        Out[u] = NearestPixel(Source, maxX, maxY, Row.X[u], Row.Y[u]);
}

TRowCoordinates RowCoordinatesScalar(const double* H, const double* ColumnTerms, std::int32_t Count,
                                     std::int32_t v, double* X, double* Y)
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
    return badW         ? TRowCoordinates::InvalidProjection
           : notANumber ? TRowCoordinates::NotANumber
                        : TRowCoordinates::Ok;
}

}  // namespace

TRowCoordinates RectifyRowCoordinates(const double* H, const double* ColumnTerms,
                                      std::int32_t Count, std::int32_t v, double* X, double* Y)
{
    if (RowKernelAvx512Available())
        return RowCoordinatesAvx512(H, ColumnTerms, Count, v, X, Y);
    if (RowKernelAvx2Available())
        return RowCoordinatesAvx2(H, ColumnTerms, Count, v, X, Y);
    return RowCoordinatesScalar(H, ColumnTerms, Count, v, X, Y);
}

void SampleRowNearest(const TRgbaImage& Source, const double* X, const double* Y,
                      std::int32_t Count, TRgbaPixel* Out, const double* NextX, const double* NextY)
{
    const TRowInput row{X, Y, NextX, NextY, Count};
    if (RowKernelAvx512Available())
        NearestRowAvx512(Source, row, Out);
    else if (RowKernelAvx2Available())
        NearestRowAvx2(Source, row, Out);
    else
        NearestRowScalar(Source, row, Out);
}

void SampleRowBilinear(const TRgbaImage& Source, const double* X, const double* Y,
                       std::int32_t Count, TRgbaPixel* Out, const double* NextX,
                       const double* NextY)
{
    const TRowInput row{X, Y, NextX, NextY, Count};
    if (RowKernelAvx512Available())
        BilinearRowAvx512(Source, row, Out);
    else if (RowKernelAvx2Available())
        BilinearRowAvx2(Source, row, Out);
    else
        BilinearRowSse2(Source, row, Out);
}

void SampleRowBilinearSse2(const TRgbaImage& Source, const double* X, const double* Y,
                           std::int32_t Count, TRgbaPixel* Out)
{
    BilinearRowSse2(Source, TRowInput{X, Y, nullptr, nullptr, Count}, Out);
}

void SampleRowBilinearAvx2(const TRgbaImage& Source, const double* X, const double* Y,
                           std::int32_t Count, TRgbaPixel* Out)
{
    BilinearRowAvx2(Source, TRowInput{X, Y, nullptr, nullptr, Count}, Out);
}

void SampleRowBilinearAvx512(const TRgbaImage& Source, const double* X, const double* Y,
                             std::int32_t Count, TRgbaPixel* Out)
{
    BilinearRowAvx512(Source, TRowInput{X, Y, nullptr, nullptr, Count}, Out);
}
