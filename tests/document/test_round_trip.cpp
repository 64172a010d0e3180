// What the editor saves it opens again as it was: random projects built through the user's
// commands are saved, opened into a fresh project and saved again. The two files must be
// byte for byte the same, and the reopened project must equal the one saved, except for
// the normalisations the file format prescribes (listed below with the rule behind each).
#include "tests/document/project_file_fixture.h"
#include "tests/document/random_project_builder.h"

#include "base/uDocumentIds.h"
#include "terrain/uTerrainMesh.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string_view>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The normalisations, each applied to the description of the saved project (or left out
// of both descriptions) with the rule it follows:
//
// - Root-level objects come back before root-level groups: the reader makes each object
//   under the root as it reads it and links groups (and every other parent) only after
//   the last node block.
// - A group's selection is not stored; it reopens unselected.
// - Display colours are not stored; every reopened object draws new ones.
// - Evaluated meshes, held evaluations, the command history, the revision count and the
//   heightmap's own undo steps are not stored.
// - A terrain's heightmap, size and height scale are not stored: they are rebuilt from
//   its stored grid, so what must come back is the grid the heights make, bit for bit.
// - Reals are written with ten significant digits, which give back every single exactly;
//   a negative zero is written as zero.
// - Palette colours are written with six decimals.
// - A texture's OpenGL object is made anew; its name, path and size come back.
// - The animation's playback state is not stored.

// A real as written: ten significant digits, -0 as 0.
std::string Real(float Value)
{
    if (Value == 0)
        Value = 0;
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, Value);
    return std::string(buffer, r.ptr);
}

std::string Vec(const TVec3& V)
{
    return Real(V.X) + " " + Real(V.Y) + " " + Real(V.Z);
}

std::string PaletteColour(const TVec3& C)
{
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.6f %.6f %.6f", double(C.X), double(C.Y), double(C.Z));
    return buffer;
}

std::string Value(const TPropertyValue& V)
{
    return std::to_string(V.Kind) + ":" + Real(V.Float) + "/" + std::to_string(V.Int) + "/" +
           std::to_string(V.Bool) + "/" + Vec(V.Vector);
}

class TDescription {
public:
    void Add(std::string Line) { Lines.push_back(std::move(Line)); }
    std::vector<std::string> Lines;
};

// A digest of every number of the mesh (-0 taken as 0): the text comparison already shows
// each value; this shows that the reopened project holds them.
void DescribeMesh(TDescription& D, const TMeshData* Mesh)
{
    if (!Mesh) {
        D.Add("  no mesh");
        return;
    }
    uint64_t h = 1469598103934665603ull;
    auto mix = [&h](uint64_t v) { h = (h ^ v) * 1099511628211ull; };
    auto real = [&mix](float v) { mix(std::bit_cast<uint32_t>(v == 0 ? 0.0f : v)); };
    auto vec = [&real](const TVec3& v) {
        real(v.X);
        real(v.Y);
        real(v.Z);
    };
    for (const TMeshVertex& v : Mesh->Vertices) {
        vec(v.Position);
        vec(v.Normal);
        vec(v.Color);
        real(v.UV.U);
        real(v.UV.V);
    }
    for (const TMeshFace& f : Mesh->Faces) {
        mix(uint64_t(f.Count));
        mix(uint64_t(uint32_t(f.TexId)));
        for (int k = 0; k < f.Count; ++k) {
            mix(uint64_t(uint32_t(f.Indices[k])));
            real(f.UVs[k].U);
            real(f.UVs[k].V);
        }
    }
    D.Add("  mesh " + std::to_string(Mesh->Vertices.size()) + " " +
          std::to_string(Mesh->Faces.size()) + " digest " + std::to_string(h));
}

void DescribeTerrain(TDescription& D, TSceneObject& Object)
{
    const THeightmap* map = Object.GetHeightmap();
    if (!map) {
        D.Add("  no heightmap");
        return;
    }
    D.Add("  terrain " + Real(Object.TerrainSize) + " " + Real(Object.TerrainHeight) + " " +
          std::to_string(map->GetResolution()));
    // The grid the heights make: it must be the stored one.
    TMeshData grid;
    BuildTerrainMesh(&grid, map, Object.TerrainSize, Object.TerrainHeight);
    const TMeshData* base = Object.GetBaseMesh();
    bool same = base && base->Vertices.size() == grid.Vertices.size();
    for (size_t i = 0; same && i < grid.Vertices.size(); ++i)
        same = std::bit_cast<uint32_t>(grid.Vertices[i].Position.Y) ==
                   std::bit_cast<uint32_t>(base->Vertices[i].Position.Y) &&
               grid.Vertices[i].Position.X == base->Vertices[i].Position.X &&
               grid.Vertices[i].Position.Z == base->Vertices[i].Position.Z;
    D.Add(std::string("  heights make the stored grid ") + (same ? "yes" : "no"));
}

