// Opening crafted files that repeat a costly entry, at the sizes they were sent with:
// stacks whose output or work only the sum over the file bounds, and textures named over
// and over. Each load runs in a child process (fork) that opens the file as File > Open
// does and then evaluates every object as the first drawing would; "seconds" is that
// time, "peak_mb" the child's high-water mark (ru_maxrss), "floor_mb" and "floor_s" the
// same for a file of one plain cube, measured in the same run.
//
// The files are written once into the temporary folder. Texture objects go to a stand-in
// that keeps a copy of the pixels, as a GL driver does.
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "tests/image/crafted_image_files.h"

#include <benchmark/benchmark.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace fs = std::filesystem;

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

std::string Header(const std::string& Textures, int Nodes)
{
    return "#Quillstone\r\nVERSION 8\r\nNOENV\r\n" + Textures + "NODES " + std::to_string(Nodes) +
           "\r\n";
}

std::string Object(int Id, int Prim, const std::string& Modifiers, int Count)
{
    std::string s =
        "BEGINNODE\r\nID " + std::to_string(Id) + "\r\nTYPE object\r\nPARENT 0\r\nNAME O" +
        std::to_string(Id) + "\r\nPOS 0 0 0\r\nROT 0 0 0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nPRIM " +
        std::to_string(Prim) + "\r\nCOLOR 1 0 0\r\nTEXID 0\r\nBLEND 0\r\nSEL 0\r\n0\r\n";
    if (Count > 0)
        s += "MODS " + std::to_string(Count) + "\r\n" + Modifiers;
    return s + "ENDNODE\r\n";
}

std::string Modifier(const std::string& Type, const std::string& Params)
{
    return "BEGINMOD " + Type + " 1\r\nID 0\r\nENABLED 1\r\n" + Params + "ENDMOD\r\n";
}

std::string Textures(const std::string& Name, int Entries)
{
    std::string s = "TEX\r\n" + std::to_string(Entries) + "\r\n";
    for (int i = 0; i < Entries; ++i)
        s += std::to_string(i) + " " + Name + "\r\n";
    return s;
}

// The crafted file of a row of the report (0: the floor, one plain cube).
std::string FileOfRow(int Row)
{
    static std::map<int, std::string> written;
    if (auto it = written.find(Row); it != written.end())
        return it->second;
    std::string text;
    switch (Row) {
    case 2: {  // 200 cubes, each arrayed 200 x 200
        const std::string grid = Modifier("array_2d", "CountX=200\r\nCountY=200\r\n");
        for (int i = 0; i < 200; ++i)
            text += Object(10 + i, 0, grid, 1);
        text = Header("NOTEX\r\n", 200) + text;
        break;
    }
    case 3: {  // 40 spheres subdivided at level 8 (held to 5)
        const std::string sub = Modifier("subdivide", "Levels=8\r\n");
        for (int i = 0; i < 40; ++i)
            text += Object(10 + i, 1, sub, 1);
        text = Header("NOTEX\r\n", 40) + text;
        break;
    }
    case 4: {  // a sphere subdivided at level 4 and smoothed 3000 times, 100 iterations each
        std::string mods = Modifier("subdivide", "Levels=4\r\n");
        for (int i = 0; i < 3000; ++i)
            mods += Modifier("smooth", "Iterations=100\r\n");
        text = Header("NOTEX\r\n", 1) + Object(10, 1, mods, 3001);
        break;
    }
    case 5:  // 10 entries naming one 8192 x 8192 PNG
        WriteZeroPng((Folder() / "big.png").string(), 8192, 8192);
        text = Header(Textures("big.png", 10), 0);
        break;
    case 6:  // entries naming a 1 x 1 PNG whose data inflates to 1 GiB
    case 61:
        WriteZeroPng((Folder() / ("bomb" + std::to_string(Row) + ".png")).string(), 1, 1,
                     Row == 6 ? uint64_t{1} << 30 : uint64_t{4} << 30);
        text = Header(Textures("bomb" + std::to_string(Row) + ".png", 10), 0);
        break;
    case 7:  // 20 entries naming one JPEG of 100 scans
        WriteProgressiveJpeg((Folder() / "scans.jpg").string(), 2048, 2048, 100);
        text = Header(Textures("scans.jpg", 20), 0);
        break;
    default:
        text = Header("NOTEX\r\n", 1) + Object(10, 0, {}, 0);
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
    if (got <= 0)
        return false;
    char* rest = nullptr;
    Seconds = std::strtod(in, &rest);
    Notes = rest ? rest : "";
    PeakMb = static_cast<double>(usage.ru_maxrss) / 1024.0;
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
    State.SetLabel("row " + (row == 61 ? std::string("6 (4 GiB)") : std::to_string(row)) + ":" +
                   notes);
}

}  // namespace

BENCHMARK(BM_HostileOpen)
    ->Arg(2)
    ->Arg(3)
    ->Arg(4)
    ->Arg(5)
    ->Arg(6)
    ->Arg(61)
    ->Arg(7)
    ->Iterations(1)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);
