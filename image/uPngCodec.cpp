// PNG reading and writing over libpng. libpng reports errors by longjmp, so every call
// that may fail runs inside a small function that holds only trivially destructible
// locals; the owning C++ objects live in the callers.
#include "image/uImageCodecsInternal.h"

#include <png.h>

#include <csetjmp>
#include <cstdio>
#include <cstring>
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
};

// Reads the chunks up to the image data and sets up the expansion to 8-bit RGBA.
bool PngReadHeader(png_structp Png, png_infop Info, TPngHeader& Header)
{
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_read_info(Png, Info);
    int bitDepth = 0, colorType = 0, interlace = 0;
    png_get_IHDR(Png, Info, &Header.Width, &Header.Height, &bitDepth, &colorType, &interlace,
                 nullptr, nullptr);
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
    return true;
}

bool PngReadRows(png_structp Png, png_bytepp Rows)
{
    if (setjmp(png_jmpbuf(Png)))
        return false;
    png_read_image(Png, Rows);
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
    png_set_sig_bytes(reader.Png, 8);

    TPngHeader header;
    if (!PngReadHeader(reader.Png, reader.Info, header))
        return Failed(io.Error);
    const TImageDecodeStatus sizeStatus = CheckImageSize(header.Width, header.Height, Limits);
    if (sizeStatus != TImageDecodeStatus::Ok)
        return WithStatus(sizeStatus);
    if (header.RowBytes != static_cast<std::size_t>(header.Width) * 4)
        return Failed("The PNG pixel format is not supported.");

    TImageDecodeResult result;
    auto image = AllocateDecodedImage(static_cast<std::int32_t>(header.Width),
                                      static_cast<std::int32_t>(header.Height), result);
    if (!image)
        return result;
    std::vector<png_bytep> rows;
    try {
        rows.resize(header.Height);
    } catch (const std::bad_alloc&) {
        return WithStatus(TImageDecodeStatus::OutOfMemory);
    }
    for (png_uint_32 y = 0; y < header.Height; ++y)
        rows[y] = reinterpret_cast<png_bytep>(image->Row(static_cast<std::int32_t>(y)));
    if (!PngReadRows(reader.Png, rows.data()))
        return Failed(io.Error);
    RgbaBytesToPixels(image->Pixels().data(), image->Pixels().size());
    result.Status = TImageDecodeStatus::Ok;
    result.Image = std::move(image);
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
