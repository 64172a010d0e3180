// Texture ripper: rectifying a selection (every drag preview and every save) and
// decoding a photograph (every load).
#include "image/uImageCodecs.h"
#include "ripper/uTextureRipperExport.h"
#include "ripper/uTextureRipperModel.h"
#include "ripper/uTextureRipperWarp.h"

#include <benchmark/benchmark.h>
#ifdef QUILL_HAVE_OPENCV
#include <opencv2/core.hpp>
#include <opencv2/imgproc.hpp>
#endif

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <vector>

namespace {

TRgbaImage Photograph(std::int32_t W, std::int32_t H)
{
    TRgbaImage image(W, H);
    for (std::int32_t y = 0; y < H; ++y) {
        TRgbaPixel* row = image.Row(y);
        for (std::int32_t x = 0; x < W; ++x)
            row[x] = MakeRgbaPixel(x * 3 + y, (x ^ y) & 0xFF, (x * y) >> 4, 255);
    }
    return image;
}

void BM_RectifyQuad(benchmark::State& State)
{
    const TRgbaImage source = Photograph(2048, 1536);
    const TRipperQuad quad = {MakeRipperPoint(300, 200), MakeRipperPoint(1700, 350),
                              MakeRipperPoint(1800, 1400), MakeRipperPoint(150, 1250)};
    const auto n = static_cast<std::int32_t>(State.range(0));
    const bool bilinear = State.range(1) != 0;
    std::string message;
    for (auto _ : State) {
        auto out = RectifyQuad(&source, quad, n, bilinear, message);
        benchmark::DoNotOptimize(out);
    }
    State.SetItemsProcessed(State.iterations() * n * n);
}
BENCHMARK(BM_RectifyQuad)->Args({64, 0})->Args({64, 1})->Args({256, 0})->Args({256, 1});

void BM_DecodeFile(benchmark::State& State, TImageFileKind Kind, const char* Extension)
{
    const TRgbaImage source = Photograph(2048, 1536);
    const std::string file =
        (std::filesystem::temp_directory_path() / (std::string("quill_bench_photo") + Extension))
            .string();
    std::string message;
    const bool saved = Kind == TImageFileKind::Png ? WritePngFile(source, file, message)
                                                   : WriteBmpFile(source, file, message);
    if (!saved) {
        State.SkipWithError(message.c_str());
        return;
    }
    for (auto _ : State) {
        TImageDecodeResult r = DecodeImageFile(file, Kind, {});
        benchmark::DoNotOptimize(r.Image);
    }
    State.SetItemsProcessed(State.iterations() * source.Width() * source.Height());
    std::remove(file.c_str());
}
BENCHMARK_CAPTURE(BM_DecodeFile, png, TImageFileKind::Png, ".png")->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_DecodeFile, bmp, TImageFileKind::Bmp, ".bmp")->Unit(benchmark::kMillisecond);

// A 4000 x 3000 photograph with a selection over most of it, as a user would drag it.
const TRgbaImage& LargePhotograph()
{
    static const TRgbaImage photo = Photograph(4000, 3000);
    return photo;
}

const TRipperQuad kLargeQuad = {MakeRipperPoint(420, 260), MakeRipperPoint(3610, 430),
                                MakeRipperPoint(3790, 2770), MakeRipperPoint(230, 2580)};

