#include "ripper/uTextureRipperWarp.h"

#include "ripper/uTextureRipperWarpRows.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <new>
#include <utility>
#include <vector>

double RoundHalfEven(double x)
{
    const double r = std::round(x);
    if (std::fabs(x - std::trunc(x)) == 0.5)
        return 2.0 * std::round(x * 0.5);
    return r;
}

double RipperCross(const TRipperPoint& a, const TRipperPoint& b, const TRipperPoint& c)
{
    return (b.X - a.X) * (c.Y - a.Y) - (b.Y - a.Y) * (c.X - a.X);
}

int RipperOrientation(const TRipperPoint& a, const TRipperPoint& b, const TRipperPoint& c)
{
    const double cross = RipperCross(a, b, c);
    if (cross > RipperGeometryEpsilon)
        return 1;
    if (cross < -RipperGeometryEpsilon)
        return -1;
    return 0;
}

double QuadSignedArea(const TRipperQuad& Points)
{
    double sum = 0.0;
    for (int i = 0; i < 4; ++i) {
        const TRipperPoint& p = Points[i];
        const TRipperPoint& q = Points[(i + 1) % 4];
        sum += p.X * q.Y - p.Y * q.X;
    }
    return 0.5 * sum;
}

bool IsFiniteDouble(double x)
{
    return !std::isnan(x) && std::fabs(x) <= std::numeric_limits<double>::max();
}

bool PointOnSegment(const TRipperPoint& a, const TRipperPoint& b, const TRipperPoint& p)
{
    const double e = RipperGeometryEpsilon;
    return p.X >= std::fmin(a.X, b.X) - e && p.X <= std::fmax(a.X, b.X) + e &&
           p.Y >= std::fmin(a.Y, b.Y) - e && p.Y <= std::fmax(a.Y, b.Y) + e;
}

bool SegmentsIntersect(const TRipperPoint& p, const TRipperPoint& q, const TRipperPoint& r,
                       const TRipperPoint& s)
{
    const int o1 = RipperOrientation(p, q, r);
    const int o2 = RipperOrientation(p, q, s);
    const int o3 = RipperOrientation(r, s, p);
    const int o4 = RipperOrientation(r, s, q);
    if (o1 != 0 && o2 != 0 && o3 != 0 && o4 != 0 && o1 != o2 && o3 != o4)
        return true;
    return (o1 == 0 && PointOnSegment(p, q, r)) || (o2 == 0 && PointOnSegment(p, q, s)) ||
           (o3 == 0 && PointOnSegment(r, s, p)) || (o4 == 0 && PointOnSegment(r, s, q));
}

bool ValidateRipperQuad(const TRipperQuad& Points, std::int32_t Width, std::int32_t Height,
                        std::string& Message)
{
    Message.clear();
    if (Width < 1 || Height < 1) {
        Message = "The source image has no usable dimensions.";
        return false;
    }
    const double e = RipperGeometryEpsilon;
    for (int i = 0; i < 4; ++i) {
        const TRipperPoint& p = Points[i];
        if (!IsFiniteDouble(p.X) || !IsFiniteDouble(p.Y)) {
            Message = "Selection contains a non-finite point.";
            return false;
        }
        if (p.X < -e || p.X > Width - 1 + e || p.Y < -e || p.Y > Height - 1 + e) {
            Message = "Selection extends outside the source image.";
            return false;
        }
        const TRipperPoint& next = Points[(i + 1) % 4];
        const double dx = next.X - p.X;
        const double dy = next.Y - p.Y;
        if (dx * dx + dy * dy <= e) {
            Message = "Selection contains duplicate points.";
            return false;
        }
    }
    if (std::fabs(QuadSignedArea(Points)) < RipperMinimumArea) {
        Message = "Selection is too small.";
        return false;
    }
    if (SegmentsIntersect(Points[0], Points[1], Points[2], Points[3]) ||
        SegmentsIntersect(Points[1], Points[2], Points[3], Points[0])) {
        Message = "Selection is crossed.";
        return false;
    }
    int first = 0;
    for (int i = 0; i < 4; ++i) {
        const int o = RipperOrientation(Points[i], Points[(i + 1) % 4], Points[(i + 2) % 4]);
        if (o == 0) {
            Message = "Selection is not a usable convex quadrilateral.";
            return false;
        }
        if (i == 0)
            first = o;
        else if (o != first) {
            Message = "Selection is not a convex quadrilateral.";
            return false;
        }
    }
    return true;
}

