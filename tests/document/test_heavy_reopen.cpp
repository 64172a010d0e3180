// Projects with big modifier stacks, saved and opened again. What the editor evaluates
// within an object's limits, with the whole scene inside the room opening gives it, must
// open whole: no stack held, and every object showing the editor's mesh to the bit.
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "tests/document/project_file_fixture.h"
#include "tests/document/random_project_builder.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

namespace fs = std::filesystem;

namespace {

// What opening a file may build in all: the evaluated meshes of every object together.
constexpr int64_t kSceneRoom = 4000000;

std::vector<TSceneObject*> ObjectsOf(const TProjectDocument& Doc)
{
    std::vector<TSceneObject*> objects;
    for (TSceneNode* node : Doc.GetScene().GetNodes())
        if (auto* object = dynamic_cast<TSceneObject*>(node))
            objects.push_back(object);
    return objects;
}

// The file writes a real by its value, -0 as 0: a zero's sign is all that may change.
bool SameBits(float A, float B)
{
    return std::bit_cast<uint32_t>(A) == std::bit_cast<uint32_t>(B) || (A == 0 && B == 0);
}

std::string FaceText(const TMeshFace& Face)
{
    char buffer[200];
    std::snprintf(buffer, sizeof buffer, "[%d corners %d %d %d %d, texture %d, uv %.9g %.9g]",
                  Face.Count, Face.Indices[0], Face.Indices[1], Face.Indices[2], Face.Indices[3],
                  Face.TexId, Face.UVs[0].U, Face.UVs[0].V);
    return buffer;
}

// Empty when the two meshes hold the same vertices and faces, every number to the bit,
// else where they first differ.
std::string MeshDifference(const TMeshData& Editor, const TMeshData& Opened)
{
    if (Editor.Vertices.size() != Opened.Vertices.size() ||
        Editor.Faces.size() != Opened.Faces.size())
        return std::to_string(Editor.Vertices.size()) + " vertices, " +
               std::to_string(Editor.Faces.size()) + " faces in the editor; " +
               std::to_string(Opened.Vertices.size()) + " vertices, " +
               std::to_string(Opened.Faces.size()) + " faces opened";
    const auto same = [](const auto& A, const auto& B) {
        if constexpr (std::is_same_v<std::decay_t<decltype(A)>, TVec2>)
            return SameBits(A.U, B.U) && SameBits(A.V, B.V);
        else
            return SameBits(A.X, B.X) && SameBits(A.Y, B.Y) && SameBits(A.Z, B.Z);
    };
    const auto text = [](const TVec3& V) {
        char buffer[80];
        std::snprintf(buffer, sizeof buffer, "(%.9g, %.9g, %.9g)", V.X, V.Y, V.Z);
        return std::string(buffer);
    };
    for (size_t i = 0; i < Editor.Vertices.size(); ++i) {
        const TMeshVertex& a = Editor.Vertices[i];
        const TMeshVertex& b = Opened.Vertices[i];
        const std::string at = "vertex " + std::to_string(i) + ": ";
        if (!same(a.Position, b.Position))
            return at + "position " + text(a.Position) + " in the editor, " + text(b.Position) +
                   " opened";
        if (!same(a.Normal, b.Normal))
            return at + "normal " + text(a.Normal) + " in the editor, " + text(b.Normal) +
                   " opened";
        if (!same(a.Color, b.Color) || !same(a.UV, b.UV))
            return at + "colour or texture coordinates differ";
    }
    for (size_t i = 0; i < Editor.Faces.size(); ++i) {
        const TMeshFace& a = Editor.Faces[i];
        const TMeshFace& b = Opened.Faces[i];
        bool uvs = true;
        for (size_t k = 0; k < 4; ++k)
            uvs = uvs && same(a.UVs[k], b.UVs[k]);
        if (a.Count != b.Count || a.Indices != b.Indices || a.TexId != b.TexId || !uvs)
            return "face " + std::to_string(i) + ": " + FaceText(a) + " in the editor, " +
                   FaceText(b) + " opened";
    }
    return {};
}

// What a kept project holds, so that a run can tell which stacks it reached.
void Tally(const TProjectDocument& Doc, std::map<std::string, int>& Reached)
{
    for (TSceneObject* object : ObjectsOf(Doc)) {
        const TModifierStack& stack = object->GetModifiers();
        for (int32_t i = 0; i < stack.Count(); ++i)
            if (stack.GetItem(i)->GetEnabled())
                ++Reached[stack.GetItem(i)->GetTypeId()];
        if (object->ChildCount() > 0 && HasCompositeModifier(&stack)) {
            ++Reached["composite owner"];
            for (TSceneNode* node : SubtreePostOrder(object))
                if (auto* below = dynamic_cast<TSceneObject*>(node);
                    below && below != object && below->ChildCount() > 0 &&
                    HasCompositeModifier(&below->GetModifiers()))
                    ++Reached["composite owner below another"];
        }
    }
}

class HeavyReopen : public TProjectFileFixture {
protected:
    HeavyReopen() : TProjectFileFixture("quill_heavy_reopen_", true) {}

