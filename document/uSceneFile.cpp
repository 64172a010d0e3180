#include "document/uSceneFile.h"

#include "base/uErrors.h"
#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "base/uTextFile.h"
#include "floorplan/uFloorPlanFile.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"

#include <charconv>
#include <cmath>
#include <filesystem>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr const char* kCannotSave = "Cannot save the scene: the file would not open again.";

// The last guard of a save: a line longer than the reader takes fails the write, so the
// temporary file is dropped and the old file stays.
class TLineLimitSink : public TTextLineSink {
public:
    explicit TLineLimitSink(TTextLineSink& Target) : Target(Target) {}
    void WriteLine(std::string_view Line) override
    {
        ++Lines;
        if (Line.size() > kMaxTextLineBytes)
            throw EGeneralError(std::string(kCannotSave) + "\r\nLine " + std::to_string(Lines) +
                                " would be longer than " + std::to_string(kMaxTextLineBytes) +
                                " characters: \"" + TextExcerpt(Line) + "\".");
        Target.WriteLine(Line);
    }

private:
    TTextLineSink& Target;
    int64_t Lines = 0;
};

std::string Bool(bool b)
{
    return b ? "1" : "0";
}

std::string Triple(const TVec3& v)
{
    return FormatFileReals({v.X, v.Y, v.Z});
}

std::string PaletteNumber(float v)
{
    v = WrittenFloat(v);
    char buf[64];
    auto r =
        std::to_chars(buf, buf + sizeof buf, static_cast<double>(v), std::chars_format::fixed, 6);
    return std::string(buf, r.ptr);
}

// The world matrix each node will have in the file written from the scene: every
// transform value as the writer writes it, under a root as the reader makes it (the root
// is not written). Each matrix is made once, its ancestors' first, without recursion.
class TWrittenWorlds {
public:
    explicit TWrittenWorlds(const TSceneNode& Root)
    {
        TMatrix4 root;
        MatCompose({0, 0, 0}, {0, 0, 0}, {1, 1, 1}, root);
        Known.emplace(&Root, root);
    }
    // Node must reach the root through its parents.
    const TMatrix4& Of(const TSceneNode& Node)
    {
        Chain.clear();
        const TSceneNode* n = &Node;
        auto known = Known.find(n);
        for (; known == Known.end(); known = Known.find(n)) {
            Chain.push_back(n);
            n = n->GetParent();
        }
        for (auto it = Chain.rbegin(); it != Chain.rend(); ++it) {
            const TSceneNode& child = **it;
            const auto written = [](const TVec3& V) {
                return TVec3{WrittenFloat(V.X), WrittenFloat(V.Y), WrittenFloat(V.Z)};
            };
            TMatrix4 local, world;
            MatCompose(written(child.GetPosition()), written(child.GetRotation()),
                       written(child.GetScale()), local);
            MatMultiply(known->second, local, world);
            known = Known.emplace(&child, world).first;
        }
        return known->second;
    }

private:
    std::unordered_map<const TSceneNode*, TMatrix4> Known;
    std::vector<const TSceneNode*> Chain;
};

void WriteEnvironment(const TScene& Scene, TTextLineSink& File)
{
    const TCinematicEnvironment* env = Scene.Environment;
    if (!env) {
        File.WriteLine("NOENV");
        return;
    }
    File.WriteLine("ENV");
    File.WriteLine(FormatFileReal(env->FieldOfView));
    File.WriteLine(FormatFileReal(env->Exposure));
    File.WriteLine(Bool(env->VignetteOn));
    File.WriteLine(
        FormatFileReals({env->VignetteStrength, env->VignetteRadius, env->VignetteSoftness}));
    File.WriteLine(Bool(env->AberrationOn));
    File.WriteLine(FormatFileReal(env->AberrationStrength));
    File.WriteLine(Bool(env->FogOn));
    File.WriteLine(FormatFileReal(env->FogDensity));
    File.WriteLine(Bool(env->UseAtmosphericFogColor));
    File.WriteLine(Triple(env->FogColor));
    File.WriteLine(FormatFileReal(env->TimeOfDay));
    File.WriteLine(Bool(env->SkyOn));
    File.WriteLine(Bool(env->SunOn));
    File.WriteLine(Bool(env->MoonOn));
    File.WriteLine(Bool(env->RimLightOn));
    File.WriteLine(FormatFileReals({env->RimPower, env->RimStrength, env->RimLightWrap}));
    File.WriteLine(Bool(env->CelestialTintOn));
    File.WriteLine(FormatFileReal(env->TintStrength));
    File.WriteLine(Bool(env->ContactLightingOn));
    File.WriteLine(FormatFileReals({env->ContactRadius, env->ContactStrength, env->SunShadow}));
    File.WriteLine(FormatFileReals({env->ColorBleed, env->MinimumShade}) + " " +
                   IntToText(env->ContactRayCount));
    File.WriteLine(Triple(Scene.CameraPosition));
    File.WriteLine(FormatFileReals({Scene.CameraYaw, Scene.CameraPitch}));
}

