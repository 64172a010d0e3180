#include "document/uSceneFileReader.h"

#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "base/uTextFile.h"
#include "document/uSceneFile.h"
#include "floorplan/uFloorPlanDocument.h"
#include "floorplan/uFloorPlanFile.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "terrain/uHeightmap.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

namespace fs = std::filesystem;

namespace {
constexpr const char* kCrLf = "\r\n";

// Reads a fresh vertex array no larger than this before any line proves it exists.
constexpr int64_t kMaxReserve = 1000000;

std::string Line(TTextLineSource& File)
{
    std::string s;
    File.ReadLine(s);
    return s;
}

// A line that must exist: the file ending here is malformed.
void ReadRequiredLine(TTextLineSource& File, std::string& Text)
{
    if (!File.ReadLine(Text))
        throw EGeneralError("Malformed scene file: unexpected end of file.");
}

std::string RequiredLine(TTextLineSource& File)
{
    std::string s;
    ReadRequiredLine(File, s);
    return s;
}

std::string From(const std::string& Text, size_t OneBasedChar)
{
    return Text.size() >= OneBasedChar ? Text.substr(OneBasedChar - 1) : std::string();
}

int32_t IntOr(std::string_view Text, int32_t Default)
{
    int32_t v;
    return TryTextToInt(Text, v) ? v : Default;
}

float RealOrZero(std::string_view Text)
{
    float v;
    return TryTextToFloat(Text, v) ? v : 0.0f;
}

// The id on an ID or PARENT line: 0 when not an integer; the sentinel and anything
// outside 0..4294967294 is refused with Message (its %s the text).
uint32_t ParseDocumentId(const std::string& Text, const std::string& Before,
                         const std::string& After)
{
    const std::string_view trimmed = TrimBlanks(Text);
    int64_t v;
    if (!TryTextToInt64(trimmed, v)) {
        // Digits beyond 64 bits are still a number out of range, not "not a number".
        const bool digits =
            !trimmed.empty() &&
            std::all_of(trimmed.begin() + (trimmed[0] == '-' || trimmed[0] == '+'), trimmed.end(),
                        [](char c) { return c >= '0' && c <= '9'; }) &&
            trimmed.size() > 1;
        if (!digits)
            return 0;
        throw EGeneralError(Before + std::string(trimmed) + After);
    }
    if (v < 0 || v >= static_cast<int64_t>(kNoId))
        throw EGeneralError(Before + std::string(trimmed) + After);
    return static_cast<uint32_t>(v);
}

bool TextIsOne(const std::string& Text)
{
    return TrimBlanks(Text) == "1";
}

TVec3 Vec3Of(const std::string& Text)
{
    TVec3 v;
    ParseVec3Text(Text, v.X, v.Y, v.Z);
    return v;
}

void ApplyEnvironmentLines(TScene& Scene, const std::vector<std::string>& Lines)
{
    TCinematicEnvironment* env = Scene.Environment;
    if (!env)
        return;
    auto at = [&](size_t p) -> std::string { return p < Lines.size() ? Lines[p] : std::string(); };
    auto real = [&](size_t p, auto setter) {
        float v;
        if (TryTextToFloat(at(p), v))
            setter(v);
    };
    auto boolean = [&](size_t p, bool& field) {
        int32_t v;
        if (TryTextToInt(at(p), v))
            field = v != 0;
    };
    real(0, [&](float v) { env->SetFieldOfView(v); });
    real(1, [&](float v) { env->SetExposure(v); });
    boolean(2, env->VignetteOn);
    {
        const TVec3 t = Vec3Of(at(3));
        env->SetVignetteStrength(t.X);
        env->VignetteRadius = t.Y;
        env->VignetteSoftness = t.Z;
    }
    boolean(4, env->AberrationOn);
    real(5, [&](float v) { env->SetAberrationStrength(v); });
    boolean(6, env->FogOn);
    real(7, [&](float v) { env->SetFogDensity(v); });
    boolean(8, env->UseAtmosphericFogColor);
    env->FogColor = Vec3Of(at(9));
    real(10, [&](float v) { env->SetTimeOfDay(v); });
    boolean(11, env->SkyOn);
    boolean(12, env->SunOn);
    boolean(13, env->MoonOn);
    boolean(14, env->RimLightOn);
    {
        const TVec3 t = Vec3Of(at(15));
        env->SetRimPower(t.X);
        env->SetRimStrength(t.Y);
        env->SetRimLightWrap(t.Z);
    }
    boolean(16, env->CelestialTintOn);
    real(17, [&](float v) { env->SetTintStrength(v); });
    size_t camera = 20;
    if (Scene.LoadVersion >= 5) {
        boolean(18, env->ContactLightingOn);
        const TVec3 t = Vec3Of(at(19));
        env->SetContactRadius(t.X);
        env->SetContactStrength(t.Y);
        env->SetSunShadow(t.Z);
        const TVec3 u = Vec3Of(at(20));
        env->SetColorBleed(u.X);
        env->SetMinimumShade(u.Y);
        // Nearest integer, halves to even (the default rounding mode).
        const double rays = std::clamp<double>(std::nearbyint(static_cast<double>(u.Z)),
                                               -2147483648.0, 2147483647.0);
        env->SetContactRayCount(static_cast<int32_t>(rays));
        camera = 21;
    }
    Scene.CameraPosition = Vec3Of(at(camera));
    const TVec3 yawPitch = Vec3Of(at(camera + 1));
    Scene.CameraYaw = yawPitch.X;
    Scene.CameraPitch = yawPitch.Y;
}

std::string ResolveTexturePath(const std::string& SceneFile, std::string Path)
{
    std::replace(Path.begin(), Path.end(), '\\', '/');
    fs::path p(Path);
    if (p.is_absolute())
        return p.lexically_normal().string();
    const fs::path folder = fs::absolute(fs::path(SceneFile)).parent_path();
    return (folder / p).lexically_normal().string();
}

void ReadTextures(TTextLineSource& File, const std::string& FileName)
{
    const std::string countLine = RequiredLine(File);
    const auto tokens = SplitBlanks(countLine);
    int32_t n = 0;
    if (tokens.empty() || !TryTextToInt(tokens[0], n))
        throw EGeneralError("Malformed scene file: bad texture count \"" + countLine + "\".");
    TTextureManager* textures = CurrentTextureManager;
    if (textures)
        textures->Clear();
    for (int32_t i = 0; i < n; ++i) {
        const std::string entry = RequiredLine(File);
        // Skip the leading position number; the rest of the line is the path.
        std::string_view rest = TrimBlanks(entry);
        size_t k = 0;
        while (k < rest.size() && static_cast<unsigned char>(rest[k]) > 32)
            ++k;
        const std::string path(TrimBlanks(rest.substr(k)));
        if (!textures)
            continue;
        const std::string full = ResolveTexturePath(FileName, path);
        std::error_code ec;
        if (!path.empty() && fs::exists(full, ec))
            textures->ImportFile(full);
        // An entry that cannot be imported keeps its place, so later texture ids and the
        // path written on the next save stay what they were.
        if (textures->Count() < i + 1)
            textures->AddPlaceholder(full);
    }
}

void ReadPalette(TScene& Scene, const std::string& Header, TTextLineSource& File)
{
    int32_t count = 8;
    if (Header.size() > 8) {
        int32_t v;
        if (TryTextToInt(From(Header, 9), v))
            count = v;
    }
    Scene.PaletteCount = std::clamp(count, 0, 8);
    for (int i = 0; i < 8; ++i) {
        std::string line;
        if (!File.ReadLine(line))
            break;
        const std::string_view t = TrimBlanks(line);
        if (t.empty())
            continue;
        const size_t b1 = t.find(' ');
        const std::string_view r =
            b1 == std::string_view::npos ? std::string_view() : t.substr(b1 + 1);
        const size_t b2 = r.find(' ');
        Scene.Palette[i] = {
            RealOrZero(TrimBlanks(t.substr(0, b1))), RealOrZero(TrimBlanks(r.substr(0, b2))),
            RealOrZero(b2 == std::string_view::npos ? std::string_view()
                                                    : TrimBlanks(r.substr(b2 + 1)))};
    }
}

// One vertex or face line, strictly: too few numbers is an error.
void ParseVertexLine(std::string_view Text, int64_t Index, TMeshVertex& V)
{
    std::string_view t[11];
    float f[11];
    bool ok = SplitBlanksInto(Text, t) == 11;
    for (int i = 0; ok && i < 11; ++i)
        ok = TryTextToFloat(t[i], f[i]);
    if (!ok)
        throw EGeneralError("Malformed scene file: bad vertex line " + std::to_string(Index) + ".");
    V.Position = {f[0], f[1], f[2]};
    V.Normal = {f[3], f[4], f[5]};
    V.Color = {f[6], f[7], f[8]};
    V.UV = {f[9], f[10]};
}

void ParseFaceLine(std::string_view Text, int64_t Index, int32_t Version, TMeshData& Mesh)
{
    // Count, four corners, texture id and four UV pairs at the most.
    std::string_view t[14];
    const size_t items = SplitBlanksInto(Text, t);
    auto bad = [&] {
        return EGeneralError("Malformed scene file: bad face line " + std::to_string(Index) + ".");
    };
    int32_t c;
    if (items == 0 || !TryTextToInt(t[0], c))
        throw bad();
    if (c != 3 && c != 4)
        throw EGeneralError("Malformed scene file: face " + std::to_string(Index) + " has " +
                            std::to_string(c) + " corners.");
    const size_t need =
        1 + static_cast<size_t>(c) + 1 + (Version >= 3 ? 2 * static_cast<size_t>(c) : 0);
    if (items < need)
        throw bad();
    TMeshFace f;
    f.Count = c;
    f.Indices = {-1, -1, -1, -1};
    for (int k = 0; k < c; ++k)
        if (!TryTextToInt(t[1 + k], f.Indices[k]))
            throw bad();
    if (!TryTextToInt(t[1 + c], f.TexId))
        throw bad();
    const int64_t v = static_cast<int64_t>(Mesh.Vertices.size());
    for (int k = 0; k < c; ++k) {
        if (Version >= 3) {
            if (!TryTextToFloat(t[2 + c + 2 * k], f.UVs[k].U) ||
                !TryTextToFloat(t[3 + c + 2 * k], f.UVs[k].V))
                throw bad();
        } else if (f.Indices[k] >= 0 && f.Indices[k] < v) {
            f.UVs[k] = Mesh.Vertices[static_cast<size_t>(f.Indices[k])].UV;
        }
    }
    Mesh.Faces.push_back(f);
}

// Returns the first line after the mesh and modifier blocks.
std::string ReadObjectMeshAndModifiers(TScene& Scene, TTextLineSource& File, TSceneObject& Object)
{
    const std::string countLine = RequiredLine(File);
    const auto countTokens = SplitBlanks(countLine);
    int64_t v = 0;
    if (countTokens.empty() || !TryTextToInt64(countTokens[0], v))
        throw EGeneralError("Malformed scene file: bad vertex count \"" + countLine + "\".");
    if (v > 0) {
        auto mesh = std::make_unique<TMeshData>();
        mesh->Vertices.reserve(static_cast<size_t>(std::min(v, kMaxReserve)));
        std::string text;  // one buffer for every vertex and face line
        for (int64_t i = 0; i < v; ++i) {
            TMeshVertex vert;
            ReadRequiredLine(File, text);
            ParseVertexLine(text, i, vert);
            mesh->Vertices.push_back(vert);
        }
        const std::string faceLine = RequiredLine(File);
        const auto faceTokens = SplitBlanks(faceLine);
        int64_t f = 0;
        if (faceTokens.empty() || !TryTextToInt64(faceTokens[0], f) || f < 0)
            throw EGeneralError("Malformed scene file: bad face count \"" + faceLine + "\".");
        mesh->Faces.reserve(static_cast<size_t>(std::min(f, kMaxReserve)));
        for (int64_t i = 0; i < f; ++i) {
            ReadRequiredLine(File, text);
            ParseFaceLine(text, i, Scene.LoadVersion, *mesh);
        }
        std::string message;
        if (!mesh->Validate(message))
            throw EGeneralError("Malformed scene file: " + message);
        mesh->RebuildEdges();
        Object.SetBaseMesh(std::move(mesh));
        Object.MarkMeshDirty();
    }

    std::string line = Line(File);
    if (line.compare(0, 4, "MODS") != 0)
        return line;
    int32_t n = 0;
    {
        int32_t parsed;
        if (TryTextToInt(From(line, 6), parsed))
            n = parsed;
    }
    if (n > 0) {
        TModifierStack& stack = Object.GetModifiers();
        stack.BeginUpdate();
        try {
            for (int32_t i = 0; i < n; ++i) {
                const std::string header = RequiredLine(File);
                std::string typeId;
                if (header.compare(0, 8, "BEGINMOD") == 0) {
                    const std::string tail = From(header, 10);
                    const std::string_view rest = TrimBlanks(tail);
                    typeId = std::string(rest.substr(0, rest.find(' ')));
                } else {
                    typeId = From(header, 6);
                }
                const uint32_t id = ParseDocumentId(From(RequiredLine(File), 4), "Modifier id ",
                                                    " exceeds the Win32 document id range.");
                const std::string enabledLine = RequiredLine(File);
                const bool enabled = enabledLine.size() >= 9 && enabledLine[8] == '1';
                std::vector<std::string> params;
                std::string p;
                while (File.ReadLine(p) && p != "ENDMOD")
                    params.push_back(p);
                std::unique_ptr<TModifier> modifier = CreateModifierByTypeId(typeId);
                if (!modifier)
                    continue;  // a type this build does not know is skipped
                if (id != 0)
                    modifier->SetId(id);
                modifier->SetEnabled(enabled);
                if (!params.empty()) {
                    int32_t index = 0;
                    modifier->LoadParams(params, index);
                }
                Object.AddModifier(std::move(modifier));
                if (id != 0)
                    ReserveModifierId(id);
            }
        } catch (...) {
            stack.EndUpdate();
            throw;
        }
        stack.EndUpdate();
    }
    return Line(File);
}

TPrimitiveType PrimitiveFromFile(int32_t Value)
{
    if (Value < 0 || Value > static_cast<int32_t>(ptGenerated))
        return ptGenerated;
    return static_cast<TPrimitiveType>(Value);
}

TVertexColorBlend BlendFromFile(int32_t Value)
{
    if (Value < 0 || Value > 2)
        return vcbMultiply;
    return static_cast<TVertexColorBlend>(Value);
}

void ReadSceneNodes(TScene& Scene, TTextLineSource& File, int32_t Count)
{
    struct TPendingLink {
        TSceneNode* Node;
        uint32_t ParentId;
    };
    std::vector<TPendingLink> links;
    for (int32_t i = 0; i < Count; ++i) {
        const std::string begin = RequiredLine(File);
        if (begin.compare(0, 9, "BEGINNODE") != 0)
            throw EGeneralError("Malformed scene file: expected BEGINNODE, got \"" + begin + "\".");
        const uint32_t id = ParseDocumentId(From(RequiredLine(File), 4), "Node id ",
                                            " exceeds the Win32 document id range.");
        const std::string type(TrimBlanks(From(RequiredLine(File), 6)));
        const uint32_t parentId = ParseDocumentId(From(RequiredLine(File), 8), "Parent id ",
                                                  " exceeds the Win32 document id range.");
        const std::string name = From(RequiredLine(File), 6);
        const TVec3 pos = Vec3Of(From(RequiredLine(File), 5));
        const TVec3 rot = Vec3Of(From(RequiredLine(File), 5));
        const TVec3 scl = Vec3Of(From(RequiredLine(File), 5));
        const bool visible = TextIsOne(From(RequiredLine(File), 5));
        const bool locked = TextIsOne(From(RequiredLine(File), 6));

        if (Scene.FindNodeById(id) || id == 0)
            throw EGeneralError("Duplicate node id " + std::to_string(id) + " in scene file.");
        if (type != "group" && type != "object")
            throw EGeneralError("Unsupported node type \"" + type + "\" in scene file.");

        TSceneNode* node;
        if (type == "group") {
            auto group = std::make_unique<TSceneGroup>(id);
            node = group.get();
            Scene.RegisterNode(group.release());
            if (RequiredLine(File) != "ENDNODE")
                throw EGeneralError("Malformed scene file: missing ENDNODE.");
        } else {
            const TPrimitiveType prim =
                PrimitiveFromFile(IntOr(TrimBlanks(From(RequiredLine(File), 6)), 0));
            TSceneObject* object = Scene.AddPrimitive(prim);
            node = object;
            object->Color = Vec3Of(From(RequiredLine(File), 7));
            object->TexId = IntOr(TrimBlanks(From(RequiredLine(File), 7)), 0);
            object->Blend = BlendFromFile(IntOr(TrimBlanks(From(RequiredLine(File), 7)), 0));
            object->Selected = TextIsOne(From(RequiredLine(File), 5));
            if (ReadObjectMeshAndModifiers(Scene, File, *object) != "ENDNODE")
                throw EGeneralError("Malformed scene file: missing ENDNODE.");
            if (object->PrimType == ptTerrain)
                RebuildHeightmapFromTerrainMesh(*object);
        }
        node->Name = name;
        node->SetTransform(pos, rot, scl);
        node->SetVisible(visible);
        node->SetLocked(locked);
        if (node->GetId() != id) {
            Scene.UnregisterNode(node);
            node->SetId(id);
            Scene.RegisterNode(node);
        }
        ReserveSceneNodeId(id);
        links.push_back({node, parentId});
    }

    TSceneNode* root = Scene.GetRoot();
    for (const TPendingLink& link : links) {
        TSceneNode* parent = link.ParentId != 0 ? Scene.FindNodeById(link.ParentId) : nullptr;
        if (!parent)
            parent = root;
        if (parent == link.Node)
            throw EGeneralError("Self-parenting node \"" + link.Node->Name + "\" in scene file.");
        if (parent != root && link.Node->IsAncestorOf(parent))
            throw EGeneralError("Circular hierarchy in scene file at node \"" + link.Node->Name +
                                "\".");
        if (link.Node->GetParent() != parent) {
            if (link.Node->GetParent())
                Scene.UnlinkFromParent(link.Node);
            Scene.LinkToParent(link.Node, parent, parent->ChildCount());
        }
        link.Node->MarkSubtreeWorldDirty();
    }
}

// One object of the layout without a hierarchy; returns the line after it.
std::string ReadLegacySceneObject(TScene& Scene, TTextLineSource& File,
                                  const std::string& PendingLine)
{
    const std::string name = PendingLine.empty() ? RequiredLine(File) : PendingLine;
    const TPrimitiveType prim = PrimitiveFromFile(IntOr(TrimBlanks(RequiredLine(File)), 0));
    TSceneObject* object = Scene.AddPrimitive(prim);
    object->Name = name;
    object->SetPosition(Vec3Of(RequiredLine(File)));
    const TVec3 rot = Vec3Of(RequiredLine(File));
    object->SetRotationX(rot.X);
    object->SetRotationY(rot.Y);
    object->SetRotationZ(rot.Z);
    const TVec3 scl = Vec3Of(RequiredLine(File));
    object->SetScaleX(scl.X);
    object->SetScaleY(scl.Y);
    object->SetScaleZ(scl.Z);
    object->Color = Vec3Of(RequiredLine(File));
    const std::string flags = RequiredLine(File);
    int32_t visible;
    if (TryTextToInt(flags, visible)) {
        object->SetVisible(visible != 0);
        object->TexId = IntOr(TrimBlanks(RequiredLine(File)), 0);
        object->Selected = IntOr(TrimBlanks(RequiredLine(File)), 0) != 0;
    } else {
        object->SetVisible(true);
        object->TexId = 0;
        std::string upper(TrimBlanks(flags));
        for (char& c : upper)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        object->Selected = upper == "TRUE" || upper == "-1";
    }
    std::string next = ReadObjectMeshAndModifiers(Scene, File, *object);
    if (object->PrimType == ptTerrain)
        RebuildHeightmapFromTerrainMesh(*object);
    return next;
}
}  // namespace

