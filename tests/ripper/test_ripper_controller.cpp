#include "ripper/uTextureRipperController.h"
#include "tests/ripper/ripper_test_files.h"

#include <gtest/gtest.h>

using namespace RipperTest;

namespace {

class RipperController : public ::testing::Test {
protected:
    TScratchDir Dir;
    std::int64_t Clock = 0;
    TTextureRipperController Controller{[this] { return Clock; }};

    void Load(std::int32_t W, std::int32_t H)
    {
        const TRgbaImage image = PatternImage(W, H, false);
        std::string message;
        ASSERT_TRUE(TRgbaImage::SaveToPngFile(&image, Dir.File("photo.png"), message)) << message;
        ASSERT_TRUE(Controller.Session().LoadSourceImage(Dir.File("photo.png"), message))
            << message;
    }

    // A 100 x 100 photograph shown at actual pixels in a 100 x 100 view, so screen and
    // source coordinates coincide; the quad is (10,10) (89,10) (89,89) (10,89).
    void LoadUnitView()
    {
        Load(100, 100);
        Controller.SetViewSize(100, 100);
        Controller.ResetView();
    }

    TRipperPoint Point(int i) const { return Controller.Session().GetPoint(i); }
};

TEST_F(RipperController, FitsWithAMarginAndCentres)
{
    Controller.SetViewSize(0, -5);
    EXPECT_EQ(Controller.ViewWidth(), 1);
    EXPECT_EQ(Controller.ViewHeight(), 1);
    Controller.FitToView();
    EXPECT_EQ(Controller.Zoom(), 1.0);
    EXPECT_EQ(Controller.GetImageScreenRect().Right, 0);

    Load(1000, 500);
    Controller.SetViewSize(430, 500);
    Controller.FitToView();
    EXPECT_DOUBLE_EQ(Controller.Zoom(), 0.406);
    EXPECT_NEAR(Controller.ImageOriginX(), 12.0, 1e-9);
    EXPECT_NEAR(Controller.ImageOriginY(), 148.5, 1e-9);
    const TRipperScreenRect r = Controller.GetImageScreenRect();
    EXPECT_EQ(r.Left, 12);
    EXPECT_EQ(r.Right, 418);

    // A view smaller than the margin still gets the smallest zoom.
    Controller.SetViewSize(10, 10);
    Controller.FitToView();
    EXPECT_EQ(Controller.Zoom(), 0.01);
}

TEST_F(RipperController, ImageRectRoundsHalvesToEven)
{
    LoadUnitView();
    Controller.SetViewSize(101, 103);  // origin (0.5, 1.5)
    const TRipperScreenRect r = Controller.GetImageScreenRect();
    EXPECT_EQ(r.Left, 0);
    EXPECT_EQ(r.Top, 2);
    EXPECT_EQ(r.Right, 100);
    EXPECT_EQ(r.Bottom, 102);
}

TEST_F(RipperController, WheelZoomSteps)
{
    Controller.ZoomAt(5, 5, 120);  // nothing without a photograph
    EXPECT_EQ(Controller.Zoom(), 1.0);

    LoadUnitView();
    for (int i = 0; i < 10; ++i)
        Controller.ZoomAt(50, 50, 120);
    EXPECT_EQ(Controller.Zoom(), 9765625.0 / 1048576.0);  // 1.25^10, exact in single precision
    for (int i = 0; i < 30; ++i)
        Controller.ZoomAt(50, 50, 120);
    EXPECT_EQ(Controller.Zoom(), 64.0);
    for (int i = 0; i < 60; ++i)
        Controller.ZoomAt(50, 50, 0);  // a zero delta zooms out
    EXPECT_EQ(Controller.Zoom(), static_cast<double>(0.05f));
}

TEST_F(RipperController, WheelZoomKeepsThePointUnderTheCursor)
{
    LoadUnitView();
    const TRipperPoint before = Controller.ScreenToImage(30, 70);
    Controller.ZoomAt(30, 70, 120);
    const TRipperPoint after = Controller.ScreenToImage(30, 70);
    EXPECT_NEAR(after.X, before.X, 1e-9);
    EXPECT_NEAR(after.Y, before.Y, 1e-9);
    EXPECT_NE(Controller.PanX(), 0.0);

    Controller.ZoomAt(30, 70, -120);
    EXPECT_EQ(Controller.Zoom(), 1.0);
    EXPECT_NEAR(Controller.PanX(), 0.0, 1e-9);
    EXPECT_NEAR(Controller.PanY(), 0.0, 1e-9);
}

TEST_F(RipperController, ScreenMapping)
{
    Load(100, 100);
    Controller.SetViewSize(224, 224);
    Controller.FitToView();
    ASSERT_EQ(Controller.Zoom(), 2.0);
    const TRipperScreenPoint s = Controller.ImageToScreen(MakeRipperPoint(10, 10.25));
    EXPECT_EQ(s.X, 32);
    EXPECT_EQ(s.Y, 32);  // 32.5 rounds to even
    const TRipperPoint p = Controller.ScreenToImage(32, 33);
    EXPECT_DOUBLE_EQ(p.X, 10);
    EXPECT_DOUBLE_EQ(p.Y, 10.5);
    const auto quad = Controller.GetScreenQuad();
    EXPECT_EQ(quad[2].X, 12 + 89 * 2);
    EXPECT_EQ(quad[2].Y, 12 + 89 * 2);
}

TEST_F(RipperController, HitTestOrder)
{
    TRipperHit hit;
    EXPECT_FALSE(Controller.HitTest(0, 0, hit));

    LoadUnitView();
    struct TCase {
        std::int32_t X, Y;
        TRipperHitKind Kind;
        std::int32_t Index;
    };
    const TCase cases[] = {
        {16, 16, TRipperHitKind::Corner, 0},  // 8.5 pixels from corner 0
        {95, 95, TRipperHitKind::Corner, 2},  // outside the quad, still the corner
        {17, 17, TRipperHitKind::Edge, 0},    // 9.9 from the corner, 7 from edge 0
        {50, 17, TRipperHitKind::Edge, 0},
        {50, 3, TRipperHitKind::Edge, 0},  // outside the quad
        {96, 50, TRipperHitKind::Edge, 1},
        {50, 19, TRipperHitKind::Inside, -1},  // 9 from the edge
        {50, 50, TRipperHitKind::Inside, -1},
        {50, 1, TRipperHitKind::None, -1},
        {99, 50, TRipperHitKind::None, -1},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(Controller.HitTest(c.X, c.Y, hit), c.Kind != TRipperHitKind::None)
            << c.X << ", " << c.Y;
        EXPECT_EQ(hit.Kind, c.Kind) << c.X << ", " << c.Y;
        EXPECT_EQ(hit.Index, c.Index) << c.X << ", " << c.Y;
    }

    // Edge 0 made 64 pixels long, so the projection is exact: 8 from the edge and 10
    // from its corner grabs the edge.
    Controller.Session().MovePoint(1, -15, 0);
    for (std::int32_t x : {16, 42}) {
        ASSERT_TRUE(Controller.HitTest(x, 18, hit));
        EXPECT_EQ(hit.Kind, TRipperHitKind::Edge) << x;
        EXPECT_EQ(hit.Index, 0) << x;
    }

    // A slanted edge from (20, 10) to (84, 58) (a 3-4-5 direction, length 80): presses
    // exactly 8 pixels away on either side grab it, 9 pixels away do not. (60, 30) is the
    // press a projection rounded to single precision measured as 8.000000000000057.
    Controller.Session().MovePoint(0, 20 - Point(0).X, 10 - Point(0).Y);
    Controller.Session().MovePoint(1, 84 - Point(1).X, 58 - Point(1).Y);
    const TCase slanted[] = {
        {60, 30, TRipperHitKind::Edge, 0},  {40, 15, TRipperHitKind::Edge, 0},
        {40, 35, TRipperHitKind::Edge, 0},  {35, 10, TRipperHitKind::None, -1},
        {55, 25, TRipperHitKind::None, -1},
    };
    for (const TCase& c : slanted) {
        Controller.HitTest(c.X, c.Y, hit);
        const bool edge = hit.Kind == TRipperHitKind::Edge && hit.Index == 0;
        EXPECT_EQ(edge, c.Kind == TRipperHitKind::Edge) << c.X << ", " << c.Y;
    }
    Controller.Session().ResetQuad();
    Controller.Session().MovePoint(1, 22 - 89, 0);
    ASSERT_EQ(Point(1).X, 22);

    // Two corners within reach: the lower-numbered one wins.
    ASSERT_TRUE(Controller.HitTest(16, 10, hit));
    EXPECT_EQ(hit.Kind, TRipperHitKind::Corner);
    EXPECT_EQ(hit.Index, 0);
}

TEST_F(RipperController, DraggingCornersEdgesAndTheQuad)
{
    LoadUnitView();
    Controller.MouseDown(89, 89);
    EXPECT_EQ(Controller.DragMode(), TRipperDragMode::Corner);
    EXPECT_EQ(Controller.DragIndex(), 2);
    EXPECT_EQ(Controller.SelectedCorner(), 2);
    Controller.MouseMove(84, 80, false, false);
    EXPECT_EQ(Point(2).X, 84);
    EXPECT_EQ(Point(2).Y, 80);
    EXPECT_TRUE(Controller.PreviewDirty());
    Controller.MouseUp();
    EXPECT_EQ(Controller.DragMode(), TRipperDragMode::None);
    EXPECT_EQ(Controller.DragIndex(), -1);
    EXPECT_EQ(Controller.SelectedCorner(), 2);

    // An edge drag moves both its corners and keeps the selected corner.
    Controller.MouseDown(50, 12);
    EXPECT_EQ(Controller.DragMode(), TRipperDragMode::Edge);
    Controller.MouseMove(50, 15, false, false);
    EXPECT_EQ(Point(0).Y, 13);
    EXPECT_EQ(Point(1).Y, 13);
    EXPECT_EQ(Point(3).Y, 89);
    EXPECT_EQ(Controller.SelectedCorner(), 2);
    Controller.MouseUp();

    Controller.MouseDown(50, 50);
    EXPECT_EQ(Controller.DragMode(), TRipperDragMode::Quad);
    Controller.MouseMove(54, 50, false, false);
    EXPECT_EQ(Point(0).X, 14);
    EXPECT_EQ(Point(2).X, 88);
    Controller.MouseUp();

    // A press on nothing drags nothing; moves then change nothing.
    const TRipperQuad before = Controller.Session().Points();
    Controller.MouseDown(99, 1);
    EXPECT_EQ(Controller.DragMode(), TRipperDragMode::None);
    Controller.MouseMove(60, 60, false, false);
    EXPECT_EQ(Controller.Session().Points()[0].X, before[0].X);
}

TEST_F(RipperController, AxisLockAndPrecision)
{
    LoadUnitView();
    Controller.MouseDown(10, 10);
    Controller.MouseMove(15, 15, true, false);  // a tie keeps the horizontal movement
    EXPECT_EQ(Point(0).X, 15);
    EXPECT_EQ(Point(0).Y, 10);
    Controller.MouseMove(16, 19, true, false);
    EXPECT_EQ(Point(0).X, 15);
    EXPECT_EQ(Point(0).Y, 14);
    Controller.MouseUp();

    // At zoom 2 with precision, ten screen pixels are one source pixel.
    Controller.SetViewSize(224, 224);
    Controller.FitToView();
    ASSERT_EQ(Controller.Zoom(), 2.0);
    const TRipperScreenPoint corner = Controller.ImageToScreen(Point(1));
    Controller.MouseDown(corner.X, corner.Y);
    ASSERT_EQ(Controller.DragIndex(), 1);
    Controller.MouseMove(corner.X + 10, corner.Y, false, true);
    EXPECT_DOUBLE_EQ(Point(1).X, 90);
}

TEST_F(RipperController, PanningMovesTheViewNotTheQuad)
{
    LoadUnitView();
    const TRipperQuad before = Controller.Session().Points();
    Controller.BeginPan(10, 10);
    EXPECT_EQ(Controller.DragMode(), TRipperDragMode::Pan);
    Controller.MouseMove(15, 7, false, false);
    EXPECT_EQ(Controller.PanX(), 5);
    EXPECT_EQ(Controller.PanY(), -3);
    EXPECT_EQ(Controller.ImageOriginX(), 5);
    EXPECT_EQ(Controller.Session().Points()[0].X, before[0].X);
    EXPECT_FALSE(Controller.PreviewDirty());
    Controller.ResetView();
    EXPECT_EQ(Controller.PanX(), 0);
}

TEST_F(RipperController, NudgeNeedsASelectedCorner)
{
    LoadUnitView();
    Controller.NudgeSelectedPoint(-1, 0);
    EXPECT_EQ(Point(0).X, 10);
    EXPECT_FALSE(Controller.PreviewDirty());

    Controller.MouseDown(89, 10);
    Controller.MouseUp();
    Controller.NudgeSelectedPoint(-10, 1);
    EXPECT_EQ(Point(1).X, 79);
    EXPECT_EQ(Point(1).Y, 11);
    EXPECT_TRUE(Controller.PreviewDirty());
}

TEST_F(RipperController, PreviewThrottle)
{
    EXPECT_FALSE(Controller.PreviewDue(true));
    Clock = 1000;
    Controller.MarkPreviewDirty();
    EXPECT_TRUE(Controller.PreviewDue(false));  // never built yet
    Controller.PreviewDone();
    EXPECT_FALSE(Controller.PreviewDirty());
    EXPECT_FALSE(Controller.PreviewDue(true));

    Controller.MarkPreviewDirty();
    Clock = 1059;
    EXPECT_FALSE(Controller.PreviewDue(false));
    EXPECT_TRUE(Controller.PreviewDue(true));
    Clock = 1060;
    EXPECT_TRUE(Controller.PreviewDue(false));
}

}  // namespace
