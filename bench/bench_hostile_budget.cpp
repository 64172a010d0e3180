// Opening crafted files at the sizes they were sent with: stacks whose output or work
// only the sum over the file bounds, honest stacks a loose estimate held, kernels slower
// than linear, and textures named over and over, damaged or past the budget. Each load runs in a
// child process (fork) that opens the file as File > Open does and then evaluates every object as
// the first drawing would; "seconds" is that time, "peak_mb" the child's high-water mark
// (ru_maxrss), "floor_mb" and "floor_s" the same for a file of one plain cube, measured in the same
// run.
//
// The files are written once into the temporary folder. Texture objects go to a stand-in
// that keeps a copy of the pixels, as a GL driver does. Run pinned to two cores:
// taskset -c 0,1 build-bench/bench/quill_bench --benchmark_filter=HostileOpen
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "tests/document/hostile_scene_files.h"
#include "tests/image/crafted_image_files.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;
using namespace HostileFiles;

namespace {

fs::path Folder()
{
    // Removed when the program ends (not by the children, which leave with _exit).
    static const struct TFolder {
        fs::path Path =
            fs::temp_directory_path() / ("quill_bench_hostile_" + std::to_string(getpid()));
        TFolder() { fs::create_directories(Path); }
        ~TFolder()
        {
            std::error_code ec;
            fs::remove_all(Path, ec);
        }
    } folder;
    return folder.Path;
}

// The crafted files: the rows of issue 32 (stacks and textures repeated over a file) and
// of issue 36 (honest stacks the old estimate held, kernels slower than linear, damaged
// and oversized images); then honest scenes within the scene's room and a chain of
// composites nested deep. Row 0 is the floor, one plain cube.
struct TRow {
    int Id;
    const char* Label;
};
constexpr TRow kRows[] = {
    {0, "floor"},
    {3202, "32/2 200 cubes arrayed 200x200"},
    {3203, "32/3 40 spheres subdivided 8"},
    {3204, "32/4 subdivide 4 + 3000 smooth x100"},
    {3205, "32/5 10 TEX of one 8192^2 PNG"},
    {3206, "32/6 PNG inflating to 1 GiB"},
    {3261, "32/6 PNG inflating to 4 GiB"},
    {3207, "32/7 20 TEX of one 100-scan JPEG"},
    {3601, "36/1 torus, slice, subdivide 5"},
    {3602, "36/2 capped strip, N = 32"},
    {3612, "36/2 capped strip, N = 160"},
    {3603, "36/3 sphere, subdivide 4, weld 1000"},
    {3613, "36/3 sphere, subdivide 5, weld 1000"},
    {3604, "36/4 16 TEX of one cut 16384x4096 PNG"},
    {3605, "36/5 TEX a, 3 big, big past the budget, b"},
    {3606, "30,000 objects nested in one chain"},
    {4201, "sphere, subdivide 5, shell 0.05"},
    {4211, "3 spheres, subdivide 4, shell 0.05"},
    {4202, "2 terrains 512, torus, 4 spheres subdivided 4"},
    {4203, "42/3 quad 1000x50, crowded weld"},
    {4213, "42/3 quad 1000x100, crowded weld"},
    {4204, "250 cubes nested, each stretched"},
    {4205, "42/5 five 4096^2 PNG textures on cubes"},
};

const char* LabelOf(int Row)
{
    for (const TRow& r : kRows)
        if (r.Id == Row)
            return r.Label;
    return "?";
}

std::string FileOfRow(int Row)
{
    static std::map<int, std::string> written;
    if (auto it = written.find(Row); it != written.end())
        return it->second;
    const auto image = [](const std::string& Name) { return (Folder() / Name).string(); };
    std::string text;
    switch (Row) {
    case 3202: {
        const std::string grid = ModifierBlock("array_2d", "CountX=200\r\nCountY=200\r\n");
        for (int i = 0; i < 200; ++i)
            text += ObjectBlock(10 + i, 0, grid, 1);
        text = SceneHead("NOTEX\r\n", 200) + text;
        break;
    }
    case 3203: {  // the level is held to 5
        const std::string sub = ModifierBlock("subdivide", "Levels=8\r\n");
        for (int i = 0; i < 40; ++i)
            text += ObjectBlock(10 + i, 1, sub, 1);
        text = SceneHead("NOTEX\r\n", 40) + text;
        break;
    }
    case 3204: {
        std::string mods = ModifierBlock("subdivide", "Levels=4\r\n");
        for (int i = 0; i < 3000; ++i)
            mods += ModifierBlock("smooth", "Iterations=100\r\n");
        text = SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, 1, mods, 3001);
        break;
    }
    case 3205:
        WriteZeroPng(image("big.png"), 8192, 8192);
        text = SceneHead(TextureLines(std::vector<std::string>(10, "big.png")), 0);
        break;
    case 3206:
    case 3261: {
        const std::string name = "bomb" + std::to_string(Row) + ".png";
        WriteZeroPng(image(name), 1, 1, Row == 3206 ? uint64_t{1} << 30 : uint64_t{4} << 30);
        text = SceneHead(TextureLines(std::vector<std::string>(10, name)), 0);
        break;
    }
    case 3207:
        WriteProgressiveJpeg(image("scans.jpg"), 2048, 2048, 100);
        text = SceneHead(TextureLines(std::vector<std::string>(20, "scans.jpg")), 0);
        break;
    case 3601:
        text = SlicedTorus(5);
        break;
    case 3602:
    case 3612:
        text = CappedLongStrip(Row == 3602 ? 32 : 160);
        break;
    case 3603:
    case 3613:
        text = WeldedSphere(Row == 3603 ? 4 : 5, "1000");
        break;
    case 3604:  // its last 64 bytes cut off: it fails after inflating almost all of it
        WriteZeroPng(image("cut.png"), 16384, 4096);
        fs::resize_file(image("cut.png"), fs::file_size(image("cut.png")) - 64);
        text = SceneHead(TextureLines(std::vector<std::string>(16, "cut.png")), 0);
        break;
    case 3605: {  // 16 M pixels and three files of 64 M, then 64 M past the 48 M left of
                  // the 256 M, then 16 M that fit
        WriteZeroPng(image("a.png"), 4096, 4096);
        WriteZeroPng(image("big16k.png"), 16384, 4096);
        WriteZeroPng(image("b.png"), 4096, 4096);
        std::vector<std::string> names = {"a.png"};
        for (const char* big : {"big1.png", "big2.png", "big3.png"}) {
            fs::copy_file(image("big16k.png"), image(big), fs::copy_options::overwrite_existing);
            names.push_back(big);
        }
        names.insert(names.end(), {"big16k.png", "b.png"});
        text = SceneHead(TextureLines(names), 0);
        break;
    }
    case 4205: {  // five files, each within an import's limit, together past 256 MiB
        WriteZeroPng(image("t0.png"), 4096, 4096);
        std::vector<std::string> names;
        for (int i = 0; i < 5; ++i) {
            names.push_back("t" + std::to_string(i) + ".png");
            if (i > 0)
                fs::copy_file(image("t0.png"), image(names.back()),
                              fs::copy_options::overwrite_existing);
            std::string cube = ObjectBlock(10 + i, 0);
            cube.replace(cube.find("TEXID 0"), 7, "TEXID " + std::to_string(i + 1));
            text += cube;
        }
        text = SceneHead(TextureLines(names), 5) + text;
        break;
    }
    case 3606:  // every object evaluated on opening, none telling all its ancestors
        for (int i = 1; i <= 30000; ++i)
            text += ObjectBlock(i, 0, {}, 0, i - 1);
        text = SceneHead("NOTEX\r\n", 30000) + text;
        break;
    case 4201:
    case 4211:
        text = Row == 4201 ? ShelledSpheres(1, 5, "0.05") : ShelledSpheres(3, 4, "0.05");
        break;
    case 4202:
        text = OrdinaryScene(512, 4, 4);
        break;
    case 4203:
    case 4213:
        text = CrowdedWeldQuad(1000, Row == 4203 ? 50 : 100);
        break;
    case 4204:
        text = NestedStretchedCubes(250);
        break;
    default:
        text = SceneHead("NOTEX\r\n", 1) + ObjectBlock(10, 0);
    }
    const std::string path = (Folder() / ("row" + std::to_string(Row) + ".qstn")).string();
    std::ofstream(path, std::ios::binary) << text;
    written[Row] = path;
    return path;
}

