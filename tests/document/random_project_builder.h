#pragma once
// Builds a random project through the commands and setters a user's actions run: the
// Create menu's primitives, the hierarchy commands, typed transforms, the modifier page,
// vertex paint, animation keys and clip settings, the floor-plan window's plans, floors
// and builds, the terrain window's tools, the textures window and the environment. The
// same seed always gives the same project. Values stay inside what a user can type; the
// extremes that must be refused where they are typed are not produced here.
#include "base/uCommandHistory.h"
#include "base/uMath.h"
#include "base/uMesh.h"
#include "document/uProjectDocument.h"
#include "floorplan/uFloorPlan.h"
#include "floorplan/uFloorPlanCommands.h"
#include "floorplan/uFloorPlanDocument.h"
#include "image/uImageCodecs.h"
#include "image/uTextureRipperImage.h"
#include "modifiers/uModifierArray2D.h"
#include "modifiers/uModifierArrayCircular.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierParams.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationClip.h"
#include "scene/uAnimationCommands.h"
#include "scene/uAnimationDocument.h"
#include "scene/uAnimationRecorder.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uElementEdits.h"
#include "scene/uHierarchyCommands.h"
#include "scene/uProjectTime.h"
#include "scene/uPropertyTypes.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "scene/uVertexPaint.h"
#include "scene/uVertexPaintCommands.h"
#include "terrain/uHeightmap.h"
#include "terrain/uNoise.h"
#include "terrain/uTerrainOps.h"
#include "tests/document/random_modifier_settings.h"
#include "tests/document/random_values.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Gives every object the evaluation context the viewport's drawing gives it for the
// project's current frame, so that what is evaluated next is what the user sees.
inline void ShowCurrentFrame(TProjectDocument& Doc)
{
    const TPropertyEvaluationContext frame = Doc.CurrentContext(nullptr);
    for (TSceneNode* node : Doc.GetScene().GetNodes())
        if (auto* object = dynamic_cast<TSceneObject*>(node)) {
            TModifierEvalContext c;
            c.Frame = frame.Frame;
            c.FPS = frame.FPS;
            c.Time = frame.Time;
            c.MaxVertices = kDefaultEvalLimit;
            c.MaxFaces = kDefaultEvalLimit;
            c.Weight = 1.0f;
            c.Owner = object;
            object->SetEvaluationContext(c);
        }
}

// What the viewport shows of the scene at the current frame: every object evaluated by
// the editor, and whether each one succeeded.
struct TSceneLook {
    int64_t Vertices = 0;  // all objects' evaluated meshes together
    int64_t Faces = 0;
    int64_t LargestObject = 0;  // the most vertices or faces of one object
    std::string Failed;         // the first object that did not evaluate, with its message
};

inline TSceneLook LookAtScene(TProjectDocument& Doc)
{
    ShowCurrentFrame(Doc);
    TSceneLook look;
    for (TSceneNode* node : Doc.GetScene().GetNodes()) {
        auto* object = dynamic_cast<TSceneObject*>(node);
        if (!object)
            continue;
        const TMeshData* mesh = object->GetEvaluatedMesh();
        if ((object->IsMeshDirty() || !object->GetEvaluationMessage().empty()) &&
            look.Failed.empty())
            look.Failed = "\"" + object->Name + "\": " + object->GetEvaluationMessage();
        if (!mesh)
            continue;
        const auto v = static_cast<int64_t>(mesh->Vertices.size());
        const auto f = static_cast<int64_t>(mesh->Faces.size());
        look.Vertices += v;
        look.Faces += f;
        look.LargestObject = std::max({look.LargestObject, v, f});
    }
    return look;
}

// A terrain as the terrain window makes one: earth coloured, a Grid x Grid map of noise.
inline void MakeNoiseTerrain(TSceneObject& Object, int Grid, const TNoiseParams& Params)
{
    Object.Color = Vec3(0.45f, 0.4f, 0.32f);
    Object.ApplyColorToVertices(Object.Color);
    THeightmap* map = Object.GetHeightmap();
    map->Resample(Grid);
    GenerateNoiseTerrain(map, Params);
    Object.RebuildTerrainMesh();
}

class TRandomProjectBuilder : private TRandomValues {
public:
    // Textures are written into TextureFolder and imported into Textures (the current
    // registry). Every modifier type seen gets its parameters set; ModifierTypesUsed
    // collects the type ids, so a test can check that each type was reached.
    TRandomProjectBuilder(TProjectDocument& Document, TTextureManager& Textures,
                          std::filesystem::path TextureFolder, uint32_t Seed)
        : TRandomValues(Seed), Doc(Document), Textures(Textures), Folder(std::move(TextureFolder)),
          Seed(Seed)
    {
    }

    void Build(int Actions)
    {
        for (int i = 0; i < Actions; ++i) {
            try {
                RandomAction();
            } catch (const std::exception&) {
                // A refused edit changes nothing, as for the user who made it.
            }
        }
    }

    // A project of big stacks: Build(LightActions), then HeavyActions steps that subdivide,
    // shell, slice and cap, array and weld, smooth, and make objects whose stack takes
    // their descendants' composite. The user looks at the scene after each step (the
    // editor evaluates it at the current frame) and takes the step back when an object
    // no longer evaluates or the scene shows more than RoomVertices or RoomFaces.
    void BuildHeavy(int LightActions, int HeavyActions, int64_t RoomVertices, int64_t RoomFaces)
    {
        Build(LightActions);
        Room = {RoomVertices, RoomFaces};
        MendFailures();
        for (int i = 0; i < HeavyActions; ++i) {
            THeavyStep step;
            try {
                RandomHeavyAction(step);
            } catch (const std::exception&) {
            }
            const TSceneLook look = LookAtScene(Doc);
            if (!look.Failed.empty() || look.Vertices > Room.Vertices || look.Faces > Room.Faces) {
                TakeBack(step);
                ++StepsTakenBack;
            }
        }
    }

    int StepsTakenBack = 0;

    std::vector<std::string> ModifierTypesUsed;
    // Types met that have neither a parameter table nor setters the builder knows.
    std::vector<std::string> UnknownTypes;

private:
    using TAction = void (TRandomProjectBuilder::*)();

