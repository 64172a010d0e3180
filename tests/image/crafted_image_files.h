#pragma once
// Writers of crafted image files for the tests and benchmarks that bound the work of
// decoding them.
#include <jpeglib.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
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
