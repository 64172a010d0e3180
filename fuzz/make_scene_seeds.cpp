// Writes the scene-reader fuzz corpus into <dir>: files the writer makes (every node
// kind, every modifier type, floor plans with builds, animation, a sculpted terrain,
// textures) and small files of every older format version and layout.
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "floorplan/uFloorPlan.h"
#include "floorplan/uFloorPlanBuild.h"
#include "floorplan/uFloorPlanDocument.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uSceneObject.h"
#include "scene_fuzz_common.h"
#include "terrain/uHeightmap.h"

#include <fstream>
#include <iostream>

namespace fs = std::filesystem;

namespace {
fs::path Dir;

void Save(TProjectDocument& Doc, const std::string& Name)
{
    Doc.SaveToFile((Dir / (Name + ".qstn")).string(), true);
}

void WriteText(const std::string& Name, const std::string& Text)
{
    std::ofstream(Dir / (Name + ".qstn"), std::ios::binary) << Text;
}

// Objects keep their primitive's mesh unstored (the reader builds it), so seeds stay small.
void DropMesh(TSceneObject* Object)
{
    Object->SetBaseMesh(std::make_unique<TMeshData>());
}

// A terrain stored with an 8 x 8 grid.
void SmallTerrain(TSceneObject* Object)
{
    auto map = std::make_unique<THeightmap>(8);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            map->Put(x, y, (x * y) / 49.0f);
    Object->SetHeightmap(std::move(map));
    Object->RebuildTerrainMesh();
}

void NodeKinds()
{
    TProjectDocument doc;
    TScene& scene = doc.GetScene();
    TSceneGroup* group = scene.CreateGroup("Group", nullptr, 0);
    TSceneGroup* inner = scene.CreateGroup("Inner", group, 0);
    for (int prim = 0; prim < kPrimitiveTypeCount; ++prim) {
        TSceneObject* o = scene.AddPrimitive(static_cast<TPrimitiveType>(prim));
        o->SetPosition({prim * 1.5f, 0.25f, -prim * 0.5f});
        o->SetRotationY(prim * 10.0f);
        o->SetScaleX(1 + prim * 0.1f);
        o->TexId = prim % 2;
        o->Blend = static_cast<TVertexColorBlend>(prim % 3);
        o->SetVisible(prim != 3);
        if (prim == ptTerrain)
            SmallTerrain(o);  // the default grid is 128 x 128: slow for every mutation
        else if (prim != ptPlane)
            DropMesh(o);
        if (prim % 3 == 1)
            scene.ReparentNode(o, prim % 2 ? inner : group, 0, true);
        o->SetLocked(prim == 4);
    }
    doc.GetEnvironment().SetExposure(1.5f);
    doc.GetEnvironment().FogOn = true;
    scene.CameraPosition = {3, 4, 5};
    scene.CameraYaw = 30;
    scene.CameraPitch = -10;
    scene.PaletteCount = 3;
    scene.Palette[1] = {0.25f, 0.5f, 1};
    Save(doc, "node_kinds");
}

void EveryModifier()
{
    RegisterBuiltInModifiers();
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i) {
        TProjectDocument doc;
        TSceneObject* o = doc.GetScene().AddPrimitive(ptPlane);
        o->AddModifier(CreateModifierByIndex(i));
        if (i % 4 == 0 && ModifierDescriptorCount() > 1)
            o->AddModifier(CreateModifierByIndex((i + 7) % ModifierDescriptorCount()));
        Save(doc, "modifier_" + GetModifierDescriptor(i).TypeId);
    }
}

void FloorPlansWithBuilds()
{
    TProjectDocument doc;
    TFloorPlanDocument& plans = doc.GetFloorPlans();
    TFloorPlan* plan = plans.AddPlan("Room");
    plan->SetPoints({{-2, -1.5f}, {2, -1.5f}, {2, 1.5f}, {-2, 1.5f}, {-2, -1.5f}});
    TFloorPlan* other = plans.AddPlan("Hall");
    other->SetPoints({{0, 0}, {3, 0}, {3, 2}, {1, 3}, {0, 0}});
    TBuildingDefinition* building = plans.AddBuilding("Tower");
    building->AddFloor(plan->Id(), "Ground");
    building->AddFloor(other->Id(), "Upper");
    TSceneGroup* group = nullptr;
    std::string message;
    BuildFloorGroup(doc.FloorPlanTarget(), plan->Id(), nullptr, kNoId, kNoId, group, message);
    BuildBuildingGroup(doc.FloorPlanTarget(), building->Id(), nullptr, group, message);
    Save(doc, "floor_plans");
}

void Animation()
{
    TProjectDocument doc;
    TSceneObject* o = doc.GetScene().AddPrimitive(ptCube);
    DropMesh(o);
    TAnimationDocument& animation = doc.GetAnimation();
    for (int32_t id = 1; id <= 3; ++id)
        for (int32_t frame : {0, 12, 30})
            animation.SetKey(MakeNodePropertyPath(o->GetId(), id), frame,
                             MakeFloatPropertyValue(frame * 0.1f * id), MakeFloatPropertyValue(0),
                             frame % 2);
    animation.SetKey(MakeNodePropertyPath(o->GetId(), 10), 5, MakeBooleanPropertyValue(false),
                     MakeBooleanPropertyValue(true), 0);
    Save(doc, "animation");
}

