#pragma once
// One texture-ripping job: the photograph, the four corners of the selection and the
// output options. Editing keeps every corner inside the photograph.
#include "image/uTextureRipperImage.h"
#include "ripper/uTextureRipperWarp.h"

#include <cstdint>
#include <memory>
#include <string>

class TTextureRipperSession {
public:
    TTextureRipperSession() = default;

    // Raises EArgumentOutOfRangeException unless 0 <= Index <= 3.
    TRipperPoint GetPoint(std::int32_t Index) const;
    const TRipperQuad& Points() const { return FPoints; }

    // On failure the session keeps its photograph and corners.
    bool LoadSourceImage(const std::string& FileName, std::string& Message);
    bool HasSourceImage() const;
    const TRgbaImage* Source() const { return FSource.get(); }
    // The full path of the loaded photograph.
    const std::string& SourceFileName() const { return FSourceFileName; }

    void ResetQuad();
    void ClampPoints();
    bool ValidateSelection(std::string& Message) const;

    // Offsets in source pixels. Bad indices and offsets that are not finite are ignored.
    void MovePoint(std::int32_t Index, double dx, double dy);
    // Moves corner Index and the next corner: edge i runs from corner i to corner i + 1.
    void MoveEdge(std::int32_t Index, double dx, double dy);
    // Moves the whole quad, stopping at the image border so its shape is kept.
    void MoveQuad(double dx, double dy);

    // Rectified, then turned by QuarterTurns, then mirrored (FlipH, then FlipV). A Size
    // below 1 means OutputSize.
    std::unique_ptr<TRgbaImage> BuildOutputImage(std::int32_t Size, std::string& Message) const;

    // Options, set directly by the window.
    std::int32_t OutputSize = 64;
    bool Bilinear = false;
    std::int32_t QuarterTurns = 0;  // clockwise
    bool FlipH = false;
    bool FlipV = false;
    std::string OutputName = "texture";

private:
    std::string FSourceFileName;
    std::unique_ptr<TRgbaImage> FSource;
    TRipperQuad FPoints{};
};
