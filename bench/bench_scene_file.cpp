// Saving and loading a scene whose one object is a grid of n x n vertices and about as many
// quads (10,000, 100,000 and 1,000,000 vertices), beside tinyobjloader loading the same
// mesh written as OBJ with positions, normals, colours and UVs. The files are written once
// per size into the temporary folder and read back from the page cache.
//
// The memory of a load is measured in a child process (fork), so that neither the other
// benchmarks nor the allocator's reuse of freed memory shape the figures: "peak_mb" is
// how far the child's high-water mark rose over its resident size before the load,
// "data_mb" the bytes of the arrays the load produced (vertices, faces and edges; for
// tinyobjloader its attribute and index arrays), "peak_ratio" their quotient.
//
// BM_SceneLoadAgainstTinyObj loads the scene file and the OBJ in turn, iteration by
// iteration, so both see the same machine load; "ratio" is our load time over
// tinyobjloader's (the target is at most 0.5), "cpu_ratio" the same in processor time.
//
// Huge pages on equal terms. Our reader advises huge pages for its large arrays, and on
// machines where every first write to a fresh 4 KB page faults that alone halves its
// time; the peer's arrays get none from it. So the loads run in one of two modes, chosen
// by the glibc malloc tunable alone and shown as the counter "huge_pages":
//   0 (default): transparent huge pages are switched off for this process while a load
//     benchmark runs (prctl PR_SET_THP_DISABLE), so our advice has no effect and neither
//     side gets huge pages;
//   1: with GLIBC_TUNABLES=glibc.malloc.hugetlb=1 (glibc 2.35 on) malloc advises huge
//     pages for every large block it maps, the peer's as well as ours.
// scripts/bench.sh runs the load benchmarks in both modes. "huge_mb" (in the memory
// benchmarks) is how much of the loaded data sat on huge pages.
#include "base/uMesh.h"
#include "bench/uPairedTiming.h"
#include "document/uProjectDocument.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

#ifdef QUILL_HAVE_TINYOBJLOADER
#include <tiny_obj_loader.h>
#endif

namespace {

// Whether malloc gives every large block huge pages (see the top of this file).
bool HugePagesForAll()
{
    const char* tunables = std::getenv("GLIBC_TUNABLES");
    return tunables &&
           std::string_view(tunables).find("glibc.malloc.hugetlb=1") != std::string_view::npos;
}

// Holds the page mode of the top of this file for one load benchmark: without the
// tunable, no huge pages for anyone until it is destroyed.
class TPageMode {
public:
    explicit TPageMode(benchmark::State& State)
    {
        State.counters["huge_pages"] = HugePagesForAll() ? 1 : 0;
        if (HugePagesForAll())
            return;
        WasDisabled = prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0);
        if (prctl(PR_SET_THP_DISABLE, 1, 0, 0, 0) != 0)
            State.SkipWithError("cannot switch huge pages off");
    }
    ~TPageMode()
    {
        if (WasDisabled == 0)
            prctl(PR_SET_THP_DISABLE, 0, 0, 0, 0);
    }
    TPageMode(const TPageMode&) = delete;
    TPageMode& operator=(const TPageMode&) = delete;

private:
    int WasDisabled = -1;
};

std::unique_ptr<TMeshData> GridMesh(int64_t Vertices)
{
    const int side = static_cast<int>(std::lround(std::sqrt(static_cast<double>(Vertices))));
    auto m = std::make_unique<TMeshData>();
    m->Vertices.reserve(size_t(side) * size_t(side));
    for (int i = 0; i < side; ++i)
        for (int j = 0; j < side; ++j) {
            TMeshVertex v;
            v.Position = {0.01f * float(j), 0.05f * std::sin(0.1f * float(i + j)),
                          0.01f * float(i)};
            v.Normal = {0, 1, 0};
            v.Color = {float(i % 7) / 7.0f, float(j % 5) / 5.0f, 0.5f};
            v.UV = {float(j) / float(side), float(i) / float(side)};
            m->Vertices.push_back(v);
        }
    m->Faces.reserve(size_t(side - 1) * size_t(side - 1));
    for (int i = 0; i + 1 < side; ++i)
        for (int j = 0; j + 1 < side; ++j) {
            const int a = i * side + j;
            m->AddQuad(a, a + 1, a + side + 1, a + side);
        }
    m->RebuildEdges();
    return m;
}

std::string TempPath(const std::string& Name)
{
    return (std::filesystem::temp_directory_path() / Name).string();
}

// The scene file of each size, written once.
const std::string& SceneFile(int64_t Vertices)
{
    static std::map<int64_t, std::string> files;
    auto it = files.find(Vertices);
    if (it != files.end())
        return it->second;
    const std::string path = TempPath("quill_bench_" + std::to_string(Vertices) + ".qstn");
    TProjectDocument doc;
    doc.GetScene().AddMeshObject("Grid", GridMesh(Vertices), nullptr);
    doc.SaveToFile(path, true);
    return files[Vertices] = path;
}

