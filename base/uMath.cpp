#include "base/uMath.h"

#include <algorithm>
#include <cmath>
#include <numbers>

TVec3 Vec3(float x, float y, float z)
{
    return TVec3{x, y, z};
}
TVec3 Vec3Add(const TVec3& a, const TVec3& b)
{
    return {a.X + b.X, a.Y + b.Y, a.Z + b.Z};
}
TVec3 Vec3Sub(const TVec3& a, const TVec3& b)
{
    return {a.X - b.X, a.Y - b.Y, a.Z - b.Z};
}
TVec3 Vec3Scale(const TVec3& a, float s)
{
    return {a.X * s, a.Y * s, a.Z * s};
}
float Vec3Dot(const TVec3& a, const TVec3& b)
{
    return a.X * b.X + a.Y * b.Y + a.Z * b.Z;
}

TVec3 Vec3Cross(const TVec3& a, const TVec3& b)
{
    return {a.Y * b.Z - b.Y * a.Z, b.X * a.Z - b.Z * a.X, a.X * b.Y - b.X * a.Y};
}

float Vec3Length(const TVec3& a)
{
    return std::sqrt(Vec3Dot(a, a));
}
float Vec3Distance(const TVec3& a, const TVec3& b)
{
    return Vec3Length(Vec3Sub(a, b));
}

TVec3 Vec3Normalize(const TVec3& a)
{
    const float len = Vec3Length(a);
    if (!(len > 1e-9f))  // also catches NaN
        return {0, 0, 0};
    return Vec3Scale(a, 1.0f / len);
}

float DegToRad(float degrees)
{
    return static_cast<float>(static_cast<double>(degrees) * std::numbers::pi / 180.0);
}

float RadToDeg(float radians)
{
    return static_cast<float>(static_cast<double>(radians) * 180.0 / std::numbers::pi);
}

TMatrix4 MatIdentity()
{
    return {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
}

TMatrix4 MatTranslation(float x, float y, float z)
{
    TMatrix4 m = MatIdentity();
    m[3] = x;
    m[7] = y;
    m[11] = z;
    return m;
}

TMatrix4 MatTranslationFromVec3(const TVec3& v)
{
    return MatTranslation(v.X, v.Y, v.Z);
}

TMatrix4 MatScaling(float x, float y, float z)
{
    TMatrix4 m = MatIdentity();
    m[0] = x;
    m[5] = y;
    m[10] = z;
    return m;
}

namespace {
void CosSin(float degrees, float& c, float& s)
{
    const float r = DegToRad(degrees);
    c = std::cos(r);
    s = std::sin(r);
}

// Determinant of the 3x3 minor of M without row skipRow and column skipCol.
float MinorDeterminant(const TMatrix4& M, int skipRow, int skipCol)
{
    float m[3][3];
    int rr = 0;
    for (int r = 0; r < 4; ++r) {
        if (r == skipRow)
            continue;
        int cc = 0;
        for (int c = 0; c < 4; ++c) {
            if (c == skipCol)
                continue;
            m[rr][cc++] = M[r * 4 + c];
        }
        ++rr;
    }
    return (m[2][2] * m[1][1] - m[2][1] * m[1][2]) * m[0][0] -
           (m[2][2] * m[1][0] - m[2][0] * m[1][2]) * m[0][1] +
           (m[2][1] * m[1][0] - m[2][0] * m[1][1]) * m[0][2];
}

float Det3(const float R[3][3])
{
    return (R[2][2] * R[1][1] - R[2][1] * R[1][2]) * R[0][0] -
           (R[2][2] * R[1][0] - R[2][0] * R[1][2]) * R[0][1] +
           (R[2][1] * R[1][0] - R[2][0] * R[1][1]) * R[0][2];
}
}  // namespace

TMatrix4 MatRotationX(float degrees)
{
    float c, s;
    CosSin(degrees, c, s);
    TMatrix4 m = MatIdentity();
    m[5] = c;
    m[6] = -s;
    m[9] = s;
    m[10] = c;
    return m;
}

TMatrix4 MatRotationY(float degrees)
{
    float c, s;
    CosSin(degrees, c, s);
    TMatrix4 m = MatIdentity();
    m[0] = c;
    m[2] = s;
    m[8] = -s;
    m[10] = c;
    return m;
}

TMatrix4 MatRotationZ(float degrees)
{
    float c, s;
    CosSin(degrees, c, s);
    TMatrix4 m = MatIdentity();
    m[0] = c;
    m[1] = -s;
    m[4] = s;
    m[5] = c;
    return m;
}

void MatMultiply(const TMatrix4& A, const TMatrix4& B, TMatrix4& C)
{
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c) {
            C[r * 4 + c] = 0;
            for (int k = 0; k < 4; ++k)
                C[r * 4 + c] += A[r * 4 + k] * B[k * 4 + c];
        }
}

void MatTranspose(const TMatrix4& src, TMatrix4& dst)
{
    TMatrix4 t;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 4; ++c)
            t[c * 4 + r] = src[r * 4 + c];
    dst = t;
}

