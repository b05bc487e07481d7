// The graphics records and constants the show's passes speak in: the layouts
// and numeric values of the classic fixed-function API, so that passes can be
// written (and traced) in its terms. The OpenGL device translates them.
#pragma once

#include <cstdint>

using D3DCOLOR = std::uint32_t;  // 0xAARRGGBB

constexpr D3DCOLOR D3DCOLOR_ARGB(std::uint32_t a, std::uint32_t r, std::uint32_t g, std::uint32_t b)
{
    return ((a & 0xFF) << 24) | ((r & 0xFF) << 16) | ((g & 0xFF) << 8) | (b & 0xFF);
}

struct D3DCOLORVALUE {
    float r, g, b, a;
};

struct D3DXVECTOR3 {
    float x, y, z;
};
using D3DVECTOR = D3DXVECTOR3;

struct D3DXQUATERNION {
    float x, y, z, w;
};

// Row-vector convention: a point v is transformed as v × M; m[3][0..2] holds the translation.
struct D3DXMATRIX {
    float m[4][4];
};

struct D3DMATERIAL9 {
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Ambient;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Emissive;
    float Power;
};

enum D3DLIGHTTYPE : std::uint32_t {
    D3DLIGHT_POINT = 1,
    D3DLIGHT_SPOT = 2,
    D3DLIGHT_DIRECTIONAL = 3,
};

struct D3DLIGHT9 {
    D3DLIGHTTYPE Type;
    D3DCOLORVALUE Diffuse;
    D3DCOLORVALUE Specular;
    D3DCOLORVALUE Ambient;
    D3DVECTOR Position;
    D3DVECTOR Direction;
    float Range;
    float Falloff;
    float Attenuation0;
    float Attenuation1;
    float Attenuation2;
    float Theta;
    float Phi;
};

enum D3DRENDERSTATETYPE : std::uint32_t {
    D3DRS_ZENABLE = 7,
    D3DRS_SRCBLEND = 19,
    D3DRS_DESTBLEND = 20,
    D3DRS_ALPHABLENDENABLE = 27,
    D3DRS_SPECULARENABLE = 29,
    D3DRS_NORMALIZENORMALS = 143,
    D3DRS_SPECULARMATERIALSOURCE = 146,
};

enum D3DTRANSFORMSTATETYPE : std::uint32_t {
    D3DTS_VIEW = 2,
    D3DTS_PROJECTION = 3,
    D3DTS_WORLD = 256,
};

enum D3DBLEND : std::uint32_t {
    D3DBLEND_ZERO = 1,
    D3DBLEND_ONE = 2,
    D3DBLEND_SRCCOLOR = 3,
    D3DBLEND_INVSRCCOLOR = 4,
    D3DBLEND_SRCALPHA = 5,
    D3DBLEND_INVSRCALPHA = 6,
    D3DBLEND_DESTALPHA = 7,
    D3DBLEND_INVDESTALPHA = 8,
    D3DBLEND_DESTCOLOR = 9,
    D3DBLEND_INVDESTCOLOR = 10,
};

constexpr std::uint32_t D3DCLEAR_TARGET = 0x1;
constexpr std::uint32_t D3DCLEAR_ZBUFFER = 0x2;
constexpr std::uint32_t D3DMCS_MATERIAL = 0;
constexpr std::uint32_t D3DXSPRITE_SORT_DEPTH_BACKTOFRONT = 0x80;
