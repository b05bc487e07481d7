#include "assets/mesh_normals.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <unordered_map>

#include "core/d3dx_math.h"

namespace {

D3DXVECTOR3 operator-(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

D3DXVECTOR3 cross(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

float dot(const D3DXVECTOR3& a, const D3DXVECTOR3& b)
{
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

// The angle between two edges leaving a corner; 0 when either edge has no length.
float cornerAngle(const D3DXVECTOR3& edge1, const D3DXVECTOR3& edge2)
{
    const D3DXVECTOR3 a = D3DXVec3Normalize(edge1);
    const D3DXVECTOR3 b = D3DXVec3Normalize(edge2);
    if (dot(a, a) == 0.0f || dot(b, b) == 0.0f) {
        return 0.0f;
    }
    return std::acos(std::clamp(dot(a, b), -1.0f, 1.0f));
}

struct PositionKey {
    std::uint32_t x, y, z;
    bool operator==(const PositionKey&) const = default;
};

struct PositionKeyHash {
    std::size_t operator()(const PositionKey& k) const
    {
        return (static_cast<std::size_t>(k.x) * 73856093u) ^ (static_cast<std::size_t>(k.y) * 19349663u) ^
               (static_cast<std::size_t>(k.z) * 83492791u);
    }
};

// The bits of a coordinate (std::bit_cast is missing from some targets' libraries).
// Adding +0 turns −0 into +0, so that both spellings of zero are one position.
std::uint32_t bitsOf(float coordinate)
{
    const float positiveZero = coordinate + 0.0f;
    std::uint32_t bits;
    std::memcpy(&bits, &positiveZero, sizeof bits);
    return bits;
}

PositionKey keyOf(const D3DXVECTOR3& p)
{
    return {bitsOf(p.x), bitsOf(p.y), bitsOf(p.z)};
}

}  // namespace

void computeSmoothNormals(MeshData& mesh)
{
    const std::size_t vertexCount = mesh.vertices.size();
    std::vector<std::uint32_t> shared(vertexCount);
    std::unordered_map<PositionKey, std::uint32_t, PositionKeyHash> firstAtPosition;
    firstAtPosition.reserve(vertexCount);
    for (std::uint32_t v = 0; v < vertexCount; ++v) {
        shared[v] = firstAtPosition.try_emplace(keyOf(mesh.vertices[v].position), v).first->second;
    }

    std::vector<D3DXVECTOR3> sums(vertexCount, D3DXVECTOR3{0, 0, 0});
    for (std::size_t t = 0; t + 2 < mesh.indices.size(); t += 3) {
        const std::uint32_t corners[3] = {mesh.indices[t], mesh.indices[t + 1], mesh.indices[t + 2]};
        const D3DXVECTOR3 p[3] = {mesh.vertices[corners[0]].position, mesh.vertices[corners[1]].position,
                                  mesh.vertices[corners[2]].position};
        const D3DXVECTOR3 faceNormal = D3DXVec3Normalize(cross(p[1] - p[0], p[2] - p[0]));
        for (int c = 0; c < 3; ++c) {
            const float weight = cornerAngle(p[(c + 1) % 3] - p[c], p[(c + 2) % 3] - p[c]);
            D3DXVECTOR3& sum = sums[shared[corners[c]]];
            sum.x += weight * faceNormal.x;
            sum.y += weight * faceNormal.y;
            sum.z += weight * faceNormal.z;
        }
    }
    for (std::size_t v = 0; v < vertexCount; ++v) {
        mesh.vertices[v].normal = D3DXVec3Normalize(sums[shared[v]]);
    }
    mesh.hasNormals = true;
}
