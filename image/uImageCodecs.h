#pragma once
// PNG (libpng), JPEG (libjpeg-turbo) and BMP (our own reader and writer) to and from
// TRgbaImage. Every decoder reads the file's header first and checks the declared size
// against the caller's limits before it allocates any pixel memory, so a small file
// that claims a huge image costs nothing. Decoding never raises; each caller turns the
// status into its own message.
#include "image/uTextureRipperImage.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

enum class TImageFileKind { Unknown, Png, Jpeg, Bmp };

// By the lower-cased extension of the file name: ".png", ".jpg"/".jpeg", ".bmp".
TImageFileKind ImageFileKindFromName(const std::string& FileName);

struct TImageSizeLimits {
    std::int64_t MaxSide = 16384;        // pixels per side
    std::uint64_t MaxBytes = 268435456;  // Width * Height * 4
    // The work a decode may do, for callers that share one budget over many files:
    // PNG image data inflated, and JPEG scans times pixels (each progressive scan is a
    // pass over the image). A file past either is refused as TooLarge, OverBudget set.
    std::uint64_t MaxInflatedBytes = UINT64_MAX;
    std::uint64_t MaxScanPixels = UINT64_MAX;
    // Not a limit: for a picture that is shown small (a thumbnail), a JPEG may come out
    // reduced 2, 4 or 8 times straight from its coefficients while each side stays at
    // least this; 0 for the full size. The size limits apply to the image as stored.
    std::int32_t ReduceToSide = 0;
};

enum class TImageDecodeStatus {
    Ok,
    DecodeFailed,  // Message holds the codec's own text
    NoPixels,      // width or height below 1
    TooLarge,      // beyond the limits
    OutOfMemory,   // the pixels could not be allocated
};

struct TImageDecodeResult {
    TImageDecodeStatus Status = TImageDecodeStatus::DecodeFailed;
    std::string Message;
    std::unique_ptr<TRgbaImage> Image;  // only with Ok
    // The work the decode did (see TImageSizeLimits), also when it failed part-way; a
    // file refused before decoding did none. DecodedPixels: pixels written, all of them
    // with Ok.
    std::uint64_t InflatedBytes = 0;
    std::uint64_t ScanPixels = 0;
    std::uint64_t DecodedPixels = 0;
    bool OverBudget = false;
};

// The size check every decoder applies to the header, in the loader's order: no usable
// pixels first, then too large.
TImageDecodeStatus CheckImageSize(std::int64_t Width, std::int64_t Height,
                                  const TImageSizeLimits& Limits);

// Images without alpha come out opaque; 16-bit channels keep their high byte; palette
// and grey images expand to RGBA. No gamma or colour-profile correction is applied.
TImageDecodeResult DecodeImageFile(const std::string& FileName, TImageFileKind Kind,
                                   const TImageSizeLimits& Limits);
TImageDecodeResult DecodeImageMemory(const void* Data, std::size_t Size, TImageFileKind Kind,
                                     const TImageSizeLimits& Limits);

// PNG: 8-bit RGB when every pixel is opaque, else 8-bit RGBA. BMP: 24-bit when every
// pixel is opaque, else 32-bit with an alpha mask. An existing file is replaced; after
// a failure no partial file is left behind.
bool WritePngFile(const TRgbaImage& Image, const std::string& FileName, std::string& Message);
bool WriteBmpFile(const TRgbaImage& Image, const std::string& FileName, std::string& Message);
// The same through a descriptor of a new, empty file the caller created and keeps open
// (nothing is synced, and the file is not deleted on failure).
bool WritePngToDescriptor(const TRgbaImage& Image, int Fd, std::string& Message);
bool WriteBmpToDescriptor(const TRgbaImage& Image, int Fd, std::string& Message);
