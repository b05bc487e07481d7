#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "core/d3dx_math.h"

namespace {

void expectNear(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

constexpr float kQuarterTurn = std::numbers::pi_v<float> / 2;

}  // namespace

TEST(D3dxMath, ProductAppliesLeftFactorFirst)
{
    // Move by (1, 0, 0), then turn a quarter about z: (1,0,0) lands on (0,1,0) only in that order.
    const D3DXMATRIX moveThenTurn =
        D3DXMatrixMultiply(D3DXMatrixTranslation(1, 0, 0), D3DXMatrixRotationYawPitchRoll(0, 0, kQuarterTurn));
    expectNear(D3DXVec3TransformCoord({0, 0, 0}, moveThenTurn), {0, 1, 0});
    const D3DXMATRIX turnThenMove =
        D3DXMatrixMultiply(D3DXMatrixRotationYawPitchRoll(0, 0, kQuarterTurn), D3DXMatrixTranslation(1, 0, 0));
    expectNear(D3DXVec3TransformCoord({0, 0, 0}, turnThenMove), {1, 0, 0});
}

TEST(D3dxMath, SingleAxisTurnsFollowTheLeftHandedRule)
{
    // Left-handed: a positive yaw turns +z towards +x, a positive pitch turns +y towards +z,
    // a positive roll turns +x towards +y.
    expectNear(D3DXVec3TransformCoord({0, 0, 1}, D3DXMatrixRotationYawPitchRoll(kQuarterTurn, 0, 0)), {1, 0, 0});
    expectNear(D3DXVec3TransformCoord({0, 1, 0}, D3DXMatrixRotationYawPitchRoll(0, kQuarterTurn, 0)), {0, 0, 1});
    expectNear(D3DXVec3TransformCoord({1, 0, 0}, D3DXMatrixRotationYawPitchRoll(0, 0, kQuarterTurn)), {0, 1, 0});
}

TEST(D3dxMath, YawPitchRollTurnsRollFirstThenPitchThenYaw)
{
    // (1,0,0): roll a quarter -> (0,1,0); pitch a quarter -> (0,0,1); yaw a quarter -> (1,0,0).
    const D3DXMATRIX all = D3DXMatrixRotationYawPitchRoll(kQuarterTurn, kQuarterTurn, kQuarterTurn);
    expectNear(D3DXVec3TransformCoord({1, 0, 0}, all), {1, 0, 0});
    // The quaternion turns the same way as the matrix, for angles that do not commute.
    const float yaw = 0.7f, pitch = -0.4f, roll = 1.3f;
    const D3DXQUATERNION q = D3DXQuaternionRotationYawPitchRoll(yaw, pitch, roll);
    const D3DXVECTOR3 v{0.3f, -1.2f, 2.0f};
    expectNear(D3DXVec3TransformCoord(v, D3DXMatrixRotationQuaternion(q)),
               D3DXVec3TransformCoord(v, D3DXMatrixRotationYawPitchRoll(yaw, pitch, roll)));
}

TEST(D3dxMath, AffineTransformationScalesTurnsThenMoves)
{
    const D3DXQUATERNION quarterRoll = D3DXQuaternionRotationYawPitchRoll(0, 0, kQuarterTurn);
    const D3DXVECTOR3 move{100, 50, 0};
    const D3DXMATRIX m = D3DXMatrixAffineTransformation(2, nullptr, &quarterRoll, &move);
    // (10,0): scaled to (20,0), turned to (0,20), moved to (100,70).
    expectNear(D3DXVec3TransformCoord({10, 0, 0}, m), {100, 70, 0});
    // With a centre, the centre stays put under the turn and is not scaled.
    const D3DXVECTOR3 centre{5, 5, 0};
    expectNear(D3DXVec3TransformCoord(centre, D3DXMatrixAffineTransformation(1, &centre, &quarterRoll, nullptr)),
               centre);
    // No rotation: a plain uniform scale plus translation.
    expectNear(D3DXVec3TransformCoord({1, 2, 3}, D3DXMatrixAffineTransformation(1.5f, nullptr, nullptr, &move)),
               {101.5f, 53, 4.5f});
}

TEST(D3dxMath, PerspectiveFovLHMapsNearAndFarToZeroAndOne)
{
    const D3DXMATRIX p = D3DXMatrixPerspectiveFovLH(1.0f, 16.0f / 9.0f, 0.1f, 100.0f);
    expectNear(D3DXVec3TransformCoord({0, 0, 0.1f}, p), {0, 0, 0});
    expectNear(D3DXVec3TransformCoord({0, 0, 100}, p), {0, 0, 1}, 1e-4f);
    // A point on the top edge of the 1-radian field of view lands on y = 1.
    const float z = 4;
    expectNear(D3DXVec3TransformCoord({0, z * std::tan(0.5f), z}, p), {0, 1, D3DXVec3TransformCoord({0, 0, z}, p).z});
}

// The sprite projection over the 1280 × 720 target: pixel edges, offset by half a pixel, span clip space.
TEST(D3dxMath, OrthoOffCenterLHMapsTheBoxOntoClipSpace)
{
    const D3DXMATRIX p = D3DXMatrixOrthoOffCenterLH(0.5f, 1280.5f, 720.5f, 0.5f, 0, 1);
    expectNear(D3DXVec3TransformCoord({0.5f, 0.5f, 0}, p), {-1, 1, 0});
    expectNear(D3DXVec3TransformCoord({1280.5f, 720.5f, 1}, p), {1, -1, 1});
    expectNear(D3DXVec3TransformCoord({640.5f, 360.5f, 0.25f}, p), {0, 0, 0.25f});
    const D3DXMATRIX depthRange = D3DXMatrixOrthoOffCenterLH(-1, 1, -1, 1, 2, 6);
    expectNear(D3DXVec3TransformCoord({0, 0, 2}, depthRange), {0, 0, 0});
    expectNear(D3DXVec3TransformCoord({0, 0, 4}, depthRange), {0, 0, 0.5f});
}

TEST(D3dxMath, NormalizeGivesUnitLengthAndLeavesZeroAlone)
{
    expectNear(D3DXVec3Normalize({1.25f, -0.25f, 0.5f}), {0.91287094f, -0.18257418f, 0.36514837f});
    expectNear(D3DXVec3Normalize({0, 0, 0}), {0, 0, 0});
}