    void RandomAction()
    {
        static const TAction actions[] = {
            &TRandomProjectBuilder::AddPrimitive,  &TRandomProjectBuilder::AddPrimitive,
            &TRandomProjectBuilder::AddPrimitive,  &TRandomProjectBuilder::CreateGroup,
            &TRandomProjectBuilder::Reparent,      &TRandomProjectBuilder::Duplicate,
            &TRandomProjectBuilder::Delete,        &TRandomProjectBuilder::Rename,
            &TRandomProjectBuilder::TypeTransform, &TRandomProjectBuilder::TypeTransform,
            &TRandomProjectBuilder::ToggleFlags,   &TRandomProjectBuilder::ObjectLook,
            &TRandomProjectBuilder::AddModifier,   &TRandomProjectBuilder::AddModifier,
            &TRandomProjectBuilder::EditModifiers, &TRandomProjectBuilder::Paint,
            &TRandomProjectBuilder::FaceTexture,   &TRandomProjectBuilder::KeyAnimation,
            &TRandomProjectBuilder::KeyAnimation,  &TRandomProjectBuilder::ClipSettings,
            &TRandomProjectBuilder::FloorPlans,    &TRandomProjectBuilder::FloorPlans,
            &TRandomProjectBuilder::FloorPlans,    &TRandomProjectBuilder::FloorPlans,
            &TRandomProjectBuilder::BuildFloors,   &TRandomProjectBuilder::BuildFloors,
            &TRandomProjectBuilder::Terrain,       &TRandomProjectBuilder::ImportTexture,
            &TRandomProjectBuilder::Environment,   &TRandomProjectBuilder::UndoRedo,
        };
        (this->*actions[Pick(std::size(actions))])();
    }

    // ---- the scene ----
    std::vector<TSceneNode*> Nodes() const
    {
        const auto& all = Doc.GetScene().GetNodes();
        return std::vector<TSceneNode*>(all.begin() + 1, all.end());
    }
    TSceneNode* AnyNode()
    {
        const std::vector<TSceneNode*> nodes = Nodes();
        return nodes.empty() ? nullptr : nodes[Pick(nodes.size())];
    }
    TSceneObject* AnyObject()
    {
        std::vector<TSceneObject*> objects;
        for (TSceneNode* n : Nodes())
            if (auto* o = dynamic_cast<TSceneObject*>(n))
                objects.push_back(o);
        return objects.empty() ? nullptr : objects[Pick(objects.size())];
    }
    void Run(std::unique_ptr<TEditorCommand> Command)
    {
        Doc.GetHistory().Execute(std::move(Command));
    }

    // Small projects keep the test quick: new geometry stops past a few thousand vertices.
    bool Crowded() const
    {
        size_t vertices = 0;
        for (TSceneNode* n : Nodes())
            if (auto* o = dynamic_cast<TSceneObject*>(n); o && o->GetBaseMesh())
                vertices += o->GetBaseMesh()->Vertices.size();
        return vertices > 800;
    }

    // The Create menu.
    void AddPrimitive()
    {
        if (Crowded())
            return;
        static const TPrimitiveType kinds[] = {ptCube, ptSphere, ptCylinder, ptCone,    ptTorus,
                                               ptCube, ptPlane,  ptSkybox,   ptTerrain, ptCube};
        const TPrimitiveType type = kinds[Pick(std::size(kinds))];
        TScene& scene = Doc.GetScene();
        TSceneObject* object = scene.AddPrimitive(type);
        object->Selected = Chance(0.3);
        if (type == ptSkybox) {
            object->Color = Vec3(1, 1, 1);
            object->ApplyColorToVertices(object->Color);
            int32_t index = Textures.IndexOfName("skybox.bmp");
            if (index < 0) {
                std::string message;
                WriteBmpFile(TRgbaImage(4, 2), (Folder / "skybox.bmp").string(), message);
                index = Textures.ImportFile((Folder / "skybox.bmp").string());
            }
            object->TexId = index + 1;
        } else if (type == ptTerrain) {
            // The window's grid choice: small grids keep the test quick.
            const int grid = Chance(0.8) ? 16 : 32;
            TNoiseParams params;
            InitDefaultNoiseParams(params);
            params.Seed = Int(0, 2147483646);
            MakeNoiseTerrain(*object, grid, params);
        } else {
            object->SetPosition(Vec3(0, 0.5f, 0));
            object->Color = Vec3(0.55f + 0.35f * Real(0, 1), 0.55f + 0.35f * Real(0, 1),
                                 0.6f + 0.35f * Real(0, 1));
            object->ApplyColorToVertices(object->Color);
        }
        Doc.MarkChanged();
    }

    void CreateGroup()
    {
        TSceneNode* parent = Chance(0.5) ? AnyNode() : nullptr;
        Run(std::make_unique<TCreateGroupCommand>(Doc.GetScene(), Name(), parent, Int(0, 3)));
    }

    void Reparent()
    {
        TSceneNode* node = AnyNode();
        if (!node)
            return;
        TSceneNode* target = Chance(0.3) ? nullptr : AnyNode();
        Run(std::make_unique<TReparentNodesCommand>(Doc.GetScene(), Chance(0.5), Int(0, 4),
                                                    target ? target->GetId() : 0,
                                                    TSceneNodeIdArray{node->GetId()}));
    }

    void Duplicate()
    {
        if (Crowded())
            return;
        if (TSceneNode* node = AnyNode())
            Run(std::make_unique<TDuplicateSubtreeCommand>(Doc.GetScene(), node));
    }

    void Delete()
    {
        if (TSceneNode* node = AnyNode(); node && Chance(0.5))
            Run(std::make_unique<TDeleteSubtreeCommand>(Doc.GetScene(), node));
    }

    void Rename()
    {
        if (TSceneNode* node = AnyNode())
            Run(std::make_unique<TRenameNodeCommand>(Doc.GetScene(), Name(), node,
                                                     [this] { Doc.MarkChanged(); }));
    }

