#pragma once
// Addresses and typed values of the animatable properties of the document, the set of
// values one frame of animation produces, and the transforms seen through that set.
#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "base/uMath.h"

class TSceneNode;

// One property: the node, which component of it (0 = the node itself), which property.
struct TPropertyPath {
    uint32_t NodeId = 0;
    int32_t ComponentKind = 0;
    uint32_t ComponentId = 0;
    int32_t PropertyId = 0;
};

enum TPropertyValueKind : int32_t {
    pvkFloat = 0,
    pvkInteger = 1,
    pvkBoolean = 2,
    pvkVector = 3,
    pvkColor = 4,
    pvkEnum = 5,
};

// A tagged value. The payload fields its kind does not use stay zero.
struct TPropertyValue {
    TPropertyValueKind Kind = pvkFloat;
    float Float = 0;
    int32_t Int = 0;
    bool Bool = false;
    TVec3 Vector;  // pvkVector; pvkColor holds red, green, blue in X, Y, Z
};

// Node property ids (component kind 0).
constexpr int32_t kNodePropertyPositionX = 1;
constexpr int32_t kNodePropertyPositionY = 2;
constexpr int32_t kNodePropertyPositionZ = 3;
constexpr int32_t kNodePropertyRotationX = 4;
constexpr int32_t kNodePropertyRotationY = 5;
constexpr int32_t kNodePropertyRotationZ = 6;
constexpr int32_t kNodePropertyScaleX = 7;
constexpr int32_t kNodePropertyScaleY = 8;
constexpr int32_t kNodePropertyScaleZ = 9;
constexpr int32_t kNodePropertyVisible = 10;

TPropertyPath MakeNodePropertyPath(uint32_t NodeId, int32_t PropertyId);
bool PropertyPathsEqual(const TPropertyPath& A, const TPropertyPath& B);

TPropertyValue MakeFloatPropertyValue(float x);
TPropertyValue MakeIntegerPropertyValue(int32_t i);
TPropertyValue MakeBooleanPropertyValue(bool b);
TPropertyValue MakeVectorPropertyValue(const TVec3& v);
TPropertyValue MakeColorPropertyValue(const TVec3& c);
TPropertyValue MakeEnumPropertyValue(int32_t i);
// Kinds must match; floats compare exactly, so a NaN equals nothing, itself included.
bool PropertyValuesEqual(const TPropertyValue& A, const TPropertyValue& B);
// True unless a float the value's kind uses (Float, or the vector's three) is not finite.
bool PropertyValueIsFinite(const TPropertyValue& Value);

struct TPropertyEvaluationEntry {
    TPropertyPath Path;
    TPropertyValue Value;
};

// Path -> value overrides of one frame, at most one entry per path, in the order the
// paths were first set. A few entries are looked up linearly; past that a hash index
// keeps a frame of many animated properties (a file may hold any number) linear.
class TAnimationEvaluation {
public:
    // Read freely; changed only through the members below, which keep the index.
    std::vector<TPropertyEvaluationEntry> Entries;

    int IndexOf(const TPropertyPath& Path) const;
    void Clear();
    void SetValue(const TPropertyPath& Path, const TPropertyValue& Value);
    void Remove(const TPropertyPath& Path);
    // False with an all-zero value when the path has no entry.
    bool TryGetValue(const TPropertyPath& Path, TPropertyValue& Value) const;

private:
    struct TPathHash {
        std::size_t operator()(const TPropertyPath& Path) const noexcept;
    };
    struct TPathEqual {
        bool operator()(const TPropertyPath& A, const TPropertyPath& B) const noexcept
        {
            return PropertyPathsEqual(A, B);
        }
    };
    void RebuildIndex();
    static constexpr std::size_t kIndexFrom = 32;
    std::unordered_map<TPropertyPath, int, TPathHash, TPathEqual> Index;  // empty below kIndexFrom
};

// What drawing and picking pass around. All zero (no evaluation) means the authored
// values without animation.
struct TPropertyEvaluationContext {
    int32_t Frame = 0;
    float FPS = 0;
    double Time = 0;                                   // Frame / FPS, in seconds
    const TAnimationEvaluation* Evaluation = nullptr;  // not owned
};

// The node's authored value, overridden by the context's entry for (node, 0, 0, id).
// An entry whose kind differs from the property's own kind is ignored: a float scale
// must never be replaced by the zero Float of a boolean or integer value.
void ReadEvaluatedPropertyValue(const TSceneNode& Node, int32_t PropertyId,
                                const TPropertyEvaluationContext& Context, TPropertyValue& Value);
void ComputeEvaluatedLocalMatrix(const TSceneNode& Node, const TPropertyEvaluationContext& Context,
                                 TMatrix4& Matrix);
// Parent on the left, up to the root.
void ComputeEvaluatedWorldMatrix(const TSceneNode& Node, const TPropertyEvaluationContext& Context,
                                 TMatrix4& Matrix);
