#include "scene/uTextures.h"
#include "tests/image/crafted_image_files.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <zlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "image/uImageCodecs.h"
#include "image/uTextureRipperImage.h"

namespace fs = std::filesystem;

namespace {

// Records what the registry asks of the GPU; hands out increasing names.
class TFakeGpu : public TTextureGpu {
public:
    uint32_t CreateTexture(const uint8_t* Rgba, int32_t Width, int32_t Height,
                           std::string& Message) override
    {
        if (FailWith.has_value()) {
            Message = *FailWith;
            return 0;
        }
        LastPixels.assign(Rgba,
                          Rgba + static_cast<size_t>(Width) * Height * 4 * (KeepPixels ? 1 : 0));
        LastWidth = Width;
        LastHeight = Height;
        Live.push_back(NextName);
        return NextName++;
    }
    void DeleteTexture(uint32_t Name) override
    {
        Deleted.push_back(Name);
        std::erase(Live, Name);
    }
    void BindTexture(uint32_t Name) override { Bound.push_back(Name); }

    std::optional<std::string> FailWith;
    bool KeepPixels = true;
    std::vector<uint8_t> LastPixels;
    int32_t LastWidth = 0, LastHeight = 0;
    uint32_t NextName = 100;
    std::vector<uint32_t> Live, Deleted, Bound;
};

void WriteBytes(const fs::path& p, const std::vector<uint8_t>& bytes)
{
    std::ofstream f(p, std::ios::binary);
    f.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

// An 8-bit RGBA PNG of the given size whose pixels are all zero, deflated row by row so
// that even a large image costs little memory to write. With Valid false the image data
// is left out: only the header claims the size.
void WriteBlankPng(const fs::path& p, uint32_t Width, uint32_t Height, bool Valid = true)
{
    std::vector<uint8_t> out{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, Width);
    PutBE32(ihdr, Height);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    PutPngChunk(out, "IHDR", ihdr);
    if (Valid) {
        z_stream z{};
        deflateInit(&z, 1);
        std::vector<uint8_t> row(1 + static_cast<size_t>(Width) * 4, 0), compressed,
            buffer(1 << 16);
        for (uint32_t y = 0; y < Height; ++y) {
            z.next_in = row.data();
            z.avail_in = static_cast<uInt>(row.size());
            const int flush = y + 1 == Height ? Z_FINISH : Z_NO_FLUSH;
            do {
                z.next_out = buffer.data();
                z.avail_out = static_cast<uInt>(buffer.size());
                deflate(&z, flush);
                compressed.insert(compressed.end(), buffer.data(),
                                  buffer.data() + (buffer.size() - z.avail_out));
            } while (z.avail_out == 0 || (flush == Z_FINISH && z.avail_in > 0));
        }
        deflateEnd(&z);
        PutPngChunk(out, "IDAT", compressed);
    }
    PutPngChunk(out, "IEND", {});
    WriteBytes(p, out);
}

void WriteJpeg(const fs::path& p, int Width, int Height)
{
    FILE* f = std::fopen(p.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    jpeg_compress_struct c{};
    jpeg_error_mgr err{};
    c.err = jpeg_std_error(&err);
    jpeg_create_compress(&c);
    jpeg_stdio_dest(&c, f);
    c.image_width = Width;
    c.image_height = Height;
    c.input_components = 3;
    c.in_color_space = JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 100, TRUE);
    jpeg_start_compress(&c, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(Width) * 3, 200);
    while (c.next_scanline < c.image_height) {
        JSAMPROW r = row.data();
        jpeg_write_scanlines(&c, &r, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    std::fclose(f);
}

// A 3 x 2 image whose every pixel is distinct, so row order and channel order show.
TRgbaImage Pattern()
{
    TRgbaImage image(3, 2);
    for (int y = 0; y < 2; ++y)
        for (int x = 0; x < 3; ++x)
            image.SetPixel(x, y, MakeRgbaPixel(10 + x, 20 + y, 30 + x + y, 255));
    return image;
}

class TextureFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Dir =
            fs::temp_directory_path() /
            ("quill_textures_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
             "_" + ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(Dir);
        fs::create_directories(Dir);
        std::string message;
        ASSERT_TRUE(WritePngFile(Pattern(), (Dir / "a.png").string(), message)) << message;
        ASSERT_TRUE(WritePngFile(Pattern(), (Dir / "b.png").string(), message)) << message;
        ASSERT_TRUE(WriteBmpFile(Pattern(), (Dir / "c.bmp").string(), message)) << message;
    }
    void TearDown() override { fs::remove_all(Dir); }

    std::string PathOf(const std::string& name) const { return (Dir / name).string(); }

    fs::path Dir;
    TFakeGpu Gpu;
};

}  // namespace

TEST_F(TextureFixture, ImportAppendsAnEntryWithNameFullPathAndPixels)
{
    TTextureManager registry(&Gpu);
    EXPECT_EQ(registry.ImportFile(PathOf("a.png")), 0);
    EXPECT_EQ(registry.ImportFile(PathOf("c.bmp")), 1);
    ASSERT_EQ(registry.Count(), 2);
    const TTextureRec& a = registry.GetTexture(0);
    EXPECT_EQ(a.Name, "a.png");
    EXPECT_EQ(a.Path, ExpandTexturePath(PathOf("a.png")));
    EXPECT_TRUE(fs::path(a.Path).is_absolute());
    EXPECT_EQ(a.GLName, 100u);
    EXPECT_EQ(a.Width, 3);
    EXPECT_EQ(a.Height, 2);
    // Row 0 of the image first, bytes R, G, B, A.
    const std::vector<uint8_t> expected{10, 20, 30, 255, 11, 20, 31, 255, 12, 20, 32, 255,
                                        10, 21, 31, 255, 11, 21, 32, 255, 12, 21, 33, 255};
    EXPECT_EQ(Gpu.LastPixels, expected);  // the BMP's bottom-up rows come out top first too
    EXPECT_EQ(registry.GetTexture(1).GLName, 101u);
    EXPECT_THROW(registry.GetTexture(2), EArgumentOutOfRangeException);
}

TEST_F(TextureFixture, JpegFilesImportByEitherExtension)
{
    WriteJpeg(Dir / "photo.jpg", 5, 4);
    fs::copy_file(Dir / "photo.jpg", Dir / "PHOTO2.JPEG");
    TTextureManager registry(&Gpu);
    EXPECT_EQ(registry.ImportFile(PathOf("photo.jpg")), 0);
    EXPECT_EQ(registry.ImportFile(PathOf("PHOTO2.JPEG")), 1);
    EXPECT_EQ(registry.GetTexture(1).Width, 5);
    EXPECT_EQ(registry.GetTexture(1).Height, 4);
    ASSERT_EQ(Gpu.LastPixels.size(), 5u * 4 * 4);
    EXPECT_NEAR(Gpu.LastPixels[0], 200, 2);
    EXPECT_EQ(Gpu.LastPixels[3], 255);
}

TEST_F(TextureFixture, LoadFailuresNameTheirCauseAndLeaveTheRegistryAlone)
{
    fs::copy_file(Dir / "a.png", Dir / "picture.gif");
    fs::copy_file(Dir / "a.png", Dir / "noextension");
    WriteBytes(Dir / "broken.png", {0x89, 'P', 'N', 'G', 1, 2, 3});
    fs::create_directories(Dir / "folder.png");
    // Interlaced, its data ending before the last pass (or holding none), IEND after it.
    for (const int passes : {0, 1, 6})
        WriteBytes(Dir / ("cut" + std::to_string(passes) + ".png"),
                   InterlacedPngOfPasses(16, 16, passes));
    // Good images whose paths a scene file could not hold on one line.
    fs::copy_file(Dir / "a.png", Dir / "new\nline.png");
    fs::copy_file(Dir / "a.png", Dir / "cr\r.png");
    fs::create_directories(Dir / "two\r\nlines");
    fs::copy_file(Dir / "a.png", Dir / "two\r\nlines" / "a.png");
    const auto lineBreak = [&](const std::string& Shown) {
        return "Cannot import \"" + Dir.string() + "/" + Shown +
               "\": a texture's path is kept on one line of the scene file, so it cannot hold a "
               "line break.";
    };
    const struct {
        std::string File;
        std::string Message;
    } cases[] = {
        {PathOf("missing.png"), "Texture file does not exist."},
        {"", "Texture file does not exist."},
        {PathOf("folder.png"), "Texture file does not exist."},
        {PathOf("picture.gif"), "The texture image could not be decoded."},
        {PathOf("noextension"), "The texture image could not be decoded."},
        {PathOf("broken.png"), "The texture image could not be decoded."},
        {PathOf("cut0.png"), "The texture image could not be decoded."},
        {PathOf("cut1.png"), "The texture image could not be decoded."},
        {PathOf("cut6.png"), "The texture image could not be decoded."},
        {PathOf("new\nline.png"), lineBreak("new<LF>line.png")},
        {PathOf("cr\r.png"), lineBreak("cr<CR>.png")},
        {PathOf("two\r\nlines/a.png"), lineBreak("two<CR><LF>lines/a.png")},
    };
    TTextureManager registry(&Gpu);
    registry.ImportFile(PathOf("a.png"));
    for (const auto& c : cases) {
        SCOPED_TRACE(c.File);
        std::unique_ptr<TTextureRec> rec;
        std::string message = "stale";
        EXPECT_FALSE(registry.LoadTexture(c.File, rec, message));
        EXPECT_EQ(rec, nullptr);
        EXPECT_EQ(message, c.Message);
        EXPECT_EQ(registry.ImportFile(c.File), -1);
        TTextureImportResult result;
        registry.ImportOrReplace(c.File, result);
        EXPECT_FALSE(result.Success);
        EXPECT_EQ(result.Index, -1);
        EXPECT_EQ(result.TextureId, 0);
        EXPECT_EQ(result.Message, c.Message);
    }
    EXPECT_EQ(registry.Count(), 1);
    EXPECT_EQ(Gpu.Live.size(), 1u);  // no texture object was made for a failed load

    // A scene's load keeps a place for each, with no texture behind it.
    for (const int passes : {0, 1, 6}) {
        const int32_t index =
            registry.ImportForLoad(PathOf("cut" + std::to_string(passes) + ".png"));
        ASSERT_GE(index, 0);
        EXPECT_EQ(registry.GetTexture(index).GLName, 0u);
    }
    EXPECT_EQ(Gpu.Live.size(), 1u);
}

TEST_F(TextureFixture, FailedUploadIsAFailure)
{
    TTextureManager registry(&Gpu);
    Gpu.FailWith = "";
    std::unique_ptr<TTextureRec> rec;
    std::string message;
    EXPECT_FALSE(registry.LoadTexture(PathOf("a.png"), rec, message));
    EXPECT_EQ(message, "The texture could not be imported.");
    EXPECT_EQ(rec, nullptr);
    Gpu.FailWith = "OpenGL did not create a texture object.";
    TTextureImportResult result;
    registry.ImportOrReplace(PathOf("a.png"), result);
    EXPECT_FALSE(result.Success);
    EXPECT_EQ(result.Message, "OpenGL did not create a texture object.");
    EXPECT_EQ(registry.Count(), 0);
    // Without any GL backend no texture object can be made.
    TTextureManager headless(nullptr);
    EXPECT_FALSE(headless.LoadTexture(PathOf("a.png"), rec, message));
    EXPECT_EQ(message, "OpenGL did not create a texture object.");
}

TEST_F(TextureFixture, ImportOrReplaceKeepsTheIdOfTheSamePath)
{
    TTextureManager registry(&Gpu);
    // Twice through ImportFile: two entries.
    EXPECT_EQ(registry.ImportFile(PathOf("a.png")), 0);
    EXPECT_EQ(registry.ImportFile(PathOf("a.png")), 1);
    registry.Clear();

    registry.ImportFile(PathOf("b.png"));
    TTextureImportResult first, second;
    registry.ImportOrReplace(PathOf("a.png"), first);
    EXPECT_TRUE(first.Success);
    EXPECT_FALSE(first.Replaced);
    EXPECT_EQ(first.Index, 1);
    EXPECT_EQ(first.TextureId, 2);
    EXPECT_EQ(first.Message, "");
    const uint32_t oldName = registry.GetTexture(1).GLName;
    // The same file reached through another spelling of its path.
    registry.ImportOrReplace((Dir / "." / "a.png").string(), second);
    EXPECT_TRUE(second.Success);
    EXPECT_TRUE(second.Replaced);
    EXPECT_EQ(second.TextureId, 2);
    EXPECT_EQ(registry.Count(), 2);
    EXPECT_NE(registry.GetTexture(1).GLName, oldName);
    EXPECT_EQ(Gpu.Deleted.back(), oldName);
}

TEST_F(TextureFixture, LookupByNameAndPath)
{
    TTextureManager registry(&Gpu);
    fs::copy_file(Dir / "a.png", Dir / "A.png");
    registry.ImportFile(PathOf("a.png"));
    registry.ImportFile(PathOf("A.png"));
    EXPECT_EQ(registry.IndexOfName("a.png"), 0);
    EXPECT_EQ(registry.IndexOfName("A.png"), 1);
    EXPECT_EQ(registry.IndexOfName("b.png"), -1);
    // File names are case-sensitive here: A.png and a.png are two files.
    EXPECT_EQ(registry.IndexOfPath(PathOf("A.png")), 1);
    EXPECT_EQ(registry.IndexOfPath(PathOf("a.png")), 0);
    EXPECT_EQ(registry.IndexOfPath(""), -1);
    EXPECT_EQ(registry.IndexOfPath(PathOf("b.png")), -1);
    // Relative to the current folder, and with "\" as a separator.
    const fs::path saved = fs::current_path();
    fs::current_path(Dir);
    EXPECT_EQ(registry.IndexOfPath("a.png"), 0);
    EXPECT_EQ(registry.IndexOfPath("sub/../A.png"), 1);
    EXPECT_EQ(registry.IndexOfPath(".\\a.png"), 0);
    fs::current_path(saved);
}

TEST_F(TextureFixture, DeleteShiftsLaterIdsAndFreesTheTextureObject)
{
    TTextureManager registry(&Gpu);
    registry.ImportFile(PathOf("a.png"));
    registry.ImportFile(PathOf("b.png"));
    registry.ImportFile(PathOf("c.bmp"));
    const uint32_t firstName = registry.GetTexture(0).GLName;
    registry.Delete(0);
    ASSERT_EQ(registry.Count(), 2);
    EXPECT_EQ(registry.GetTexture(0).Name, "b.png");  // was id 2, now id 1
    EXPECT_EQ(registry.GetTexture(1).Name, "c.bmp");  // was id 3, now id 2
    EXPECT_EQ(Gpu.Deleted, (std::vector<uint32_t>{firstName}));
    registry.Delete(2);
    registry.Delete(-1);
    EXPECT_EQ(registry.Count(), 2);
    registry.Clear();
    EXPECT_EQ(registry.Count(), 0);
    EXPECT_TRUE(Gpu.Live.empty());
}

TEST_F(TextureFixture, DestructionFreesTextureObjects)
{
    {
        TTextureManager registry(&Gpu);
        registry.ImportFile(PathOf("a.png"));
        registry.ImportFile(PathOf("b.png"));
    }
    EXPECT_TRUE(Gpu.Live.empty());
}

TEST_F(TextureFixture, BindUnbindsForMissingEntries)
{
    TTextureManager registry(&Gpu);
    registry.ImportFile(PathOf("a.png"));
    registry.Bind(0);
    registry.Bind(1);
    registry.Bind(-1);
    registry.Unbind();
    EXPECT_EQ(Gpu.Bound, (std::vector<uint32_t>{100, 0, 0, 0}));
}

TEST_F(TextureFixture, SwapContentsExchangesTheEntries)
{
    TTextureManager live(&Gpu), staging(&Gpu);
    live.ImportFile(PathOf("a.png"));
    staging.ImportFile(PathOf("b.png"));
    staging.ImportFile(PathOf("c.bmp"));
    live.SwapContents(&staging);
    EXPECT_EQ(live.Count(), 2);
    EXPECT_EQ(live.GetTexture(0).Name, "b.png");
    EXPECT_EQ(staging.Count(), 1);
    live.SwapContents(nullptr);
    live.SwapContents(&live);
    EXPECT_EQ(live.Count(), 2);
}

TEST_F(TextureFixture, OversizedHeaderIsRefusedBeforeDecoding)
{
    // A tiny file that claims 60000 x 60000 pixels (13 GiB of RGBA): refused from its
    // header, without taking the memory.
    WriteBlankPng(Dir / "huge.png", 60000, 60000, false);
    WriteBlankPng(Dir / "over.png", 8193, 8193, false);
    TTextureManager registry(&Gpu);
    for (const char* name : {"huge.png", "over.png"}) {
        int32_t w = -1, h = -1;
        EXPECT_EQ(LoadImageRGBA(PathOf(name), w, h), nullptr);
        EXPECT_EQ(w, 0);
        EXPECT_EQ(h, 0);
        TTextureImportResult result;
        registry.ImportOrReplace(PathOf(name), result);
        EXPECT_EQ(result.Message, "The texture image could not be decoded.");
    }
}

TEST_F(TextureFixture, LargestAllowedTextureIsAccepted)
{
    // 8192 x 8192 RGBA is exactly 256 MiB: the largest block a texture may take.
    WriteBlankPng(Dir / "max.png", 8192, 8192);
    Gpu.KeepPixels = false;
    TTextureManager registry(&Gpu);
    EXPECT_EQ(registry.ImportFile(PathOf("max.png")), 0);
    EXPECT_EQ(Gpu.LastWidth, 8192);
    EXPECT_EQ(Gpu.LastHeight, 8192);
}
