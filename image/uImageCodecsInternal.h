#pragma once
// Shared plumbing of the image codecs: byte sources for files and memory, a file sink
// that removes what it wrote when the write fails, and the per-format entry points.
#include "image/uImageCodecs.h"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <string>

namespace ImageCodecDetail {

class TByteSource {
public:
    virtual ~TByteSource() = default;
    // Reads up to Count bytes; fewer only at the end of the data (or on a read error).
    virtual std::size_t Read(void* Buffer, std::size_t Count) = 0;
    virtual std::uint64_t Size() const = 0;
    virtual std::uint64_t Position() const = 0;
    // False when the skip would run past the end.
    virtual bool Skip(std::uint64_t Count) = 0;
};

class TMemorySource final : public TByteSource {
public:
    TMemorySource(const void* Data, std::size_t Size)
        : FData(static_cast<const std::uint8_t*>(Data)), FSize(Data ? Size : 0)
    {
    }
    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::uint64_t Size() const override { return FSize; }
    std::uint64_t Position() const override { return FPos; }
    bool Skip(std::uint64_t Count) override;

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPos = 0;
};

class TFileSource final : public TByteSource {
public:
    // Check IsOpen (and OpenError) before reading.
    explicit TFileSource(const std::string& FileName);
    ~TFileSource() override;
    TFileSource(const TFileSource&) = delete;
    TFileSource& operator=(const TFileSource&) = delete;
    bool IsOpen() const { return FFile != nullptr; }
    const std::string& OpenError() const { return FOpenError; }
    std::size_t Read(void* Buffer, std::size_t Count) override;
    std::uint64_t Size() const override { return FSize; }
    std::uint64_t Position() const override { return FPos; }
    bool Skip(std::uint64_t Count) override;

private:
    std::FILE* FFile = nullptr;
    std::uint64_t FSize = 0;
    std::uint64_t FPos = 0;
    std::string FOpenError;
};

// Writes a new file; Finish reports whether every byte reached the disk. A sink that
// is destroyed unfinished, or fails, deletes its file.
class TFileSink {
public:
    explicit TFileSink(const std::string& FileName);
    // Writes through a descriptor the caller opened and keeps (a duplicate is closed by
    // Finish); the file is the caller's to delete.
    explicit TFileSink(int Fd);
    ~TFileSink();
    TFileSink(const TFileSink&) = delete;
    TFileSink& operator=(const TFileSink&) = delete;
    bool IsOpen() const { return FFile != nullptr; }
    bool Write(const void* Data, std::size_t Count);
    bool Flush();
    bool Finish();
    // The reason of the first failure.
    const std::string& Error() const { return FError; }

private:
    void Fail(const char* What);
    std::string FFileName;
    std::FILE* FFile = nullptr;
    std::string FError;
    bool FFinished = false;
};

// Allocates the decoder's output; OutOfMemory in Result when that fails.
std::unique_ptr<TRgbaImage> AllocateDecodedImage(std::int32_t Width, std::int32_t Height,
                                                 TImageDecodeResult& Result);

TImageDecodeResult Failed(std::string Message);
TImageDecodeResult WithStatus(TImageDecodeStatus Status);

bool ImageIsOpaque(const TRgbaImage& Image);

// The codecs read and write R, G, B, A bytes; a pixel is a number with red lowest.
inline void RgbaBytesToPixels(TRgbaPixel* Row, std::size_t Count)
{
    if constexpr (std::endian::native == std::endian::big) {
        for (std::size_t i = 0; i < Count; ++i)
            Row[i] = __builtin_bswap32(Row[i]);
    }
}

TImageDecodeResult DecodePng(TByteSource& Source, const TImageSizeLimits& Limits);
// Walks a PNG's chunk headers without reading their data: true when a chunk claims more
// bytes than the file has left, as in a file whose end was cut off. Such a file is refused
// before anything is inflated.
bool PngChunkRunsPastEnd(TByteSource& Source);
TImageDecodeResult DecodeJpeg(TByteSource& Source, const TImageSizeLimits& Limits);
TImageDecodeResult DecodeBmp(TByteSource& Source, const TImageSizeLimits& Limits);
bool EncodePng(const TRgbaImage& Image, TFileSink& Sink, std::string& Message);
bool EncodeBmp(const TRgbaImage& Image, TFileSink& Sink, std::string& Message);

}  // namespace ImageCodecDetail
