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

#include <bit>
#include <cstdint>
#include <exception>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

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
            object->Color = Vec3(0.45f, 0.4f, 0.32f);
            object->ApplyColorToVertices(object->Color);
            THeightmap* map = object->GetHeightmap();
            // The window's grid choice: small grids keep the test quick.
            map->Resample(Chance(0.8) ? 16 : 32);
            TNoiseParams params;
            InitDefaultNoiseParams(params);
            params.Seed = Int(0, 2147483646);
            GenerateNoiseTerrain(map, params);
            object->RebuildTerrainMesh();
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

    TProjectDocument& Doc;
    TTextureManager& Textures;
    std::filesystem::path Folder;
    uint32_t Seed;
    uint32_t ModifiersAdded = 0;
};