    // The properties page: typed position, rotation and scale.
    void TypeTransform()
    {
        TSceneNode* node = AnyNode();
        if (!node)
            return;
        const int32_t property = Int(kNodePropertyPositionX, kNodePropertyScaleZ);
        float value = 0;
        if (property <= kNodePropertyPositionZ)
            value = Typed(-50, 50);
        else if (property <= kNodePropertyRotationZ)
            value = Typed(-360, 360);
        else
            value = (Chance(0.2) ? -1.0f : 1.0f) * Real(0.25f, 4.0f);
        Doc.SetPropertyValue(MakeNodePropertyPath(node->GetId(), property),
                             MakeFloatPropertyValue(value), pwmUserEdit);
    }

    // The hierarchy's eye and lock.
    void ToggleFlags()
    {
        TSceneNode* node = AnyNode();
        if (!node)
            return;
        if (Chance(0.5))
            Doc.SetPropertyValue(MakeNodePropertyPath(node->GetId(), kNodePropertyVisible),
                                 MakeBooleanPropertyValue(!node->GetVisible()), pwmUserEdit);
        else
            node->SetLocked(!node->GetLocked());
    }

    // Colour, blend mode and texture of an object.
    void ObjectLook()
    {
        TSceneObject* object = AnyObject();
        if (!object)
            return;
        object->Blend = static_cast<TVertexColorBlend>(Int(0, 2));
        if (Chance(0.5)) {
            object->Color = Colour();
            object->ApplyColorToVertices(object->Color);
        }
        if (Textures.Count() > 0 && Chance(0.5))
            object->TexId = Int(0, Textures.Count());
        object->Selected = Chance(0.5);
    }

    // The modifier page: add a type from the menu, then set every parameter.
    void AddModifier()
    {
        TSceneObject* object = AnyObject();
        if (!object || object->GetModifiers().Count() >= 3)
            return;
        // The menu's types in turn from a place the seed gives, so a few hundred projects
        // reach every type.
        std::unique_ptr<TModifier> modifier = CreateModifierByIndex(
            static_cast<int32_t>((Seed + ModifiersAdded++) % uint32_t(ModifierDescriptorCount())));
        if (!modifier)
            return;
        ModifierTypesUsed.push_back(modifier->GetTypeId());
        SetParameters(*modifier);
        object->AddModifier(std::move(modifier));
    }

    void SetParameters(TModifier& Modifier)
    {
        if (!TRandomModifierSettings(*this).SetParameters(Modifier))
            UnknownTypes.push_back(Modifier.GetTypeId());
    }

    void EditModifiers()
    {
        TSceneObject* object = AnyObject();
        if (!object || object->GetModifiers().Count() == 0)
            return;
        TModifierStack& stack = object->GetModifiers();
        TModifier* modifier = stack.GetItem(static_cast<int32_t>(Pick(stack.Count())));
        switch (Int(0, 4)) {
        case 0:
            modifier->SetEnabled(!modifier->GetEnabled());
            break;
        case 1:
            SetParameters(*modifier);
            break;
        case 2:
            object->MoveModifier(0, stack.Count() - 1);
            break;
        case 3:
            if (stack.Count() < 4)
                object->DuplicateModifier(modifier->GetId());
            break;
        default:
            object->RemoveModifier(modifier);
            break;
        }
    }

private:
    // Vertex paint in the three ways the paint page offers.
    void Paint()
    {
        TSceneObject* object = AnyObject();
        if (!object || !object->GetBaseMesh())
            return;
        const TMeshData& mesh = *object->GetBaseMesh();
        const int32_t kind = Int(MeshElementVertices, MeshElementFaces);
        const int32_t count = kind == MeshElementVertices ? int32_t(mesh.Vertices.size())
                              : kind == MeshElementFaces  ? int32_t(mesh.Faces.size())
                                                          : int32_t(mesh.Edges.size());
        if (count == 0)
            return;
        std::vector<int32_t> indices;
        std::vector<TVec3> before, after;
        for (int n = Int(1, 6); n > 0; --n) {
            const int32_t index = Int(0, count - 1);
            const std::vector<int32_t> vertices = ElementVertices(mesh, kind, index);
            indices.push_back(index);
            before.push_back(vertices.empty() ? Vec3(0, 0, 0)
                                              : mesh.Vertices[size_t(vertices[0])].Color);
            after.push_back(Colour());
        }
        const uint32_t id = object->GetId();
        switch (Int(0, 2)) {
        case 0:
            Run(std::make_unique<TVertexPaintCommand>(Doc.GetScene(), id, kind, indices, before,
                                                      after, "Paint"));
            break;
        case 1:
            Run(std::make_unique<TVertexPaintFillCommand>(Doc.GetScene(), id, kind, indices, before,
                                                          Colour()));
            break;
        default: {
            if (mesh.Faces.empty())
                return;
            std::vector<int32_t> faces{Int(0, int32_t(mesh.Faces.size()) - 1)};
            std::vector<int32_t> vertices = ElementVertices(mesh, MeshElementFaces, faces[0]);
            std::vector<TVec3> old, fresh;
            for (int32_t v : vertices) {
                old.push_back(mesh.Vertices[size_t(v)].Color);
                fresh.push_back(Colour());
            }
            Run(std::make_unique<TVertexPaintGradientCommand>(Doc.GetScene(), id, faces, old, fresh,
                                                              vertices));
            break;
        }
        }
        Doc.MarkChanged();
    }

    // The properties page in face mode: a texture id into some faces.
    void FaceTexture()
    {
        TSceneObject* object = AnyObject();
        if (!object || !object->GetBaseMesh() || object->GetBaseMesh()->Faces.empty())
            return;
        TMeshData& mesh = *object->GetBaseMesh();
        std::vector<int32_t> faces;
        for (int n = Int(1, 4); n > 0; --n)
            faces.push_back(Int(0, int32_t(mesh.Faces.size()) - 1));
        SetFacesTexId(mesh, faces, Int(0, Textures.Count()));
        object->MarkMeshDirty();
        Doc.MarkChanged();
    }

