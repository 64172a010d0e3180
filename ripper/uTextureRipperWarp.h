#pragma once
// Four-corner selections on a photograph, the perspective transform from an N x N
// square onto them, and resampling, rotating and mirroring of the result. Pure
// functions; failures come back as messages for the user, never as exceptions.
#include "image/uTextureRipperImage.h"

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

// Source-image pixel coordinates; pixel centres lie on whole numbers.
struct TRipperPoint {
    double X = 0.0;
    double Y = 0.0;
};

inline TRipperPoint MakeRipperPoint(double X, double Y)
{
    return TRipperPoint{X, Y};
}

// Corners in the order top-left, top-right, bottom-right, bottom-left.
using TRipperQuad = std::array<TRipperPoint, 4>;

inline constexpr double RipperGeometryEpsilon = 1e-9;
inline constexpr double RipperPivotEpsilon = 1e-12;
inline constexpr double RipperMinimumArea = 0.5;

double RipperCross(const TRipperPoint& a, const TRipperPoint& b, const TRipperPoint& c);
// 1, -1, or 0 for (nearly) collinear points and for a cross that is not a number.
int RipperOrientation(const TRipperPoint& a, const TRipperPoint& b, const TRipperPoint& c);
double QuadSignedArea(const TRipperQuad& Points);
bool IsFiniteDouble(double x);
// Only the bounding-box test: the callers already know the three points are collinear.
bool PointOnSegment(const TRipperPoint& a, const TRipperPoint& b, const TRipperPoint& p);
bool SegmentsIntersect(const TRipperPoint& p, const TRipperPoint& q, const TRipperPoint& r,
                       const TRipperPoint& s);

// True for a convex quadrilateral (either winding) of at least half a square pixel,
// inside a Width x Height image.
bool ValidateRipperQuad(const TRipperQuad& Points, std::int32_t Width, std::int32_t Height,
                        std::string& Message);

// Maps output pixel (u, v) to x = (h0 u + h1 v + h2) / w, y = (h3 u + h4 v + h5) / w,
// w = h6 u + h7 v + 1, with the square's corners (0,0), (N-1,0), (N-1,N-1), (0,N-1)
// on points 0..3. False when H has fewer than 8 places or the system is singular.
bool SolveQuadHomography(const TRipperQuad& Points, std::int32_t N, std::span<double> H);

// A new N x N image of the selection, or none with the reason in Message.
std::unique_ptr<TRgbaImage> RectifyQuad(const TRgbaImage* Source, const TRipperQuad& Points,
                                        std::int32_t N, bool Bilinear, std::string& Message);

// Both clamp to the image; an empty image or a coordinate that is not a number gives 0.
TRgbaPixel SampleNearest(const TRgbaImage& Image, double X, double Y);
TRgbaPixel SampleBilinear(const TRgbaImage& Image, double X, double Y);

// Positive turns are clockwise; any count is reduced modulo 4. None for no input.
std::unique_ptr<TRgbaImage> RotateImageQuarterTurns(const TRgbaImage* Image, std::int32_t Turns);
std::unique_ptr<TRgbaImage> FlipImageHorizontal(const TRgbaImage* Image);
std::unique_ptr<TRgbaImage> FlipImageVertical(const TRgbaImage* Image);

// Round half to even, as the sampling and the screen mapping use it.
double RoundHalfEven(double x);
