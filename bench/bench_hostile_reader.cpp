// File > Open of crafted scene files at the sizes a crafted file uses: an overlong line,
// keys in descending order, many tracks in one clip, many floor plans, top-of-range ids,
// a TEX line naming an image file of gigabytes of zeros or of millions of empty chunks.
// Each load runs in a child process of its own, so its peak memory (ru_maxrss) is its
// own; the floor is the same child loading a one-node file, the peer an ordinary file of
// stored meshes of about the same size as the largest crafted one.
// Run pinned to two cores: taskset -c 0,1 build-bench/bench/quill_bench_hostile_reader
#include "base/uDocumentIds.h"
#include "document/uProjectDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "tests/document/hostile_scene_files.h"
#include "tests/image/crafted_image_files.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;
using namespace HostileFiles;

namespace {

struct TResult {
    double Seconds = 0;
    double CpuSeconds = 0;  // the load's user and system time: the machine may be shared
    double PeakMiB = 0;
    bool Loaded = false;
    char Message[160] = {};
};

double CpuSeconds()
{
    rusage usage{};
    ::getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

// Texture objects counted, not made.
class TNoGpu : public TTextureGpu {
public:
    uint32_t CreateTexture(const uint8_t*, int32_t, int32_t, std::string&) override
    {
        return ++Made;
    }
    void DeleteTexture(uint32_t) override {}
    void BindTexture(uint32_t) override {}
    uint32_t Made = 0;
};

// Opens File in a fresh child (a project holding one cube, as after start), as File >
// Open does, and reports the load's time, the child's peak memory and the outcome.
TResult OpenInChild(const std::string& File)
{
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0)
        return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(pipeEnds[0]);
        TResult result;
        TNoGpu gpu;
        TTextureManager textures(&gpu);
        CurrentTextureManager = &textures;
        {
            TProjectDocument doc;
            doc.GetScene().AddPrimitive(ptCube);
            const double cpuStart = CpuSeconds();
            const auto start = std::chrono::steady_clock::now();
            try {
                doc.LoadFromFile(File);
                result.Loaded = true;
            } catch (const std::exception& e) {
                std::snprintf(result.Message, sizeof result.Message, "%s", e.what());
            }
            result.Seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            result.CpuSeconds = CpuSeconds() - cpuStart;
        }
        rusage usage{};
        ::getrusage(RUSAGE_SELF, &usage);
        result.PeakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
        (void)!::write(pipeEnds[1], &result, sizeof result);
        ::_exit(0);
    }
    ::close(pipeEnds[1]);
    TResult result;
    if (::read(pipeEnds[0], &result, sizeof result) != sizeof result)
        std::snprintf(result.Message, sizeof result.Message, "the child died");
    ::close(pipeEnds[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    return result;
}

void Report(const char* Row, const std::string& File, const TResult& Floor)
{
    const TResult r = OpenInChild(File);
    std::error_code ec;
    const double mib = static_cast<double>(fs::file_size(File, ec)) / (1024.0 * 1024.0);
    std::printf("%-32s %7.1f MiB file %7.3f s wall %7.3f s cpu %7.1f MiB peak (+%6.1f over "
                "floor)  %s%s\n",
                Row, mib, r.Seconds, r.CpuSeconds, r.PeakMiB, r.PeakMiB - Floor.PeakMiB,
                r.Loaded ? "loaded" : "refused: ",
                r.Loaded ? "" : std::string(r.Message).substr(0, 90).c_str());
    std::fflush(stdout);
}

// A sparse file of Size bytes: Head, then zeros that take no disk.
void WriteSparse(const std::string& File, const std::string& Head, uint64_t Size)
{
    std::ofstream(File, std::ios::binary) << Head;
    const int fd = ::open(File.c_str(), O_WRONLY);
    if (fd >= 0) {
        (void)!::ftruncate(fd, static_cast<off_t>(Size));
        ::close(fd);
    }
}

// A PNG of one pixel whose IHDR is followed by Count empty ancillary chunks.
void WriteEmptyChunksPng(const std::string& File, uint64_t Count)
{
    std::vector<uint8_t> head = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> ihdr;
    PutBE32(ihdr, 1);
    PutBE32(ihdr, 1);
    ihdr.insert(ihdr.end(), {8, 6, 0, 0, 0});
    PutPngChunk(head, "IHDR", ihdr);
    std::vector<uint8_t> chunk;
    PutPngChunk(chunk, "quIL", {});
    std::vector<uint8_t> block;
    for (int i = 0; i < 4096; ++i)
        block.insert(block.end(), chunk.begin(), chunk.end());
    std::ofstream out(File, std::ios::binary);
    out.write(reinterpret_cast<const char*>(head.data()),
              static_cast<std::streamsize>(head.size()));
    for (uint64_t i = 0; i < Count; i += 4096)
        out.write(reinterpret_cast<const char*>(block.data()),
                  static_cast<std::streamsize>(chunk.size() * std::min<uint64_t>(4096, Count - i)));
}

// An ordinary project of stored meshes, to compare the reader's own pace on the same bytes.
void WriteMeshPeer(const std::string& File, int Objects)
{
    TProjectDocument doc;
    for (int i = 0; i < Objects; ++i)
        doc.GetScene().AddPrimitive(ptSphere);
    doc.SaveToFile(File, true);
}

}  // namespace

int main()
{
    RegisterBuiltInModifiers();
    const fs::path dir =
        fs::temp_directory_path() / ("quill_bench_hostile_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const auto path = [&](const char* Name) { return (dir / Name).string(); };

    std::ofstream(path("floor.qstn"), std::ios::binary) << kHead << "NODES 1\r\n"
                                                        << GroupBlock(1, "One");
    const TResult floor = OpenInChild(path("floor.qstn"));
    std::printf("%-32s %7.1f MiB file %7.3f s wall %7.3f s cpu %7.1f MiB peak\n",
                "floor: a one-node file", 0.0, floor.Seconds, floor.CpuSeconds, floor.PeakMiB);

    WriteOverlongLine(path("row1.qstn"), uint64_t{400} << 20);
    Report("1  one 400 MiB line", path("row1.qstn"), floor);
    fs::remove(path("row1.qstn"));

    WriteDescendingKeys(path("row8.qstn"), 300000);
    Report("8  300,000 KEYs, descending", path("row8.qstn"), floor);

    WriteManyTracks(path("row9.qstn"), 100000, false);
    Report("9  100,000 TRACKs in one clip", path("row9.qstn"), floor);

    WriteManyFloorPlans(path("row10.qstn"), 100000, false);
    Report("10 100,000 floor plans", path("row10.qstn"), floor);

    WriteTopIds(path("row11.qstn"), GetModifierDescriptor(0).TypeId);
    Report("11 ids of 4294967294", path("row11.qstn"), floor);

    const auto textureScene = [&](const char* Scene, const char* Image) {
        std::ofstream(path(Scene), std::ios::binary) << SceneHead(TextureLines({Image}), 0);
        return path(Scene);
    };
    WriteSparse(path("zeros.png"), "", uint64_t{8} << 30);
    Report("43/2 TEX: 8 GiB of zeros as .png", textureScene("row432a.qstn", "zeros.png"), floor);
    WriteSparse(path("soi.jpg"), "\xFF\xD8", uint64_t{8} << 30);
    Report("43/2 TEX: JPEG start, 8 GiB zeros", textureScene("row432b.qstn", "soi.jpg"), floor);
    WriteEmptyChunksPng(path("chunks.png"), 4000000);
    Report("43/2 TEX: PNG, 4M empty chunks", textureScene("row432c.qstn", "chunks.png"), floor);
    fs::remove(path("zeros.png"));
    fs::remove(path("soi.jpg"));
    fs::remove(path("chunks.png"));

    // The peer: stored spheres making a file about as large as row 10's.
    WriteMeshPeer(path("peer.qstn"), 60);
    Report("peer: 60 stored spheres", path("peer.qstn"), floor);

    fs::remove_all(dir);
    return 0;
}
