#pragma once
// Meshes and checks shared by the modifier tests.
#include "base/uMesh.h"
#include "modifiers/uModifierRegistry.h"
#include "modifiers/uModifiers.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace modtest {

inline TMeshVertex Vertex(float x, float y, float z, TVec3 normal = {0, 1, 0})
{
    TMeshVertex v;
    v.Position = {x, y, z};
    v.Normal = normal;
    return v;
}

// Vertices up the Y axis at the given heights (all at x = z = 0), joined by no faces.
inline TMeshData Column(const std::vector<float>& Heights, TVec3 Normal = {1, 0, 0})
{
    TMeshData m;
    for (float y : Heights)
        m.AddVertex(Vertex(0, y, 0, Normal));
    return m;
}

// The eight corners of a unit cube shared by six quads (the built-in cube has 24 vertices
// of its own). Corners and windings as the built-in cube's; normals point out.
inline TMeshData ClosedCube()
{
    TMeshData m;
    const float h = 0.5f;
    const TVec3 corners[8] = {{-h, -h, -h}, {h, -h, -h}, {h, -h, h}, {-h, -h, h},
                              {-h, h, -h},  {h, h, -h},  {h, h, h},  {-h, h, h}};
    for (const TVec3& c : corners) {
        const float len = std::sqrt(c.X * c.X + c.Y * c.Y + c.Z * c.Z);
        m.AddVertex(Vertex(c.X, c.Y, c.Z, {c.X / len, c.Y / len, c.Z / len}));
    }
    m.AddQuad(0, 3, 2, 1);
    m.AddQuad(4, 5, 6, 7);
    m.AddQuad(1, 2, 6, 5);
    m.AddQuad(3, 0, 4, 7);
    m.AddQuad(2, 3, 7, 6);
    m.AddQuad(0, 1, 5, 4);
    m.RebuildEdges();
    return m;
}

// An n x n grid of quads in the XZ plane over [-half, half], normals up.
inline TMeshData Grid(int n, float half)
{
    TMeshData m;
    for (int i = 0; i <= n; ++i)
        for (int j = 0; j <= n; ++j)
            m.AddVertex(Vertex(-half + 2 * half * j / n, 0, -half + 2 * half * i / n));
    for (int i = 0; i < n; ++i)
        for (int j = 0; j < n; ++j) {
            const int a = i * (n + 1) + j;
            m.AddQuad(a, a + 1, a + n + 2, a + n + 1);
        }
    m.RebuildEdges();
    return m;
}

inline std::vector<std::string> Saved(const TModifier& Modifier)
{
    std::vector<std::string> lines;
    Modifier.SaveParams(lines);
    return lines;
}

inline void Load(TModifier& Modifier, std::vector<std::string> Lines)
{
    int32_t index = 0;
    Modifier.LoadParams(Lines, index);
}

// The registry knows the type under its names and its factory makes this class.
inline void ExpectRegistered(const std::string& TypeId, const std::string& DisplayName,
                             const std::string& Category)
{
    ClearModifierRegistry();
    RegisterBuiltInModifiers();
    const TModifierDescriptor* d = FindModifierDescriptor(TypeId);
    ASSERT_NE(d, nullptr) << TypeId;
    EXPECT_EQ(d->DisplayName, DisplayName);
    EXPECT_EQ(d->Category, Category);
    auto m = CreateModifierByTypeId(TypeId);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->GetTypeId(), TypeId);
    EXPECT_EQ(m->GetDisplayName(), DisplayName);
    EXPECT_TRUE(m->GetEnabled());
}

// Saved lines load into a fresh modifier that saves the same lines, and a clone (fresh
// id, same enabled state) saves them too.
inline void ExpectRoundTrip(TModifier& Modifier, TModifier& Fresh)
{
    const std::vector<std::string> lines = Saved(Modifier);
    std::vector<std::string> block = lines;
    block.push_back("ENDMOD");
    block.push_back("NotMine=1");
    int32_t index = 0;
    Fresh.LoadParams(block, index);
    EXPECT_EQ(index, static_cast<int32_t>(lines.size()) + 1) << "stops past ENDMOD";
    EXPECT_EQ(Saved(Fresh), lines);

    Modifier.SetEnabled(false);
    auto clone = Modifier.Clone();
    EXPECT_NE(clone->GetId(), Modifier.GetId());
    EXPECT_FALSE(clone->GetEnabled());
    EXPECT_EQ(Saved(*clone), lines);
    EXPECT_EQ(clone->GetTypeId(), Modifier.GetTypeId());
    Modifier.SetEnabled(true);
}

// The size estimate equals the real output's counts.
inline void ExpectEstimateMatches(TModifier& Modifier, const TMeshData& Source)
{
    int64_t v = -2, f = -2, e = -2;
    ASSERT_TRUE(Modifier.EstimateOutputSize(Source, v, f, e)) << Modifier.GetTypeId();
    TMeshData out;
    Modifier.Apply(Source, out);
    EXPECT_EQ(v, static_cast<int64_t>(out.Vertices.size())) << Modifier.GetTypeId();
    EXPECT_EQ(f, static_cast<int64_t>(out.Faces.size())) << Modifier.GetTypeId();
    EXPECT_EQ(e, static_cast<int64_t>(out.Edges.size())) << Modifier.GetTypeId();
}

inline void ExpectNear3(const TVec3& Actual, const TVec3& Expected, float Tolerance,
                        const std::string& What = "")
{
    EXPECT_NEAR(Actual.X, Expected.X, Tolerance) << What;
    EXPECT_NEAR(Actual.Y, Expected.Y, Tolerance) << What;
    EXPECT_NEAR(Actual.Z, Expected.Z, Tolerance) << What;
}

// Counts Changed calls through OnChange.
struct TChangeCounter {
    int Count = 0;
    void Attach(TModifier& Modifier)
    {
        Modifier.SetOnChange([this](TModifier*) { ++Count; });
    }
};

}  // namespace modtest
