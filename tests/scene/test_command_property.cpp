// Random hierarchy and animation commands against a random project: every undo must bring
// back exactly the state before its command, every redo exactly the state after it, and a
// refused command must change nothing. States are compared through a canonical dump of
// ids, names, parents, child order, selection and visibility flags, transforms (bit
// patterns), object colours, texture ids, whole meshes, modifier stacks with their
// parameters, project time and keys; every step that changes the dump must also raise the
// project's revision, or the editor would not know the project needs saving.
#include <gtest/gtest.h>

#include <bit>
#include <charconv>
#include <memory>
#include <random>
#include <string>
#include <unordered_set>
#include <vector>

#include "base/uCommandHistory.h"
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"
#include "scene/uAnimationCommands.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uVertexPaintCommands.h"

namespace {

// Dumps are raw bytes: cheap enough to take before and after every step.
void Put(std::string& Out, int64_t Value)
{
    Out.append(reinterpret_cast<const char*>(&Value), sizeof Value);
}

// Floats by bit pattern: equal dumps mean bit-identical values.
void Put(std::string& Out, float Value)
{
    Put(Out, static_cast<int64_t>(std::bit_cast<uint32_t>(Value)));
}

void PutText(std::string& Out, const std::string& Text)
{
    Put(Out, static_cast<int64_t>(Text.size()));
    Out += Text;
}

void Put(std::string& Out, const TVec3& V)
{
    Put(Out, V.X);
    Put(Out, V.Y);
    Put(Out, V.Z);
}

void Put(std::string& Out, const TVec2& V)
{
    Put(Out, V.U);
    Put(Out, V.V);
}

void Put(std::string& Out, const TPropertyValue& V)
{
    Put(Out, static_cast<int64_t>(V.Kind));
    Put(Out, V.Float);
    Put(Out, static_cast<int64_t>(V.Int));
    Put(Out, static_cast<int64_t>(V.Bool));
    Put(Out, V.Vector);
}

void DumpMesh(std::string& Out, const TMeshData& Mesh)
{
    Put(Out, static_cast<int64_t>(Mesh.Vertices.size()));
    for (const TMeshVertex& v : Mesh.Vertices) {
        Put(Out, v.Position);
        Put(Out, v.Normal);
        Put(Out, v.Color);
        Put(Out, v.UV);
    }
    Put(Out, static_cast<int64_t>(Mesh.Faces.size()));
    for (const TMeshFace& f : Mesh.Faces) {
        Put(Out, static_cast<int64_t>(f.Count));
        Put(Out, static_cast<int64_t>(f.TexId));
        for (size_t c = 0; c < 4; ++c) {
            Put(Out, static_cast<int64_t>(f.Indices[c]));
            Put(Out, f.UVs[c]);
        }
    }
    Put(Out, static_cast<int64_t>(Mesh.Edges.size()));
    for (const TMeshEdge& e : Mesh.Edges) {
        Put(Out, static_cast<int64_t>(e.V0));
        Put(Out, static_cast<int64_t>(e.V1));
    }
}

// An object must come back with its own colours, mesh and modifiers, not a rebuilt or
// default one.
void DumpObject(std::string& Out, const TSceneObject& Object)
{
    Put(Out, static_cast<int64_t>(Object.PrimType));
    Put(Out, Object.Color);
    Put(Out, Object.DisplayColor);
    Put(Out, static_cast<int64_t>(Object.TexId));
    Put(Out, static_cast<int64_t>(Object.Blend));
    Put(Out, Object.TerrainSize);
    Put(Out, Object.TerrainHeight);
    const TMeshData* mesh = Object.GetBaseMesh();
    Put(Out, static_cast<int64_t>(reinterpret_cast<intptr_t>(mesh)));
    if (mesh != nullptr)
        DumpMesh(Out, *mesh);
    const TModifierStack& stack = Object.GetModifiers();
    Put(Out, static_cast<int64_t>(stack.Count()));
    std::vector<std::string> lines;
    for (int32_t i = 0; i < stack.Count(); ++i) {
        const TModifier* modifier = stack.GetItem(i);
        PutText(Out, modifier->GetTypeId());
        Put(Out, static_cast<int64_t>(modifier->GetId()));
        Put(Out, static_cast<int64_t>(modifier->GetEnabled()));
        lines.clear();
        modifier->SaveParams(lines);
        for (const std::string& line : lines)
            PutText(Out, line);
    }
}

std::string DumpScene(const TScene& Scene)
{
    std::string out;
    out.reserve(static_cast<size_t>(Scene.NodeCount() + 1) * 128);
    size_t walked = 0;
    struct TItem {
        const TSceneNode* Node;
        int Depth;
    };
    std::vector<TItem> stack{{Scene.GetRoot(), 0}};
    while (!stack.empty()) {
        const TItem item = stack.back();
        stack.pop_back();
        const TSceneNode* node = item.Node;
        ++walked;
        Put(out, static_cast<int64_t>(item.Depth));
        Put(out, static_cast<int64_t>(node->GetId()));
        PutText(out, node->Name);
        Put(out, static_cast<int64_t>(node->GetVisible()));
        Put(out, static_cast<int64_t>(node->GetLocked()));
        Put(out, node->GetPosition());
        Put(out, node->GetRotation());
        Put(out, node->GetScale());
        Put(out, static_cast<int64_t>(node->Selected));
        if (const auto* object = dynamic_cast<const TSceneObject*>(node))
            DumpObject(out, *object);
        // The links and the id lookup must agree with the tree.
        if (Scene.FindNodeById(node->GetId()) != node)
            PutText(out, "LOOKUP MISMATCH");
        const auto& children = node->GetChildren();
        for (auto it = children.rbegin(); it != children.rend(); ++it) {
            if ((*it)->GetParent() != node)
                PutText(out, "PARENT MISMATCH");
            stack.push_back({*it, item.Depth + 1});
        }
    }
    if (walked != static_cast<size_t>(Scene.NodeCount()) + 1)
        PutText(out, "REGISTRY MISMATCH");
    return out;
}

std::string DumpAnimation(const TAnimationDocument& Animation)
{
    std::string out;
    const TProjectTime& time = Animation.ProjectTime;
    Put(out, static_cast<int64_t>(time.GetStartFrame()));
    Put(out, static_cast<int64_t>(time.GetEndFrame()));
    Put(out, static_cast<int64_t>(time.GetCurrentFrame()));
    Put(out, time.GetFPS());
    Put(out, static_cast<int64_t>(time.GetLoopTimeline()));
    for (int c = 0; c < Animation.ClipCount(); ++c) {
        const TAnimationClip* clip = Animation.GetClip(c);
        PutText(out, "clip");
        Put(out, static_cast<int64_t>(clip->GetNodeId()));
        Put(out, static_cast<int64_t>(clip->StartFrame));
        Put(out, static_cast<int64_t>(clip->GetLength()));
        Put(out, static_cast<int64_t>(clip->PlaybackMode));
        for (int t = 0; t < clip->Tracks.Count(); ++t) {
            const TAnimationTrack* track = clip->Tracks.GetItem(t);
            const TPropertyPath& path = track->GetTarget();
            PutText(out, "track");
            Put(out, static_cast<int64_t>(path.NodeId));
            Put(out, static_cast<int64_t>(path.ComponentKind));
            Put(out, static_cast<int64_t>(path.ComponentId));
            Put(out, static_cast<int64_t>(path.PropertyId));
            Put(out, static_cast<int64_t>(track->GetValueKind()));
            Put(out, track->GetRestValue());
            for (int k = 0; k < track->KeyCount(); ++k) {
                const TAnimationKey& key = track->GetKey(k);
                PutText(out, "key");
                Put(out, static_cast<int64_t>(key.Frame));
                Put(out, static_cast<int64_t>(key.Interpolation));
                Put(out, key.Value);
            }
        }
    }
    return out;
}

::testing::AssertionResult SameDump(const std::string& Actual, const std::string& Expected)
{
    if (Actual == Expected)
        return ::testing::AssertionSuccess();
    size_t at = 0;
    while (at < Actual.size() && at < Expected.size() && Actual[at] == Expected[at])
        ++at;
    return ::testing::AssertionFailure()
           << "states differ from byte " << at << " of " << Expected.size();
}

class CommandPropertyRun {
public:
    CommandPropertyRun(uint32_t Seed, int32_t Depth)
        : Random(Seed), Scene(Document.GetScene()), Animation(Document.GetAnimation()),
          Target(Document.AnimationCommandTarget()), OwnHistory(Depth),
          History(Depth == Document.GetHistory().GetMaxDepth() ? Document.GetHistory() : OwnHistory)
    {
        // Another depth: a history of its own, counted as the project counts its own.
        OwnHistory.OnStep = [this] { Document.MarkChanged(); };
        BuildRandomScene();
        StartDump = Dump();
    }

