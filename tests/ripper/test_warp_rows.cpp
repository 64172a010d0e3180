// The row kernels of the rectify against the per-pixel samplers they stand in for: the
// same coordinates must give the same pixels, bit for bit, in every SIMD width.
#include "ripper/uTextureRipperWarp.h"
#include "ripper/uTextureRipperWarpRows.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

TRgbaImage RandomImage(std::int32_t W, std::int32_t H, std::mt19937& Rng)
{
    TRgbaImage image(W, H);
    std::uniform_int_distribution<std::uint32_t> any;
    std::uniform_int_distribution<int> pick(0, 3);
    for (TRgbaPixel& p : image.Pixels()) {
        // Many extremes (0 and 255) so clamping and exact ties are exercised.
        const int kind = pick(Rng);
        p = kind == 0 ? 0u : kind == 1 ? 0xFFFFFFFFu : any(Rng);
    }
    return image;
}

// Coordinates of every kind a row can meet: inside, outside on both sides, on pixel
// centres, on halves, with short and long fractions, and huge.
std::vector<double> Coordinates(std::int32_t Size, std::size_t Count, std::mt19937& Rng)
{
    std::uniform_real_distribution<double> inside(-2.0, Size + 1.0);
    std::uniform_int_distribution<int> whole(-1, Size);
    std::uniform_int_distribution<int> pick(0, 5);
    std::vector<double> out(Count);
    for (double& c : out) {
        switch (pick(Rng)) {
        case 0:
            c = whole(Rng);
            break;
        case 1:
            c = whole(Rng) + 0.5;
            break;
        case 2:
            c = whole(Rng) + 0.25 * (whole(Rng) & 3);
            break;
        case 3:
            c = (whole(Rng) & 1) ? 1e300 : -1e300;
            break;
        default:
            c = inside(Rng);
        }
    }
    return out;
}

TEST(RipperRowKernels, SameAsThePerPixelSamplers)
{
    std::mt19937 rng(20261210);
    const std::pair<int, int> sizes[] = {{1, 1}, {1, 7}, {9, 1}, {2, 2}, {17, 13}, {64, 40}};
    for (const auto& [w, h] : sizes) {
        const TRgbaImage image = RandomImage(w, h, rng);
        const std::size_t n = 4003;  // not a multiple of the SIMD width
        const std::vector<double> xs = Coordinates(w, n, rng), ys = Coordinates(h, n, rng);
        std::vector<TRgbaPixel> sse2(n), avx2(n), avx512(n);
        // The nearest row has no entry per width: it is narrowed to each in turn.
        const TRowKernelWidth widths[] = {TRowKernelWidth::Sse2, TRowKernelWidth::Avx2,
                                          TRowKernelWidth::Avx512};
        std::vector<std::vector<TRgbaPixel>> nearest;
        for (const TRowKernelWidth width : widths) {
            LimitRowKernelWidth(width);
            nearest.emplace_back(n);
            SampleRowNearest(image, xs.data(), ys.data(), std::int32_t(n), nearest.back().data());
        }
        LimitRowKernelWidth(TRowKernelWidth::Avx512);
        SampleRowBilinearSse2(image, xs.data(), ys.data(), std::int32_t(n), sse2.data());
        if (RowKernelAvx2Available())
            SampleRowBilinearAvx2(image, xs.data(), ys.data(), std::int32_t(n), avx2.data());
        if (RowKernelAvx512Available())
            SampleRowBilinearAvx512(image, xs.data(), ys.data(), std::int32_t(n), avx512.data());
        for (std::size_t i = 0; i < n; ++i) {
            for (std::size_t k = 0; k < nearest.size(); ++k) {
                ASSERT_EQ(nearest[k][i], SampleNearest(image, xs[i], ys[i]))
                    << w << "x" << h << " at " << xs[i] << ", " << ys[i] << " width " << k;
            }
            const TRgbaPixel expected = SampleBilinear(image, xs[i], ys[i]);
            ASSERT_EQ(sse2[i], expected) << w << "x" << h << " at " << xs[i] << ", " << ys[i];
            if (RowKernelAvx2Available()) {
                ASSERT_EQ(avx2[i], expected) << w << "x" << h << " at " << xs[i] << ", " << ys[i];
            }
            if (RowKernelAvx512Available()) {
                ASSERT_EQ(avx512[i], expected) << w << "x" << h << " at " << xs[i] << ", " << ys[i];
            }
        }
    }
}

// The rectify of random quads over random photographs against the per-pixel loop, with
// the kernels of each width.
class RipperRectifyKernels : public ::testing::TestWithParam<TRowKernelWidth> {
protected:
    void SetUp() override { LimitRowKernelWidth(GetParam()); }
    void TearDown() override { LimitRowKernelWidth(TRowKernelWidth::Avx512); }
};

TEST_P(RipperRectifyKernels, RectifyMatchesThePerPixelLoop)
{
    std::mt19937 rng(7);
    const TRgbaImage image = RandomImage(301, 203, rng);
    std::uniform_real_distribution<double> jitter(0.0, 60.0);
    int compared = 0;
    for (int trial = 0; trial < 40; ++trial) {
        const TRipperQuad quad = {MakeRipperPoint(jitter(rng), jitter(rng)),
                                  MakeRipperPoint(300 - jitter(rng), jitter(rng)),
                                  MakeRipperPoint(300 - jitter(rng), 202 - jitter(rng)),
                                  MakeRipperPoint(jitter(rng), 202 - jitter(rng))};
        const std::int32_t n = 1 + trial * 7;
        for (const bool bilinear : {false, true}) {
            std::string message;
            const auto fast = RectifyQuad(&image, quad, n, bilinear, message);
            double h[8];
            if (!SolveQuadHomography(quad, n, h)) {
                EXPECT_EQ(fast, nullptr);
                continue;
            }
            ASSERT_NE(fast, nullptr) << message;
            for (std::int32_t v = 0; v < n; ++v)
                for (std::int32_t u = 0; u < n; ++u) {
                    const double w = h[6] * u + h[7] * v + 1.0;
                    const double x = (h[0] * u + h[1] * v + h[2]) / w;
                    const double y = (h[3] * u + h[4] * v + h[5]) / w;
                    const TRgbaPixel expected =
                        bilinear ? SampleBilinear(image, x, y) : SampleNearest(image, x, y);
                    ASSERT_EQ(fast->Row(v)[u], expected) << trial << " " << u << "," << v;
                }
            ++compared;
        }
    }
    EXPECT_GT(compared, 70);
}

INSTANTIATE_TEST_SUITE_P(Widths, RipperRectifyKernels,
                         ::testing::Values(TRowKernelWidth::Sse2, TRowKernelWidth::Avx2,
                                           TRowKernelWidth::Avx512));

}  // namespace