void SculptedTerrain()
{
    TProjectDocument doc;
    SmallTerrain(doc.GetScene().AddPrimitive(ptTerrain));
    Save(doc, "terrain");
}

void Textures()
{
    SceneFuzz::TNoGpu gpu;
    TTextureManager textures(&gpu);
    TTextureManager* before = CurrentTextureManager;
    CurrentTextureManager = &textures;
    textures.ImportFile((Dir / "textures" / "brick.png").string());
    textures.ImportFile((Dir / "textures" / "stone.bmp").string());
    TProjectDocument doc;
    TSceneObject* o = doc.GetScene().AddPrimitive(ptPlane);
    o->TexId = 2;
    Save(doc, "textures");
    CurrentTextureManager = before;
}

// Older layouts, written by hand: no version line, versions 1 to 7, the layout without a
// hierarchy (both object-count positions and both flag forms).
void OlderVersions()
{
    const std::string env4 =
        "ENV\r\n60\r\n1\r\n0\r\n0.5 0.5 0.5\r\n0\r\n0\r\n0\r\n0.01\r\n1\r\n0.5 0.6 0.7\r\n12\r\n"
        "1\r\n1\r\n0\r\n0\r\n2 0.5 0.2\r\n0\r\n0.3\r\n0\r\n0\r\n1 2 3\r\n45 -20\r\n";
    const std::string env5 =
        "ENV\r\n60\r\n1\r\n0\r\n0.5 0.5 0.5\r\n0\r\n0\r\n0\r\n0.01\r\n1\r\n0.5 0.6 0.7\r\n12\r\n"
        "1\r\n1\r\n0\r\n0\r\n2 0.5 0.2\r\n0\r\n0.3\r\n1\r\n0.5 0.5 1\r\n0.2 0.1 8\r\n1 2 3\r\n"
        "45 -20\r\n";
    const std::string triangle = "3\r\n0 0 0 0 1 0 1 1 1 0 0\r\n1 0 0 0 1 0 1 1 1 1 0\r\n"
                                 "0 0 1 0 1 0 1 1 1 0 1\r\n1\r\n";
    auto node = [&](int version) {
        const std::string face = version >= 3 ? "3 0 1 2 0 0 0 1 0 0 1\r\n" : "3 0 1 2 0\r\n";
        return "BEGINNODE\r\nID 5\r\nTYPE group\r\nPARENT 0\r\nNAME G\r\nPOS 0 1 0\r\nROT 0 0 "
               "0\r\nSCL 1 1 1\r\nVIS 1\r\nLOCK 0\r\nENDNODE\r\nBEGINNODE\r\nID 6\r\nTYPE "
               "object\r\nPARENT 5\r\nNAME T\r\nPOS 1 0 0\r\nROT 0 45 0\r\nSCL 1 1 1\r\nVIS "
               "1\r\nLOCK 0\r\nPRIM 8\r\nCOLOR 1 0.5 0\r\nTEXID 0\r\nBLEND 1\r\nSEL 1\r\n" +
               triangle + face + "ENDNODE\r\n";
    };
    WriteText("v0_no_version", "#Quillstone\r\nNOENV\r\nNOTEX\r\nNODES 2\r\n" + node(1));
    for (int v = 1; v <= 7; ++v)
        WriteText("v" + std::to_string(v),
                  "#Quillstone\r\nVERSION " + std::to_string(v) + "\r\n" + (v < 5 ? env4 : env5) +
                      "NOTEX\r\nPALETTE 2\r\n1 0 0\r\n0 1 0\r\n0 0 1\r\n1 1 1\r\n0 0 0\r\n0.5 "
                      "0.5 0.5\r\n0.1 0.2 0.3\r\n0.9 0.8 0.7\r\nNODES 2\r\n" +
                      node(v));
    const std::string legacyObject =
        "Old cube\r\n0\r\n0 0.5 0\r\n0 0 0\r\n1 1 1\r\n0.8 0.2 0.2\r\n";
    WriteText("legacy_count_first", "#Quillstone\r\nVERSION 2\r\n2\r\n" + legacyObject +
                                        "1\r\n0\r\n0\r\n0\r\n" +
                                        "Tri\r\n8\r\n0 0 0\r\n0 0 0\r\n1 1 1\r\n1 1 1\r\nTRUE\r\n" +
                                        triangle + "3 0 1 2 0\r\n");
    WriteText("legacy_after_palette", "#Quillstone\r\nVERSION 3\r\nNOENV\r\nNOTEX\r\nPALETTE "
                                      "8\r\n1\r\n" +
                                          legacyObject + "-1\r\n0\r\nMODS 0\r\n");
}
}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_scene_seeds <dir>\n";
        return 2;
    }
    Dir = argv[1];
    fs::create_directories(Dir);
    SceneFuzz::MakeTextureFolder(Dir);
    try {
        NodeKinds();
        EveryModifier();
        FloorPlansWithBuilds();
        Animation();
        SculptedTerrain();
        Textures();
        OlderVersions();
    } catch (const std::exception& e) {
        std::cerr << "cannot write the scene seeds: " << e.what() << "\n";
        return 1;
    }
    // The images are the fuzz target's, not inputs.
    fs::remove_all(Dir / "textures");
    return 0;
}