void ParseVec3Text(const std::string& Text, float& X, float& Y, float& Z)
{
    std::vector<std::string> items;
    size_t i = 0;
    while (i < Text.size() && items.size() < 3) {
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) <= 32)
            ++i;
        if (i >= Text.size())
            break;
        std::string item;
        if (Text[i] == '"') {
            const size_t close = Text.find('"', i + 1);
            const size_t end = close == std::string::npos ? Text.size() : close;
            item = Text.substr(i + 1, end - i - 1);
            i = close == std::string::npos ? Text.size() : close + 1;
        } else {
            const size_t start = i;
            while (i < Text.size() && static_cast<unsigned char>(Text[i]) > 32)
                ++i;
            item = Text.substr(start, i - start);
        }
        items.push_back(item);
    }
    auto value = [&](size_t k) {
        return k < items.size() ? RealOrZero(TrimBlanks(items[k])) : 0.0f;
    };
    X = value(0);
    Y = value(1);
    Z = value(2);
}

bool RebuildHeightmapFromTerrainMesh(TSceneObject& Object)
{
    const TMeshData* mesh = Object.GetBaseMesh();
    if (!mesh)
        return false;
    const size_t count = mesh->Vertices.size();
    int n = 1;
    while (static_cast<size_t>(n) * static_cast<size_t>(n) < count)
        n *= 2;
    if (n < THeightmap::MinResolution || n > THeightmap::MaxResolution ||
        static_cast<size_t>(n) * static_cast<size_t>(n) != count ||
        mesh->Faces.size() != static_cast<size_t>(n - 1) * static_cast<size_t>(n - 1))
        return false;
    // The builder lays vertex (x, y) at index y * n + x on a square of side Size centred on
    // the origin; check that, and read the height scale from the heights' spread.
    const float minX = mesh->Vertices.front().Position.X;
    const float maxX = mesh->Vertices[static_cast<size_t>(n - 1)].Position.X;
    const float size = maxX - minX;
    if (!(size > 0) || !std::isfinite(size))
        return false;
    const float spacing = size / static_cast<float>(n - 1);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const TVec3& p = mesh->Vertices[static_cast<size_t>(y) * n + x].Position;
            if (std::fabs(p.X - (minX + spacing * x)) > spacing * 0.01f ||
                std::fabs(p.Z - (minX + spacing * y)) > spacing * 0.01f || !std::isfinite(p.Y))
                return false;
        }
    float top = 0;
    for (const TMeshVertex& v : mesh->Vertices)
        top = std::max(top, std::fabs(v.Position.Y));
    // Heights are kept in 0..1 where the terrain tools expect them; the scale follows.
    const float scale = top > 0 ? top : (Object.TerrainHeight > 0 ? Object.TerrainHeight : 0.6f);
    auto map = std::make_unique<THeightmap>(n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x)
            map->Put(x, y, mesh->Vertices[static_cast<size_t>(y) * n + x].Position.Y / scale);
    Object.SetHeightmap(std::move(map));
    Object.TerrainSize = size;
    Object.TerrainHeight = scale;
    return true;
}

