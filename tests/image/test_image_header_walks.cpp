// What a decoder reads of a file before the image data is bounded by the image the file
// declares, not by the file's length: huge files of zeros, of empty chunks or of markers
// are refused after a few bytes or a bounded walk. The files are made as they are read
// (or as sparse files), so a file of gigabytes takes neither memory nor disk.
#include "image/uImageCodecs.h"
#include "image/uImageCodecsInternal.h"
#include "image/uTextureRipperImage.h"
#include "scene/uTextures.h"
#include "tests/image/crafted_image_files.h"
#include "tests/ripper/ripper_test_files.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

using namespace RipperTest;
using namespace ImageCodecDetail;

namespace {

constexpr std::uint64_t k8GiB = std::uint64_t{8} << 30;

// Head, then Unit repeated (zeros when Unit is empty) up to Size bytes. Counts the bytes
// handed out; skips are not reads.
class TMadeSource final : public TByteSource {
public:
    TMadeSource(TBytes Head, TBytes Unit, std::uint64_t Size)
        : Head(std::move(Head)), Unit(std::move(Unit)), Length(Size)
    {
    }
    std::size_t Read(void* Buffer, std::size_t Count) override
    {
        auto* out = static_cast<std::uint8_t*>(Buffer);
        const std::size_t n =
            static_cast<std::size_t>(std::min<std::uint64_t>(Count, Length - Pos));
        for (std::size_t done = 0; done < n;) {
            const std::uint64_t at = Pos + done;
            std::size_t piece = n - done;
            if (at < Head.size()) {
                piece = std::min<std::size_t>(piece, Head.size() - at);
                std::memcpy(out + done, Head.data() + at, piece);
            } else if (Unit.empty()) {
                std::memset(out + done, 0, piece);
            } else {
                const std::size_t offset = (at - Head.size()) % Unit.size();
                piece = std::min(piece, Unit.size() - offset);
                std::memcpy(out + done, Unit.data() + offset, piece);
            }
            done += piece;
        }
        Pos += n;
        BytesRead += n;
        return n;
    }
    std::uint64_t Size() const override { return Length; }
    std::uint64_t Position() const override { return Pos; }
    bool Skip(std::uint64_t Count) override
    {
        if (Count > Length - Pos)
            return false;
        Pos += Count;
        return true;
    }
    bool Rewind() override
    {
        Pos = 0;
        return true;
    }

    std::uint64_t BytesRead = 0;

private:
    TBytes Head, Unit;
    std::uint64_t Length;
    std::uint64_t Pos = 0;
};

TBytes EmptyChunk(const char* Type)
{
    TBytes chunk;
    PutPngChunk(chunk, Type, {});
    return chunk;
}

// The first bytes of a real progressive JPEG, up to its second scan.
TBytes ProgressiveJpegToSecondScan(std::uint32_t W, std::uint32_t H)
{
    const TBytes out = EncodeProgressiveJpeg(W, H);
    int scans = 0;
    for (std::size_t i = 0; i + 1 < out.size(); ++i)
        if (out[i] == 0xFF && out[i + 1] == 0xDA && ++scans == 2)
            return TBytes(out.begin(), out.begin() + static_cast<std::ptrdiff_t>(i));
    ADD_FAILURE() << "no second scan";
    return out;
}

}  // namespace

// Each file is 8 GiB long. The bound on what is read: a page and a block of the decoder
// for a file refused on its first bytes, the chunk headers a 64 x 64 image may have, the
// markers before a JPEG's scan, or a scan's data and the markers after it.
TEST(ImageHeaderWalks, HugeFilesAreRefusedAfterABoundedRead)
{
    const TBytes pngStart = PngHeaderOnly(64, 64);
    const std::uint64_t pngChunks =
        kPngChunksBeyondImage + 64 + PngInflatedBytes(64, 64, 32, false) / 1024;
    const TBytes soi = {0xFF, 0xD8};
    const TBytes jpegStart = ProgressiveJpegToSecondScan(16, 16);
    const std::uint64_t page = 4096, block = 65536;
    struct TCase {
        const char* What;
        TImageFileKind Kind;
        TBytes Head, Unit;
        std::string Message;  // empty: any message of the codec
        std::uint64_t MaxRead;
    };
    const TCase cases[] = {
        {"zeros as a PNG", TImageFileKind::Png, {}, {}, "The file is not a PNG image.", page + 8},
        {"a PNG's first chunk, then zeros",
         TImageFileKind::Png,
         pngStart,
         {},
         "",
         page + pngStart.size() + block},
        {"a PNG's first chunk, then empty chunks", TImageFileKind::Png, pngStart,
         EmptyChunk("quIL"), "The PNG file has more chunks than its image could need.",
         (pngChunks + 1) * 12 + page},
        {"zeros as a JPEG", TImageFileKind::Jpeg, {}, {}, "", block},
        {"a JPEG's start, then zeros",
         TImageFileKind::Jpeg,
         soi,
         {},
         "The JPEG file holds more than its image could need.",
         kJpegMarkerBytes + block},
        {"a JPEG's start, then empty markers",
         TImageFileKind::Jpeg,
         soi,
         {0xFF, 0xE1, 0, 2},
         "The JPEG file holds more than its image could need.",
         kJpegMarkerBytes + block},
        {"a JPEG's first scan, then zeros",
         TImageFileKind::Jpeg,
         jpegStart,
         {},
         "The JPEG file holds more than its image could need.",
         jpegStart.size() + kJpegMarkerBytes + kJpegBytesPerSample * 16 * 16 * 3 + 2 * block},
        {"zeros as a BMP", TImageFileKind::Bmp, {}, {}, "The file is not a BMP image.", 64},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.What);
        TMadeSource source(c.Head, c.Unit, k8GiB);
        const TImageDecodeResult r = DecodeSource(source, c.Kind, {});
        EXPECT_EQ(r.Status, TImageDecodeStatus::DecodeFailed);
        if (!c.Message.empty()) {
            EXPECT_EQ(r.Message, c.Message);
        }
        EXPECT_LE(source.BytesRead, c.MaxRead);
    }
}