void WriteTextures(const std::string& FileName, TTextLineSink& File)
{
    const TTextureManager* textures = CurrentTextureManager;
    if (!textures) {
        File.WriteLine("NOTEX");
        return;
    }
    const std::string folder = fs::path(FileName).parent_path().string();
    File.WriteLine("TEX");
    File.WriteLine(IntToText(textures->Count()));
    for (int32_t i = 0; i < textures->Count(); ++i)
        File.WriteLine(IntToText(i) + " " +
                       SingleLineText(RelativePathFrom(folder, textures->GetTexture(i).Path)));
}

void WritePalette(const TScene& Scene, TTextLineSink& File)
{
    File.WriteLine("PALETTE " + IntToText(Scene.PaletteCount));
    for (const TVec3& c : Scene.Palette)
        File.WriteLine(PaletteNumber(c.X) + " " + PaletteNumber(c.Y) + " " + PaletteNumber(c.Z));
}

void AppendInt(std::string& Out, int64_t Value)
{
    char buf[24];
    const auto r = std::to_chars(buf, buf + sizeof buf, Value);
    Out.append(buf, r.ptr);
}

void WriteMesh(TTextLineSink& File, const TMeshData* Mesh)
{
    if (!Mesh || Mesh->Vertices.empty()) {
        File.WriteLine("0");
        return;
    }
    std::string line;
    line.reserve(200);
    File.WriteLine(IntToText(static_cast<int64_t>(Mesh->Vertices.size())));
    for (const TMeshVertex& v : Mesh->Vertices) {
        line.clear();
        const float values[11] = {v.Position.X, v.Position.Y, v.Position.Z, v.Normal.X,
                                  v.Normal.Y,   v.Normal.Z,   v.Color.X,    v.Color.Y,
                                  v.Color.Z,    v.UV.U,       v.UV.V};
        for (int i = 0; i < 11; ++i) {
            if (i)
                line += ' ';
            AppendFileReal(line, values[i]);
        }
        File.WriteLine(line);
    }
    File.WriteLine(IntToText(static_cast<int64_t>(Mesh->Faces.size())));
    for (const TMeshFace& f : Mesh->Faces) {
        // A face never has more than four corners; a bad count is written as read back.
        const int count = f.Count < 0 ? 0 : (f.Count > 4 ? 4 : f.Count);
        line.clear();
        AppendInt(line, count);
        for (int k = 0; k < count; ++k) {
            line += ' ';
            AppendInt(line, f.Indices[k]);
        }
        line += ' ';
        AppendInt(line, f.TexId);
        for (int k = 0; k < count; ++k) {
            line += ' ';
            AppendFileReal(line, f.UVs[k].U);
            line += ' ';
            AppendFileReal(line, f.UVs[k].V);
        }
        File.WriteLine(line);
    }
}
}  // namespace

std::string SingleLineText(const std::string& Text)
{
    std::string s = Text;
    for (char& c : s)
        if (c == '\r' || c == '\n')
            c = ' ';
    return s;
}

std::string RelativePathFrom(const std::string& BaseFolder, const std::string& Target)
{
    if (Target.empty())
        return Target;
    std::error_code ec;
    const fs::path base =
        fs::absolute(BaseFolder.empty() ? fs::path(".") : fs::path(BaseFolder), ec);
    if (ec)
        return Target;
    const fs::path target = fs::absolute(Target, ec);
    if (ec)
        return Target;
    fs::path rel = target.lexically_normal().lexically_relative(base.lexically_normal());
    if (rel.empty())
        return Target;
    return rel.generic_string();
}

void WriteObjectMeshAndModifiers(TTextLineSink& File, const TSceneObject& Object)
{
    WriteMesh(File, Object.GetBaseMesh());
    const TModifierStack& stack = Object.GetModifiers();
    if (stack.Count() < 1)
        return;
    File.WriteLine("MODS " + IntToText(stack.Count()));
    std::vector<std::string> params;
    for (int32_t i = 0; i < stack.Count(); ++i) {
        const TModifier* m = stack.GetItem(i);
        File.WriteLine("BEGINMOD " + m->GetTypeId() + " 1");
        File.WriteLine("ID " + std::to_string(m->GetId()));
        File.WriteLine("ENABLED " + Bool(m->GetEnabled()));
        params.clear();
        m->SaveParams(params);
        for (const std::string& p : params)
            File.WriteLine(SingleLineText(p));
        File.WriteLine("ENDMOD");
    }
}