    std::string Dump() const
    {
        std::string dump = DumpScene(Scene);
        PutText(dump, "animation");
        dump += DumpAnimation(Animation);
        return dump;
    }

    // Runs Steps random actions (mostly new commands, some undos and redos), checking each
    // against the dumps taken around it.
    void Run(int Steps)
    {
        for (int step = 0; step < Steps && !::testing::Test::HasFatalFailure(); ++step) {
            const int roll = Int(0, 99);
            if (roll < 8)
                UndoChecked();
            else if (roll < 12)
                RedoChecked();
            else
                ExecuteRandomCommand();
        }
    }

    // Undoes every command the history holds, then redoes them all.
    void UnwindAndReplay()
    {
        const std::string end = Dump();
        while (History.CanUndo() && !::testing::Test::HasFatalFailure())
            UndoChecked();
        ASSERT_TRUE(UndoDumps.empty());
        // With nothing dropped from the history, undoing everything is the start again.
        if (!Trimmed) {
            ASSERT_TRUE(SameDump(Dump(), StartDump)) << "after undoing every command";
        }
        while (History.CanRedo() && !::testing::Test::HasFatalFailure())
            RedoChecked();
        ASSERT_TRUE(SameDump(Dump(), end));
    }

    int CommandsRun = 0;
    int CommandsRefused = 0;

private:
    int Int(int Low, int High) { return std::uniform_int_distribution<int>(Low, High)(Random); }
    float Real(float Low, float High)
    {
        return std::uniform_real_distribution<float>(Low, High)(Random);
    }

