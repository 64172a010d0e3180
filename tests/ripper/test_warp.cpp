#include "ripper/uTextureRipperWarp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TRipperQuad Quad(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
                 double y3)
{
    return {MakeRipperPoint(x0, y0), MakeRipperPoint(x1, y1), MakeRipperPoint(x2, y2),
            MakeRipperPoint(x3, y3)};
}

TEST(RipperQuadValidation, MessagesInCheckOrder)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    struct TCase {
        const char* What;
        TRipperQuad Points;
        std::int32_t W, H;
        const char* Message;  // empty: valid
    };
    const TCase cases[] = {
        {"clockwise on screen", Quad(1, 1, 8, 2, 9, 9, 0, 8), 10, 10, ""},
        {"anticlockwise", Quad(0, 8, 9, 9, 8, 2, 1, 1), 10, 10, ""},
        {"whole image", Quad(0, 0, 9, 0, 9, 9, 0, 9), 10, 10, ""},
        {"just inside by 1e-10", Quad(0, 0, 9 + 1e-10, 0, 9, 9, 0, 9), 10, 10, ""},
        {"no width", Quad(0, 0, 1, 0, 1, 1, 0, 1), 0, 10,
         "The source image has no usable dimensions."},
        {"NaN", Quad(0, 0, nan, 0, 9, 9, 0, 9), 10, 10, "Selection contains a non-finite point."},
        {"infinity", Quad(0, 0, 9, 0, 9, inf, 0, 9), 10, 10,
         "Selection contains a non-finite point."},
        {"outside by 1e-8", Quad(-1e-8, 0, 9, 0, 9, 9, 0, 9), 10, 10,
         "Selection extends outside the source image."},
        {"below the image", Quad(0, 0, 9, 0, 9, 10, 0, 9), 10, 10,
         "Selection extends outside the source image."},
        {"neighbours coincide", Quad(0, 0, 0, 0, 9, 9, 0, 9), 10, 10,
         "Selection contains duplicate points."},
        {"last meets first", Quad(0, 0, 9, 0, 9, 9, 0, 0), 10, 10,
         "Selection contains duplicate points."},
        {"0.4 square pixels", Quad(0, 0, 0.4, 0, 0.4, 1, 0, 1), 10, 10, "Selection is too small."},
        // Points 0 and 1 exchanged on an uneven quad; a symmetric one has area 0.
        {"bow-tie", Quad(8, 1, 1, 1, 9, 9, 0, 6), 10, 10, "Selection is crossed."},
        {"three collinear", Quad(0, 0, 4, 0, 8, 0, 4, 6), 10, 10,
         "Selection is not a usable convex quadrilateral."},
        {"dart", Quad(0, 0, 8, 0, 2, 2, 0, 8), 10, 10, "Selection is not a convex quadrilateral."},
    };
    for (const TCase& c : cases) {
        std::string message = "stale";
        const bool valid = ValidateRipperQuad(c.Points, c.W, c.H, message);
        EXPECT_EQ(valid, c.Message[0] == '\0') << c.What;
        EXPECT_EQ(message, c.Message) << c.What;
    }
}

TEST(RipperQuadValidation, GeometryPieces)
{
    const TRipperPoint a = MakeRipperPoint(0, 0), b = MakeRipperPoint(4, 0);
    EXPECT_EQ(RipperCross(a, b, MakeRipperPoint(0, 2)), 8.0);
    EXPECT_EQ(RipperOrientation(a, b, MakeRipperPoint(0, 2)), 1);
    EXPECT_EQ(RipperOrientation(a, b, MakeRipperPoint(0, -2)), -1);
    EXPECT_EQ(RipperOrientation(a, b, MakeRipperPoint(9, 0)), 0);
    EXPECT_EQ(RipperOrientation(a, b, MakeRipperPoint(std::nan(""), 0)), 0);
    EXPECT_DOUBLE_EQ(QuadSignedArea(Quad(0, 0, 2, 0, 2, 3, 0, 3)), 6.0);
    EXPECT_DOUBLE_EQ(QuadSignedArea(Quad(0, 3, 2, 3, 2, 0, 0, 0)), -6.0);
    EXPECT_FALSE(IsFiniteDouble(std::numeric_limits<double>::infinity()));
    EXPECT_TRUE(IsFiniteDouble(std::numeric_limits<double>::max()));
    // Touching at an end counts; collinear but apart does not.
    EXPECT_TRUE(SegmentsIntersect(a, b, MakeRipperPoint(4, 0), MakeRipperPoint(5, 5)));
    EXPECT_FALSE(SegmentsIntersect(a, b, MakeRipperPoint(5, 0), MakeRipperPoint(9, 0)));
    EXPECT_TRUE(
        SegmentsIntersect(a, MakeRipperPoint(4, 4), MakeRipperPoint(0, 4), MakeRipperPoint(4, 0)));
}

