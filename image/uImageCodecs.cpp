#include "image/uImageCodecs.h"

#include "image/uImageCodecsInternal.h"

#include "base/uHugePages.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>

#include <unistd.h>

namespace ImageCodecDetail {

std::size_t TMemorySource::Read(void* Buffer, std::size_t Count)
{
    const std::size_t n = std::min(Count, FSize - FPos);
    if (n > 0)
        std::memcpy(Buffer, FData + FPos, n);
    FPos += n;
    return n;
}

bool TMemorySource::Skip(std::uint64_t Count)
{
    if (Count > FSize - FPos)
        return false;
    FPos += static_cast<std::size_t>(Count);
    return true;
}

TFileSource::TFileSource(const std::string& FileName)
{
    FFile = std::fopen(FileName.c_str(), "rb");
    if (!FFile) {
        FOpenError = std::strerror(errno);
        return;
    }
    if (fseeko(FFile, 0, SEEK_END) != 0 || ftello(FFile) < 0) {
        FOpenError = std::strerror(errno);
        std::fclose(FFile);
        FFile = nullptr;
        return;
    }
    FSize = static_cast<std::uint64_t>(ftello(FFile));
    fseeko(FFile, 0, SEEK_SET);
}

bool TFileSource::Rewind()
{
    if (!FFile || fseeko(FFile, 0, SEEK_SET) != 0)
        return false;
    FPos = 0;
    return true;
}

TFileSource::~TFileSource()
{
    if (FFile)
        std::fclose(FFile);
}

std::size_t TFileSource::Read(void* Buffer, std::size_t Count)
{
    if (!FFile || Count == 0)
        return 0;
    const std::size_t n = std::fread(Buffer, 1, Count, FFile);
    FPos += n;
    return n;
}

bool TFileSource::Skip(std::uint64_t Count)
{
    if (!FFile || Count > FSize - std::min(FPos, FSize))
        return false;
    if (fseeko(FFile, static_cast<off_t>(FPos + Count), SEEK_SET) != 0)
        return false;
    FPos += Count;
    return true;
}

TFileSink::TFileSink(const std::string& FileName) : FFileName(FileName)
{
    FFile = std::fopen(FileName.c_str(), "wb");
    if (!FFile)
        FError = "The file could not be created: " + std::string(std::strerror(errno));
}

TFileSink::TFileSink(int Fd)
{
    const int own = ::dup(Fd);
    FFile = own >= 0 ? ::fdopen(own, "wb") : nullptr;
    if (!FFile) {
        FError = "The file could not be written: " + std::string(std::strerror(errno));
        if (own >= 0)
            ::close(own);
    }
}

TFileSink::~TFileSink()
{
    if (!FFinished && FFile) {
        std::fclose(FFile);
        if (!FFileName.empty())
            std::remove(FFileName.c_str());
    }
}

void TFileSink::Fail(const char* What)
{
    if (FError.empty())
        FError = std::string(What) + std::strerror(errno);
}

bool TFileSink::Write(const void* Data, std::size_t Count)
{
    if (!FFile || !FError.empty())
        return false;
    if (Count > 0 && std::fwrite(Data, 1, Count, FFile) != Count) {
        Fail("The file could not be written: ");
        return false;
    }
    return true;
}

bool TFileSink::Flush()
{
    if (!FFile || !FError.empty())
        return false;
    if (std::fflush(FFile) != 0) {
        Fail("The file could not be written: ");
        return false;
    }
    return true;
}

bool TFileSink::Finish()
{
    if (!FFile)
        return false;
    const bool written = FError.empty() && std::fflush(FFile) == 0;
    if (!written)
        Fail("The file could not be written: ");
    const bool closed = std::fclose(FFile) == 0;
    if (written && !closed)
        Fail("The file could not be written: ");
    FFile = nullptr;
    FFinished = true;
    if (!written || !closed) {
        if (!FFileName.empty())
            std::remove(FFileName.c_str());
        return false;
    }
    return true;
}

std::unique_ptr<TRgbaImage> AllocateDecodedImage(std::int32_t Width, std::int32_t Height,
                                                 TImageDecodeResult& Result)
{
    try {
        // Zeroed after the advice, so that a large image faults in huge pages rather than
        // one small page at a time.
        auto image = std::make_unique<TRgbaImage>(Width, Height, TRgbaImage::TUninitialized{});
        const std::span<TRgbaPixel> pixels = image->Pixels();
        AdviseHugePages(pixels.data(), pixels.size_bytes());
        if (!pixels.empty())
            std::memset(pixels.data(), 0, pixels.size_bytes());
        return image;
    } catch (const std::bad_alloc&) {
    } catch (const EOutOfMemory&) {
    }
    Result = WithStatus(TImageDecodeStatus::OutOfMemory);
    return nullptr;
}

TImageDecodeResult Failed(std::string Message)
{
    TImageDecodeResult r;
    r.Status = TImageDecodeStatus::DecodeFailed;
    r.Message = std::move(Message);
    return r;
}

TImageDecodeResult WithStatus(TImageDecodeStatus Status)
{
    TImageDecodeResult r;
    r.Status = Status;
    return r;
}

bool ImageIsOpaque(const TRgbaImage& Image)
{
    return std::all_of(Image.Pixels().begin(), Image.Pixels().end(),
                       [](TRgbaPixel p) { return PixelAlpha(p) == 0xFF; });
}

}  // namespace ImageCodecDetail

