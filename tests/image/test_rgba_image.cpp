#include "image/uTextureRipperImage.h"

#include <gtest/gtest.h>

namespace {

template <typename E, typename F>
void ExpectThrowWithMessage(F&& Call, const std::string& Message)
{
    try {
        Call();
        ADD_FAILURE() << "expected an exception with: " << Message;
    } catch (const E& e) {
        EXPECT_EQ(e.what(), Message);
    }
}

TEST(RgbaImage, PixelPacksChannelsRedLowest)
{
    EXPECT_EQ(MakeRgbaPixel(0x11, 0x22, 0x33, 0x44), 0x44332211u);
    // Colour channels are masked to a byte.
    EXPECT_EQ(MakeRgbaPixel(0x1FF, -1, 0x100, 0), 0x0000FFFFu);
    const TRgbaPixel p = MakeRgbaPixel(1, 2, 3, 4);
    EXPECT_EQ(PixelRed(p), 1);
    EXPECT_EQ(PixelGreen(p), 2);
    EXPECT_EQ(PixelBlue(p), 3);
    EXPECT_EQ(PixelAlpha(p), 4);
}

TEST(RgbaImage, NewImageIsTransparentBlack)
{
    TRgbaImage image(3, 2);
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 2);
    ASSERT_EQ(image.Pixels().size(), 6u);
    for (TRgbaPixel p : image.Pixels())
        EXPECT_EQ(p, 0u);
}

TEST(RgbaImage, SetSizeChecksDimensions)
{
    TRgbaImage image;
    image.SetSize(0, 5);
    EXPECT_EQ(image.Height(), 5);
    EXPECT_TRUE(image.Pixels().empty());

    ExpectThrowWithMessage<EArgumentOutOfRangeException>([&] { image.SetSize(-1, 5); },
                                                         "Image dimensions cannot be negative.");
    ExpectThrowWithMessage<EArgumentOutOfRangeException>([&] { image.SetSize(5, -1); },
                                                         "Image dimensions cannot be negative.");
    // 23171 * 23171 is just above $1FFFFFFF pixels; checked before any allocation.
    ExpectThrowWithMessage<EOutOfMemory>([&] { image.SetSize(23171, 23171); },
                                         "Image dimensions are too large.");
    ExpectThrowWithMessage<EOutOfMemory>([&] { image.SetSize(0x7FFFFFFF, 0x7FFFFFFF); },
                                         "Image dimensions are too large.");
    // A refused size leaves the image as it was.
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 5);
}

TEST(RgbaImage, GrowingKeepsFlatIndicesAndZeroesNewEntries)
{
    TRgbaImage image(2, 1);
    image.SetPixel(0, 0, 7);
    image.SetPixel(1, 0, 8);
    image.SetSize(2, 2);
    EXPECT_EQ(image.GetPixel(0, 0), 7u);
    EXPECT_EQ(image.GetPixel(1, 0), 8u);
    EXPECT_EQ(image.GetPixel(0, 1), 0u);
    EXPECT_EQ(image.GetPixel(1, 1), 0u);
}

TEST(RgbaImage, PixelAccessIsChecked)
{
    TRgbaImage image(3, 2);
    image.SetPixel(2, 1, 42);
    EXPECT_EQ(image.GetPixel(2, 1), 42u);
    EXPECT_EQ(image.Pixels()[2 + 1 * 3], 42u);
    const std::pair<int, int> outside[] = {{-1, 0}, {0, -1}, {3, 0}, {0, 2}};
    for (auto [x, y] : outside) {
        ExpectThrowWithMessage<EArgumentOutOfRangeException>(
            [&] { image.GetPixel(x, y); }, "Image pixel coordinate is out of range.");
        ExpectThrowWithMessage<EArgumentOutOfRangeException>(
            [&] { image.SetPixel(x, y, 1); }, "Image pixel coordinate is out of range.");
    }
}

TEST(RgbaImage, CloneIsIndependent)
{
    TRgbaImage image(2, 2);
    image.SetPixel(1, 1, 5);
    auto copy = image.Clone();
    copy->SetPixel(1, 1, 6);
    EXPECT_EQ(image.GetPixel(1, 1), 5u);
    EXPECT_EQ(copy->GetPixel(1, 1), 6u);
    EXPECT_EQ(copy->Width(), 2);
}

TEST(RgbaImage, SupportedExtensionsIgnoreCase)
{
    const std::pair<const char*, bool> cases[] = {
        {"photo.png", true},      {"photo.JPG", true},  {"a/b.Jpeg", true}, {"x.bmp", true},
        {"photo.gif", false},     {"photo", false},     {"png", false},     {"dir.png/file", false},
        {"photo.png.tmp", false}, {"photo.jpe", false},
    };
    for (auto [name, expected] : cases)
        EXPECT_EQ(IsSupportedImageFile(name), expected) << name;
}

}  // namespace
