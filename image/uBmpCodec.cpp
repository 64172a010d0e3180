// Our own BMP reader and writer. Reads uncompressed and bit-field images of 1, 4, 8,
// 16, 24 and 32 bits with the OS/2, Windows 3 and V2-V5 info headers; RLE compression
// is refused with a message. A 32-bit image without bit fields has no alpha channel.
#include "image/uImageCodecsInternal.h"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace ImageCodecDetail {
namespace {

constexpr std::uint32_t BiRgb = 0;
constexpr std::uint32_t BiRle8 = 1;
constexpr std::uint32_t BiRle4 = 2;
constexpr std::uint32_t BiBitFields = 3;
constexpr std::uint32_t BiAlphaBitFields = 6;

std::uint16_t Le16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}
std::uint32_t Le32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}
void Put16(std::uint8_t* p, std::uint32_t v)
{
    p[0] = static_cast<std::uint8_t>(v);
    p[1] = static_cast<std::uint8_t>(v >> 8);
}
void Put32(std::uint8_t* p, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One channel of a bit-field pixel, scaled to 0..255.
struct TChannelMask {
    std::uint32_t Mask = 0;
    int Shift = 0;
    std::uint32_t Max = 0;

    explicit TChannelMask(std::uint32_t M = 0) : Mask(M)
    {
        if (M == 0)
            return;
        Shift = std::countr_zero(M);
        Max = M >> Shift;
    }
    std::uint8_t Extract(std::uint32_t Pixel, std::uint8_t Absent) const
    {
        if (Mask == 0)
            return Absent;
        const std::uint64_t v = (Pixel & Mask) >> Shift;
        return static_cast<std::uint8_t>((v * 255 + Max / 2) / Max);
    }
};

struct TBmpInfo {
    std::int64_t Width = 0;
    std::int64_t Height = 0;  // positive: rows stored bottom-up
    bool TopDown = false;
    int BitCount = 0;
    std::uint32_t Compression = BiRgb;
    std::uint32_t ColorsUsed = 0;
    int PaletteEntrySize = 4;
    std::uint32_t Masks[4] = {};  // R, G, B, A
    bool HasMasks = false;
    std::uint32_t DataOffset = 0;
};

// Reads the file header, the info header and any masks after it.
std::string ReadBmpHeader(TByteSource& Source, TBmpInfo& Info)
{
    std::uint8_t file[14];
    if (Source.Read(file, 14) != 14)
        return "The BMP file is truncated.";
    if (file[0] != 'B' || file[1] != 'M')
        return "The file is not a BMP image.";
    Info.DataOffset = Le32(file + 10);

    std::uint8_t sizeBytes[4];
    if (Source.Read(sizeBytes, 4) != 4)
        return "The BMP file is truncated.";
    const std::uint32_t headerSize = Le32(sizeBytes);
    if (headerSize != 12 && (headerSize < 40 || headerSize > 124))
        return "The BMP header is not supported.";
    std::array<std::uint8_t, 124> h{};
    Put32(h.data(), headerSize);
    if (Source.Read(h.data() + 4, headerSize - 4) != headerSize - 4)
        return "The BMP file is truncated.";

    std::int64_t height = 0;
    if (headerSize == 12) {
        Info.Width = Le16(h.data() + 4);
        height = Le16(h.data() + 6);
        Info.BitCount = Le16(h.data() + 10);
        Info.PaletteEntrySize = 3;
    } else {
        Info.Width = static_cast<std::int32_t>(Le32(h.data() + 4));
        height = static_cast<std::int32_t>(Le32(h.data() + 8));
        Info.BitCount = Le16(h.data() + 14);
        Info.Compression = Le32(h.data() + 16);
        Info.ColorsUsed = Le32(h.data() + 32);
    }
    Info.TopDown = height < 0;
    Info.Height = height < 0 ? -height : height;
    if (Info.Width < 0)
        return "The BMP header is invalid.";

    if (Info.Compression == BiRle8 || Info.Compression == BiRle4)
        return "Compressed (RLE) BMP images are not supported.";
    if (Info.Compression != BiRgb && Info.Compression != BiBitFields &&
        Info.Compression != BiAlphaBitFields)
        return "The BMP compression is not supported.";
    const int bits = Info.BitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32)
        return "The BMP bit depth is not supported.";

    if (Info.Compression == BiBitFields || Info.Compression == BiAlphaBitFields) {
        if (bits != 16 && bits != 32)
            return "The BMP header is invalid.";
        const int maskCount = Info.Compression == BiAlphaBitFields ? 4 : 3;
        if (headerSize >= 52) {
            for (int i = 0; i < 4; ++i)
                Info.Masks[i] = (i < 3 || headerSize >= 56) ? Le32(h.data() + 40 + 4 * i) : 0;
        } else {
            std::uint8_t m[16];
            if (Source.Read(m, 4u * maskCount) != 4u * static_cast<unsigned>(maskCount))
                return "The BMP file is truncated.";
            for (int i = 0; i < maskCount; ++i)
                Info.Masks[i] = Le32(m + 4 * i);
        }
        Info.HasMasks = true;
    } else if (bits == 16) {
        Info.Masks[0] = 0x7C00;
        Info.Masks[1] = 0x03E0;
        Info.Masks[2] = 0x001F;
        Info.HasMasks = true;
    }
    return {};
}