void MatCompose(const TVec3& translation, const TVec3& rotation, const TVec3& scale, TMatrix4& M)
{
    TMatrix4 ryz, rxyz, rs;
    MatMultiply(MatRotationY(rotation.Y), MatRotationZ(rotation.Z), ryz);
    MatMultiply(MatRotationX(rotation.X), ryz, rxyz);
    MatMultiply(rxyz, MatScaling(scale.X, scale.Y, scale.Z), rs);
    MatMultiply(MatTranslationFromVec3(translation), rs, M);
}

bool MatInverse(const TMatrix4& M, TMatrix4& Inv)
{
    float det = 0;
    for (int c = 0; c < 4; ++c) {
        const float minor = MinorDeterminant(M, 0, c);
        det += (c % 2 ? -minor : minor) * M[c];
    }
    if (std::fabs(det) < 1e-12f) {
        Inv.fill(0);
        return false;
    }
    TMatrix4 out;
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r) {
            const float minor = MinorDeterminant(M, r, c);
            out[c * 4 + r] = ((r + c) % 2 ? -minor : minor) / det;
        }
    Inv = out;
    return true;
}

TVec3 MatTransformPoint(const TVec3& p, const TMatrix4& M)
{
    return {M[0] * p.X + M[1] * p.Y + M[2] * p.Z + M[3],
            M[4] * p.X + M[5] * p.Y + M[6] * p.Z + M[7],
            M[8] * p.X + M[9] * p.Y + M[10] * p.Z + M[11]};
}

TVec3 MatTransformVector(const TVec3& v, const TMatrix4& M)
{
    return {M[0] * v.X + M[1] * v.Y + M[2] * v.Z, M[4] * v.X + M[5] * v.Y + M[6] * v.Z,
            M[8] * v.X + M[9] * v.Y + M[10] * v.Z};
}

TVec3 MatTransformVectorTransposed(const TVec3& v, const TMatrix4& M)
{
    return {M[0] * v.X + M[4] * v.Y + M[8] * v.Z, M[1] * v.X + M[5] * v.Y + M[9] * v.Z,
            M[2] * v.X + M[6] * v.Y + M[10] * v.Z};
}

TVec3 MatTransformNormal(const TVec3& n, const TMatrix4& M)
{
    TMatrix4 inv;
    if (!MatInverse(M, inv))
        return {0, 0, 0};
    return MatTransformVectorTransposed(n, inv);
}

bool MatDecompose(const TMatrix4& M, TVec3& Translation, TVec3& Rotation, TVec3& Scale, bool& Shear)
{
    Shear = false;
    Translation = {M[3], M[7], M[11]};
    const float sx = Vec3Length({M[0], M[4], M[8]});
    const float sy = Vec3Length({M[1], M[5], M[9]});
    const float sz = Vec3Length({M[2], M[6], M[10]});
    if (sx < 1e-9f || sy < 1e-9f || sz < 1e-9f)
        return false;
    TVec3 s{sx, sy, sz};
    const float sc[3] = {sx, sy, sz};
    float R[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c)
            R[r][c] = M[r * 4 + c] / sc[c];

    auto col = [&](int c) { return TVec3{R[0][c], R[1][c], R[2][c]}; };
    const float d01 = Vec3Dot(col(0), col(1));
    const float d02 = Vec3Dot(col(0), col(2));
    const float d12 = Vec3Dot(col(1), col(2));
    if (std::fabs(d01) > 0.001f || std::fabs(d02) > 0.001f || std::fabs(d12) > 0.001f)
        Shear = true;

    if (Det3(R) < 0) {
        for (int r = 0; r < 3; ++r)
            R[r][0] = -R[r][0];
        s.X = -s.X;
    }
    float t = R[0][2];
    t = std::min(t, 1.0f);
    t = std::max(t, -1.0f);
    const float ry = std::asin(t);
    float rx, rz;
    if (std::fabs(std::cos(ry)) > 1e-6f) {
        rx = std::atan2(-R[1][2], R[2][2]);
        rz = std::atan2(-R[0][1], R[0][0]);
    } else {
        rz = 0;
        rx = R[0][2] >= 0 ? std::atan2(R[2][1], -R[2][0]) : std::atan2(R[2][1], R[2][0]);
    }
    Scale = s;
    Rotation = {RadToDeg(rx), RadToDeg(ry), RadToDeg(rz)};
    return true;
}

bool RayTriangleIntersect(const TVec3& Origin, const TVec3& Direction, const TVec3& V0,
                          const TVec3& V1, const TVec3& V2, float& T)
{
    const TVec3 e1 = Vec3Sub(V1, V0);
    const TVec3 e2 = Vec3Sub(V2, V0);
    const TVec3 p = Vec3Cross(Direction, e2);
    const float det = Vec3Dot(e1, p);
    if (std::fabs(det) < 1e-12f)
        return false;
    const float inv = 1.0f / det;
    const TVec3 s = Vec3Sub(Origin, V0);
    const float u = Vec3Dot(s, p) * inv;
    if (u < 0 || u > 1)
        return false;
    const TVec3 q = Vec3Cross(s, e1);
    const float v = Vec3Dot(Direction, q) * inv;
    if (v < 0 || u + v > 1)
        return false;
    T = Vec3Dot(e2, q) * inv;
    return T > 0;
}
