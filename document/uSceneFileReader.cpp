#include "document/uSceneFileReader.h"

#include "base/uDocumentIds.h"
#include "base/uErrors.h"
#include "base/uHugePages.h"
#include "base/uMesh.h"
#include "base/uNumberText.h"
#include "base/uTextFile.h"
#include "document/uLoadBudget.h"
#include "document/uSceneFile.h"
#include "floorplan/uFloorPlanDocument.h"
#include "floorplan/uFloorPlanFile.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"
#include "scene/uAnimationDocument.h"
#include "scene/uCinematicEnvironment.h"
#include "scene/uScene.h"
#include "scene/uSceneObject.h"
#include "scene/uTextures.h"
#include "terrain/uHeightmap.h"
#include "terrain/uTerrainMesh.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace fs = std::filesystem;

namespace {
constexpr const char* kCrLf = "\r\n";

// Reads a fresh vertex array no larger than this before any line proves it exists.
constexpr int64_t kMaxReserve = 1000000;

// The environment block's lines that carry values (23 from version 5 on).
constexpr size_t kEnvironmentLines = 23;

// More parameter lines than any modifier writes; a block with more is not one this
// program wrote, and holding them all would cost memory in proportion to the file.
constexpr size_t kMaxModifierParamLines = 1024;

// What one read has built and reserved so far. Objects without a stored mesh get their
// primitive built, so a short line can stand for a large mesh; the total of such built
// geometry in one file is held to the evaluator's output limits.
struct TReadState {
    int64_t BuiltVertices = 0;
    int64_t BuiltFaces = 0;
    // Modifier ids are reserved once the nodes are read: creating a modifier takes a
    // fresh id, which an early reservation near the top of the range would refuse.
    uint32_t LargestModifierId = 0;
    // Ids the file's modifiers hold so far, and the modifiers that hold none of their own
    // (ID 0, or an id an earlier modifier of the file has): they get fresh ids past the
    // file's largest once every id is known, so no two modifiers share one.
    std::unordered_set<uint32_t> ModifierIds;
    std::vector<TModifier*> WithoutOwnId;
};

void CountBuiltGeometry(TReadState& State, int64_t Vertices, int64_t Faces)
{
    State.BuiltVertices += Vertices;
    State.BuiltFaces += Faces;
    if (State.BuiltVertices > kDefaultEvalLimit || State.BuiltFaces > kDefaultEvalLimit)
        throw EGeneralError("Cannot open this scene: its objects without stored meshes would "
                            "build more than " +
                            std::to_string(kDefaultEvalLimit) + " vertices or faces.");
}

std::string Line(TTextLineSource& File)
{
    std::string s;
    File.ReadLine(s);
    return s;
}

// A line that must exist: the file ending here is malformed.
std::string RequiredLine(TTextLineSource& File)
{
    std::string s;
    if (!File.ReadLine(s))
        throw EGeneralError("Malformed scene file: unexpected end of file.");
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
uint32_t ParseDocumentId(std::string_view Text, const char* Before, const char* After)
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
        throw EGeneralError(std::string(Before) + TextExcerpt(trimmed) + After);
    }
    if (v < 0 || v >= static_cast<int64_t>(kNoId))
        throw EGeneralError(std::string(Before) + TextExcerpt(trimmed) + After);
    return static_cast<uint32_t>(v);
}

bool TextIsOne(std::string_view Text)
{
    return TrimBlanks(Text) == "1";
}

// ParseVec3Text without copies.
void ParseVec3View(std::string_view Text, float& X, float& Y, float& Z)
{
    std::string_view items[3];
    size_t count = 0;
    size_t i = 0;
    while (i < Text.size() && count < 3) {
        while (i < Text.size() && static_cast<unsigned char>(Text[i]) <= 32)
            ++i;
        if (i >= Text.size())
            break;
        if (Text[i] == '"') {
            const size_t close = Text.find('"', i + 1);
            const size_t end = close == std::string_view::npos ? Text.size() : close;
            items[count++] = Text.substr(i + 1, end - i - 1);
            i = close == std::string_view::npos ? Text.size() : close + 1;
        } else {
            const size_t start = i;
            while (i < Text.size() && static_cast<unsigned char>(Text[i]) > 32)
                ++i;
            items[count++] = Text.substr(start, i - start);
        }
    }
    auto value = [&](size_t k) { return k < count ? RealOrZero(TrimBlanks(items[k])) : 0.0f; };
    X = value(0);
    Y = value(1);
    Z = value(2);
}

