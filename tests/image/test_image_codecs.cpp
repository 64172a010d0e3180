#include "image/uImageCodecs.h"
#include "image/uTextureRipperImage.h"
#include "tests/image/crafted_image_files.h"
#include "tests/ripper/ripper_test_files.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace RipperTest;

namespace {

const std::string DecodeFailedPrefix = "The image could not be decoded: ";
const std::string TooLargeMessage =
    "The image is too large. The maximum supported decoded size is 256 MB.";

class ImageFiles : public ::testing::Test {
protected:
    TScratchDir Dir;

    // Loads a file written from Bytes; Message receives the loader's text.
    std::unique_ptr<TRgbaImage> LoadBytes(const std::string& Name, const TBytes& Bytes,
                                          std::string& Message)
    {
        WriteBytes(Dir.File(Name), Bytes);
        return LoadRgbaImageFromFile(Dir.File(Name), Message);
    }

    std::unique_ptr<TRgbaImage> LoadOk(const std::string& Name, const TBytes& Bytes)
    {
        std::string message;
        auto image = LoadBytes(Name, Bytes, message);
        EXPECT_TRUE(image) << message;
        EXPECT_EQ(message, "");
        return image;
    }
};

// Round trips through our writers keep every pixel, opaque or not.
TEST_F(ImageFiles, PngAndBmpRoundTrips)
{
    for (bool alpha : {false, true}) {
        const TRgbaImage image = PatternImage(5, 3, alpha);
        for (const char* name : {"round.png", "round.bmp"}) {
            const std::string file = Dir.File(name);
            std::string message;
            const bool png = std::string(name).ends_with(".png");
            const bool saved = png ? TRgbaImage::SaveToPngFile(&image, file, message)
                                   : TRgbaImage::SaveToBmpFile(&image, file, message);
            ASSERT_TRUE(saved) << message;
            auto loaded = LoadRgbaImageFromFile(file, message);
            ASSERT_TRUE(loaded) << name << ": " << message;
            ExpectSamePixels(image, *loaded);
        }
    }
}

TEST_F(ImageFiles, SavingWidensChannelsExactly)
{
    TRgbaImage image(3, 1);
    image.SetPixel(0, 0, MakeRgbaPixel(0, 0, 0, 0));
    image.SetPixel(1, 0, MakeRgbaPixel(128, 128, 128, 128));
    image.SetPixel(2, 0, MakeRgbaPixel(255, 255, 255, 255));
    std::string message;
    ASSERT_TRUE(TRgbaImage::SaveToPngFile(&image, Dir.File("w.png"), message)) << message;
    auto loaded = LoadRgbaImageFromFile(Dir.File("w.png"), message);
    ASSERT_TRUE(loaded) << message;
    ExpectSamePixels(image, *loaded);
}

TEST_F(ImageFiles, SaveFailuresReportAndLeaveNoFile)
{
    std::string message;
    EXPECT_FALSE(TRgbaImage::SaveToPngFile(nullptr, Dir.File("none.png"), message));
    EXPECT_EQ(message, "There is no output image to save.");
    EXPECT_FALSE(TRgbaImage::SaveToBmpFile(nullptr, Dir.File("none.bmp"), message));
    EXPECT_EQ(message, "There is no output image to save.");

    const TRgbaImage empty(0, 4);
    EXPECT_FALSE(TRgbaImage::SaveToPngFile(&empty, Dir.File("empty.png"), message));
    EXPECT_EQ(message, "The image has no pixels to save.");
    EXPECT_FALSE(std::filesystem::exists(Dir.File("empty.png")));

    const TRgbaImage image = PatternImage(4, 4, false);
    const std::string missingFolder = Dir.File("no/such/folder/out.png");
    EXPECT_FALSE(TRgbaImage::SaveToPngFile(&image, missingFolder, message));
    EXPECT_TRUE(message.starts_with("The file could not be created: ")) << message;
}

TEST_F(ImageFiles, SixteenBitPngKeepsHighByte)
{
    // One RGBA pixel with 16-bit channels 0x12FF, 0xFFFF, 0x0080, 0xFF00.
    const TBytes row = {0x12, 0xFF, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x00};
    auto image = LoadOk("deep.png", EncodePngRaw(1, 1, 16, PNG_COLOR_TYPE_RGB_ALPHA, {row}));
    ASSERT_TRUE(image);
    EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(0x12, 0xFF, 0x00, 0xFF));
}

