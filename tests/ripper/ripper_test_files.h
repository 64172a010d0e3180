#pragma once
// Helpers for the ripper tests: a scratch folder, raw file writing, and small images
// encoded by libpng and libjpeg directly (so the readers are checked against the
// libraries, not against our own writers).
#include "image/uTextureRipperImage.h"

#include <gtest/gtest.h>

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <png.h>
#include <zlib.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace RipperTest {

using TBytes = std::vector<std::uint8_t>;

class TScratchDir {
public:
    TScratchDir()
    {
        std::random_device rd;
        Path = std::filesystem::temp_directory_path() /
               ("quill_ripper_" + std::to_string(rd()) + "_" + std::to_string(rd()));
        std::filesystem::create_directories(Path);
    }
    ~TScratchDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    std::string File(const std::string& Name) const { return (Path / Name).string(); }
    std::filesystem::path Path;
};

inline void WriteBytes(const std::string& FileName, const TBytes& Bytes)
{
    std::ofstream out(FileName, std::ios::binary);
    out.write(reinterpret_cast<const char*>(Bytes.data()),
              static_cast<std::streamsize>(Bytes.size()));
}

inline TBytes ReadBytes(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    return TBytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// A pattern where every pixel differs, with varying alpha when Alpha is set.
inline TRgbaImage PatternImage(std::int32_t W, std::int32_t H, bool Alpha)
{
    TRgbaImage image(W, H);
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x)
            image.SetPixel(x, y,
                           MakeRgbaPixel(x * 37 + y, y * 53 + 7, (x ^ y) * 11,
                                         Alpha ? (x * 29 + y * 3) & 0xFF : 255));
    return image;
}

inline void ExpectSamePixels(const TRgbaImage& A, const TRgbaImage& B)
{
    ASSERT_EQ(A.Width(), B.Width());
    ASSERT_EQ(A.Height(), B.Height());
    for (std::int32_t y = 0; y < A.Height(); ++y)
        for (std::int32_t x = 0; x < A.Width(); ++x)
            ASSERT_EQ(A.GetPixel(x, y), B.GetPixel(x, y)) << "at " << x << ", " << y;
}

inline void PngToVector(png_structp Png, png_bytep Data, std::size_t Length)
{
    auto* out = static_cast<TBytes*>(png_get_io_ptr(Png));
    out->insert(out->end(), Data, Data + Length);
}

// Encodes raw rows (already in the PNG's own sample layout) with libpng.
inline TBytes EncodePngRaw(std::uint32_t W, std::uint32_t H, int BitDepth, int ColorType,
                           const std::vector<TBytes>& Rows,
                           const std::vector<png_color>& Palette = {}, const TBytes& Trns = {},
                           bool Interlaced = false)
{
    TBytes out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        ADD_FAILURE() << "libpng failed to encode the test image";
        return {};
    }
    png_set_write_fn(png, &out, PngToVector, nullptr);
    png_set_IHDR(png, info, W, H, BitDepth, ColorType,
                 Interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!Palette.empty())
        png_set_PLTE(png, info, Palette.data(), static_cast<int>(Palette.size()));
    if (!Trns.empty())
        png_set_tRNS(png, info, Trns.data(), static_cast<int>(Trns.size()), nullptr);
    png_write_info(png, info);
    const int passes = Interlaced ? png_set_interlace_handling(png) : 1;
    for (int pass = 0; pass < passes; ++pass)
        for (const TBytes& row : Rows)
            png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return out;
}

// A PNG signature and an IHDR chunk claiming Width x Height, then nothing more.
inline TBytes PngHeaderOnly(std::uint32_t Width, std::uint32_t Height)
{
    TBytes out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n', 0, 0, 0, 13, 'I', 'H', 'D', 'R'};
    for (std::uint32_t v : {Width, Height})
        for (int s = 24; s >= 0; s -= 8)
            out.push_back(static_cast<std::uint8_t>(v >> s));
    out.insert(out.end(), {8, 6, 0, 0, 0});  // 8-bit RGBA, no interlace
    const uLong crc = crc32(0, out.data() + 12, 17);
    for (int s = 24; s >= 0; s -= 8)
        out.push_back(static_cast<std::uint8_t>(crc >> s));
    return out;
}

