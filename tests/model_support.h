// What the model tests share: a small two-material .x file and checks of vectors and colours.
#pragma once

#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "core/d3d_types.h"
#include "tests/test_support.h"

// Two materials, listed in the opposite order to the faces that use them; a
// frame scaling by 2 and moving by (10, 20, 30) around a frame moving by
// (1, 0, 0); no normals. A template block and a texture name with a space
// exercise the text reader.
inline constexpr const char* kTwoMaterialModel = R"(xof 0303txt 0032
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

inline std::filesystem::path writeModel(const TemporaryDirectory& directory, const std::string& name,
                                        const std::string& text)
{
    const std::filesystem::path path = directory.path() / name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

inline void expectVector(const D3DXVECTOR3& actual, const D3DXVECTOR3& expected, float tolerance = 1e-5f)
{
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
    EXPECT_NEAR(actual.z, expected.z, tolerance);
}

inline void expectColour(const D3DCOLORVALUE& actual, const D3DCOLORVALUE& expected)
{
    EXPECT_FLOAT_EQ(actual.r, expected.r);
    EXPECT_FLOAT_EQ(actual.g, expected.g);
    EXPECT_FLOAT_EQ(actual.b, expected.b);
    EXPECT_FLOAT_EQ(actual.a, expected.a);
}
