#include "app/recording_device.h"

#include <cstdio>
#include <utility>

namespace {

std::string quoted(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (byte < 0x20 || byte >= 0x80) {
            // File names are narrow strings; a byte outside ASCII is written as its Latin-1 code point.
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", byte);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string floats(const float* values, int count)
{
    std::string out = "[";
    for (int i = 0; i < count; ++i) {
        out += (i ? "," : "") + jsonFloat(values[i]);
    }
    return out + "]";
}

std::string colorValue(const D3DCOLORVALUE& c)
{
    const float values[] = {c.r, c.g, c.b, c.a};
    return floats(values, 4);
}

std::string vector3(const D3DXVECTOR3& v)
{
    const float values[] = {v.x, v.y, v.z};
    return floats(values, 3);
}

std::string matrix(const D3DXMATRIX& m)
{
    return floats(&m.m[0][0], 16);
}

const char* renderStateName(D3DRENDERSTATETYPE state)
{
    switch (state) {
    case D3DRS_ZENABLE: return "ZENABLE";
    case D3DRS_SRCBLEND: return "SRCBLEND";
    case D3DRS_DESTBLEND: return "DESTBLEND";
    case D3DRS_ALPHABLENDENABLE: return "ALPHABLENDENABLE";
    case D3DRS_SPECULARENABLE: return "SPECULARENABLE";
    case D3DRS_NORMALIZENORMALS: return "NORMALIZENORMALS";
    case D3DRS_SPECULARMATERIALSOURCE: return "SPECULARMATERIALSOURCE";
    }
    return "UNKNOWN";
}

const char* transformStateName(D3DTRANSFORMSTATETYPE state)
{
    switch (state) {
    case D3DTS_WORLD: return "WORLD";
    case D3DTS_VIEW: return "VIEW";
    case D3DTS_PROJECTION: return "PROJECTION";
    }
    return "UNKNOWN";
}

}  // namespace

std::string jsonFloat(double value)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    return text;
}

std::string jsonColor(D3DCOLOR color)
{
    char text[16];
    std::snprintf(text, sizeof text, "\"0x%08X\"", static_cast<unsigned>(color));
    return text;
}

std::vector<std::string> RecordingDevice::takeCalls()
{
    return std::exchange(calls_, {});
}

std::vector<std::string> RecordingDevice::callNames() const
{
    std::vector<std::string> names;
    constexpr std::string_view prefix = R"({"call":")";
    for (const std::string& call : calls_) {
        const std::size_t end = call.find('"', prefix.size());
        names.push_back(call.substr(prefix.size(), end - prefix.size()));
    }
    return names;
}

void RecordingDevice::Clear(std::uint32_t flags, D3DCOLOR color, float z, std::uint32_t stencil)
{
    calls_.push_back(R"({"call":"Clear","flags":)" + std::to_string(flags) + R"(,"color":)" + jsonColor(color) +
                     R"(,"z":)" + jsonFloat(z) + R"(,"stencil":)" + std::to_string(stencil) + "}");
}

void RecordingDevice::BeginScene() { calls_.push_back(R"({"call":"BeginScene"})"); }
void RecordingDevice::EndScene() { calls_.push_back(R"({"call":"EndScene"})"); }
void RecordingDevice::Present() { calls_.push_back(R"({"call":"Present"})"); }

void RecordingDevice::SetRenderState(D3DRENDERSTATETYPE state, std::uint32_t value)
{
    calls_.push_back(R"({"call":"SetRenderState","state":)" + quoted(renderStateName(state)) + R"(,"value":)" +
                     std::to_string(value) + "}");
}

void RecordingDevice::SetTransform(D3DTRANSFORMSTATETYPE state, const D3DXMATRIX& m)
{
    calls_.push_back(R"({"call":"SetTransform","state":)" + quoted(transformStateName(state)) + R"(,"matrix":)" +
                     matrix(m) + "}");
}

void RecordingDevice::SetLight(std::uint32_t index, const D3DLIGHT9& light)
{
    calls_.push_back(R"({"call":"SetLight","index":)" + std::to_string(index) + R"(,"light":{"Type":)" +
                     std::to_string(light.Type) + R"(,"Diffuse":)" + colorValue(light.Diffuse) +
                     R"(,"Specular":)" + colorValue(light.Specular) + R"(,"Ambient":)" + colorValue(light.Ambient) +
                     R"(,"Position":)" + vector3(light.Position) + R"(,"Direction":)" + vector3(light.Direction) +
                     R"(,"Range":)" + jsonFloat(light.Range) + R"(,"Falloff":)" + jsonFloat(light.Falloff) +
                     R"(,"Attenuation0":)" + jsonFloat(light.Attenuation0) + R"(,"Attenuation1":)" +
                     jsonFloat(light.Attenuation1) + R"(,"Attenuation2":)" + jsonFloat(light.Attenuation2) +
                     R"(,"Theta":)" + jsonFloat(light.Theta) + R"(,"Phi":)" + jsonFloat(light.Phi) + "}}");
}

void RecordingDevice::LightEnable(std::uint32_t index, bool enable)
{
    calls_.push_back(R"({"call":"LightEnable","index":)" + std::to_string(index) + R"(,"enable":)" +
                     (enable ? "true" : "false") + "}");
}

void RecordingDevice::SetMaterial(const D3DMATERIAL9& material)
{
    calls_.push_back(R"({"call":"SetMaterial","material":{"Diffuse":)" + colorValue(material.Diffuse) +
                     R"(,"Ambient":)" + colorValue(material.Ambient) + R"(,"Specular":)" +
                     colorValue(material.Specular) + R"(,"Emissive":)" + colorValue(material.Emissive) +
                     R"(,"Power":)" + jsonFloat(material.Power) + "}}");
}

const Texture* RecordingDevice::CreateTexture(const Picture& picture, std::string_view name)
{
    auto texture = std::make_unique<Texture>();
    texture->name = name;
    texture->width = picture.width;
    texture->height = picture.height;
    return textures_.emplace_back(std::move(texture)).get();
}

const Mesh* RecordingDevice::CreateMesh(const MeshData& data, std::string_view name)
{
    auto mesh = std::make_unique<Mesh>();
    mesh->name = name;
    mesh->subsets = data.subsets;
    return meshes_.emplace_back(std::move(mesh)).get();
}

void RecordingDevice::SpriteBegin(std::uint32_t flags)
{
    calls_.push_back(R"({"call":"SpriteBegin","flags":)" + std::to_string(flags) + "}");
}

void RecordingDevice::SpriteSetTransform(const D3DXMATRIX& transform)
{
    calls_.push_back(R"({"call":"SpriteSetTransform","matrix":)" + matrix(transform) + "}");
}

void RecordingDevice::SpriteDraw(const Texture& texture, const D3DXVECTOR3& centre, D3DCOLOR color)
{
    calls_.push_back(R"({"call":"SpriteDraw","texture":)" + quoted(texture.name) + R"(,"center":)" +
                     vector3(centre) + R"(,"color":)" + jsonColor(color) + "}");
}

void RecordingDevice::SpriteEnd() { calls_.push_back(R"({"call":"SpriteEnd"})"); }

void RecordingDevice::DrawSubset(const Mesh& mesh, std::uint32_t subset)
{
    calls_.push_back(R"({"call":"DrawSubset","mesh":)" + quoted(mesh.name) + R"(,"subset":)" +
                     std::to_string(subset) + "}");
}
