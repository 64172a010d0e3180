// JPEG reading over libjpeg-turbo. The library reports errors through error_exit, which
// here longjmps back into small functions that hold only trivially destructible locals.
#include "image/uImageCodecsInternal.h"

#include <cstdio>
// jpeglib.h needs FILE and size_t declared first.
#include <jerror.h>
#include <jpeglib.h>

#include <algorithm>
#include <csetjmp>
#include <cstdint>
#include <cstring>
#include <vector>

namespace ImageCodecDetail {
namespace {

struct TJpegError {
    jpeg_error_mgr Pub;
    std::jmp_buf Jump;
    bool Truncated = false;
    bool TooLong = false;  // past the bytes a scan and the markers before it may take
    char Message[JMSG_LENGTH_MAX] = {};
};

void JpegErrorExit(j_common_ptr Info)
{
    auto* err = reinterpret_cast<TJpegError*>(Info->err);
    if (err->Truncated)
        std::snprintf(err->Message, sizeof err->Message, "%s", "The JPEG file is truncated.");
    else if (err->TooLong)
        std::snprintf(err->Message, sizeof err->Message, "%s",
                      "The JPEG file holds more than its image could need.");
    else
        (*Info->err->format_message)(Info, err->Message);
    std::longjmp(err->Jump, 1);
}

void JpegOutputMessage(j_common_ptr) {}

// Warnings that mean pixels were made up: the data ended early (a marker was met inside
// the compressed data, typically the end marker right after a cut) and libjpeg filled
// the rest with grey. Refused like a file that ends without the marker.
void JpegEmitMessage(j_common_ptr Info, int Level)
{
    if (Level >= 0)
        return;
    const int code = Info->err->msg_code;
    if (code == JWRN_HIT_MARKER || code == JWRN_JPEG_EOF) {
        reinterpret_cast<TJpegError*>(Info->err)->Truncated = true;
        Info->err->error_exit(Info);
    }
    ++Info->err->num_warnings;
}

// Each scan of a progressive file is a pass over every block of the image, and nothing
// in the format bounds their number: a small file repeating one scan would take
// minutes. Real encoders write about ten.
constexpr int kMaxJpegScans = 100;

struct TJpegProgress {
    jpeg_progress_mgr Pub;
    bool TooManyScans = false;
    // Scans times pixels allowed, and the image's pixels (0 until the header is read).
    std::uint64_t MaxScanPixels = UINT64_MAX;
    std::uint64_t Pixels = 0;
    bool OverBudget = false;
};

void JpegProgress(j_common_ptr Info)
{
    if (!Info->is_decompressor)
        return;
    auto* d = reinterpret_cast<j_decompress_ptr>(Info);
    if (d->input_scan_number > kMaxJpegScans) {
        reinterpret_cast<TJpegProgress*>(Info->progress)->TooManyScans = true;
        auto* err = reinterpret_cast<TJpegError*>(Info->err);
        std::snprintf(err->Message, sizeof err->Message,
                      "The JPEG file has more than %d scans; it is refused as too slow to decode.",
                      kMaxJpegScans);
        std::longjmp(err->Jump, 1);
    }
    auto* progress = reinterpret_cast<TJpegProgress*>(Info->progress);
    if (progress->Pixels > 0 && d->input_scan_number > 0 &&
        static_cast<std::uint64_t>(d->input_scan_number) >
            progress->MaxScanPixels / progress->Pixels) {
        progress->OverBudget = true;
        auto* err = reinterpret_cast<TJpegError*>(Info->err);
        std::snprintf(err->Message, sizeof err->Message, "%s",
                      "The JPEG file's scans are past the budget of the load.");
        std::longjmp(err->Jump, 1);
    }
}

struct TJpegSource {
    jpeg_source_mgr Pub;
    TByteSource* Source = nullptr;
    // The scan being read (0 before the first) and the bytes handed over since it began.
    int Scan = 0;
    std::uint64_t ScanBytes = 0;
    std::uint64_t MaxScanBytes = kJpegMarkerBytes;
    JOCTET Buffer[65536];
};

void JpegInitSource(j_decompress_ptr) {}
void JpegTermSource(j_decompress_ptr) {}

boolean JpegFillInputBuffer(j_decompress_ptr Info)
{
    auto* src = reinterpret_cast<TJpegSource*>(Info->src);
    if (Info->input_scan_number != src->Scan) {
        src->Scan = Info->input_scan_number;
        src->ScanBytes = 0;
    }
    if (src->ScanBytes >= src->MaxScanBytes) {
        reinterpret_cast<TJpegError*>(Info->err)->TooLong = true;
        ERREXIT(Info, JERR_INPUT_EOF);
    }
    const std::size_t n = src->Source->Read(src->Buffer, sizeof src->Buffer);
    if (n == 0) {
        // Unlike the stdio source, a file that ends early is an error, not a grey tail.
        reinterpret_cast<TJpegError*>(Info->err)->Truncated = true;
        ERREXIT(Info, JERR_INPUT_EOF);
    }
    src->ScanBytes += n;
    src->Pub.next_input_byte = src->Buffer;
    src->Pub.bytes_in_buffer = n;
    return TRUE;
}

void JpegSkipInputData(j_decompress_ptr Info, long Count)
{
    auto* src = reinterpret_cast<TJpegSource*>(Info->src);
    if (Count <= 0)
        return;
    while (static_cast<std::size_t>(Count) > src->Pub.bytes_in_buffer) {
        Count -= static_cast<long>(src->Pub.bytes_in_buffer);
        JpegFillInputBuffer(Info);
    }
    src->Pub.next_input_byte += Count;
    src->Pub.bytes_in_buffer -= static_cast<std::size_t>(Count);
}

bool JpegReadHeader(jpeg_decompress_struct& Info, TJpegError& Err)
{
    if (setjmp(Err.Jump))
        return false;
    jpeg_read_header(&Info, TRUE);
    const bool cmyk = Info.jpeg_color_space == JCS_CMYK || Info.jpeg_color_space == JCS_YCCK;
    Info.out_color_space = cmyk ? JCS_CMYK : JCS_EXT_RGBA;
    return true;
}

// The output size: the image's, or the smallest that libjpeg makes straight from the
// coefficients (1/2, 1/4, 1/8) whose sides stay at least Side.
bool JpegOutputSize(jpeg_decompress_struct& Info, TJpegError& Err, std::int32_t Side)
{
    if (setjmp(Err.Jump))
        return false;
    if (Side > 0)
        for (const unsigned denom : {8u, 4u, 2u})
            if ((Info.image_width + denom - 1) / denom >= static_cast<unsigned>(Side) &&
                (Info.image_height + denom - 1) / denom >= static_cast<unsigned>(Side)) {
                Info.scale_num = 1;
                Info.scale_denom = denom;
                break;
            }
    jpeg_calc_output_dimensions(&Info);
    return true;
}

// CMYK as Adobe writes it is stored inverted; plain CMYK is not.
void CmykRowToRgba(const JSAMPLE* In, std::uint8_t* Out, JDIMENSION Width, bool Inverted)
{
    for (JDIMENSION x = 0; x < Width; ++x, In += 4, Out += 4) {
        unsigned c = In[0], m = In[1], y = In[2], k = In[3];
        if (!Inverted) {
            c = 255 - c;
            m = 255 - m;
            y = 255 - y;
            k = 255 - k;
        }
        Out[0] = static_cast<std::uint8_t>((c * k + 127) / 255);
        Out[1] = static_cast<std::uint8_t>((m * k + 127) / 255);
        Out[2] = static_cast<std::uint8_t>((y * k + 127) / 255);
        Out[3] = 0xFF;
    }
}

bool JpegReadRows(jpeg_decompress_struct& Info, TJpegError& Err, TRgbaImage& Image,
                  JSAMPLE* CmykRow)
{
    if (setjmp(Err.Jump))
        return false;
    jpeg_start_decompress(&Info);
    if (Info.output_width != static_cast<JDIMENSION>(Image.Width()) ||
        Info.output_height != static_cast<JDIMENSION>(Image.Height()) ||
        Info.output_components != 4) {
        std::snprintf(Err.Message, sizeof Err.Message, "%s",
                      "The JPEG pixel format is not supported.");
        return false;
    }
    while (Info.output_scanline < Info.output_height) {
        auto* out = reinterpret_cast<std::uint8_t*>(
            Image.Row(static_cast<std::int32_t>(Info.output_scanline)));
        JSAMPROW row = CmykRow ? CmykRow : out;
        if (jpeg_read_scanlines(&Info, &row, 1) != 1) {
            std::snprintf(Err.Message, sizeof Err.Message, "%s", "The JPEG file is truncated.");
            return false;
        }
        if (CmykRow)
            CmykRowToRgba(CmykRow, out, Info.output_width, Info.saw_Adobe_marker);
    }
    return true;
}

class TJpegReader {
public:
    TJpegReader(TByteSource& Source)
    {
        Info.err = jpeg_std_error(&Err.Pub);
        Err.Pub.error_exit = JpegErrorExit;
        Err.Pub.output_message = JpegOutputMessage;
        Err.Pub.emit_message = JpegEmitMessage;
        if (setjmp(Err.Jump))
            return;  // creation failed: Created stays false
        jpeg_create_decompress(&Info);
        Created = true;
        // After creation, which clears every field but the error manager.
        Progress.Pub.progress_monitor = JpegProgress;
        Info.progress = &Progress.Pub;
        Src.Source = &Source;
        Src.Pub.init_source = JpegInitSource;
        Src.Pub.fill_input_buffer = JpegFillInputBuffer;
        Src.Pub.skip_input_data = JpegSkipInputData;
        Src.Pub.resync_to_restart = jpeg_resync_to_restart;
        Src.Pub.term_source = JpegTermSource;
        Src.Pub.next_input_byte = nullptr;
        Src.Pub.bytes_in_buffer = 0;
        Info.src = &Src.Pub;
    }
    ~TJpegReader()
    {
        if (Created)
            jpeg_destroy_decompress(&Info);
    }
    TJpegReader(const TJpegReader&) = delete;
    TJpegReader& operator=(const TJpegReader&) = delete;

