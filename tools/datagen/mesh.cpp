#include "mesh.h"

#include <cassert>
#include <cmath>
#include <numbers>

namespace datagen {

Vec3 normalized(Vec3 v)
{
    const float length = std::sqrt(dot(v, v));
    return length > 0.0f ? v * (1.0f / length) : v;
}

std::uint32_t MeshBuilder::addVertex(Vec3 position)
{
    mesh_.positions.push_back(position);
    return static_cast<std::uint32_t>(mesh_.positions.size() - 1);
}

void MeshBuilder::addTriangle(std::uint32_t a, std::uint32_t b, std::uint32_t c, std::uint32_t material)
{
    assert(material < mesh_.materials.size() && "triangle uses a material the mesh does not have");
    mesh_.triangles.push_back({{a, b, c}, material});
}

void MeshBuilder::addLoft(const LoftFrame& frame, std::span<const Vec2> section, std::span<const LoftStation> stations,
                          std::uint32_t material)
{
    assert(section.size() >= 3 && stations.size() >= 2 && "a loft needs a section and two stations");
    const Vec3 axis = normalized(frame.axis);
    const Vec3 across = normalized(frame.across);
    const Vec3 up = normalized(cross(axis, across));
    const auto n = static_cast<std::uint32_t>(section.size());

    auto place = [&](const LoftStation& station, Vec2 point) {
        const float c = std::cos(station.twist);
        const float s = std::sin(station.twist);
        const Vec2 scaled{point.x * station.scaleAcross, point.y * station.scaleUp};
        const Vec2 local = Vec2{scaled.x * c - scaled.y * s, scaled.x * s + scaled.y * c} + station.offset;
        return frame.origin + axis * station.along + across * local.x + up * local.y;
    };
    auto isPoint = [](const LoftStation& station) { return station.scaleAcross == 0.0f && station.scaleUp == 0.0f; };
    auto addRing = [&](const LoftStation& station) {
        const auto first = static_cast<std::uint32_t>(mesh_.positions.size());
        for (const Vec2 point : section)
            addVertex(place(station, point));
        return first;
    };
    // A fan closing one end; `facingBack` is true for the end at the start of the axis.
    auto closeEnd = [&](const LoftStation& station, bool facingBack) {
        const std::uint32_t ring = addRing(station);
        const std::uint32_t centre = addVertex(place(station, {}));
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t a = ring + j;
            const std::uint32_t b = ring + (j + 1) % n;
            if (facingBack)
                addTriangle(centre, b, a, material);
            else
                addTriangle(centre, a, b, material);
        }
    };

    const bool startsInPoint = isPoint(stations.front());
    const bool endsInPoint = isPoint(stations.back());
    const std::size_t firstRing = startsInPoint ? 1 : 0;
    const std::size_t lastRing = endsInPoint ? stations.size() - 2 : stations.size() - 1;

    std::vector<std::uint32_t> rings;
    for (std::size_t i = firstRing; i <= lastRing; ++i)
        rings.push_back(addRing(stations[i]));
    for (std::size_t i = 0; i + 1 < rings.size(); ++i) {
        for (std::uint32_t j = 0; j < n; ++j) {
            const std::uint32_t a = rings[i] + j;
            const std::uint32_t b = rings[i] + (j + 1) % n;
            const std::uint32_t c = rings[i + 1] + (j + 1) % n;
            const std::uint32_t d = rings[i + 1] + j;
            addTriangle(a, b, c, material);
            addTriangle(a, c, d, material);
        }
    }

    if (startsInPoint) {
        const std::uint32_t apex = addVertex(place(stations.front(), {}));
        for (std::uint32_t j = 0; j < n; ++j)
            addTriangle(apex, rings.front() + (j + 1) % n, rings.front() + j, material);
    } else {
        closeEnd(stations.front(), true);
    }
    if (endsInPoint) {
        const std::uint32_t apex = addVertex(place(stations.back(), {}));
        for (std::uint32_t j = 0; j < n; ++j)
            addTriangle(apex, rings.back() + j, rings.back() + (j + 1) % n, material);
    } else {
        closeEnd(stations.back(), false);
    }
}

Mesh MeshBuilder::finish()
{
    mesh_.normals.assign(mesh_.positions.size(), Vec3{});
    for (const Triangle& triangle : mesh_.triangles) {
        const Vec3 a = mesh_.positions[triangle.corners[0]];
        const Vec3 faceNormal =
            cross(mesh_.positions[triangle.corners[1]] - a, mesh_.positions[triangle.corners[2]] - a);
        for (const std::uint32_t corner : triangle.corners)
            mesh_.normals[corner] = mesh_.normals[corner] + faceNormal;
    }
    for (Vec3& normal : mesh_.normals)
        normal = normalized(normal);
    return std::move(mesh_);
}

std::vector<Vec2> ellipseSection(int pointCount, float halfAcross, float halfUp)
{
    std::vector<Vec2> points;
    for (int i = 0; i < pointCount; ++i) {
        const float angle = 2.0f * std::numbers::pi_v<float> * static_cast<float>(i) / static_cast<float>(pointCount);
        points.push_back({halfAcross * std::cos(angle), halfUp * std::sin(angle)});
    }
    return points;
}

std::vector<Vec2> foilSection(int pointCount, float chord, float thickness)
{
    std::vector<Vec2> points = ellipseSection(pointCount, chord * 0.5f, thickness * 0.5f);
    for (Vec2& point : points) {
        const float towardsTrailingEdge = point.x / chord + 0.5f;  // 0 at the leading edge, 1 at the trailing edge
        point.y *= 1.0f - 0.85f * towardsTrailingEdge * towardsTrailingEdge;
    }
    return points;
}

float signedVolume(const Mesh& mesh)
{
    double volume = 0.0;
    for (const Triangle& triangle : mesh.triangles) {
        const Vec3 a = mesh.positions[triangle.corners[0]];
        const Vec3 b = mesh.positions[triangle.corners[1]];
        const Vec3 c = mesh.positions[triangle.corners[2]];
        volume += dot(a, cross(b, c));
    }
    return static_cast<float>(volume / 6.0);
}

}  // namespace datagen