// From the Save & Import click to the written file: the full-size output (256 x 256, the
// largest the window offers) rectified from the loaded photograph, then written under a
// temporary name and moved into textures/ beside the project. The import that follows
// needs a GL context and is not part of this figure.
void BM_RipperSaveClickToFile(benchmark::State& State)
{
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() / "quill_bench_ripper_project";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string photoFile = (dir / "photo.bmp").string();
    std::string message;
    if (!WriteBmpFile(LargePhotograph(), photoFile, message)) {
        State.SkipWithError(message.c_str());
        return;
    }
    TTextureRipperSession session;
    if (!session.LoadSourceImage(photoFile, message)) {
        State.SkipWithError(message.c_str());
        return;
    }
    for (int i = 0; i < 4; ++i) {
        const TRipperPoint p = session.GetPoint(i);
        session.MovePoint(i, kLargeQuad[size_t(i)].X - p.X, kLargeQuad[size_t(i)].Y - p.Y);
    }
    session.OutputSize = 256;
    session.Bilinear = State.range(0) != 0;
    const std::string project = (dir / "scene.qstn").string();
    for (auto _ : State) {
        auto image = session.BuildOutputImage(session.OutputSize, message);
        TTextureFileResult r =
            image ? WriteProjectTexture(*image, project, "texture") : TTextureFileResult{};
        if (!r.Success) {
            State.SkipWithError(message.empty() ? r.Message.c_str() : message.c_str());
            break;
        }
        State.PauseTiming();
        std::filesystem::remove(r.FilePath);
        State.ResumeTiming();
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_RipperSaveClickToFile)
    ->ArgNames({"bilinear"})
    ->Arg(0)
    ->Arg(1)
    ->Unit(benchmark::kMillisecond);

// Writes over more memory than the last-level cache holds, so the next rectify finds
// neither the photograph's lines nor its output's in any cache.
void EvictCaches()
{
    static std::vector<unsigned char> sweep(std::size_t(192) << 20);
    static unsigned char value = 0;
    std::memset(sweep.data(), ++value, sweep.size());
    benchmark::ClobberMemory();
}

// Runs Warp once per iteration; Cold flushes the caches before each run, outside the time.
template <class F>
void TimeWarps(benchmark::State& State, bool Cold, F Warp)
{
    for (auto _ : State) {
        if (Cold) {
            State.PauseTiming();
            EvictCaches();
            State.ResumeTiming();
        }
        Warp();
    }
    const auto n = State.range(0);
    State.SetItemsProcessed(State.iterations() * n * n);
}

void LargeSizes(benchmark::internal::Benchmark* B)
{
    B->ArgNames({"n", "bilinear"})->ArgsProduct({{256, 1024}, {0, 1}});
    B->Unit(benchmark::kMillisecond);
}

// Cold runs a fixed number of times: each flush takes longer than the rectify.
void LargeSizesCold(benchmark::internal::Benchmark* B)
{
    LargeSizes(B);
    B->Iterations(40);
}

// Rectifying from the 4000 x 3000 photograph at N x N, beside OpenCV's warpPerspective on
// one thread doing the same mapping (the output-to-source homography, replicated border).
// Cold: the first rectify after the caches were flushed, as after loading a photograph or
// working elsewhere; OpenCV's figure is taken the same way.
void RectifyLarge(benchmark::State& State, bool Cold)
{
    const TRgbaImage& source = LargePhotograph();
    const auto n = static_cast<std::int32_t>(State.range(0));
    const bool bilinear = State.range(1) != 0;
    std::string message;
    TimeWarps(State, Cold, [&] {
        auto out = RectifyQuad(&source, kLargeQuad, n, bilinear, message);
        benchmark::DoNotOptimize(out);
    });
}
void BM_RectifyLarge(benchmark::State& State)
{
    RectifyLarge(State, false);
}
void BM_RectifyLargeCold(benchmark::State& State)
{
    RectifyLarge(State, true);
}
BENCHMARK(BM_RectifyLarge)->Apply(LargeSizes);
BENCHMARK(BM_RectifyLargeCold)->Apply(LargeSizesCold);

// The same mapping sampled pixel by pixel through SampleNearest / SampleBilinear into a
// cleared image, as the rectify did before it worked a row at a time.
void BM_RectifyLargePerPixel(benchmark::State& State)
{
    const TRgbaImage& source = LargePhotograph();
    const auto n = static_cast<std::int32_t>(State.range(0));
    const bool bilinear = State.range(1) != 0;
    double h[8];
    SolveQuadHomography(kLargeQuad, n, h);
    for (auto _ : State) {
        auto out = std::make_unique<TRgbaImage>(n, n);
        for (std::int32_t v = 0; v < n; ++v)
            for (std::int32_t u = 0; u < n; ++u) {
                const double w = h[6] * u + h[7] * v + 1.0;
                const double x = (h[0] * u + h[1] * v + h[2]) / w;
                const double y = (h[3] * u + h[4] * v + h[5]) / w;
                out->Row(v)[u] =
                    bilinear ? SampleBilinear(source, x, y) : SampleNearest(source, x, y);
            }
        benchmark::DoNotOptimize(out);
    }
    State.SetItemsProcessed(State.iterations() * n * n);
}
BENCHMARK(BM_RectifyLargePerPixel)->Apply(LargeSizes);

#ifdef QUILL_HAVE_OPENCV
void OpenCvWarpLarge(benchmark::State& State, bool Cold)
{
    cv::setNumThreads(1);
    const TRgbaImage& source = LargePhotograph();
    const auto n = static_cast<std::int32_t>(State.range(0));
    const bool bilinear = State.range(1) != 0;
    const cv::Mat src(source.Height(), source.Width(), CV_8UC4,
                      const_cast<TRgbaPixel*>(source.Pixels().data()));
    double h[8];
    SolveQuadHomography(kLargeQuad, n, h);
    const cv::Mat m =
        (cv::Mat_<double>(3, 3) << h[0], h[1], h[2], h[3], h[4], h[5], h[6], h[7], 1.0);
    const int flags = (bilinear ? cv::INTER_LINEAR : cv::INTER_NEAREST) | cv::WARP_INVERSE_MAP;
    TimeWarps(State, Cold, [&] {
        // A new output each time, as the rectify makes a new image.
        cv::Mat dst;
        cv::warpPerspective(src, dst, m, cv::Size(n, n), flags, cv::BORDER_REPLICATE);
        benchmark::DoNotOptimize(dst.data);
    });
}
void BM_OpenCvWarpLarge(benchmark::State& State)
{
    OpenCvWarpLarge(State, false);
}
void BM_OpenCvWarpLargeCold(benchmark::State& State)
{
    OpenCvWarpLarge(State, true);
}
BENCHMARK(BM_OpenCvWarpLarge)->Apply(LargeSizes);
BENCHMARK(BM_OpenCvWarpLargeCold)->Apply(LargeSizesCold);
#endif

}  // namespace
