#include "scene/uAnimationDocument.h"

#include <algorithm>
#include <limits>
#include <set>
#include <string>
#include <tuple>

#include "base/uErrors.h"
#include "base/uNumberText.h"
#include "base/uTextFile.h"

void TAnimationDocument::Clear()
{
    ClearClips();
    ProjectTime.Reset();
}

void TAnimationDocument::ClearClips()
{
    ClipByNode.clear();
    Clips.clear();
}

TAnimationClip* TAnimationDocument::GetClip(int Index) const
{
    if (Index < 0 || Index >= ClipCount())
        throw EArgumentOutOfRangeException("List index out of bounds (" + std::to_string(Index) +
                                           ")");
    return Clips[static_cast<size_t>(Index)].get();
}

TAnimationClip* TAnimationDocument::FindClipByNode(uint32_t NodeId) const
{
    const auto it = ClipByNode.find(NodeId);
    return it == ClipByNode.end() ? nullptr : it->second;
}

TAnimationClip* TAnimationDocument::AddClip(uint32_t NodeId, int32_t StartFrame, int32_t Length)
{
    if (FindClipByNode(NodeId) != nullptr)
        throw EArgumentError("Animation clip already exists for node " + std::to_string(NodeId));
    Clips.push_back(std::make_unique<TAnimationClip>(NodeId, StartFrame, Length));
    TAnimationClip* clip = Clips.back().get();
    ClipByNode[NodeId] = clip;
    return clip;
}

TAnimationClip* TAnimationDocument::GetOrAddClip(uint32_t NodeId, int32_t StartFrame,
                                                 int32_t Length)
{
    if (TAnimationClip* clip = FindClipByNode(NodeId))
        return clip;
    return AddClip(NodeId, StartFrame, Length);
}

void TAnimationDocument::EvaluateNodeClip(uint32_t NodeId, int32_t ProjectFrame,
                                          TAnimationEvaluation* Evaluation) const
{
    if (const TAnimationClip* clip = FindClipByNode(NodeId))
        clip->Evaluate(ProjectFrame, Evaluation);
}

namespace {

int32_t ClampToInt32(int64_t Value)
{
    return static_cast<int32_t>(std::clamp<int64_t>(Value, std::numeric_limits<int32_t>::min(),
                                                    std::numeric_limits<int32_t>::max()));
}

// Visits the project frame of every key of the node's clip, in 64 bits.
template <typename Visit>
bool ForEachKeyFrame(const TAnimationClip* Clip, Visit&& visit)
{
    if (Clip == nullptr)
        return false;
    for (int t = 0; t < Clip->Tracks.Count(); ++t) {
        const TAnimationTrack* track = Clip->Tracks.GetItem(t);
        for (int k = 0; k < track->KeyCount(); ++k)
            visit(int64_t(Clip->StartFrame) + track->GetKey(k).Frame);
    }
    return true;
}

}  // namespace

bool TAnimationDocument::FindPrevKeyFrame(uint32_t NodeId, int32_t Frame, int32_t& KeyFrame) const
{
    KeyFrame = 0;
    bool found = false;
    int64_t best = 0;
    ForEachKeyFrame(FindClipByNode(NodeId), [&](int64_t f) {
        if (f < Frame && (!found || f > best)) {
            best = f;
            found = true;
        }
    });
    if (found)
        KeyFrame = ClampToInt32(best);
    return found;
}

bool TAnimationDocument::FindNextKeyFrame(uint32_t NodeId, int32_t Frame, int32_t& KeyFrame) const
{
    KeyFrame = 0;
    bool found = false;
    int64_t best = 0;
    ForEachKeyFrame(FindClipByNode(NodeId), [&](int64_t f) {
        if (f > Frame && (!found || f < best)) {
            best = f;
            found = true;
        }
    });
    if (found)
        KeyFrame = ClampToInt32(best);
    return found;
}

void TAnimationDocument::SetKey(const TPropertyPath& Path, int32_t ProjectFrame,
                                const TPropertyValue& Value, const TPropertyValue& RestValue,
                                int32_t Interpolation)
{
    if (Path.NodeId == 0)
        throw EArgumentError("Animation keys require a scene node id");
    if (Value.Kind != RestValue.Kind)
        throw EArgumentError("Animation key and rest value kinds differ");
    if (!PropertyValueIsFinite(Value))
        throw EArgumentError("Animation key value must be finite");
    if (!PropertyValueIsFinite(RestValue))
        throw EArgumentError("Animation rest value must be finite");
    // The extreme project range holds 2^32 frames; a clip holds at most 2^31 - 1.
    const int32_t length = ClampToInt32(ProjectTime.RangeLength());
    TAnimationClip* clip = GetOrAddClip(Path.NodeId, ProjectTime.GetStartFrame(), length);
    const int32_t local = clip->LocalFrame(ProjectFrame);
    TAnimationTrack* track = clip->Tracks.FindByTarget(Path);
    if (track == nullptr) {
        auto created = std::make_unique<TAnimationTrack>(Path, Value.Kind, RestValue);
        track = created.get();
        clip->Tracks.Add(std::move(created));
        if (local > 0)
            track->SetKey(0, RestValue, Interpolation);
    }
    track->SetKey(local, Value, Interpolation);
}

