#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <numbers>

#include "app/d3dx_math.h"
#include "app/recording_device.h"
#include "assets/meshes.h"
#include "scene/cube_chain.h"
#include "scene/light_camera.h"
#include "scene/submarine.h"

namespace {

BeatClock clockAt(double beatTime)
{
    return {beatTime, std::fmod(beatTime, 1.0), static_cast<std::int32_t>(beatTime)};
}

// The numbers of a recorded call's field: an array, or one value.
std::vector<double> field(const std::string& call, const std::string& name)
{
    std::vector<double> values;
    const std::size_t at = call.find("\"" + name + "\":");
    if (at == std::string::npos) {
        return values;
    }
    const char* p = call.c_str() + at + name.size() + 3;
    if (*p != '[') {
        values.push_back(std::strtod(p, nullptr));
        return values;
    }
    while (*p != ']') {
        char* end = nullptr;
        values.push_back(std::strtod(p + 1, &end));
        p = end;
    }
    return values;
}

D3DXMATRIX matrixOf(const std::string& call)
{
    const std::vector<double> values = field(call, "matrix");
    D3DXMATRIX m{};
    for (std::size_t i = 0; i < 16 && i < values.size(); ++i) {
        m.m[i / 4][i % 4] = static_cast<float>(values[i]);
    }
    return m;
}

std::vector<std::string> callsNamed(const RecordingDevice& device, const std::string& name)
{
    std::vector<std::string> matching;
    const std::vector<std::string> names = device.callNames();
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (names[i] == name) {
            matching.push_back(device.calls()[i]);
        }
    }
    return matching;
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
};

}  // namespace

TEST(LightAndCamera, LightFlashesOnTheBeatAndFadesWithinIt)
{
    for (const auto& [beatPhase, level] : {std::pair{0.0, 4.5}, std::pair{0.5, 1.5}}) {
        RecordingDevice device;
        D3DMATERIAL9 sceneMaterial{{9, 9, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}, {9, 9, 9, 9}, 9};
        setLightMaterialCamera(device, beatPhase, sceneMaterial);

        const std::string light = device.calls()[0];
        expectValues(field(light, "Diffuse"), {level, level, level, 0});
        expectValues(field(light, "Specular"), {level, level, level, 0});
        expectValues(field(light, "Ambient"), {level / 2, level / 2, level / 2, 0});
        expectValues(field(light, "Direction"), {0.91287094, -0.18257418, 0.36514837});
        expectValues(field(light, "Position"), {0, 0, 0});
        EXPECT_EQ(field(light, "Type"), std::vector<double>{3});
        EXPECT_EQ(field(light, "Range"), std::vector<double>{1000});
        EXPECT_EQ(field(light, "Attenuation0"), std::vector<double>{1});
        for (const char* zero : {"Falloff", "Attenuation1", "Attenuation2", "Theta", "Phi"}) {
            EXPECT_EQ(field(light, zero), std::vector<double>{0}) << zero;
        }
        const D3DMATERIAL9 cleared{};
        EXPECT_EQ(std::memcmp(&sceneMaterial, &cleared, sizeof cleared), 0);
    }
}

TEST(LightAndCamera, SetsStatesAndCameraInOrder)
{
    RecordingDevice device;
    D3DMATERIAL9 sceneMaterial;
    setLightMaterialCamera(device, 0.25, sceneMaterial);
    const std::vector<std::string>& calls = device.calls();
    ASSERT_EQ(calls.size(), 8u);
    EXPECT_EQ(device.callNames()[0], "SetLight");
    EXPECT_EQ(calls[1], R"({"call":"LightEnable","index":0,"enable":true})");
    EXPECT_EQ(calls[2], R"({"call":"SetRenderState","state":"SPECULARENABLE","value":1})");
    EXPECT_EQ(calls[3], R"({"call":"SetRenderState","state":"NORMALIZENORMALS","value":1})");
    EXPECT_EQ(calls[4], R"({"call":"SetRenderState","state":"SPECULARMATERIALSOURCE","value":0})");
    EXPECT_EQ(calls[5], R"({"call":"SetRenderState","state":"ALPHABLENDENABLE","value":0})");
    EXPECT_NE(calls[6].find(R"("state":"VIEW")"), std::string::npos);
    expectValues(field(calls[6], "matrix"), {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 2, 1});
    // cot(0.5) / (16/9), cot(0.5), 100 / 99.9 and −0.1 × 100 / 99.9.
    EXPECT_NE(calls[7].find(R"("state":"PROJECTION")"), std::string::npos);
    expectValues(field(calls[7], "matrix"),
                 {1.02964934, 0, 0, 0, 0, 1.83048772, 0, 0, 0, 0, 1.001001, 1, 0, 0, -0.1001001, 0});
}

