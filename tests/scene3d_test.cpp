#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <variant>
#include <vector>

#include "assets/meshes.h"
#include "core/d3dx_math.h"
#include "core/recording_device.h"
#include "scene/cube_chain.h"
#include "scene/light_camera.h"
#include "scene/submarine.h"
#include "tests/recorded_calls.h"
#include "tests/test_support.h"

namespace {

std::vector<double> values(const D3DCOLORVALUE& c)
{
    return {c.r, c.g, c.b, c.a};
}

std::vector<double> values(const D3DXVECTOR3& v)
{
    return {v.x, v.y, v.z};
}

std::vector<double> values(const D3DXMATRIX& m)
{
    return {&m.m[0][0], &m.m[0][0] + 16};
}

void expectValues(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance = 1e-5)
{
    ASSERT_EQ(actual.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_NEAR(actual[i], expected[i], tolerance) << "component " << i;
    }
}

void expectPoint(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-4f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

// A submarine of two subsets standing in for the model file.
struct TwoSubsetSubmarine {
    RecordingDevice device;
    SubmarineModel model;

    TwoSubsetSubmarine()
    {
        MeshData data = boxMeshData(1, 1, 1);
        data.subsets = {{0, 18}, {18, 18}};
        model.mesh = device.CreateMesh(data, "submarine");
        model.materials.resize(2);
        model.materials[0].Diffuse = {1, 0, 0, 1};
        model.materials[1].Diffuse = {0, 1, 0, 1};
    }

    // The world transform the submarine pass sets first.
    D3DXMATRIX world() const { return std::get<SetTransformCall>(device.calls()[0]).matrix; }
};

}  // namespace

TEST(LightAndCamera, LightFlashesOnTheBeatAndFadesWithinIt)
{
    for (const auto& [beatPhase, level] : {std::pair{0.0, 4.5}, std::pair{0.5, 1.5}}) {
        RecordingDevice device;
        setLightAndCamera(device, clockAtBeat(100 + beatPhase));

        const SetLightCall& call = std::get<SetLightCall>(device.calls()[0]);
        EXPECT_EQ(call.index, 0u);
        const D3DLIGHT9& light = call.light;
        expectValues(values(light.Diffuse), {level, level, level, 0});
        expectValues(values(light.Specular), {level, level, level, 0});
        expectValues(values(light.Ambient), {level / 2, level / 2, level / 2, 0});
        expectValues(values(light.Direction), {0.91287094, -0.18257418, 0.36514837});
        expectValues(values(light.Position), {0, 0, 0});
        EXPECT_EQ(light.Type, D3DLIGHT_DIRECTIONAL);
        EXPECT_EQ(light.Range, 1000);
        EXPECT_EQ(light.Attenuation0, 1);
        for (const float zero : {light.Falloff, light.Attenuation1, light.Attenuation2, light.Theta, light.Phi}) {
            EXPECT_EQ(zero, 0);
        }
    }
}

TEST(LightAndCamera, SetsStatesAndCameraInOrder)
{
    RecordingDevice device;
    setLightAndCamera(device, clockAtBeat(0.25));
    const std::vector<DeviceCall>& calls = device.calls();
    ASSERT_EQ(callNames(calls),
              (std::vector<std::string>{"SetLight", "LightEnable", "SetRenderState", "SetRenderState", "SetRenderState",
                                        "SetRenderState", "SetTransform", "SetTransform"}));
    EXPECT_EQ(std::get<LightEnableCall>(calls[1]), (LightEnableCall{0, true}));
    EXPECT_EQ(callsOfType<SetRenderStateCall>(calls), (std::vector<SetRenderStateCall>{
                                                          {D3DRS_SPECULARENABLE, 1},
                                                          {D3DRS_NORMALIZENORMALS, 1},
                                                          {D3DRS_SPECULARMATERIALSOURCE, D3DMCS_MATERIAL},
                                                          {D3DRS_ALPHABLENDENABLE, 0},
                                                      }));
    const SetTransformCall& view = std::get<SetTransformCall>(calls[6]);
    EXPECT_EQ(view.state, D3DTS_VIEW);
    expectValues(values(view.matrix), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 1});
    // cot(0.5) / (16/9), cot(0.5), 100 / 99.9 and −0.1 × 100 / 99.9.
    const SetTransformCall& projection = std::get<SetTransformCall>(calls[7]);
    EXPECT_EQ(projection.state, D3DTS_PROJECTION);
    expectValues(values(projection.matrix),
                 {1.02964934, 0, 0, 0, 0, 1.83048772, 0, 0, 0, 0, 1.001001, 1, 0, 0, -0.1001001, 0});
}