TEST_F(ImageFiles, PngColourTypesExpandToRgba)
{
    // Two-bit palette with a transparency entry for index 0.
    const std::vector<png_color> palette = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}};
    auto indexed = LoadOk(
        "pal.png", EncodePngRaw(3, 1, 2, PNG_COLOR_TYPE_PALETTE, {{0b00011000}}, palette, {0x80}));
    ASSERT_TRUE(indexed);
    EXPECT_EQ(indexed->GetPixel(0, 0), MakeRgbaPixel(255, 0, 0, 0x80));
    EXPECT_EQ(indexed->GetPixel(1, 0), MakeRgbaPixel(0, 255, 0, 255));
    EXPECT_EQ(indexed->GetPixel(2, 0), MakeRgbaPixel(0, 0, 255, 255));

    auto bits = LoadOk("grey1.png", EncodePngRaw(2, 1, 1, PNG_COLOR_TYPE_GRAY, {{0b10000000}}));
    ASSERT_TRUE(bits);
    EXPECT_EQ(bits->GetPixel(0, 0), MakeRgbaPixel(255, 255, 255, 255));
    EXPECT_EQ(bits->GetPixel(1, 0), MakeRgbaPixel(0, 0, 0, 255));

    auto greyAlpha = LoadOk("ga.png", EncodePngRaw(1, 1, 8, PNG_COLOR_TYPE_GRAY_ALPHA, {{90, 30}}));
    ASSERT_TRUE(greyAlpha);
    EXPECT_EQ(greyAlpha->GetPixel(0, 0), MakeRgbaPixel(90, 90, 90, 30));

    std::vector<TBytes> rows;
    for (int y = 0; y < 9; ++y) {
        TBytes r;
        for (int x = 0; x < 9; ++x)
            r.insert(r.end(),
                     {static_cast<std::uint8_t>(x * 20), static_cast<std::uint8_t>(y * 20), 7});
        rows.push_back(r);
    }
    auto interlaced =
        LoadOk("adam7.png", EncodePngRaw(9, 9, 8, PNG_COLOR_TYPE_RGB, rows, {}, {}, true));
    ASSERT_TRUE(interlaced);
    EXPECT_EQ(interlaced->GetPixel(8, 5), MakeRgbaPixel(160, 100, 7, 255));
    EXPECT_EQ(interlaced->GetPixel(3, 7), MakeRgbaPixel(60, 140, 7, 255));
}

TEST_F(ImageFiles, JpegDecodesOpaqueWithUppercaseExtension)
{
    TBytes rgb;
    for (int i = 0; i < 16 * 16; ++i)
        rgb.insert(rgb.end(), {200, 100, 50});
    auto colour = LoadOk("photo.JPG", EncodeJpeg(16, 16, false, rgb));
    ASSERT_TRUE(colour);
    ASSERT_EQ(colour->Width(), 16);
    ASSERT_EQ(colour->Height(), 16);
    const TRgbaPixel p = colour->GetPixel(9, 11);
    EXPECT_NEAR(PixelRed(p), 200, 3);
    EXPECT_NEAR(PixelGreen(p), 100, 3);
    EXPECT_NEAR(PixelBlue(p), 50, 3);
    EXPECT_EQ(PixelAlpha(p), 255);

    auto grey = LoadOk("grey.jpeg", EncodeJpeg(8, 8, true, TBytes(64, 128)));
    ASSERT_TRUE(grey);
    EXPECT_EQ(grey->GetPixel(3, 3), MakeRgbaPixel(128, 128, 128, 255));

    // Adobe CMYK is stored inverted: C' = 255, M' = Y' = 0, K' = 255 is pure red.
    TBytes cmyk;
    for (int i = 0; i < 64; ++i)
        cmyk.insert(cmyk.end(), {255, 0, 0, 255});
    auto red = LoadOk("cmyk.jpg", EncodeJpeg(8, 8, false, cmyk, true));
    ASSERT_TRUE(red);
    const TRgbaPixel r = red->GetPixel(4, 4);
    EXPECT_NEAR(PixelRed(r), 255, 3);
    EXPECT_NEAR(PixelGreen(r), 0, 3);
    EXPECT_NEAR(PixelBlue(r), 0, 3);
    EXPECT_EQ(PixelAlpha(r), 255);
}

