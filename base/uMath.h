#pragma once
// 3D value types and the free routines every subsystem uses. Nothing here allocates
// or keeps state. Angles are degrees; matrices are row-major with the translation in
// elements 3, 7 and 11, and transform column vectors.
#include <array>

struct TVec3 {
    float X = 0, Y = 0, Z = 0;
    friend bool operator==(const TVec3&, const TVec3&) = default;
};

struct TVec2 {
    float U = 0, V = 0;
    friend bool operator==(const TVec2&, const TVec2&) = default;
};

using TMatrix4 = std::array<float, 16>;

TVec3 Vec3(float x, float y, float z);
TVec3 Vec3Add(const TVec3& a, const TVec3& b);
TVec3 Vec3Sub(const TVec3& a, const TVec3& b);
TVec3 Vec3Scale(const TVec3& a, float s);
float Vec3Dot(const TVec3& a, const TVec3& b);
TVec3 Vec3Cross(const TVec3& a, const TVec3& b);
float Vec3Length(const TVec3& a);
float Vec3Distance(const TVec3& a, const TVec3& b);
// Zero vector when the length is at most 1e-9 or not a number.
TVec3 Vec3Normalize(const TVec3& a);

TMatrix4 MatIdentity();
TMatrix4 MatTranslation(float x, float y, float z);
TMatrix4 MatTranslationFromVec3(const TVec3& v);
TMatrix4 MatScaling(float x, float y, float z);
TMatrix4 MatRotationX(float degrees);
TMatrix4 MatRotationY(float degrees);
TMatrix4 MatRotationZ(float degrees);
// C = A * B. C must not alias A or B.
void MatMultiply(const TMatrix4& A, const TMatrix4& B, TMatrix4& C);
void MatTranspose(const TMatrix4& src, TMatrix4& dst);
// M = T * Rx * Ry * Rz * S: scale, then rotate about Z, Y, X, then translate.
void MatCompose(const TVec3& translation, const TVec3& rotation, const TVec3& scale, TMatrix4& M);
// False (and an all-zero Inv) when |determinant| < 1e-12.
bool MatInverse(const TMatrix4& M, TMatrix4& Inv);
TVec3 MatTransformPoint(const TVec3& p, const TMatrix4& M);
TVec3 MatTransformVector(const TVec3& v, const TMatrix4& M);
TVec3 MatTransformVectorTransposed(const TVec3& v, const TMatrix4& M);
// Inverse-transpose of the 3x3 part applied to n; zero when M is singular. Not normalised.
TVec3 MatTransformNormal(const TVec3& n, const TMatrix4& M);
// Splits a composed matrix into translation, Euler angles (degrees) and scale. Translation
// is always written; False (Rotation and Scale untouched) when a column is degenerate.
bool MatDecompose(const TMatrix4& M, TVec3& Translation, TVec3& Rotation, TVec3& Scale,
                  bool& Shear);

// Moller-Trumbore, both faces. T is in units of the direction's length; it is written on
// every candidate that passes the barycentric tests, and the result is T > 0.
bool RayTriangleIntersect(const TVec3& Origin, const TVec3& Direction, const TVec3& V0,
                          const TVec3& V1, const TVec3& V2, float& T);

// Degrees to radians with the radian value rounded to single precision.
float DegToRad(float degrees);
float RadToDeg(float radians);