    // The timeline: move to a frame, change properties, press Key.
    void KeyAnimation()
    {
        TSceneNode* node = AnyNode();
        if (!node)
            return;
        TProjectTime& time = Doc.GetAnimation().ProjectTime;
        time.SetCurrentFrame(Int(time.GetStartFrame(), time.GetEndFrame()));
        for (int n = Int(1, 3); n > 0; --n) {
            const int32_t property = Int(kNodePropertyPositionX, kNodePropertyVisible);
            const TPropertyPath path = MakeNodePropertyPath(node->GetId(), property);
            const TPropertyValue value = property == kNodePropertyVisible
                                             ? MakeBooleanPropertyValue(Chance(0.5))
                                             : MakeFloatPropertyValue(Typed(-10, 10));
            Doc.SetPropertyValue(path, value, pwmUserEdit);
        }
        struct TClear {
            TAnimationRecorder& Recorder;
            ~TClear() { Recorder.Clear(); }
        } clear{Doc.GetRecorder()};
        Run(std::make_unique<TInsertOrUpdateTouchedKeysCommand>(
            Doc.AnimationCommandTarget(), time.GetCurrentFrame(), &Doc.GetRecorder()));
    }

    void ClipSettings()
    {
        TSceneNode* node = AnyNode();
        if (!node)
            return;
        TProjectTime& time = Doc.GetAnimation().ProjectTime;
        switch (Int(0, 3)) {
        case 0:
            Run(std::make_unique<TChangeClipRangeCommand>(Doc.AnimationCommandTarget(),
                                                          node->GetId(), Int(-20, 60), Int(1, 90)));
            break;
        case 1:
            Run(std::make_unique<TChangeClipPlaybackModeCommand>(
                Doc.AnimationCommandTarget(), node->GetId(),
                static_cast<TClipPlaybackMode>(Int(0, 1))));
            break;
        case 2: {
            const int32_t start = Int(-10, 20);
            time.SetRange(start, start + Int(1, 200));
            break;
        }
        default:
            time.SetFPS(Chance(0.5) ? static_cast<float>(Int(1, 60)) : Real(1, 120));
            time.SetLoop(Chance(0.5));
            break;
        }
        Doc.MarkChanged();
    }

    // ---- the floor-plan window ----
    // A convex outline, closed: a regular polygon with its corners moved a little.
    TFloorPlanPointArray Outline()
    {
        const int n = Int(3, 7);
        const float cx = Typed(-20, 20), cz = Typed(-20, 20), r = Real(2, 8);
        TFloorPlanPointArray points;
        for (int i = 0; i < n; ++i) {
            const float a = 6.2831853f * (static_cast<float>(i) + Real(-0.2f, 0.2f)) / n;
            points.push_back(MakeFloorPlanPoint(cx + r * std::cos(a), cz + r * std::sin(a)));
        }
        points.push_back(points.front());
        return points;
    }
    TFloorSettings Settings()
    {
        TFloorSettings s = DefaultFloorSettings();
        s.Height = Real(2.5f, 4);
        s.WallThickness = Real(0.1f, 0.4f);
        s.SlabThickness = Real(0.1f, 0.3f);
        s.RoofType = static_cast<TRoofType>(Int(0, 2));
        // The plan window keeps the sign of a typed "-0".
        const bool pyramid = s.RoofType == rtTruncatedPyramid;
        s.RoofRise = pyramid ? Real(0.5f, 2) : Chance(0.5) ? -0.0f : Typed(0, 2);
        s.RoofInset = pyramid ? Real(0.1f, 0.5f) : Chance(0.5) ? -0.0f : Typed(0, 0.5f);
        return s;
    }
    TFloorPlan* AnyPlan()
    {
        TFloorPlanDocument& plans = Doc.GetFloorPlans();
        return plans.PlanCount() == 0 ? nullptr
                                      : plans.GetPlan(static_cast<int>(Pick(plans.PlanCount())));
    }

    void FloorPlans()
    {
        TFloorPlanDocument& plans = Doc.GetFloorPlans();
        TFloorPlanTarget* target = Doc.FloorPlanTarget();
        // Floors come up twice as often as plans: builds need them.
        static const int cases[] = {0, 1, 2, 2, 3, 3, 4};
        switch (cases[Pick(std::size(cases))]) {
        case 0: {
            TFloorPlan* plan = plans.AddPlan(Chance(0.5) ? "" : Name());
            plan->SetPoints(Outline());
            break;
        }
        case 1: {
            // Points or settings edited in the window, committed as one command.
            TFloorPlan* plan = AnyPlan();
            if (!plan)
                return;
            const std::unique_ptr<TFloorPlan> before = plan->Clone();
            if (Chance(0.5))
                plan->SetPoints(Outline());
            else
                plan->SetSettings(Settings());
            const std::unique_ptr<TFloorPlan> after = plan->Clone();
            if (after->Revision() == before->Revision())
                return;
            plan->Assign(before.get());
            Run(std::make_unique<TEditFloorPlanCommand>(target, plan->Id(), before.get(),
                                                        after.get()));
            break;
        }
        case 2:
            AddFloor();
            break;
        case 3: {
            if (plans.BuildingCount() == 0 || plans.GetBuilding(0)->FloorCount() == 0)
                return;
            TBuildingDefinition* building = plans.GetBuilding(0);
            EditFloorSettings(*building->GetFloor(Int(0, building->FloorCount() - 1)));
            break;
        }
        default:
            if (plans.BuildingCount() > 0 && plans.GetBuilding(0)->FloorCount() > 1)
                plans.GetBuilding(0)->MoveFloor(0, 1);
            break;
        }
        target->MarkChanged();
    }

    // Add floor: a copy of the plan (a new default one when there is none) with the floor's
    // own settings, which the user often types at once.
    void AddFloor()
    {
        TFloorPlanDocument& plans = Doc.GetFloorPlans();
        const TFloorPlan* source = AnyPlan();
        TFloorDefinition* floor = plans.AddFloorCopyOf(source, Outline());
        if (Chance(0.6))
            EditFloorSettings(*floor);
    }

    // Settings typed for a floor, committed as one command.
    void EditFloorSettings(TFloorDefinition& Floor)
    {
        const std::unique_ptr<TFloorDefinition> before = Floor.Clone();
        Floor.SetSettings(Settings());
        Floor.SetOverrideSettings(true);
        const std::unique_ptr<TFloorDefinition> after = Floor.Clone();
        Floor.Assign(before.get());
        Run(std::make_unique<TEditFloorSettingsCommand>(Doc.FloorPlanTarget(), Floor.Id(),
                                                        before.get(), after.get()));
    }