void DescribeNode(TDescription& D, TSceneNode& Node, int Depth)
{
    auto* object = dynamic_cast<TSceneObject*>(&Node);
    D.Add(std::string(size_t(Depth), '.') + (object ? "object " : "group ") +
          std::to_string(Node.GetId()) + " [" + Node.Name + "]");
    D.Add("  pos " + Vec(Node.GetPosition()) + " rot " + Vec(Node.GetRotation()) + " scl " +
          Vec(Node.GetScale()) + " vis " + std::to_string(Node.GetVisible()) + " lock " +
          std::to_string(Node.GetLocked()));
    if (object) {
        D.Add("  prim " + std::to_string(object->PrimType) + " colour " + Vec(object->Color) +
              " tex " + std::to_string(object->TexId) + " blend " + std::to_string(object->Blend) +
              " sel " + std::to_string(object->Selected));
        DescribeMesh(D, object->GetBaseMesh());
        const TModifierStack& stack = object->GetModifiers();
        for (int32_t i = 0; i < stack.Count(); ++i) {
            const TModifier* m = stack.GetItem(i);
            D.Add("  modifier " + m->GetTypeId() + " " + std::to_string(m->GetId()) + " " +
                  std::to_string(m->GetEnabled()));
            std::vector<std::string> params;
            m->SaveParams(params);
            for (const std::string& p : params)
                D.Add("   " + p);
        }
        if (object->PrimType == ptTerrain)
            DescribeTerrain(D, *object);
    }
    std::vector<TSceneNode*> children = Node.GetChildren();
    if (Depth == 0)
        std::stable_partition(children.begin(), children.end(), [](const TSceneNode* c) {
            return dynamic_cast<const TSceneObject*>(c) != nullptr;
        });
    for (TSceneNode* child : children)
        DescribeNode(D, *child, Depth + 1);
}

void DescribeEnvironment(TDescription& D, const TProjectDocument& Doc)
{
    const TCinematicEnvironment& e = Doc.GetEnvironment();
    D.Add("env " + Real(e.FieldOfView) + " " + Real(e.Exposure) + " " +
          std::to_string(e.VignetteOn) + " " + Real(e.VignetteStrength) + " " +
          Real(e.VignetteRadius) + " " + Real(e.VignetteSoftness) + " " +
          std::to_string(e.AberrationOn) + " " + Real(e.AberrationStrength) + " " +
          std::to_string(e.FogOn) + " " + Real(e.FogDensity) + " " +
          std::to_string(e.UseAtmosphericFogColor) + " " + Vec(e.FogColor));
    D.Add("env " + Real(e.TimeOfDay) + " " + std::to_string(e.SkyOn) + std::to_string(e.SunOn) +
          std::to_string(e.MoonOn) + std::to_string(e.RimLightOn) + " " + Real(e.RimPower) + " " +
          Real(e.RimStrength) + " " + Real(e.RimLightWrap) + " " +
          std::to_string(e.CelestialTintOn) + " " + Real(e.TintStrength));
    D.Add("env " + std::to_string(e.ContactLightingOn) + " " + Real(e.ContactRadius) + " " +
          Real(e.ContactStrength) + " " + Real(e.SunShadow) + " " + Real(e.ColorBleed) + " " +
          Real(e.MinimumShade) + " " + std::to_string(e.ContactRayCount));
    const TScene& scene = Doc.GetScene();
    D.Add("camera " + Vec(scene.CameraPosition) + " " + Real(scene.CameraYaw) + " " +
          Real(scene.CameraPitch));
    D.Add("palette " + std::to_string(scene.PaletteCount));
    for (const TVec3& c : scene.Palette)
        D.Add("  " + PaletteColour(c));
}

void DescribeTextures(TDescription& D, const TTextureManager& Textures)
{
    for (int32_t i = 0; i < Textures.Count(); ++i) {
        const TTextureRec& t = Textures.GetTexture(i);
        D.Add("texture [" + t.Name + "] [" + t.Path + "] " + std::to_string(t.Width) + "x" +
              std::to_string(t.Height) + " loaded " + std::to_string(t.GLName != 0));
    }
}