void ReadSceneLines(TScene& Scene, TTextLineSource& File, const std::string& FileName,
                    TAnimationDocument* Animation, TFloorPlanDocument* FloorPlans)
{
    Scene.Clear();
    BeginInvariantDecimal();
    try {
        if (Line(File) != kSceneFileHeader)
            throw EGeneralError(std::string("Not a valid Quillstone scene file (bad header).") +
                                kCrLf + "Path: " + FileName);
        std::string line = Line(File);
        Scene.LoadVersion = 1;
        if (line.compare(0, 8, "VERSION ") == 0) {
            const int32_t version = IntOr(TrimBlanks(From(line, 9)), 0);
            if (version > kSceneFileVersion)
                throw EGeneralError(
                    "Cannot open this scene: it was saved with a newer file format (v" +
                    std::to_string(version) + ") than this build of Quillstone supports (v" +
                    std::to_string(kSceneFileVersion) + ")." + kCrLf +
                    "Please update to the latest version.");
            if (version < 1)
                throw EGeneralError("Cannot open this scene: the file format (v" +
                                    std::to_string(version) +
                                    ") is too old and no longer supported.");
            Scene.LoadVersion = version;
            line = Line(File);
        }
        if (line == "ENV") {
            std::vector<std::string> env;
            line.clear();
            std::string next;
            while (File.ReadLine(next)) {
                if (next == "TEX" || next == "NOTEX") {
                    line = next;
                    break;
                }
                env.push_back(next);
            }
            ApplyEnvironmentLines(Scene, env);
        } else if (line == "NOENV") {
            line = Line(File);
        }
        int32_t legacyCount = 0;
        if (line == "TEX") {
            ReadTextures(File, FileName);
            line = Line(File);
        } else if (line == "NOTEX") {
            line = Line(File);
        } else {
            legacyCount = IntOr(TrimBlanks(line), 0);
            line.clear();
        }
        if (line.compare(0, 7, "PALETTE") == 0) {
            ReadPalette(Scene, line, File);
            line = Line(File);
        }
        if (line == "BEGIN_FLOOR_PLANS") {
            if (FloorPlans) {
                LoadFloorPlanSection(*FloorPlans, File);
            } else {
                TFloorPlanDocument discard;
                LoadFloorPlanSection(discard, File);
            }
            line = Line(File);
        }
        if (line.compare(0, 5, "NODES") == 0) {
            ReadSceneNodes(Scene, File, IntOr(TrimBlanks(From(line, 6)), 0));
        } else {
            const int32_t count = line.empty() ? legacyCount : IntOr(TrimBlanks(line), 0);
            std::string pending;
            for (int32_t i = 0; i < count; ++i)
                pending = ReadLegacySceneObject(Scene, File, pending);
        }
        if (Animation) {
            Animation->ClearClips();
            if (!File.AtEnd())
                LoadAnimationSection(*Animation, File);
        }
    } catch (...) {
        EndInvariantDecimal();
        throw;
    }
    EndInvariantDecimal();
}

