// PNG reading and writing over libpng. libpng reports errors by longjmp, so every call
// that may fail runs inside a small function that holds only trivially destructible
// locals; the owning C++ objects live in the callers.
#include "image/uImageCodecsInternal.h"

#include <png.h>

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

namespace ImageCodecDetail {
namespace {

struct TPngIo {
    TByteSource* Source = nullptr;
    // Bytes read ahead of libpng (the IHDR chunk), served to it first.
    png_byte Prefix[25] = {};
    std::size_t PrefixLength = 0;
    std::size_t PrefixPos = 0;
    TFileSink* Sink = nullptr;
    char Error[256] = {};
};

void PngError(png_structp Png, png_const_charp Message)
{
    auto* io = static_cast<TPngIo*>(png_get_error_ptr(Png));
    if (io->Error[0] == '\0')
        std::snprintf(io->Error, sizeof io->Error, "%s", Message ? Message : "PNG error");
    png_longjmp(Png, 1);
}

void PngWarning(png_structp, png_const_charp) {}

void PngRead(png_structp Png, png_bytep Data, std::size_t Length)
{
    auto* io = static_cast<TPngIo*>(png_get_io_ptr(Png));
    while (Length > 0 && io->PrefixPos < io->PrefixLength) {
        *Data++ = io->Prefix[io->PrefixPos++];
        --Length;
    }
    if (Length > 0 && io->Source->Read(Data, Length) != Length)
        png_error(Png, "The PNG file is truncated.");
}

void PngWrite(png_structp Png, png_bytep Data, std::size_t Length)
{
    auto* io = static_cast<TPngIo*>(png_get_io_ptr(Png));
    if (!io->Sink->Write(Data, Length))
        png_error(Png, "The PNG file could not be written.");
}

void PngFlush(png_structp Png)
{
    auto* io = static_cast<TPngIo*>(png_get_io_ptr(Png));
    if (!io->Sink->Flush())
        png_error(Png, "The PNG file could not be written.");
}

struct TPngHeader {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    std::size_t RowBytes = 0;
    std::uint64_t InflatedBytes = 0;  // all of the image's rows
    std::uint64_t BitsPerPixel = 0;   // as stored
};

// Sets up the expansion to 8-bit RGBA once the chunks before the image data are read.
void PngSetTransforms(png_structp Png, png_infop Info, TPngHeader& Header)
{
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(Png, Info, &Header.Width, &Header.Height, &bitDepth, &colorType, &interlace,
                 nullptr, nullptr);
    Header.BitsPerPixel = static_cast<std::uint64_t>(png_get_channels(Png, Info)) * bitDepth;
    Header.InflatedBytes = PngInflatedBytes(Header.Width, Header.Height, Header.BitsPerPixel,
                                            interlace != PNG_INTERLACE_NONE);
    // Dropping the low byte keeps the high byte exactly (no rounding).
    png_set_strip_16(Png);
    png_set_packing(Png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(Png);
    if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8)
        png_set_expand_gray_1_2_4_to_8(Png);
    if (png_get_valid(Png, Info, PNG_INFO_tRNS))
        png_set_tRNS_to_alpha(Png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(Png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(Png, Info, PNG_INFO_tRNS))
        png_set_filler(Png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(Png);
    png_read_update_info(Png, Info);
    Header.RowBytes = png_get_rowbytes(Png, Info);
}

// The image is read progressively, fed from the file a block at a time: libpng then
// inflates only what the image's rows need and skips any data past them, where the
// sequential reader would inflate a stream of any length to its end.
struct TPngProgress {
    const TImageSizeLimits* Limits = nullptr;
    TImageDecodeResult* Result = nullptr;
    TPngHeader Header;
    std::unique_ptr<TRgbaImage>* Image = nullptr;
    bool Refused = false;  // Result's status says why
    bool Ended = false;
    // Rows handed over in the last pass (the only pass when not interlaced).
    png_uint_32 LastRows = 0;
    int Passes = 1;
    std::uint64_t Inflated = 0;  // the rows delivered so far, as stored with their filter bytes
};

void PngInfoReady(png_structp Png, png_infop Info)
{
    auto* p = static_cast<TPngProgress*>(png_get_progressive_ptr(Png));
    PngSetTransforms(Png, Info, p->Header);
    int interlace = png_get_interlace_type(Png, Info);
    p->Passes = interlace != PNG_INTERLACE_NONE ? 7 : 1;
    const TImageDecodeStatus size = CheckImageSize(p->Header.Width, p->Header.Height, *p->Limits);
    if (size != TImageDecodeStatus::Ok) {
        *p->Result = WithStatus(size);
    } else if (p->Header.InflatedBytes > p->Limits->MaxInflatedBytes) {
        // Refused before any image data is inflated: it cost nothing.
        *p->Result = WithStatus(TImageDecodeStatus::TooLarge);
        p->Result->OverBudget = true;
    } else if (p->Header.RowBytes != static_cast<std::size_t>(p->Header.Width) * 4) {
        *p->Result = Failed("The PNG pixel format is not supported.");
    } else {
        *p->Image = AllocateDecodedImage(static_cast<std::int32_t>(p->Header.Width),
                                         static_cast<std::int32_t>(p->Header.Height), *p->Result);
        if (*p->Image)
            return;
    }
    p->Refused = true;
    png_error(Png, "refused");
}

void PngRowReady(png_structp Png, png_bytep NewRow, png_uint_32 RowNumber, int Pass)
{
    auto* p = static_cast<TPngProgress*>(png_get_progressive_ptr(Png));
    if (RowNumber >= p->Header.Height)
        return;
    if (NewRow) {
        const std::uint64_t columns =
            p->Passes > 1 ? PNG_PASS_COLS(p->Header.Width, Pass) : p->Header.Width;
        p->Inflated += (columns * p->Header.BitsPerPixel + 7) / 8 + 1;
    }
    if (NewRow)
        png_progressive_combine_row(
            Png,
            reinterpret_cast<png_bytep>((*p->Image)->Row(static_cast<std::int32_t>(RowNumber))),
            NewRow);
    if (Pass == p->Passes - 1)
        p->LastRows = RowNumber + 1;
}

void PngEnded(png_structp Png, png_infop)
{
    static_cast<TPngProgress*>(png_get_progressive_ptr(Png))->Ended = true;
}

bool PngFeed(png_structp Png, png_infop Info, png_bytep Data, std::size_t Length)
{
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_process_data(Png, Info, Data, Length);
    return true;
}

bool PngWriteAll(png_structp Png, png_infop Info, png_uint_32 Width, png_uint_32 Height,
                 bool Opaque, png_bytepp Rows)
{
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_set_IHDR(Png, Info, Width, Height, 8, Opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(Png, Info);
    if (Opaque)
        png_set_filler(Png, 0, PNG_FILLER_AFTER);  // on writing: drops the alpha byte
    png_write_image(Png, Rows);
    png_write_end(Png, nullptr);
    return true;
}

class TPngReader {
public:
    explicit TPngReader(TPngIo& Io)
    {
        Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &Io, PngError, PngWarning);
        if (Png)
            Info = png_create_info_struct(Png);
        if (Png && Info) {
            png_set_read_fn(Png, &Io, PngRead);
            // Our own limits decide the size; libpng's defaults would refuse earlier,
            // with a message of their own.
            png_set_user_limits(Png, 0x7FFFFFFF, 0x7FFFFFFF);
        }
    }
    ~TPngReader() { png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr); }
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
};

class TPngWriter {
public:
    explicit TPngWriter(TPngIo& Io)
    {
        Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &Io, PngError, PngWarning);
        if (Png)
            Info = png_create_info_struct(Png);
        if (Png && Info)
            png_set_write_fn(Png, &Io, PngWrite, PngFlush);
    }
    ~TPngWriter() { png_destroy_write_struct(&Png, Info ? &Info : nullptr); }
    TPngWriter(const TPngWriter&) = delete;
    TPngWriter& operator=(const TPngWriter&) = delete;
    png_structp Png = nullptr;
    png_infop Info = nullptr;
};

}  // namespace

std::uint64_t PngInflatedBytes(std::uint32_t Width, std::uint32_t Height,
                               std::uint64_t BitsPerPixel, bool Interlaced)
{
    const std::uint64_t rawRow = (Width * BitsPerPixel + 7) / 8;
    return std::uint64_t{Height} * (rawRow + (Interlaced ? 15 : 1));
}

namespace {

// Reads a source ahead a page at a time, so that the headers of small chunks cost no
// call to the source each, while a large chunk is skipped by a seek.
class TReadAhead {
public:
    explicit TReadAhead(TByteSource& Source) : Source(Source) {}
    bool Read(void* Out, std::size_t Count)
    {
        auto* out = static_cast<std::uint8_t*>(Out);
        while (Count > 0) {
            if (Pos == Length) {
                Pos = 0;
                Length = Source.Read(Block, sizeof Block);
                if (Length == 0)
                    return false;
            }
            const std::size_t n = std::min(Count, Length - Pos);
            std::memcpy(out, Block + Pos, n);
            out += n;
            Pos += n;
            Count -= n;
        }
        return true;
    }
    bool Skip(std::uint64_t Count)
    {
        if (Count <= Length - Pos) {
            Pos += static_cast<std::size_t>(Count);
            return true;
        }
        Count -= Length - Pos;
        Pos = Length = 0;
        return Source.Skip(Count);
    }

private:
    TByteSource& Source;
    std::uint8_t Block[4096];
    std::size_t Pos = 0;
    std::size_t Length = 0;
};

bool IsChunkType(const png_byte* Type)
{
    return std::all_of(Type, Type + 4,
                       [](png_byte c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); });
}

}  // namespace