    std::vector<TSceneNode*> LiveNodes() const
    {
        std::vector<TSceneNode*> nodes;
        for (TSceneNode* node : Scene.GetNodes())
            if (node != nullptr && node != Scene.GetRoot())
                nodes.push_back(node);
        return nodes;
    }

    TSceneNode* AnyNode(bool RootToo)
    {
        const std::vector<TSceneNode*> nodes = LiveNodes();
        if (nodes.empty() || (RootToo && Int(0, 9) == 0))
            return Scene.GetRoot();
        return nodes[static_cast<size_t>(Int(0, static_cast<int>(nodes.size()) - 1))];
    }

    // An id of a node that exists, existed once, or never did.
    uint32_t AnyId()
    {
        const int roll = Int(0, 19);
        if (roll == 0)
            return 987654321u;
        if (roll <= 3 && !SeenIds.empty())
            return SeenIds[static_cast<size_t>(Int(0, static_cast<int>(SeenIds.size()) - 1))];
        return AnyNode(true)->GetId();
    }

    TVec3 RandomVec(float Low, float High)
    {
        return {Real(Low, High), Real(Low, High), Real(Low, High)};
    }

    void RandomTransform(TSceneNode& Node)
    {
        TVec3 scale{1, 1, 1};
        if (Int(0, 2) == 0)
            scale = RandomVec(0.5f, 2.0f);  // non-uniform: some reparents must be refused
        Node.SetTransform(RandomVec(-5, 5), {Real(-180, 180), Real(-90, 90), Real(-180, 180)},
                          scale);
    }

