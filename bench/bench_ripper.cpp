// Texture ripper: rectifying a selection (every drag preview and every save) and
// decoding a photograph (every load).
#include "image/uImageCodecs.h"
#include "ripper/uTextureRipperWarp.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>

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

}  // namespace
