#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

#include "app/recording_device.h"
#include "assets/mesh_normals.h"
#include "assets/meshes.h"
#include "assets/x_model.h"
#include "tests/test_support.h"

namespace {

// Two materials, listed in the opposite order to the faces that use them; a
// frame scaling by 2 and moving by (10, 20, 30) around a frame moving by
// (1, 0, 0); no normals. A template block and a texture name with a space
// exercise the text reader.
constexpr const char* kTwoMaterialModel = R"(xof 0303txt 0032
template Vector {
 <3D82AB5E-62DA-11cf-AB39-0020AF71E433>
 FLOAT x; FLOAT y; FLOAT z;
}
Frame Boat {
 FrameTransformMatrix { 2.0,0.0,0.0,0.0, 0.0,2.0,0.0,0.0, 0.0,0.0,2.0,0.0, 10.0,20.0,30.0,1.0;; }
 Frame Deck {
  FrameTransformMatrix { 1.0,0.0,0.0,0.0, 0.0,1.0,0.0,0.0, 0.0,0.0,1.0,0.0, 1.0,0.0,0.0,1.0;; }
  Mesh DeckMesh {
   5;
   0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;, 2;0;1;;
   2;
   4;0,1,2,3;,
   3;3,2,4;;
   MeshMaterialList {
    2; 2; 1, 0;;
    Material Paint {
     0.8;0.2;0.1;0.5;;
     12.0;
     0.3;0.4;0.5;;
     0.05;0.06;0.07;;
     TextureFilename { "hull paint.png"; }
    }
    Material Glass {
     0.1;0.2;0.9;1.0;;
     0.0;
     0.0;0.0;0.0;;
     0.0;0.0;0.0;;
    }
   }
  }
 }
}
)";

