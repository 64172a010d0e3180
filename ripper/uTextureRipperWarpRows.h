#pragma once
// The inner loops of the rectify: one output row sampled from per-pixel source
// coordinates. They give bit for bit what SampleNearest and SampleBilinear give for
// each coordinate (the same double operations in the same order, rounded half to even
// by the processor's default rounding), a row at a time, with SIMD for the channels.
#include "image/uTextureRipperImage.h"

#include <cstdint>

enum class TRowCoordinates { Ok, InvalidProjection, NotANumber };

// Source coordinates of output row v: x = (h0 u + h1 v + h2) / w, y = (h3 u + h4 v + h5) / w,
// w = h6 u + h7 v + 1, formed exactly as the per-pixel expression. ColumnTerms holds h0 u,
// h3 u and h6 u for every column (three arrays of Count). InvalidProjection when some |w|
// is below the pivot tolerance; NotANumber when a coordinate is not a number.
TRowCoordinates RectifyRowCoordinates(const double* H, const double* ColumnTerms,
                                      std::int32_t Count, std::int32_t v, double* X, double* Y);

// Every coordinate must be a number (not NaN). NextX and NextY, when given, are the next
// row's coordinates (Count of each), whose source lines are fetched ahead.
void SampleRowNearest(const TRgbaImage& Source, const double* X, const double* Y,
                      std::int32_t Count, TRgbaPixel* Out, const double* NextX = nullptr,
                      const double* NextY = nullptr);
void SampleRowBilinear(const TRgbaImage& Source, const double* X, const double* Y,
                       std::int32_t Count, TRgbaPixel* Out, const double* NextX = nullptr,
                       const double* NextY = nullptr);

// The widths SampleRowBilinear chooses between at run time, for tests; the AVX2 one
// needs RowKernelAvx2Available, the AVX-512 one RowKernelAvx512Available.
void SampleRowBilinearSse2(const TRgbaImage& Source, const double* X, const double* Y,
                           std::int32_t Count, TRgbaPixel* Out);
void SampleRowBilinearAvx2(const TRgbaImage& Source, const double* X, const double* Y,
                           std::int32_t Count, TRgbaPixel* Out);
void SampleRowBilinearAvx512(const TRgbaImage& Source, const double* X, const double* Y,
                             std::int32_t Count, TRgbaPixel* Out);
bool RowKernelAvx2Available();
bool RowKernelAvx512Available();

enum class TRowKernelWidth { Sse2, Avx2, Avx512 };
// Tests narrow the kernels to run the others on any processor.
void LimitRowKernelWidth(TRowKernelWidth Widest);