    void BuildFloors()
    {
        TFloorPlanDocument& plans = Doc.GetFloorPlans();
        TFloorPlanTarget* target = Doc.FloorPlanTarget();
        if (Chance(0.3)) {
            const TFloorPlan* plan = AnyPlan();
            if (plan && !plans.FindBindingForPlan(plan->Id()))
                Run(TBuildFloorPlanCommand::CreateForPlan(target, plan->Id(), 0));
        } else if (plans.BuildingCount() > 0 && !Crowded()) {
            Run(std::make_unique<TBuildBuildingCommand>(target, plans.GetBuilding(0)->Id(), 0));
        }
    }

    // ---- the terrain window ----
    void Terrain()
    {
        std::vector<TSceneObject*> terrains;
        for (TSceneNode* n : Nodes())
            if (auto* o = dynamic_cast<TSceneObject*>(n); o && o->PrimType == ptTerrain)
                terrains.push_back(o);
        if (terrains.empty())
            return;
        TSceneObject* object = terrains[Pick(terrains.size())];
        THeightmap* map = object->GetHeightmap();
        if (!map)
            return;
        map->BeginEdit();
        switch (Int(0, 4)) {
        case 0:
        case 1: {
            const TBrushKernel kernel(Int(3, 9), Real(0, 1));
            const int n = map->GetResolution();
            const int mode = Int(bmRaise, bmErode);
            const bool invert = Chance(0.3);
            const float strength = Real(0.05f, 1);
            for (int dab = Int(1, 5); dab > 0; --dab)
                ApplyBrush(map, Int(0, n - 1), Int(0, n - 1), invert, strength, mode, &kernel);
            break;
        }
        case 2:
            // Raise All, Lower All, Smooth All, Round Edges.
            ApplyWholeMapEdit(map, static_cast<TWholeMapEdit>(Int(0, 3)));
            break;
        case 3:
            map->Flatten();
            break;
        default: {
            TNoiseParams params;
            InitDefaultNoiseParams(params);
            params.Algorithm = Int(0, 2);
            params.Shape = Int(0, 2);
            params.Seed = Int(0, 100000);
            GenerateNoiseTerrain(map, params);
            break;
        }
        }
        object->RebuildTerrainMesh();
        Doc.MarkChanged();
    }

    // ---- the textures window ----
    void ImportTexture()
    {
        if (Textures.Count() > 0 && Chance(0.15)) {
            Textures.Delete(Int(0, Textures.Count() - 1));
            return;
        }
        static const char* const names[] = {
            "brick.png",     " lead.png", "trail .png",    "trail.png ", "sp ace.png",
            "sub/stone.png", "t\tab.png", "\xc3\x84x.png", "#h.png",     "q\"uote.png",
            "pc%d.png",      "  two.png", " sp/ in.png",   "x.PNG"};
        const std::filesystem::path path = Folder / names[Pick(std::size(names))];
        std::filesystem::create_directories(path.parent_path());
        std::string message;
        if (!std::filesystem::exists(path))
            WritePngFile(TRgbaImage(Int(1, 4), Int(1, 4)), path.string(), message);
        Textures.ImportFile(path.string());
        Doc.MarkChanged();
    }

    // ---- the environment and camera windows ----
    void Environment()
    {
        TCinematicEnvironment& env = Doc.GetEnvironment();
        TScene& scene = Doc.GetScene();
        switch (Int(0, 5)) {
        case 0:
            env.SetFieldOfView(Typed(10, 120));
            env.SetExposure(Typed(0, 4));
            env.VignetteOn = Chance(0.5);
            env.SetVignetteStrength(Real(0, 1));
            env.VignetteRadius = Real(0, 1);
            env.VignetteSoftness = Real(0, 1);
            break;
        case 1:
            env.AberrationOn = Chance(0.5);
            env.SetAberrationStrength(Real(0, 1));
            env.FogOn = Chance(0.5);
            env.SetFogDensity(Real(0, 1));
            env.UseAtmosphericFogColor = Chance(0.5);
            env.FogColor = Colour();
            break;
        case 2:
            env.SetTimeOfDay(Typed(0, 24));
            env.SkyOn = Chance(0.5);
            env.SunOn = Chance(0.5);
            env.MoonOn = Chance(0.5);
            env.RimLightOn = Chance(0.5);
            env.SetRimPower(Real(0.5f, 8));
            env.SetRimStrength(Real(0, 2));
            env.SetRimLightWrap(Real(0, 1));
            env.CelestialTintOn = Chance(0.5);
            env.SetTintStrength(Real(0, 1));
            break;
        case 3:
            env.ContactLightingOn = Chance(0.5);
            env.SetContactRadius(Real(0.1f, 4));
            env.SetContactStrength(Real(0, 2));
            env.SetSunShadow(Real(0, 1));
            env.SetColorBleed(Real(0, 1));
            env.SetMinimumShade(Real(0, 1));
            env.SetContactRayCount(Int(1, 64));
            break;
        case 4:
            scene.CameraPosition = Vec3(Typed(-30, 30), Typed(-30, 30), Typed(-30, 30));
            scene.CameraYaw = Typed(-180, 180);
            scene.CameraPitch = Typed(-89, 89);
            break;
        default:
            scene.PaletteCount = Int(0, 8);
            scene.Palette[Pick(scene.Palette.size())] = Vec3(
                static_cast<float>(Int(0, 255)) / 255.0f, static_cast<float>(Int(0, 255)) / 255.0f,
                static_cast<float>(Int(0, 255)) / 255.0f);
            break;
        }
        Doc.MarkChanged();
    }

    void UndoRedo()
    {
        TCommandHistory& history = Doc.GetHistory();
        if (Chance(0.6))
            history.Undo();
        else
            history.Redo();
    }