using namespace ImageCodecDetail;

TImageFileKind ImageFileKindFromName(const std::string& FileName)
{
    const std::size_t slash = FileName.find_last_of('/');
    const std::size_t dot = FileName.find_last_of('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return TImageFileKind::Unknown;
    std::string ext = FileName.substr(dot);
    for (char& c : ext)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    if (ext == ".png")
        return TImageFileKind::Png;
    if (ext == ".jpg" || ext == ".jpeg")
        return TImageFileKind::Jpeg;
    if (ext == ".bmp")
        return TImageFileKind::Bmp;
    return TImageFileKind::Unknown;
}

TImageDecodeStatus CheckImageSize(std::int64_t Width, std::int64_t Height,
                                  const TImageSizeLimits& Limits)
{
    if (Width < 1 || Height < 1)
        return TImageDecodeStatus::NoPixels;
    if (Width > Limits.MaxSide || Height > Limits.MaxSide)
        return TImageDecodeStatus::TooLarge;
    // Both sides are below 2^31 here, so the product fits in 64 bits.
    const auto bytes = static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height) * 4u;
    if (bytes > Limits.MaxBytes ||
        static_cast<std::uint64_t>(Width) * static_cast<std::uint64_t>(Height) >
            static_cast<std::uint64_t>(TRgbaImage::MaxPixelCount))
        return TImageDecodeStatus::TooLarge;
    return TImageDecodeStatus::Ok;
}

namespace ImageCodecDetail {

TImageDecodeResult DecodeSource(TByteSource& Source, TImageFileKind Kind,
                                const TImageSizeLimits& Limits)
{
    if (Kind == TImageFileKind::Png) {
        const TPngChunkWalk walk = WalkPngChunks(Source, Limits);
        if (walk == TPngChunkWalk::RunsPastEnd)
            return Failed("The PNG file is truncated.");
        if (walk == TPngChunkWalk::TooManyChunks)
            return Failed("The PNG file has more chunks than its image could need.");
        if (!Source.Rewind())
            return Failed("The file could not be read again.");
    }
    switch (Kind) {
    case TImageFileKind::Png:
        return DecodePng(Source, Limits);
    case TImageFileKind::Jpeg:
        return DecodeJpeg(Source, Limits);
    case TImageFileKind::Bmp: {
        TImageDecodeResult result = DecodeBmp(Source, Limits);
        if (result.Image)
            result.DecodedPixels = static_cast<std::uint64_t>(result.Image->Width()) *
                                   static_cast<std::uint64_t>(result.Image->Height());
        return result;
    }
    case TImageFileKind::Unknown:
        break;
    }
    return Failed("The image format is not supported.");
}

}  // namespace ImageCodecDetail

TImageDecodeResult DecodeImageFile(const std::string& FileName, TImageFileKind Kind,
                                   const TImageSizeLimits& Limits)
{
    TFileSource source(FileName);
    if (!source.IsOpen())
        return Failed("The file could not be opened: " + source.OpenError());
    return DecodeSource(source, Kind, Limits);
}

TImageDecodeResult DecodeImageMemory(const void* Data, std::size_t Size, TImageFileKind Kind,
                                     const TImageSizeLimits& Limits)
{
    TMemorySource source(Data, Size);
    return DecodeSource(source, Kind, Limits);
}

template <typename TTarget>
static bool WriteImageFile(const TRgbaImage& Image, const TTarget& Target, std::string& Message,
                           bool (*Encode)(const TRgbaImage&, TFileSink&, std::string&))
{
    Message.clear();
    if (Image.IsEmpty()) {
        Message = "The image has no pixels to save.";
        return false;
    }
    TFileSink sink(Target);
    if (!sink.IsOpen()) {
        Message = sink.Error();
        return false;
    }
    if (!Encode(Image, sink, Message)) {
        if (Message.empty())
            Message = sink.Error();
        return false;
    }
    if (!sink.Finish()) {
        Message = sink.Error();
        return false;
    }
    return true;
}

bool WritePngFile(const TRgbaImage& Image, const std::string& FileName, std::string& Message)
{
    return WriteImageFile(Image, FileName, Message, EncodePng);
}

bool WriteBmpFile(const TRgbaImage& Image, const std::string& FileName, std::string& Message)
{
    return WriteImageFile(Image, FileName, Message, EncodeBmp);
}

bool WritePngToDescriptor(const TRgbaImage& Image, int Fd, std::string& Message)
{
    return WriteImageFile(Image, Fd, Message, EncodePng);
}

bool WriteBmpToDescriptor(const TRgbaImage& Image, int Fd, std::string& Message)
{
    return WriteImageFile(Image, Fd, Message, EncodeBmp);
}
