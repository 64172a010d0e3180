// A parameter edit in a modifier settings window, from the typed value to the next drawn
// frame: the main window with a 100,000-vertex object under four deformers (twist, taper,
// bend, noise), the bend's window open, a new angle entered in its "Angle:" field, then the
// four views drawn. The floor is the same frame drawn without an edit. Run under an X
// server: xvfb-run -a build/bench/quill_bench_modifier_edit
#include "base/uMesh.h"
#include "editor/uInstallSubsystems.h"
#include "editor/uMainForm.h"
#include "editor/uModifierPage.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "modifiers/ui/uModifierSettingsBase.h"
#include "modifiers/ui/uModifierWindowManager.h"
#include "render/uGLView.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>

namespace {

struct TEditBench {
    std::unique_ptr<TMainForm> Form;
    TSceneObject* Object = nullptr;
    QLineEdit* Angle = nullptr;
    int Step = 0;
    double ColdMs = 0;

    TEditBench()
    {
        Form = std::make_unique<TMainForm>();
        InstallSubsystemWindows(*Form);
        Form->FrameTimer()->stop();
        Form->show();
        (void)QTest::qWaitForWindowExposed(Form.get());
        Object = Form->Scene().GetSelectedObject();
        auto mesh = std::make_unique<TMeshData>();
        mesh->BuildSphere(400, 249, 0.5f);  // about 100,000 vertices
        Object->SetBaseMesh(std::move(mesh));
        for (const char* type : {"twist", "taper", "bend", "noise"})
            Object->AddModifier(CreateModifierByTypeId(type));
        auto* page = Form->findChild<TModifierPage*>(QStringLiteral("ModifierPage"));
        page->UpdateModifierList();
        const uint32_t bendId = Object->GetModifiers().GetItem(2)->GetId();
        TModifierSettingsForm* window = page->WindowManager().OpenEditor(
            &Form->Scene(), MakeModifierRef(Object->GetId(), bendId));
        Angle = window->findChild<QLineEdit*>(QStringLiteral("AngleDeg"));
        Draw();
        ColdMs = EditAndDraw();
    }
    void Draw() { Form->GLView()->grabFramebuffer(); }
    // Milliseconds from the typed value to the drawn frame (or, without Frame, to the
    // re-evaluated mesh the next frame draws).
    double EditAndDraw(bool Frame = true)
    {
        const auto start = std::chrono::steady_clock::now();
        Angle->setText(QString::number(30 + (++Step % 60)));
        QTest::keyClick(Angle, Qt::Key_Return);
        if (Frame)
            Draw();
        else
            (void)Object->GetEvaluatedMesh();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    }
};

TEditBench& Bench()
{
    static TEditBench bench;
    return bench;
}

void BM_ModifierEditToFrame(benchmark::State& state)
{
    TEditBench& b = Bench();
    for (auto _ : state) {
        const double ms = b.EditAndDraw();
        state.SetIterationTime(ms / 1000.0);
    }
    state.counters["cold_ms"] = b.ColdMs;
    state.counters["vertices"] = double(b.Object->GetEvaluatedMesh()->Vertices.size());
}
BENCHMARK(BM_ModifierEditToFrame)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The edit without the drawing: the typed value to the re-evaluated mesh.
void BM_ModifierEditToMesh(benchmark::State& state)
{
    TEditBench& b = Bench();
    for (auto _ : state)
        state.SetIterationTime(b.EditAndDraw(false) / 1000.0);
}
BENCHMARK(BM_ModifierEditToMesh)->UseManualTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

// The floor: the same frame drawn with nothing edited.
void BM_FrameWithoutEdit(benchmark::State& state)
{
    TEditBench& b = Bench();
    for (auto _ : state)
        b.Draw();
}
BENCHMARK(BM_FrameWithoutEdit)->UseRealTime()->Unit(benchmark::kMillisecond)->MinTime(2.0);

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QSurfaceFormat::setDefaultFormat(TGLView::EditorSurfaceFormat());
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    Bench().Form.reset();
    benchmark::Shutdown();
    return 0;
}