    // ---- big stacks ----
    // What one heavy step changed, so that the user can take it back.
    struct THeavyStep {
        std::vector<std::pair<uint32_t, uint32_t>> Modifiers;  // (object id, modifier id) added
        size_t Commands = 0;                                   // commands run, undone last first
        std::vector<uint32_t> NewObjects;                      // made by the step, deleted last
        std::function<void()> Restore;                         // parameters typed back
    };
    struct TRoom {
        int64_t Vertices = 0;
        int64_t Faces = 0;
    };

    void RandomHeavyAction(THeavyStep& Step)
    {
        using THeavy = void (TRandomProjectBuilder::*)(THeavyStep&);
        static const THeavy actions[] = {
            &TRandomProjectBuilder::SubdivideAndShell, &TRandomProjectBuilder::SliceAndCap,
            &TRandomProjectBuilder::ArrayAndWeld,      &TRandomProjectBuilder::CircleAndWeld,
            &TRandomProjectBuilder::SmoothSurface,     &TRandomProjectBuilder::MirrorAndWeld,
            &TRandomProjectBuilder::DetailedTerrain,   &TRandomProjectBuilder::CompositeOwner,
            &TRandomProjectBuilder::CompositeOwner,    &TRandomProjectBuilder::Retune,
            &TRandomProjectBuilder::MoveSomething,
        };
        (this->*actions[Pick(std::size(actions))])(Step);
    }

    static bool Failed(TSceneObject& Object)
    {
        Object.GetEvaluatedMesh();
        return Object.IsMeshDirty() || !Object.GetEvaluationMessage().empty();
    }

    // An object that does not evaluate loses its stack, or goes when it still fails.
    void MendFailures()
    {
        ShowCurrentFrame(Doc);
        std::vector<uint32_t> ids;
        for (TSceneNode* node : Nodes())
            ids.push_back(node->GetId());
        for (uint32_t id : ids) {
            auto* object = dynamic_cast<TSceneObject*>(Doc.GetScene().FindNodeById(id));
            if (!object || !Failed(*object))
                continue;
            object->ClearModifiers();
            if (Failed(*object)) {
                try {
                    Run(std::make_unique<TDeleteSubtreeCommand>(Doc.GetScene(), object));
                } catch (const std::exception&) {
                }
            }
            Doc.MarkChanged();
        }
    }

    void TakeBack(THeavyStep& Step)
    {
        TScene& scene = Doc.GetScene();
        if (Step.Restore)
            Step.Restore();
        for (auto it = Step.Modifiers.rbegin(); it != Step.Modifiers.rend(); ++it)
            if (auto* object = dynamic_cast<TSceneObject*>(scene.FindNodeById(it->first)))
                if (TModifier* modifier = object->GetModifiers().FindById(it->second))
                    object->RemoveModifier(modifier);
        for (size_t i = 0; i < Step.Commands; ++i) {
            try {
                Doc.GetHistory().Undo();
            } catch (const std::exception&) {
            }
        }
        for (uint32_t id : Step.NewObjects)
            if (TSceneNode* node = scene.FindNodeById(id)) {
                try {
                    Run(std::make_unique<TDeleteSubtreeCommand>(scene, node));
                } catch (const std::exception&) {
                }
            }
        Doc.MarkChanged();
    }

    // The size a user aims one big stack at: from a few thousand elements to most of
    // what one object may hold.
    int64_t Target()
    {
        const double most =
            std::clamp<double>(static_cast<double>(Room.Vertices) / 3, 2000, 700000);
        return static_cast<int64_t>(std::exp(Real(7.6f, static_cast<float>(std::log(most)))));
    }

    // The most subdivision levels (at least 1 while one level stays within an object's
    // limit) that keep Faces x Factor within Target.
    static int Levels(int64_t Faces, int64_t Target, int64_t Factor)
    {
        int levels = 0;
        int64_t out = Faces * Factor * 4;
        while (levels < 5 && out <= Target) {
            ++levels;
            out *= 4;
        }
        return levels == 0 && Faces * 4 <= kDefaultEvalLimit ? 1 : levels;
    }

    // What the object shows now (at least 1 face).
    static int64_t ShownFaces(TSceneObject& Object)
    {
        const TMeshData* mesh = Object.GetEvaluatedMesh();
        return mesh ? std::max<int64_t>(1, static_cast<int64_t>(mesh->Faces.size())) : 1;
    }

    // Mostly a new primitive from the Create menu, sometimes an object already there.
    TSceneObject* HeavyObject(THeavyStep& Step, std::initializer_list<TPrimitiveType> Kinds)
    {
        if (Chance(0.25))
            if (TSceneObject* object = AnyObject(); object && object->GetModifiers().Count() < 4)
                return object;
        const TPrimitiveType type = Kinds.begin()[Pick(Kinds.size())];
        TSceneObject* object = Doc.GetScene().AddPrimitive(type);
        object->SetPosition(Vec3(Typed(-20, 20), Real(0, 2), Typed(-20, 20)));
        object->Color = Colour();
        object->ApplyColorToVertices(object->Color);
        Step.NewObjects.push_back(object->GetId());
        Doc.MarkChanged();
        return object;
    }

    // The modifier page's menu: the type appended to the object's stack.
    TModifier* Add(THeavyStep& Step, TSceneObject& Object, const char* Type)
    {
        std::unique_ptr<TModifier> modifier = CreateModifierByTypeId(Type);
        if (!modifier) {
            UnknownTypes.push_back(Type);
            return nullptr;
        }
        TModifier* added = modifier.get();
        ModifierTypesUsed.push_back(Type);
        Object.AddModifier(std::move(modifier));
        Step.Modifiers.emplace_back(Object.GetId(), added->GetId());
        Doc.MarkChanged();
        return added;
    }

    // A value typed into the settings window's row whose file key is Key.
    void Type(TModifier* Modifier, std::string_view Key, double Value)
    {
        if (!Modifier)
            return;
        if (const TModifierParamTable* table = Modifier->GetParamTable())
            for (const TModifierParam& p : table->Params)
                if (p.Key == Key) {
                    p.Set(*Modifier, Value);
                    return;
                }
        UnknownTypes.push_back(Modifier->GetTypeId() + " " + std::string(Key));
    }

