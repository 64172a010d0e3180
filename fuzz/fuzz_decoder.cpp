// Feeds arbitrary bytes to one image decoder. Any crash, leak or sanitizer report is a
// fault; refusing the input is the expected outcome for most of them.
#include "image/uImageCodecs.h"

#include <cstddef>
#include <cstdint>

#if defined(QUILL_FUZZ_KIND_png)
constexpr TImageFileKind kKind = TImageFileKind::Png;
#elif defined(QUILL_FUZZ_KIND_jpeg)
constexpr TImageFileKind kKind = TImageFileKind::Jpeg;
#else
constexpr TImageFileKind kKind = TImageFileKind::Bmp;
#endif

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    // Small limits keep each run fast; the header check is what is exercised.
    TImageSizeLimits limits;
    limits.MaxSide = 2048;
    limits.MaxBytes = 16u << 20;
    TImageDecodeResult result = DecodeImageMemory(Data, Size, kKind, limits);
    if (result.Status == TImageDecodeStatus::Ok && result.Image) {
        // Touch every pixel so a short buffer shows up under the sanitizer.
        volatile uint32_t sum = 0;
        for (TRgbaPixel p : result.Image->Pixels())
            sum = sum + p;
    }
    return 0;
}