std::filesystem::path writeModel(const TemporaryDirectory& directory, const std::string& name,
                                 const std::string& text)
{
    const std::filesystem::path path = directory.path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

void expectVector(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

void expectColour(const D3DCOLORVALUE& actual, const D3DCOLORVALUE& expected)
{
    EXPECT_FLOAT_EQ(actual.r, expected.r);
    EXPECT_FLOAT_EQ(actual.g, expected.g);
    EXPECT_FLOAT_EQ(actual.b, expected.b);
    EXPECT_FLOAT_EQ(actual.a, expected.a);
}

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

TEST(XModel, KeepsFileMaterialsInOrderAndTheFileCoordinatesAndWinding)
{
    const TemporaryDirectory directory;
    XModel model;
    std::string problem;
    ASSERT_TRUE(readXModel(writeModel(directory, "boat.x", kTwoMaterialModel), model, problem)) << problem;

    ASSERT_EQ(model.materials.size(), 2u);
    const D3DMATERIAL9& paint = model.materials[0].material;
    expectColour(paint.Diffuse, {0.8f, 0.2f, 0.1f, 0.5f});
    expectColour(paint.Ambient, {0, 0, 0, 1});
    expectColour(paint.Specular, {0.3f, 0.4f, 0.5f, 1});
    expectColour(paint.Emissive, {0.05f, 0.06f, 0.07f, 1});
    EXPECT_FLOAT_EQ(paint.Power, 12.0f);
    EXPECT_EQ(model.materials[0].textureFilename, "hull paint.png");
    expectColour(model.materials[1].material.Diffuse, {0.1f, 0.2f, 0.9f, 1.0f});
    EXPECT_FLOAT_EQ(model.materials[1].material.Power, 0.0f);
    EXPECT_EQ(model.materials[1].textureFilename, "");

    // Subset 0 is the triangle of material 0, its corners in the file's order;
    // subset 1 the quad of material 1 as a fan around its first corner. The inner
    // frame's move applies first, then the outer frame's scale and move.
    const MeshData& mesh = model.mesh;
    ASSERT_EQ(mesh.subsets.size(), 2u);
    EXPECT_EQ(mesh.subsets[0].firstIndex, 0u);
    EXPECT_EQ(mesh.subsets[0].indexCount, 3u);
    EXPECT_EQ(mesh.subsets[1].firstIndex, 3u);
    EXPECT_EQ(mesh.subsets[1].indexCount, 6u);
    expectVector(cornerPosition(mesh, 0), {14, 20, 30});
    expectVector(cornerPosition(mesh, 1), {14, 22, 30});
    expectVector(cornerPosition(mesh, 2), {16, 20, 32});
    const D3DXVECTOR3 quadFan[6] = {{12, 20, 30}, {12, 22, 30}, {14, 22, 30},
                                    {12, 20, 30}, {14, 22, 30}, {14, 20, 30}};
    for (int i = 0; i < 6; ++i) {
        expectVector(cornerPosition(mesh, 3 + i), quadFan[i]);
    }
    EXPECT_FALSE(mesh.hasNormals);
}

TEST(XModel, NormalsAreAngleWeightedAndSharedByVerticesAtOnePosition)
{
    const TemporaryDirectory directory;
    XModel model;
    std::string problem;
    ASSERT_TRUE(readXModel(writeModel(directory, "boat.x", kTwoMaterialModel), model, problem)) << problem;
    computeSmoothNormals(model.mesh);
    EXPECT_TRUE(model.mesh.hasNormals);

    // The quad faces −z; the triangle (1, 0, −1)/√2. At the file's (1, 0, 0) both
    // corners are right angles: the bisector. At (1, 1, 0) the quad's two corners
    // add to π/2 and the triangle's is acos(1/√3): the sum leans towards the quad.
    struct Expected {
        D3DXVECTOR3 position, normal;
    };
    const Expected expected[] = {
        {{12, 20, 30}, {0, 0, -1}},
        {{16, 20, 32}, {0.70710678f, 0, -0.70710678f}},
        {{14, 20, 30}, {0.38268343f, 0, -0.92387953f}},
        {{14, 22, 30}, {0.28798100f, 0, -0.95762900f}},
    };
    for (const Expected& e : expected) {
        int found = 0;
        for (const MeshVertex& vertex : model.mesh.vertices) {
            if (vertex.position.x == e.position.x && vertex.position.y == e.position.y &&
                vertex.position.z == e.position.z) {
                expectVector(vertex.normal, e.normal, 1e-4f);
                ++found;
            }
        }
        EXPECT_GE(found, 1) << e.position.x << ", " << e.position.y << ", " << e.position.z;
    }
}

TEST(XModel, AFileWithoutMaterialsGetsTheClassicGreyAndKeepsItsNormals)
{
    const TemporaryDirectory directory;
    XModel model;
    std::string problem;
    ASSERT_TRUE(readXModel(writeModel(directory, "plain.x", R"(xof 0303txt 0032
Mesh {
 3; 0;0;0;, 0;1;0;, 1;0;0;;
 1; 3;0,1,2;;
 MeshNormals { 1; 0;0;-1;; 1; 3;0,0,0;; }
}
)"),
                           model, problem))
        << problem;
    ASSERT_EQ(model.materials.size(), 1u);
    expectColour(model.materials[0].material.Diffuse, {0.5f, 0.5f, 0.5f, 0.0f});
    expectColour(model.materials[0].material.Specular, {0.5f, 0.5f, 0.5f, 0.0f});
    expectColour(model.materials[0].material.Emissive, {0, 0, 0, 0});
    EXPECT_FLOAT_EQ(model.materials[0].material.Power, 0.0f);
    EXPECT_TRUE(model.mesh.hasNormals);
    expectVector(model.mesh.vertices[0].normal, {0, 0, -1});
}

TEST(XModel, RejectsBrokenAndAbsurdFilesBeforeAssimpSeesThem)
{
    const std::string header = "xof 0303txt 0032\n";
    const std::string triangle = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;";
    std::string deeplyNested = header;
    for (int i = 0; i < 40; ++i) {
        deeplyNested += "Frame { ";
    }
    deeplyNested += triangle + " }" + std::string(40, '}');
    const std::pair<const char*, std::string> cases[] = {
        {"not a .x file", "this is not a model at all"},
        {"binary", "xof 0303bin 0032" + std::string(64, '\x01')},
        {"truncated", std::string(kTwoMaterialModel).substr(0, 400)},
        {"two billion vertices", header + "Mesh { 2000000000; 0;0;0;; 0;; }"},
        {"vertex index past the end", header + "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,3;; }"},
        {"normal index past the end", header + triangle + " MeshNormals { 1; 0;0;-1;; 1; 3;0,5000000,0;; } }"},
        {"fewer materials than stated",
         header + triangle + " MeshMaterialList { 2; 1; 1;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } } }"},
        {"no faces", header + "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 0; }"},
        {"a frame without a mesh", header + "Frame Empty { }"},
        {"nested too deeply", deeplyNested},
    };
    const TemporaryDirectory directory;
    for (const auto& [name, text] : cases) {
        XModel model;
        std::string problem;
        EXPECT_FALSE(readXModel(writeModel(directory, "model.x", text), model, problem)) << name;
        EXPECT_FALSE(problem.empty()) << name;
        EXPECT_TRUE(model.materials.empty() && model.mesh.vertices.empty()) << name;
    }
}

TEST(SubmarineModel, DrawingMaterialsTakeAmbientFromDiffuseAndPowerFour)
{
    const TemporaryDirectory directory;
    RecordingDevice device;
    const SubmarineModel model =
        loadSubmarineModel(device, writeModel(directory, "boat.x", kTwoMaterialModel).c_str());
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