TEST(CubeChain, WorkedValuesAtBeat208AndAHalf)
{
    RecordingDevice device;
    const Mesh* cube = createCubeMesh(device);
    drawCubeChain(device, cube, clockAtBeat(208.5));
    const std::vector<SetTransformCall> worlds = callsOfType<SetTransformCall>(device.calls());
    const std::vector<SetMaterialCall> materials = callsOfType<SetMaterialCall>(device.calls());
    ASSERT_EQ(worlds.size(), 10u);
    ASSERT_EQ(materials.size(), 11u);
    for (const SetTransformCall& world : worlds) {
        EXPECT_EQ(world.state, D3DTS_WORLD);
    }

    // Cube 0: cubePhase 217, half size, turned by (0, 1, −0.94088), at (−4.5, −0.32443, 2).
    const D3DXMATRIX& world0 = worlds[0].matrix;
    const D3DXMATRIX expectedTurn =
        D3DXMatrixMultiply(D3DXMatrixRotationYawPitchRoll(0.0f, 1.0f, -0.94088f), D3DXMatrixScaling(0.5f, 0.5f, 0.5f));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_NEAR(world0.m[row][col], expectedTurn.m[row][col], 1e-4) << row << "," << col;
        }
    }
    expectPoint({world0.m[3][0], world0.m[3][1], world0.m[3][2]}, {-4.5f, -0.32443f, 2.0f});
    const D3DMATERIAL9& material0 = materials[0].material;
    expectValues(values(material0.Diffuse), {0.48228, -0.39747, 0.49988, 0}, 1e-5);
    expectValues(values(material0.Specular), {0.48228, -0.39747, 0.49988, 0}, 1e-5);
    expectValues(values(material0.Ambient), {0, 0, 0, 0});
    expectValues(values(material0.Emissive), {0, 0, 0, 0});
    EXPECT_EQ(material0.Power, 5);

    // Cube 2 has cubePhase 209: its yaw sin(209π) is zero, its pitch sin(104.5π) one.
    const D3DXMATRIX& world2 = worlds[2].matrix;
    const D3DXMATRIX turn2 = D3DXMatrixMultiply(
        D3DXMatrixRotationYawPitchRoll(0.0f, 1.0f, static_cast<float>(std::sin(0.33 * std::numbers::pi * 209.0))),
        D3DXMatrixScaling(0.5f, 0.5f, 0.5f));
    EXPECT_NEAR(world2.m[0][0], turn2.m[0][0], 1e-4);
    EXPECT_NEAR(world2.m[2][1], turn2.m[2][1], 1e-4);
    EXPECT_FLOAT_EQ(worlds[9].matrix.m[3][0], 4.5f);

    // After the last cube the device keeps a neutral grey.
    const D3DMATERIAL9& grey = materials[10].material;
    expectValues(values(grey.Diffuse), {0.5, 0.5, 0.5, 0.5});
    expectValues(values(grey.Ambient), {0.5, 0.5, 0.5, 0.5});
    expectValues(values(grey.Specular), {0.5, 0.5, 0.5, 0.5});
    expectValues(values(grey.Emissive), {0, 0, 0, 0});
    EXPECT_EQ(grey.Power, 5);
}

TEST(CubeChain, DrawsFromBeat208WithTransformsAndMaterialsSetBefore)
{
    for (const auto& [beatTime, draws] : {std::pair{207.99, 0}, std::pair{208.0, 10}}) {
        RecordingDevice device;
        const Mesh* cube = createCubeMesh(device);
        drawCubeChain(device, cube, clockAtBeat(beatTime));
        std::vector<std::string> expected;
        for (int j = 0; j < 10; ++j) {
            expected.insert(expected.end(), {"SetTransform", "SetMaterial"});
            if (draws) {
                expected.push_back("DrawSubset");
            }
        }
        expected.push_back("SetMaterial");
        EXPECT_EQ(callNames(device.calls()), expected) << beatTime;
        for (const DrawSubsetCall& draw : callsOfType<DrawSubsetCall>(device.calls())) {
            EXPECT_EQ(draw, (DrawSubsetCall{"cube", 0}));
        }
    }
}

