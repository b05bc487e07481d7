#include "mesh.h"
#include "submarine.h"
#include "x_file.h"

#include <gtest/gtest.h>

#include "core/x_file.h"

#include <algorithm>
#include <set>

namespace datagen {
namespace {

Vec3 faceNormal(const Mesh& mesh, const Triangle& triangle)
{
    const Vec3 a = mesh.positions[triangle.corners[0]];
    return cross(mesh.positions[triangle.corners[1]] - a, mesh.positions[triangle.corners[2]] - a);
}

Vec3 centroid(const Mesh& mesh, const Triangle& triangle)
{
    return (mesh.positions[triangle.corners[0]] + mesh.positions[triangle.corners[1]] +
            mesh.positions[triangle.corners[2]]) *
           (1.0f / 3.0f);
}

// Lofts closed both ways, flat caps and points, around their centre.
TEST(MeshBuilder, WindsEveryFaceOfALoftClockwiseSeenFromOutside)
{
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

TEST(Submarine, HasALowPolyCountAndUsesEveryMaterial)
{
    const Mesh mesh = buildSubmarine();
    EXPECT_GE(mesh.triangles.size(), 1000u);
    EXPECT_LE(mesh.triangles.size(), 4000u);
    ASSERT_EQ(mesh.materials.size(), 5u);
    EXPECT_EQ(mesh.materials[kHullPaint].name, "HullPaint");
    EXPECT_EQ(mesh.materials[kDarkDetail].name, "DarkDetail");
    EXPECT_EQ(mesh.materials[kGlass].name, "Glass");
    EXPECT_EQ(mesh.materials[kPropellerBrass].name, "PropellerBrass");
    std::set<std::uint32_t> used;
    for (const Triangle& triangle : mesh.triangles)
        used.insert(triangle.material);
    EXPECT_EQ(used.size(), mesh.materials.size());
    EXPECT_EQ(mesh.normals.size(), mesh.positions.size());
}

TEST(Submarine, LiesAlongZWithItsNoseTowardsMinusZAndItsSailUp)
{
    const Mesh mesh = buildSubmarine();
    const auto [front, back] =
        std::minmax_element(mesh.positions.begin(), mesh.positions.end(), [](Vec3 a, Vec3 b) { return a.z < b.z; });
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

TEST(Submarine, IsWoundClockwiseSeenFromOutside)
{
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

TEST(XFile, TheShowReadsItWithTheMaterialsInFileOrderAndNormals)
{
    const Mesh mesh = buildSubmarine();
    const std::string text = writeXFile(mesh, "Submarine");
    ASSERT_EQ(text.rfind("xof 0303txt 0032\n", 0), 0u);

    XModel model;
    std::string problem;
    ASSERT_TRUE(parseXModel(text, model, problem)) << problem;
    ASSERT_EQ(model.materials.size(), mesh.materials.size());
    for (std::size_t i = 0; i < model.materials.size(); ++i) {
        EXPECT_FLOAT_EQ(model.materials[i].material.Diffuse.r, mesh.materials[i].faceColour.r);
        EXPECT_FLOAT_EQ(model.materials[i].material.Diffuse.b, mesh.materials[i].faceColour.b);
    }
    EXPECT_TRUE(model.mesh.hasNormals);
    EXPECT_EQ(model.mesh.indices.size(), 3 * mesh.triangles.size());
    // Clockwise seen from outside in left-handed space is anticlockwise in the
    // right-handed sense the volume formula assumes, so the enclosed volume is
    // positive; faces wound the wrong way would cancel it.
    double volume = 0.0;
    const std::vector<MeshVertex>& vertices = model.mesh.vertices;
    for (std::size_t i = 0; i < model.mesh.indices.size(); i += 3) {
        const D3DXVECTOR3& a = vertices[model.mesh.indices[i]].position;
        const D3DXVECTOR3& b = vertices[model.mesh.indices[i + 1]].position;
        const D3DXVECTOR3& c = vertices[model.mesh.indices[i + 2]].position;
        volume += a.x * (b.y * c.z - b.z * c.y) - a.y * (b.x * c.z - b.z * c.x) + a.z * (b.x * c.y - b.y * c.x);
    }
    EXPECT_GT(volume, 0.0);
}

}  // namespace
}  // namespace datagen
