#pragma once
// Writers of crafted image files for the tests and benchmarks that bound the work of
// decoding them.
#include <jpeglib.h>
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

// Appends V as four big-endian bytes, as PNG stores its numbers.
inline void PutBE32(std::vector<uint8_t>& Out, uint32_t V)
{
    for (int s = 24; s >= 0; s -= 8)
        Out.push_back(static_cast<uint8_t>(V >> s));
}

// Appends a PNG chunk: length, type, data and the CRC of type and data.
inline void PutPngChunk(std::vector<uint8_t>& Out, const char* Type,
                        const std::vector<uint8_t>& Data)
{
    PutBE32(Out, static_cast<uint32_t>(Data.size()));
    std::vector<uint8_t> body(Type, Type + 4);
    body.insert(body.end(), Data.begin(), Data.end());
    Out.insert(Out.end(), body.begin(), body.end());
    PutBE32(Out, static_cast<uint32_t>(crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// Writes a PNG chunk to a stream, its data read from where it lies.
inline void WritePngChunk(std::ofstream& Out, const char* Type, const uint8_t* Data, size_t Size)
{
    std::vector<uint8_t> head;
    PutBE32(head, static_cast<uint32_t>(Size));
    head.insert(head.end(), Type, Type + 4);
    uLong crc = crc32(0, head.data() + 4, 4);
    if (Size > 0)
        crc = crc32(crc, Data, static_cast<uInt>(Size));
    std::vector<uint8_t> tail;
    PutBE32(tail, static_cast<uint32_t>(crc));
    Out.write(reinterpret_cast<const char*>(head.data()), 8);
    Out.write(reinterpret_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    Out.write(reinterpret_cast<const char*>(tail.data()), 4);
}

// An 8-bit RGBA PNG whose image data is Inflated bytes of zeros, deflated and streamed
// to the file: exactly the image's rows when Inflated is 0, else as much as asked (a
// small file that inflates to gigabytes).
inline void WriteZeroPng(const std::string& Path, uint32_t Width, uint32_t Height,
                         uint64_t Inflated = 0)
{
    std::ofstream out(Path, std::ios::binary);
    const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    out.write(reinterpret_cast<const char*>(signature), 8);
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, Width);
    PutBE32(ihdr, Height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    WritePngChunk(out, "IHDR", ihdr.data(), ihdr.size());
    const uint64_t total = Inflated > 0 ? Inflated : uint64_t{Height} * (1 + uint64_t{Width} * 4);
    z_stream z{};
    deflateInit(&z, 9);
    std::vector<uint8_t> zeros(1 << 22, 0), buffer(1 << 20);
    for (uint64_t done = 0; done < total;) {
        const uint64_t n = std::min<uint64_t>(zeros.size(), total - done);
        done += n;
        z.next_in = zeros.data();
        z.avail_in = static_cast<uInt>(n);
        const int flush = done == total ? Z_FINISH : Z_NO_FLUSH;
        do {
            z.next_out = buffer.data();
            z.avail_out = static_cast<uInt>(buffer.size());
            deflate(&z, flush);
            if (buffer.size() > z.avail_out)
                WritePngChunk(out, "IDAT", buffer.data(), buffer.size() - z.avail_out);
        } while (z.avail_out == 0);
    }
    deflateEnd(&z);
    WritePngChunk(out, "IEND", nullptr, 0);
}

// An 8-bit RGBA Adam7-interlaced PNG whose image data holds only the first Passes of the
// seven passes (0: none), every pixel grey: a complete compressed stream that ends there,
// then IEND, as a cut or damaged file can be. With Passes 7 the image is whole.
inline std::vector<uint8_t> InterlacedPngOfPasses(uint32_t Width, uint32_t Height, int Passes)
{
    static const uint32_t kAdam7[7][4] = {{0, 0, 8, 8}, {4, 0, 8, 8}, {0, 4, 4, 8}, {2, 0, 4, 4},
                                          {0, 2, 2, 4}, {1, 0, 2, 2}, {0, 1, 1, 2}};
    std::vector<uint8_t> raw;
    for (int p = 0; p < Passes && p < 7; ++p) {
        const auto [x0, y0, dx, dy] = kAdam7[p];
        const uint32_t cols = Width > x0 ? (Width - x0 + dx - 1) / dx : 0;
        const uint32_t rows = Height > y0 ? (Height - y0 + dy - 1) / dy : 0;
        if (cols == 0)
            continue;
        for (uint32_t r = 0; r < rows; ++r) {
            raw.push_back(0);  // no filter
            raw.insert(raw.end(), size_t{cols} * 4, 0x80);
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);

    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, Width);
    PutBE32(ihdr, Height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 1});
    PutPngChunk(out, "IHDR", ihdr);
    PutPngChunk(out, "IDAT", packed);
    PutPngChunk(out, "IEND", {});
    return out;
}

// A grey progressive JPEG with many scans: the DC scan, then spectral bands of one AC
// coefficient at a time, then refinements of them (at most 127 scans).
inline bool WriteProgressiveJpeg(const std::string& Path, int Width, int Height, int Scans)
{
    std::vector<jpeg_scan_info> script;
    script.push_back({1, {0}, 0, 0, 0, 0});
    for (int k = 1; k <= 63 && static_cast<int>(script.size()) < Scans; ++k)
        script.push_back({1, {0}, k, k, 0, 1});
    for (int k = 1; k <= 63 && static_cast<int>(script.size()) < Scans; ++k)
        script.push_back({1, {0}, k, k, 1, 0});
    FILE* f = std::fopen(Path.c_str(), "wb");
    if (!f)
        return false;
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = static_cast<JDIMENSION>(Width);
    c.image_height = static_cast<JDIMENSION>(Height);
    c.input_components = 1;
    c.in_color_space = JCS_GRAYSCALE;
    jpeg_set_defaults(&c);
    c.scan_info = script.data();
    c.num_scans = static_cast<int>(script.size());
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(Width));
    while (c.next_scanline < c.image_height) {
        for (int x = 0; x < Width; ++x)
            row[static_cast<size_t>(x)] = static_cast<uint8_t>((x * 7 + c.next_scanline * 3) & 255);
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    return std::fclose(f) == 0;
}
