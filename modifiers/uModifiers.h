#pragma once
// The base of every procedural mesh modifier: a small parameter object with a type id,
// a document id and an enabled flag that turns a source mesh into a new one. Also the
// Key=value helpers every modifier uses for its parameter lines in the scene file.
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class TMeshData;
struct TMeshVertex;
struct TModifierParamTable;
struct TModifierEvalContext;
struct TPositionSummary;

// Bits of TModifierApplyInfo::Flags: what a modifier changed in its output.
constexpr int32_t kApplyPositions = 1;
constexpr int32_t kApplyFaces = 2;
constexpr int32_t kApplyNormals = 4;
constexpr int32_t kApplyUVs = 8;
// The evaluator rebuilds the edge list of the final mesh once when any step sets it.
constexpr int32_t kApplyEdges = 32;
constexpr int32_t kApplyAll =
    kApplyPositions | kApplyFaces | kApplyNormals | kApplyUVs | kApplyEdges;

struct TModifierApplyInfo {
    int32_t Flags = 0;
    std::string Message;  // unused: failures are raised as exceptions
};

class TModifier {
public:
    using TChangeEvent = std::function<void(TModifier* Sender)>;

    virtual ~TModifier() = default;
    TModifier& operator=(const TModifier&) = delete;

    // Registry key: lower case, words joined by "_".
    virtual std::string GetTypeId() const = 0;
    // Name shown in menus, lists, window captions and messages.
    virtual std::string GetDisplayName() const = 0;
    // Empties Dest and fills it from Source (never changed); Dest's edge list ends as
    // RebuildEdges would leave it.
    virtual void Apply(const TMeshData& Source, TMeshData& Dest) = 0;
    // A new modifier (fresh id) with equal parameters and the same enabled state.
    virtual std::unique_ptr<TModifier> Clone() const = 0;
    // Appends one Key=value line per parameter.
    virtual void SaveParams(std::vector<std::string>& Lines) const;
    // Reads parameter lines from Index on, advancing Index; stops past an "ENDMOD" line.
    virtual void LoadParams(const std::vector<std::string>& Lines, int32_t& Index);
    // The owning object's scale, handed over before each evaluation.
    virtual void SetObjectScale(float X, float Y, float Z);
    // True for a modifier whose output depends on the scale SetObjectScale hands it.
    virtual bool ReadsObjectScale() const { return false; }
    // True with a cheap prediction of the output counts; the base predicts nothing
    // (all -1, False). Counts are 64-bit so that huge products never wrap below a limit.
    virtual bool EstimateOutputSize(const TMeshData& Mesh, int64_t& Vertices, int64_t& Faces,
                                    int64_t& Edges) const;
    // The evaluator's entry point. The base runs Apply and reports every flag (47).
    virtual TModifierApplyInfo ApplyWithInfo(const TModifierEvalContext& Context,
                                             const TMeshData& Source, TMeshData& Dest);

    // True for a modifier that only moves and turns vertices: same vertex count, faces
    // and edges, with Apply equal to copying the mesh and running DeformVertices on it.
    // The evaluator then hands it the vertices alone and keeps the faces and edges it has,
    // so a stack of deformers copies and checks the topology once, not once a step.
    virtual bool KeepsTopology() const { return false; }
    // Writes Out from In (one length; they may be the same array); called only when
    // KeepsTopology, and the evaluator then reports every flag, as ApplyWithInfo does.
    // The base copies.
    virtual void DeformVertices(std::span<const TMeshVertex> In, std::span<TMeshVertex> Out);
    // DeformVertices as the evaluator runs it: InSummary (null when unknown) describes In's
    // positions and OutSummary is filled in for Out's. The base runs DeformVertices, then
    // sweeps Out.
    virtual void DeformVerticesSummarised(std::span<const TMeshVertex> In,
                                          const TPositionSummary* InSummary,
                                          std::span<TMeshVertex> Out, TPositionSummary& OutSummary);

    // The table of the parameters when they are described by one (the modelling, animated
    // and mesh-quality modifiers): SaveParams, LoadParams and the table-driven settings
    // window all work from it. Null otherwise.
    virtual const TModifierParamTable* GetParamTable() const { return nullptr; }

    // Enabled := Source's Enabled, without Changed. Nothing for no source.
    void CopyEnabledFrom(const TModifier* Source);

    uint32_t GetId() const { return Id; }
    // Restores a stored id (scene reader only); no check.
    void SetId(uint32_t Value) { Id = Value; }
    bool GetEnabled() const { return Enabled; }
    void SetEnabled(bool Value);
    int64_t GetRevision() const { return Revision; }

    // Set by the owning stack while the modifier is in it.
    void SetOnChange(TChangeEvent Handler) { OnChange = std::move(Handler); }
    bool HasOnChange() const { return static_cast<bool>(OnChange); }

    // Revision + 1, then OnChange. Every setter calls it after a real change.
    void Changed();

protected:
    TModifier();
    // A copy is a new modifier: a fresh id, enabled, Revision 0, no OnChange. Clone
    // implementations copy-construct their own class and then call FinishClone.
    TModifier(const TModifier&);
    // Gives Copy this modifier's enabled state the way a clone must (through SetEnabled).
    void FinishClone(TModifier& Copy) const { Copy.SetEnabled(Enabled); }

private:
    uint32_t Id;
    bool Enabled = true;
    int64_t Revision = 0;
    TChangeEvent OnChange;
};

// Parameter lines. Key includes the "=" ("Angle="); matching is exact and
// case-sensitive, with no trimming.
bool StartsWithKey(std::string_view Line, std::string_view Key);
// The text after Key of a line that starts with it.
std::string_view KeyValueText(std::string_view Line, std::string_view Key);
// The value as a float; Default when it does not convert (or the key does not match).
float KeyFloatValue(std::string_view Line, std::string_view Key, float Default);
int32_t KeyIntValue(std::string_view Line, std::string_view Key, int32_t Default);
// True when the value converts to an integer other than 0; Default when it does not convert.
bool KeyBoolValue(std::string_view Line, std::string_view Key, bool Default);
// True exactly when the first character of the value is "1".
bool KeyBoolFirstCharValue(std::string_view Line, std::string_view Key);

// Lines for SaveParams: Key + value text ("." decimals, Booleans as "1"/"0").
std::string KeyFloatLine(std::string_view Key, float Value);
std::string KeyIntLine(std::string_view Key, int64_t Value);
std::string KeyBoolLine(std::string_view Key, bool Value);
