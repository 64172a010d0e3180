#include "ripper/uTextureRipperModel.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <new>
#include <system_error>

namespace {

std::string ExpandFileName(const std::string& FileName)
{
    std::error_code ec;
    const std::filesystem::path full = std::filesystem::absolute(FileName, ec);
    if (ec)
        return FileName;
    return full.lexically_normal().string();
}

double DefaultInset(std::int32_t Size)
{
    if (Size < 3)
        return 0.0;
    return std::min(std::max(Size * 0.1, 0.5), (Size - 1) * 0.25);
}

// In single precision, upper bound first.
double ClampSingle(double Value, std::int32_t Size)
{
    float f = static_cast<float>(Value);
    const auto upper = static_cast<float>(Size - 1);
    if (f > upper)
        f = upper;
    if (f < 0.0f)
        f = 0.0f;
    return f;
}

}  // namespace

TRipperPoint TTextureRipperSession::GetPoint(std::int32_t Index) const
{
    if (Index < 0 || Index > 3)
        throw EArgumentOutOfRangeException("Texture Ripper point index is invalid.");
    return FPoints[static_cast<std::size_t>(Index)];
}

bool TTextureRipperSession::LoadSourceImage(const std::string& FileName, std::string& Message)
{
    std::unique_ptr<TRgbaImage> image = LoadRgbaImageFromFile(FileName, Message);
    if (!image)
        return false;
    FSource = std::move(image);
    FSourceFileName = ExpandFileName(FileName);
    ResetQuad();
    return true;
}

bool TTextureRipperSession::HasSourceImage() const
{
    return FSource && FSource->Width() > 0 && FSource->Height() > 0;
}

void TTextureRipperSession::ResetQuad()
{
    if (!HasSourceImage())
        return;
    const std::int32_t w = FSource->Width(), h = FSource->Height();
    const double ix = DefaultInset(w), iy = DefaultInset(h);
    FPoints = {MakeRipperPoint(ix, iy), MakeRipperPoint(w - 1 - ix, iy),
               MakeRipperPoint(w - 1 - ix, h - 1 - iy), MakeRipperPoint(ix, h - 1 - iy)};
    ClampPoints();
}

void TTextureRipperSession::ClampPoints()
{
    if (!HasSourceImage())
        return;
    for (TRipperPoint& p : FPoints) {
        p.X = ClampSingle(p.X, FSource->Width());
        p.Y = ClampSingle(p.Y, FSource->Height());
    }
}

bool TTextureRipperSession::ValidateSelection(std::string& Message) const
{
    if (!HasSourceImage()) {
        Message = "Load a source image first.";
        return false;
    }
    return ValidateRipperQuad(FPoints, FSource->Width(), FSource->Height(), Message);
}

void TTextureRipperSession::MovePoint(std::int32_t Index, double dx, double dy)
{
    if (Index < 0 || Index > 3 || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    FPoints[static_cast<std::size_t>(Index)].X += dx;
    FPoints[static_cast<std::size_t>(Index)].Y += dy;
    ClampPoints();
}

void TTextureRipperSession::MoveEdge(std::int32_t Index, double dx, double dy)
{
    if (Index < 0 || Index > 3 || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    for (std::int32_t i : {Index, (Index + 1) % 4}) {
        FPoints[static_cast<std::size_t>(i)].X += dx;
        FPoints[static_cast<std::size_t>(i)].Y += dy;
    }
    ClampPoints();
}

void TTextureRipperSession::MoveQuad(double dx, double dy)
{
    if (!HasSourceImage() || !std::isfinite(dx) || !std::isfinite(dy))
        return;
    double minX = FPoints[0].X, maxX = minX, minY = FPoints[0].Y, maxY = minY;
    for (const TRipperPoint& p : FPoints) {
        minX = std::min(minX, p.X);
        maxX = std::max(maxX, p.X);
        minY = std::min(minY, p.Y);
        maxY = std::max(maxY, p.Y);
    }
    const double right = FSource->Width() - 1, bottom = FSource->Height() - 1;
    if (minX + dx < 0)
        dx = -minX;
    if (maxX + dx > right)
        dx = right - maxX;
    if (minY + dy < 0)
        dy = -minY;
    if (maxY + dy > bottom)
        dy = bottom - maxY;
    for (TRipperPoint& p : FPoints) {
        p.X += dx;
        p.Y += dy;
    }
}

std::unique_ptr<TRgbaImage> TTextureRipperSession::BuildOutputImage(std::int32_t Size,
                                                                    std::string& Message) const
{
    if (Size < 1)
        Size = OutputSize;
    std::unique_ptr<TRgbaImage> image =
        RectifyQuad(FSource.get(), FPoints, Size, Bilinear, Message);
    if (!image)
        return nullptr;
    try {
        if (QuarterTurns != 0)
            image = RotateImageQuarterTurns(image.get(), QuarterTurns);
        if (FlipH)
            image = FlipImageHorizontal(image.get());
        if (FlipV)
            image = FlipImageVertical(image.get());
    } catch (const std::bad_alloc&) {
        Message = "Not enough memory is available for the image.";
        return nullptr;
    }
    return image;
}