TEST_F(ImageFiles, BmpLayoutsDecode)
{
    {  // 24 bits, bottom-up, rows padded to four bytes.
        TBmpSpec s{.Width = 3, .Height = 2};
        s.Pixels = {1,  2,  3,  4,  5,  6,  7,  8,  9,  0, 0, 0,   // bottom row
                    10, 11, 12, 13, 14, 15, 16, 17, 18, 0, 0, 0};  // top row
        auto image = LoadOk("b24.bmp", MakeBmp(s));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(0, 1), MakeRgbaPixel(3, 2, 1, 255));
        EXPECT_EQ(image->GetPixel(2, 0), MakeRgbaPixel(18, 17, 16, 255));
    }
    {  // 32 bits without bit fields, top-down: the fourth byte is not alpha.
        TBmpSpec s{.Width = 1, .Height = -2, .BitCount = 32};
        s.Pixels = {1, 2, 3, 0, 4, 5, 6, 0};
        auto image = LoadOk("b32.bmp", MakeBmp(s));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(3, 2, 1, 255));
        EXPECT_EQ(image->GetPixel(0, 1), MakeRgbaPixel(6, 5, 4, 255));
    }
    {  // 8-bit palette of two colours.
        TBmpSpec s{.Width = 2, .Height = 1, .BitCount = 8, .ColorsUsed = 2};
        s.Extra = {30, 20, 10, 0, 60, 50, 40, 0};
        s.Pixels = {1, 0, 0, 0};
        auto image = LoadOk("b8.bmp", MakeBmp(s));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(40, 50, 60, 255));
        EXPECT_EQ(image->GetPixel(1, 0), MakeRgbaPixel(10, 20, 30, 255));
    }
    {  // 1 bit, nine pixels: the ninth sits in the second byte.
        TBmpSpec s{.Width = 9, .Height = 1, .BitCount = 1};
        s.Extra = {0, 0, 0, 0, 255, 255, 255, 0};
        s.Pixels = {0b10000000, 0b10000000, 0, 0};
        auto image = LoadOk("b1.bmp", MakeBmp(s));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(255, 255, 255, 255));
        EXPECT_EQ(image->GetPixel(1, 0), MakeRgbaPixel(0, 0, 0, 255));
        EXPECT_EQ(image->GetPixel(8, 0), MakeRgbaPixel(255, 255, 255, 255));
    }
    {  // 16 bits, 5-5-5.
        TBmpSpec s{.Width = 2, .Height = 1, .BitCount = 16};
        s.Pixels = {0x00, 0x7C, 0x1F, 0x00};
        auto image = LoadOk("b16.bmp", MakeBmp(s));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(255, 0, 0, 255));
        EXPECT_EQ(image->GetPixel(1, 0), MakeRgbaPixel(0, 0, 255, 255));
    }
    {  // 32 bits with an alpha mask in a V4 header.
        TBmpSpec s{.Width = 1, .Height = 1, .BitCount = 32, .Compression = 3, .HeaderSize = 108};
        s.Pixels = {0x33, 0x22, 0x11, 0x44};
        TBytes file = MakeBmp(s);
        Put32(file, 54, 0x00FF0000);
        Put32(file, 58, 0x0000FF00);
        Put32(file, 62, 0x000000FF);
        Put32(file, 66, 0xFF000000);
        auto image = LoadOk("b32a.bmp", file);
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(0x11, 0x22, 0x33, 0x44));
    }
}

