#include "image/uTextureRipperImage.h"

#include "image/uImageCodecs.h"

#include <filesystem>
#include <new>
#include <system_error>

TRgbaImage::TRgbaImage(std::int32_t Width, std::int32_t Height)
{
    SetSize(Width, Height);
}

TRgbaImage::TRgbaImage(std::int32_t Width, std::int32_t Height, TUninitialized)
{
    CheckSize(Width, Height);
    FPixels.resize(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height));
    FWidth = Width;
    FHeight = Height;
}

void TRgbaImage::CheckSize(std::int32_t Width, std::int32_t Height) const
{
    if (Width < 0 || Height < 0)
        throw EArgumentOutOfRangeException("Image dimensions cannot be negative.");
    if (static_cast<std::int64_t>(Width) * static_cast<std::int64_t>(Height) > MaxPixelCount)
        throw EOutOfMemory("Image dimensions are too large.");
}

void TRgbaImage::SetSize(std::int32_t Width, std::int32_t Height)
{
    CheckSize(Width, Height);
    FPixels.resize(static_cast<std::size_t>(Width) * static_cast<std::size_t>(Height), 0);
    FWidth = Width;
    FHeight = Height;
}

TRgbaPixel TRgbaImage::GetPixel(std::int32_t x, std::int32_t y) const
{
    if (x < 0 || x >= FWidth || y < 0 || y >= FHeight)
        throw EArgumentOutOfRangeException("Image pixel coordinate is out of range.");
    return FPixels[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * FWidth];
}

void TRgbaImage::SetPixel(std::int32_t x, std::int32_t y, TRgbaPixel Pixel)
{
    if (x < 0 || x >= FWidth || y < 0 || y >= FHeight)
        throw EArgumentOutOfRangeException("Image pixel coordinate is out of range.");
    FPixels[static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * FWidth] = Pixel;
}

std::unique_ptr<TRgbaImage> TRgbaImage::Clone() const
{
    return std::make_unique<TRgbaImage>(*this);
}

// 8-bit channels widen exactly to 16 bits (c * 257) and back (>> 8), so an 8-bit file
// holds the same values.
bool TRgbaImage::SaveToPngFile(const TRgbaImage* Image, const std::string& FileName,
                               std::string& Message)
{
    Message.clear();
    if (!Image) {
        Message = "There is no output image to save.";
        return false;
    }
    try {
        return WritePngFile(*Image, FileName, Message);
    } catch (const std::exception& e) {
        Message = e.what();
    }
    return false;
}

bool TRgbaImage::SaveToBmpFile(const TRgbaImage* Image, const std::string& FileName,
                               std::string& Message)
{
    Message.clear();
    if (!Image) {
        Message = "There is no output image to save.";
        return false;
    }
    try {
        return WriteBmpFile(*Image, FileName, Message);
    } catch (const std::exception& e) {
        Message = e.what();
    }
    return false;
}

bool IsSupportedImageFile(const std::string& FileName)
{
    return ImageFileKindFromName(FileName) != TImageFileKind::Unknown;
}

std::unique_ptr<TRgbaImage> LoadRgbaImageFromFile(const std::string& FileName, std::string& Message)
{
    Message.clear();
    std::error_code ec;
    if (FileName.empty() || !std::filesystem::is_regular_file(FileName, ec)) {
        Message = "The image file does not exist.";
        return nullptr;
    }
    const TImageFileKind kind = ImageFileKindFromName(FileName);
    if (kind == TImageFileKind::Unknown) {
        Message = "The selected file is not a supported PNG, JPEG, or BMP image.";
        return nullptr;
    }
    try {
        TImageDecodeResult r = DecodeImageFile(FileName, kind, TImageSizeLimits{});
        switch (r.Status) {
        case TImageDecodeStatus::Ok:
            if (r.Image)
                return std::move(r.Image);
            break;
        case TImageDecodeStatus::DecodeFailed:
            Message = "The image could not be decoded: " + r.Message;
            break;
        case TImageDecodeStatus::NoPixels:
            Message = "The image has no usable pixels.";
            break;
        case TImageDecodeStatus::TooLarge:
            Message = "The image is too large. The maximum supported decoded size is 256 MB.";
            break;
        case TImageDecodeStatus::OutOfMemory:
            Message = "Not enough memory is available for the image.";
            break;
        }
    } catch (const std::bad_alloc&) {
        Message = "Not enough memory is available for the image.";
    } catch (const std::exception& e) {
        Message = "The image could not be decoded: " + std::string(e.what());
    }
    if (Message.empty())
        Message = "The image could not be loaded.";
    return nullptr;
}