bool SolveQuadHomography(const TRipperQuad& Points, std::int32_t N, std::span<double> H)
{
    if (H.size() < 8)
        return false;
    const double m = static_cast<double>(N) - 1.0;
    const double corners[4][2] = {{0.0, 0.0}, {m, 0.0}, {m, m}, {0.0, m}};
    double a[8][9] = {};
    for (int i = 0; i < 4; ++i) {
        const double u = corners[i][0], v = corners[i][1];
        const double x = Points[i].X, y = Points[i].Y;
        double* r0 = a[2 * i];
        double* r1 = a[2 * i + 1];
        r0[0] = u, r0[1] = v, r0[2] = 1.0, r0[6] = -x * u, r0[7] = -x * v, r0[8] = x;
        r1[3] = u, r1[4] = v, r1[5] = 1.0, r1[6] = -y * u, r1[7] = -y * v, r1[8] = y;
    }
    for (int c = 0; c < 8; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 8; ++r)
            if (std::fabs(a[r][c]) > std::fabs(a[pivot][c]))
                pivot = r;
        // Written so that a pivot that is not a number also fails.
        if (!(std::fabs(a[pivot][c]) >= RipperPivotEpsilon))
            return false;
        if (pivot != c)
            for (int k = c; k < 9; ++k)
                std::swap(a[pivot][k], a[c][k]);
        const double div = a[c][c];
        for (int k = c; k < 9; ++k)
            a[c][k] /= div;
        for (int r = 0; r < 8; ++r) {
            if (r == c || a[r][c] == 0.0)
                continue;
            const double f = a[r][c];
            for (int k = c; k < 9; ++k)
                a[r][k] -= f * a[c][k];
        }
    }
    for (int i = 0; i < 8; ++i)
        H[i] = a[i][8];
    return true;
}

TRgbaPixel SampleNearest(const TRgbaImage& Image, double X, double Y)
{
    if (Image.IsEmpty() || std::isnan(X) || std::isnan(Y))
        return 0;
    const auto clampIndex = [](double v, std::int32_t size) {
        v = RoundHalfEven(v);
        if (v < 0.0)
            v = 0.0;
        if (v > size - 1)
            v = size - 1;
        return static_cast<std::int32_t>(v);
    };
    return *(Image.Row(clampIndex(Y, Image.Height())) + clampIndex(X, Image.Width()));
}

TRgbaPixel SampleBilinear(const TRgbaImage& Image, double X, double Y)
{
    if (Image.IsEmpty() || std::isnan(X) || std::isnan(Y))
        return 0;
    const auto clampSingle = [](double v, std::int32_t size) {
        float f = static_cast<float>(v);
        if (f < 0.0f)
            f = 0.0f;
        if (f > static_cast<float>(size - 1))
            f = static_cast<float>(size - 1);
        return static_cast<double>(f);
    };
    const double cx = clampSingle(X, Image.Width());
    const double cy = clampSingle(Y, Image.Height());
    const auto x0 = static_cast<std::int32_t>(std::floor(cx));
    const auto y0 = static_cast<std::int32_t>(std::floor(cy));
    const std::int32_t x1 = std::min(x0 + 1, Image.Width() - 1);
    const std::int32_t y1 = std::min(y0 + 1, Image.Height() - 1);
    const double fx = cx - x0;
    const double fy = cy - y0;
    const TRgbaPixel c00 = Image.Row(y0)[x0], c10 = Image.Row(y0)[x1];
    const TRgbaPixel c01 = Image.Row(y1)[x0], c11 = Image.Row(y1)[x1];
    const double w00 = (1 - fx) * (1 - fy), w10 = fx * (1 - fy), w01 = (1 - fx) * fy, w11 = fx * fy;
    TRgbaPixel result = 0;
    for (int shift = 0; shift < 32; shift += 8) {
        const auto channel = [shift](TRgbaPixel p) {
            return static_cast<double>((p >> shift) & 0xFFu);
        };
        double v =
            channel(c00) * w00 + channel(c10) * w10 + channel(c01) * w01 + channel(c11) * w11;
        if (v < 0.0)
            v = 0.0;
        if (v > 255.0)
            v = 255.0;
        result |= static_cast<TRgbaPixel>(RoundHalfEven(v)) << shift;
    }
    return result;
}