// The trapezoid (1,0) (3,0) (4,2) (0,2) seen from an output square of N = 3 is solved
// by hand: h = (1, -1/2, 1, 0, 1/2, 0, 0, -1/4).
const TRipperQuad Trapezoid = Quad(1, 0, 3, 0, 4, 2, 0, 2);

TEST(RipperHomography, KnownTrapezoid)
{
    double h[8];
    ASSERT_TRUE(SolveQuadHomography(Trapezoid, 3, h));
    const double expected[8] = {1, -0.5, 1, 0, 0.5, 0, 0, -0.25};
    for (int i = 0; i < 8; ++i)
        EXPECT_NEAR(h[i], expected[i], 1e-12) << "h" << i;

    double tooShort[7];
    EXPECT_FALSE(SolveQuadHomography(Trapezoid, 3, std::span<double>(tooShort)));
    // A one-pixel square has four coincident corners.
    EXPECT_FALSE(SolveQuadHomography(Trapezoid, 1, h));
}

// Source pixel (x, y) holds red 50 x and green 100 y, so bilinear sampling is exact up
// to the final rounding.
TRgbaImage GradientImage(std::int32_t W, std::int32_t H)
{
    TRgbaImage image(W, H);
    for (std::int32_t y = 0; y < H; ++y)
        for (std::int32_t x = 0; x < W; ++x)
            image.SetPixel(x, y, MakeRgbaPixel(50 * x, 100 * y, 9, 255));
    return image;
}

TEST(RipperRectify, TrapezoidPixelsInBothModes)
{
    const TRgbaImage source = GradientImage(5, 3);
    std::string message;
    auto nearest = RectifyQuad(&source, Trapezoid, 3, false, message);
    ASSERT_TRUE(nearest) << message;
    auto bilinear = RectifyQuad(&source, Trapezoid, 3, true, message);
    ASSERT_TRUE(bilinear) << message;
    ASSERT_EQ(nearest->Width(), 3);
    ASSERT_EQ(nearest->Height(), 3);

    // Corners sample the points exactly in both modes.
    for (const auto* image : {nearest.get(), bilinear.get()}) {
        EXPECT_EQ(image->GetPixel(0, 0), MakeRgbaPixel(50, 0, 9, 255));
        EXPECT_EQ(image->GetPixel(2, 0), MakeRgbaPixel(150, 0, 9, 255));
        EXPECT_EQ(image->GetPixel(2, 2), MakeRgbaPixel(200, 200, 9, 255));
        EXPECT_EQ(image->GetPixel(0, 2), MakeRgbaPixel(0, 200, 9, 255));
    }
    // The centre maps to where the diagonals cross, (2, 2/3), not to (2, 1).
    EXPECT_EQ(nearest->GetPixel(1, 1), MakeRgbaPixel(100, 100, 9, 255));
    EXPECT_EQ(bilinear->GetPixel(1, 1), MakeRgbaPixel(100, 67, 9, 255));
    // Output (0, 1) maps to (2/3, 2/3).
    EXPECT_EQ(nearest->GetPixel(0, 1), MakeRgbaPixel(50, 100, 9, 255));
    EXPECT_EQ(bilinear->GetPixel(0, 1), MakeRgbaPixel(33, 67, 9, 255));
}

TEST(RipperRectify, WholeImageAtItsOwnSizeIsACopy)
{
    TRgbaImage source(6, 6);
    for (std::int32_t i = 0; i < 36; ++i)
        source.Pixels()[i] = MakeRgbaPixel(i * 7, i * 3, 255 - i, i * 5);
    std::string message;
    auto copy = RectifyQuad(&source, Quad(0, 0, 5, 0, 5, 5, 0, 5), 6, false, message);
    ASSERT_TRUE(copy) << message;
    for (std::int32_t i = 0; i < 36; ++i)
        EXPECT_EQ(copy->Pixels()[i], source.Pixels()[i]) << i;
}

TEST(RipperRectify, FailuresComeBackAsMessages)
{
    const TRgbaImage source = GradientImage(5, 3);
    std::string message;
    EXPECT_FALSE(RectifyQuad(nullptr, Trapezoid, 3, false, message));
    EXPECT_EQ(message, "There is no source image.");
    EXPECT_FALSE(RectifyQuad(&source, Trapezoid, 0, false, message));
    EXPECT_EQ(message, "The output size is invalid.");
    EXPECT_FALSE(RectifyQuad(&source, Quad(0, 0, 4, 0, 4, 5, 0, 2), 3, false, message));
    EXPECT_EQ(message, "Selection extends outside the source image.");
    EXPECT_FALSE(RectifyQuad(&source, Trapezoid, 1, true, message));
    EXPECT_EQ(message, "The perspective transform is singular.");
    // Too many pixels for an image: the image type's own message.
    EXPECT_FALSE(RectifyQuad(&source, Trapezoid, 40000, false, message));
    EXPECT_EQ(message, "Image dimensions are too large.");
}

