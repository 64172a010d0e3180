// Writes small valid images into <dir>/png, <dir>/jpeg and <dir>/bmp to seed the
// decoder fuzzers: several sizes, with and without alpha.
#include "image/uImageCodecs.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>
// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>

namespace fs = std::filesystem;

namespace {
TRgbaImage Pattern(int w, int h, bool alpha)
{
    TRgbaImage image(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            image.SetPixel(x, y,
                           MakeRgbaPixel(x * 40 % 256, y * 70 % 256, (x + y) * 25 % 256,
                                         alpha ? (x * 90 + 30) % 256 : 255));
    return image;
}

bool WriteJpeg(const TRgbaImage& image, const fs::path& path, bool grey)
{
    jpeg_compress_struct cinfo{};
    jpeg_error_mgr jerr{};
    cinfo.err = jpeg_std_error(&jerr);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = static_cast<JDIMENSION>(image.Width());
    cinfo.image_height = static_cast<JDIMENSION>(image.Height());
    cinfo.input_components = grey ? 1 : 3;
    cinfo.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 80, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<unsigned char> row(static_cast<size_t>(image.Width()) * 3);
    while (cinfo.next_scanline < cinfo.image_height) {
        const TRgbaPixel* src = image.Row(static_cast<int32_t>(cinfo.next_scanline));
        for (int x = 0; x < image.Width(); ++x) {
            if (grey) {
                row[x] = PixelGreen(src[x]);
            } else {
                row[x * 3] = PixelRed(src[x]);
                row[x * 3 + 1] = PixelGreen(src[x]);
                row[x * 3 + 2] = PixelBlue(src[x]);
            }
        }
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(buffer), static_cast<std::streamsize>(size));
    std::free(buffer);
    return static_cast<bool>(out);
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_fuzz_seeds <dir>\n";
        return 2;
    }
    const fs::path dir = argv[1];
    for (const char* kind : {"png", "jpeg", "bmp"})
        fs::create_directories(dir / kind);
    const struct {
        int w, h;
        bool alpha;
    } sizes[] = {{1, 1, false}, {3, 2, true}, {8, 5, false}, {16, 16, true}};
    int n = 0;
    for (const auto& s : sizes) {
        const TRgbaImage image = Pattern(s.w, s.h, s.alpha);
        std::string message;
        const std::string stem = std::to_string(n++);
        if (!WritePngFile(image, (dir / "png" / (stem + ".png")).string(), message) ||
            !WriteBmpFile(image, (dir / "bmp" / (stem + ".bmp")).string(), message) ||
            !WriteJpeg(image, dir / "jpeg" / (stem + ".jpg"), false) ||
            !WriteJpeg(image, dir / "jpeg" / (stem + "g.jpg"), true)) {
            std::cerr << "cannot write seeds: " << message << "\n";
            return 1;
        }
    }
    return 0;
}