TPngChunkWalk WalkPngChunks(TByteSource& Source, const TImageSizeLimits& Limits)
{
    TReadAhead in(Source);
    png_byte signature[8];
    if (!in.Read(signature, 8) || png_sig_cmp(signature, 0, 8) != 0)
        return TPngChunkWalk::LeftToDecoder;
    // IHDR comes first; what it declares bounds the walk. A missing or damaged one, or
    // a size past the limits, the decoder refuses at once.
    png_byte head[8], ihdr[13 + 4];
    if (!in.Read(head, 8) || std::memcmp(head + 4, "IHDR", 4) != 0 || png_get_uint_32(head) != 13 ||
        !in.Read(ihdr, sizeof ihdr))
        return TPngChunkWalk::LeftToDecoder;
    const std::uint32_t width = png_get_uint_32(ihdr), height = png_get_uint_32(ihdr + 4);
    const int depth = ihdr[8], colorType = ihdr[9];
    const int channels = colorType == 0 || colorType == 3 ? 1
                         : colorType == 2                 ? 3
                         : colorType == 4                 ? 2
                         : colorType == 6                 ? 4
                                                          : 0;
    if (channels == 0 || depth < 1 || depth > 16 ||
        CheckImageSize(width, height, Limits) != TImageDecodeStatus::Ok)
        return TPngChunkWalk::LeftToDecoder;
    const bool interlaced = ihdr[12] != 0;
    // Encoders write the image data in chunks of kilobytes, some one per row and pass;
    // a file with more chunks than that holds no image that needs them.
    const std::uint64_t bound =
        kPngChunksBeyondImage + std::uint64_t{height} * (interlaced ? 7 : 1) +
        PngInflatedBytes(width, height, std::uint64_t(channels) * depth, interlaced) / 1024;
    for (std::uint64_t chunks = 1;; ++chunks) {
        // A file that stops at a chunk's start, or without IEND, or with what is not a
        // chunk, is left to the decoder, which says what is wrong.
        if (!in.Read(head, 8) || !IsChunkType(head + 4))
            return TPngChunkWalk::LeftToDecoder;
        if (std::memcmp(head + 4, "IEND", 4) == 0)
            return TPngChunkWalk::Whole;
        if (chunks >= bound)
            return TPngChunkWalk::TooManyChunks;
        if (!in.Skip(std::uint64_t{png_get_uint_32(head)} + 4))  // the data and its CRC
            return TPngChunkWalk::RunsPastEnd;
    }
}