TEST(ImageSizeCheck, LimitsOfTheDecodedSize)
{
    const TImageSizeLimits limits;
    struct TCase {
        std::int64_t W, H;
        TImageDecodeStatus Expected;
    };
    const TCase cases[] = {
        {16384, 4096, TImageDecodeStatus::Ok},  // exactly 256 MB
        {16385, 1, TImageDecodeStatus::TooLarge},
        {1, 16385, TImageDecodeStatus::TooLarge},
        {8192, 8193, TImageDecodeStatus::TooLarge},
        {0, 5, TImageDecodeStatus::NoPixels},
        {5, 0, TImageDecodeStatus::NoPixels},
        {0, 60000, TImageDecodeStatus::NoPixels},
        {1, 1, TImageDecodeStatus::Ok},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(CheckImageSize(c.W, c.H, limits), c.Expected) << c.W << " x " << c.H;
}

TEST_F(ImageFiles, LoaderChecksExistenceBeforeExtension)
{
    std::string message;
    EXPECT_FALSE(LoadRgbaImageFromFile(Dir.File("missing.gif"), message));
    EXPECT_EQ(message, "The image file does not exist.");
    std::filesystem::create_directory(Dir.File("folder.png"));
    EXPECT_FALSE(LoadRgbaImageFromFile(Dir.File("folder.png"), message));
    EXPECT_EQ(message, "The image file does not exist.");
    EXPECT_FALSE(LoadBytes("photo.gif", {'G', 'I', 'F', '8', '9', 'a'}, message));
    EXPECT_EQ(message, "The selected file is not a supported PNG, JPEG, or BMP image.");
}

// Oversized headers are refused from the header alone: none of these files holds pixels.
TEST_F(ImageFiles, OversizeHeadersAreRefusedBeforeDecoding)
{
    TBytes jpeg = EncodeJpeg(8, 8, true, TBytes(64, 0));
    PatchJpegSize(jpeg, 20000, 20000);
    TBmpSpec bmp{.Width = 60000, .Height = -60000};
    const std::pair<const char*, TBytes> files[] = {
        {"huge.png", PngHeaderOnly(60000, 60000)},
        {"wide.png", PngHeaderOnly(16385, 1)},
        {"wide.jpg", jpeg},
        {"huge.bmp", MakeBmp(bmp)},
    };
    for (const auto& [name, bytes] : files) {
        std::string message;
        EXPECT_FALSE(LoadBytes(name, bytes, message)) << name;
        EXPECT_EQ(message, TooLargeMessage) << name;
    }
    // A size within the limits gets past the header and fails on the missing pixels.
    TBmpSpec limit{.Width = 16384, .Height = 4096};
    std::string message;
    EXPECT_FALSE(LoadBytes("limit.bmp", MakeBmp(limit), message));
    EXPECT_EQ(message, DecodeFailedPrefix + "The BMP file is truncated.");
}

TEST_F(ImageFiles, TruncatedAndCorruptFilesAreRefused)
{
    const TRgbaImage pattern = PatternImage(64, 64, true);
    std::string message;
    ASSERT_TRUE(TRgbaImage::SaveToPngFile(&pattern, Dir.File("full.png"), message));
    ASSERT_TRUE(TRgbaImage::SaveToBmpFile(&pattern, Dir.File("full.bmp"), message));
    const TBytes png = ReadBytes(Dir.File("full.png"));
    const TBytes bmp = ReadBytes(Dir.File("full.bmp"));
    TBytes rgb;
    for (int i = 0; i < 64 * 64; ++i)
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), 3});
    const TBytes jpeg = EncodeJpeg(64, 64, false, rgb);

    const auto half = [](const TBytes& b) { return TBytes(b.begin(), b.begin() + b.size() / 2); };
    struct TCase {
        const char* Name;
        TBytes Bytes;
        std::string Reason;  // empty: any reason from the codec
    };
    TBytes badCrc = png;
    badCrc[png.size() / 2] ^= 0x5A;
    const TCase cases[] = {
        {"half.png", half(png), "The PNG file is truncated."},
        {"half.jpg", half(jpeg), "The JPEG file is truncated."},
        {"half.bmp", half(bmp), "The BMP file is truncated."},
        {"tiny.bmp", {'B', 'M', 0, 0}, "The BMP file is truncated."},
        {"noise.png", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, "The file is not a PNG image."},
        {"noise.bmp",
         {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16},
         "The file is not a BMP image."},
        {"noise.jpg", {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}, ""},
        {"empty.png", {}, "The file is not a PNG image."},
        {"crc.png", badCrc, ""},
        {"photo.bmp", png,
         "The file is not a BMP image."},  // wrong extension: decoded by extension
    };
    for (const TCase& c : cases) {
        EXPECT_FALSE(LoadBytes(c.Name, c.Bytes, message)) << c.Name;
        ASSERT_TRUE(message.starts_with(DecodeFailedPrefix)) << c.Name << ": " << message;
        EXPECT_GT(message.size(), DecodeFailedPrefix.size()) << c.Name;
        if (!c.Reason.empty()) {
            EXPECT_EQ(message, DecodeFailedPrefix + c.Reason) << c.Name;
        }
    }
}

