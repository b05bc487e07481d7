#include "core/d3dx_math.h"

#include <cmath>

D3DXMATRIX D3DXMatrixIdentity()
{
    return {{{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}}};
}

D3DXMATRIX D3DXMatrixTranslation(float x, float y, float z)
{
    D3DXMATRIX out = D3DXMatrixIdentity();
    out.m[3][0] = x;
    out.m[3][1] = y;
    out.m[3][2] = z;
    return out;
}

D3DXMATRIX D3DXMatrixScaling(float sx, float sy, float sz)
{
    return {{{sx, 0, 0, 0}, {0, sy, 0, 0}, {0, 0, sz, 0}, {0, 0, 0, 1}}};
}

D3DXMATRIX D3DXMatrixRotationYawPitchRoll(float yaw, float pitch, float roll)
{
    const float sy = std::sin(yaw), cy = std::cos(yaw);
    const float sp = std::sin(pitch), cp = std::cos(pitch);
    const float sr = std::sin(roll), cr = std::cos(roll);
    return {{
        {sr * sp * sy + cr * cy, sr * cp, sr * sp * cy - cr * sy, 0},
        {cr * sp * sy - sr * cy, cr * cp, cr * sp * cy + sr * sy, 0},
        {cp * sy, -sp, cp * cy, 0},
        {0, 0, 0, 1},
    }};
}

D3DXMATRIX D3DXMatrixRotationQuaternion(const D3DXQUATERNION& q)
{
    const float x = q.x, y = q.y, z = q.z, w = q.w;
    return {{
        {1 - 2 * (y * y + z * z), 2 * (x * y + z * w), 2 * (x * z - y * w), 0},
        {2 * (x * y - z * w), 1 - 2 * (x * x + z * z), 2 * (y * z + x * w), 0},
        {2 * (x * z + y * w), 2 * (y * z - x * w), 1 - 2 * (x * x + y * y), 0},
        {0, 0, 0, 1},
    }};
}

D3DXMATRIX D3DXMatrixMultiply(const D3DXMATRIX& a, const D3DXMATRIX& b)
{
    D3DXMATRIX out;
    for (int row = 0; row < 4; ++row) {
        for (int col = 0; col < 4; ++col) {
            out.m[row][col] = a.m[row][0] * b.m[0][col] + a.m[row][1] * b.m[1][col] + a.m[row][2] * b.m[2][col] +
                              a.m[row][3] * b.m[3][col];
        }
    }
    return out;
}

D3DXMATRIX D3DXMatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar)
{
    const float yScale = 1.0f / std::tan(fovY / 2);
    const float xScale = yScale / aspect;
    const float depthScale = zFar / (zFar - zNear);
    return {{
        {xScale, 0, 0, 0},
        {0, yScale, 0, 0},
        {0, 0, depthScale, 1},
        {0, 0, -zNear * depthScale, 0},
    }};
}

D3DXMATRIX D3DXMatrixOrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar)
{
    return {{
        {2 / (right - left), 0, 0, 0},
        {0, 2 / (top - bottom), 0, 0},
        {0, 0, 1 / (zFar - zNear), 0},
        {(left + right) / (left - right), (top + bottom) / (bottom - top), zNear / (zNear - zFar), 1},
    }};
}

D3DXMATRIX D3DXMatrixAffineTransformation(float scaling, const D3DXVECTOR3* rotationCentre,
                                          const D3DXQUATERNION* rotation, const D3DXVECTOR3* translation)
{
    D3DXMATRIX out = D3DXMatrixScaling(scaling, scaling, scaling);
    if (rotation) {
        const D3DXMATRIX turn = D3DXMatrixRotationQuaternion(*rotation);
        for (int row = 0; row < 3; ++row) {
            for (int col = 0; col < 3; ++col) {
                out.m[row][col] = scaling * turn.m[row][col];
            }
        }
        if (rotationCentre) {
            const D3DXVECTOR3 turnedCentre = D3DXVec3TransformCoord(*rotationCentre, turn);
            out.m[3][0] = rotationCentre->x - turnedCentre.x;
            out.m[3][1] = rotationCentre->y - turnedCentre.y;
            out.m[3][2] = rotationCentre->z - turnedCentre.z;
        }
    }
    if (translation) {
        out.m[3][0] += translation->x;
        out.m[3][1] += translation->y;
        out.m[3][2] += translation->z;
    }
    return out;
}

D3DXQUATERNION D3DXQuaternionRotationYawPitchRoll(float yaw, float pitch, float roll)
{
    const float sy = std::sin(yaw / 2), cy = std::cos(yaw / 2);
    const float sp = std::sin(pitch / 2), cp = std::cos(pitch / 2);
    const float sr = std::sin(roll / 2), cr = std::cos(roll / 2);
    return {
        sy * cp * sr + cy * sp * cr,
        sy * cp * cr - cy * sp * sr,
        cy * cp * sr - sy * sp * cr,
        cy * cp * cr + sy * sp * sr,
    };
}

D3DXVECTOR3 D3DXVec3Normalize(const D3DXVECTOR3& v)
{
    const float length = std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
    if (length == 0.0f) {
        return {0, 0, 0};
    }
    return {v.x / length, v.y / length, v.z / length};
}

D3DXVECTOR3 D3DXVec3TransformCoord(const D3DXVECTOR3& v, const D3DXMATRIX& m)
{
    const float w = v.x * m.m[0][3] + v.y * m.m[1][3] + v.z * m.m[2][3] + m.m[3][3];
    return {
        (v.x * m.m[0][0] + v.y * m.m[1][0] + v.z * m.m[2][0] + m.m[3][0]) / w,
        (v.x * m.m[0][1] + v.y * m.m[1][1] + v.z * m.m[2][1] + m.m[3][1]) / w,
        (v.x * m.m[0][2] + v.y * m.m[1][2] + v.z * m.m[2][2] + m.m[3][2]) / w,
    };
}
