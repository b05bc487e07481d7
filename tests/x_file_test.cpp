// The .x reader: frames, polygons, normals and materials as the show draws
// them, the loose text grammar writers produce, and malformed, hostile or
// unsupported files refused with a message naming the line.
#include <gtest/gtest.h>

#include <fstream>

#include "assets/mesh_normals.h"
#include "core/x_file.h"
#include "tests/model_support.h"
#include "tests/test_support.h"

namespace {

const std::string kHeader = "xof 0303txt 0032\n";

XModel parsed(const std::string& text)
{
    XModel model;
    std::string problem;
    EXPECT_TRUE(parseXModel(text, model, problem)) << problem;
    return model;
}

// The problem reported for a file that must be refused, which must leave the model empty.
std::string problemOf(const std::string& text)
{
    XModel model;
    model.materials.resize(1);
    std::string problem;
    EXPECT_FALSE(parseXModel(text, model, problem));
    EXPECT_TRUE(model.mesh.vertices.empty() && model.mesh.indices.empty() && model.mesh.subsets.empty() &&
                model.materials.empty());
    return problem;
}

D3DXVECTOR3 cornerPosition(const MeshData& mesh, std::size_t index)
{
    return mesh.vertices[mesh.indices[index]].position;
}

std::vector<std::uint32_t> subsetIndices(const MeshData& mesh, std::size_t subset)
{
    const auto first = mesh.indices.begin() + mesh.subsets[subset].firstIndex;
    return {first, first + mesh.subsets[subset].indexCount};
}

}  // namespace

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
    const D3DXVECTOR3 quadFan[6] = {{12, 20, 30}, {12, 22, 30}, {14, 22, 30}, {12, 20, 30}, {14, 22, 30}, {14, 20, 30}};
    for (int i = 0; i < 6; ++i) {
        expectVector(cornerPosition(mesh, 3 + i), quadFan[i]);
    }
    EXPECT_FALSE(mesh.hasNormals);
}