    // Colours, texture ids, an edited mesh and a stack of modifiers with random settings,
    // so that a command that rebuilds, resets or drops any of them shows in the dump.
    void RandomLook(TSceneObject& Object)
    {
        Object.Color = RandomVec(0, 1);
        Object.DisplayColor = RandomVec(0, 1);
        Object.TexId = Int(0, 3);
        Object.Blend = static_cast<TVertexColorBlend>(Int(0, 2));
        if (TMeshData* mesh = Object.GetBaseMesh()) {
            for (TMeshVertex& v : mesh->Vertices) {
                v.Color = RandomVec(0, 1);
                if (Int(0, 3) == 0)
                    v.Position = Vec3Add(v.Position, RandomVec(-0.2f, 0.2f));
            }
            for (TMeshFace& f : mesh->Faces)
                f.TexId = Int(0, 4);
            Object.MarkMeshDirty();
        }
        const int count = Int(0, 3);
        for (int i = 0; i < count; ++i) {
            switch (Int(0, 2)) {
            case 0: {
                auto twist = std::make_unique<TTwistModifier>();
                twist->SetAngle(Real(-180, 180));
                Object.AddModifier(std::move(twist));
                break;
            }
            case 1: {
                auto taper = std::make_unique<TTaperModifier>();
                taper->SetAmount(Real(-1, 1));
                taper->SetEnabled(Int(0, 1) == 1);
                Object.AddModifier(std::move(taper));
                break;
            }
            default: {
                auto noise = std::make_unique<TNoiseModifier>();
                noise->SetStrength(Real(0, 0.5f));
                noise->SetScale(Real(0.5f, 3));
                Object.AddModifier(std::move(noise));
                break;
            }
            }
        }
    }

    void BuildRandomScene()
    {
        for (int i = 0; i < 30; ++i) {
            TSceneNode* parent = AnyNode(true);
            TSceneGroup* group = Scene.CreateGroup("Node " + std::to_string(i), parent, Int(0, 5));
            RandomTransform(*group);
            if (Int(0, 14) == 0)
                group->SetLocked(true);
            if (Int(0, 9) == 0)
                group->SetVisible(false);
            SeenIds.push_back(group->GetId());
            SeenIdSet.insert(group->GetId());
        }
        const TPrimitiveType types[] = {ptCube, ptPlane, ptCone};
        for (int i = 0; i < 8; ++i) {
            TSceneObject* object = Scene.AddPrimitive(types[Int(0, 2)]);
            TSceneNode* parent = AnyNode(true);
            if (Scene.CanReparent(object, parent))
                Scene.ReparentNode(object, parent, Int(0, 3), true);
            RandomTransform(*object);
            RandomLook(*object);
            SeenIds.push_back(object->GetId());
            SeenIdSet.insert(object->GetId());
        }
        // One selected node, as the editor keeps it.
        AnyNode(false)->Selected = true;
        for (int i = 0; i < 5; ++i) {
            TPropertyPath path = MakeNodePropertyPath(AnyNode(false)->GetId(), Int(1, 9));
            Animation.SetKey(path, Int(0, 100), MakeFloatPropertyValue(Real(-3, 3)),
                             MakeFloatPropertyValue(Real(-3, 3)), Int(0, 1));
        }
    }

    std::unique_ptr<TEditorCommand> RandomHierarchyCommand()
    {
        switch (Int(0, 4)) {
        case 0:
            return std::make_unique<TCreateGroupCommand>(
                Scene, "Group", Int(0, 4) == 0 ? nullptr : AnyNode(true), Int(-1, 6));
        case 1:
            return std::make_unique<TDeleteSubtreeCommand>(Scene, Int(0, 19) == 0 ? nullptr
                                                                                  : AnyNode(true));
        case 2: {
            TSceneNode* source = AnyNode(true);
            if (Scene.NodeCount() > 120)
                source = nullptr;  // keep the scene small
            return std::make_unique<TDuplicateSubtreeCommand>(Scene, source);
        }
        case 3:
            return std::make_unique<TRenameNodeCommand>(
                Scene, "Renamed " + std::to_string(Int(0, 999)), AnyNode(true));
        default: {
            TSceneNodeIdArray ids;
            const int count = Int(1, 3);
            for (int i = 0; i < count; ++i)
                ids.push_back(AnyId());
            return std::make_unique<TReparentNodesCommand>(Scene, Int(0, 1) == 1, Int(-1, 8),
                                                           AnyId(), ids);
        }
        }
    }

