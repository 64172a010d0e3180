#pragma once
// What the scene page shows about the whole scene (the TScene counters live in
// uSceneStatistics.cpp), the process figures beside them, and the per-object inputs of the
// contact lighting gathered over the visible part of the tree.
#include <cstdint>
#include <vector>

#include "base/uMath.h"

class TMeshData;
class TScene;
class TSceneObject;

// Processor time between two samples, in hundredths of a second, capped at 100: per
// cent of one processor when the samples are one second apart.
class TProcessCpuSampler {
public:
    // Times in 100-nanosecond units. The first sample gives 0.
    float Sample(int64_t KernelTime, int64_t UserTime);

private:
    bool HasPrevious = false;
    int64_t PreviousKernel = 0;
    int64_t PreviousUser = 0;
};

// The process's own sampler over its kernel and user times; 0 on the first call of the
// run and when the times cannot be read.
float SampleProcessCpuPercent();
// Resident memory of the process in KB; 0 when it cannot be read.
int64_t GetProcessMemoryKB();

// One visible object, as the contact lighting sees it.
struct TContactMeshInput {
    TSceneObject* Node = nullptr;
    const TMeshData* Mesh = nullptr;  // the object's evaluated mesh, owned by it
    TMatrix4 World{};
    TVec3 Color;
    bool Receives = true;  // False for terrain
    bool Occludes = true;
};

// Every visible object with an evaluated mesh except skyboxes, parents before children.
std::vector<TContactMeshInput> GatherContactInputs(TScene& Scene);