TEST(XModel, NormalsAreAngleWeightedAndSharedByVerticesAtOnePosition)
{
    XModel model = parsed(kTwoMaterialModel);
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

TEST(XModel, AFrameTurnsItsMeshesBeforeItsParentMovesThem)
{
    // Turned: a quarter turn about z inside a move by (5, 0, 0), its transform
    // given after its mesh. Sibling has no transform of its own; Loose is outside
    // every frame.
    const XModel model = parsed(kHeader + R"(
Frame Outer {
 FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 5,0,0,1;; }
 Frame Turned {
  Mesh TurnedMesh { 3; 1;0;0;, 0;0;0;, 0;0;1;; 1; 3;0,1,2;; }
  FrameTransformMatrix { 0,1,0,0, -1,0,0,0, 0,0,1,0, 0,0,0,1;; }
 }
 Frame Sibling {
  Mesh { 3; 1;0;0;, 0;0;0;, 0;0;1;; 1; 3;0,1,2;; }
 }
}
Mesh Loose { 3; 1;0;0;, 0;0;0;, 0;0;1;; 1; 3;0,1,2;; }
)");
    const std::vector<MeshVertex>& vertices = model.mesh.vertices;
    ASSERT_EQ(vertices.size(), 9u);
    expectVector(vertices[0].position, {5, 1, 0});  // turned to (0, 1, 0), then moved
    expectVector(vertices[1].position, {5, 0, 0});
    expectVector(vertices[2].position, {5, 0, 1});
    expectVector(vertices[3].position, {6, 0, 0});
    expectVector(vertices[6].position, {1, 0, 0});
    EXPECT_EQ(model.mesh.indices, (std::vector<std::uint32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(XModel, PolygonsBecomeFansAroundTheirFirstCornerInTheFileWinding)
{
    const XModel model = parsed(kHeader + R"(
Mesh {
 5; 0;0;0;, 1;0;0;, 2;1;0;, 1;2;0;, 0;1;0;;
 2; 5;4,3,2,1,0;, 3;0,1,2;;
}
)");
    EXPECT_EQ(model.mesh.indices, (std::vector<std::uint32_t>{4, 3, 2, 4, 2, 1, 4, 1, 0, 0, 1, 2}));
    ASSERT_EQ(model.mesh.subsets.size(), 1u);
    EXPECT_EQ(model.mesh.subsets[0].indexCount, 12u);
}

TEST(XModel, MeshesJoinIntoOneWithASubsetPerMaterialInlineOrReferred)
{
    // Materials in file order: Shared, Unused (no faces), Blue (inline in the
    // first mesh, referred to by the second; drawn with its first texture file
    // that has a name). The third mesh gives one material index for both its faces.
    const XModel model = parsed(kHeader + R"(
Material Shared {
 1;0;0;1;; 5; 0.2;0.2;0.2;; 0;0;0;;
 TextureFileName { "C:\\maps\\red.png"; }
}
Material Unused { 0;1;0;1;; 1; 0;0;0;; 0;0;0;; }
Mesh First {
 4; 0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;;
 2; 3;0,1,2;, 3;0,2,3;;
 MeshMaterialList {
  2; 2; 1, 0;;
  { Shared }
  Material Blue {
   0;0;1;0.25;; 2; 1;1;1;; 0.5;0.5;0.5;;
   TextureFilename { ""; }
   TextureFilename { "blue.png"; }
   TextureFilename { "blue_bumps.png"; }
  }
 }
}
Mesh Second {
 3; 0;0;1;, 0;1;1;, 1;1;1;;
 1; 3;0,1,2;;
 MeshMaterialList { 1; 1; 0;; { Blue } }
}
Mesh Third {
 4; 0;0;2;, 0;1;2;, 1;1;2;, 1;0;2;;
 2; 3;0,1,2;, 3;0,2,3;;
 MeshMaterialList { 1; 1; 0;; { Shared } }
}
)");
    ASSERT_EQ(model.materials.size(), 3u);
    EXPECT_EQ(model.materials[0].textureFilename, "C:\\maps\\red.png");
    expectColour(model.materials[1].material.Diffuse, {0, 1, 0, 1});
    const D3DMATERIAL9& blue = model.materials[2].material;
    expectColour(blue.Diffuse, {0, 0, 1, 0.25f});
    expectColour(blue.Ambient, {0, 0, 0, 1});
    expectColour(blue.Specular, {1, 1, 1, 1});
    expectColour(blue.Emissive, {0.5f, 0.5f, 0.5f, 1});
    EXPECT_FLOAT_EQ(blue.Power, 2.0f);
    EXPECT_EQ(model.materials[2].textureFilename, "blue.png");

    ASSERT_EQ(model.mesh.vertices.size(), 11u);
    ASSERT_EQ(model.mesh.subsets.size(), 3u);
    EXPECT_EQ(subsetIndices(model.mesh, 0), (std::vector<std::uint32_t>{0, 2, 3, 7, 8, 9, 7, 9, 10}));
    EXPECT_EQ(subsetIndices(model.mesh, 1), (std::vector<std::uint32_t>{}));
    EXPECT_EQ(subsetIndices(model.mesh, 2), (std::vector<std::uint32_t>{0, 1, 2, 4, 5, 6}));
    EXPECT_EQ(model.mesh.subsets[2].firstIndex, 9u);
}

TEST(XModel, WithoutMaterialsTheModelGetsTheClassicGreyAndKeepsItsNormals)
{
    const XModel model = parsed(kHeader + R"(
Mesh {
 3; 0;0;0;, 0;1;0;, 1;0;0;;
 1; 3;0,1,2;;
 MeshNormals { 1; 0;0;-1;; 1; 3;0,0,0;; }
}
)");
    ASSERT_EQ(model.materials.size(), 1u);
    expectColour(model.materials[0].material.Diffuse, {0.5f, 0.5f, 0.5f, 0.0f});
    expectColour(model.materials[0].material.Specular, {0.5f, 0.5f, 0.5f, 0.0f});
    expectColour(model.materials[0].material.Emissive, {0, 0, 0, 0});
    EXPECT_FLOAT_EQ(model.materials[0].material.Power, 0.0f);
    EXPECT_TRUE(model.mesh.hasNormals);
    expectVector(model.mesh.vertices[0].normal, {0, 0, -1});
}

TEST(XModel, VerticesTakeTheNormalsTheirCornersNameUnturnedByTheFrames)
{
    const std::string mesh = R"(
 Mesh {
  4; 0;0;0;, 0;1;0;, 1;1;0;, 1;0;0;;
  2; 3;0,1,2;, 3;0,2,3;;
  MeshNormals { 2; 0;0;-1;, 0.6;0;0.8;; 2; 3;0,0,0;, 3;0,1,1;; }
 }
)";
    const XModel model =
        parsed(kHeader + "Frame { FrameTransformMatrix { 2,0,0,0, 0,2,0,0, 0,0,2,0, 0,0,0,1;; }" + mesh + "}");
    ASSERT_EQ(model.mesh.vertices.size(), 4u);
    expectVector(model.mesh.vertices[1].normal, {0, 0, -1});
    expectVector(model.mesh.vertices[3].normal, {0.6f, 0, 0.8f});
    expectVector(model.mesh.vertices[3].position, {2, 0, 0});
    EXPECT_TRUE(model.mesh.hasNormals);

    // One mesh of two without normals leaves the model without them.
    const XModel mixed = parsed(kHeader + mesh + "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }");
    EXPECT_FALSE(mixed.mesh.hasNormals);
}

TEST(XModel, SkipsCommentsTemplatesAndObjectsItHasNoUseFor)
{
    // Windows line ends, an older version with 64-bit floats, comments holding
    // braces, separators missing or doubled, a '+' sign, and the objects exporters add.
    std::string text = R"(xof 0302txt 0064
// a comment { with a brace
# another } comment
template Mesh {
 <3D82AB44-62DA-11cf-AB39-0020AF71E433>
 DWORD nVertices;
 array Vector vertices[nVertices];
 [...]
}
Header { 1; 0; 1; }
AnimTicksPerSecond { 24; }
Frame Root {
 FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }  // identity
 Mesh Body {
  3;  # three
  0;0;0;, // first
  0 +1 0
  1;0;0;;;
  1;
  3;0,1,2;;;
  MeshTextureCoords { 3; 0;0;, 0;1;, 1;0;; }
  VertexDuplicationIndices { 3; 3; 0, 1, 2; }
  XSkinMeshHeader { 1; 1; 1; }
  SkinWeights { "Root"; 3; 0, 1, 2; 1.0, 1.0, 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; }
  DeclData { 1; 2; 0; 1; 0; 3; 1065353216, 0, 0; }
 }
}
AnimationSet Idle { Animation { { Root } AnimationKey { 0; 1; 0; 4; 1.0, 0.0, 0.0, 0.0;;; } } }
)";
    for (std::size_t at = text.find('\n'); at != std::string::npos; at = text.find('\n', at + 2)) {
        text.insert(at, "\r");
    }
    const XModel model = parsed(text);
    ASSERT_EQ(model.mesh.vertices.size(), 3u);
    expectVector(model.mesh.vertices[1].position, {0, 1, 0});
    EXPECT_EQ(model.mesh.indices, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(model.materials.size(), 1u);
    EXPECT_FALSE(model.mesh.hasNormals);
}

TEST(XModel, OnlyTextFilesAreRead)
{
    const std::string triangle = "\nMesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }\n";
    EXPECT_EQ(problemOf("xof 0303bin 0032" + std::string(64, '\x01')),
              "binary .x files are not supported, only text ones");
    EXPECT_EQ(problemOf("xof 0303tzip0032" + std::string(64, '\x02')),
              "compressed .x files are not supported, only text ones");
    EXPECT_EQ(problemOf("xof 0303bzip0032" + std::string(64, '\x02')),
              "compressed .x files are not supported, only text ones");
    const std::string notModels[] = {"", "xof 0303txt", "this is not a model at all", "xof 0303txt 0016" + triangle,
                                     "xof 0303TXT 0032" + triangle};
    for (const std::string& text : notModels) {
        EXPECT_EQ(problemOf(text), "not a .x file") << text;
    }
    EXPECT_EQ(parsed("xof 0302txt 0064" + triangle).mesh.indices.size(), 3u);
}

TEST(XModel, MalformedFilesAreRefusedNamingTheLine)
{
    const std::string triangle = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;";
    const std::string material = "Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; }";
    struct Case {
        const char* name;
        std::string text;
        std::string problem;
    };
    const Case cases[] = {
        {"fewer vertices than stated", kHeader + "Mesh {\n 5;\n 0;0;0;, 0;1;0;, 1;0;0;;\n 1;\n 3;0,1,2;;\n}\n",
         "line 7: expected a vertex coordinate, found '}'"},
        {"vertex index past the end", kHeader + "Mesh {\n 3; 0;0;0;, 0;1;0;, 1;0;0;;\n 1;\n 3;0,1,3;;\n}\n",
         "line 5: vertex index 3 is past the mesh's 3 vertices"},
        {"a face of two corners", kHeader + "Mesh {\n 3; 0;0;0;, 0;1;0;, 1;0;0;;\n 1;\n 2;0,1;;\n}\n",
         "line 5: a face with 2 corners; it needs 3 or more"},
        {"normal index past the end", kHeader + triangle + "\nMeshNormals { 1; 0;0;-1;; 1; 3;0,5000000,0;; } }",
         "line 3: normal index 5000000 is past the 1 normals"},
        {"normals for other faces", kHeader + triangle + "\nMeshNormals { 1; 0;0;-1;; 2; 3;0,0,0;, 3;0,0,0;; } }",
         "line 3: 2 normal faces for the mesh's 1 faces"},
        {"material index past the end", kHeader + triangle + "\nMeshMaterialList { 1; 1; 1;; " + material + " } }",
         "line 3: material index 1 is past the list's 1 materials"},
        {"fewer materials than stated", kHeader + triangle + "\nMeshMaterialList { 2; 1; 1;; " + material + " } }",
         "line 3: the material list states 2 materials and holds 1"},
        {"more materials than stated",
         kHeader + triangle + "\nMeshMaterialList { 1; 1; 0;; " + material + "\n" + material + " } }",
         "line 4: the material list holds more than the 1 materials it states"},
        {"a reference to no material", kHeader + triangle + "\nMeshMaterialList { 1; 1; 0;;\n{ Nowhere } } }",
         "line 4: no material named 'Nowhere' comes before this"},
        {"not a number", kHeader + "Mesh {\n 3; 0;0;0;, 0;1;0;, 1;0;zero;;\n 1; 3;0,1,2;;\n}\n",
         "line 3: expected a vertex coordinate, found 'zero'"},
        {"not a finite number", kHeader + "Mesh {\n 3; 0;0;0;, 0;nan;0;, 1;0;0;;\n 1; 3;0,1,2;;\n}\n",
         "line 3: expected a vertex coordinate, found 'nan'"},
        {"infinity", kHeader + "\n\nMesh { 3; 0;0;0;, 0;inf;0;, 1;0;0;; 1; 3;0,1,2;; }",
         "line 4: expected a vertex coordinate, found 'inf'"},
        {"too large for a float", kHeader + "Mesh { 3; 0;0;0;, 0;1e39;0;, 1;0;0;; 1; 3;0,1,2;; }",
         "line 2: expected a vertex coordinate, found '1e39'"},
        {"a printed NaN", kHeader + "Mesh { 3; 0;0;0;, 0;-1.#IND00;0;, 1;0;0;; 1; 3;0,1,2;; }",
         "line 2: expected a vertex coordinate, found '-1.#IND00'"},
        {"a negative count", kHeader + "Mesh { -3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }",
         "line 2: expected the number of vertices, found '-3'"},
        {"a closing brace too many", kHeader + triangle + "\n}\n}\n", "line 4: a '}' closes nothing"},
        {"a closing brace missing", kHeader + "Frame {\n" + triangle + " }\n",
         "line 4: the file ends inside the Frame opened on line 2"},
        {"truncated", std::string(kTwoMaterialModel).substr(0, 400),
         "line 13: 2 faces cannot fit in the rest of the file"},
        {"a string never closed",
         kHeader + triangle +
             "\nMeshMaterialList { 1; 1; 0;;\nMaterial { 1;1;1;1;; 0; "
             "0;0;0;; 0;0;0;; TextureFilename { \"a.png; } } } }",
         "line 4: a string is never closed"},
        {"a GUID never closed", kHeader + "template T {\n <3D82AB44-62DA", "line 3: a '<' is never closed"},
        {"a stray number", kHeader + "\n42\n" + triangle + " }", "line 3: expected a data object, found '42'"},
        {"an object without a brace", kHeader + "Mesh Name Other {}",
         "line 2: expected the '{' of Mesh, found 'Other'"},
        {"a frame moving vertices to infinity",
         kHeader + "Frame {\n FrameTransformMatrix { 1e30,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n Mesh {"
                   " 3; 0;0;0;, 0;1;0;, 1e30;0;0;; 1; 3;0,1,2;; }\n}",
         "line 4: the frame transforms move a vertex of this mesh out of range"},
        {"no faces", kHeader + "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 0; }", "the model has no faces"},
        {"a frame without a mesh", kHeader + "Frame Empty { }", "the model has no faces"},
        {"nothing after the header", kHeader, "the model has no faces"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(problemOf(c.text).substr(0, c.problem.size()), c.problem) << c.name;
    }
}

// Each count is refused before anything is reserved for it, so these fail at
// once rather than allocating gigabytes or reading to the end of the file.
TEST(XModel, CountsTheTextCannotHoldAreRefusedAtOnce)
{
    const std::string triangle = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;;";
    const std::pair<std::string, std::string> cases[] = {
        {kHeader + "Mesh { 4000000000; 0;0;0;; 0;; }", "line 2: 4000000000 vertices cannot fit"},
        {kHeader + "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;;\n 4000000000; 3;0,1,2;; }",
         "line 3: 4000000000 faces cannot fit"},
        {kHeader + "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;;\n 1; 4000000000;0,1,2;; }",
         "line 3: 4000000000 corners of a face cannot fit"},
        {kHeader + triangle + "\nMeshNormals { 4000000000; 0;0;-1;; 1; 3;0,0,0;; } }",
         "line 3: 4000000000 normals cannot fit"},
        {kHeader + triangle + "\nMeshMaterialList { 4000000000; 1; 0;; } }", "line 3: more than 65536 materials"},
        {kHeader + "Mesh { 99999999999; 0;0;0;; 0;; }", "line 2: expected the number of vertices, found '99999999999'"},
    };
    for (const auto& [text, problem] : cases) {
        EXPECT_EQ(problemOf(text).substr(0, problem.size()), problem) << text;
    }
}

TEST(XModel, FramesNestUpToSixtyFourDeepAndUnknownObjectsAnyDepth)
{
    const std::string triangle = "Mesh { 3; 0;0;0;, 0;1;0;, 1;0;0;; 1; 3;0,1,2;; }";
    const auto nested = [&](const std::string& open, int depth) {
        std::string text = kHeader;
        for (int i = 0; i < depth; ++i) {
            text += open;
        }
        return text + triangle + std::string(depth, '}');
    };
    EXPECT_EQ(parsed(nested("Frame {", 64)).mesh.indices.size(), 3u);
    EXPECT_EQ(problemOf(nested("Frame {", 65)), "line 2: frames nest more than 64 deep");
    // Deep enough to overflow the stack if either were read recursively without a bound.
    EXPECT_EQ(problemOf(nested("Frame {", 100000)), "line 2: frames nest more than 64 deep");
    // What an unknown object holds is passed over, meshes included.
    const std::string hoard = "\nHoard " + nested("{", 100000).substr(kHeader.size());
    EXPECT_EQ(parsed(nested("Frame {", 64) + hoard).mesh.indices.size(), 3u);
}

TEST(XModel, ReadsOnlyRegularFilesOfAtMost32MiB)
{
    const TemporaryDirectory directory;
    XModel model;
    std::string problem;
    EXPECT_FALSE(readXModel(directory.path().string(), model, problem));
    EXPECT_EQ(problem, "is a directory, not a file");
    EXPECT_FALSE(readXModel((directory.path() / "missing.x").string(), model, problem));
    EXPECT_EQ(problem, "no such file");

    const std::filesystem::path large = writeModel(directory, "large.x", kTwoMaterialModel);
    std::filesystem::resize_file(large, (32u << 20) + 1);
    EXPECT_FALSE(readXModel(large.string(), model, problem));
    EXPECT_NE(problem.find("more than the 32 MiB"), std::string::npos) << problem;
    EXPECT_TRUE(model.mesh.vertices.empty() && model.materials.empty());
}