TEST_F(ImageFiles, BmpOddities)
{
    std::string message;
    TBmpSpec empty{.Width = 0, .Height = 3};
    EXPECT_FALSE(LoadBytes("empty.bmp", MakeBmp(empty), message));
    EXPECT_EQ(message, "The image has no usable pixels.");

    TBmpSpec rle{.Width = 2, .Height = 2, .BitCount = 8, .Compression = 1};
    EXPECT_FALSE(LoadBytes("rle.bmp", MakeBmp(rle), message));
    EXPECT_EQ(message, DecodeFailedPrefix + "Compressed (RLE) BMP images are not supported.");

    TBmpSpec negativeWidth{.Width = -4, .Height = 3};
    EXPECT_FALSE(LoadBytes("neg.bmp", MakeBmp(negativeWidth), message));
    EXPECT_EQ(message, DecodeFailedPrefix + "The BMP header is invalid.");
}

TEST(ImageMemory, DecodesFromMemoryWithLimitsOfTheCaller)
{
    const TRgbaImage pattern = PatternImage(6, 4, true);
    TScratchDir dir;
    std::string message;
    ASSERT_TRUE(TRgbaImage::SaveToPngFile(&pattern, dir.File("m.png"), message));
    const TBytes bytes = ReadBytes(dir.File("m.png"));

    TImageDecodeResult r = DecodeImageMemory(bytes.data(), bytes.size(), TImageFileKind::Png, {});
    ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
    ExpectSamePixels(pattern, *r.Image);

    // The texture registry's looser side limit, tighter byte limit: the caller decides.
    const TImageSizeLimits small{.MaxSide = 1 << 30, .MaxBytes = 6 * 4 * 4 - 1};
    r = DecodeImageMemory(bytes.data(), bytes.size(), TImageFileKind::Png, small);
    EXPECT_EQ(r.Status, TImageDecodeStatus::TooLarge);
    EXPECT_FALSE(r.Image);

    r = DecodeImageMemory(nullptr, 0, TImageFileKind::Jpeg, {});
    EXPECT_EQ(r.Status, TImageDecodeStatus::DecodeFailed);
    EXPECT_FALSE(r.Message.empty());
}

}  // namespace

namespace {
// Offset of the last marker Code (0xFF, Code) in Jpeg.
std::size_t LastMarker(const TBytes& Jpeg, std::uint8_t Code)
{
    for (std::size_t i = Jpeg.size() - 1; i-- > 0;)
        if (Jpeg[i] == 0xFF && Jpeg[i + 1] == Code)
            return i;
    return 0;
}
}  // namespace

TEST_F(ImageFiles, JpegDataCutShortBeforeItsEndMarkerIsRefused)
{
    TBytes rgb;
    for (int i = 0; i < 64 * 64; ++i)
        rgb.insert(rgb.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i * 7), 3});
    const TBytes baseline = EncodeJpeg(64, 64, false, rgb);
    const TBytes progressive = EncodeProgressiveJpeg(64, 64);
    LoadOk("whole.jpg", progressive);
    for (const TBytes* whole : {&baseline, &progressive}) {
        // The compressed data of the last scan stops half way; the end marker follows.
        const std::size_t sos = LastMarker(*whole, 0xDA);
        ASSERT_GT(sos, 0u);
        TBytes cut(whole->begin(), whole->begin() + (sos + whole->size()) / 2);
        cut.insert(cut.end(), {0xFF, 0xD9});
        std::string message;
        EXPECT_FALSE(LoadBytes("cut.jpg", cut, message));
        EXPECT_EQ(message, DecodeFailedPrefix + "The JPEG file is truncated.");
    }
}

