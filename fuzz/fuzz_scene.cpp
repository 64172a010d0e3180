// Feeds arbitrary bytes to the scene file reader through the project document's load,
// as File > Open does, and checks what a load promises:
// - a refused file leaves the project exactly as it was: the text it saves, its
//   revisions, its history, its textures and the id counters;
// - an accepted file saves, loads and saves again to the same text.
// A broken promise aborts, which libFuzzer reports like a crash. Every input starts from
// the same project and counters, so the state a refused file must leave is taken once
// and each refusal is checked against it with one save of the small project. The round
// trip is skipped for a saved text already taken round in this run, and for a text far
// longer than any input (a mesh the reader built, such as a terrain's default grid).
#include "base/uCommandHistory.h"
#include "base/uDocumentIds.h"
#include "base/uTextFile.h"
#include "document/uProjectDocument.h"
#include "document/uSceneFile.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uSceneObject.h"
#include "scene_fuzz_common.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <optional>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
fs::path Folder;
std::string InputFile, RoundTripFile;
TDocumentIdCounters StartIds;
std::unique_ptr<SceneFuzz::TNoGpu> Gpu;
std::unique_ptr<TTextureManager> Textures;

void Check(bool Condition, const char* What)
{
    if (!Condition) {
        std::fprintf(stderr, "broken invariant: %s\n", What);
        std::abort();
    }
}

// The text the project saves to, into Out (cleared first). The buffers passed in live as
// long as the process: after the first large project they have room, so no input pays
// for growing a string line by line.
void SaveText(TProjectDocument& Doc, const std::string& FileName, std::string& Out)
{
    Out.clear();
    struct TJoin : TTextLineSink {
        std::string* Out;
        void WriteLine(std::string_view Line) override
        {
            Out->append(Line);
            Out->append("\r\n");
        }
    } sink;
    sink.Out = &Out;
    WriteSceneLines(Doc.GetScene(), FileName, &Doc.GetAnimation(), &Doc.GetFloorPlans(), sink);
}

void WriteFile(const std::string& Path, const void* Data, size_t Size)
{
    std::ofstream out(Path, std::ios::binary | std::ios::trunc);
    out.write(static_cast<const char*>(Data), static_cast<std::streamsize>(Size));
    Check(static_cast<bool>(out), "the input file could not be written");
}

struct TState {
    std::string Text;
    int64_t Revision, SavedRevision;
    size_t Undo, Redo;
    TDocumentIdCounters Ids;
    int32_t TextureCount;
};

std::optional<TState> StartState;  // of the project every input starts from
std::string FirstText, AgainText;  // reused by every input
// Saved texts of accepted inputs already taken through save, load, save: the round trip
// depends on the text alone, so a mutation that loads to a text seen before (most
// mutations of a large file touch nothing that survives the load) is not repeated.
// A fixed table indexed by the hash (no allocation, and no branch that depends on how
// many texts were seen: such branches would look like new coverage to the fuzzer).
std::array<size_t, 4096> RoundTripped{};
constexpr size_t kRoundTripLimit = 256 * 1024;

bool RoundTrippedBefore(const std::string& Text)
{
    const size_t hash = std::hash<std::string>{}(Text) | 1;  // 0 marks an empty slot
    size_t& slot = RoundTripped[hash % RoundTripped.size()];
    const bool seen = slot == hash;
    slot = hash;
    return seen;
}

