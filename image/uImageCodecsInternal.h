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
    // Back to the first byte; false when that fails.
    virtual bool Rewind() = 0;
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
    bool Rewind() override
    {
        FPos = 0;
        return true;
    }

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
    bool Rewind() override;

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
// The image data a PNG inflates to: per row a filter byte and the packed samples;
// interlaced, each of the seven passes adds at most a filter byte and a partly used byte.
std::uint64_t PngInflatedBytes(std::uint32_t Width, std::uint32_t Height,
                               std::uint64_t BitsPerPixel, bool Interlaced);
// Chunks a PNG may hold besides one per row (and pass) and one per KiB of its image data.
constexpr std::uint64_t kPngChunksBeyondImage = 4096;
enum class TPngChunkWalk {
    Whole,          // every chunk within the file, up to IEND
    RunsPastEnd,    // a chunk claims more bytes than the file has left: its end was cut off
    TooManyChunks,  // more chunks than the image could need (see kPngChunksBeyondImage)
    LeftToDecoder,  // not a PNG, no IHDR first, a size past the limits, not a chunk, no IEND
};
// Walks a PNG's chunk headers without reading their data, so that a cut file is refused
// before anything is inflated. The signature is tested first, the walk stops at the first
// chunk whose type is not four ASCII letters, and the number of headers read is bounded
// by the image IHDR declares: they cost a small fraction of decoding it.
TPngChunkWalk WalkPngChunks(TByteSource& Source, const TImageSizeLimits& Limits);
// Every decode goes through here: the walk for a PNG, then the decoder from the start.
TImageDecodeResult DecodeSource(TByteSource& Source, TImageFileKind Kind,
                                const TImageSizeLimits& Limits);
// libjpeg looks for the next marker byte by byte, skipping whatever else it meets, and
// walks any number of markers before and between the scans. What it is handed for one
// scan, with the markers and stray bytes before it, is bounded: the markers by a fixed
// amount, far beyond what cameras and editors write, and a scan's data by what its
// samples could take coded (under 4 bytes each, twice that with every byte stuffed).
// Past that the file is refused.
constexpr std::uint64_t kJpegMarkerBytes = std::uint64_t{16} << 20;
constexpr std::uint64_t kJpegBytesPerSample = 8;
TImageDecodeResult DecodeJpeg(TByteSource& Source, const TImageSizeLimits& Limits);
TImageDecodeResult DecodeBmp(TByteSource& Source, const TImageSizeLimits& Limits);
bool EncodePng(const TRgbaImage& Image, TFileSink& Sink, std::string& Message);
bool EncodeBmp(const TRgbaImage& Image, TFileSink& Sink, std::string& Message);

}  // namespace ImageCodecDetail