TEST_F(ImageFiles, JpegWithEndlessScansIsRefusedQuickly)
{
    const TBytes progressive = EncodeProgressiveJpeg(256, 256);
    // The last scan repeated, as a small hostile file does thousands of times.
    const std::size_t sos = LastMarker(progressive, 0xDA);
    const std::size_t eoi = LastMarker(progressive, 0xD9);
    ASSERT_GT(eoi, sos);
    TBytes looped(progressive.begin(), progressive.begin() + eoi);
    for (int i = 0; i < 2000; ++i)
        looped.insert(looped.end(), progressive.begin() + sos, progressive.begin() + eoi);
    looped.insert(looped.end(), {0xFF, 0xD9});
    std::string message;
    EXPECT_FALSE(LoadBytes("loop.jpg", looped, message));
    EXPECT_EQ(message, DecodeFailedPrefix + "The JPEG file has more than 100 scans; it is "
                                            "refused as too slow to decode.");
}

TEST_F(ImageFiles, InterlacedPngOfOneRowOrColumnDecodes)
{
    // Some interlace passes of such images hold no pixels at all.
    const struct {
        int W, H;
    } sizes[] = {{1, 1}, {1, 5}, {5, 1}, {2, 3}, {3, 9}};
    for (const auto& s : sizes) {
        SCOPED_TRACE(std::to_string(s.W) + " x " + std::to_string(s.H));
        std::vector<TBytes> rows;
        for (int y = 0; y < s.H; ++y) {
            TBytes r;
            for (int x = 0; x < s.W; ++x)
                r.insert(r.end(),
                         {static_cast<std::uint8_t>(x * 40), static_cast<std::uint8_t>(y * 20), 9});
            rows.push_back(r);
        }
        auto image =
            LoadOk("i.png", EncodePngRaw(s.W, s.H, 8, PNG_COLOR_TYPE_RGB, rows, {}, {}, true));
        ASSERT_TRUE(image);
        EXPECT_EQ(image->GetPixel(s.W - 1, s.H - 1),
                  MakeRgbaPixel((s.W - 1) * 40, (s.H - 1) * 20, 9, 255));
    }
}

// An interlaced PNG whose compressed data ends before its last pass (after the first, after
// six of seven, or with none), IEND following, is refused as truncated, as a cut
// non-interlaced one is, whatever the size; the image whose later passes hold no pixel
// at all is whole.
TEST_F(ImageFiles, InterlacedPngEndingBeforeItsLastPassIsRefused)
{
    const auto passesWithPixels = [](uint32_t W, uint32_t H) {
        static const uint32_t kStart[7][2] = {{0, 0}, {4, 0}, {0, 4}, {2, 0},
                                              {0, 2}, {1, 0}, {0, 1}};
        int last = 0;
        for (int p = 0; p < 7; ++p)
            if (W > kStart[p][0] && H > kStart[p][1])
                last = p + 1;
        return last;
    };
    // Every shape up to two blocks of eight, so that each pass is empty for some.
    const uint32_t sides[] = {1, 2, 3, 4, 5, 7, 8, 9, 16};
    for (const uint32_t w : sides) {
        for (const uint32_t h : sides) {
            for (const int passes : {0, 1, 2, 6, 7}) {
                SCOPED_TRACE(std::to_string(w) + " x " + std::to_string(h) + ", " +
                             std::to_string(passes) + " passes");
                const TBytes png = InterlacedPngOfPasses(w, h, passes);
                const TImageDecodeResult r =
                    DecodeImageMemory(png.data(), png.size(), TImageFileKind::Png, {});
                std::string message;
                const auto image = LoadBytes("cut.png", png, message);
                if (passes >= passesWithPixels(w, h)) {
                    EXPECT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
                    ASSERT_TRUE(image) << message;
                    EXPECT_EQ(image->GetPixel(static_cast<int>(w) - 1, static_cast<int>(h) - 1),
                              MakeRgbaPixel(0x80, 0x80, 0x80, 0x80));
                } else {
                    EXPECT_EQ(r.Status, TImageDecodeStatus::DecodeFailed);
                    EXPECT_EQ(r.Message, "The PNG file is truncated.");
                    EXPECT_FALSE(image);
                    EXPECT_EQ(message, DecodeFailedPrefix + "The PNG file is truncated.");
                }
            }
        }
    }
}