void WriteSceneNode(TScene& Scene, TTextLineSink& File, const TSceneNode& Node)
{
    const auto* object = dynamic_cast<const TSceneObject*>(&Node);
    const TSceneNode* parent = Node.GetParent();
    File.WriteLine("BEGINNODE");
    File.WriteLine("ID " + std::to_string(Node.GetId()));
    File.WriteLine(object ? "TYPE object" : "TYPE group");
    File.WriteLine("PARENT " + std::to_string(parent ? parent->GetId() : 0u));
    File.WriteLine("NAME " + SingleLineText(Node.Name));
    File.WriteLine("POS " + Triple(Node.GetPosition()));
    File.WriteLine("ROT " + Triple(Node.GetRotation()));
    File.WriteLine("SCL " + Triple(Node.GetScale()));
    File.WriteLine("VIS " + Bool(Node.GetVisible()));
    File.WriteLine("LOCK " + Bool(Node.GetLocked()));
    if (object) {
        File.WriteLine("PRIM " + IntToText(static_cast<int32_t>(object->PrimType)));
        File.WriteLine("COLOR " + Triple(object->Color));
        File.WriteLine("TEXID " + IntToText(object->TexId));
        File.WriteLine("BLEND " + IntToText(static_cast<int32_t>(object->Blend)));
        File.WriteLine("SEL " + Bool(object->Selected));
        WriteObjectMeshAndModifiers(File, *object);
    }
    File.WriteLine("ENDNODE");
}

void WriteSceneNodes(TScene& Scene, const TSceneNode& Node, TTextLineSink& File)
{
    // Explicit stack: a deep hierarchy must not exhaust the call stack.
    std::vector<std::pair<const TSceneNode*, int>> stack{{&Node, 0}};
    while (!stack.empty()) {
        auto& [parent, next] = stack.back();
        if (next >= parent->ChildCount()) {
            stack.pop_back();
            continue;
        }
        const TSceneNode* child = parent->GetChild(next++);
        WriteSceneNode(Scene, File, *child);
        stack.emplace_back(child, 0);
    }
}

void WriteSceneLines(TScene& Scene, const std::string& FileName,
                     const TAnimationDocument* Animation, const TFloorPlanDocument* FloorPlans,
                     TTextLineSink& File)
{
    BeginInvariantDecimal();
    try {
        File.WriteLine(kSceneFileHeader);
        File.WriteLine("VERSION " + IntToText(kSceneFileVersion));
        WriteEnvironment(Scene, File);
        WriteTextures(FileName, File);
        WritePalette(Scene, File);
        if (FloorPlans)
            WriteFloorPlanSection(*FloorPlans, File);
        File.WriteLine("NODES " + IntToText(Scene.NodeCount()));
        WriteSceneNodes(Scene, *Scene.GetRoot(), File);
        if (Animation)
            WriteAnimationSection(*Animation, File);
    } catch (...) {
        EndInvariantDecimal();
        throw;
    }
    EndInvariantDecimal();
}

void WriteSceneFile(TScene& Scene, const std::string& FileName, const TAnimationDocument* Animation,
                    const TFloorPlanDocument* FloorPlans)
{
    TTextFileWriter file(FileName);
    WriteSceneLines(Scene, FileName, Animation, FloorPlans, file);
    file.Close();
}

std::string SceneReadBackProblem(TScene& Scene, const TFloorPlanDocument* FloorPlans)
{
    // The reader's own check, on the world matrices of what the file will hold.
    std::string messages;
    TWrittenWorlds written(*Scene.GetRoot());
    if (!Scene.ValidateHierarchy(
            messages, [&](TSceneNode& Node) -> const TMatrix4& { return written.Of(Node); }))
        return TextExcerpt(std::string_view(messages).substr(0, messages.find("\r\n")), 200);
    for (const TSceneNode* node : Scene.GetNodes())
        if (node != nullptr && node != Scene.GetRoot() &&
            std::string_view("NAME ").size() + node->Name.size() > kMaxTextLineBytes)
            return "The name of node \"" + TextExcerpt(SingleLineText(node->Name)) +
                   "\" is too long.";
    if (FloorPlans)
        return FloorPlanSectionProblem(*FloorPlans);
    return {};
}

void SaveSceneFileSafely(TScene& Scene, const std::string& FileName,
                         const TAnimationDocument* Animation, const TFloorPlanDocument* FloorPlans)
{
    // Before the old file is touched: what the reader would refuse is not written.
    const std::string problem = SceneReadBackProblem(Scene, FloorPlans);
    if (!problem.empty())
        throw EGeneralError(std::string(kCannotSave) + "\r\n" + problem);
    TSafeSaveMessages messages;
    messages.BackupFailed = "Unable to create scene backup: ";
    messages.ReplaceFailed = "Unable to replace scene file: ";
    SaveTextFileSafely(FileName, messages, [&](TTextLineSink& File) {
        // Texture paths are written relative to the folder the name is in.
        TLineLimitSink checked(File);
        WriteSceneLines(Scene, FileName, Animation, FloorPlans, checked);
    });
}

void SaveSceneToFile(TScene& Scene, const std::string& FileName,
                     const TAnimationDocument* Animation, const TFloorPlanDocument* FloorPlans)
{
    if (!Animation)
        throw EGeneralError("Animation document is nil");
    SaveSceneFileSafely(Scene, FileName, Animation, FloorPlans);
}
