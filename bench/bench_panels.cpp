// The side panels of the main window on a scene of 10,000 nodes (100 groups of 99 nodes,
// half of them cube objects, every group expanded): rebuilding the hierarchy tree after a
// scene change, and a selection change with everything that follows it (the properties
// page, the timeline and the status bar refresh), both in milliseconds. The first run of
// each is reported on its own (cold: fresh items and memory), then the repeated runs.
// Needs an X server: xvfb-run -a build/bench/quill_bench_panels
#include "document/uProjectDocument.h"
#include "editor/uMainForm.h"
#include "editor/uPropertiesPage.h"
#include "editor/uSceneTreePanel.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QApplication>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace {

TMainForm* Form = nullptr;
std::vector<uint32_t> ObjectIds;

void BuildScene(TMainForm& form)
{
    TScene& scene = form.Scene();
    // Built without notifications: the tree would rebuild once per node.
    auto onChange = std::move(scene.OnChange);
    scene.OnChange = nullptr;
    for (int g = 0; g < 100; ++g) {
        TSceneGroup* group = scene.CreateGroup("Group " + std::to_string(g), nullptr, -1);
        for (int c = 0; c < 99; ++c) {
            if (c % 2 == 0) {
                scene.CreateGroup("Part " + std::to_string(c), group, -1);
                continue;
            }
            TSceneObject* cube = scene.AddPrimitive(ptCube);
            scene.ReparentNode(cube, group, group->ChildCount(), true);
            ObjectIds.push_back(cube->GetId());
        }
    }
    scene.OnChange = std::move(onChange);
    form.SceneTree()->RebuildSceneTree();
    for (int i = 0; i < form.SceneTree()->topLevelItem(0)->childCount(); ++i)
        form.SceneTree()->topLevelItem(0)->child(i)->setExpanded(true);
}

double Milliseconds(std::chrono::steady_clock::duration d)
{
    return std::chrono::duration<double, std::milli>(d).count();
}

template <class F>
void TimeRuns(benchmark::State& State, F&& Run)
{
    using Clock = std::chrono::steady_clock;
    const auto t0 = Clock::now();
    Run(0);
    State.counters["cold_ms"] = Milliseconds(Clock::now() - t0);
    int64_t i = 1;
    double total = 0;
    for (auto _ : State) {
        const auto t = Clock::now();
        Run(i++);
        const double ms = Milliseconds(Clock::now() - t);
        total += ms;
        State.SetIterationTime(ms / 1000.0);
    }
    State.counters["warm_ms"] = total / double(State.iterations());
    State.counters["nodes"] = double(Form->Scene().NodeCount());
}

void BM_TreeRebuild10k(benchmark::State& State)
{
    TimeRuns(State, [](int64_t) { Form->SceneTree()->RebuildSceneTree(); });
}
BENCHMARK(BM_TreeRebuild10k)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_SelectionChange10k(benchmark::State& State)
{
    TimeRuns(State, [](int64_t i) { Form->SelectNode(ObjectIds[size_t(i) % ObjectIds.size()]); });
}
BENCHMARK(BM_SelectionChange10k)->UseManualTime()->Unit(benchmark::kMillisecond);

void BM_PropertiesRefresh(benchmark::State& State)
{
    auto* page = Form->findChild<TPropertiesPage*>();
    TimeRuns(State, [page](int64_t) { page->UpdatePropertiesPanel(); });
}
BENCHMARK(BM_PropertiesRefresh)->UseManualTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    auto form = std::make_unique<TMainForm>();
    form->FrameTimer()->stop();
    form->show();
    QApplication::processEvents();
    Form = form.get();
    BuildScene(*form);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    Form = nullptr;
    form.reset();
    return 0;
}