// Encodes R, G, B bytes (one grey byte per pixel with Grey, four CMYK bytes with Cmyk)
// with libjpeg at Quality (high by default), in progressive scans with Progressive. CMYK
// is written with an Adobe marker, as stored.
inline TBytes EncodeJpeg(std::uint32_t W, std::uint32_t H, bool Grey, const TBytes& Samples,
                         bool Cmyk = false, bool Progressive = false, int Quality = 100)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = W;
    cinfo.image_height = H;
    cinfo.input_components = Grey ? 1 : Cmyk ? 4 : 3;
    cinfo.in_color_space = Grey ? JCS_GRAYSCALE : Cmyk ? JCS_CMYK : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, Quality, TRUE);
    if (Progressive)
        jpeg_simple_progression(&cinfo);
    jpeg_start_compress(&cinfo, TRUE);
    const std::size_t stride = static_cast<std::size_t>(W) * cinfo.input_components;
    while (cinfo.next_scanline < H) {
        JSAMPROW row = const_cast<JSAMPLE*>(Samples.data() + cinfo.next_scanline * stride);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    TBytes out(buffer, buffer + size);
    jpeg_destroy_compress(&cinfo);
    std::free(buffer);
    return out;
}

// A progressive JPEG of a busy pattern (so each scan carries data).
inline TBytes EncodeProgressiveJpeg(std::uint32_t W, std::uint32_t H)
{
    TBytes samples(static_cast<std::size_t>(W) * H * 3);
    for (std::uint32_t y = 0; y < H; ++y)
        for (std::uint32_t x = 0; x < W; ++x) {
            std::uint8_t* p = samples.data() + (static_cast<std::size_t>(y) * W + x) * 3;
            p[0] = static_cast<std::uint8_t>(x * 13 + y * 7);
            p[1] = static_cast<std::uint8_t>((x ^ y) * 5);
            p[2] = static_cast<std::uint8_t>(x * y);
        }
    return EncodeJpeg(W, H, false, samples, false, true, 90);
}

// Sets the frame size in the first SOF0/SOF2 marker of a JPEG.
inline void PatchJpegSize(TBytes& Jpeg, std::uint16_t W, std::uint16_t H)
{
    for (std::size_t i = 2; i + 9 < Jpeg.size(); ++i) {
        if (Jpeg[i] == 0xFF && (Jpeg[i + 1] == 0xC0 || Jpeg[i + 1] == 0xC2)) {
            Jpeg[i + 5] = static_cast<std::uint8_t>(H >> 8);
            Jpeg[i + 6] = static_cast<std::uint8_t>(H);
            Jpeg[i + 7] = static_cast<std::uint8_t>(W >> 8);
            Jpeg[i + 8] = static_cast<std::uint8_t>(W);
            return;
        }
    }
    ADD_FAILURE() << "no frame header in the test JPEG";
}

// A BMP assembled field by field: file header, 40-byte info header (or a larger one
// padded with zeros), optional extra bytes (masks, palette), then the pixel rows.
struct TBmpSpec {
    std::int32_t Width = 0;
    std::int32_t Height = 0;
    std::uint16_t BitCount = 24;
    std::uint32_t Compression = 0;
    std::uint32_t HeaderSize = 40;
    std::uint32_t ColorsUsed = 0;
    TBytes Extra{};  // after the info header
    TBytes Pixels{};
};

inline void Put32(TBytes& b, std::size_t at, std::uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

inline TBytes MakeBmp(const TBmpSpec& s)
{
    TBytes b(14 + s.HeaderSize, 0);
    b[0] = 'B';
    b[1] = 'M';
    const std::uint32_t offset = 14 + s.HeaderSize + static_cast<std::uint32_t>(s.Extra.size());
    Put32(b, 2, offset + static_cast<std::uint32_t>(s.Pixels.size()));
    Put32(b, 10, offset);
    Put32(b, 14, s.HeaderSize);
    Put32(b, 18, static_cast<std::uint32_t>(s.Width));
    Put32(b, 22, static_cast<std::uint32_t>(s.Height));
    b[26] = 1;
    b[28] = static_cast<std::uint8_t>(s.BitCount);
    Put32(b, 30, s.Compression);
    Put32(b, 46, s.ColorsUsed);
    b.insert(b.end(), s.Extra.begin(), s.Extra.end());
    b.insert(b.end(), s.Pixels.begin(), s.Pixels.end());
    return b;
}

}  // namespace RipperTest