TImageDecodeResult DecodePng(TByteSource& Source, const TImageSizeLimits& Limits)
{
    png_byte signature[8] = {};
    if (Source.Read(signature, 8) != 8 || png_sig_cmp(signature, 0, 8) != 0)
        return Failed("The file is not a PNG image.");
    TPngIo io;
    io.Source = &Source;
    // IHDR must come first. Its size is checked here, before libpng reads on: a file
    // that claims a huge image is refused even when nothing follows the header.
    io.PrefixLength = Source.Read(io.Prefix, sizeof io.Prefix);
    if (io.PrefixLength == sizeof io.Prefix && std::memcmp(io.Prefix + 4, "IHDR", 4) == 0) {
        const auto be32 = [&](int at) {
            return (png_uint_32(io.Prefix[at]) << 24) | (png_uint_32(io.Prefix[at + 1]) << 16) |
                   (png_uint_32(io.Prefix[at + 2]) << 8) | png_uint_32(io.Prefix[at + 3]);
        };
        const png_uint_32 width = be32(8), height = be32(12);
        // Zero sides are left to libpng, which names the fault.
        if (width > 0 && height > 0 &&
            CheckImageSize(width, height, Limits) == TImageDecodeStatus::TooLarge)
            return WithStatus(TImageDecodeStatus::TooLarge);
    }
    TPngReader reader(io);
    if (!reader.Png || !reader.Info)
        return WithStatus(TImageDecodeStatus::OutOfMemory);
    TImageDecodeResult result;
    std::unique_ptr<TRgbaImage> image;
    TPngProgress progress;
    progress.Limits = &Limits;
    progress.Result = &result;
    progress.Image = &image;
    png_set_progressive_read_fn(reader.Png, &progress, PngInfoReady, PngRowReady, PngEnded);
    // The signature and the bytes read ahead go first, as read.
    png_byte start[8 + sizeof io.Prefix];
    std::memcpy(start, signature, 8);
    std::memcpy(start + 8, io.Prefix, io.PrefixLength);
    bool fed = PngFeed(reader.Png, reader.Info, start, 8 + io.PrefixLength);
    std::vector<png_byte> block;
    try {
        block.resize(65536);
    } catch (const std::bad_alloc&) {
        return WithStatus(TImageDecodeStatus::OutOfMemory);
    }
    while (fed && !progress.Ended) {
        const std::size_t n = Source.Read(block.data(), block.size());
        if (n == 0)
            break;
        fed = PngFeed(reader.Png, reader.Info, block.data(), n);
    }
    if (progress.Refused)
        return result;
    // With the interlace handling libpng hands over every row of the image in each pass,
    // the rows a pass does not hold without data, so the last pass ends at the last row
    // whatever the size. The file's end (IEND) says nothing: the compressed data may stop
    // before the last pass and libpng only warns.
    if (!fed || !image || progress.LastRows < progress.Header.Height) {
        // What was inflated and decoded before the fault is still work done.
        result = Failed(!fed ? std::string(io.Error) : "The PNG file is truncated.");
        result.InflatedBytes = progress.Inflated;
        result.DecodedPixels =
            static_cast<std::uint64_t>(progress.LastRows) * progress.Header.Width;
        return result;
    }
    RgbaBytesToPixels(image->Pixels().data(), image->Pixels().size());
    result.Status = TImageDecodeStatus::Ok;
    result.Image = std::move(image);
    result.InflatedBytes = progress.Header.InflatedBytes;  // what the limit was checked against
    result.DecodedPixels =
        static_cast<std::uint64_t>(progress.Header.Width) * progress.Header.Height;
    return result;
}

