// A file whose hierarchy is one long chain, through every walk of the model: validation,
// statistics, queries, animation, save, copies, the hierarchy commands with their undo,
// and freeing it all, on a small stack that any of them recursing once per level would
// exhaust. The editor's own walks are in the window tests.
#include "base/uCommandHistory.h"
#include "base/uDocumentIds.h"
#include "document/uProjectDocument.h"
#include "scene/uAnimationDocument.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "tests/document/hostile_scene_files.h"
#include "tests/document/project_file_fixture.h"
#include "tests/scene/small_stack.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <memory>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

class DeepHierarchyWalksTest : public TProjectFileFixture {
protected:
    DeepHierarchyWalksTest() : TProjectFileFixture("quill_deep_walks_") {}
    std::string Path(const std::string& Name) const { return PathOf(Name); }
};

// Levels below the root.
int DepthOf(const TSceneNode* Node)
{
    int depth = 0;
    for (const TSceneNode* n = Node; n->GetParent() != nullptr; n = n->GetParent())
        ++depth;
    return depth;
}

// Levels of a chain from its top down, the top counted.
int ChainLength(const TSceneNode* Top)
{
    int length = 1;
    for (const TSceneNode* n = Top; n->ChildCount() > 0; n = n->GetChild(0))
        ++length;
    return length;
}

struct TChainCase {
    const char* Name;
    int Depth;
    bool Objects;
};

const TChainCase kChains[] = {{"objects", 6000, true}, {"groups", 12000, false}};

}  // namespace

TEST_F(DeepHierarchyWalksTest, AChainGoesThroughEveryWalkOfTheModel)
{
    for (const TChainCase& c : kChains) {
        SCOPED_TRACE(c.Name);
        RunOnSmallStack([&] {
            const uint32_t deepestId = static_cast<uint32_t>(c.Depth);
            HostileFiles::WriteDeepChain(Path("chain.qstn"), c.Depth, c.Objects);
            auto doc = std::make_unique<TProjectDocument>();
            doc->LoadFromFile(Path("chain.qstn"));
            TScene& scene = doc->GetScene();
            ASSERT_EQ(scene.NodeCount(), c.Depth);
            TSceneNode* top = scene.FindNodeById(1);
            TSceneNode* deepest = scene.FindNodeById(deepestId);
            ASSERT_EQ(DepthOf(deepest), c.Depth);

            std::string messages;
            EXPECT_TRUE(scene.ValidateHierarchy(messages)) << messages;
            EXPECT_EQ(scene.CountObjects(), c.Objects ? c.Depth : 0);
            EXPECT_EQ(scene.CountVertices(), c.Objects ? 4 * c.Depth : 0);
            EXPECT_EQ(scene.GetFirstObject(), c.Objects ? top : nullptr);
            EXPECT_EQ(scene.GetSelectedObject(), c.Objects ? deepest : nullptr);
            EXPECT_FALSE(scene.IsLockedInHierarchy(deepest));
            EXPECT_NEAR(deepest->GetWorldPosition().X, 0.01f * static_cast<float>(c.Depth), 0.5f);
            TAnimationEvaluation evaluation;
            doc->EvaluateAnimation(0, &evaluation);
            EXPECT_NEAR(doc->GetEvaluatedWorldPosition(deepestId).X,
                        0.01f * static_cast<float>(c.Depth), 0.5f);

            doc->SaveToFile(Path("saved.qstn"), true);
            {
                TProjectDocument reread;
                reread.LoadFromFile(Path("saved.qstn"));
                ASSERT_EQ(reread.GetScene().NodeCount(), c.Depth);
                EXPECT_EQ(DepthOf(reread.GetScene().FindNodeById(deepestId)), c.Depth);
            }

            // A copy, then the commands with their undo and redo.
            EXPECT_EQ(ChainLength(scene.CloneSubtree(top).get()), c.Depth);
            TCommandHistory& history = doc->GetHistory();
            history.Execute(std::make_unique<TDuplicateSubtreeCommand>(scene, top));
            ASSERT_EQ(scene.NodeCount(), 2 * c.Depth);
            EXPECT_EQ(ChainLength(scene.GetRoot()->GetChild(1)), c.Depth);
            history.Undo();
            EXPECT_EQ(scene.NodeCount(), c.Depth);
            history.Redo();
            EXPECT_EQ(scene.NodeCount(), 2 * c.Depth);
            history.Execute(std::make_unique<TDeleteSubtreeCommand>(scene, top));
            EXPECT_EQ(scene.NodeCount(), c.Depth);
            history.Undo();
            ASSERT_EQ(scene.NodeCount(), 2 * c.Depth);
            EXPECT_EQ(DepthOf(scene.FindNodeById(deepestId)), c.Depth);
            EXPECT_TRUE(scene.ValidateHierarchy(messages)) << messages;
            history.Redo();

            // Freed with the document, the kept subtrees of the history included.
            doc.reset();
        });
    }
}