    void Subdivide(THeavyStep& Step, TSceneObject& Object, int Levels)
    {
        Type(Add(Step, Object, "subdivide"), "Levels=", Levels);
    }
    void Shell(THeavyStep& Step, TSceneObject& Object)
    {
        TModifier* shell = Add(Step, Object, "shell");
        Type(shell, "Thickness=", Chance(0.8) ? Real(0.005f, 0.2f) : Typed(-1, 1));
        Type(shell, "Mode=", Int(0, 2));
        Type(shell, "CapOpenings=", Chance(0.5));
    }
    void Weld(THeavyStep& Step, TSceneObject& Object)
    {
        TModifier* weld = Add(Step, Object, "vertex_weld");
        Type(weld, "Threshold=", Chance(0.5) ? Real(1e-4f, 1e-2f) : Real(0.01f, 0.2f));
        Type(weld, "AveragePosition=", Chance(0.5));
        Type(weld, "AverageNormals=", Chance(0.5));
        Type(weld, "RemoveDegenerate=", Chance(0.7));
    }
    void Smooth(THeavyStep& Step, TSceneObject& Object)
    {
        // Smooth and Relax share their rows.
        TModifier* smooth = Add(Step, Object, Chance(0.6) ? "smooth" : "relax");
        Type(smooth, "Amount=", Real(0, 1));
        Type(smooth, "Iterations=", Int(1, 10));
        Type(smooth, "PreserveBoundary=", Chance(0.5));
    }
    // A grid of copies: unit primitives side by side (their welds join them), spread
    // apart, or crowded into a small space.
    void Grid(TModifier* Modifier, int64_t Copies, float Size)
    {
        auto* array = dynamic_cast<TArray2DModifier*>(Modifier);
        if (!array)
            return;
        const double side = std::sqrt(static_cast<double>(std::max<int64_t>(1, Copies)));
        const int x = std::clamp(static_cast<int>(side * Real(0.5f, 2)), 1, 1000);
        const int y = std::clamp(static_cast<int>(Copies / x), 1, 1000);
        array->SetCountX(x);
        array->SetCountY(y);
        const int spacing = Int(0, 9);
        const float offset = spacing < 6   ? Size
                             : spacing < 9 ? Size * Real(0.3f, 3)
                                           : Real(1e-4f, 1e-2f);
        array->SetOffsetX(offset);
        array->SetOffsetY(Chance(0.8) ? offset : Size * Real(0.3f, 3));
        array->SetPlane(Int(0, 2));
        array->SetCentered(Chance(0.5));
        array->SetIncludeOriginal(Chance(0.7));
        array->SetStepY(Chance(0.7) ? 0.0f : Real(-0.5f, 0.5f));
    }
    void Circle(TModifier* Modifier, int64_t Copies)
    {
        auto* circle = dynamic_cast<TArrayCircularModifier*>(Modifier);
        if (!circle)
            return;
        circle->SetCount(static_cast<int32_t>(std::clamp<int64_t>(Copies, 2, 1000)));
        circle->SetRadius(Real(0.2f, 4));
        circle->SetStartAngle(Typed(-180, 180));
        circle->SetTotalAngle(Chance(0.6) ? 360.0f : Typed(0, 360));
        circle->SetCloseCircle(Chance(0.5));
        circle->SetAxis(Int(0, 2));
        circle->SetOrientation(Int(0, 2));
        circle->SetIncludeOriginal(Chance(0.5));
        circle->SetStepY(Chance(0.7) ? 0.0f : Real(-0.5f, 0.5f));
    }

    void SubdivideAndShell(THeavyStep& Step)
    {
        TSceneObject& object =
            *HeavyObject(Step, {ptSphere, ptTorus, ptCube, ptCylinder, ptCone, ptPlane});
        const int64_t faces = ShownFaces(object), target = Target();
        const bool shellFirst = Chance(0.3);
        if (shellFirst)
            Shell(Step, object);
        Subdivide(Step, object, Levels(faces, target, 2));
        if (!shellFirst)
            Shell(Step, object);
    }

    void SliceAndCap(THeavyStep& Step)
    {
        TSceneObject& object = *HeavyObject(Step, {ptSphere, ptTorus, ptCylinder, ptCube, ptCone});
        Subdivide(Step, object, Levels(ShownFaces(object), Target(), 1));
        if (Chance(0.5))
            Weld(Step, object);
        TModifier* slice = Add(Step, object, "slice");
        Type(slice, "Axis=", Int(0, 2));
        Type(slice, "Offset=", Chance(0.8) ? Real(-0.3f, 0.3f) : Typed(-1, 1));
        Type(slice, "KeepPositive=", Chance(0.7));
        Type(slice, "KeepNegative=", Chance(0.5));
        Type(Add(Step, object, "cap_holes"), "TextureId=", Int(0, Textures.Count()));
        if (Chance(0.3))
            Shell(Step, object);
    }

    void ArrayAndWeld(THeavyStep& Step)
    {
        TSceneObject& object = *HeavyObject(Step, {ptCube, ptPlane, ptCylinder, ptSphere});
        const int64_t faces = ShownFaces(object), target = Target();
        Grid(Add(Step, object, "array_2d"), target / faces, 1.0f);
        Weld(Step, object);
        if (Chance(0.3))
            Subdivide(Step, object, 1);
    }

    void CircleAndWeld(THeavyStep& Step)
    {
        TSceneObject& object = *HeavyObject(Step, {ptCube, ptTorus, ptCylinder, ptCone});
        const int64_t faces = ShownFaces(object);
        const bool subdivided = Chance(0.5);
        if (subdivided)
            Subdivide(Step, object, Int(1, 2));
        Circle(Add(Step, object, "array_circular"),
               std::min<int64_t>(Target() / (faces * (subdivided ? 16 : 1)), Int(2, 200)));
        Weld(Step, object);
    }

    void SmoothSurface(THeavyStep& Step)
    {
        TSceneObject& object =
            *HeavyObject(Step, {ptSphere, ptTorus, ptCube, ptCylinder, ptCone, ptPlane});
        Subdivide(Step, object, Levels(ShownFaces(object), Target(), 1));
        Smooth(Step, object);
        if (Chance(0.3))
            Add(Step, object, "normal");
    }

