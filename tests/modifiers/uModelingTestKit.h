#pragma once
// Small meshes and checks shared by the modelling, animated and mesh-quality modifier tests.
#include "base/uMesh.h"
#include "modifiers/uModifierEvaluator.h"
#include "modifiers/uModifierStack.h"
#include "modifiers/uModifiers.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

namespace kit {

inline TMeshData Points(std::initializer_list<TVec3> Positions)
{
    TMeshData m;
    for (const TVec3& p : Positions) {
        TMeshVertex v;
        v.Position = p;
        v.Normal = {0, 1, 0};
        v.UV = {p.X, p.Z};
        m.AddVertex(v);
    }
    return m;
}

// Six quads over eight shared corners of the cube of side 2 * Half about the origin,
// wound like the built cube (normals by the right-hand rule point inward).
inline TMeshData SharedCube(float Half = 0.5f)
{
    const float h = Half;
    TMeshData m = Points({{-h, -h, -h},
                          {h, -h, -h},
                          {h, -h, h},
                          {-h, -h, h},
                          {-h, h, -h},
                          {h, h, -h},
                          {h, h, h},
                          {-h, h, h}});
    m.AddQuad(0, 3, 2, 1);
    m.AddQuad(4, 5, 6, 7);
    m.AddQuad(1, 2, 6, 5);
    m.AddQuad(3, 0, 4, 7);
    m.AddQuad(2, 3, 7, 6);
    m.AddQuad(0, 1, 5, 4);
    m.RebuildEdges();
    return m;
}

// A grid of Columns x Rows quads in the XZ plane from the origin, cells of side 1, wound so
// that the right-hand normal points up.
inline TMeshData Grid(int Columns, int Rows)
{
    TMeshData m;
    for (int r = 0; r <= Rows; ++r)
        for (int c = 0; c <= Columns; ++c) {
            TMeshVertex v;
            v.Position = {static_cast<float>(c), 0, static_cast<float>(r)};
            v.Normal = {0, 1, 0};
            v.UV = {static_cast<float>(c), static_cast<float>(r)};
            m.AddVertex(v);
        }
    auto at = [Columns](int c, int r) { return r * (Columns + 1) + c; };
    for (int r = 0; r < Rows; ++r)
        for (int c = 0; c < Columns; ++c)
            m.AddQuad(at(c, r), at(c, r + 1), at(c + 1, r + 1), at(c + 1, r));
    m.RebuildEdges();
    return m;
}

inline TMeshData Apply(TModifier& Modifier, const TMeshData& Source)
{
    TMeshData out;
    Modifier.Apply(Source, out);
    return out;
}

inline int32_t FlagsOf(TModifier& Modifier, const TMeshData& Source, double Time = 0)
{
    TModifierEvalContext context;
    context.Time = Time;
    TMeshData out;
    return Modifier.ApplyWithInfo(context, Source, out).Flags;
}

inline std::vector<std::string> Saved(const TModifier& Modifier)
{
    std::vector<std::string> lines;
    Modifier.SaveParams(lines);
    return lines;
}

inline void Load(TModifier& Modifier, const std::vector<std::string>& Lines)
{
    int32_t index = 0;
    Modifier.LoadParams(Lines, index);
}

// The estimate's vertex and face counts equal the output's.
inline void ExpectEstimateMatches(const TModifier& Modifier, const TMeshData& Source,
                                  const TMeshData& Output)
{
    int64_t v = 0, f = 0, e = 0;
    ASSERT_TRUE(Modifier.EstimateOutputSize(Source, v, f, e));
    EXPECT_EQ(v, static_cast<int64_t>(Output.Vertices.size()));
    EXPECT_EQ(f, static_cast<int64_t>(Output.Faces.size()));
}

// Runs Modifier alone through the evaluator over Source.
inline TModifierEvaluationResult Evaluate(std::unique_ptr<TModifier> Modifier,
                                          const TMeshData& Source, double Time = 0)
{
    TModifierStack stack;
    stack.Add(std::move(Modifier));
    TModifierEvalContext context;
    context.Time = Time;
    TModifierEvaluationResult result;
    TModifierEvaluator().Evaluate(&Source, stack, context, result);
    return result;
}

// A mesh whose faces break the rules: a 7-corner face and a corner index past the end.
inline TMeshData CorruptMesh()
{
    TMeshData m = Points({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0}});
    m.AddTriangle(0, 1, 2);
    TMeshFace wide;
    wide.Indices = {0, 1, 3, 2};
    wide.Count = 7;
    m.Faces.push_back(wide);
    TMeshFace far;
    far.Indices = {1, 99, 3, -1};
    far.Count = 3;
    m.Faces.push_back(far);
    return m;
}

inline void ExpectNear(const TVec3& Actual, const TVec3& Expected, float Tolerance = 1e-5f)
{
    EXPECT_NEAR(Actual.X, Expected.X, Tolerance);
    EXPECT_NEAR(Actual.Y, Expected.Y, Tolerance);
    EXPECT_NEAR(Actual.Z, Expected.Z, Tolerance);
}

}  // namespace kit