    jpeg_decompress_struct Info{};
    TJpegError Err{};
    TJpegSource Src{};
    TJpegProgress Progress{};
    bool Created = false;
};

}  // namespace

TImageDecodeResult DecodeJpeg(TByteSource& Source, const TImageSizeLimits& Limits)
{
    std::unique_ptr<TJpegReader> reader;
    try {
        reader = std::make_unique<TJpegReader>(Source);
    } catch (const std::bad_alloc&) {
        return WithStatus(TImageDecodeStatus::OutOfMemory);
    }
    if (!reader->Created)
        return Failed(reader->Err.Message);
    if (!JpegReadHeader(reader->Info, reader->Err))
        return Failed(reader->Err.Message);
    const TImageDecodeStatus sizeStatus =
        CheckImageSize(reader->Info.image_width, reader->Info.image_height, Limits);
    if (sizeStatus != TImageDecodeStatus::Ok)
        return WithStatus(sizeStatus);

    const std::uint64_t pixels =
        static_cast<std::uint64_t>(reader->Info.image_width) * reader->Info.image_height;
    if (pixels > Limits.MaxScanPixels) {
        // Refused before any scan is decoded: it cost nothing.
        TImageDecodeResult over = WithStatus(TImageDecodeStatus::TooLarge);
        over.OverBudget = true;
        return over;
    }
    reader->Progress.Pixels = pixels;
    reader->Progress.MaxScanPixels = Limits.MaxScanPixels;
    // Within the size check, the product fits.
    reader->Src.MaxScanBytes =
        kJpegMarkerBytes + kJpegBytesPerSample * pixels *
                               static_cast<std::uint64_t>(std::max(reader->Info.num_components, 1));
    if (!JpegOutputSize(reader->Info, reader->Err, Limits.ReduceToSide))
        return Failed(reader->Err.Message);
    TImageDecodeResult result;
    auto image =
        AllocateDecodedImage(static_cast<std::int32_t>(reader->Info.output_width),
                             static_cast<std::int32_t>(reader->Info.output_height), result);
    if (!image)
        return result;
    std::vector<JSAMPLE> cmykRow;
    if (reader->Info.out_color_space == JCS_CMYK)
        cmykRow.resize(static_cast<std::size_t>(reader->Info.output_width) * 4);
    const bool read =
        JpegReadRows(reader->Info, reader->Err, *image, cmykRow.empty() ? nullptr : cmykRow.data());
    // The scans before the one being read were passes over the whole image; the rows
    // written so far are what the last one gave (each output row a block of the image's
    // rows when reduced).
    const std::uint64_t rows = reader->Info.output_scanline;
    const std::uint64_t scansDone =
        static_cast<std::uint64_t>(std::max(reader->Info.input_scan_number - 1, 0));
    const std::uint64_t width = reader->Info.output_width;
    const std::uint64_t lastScan = std::min<std::uint64_t>(
        rows * reader->Info.image_height / reader->Info.output_height * reader->Info.image_width,
        pixels);
    if (!read) {
        TImageDecodeResult failed = reader->Progress.OverBudget
                                        ? WithStatus(TImageDecodeStatus::TooLarge)
                                        : Failed(reader->Err.Message);
        failed.OverBudget = reader->Progress.OverBudget;
        failed.ScanPixels = pixels * scansDone + lastScan;
        failed.DecodedPixels = rows * width;
        return failed;
    }
    result.ScanPixels = pixels * scansDone + lastScan;
    result.DecodedPixels = rows * width;
    RgbaBytesToPixels(image->Pixels().data(), image->Pixels().size());
    result.Status = TImageDecodeStatus::Ok;
    result.Image = std::move(image);
    return result;
}

}  // namespace ImageCodecDetail