    // Builds the seed's project within Room, checks that the editor evaluates all of it,
    // saves it, opens it again as File > Open does and compares every object.
    void BuildSaveAndReopen(uint32_t Seed, int Light, int Heavy, int64_t Room,
                            std::map<std::string, int>* Reached = nullptr)
    {
        SCOPED_TRACE("seed " + std::to_string(Seed));
        const fs::path folder = Dir / std::to_string(Seed);
        fs::create_directories(folder);
        Registry->Clear();
        TProjectDocument doc;
        TRandomProjectBuilder builder(doc, *Registry, folder, Seed);
        builder.BuildHeavy(Light, Heavy, Room, Room);
        ASSERT_TRUE(builder.UnknownTypes.empty()) << builder.UnknownTypes.front();

        // The editor, as the viewport shows the current frame: every object evaluated
        // within its own limits, the scene inside the room. Each stack is run again from
        // what the project holds now, as the modifier page's Refresh does: an object's own
        // scale reaches Un-scale UVs without marking its mesh stale.
        for (TSceneObject* object : ObjectsOf(doc))
            object->MarkMeshDirty();
        const TSceneLook look = LookAtScene(doc);
        ASSERT_EQ(look.Failed, "");
        ASSERT_LE(look.Vertices, Room);
        ASSERT_LE(look.Faces, Room);
        Largest = std::max(Largest, look.LargestObject);
        if (Reached)
            Tally(doc, *Reached);

        const std::string path = (folder / "project.qstn").string();
        doc.SaveToFile(path, true);
        TProjectDocument back;
        back.LoadFromFile(path);
        EXPECT_EQ(back.GetLoadNotes(), "");
        ShowCurrentFrame(back);
        const std::vector<TSceneObject*> editor = ObjectsOf(doc);
        ASSERT_EQ(ObjectsOf(back).size(), editor.size());
        for (TSceneObject* object : editor) {
            SCOPED_TRACE("object \"" + object->Name + "\"");
            auto* opened = dynamic_cast<TSceneObject*>(back.FindNode(object->GetId()));
            ASSERT_NE(opened, nullptr);
            EXPECT_FALSE(opened->IsEvaluationHeld()) << opened->GetEvaluationMessage();
            const TMeshData* mesh = opened->GetEvaluatedMesh();
            EXPECT_EQ(opened->GetEvaluationMessage(), "");
            const TMeshData* shown = object->GetEvaluatedMesh();
            ASSERT_EQ(mesh == nullptr, shown == nullptr);
            if (shown) {
                EXPECT_EQ(MeshDifference(*shown, *mesh), "");
            }
        }
        if (!HasFailure())
            fs::remove_all(folder);
    }

    int64_t Largest = 0;
};

class HeavyReopenSeed : public HeavyReopen, public ::testing::WithParamInterface<uint32_t> {};

}  // namespace

// Scenes up to the whole room, with objects of hundreds of thousands of vertices.
TEST_P(HeavyReopenSeed, ReopensWholeWithTheEditorsMeshes)
{
    BuildSaveAndReopen(GetParam(), 10, 14, kSceneRoom);
}

INSTANTIATE_TEST_SUITE_P(Seeds, HeavyReopenSeed, ::testing::Values(2u, 4u, 11u, 20u, 24u, 25u));

// Many smaller scenes: every kind of big stack is reached and reopens the same.
TEST_F(HeavyReopen, SmallerScenesOfEveryKindOfStackReopenWhole)
{
    std::map<std::string, int> reached;
    for (uint32_t seed = 100; seed < 112; ++seed)
        BuildSaveAndReopen(seed, 8, 10, 150000, &reached);
    for (const char* kind :
         {"subdivide", "shell", "slice", "cap_holes", "array_2d", "array_circular", "vertex_weld",
          "smooth", "relax", "mirror", "composite owner", "composite owner below another"})
        EXPECT_GT(reached[kind], 0) << kind;
}