std::string ReadPalette(TByteSource& Source, const TBmpInfo& Info, std::vector<TRgbaPixel>& Palette)
{
    if (Info.BitCount > 8)
        return {};
    const std::uint32_t maxColors = 1u << Info.BitCount;
    const std::uint32_t count =
        Info.ColorsUsed == 0 ? maxColors : std::min<std::uint32_t>(Info.ColorsUsed, maxColors);
    Palette.assign(maxColors, MakeRgbaPixel(0, 0, 0, 255));
    std::vector<std::uint8_t> raw(static_cast<std::size_t>(count) * Info.PaletteEntrySize);
    if (Source.Read(raw.data(), raw.size()) != raw.size())
        return "The BMP file is truncated.";
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint8_t* e = raw.data() + static_cast<std::size_t>(i) * Info.PaletteEntrySize;
        Palette[i] = MakeRgbaPixel(e[2], e[1], e[0], 255);
    }
    return {};
}

void ConvertRow(const std::uint8_t* In, TRgbaPixel* Out, std::int64_t Width, const TBmpInfo& Info,
                const std::vector<TRgbaPixel>& Palette, const TChannelMask (&Masks)[4])
{
    const int bits = Info.BitCount;
    for (std::int64_t x = 0; x < Width; ++x) {
        if (bits <= 8) {
            const std::int64_t bitPos = x * bits;
            const unsigned byte = In[bitPos / 8];
            const unsigned index = (byte >> (8 - bits - bitPos % 8)) & ((1u << bits) - 1);
            Out[x] = Palette[index];
        } else if (bits == 24) {
            const std::uint8_t* p = In + x * 3;
            Out[x] = MakeRgbaPixel(p[2], p[1], p[0], 255);
        } else if (bits == 32 && !Info.HasMasks) {
            const std::uint8_t* p = In + x * 4;
            Out[x] = MakeRgbaPixel(p[2], p[1], p[0], 255);
        } else {
            const std::uint32_t v = bits == 16 ? Le16(In + x * 2) : Le32(In + x * 4);
            Out[x] = MakeRgbaPixel(Masks[0].Extract(v, 0), Masks[1].Extract(v, 0),
                                   Masks[2].Extract(v, 0), Masks[3].Extract(v, 255));
        }
    }
}

}  // namespace

