#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "assets/meshes.h"
#include "core/recording_device.h"
#include "tests/model_support.h"
#include "tests/test_support.h"

namespace {

D3DXVECTOR3 cornerPosition(const MeshData& mesh, std::size_t index)
{
    return mesh.vertices[mesh.indices[index]].position;
}

}  // namespace

TEST(BoxMesh, HasFourVerticesPerSideFacingOutwardInClockwiseTriangles)
{
    const MeshData box = boxMeshData(1.0f, 1.0f, 1.0f);
    ASSERT_EQ(box.vertices.size(), 24u);
    ASSERT_EQ(box.indices.size(), 36u);
    ASSERT_EQ(box.subsets.size(), 1u);
    EXPECT_EQ(box.subsets[0].firstIndex, 0u);
    EXPECT_EQ(box.subsets[0].indexCount, 36u);

    // The +z side: vertices 16 to 19, triangles (16, 17, 18) and (18, 19, 16).
    expectVector(box.vertices[16].position, {-0.5f, -0.5f, 0.5f});
    expectVector(box.vertices[17].position, {0.5f, -0.5f, 0.5f});
    expectVector(box.vertices[18].position, {0.5f, 0.5f, 0.5f});
    expectVector(box.vertices[19].position, {-0.5f, 0.5f, 0.5f});
    EXPECT_EQ(std::vector<std::uint32_t>(box.indices.begin() + 24, box.indices.begin() + 30),
              (std::vector<std::uint32_t>{16, 17, 18, 18, 19, 16}));

    for (std::size_t t = 0; t < box.indices.size(); t += 3) {
        const D3DXVECTOR3 p0 = cornerPosition(box, t), p1 = cornerPosition(box, t + 1), p2 = cornerPosition(box, t + 2);
        const D3DXVECTOR3 e1{p1.x - p0.x, p1.y - p0.y, p1.z - p0.z}, e2{p2.x - p0.x, p2.y - p0.y, p2.z - p0.z};
        const D3DXVECTOR3 winding{e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z, e1.x * e2.y - e1.y * e2.x};
        const D3DXVECTOR3 normal = box.vertices[box.indices[t]].normal;
        // (p1 − p0) × (p2 − p0) along the outward normal is a clockwise triangle seen from outside.
        EXPECT_GT(winding.x * normal.x + winding.y * normal.y + winding.z * normal.z, 0.0f) << "triangle " << t / 3;
        const D3DXVECTOR3 centre{(p0.x + p1.x + p2.x) / 3, (p0.y + p1.y + p2.y) / 3, (p0.z + p1.z + p2.z) / 3};
        EXPECT_GT(centre.x * normal.x + centre.y * normal.y + centre.z * normal.z, 0.0f) << "triangle " << t / 3;
    }
}

TEST(SubmarineModel, DrawingMaterialsTakeAmbientFromDiffuseAndPowerFour)
{
    const TemporaryDirectory directory;
    RecordingDevice device;
    const SubmarineModel model = loadSubmarineModel(device, writeModel(directory, "boat.x", kTwoMaterialModel).c_str());
    ASSERT_NE(model.mesh, nullptr);
    EXPECT_EQ(model.mesh->subsets.size(), 2u);
    ASSERT_EQ(model.materials.size(), 2u);
    const D3DMATERIAL9& paint = model.materials[0];
    expectColour(paint.Diffuse, {0.8f, 0.2f, 0.1f, 0.5f});
    expectColour(paint.Ambient, {0.8f, 0.2f, 0.1f, 0.5f});
    expectColour(paint.Specular, {0.3f, 0.4f, 0.5f, 1});
    expectColour(paint.Emissive, {0.05f, 0.06f, 0.07f, 1});
    EXPECT_FLOAT_EQ(paint.Power, 4.0f);
    expectColour(model.materials[1].Ambient, {0.1f, 0.2f, 0.9f, 1.0f});
    EXPECT_FLOAT_EQ(model.materials[1].Power, 4.0f);
}

TEST(SubmarineModel, AMissingFileIsReportedOnceAndLeavesTheModelEmpty)
{
    RecordingDevice device;
    testing::internal::CaptureStderr();
    const SubmarineModel model = loadSubmarineModel(device, "/nonexistent/submarine1_lowerpoly.x");
    const std::string errors = testing::internal::GetCapturedStderr();
    EXPECT_EQ(model.mesh, nullptr);
    EXPECT_TRUE(model.materials.empty());
    EXPECT_NE(errors.find("submarine1_lowerpoly.x"), std::string::npos);
    EXPECT_EQ(std::count(errors.begin(), errors.end(), '\n'), 1);
}