// The same mesh as OBJ: "v x y z r g b", "vn", "vt" and one "f v/vt/vn" line per quad.
const std::string& ObjFile(int64_t Vertices)
{
    static std::map<int64_t, std::string> files;
    auto it = files.find(Vertices);
    if (it != files.end())
        return it->second;
    const std::string path = TempPath("quill_bench_" + std::to_string(Vertices) + ".obj");
    const std::unique_ptr<TMeshData> m = GridMesh(Vertices);
    FILE* f = std::fopen(path.c_str(), "w");
    for (const TMeshVertex& v : m->Vertices)
        std::fprintf(f, "v %.9g %.9g %.9g %.9g %.9g %.9g\n", v.Position.X, v.Position.Y,
                     v.Position.Z, v.Color.X, v.Color.Y, v.Color.Z);
    for (const TMeshVertex& v : m->Vertices)
        std::fprintf(f, "vn %.9g %.9g %.9g\n", v.Normal.X, v.Normal.Y, v.Normal.Z);
    for (const TMeshVertex& v : m->Vertices)
        std::fprintf(f, "vt %.9g %.9g\n", v.UV.U, v.UV.V);
    for (const TMeshFace& face : m->Faces) {
        std::fputc('f', f);
        for (int k = 0; k < face.Count; ++k) {
            const int i = face.Indices[size_t(k)] + 1;
            std::fprintf(f, " %d/%d/%d", i, i, i);
        }
        std::fputc('\n', f);
    }
    std::fclose(f);
    return files[Vertices] = path;
}

void CountFile(benchmark::State& State, const std::string& Path)
{
    State.counters["file_mb"] = double(std::filesystem::file_size(Path)) / 1e6;
    State.counters["vertices"] = double(State.range(0));
}

void BM_SceneSave(benchmark::State& State)
{
    TProjectDocument doc;
    doc.GetScene().AddMeshObject("Grid", GridMesh(State.range(0)), nullptr);
    const std::string path = TempPath("quill_bench_save.qstn");
    for (auto _ : State)
        doc.SaveToFile(path, true);
    CountFile(State, path);
    std::filesystem::remove(path);
}

void BM_SceneLoad(benchmark::State& State)
{
    const std::string& path = SceneFile(State.range(0));
    const TPageMode mode(State);
    TProjectDocument doc;
    for (auto _ : State) {
        doc.LoadFromFile(path);
        benchmark::DoNotOptimize(doc.GetScene());
    }
    CountFile(State, path);
}

#ifdef QUILL_HAVE_TINYOBJLOADER
bool LoadObj(const std::string& Path)
{
    tinyobj::ObjReader reader;
    tinyobj::ObjReaderConfig config;
    config.triangulate = false;
    const bool ok = reader.ParseFromFile(Path, config);
    benchmark::DoNotOptimize(reader.GetAttrib().vertices.data());
    return ok;
}

void BM_TinyObjLoad(benchmark::State& State)
{
    const std::string& path = ObjFile(State.range(0));
    const TPageMode mode(State);
    for (auto _ : State)
        if (!LoadObj(path))
            State.SkipWithError("tinyobjloader refused the file");
    CountFile(State, path);
}

// Both loads in turn, the first of them alternating; times are milliseconds a load, wall
// clock ("ratio") and processor time ("cpu_ratio").
void BM_SceneLoadAgainstTinyObj(benchmark::State& State)
{
    const std::string& scenePath = SceneFile(State.range(0));
    const std::string& objPath = ObjFile(State.range(0));
    const TPageMode mode(State);
    TimeAgainstPeer(
        State, CLOCK_PROCESS_CPUTIME_ID,
        [&] {
            TProjectDocument doc;
            doc.LoadFromFile(scenePath);
            benchmark::DoNotOptimize(doc.GetScene());
        },
        [&] {
            if (!LoadObj(objPath))
                State.SkipWithError("tinyobjloader refused the file");
        });
    State.counters["vertices"] = double(State.range(0));
}
#endif

// Anonymous memory of this process on transparent huge pages, in bytes.
double HugePageBytes()
{
    std::ifstream rollup("/proc/self/smaps_rollup");
    std::string key;
    double kb = 0;
    while (rollup >> key)
        if (key == "AnonHugePages:" && rollup >> kb)
            return kb * 1024;
    return 0;
}

