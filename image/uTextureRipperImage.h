#pragma once
// The program's in-memory image: packed 8-bit RGBA pixels, row-major, independent of
// any toolkit. Loading and saving go through the codecs of uImageCodecs; the loader
// here adds the size limits and the messages the user sees.
#include "base/uErrors.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

// Red in bits 0-7, green 8-15, blue 16-23, alpha 24-31 (bytes R, G, B, A in memory on
// a little-endian machine).
using TRgbaPixel = std::uint32_t;

// An allocation the caller asked for is beyond what the type can hold.
class EOutOfMemory : public EGeneralError {
public:
    using EGeneralError::EGeneralError;
};

constexpr TRgbaPixel MakeRgbaPixel(std::int32_t r, std::int32_t g, std::int32_t b, std::int32_t a)
{
    return (static_cast<std::uint32_t>(r) & 0xFFu) |
           ((static_cast<std::uint32_t>(g) & 0xFFu) << 8) |
           ((static_cast<std::uint32_t>(b) & 0xFFu) << 16) | (static_cast<std::uint32_t>(a) << 24);
}

constexpr std::uint8_t PixelRed(TRgbaPixel p)
{
    return static_cast<std::uint8_t>(p);
}
constexpr std::uint8_t PixelGreen(TRgbaPixel p)
{
    return static_cast<std::uint8_t>(p >> 8);
}
constexpr std::uint8_t PixelBlue(TRgbaPixel p)
{
    return static_cast<std::uint8_t>(p >> 16);
}
constexpr std::uint8_t PixelAlpha(TRgbaPixel p)
{
    return static_cast<std::uint8_t>(p >> 24);
}

// Vector storage whose new entries are left uninitialised unless a value is given, so an
// image whose every pixel is written next is not cleared first.
template <class T>
struct TNoInitAllocator : std::allocator<T> {
    template <class U>
    struct rebind {
        using other = TNoInitAllocator<U>;
    };
    TNoInitAllocator() = default;
    template <class U>
    TNoInitAllocator(const TNoInitAllocator<U>&) noexcept
    {
    }
    template <class U>
    void construct(U* p) noexcept
    {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... A>
    void construct(U* p, A&&... a)
    {
        ::new (static_cast<void*>(p)) U(std::forward<A>(a)...);
    }
};

class TRgbaImage {
public:
    struct TUninitialized {};

    // Most pixels any image may hold (Width * Height).
    static constexpr std::int64_t MaxPixelCount = 0x1FFFFFFF;

    TRgbaImage() = default;
    // All pixels 0 (transparent black).
    TRgbaImage(std::int32_t Width, std::int32_t Height);
    // The pixels are left undefined, for an image every pixel of which is written next.
    TRgbaImage(std::int32_t Width, std::int32_t Height, TUninitialized);

    // Raises EArgumentOutOfRangeException for a negative side and EOutOfMemory beyond
    // MaxPixelCount. Pixels keep their flat index; new entries are 0.
    void SetSize(std::int32_t Width, std::int32_t Height);

    std::int32_t Width() const { return FWidth; }
    std::int32_t Height() const { return FHeight; }
    bool IsEmpty() const { return FPixels.empty(); }

    // Pixel (x, y) is at index x + y * Width.
    std::span<TRgbaPixel> Pixels() { return FPixels; }
    std::span<const TRgbaPixel> Pixels() const { return FPixels; }
    TRgbaPixel* Row(std::int32_t y)
    {
        return FPixels.data() + static_cast<std::size_t>(y) * FWidth;
    }
    const TRgbaPixel* Row(std::int32_t y) const
    {
        return FPixels.data() + static_cast<std::size_t>(y) * FWidth;
    }

    // Both raise EArgumentOutOfRangeException outside the image.
    TRgbaPixel GetPixel(std::int32_t x, std::int32_t y) const;
    void SetPixel(std::int32_t x, std::int32_t y, TRgbaPixel Pixel);

    std::unique_ptr<TRgbaImage> Clone() const;

    // Never raise: a failure comes back as false with the reason in Message.
    static bool SaveToPngFile(const TRgbaImage* Image, const std::string& FileName,
                              std::string& Message);
    static bool SaveToBmpFile(const TRgbaImage* Image, const std::string& FileName,
                              std::string& Message);

private:
    std::int32_t FWidth = 0;
    std::int32_t FHeight = 0;
    void CheckSize(std::int32_t Width, std::int32_t Height) const;
    std::vector<TRgbaPixel, TNoInitAllocator<TRgbaPixel>> FPixels;
};

// True for the extensions ".png", ".jpg", ".jpeg" and ".bmp" in any letter case.
bool IsSupportedImageFile(const std::string& FileName);

// Decodes a PNG, JPEG or BMP photograph of at most 16384 pixels a side and 256 MB of
// pixels. Never raises: without an image, Message says why.
std::unique_ptr<TRgbaImage> LoadRgbaImageFromFile(const std::string& FileName,
                                                  std::string& Message);
