#include "scene/uSceneStatistics.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <string>
#include <time.h>

#include <sys/resource.h>

#include "base/uMesh.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

namespace {
// Calls Visit for every object of the visible walk: a hidden node hides its subtree.
template <typename F>
void ForEachVisibleObject(TSceneNode* Root, F&& Visit)
{
    std::vector<TSceneNode*> stack{Root};
    while (!stack.empty()) {
        TSceneNode* n = stack.back();
        stack.pop_back();
        if (!n->GetVisible())
            continue;
        if (auto* object = dynamic_cast<TSceneObject*>(n))
            Visit(*object);
        const auto& children = n->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it)
            stack.push_back(*it);
    }
}

std::string Fixed(double Value, int Digits)
{
    char buffer[64];
    auto r = std::to_chars(buffer, buffer + sizeof buffer, Value, std::chars_format::fixed, Digits);
    return std::string(buffer, r.ptr);
}

int64_t TimevalTo100ns(const timeval& t)
{
    return static_cast<int64_t>(t.tv_sec) * 10000000 + static_cast<int64_t>(t.tv_usec) * 10;
}
}  // namespace

int64_t TScene::CountObjects() const
{
    int64_t count = 0;
    ForEachVisibleObject(Root, [&](TSceneObject&) { ++count; });
    return count;
}

int64_t TScene::CountVertices() const
{
    int64_t count = 0;
    ForEachVisibleObject(Root, [&](TSceneObject& o) {
        if (const TMeshData* mesh = o.GetEvaluatedMesh())
            count += static_cast<int64_t>(mesh->Vertices.size());
    });
    return count;
}

int64_t TScene::CountTriangles() const
{
    int64_t count = 0;
    ForEachVisibleObject(Root, [&](TSceneObject& o) {
        if (const TMeshData* mesh = o.GetEvaluatedMesh())
            for (const TMeshFace& f : mesh->Faces)
                count += f.Count - 2;
    });
    return count;
}

int64_t TScene::CountUniqueTextures() const
{
    std::vector<int32_t> ids;
    auto note = [&ids](int32_t id) {
        if (id > 0 && std::find(ids.begin(), ids.end(), id) == ids.end())
            ids.push_back(id);
    };
    ForEachVisibleObject(Root, [&](TSceneObject& o) {
        note(o.TexId);
        if (const TMeshData* mesh = o.GetEvaluatedMesh())
            for (const TMeshFace& f : mesh->Faces)
                note(f.TexId);
    });
    return static_cast<int64_t>(ids.size());
}

int64_t TScene::EstimateMeshMemoryKB() const
{
    int64_t bytes = 0;
    ForEachVisibleObject(Root, [&](TSceneObject& o) {
        if (const TMeshData* mesh = o.GetEvaluatedMesh()) {
            bytes += static_cast<int64_t>(mesh->Vertices.size()) * 32;
            for (const TMeshFace& f : mesh->Faces)
                bytes += static_cast<int64_t>(f.Count) * 4;
        }
    });
    return bytes / 1024;
}

std::string TScene::GetStatisticsText() const
{
    const int64_t triangles = CountTriangles();
    const int64_t vertices = CountVertices();
    const int64_t objects = CountObjects();
    const int64_t textures = CountUniqueTextures();
    const int64_t meshKB = EstimateMeshMemoryKB();
    const int64_t processKB = GetProcessMemoryKB();
    const float cpu = SampleProcessCpuPercent();
    return "Scene Statistics:\r\n"
           "  Objects: " +
           std::to_string(objects) +
           "\r\n"
           "  Vertices: " +
           std::to_string(vertices) +
           "\r\n"
           "  Triangles: " +
           std::to_string(triangles) +
           "\r\n"
           "  Unique Textures: " +
           std::to_string(textures) +
           "\r\n"
           "  Est. Mesh Memory: " +
           std::to_string(meshKB) + " KB (" + Fixed(meshKB / 1024.0, 2) +
           " MB)\r\n"
           "  Process Memory: " +
           std::to_string(processKB) + " KB (" + Fixed(processKB / 1024.0, 2) +
           " MB)\r\n"
           "  CPU Usage: " +
           Fixed(cpu, 1) + "%";
}

float TProcessCpuSampler::Sample(int64_t KernelTime, int64_t UserTime)
{
    if (!HasPrevious) {
        HasPrevious = true;
        PreviousKernel = KernelTime;
        PreviousUser = UserTime;
        return 0;
    }
    const int64_t delta = (KernelTime + UserTime) - (PreviousKernel + PreviousUser);
    PreviousKernel = KernelTime;
    PreviousUser = UserTime;
    if (delta <= 0)
        return 0;
    const float percent = static_cast<float>(delta) / 100000.0f;
    return percent > 100 ? 100 : percent;
}

float SampleProcessCpuPercent()
{
    static TProcessCpuSampler sampler;
    rusage usage{};
    if (getrusage(RUSAGE_SELF, &usage) != 0)
        return 0;
    return sampler.Sample(TimevalTo100ns(usage.ru_stime), TimevalTo100ns(usage.ru_utime));
}

int64_t GetProcessMemoryKB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) != 0)
            continue;
        const char* p = line.c_str() + 6;
        const char* end = line.c_str() + line.size();
        while (p < end && (*p == ' ' || *p == '\t'))
            ++p;
        int64_t kb = 0;
        if (std::from_chars(p, end, kb).ec == std::errc())
            return kb;
        return 0;
    }
    return 0;
}

std::vector<TContactMeshInput> GatherContactInputs(TScene& Scene)
{
    std::vector<TContactMeshInput> inputs;
    ForEachVisibleObject(Scene.GetRoot(), [&](TSceneObject& o) {
        if (o.PrimType == ptSkybox)
            return;
        const TMeshData* mesh = o.GetEvaluatedMesh();
        if (mesh == nullptr)
            return;
        TContactMeshInput input;
        input.Node = &o;
        input.Mesh = mesh;
        input.World = o.GetWorldMatrix();
        input.Color = o.Color;
        input.Receives = o.PrimType != ptTerrain;
        input.Occludes = true;
        inputs.push_back(input);
    });
    return inputs;
}
