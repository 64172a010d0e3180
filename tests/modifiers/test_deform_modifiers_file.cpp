// The modifiers' parameter lines travel through a saved and reloaded project.
#include "document/uProjectDocument.h"
#include "modifiers/uModifierAnimatedUV.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierBend.h"
#include "modifiers/uModifierInflate.h"
#include "modifiers/uModifierNoise.h"
#include "modifiers/uModifierPush.h"
#include "modifiers/uModifierReverseNormals.h"
#include "modifiers/uModifierRipple.h"
#include "modifiers/uModifierSkew.h"
#include "modifiers/uModifierSqueeze.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifierStretch.h"
#include "modifiers/uModifierTaper.h"
#include "modifiers/uModifierTwist.h"
#include "modifiers/uModifierUpdateUVs.h"
#include "modifiers/uModifierWave.h"
#include "scene/uSceneObject.h"
#include "tests/modifiers/uModifierTestKit.h"

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace modtest;
namespace fs = std::filesystem;

namespace {

// One of each, none with its defaults.
std::vector<std::unique_ptr<TModifier>> EveryModifier()
{
    std::vector<std::unique_ptr<TModifier>> list;
    auto twist = std::make_unique<TTwistModifier>();
    twist->SetAngle(-75.25f);
    list.push_back(std::move(twist));
    auto noise = std::make_unique<TNoiseModifier>();
    noise->SetStrength(0.3f);
    noise->SetScale(2);
    list.push_back(std::move(noise));
    auto taper = std::make_unique<TTaperModifier>();
    taper->SetAmount(-0.6f);
    list.push_back(std::move(taper));
    auto inflate = std::make_unique<TInflateModifier>();
    inflate->SetWidth(0.2f);
    list.push_back(std::move(inflate));
    auto bend = std::make_unique<TBendModifier>();
    bend->SetAngleDeg(120);
    bend->SetAxis(2);
    bend->SetDirectionDeg(-30);
    bend->SetPivot(kPivotMaximum);
    bend->SetLimitsEnabled(true);
    bend->SetLowerLimit(0.1f);
    bend->SetUpperLimit(0.7f);
    list.push_back(std::move(bend));
    auto skew = std::make_unique<TSkewModifier>();
    skew->SetAmount(-3);
    skew->SetAxis(0);
    list.push_back(std::move(skew));
    auto stretch = std::make_unique<TStretchModifier>();
    stretch->SetAmplify(1.5f);
    list.push_back(std::move(stretch));
    auto squeeze = std::make_unique<TSqueezeModifier>();
    squeeze->SetRadialAmount(0.4f);
    list.push_back(std::move(squeeze));
    auto wave = std::make_unique<TWaveModifier>();
    wave->SetWavelength(3);
    wave->SetDirectionDeg(45);
    list.push_back(std::move(wave));
    auto ripple = std::make_unique<TRippleModifier>();
    ripple->SetCenterU(1.5f);
    ripple->SetAxis(0);
    list.push_back(std::move(ripple));
    auto push = std::make_unique<TPushModifier>();
    push->SetAmount(-0.05f);
    list.push_back(std::move(push));
    auto reverse = std::make_unique<TReverseNormalsModifier>();
    reverse->SetReverseWinding(false);
    list.push_back(std::move(reverse));
    list.push_back(std::make_unique<TUnscaleUVsModifier>());
    auto uv = std::make_unique<TAnimatedUVModifier>();
    uv->SetAxis(1);
    uv->SetOffset(0.125f);
    list.push_back(std::move(uv));
    auto grid = std::make_unique<TArray2DModifier>();
    grid->SetCountX(3);
    grid->SetPlane(kArrayPlaneXY);
    list.push_back(std::move(grid));
    auto ring = std::make_unique<TArrayCircularModifier>();
    ring->SetCount(5);
    ring->SetTotalAngle(-180);
    ring->SetOrientation(kArrayOrientInward);
    list.push_back(std::move(ring));
    return list;
}

}  // namespace

TEST(DeformModifiersFile, EveryModifierKeepsItsParametersThroughAProjectFile)
{
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    const fs::path dir = fs::temp_directory_path() / "quill_deform_modifiers_file";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const std::string path = (dir / "mods.qstn").string();

    struct TSaved {
        uint32_t Id;
        std::string TypeId;
        bool Enabled;
        std::vector<std::string> Lines;
    };
    std::vector<TSaved> saved;
    uint32_t objectId = 0;
    {
        TProjectDocument doc;
        TSceneObject* cube = doc.GetScene().AddPrimitive(ptCube);
        objectId = cube->GetId();
        bool enabled = true;
        for (auto& m : EveryModifier()) {
            m->SetEnabled(enabled);
            saved.push_back({m->GetId(), m->GetTypeId(), enabled, Saved(*m)});
            enabled = !enabled;
            cube->AddModifier(std::move(m));
        }
        doc.SaveToFile(path, true);
    }

    // A block without parameter lines closes right after its ENABLED line.
    std::ifstream in(path, std::ios::binary);
    std::vector<std::string> lines;
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        lines.push_back(line);
    }
    const auto begin = std::find(lines.begin(), lines.end(), "BEGINMOD unscale_uvs 1");
    ASSERT_NE(begin, lines.end());
    ASSERT_LT(begin + 3, lines.end());
    EXPECT_EQ(begin[2].substr(0, 7), "ENABLED");
    EXPECT_EQ(begin[3], "ENDMOD");

    TProjectDocument loaded;
    loaded.LoadFromFile(path);
    auto* cube = dynamic_cast<TSceneObject*>(loaded.GetScene().FindNodeById(objectId));
    ASSERT_NE(cube, nullptr);
    const TModifierStack& stack = cube->GetModifiers();
    ASSERT_EQ(stack.Count(), static_cast<int32_t>(saved.size()));
    for (int32_t i = 0; i < stack.Count(); ++i) {
        const TModifier& m = *stack.GetItem(i);
        EXPECT_EQ(m.GetTypeId(), saved[i].TypeId);
        EXPECT_EQ(m.GetId(), saved[i].Id) << saved[i].TypeId;
        EXPECT_EQ(m.GetEnabled(), saved[i].Enabled) << saved[i].TypeId;
        EXPECT_EQ(Saved(m), saved[i].Lines) << saved[i].TypeId;
    }
    fs::remove_all(dir);
}