bool EncodePng(const TRgbaImage& Image, TFileSink& Sink, std::string& Message)
{
    TPngIo io;
    io.Sink = &Sink;
    TPngWriter writer(io);
    if (!writer.Png || !writer.Info) {
        Message = "Not enough memory is available to write the PNG file.";
        return false;
    }
    // libpng wants R, G, B, A bytes; on a little-endian machine the pixels already are.
    const TRgbaImage* source = &Image;
    TRgbaImage converted;
    if constexpr (std::endian::native == std::endian::big) {
        converted = Image;
        RgbaBytesToPixels(converted.Pixels().data(), converted.Pixels().size());
        source = &converted;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(Image.Height()));
    for (std::int32_t y = 0; y < Image.Height(); ++y)
        rows[static_cast<std::size_t>(y)] =
            reinterpret_cast<png_bytep>(const_cast<TRgbaPixel*>(source->Row(y)));
    if (!PngWriteAll(writer.Png, writer.Info, static_cast<png_uint_32>(Image.Width()),
                     static_cast<png_uint_32>(Image.Height()), ImageIsOpaque(Image), rows.data())) {
        Message = !Sink.Error().empty() ? Sink.Error() : std::string(io.Error);
        return false;
    }
    return true;
}

}  // namespace ImageCodecDetail