std::unique_ptr<TRgbaImage> RectifyQuad(const TRgbaImage* Source, const TRipperQuad& Points,
                                        std::int32_t N, bool Bilinear, std::string& Message)
{
    Message.clear();
    if (!Source) {
        Message = "There is no source image.";
        return nullptr;
    }
    if (N < 1) {
        Message = "The output size is invalid.";
        return nullptr;
    }
    if (!ValidateRipperQuad(Points, Source->Width(), Source->Height(), Message))
        return nullptr;
    double h[8];
    if (!SolveQuadHomography(Points, N, h)) {
        Message = "The perspective transform is singular.";
        return nullptr;
    }
    try {
        // Every pixel is written below, so the image is not cleared first.
        auto image = std::make_unique<TRgbaImage>(N, N, TRgbaImage::TUninitialized{});
        const auto n = static_cast<std::size_t>(N);
        // Two rows of coordinates: the one being sampled and the next, whose source lines
        // are fetched while this row's end is sampled.
        // Every entry is written before it is read: no clearing here either.
        const std::unique_ptr<double[]> buffer(new double[7 * n]);
        double* columns = buffer.get();
        double* coordinates = columns + 3 * n;
        double* xs[2] = {coordinates, coordinates + n};
        double* ys[2] = {coordinates + 2 * n, coordinates + 3 * n};
        for (std::int32_t u = 0; u < N; ++u) {
            columns[u] = h[0] * u;
            columns[n + u] = h[3] * u;
            columns[2 * n + u] = h[6] * u;
        }
        TRowCoordinates state = RectifyRowCoordinates(h, columns, N, 0, xs[0], ys[0]);
        for (std::int32_t v = 0; v < N; ++v) {
            const int cur = v & 1, next = cur ^ 1;
            const bool hasNext = v + 1 < N;
            const TRowCoordinates nextState =
                hasNext ? RectifyRowCoordinates(h, columns, N, v + 1, xs[next], ys[next])
                        : TRowCoordinates::Ok;
            TRgbaPixel* row = image->Row(v);
            switch (state) {
            case TRowCoordinates::InvalidProjection:
                Message = "The perspective transform contains an invalid projection.";
                return nullptr;
            case TRowCoordinates::NotANumber:
                for (std::int32_t u = 0; u < N; ++u)
                    row[u] = Bilinear ? SampleBilinear(*Source, xs[cur][u], ys[cur][u])
                                      : SampleNearest(*Source, xs[cur][u], ys[cur][u]);
                break;
            case TRowCoordinates::Ok: {
                // Coordinates that are not numbers are never fetched ahead.
                const bool ahead = hasNext && nextState == TRowCoordinates::Ok;
                const double* nx = ahead ? xs[next] : nullptr;
                const double* ny = ahead ? ys[next] : nullptr;
                if (Bilinear)
                    SampleRowBilinear(*Source, xs[cur], ys[cur], N, row, nx, ny);
                else
                    SampleRowNearest(*Source, xs[cur], ys[cur], N, row, nx, ny);
                break;
            }
            }
            state = nextState;
        }
        return image;
    } catch (const std::bad_alloc&) {
        Message = "Not enough memory is available for the image.";
    } catch (const std::exception& e) {
        Message = e.what();
    }
    return nullptr;
}

std::unique_ptr<TRgbaImage> RotateImageQuarterTurns(const TRgbaImage* Image, std::int32_t Turns)
{
    if (!Image)
        return nullptr;
    const int k = ((Turns % 4) + 4) % 4;
    if (k == 0)
        return Image->Clone();
    const std::int32_t w = Image->Width(), h = Image->Height();
    auto result = k == 2 ? std::make_unique<TRgbaImage>(w, h) : std::make_unique<TRgbaImage>(h, w);
    const std::int32_t rw = result->Width(), rh = result->Height();
    for (std::int32_t y = 0; y < rh; ++y) {
        TRgbaPixel* out = result->Row(y);
        for (std::int32_t x = 0; x < rw; ++x) {
            std::int32_t sx, sy;
            if (k == 1)
                sx = y, sy = h - 1 - x;
            else if (k == 2)
                sx = w - 1 - x, sy = h - 1 - y;
            else
                sx = w - 1 - y, sy = x;
            out[x] = Image->Row(sy)[sx];
        }
    }
    return result;
}

std::unique_ptr<TRgbaImage> FlipImageHorizontal(const TRgbaImage* Image)
{
    if (!Image)
        return nullptr;
    auto result = std::make_unique<TRgbaImage>(Image->Width(), Image->Height());
    for (std::int32_t y = 0; y < Image->Height(); ++y) {
        const TRgbaPixel* in = Image->Row(y);
        TRgbaPixel* out = result->Row(y);
        for (std::int32_t x = 0; x < Image->Width(); ++x)
            out[x] = in[Image->Width() - 1 - x];
    }
    return result;
}

std::unique_ptr<TRgbaImage> FlipImageVertical(const TRgbaImage* Image)
{
    if (!Image)
        return nullptr;
    auto result = std::make_unique<TRgbaImage>(Image->Width(), Image->Height());
    for (std::int32_t y = 0; y < Image->Height(); ++y) {
        const TRgbaPixel* in = Image->Row(Image->Height() - 1 - y);
        std::copy(in, in + Image->Width(), result->Row(y));
    }
    return result;
}