TState StateOf(TProjectDocument& Doc)
{
    std::string text;
    SaveText(Doc, InputFile, text);
    return {std::move(text),
            Doc.GetRevision(),
            Doc.GetSavedRevision(),
            Doc.GetHistory().UndoCount(),
            Doc.GetHistory().RedoCount(),
            SnapshotDocumentIds(),
            Textures->Count()};
}
}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    RegisterBuiltInModifiers();
    Folder = fs::temp_directory_path() / ("quill_fuzz_scene_" + std::to_string(::getpid()));
    SceneFuzz::MakeTextureFolder(Folder);
    InputFile = (Folder / "input.qstn").string();
    RoundTripFile = (Folder / "again.qstn").string();
    Gpu = std::make_unique<SceneFuzz::TNoGpu>();
    Textures = std::make_unique<TTextureManager>(Gpu.get());
    CurrentTextureManager = Textures.get();
    StartIds = SnapshotDocumentIds();
    std::atexit([] {
        std::error_code ec;
        fs::remove_all(Folder, ec);
    });
    return 0;
}

namespace {
// The project an input is opened over. A refused input leaves it as it was (that is what
// is checked), so it is made again only after an accepted input replaced it.
std::unique_ptr<TProjectDocument> Project;

void MakeProject()
{
    // The same counters every time, whatever the last input reserved.
    RestoreDocumentIds(StartIds);
    Project.reset();
    // A textured project with a modifier, an undoable command and unsaved changes.
    Textures->Clear();
    Textures->ImportFile((Folder / "textures" / "brick.png").string());
    Project = std::make_unique<TProjectDocument>();
    TSceneObject* cube = Project->GetScene().AddPrimitive(ptCube);
    cube->Name = "Cube";  // not numbered: the same project every time
    cube->TexId = 1;
    if (ModifierDescriptorCount() > 0)
        cube->AddModifier(CreateModifierByIndex(0));
    Project->GetHistory().Execute(
        std::make_unique<TCreateGroupCommand>(Project->GetScene(), "Group", nullptr, 0));
    Project->MarkSaved();
    Project->MarkChanged();
    if (!StartState)
        StartState = StateOf(*Project);
}
}  // namespace

namespace {
// Saved, loaded and saved again: the same text.
void CheckRoundTrip(TProjectDocument& Doc)
{
    SaveText(Doc, RoundTripFile, FirstText);
    // A text far longer than any input holds a mesh the reader built (a terrain's default
    // 128 x 128 grid): it would cost a hundred inputs' time, and the writer's tests take
    // such meshes round.
    if (FirstText.size() > kRoundTripLimit || RoundTrippedBefore(FirstText))
        return;
    WriteFile(RoundTripFile, FirstText.data(), FirstText.size());
    TProjectDocument again;
    try {
        again.LoadFromFile(RoundTripFile);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "a saved file does not load: %s\n", e.what());
        std::abort();
    }
    SaveText(again, RoundTripFile, AgainText);
    Check(AgainText == FirstText, "save, load, save changed the text");
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* Data, size_t Size)
{
    if (!Project)
        MakeProject();
    TProjectDocument& doc = *Project;
    WriteFile(InputFile, Data, Size);
    const TState& before = *StartState;
    bool accepted = true;
    try {
        doc.LoadFromFile(InputFile);
    } catch (const std::exception&) {
        accepted = false;
    }
    if (!accepted) {
        SaveText(doc, InputFile, AgainText);
        Check(AgainText == before.Text, "a refused file changed the project");
        Check(doc.GetRevision() == before.Revision &&
                  doc.GetSavedRevision() == before.SavedRevision,
              "a refused file changed the revisions");
        Check(doc.GetHistory().UndoCount() == before.Undo &&
                  doc.GetHistory().RedoCount() == before.Redo,
              "a refused file changed the history");
        Check(SnapshotDocumentIds() == before.Ids, "a refused file moved the id counters");
        Check(Textures->Count() == before.TextureCount, "a refused file changed the textures");
        return 0;
    }
    Check(!doc.IsModified() && doc.GetHistory().UndoCount() == 0, "a loaded project is not fresh");
    CheckRoundTrip(doc);
    // The next input starts from the project again. Made here rather than by the next
    // input, so that one input's allocations are mostly freed within it and the fuzzer's
    // leak check (which reruns an input that allocates more than it frees) stays rare.
    MakeProject();
    return 0;
}