void DescribeFloorPlans(TDescription& D, const TFloorPlanDocument& Plans)
{
    auto settings = [](const TFloorSettings& s) {
        return Real(s.Height) + " " + Real(s.WallThickness) + " " + Real(s.SlabThickness) + " " +
               std::to_string(s.RoofType) + " " + Real(s.RoofRise) + " " + Real(s.RoofInset);
    };
    for (int i = 0; i < Plans.PlanCount(); ++i) {
        const TFloorPlan* p = Plans.GetPlan(i);
        D.Add("plan " + std::to_string(p->Id()) + " [" + p->Name() + "] rev " +
              std::to_string(p->Revision()) + " " + settings(p->Settings()));
        std::string points = " ";
        for (const TFloorPlanPoint& q : p->GetPoints())
            points += " " + Real(q.X) + "," + Real(q.Z);
        D.Add(points);
    }
    for (int i = 0; i < Plans.BuildingCount(); ++i) {
        const TBuildingDefinition* b = Plans.GetBuilding(i);
        D.Add("building " + std::to_string(b->Id()) + " [" + b->Name() + "]");
        for (int k = 0; k < b->FloorCount(); ++k) {
            const TFloorDefinition* f = b->GetFloor(k);
            D.Add("  floor " + std::to_string(f->Id()) + " [" + f->Name() + "] plan " +
                  std::to_string(f->PlanId()) + " override " +
                  std::to_string(f->OverrideSettings()) + " " + settings(f->Settings()));
        }
    }
    for (int i = 0; i < Plans.BindingCount(); ++i) {
        const TFloorPlanBuildBinding* b = Plans.GetBinding(i);
        D.Add("binding " + std::to_string(b->RootNodeId) + " " + std::to_string(b->PlanId) + " " +
              std::to_string(b->FloorId) + " " + std::to_string(b->BuildingId) + " " +
              std::to_string(b->SourceHash) + " stale " + std::to_string(Plans.IsBindingStale(b)));
    }
}

void DescribeAnimation(TDescription& D, const TAnimationDocument& Animation)
{
    const TProjectTime& t = Animation.ProjectTime;
    D.Add("time " + std::to_string(t.GetStartFrame()) + " " + std::to_string(t.GetEndFrame()) +
          " " + std::to_string(t.GetCurrentFrame()) + " " + Real(t.GetFPS()) + " " +
          std::to_string(t.GetLoopTimeline()));
    for (int i = 0; i < Animation.ClipCount(); ++i) {
        const TAnimationClip* c = Animation.GetClip(i);
        D.Add("clip " + std::to_string(c->GetNodeId()) + " " + std::to_string(c->StartFrame) + " " +
              std::to_string(c->GetLength()) + " " + std::to_string(c->PlaybackMode));
        for (int k = 0; k < c->Tracks.Count(); ++k) {
            const TAnimationTrack* track = c->Tracks.GetItem(k);
            const TPropertyPath& p = track->GetTarget();
            D.Add("  track " + std::to_string(p.NodeId) + " " + std::to_string(p.ComponentKind) +
                  " " + std::to_string(p.ComponentId) + " " + std::to_string(p.PropertyId) + " " +
                  std::to_string(track->GetValueKind()) + " rest " + Value(track->GetRestValue()));
            for (int j = 0; j < track->KeyCount(); ++j) {
                const TAnimationKey& key = track->GetKey(j);
                D.Add("   key " + std::to_string(key.Frame) + " " +
                      std::to_string(key.Interpolation) + " " + Value(key.Value));
            }
        }
    }
}

std::vector<std::string> Describe(TProjectDocument& Doc, const TTextureManager& Textures)
{
    TDescription d;
    DescribeEnvironment(d, Doc);
    DescribeTextures(d, Textures);
    DescribeFloorPlans(d, Doc.GetFloorPlans());
    DescribeNode(d, *Doc.GetScene().GetRoot(), 0);
    DescribeAnimation(d, Doc.GetAnimation());
    return d.Lines;
}

// The first normalisation applied to the project itself, so that its first save already
// has the order the reader gives: root-level groups moved behind the objects.
void PutRootObjectsFirst(TScene& Scene)
{
    TSceneGroup* root = Scene.GetRoot();
    const std::vector<TSceneNode*> children = root->GetChildren();
    for (TSceneNode* child : children)
        if (!dynamic_cast<TSceneObject*>(child)) {
            Scene.UnlinkFromParent(child);
            Scene.LinkToParent(child, root, root->ChildCount());
        }
}