TVec3 Vec3Of(std::string_view Text)
{
    TVec3 v;
    ParseVec3View(Text, v.X, v.Y, v.Z);
    return v;
}

std::string_view FromView(std::string_view Text, size_t OneBasedChar)
{
    return Text.size() >= OneBasedChar ? Text.substr(OneBasedChar - 1) : std::string_view();
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

// The first few lines of a validation report, each cut short: a file of many nodes
// with long names would otherwise make a message of megabytes.
std::string FirstMessages(const std::string& Report)
{
    constexpr size_t kLines = 10;
    std::string out;
    size_t shown = 0, total = 0, pos = 0;
    while (pos < Report.size()) {
        size_t end = Report.find(kCrLf, pos);
        if (end == std::string::npos)
            end = Report.size();
        if (end > pos) {
            ++total;
            if (shown < kLines) {
                if (shown++ > 0)
                    out += kCrLf;
                out += TextExcerpt(std::string_view(Report).substr(pos, end - pos), 160);
            }
        }
        pos = end + 2;
    }
    if (total > shown)
        out += kCrLf + ("... and " + std::to_string(total - shown) + " more.");
    return out;
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
        throw EGeneralError("Malformed scene file: bad texture count \"" + TextExcerpt(countLine) +
                            "\".");
    TTextureManager* textures = CurrentTextureManager;
    if (textures)
        textures->Clear();
    for (int32_t i = 0; i < n; ++i) {
        const std::string entry = RequiredLine(File);
        // Skip the leading position number and the one blank the writer puts after it;
        // the rest of the line is the path as written, since a file name may start or end
        // with a blank. A hand-written line with more blanks is read trimmed.
        size_t k = 0;
        while (k < entry.size() && static_cast<unsigned char>(entry[k]) <= 32)
            ++k;
        while (k < entry.size() && static_cast<unsigned char>(entry[k]) > 32)
            ++k;
        if (k < entry.size() && entry[k] == ' ')
            ++k;
        const std::string path = entry.substr(k);
        if (!textures)
            continue;
        std::string full = ResolveTexturePath(FileName, path);
        std::error_code ec;
        // Only regular files: a name in the file must not make the load read a device or
        // wait on a pipe.
        const std::string trimmed(TrimBlanks(path));
        if (!fs::is_regular_file(full, ec) && trimmed != path && !trimmed.empty() &&
            fs::is_regular_file(ResolveTexturePath(FileName, trimmed), ec))
            full = ResolveTexturePath(FileName, trimmed);
        if (!path.empty() && fs::is_regular_file(full, ec))
            textures->ImportForLoad(full);
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

// A line that must exist, as a view valid until the next read.
std::string_view RequiredView(TTextLineSource& File)
{
    std::string_view line;
    if (!File.ReadLineView(line))
        throw EGeneralError("Malformed scene file: unexpected end of file.");
    return line;
}

// One vertex or face line, strictly: too few numbers is an error; more are ignored.
void ParseVertexLine(std::string_view Text, int64_t Index, TMeshVertex& V)
{
    size_t pos = 0;
    float f[11];
    for (float& value : f)
        if (!NextLineFloat(Text, pos, value))
            throw EGeneralError("Malformed scene file: bad vertex line " + std::to_string(Index) +
                                ".");
    V.Position = {f[0], f[1], f[2]};
    V.Normal = {f[3], f[4], f[5]};
    V.Color = {f[6], f[7], f[8]};
    V.UV = {f[9], f[10]};
}

void ParseFaceLine(std::string_view Text, int64_t Index, int32_t Version, TMeshData& Mesh)
{
    size_t pos = 0;
    auto bad = [&] {
        return EGeneralError("Malformed scene file: bad face line " + std::to_string(Index) + ".");
    };
    int32_t c;
    if (!NextLineInt(Text, pos, c))
        throw bad();
    if (c != 3 && c != 4)
        throw EGeneralError("Malformed scene file: face " + std::to_string(Index) + " has " +
                            std::to_string(c) + " corners.");
    TMeshFace f;
    f.Count = c;
    f.Indices = {-1, -1, -1, -1};
    for (int k = 0; k < c; ++k)
        if (!NextLineInt(Text, pos, f.Indices[k]))
            throw bad();
    if (!NextLineInt(Text, pos, f.TexId))
        throw bad();
    const int64_t v = static_cast<int64_t>(Mesh.Vertices.size());
    for (int k = 0; k < c; ++k) {
        if (Version >= 3) {
            if (!NextLineFloat(Text, pos, f.UVs[k].U) || !NextLineFloat(Text, pos, f.UVs[k].V))
                throw bad();
        } else if (f.Indices[k] >= 0 && f.Indices[k] < v) {
            f.UVs[k] = Mesh.Vertices[static_cast<size_t>(f.Indices[k])].UV;
        }
    }
    Mesh.Faces.push_back(f);
}

// Room for Count items of at least MinLineBytes each, as far as the rest of the input
// can hold them; the array then never grows past what the file really has.
template <class T>
void ReserveLines(std::vector<T>& Items, int64_t Count, const TTextLineSource& File,
                  uint64_t MinLineBytes)
{
    uint64_t cap = static_cast<uint64_t>(kMaxReserve);
    if (const auto rest = File.RemainingBytes())
        cap = *rest / MinLineBytes + 1;
    Items.reserve(static_cast<size_t>(std::min<uint64_t>(static_cast<uint64_t>(Count), cap)));
    AdviseHugePages(Items.data(), Items.capacity() * sizeof(T));
}

// Reads the mesh block into StoredMesh (none when the block holds no vertices; its edges
// are built once, when the object takes it) and the modifier block into Object's stack;
// returns the first line after them.
std::string ReadObjectMeshAndModifiers(TScene& Scene, TTextLineSource& File, TSceneObject& Object,
                                       TReadState& State, std::unique_ptr<TMeshData>& StoredMesh)
{
    const std::string countLine = RequiredLine(File);
    const auto countTokens = SplitBlanks(countLine);
    int64_t v = 0;
    if (countTokens.empty() || !TryTextToInt64(countTokens[0], v))
        throw EGeneralError("Malformed scene file: bad vertex count \"" + TextExcerpt(countLine) +
                            "\".");
    if (v > 0) {
        auto mesh = std::make_unique<TMeshData>();
        // Eleven numbers and their blanks: at least 22 bytes a line.
        ReserveLines(mesh->Vertices, v, File, 22);
        for (int64_t i = 0; i < v; ++i) {
            TMeshVertex vert;
            ParseVertexLine(RequiredView(File), i, vert);
            mesh->Vertices.push_back(vert);
        }
        const std::string faceLine = RequiredLine(File);
        const auto faceTokens = SplitBlanks(faceLine);
        int64_t f = 0;
        if (faceTokens.empty() || !TryTextToInt64(faceTokens[0], f) || f < 0)
            throw EGeneralError("Malformed scene file: bad face count \"" + TextExcerpt(faceLine) +
                                "\".");
        // "3 0 1 2 0" and its line end: at least 10 bytes a line.
        ReserveLines(mesh->Faces, f, File, 10);
        for (int64_t i = 0; i < f; ++i)
            ParseFaceLine(RequiredView(File), i, Scene.LoadVersion, *mesh);
        std::string message;
        if (!mesh->Validate(message))
            throw EGeneralError("Malformed scene file: " + message);
        StoredMesh = std::move(mesh);
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
                const uint32_t id = ParseDocumentId(FromView(RequiredView(File), 4), "Modifier id ",
                                                    " exceeds the Win32 document id range.");
                const std::string enabledLine = RequiredLine(File);
                const bool enabled = enabledLine.size() >= 9 && enabledLine[8] == '1';
                std::vector<std::string> params;
                std::string p;
                while (File.ReadLine(p) && p != "ENDMOD") {
                    if (params.size() == kMaxModifierParamLines)
                        throw EGeneralError("Malformed scene file: modifier \"" +
                                            TextExcerpt(typeId) + "\" has more than " +
                                            std::to_string(kMaxModifierParamLines) +
                                            " parameter lines.");
                    params.push_back(p);
                }
                std::unique_ptr<TModifier> modifier = CreateModifierByTypeId(typeId);
                if (!modifier)
                    continue;  // a type this build does not know is skipped
                if (id != 0 && State.ModifierIds.insert(id).second)
                    modifier->SetId(id);
                else
                    State.WithoutOwnId.push_back(modifier.get());
                modifier->SetEnabled(enabled);
                if (!params.empty()) {
                    int32_t index = 0;
                    modifier->LoadParams(params, index);
                }
                Object.AddModifier(std::move(modifier));
                State.LargestModifierId = std::max(State.LargestModifierId, id);
            }
        } catch (...) {
            stack.EndUpdate();
            throw;
        }
        stack.EndUpdate();
    }
    return Line(File);
}

// Ids past the file's largest; a file that holds the top of the range takes the lowest
// ids it does not hold instead.
void GiveFreshModifierIds(TReadState& State)
{
    uint32_t next = State.LargestModifierId;
    uint32_t low = 0;
    for (TModifier* modifier : State.WithoutOwnId) {
        if (next < kNoId - 1) {
            modifier->SetId(++next);
            continue;
        }
        do
            ++low;
        while (State.ModifierIds.contains(low));
        modifier->SetId(low);
    }
    ReserveModifierId(next);
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

constexpr TVec3 kNewObjectColor{0.7f, 0.7f, 0.75f};

// A registered, unlinked object of the file with the defaults of a new primitive (its
// name numbered like one) and no mesh yet. It takes the file's id, so reading allocates
// no node id.
TSceneObject* NewFileObject(TScene& Scene, TPrimitiveType Prim, uint32_t Id)
{
    auto object = std::make_unique<TSceneObject>(Id);
    object->PrimType = Prim;
    object->Color = kNewObjectColor;
    object->DisplayColor = RandomDisplayColor();
    object->Name = PrimitiveTypeName(Prim) + " " + std::to_string(NextPrimitiveNumber());
    TSceneObject* o = object.release();
    Scene.RegisterNode(o);
    return o;
}

// The object's base mesh: the stored one, or the primitive's own (coloured as a new
// primitive is) when the file stores none; a terrain gets its heightmap back from a
// stored grid, or the flat default beside any other stored mesh.
void FinishObjectMesh(TSceneObject& Object, std::unique_ptr<TMeshData> StoredMesh,
                      TReadState& State)
{
    if (!StoredMesh) {
        const TVec3 color = Object.Color;
        Object.Color = kNewObjectColor;
        Object.RebuildPrimitiveMesh();
        Object.Color = color;
        const TMeshData* built = Object.GetBaseMesh();
        CountBuiltGeometry(State, built ? static_cast<int64_t>(built->Vertices.size()) : 0,
                           built ? static_cast<int64_t>(built->Faces.size()) : 0);
        if (Object.PrimType == ptTerrain)
            RebuildHeightmapFromTerrainMesh(Object);
        return;
    }
    Object.SetBaseMesh(std::move(StoredMesh));
    Object.MarkMeshDirty();
    if (Object.PrimType != ptTerrain || RebuildHeightmapFromTerrainMesh(Object))
        return;
    // Not a terrain grid: the flat heightmap and sizes a new terrain primitive has.
    constexpr int kResolution = 128;
    CountBuiltGeometry(State, int64_t{kResolution} * kResolution, 0);
    auto map = std::make_unique<THeightmap>(kResolution);
    map->Flatten();
    Object.SetHeightmap(std::move(map));
    Object.TerrainSize = kDefaultTerrainSize;
    Object.TerrainHeight = kDefaultTerrainHeight;
}

struct TFileNode {
    TSceneNode* Node;
    uint32_t ParentId;
    bool IsObject;
};

// Links the nodes read under their parents (the root for parent 0 or an id the file
// does not hold). Objects under the root come first, then groups under the root, each
// in file order; every other parent keeps its children in file order. A parent cycle
// is refused naming the node whose link would close it first in file order. Linear in
// the number of nodes, however deep the hierarchy.
void LinkFileNodes(TScene& Scene, const std::vector<TFileNode>& Nodes)
{
    const size_t n = Nodes.size();
    std::unordered_map<uint32_t, int64_t> indexOf;
    indexOf.reserve(n);
    for (size_t i = 0; i < n; ++i)
        indexOf.emplace(Nodes[i].Node->GetId(), static_cast<int64_t>(i));
    std::vector<int64_t> parent(n, -1);
    for (size_t i = 0; i < n; ++i)
        if (Nodes[i].ParentId != 0)
            if (auto it = indexOf.find(Nodes[i].ParentId); it != indexOf.end())
                parent[i] = it->second;

    // Cycles: each node has one parent, so each node lies on at most one cycle. Linking
    // in file order would meet a cycle at its last member; the first such member wins.
    enum : uint8_t { kUnseen, kOnWalk, kDone };
    std::vector<uint8_t> mark(n, kUnseen);
    int64_t firstClosing = -1;
    std::vector<int64_t> walk;
    for (size_t start = 0; start < n; ++start) {
        walk.clear();
        int64_t k = static_cast<int64_t>(start);
        while (k >= 0 && mark[k] == kUnseen) {
            mark[k] = kOnWalk;
            walk.push_back(k);
            k = parent[k];
        }
        if (k >= 0 && mark[k] == kOnWalk) {
            int64_t last = k;
            for (int64_t c = parent[k]; c != k; c = parent[c])
                last = std::max(last, c);
            if (firstClosing < 0 || last < firstClosing)
                firstClosing = last;
        }
        for (int64_t w : walk)
            mark[w] = kDone;
    }
    if (firstClosing >= 0) {
        const TSceneNode* node = Nodes[firstClosing].Node;
        if (parent[firstClosing] == firstClosing)
            throw EGeneralError("Self-parenting node \"" + TextExcerpt(node->Name) +
                                "\" in scene file.");
        throw EGeneralError("Circular hierarchy in scene file at node \"" +
                            TextExcerpt(node->Name) + "\".");
    }

    // Depth below the root, then link the deepest first: each parent is still unlinked
    // when its children join it, so no link walks a long chain of ancestors.
    std::vector<int64_t> depth(n, 0);
    int64_t deepest = 0;
    for (size_t start = 0; start < n; ++start) {
        walk.clear();
        int64_t k = static_cast<int64_t>(start);
        while (k >= 0 && depth[k] == 0) {
            walk.push_back(k);
            k = parent[k];
        }
        int64_t d = k >= 0 ? depth[k] : 0;
        for (auto it = walk.rbegin(); it != walk.rend(); ++it)
            depth[*it] = ++d;
        deepest = std::max(deepest, d);
    }
    std::vector<std::vector<int64_t>> levels(static_cast<size_t>(deepest) + 1);
    for (size_t i = 0; i < n; ++i)
        if (depth[i] > 1 || Nodes[i].IsObject)
            levels[static_cast<size_t>(depth[i])].push_back(static_cast<int64_t>(i));
    for (size_t i = 0; i < n; ++i)
        if (depth[i] == 1 && !Nodes[i].IsObject)
            levels[1].push_back(static_cast<int64_t>(i));
    TSceneNode* root = Scene.GetRoot();
    for (size_t level = levels.size(); level-- > 1;)
        for (int64_t i : levels[level]) {
            TSceneNode* to = parent[i] >= 0 ? Nodes[parent[i]].Node : root;
            Scene.LinkToParent(Nodes[i].Node, to, to->ChildCount());
        }
}

void ReadSceneNodes(TScene& Scene, TTextLineSource& File, int32_t Count, TReadState& State)
{
    std::vector<TFileNode> nodes;
    // A node block is a dozen lines: the rest of the file bounds what a count can reserve.
    ReserveLines(nodes, std::max(Count, 0), File, 64);
    for (int32_t i = 0; i < Count; ++i) {
        const std::string_view begin = RequiredView(File);
        if (begin.substr(0, 9) != "BEGINNODE")
            throw EGeneralError("Malformed scene file: expected BEGINNODE, got \"" +
                                TextExcerpt(begin) + "\".");
        const uint32_t id = ParseDocumentId(FromView(RequiredView(File), 4), "Node id ",
                                            " exceeds the Win32 document id range.");
        const std::string type(TrimBlanks(FromView(RequiredView(File), 6)));
        const uint32_t parentId = ParseDocumentId(FromView(RequiredView(File), 8), "Parent id ",
                                                  " exceeds the Win32 document id range.");
        const std::string name(FromView(RequiredView(File), 6));
        const TVec3 pos = Vec3Of(FromView(RequiredView(File), 5));
        const TVec3 rot = Vec3Of(FromView(RequiredView(File), 5));
        const TVec3 scl = Vec3Of(FromView(RequiredView(File), 5));
        const bool visible = TextIsOne(FromView(RequiredView(File), 5));
        const bool locked = TextIsOne(FromView(RequiredView(File), 6));

        if (Scene.FindNodeById(id) || id == 0)
            throw EGeneralError("Duplicate node id " + std::to_string(id) + " in scene file.");
        if (type != "group" && type != "object")
            throw EGeneralError("Unsupported node type \"" + TextExcerpt(type) +
                                "\" in scene file.");

        TSceneNode* node;
        if (type == "group") {
            auto group = std::make_unique<TSceneGroup>(id);
            node = group.get();
            Scene.RegisterNode(group.release());
            if (RequiredView(File) != "ENDNODE")
                throw EGeneralError("Malformed scene file: missing ENDNODE.");
        } else {
            const TPrimitiveType prim =
                PrimitiveFromFile(IntOr(TrimBlanks(FromView(RequiredView(File), 6)), 0));
            TSceneObject* object = NewFileObject(Scene, prim, id);
            node = object;
            object->Color = Vec3Of(FromView(RequiredView(File), 7));
            object->TexId = IntOr(TrimBlanks(FromView(RequiredView(File), 7)), 0);
            object->Blend = BlendFromFile(IntOr(TrimBlanks(FromView(RequiredView(File), 7)), 0));
            object->Selected = TextIsOne(FromView(RequiredView(File), 5));
            std::unique_ptr<TMeshData> stored;
            if (ReadObjectMeshAndModifiers(Scene, File, *object, State, stored) != "ENDNODE")
                throw EGeneralError("Malformed scene file: missing ENDNODE.");
            FinishObjectMesh(*object, std::move(stored), State);
        }
        node->Name = name;
        node->SetTransform(pos, rot, scl);
        node->SetVisible(visible);
        node->SetLocked(locked);
        ReserveSceneNodeId(id);
        nodes.push_back({node, parentId, type == "object"});
    }
    LinkFileNodes(Scene, nodes);
}

// One object of the layout without a hierarchy; returns the line after it.
std::string ReadLegacySceneObject(TScene& Scene, TTextLineSource& File,
                                  const std::string& PendingLine, TReadState& State)
{
    const std::string name = PendingLine.empty() ? RequiredLine(File) : PendingLine;
    const TPrimitiveType prim = PrimitiveFromFile(IntOr(TrimBlanks(RequiredLine(File)), 0));
    TSceneObject* object = NewFileObject(Scene, prim, kNoId);
    Scene.LinkToParent(object, Scene.GetRoot(), Scene.GetRoot()->ChildCount());
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
    std::unique_ptr<TMeshData> stored;
    std::string next = ReadObjectMeshAndModifiers(Scene, File, *object, State, stored);
    FinishObjectMesh(*object, std::move(stored), State);
    return next;
}
}  // namespace

void ParseVec3Text(const std::string& Text, float& X, float& Y, float& Z)
{
    ParseVec3View(Text, X, Y, Z);
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
    // the origin; check that. A grid the default size makes exactly keeps that size.
    const float minX = mesh->Vertices.front().Position.X;
    const float maxX = mesh->Vertices[static_cast<size_t>(n - 1)].Position.X;
    const float measured = maxX - minX;
    if (!(measured > 0) || !std::isfinite(measured))
        return false;
    const float spacing = measured / static_cast<float>(n - 1);
    bool defaultGrid = true;
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            const TVec3& p = mesh->Vertices[static_cast<size_t>(y) * n + x].Position;
            if (std::fabs(p.X - (minX + spacing * x)) > spacing * 0.01f ||
                std::fabs(p.Z - (minX + spacing * y)) > spacing * 0.01f || !std::isfinite(p.Y))
                return false;
            defaultGrid = defaultGrid && p.X == TerrainGridCoordinate(x, n, kDefaultTerrainSize) &&
                          p.Z == TerrainGridCoordinate(y, n, kDefaultTerrainSize);
        }
    // The default height scale, when it gives back every stored height bit for bit: then
    // the heights are the very ones the terrain had, whatever range its edits took them
    // to. Otherwise the mesh was made at another scale; the heights then span -1..1.
    std::vector<float> heights(count);
    float scale = kDefaultTerrainHeight;
    for (size_t i = 0; i < count; ++i)
        if (!TerrainHeightFromY(mesh->Vertices[i].Position.Y, kDefaultTerrainHeight, heights[i])) {
            float top = 0;
            for (const TMeshVertex& v : mesh->Vertices)
                top = std::max(top, std::fabs(v.Position.Y));
            scale = top;
            for (size_t k = 0; k < count; ++k)
                heights[k] = mesh->Vertices[k].Position.Y / scale;
            break;
        }
    auto map = std::make_unique<THeightmap>(n);
    std::copy(heights.begin(), heights.end(), map->Data());
    map->UpdateMinMax();
    Object.SetHeightmap(std::move(map));
    Object.TerrainSize = defaultGrid ? kDefaultTerrainSize : measured;
    Object.TerrainHeight = scale;
    return true;
}

