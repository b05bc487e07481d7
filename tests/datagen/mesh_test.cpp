#include "mesh.h"
#include "submarine.h"
#include "x_file.h"

#include <assimp/Importer.hpp>
#include <assimp/scene.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

namespace datagen {
namespace {

Vec3 faceNormal(const Mesh& mesh, const Triangle& triangle) {
  const Vec3 a = mesh.positions[triangle.corners[0]];
  return cross(mesh.positions[triangle.corners[1]] - a, mesh.positions[triangle.corners[2]] - a);
}

Vec3 centroid(const Mesh& mesh, const Triangle& triangle) {
  return (mesh.positions[triangle.corners[0]] + mesh.positions[triangle.corners[1]] +
          mesh.positions[triangle.corners[2]]) *
         (1.0f / 3.0f);
}

// Lofts closed both ways, flat caps and points, around their centre.
TEST(MeshBuilder, WindsEveryFaceOfALoftClockwiseSeenFromOutside) {
  const std::vector<LoftStation> flatEnds = {{-10.0f, 1.0f, 1.0f}, {10.0f, 1.0f, 1.0f}};
  const std::vector<LoftStation> pointedEnds = {{-10.0f, 0.0f, 0.0f}, {0.0f, 1.0f, 1.0f}, {10.0f, 0.0f, 0.0f}};
  const LoftFrame frames[] = {{{}, {0, 0, 1}, {1, 0, 0}}, {{}, {1, 0, 0}, {0, 0, 1}}, {{}, {0, -1, 0}, {0, 0, 1}}};
  for (const LoftFrame& frame : frames) {
    for (const auto& stations : {flatEnds, pointedEnds}) {
      MeshBuilder builder({Material{"Test", {}, 1.0f, {}, {}}});
      builder.addLoft(frame, ellipseSection(12, 5.0f, 3.0f), stations, 0);
      const Mesh mesh = builder.finish();
      for (const Triangle& triangle : mesh.triangles) {
        EXPECT_GT(dot(faceNormal(mesh, triangle), centroid(mesh, triangle)), 0.0f);
      }
      EXPECT_GT(signedVolume(mesh), 0.0f);
    }
  }
}

TEST(Submarine, HasALowPolyCountAndUsesEveryMaterial) {
  const Mesh mesh = buildSubmarine();
  EXPECT_GE(mesh.triangles.size(), 1000u);
  EXPECT_LE(mesh.triangles.size(), 4000u);
  ASSERT_EQ(mesh.materials.size(), 5u);
  EXPECT_EQ(mesh.materials[kHullPaint].name, "HullPaint");
  EXPECT_EQ(mesh.materials[kDarkDetail].name, "DarkDetail");
  EXPECT_EQ(mesh.materials[kGlass].name, "Glass");
  EXPECT_EQ(mesh.materials[kPropellerBrass].name, "PropellerBrass");
  std::set<std::uint32_t> used;
  for (const Triangle& triangle : mesh.triangles) used.insert(triangle.material);
  EXPECT_EQ(used.size(), mesh.materials.size());
  EXPECT_EQ(mesh.normals.size(), mesh.positions.size());
}

TEST(Submarine, LiesAlongZWithItsNoseTowardsMinusZAndItsSailUp) {
  const Mesh mesh = buildSubmarine();
  const auto [front, back] = std::minmax_element(mesh.positions.begin(), mesh.positions.end(),
                                                 [](Vec3 a, Vec3 b) { return a.z < b.z; });
  EXPECT_NEAR(back->z - front->z, 350.0f, 20.0f);
  EXPECT_NEAR(front->z + back->z, 0.0f, 20.0f) << "centred along its length";
  EXPECT_NEAR(front->x, 0.0f, 0.01f) << "the frontmost point is the nose's tip on the axis";
  EXPECT_NEAR(front->y, 0.0f, 0.01f);
  for (const Triangle& triangle : mesh.triangles) {
    if (triangle.material == kPropellerBrass) {
      EXPECT_GT(centroid(mesh, triangle).z, 100.0f);
    }
    if (triangle.material == kSailPaint) {
      EXPECT_GT(centroid(mesh, triangle).y, 15.0f);
    }
  }
}

TEST(Submarine, IsWoundClockwiseSeenFromOutside) {
  const Mesh mesh = buildSubmarine();
  EXPECT_GT(signedVolume(mesh), 0.0f);
  // Seen from the model's origin the hull shows only its outside, so every
  // hull face points away from the origin.
  for (const Triangle& triangle : mesh.triangles) {
    if (triangle.material == kHullPaint) {
      EXPECT_GT(dot(faceNormal(mesh, triangle), centroid(mesh, triangle)), 0.0f);
    }
  }
}

TEST(XFile, LoadsWithAssimpWithTheMaterialsInFileOrderAndNormals) {
  const Mesh mesh = buildSubmarine();
  const std::string text = writeXFile(mesh, "Submarine");
  ASSERT_EQ(text.rfind("xof 0303txt 0032\n", 0), 0u);

  Assimp::Importer importer;
  const aiScene* scene = importer.ReadFileFromMemory(text.data(), text.size(), 0, "x");
  ASSERT_NE(scene, nullptr) << importer.GetErrorString();
  ASSERT_EQ(scene->mNumMaterials, mesh.materials.size());
  for (unsigned i = 0; i < scene->mNumMaterials; ++i) {
    aiString name;
    aiColor4D diffuse;
    scene->mMaterials[i]->Get(AI_MATKEY_NAME, name);
    scene->mMaterials[i]->Get(AI_MATKEY_COLOR_DIFFUSE, diffuse);
    EXPECT_EQ(std::string(name.C_Str()), mesh.materials[i].name);
    EXPECT_FLOAT_EQ(diffuse.r, mesh.materials[i].faceColour.r);
    EXPECT_FLOAT_EQ(diffuse.b, mesh.materials[i].faceColour.b);
  }
  std::size_t faces = 0;
  double volume = 0.0;
  for (unsigned m = 0; m < scene->mNumMeshes; ++m) {
    const aiMesh* part = scene->mMeshes[m];
    EXPECT_TRUE(part->HasNormals());
    faces += part->mNumFaces;
    for (unsigned f = 0; f < part->mNumFaces; ++f) {
      const unsigned* corner = part->mFaces[f].mIndices;
      const aiVector3D& a = part->mVertices[corner[0]];
      volume += a * (part->mVertices[corner[1]] ^ part->mVertices[corner[2]]);
    }
  }
  EXPECT_EQ(faces, mesh.triangles.size());
  // The importer turns the file's left-handed, clockwise faces into its own
  // right-handed, anticlockwise ones; a face wound the wrong way would not survive that.
  EXPECT_GT(volume, 0.0);
}

}  // namespace
}  // namespace datagen
