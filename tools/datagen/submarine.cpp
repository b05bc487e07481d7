#include "submarine.h"

#include <cmath>
#include <numbers>

namespace datagen {

namespace {

constexpr float kPi = std::numbers::pi_v<float>;
constexpr float kHullRadius = 26.0f;
constexpr float kNoseZ = -175.0f;
constexpr float kNoseLength = 60.0f;
constexpr float kTailStartZ = 35.0f;
constexpr float kTailEndZ = 150.0f;
constexpr float kTailEndRadius = 6.0f;

const Vec3 kRight{1.0f, 0.0f, 0.0f};
const Vec3 kUp{0.0f, 1.0f, 0.0f};
const Vec3 kBack{0.0f, 0.0f, 1.0f};  // from nose to tail

std::vector<Material> submarineMaterials()
{
    return {
        {"HullPaint", {0.85f, 0.42f, 0.10f, 1.0f}, 12.0f, {0.35f, 0.30f, 0.25f}, {}},
        {"SailPaint", {0.86f, 0.85f, 0.80f, 1.0f}, 12.0f, {0.30f, 0.30f, 0.30f}, {}},
        {"DarkDetail", {0.10f, 0.11f, 0.13f, 1.0f}, 8.0f, {0.15f, 0.15f, 0.15f}, {}},
        // The glass glows a little, so the portholes read even when the light is low.
        {"Glass", {0.25f, 0.60f, 0.80f, 1.0f}, 40.0f, {0.90f, 0.90f, 0.90f}, {0.10f, 0.28f, 0.38f}},
        {"PropellerBrass", {0.80f, 0.62f, 0.25f, 1.0f}, 30.0f, {0.70f, 0.60f, 0.40f}, {}},
    };
}

// A body of revolution about z: a rounded nose, a straight middle and a tail
// tapering smoothly to the propeller.
void addHull(MeshBuilder& builder)
{
    std::vector<LoftStation> stations;
    for (int i = 0; i <= 8; ++i) {
        const float angle = 0.5f * kPi * static_cast<float>(i) / 8.0f;
        const float radius = std::sin(angle);
        stations.push_back({kNoseZ + kNoseLength * (1.0f - std::cos(angle)), radius, radius});
    }
    for (int i = 0; i <= 9; ++i) {
        const float t = static_cast<float>(i) / 9.0f;
        const float radius = kTailEndRadius + (kHullRadius - kTailEndRadius) * (0.5f + 0.5f * std::cos(kPi * t));
        stations.push_back({kTailStartZ + (kTailEndZ - kTailStartZ) * t, radius / kHullRadius, radius / kHullRadius});
    }
    builder.addLoft({{}, kBack, kRight}, ellipseSection(28, kHullRadius, kHullRadius), stations, kHullPaint);
}

void addSail(MeshBuilder& builder)
{
    const LoftFrame frame{{0.0f, 0.0f, -50.0f}, kUp, kBack};
    const LoftStation stations[] = {{18.0f, 1.04f, 1.04f}, {56.0f, 1.0f, 1.0f}, {60.0f, 0.9f, 0.85f}};
    builder.addLoft(frame, foilSection(20, 56.0f, 16.0f), stations, kSailPaint);
    // A dark cap rims the top of the sail.
    const LoftStation cap[] = {{59.0f, 0.92f, 0.88f}, {61.5f, 0.82f, 0.7f}};
    builder.addLoft(frame, foilSection(20, 56.0f, 16.0f), cap, kDarkDetail);
}

// A tapering, slightly swept fin from inside a body out along `outwards`.
void addFin(MeshBuilder& builder, Vec3 root, Vec3 outwards, float span, float chord, float thickness)
{
    const LoftStation stations[] = {{0.0f, 1.0f, 1.0f}, {span, 0.6f, 0.6f, {chord * 0.25f, 0.0f}}};
    builder.addLoft({root, outwards, kBack}, foilSection(14, chord, thickness), stations, kDarkDetail);
}

void addPlanesAndFins(MeshBuilder& builder)
{
    // Dive planes on the sail's flanks, and a cross of planes and rudders at the tail.
    for (const float side : {1.0f, -1.0f}) {
        addFin(builder, {side * 4.0f, 46.0f, -62.0f}, kRight * side, 22.0f, 16.0f, 3.0f);
        addFin(builder, {side * 4.0f, 0.0f, 112.0f}, kRight * side, 38.0f, 34.0f, 4.0f);
        addFin(builder, {0.0f, side * 4.0f, 112.0f}, kUp * side, 36.0f, 34.0f, 4.0f);
    }
}

void addPropeller(MeshBuilder& builder)
{
    const LoftStation hub[] = {{146.0f, 1.0f, 1.0f}, {160.0f, 1.0f, 1.0f}, {166.0f, 0.8f, 0.8f}, {173.0f, 0.0f, 0.0f}};
    builder.addLoft({{}, kBack, kRight}, ellipseSection(16, 7.0f, 7.0f), hub, kPropellerBrass);
    constexpr int kBlades = 5;
    constexpr float kPitch = 0.6f;
    for (int blade = 0; blade < kBlades; ++blade) {
        const float angle = 2.0f * kPi * static_cast<float>(blade) / kBlades;
        const Vec3 outwards{std::cos(angle), std::sin(angle), 0.0f};
        const Vec3 tangent{-std::sin(angle), std::cos(angle), 0.0f};
        const Vec3 chordDirection = tangent * std::cos(kPitch) + kBack * std::sin(kPitch);
        const LoftStation stations[] = {{3.0f, 0.6f, 1.0f},
                                        {14.0f, 1.0f, 1.0f, {}, -0.15f},
                                        {26.0f, 0.8f, 0.8f, {}, -0.3f},
                                        {31.0f, 0.4f, 0.6f, {}, -0.35f}};
        builder.addLoft({{0.0f, 0.0f, 156.0f}, outwards, chordDirection}, ellipseSection(10, 8.0f, 1.2f), stations,
                        kPropellerBrass);
    }
}

// Portholes along both flanks: a dark frame ring with a glass pane standing proud of it.
void addPortholes(MeshBuilder& builder)
{
    constexpr float kPortholeY = 6.0f;
    for (const float side : {1.0f, -1.0f}) {
        for (const float z : {-100.0f, -70.0f, -40.0f, -10.0f, 20.0f}) {
            const LoftFrame frame{{0.0f, kPortholeY, z}, kRight * side, kBack};
            const LoftStation frameRing[] = {{20.0f, 1.0f, 1.0f}, {26.3f, 1.0f, 1.0f}};
            const LoftStation pane[] = {{21.0f, 1.0f, 1.0f}, {26.9f, 1.0f, 1.0f}};
            builder.addLoft(frame, ellipseSection(10, 6.2f, 6.2f), frameRing, kDarkDetail);
            builder.addLoft(frame, ellipseSection(10, 4.6f, 4.6f), pane, kGlass);
        }
    }
}

void addHatch(MeshBuilder& builder)
{
    const LoftStation stations[] = {{20.0f, 1.0f, 1.0f}, {28.5f, 1.0f, 1.0f}, {29.5f, 0.85f, 0.85f}};
    builder.addLoft({{0.0f, 0.0f, 10.0f}, kUp, kBack}, ellipseSection(14, 7.0f, 7.0f), stations, kDarkDetail);
}

}  // namespace

Mesh buildSubmarine()
{
    MeshBuilder builder(submarineMaterials());
    addHull(builder);
    addSail(builder);
    addPlanesAndFins(builder);
    addPropeller(builder);
    addPortholes(builder);
    addHatch(builder);
    return builder.finish();
}

}  // namespace datagen