TEST_F(ImageFiles, DecodeWorkIsReportedAndBoundedByTheCaller)
{
    const TRgbaImage pattern = PatternImage(6, 4, true);
    TScratchDir dir;
    std::string message;
    ASSERT_TRUE(TRgbaImage::SaveToPngFile(&pattern, dir.File("w.png"), message));
    const TBytes png = ReadBytes(dir.File("w.png"));
    const TBytes jpeg = EncodeProgressiveJpeg(32, 16);
    const struct {
        const char* Name;
        const TBytes* Bytes;
        TImageFileKind Kind;
        std::uint64_t TImageDecodeResult::*Spent;
        std::uint64_t TImageSizeLimits::*Limit;
    } cases[] = {
        {"png", &png, TImageFileKind::Png, &TImageDecodeResult::InflatedBytes,
         &TImageSizeLimits::MaxInflatedBytes},
        {"jpeg", &jpeg, TImageFileKind::Jpeg, &TImageDecodeResult::ScanPixels,
         &TImageSizeLimits::MaxScanPixels},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Name);
        TImageDecodeResult r = DecodeImageMemory(c.Bytes->data(), c.Bytes->size(), c.Kind, {});
        ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
        const std::uint64_t spent = r.*c.Spent;
        EXPECT_GT(spent, 0u);
        TImageSizeLimits limits;
        limits.*c.Limit = spent;
        r = DecodeImageMemory(c.Bytes->data(), c.Bytes->size(), c.Kind, limits);
        EXPECT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
        limits.*c.Limit = spent - 1;
        r = DecodeImageMemory(c.Bytes->data(), c.Bytes->size(), c.Kind, limits);
        EXPECT_EQ(r.Status, TImageDecodeStatus::TooLarge);
        EXPECT_TRUE(r.OverBudget);
        EXPECT_FALSE(r.Image);
    }
    // A progressive JPEG's work counts every scan.
    TImageDecodeResult r = DecodeImageMemory(jpeg.data(), jpeg.size(), TImageFileKind::Jpeg, {});
    EXPECT_EQ(r.ScanPixels % (32 * 16), 0u);
    EXPECT_GT(r.ScanPixels / (32 * 16), 5u);
}

// A JPEG shown small comes out reduced straight from its coefficients, each side kept at
// least the asked size; other formats, and a JPEG too small to reduce, at their size.
TEST(ImageMemory, AJpegShownSmallIsDecodedReduced)
{
    struct TCase {
        std::uint32_t W, H;
        std::int32_t Side;
        std::int32_t OutW, OutH;
    } cases[] = {
        {1024, 512, 128, 256, 128}, {1024, 512, 100, 256, 128},  {1024, 512, 0, 1024, 512},
        {100, 100, 128, 100, 100},  {2000, 130, 128, 2000, 130}, {2048, 2048, 128, 256, 256},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(std::to_string(c.W) + "x" + std::to_string(c.H) + " to " +
                     std::to_string(c.Side));
        TBytes rgb;
        for (std::uint32_t i = 0; i < c.W * c.H; ++i)
            rgb.insert(rgb.end(), {200, 100, 50});
        const TBytes jpeg = EncodeJpeg(c.W, c.H, false, rgb);
        TImageSizeLimits limits;
        limits.ReduceToSide = c.Side;
        const TImageDecodeResult r =
            DecodeImageMemory(jpeg.data(), jpeg.size(), TImageFileKind::Jpeg, limits);
        ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
        EXPECT_EQ(r.Image->Width(), c.OutW);
        EXPECT_EQ(r.Image->Height(), c.OutH);
        EXPECT_EQ(r.DecodedPixels, static_cast<std::uint64_t>(c.OutW) * c.OutH);
        const TRgbaPixel middle = r.Image->GetPixel(c.OutW / 2, c.OutH / 2);
        EXPECT_NEAR(PixelRed(middle), 200, 3);
        EXPECT_NEAR(PixelGreen(middle), 100, 3);
        EXPECT_NEAR(PixelBlue(middle), 50, 3);
    }
}