    void MirrorAndWeld(THeavyStep& Step)
    {
        TSceneObject& object = *HeavyObject(Step, {ptSphere, ptCube, ptCone, ptTorus});
        const int64_t faces = ShownFaces(object);
        TModifier* mirror = Add(Step, object, "mirror");
        Type(mirror, "Axis=", Int(0, 2));
        Type(mirror, "Offset=", Real(-0.5f, 0.5f));
        Type(mirror, "IncludeOriginal=", Chance(0.8));
        Type(mirror, "MergeSeam=", Chance(0.7));
        Type(mirror, "MergeThreshold=", Real(1e-4f, 1e-2f));
        Subdivide(Step, object, Levels(faces, Target(), 2));
        if (Chance(0.5))
            Weld(Step, object);
    }

    // The terrain window at a finer grid, then a smoother surface.
    void DetailedTerrain(THeavyStep& Step)
    {
        TSceneObject* object = Doc.GetScene().AddPrimitive(ptTerrain);
        Step.NewObjects.push_back(object->GetId());
        const int grid = Chance(0.6) ? 64 : 128;
        TNoiseParams params;
        InitDefaultNoiseParams(params);
        params.Seed = Int(0, 100000);
        params.Algorithm = Int(0, 2);
        MakeNoiseTerrain(*object, grid, params);
        Doc.MarkChanged();
        if (Chance(0.8))
            Subdivide(Step, *object, std::min(2, Levels(ShownFaces(*object), Target(), 1)));
        if (Chance(0.5))
            Smooth(Step, *object);
    }

    // Faces the object's descendants show: what a composite of them gathers.
    static int64_t DescendantFaces(TSceneNode& Node)
    {
        int64_t faces = 0;
        for (TSceneNode* node : SubtreePostOrder(&Node))
            if (auto* object = dynamic_cast<TSceneObject*>(node); object && node != &Node)
                if (const TMeshData* mesh = object->GetEvaluatedMesh())
                    faces += static_cast<int64_t>(mesh->Faces.size());
        return std::max<int64_t>(1, faces);
    }

    // A new object made the parent of some nodes, with a modifier that works on the
    // composite of its descendants: an array of them, or a deformer over them.
    void CompositeOwner(THeavyStep& Step)
    {
        std::vector<uint32_t> children;
        for (int n = Int(1, 3); n > 0; --n)
            if (TSceneNode* node = AnyNode(); node && std::find(children.begin(), children.end(),
                                                                node->GetId()) == children.end())
                children.push_back(node->GetId());
        if (children.empty())
            return;
        TScene& scene = Doc.GetScene();
        TSceneObject* owner = scene.AddPrimitive(Chance(0.5) ? ptCube : ptPlane);
        owner->SetPosition(Vec3(Typed(-20, 20), Real(0, 2), Typed(-20, 20)));
        Step.NewObjects.push_back(owner->GetId());
        Doc.MarkChanged();
        Run(std::make_unique<TReparentNodesCommand>(scene, Chance(0.5), 0, owner->GetId(),
                                                    children));
        ++Step.Commands;
        static const char* const kinds[] = {"array_2d", "array_circular", "stretch",
                                            "skew",     "squeeze",        "push",
                                            "bend",     "wave",           "ripple"};
        const char* kind = kinds[Pick(std::size(kinds))];
        const int64_t copies = Target() / DescendantFaces(*owner);
        TModifier* modifier = Add(Step, *owner, kind);
        if (std::string_view(kind) == "array_2d")
            Grid(modifier, std::min<int64_t>(copies, 64), Real(1, 6));
        else if (std::string_view(kind) == "array_circular")
            Circle(modifier, std::min<int64_t>(copies, 24));
        else if (modifier)
            SetParameters(*modifier);
        if (Chance(0.3))
            Weld(Step, *owner);
        if (Chance(0.2))
            if (TModifier* more = Add(Step, *owner, kinds[2 + Pick(std::size(kinds) - 2)]))
                SetParameters(*more);
    }

    // A level, a count or the enabled box changed on a stack already there.
    void Retune(THeavyStep& Step)
    {
        TSceneObject* object = AnyObject();
        if (!object || object->GetModifiers().Count() == 0)
            return;
        TModifierStack& stack = object->GetModifiers();
        TModifier* modifier = stack.GetItem(static_cast<int32_t>(Pick(stack.Count())));
        const uint32_t objectId = object->GetId(), modifierId = modifier->GetId();
        const auto find = [this, objectId, modifierId]() -> TModifier* {
            auto* o = dynamic_cast<TSceneObject*>(Doc.GetScene().FindNodeById(objectId));
            return o ? o->GetModifiers().FindById(modifierId) : nullptr;
        };
        if (modifier->GetTypeId() == "subdivide" || modifier->GetTypeId() == "smooth") {
            const std::string_view key =
                modifier->GetTypeId() == "subdivide" ? "Levels=" : "Iterations=";
            double old = 0;
            for (const TModifierParam& p : modifier->GetParamTable()->Params)
                if (p.Key == key)
                    old = p.Get(*modifier);
            Type(modifier, key, old + (Chance(0.5) ? 1 : -1));
            Step.Restore = [this, find, key, old] {
                if (TModifier* m = find())
                    Type(m, key, old);
            };
        } else if (auto* array = dynamic_cast<TArray2DModifier*>(modifier)) {
            const int32_t x = array->GetCountX();
            array->SetCountX(std::max(1, static_cast<int>(x * Real(0.5f, 2))));
            Step.Restore = [find, x] {
                if (auto* a = dynamic_cast<TArray2DModifier*>(find()))
                    a->SetCountX(x);
            };
        } else {
            modifier->SetEnabled(!modifier->GetEnabled());
            Step.Restore = [find] {
                if (TModifier* m = find())
                    m->SetEnabled(!m->GetEnabled());
            };
        }
        Doc.MarkChanged();
    }

    // Composite owners follow their descendants' moves.
    void MoveSomething(THeavyStep&) { TypeTransform(); }

    TRoom Room;

    TProjectDocument& Doc;
    TTextureManager& Textures;
    std::filesystem::path Folder;
    uint32_t Seed;
    uint32_t ModifiersAdded = 0;
};