std::unique_ptr<TAnimationDocument> TAnimationDocument::Clone() const
{
    auto copy = std::make_unique<TAnimationDocument>();
    copy->Assign(this);
    return copy;
}

void TAnimationDocument::TakeFrom(TAnimationDocument& Other)
{
    if (&Other == this)
        return;
    TakeProjectTime(Other);
    Clips.swap(Other.Clips);
    ClipByNode.swap(Other.ClipByNode);
}

void TAnimationDocument::TakeProjectTime(const TAnimationDocument& Other)
{
    const TProjectTime& time = Other.ProjectTime;
    ProjectTime.SetRange(time.GetStartFrame(), time.GetEndFrame());
    ProjectTime.SetFPS(time.GetFPS());
    ProjectTime.SetLoop(time.GetLoopTimeline());
    ProjectTime.SetCurrentFrame(time.GetCurrentFrame());
    ProjectTime.Playing = false;
}

void TAnimationDocument::Assign(const TAnimationDocument* Other)
{
    if (Other == nullptr || Other == this)
        return;
    TakeProjectTime(*Other);
    ClearClips();
    Clips.reserve(Other->Clips.size());
    for (const auto& clip : Other->Clips) {
        Clips.push_back(clip->Clone());
        ClipByNode[Clips.back()->GetNodeId()] = Clips.back().get();
    }
}

// ---------------------------------------------------------------------------------------
// The file section.

namespace {

void AppendValue(std::string& Line, const TPropertyValue& Value)
{
    auto addFloat = [&](float f) {
        Line += ' ';
        Line += FloatToText(f);
    };
    switch (Value.Kind) {
    case pvkFloat:
        addFloat(Value.Float);
        break;
    case pvkInteger:
    case pvkEnum:
        Line += ' ';
        Line += std::to_string(Value.Int);
        break;
    case pvkBoolean:
        Line += Value.Bool ? " 1" : " 0";
        break;
    case pvkVector:
    case pvkColor:
        addFloat(Value.Vector.X);
        addFloat(Value.Vector.Y);
        addFloat(Value.Vector.Z);
        break;
    }
}

}  // namespace

void WriteAnimationSection(const TAnimationDocument& Document, TTextLineSink& File)
{
    TInvariantDecimalScope invariant;
    const TProjectTime& time = Document.ProjectTime;
    File.WriteLine("BEGIN_ANIMATION");
    File.WriteLine("PROJECT " + std::to_string(time.GetStartFrame()) + ' ' +
                   std::to_string(time.GetEndFrame()) + ' ' +
                   std::to_string(time.GetCurrentFrame()) + ' ' + FloatToText(time.GetFPS()) +
                   (time.GetLoopTimeline() ? " 1" : " 0"));
    for (int c = 0; c < Document.ClipCount(); ++c) {
        const TAnimationClip* clip = Document.GetClip(c);
        File.WriteLine("CLIP " + std::to_string(clip->GetNodeId()) + ' ' +
                       std::to_string(clip->StartFrame) + ' ' + std::to_string(clip->GetLength()) +
                       ' ' + std::to_string(static_cast<int32_t>(clip->PlaybackMode)));
        for (int t = 0; t < clip->Tracks.Count(); ++t) {
            const TAnimationTrack* track = clip->Tracks.GetItem(t);
            const TPropertyPath& path = track->GetTarget();
            // PropertyId is signed: written as it is read back.
            std::string line = "TRACK " + std::to_string(path.ComponentKind) + ' ' +
                               std::to_string(path.ComponentId) + ' ' +
                               std::to_string(path.PropertyId) + ' ' +
                               std::to_string(static_cast<int32_t>(track->GetValueKind()));
            AppendValue(line, track->GetRestValue());
            File.WriteLine(line);
            for (int k = 0; k < track->KeyCount(); ++k) {
                const TAnimationKey& key = track->GetKey(k);
                // Every non-zero mode evaluates as linear; the file admits only 0 and 1.
                line = "KEY " + std::to_string(key.Frame) + (key.Interpolation != 0 ? " 1" : " 0");
                AppendValue(line, key.Value);
                File.WriteLine(line);
            }
            File.WriteLine("ENDTRACK");
        }
        File.WriteLine("ENDCLIP");
    }
    File.WriteLine("END_ANIMATION");
}