TEST(Submarine, CrossesFromTheRightEvery24Beats)
{
    struct Placement {
        double beatTime;
        D3DXVECTOR3 origin;    // where the model's origin lands
        D3DXVECTOR3 offsetAt;  // where the model point (0, 50, −300) lands: the T1 move alone
    };
    // Beat 150: the offset (1.5, −0.25, 0) turned by −0.1875 about y, then moved by T1.
    const Placement placements[] = {
        {144.0, {4.875f, 0.5f, 0}, {3.375f, 0.75f, 0}},
        {150.0, {1.6875f + 1.5f * std::cos(0.1875f), 0.125f, 1.5f * std::sin(0.1875f)}, {1.6875f, 0.375f, 0}},
        {168.0, {4.875f, 0.5f, 0}, {3.375f, 0.75f, 0}},
    };
    for (const Placement& p : placements) {
        TwoSubsetSubmarine submarine;
        drawSubmarine(submarine.device, submarine.model, clockAtBeat(p.beatTime));
        const D3DXMATRIX world = submarine.world();
        expectPoint(D3DXVec3TransformCoord({0, 0, 0}, world), p.origin);
        expectPoint(D3DXVec3TransformCoord({0, 50, -300}, world), p.offsetAt);
    }

    // At 144 the model's z axis lies along the world's x axis, scaled to 0.005.
    TwoSubsetSubmarine start;
    drawSubmarine(start.device, start.model, clockAtBeat(144.0));
    expectPoint(D3DXVec3TransformCoord({0, 0, 100}, start.world()), {4.875f + 0.5f, 0.5f, 0});

    // Just before beat 168 it is at the left end of its path; at 168 it is back on the right.
    TwoSubsetSubmarine late;
    drawSubmarine(late.device, late.model, clockAtBeat(167.99));
    EXPECT_LT(D3DXVec3TransformCoord({0, 0, 0}, late.world()).x, -2.0f);
}

TEST(Submarine, DrawsEachSubsetAfterItsMaterialFromBeat144)
{
    for (const double beatTime : {143.99, 144.0}) {
        TwoSubsetSubmarine submarine;
        drawSubmarine(submarine.device, submarine.model, clockAtBeat(beatTime));
        const std::vector<DeviceCall>& calls = submarine.device.calls();
        if (beatTime < 144.0) {
            EXPECT_EQ(callNames(calls), std::vector<std::string>{"SetTransform"});
            continue;
        }
        ASSERT_EQ(callNames(calls),
                  (std::vector<std::string>{"SetTransform", "SetMaterial", "DrawSubset", "SetMaterial", "DrawSubset"}));
        EXPECT_EQ(std::get<SetTransformCall>(calls[0]).state, D3DTS_WORLD);
        expectValues(values(std::get<SetMaterialCall>(calls[1]).material.Diffuse), {1, 0, 0, 1});
        EXPECT_EQ(std::get<DrawSubsetCall>(calls[2]), (DrawSubsetCall{"submarine", 0}));
        expectValues(values(std::get<SetMaterialCall>(calls[3]).material.Diffuse), {0, 1, 0, 1});
        EXPECT_EQ(std::get<DrawSubsetCall>(calls[4]), (DrawSubsetCall{"submarine", 1}));
    }
}

TEST(Scene3d, MissingMeshesAndMaterialsDrawNothing)
{
    RecordingDevice device;
    drawCubeChain(device, nullptr, clockAtBeat(250.0));
    EXPECT_TRUE(callsOfType<DrawSubsetCall>(device.calls()).empty());
    EXPECT_EQ(callsOfType<SetTransformCall>(device.calls()).size(), 10u);

    TwoSubsetSubmarine noMaterials;
    noMaterials.model.materials.clear();
    drawSubmarine(noMaterials.device, noMaterials.model, clockAtBeat(200.0));
    EXPECT_EQ(callNames(noMaterials.device.calls()), std::vector<std::string>{"SetTransform"});

    TwoSubsetSubmarine noMesh;
    noMesh.model.mesh = nullptr;
    drawSubmarine(noMesh.device, noMesh.model, clockAtBeat(200.0));
    EXPECT_TRUE(callsOfType<DrawSubsetCall>(noMesh.device.calls()).empty());
}
