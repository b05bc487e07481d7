// Matrix, vector and quaternion helpers with the classic D3DX definitions:
// row vectors, and a product A × B applies A first, then B.
#pragma once

#include "core/d3d_types.h"

D3DXMATRIX D3DXMatrixIdentity();
D3DXMATRIX D3DXMatrixTranslation(float x, float y, float z);
D3DXMATRIX D3DXMatrixScaling(float sx, float sy, float sz);
// Turns by roll about z first, then pitch about x, then yaw about y.
D3DXMATRIX D3DXMatrixRotationYawPitchRoll(float yaw, float pitch, float roll);
D3DXMATRIX D3DXMatrixRotationQuaternion(const D3DXQUATERNION& q);
D3DXMATRIX D3DXMatrixMultiply(const D3DXMATRIX& a, const D3DXMATRIX& b);
D3DXMATRIX D3DXMatrixPerspectiveFovLH(float fovY, float aspect, float zNear, float zFar);
// Left-handed orthographic projection of the box [left, right] × [bottom, top] × [zNear, zFar]
// onto x and y in [-1, 1] and depth in [0, 1].
D3DXMATRIX D3DXMatrixOrthoOffCenterLH(float left, float right, float bottom, float top, float zNear, float zFar);
// Scales by `scaling`, turns about `rotationCentre` (the origin when null) by
// `rotation` (none when null), then moves by `translation` (none when null).
D3DXMATRIX D3DXMatrixAffineTransformation(float scaling, const D3DXVECTOR3* rotationCentre,
                                          const D3DXQUATERNION* rotation, const D3DXVECTOR3* translation);
D3DXQUATERNION D3DXQuaternionRotationYawPitchRoll(float yaw, float pitch, float roll);
D3DXVECTOR3 D3DXVec3Normalize(const D3DXVECTOR3& v);
// v × M with the divide by w.
D3DXVECTOR3 D3DXVec3TransformCoord(const D3DXVECTOR3& v, const D3DXMATRIX& m);