namespace {

using TTokens = std::vector<std::string_view>;

[[noreturn]] void Fail(const std::string& Message)
{
    throw EConvertError(Message);
}

int32_t IntToken(const TTokens& Tokens, size_t Index)
{
    if (Index >= Tokens.size())
        Fail("Missing integer in animation data");
    int32_t value;
    if (!TryTextToInt(Tokens[Index], value))
        Fail("Invalid integer in animation data: " + TextExcerpt(Tokens[Index]));
    return value;
}

// Ids are unsigned 32-bit: a node id above 2^31 must read back.
uint32_t UnsignedToken(const TTokens& Tokens, size_t Index)
{
    if (Index >= Tokens.size())
        Fail("Missing integer in animation data");
    uint32_t value;
    if (!TryTextToUInt32(Tokens[Index], value))
        Fail("Invalid integer in animation data: " + TextExcerpt(Tokens[Index]));
    return value;
}

float FloatToken(const TTokens& Tokens, size_t Index)
{
    if (Index >= Tokens.size())
        Fail("Missing float in animation data");
    float value;
    if (!TryTextToFloat(Tokens[Index], value))  // refuses "nan", "inf" and overflow
        Fail("Invalid float in animation data: " + TextExcerpt(Tokens[Index]));
    return value;
}

const char* const kValueKindNames[6] = {"float", "integer", "boolean", "vector", "color", "enum"};

TPropertyValue ReadValue(const TTokens& Tokens, size_t First, TPropertyValueKind Kind)
{
    const bool triple = Kind == pvkVector || Kind == pvkColor;
    if (Tokens.size() != First + (triple ? 3 : 1))
        Fail(std::string("Invalid ") + kValueKindNames[Kind] + " property value");
    switch (Kind) {
    case pvkFloat:
        return MakeFloatPropertyValue(FloatToken(Tokens, First));
    case pvkInteger:
        return MakeIntegerPropertyValue(IntToken(Tokens, First));
    case pvkBoolean:
        return MakeBooleanPropertyValue(IntToken(Tokens, First) != 0);
    case pvkEnum:
        return MakeEnumPropertyValue(IntToken(Tokens, First));
    case pvkVector:
    case pvkColor: {
        const TVec3 v{FloatToken(Tokens, First), FloatToken(Tokens, First + 1),
                      FloatToken(Tokens, First + 2)};
        return Kind == pvkVector ? MakeVectorPropertyValue(v) : MakeColorPropertyValue(v);
    }
    }
    Fail("Invalid animation value kind");
}

// Reads the next line, trimmed, and its tokens. False at the end of the input.
bool NextLine(TTextLineSource& File, std::string& Line, std::string_view& Trimmed, TTokens& Tokens)
{
    if (!File.ReadLine(Line))
        return false;
    Trimmed = TrimBlanks(Line);
    // Into the same list every line: a section of many lines allocates nothing per line.
    Tokens.clear();
    size_t i = 0;
    while (i < Trimmed.size()) {
        while (i < Trimmed.size() && static_cast<unsigned char>(Trimmed[i]) <= 32)
            ++i;
        const size_t start = i;
        while (i < Trimmed.size() && static_cast<unsigned char>(Trimmed[i]) > 32)
            ++i;
        if (i > start)
            Tokens.push_back(Trimmed.substr(start, i - start));
    }
    return true;
}

void RequireLine(TTextLineSource& File, std::string& Line, std::string_view& Trimmed,
                 TTokens& Tokens)
{
    if (!NextLine(File, Line, Trimmed, Tokens))
        Fail("Animation section is missing END_ANIMATION");
}

void ReadProjectTime(TProjectTime& Time, const TTokens& Tokens)
{
    if ((Tokens.size() != 5 && Tokens.size() != 6) || Tokens[0] != "PROJECT")
        Fail("Malformed animation project time");
    const int32_t start = IntToken(Tokens, 1);
    const int32_t end = IntToken(Tokens, 2);
    Time.SetRange(start, end);
    Time.SetCurrentFrame(IntToken(Tokens, 3));
    Time.SetFPS(FloatToken(Tokens, 4));
    if (Tokens.size() == 6)
        Time.SetLoop(IntToken(Tokens, 5) != 0);
}

// The tracks of one clip read so far, by property: a file may hold any number of them.
using TTrackTargets = std::set<std::tuple<int32_t, uint32_t, int32_t>>;

void ReadTrack(TAnimationClip& Clip, const TTokens& Header, TTextLineSource& File,
               TTrackTargets& Targets)
{
    if (Header.size() < 5 || Header[0] != "TRACK")
        Fail("Malformed animation track header");
    TPropertyPath path;
    path.NodeId = Clip.GetNodeId();
    path.ComponentKind = IntToken(Header, 1);
    if (path.ComponentKind < 0 || path.ComponentKind > 4)
        Fail("Invalid animation component kind");
    path.ComponentId = UnsignedToken(Header, 2);
    path.PropertyId = IntToken(Header, 3);
    const int32_t kind = IntToken(Header, 4);
    if (kind < pvkFloat || kind > pvkEnum)
        Fail("Invalid animation value kind");
    const auto valueKind = static_cast<TPropertyValueKind>(kind);
    const TPropertyValue rest = ReadValue(Header, 5, valueKind);
    // A second track for one property would hide the first one's keys.
    if (!Targets.emplace(path.ComponentKind, path.ComponentId, path.PropertyId).second)
        Fail("Duplicate animation track for property " + std::to_string(path.PropertyId) +
             " of node " + std::to_string(path.NodeId));
    auto owned = std::make_unique<TAnimationTrack>(path, valueKind, rest);
    TAnimationTrack* track = owned.get();
    Clip.Tracks.Add(std::move(owned));

    // Keys in file order, sorted once at the end: a file's keys may come in any order.
    std::vector<TAnimationKey> keys;
    std::string line;
    std::string_view trimmed;
    TTokens tokens;
    for (;;) {
        RequireLine(File, line, trimmed, tokens);
        if (trimmed == "ENDTRACK") {
            track->SetKeys(std::move(keys));
            return;
        }
        if (!tokens.empty() && tokens[0] == "CLIP")
            Fail("Animation clip was not closed");
        if (tokens.size() < 3 || tokens[0] != "KEY")
            Fail("Malformed animation key");
        const int32_t frame = IntToken(tokens, 1);
        const int32_t interpolation = IntToken(tokens, 2);
        if (interpolation != 0 && interpolation != 1)
            Fail("Invalid animation interpolation mode");
        keys.push_back({frame, ReadValue(tokens, 3, valueKind), interpolation});
    }
}

void ReadClip(TAnimationDocument& Document, const TTokens& Header, TTextLineSource& File)
{
    if (Header.size() != 5 || Header[0] != "CLIP")
        Fail("Malformed animation clip header");
    const uint32_t nodeId = UnsignedToken(Header, 1);
    const int32_t start = IntToken(Header, 2);
    const int32_t length = IntToken(Header, 3);
    TAnimationClip* clip = Document.AddClip(nodeId, start, length);
    const int32_t mode = IntToken(Header, 4);
    if (mode != cpmOnce && mode != cpmLoop)
        Fail("Invalid animation playback mode");
    clip->PlaybackMode = static_cast<TClipPlaybackMode>(mode);

    TTrackTargets targets;
    std::string line;
    std::string_view trimmed;
    TTokens tokens;
    for (;;) {
        RequireLine(File, line, trimmed, tokens);
        if (trimmed == "ENDCLIP")
            return;
        if (tokens.empty())
            continue;
        if (tokens[0] == "CLIP")
            Fail("Animation clip was not closed");
        ReadTrack(*clip, tokens, File, targets);
    }
}

}  // namespace

void ReadAnimationSection(TAnimationDocument& Document, TTextLineSource& File)
{
    std::string line;
    std::string_view trimmed;
    TTokens tokens;
    if (!NextLine(File, line, trimmed, tokens) || trimmed != "BEGIN_ANIMATION")
        Fail("Malformed animation section header");
    if (!NextLine(File, line, trimmed, tokens))
        Fail("Animation section has no project time");
    ReadProjectTime(Document.ProjectTime, tokens);
    for (;;) {
        RequireLine(File, line, trimmed, tokens);
        if (trimmed == "END_ANIMATION")
            return;
        if (tokens.empty())
            continue;
        ReadClip(Document, tokens, File);
    }
}

void LoadAnimationSection(TAnimationDocument& Document, TTextLineSource& File)
{
    TInvariantDecimalScope invariant;
    TAnimationDocument staging;
    ReadAnimationSection(staging, File);
    Document.TakeFrom(staging);
}