    // Touches a few properties as the editor does, makes the key command, then puts the
    // touched values back so that only commands change the scene.
    std::unique_ptr<TEditorCommand> RandomKeyCommand()
    {
        TAnimationRecorder recorder;
        struct TTouched {
            TSceneNode* Node;
            int32_t Property;
            TPropertyValue Old;
        };
        std::vector<TTouched> touched;
        const int count = Int(1, 3);
        for (int i = 0; i < count; ++i) {
            const uint32_t id = AnyId();
            const int32_t property = Int(1, 10);
            TSceneNode* node = Scene.FindNodeById(id);
            if (node == nullptr || node == Scene.GetRoot()) {
                // A node deleted after its touch: the command must leave it out.
                recorder.RecordTouch(MakeNodePropertyPath(id, property), MakeFloatPropertyValue(0));
                continue;
            }
            TPropertyValue old;
            node->GetPropertyValue(property, old);
            recorder.RecordTouch(MakeNodePropertyPath(id, property), old);
            const TPropertyValue now = property == kNodePropertyVisible
                                           ? MakeBooleanPropertyValue(Int(0, 1) == 1)
                                           : MakeFloatPropertyValue(Real(-4, 4));
            node->SetPropertyValue(property, now, 0);
            touched.push_back({node, property, old});
        }
        std::unique_ptr<TEditorCommand> command;
        try {
            command = std::make_unique<TInsertOrUpdateTouchedKeysCommand>(Target, Int(-10, 120),
                                                                          &recorder);
        } catch (const EArgumentError&) {
        }
        for (auto it = touched.rbegin(); it != touched.rend(); ++it)
            it->Node->SetPropertyValue(it->Property, it->Old, 4);
        return command;
    }

    std::unique_ptr<TEditorCommand> RandomAnimationCommand()
    {
        try {
            switch (Int(0, 2)) {
            case 0:
                return RandomKeyCommand();
            case 1:
                return std::make_unique<TChangeClipRangeCommand>(Target, AnyId(), Int(-20, 100),
                                                                 Int(0, 150));
            default:
                return std::make_unique<TChangeClipPlaybackModeCommand>(
                    Target, AnyId(), Int(0, 1) == 1 ? cpmLoop : cpmOnce);
            }
        } catch (const EArgumentError&) {
            return nullptr;  // refused at construction: nothing exists, nothing changed
        }
    }

    // Paint, fill or gradient on an object that exists, existed once or never did, with
    // some indices outside its mesh. Old colours are the vertices' own, as the paint page
    // takes them, so an undo restores every vertex exactly.
    std::unique_ptr<TEditorCommand> RandomPaintCommand()
    {
        const uint32_t id = AnyId();
        auto* object = dynamic_cast<TSceneObject*>(Scene.FindNodeById(id));
        const TMeshData* mesh = object != nullptr ? object->GetBaseMesh() : nullptr;
        const int vertexCount = mesh != nullptr ? static_cast<int>(mesh->Vertices.size()) : 8;
        std::vector<int32_t> indices;
        std::vector<TVec3> oldColors, newColors;
        const int count = Int(1, 6);
        for (int i = 0; i < count; ++i) {
            const int32_t v = Int(0, 9) == 0 ? Int(-3, vertexCount + 3) : Int(0, vertexCount - 1);
            indices.push_back(v);
            const bool inside = mesh != nullptr && v >= 0 && v < vertexCount;
            oldColors.push_back(inside ? mesh->Vertices[static_cast<size_t>(v)].Color
                                       : RandomVec(0, 1));
            newColors.push_back(RandomVec(0, 1));
        }
        switch (Int(0, 2)) {
        case 0:
            return std::make_unique<TVertexPaintCommand>(Scene, id, 0, indices, oldColors,
                                                         newColors, "Paint");
        case 1:
            return std::make_unique<TVertexPaintFillCommand>(Scene, id, 0, indices, oldColors,
                                                             RandomVec(0, 1));
        default:
            return std::make_unique<TVertexPaintGradientCommand>(
                Scene, id, std::vector<int32_t>{Int(0, 5)}, oldColors, newColors, indices);
        }
    }

