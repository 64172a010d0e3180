#include "ripper/uTextureRipperModel.h"
#include "tests/ripper/ripper_test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace RipperTest;

namespace {

class RipperSession : public ::testing::Test {
protected:
    TScratchDir Dir;
    TTextureRipperSession Session;

    // Writes a W x H pattern photograph and loads it into the session.
    void Load(std::int32_t W, std::int32_t H, const std::string& Name = "photo.png")
    {
        const TRgbaImage image = PatternImage(W, H, false);
        std::string message;
        ASSERT_TRUE(TRgbaImage::SaveToPngFile(&image, Dir.File(Name), message)) << message;
        ASSERT_TRUE(Session.LoadSourceImage(Dir.File(Name), message)) << message;
        EXPECT_EQ(message, "");
    }

    void ExpectPoints(const TRipperQuad& Expected)
    {
        for (int i = 0; i < 4; ++i) {
            EXPECT_DOUBLE_EQ(Session.GetPoint(i).X, Expected[i].X) << "point " << i;
            EXPECT_DOUBLE_EQ(Session.GetPoint(i).Y, Expected[i].Y) << "point " << i;
        }
    }
};

TRipperQuad Quad(double x0, double y0, double x1, double y1, double x2, double y2, double x3,
                 double y3)
{
    return {MakeRipperPoint(x0, y0), MakeRipperPoint(x1, y1), MakeRipperPoint(x2, y2),
            MakeRipperPoint(x3, y3)};
}

TEST_F(RipperSession, StartsEmpty)
{
    EXPECT_FALSE(Session.HasSourceImage());
    EXPECT_EQ(Session.OutputSize, 64);
    EXPECT_FALSE(Session.Bilinear);
    EXPECT_EQ(Session.QuarterTurns, 0);
    EXPECT_EQ(Session.OutputName, "texture");
    ExpectPoints(Quad(0, 0, 0, 0, 0, 0, 0, 0));
    std::string message;
    EXPECT_FALSE(Session.ValidateSelection(message));
    EXPECT_EQ(message, "Load a source image first.");
    EXPECT_FALSE(Session.BuildOutputImage(0, message));
    EXPECT_EQ(message, "There is no source image.");
    for (int bad : {-1, 4}) {
        try {
            Session.GetPoint(bad);
            ADD_FAILURE() << "index " << bad << " accepted";
        } catch (const EArgumentOutOfRangeException& e) {
            EXPECT_STREQ(e.what(), "Texture Ripper point index is invalid.");
        }
    }
    // Editing without a photograph changes nothing.
    Session.MoveQuad(5, 5);
    ExpectPoints(Quad(0, 0, 0, 0, 0, 0, 0, 0));
}

TEST_F(RipperSession, LoadSetsFullPathAndDefaultQuad)
{
    Load(1000, 500);
    EXPECT_TRUE(Session.HasSourceImage());
    EXPECT_TRUE(std::filesystem::path(Session.SourceFileName()).is_absolute());
    EXPECT_EQ(std::filesystem::path(Session.SourceFileName()).filename(), "photo.png");
    ExpectPoints(Quad(100, 50, 899, 50, 899, 449, 100, 449));
    std::string message;
    EXPECT_TRUE(Session.ValidateSelection(message)) << message;
}

TEST_F(RipperSession, DefaultInsetsOfSmallPhotographs)
{
    Load(2, 2, "two.png");
    ExpectPoints(Quad(0, 0, 1, 0, 1, 1, 0, 1));
    // 4 x 4: 0.4 is raised to 0.5, which is below 0.75.
    Load(4, 4, "four.png");
    ExpectPoints(Quad(0.5, 0.5, 2.5, 0.5, 2.5, 2.5, 0.5, 2.5));
    Load(1, 1, "one.png");
    ExpectPoints(Quad(0, 0, 0, 0, 0, 0, 0, 0));
    std::string message;
    EXPECT_FALSE(Session.ValidateSelection(message));
    EXPECT_EQ(message, "Selection contains duplicate points.");
}

TEST_F(RipperSession, FailedLoadKeepsPhotographAndCorners)
{
    Load(20, 10);
    Session.MovePoint(2, -3, -2);
    const TRipperQuad before = Session.Points();
    const std::string file = Session.SourceFileName();
    WriteBytes(Dir.File("broken.png"), {1, 2, 3});
    std::string message;
    EXPECT_FALSE(Session.LoadSourceImage(Dir.File("broken.png"), message));
    EXPECT_EQ(message, "The image could not be decoded: The file is not a PNG image.");
    EXPECT_FALSE(Session.LoadSourceImage(Dir.File("nothing.png"), message));
    EXPECT_EQ(message, "The image file does not exist.");
    EXPECT_EQ(Session.Source()->Width(), 20);
    EXPECT_EQ(Session.SourceFileName(), file);
    ExpectPoints(before);
}

TEST_F(RipperSession, MovesStayInsideThePhotograph)
{
    Load(50, 40);
    ExpectPoints(Quad(5, 4, 44, 4, 44, 35, 5, 35));

    Session.MovePoint(0, -2, 0);
    EXPECT_EQ(Session.GetPoint(0).X, 3);
    Session.MovePoint(0, -5, 0);  // clamped at the border
    EXPECT_EQ(Session.GetPoint(0).X, 0);
    Session.MovePoint(1, 100, -100);
    EXPECT_EQ(Session.GetPoint(1).X, 49);
    EXPECT_EQ(Session.GetPoint(1).Y, 0);

    // Edge 3 joins corner 3 to corner 0.
    Session.MoveEdge(3, 1, 0);
    EXPECT_EQ(Session.GetPoint(3).X, 6);
    EXPECT_EQ(Session.GetPoint(0).X, 1);
    EXPECT_EQ(Session.GetPoint(1).X, 49);

    // Bad indices and offsets that are not numbers are ignored.
    const TRipperQuad before = Session.Points();
    Session.MovePoint(4, 1, 1);
    Session.MoveEdge(-1, 1, 1);
    Session.MovePoint(2, std::nan(""), 0);
    Session.MoveQuad(std::numeric_limits<double>::infinity(), 0);
    ExpectPoints(before);
}

TEST_F(RipperSession, MoveQuadStopsAtTheBorderKeepingItsShape)
{
    Load(50, 40);
    // Rightmost point at W - 11 = 39.
    Session.MovePoint(1, -5, 0);
    Session.MovePoint(2, -5, 0);
    const TRipperQuad before = Session.Points();
    Session.MoveQuad(1000, 0);
    for (int i = 0; i < 4; ++i) {
        EXPECT_DOUBLE_EQ(Session.GetPoint(i).X, before[i].X + 10) << i;
        EXPECT_DOUBLE_EQ(Session.GetPoint(i).Y, before[i].Y) << i;
    }
    Session.MoveQuad(0, -1000);
    EXPECT_DOUBLE_EQ(Session.GetPoint(0).Y, 0);
    EXPECT_DOUBLE_EQ(Session.GetPoint(3).Y, 31);
}

TEST_F(RipperSession, OutputIsRotatedThenMirrored)
{
    Load(30, 20);
    std::string message;
    auto plain = Session.BuildOutputImage(8, message);
    ASSERT_TRUE(plain) << message;
    EXPECT_EQ(plain->Width(), 8);

    Session.QuarterTurns = 1;
    Session.FlipH = true;
    auto turned = Session.BuildOutputImage(8, message);
    ASSERT_TRUE(turned) << message;
    auto expected = FlipImageHorizontal(RotateImageQuarterTurns(plain.get(), 1).get());
    ExpectSamePixels(*expected, *turned);
    // The other order would differ.
    auto otherOrder = RotateImageQuarterTurns(FlipImageHorizontal(plain.get()).get(), 1);
    EXPECT_NE(std::vector<TRgbaPixel>(otherOrder->Pixels().begin(), otherOrder->Pixels().end()),
              std::vector<TRgbaPixel>(turned->Pixels().begin(), turned->Pixels().end()));

    Session.FlipV = true;
    auto both = Session.BuildOutputImage(8, message);
    ASSERT_TRUE(both);
    ExpectSamePixels(*FlipImageVertical(expected.get()), *both);

    // A size below 1 means the session's output size.
    Session.OutputSize = 32;
    auto sized = Session.BuildOutputImage(0, message);
    ASSERT_TRUE(sized);
    EXPECT_EQ(sized->Width(), 32);
    EXPECT_EQ(sized->Height(), 32);
}

}  // namespace