TEST(CubeChain, WorkedValuesAtBeat208AndAHalf)
{
    RecordingDevice device;
    const Mesh* cube = createCubeMesh(device);
    D3DMATERIAL9 sceneMaterial{};
    drawCubeChain(device, cube, sceneMaterial, clockAt(208.5));
    const std::vector<std::string> worlds = callsNamed(device, "SetTransform");
    const std::vector<std::string> materials = callsNamed(device, "SetMaterial");
    ASSERT_EQ(worlds.size(), 10u);
    ASSERT_EQ(materials.size(), 11u);

    // Cube 0: cubePhase 217, half size, turned by (0, 1, −0.94088), at (−4.5, −0.32443, 2).
    const D3DXMATRIX world0 = matrixOf(worlds[0]);
    const D3DXMATRIX expectedTurn = D3DXMatrixMultiply(D3DXMatrixRotationYawPitchRoll(0.0f, 1.0f, -0.94088f),
                                                       D3DXMatrixScaling(0.5f, 0.5f, 0.5f));
    for (int row = 0; row < 3; ++row) {
        for (int col = 0; col < 3; ++col) {
            EXPECT_NEAR(world0.m[row][col], expectedTurn.m[row][col], 1e-4) << row << "," << col;
        }
    }
    expectPoint({world0.m[3][0], world0.m[3][1], world0.m[3][2]}, {-4.5f, -0.32443f, 2.0f});
    expectValues(field(materials[0], "Diffuse"), {0.48228, -0.39747, 0.49988, 0}, 1e-5);
    expectValues(field(materials[0], "Specular"), {0.48228, -0.39747, 0.49988, 0}, 1e-5);
    expectValues(field(materials[0], "Ambient"), {0, 0, 0, 0});
    expectValues(field(materials[0], "Emissive"), {0, 0, 0, 0});
    EXPECT_EQ(field(materials[0], "Power"), std::vector<double>{5});

    // Cube 2 has cubePhase 209: its yaw sin(209π) is zero, its pitch sin(104.5π) one.
    const D3DXMATRIX world2 = matrixOf(worlds[2]);
    const D3DXMATRIX turn2 = D3DXMatrixMultiply(
        D3DXMatrixRotationYawPitchRoll(0.0f, 1.0f, static_cast<float>(std::sin(0.33 * std::numbers::pi * 209.0))),
        D3DXMatrixScaling(0.5f, 0.5f, 0.5f));
    EXPECT_NEAR(world2.m[0][0], turn2.m[0][0], 1e-4);
    EXPECT_NEAR(world2.m[2][1], turn2.m[2][1], 1e-4);
    EXPECT_FLOAT_EQ(matrixOf(worlds[9]).m[3][0], 4.5f);

    // After the last cube the device keeps a neutral grey.
    expectValues(field(materials[10], "Diffuse"), {0.5, 0.5, 0.5, 0.5});
    expectValues(field(materials[10], "Ambient"), {0.5, 0.5, 0.5, 0.5});
    expectValues(field(materials[10], "Specular"), {0.5, 0.5, 0.5, 0.5});
    expectValues(field(materials[10], "Emissive"), {0, 0, 0, 0});
    EXPECT_EQ(field(materials[10], "Power"), std::vector<double>{5});
}