class TCopyingGpu : public TTextureGpu {
public:
    uint32_t CreateTexture(const uint8_t* Rgba, int32_t Width, int32_t Height,
                           std::string&) override
    {
        Kept.emplace_back(Rgba, Rgba + static_cast<size_t>(Width) * Height * 4);
        return static_cast<uint32_t>(Kept.size());
    }
    void DeleteTexture(uint32_t Name) override { Kept[Name - 1].clear(); }
    void BindTexture(uint32_t) override {}
    std::vector<std::vector<uint8_t>> Kept;
};

// A child still loading after this many seconds (QUILL_HOSTILE_TIMEOUT, default 60) is
// stopped: some rows took minutes before their kernels were made fast.
int ChildSeconds()
{
    const char* text = std::getenv("QUILL_HOSTILE_TIMEOUT");
    const int seconds = text ? std::atoi(text) : 0;
    return seconds > 0 ? seconds : 60;
}

// Seconds and peak megabytes of opening Path in a child process.
bool LoadInChild(const std::string& Path, double& Seconds, double& PeakMb, std::string& Notes)
{
    int pipes[2];
    if (pipe(pipes) != 0)
        return false;
    const pid_t child = fork();
    if (child < 0)
        return false;
    if (child == 0) {
        close(pipes[0]);
        alarm(static_cast<unsigned>(ChildSeconds()));
        TCopyingGpu gpu;
        TTextureManager registry(&gpu);
        CurrentTextureManager = &registry;
        const auto start = std::chrono::steady_clock::now();
        double seconds = -1;
        std::string notes;
        try {
            TProjectDocument doc;
            doc.LoadFromFile(Path);
            for (TSceneNode* node : doc.GetScene().GetNodes())
                if (auto* object = dynamic_cast<TSceneObject*>(node))
                    object->GetEvaluatedMesh();
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
            int loaded = 0;
            for (int32_t i = 0; i < registry.Count(); ++i)
                loaded += registry.GetTexture(i).GLName != 0 ? 1 : 0;
            notes = " textures " + std::to_string(loaded) + "/" + std::to_string(registry.Count()) +
                    ", decoded " + std::to_string(gpu.Kept.size()) + "; " +
                    doc.GetLoadNotes().substr(0, 40);
        } catch (const std::exception& e) {
            notes = std::string("refused: ") + e.what();
            seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        char out[128] = {};
        std::snprintf(out, sizeof out, "%.6f %s", seconds, notes.c_str());
        (void)!write(pipes[1], out, sizeof out);
        _exit(0);
    }
    close(pipes[1]);
    char in[128] = {};
    const ssize_t got = read(pipes[0], in, sizeof in);
    close(pipes[0]);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    PeakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
    if (got <= 0 && WIFSIGNALED(status) && WTERMSIG(status) == SIGALRM) {
        Seconds = ChildSeconds();
        Notes = " stopped after " + std::to_string(ChildSeconds()) + " s";
        return true;
    }
    if (got <= 0)
        return false;
    char* rest = nullptr;
    Seconds = std::strtod(in, &rest);
    Notes = rest ? rest : "";
    return true;
}

void BM_HostileOpen(benchmark::State& State)
{
    if (ModifierDescriptorCount() == 0)
        RegisterBuiltInModifiers();
    const int row = static_cast<int>(State.range(0));
    const std::string path = FileOfRow(row), floor = FileOfRow(0);
    double seconds = 0, peak = 0, floorSeconds = 0, floorPeak = 0;
    std::string notes, floorNotes;
    for (auto _ : State) {
        if (!LoadInChild(floor, floorSeconds, floorPeak, floorNotes) ||
            !LoadInChild(path, seconds, peak, notes)) {
            State.SkipWithError("the child process failed");
            return;
        }
        State.SetIterationTime(seconds);
    }
    State.counters["seconds"] = seconds;
    State.counters["peak_mb"] = peak;
    State.counters["floor_s"] = floorSeconds;
    State.counters["floor_mb"] = floorPeak;
    State.SetLabel(std::string(LabelOf(row)) + ":" + notes);
}

}  // namespace

BENCHMARK(BM_HostileOpen)
    ->Apply([](benchmark::internal::Benchmark* B) {
        for (const TRow& row : kRows)
            if (row.Id != 0)
                B->Arg(row.Id);
    })
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