// Real files that hold many chunks or markers still decode: one image data chunk per row
// (as an encoder that flushes each row writes), many text chunks, a long marker segment.
TEST(ImageHeaderWalks, ManyChunksThatTheImageCanNeedDecode)
{
    const std::uint32_t height = 6000;
    TBytes raw;
    std::uint32_t noise = 1;
    for (std::uint32_t y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int c = 0; c < 4; ++c) {
            noise = noise * 1664525u + 1013904223u;
            raw.push_back(static_cast<std::uint8_t>(noise >> 24));
        }
    }
    uLongf packedSize = compressBound(static_cast<uLong>(raw.size()));
    TBytes packed(packedSize);
    compress2(packed.data(), &packedSize, raw.data(), static_cast<uLong>(raw.size()), 9);
    packed.resize(packedSize);
    TBytes png = PngHeaderOnly(1, height);
    for (int i = 0; i < 2000; ++i)
        PutPngChunk(png, "tEXt", {'a', 0, 'b'});
    // The data in as many chunks as rows.
    for (std::uint32_t y = 0; y < height; ++y)
        PutPngChunk(
            png, "IDAT",
            TBytes(packed.begin() + static_cast<std::ptrdiff_t>(packed.size() * y / height),
                   packed.begin() + static_cast<std::ptrdiff_t>(packed.size() * (y + 1) / height)));
    PutPngChunk(png, "IEND", {});
    TMadeSource source(png, {}, png.size());
    const TImageDecodeResult r = DecodeSource(source, TImageFileKind::Png, {});
    ASSERT_EQ(r.Status, TImageDecodeStatus::Ok) << r.Message;
    ASSERT_EQ(r.Image->Height(), static_cast<std::int32_t>(height));
    EXPECT_EQ(PixelRed(r.Image->Pixels()[300]), raw[300 * 5 + 1]);

    // A JPEG with 15 MiB of metadata before its image.
    TBytes rgb(16 * 16 * 3, 0x80);
    const TBytes jpeg = EncodeJpeg(16, 16, false, rgb);
    TBytes big(jpeg.begin(), jpeg.begin() + 2);
    for (int i = 0; i < 240; ++i) {
        big.insert(big.end(), {0xFF, 0xE2, 0xFF, 0xFF});
        big.resize(big.size() + 65533, 'x');
    }
    big.insert(big.end(), jpeg.begin() + 2, jpeg.end());
    TMadeSource jpegSource(big, {}, big.size());
    const TImageDecodeResult j = DecodeSource(jpegSource, TImageFileKind::Jpeg, {});
    EXPECT_EQ(j.Status, TImageDecodeStatus::Ok) << j.Message;
}

// An 8 GiB sparse file of zeros under each image name: the ripper's loader and the
// textures' decoder refuse it at once, from its first bytes.
TEST(ImageHeaderWalks, ASparseFileOfZerosIsRefusedFromItsFirstBytes)
{
    TScratchDir dir;
    for (const char* name : {"zeros.png", "zeros.jpg", "zeros.bmp"}) {
        SCOPED_TRACE(name);
        const std::string path = dir.File(name);
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0600);
        ASSERT_GE(fd, 0);
        const bool sized = ::ftruncate(fd, static_cast<off_t>(k8GiB)) == 0;
        ::close(fd);
        if (!sized)
            GTEST_SKIP() << "no sparse files of 8 GiB here";
        std::string message;
        EXPECT_FALSE(LoadRgbaImageFromFile(path, message));
        EXPECT_TRUE(message.starts_with("The image could not be decoded: ")) << message;
        std::int32_t width = -1, height = -1;
        EXPECT_FALSE(LoadImageRGBA(path, width, height));
        EXPECT_EQ(width, 0);
        EXPECT_EQ(height, 0);
    }
}