// The kinds of content the generated projects must reach, counted from their descriptions
// (a line's start names its kind; nodes start with dots for their depth).
const char* const kReachedKinds[] = {
    "texture",   "texture [ ", "plan",  "building",           "binding", "clip", "  track",
    "  terrain", "  modifier", "group", "built floor with -0"};

void Tally(const TProjectDocument& Doc, const std::vector<std::string>& Description,
           std::map<std::string, int>& Reached)
{
    for (const std::string& line : Description) {
        const std::string_view text = std::string_view(line).substr(line.find_first_not_of('.'));
        for (const char* kind : kReachedKinds)
            if (text.starts_with(kind) && (line[0] == '.') == (std::string_view(kind) == "group"))
                ++Reached[kind];
    }
    // A built floor whose own settings hold a typed -0.
    const TFloorPlanDocument& plans = Doc.GetFloorPlans();
    for (int i = 0; i < plans.BindingCount(); ++i) {
        const TBuildingDefinition* building = plans.FindBuilding(plans.GetBinding(i)->BuildingId);
        for (int k = 0; building && k < building->FloorCount(); ++k) {
            const TFloorDefinition* floor = building->GetFloor(k);
            if (floor->OverrideSettings() && (std::signbit(floor->Settings().RoofRise) ||
                                              std::signbit(floor->Settings().RoofInset)))
                ++Reached["built floor with -0"];
        }
    }
}

std::string ReadText(const std::string& Path)
{
    std::ifstream in(Path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

// The first line where the two differ, with its number, or empty when none does.
std::string FirstDifference(const std::vector<std::string>& A, const std::vector<std::string>& B)
{
    for (size_t i = 0; i < std::max(A.size(), B.size()); ++i) {
        const std::string a = i < A.size() ? A[i] : "<end>";
        const std::string b = i < B.size() ? B[i] : "<end>";
        if (a != b)
            return "line " + std::to_string(i) + ":\n saved:    " + a + "\n reopened: " + b;
    }
    return {};
}

std::vector<std::string> SplitLines(const std::string& Text)
{
    std::vector<std::string> lines;
    std::istringstream in(Text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

class RoundTrip : public TProjectFileFixture {
protected:
    RoundTrip() : TProjectFileFixture("quill_round_trip_", true) {}
};

}  // namespace

TEST_F(RoundTrip, RandomProjectsSaveOpenAndSaveAgainUnchanged)
{
    constexpr uint32_t kProjects = 200;
    std::set<std::string> typesUsed;
    std::map<std::string, int> Reached;
    for (uint32_t seed = 1; seed <= kProjects; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        const fs::path folder = Dir / std::to_string(seed);
        fs::create_directories(folder);
        Registry->Clear();
        const std::string first = (folder / "first.qstn").string();
        const std::string second = (folder / "second.qstn").string();
        std::vector<std::string> saved;
        {
            TProjectDocument doc;
            TRandomProjectBuilder builder(doc, *Registry, folder, seed);
            builder.Build(12 + static_cast<int>(seed % 24));
            EXPECT_TRUE(builder.UnknownTypes.empty()) << builder.UnknownTypes.front();
            typesUsed.insert(builder.ModifierTypesUsed.begin(), builder.ModifierTypesUsed.end());
            PutRootObjectsFirst(doc.GetScene());
            doc.SaveToFile(first, true);
            saved = Describe(doc, *Registry);
            Tally(doc, saved, Reached);
        }
        TProjectDocument reopened;
        reopened.LoadFromFile(first);
        reopened.SaveToFile(second, true);
        const std::string a = ReadText(first), b = ReadText(second);
        ASSERT_EQ(a.size(), b.size()) << FirstDifference(SplitLines(a), SplitLines(b));
        ASSERT_TRUE(a == b) << FirstDifference(SplitLines(a), SplitLines(b));
        const std::vector<std::string> back = Describe(reopened, *Registry);
        ASSERT_TRUE(saved == back) << FirstDifference(saved, back);
        fs::remove_all(folder);
    }
    for (const char* kind : kReachedKinds)
        EXPECT_GT(Reached[kind], 0) << kind;
    // Every modifier type of the menu was added at least once.
    for (int32_t i = 0; i < ModifierDescriptorCount(); ++i)
        EXPECT_TRUE(typesUsed.count(GetModifierDescriptor(i).TypeId))
            << GetModifierDescriptor(i).TypeId;
}
