// Triangle meshes built from lofts: a closed cross-section swept along an axis
// through stations that place, scale and twist it. Faces are wound clockwise
// seen from outside, the left-handed convention of the show's model format:
// the cross product (b - a) × (c - a) of a face (a, b, c) points outwards.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "canvas.h"

namespace datagen {

struct Vec3 {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

inline Vec3 operator+(Vec3 a, Vec3 b)
{
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, float s)
{
    return {a.x * s, a.y * s, a.z * s};
}
inline float dot(Vec3 a, Vec3 b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline Vec3 cross(Vec3 a, Vec3 b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
Vec3 normalized(Vec3 v);

struct Material {
    std::string name;  // written as the material's identifier: letters only
    Colour faceColour;
    float power = 1.0f;
    Vec3 specularColour;
    Vec3 emissiveColour;
};

struct Triangle {
    std::array<std::uint32_t, 3> corners;
    std::uint32_t material = 0;
};

struct Mesh {
    std::vector<Vec3> positions;
    std::vector<Vec3> normals;  // one per position
    std::vector<Triangle> triangles;
    std::vector<Material> materials;
};

// Where a loft runs: from `origin` along `axis`. A section's first coordinate
// runs along `across`, its second along cross(axis, across), so a section
// listed anticlockwise always gives outward-facing triangles.
struct LoftFrame {
    Vec3 origin;
    Vec3 axis;
    Vec3 across;
};

// One ring of a loft: `along` the frame's axis, the section scaled, turned by
// `twist` radians and shifted by `offset`. A zero scale at the first or last
// station closes the loft in a point; otherwise the ends get flat caps.
struct LoftStation {
    LoftStation(float along, float scaleAcross, float scaleUp, Vec2 offset = {}, float twist = 0.0f)
        : along(along), scaleAcross(scaleAcross), scaleUp(scaleUp), offset(offset), twist(twist)
    {
    }

    float along;
    float scaleAcross;
    float scaleUp;
    Vec2 offset;
    float twist;
};

class MeshBuilder {
public:
    explicit MeshBuilder(std::vector<Material> materials) { mesh_.materials = std::move(materials); }

    // `section` is a closed polygon listed anticlockwise (first coordinate along
    // `across`); there must be at least two stations with increasing `along`.
    void addLoft(const LoftFrame& frame, std::span<const Vec2> section, std::span<const LoftStation> stations,
                 std::uint32_t material);

    // Gives every vertex the area-weighted mean of its faces' normals. Parts
    // share no vertices, and caps have their own, so their edges stay sharp.
    Mesh finish();

private:
    std::uint32_t addVertex(Vec3 position);
    void addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t material);

    Mesh mesh_;
};

// Points round an ellipse with the given half-axes, anticlockwise, starting on the first axis.
std::vector<Vec2> ellipseSection(int pointCount, float halfAcross, float halfUp);

// A teardrop foil: round leading edge at -across, thinning to a narrow trailing edge at +across.
std::vector<Vec2> foilSection(int pointCount, float chord, float thickness);

// The enclosed volume by the divergence theorem: positive when every face
// of a closed mesh is wound so that its normal points outwards.
float signedVolume(const Mesh& mesh);

}  // namespace datagen