TImageDecodeResult DecodeBmp(TByteSource& Source, const TImageSizeLimits& Limits)
{
    TBmpInfo info;
    std::string error = ReadBmpHeader(Source, info);
    if (!error.empty())
        return Failed(error);
    const TImageDecodeStatus sizeStatus = CheckImageSize(info.Width, info.Height, Limits);
    if (sizeStatus != TImageDecodeStatus::Ok)
        return WithStatus(sizeStatus);

    std::vector<TRgbaPixel> palette;
    error = ReadPalette(Source, info, palette);
    if (!error.empty())
        return Failed(error);
    if (info.DataOffset < Source.Position())
        return Failed("The BMP header is invalid.");
    const std::uint64_t stride =
        ((static_cast<std::uint64_t>(info.Width) * info.BitCount + 31) / 32) * 4;
    // Checked before the pixels are allocated, so a short file costs nothing.
    if (info.DataOffset + stride * static_cast<std::uint64_t>(info.Height) > Source.Size())
        return Failed("The BMP file is truncated.");
    if (!Source.Skip(info.DataOffset - Source.Position()))
        return Failed("The BMP file is truncated.");

    TImageDecodeResult result;
    auto image = AllocateDecodedImage(static_cast<std::int32_t>(info.Width),
                                      static_cast<std::int32_t>(info.Height), result);
    if (!image)
        return result;
    const TChannelMask masks[4] = {TChannelMask(info.Masks[0]), TChannelMask(info.Masks[1]),
                                   TChannelMask(info.Masks[2]), TChannelMask(info.Masks[3])};
    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride));
    for (std::int64_t i = 0; i < info.Height; ++i) {
        if (Source.Read(row.data(), row.size()) != row.size())
            return Failed("The BMP file is truncated.");
        const std::int64_t y = info.TopDown ? i : info.Height - 1 - i;
        ConvertRow(row.data(), image->Row(static_cast<std::int32_t>(y)), info.Width, info, palette,
                   masks);
    }
    result.Status = TImageDecodeStatus::Ok;
    result.Image = std::move(image);
    return result;
}

bool EncodeBmp(const TRgbaImage& Image, TFileSink& Sink, std::string& Message)
{
    const bool opaque = ImageIsOpaque(Image);
    const std::uint32_t headerSize = opaque ? 40 : 108;  // V4 header carries the alpha mask
    const int bytesPerPixel = opaque ? 3 : 4;
    const std::uint64_t stride =
        ((static_cast<std::uint64_t>(Image.Width()) * bytesPerPixel + 3) / 4) * 4;
    const std::uint64_t dataSize = stride * static_cast<std::uint64_t>(Image.Height());
    const std::uint64_t fileSize = 14 + headerSize + dataSize;
    if (fileSize > 0xFFFFFFFFu) {
        Message = "The image is too large for a BMP file.";
        return false;
    }

    std::vector<std::uint8_t> header(14 + headerSize, 0);
    std::uint8_t* f = header.data();
    f[0] = 'B';
    f[1] = 'M';
    Put32(f + 2, static_cast<std::uint32_t>(fileSize));
    Put32(f + 10, 14 + headerSize);
    std::uint8_t* h = f + 14;
    Put32(h, headerSize);
    Put32(h + 4, static_cast<std::uint32_t>(Image.Width()));
    Put32(h + 8, static_cast<std::uint32_t>(Image.Height()));  // bottom-up
    Put16(h + 12, 1);
    Put16(h + 14, static_cast<std::uint32_t>(bytesPerPixel * 8));
    Put32(h + 16, opaque ? BiRgb : BiBitFields);
    Put32(h + 20, static_cast<std::uint32_t>(dataSize));
    Put32(h + 24, 2835);  // 72 dpi
    Put32(h + 28, 2835);
    if (!opaque) {
        Put32(h + 40, 0x00FF0000);
        Put32(h + 44, 0x0000FF00);
        Put32(h + 48, 0x000000FF);
        Put32(h + 52, 0xFF000000);
        Put32(h + 56, 0x73524742);  // 'sRGB'
    }
    if (!Sink.Write(header.data(), header.size()))
        return false;

    std::vector<std::uint8_t> row(static_cast<std::size_t>(stride), 0);
    for (std::int32_t y = Image.Height() - 1; y >= 0; --y) {
        const TRgbaPixel* in = Image.Row(y);
        std::uint8_t* out = row.data();
        for (std::int32_t x = 0; x < Image.Width(); ++x, out += bytesPerPixel) {
            out[0] = PixelBlue(in[x]);
            out[1] = PixelGreen(in[x]);
            out[2] = PixelRed(in[x]);
            if (!opaque)
                out[3] = PixelAlpha(in[x]);
        }
        if (!Sink.Write(row.data(), row.size()))
            return false;
    }
    return true;
}

}  // namespace ImageCodecDetail