TEST(CubeChain, DrawsFromBeat208WithTransformsAndMaterialsSetBefore)
{
    for (const auto& [beatTime, draws] : {std::pair{207.99, 0}, std::pair{208.0, 10}}) {
        RecordingDevice device;
        const Mesh* cube = createCubeMesh(device);
        D3DMATERIAL9 sceneMaterial{};
        drawCubeChain(device, cube, sceneMaterial, clockAt(beatTime));
        std::vector<std::string> expected;
        for (int j = 0; j < 10; ++j) {
            expected.insert(expected.end(), {"SetTransform", "SetMaterial"});
            if (draws) {
                expected.push_back("DrawSubset");
            }
        }
        expected.push_back("SetMaterial");
        EXPECT_EQ(device.callNames(), expected) << beatTime;
        for (const std::string& draw : callsNamed(device, "DrawSubset")) {
            EXPECT_EQ(draw, R"({"call":"DrawSubset","mesh":"cube","subset":0})");
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
        drawSubmarine(submarine.device, submarine.model, clockAt(p.beatTime));
        const D3DXMATRIX world = matrixOf(submarine.device.calls()[0]);
        expectPoint(D3DXVec3TransformCoord({0, 0, 0}, world), p.origin);
        expectPoint(D3DXVec3TransformCoord({0, 50, -300}, world), p.offsetAt);
    }

    // At 144 the model's z axis lies along the world's x axis, scaled to 0.005.
    TwoSubsetSubmarine start;
    drawSubmarine(start.device, start.model, clockAt(144.0));
    const D3DXMATRIX world = matrixOf(start.device.calls()[0]);
    expectPoint(D3DXVec3TransformCoord({0, 0, 100}, world), {4.875f + 0.5f, 0.5f, 0});

    // Just before beat 168 it is at the left end of its path; at 168 it is back on the right.
    TwoSubsetSubmarine late;
    drawSubmarine(late.device, late.model, clockAt(167.99));
    EXPECT_LT(D3DXVec3TransformCoord({0, 0, 0}, matrixOf(late.device.calls()[0])).x, -2.0f);
}

TEST(Submarine, DrawsEachSubsetAfterItsMaterialFromBeat144)
{
    for (const double beatTime : {143.99, 144.0}) {
        TwoSubsetSubmarine submarine;
        drawSubmarine(submarine.device, submarine.model, clockAt(beatTime));
        const std::vector<std::string>& calls = submarine.device.calls();
        if (beatTime < 144.0) {
            EXPECT_EQ(submarine.device.callNames(), std::vector<std::string>{"SetTransform"});
            continue;
        }
        ASSERT_EQ(calls.size(), 5u);
        EXPECT_NE(calls[0].find(R"("state":"WORLD")"), std::string::npos);
        expectValues(field(calls[1], "Diffuse"), {1, 0, 0, 1});
        EXPECT_EQ(calls[2], R"({"call":"DrawSubset","mesh":"submarine","subset":0})");
        expectValues(field(calls[3], "Diffuse"), {0, 1, 0, 1});
        EXPECT_EQ(calls[4], R"({"call":"DrawSubset","mesh":"submarine","subset":1})");
    }
}

TEST(Scene3d, MissingMeshesAndMaterialsDrawNothing)
{
    RecordingDevice device;
    D3DMATERIAL9 sceneMaterial{};
    drawCubeChain(device, nullptr, sceneMaterial, clockAt(250.0));
    EXPECT_TRUE(callsNamed(device, "DrawSubset").empty());
    EXPECT_EQ(callsNamed(device, "SetTransform").size(), 10u);

    TwoSubsetSubmarine noMaterials;
    noMaterials.model.materials.clear();
    drawSubmarine(noMaterials.device, noMaterials.model, clockAt(200.0));
    EXPECT_EQ(noMaterials.device.callNames(), std::vector<std::string>{"SetTransform"});

    TwoSubsetSubmarine noMesh;
    noMesh.model.mesh = nullptr;
    drawSubmarine(noMesh.device, noMesh.model, clockAt(200.0));
    EXPECT_TRUE(callsNamed(noMesh.device, "DrawSubset").empty());
}