TEST(RipperSampling, EdgesAndRounding)
{
    TRgbaImage row(5, 1);
    row.SetPixel(2, 0, MakeRgbaPixel(0, 0, 0, 0));
    row.SetPixel(3, 0, MakeRgbaPixel(255, 255, 255, 255));
    // 127.5 rounds to even; alpha is interpolated like the colours.
    EXPECT_EQ(SampleBilinear(row, 2.5, 0), MakeRgbaPixel(128, 128, 128, 128));
    EXPECT_EQ(SampleBilinear(row, 3.0, 0), MakeRgbaPixel(255, 255, 255, 255));
    EXPECT_EQ(SampleBilinear(row, 1e9, -1e9), row.GetPixel(4, 0));

    const TRgbaImage grad = GradientImage(5, 3);
    EXPECT_EQ(SampleBilinear(grad, 4, 2), grad.GetPixel(4, 2));  // x1 = x0, y1 = y0
    // Nearest: halves go to the even neighbour, then the index is clamped.
    EXPECT_EQ(SampleNearest(grad, 2.5, 0.5), grad.GetPixel(2, 0));
    EXPECT_EQ(SampleNearest(grad, 3.5, 1.5), grad.GetPixel(4, 2));
    EXPECT_EQ(SampleNearest(grad, -7, 99), grad.GetPixel(0, 2));
    EXPECT_EQ(SampleNearest(grad, 1e300, -1e300), grad.GetPixel(4, 0));

    // Nothing to sample, or a coordinate that is not a number: transparent black.
    const TRgbaImage empty;
    EXPECT_EQ(SampleNearest(empty, 0, 0), 0u);
    EXPECT_EQ(SampleBilinear(empty, 0, 0), 0u);
    EXPECT_EQ(SampleNearest(grad, std::nan(""), 0), 0u);
    EXPECT_EQ(SampleBilinear(grad, 0, std::nan("")), 0u);
}

// A 2 x 3 image whose pixel (x, y) holds 10 x + y.
TRgbaImage SmallImage()
{
    TRgbaImage image(2, 3);
    for (std::int32_t y = 0; y < 3; ++y)
        for (std::int32_t x = 0; x < 2; ++x)
            image.SetPixel(x, y, static_cast<TRgbaPixel>(10 * x + y));
    return image;
}

std::vector<std::vector<TRgbaPixel>> Rows(const TRgbaImage& Image)
{
    std::vector<std::vector<TRgbaPixel>> rows;
    for (std::int32_t y = 0; y < Image.Height(); ++y)
        rows.emplace_back(Image.Row(y), Image.Row(y) + Image.Width());
    return rows;
}

TEST(RipperTransforms, QuarterTurnsAndFlipsOfTwoByThree)
{
    const TRgbaImage image = SmallImage();
    using R = std::vector<std::vector<TRgbaPixel>>;
    // Source rows: (0 10) (1 11) (2 12).
    const R clockwise = {{2, 1, 0}, {12, 11, 10}};
    const R half = {{12, 2}, {11, 1}, {10, 0}};
    const R anticlockwise = {{10, 11, 12}, {0, 1, 2}};
    const std::pair<int, R> turns[] = {{1, clockwise},      {2, half},       {3, anticlockwise},
                                       {-1, anticlockwise}, {5, clockwise},  {-6, half},
                                       {0, Rows(image)},    {4, Rows(image)}};
    for (const auto& [k, expected] : turns)
        EXPECT_EQ(Rows(*RotateImageQuarterTurns(&image, k)), expected) << k << " turns";

    EXPECT_EQ(Rows(*FlipImageHorizontal(&image)), (R{{10, 0}, {11, 1}, {12, 2}}));
    EXPECT_EQ(Rows(*FlipImageVertical(&image)), (R{{2, 12}, {1, 11}, {0, 10}}));
    EXPECT_FALSE(RotateImageQuarterTurns(nullptr, 1));
    EXPECT_FALSE(FlipImageHorizontal(nullptr));
    EXPECT_FALSE(FlipImageVertical(nullptr));
}

TEST(RipperTransforms, FourQuarterTurnsGiveTheImageBack)
{
    TRgbaImage image(64, 48);
    for (std::size_t i = 0; i < image.Pixels().size(); ++i)
        image.Pixels()[i] = static_cast<TRgbaPixel>(i * 2654435761u);
    std::unique_ptr<TRgbaImage> turned = image.Clone();
    for (int i = 0; i < 4; ++i)
        turned = RotateImageQuarterTurns(turned.get(), 1);
    EXPECT_EQ(Rows(*turned), Rows(image));
}

}  // namespace