void ReadSceneLines(TScene& Scene, TTextLineSource& File, const std::string& FileName,
                    TAnimationDocument* Animation, TFloorPlanDocument* FloorPlans)
{
    Scene.Clear();
    TReadState state;
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
            // Only the block's first lines are applied; a block of any length costs no
            // more than they do.
            std::vector<std::string> env;
            line.clear();
            std::string next;
            while (File.ReadLine(next)) {
                if (next == "TEX" || next == "NOTEX") {
                    line = next;
                    break;
                }
                if (env.size() < kEnvironmentLines)
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
            ReadSceneNodes(Scene, File, IntOr(TrimBlanks(From(line, 6)), 0), state);
        } else {
            const int32_t count = line.empty() ? legacyCount : IntOr(TrimBlanks(line), 0);
            std::string pending;
            for (int32_t i = 0; i < count; ++i)
                pending = ReadLegacySceneObject(Scene, File, pending, state);
        }
        // A build binding whose generated root is not in this file would take over a
        // node the user later creates with that id.
        if (FloorPlans)
            DropBindingsWithoutNodes(*FloorPlans, Scene);
        if (Animation) {
            Animation->ClearClips();
            if (!File.AtEnd())
                LoadAnimationSection(*Animation, File);
        }
        ReserveModifierId(state.LargestModifierId);
        GiveFreshModifierIds(state);
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
                                TAnimationDocument* Animation, TFloorPlanDocument* FloorPlans,
                                std::string* Notes, const TEvaluationBudget* Budget)
{
    if (Notes)
        Notes->clear();
    TTextureManager* remembered = CurrentTextureManager;
    std::unique_ptr<TTextureManager> stagingTextures;
    if (remembered) {
        stagingTextures = std::make_unique<TTextureManager>(remembered->GetGpu());
        stagingTextures->SetLoadBudget(remembered->GetLoadBudget());
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

    // A refused file leaves the id counters as they were; an accepted one has moved them
    // past its ids.
    const TDocumentIdCounters ids = SnapshotDocumentIds();
    try {
        ReadSceneFile(*stagingScene, FileName, stagingAnimation.get(), stagingFloorPlans.get());
        std::string messages;
        if (!stagingScene->ValidateHierarchy(messages))
            throw EGeneralError(std::string("Invalid scene file:") + kCrLf +
                                FirstMessages(messages));
        // Evaluated here, within the budget, for the frame the first drawing shows.
        const std::string held = HeldStacksNote(
            EvaluateWithinBudget(*stagingScene, Budget ? *Budget : TEvaluationBudget{},
                                 stagingAnimation ? &stagingAnimation->ProjectTime : nullptr));
        if (Notes) {
            const std::string textures =
                stagingTextures ? stagingTextures->LoadBudgetNote() : std::string();
            for (const std::string* note : {&held, &textures})
                if (!note->empty())
                    *Notes += (Notes->empty() ? "" : "\n\n") + *note;
        }
    } catch (...) {
        RestoreDocumentIds(ids);
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
        Animation->TakeFrom(*stagingAnimation);
    if (FloorPlans)
        FloorPlans->TakeFrom(*stagingFloorPlans);
    stagingScene->Environment = nullptr;
    // The staging objects now hold the old contents and are freed here: registry first.
    stagingTextures.reset();
}

void LoadSceneFromFile(TScene& Scene, const std::string& FileName, TAnimationDocument* Animation,
                       TFloorPlanDocument* FloorPlans, std::string* Notes,
                       const TEvaluationBudget* Budget)
{
    if (!Animation)
        throw EGeneralError("Animation document is nil");
    LoadSceneFileTransactional(Scene, FileName, Animation, FloorPlans, Notes, Budget);
}