    void ExecuteRandomCommand()
    {
        std::unique_ptr<TEditorCommand> command;
        if (Int(0, 5) == 0)
            command = RandomPaintCommand();
        else
            command = Int(0, 2) == 0 ? RandomAnimationCommand() : RandomHierarchyCommand();
        const std::string before = Dump();
        if (command == nullptr) {
            ASSERT_TRUE(SameDump(Dump(), before));
            return;
        }
        const std::string description = command->GetDescription();
        const int64_t revision = Document.GetRevision();
        try {
            History.Execute(std::move(command));
        } catch (const EGeneralError&) {
            ++CommandsRefused;
            ASSERT_TRUE(SameDump(Dump(), before))
                << "a refused " << description << " changed the document";
            return;
        }
        ++CommandsRun;
        ASSERT_TRUE(Counted(before, revision)) << description << " left the revision as it was";
        for (TSceneNode* node : LiveNodes())
            if (SeenIdSet.insert(node->GetId()).second)
                SeenIds.push_back(node->GetId());
        UndoDumps.push_back(before);
        while (UndoDumps.size() > History.UndoCount()) {
            UndoDumps.erase(UndoDumps.begin());
            Trimmed = true;
        }
        RedoDumps.clear();
    }

    // A step that changed the project must have raised its revision.
    bool Counted(const std::string& DumpBefore, int64_t RevisionBefore) const
    {
        return Document.GetRevision() > RevisionBefore || Dump() == DumpBefore;
    }

    void UndoChecked()
    {
        if (!History.CanUndo())
            return;
        const std::string description = History.NextUndo()->GetDescription();
        const std::string after = Dump();
        const int64_t revision = Document.GetRevision();
        ASSERT_TRUE(History.Undo());
        ASSERT_TRUE(Counted(after, revision)) << "undo of " << description << " was not counted";
        ASSERT_TRUE(SameDump(Dump(), UndoDumps.back())) << "undo of " << description;
        UndoDumps.pop_back();
        RedoDumps.push_back(after);
    }

    void RedoChecked()
    {
        if (!History.CanRedo())
            return;
        const std::string description = History.NextRedo()->GetDescription();
        const std::string before = Dump();
        const int64_t revision = Document.GetRevision();
        ASSERT_TRUE(History.Redo());
        ASSERT_TRUE(Counted(before, revision)) << "redo of " << description << " was not counted";
        ASSERT_TRUE(SameDump(Dump(), RedoDumps.back())) << "redo of " << description;
        RedoDumps.pop_back();
        UndoDumps.push_back(before);
    }

    std::mt19937 Random;
    TProjectDocument Document;
    TScene& Scene;
    TAnimationDocument& Animation;
    TAnimationCommandTarget Target;
    TCommandHistory OwnHistory;
    TCommandHistory& History;  // the project's own at its depth
    std::string StartDump;
    bool Trimmed = false;                // the history dropped its oldest commands
    std::vector<std::string> UndoDumps;  // the state before each command of the undo list
    std::vector<std::string> RedoDumps;  // the state after each command of the redo list
    std::vector<uint32_t> SeenIds;       // every id a node has had, for commands on gone nodes
    std::unordered_set<uint32_t> SeenIdSet;
};

}  // namespace

TEST(CommandProperty, RandomCommandsUndoAndRedoExactly)
{
    // The project's depth, and a small one that drops old commands (some of them holding
    // deleted subtrees) on the way.
    const std::pair<uint32_t, int32_t> runs[] = {{1u, 1000}, {2u, 1000}, {3u, 150}};
    for (const auto& [seed, depth] : runs) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        CommandPropertyRun run(seed, depth);
        run.Run(1000);
        if (HasFatalFailure())
            return;
        run.UnwindAndReplay();
        if (HasFatalFailure())
            return;
        // The run must exercise both outcomes, or it proves little.
        EXPECT_GT(run.CommandsRun, 500);
        EXPECT_GT(run.CommandsRefused, 0);
    }
}