// Resident size and high-water mark of this process, in bytes.
void ReadMemory(double& Resident, double& Peak)
{
    std::ifstream status("/proc/self/status");
    std::string key;
    double kb = 0;
    Resident = Peak = 0;
    while (status >> key) {
        if (key == "VmRSS:" && status >> kb)
            Resident = kb * 1024;
        else if (key == "VmHWM:" && status >> kb)
            Peak = kb * 1024;
    }
}

// Runs Load in a child and reports its peak and kept memory over its size before.
// Load returns the bytes of the arrays it made and sets its argument to HugePageBytes()
// while they are still held.
void MeasureInChild(benchmark::State& State, const std::function<double(double&)>& Load)
{
    const TPageMode mode(State);
    int pipes[2];
    if (pipe(pipes) != 0) {
        State.SkipWithError("no pipe");
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        // Free memory inherited from earlier benchmarks goes back to the system first, so
        // the load cannot reuse it unseen.
        malloc_trim(0);
        double before = 0, peakBefore = 0, after = 0, peak = 0;
        ReadMemory(before, peakBefore);
        // The high-water mark starts from here: /proc/self/clear_refs with 5 resets it.
        if (FILE* f = std::fopen("/proc/self/clear_refs", "w")) {
            std::fputs("5", f);
            std::fclose(f);
        }
        const double hugeBefore = HugePageBytes();
        double huge = 0;
        const double data = Load(huge);
        huge -= hugeBefore;
        ReadMemory(after, peak);
        const double figures[3] = {peak - before, data, huge};
        const ssize_t written = write(pipes[1], figures, sizeof figures);
        _exit(written == sizeof figures ? 0 : 1);
    }
    close(pipes[1]);
    double figures[3] = {0, 0, 0};
    const ssize_t got = read(pipes[0], figures, sizeof figures);
    close(pipes[0]);
    int status = 0;
    waitpid(child, &status, 0);
    if (got != sizeof figures) {
        State.SkipWithError("the child gave no figures");
        return;
    }
    State.counters["peak_mb"] = figures[0] / 1e6;
    State.counters["data_mb"] = figures[1] / 1e6;
    State.counters["peak_ratio"] = figures[1] > 0 ? figures[0] / figures[1] : 0.0;
    State.counters["huge_mb"] = figures[2] / 1e6;
}

void BM_SceneLoadMemory(benchmark::State& State)
{
    const std::string& path = SceneFile(State.range(0));
    for (auto _ : State)
        MeasureInChild(State, [&](double& Huge) {
            TProjectDocument doc;
            doc.LoadFromFile(path);
            double bytes = 0;
            for (const TSceneNode* node : doc.GetScene().GetRoot()->GetChildren())
                if (const auto* o = dynamic_cast<const TSceneObject*>(node);
                    const TMeshData* m = o ? o->GetBaseMesh() : nullptr)
                    bytes += double(m->Vertices.size() * sizeof(TMeshVertex) +
                                    m->Faces.size() * sizeof(TMeshFace) +
                                    m->Edges.size() * sizeof(TMeshEdge));
            Huge = HugePageBytes();
            return bytes;
        });
    CountFile(State, path);
}

#ifdef QUILL_HAVE_TINYOBJLOADER
void BM_TinyObjLoadMemory(benchmark::State& State)
{
    const std::string& path = ObjFile(State.range(0));
    for (auto _ : State)
        MeasureInChild(State, [&](double& Huge) {
            tinyobj::ObjReader reader;
            tinyobj::ObjReaderConfig config;
            config.triangulate = false;
            reader.ParseFromFile(path, config);
            const tinyobj::attrib_t& a = reader.GetAttrib();
            double bytes = double(
                (a.vertices.size() + a.normals.size() + a.texcoords.size() + a.colors.size()) *
                sizeof(tinyobj::real_t));
            for (const tinyobj::shape_t& shape : reader.GetShapes())
                bytes += double(shape.mesh.indices.size() * sizeof(tinyobj::index_t) +
                                shape.mesh.num_face_vertices.size());
            Huge = HugePageBytes();
            return bytes;
        });
    CountFile(State, path);
}
#endif

void Sizes(benchmark::internal::Benchmark* B)
{
    B->Arg(10000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
}

void OnceEach(benchmark::internal::Benchmark* B)
{
    Sizes(B);
    B->Iterations(1);
}

BENCHMARK(BM_SceneSave)->Apply(Sizes);
BENCHMARK(BM_SceneLoad)->Apply(Sizes);
BENCHMARK(BM_SceneLoadMemory)->Apply(OnceEach);
#ifdef QUILL_HAVE_TINYOBJLOADER
BENCHMARK(BM_TinyObjLoad)->Apply(Sizes);
BENCHMARK(BM_TinyObjLoadMemory)->Apply(OnceEach);
BENCHMARK(BM_SceneLoadAgainstTinyObj)->Apply(Sizes)->UseRealTime();
#endif

}  // namespace
