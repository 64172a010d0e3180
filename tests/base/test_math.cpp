#include "base/uMath.h"

#include <cmath>
#include <gtest/gtest.h>

namespace {
void ExpectVec(const TVec3& v, float x, float y, float z, float tol = 1e-5f)
{
    EXPECT_NEAR(v.X, x, tol);
    EXPECT_NEAR(v.Y, y, tol);
    EXPECT_NEAR(v.Z, z, tol);
}

TMatrix4 Compose(TVec3 t, TVec3 r, TVec3 s)
{
    TMatrix4 m;
    MatCompose(t, r, s, m);
    return m;
}
}  // namespace

TEST(Math, ComposeAppliesScaleThenZYXRotationThenTranslation)
{
    ExpectVec(MatTransformPoint({1, 0, 0}, Compose({1, 2, 3}, {0, 90, 0}, {1, 1, 1})), 1, 2, 2);
    ExpectVec(MatTransformPoint({1, 0, 0}, Compose({0, 0, 0}, {90, 0, 90}, {1, 1, 1})), 0, 0, 1);
    ExpectVec(MatTransformPoint({1, 1, 1}, Compose({0, 0, 0}, {0, 0, 0}, {2, 3, 4})), 2, 3, 4);
}

TEST(Math, DecomposeRecoversComposedParts)
{
    TVec3 t, r, s;
    bool shear = true;
    ASSERT_TRUE(MatDecompose(Compose({5, -6, 7}, {30, 40, 50}, {2, 3, 4}), t, r, s, shear));
    ExpectVec(t, 5, -6, 7);
    ExpectVec(r, 30, 40, 50, 1e-3f);
    ExpectVec(s, 2, 3, 4, 1e-4f);
    EXPECT_FALSE(shear);
}

TEST(Math, DecomposeMirrorGimbalAndDegenerateCases)
{
    TVec3 t, r, s;
    bool shear;
    ASSERT_TRUE(MatDecompose(MatScaling(-1, 1, 1), t, r, s, shear));
    EXPECT_FLOAT_EQ(s.X, -1);

    ASSERT_TRUE(MatDecompose(Compose({0, 0, 0}, {10, 90, 20}, {1, 1, 1}), t, r, s, shear));
    EXPECT_FLOAT_EQ(r.Z, 0);
    EXPECT_NEAR(r.Y, 90, 1e-2f);
    // The Z angle folds into X: the rebuilt matrix maps points the same way.
    const TMatrix4 again = Compose({0, 0, 0}, r, {1, 1, 1});
    const TMatrix4 orig = Compose({0, 0, 0}, {10, 90, 20}, {1, 1, 1});
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(again[i], orig[i], 1e-3f) << i;

    r = {7, 8, 9};
    s = {1, 2, 3};
    EXPECT_FALSE(MatDecompose(MatScaling(1, 0, 1), t, r, s, shear));
    ExpectVec(r, 7, 8, 9);
    ExpectVec(s, 1, 2, 3);

    TMatrix4 sheared = MatIdentity();
    sheared[1] = 0.5f;
    ASSERT_TRUE(MatDecompose(sheared, t, r, s, shear));
    EXPECT_TRUE(shear);
}

TEST(Math, InverseThresholdAndRoundTrip)
{
    TMatrix4 inv;
    EXPECT_FALSE(MatInverse(MatScaling(1e-5f, 1e-5f, 1e-5f), inv));
    for (float e : inv)
        EXPECT_EQ(e, 0);
    EXPECT_TRUE(MatInverse(MatScaling(0.001f, 0.001f, 0.001f), inv));
    EXPECT_NEAR(inv[0], 1000, 0.01);

    const TMatrix4 m = Compose({1, 2, 3}, {20, -30, 45}, {2, 0.5f, 1});
    ASSERT_TRUE(MatInverse(m, inv));
    TMatrix4 product;
    MatMultiply(m, inv, product);
    const TMatrix4 id = MatIdentity();
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(product[i], id[i], 1e-5f) << i;
    ExpectVec(MatTransformNormal({0, 1, 0}, MatScaling(1, 0, 1)), 0, 0, 0);
}

TEST(Math, NormalizeAndCross)
{
    ExpectVec(Vec3Normalize({0, 0, 1e-10f}), 0, 0, 0);
    ExpectVec(Vec3Normalize({3, 0, 4}), 0.6f, 0, 0.8f);
    ExpectVec(Vec3Normalize({NAN, 0, 0}), 0, 0, 0);
    ExpectVec(Vec3Cross({1, 0, 0}, {0, 1, 0}), 0, 0, 1);
}

TEST(Math, RayTriangleEdgesParallelAndBehind)
{
    const TVec3 a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
    float t = -7;
    EXPECT_TRUE(RayTriangleIntersect({0.25f, 0.25f, 2}, {0, 0, -1}, a, b, c, t));
    EXPECT_FLOAT_EQ(t, 2);
    EXPECT_TRUE(RayTriangleIntersect({0, 0, 1}, {0, 0, -2}, a, b, c, t));  // through a vertex
    EXPECT_FLOAT_EQ(t, 0.5f);
    EXPECT_TRUE(RayTriangleIntersect({0.5f, 0, 1}, {0, 0, -1}, a, b, c, t));  // on an edge
    t = -7;
    EXPECT_FALSE(RayTriangleIntersect({0, 0, 1}, {1, 0, 0}, a, b, c, t));  // parallel
    EXPECT_EQ(t, -7);
    EXPECT_FALSE(RayTriangleIntersect({0.25f, 0.25f, -1}, {0, 0, -1}, a, b, c, t));  // behind
    EXPECT_FLOAT_EQ(t, -1);
}