void ReadSceneFile(TScene& Scene, const std::string& FileName, TAnimationDocument* Animation,
                   TFloorPlanDocument* FloorPlans)
{
    TTextFileReader file(FileName);
    ReadSceneLines(Scene, file, FileName, Animation, FloorPlans);
}

void LoadSceneFileTransactional(TScene& Scene, const std::string& FileName,
                                TAnimationDocument* Animation, TFloorPlanDocument* FloorPlans)
{
    TTextureManager* remembered = CurrentTextureManager;
    std::unique_ptr<TTextureManager> stagingTextures;
    if (remembered) {
        stagingTextures = std::make_unique<TTextureManager>(remembered->GetGpu());
        CurrentTextureManager = stagingTextures.get();
    }
    auto stagingEnvironment = std::make_unique<TCinematicEnvironment>();
    auto stagingScene = std::make_unique<TScene>();
    stagingScene->Environment = stagingEnvironment.get();
    std::unique_ptr<TAnimationDocument> stagingAnimation;
    if (Animation)
        stagingAnimation = std::make_unique<TAnimationDocument>();
    std::unique_ptr<TFloorPlanDocument> stagingFloorPlans;
    if (FloorPlans)
        stagingFloorPlans = std::make_unique<TFloorPlanDocument>();

    try {
        ReadSceneFile(*stagingScene, FileName, stagingAnimation.get(), stagingFloorPlans.get());
        std::string messages;
        if (!stagingScene->ValidateHierarchy(messages))
            throw EGeneralError(std::string("Invalid scene file:") + kCrLf + messages);
    } catch (...) {
        CurrentTextureManager = remembered;
        stagingScene->Environment = nullptr;
        throw;
    }
    // Commit: nothing below raises.
    if (remembered) {
        remembered->SwapContents(stagingTextures.get());
        CurrentTextureManager = remembered;
    }
    if (Scene.Environment)
        Scene.Environment->Assign(stagingEnvironment.get());
    Scene.SwapContents(*stagingScene);
    if (Animation)
        Animation->Assign(stagingAnimation.get());
    if (FloorPlans)
        FloorPlans->Assign(stagingFloorPlans.get());
    stagingScene->Environment = nullptr;
    // The staging objects now hold the old contents and are freed here: registry first.
    stagingTextures.reset();
}

void LoadSceneFromFile(TScene& Scene, const std::string& FileName, TAnimationDocument* Animation,
                       TFloorPlanDocument* FloorPlans)
{
    if (!Animation)
        throw EGeneralError("Animation document is nil");
    LoadSceneFileTransactional(Scene, FileName, Animation, FloorPlans);
}
